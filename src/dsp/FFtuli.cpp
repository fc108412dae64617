// Analysis windows, the fast Fourier transform and the windowed magnitude spectrum.
#include "dsp/FFtuli.h"

#include "dsp/fftKernel.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <complex>
#include <cstring>
#include <numbers>
#include <stdexcept>
#include <vector>

using fftkernel::AlignedArray;
using fftkernel::ComplexPlan;
using fftkernel::RealPlan;
using fftkernel::UnitCircle;

namespace {

// One window kind: cosine-sum coefficients and the gain correction in dB.
struct WindowCoefficients {
    const char* name;      // the kind's display name
    long double a[5];      // a0..a4
    long double gain_dB;   // gain correction g
};

constexpr std::array<WindowCoefficients, kWindowKinds> kWindows = {{
    {"norm", {0.5L, 0, 0, 0, 0}, 0.0L},
    {"Hamming", {0.54L, -0.46L, 0, 0, 0}, -0.8L},
    {"van Hann", {0.5L, -0.5L, 0, 0, 0}, 0.0L},
    {"Blackman", {0.42L, -0.5L, 0.08L, 0, 0}, 1.5L},
    {"Blackman Harris", {0.35875L, -0.48829L, 0.14128L, -0.01168L, 0}, 2.7L},
    {"Flat Top", {0.1881L, -0.36923L, 0.28702L, -0.13077L, 0.02488L}, 8.3L},
    {"Rife Vince 1", {0.375L, -0.5L, 0.125L, 0, 0}, 2.2L},
    {"Rife Vince 2", {0.3125L, -0.46875L, 0.1875L, -0.03125L, 0}, 4.0L},
    {"Rife Vince 3", {0.2734375L, -0.4375L, 0.21875L, -0.0625L, 0.0078125L}, 5.0L},
}};

// The smallest size the real-input path handles; below it the spectrum goes through the
// complex transform of all n values.
constexpr int32_t kMinRealPath = 64;

bool isPowerOfTwo(int32_t n) {
    return n > 0 && (n & (n - 1)) == 0;
}

int log2Of(int32_t n) {
    int b = 0;
    while ((int32_t(1) << b) < n) ++b;
    return b;
}

void requirePowerOfTwo(int32_t n, const char* what) {
    if (!isPowerOfTwo(n))
        throw std::invalid_argument(std::string(what) + ": size is not a power of two");
}

long double gainOf(int kind) {
    return powl(10.0L, kWindows[size_t(kind)].gain_dB / 20.0L);
}

} // namespace

struct FFtuliContext::Impl {
    std::unique_ptr<UnitCircle> circle;                     // the finest circle built so far
    std::array<std::unique_ptr<ComplexPlan>, 31> complexes; // complex plans by log2 size
    std::array<std::unique_ptr<RealPlan>, 31> reals;        // real plans by log2 size
    AlignedArray window;                                    // the window table
    int windowKind = 2;                                     // last kind prepared
    AlignedArray zr, zi;                                    // transform work arrays

    const UnitCircle& circleFor(int32_t n);
    const ComplexPlan& complexPlan(int32_t n);
    const RealPlan& realPlan(int32_t n);
    void ensureWork(size_t count);
    void fillWindow(int kind, int32_t n);
    double smallSpectrum(double* samples, double* aux, int32_t n, int auxKind);
    double auxSpectrum(const double* in, double* samples, double* aux, int32_t n, int auxKind);
};

const UnitCircle& FFtuliContext::Impl::circleFor(int32_t n) {
    // Any finer power-of-two circle holds every root of a coarser one, bit for bit.
    if (!circle || circle->size() < size_t(n)) circle = std::make_unique<UnitCircle>(size_t(n));
    return *circle;
}

const ComplexPlan& FFtuliContext::Impl::complexPlan(int32_t n) {
    auto& p = complexes[size_t(log2Of(n))];
    if (!p) p = std::make_unique<ComplexPlan>(size_t(n), circleFor(n));
    return *p;
}

const RealPlan& FFtuliContext::Impl::realPlan(int32_t n) {
    auto& p = reals[size_t(log2Of(n))];
    if (!p) {
        const UnitCircle& c = circleFor(n); // first, so that the half-size plan shares it
        const ComplexPlan& half = complexPlan(n / 2);
        p = std::make_unique<RealPlan>(size_t(n), half, c);
    }
    return *p;
}

void FFtuliContext::Impl::ensureWork(size_t count) {
    if (zr.size() >= count && zi.size() >= count) return;
    AlignedArray r(count), i(count);
    zr = std::move(r), zi = std::move(i);
}

