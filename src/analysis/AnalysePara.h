// Analysis settings (how spectra are made, what is evaluated), level units and their calibration.
#pragma once

#include "dsp/FFtuli.h" // IsValidFFTSize, window kinds, the 11.5 dB bin offset
#include "dsp/corObj.h"
#include "dsp/evalWowFlutter.h" // eWuFfreq, eWuFMess, eWuFModi
#include "dsp/Tsamplemem.h"

#include <QString>
#include <cstdint>
#include <memory>

class TMemIniFile;

// Level unit of a spectrum. Stored as one byte; the ordinals are written to INI files.
enum edBModi : uint8_t {
    dBMode_dbFS,
    dbMode_dBV,
    dbMode_dBu,
    dbMode_dBm,
    dbMode_dBSPL,
    dbMode_Pa,
    dbMode_milliVolt,
    dBMode_dB,
    dbMode_Sone,
    dBmode_unknown
};

// What the diagram shows (and what a result package holds).
enum eSampleMode : uint8_t { SampleOff, Sample_2D, Sample_3D, Samplesweep, SampleOszi };

// Unit of a curve's y values (diagram model).
enum enumYvalueTyp : uint8_t {
    edBFS,
    edBV,
    edBu,
    edBm,
    edBSPL,
    eVolt,
    ePa,
    eddB,
    eSone,
    eOhm,
    eGrad,
    eLevLin
};

// Curve arithmetic of the diagram model.
enum enumOpTyp : uint8_t { eMeasure, ePeak, eAddi, eSubtr, eMulti, eDivi };

// INI section of a measuring mode 0..13 ("nix", "fft2d", ...); "nix" for any other mode.
QString MeasuringModeTopic(int32_t mode);

// The calibration record: ties digital full scale to volts and pascals. The main window owns
// the program's record (per-user settings) and lends it to whoever converts levels; the
// calibration dialog edits it. Voltages in mV RMS, gains in dB.
struct TLevelCalibration {
    double INPUT = 497.0;         // RMS input voltage (mV) that reads 0 dBFS
    double OUTPUT = 123.0;        // output calibration voltage (mV); stored, not computed with
    double MicSens_mVpPaL = 10.0; // microphone sensitivity left, mV/Pa
    double MicSens_mVpPaR = 10.0; // microphone sensitivity right, mV/Pa
    double PreAmp_dBL = 0.0;      // preamplifier gain left, dB
    double PreAmp_dBR = 0.0;      // preamplifier gain right, dB
};

// Spectrum settings of one measurement: transform size, window, averaging count, level unit, what
// the diagram shows, and the calibration pair of the current unit. The averaging itself (sums,
// counter) belongs to the measurement. GUI thread only.
class cFFTdat {
public:
    cFFTdat();
    // Copies everything except NahConti and ManFFTbeg_samp (they start false and 0); sampdats
    // and the Sone table are duplicated.
    cFFTdat(const cFFTdat& o);
    cFFTdat& operator=(const cFFTdat& o);
    ~cFFTdat() = default;

    // Sets the level unit. Sone loads the Sone table (x = dB SPL, y = Sone) from soneFile, or
    // "sonecor.dpf" in the shared data folder when empty, applied with direction -1; every other
    // unit leaves an empty table. The 2D FFT measurement itself switches its weighting filter
    // to "A Weighting" when it sees the Sone unit.
    void setdBMode(edBModi amode, const QString& soneFile = QString());
    // Channel counts (a negative input count is 0).
    void setAnzICha(int32_t cha);
    void setAnzOCha(int32_t cha) { fAnzOCha = cha; }

    // The whole INI file: section MeasuringModeTopic(MeasuringModeF). Loading shows the file's
    // read error, if any, as a warning and keeps the defaults; a failed save is ignored.
    void saveFFTini(const QString& Fname) const;
    void loadFFTini(const QString& Fname);
    // One section of an open INI object (see the key table in the .cpp).
    void SaveFFTtoIniL(TMemIniFile& fini, const QString& Topic) const;
    void LoadFFTfromIniL(const TMemIniFile& fini, const QString& Topic);

