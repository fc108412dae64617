// Measured values of one spectrum with the analysis settings, the weighting filters, and the
// result text printed under a spectrum.
#pragma once

#include "analysis/AnalysePara.h"
#include "analysis/corObjMessages.h"
#include "dsp/corObj.h"
#include "dsp/evalDistortion.h"
#include "dsp/evalWowFlutter.h"
#include "dsp/Tsamplemem.h"

#include "soundDLLTypes.h"

#include <QString>
#include <QStringList>
#include <memory>
#include <span>

// Spectra here are raw dB (see TEvalSettings). The maths is in src/dsp (evalLevel,
// evalDistortion, evalWowFlutter); here it is given the settings of a cAnaPara, and its
// results are returned, never written back into the settings. GUI thread only.

// What the evaluations read of ana (transform size lsampFFTPoints, sample rate, band,
// thresholds, harmonics, the fundamental), and its wow and flutter settings.
TEvalSettings EvalSettingsOf(const cAnaPara& ana);
TWowFlutterSettings WowFlutterSettingsOf(const cAnaPara& ana);

// ---- weighting filters --------------------------------------------------------------------

// Filter names in the order of the analysis dialog: "none", the built-in tables, "USER".
QStringList WeightingFilterNames();
// The points of a built-in filter as pairs x0, y0, x1, y1, ... (Hz, dB); empty for "none",
// "USER" and unknown names. Names match exactly.
std::span<const double> WeightingTable(const QString& name);
// True for the names that select no filter at all: "none", and the empty name a fresh
// settings object carries.
bool IsNoWeighting(const QString& name);
// The weighting curve of ana.filter, to be added to dB values (applDir -1), interpolated
// linearly. No curve (null) for "none". "USER" loads the correction file ana.UserFname with the
// separator sep, as every correction file is loaded: a file that cannot be used yields an
// empty inactive curve after the curve's own warning (to `report`), so values stay
// unweighted. Any other name yields an inactive flat curve of three points (10, 1000, 24000 Hz).
std::unique_ptr<Tcorri> MakeWeighting(const cAnaPara& ana, char sep = ';',
                                      const Tcorri::MessageSink& report = correctionMessageSink());

// ---- single evaluations with the settings of ana (see src/dsp/evalDistortion.h) ----------

double FindFundamental(const Tsamplemem* spectrum, const cAnaPara& ana);
// A log list, when given, receives one line "fu .., Glev .., KxLev .., NLev .., erg .." when a
// fundamental was found.
TDistortionResult DistortionNoise(const Tsamplemem* spectrum, const cAnaPara& ana,
                                  const Tcorri* weighting, QStringList* log = nullptr);
double IMDistortion(const Tsamplemem* spectrum, const cAnaPara& ana, double fLow, double fHigh);
// The same with the generator's tones: fHigh = GenFreqR, fLow = secfreqR.
double IMDistortion(const Tsamplemem* spectrum, const cAnaPara& ana, const TwaveGO& go);
double ModulationDistortion(const Tsamplemem* spectrum, const cAnaPara& ana, double fA, double fB);
// The same with the generator's tones: fB = GenFreqR, fA = secfreqR.
double ModulationDistortion(const Tsamplemem* spectrum, const cAnaPara& ana, const TwaveGO& go);
// Wow and flutter of timeSignal (see src/dsp/evalWowFlutter.h).
TWowFlutterResult WowFlutter(const Tsamplemem* spectrum, const Tsamplemem* timeSignal,
                             const cAnaPara& ana);

// ---- result text --------------------------------------------------------------------------

// What the result lines are evaluated from besides the analysis settings.
struct TResultTextInput {
    const Tsamplemem* spectrum[2] = {nullptr, nullptr};   // raw dB, left and right; null = none
    const Tsamplemem* timeSignal[2] = {nullptr, nullptr}; // recorded channels (wow and flutter)
    QString unitText;                                     // printed after a level value
    edBModi unit = dBMode_dbFS;                           // unit of the level
    const cFFTdat* fft = nullptr;       // window, size and calibration of the level (null: -192)
    const Tcorri* weighting = nullptr;  // curve of the settings' filter (MakeWeighting), or null
    const TwaveGO* generator = nullptr; // tones of IM and modulation distortion (null: -192)
    // Linear powers of the spectra's bins when the caller has them (from the conversion to
    // plain levels, TLevelPowers with PowerOfMissingLevel), else null: the lines then raise
    // the dB values themselves.
    const double* powers[2] = {nullptr, nullptr};
};

// What the result lines measured, per channel (0 left, 1 right); a line not built, or a channel
// not shown, leaves its defaults.
struct TResultValues {
    double level[2] = {kEvalNoValue_dB, kEvalNoValue_dB}; // band level in the unit's scale
    TDistortionResult distortion[2];                      // "Dist"
    double imd_dB[2] = {kEvalNoValue_dB, kEvalNoValue_dB}; // "IMD"
    double modDistortion[2] = {0.0, 0.0};                 // "Mod Dist", linear ratio
    TDistortionResult noise[2];                           // "S/N": noise only, S/N = -dB
    TWowFlutterResult wowFlutter[2];                      // "W && F"
};

// One line per result, each "<name>:\t" followed by the parts of the channels asked for
// (bResultTextLeft, bResultTextRight; joined by " | ") and the details. What a line measured
// goes into *values when given.
QString LevelLine(const TResultTextInput& in, const cAnaPara& ana, TResultValues* values = nullptr);
QString DistLine(const TResultTextInput& in, const cAnaPara& ana, TResultValues* values = nullptr);
QString IMDLine(const TResultTextInput& in, const cAnaPara& ana, TResultValues* values = nullptr);
QString ModDistLine(const TResultTextInput& in, const cAnaPara& ana, TResultValues* values = nullptr);
QString SignalNoiseLine(const TResultTextInput& in, const cAnaPara& ana, TResultValues* values = nullptr);
QString WowFlutterLine(const TResultTextInput& in, const cAnaPara& ana, TResultValues* values = nullptr);
// The fundamental the lines last found (distortion first, then S/N; left channel first) as
// they print it, interpolated between bins, Hz; 0 when none did.
double MeasuredFundamental(const TResultValues& values);
// The harmonics an Hx word selects as the result text names them: "THD" for all of H2..H9,
// else e.g. "H2+H3" (empty when none).
QString HarmonicSetText(int32_t Hx);
// The enabled lines in the order Level, Dist, IMD, Mod Dist, S/N, W && F.
QStringList BuildResultText(const TResultTextInput& in, const cAnaPara& ana,
                            TResultValues* values = nullptr);
