// Settings of the distortion-versus-power measurement (section "POWTHD") and the level arithmetic its engine and dialog share.
#pragma once

#include <QString>
#include <cstdint>

class TMemIniFile;

// What the power-distortion dialog sets. Powers in W, voltages in mV RMS, levels in dBFS.
struct TPowThdSettings {
    int32_t PoDSteps = 50;              // steps of the run, 4..1000
    double PoDFreq_Hz = 1000.0;         // test frequency
    double PoDPowBeg_W = 0.001;         // power range
    double PoDPowEnd_W = 0.1;
    double PoDVoltBeg_mV = 1.0;         // voltage range (voltage measurement)
    double PoDVoltEnd_mV = 1000.0;
    double PoDLoad_Ohm = 8.0;           // load of the amplifier
    bool PoDBridgedAmp = false;         // the recorded voltage is one half of a bridged amplifier
    bool PoDPowerMeas = true;           // power measurement; false: voltage measurement
    double PoDtestOutLevel_dBFS = -30.0; // generator level of the gain check
    bool PoDdebugWindow = false;        // the engine's log is shown
    bool PoDupdown = false;             // the levels run up and back down
    bool PoDsepHarmC = false;           // one curve per selected harmonic
    bool PoDleftCH = true;              // channels used
    bool PoDrightCH = true;
    bool PoDGainCheck = true;           // measure the chain's gain at the test level first

    // Keys of "POWTHD"; missing or unusable values keep their defaults, the step count is kept
    // inside 4..1000 and ranges and load must be positive.
    void load(const TMemIniFile& ini, const QString& section = QStringLiteral("POWTHD"));
    void save(TMemIniFile& ini, const QString& section = QStringLiteral("POWTHD")) const;
};

// The amplifier-output voltages of the first and last step, mV RMS. Power measurement:
// sqrt(P * load) * 1000 / b with b = 2 for a bridged amplifier (the voltage of one half);
// voltage measurement: the voltage range itself.
struct TPowThdVoltages {
    double beg_mV = 0.0;
    double end_mV = 0.0;
};
TPowThdVoltages PowThdVoltages(const TPowThdSettings& s);

// The sound-card input levels (dBFS) the first and last step are expected at. With the gain
// check: 20*log10(U / (10^(G/20) * Ucal)) for the calibration voltage Ucal (mV) and preamp gain
// G (dB); without it the generator range: 20*log10(U_beg / U_end) and 0.
struct TPowThdLevels {
    double beg_dBFS = 0.0;
    double end_dBFS = 0.0;
};
TPowThdLevels PowThdExpectedLevels(const TPowThdSettings& s, double calInput_mV, double preAmp_dB);

// The generator range from the gain check: x was measured (W or mV) at testLevel dBFS.
TPowThdLevels PowThdLevelRange(const TPowThdSettings& s, double x, double testLevel_dBFS);

// Power (W) of a measured RMS voltage (mV) into the load: 4 U^2 / R bridged, else U^2 / R.
double PowThdPower(const TPowThdSettings& s, double u_mV);

// The dialog's voltage panel: "%6.3fV - %6.3fV" (power: sqrt(P * load / g), g = 4 bridged,
// the voltage across the load) or "%7.2fmV - %7.2fmV".
QString PowThdVoltagePanel(const TPowThdSettings& s);
