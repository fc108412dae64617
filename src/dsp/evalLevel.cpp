// Bin powers, band sums and the band amplitude of a spectrum.
#include "dsp/evalLevel.h"

#include "dsp/evalVector.h"
#include "dsp/fftKernel.h"

#include <algorithm>
#include <cmath>

namespace {

using evalvec::finite2;
using evalvec::load2;
using evalvec::V2d;

// Bins are converted in chunks of this many, so the exponentials run over data in the cache.
constexpr int32_t kChunk = 1024;
constexpr double kPowerExp = 2.302585092994045684 / 10.0; // 10^(v/10) = e^(v * kPowerExp)

// Sum of the powers of bins first..end-1, in four interleaved partial sums.
template <bool valued>
double sumPowers(const double* x, const double* p, int32_t first, int32_t end) {
    V2d s0{}, s1{};
    int32_t k = first;
    for (; k + 4 <= end; k += 4) {
        V2d a = load2(p + k), b = load2(p + k + 2);
        if constexpr (valued) {
            a = finite2(load2(x + k)) ? a : V2d{};
            b = finite2(load2(x + k + 2)) ? b : V2d{};
        }
        s0 += a, s1 += b;
    }
    double tail = 0.0;
    for (; k < end; ++k)
        tail += !valued || std::fabs(x[k]) <= DBL_MAX ? p[k] : 0.0;
    return ((s0[0] + s0[1]) + (s1[0] + s1[1])) + tail;
}

// The first bin k of 0..bins for which pass(k) holds, pass being false below some bin and
// true from it on; the search starts at the estimate `guess` (any value).
template <class Pass> int32_t firstPassing(int32_t bins, double guess, Pass pass) {
    int32_t k = std::isfinite(guess) ? int32_t(std::clamp(guess, 0.0, double(bins))) : 0;
    while (k > 0 && pass(k - 1)) --k;
    while (k < bins && !pass(k)) ++k;
    return k;
}

// Power of one bin on the linear scale is e raised to this, which is -inf for a bin without a
// value. In the linear units a magnitude of 0 has no level; in dB exactly 0 is the mark of a bin
// without a value.
double binPowerExponent(double v, double f, bool linear, const Tcorri* weighting) {
    const bool weighted = weighting && weighting->getaktiv();
    if (linear) {
        if (!(v > 0.0)) return -HUGE_VAL;
        v = 20.0 * std::log10(v);
    } else if (v == 0.0) {
        return -HUGE_VAL;
    }
    if (weighted) v = weighting->corri(v, f, 0.0);
    return v * kPowerExp;
}

} // namespace

bool TEvalSettings::evaluable() const {
    return points >= 2 && fsampFreq > 0.0 && std::isfinite(fsampFreq);
}

int32_t TEvalSettings::binsOf(const Tsamplemem* spectrum) const {
    if (!evaluable() || !spectrum || !spectrum->smpoi()) return 0;
    return std::min(points / 2, spectrum->samples());
}

void BinPowers(const double* x, int32_t n, double fstep, const Tcorri* weighting, double* p) {
    const bool weighted = weighting && weighting->getaktiv();
    for (int32_t k0 = 0; k0 < n; k0 += kChunk) {
        const int32_t len = std::min(kChunk, n - k0);
        if (weighted) // before p overwrites x, when they are the same array
            for (int32_t j = 0; j < len; ++j)
                p[k0 + j] = x[k0 + j] == 0.0 ? -HUGE_VAL
                                              : weighting->corri(x[k0 + j], (k0 + j) * fstep, 0.0) * kPowerExp;
        else {
            int32_t j = 0;
            for (; j + 2 <= len; j += 2) {
                const V2d v = load2(x + k0 + j);
                const V2d e = v == 0.0 ? V2d{} - HUGE_VAL : v * kPowerExp;
                std::memcpy(p + k0 + j, &e, sizeof e);
            }
            for (; j < len; ++j) {
                const double v = x[k0 + j];
                p[k0 + j] = v == 0.0 ? -HUGE_VAL : v * kPowerExp;
            }
        }
        fftkernel::expArray(p + k0, p + k0, size_t(len));
    }
}

double PowerOfMissingLevel() {
    double p = kEvalNoValue_dB;
    BinPowers(&p, 1, 0.0, nullptr, &p);
    return p;
}

std::pair<int32_t, int32_t> BandBins(double fstep, double lo, double hi, int32_t bins) {
    const int32_t first = firstPassing(bins, lo / fstep, [&](int32_t k) { return k * fstep >= lo; });
    const int32_t above = firstPassing(bins, hi / fstep, [&](int32_t k) { return k * fstep > hi; });
    return {first, std::max(first, above)};
}

int32_t FirstBinAbove(double fstep, double f, int32_t bins) {
    return firstPassing(bins, f / fstep, [&](int32_t k) { return k * fstep > f; });
}

double SumBinPowers(const double* x, const double* p, int32_t first, int32_t end, bool valuedOnly) {
    return valuedOnly ? sumPowers<true>(x, p, first, end) : sumPowers<false>(x, p, first, end);
}

double BandAmplitude(const Tsamplemem& spectrum, int32_t bins, double fstep, int32_t lfvon,
                     int32_t lfbis, bool linear, const Tcorri* weighting) {
    const double* x = spectrum.smpoi();
    const bool weighted = weighting && weighting->getaktiv();
    const auto [first, end] = BandBins(fstep, lfvon, lfbis, bins);
    double sum = 0.0;
    double e[kChunk];
    for (int32_t k0 = first; k0 < end; k0 += kChunk) {
        const int32_t len = std::min(kChunk, end - k0);
        if (linear && !weighted) {
            for (int32_t j = 0; j < len; ++j)
                sum += x[k0 + j] > 0.0 ? x[k0 + j] * x[k0 + j] : 0.0;
            continue;
        }
        for (int32_t j = 0; j < len; ++j)
            e[j] = binPowerExponent(x[k0 + j], (k0 + j) * fstep, linear, weighting);
        fftkernel::expArray(e, e, size_t(len));
        for (int32_t j = 0; j < len; ++j)
            sum += e[j];
    }
    return std::sqrt(sum) / std::sqrt(2.0);
}

double BandAmplitudeOfPowers(const double* p, int32_t bins, double fstep, int32_t lfvon, int32_t lfbis) {
    const auto [first, end] = BandBins(fstep, lfvon, lfbis, bins);
    return std::sqrt(SumBinPowers(nullptr, p, first, end, false)) / std::sqrt(2.0);
}
