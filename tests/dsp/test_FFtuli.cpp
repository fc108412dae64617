// Tests of the analysis windows, the transform and the windowed magnitude spectrum.
#include "dsp/FFtuli.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>
#include <random>
#include <stdexcept>
#include <vector>

namespace {

using CL = std::complex<long double>;
constexpr long double kTwoPiL = 6.283185307179586476925286766559005768L;

std::vector<double> randomBlock(int32_t n, unsigned seed) {
    std::mt19937 gen(seed);
    std::uniform_real_distribution<double> dist(-1.0, 1.0);
    std::vector<double> v(static_cast<size_t>(n));
    for (double& x : v)
        x = dist(gen);
    return v;
}

// The definition, evaluated directly in extended precision.
std::vector<CL> directDft(const std::vector<CL>& x) {
    const size_t n = x.size();
    std::vector<CL> w(n), out(n);
    for (size_t j = 0; j < n; ++j)
        w[j] = std::polar(1.0L, -kTwoPiL * (long double)j / (long double)n);
    for (size_t k = 0; k < n; ++k) {
        CL s = 0;
        for (size_t t = 0; t < n; ++t)
            s += x[t] * w[(k * t) % n];
        out[k] = s;
    }
    return out;
}

// Extended-precision radix-2 transform, for sizes where the direct sum takes too long.
void referenceFft(std::vector<CL>& a) {
    const size_t n = a.size();
    for (size_t i = 1, j = 0; i < n; ++i) {
        size_t bit = n >> 1;
        for (; j & bit; bit >>= 1)
            j ^= bit;
        j |= bit;
        if (i < j) std::swap(a[i], a[j]);
    }
    for (size_t len = 2; len <= n; len *= 2)
        for (size_t j = 0; j < len / 2; ++j) {
            const CL w = std::polar(1.0L, -kTwoPiL * (long double)j / (long double)len);
            for (size_t b = 0; b < n; b += len) {
                const CL t = w * a[b + j + len / 2];
                a[b + j + len / 2] = a[b + j] - t;
                a[b + j] += t;
            }
        }
}

// Relative RMS error of (re, im) against the reference over its first `count` bins.
double relRms(const double* re, const double* im, const std::vector<CL>& ref, size_t count) {
    long double err = 0, norm = 0;
    for (size_t k = 0; k < count; ++k) {
        err += std::norm(CL(re[k], im[k]) - ref[k]);
        norm += std::norm(ref[k]);
    }
    return double(std::sqrt(err / norm));
}

std::vector<CL> toComplex(const std::vector<double>& re, const std::vector<double>* im = nullptr) {
    std::vector<CL> out(re.size());
    for (size_t i = 0; i < re.size(); ++i)
        out[i] = CL(re[i], im ? (*im)[i] : 0.0);
    return out;
}

std::vector<double> sineBlock(int32_t n, double cycles, double phase, double amplitude = 1.0) {
    std::vector<double> v(static_cast<size_t>(n));
    for (int32_t i = 0; i < n; ++i)
        v[size_t(i)] = amplitude * std::cos(2 * std::numbers::pi * cycles * i / n + phase);
    return v;
}

// Band level of a magnitude spectrum in dB re full scale, over bins 1..n/2-1.
double bandLevel_dB(const std::vector<double>& mag, int32_t n, int kind) {
    double sum = 0;
    for (int32_t k = 1; k < n / 2; ++k)
        sum += mag[size_t(k)] * mag[size_t(k)];
    const double L = std::sqrt(sum) / std::sqrt(2.0);
    return 20 * std::log10(L * WindowLevelFactor(kind)) + kSpectrumBinOffset_dB;
}

// ---------------------------------------------------------------------------------------------

TEST(FFtuliTransform, ComplexTransformEqualsDefinitionWithin1e15) {
    FFtuliContext ctx;
    for (int32_t n = 1; n <= 4096; n *= 2) {
        auto re = randomBlock(n, 11u + unsigned(n)), im = randomBlock(n, 7u * unsigned(n));
        const auto ref = directDft(toComplex(re, &im));
        ctx.fft(re.data(), im.data(), n);
        EXPECT_LE(relRms(re.data(), im.data(), ref, size_t(n)), 1e-15) << "n=" << n;
    }
}

TEST(FFtuliTransform, RealTransformEqualsDefinitionWithin1e15) {
    FFtuliContext ctx;
    for (int32_t n = 2; n <= 4096; n *= 2) {
        const auto x = randomBlock(n, 3u + unsigned(n));
        const auto ref = directDft(toComplex(x));
        std::vector<double> re(size_t(n / 2 + 1)), im(re.size());
        ctx.realTransform(x.data(), re.data(), im.data(), n);
        EXPECT_LE(relRms(re.data(), im.data(), ref, re.size()), 1e-15) << "n=" << n;
    }
}

// Sizes above the depth-first block, with both leaf sizes (odd and even log2 of n/2), and one
// large enough for the first pass to write past the caches.
TEST(FFtuliTransform, LargeSizesMatchExtendedPrecisionReference) {
    FFtuliContext ctx;
    for (int32_t n : {32768, 65536, 262144}) {
        const auto x = randomBlock(n, 99);
        auto ref = toComplex(x);
        referenceFft(ref);
        std::vector<double> re(size_t(n / 2 + 1)), im(re.size());
        ctx.realTransform(x.data(), re.data(), im.data(), n);
        EXPECT_LE(relRms(re.data(), im.data(), ref, re.size()), 1e-15) << "real n=" << n;
        auto cr = randomBlock(n, 5), ci = randomBlock(n, 6);
        auto cref = toComplex(cr, &ci);
        referenceFft(cref);
        ctx.fft(cr.data(), ci.data(), n);
        EXPECT_LE(relRms(cr.data(), ci.data(), cref, size_t(n)), 1e-15) << "complex n=" << n;
    }
}

TEST(FFtuliTransform, ParsevalAndLinearity) {
    FFtuliContext ctx;
    const int32_t n = 2048;
    const auto x = randomBlock(n, 1), y = randomBlock(n, 2);
    std::vector<double> xr(n / 2 + 1), xi(xr.size()), yr(xr.size()), yi(xr.size());
    ctx.realTransform(x.data(), xr.data(), xi.data(), n);
    ctx.realTransform(y.data(), yr.data(), yi.data(), n);
    double energy = 0, spectral = xr[0] * xr[0] + xr[n / 2] * xr[n / 2];
    for (double v : x)
        energy += v * v;
    for (int32_t k = 1; k < n / 2; ++k)
        spectral += 2 * (xr[k] * xr[k] + xi[k] * xi[k]);
    EXPECT_NEAR(spectral / n, energy, 1e-13 * energy);

    std::vector<double> z(static_cast<size_t>(n)), zr(xr.size()), zi(xr.size());
    for (int32_t i = 0; i < n; ++i)
        z[i] = 0.75 * x[i] - 2.5 * y[i];
    ctx.realTransform(z.data(), zr.data(), zi.data(), n);
    for (int32_t k = 0; k <= n / 2; ++k) {
        EXPECT_NEAR(zr[k], 0.75 * xr[k] - 2.5 * yr[k], 1e-12);
        EXPECT_NEAR(zi[k], 0.75 * xi[k] - 2.5 * yi[k], 1e-12);
    }
}

TEST(FFtuliTransform, RejectsSizesThatAreNotPowersOfTwo) {
    FFtuliContext ctx;
    std::vector<double> re(100), im(100);
    EXPECT_THROW(ctx.fft(re.data(), im.data(), 0), std::invalid_argument);
    EXPECT_THROW(ctx.fft(re.data(), im.data(), 96), std::invalid_argument);
    EXPECT_THROW(ctx.prepareWindow(2, 100), std::invalid_argument);
    EXPECT_THROW(ctx.windowedSpectrum(re.data(), nullptr, -64, 0), std::invalid_argument);
    EXPECT_FALSE(IsValidFFTSize(32));
    EXPECT_TRUE(IsValidFFTSize(64));
    EXPECT_TRUE(IsValidFFTSize(1048576));
    EXPECT_FALSE(IsValidFFTSize(2097152));
    EXPECT_FALSE(IsValidFFTSize(1000));
    EXPECT_FALSE(IsValidFFTSize(-64));
}

// ---------------------------------------------------------------------------------------------

TEST(FFtuliWindow, NamesAndTableFacts) {
    EXPECT_STREQ(WindowName(0), "norm");
    EXPECT_STREQ(WindowName(2), "van Hann");
    EXPECT_STREQ(WindowName(4), "Blackman Harris");
    EXPECT_STREQ(WindowName(8), "Rife Vince 3");
    EXPECT_STREQ(WindowName(9), "unknown");
    EXPECT_STREQ(WindowName(-1), "unknown");
    FFtuliContext ctx;
    for (int32_t n : {64, 1024}) {
        for (int kind = 0; kind < kWindowKinds; ++kind) {
            ctx.prepareWindow(kind, n);
            long double mean = 0, meanSq = 0;
            for (int32_t i = 0; i < n; ++i)
                mean += ctx.window()[i], meanSq += (long double)ctx.window()[i] * ctx.window()[i];
            mean /= n, meanSq /= n;
            EXPECT_NEAR(double(mean), WindowCoherentGain(kind), 1e-15) << kind;
            EXPECT_NEAR(double(meanSq), WindowMeanSquare(kind), 1e-15) << kind;
            // The gain corrections bring every kind's coherent gain near that of "norm".
            EXPECT_NEAR(WindowCoherentGain(kind), 0.5, 0.5 * 0.04) << kind;
        }
    }
    EXPECT_EQ(WindowCoherentGain(9), 0.0);
    EXPECT_EQ(WindowLevelFactor(-1), 0.0);
}

TEST(FFtuliWindow, KindZeroHalvesAndUnknownKindAfterResizeGivesSilence) {
    FFtuliContext ctx;
    ctx.prepareWindow(0, 256);
    for (int32_t i = 0; i < 256; ++i)
        ASSERT_EQ(ctx.window()[i], 0.5);
    auto x = sineBlock(256, 10, 0.4);
    ctx.prepareWindow(42, 512); // fresh table: stays zero
    ASSERT_EQ(ctx.windowSize(), 512);
    auto y = sineBlock(512, 10, 0.4);
    EXPECT_EQ(ctx.windowedSpectrum(y.data(), nullptr, 512, 0), 0.0);
    for (int32_t k = 0; k < 256; ++k)
        ASSERT_EQ(y[k], 0.0);
    ctx.prepareWindow(3, 512);
    const double blackman = ctx.window()[100];
    ctx.prepareWindow(42, 512); // same size: the old values stay
    EXPECT_EQ(ctx.window()[100], blackman);
}

// ---------------------------------------------------------------------------------------------

TEST(FFtuliSpectrum, EqualsDefinitionForEveryWindow) {
    FFtuliContext ctx;
    for (int32_t n : {16, 64, 128, 1024}) {
        for (int kind = 0; kind < kWindowKinds; ++kind) {
            ctx.prepareWindow(kind, n);
            auto x = randomBlock(n, unsigned(kind * 100 + n));
            std::vector<CL> xw(static_cast<size_t>(n));
            for (int32_t i = 0; i < n; ++i)
                xw[i] = (long double)(x[i] * ctx.window()[i]);
            const auto ref = directDft(xw);
            const double sum = ctx.windowedSpectrum(x.data(), nullptr, n, 0);
            long double refSum = 0;
            for (int32_t k = 0; k < n / 2; ++k) {
                const long double m = std::abs(ref[k]) / n;
                refSum += m;
                EXPECT_NEAR(x[k], double(m), 1e-15) << "n=" << n << " kind=" << kind;
                EXPECT_NEAR(x[n / 2 + k], double(ref[n / 2 - k].real() / n), 1e-15);
            }
            EXPECT_NEAR(sum, double(refSum), 1e-13);
        }
    }
}

TEST(FFtuliSpectrum, DcThroughEveryWindowReadsItsCoherentGain) {
    FFtuliContext ctx;
    for (int kind = 0; kind < kWindowKinds; ++kind) {
        ctx.prepareWindow(kind, 1024);
        std::vector<double> x(1024, 0.8);
        const double sum = ctx.windowedSpectrum(x.data(), nullptr, 1024, 0);
        EXPECT_NEAR(x[0], 0.8 * WindowCoherentGain(kind), 1e-15) << kind;
        // A cosine sum of order four leaks into bins 1..4 only.
        for (int k = 5; k < 512; ++k)
            ASSERT_LT(x[k], 1e-15) << kind << " bin " << k;
        if (kind == 0) {
            EXPECT_DOUBLE_EQ(sum, 0.4);
        }
    }
}

TEST(FFtuliSpectrum, SineOnABinGivesAmplitudePhaseAndDelay) {
    FFtuliContext ctx;
    const int32_t n = 4096;
    const double phase = 0.3;
    for (int kind = 0; kind < kWindowKinds; ++kind) {
        ctx.prepareWindow(kind, n);
        auto x = sineBlock(n, 300, phase), aux = std::vector<double>(n / 2);
        ctx.windowedSpectrum(x.data(), aux.data(), n, 1);
        EXPECT_NEAR(x[300], WindowCoherentGain(kind) / 2, 1e-13) << kind;
        EXPECT_NEAR(aux[300], phase, 1e-12) << kind;
        if (kind == 2) {
            EXPECT_NEAR(x[300], 0.25, 1e-13);
        }
    }
    auto x = sineBlock(n, 300, phase), aux = std::vector<double>(n / 2, 99.0);
    const double withDelay = ctx.windowedSpectrum(x.data(), aux.data(), n, 2);
    const double f = 48000.0 * 300 / n;
    EXPECT_NEAR(aux[300], -1000 * phase / (2 * std::numbers::pi * f), 1e-12);
    EXPECT_EQ(aux[0], 0.0); // bin 0 has no delay; the call goes on to the magnitudes
    for (double v : aux)
        ASSERT_TRUE(std::isfinite(v));
    auto y = sineBlock(n, 300, phase);
    EXPECT_NEAR(withDelay, ctx.windowedSpectrum(y.data(), nullptr, n, 0), 1e-13);
    EXPECT_EQ(x[300], y[300]);
}

TEST(FFtuliSpectrum, EdgeCases) {
    FFtuliContext ctx;
    ctx.prepareWindow(0, 2); // n = 2: one butterfly, one magnitude
    double two[2] = {0.6, 0.2};
    EXPECT_DOUBLE_EQ(ctx.windowedSpectrum(two, nullptr, 2, 0), 0.2);
    EXPECT_DOUBLE_EQ(two[0], 0.2);
    EXPECT_DOUBLE_EQ(two[1], 0.1); // scaled real part of bin 1
    EXPECT_EQ(Phase(0.0, 1.0), 0.0);
    EXPECT_EQ(Phase(1e-28, -1e-28), 0.0);
    EXPECT_NEAR(Phase(-1.0, 1.0), -std::numbers::pi / 4, 1e-15); // quadrant not resolved
    EXPECT_EQ(PhaseDelay(0.0, 1.0, 1.0), 0.0);
    EXPECT_NEAR(PhaseDelay(1000.0, 1.0, 1.0), 0.125e-3, 1e-18);
    // An unprepared size takes the last prepared kind.
    ctx.prepareWindow(3, 64);
    auto a = randomBlock(128, 8), b = a;
    ctx.windowedSpectrum(a.data(), nullptr, 128, 0);
    FFtuliContext other;
    other.prepareWindow(3, 128);
    other.windowedSpectrum(b.data(), nullptr, 128, 0);
    EXPECT_EQ(a, b);
}

TEST(FFtuliSpectrum, LowCutClearsTheLowestBins) {
    FFtuliContext ctx;
    const int32_t n = 256;
    ctx.prepareWindow(2, n);
    struct Case {
        int32_t d, first;
    };
    for (Case c : {Case{0, 1}, Case{-5, 1}, Case{128, 2}, Case{192, 4}, Case{256, 0}}) {
        auto x = randomBlock(n, 4), aux = std::vector<double>(n / 2, 1.0);
        EXPECT_EQ(ctx.windowedSpectrumLowCut(x.data(), aux.data(), n, 0, c.d), c.first) << c.d;
        const int32_t cleared = c.first == 0 ? n / 2 : c.first;
        for (int32_t k = 0; k < n / 2; ++k) {
            EXPECT_EQ(x[k] == 0.0, k < cleared) << "d=" << c.d << " k=" << k;
            EXPECT_EQ(aux[k], k < cleared ? 0.0 : 1.0);
        }
    }
}

TEST(FFtuliSpectrum, ResultsDoNotDependOnBufferReuse) {
    const auto input = randomBlock(1024, 77);
    FFtuliContext ctx;
    auto first = input;
    ctx.prepareWindow(5, 1024);
    ctx.windowedSpectrum(first.data(), nullptr, 1024, 0);
    ctx.prepareWindow(5, 4096);
    auto big = randomBlock(4096, 78);
    ctx.windowedSpectrum(big.data(), nullptr, 4096, 0);
    ctx.prepareWindow(5, 1024);
    auto again = input;
    ctx.windowedSpectrum(again.data(), nullptr, 1024, 0);
    EXPECT_EQ(first, again);
    FFtuliContext fresh;
    fresh.prepareWindow(5, 1024);
    auto other = input;
    fresh.windowedSpectrum(other.data(), nullptr, 1024, 0);
    EXPECT_EQ(first, other);
}

// Reading from a separate input gives the in-place results bit for bit and leaves the input
// alone: below and above the size where the real-input path starts, with phase, with delay
// and without an aux array.
TEST(FFtuliSpectrum, FromSeparateInputEqualsInPlace) {
    for (const int32_t n : {64, 128, 4096, 65536})
        for (const int auxKind : {0, 1, 2}) {
            const auto input = randomBlock(n, 90 + unsigned(n));
            FFtuliContext ctx;
            ctx.prepareWindow(3, n);
            auto inPlace = input;
            std::vector<double> auxIn(size_t(n), 7.0), auxFrom(size_t(n), 7.0);
            const double sumIn = ctx.windowedSpectrum(inPlace.data(), auxIn.data(), n, auxKind);
            auto source = input;
            std::vector<double> out(size_t(n), -3.0);
            const double sumFrom = ctx.windowedSpectrumFrom(source.data(), out.data(), auxFrom.data(), n, auxKind);
            EXPECT_EQ(source, input) << n << " kind " << auxKind;
            EXPECT_EQ(out, inPlace) << n << " kind " << auxKind;
            EXPECT_EQ(auxFrom, auxIn) << n << " kind " << auxKind;
            EXPECT_EQ(sumFrom, sumIn) << n << " kind " << auxKind;
        }
}

// A full-scale sine's band level reads 0 dBFS in every window and size.
TEST(FFtuliLevel, FullScaleSineBandLevelIsZeroDbfs) {
    FFtuliContext ctx;
    for (int32_t n : {1024, 16384}) {
        for (int kind = 0; kind < kWindowKinds; ++kind) {
            ctx.prepareWindow(kind, n);
            auto onBin = sineBlock(n, n / 8, 0.2);
            ctx.windowedSpectrum(onBin.data(), nullptr, n, 0);
            EXPECT_NEAR(bandLevel_dB(onBin, n, kind), 0.0, 0.001) << n << " " << kind;
            if (kind == 0) continue; // its leakage leaves the band
            auto between = sineBlock(n, n / 8 + 0.37, 1.1);
            ctx.windowedSpectrum(between.data(), nullptr, n, 0);
            EXPECT_NEAR(bandLevel_dB(between, n, kind), 0.0, 0.01) << n << " " << kind;
        }
    }
    auto half = sineBlock(4096, 100, 0.0, 0.5); // -6.02 dB at half scale
    ctx.prepareWindow(4, 4096);
    ctx.windowedSpectrum(half.data(), nullptr, 4096, 0);
    EXPECT_NEAR(bandLevel_dB(half, 4096, 4), 20 * std::log10(0.5), 0.001);
}

} // namespace
