// Measured values of one spectrum: fundamental, harmonic distortion and noise, S/N, IM and
// modulation distortion; the weighting filters; the result text printed under a spectrum.
#pragma once

#include "analysis/AnalysePara.h"
#include "analysis/corObjMessages.h"
#include "dsp/corObj.h"
#include "dsp/Tsamplemem.h"

#include "soundDLLTypes.h"

#include <QString>
#include <QStringList>
#include <memory>
#include <span>

// Spectra here are raw dB: bin k holds 20*log10 of the magnitude WindowedSpectrum gives (after
// the input correction), for k = 0 .. N/2-1 with N = cAnaPara::lsampFFTPoints; a bin of exactly
// 0 has no value. A spectrum shorter than N/2 is read as far as it goes. Every evaluation first
// stores the bin spacing fsampFreq / N (Hz) in cAnaPara::fstep; without a sample rate or a
// transform size nothing can be evaluated. Powers are sums of squared bin magnitudes, so their
// ratios do not depend on the window's gain.
// All of this works on settings objects: GUI thread only.

// The dB result that means "no value" (missing spectrum, no fundamental, nothing measured).
constexpr double kEvalNoValue_dB = -192.0;

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

// ---- single evaluations -------------------------------------------------------------------

// The loudest bin above GTfreq (Hz) whose value + 11.5 dB exceeds 20*log10(fFundlow); its
// frequency in Hz, or 0 when there is none or it is bin 0 or 1. Stored in fresultFundamental.
double FindFundamental(const Tsamplemem* spectrum, cAnaPara& ana);

// Distortion and noise relative to the total power T of all bins, in dB:
// 20*log10((sqrt(H) + sqrt(N)) / sqrt(T)). H sums the bins within 6 bins of the harmonics
// H2..H9 selected in Hx (each harmonic below fsampFreq/2 by at least 3 bins); N, when bit 0 of
// Hx is set, the bins that are neither fundamental (within 12 bins) nor any harmonic. H and N
// count only [lfvon, lfbis]. The active weighting (may be null) applies to every bin.
// The fundamental is searched when bFundAuto, else fresultFundamental is used.
// -192 for a missing spectrum, no fundamental (nothing else changes then), or H + N = 0.
// Stores fresultTHD (the result), fresultLevel = T/2 and fresultNoise = N/2. A log list, when
// given, receives one line "fu .., Glev .., KxLev .., NLev .., erg ..".
double DistortionNoise(const Tsamplemem* spectrum, cAnaPara& ana, const Tcorri* weighting,
                       QStringList* log = nullptr);

// IM distortion in dB: the sidebands fHigh +- fLow and fHigh +- 2 fLow against the tone at
// fHigh (within 4 bins), all in [lfvon, lfbis]. The sidebands are summed over the same 4 bins
// as the tone, so that both are measured alike in every window, but never over more than half
// the tone spacing (and never less than 2 bins). -192 for a missing spectrum, fLow <= 0, no
// sideband power, or a tone whose amplitude sqrt(power) is at or below fFundlow.
double IMDistortion(const Tsamplemem* spectrum, cAnaPara& ana, double fLow, double fHigh);
// The same with the generator's tones: fHigh = GenFreqR, fLow = secfreqR.
double IMDistortion(const Tsamplemem* spectrum, cAnaPara& ana, const TwaveGO& go);

// Difference-tone modulation distortion of tones at fA and fB, as a linear ratio:
// sqrt(d2^2 + d3^2) / (a + b) with amplitudes summed within 2 bins of fA, fB, the difference
// tone |fA - fB| and 2 fB - fA, over [lfvon, lfbis]. 0 for a missing spectrum or no tones.
double ModulationDistortion(const Tsamplemem* spectrum, cAnaPara& ana, double fA, double fB);
// The same with the generator's tones: fB = GenFreqR, fA = secfreqR.
double ModulationDistortion(const Tsamplemem* spectrum, cAnaPara& ana, const TwaveGO& go);

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

// The power the result lines give a missing bin (-192 dB) when they raise the dB values.
double PowerOfMissingLevel();

// One line per result, each "<name>:\t" followed by the parts of the channels asked for
// (bResultTextLeft, bResultTextRight; joined by " | ") and the details. Evaluating a line
// stores its results in ana; the S/N line works on a copy of ana.
QString LevelLine(const TResultTextInput& in, cAnaPara& ana);
QString DistLine(const TResultTextInput& in, cAnaPara& ana);
QString IMDLine(const TResultTextInput& in, cAnaPara& ana);
QString ModDistLine(const TResultTextInput& in, cAnaPara& ana);
QString SignalNoiseLine(const TResultTextInput& in, cAnaPara& ana);
QString WowFlutterLine(const TResultTextInput& in, cAnaPara& ana);
// The harmonics an Hx word selects as the result text names them: "THD" for all of H2..H9,
// else e.g. "H2+H3" (empty when none).
QString HarmonicSetText(int32_t Hx);
// The enabled lines in the order Level, Dist, IMD, Mod Dist, S/N, W && F.
QStringList BuildResultText(const TResultTextInput& in, cAnaPara& ana);
