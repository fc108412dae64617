// Fundamental search, distortion and noise, IM and modulation distortion of a raw-dB spectrum.
#include "dsp/evalDistortion.h"

#include "dsp/evalPeak.h"
#include "dsp/evalVector.h"
#include "dsp/FFtuli.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>

namespace {

using evalvec::finite2;
using evalvec::load2;
using evalvec::V2d;

constexpr double kNoValue = kEvalNoValue_dB;
constexpr double kSearchStart_dB = -1920.0; // below every real bin value
constexpr double kFundHalfWidth = 12.0;     // bins around the fundamental that are not noise
constexpr double kHarmHalfWidth = 6.0;      // bins around a harmonic
constexpr double kHarmNyquistGap = 3.0;     // a harmonic must stay this many bins below fs/2
constexpr double kImToneHalfWidth = 4.0;    // bins around the IM reference tone
constexpr double kImSideMinHalfWidth = 2.0; // narrowest sideband region, bins
constexpr double kModHalfWidth = 2.0;       // bins around each tone of the modulation distortion
constexpr int kNoiseBit = 0x1;              // noise in Hx
constexpr double kLn10 = 2.302585092994045684;

// Linear magnitude of a raw dB bin; 0 for a bin without a value (exactly 0, or not finite).
double binAmplitude(double v) {
    if (v == 0.0 || !std::isfinite(v)) return 0.0;
    return std::exp(v * kLn10 / 20.0); // 10^(v/20); exp is several times faster than pow
}

// Power of the band's bins strictly within halfWidth bins of fc.
double regionPower(const double* x, int32_t bins, const TEvalSettings& s, double fc, double halfWidth) {
    if (!std::isfinite(fc)) return 0.0;
    const double fstep = s.binSpacing(), reach = halfWidth * fstep;
    // Clamped before the conversion, so far-off frequencies cannot overflow the index.
    const double first = std::max(0.0, std::floor((fc - reach) / fstep));
    const double last = std::min(double(bins - 1), std::ceil((fc + reach) / fstep));
    if (first > last) return 0.0;
    double p = 0.0;
    for (int32_t k = int32_t(first); k <= int32_t(last); ++k) {
        const double f = k * fstep;
        if (std::abs(f - fc) < reach && f >= s.lfvon && f <= s.lfbis) {
            const double a = binAmplitude(x[k]);
            p += a * a;
        }
    }
    return p;
}

// The harmonic orders 2..9 that lie far enough below half the sample rate.
int usableHarmonics(double F, const TEvalSettings& s, std::array<int, 8>& orders) {
    int n = 0;
    for (int i = 2; i <= 9; ++i)
        if (s.fsampFreq / 2.0 >= i * F + kHarmNyquistGap * s.binSpacing()) orders[size_t(n++)] = i;
    return n;
}

// The bins a region of halfWidth bins about c bins may hold: a few bins wider than the
// region, so the exact test only needs to run there. Empty (first > last) outside 0..bins-1.
struct TBinRange {
    int32_t first = 0, last = -1;
};

TBinRange candidateRange(double c, double halfWidth, int32_t bins) {
    const double lo = std::max(0.0, std::floor(c) - halfWidth - 2.0);
    const double hi = std::min(double(bins - 1), std::ceil(c) + halfWidth + 2.0);
    return lo <= hi ? TBinRange{int32_t(lo), int32_t(hi)} : TBinRange{};
}

// Where the fundamental and the harmonics lie: the exact per-bin test of the sums.
struct TDistRegions {
    double F = 0.0;                  // fundamental, Hz
    std::array<int, 8> orders{};     // usable harmonic orders
    int nh = 0;                      // how many
    std::array<TBinRange, 9> cand{}; // candidate bins: the fundamental's, then the harmonics'
};

TDistRegions distRegions(int32_t bins, const TEvalSettings& s, double F) {
    TDistRegions r;
    r.F = F;
    r.nh = usableHarmonics(F, s, r.orders);
    const double fstep = s.binSpacing();
    r.cand[0] = candidateRange(F / fstep, kFundHalfWidth, bins);
    for (int j = 0; j < r.nh; ++j)
        r.cand[size_t(j) + 1] = candidateRange(r.orders[size_t(j)] * F / fstep, kHarmHalfWidth, bins);
    std::sort(r.cand.begin(), r.cand.begin() + r.nh + 1,
              [](const TBinRange& a, const TBinRange& b) { return a.first < b.first; });
    return r;
}

// One band bin within a candidate range: in the fundamental's or a harmonic's region? A bin
// shared by two harmonic regions counts once.
void addRegionBin(int32_t k, double p, const TDistRegions& r, const TEvalSettings& s, bool noise,
                  TDistortionResult& d) {
    const double fstep = s.binSpacing(), f = k * fstep;
    bool mark = std::abs(f - r.F) < kFundHalfWidth * fstep;
    bool selected = false;
    for (int j = 0; j < r.nh; ++j) {
        const int i = r.orders[size_t(j)];
        if (std::abs(f - i * r.F) < kHarmHalfWidth * fstep) {
            mark = true;
            selected = selected || (s.Hx & (1 << (i - 1))) != 0;
        }
    }
    d.harmonics += selected ? p : 0.0;
    d.noise += !mark && noise ? p : 0.0;
}

// The sums over the powers p of the dB bins x; only the candidate ranges need the exact test,
// the band bins between them are noise.
void distortionSums(const double* x, const double* p, int32_t bins, const TEvalSettings& s,
                    TDistortionResult& d) {
    const TDistRegions r = distRegions(bins, s, d.fundamental);
    const bool noise = (s.Hx & kNoiseBit) != 0;
    const auto [first, end] = BandBins(s.binSpacing(), s.lfvon, s.lfbis, bins);
    d.total = SumBinPowers(x, p, 0, bins, true);
    int32_t k = first;
    for (int c = 0; c <= r.nh; ++c) {
        const int32_t lo = std::max(r.cand[size_t(c)].first, k);
        const int32_t hi = std::min(r.cand[size_t(c)].last, end - 1);
        if (lo > hi) continue;
        if (noise) d.noise += SumBinPowers(x, p, k, lo, true);
        for (k = lo; k <= hi; ++k)
            addRegionBin(k, std::isfinite(x[k]) ? p[k] : 0.0, r, s, noise, d);
    }
    if (noise) d.noise += SumBinPowers(x, p, k, end, true);
}

} // namespace

