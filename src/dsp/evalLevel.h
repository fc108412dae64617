// Evaluation settings and the band level of a spectrum: bin powers, band sums, band amplitude.
#pragma once

#include "dsp/corObj.h"
#include "dsp/Tsamplemem.h"

#include <cstdint>
#include <utility>

// The dB result that means "no value" (missing spectrum, no fundamental, nothing measured).
constexpr double kEvalNoValue_dB = -192.0;

// What the evaluations read of the analysis settings. Spectra are raw dB: bin k holds
// 20*log10 of the magnitude of bin k of a transform of `points` samples at `fsampFreq`, for
// k = 0 .. points/2-1; a bin of exactly 0 has no value. A spectrum shorter than points/2 is
// read as far as it goes.
struct TEvalSettings {
    double fsampFreq = 0.0;         // sample rate, Hz
    int32_t points = 4096;          // transform size N
    int32_t lfvon = 100;            // evaluation band low edge, Hz
    int32_t lfbis = 20000;          // evaluation band high edge, Hz
    float fFundlow = 0.01f;         // linear threshold of the fundamental search and the IM tone
    double GTfreq = 0.0;            // lowest fundamental accepted, Hz
    int32_t Hx = 31;                // bit 0 noise, bit k harmonic k+1
    bool bFundAuto = true;          // search the fundamental
    double manualFundamental = 0.0; // the fundamental when not searched, Hz
    int32_t window = -1;            // window kind 0..8 of the spectrum (-1 unknown): peak interpolation

    // Without a sample rate or a transform size nothing can be evaluated.
    bool evaluable() const;
    double binSpacing() const { return fsampFreq / points; } // Hz
    // Bins of `spectrum` to read: 0 when nothing can be evaluated.
    int32_t binsOf(const Tsamplemem* spectrum) const;
};

// Linear powers of raw dB bins: p[k] = 10^(x[k]/10), 0 for a bin of exactly 0 (no value).
// Non-finite bins pass through (+inf, NaN); with an active weighting (at the bin frequency
// k * fstep) the weighted value is raised instead. x and p may be the same array.
void BinPowers(const double* x, int32_t n, double fstep, const Tcorri* weighting, double* p);
// The power BinPowers gives a bin of kEvalNoValue_dB.
double PowerOfMissingLevel();

// The bins of [lo, hi] Hz as first..end-1 for the bin spacing fstep: contiguous, as k * fstep
// grows with k.
std::pair<int32_t, int32_t> BandBins(double fstep, double lo, double hi, int32_t bins);
// The first bin of 0..bins above f Hz (bins when none is).
int32_t FirstBinAbove(double fstep, double f, int32_t bins);
// Sum of the powers p of bins first..end-1. With `valuedOnly` a bin whose dB value x is not
// finite counts as no value (the distortion's reading); x may be null without it.
double SumBinPowers(const double* x, const double* p, int32_t first, int32_t end, bool valuedOnly);

// The band amplitude L = sqrt(sum of the bin powers of [lfvon, lfbis]) / sqrt(2) of the first
// `bins` bins of a spectrum with bin spacing fstep: raw dB bins, or magnitudes when `linear`.
// An active weighting applies at each bin's frequency; a dB bin of exactly 0, and a magnitude
// of 0 or less, has no value.
double BandAmplitude(const Tsamplemem& spectrum, int32_t bins, double fstep, int32_t lfvon,
                     int32_t lfbis, bool linear, const Tcorri* weighting);
// The same from the unweighted powers p of raw dB bins (BinPowers).
double BandAmplitudeOfPowers(const double* p, int32_t bins, double fstep, int32_t lfvon, int32_t lfbis);