// The periodic window is symmetric (w[n-i] = w[i]) and the unit circle exactly so; only the
// first half is evaluated.
void FFtuliContext::Impl::fillWindow(int kind, int32_t n) {
    double* w = window.data();
    if (kind == 0) {
        for (int32_t i = 0; i < n; ++i)
            w[i] = 0.5;
        return;
    }
    const UnitCircle& c = circleFor(n);
    const size_t unit = c.size() / size_t(n);
    const long double* a = kWindows[size_t(kind)].a;
    const long double g = gainOf(kind);
    for (int32_t i = 0; i <= n / 2; ++i) {
        const size_t x = size_t(i) * unit;
        long double sum = a[0] + a[1] * static_cast<long double>(c.cosAt(x));
        sum += a[2] * static_cast<long double>(c.cosAt(2 * x));
        sum += a[3] * static_cast<long double>(c.cosAt(3 * x));
        sum += a[4] * static_cast<long double>(c.cosAt(4 * x));
        w[i] = static_cast<double>(g * sum);
        if (i > 0 && i < n - i) w[n - i] = w[i];
    }
}

namespace {

// Phase(re[k], im[k]) for k < count, the arctangents taken over the whole array at once.
void phases(const double* re, const double* im, double* aux, int32_t count) {
    fftkernel::atanQuotArray(im, re, aux, size_t(count));
    for (int32_t k = 0; k < count; ++k) {
        const bool none =
            (re[k] == 0.0) | ((std::fabs(re[k]) < 1e-27) & (std::fabs(im[k]) < 1e-27));
        aux[k] = none ? 0.0 : aux[k];
    }
}

// Bins are finished in blocks of this many, so each block's values are read from the cache.
constexpr int32_t kBinBlock = 1024;

// The steps of the analysis call after the transform: aux values, then magnitudes of the
// scaled bins 0..half-1 into mag (which may be re itself). The magnitudes are summed in four
// interleaved partial sums.
double auxAndMagnitudes(const double* re, const double* im, double* mag, double* aux,
                        int auxKind, int32_t n) {
    const int32_t half = n / 2;
    if (aux && auxKind == 2)
        for (int32_t k = 0; k < half; ++k)
            aux[k] = -1000.0 * PhaseDelay(48000.0 * k / n, re[k], im[k]);
    double s[4] = {0.0, 0.0, 0.0, 0.0};
    for (int32_t k0 = 0; k0 < half; k0 += kBinBlock) {
        const int32_t len = std::min(kBinBlock, half - k0);
        if (aux && auxKind == 1) phases(re + k0, im + k0, aux + k0, len);
        fftkernel::hypotArray(re + k0, im + k0, mag + k0, size_t(len));
        int32_t j = 0;
        for (; j + 4 <= len; j += 4)
            for (int l = 0; l < 4; ++l)
                s[l] += mag[k0 + j + l];
        for (; j < len; ++j)
            s[0] += mag[k0 + j];
    }
    return (s[0] + s[1]) + (s[2] + s[3]);
}

} // namespace

// Small sizes: window, full complex transform in place, scaling, as the definition reads.
double FFtuliContext::Impl::smallSpectrum(double* samples, double* aux, int32_t n, int auxKind) {
    std::vector<double> im(size_t(n), 0.0);
    const double* w = window.data();
    for (int32_t i = 0; i < n; ++i)
        samples[i] *= w[i];
    ensureWork(size_t(n));
    complexPlan(n).transformInPlace(samples, im.data(), zr.data(), zi.data());
    for (int32_t i = 0; i < n; ++i)
        samples[i] /= n, im[size_t(i)] /= n;
    return auxAndMagnitudes(samples, im.data(), samples, aux, auxKind, n);
}

// With phase or delay requested: the scaled bins are unpacked into the work arrays first.
double FFtuliContext::Impl::auxSpectrum(const double* in, double* samples, double* aux, int32_t n,
                                        int auxKind) {
    const size_t m = size_t(n) / 2;
    ensureWork(m + 1);
    realPlan(n).transform(in, window.data(), zr.data(), zi.data(), 1.0 / n, zr.data(),
                          zi.data());
    for (size_t i = 0; i < m; ++i)
        samples[m + i] = zr.data()[m - i];
    return auxAndMagnitudes(zr.data(), zi.data(), samples, aux, auxKind, n);
}

FFtuliContext::FFtuliContext() : d(std::make_unique<Impl>()) {}
FFtuliContext::~FFtuliContext() = default;

void FFtuliContext::prepareWindow(int kind, int32_t n) {
    requirePowerOfTwo(n, "PrepareWindow");
    if (n >= kMinRealPath)
        d->realPlan(n);
    else
        d->complexPlan(n);
    if (d->window.size() != size_t(n)) d->window = AlignedArray(size_t(n));
    d->windowKind = kind;
    if (IsValidWindowKind(kind)) d->fillWindow(kind, n);
}

void FFtuliContext::fft(double* re, double* im, int32_t n) {
    requirePowerOfTwo(n, "FFT");
    const ComplexPlan& plan = d->complexPlan(n);
    d->ensureWork(size_t(n));
    plan.transformInPlace(re, im, d->zr.data(), d->zi.data());
}

double FFtuliContext::windowedSpectrum(double* samples, double* aux, int32_t n, int auxKind) {
    return windowedSpectrumFrom(samples, samples, aux, n, auxKind);
}