    int32_t fAnzICha = 0;                 // input channels
    int32_t fAnzOCha = 0;                 // output channels
    int32_t MeasuringModeF = 0;           // measuring mode 0..13, selects the INI section
    eSampleMode DiagramForm = Sample_2D;  // what the diagram shows
    Tcorri SoneCor;                       // Sone table in Sone mode, else empty
    std::unique_ptr<Tsamplemem> sampdats; // free sample buffer of the measurement, may be absent
    int32_t SamplesFFT = 4096;            // transform size
    double showbeforeIps_ms = 0.0;        // impulse response: time shown before the impulse, ms
    double triggLevel = 0.0;              // impulse trigger level, linear full scale
    double echo_ms = 0.0;                 // impulse response echo time, ms (-1 after loading)
    int32_t fftbeg_samp = 0;              // impulse response: FFT start, samples
    int32_t ManFFTbeg_samp = 0;           // manual FFT start, samples (not copied)
    double fft3Dstepping_ms = 0.0;        // time step between 3D FFT slices, ms
    int32_t SampleOffset = 0;             // offset of the analysed block, samples
    int32_t AveValue = 1;                 // spectra per average
    int32_t Sbefore = 0;                  // samples kept before a trigger
    int32_t FFTwin = 8;                   // window kind 0..8
    bool NahConti = false;                // impulse measurement runs continuously (not copied)
    bool asyncIps = false;                // impulse recorded asynchronously
    bool mlsAutoRecogn = false;           // recognise the MLS start automatically
    bool s2isphase = false;               // second curve shows the phase
    bool s2isGD = false;                  // second curve shows the group delay
    bool ips2ch = false;                  // second curve shows the second channel
    bool refmess = false;                 // reference measurement
    bool nextcurve = false;               // every run starts a new set of curves
    bool peakAuto = true;                 // peak hold follows automatically
    edBModi fdbMode = dBMode_dbFS;        // level unit
    double CorLFakL = 1.0;                // left linear factor (Pa, mV)
    double CorLFakR = 1.0;                // right linear factor (Pa, mV)
    double CorLOffsL = 0.0;               // left dB offset (logarithmic units)
    double CorLOffsR = 0.0;               // right dB offset (logarithmic units)
    QString commentFFT;                   // user's remark
};

// Evaluation settings of one measurement: which results, band, weighting, wow and flutter,
// result text. The results are returned by the evaluations (AnaEval.h). GUI thread only.
class cAnaPara {
public:
    void copyfrom(const cAnaPara& a) { *this = a; }

    // The whole INI file, always section "ANALYSE" whatever Topic says. Loading shows the
    // file's read error, if any, as a warning. Saving returns false after the error message
    // "Error writing Ini-File <name>", the reason and "The analysis settings were not saved.";
    // the program goes on.
    bool SaveAnatoIni(const QString& Fname, const QString& Topic) const;
    void LoadAnafromIni(const QString& Fname, const QString& Topic);
    // Section Topic of an open INI object.
    void SaveAnatoIniL(TMemIniFile& fini, const QString& Topic) const;
    void LoadAnafromIniL(const TMemIniFile& fini, const QString& Topic);
    // Number of result lines asked for: level, IM, THD, S/N, wow and flutter.
    int32_t countMeasLines() const;

