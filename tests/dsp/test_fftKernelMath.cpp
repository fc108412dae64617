// Tests of the per-bin elementary functions: accuracy, special values, arrays equal to scalars.
#include "dsp/fftKernel.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

namespace {

using namespace fftkernel;

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Distance of got from the reference in units of the reference's last place.
double ulps(double got, long double ref) {
    const double r = std::fabs(static_cast<double>(ref));
    const double unit = std::nextafter(r, kInf) - r;
    return static_cast<double>(fabsl(static_cast<long double>(got) - ref)) / unit;
}

bool sameBits(double a, double b) {
    return std::memcmp(&a, &b, sizeof a) == 0 || (std::isnan(a) && std::isnan(b));
}

TEST(FftKernelMath, WithinTwoUlpsOfExtendedPrecision) {
    std::mt19937_64 gen(11);
    std::uniform_real_distribution<double> e(-40.0, 8.0), l(-300.0, 300.0), a(-30.0, 30.0);
    std::normal_distribution<double> n(0.0, 1.0);
    double worstExp = 0, worstLog = 0, worstAtan = 0, worstQuot = 0;
    for (int i = 0; i < 200000; ++i) {
        const double x = e(gen), y = std::pow(10.0, l(gen)), z = std::tan(a(gen));
        worstExp = std::max(worstExp, ulps(fastExp(expTable(), x), expl(x)));
        worstLog = std::max(worstLog, ulps(fastLog10(y), log10l(y)));
        worstAtan = std::max(worstAtan, ulps(fastAtan(z), atanl(z)));
        const double re = n(gen), im = n(gen) * std::pow(10.0, a(gen) / 6);
        worstQuot = std::max(worstQuot, ulps(fastAtanQuot(im, re), atanl((long double)im / re)));
    }
    EXPECT_LT(worstExp, 1.0);
    EXPECT_LT(worstLog, 1.0);
    EXPECT_LT(worstAtan, 1.0);
    // The quotient's reduction trades the last bits for speed: within 4 ulps and 4e-16 rad.
    EXPECT_LT(worstQuot, 4.0);
}

// The phase of every bin goes through fastAtanQuot: over every quadrant and the whole range of
// magnitudes its direct path covers (and beyond it), within 4e-16 rad of the extended-precision
// arctangent of the exact quotient; the sign follows the quadrant.
TEST(FftKernelMath, AtanQuotWithinAbsoluteBoundOverTheWholeRange) {
    std::mt19937_64 gen(5);
    std::uniform_real_distribution<double> angle(-M_PI, M_PI), exponent(-295.0, 295.0);
    double worst = 0.0;
    for (int i = 0; i < 400000; ++i) {
        const double t = angle(gen), m = std::pow(10.0, exponent(gen));
        const double re = m * std::cos(t), im = m * std::sin(t);
        const long double ref = atanl(static_cast<long double>(im) / re);
        const double got = fastAtanQuot(im, re);
        ASSERT_EQ(std::signbit(got), std::signbit(im) != std::signbit(re)) << im << " " << re;
        worst = std::max(worst, static_cast<double>(fabsl(got - ref)));
    }
    EXPECT_LT(worst, 4e-16);
    // The reduction's seams: tan(pi/8), 1 and the exchange of the parts.
    for (double q : {0.41421356237309503, 0.414213562373095, 0.4142135623730951, 1.0,
                     1.0000000000000002, 0.9999999999999999, 2.414213562373095, 1e-12, 1e12})
        for (double s : {1.0, -1.0})
            EXPECT_LT(fabsl(fastAtanQuot(s * q, 1.0) - atanl(s * static_cast<long double>(q))),
                      4e-16L)
                << q;
}

TEST(FftKernelMath, SpecialValuesAsTheLibrary) {
    for (double x : {0.0, -0.0, 1.0, -745.0, 709.0, 710.0, -kInf, kInf, kNaN, 1e-20})
        EXPECT_TRUE(sameBits(fastExp(expTable(), x), std::exp(x))) << x;
    for (double x : {1.0, 10.0, 1e-5, 0.0, -0.0, -1.0, kInf, kNaN, 1e-310, 1e22})
        EXPECT_TRUE(sameBits(fastLog10(x), std::log10(x))) << x;
    for (double x : {0.0, -0.0, 1.0, -1.0, 0.4375, 2.4375, 1e300, kInf, -kInf, kNaN, 1e-310})
        EXPECT_TRUE(sameBits(fastAtan(x), std::atan(x))) << x;
    EXPECT_TRUE(sameBits(fastAtanQuot(0.0, -1.0), -0.0));
    EXPECT_DOUBLE_EQ(fastAtanQuot(1.0, -1.0), -std::atan(1.0));
    EXPECT_DOUBLE_EQ(fastAtanQuot(1e-300, 1e-300), std::atan(1.0)); // outside the direct range
    EXPECT_TRUE(std::isnan(fastAtanQuot(kNaN, 1.0)));
}

// Every width and the odd tail give the scalar results bit for bit, also in place.
TEST(FftKernelMath, ArraysEqualScalarsBitForBit) {
    std::mt19937_64 gen(3);
    std::uniform_real_distribution<double> e(-40.0, 8.0), l(-300.0, 300.0);
    std::normal_distribution<double> n(0.0, 1.0);
    const size_t count = 1027;
    std::vector<double> x(count), y(count), re(count), im(count);
    for (size_t i = 0; i < count; ++i) {
        x[i] = e(gen), y[i] = std::pow(10.0, l(gen)), re[i] = n(gen), im[i] = n(gen);
    }
    x[5] = kNaN, x[7] = 800.0, x[9] = -kInf;
    y[3] = 0.0, y[4] = -1.0, y[6] = kInf, y[8] = 1e-310;
    re[0] = 0.0, im[1] = 0.0, re[2] = 1e-300, im[3] = kInf, re[4] = kNaN, re[6] = -0.0;
    std::vector<double> ex = x, lg = y, ph(count);
    expArray(ex.data(), ex.data(), count);
    log10Array(lg.data(), lg.data(), count);
    atanQuotArray(im.data(), re.data(), ph.data(), count);
    for (size_t i = 0; i < count; ++i) {
        ASSERT_TRUE(sameBits(ex[i], fastExp(expTable(), x[i]))) << i;
        ASSERT_TRUE(sameBits(lg[i], fastLog10(y[i]))) << i;
        ASSERT_TRUE(sameBits(ph[i], fastAtanQuot(im[i], re[i]))) << i;
    }
    std::vector<double> mag(count);
    hypotArray(re.data(), im.data(), mag.data(), count);
    for (size_t i = 0; i < count; ++i)
        ASSERT_TRUE(sameBits(mag[i], std::sqrt(re[i] * re[i] + im[i] * im[i]))) << i;
}

} // namespace
