// Measured values of one raw-dB spectrum: fundamental, harmonic distortion and noise, IM and
// modulation distortion. Plain settings in, plain results out; any thread.
#pragma once

#include "dsp/evalLevel.h"

// Powers are sums of squared bin magnitudes, so their ratios do not depend on the window's gain.

// The loudest bin above GTfreq (Hz) whose value + 11.5 dB exceeds 20*log10(fFundlow); its
// frequency in Hz, or 0 when there is none or it is bin 0 or 1.
double FindFundamental(const Tsamplemem* spectrum, const TEvalSettings& s);

// What DistortionNoise measured.
struct TDistortionResult {
    double dB = kEvalNoValue_dB; // 20*log10((sqrt(H) + sqrt(N)) / sqrt(T)), or "no value"
    double fundamental = 0.0;    // the fundamental used, Hz (0: none, nothing else measured)
    double peakFrequency = 0.0;  // the fundamental's tone between bins, Hz (what is printed)
    double total = 0.0;          // T: power of all bins
    double harmonics = 0.0;      // H: power of the selected harmonics in the band
    double noise = 0.0;          // N: power of the band's other bins (when noise is selected)
};

// Distortion and noise relative to the total power T of all bins. H sums the bins within 6 bins
// of the harmonics H2..H9 selected in Hx (each harmonic below fsampFreq/2 by at least 3 bins);
// N, when bit 0 of Hx is set, the bins that are neither fundamental (within 12 bins) nor any
// harmonic. H and N count only [lfvon, lfbis]. The active weighting (may be null) applies to
// every bin. The fundamental is searched when bFundAuto, else manualFundamental is used.
// The regions lie about the fundamental's bin; the tone itself, interpolated between bins for
// the window s.window (PeakFrequency), is reported as peakFrequency (a manual fundamental as it is).
// "No value" for a missing spectrum, no fundamental, or H + N = 0. `unweighted`, when given,
// holds the spectrum's unweighted bin powers (BinPowers), which spares computing them.
TDistortionResult DistortionNoise(const Tsamplemem* spectrum, const TEvalSettings& s,
                                  const Tcorri* weighting, const double* unweighted = nullptr);

// IM distortion in dB: the sidebands fHigh +- fLow and fHigh +- 2 fLow against the tone at
// fHigh (within 4 bins), all in [lfvon, lfbis]. The sidebands are summed over the same 4 bins
// as the tone, so that both are measured alike in every window, but never over more than half
// the tone spacing (and never less than 2 bins). "No value" for a missing spectrum, fLow <= 0,
// no sideband power, or a tone whose amplitude sqrt(power) is at or below fFundlow.
double IMDistortion(const Tsamplemem* spectrum, const TEvalSettings& s, double fLow, double fHigh);

// Difference-tone modulation distortion of tones at fA and fB, as a linear ratio:
// sqrt(d2^2 + d3^2) / (a + b) with amplitudes summed within 2 bins of fA, fB, the difference
// tone |fA - fB| and 2 fB - fA, over [lfvon, lfbis]. 0 for a missing spectrum or no tones.
double ModulationDistortion(const Tsamplemem* spectrum, const TEvalSettings& s, double fA, double fB);
