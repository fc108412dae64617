// The power-distortion settings and the level arithmetic of its start, gain check and dialog.
#include "measurements/TPowThdSettings.h"

#include "base/TMemIniFile.h"

#include <algorithm>
#include <cmath>

namespace {

// A positive finite value, else def.
double positive(double v, double def) { return std::isfinite(v) && v > 0.0 ? v : def; }
double finite(double v, double def) { return std::isfinite(v) ? v : def; }

} // namespace

void TPowThdSettings::load(const TMemIniFile& ini, const QString& t)
{
    const TPowThdSettings d;
    PoDSteps = std::clamp(ini.ReadInteger(t, "Steps", d.PoDSteps), 4, 1000);
    PoDFreq_Hz = positive(ini.ReadFloat(t, "Freq_Hz", d.PoDFreq_Hz), d.PoDFreq_Hz);
    PoDPowBeg_W = positive(ini.ReadFloat(t, "PowBeg_W", d.PoDPowBeg_W), d.PoDPowBeg_W);
    PoDPowEnd_W = positive(ini.ReadFloat(t, "PowEnd_W", d.PoDPowEnd_W), d.PoDPowEnd_W);
    PoDVoltBeg_mV = positive(ini.ReadFloat(t, "VoltBeg_mV", d.PoDVoltBeg_mV), d.PoDVoltBeg_mV);
    PoDVoltEnd_mV = positive(ini.ReadFloat(t, "VoltEnd_mV", d.PoDVoltEnd_mV), d.PoDVoltEnd_mV);
    PoDLoad_Ohm = positive(ini.ReadFloat(t, "Load_Ohm", d.PoDLoad_Ohm), d.PoDLoad_Ohm);
    PoDBridgedAmp = ini.ReadBool(t, "BridgedAmp", d.PoDBridgedAmp);
    PoDPowerMeas = ini.ReadBool(t, "PowerMeas", d.PoDPowerMeas);
    PoDtestOutLevel_dBFS = finite(ini.ReadFloat(t, "testOutLevel_dBFS", d.PoDtestOutLevel_dBFS), d.PoDtestOutLevel_dBFS);
    PoDdebugWindow = ini.ReadBool(t, "DebugWindow", d.PoDdebugWindow);
    PoDupdown = ini.ReadBool(t, "UpDown", d.PoDupdown);
    PoDsepHarmC = ini.ReadBool(t, "SepHarmC", d.PoDsepHarmC);
    PoDleftCH = ini.ReadBool(t, "PoDleftCH", d.PoDleftCH);
    PoDrightCH = ini.ReadBool(t, "PoDrightCH", d.PoDrightCH);
    PoDGainCheck = ini.ReadBool(t, "PoDGainCheck", d.PoDGainCheck);
}

void TPowThdSettings::save(TMemIniFile& ini, const QString& t) const
{
    ini.WriteInteger(t, "Steps", PoDSteps);
    ini.WriteFloat(t, "Freq_Hz", PoDFreq_Hz);
    ini.WriteFloat(t, "PowBeg_W", PoDPowBeg_W);
    ini.WriteFloat(t, "PowEnd_W", PoDPowEnd_W);
    ini.WriteFloat(t, "VoltBeg_mV", PoDVoltBeg_mV);
    ini.WriteFloat(t, "VoltEnd_mV", PoDVoltEnd_mV);
    ini.WriteFloat(t, "Load_Ohm", PoDLoad_Ohm);
    ini.WriteBool(t, "BridgedAmp", PoDBridgedAmp);
    ini.WriteBool(t, "PowerMeas", PoDPowerMeas);
    ini.WriteFloat(t, "testOutLevel_dBFS", PoDtestOutLevel_dBFS);
    ini.WriteBool(t, "DebugWindow", PoDdebugWindow);
    ini.WriteBool(t, "UpDown", PoDupdown);
    ini.WriteBool(t, "SepHarmC", PoDsepHarmC);
    ini.WriteBool(t, "PoDleftCH", PoDleftCH);
    ini.WriteBool(t, "PoDrightCH", PoDrightCH);
    ini.WriteBool(t, "PoDGainCheck", PoDGainCheck);
}

TPowThdVoltages PowThdVoltages(const TPowThdSettings& s)
{
    if (!s.PoDPowerMeas) return {s.PoDVoltBeg_mV, s.PoDVoltEnd_mV};
    const double b = s.PoDBridgedAmp ? 2.0 : 1.0;
    return {std::sqrt(s.PoDPowBeg_W * s.PoDLoad_Ohm) * 1000.0 / b, std::sqrt(s.PoDPowEnd_W * s.PoDLoad_Ohm) * 1000.0 / b};
}

TPowThdLevels PowThdExpectedLevels(const TPowThdSettings& s, double calInput_mV, double preAmp_dB)
{
    const TPowThdVoltages u = PowThdVoltages(s);
    if (!s.PoDGainCheck) return {20.0 * std::log10(u.beg_mV / u.end_mV), 0.0};
    const double full = std::pow(10.0, preAmp_dB / 20.0) * calInput_mV;
    return {20.0 * std::log10(u.beg_mV / full), 20.0 * std::log10(u.end_mV / full)};
}

TPowThdLevels PowThdLevelRange(const TPowThdSettings& s, double x, double testLevel_dBFS)
{
    if (s.PoDPowerMeas)
        return {testLevel_dBFS - 10.0 * std::log10(x / s.PoDPowBeg_W), testLevel_dBFS - 10.0 * std::log10(x / s.PoDPowEnd_W)};
    return {testLevel_dBFS - 20.0 * std::log10(x / s.PoDVoltBeg_mV), testLevel_dBFS - 20.0 * std::log10(x / s.PoDVoltEnd_mV)};
}

double PowThdPower(const TPowThdSettings& s, double u_mV)
{
    const double g = s.PoDBridgedAmp ? 4.0 : 1.0;
    return g * (u_mV / 1000.0) * (u_mV / 1000.0) / s.PoDLoad_Ohm;
}

QString PowThdVoltagePanel(const TPowThdSettings& s)
{
    if (!s.PoDPowerMeas) return QString::asprintf("%7.2fmV - %7.2fmV", s.PoDVoltBeg_mV, s.PoDVoltEnd_mV);
    const double g = s.PoDBridgedAmp ? 4.0 : 1.0;
    return QString::asprintf("%6.3fV - %6.3fV", std::sqrt(s.PoDPowBeg_W * s.PoDLoad_Ohm / g),
                             std::sqrt(s.PoDPowEnd_W * s.PoDLoad_Ohm / g));
}