// The large transforms read `in` once, into the work arrays, before anything is written to
// `samples`; the small one works in place.
double FFtuliContext::windowedSpectrumFrom(const double* in, double* samples, double* aux, int32_t n,
                                           int auxKind) {
    requirePowerOfTwo(n, "WindowedSpectrum");
    if (d->window.size() != size_t(n)) prepareWindow(d->windowKind, n);
    if (n < kMinRealPath) {
        if (in != samples) std::memcpy(samples, in, sizeof(double) * size_t(n));
        return d->smallSpectrum(samples, aux, n, auxKind);
    }
    if (aux && (auxKind == 1 || auxKind == 2)) return d->auxSpectrum(in, samples, aux, n, auxKind);
    const RealPlan& plan = d->realPlan(n);
    d->ensureWork(size_t(n) / 2 + 1);
    return plan.magnitudes(in, d->window.data(), samples, d->zr.data(), d->zi.data());
}

int32_t FFtuliContext::windowedSpectrumLowCut(double* samples, double* aux, int32_t n,
                                              int auxKind, int32_t d_) {
    windowedSpectrum(samples, aux, n, auxKind);
    const double limit = 1.0 / (double(n) - double(d_ < 0 ? 0 : d_));
    for (int32_t i = 0; i < n / 2; ++i) {
        if (double(i) / n >= limit) return i;
        samples[i] = 0.0;
        if (aux) aux[i] = 0.0;
    }
    return 0;
}

void FFtuliContext::realTransform(const double* x, double* re, double* im, int32_t n) {
    requirePowerOfTwo(n, "realTransform");
    if (n < kMinRealPath) {
        std::vector<double> r(x, x + n), i(size_t(n), 0.0);
        fft(r.data(), i.data(), n);
        std::memcpy(re, r.data(), sizeof(double) * size_t(n / 2 + 1));
        std::memcpy(im, i.data(), sizeof(double) * size_t(n / 2 + 1));
        return;
    }
    const RealPlan& plan = d->realPlan(n);
    d->ensureWork(size_t(n) / 2 + 1);
    plan.transform(x, nullptr, re, im, 1.0, d->zr.data(), d->zi.data());
}

const double* FFtuliContext::window() const {
    return d->window.data();
}

int32_t FFtuliContext::windowSize() const {
    return int32_t(d->window.size());
}

const char* WindowName(int kind) {
    return IsValidWindowKind(kind) ? kWindows[size_t(kind)].name : "unknown";
}

double Phase(double re, double im) {
    if (re == 0.0 || (std::fabs(re) < 1e-27 && std::fabs(im) < 1e-27)) return 0.0;
    return fftkernel::fastAtanQuot(im, re);
}

double PhaseDelay(double f, double re, double im) {
    if (std::fabs(re) < 1e-27 && std::fabs(im) < 1e-27) return 0.0;
    if (f == 0.0) return 0.0;
    return Phase(re, im) / (2.0 * std::numbers::pi * f);
}

bool IsValidFFTSize(int32_t n) {
    return isPowerOfTwo(n) && n >= 64 && n <= 1048576;
}

double WindowCoherentGain(int kind) {
    if (!IsValidWindowKind(kind)) return 0.0;
    if (kind == 0) return 0.5;
    return static_cast<double>(gainOf(kind) * kWindows[size_t(kind)].a[0]);
}

double WindowMeanSquare(int kind) {
    if (!IsValidWindowKind(kind)) return 0.0;
    if (kind == 0) return 0.25;
    const long double* a = kWindows[size_t(kind)].a;
    const long double g = gainOf(kind);
    const long double ac = a[1] * a[1] + a[2] * a[2] + a[3] * a[3] + a[4] * a[4];
    return static_cast<double>(g * g * (a[0] * a[0] + ac / 2));
}

double WindowLevelFactor(int kind) {
    const double ms = WindowMeanSquare(kind);
    if (ms <= 0.0) return 0.0;
    return std::pow(10.0, -kSpectrumBinOffset_dB / 20.0) * 2.0 * std::sqrt(2.0) / std::sqrt(ms);
}

namespace {

// Sum over t = 0..n-1 of e^(-2 pi i y t / n): the transform of the rectangle at y bins.
std::complex<double> dirichlet(double y, int32_t n) {
    const double s = std::sin(std::numbers::pi * y / n);
    const double amplitude = std::fabs(s) < 1e-300 ? double(n) : std::sin(std::numbers::pi * y) / s;
    const double phase = -std::numbers::pi * y * (n - 1) / n;
    return {amplitude * std::cos(phase), amplitude * std::sin(phase)}; // amplitude may be negative
}

} // namespace

double WindowResponse(int kind, double x, int32_t n) {
    if (!IsValidWindowKind(kind) || n < 2) return 0.0;
    const long double* a = kWindows[size_t(kind)].a;
    // Each cosine term of the window shifts the rectangle's transform by +-m bins.
    std::complex<double> w = double(a[0]) * dirichlet(x, n);
    for (int m = 1; m < 5; ++m)
        if (a[m] != 0)
            w += double(a[m]) / 2.0 * (dirichlet(x - m, n) + dirichlet(x + m, n));
    return std::abs(w);
}