    bool bTHDmess = false;                // evaluate distortion
    bool bIMmess = false;                 // evaluate IM distortion
    bool bLevelmess = false;              // evaluate the band level
    bool bSignal2Noisemess = false;       // evaluate S/N
    bool bWuFmess = false;                // evaluate wow and flutter
    bool bModDistMess = false;            // evaluate modulation distortion
    bool bFundAuto = true;                // search the fundamental
    bool bFilterFFT = false;              // weighting applies to the diagram too
    double fsampFreq = 0.0;               // sample rate, Hz
    int32_t lsampFFTPoints = 4096;        // transform size for the bin spacing
    QString filter;                       // weighting filter name
    QString UserFname;                    // correction file of the "USER" filter
    int32_t lfvon = 100;                  // evaluation band low edge, Hz
    int32_t lfbis = 20000;                // evaluation band high edge, Hz
    eWuFfreq WuFfreq = e315khz;           // wow and flutter test frequency
    QString WuFFilter = "DIN/IEC";        // name of the wow and flutter standard (result text)
    eWuFMess WuFeFilter = eDINIEC;        // wow and flutter detector
    eWuFModi WuFmode = eWuF;              // wow, flutter or both
    bool WuFBP = true;                    // 4 Hz weighting band-pass on
    float fFundlow = 0.01f;               // linear threshold of the fundamental search
    int32_t Hx = 31;                      // bit 0 noise, bit k harmonic k+1
    double GTfreq = 0.0;                  // lowest fundamental accepted, Hz
    bool DistortionUnitInPercent = false; // distortion in % instead of dB
    bool bResultTextLeft = false;         // result text shows the left channel
    bool bResultTextRight = false;        // result text shows the right channel
    bool bResultTextDetails = true;       // result text with details
    int32_t iMeasLines = 100;             // number of result lines
    int32_t iResultTextSize = 10;         // font size of the result text, points
    float fManualFundamental = 0.0f;      // fundamental when bFundAuto is off, Hz (0 = none)
};

// The free functions below work on settings objects: GUI thread only.

// Fills the calibration pair (CorLOffsL/R in dB, CorLFakL/R linear) of fft's level unit.
void ApplyLevelCalibration(cFFTdat& fft, const TLevelCalibration& cal);

// The calibration pair of one channel (1 = right, any other = left) for a level unit.
struct TLevelCorr {
    double offs = 0.0; // dB added to 20*log10 of a magnitude (logarithmic units)
    double fak = 1.0;  // factor of a magnitude (Pa, mV)
};
TLevelCorr LevelCorrFor(edBModi unit, const TLevelCalibration& cal, int channel);
// The pair fft holds for a channel (1 = right, any other = left).
TLevelCorr LevelCorrOf(const cFFTdat& fft, int channel);
// True for the units whose spectra stay linear magnitudes (Pa, mV).
bool IsLinearUnit(edBModi unit);

// What the axis labels depend on besides the settings: the measurement running.
struct TUnitLabelContext {
    bool sweepActive = false;         // the sweep measurement is the active one
    int32_t sweepMode = 0;            // its mode: 6 and 8 impedance, 7 distortion
    bool sweepShowsPhase = false;     // the sweep shows a phase curve
    bool distortionInPercent = false; // cAnaPara::DistortionUnitInPercent
};
// Unit texts of the left and right y axes.
QString LevelUnitLabel(const cFFTdat& fft, const TUnitLabelContext& ctx = {});
QString RightAxisUnitLabel(const cFFTdat& fft, const TUnitLabelContext& ctx = {});

// Band level of one channel (0 left, 1 right, others as left) over [lfvon, lfbis] of a spectrum
// of fft.SamplesFFT points at ana.fsampFreq: raw dB per bin, or magnitudes in the Pa and mV
// units (BandAmplitude). In unit's scale: with `calibrate` the channel's calibration pair of
// fft is applied (dBFS, dBV, ... or Pa, mV), without it the level stays on the raw scale.
// Weighting (may be null) is applied when active. A dB bin of exactly 0 has no value. The
// window's level factor (WindowLevelFactor) makes a full-scale sine read 0 dBFS in every
// window. In Sone the left level is mapped through fft.SoneCor. A missing spectrum or no power
// gives -192 dB (Pa, mV: no power gives 0).
double BandLevel(const Tsamplemem* spectrum, const cAnaPara& ana, const cFFTdat& fft, bool calibrate,
                 int channel, const Tcorri* weighting, edBModi unit);
// The level BandLevel gives for the band amplitude L.
double BandLevelOf(double L, const cFFTdat& fft, bool calibrate, int channel, edBModi unit);