double FindFundamental(const Tsamplemem* spectrum, const TEvalSettings& s) {
    const int32_t bins = s.binsOf(spectrum);
    const double fstep = s.binSpacing();
    const double threshold = 20.0 * std::log10(double(s.fFundlow));
    const double* x = bins > 0 ? spectrum->smpoi() : nullptr;
    const int32_t k0 = FirstBinAbove(fstep, s.GTfreq, bins);
    // The loudest bin with a value; the threshold then holds for it or for none, as v + 11.5
    // grows with v. Interleaved maxima keep the scan free of branches.
    const V2d none = V2d{} + kSearchStart_dB;
    V2d m0 = none, m1 = none;
    int32_t k = k0;
    for (; k + 4 <= bins; k += 4) {
        const V2d a = load2(x + k), b = load2(x + k + 2);
        const V2d va = (a != 0.0) & finite2(a) ? a : none, vb = (b != 0.0) & finite2(b) ? b : none;
        m0 = va > m0 ? va : m0;
        m1 = vb > m1 ? vb : m1;
    }
    double best = std::max(std::max(m0[0], m0[1]), std::max(m1[0], m1[1]));
    for (; k < bins; ++k)
        if (x[k] != 0.0 && std::isfinite(x[k])) best = std::max(best, x[k]);
    int32_t bestK = 0;
    if (best > kSearchStart_dB && threshold < best + kSpectrumBinOffset_dB)
        for (bestK = k0; x[bestK] != best;) // the first of equal maxima
            ++bestK;
    return bestK > 1 ? bestK * fstep : 0.0;
}

TDistortionResult DistortionNoise(const Tsamplemem* spectrum, const TEvalSettings& s,
                                  const Tcorri* weighting, const double* unweighted) {
    TDistortionResult d;
    const int32_t bins = s.binsOf(spectrum);
    if (bins <= 0) return d;
    d.fundamental = s.bFundAuto ? FindFundamental(spectrum, s) : s.manualFundamental;
    if (!(d.fundamental > 0.0)) return d;
    const double* x = spectrum->smpoi();
    std::unique_ptr<double[]> own;
    if ((weighting && weighting->getaktiv()) || !unweighted) {
        own.reset(new double[size_t(bins)]);
        BinPowers(x, bins, s.binSpacing(), weighting, own.get());
    }
    const double* p = own ? own.get() : unweighted;
    distortionSums(x, p, bins, s, d);
    d.peakFrequency = s.bFundAuto ? PeakFrequency(p, bins, int32_t(std::lround(d.fundamental / s.binSpacing())),
                                                  s.binSpacing(), s.window, s.points)
                                  : d.fundamental;
    if (d.total > 0.0 && d.harmonics + d.noise > 0.0)
        d.dB = 20.0 * std::log10((std::sqrt(d.harmonics) + std::sqrt(d.noise)) / std::sqrt(d.total));
    return d;
}

double IMDistortion(const Tsamplemem* spectrum, const TEvalSettings& s, double fLow, double fHigh) {
    const int32_t bins = s.binsOf(spectrum);
    if (bins <= 0 || !(fLow > 0.0) || !(fHigh > 0.0)) return kNoValue;
    const double* x = spectrum->smpoi();
    const double R = regionPower(x, bins, s, fHigh, kImToneHalfWidth);
    // Half the spacing keeps neighbouring sideband regions apart.
    const double side = std::clamp(fLow / s.binSpacing() / 2.0, kImSideMinHalfWidth, kImToneHalfWidth);
    double S = 0.0;
    for (double fs : {fHigh - fLow, fHigh + fLow, fHigh - 2.0 * fLow, fHigh + 2.0 * fLow})
        S += regionPower(x, bins, s, fs, side);
    if (R > 0.0 && std::sqrt(R) > s.fFundlow && S > 0.0)
        return 20.0 * std::log10(std::sqrt(S / R));
    return kNoValue;
}

double ModulationDistortion(const Tsamplemem* spectrum, const TEvalSettings& s, double fA, double fB) {
    const int32_t bins = s.binsOf(spectrum);
    if (bins <= 0) return 0.0;
    const double* x = spectrum->smpoi();
    auto amplitude = [&](double f) {
        return std::sqrt(regionPower(x, bins, s, f, kModHalfWidth)) / std::sqrt(2.0);
    };
    const double b = amplitude(fB), a = amplitude(fA);
    const double d2 = amplitude(std::abs(fA - fB)), d3 = amplitude(2.0 * fB - fA);
    if (!(a + b > 0.0)) return 0.0;
    return std::sqrt(d2 * d2 + d3 * d3) / (b + a);
}
