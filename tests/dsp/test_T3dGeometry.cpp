// The waterfall's projection against its formulas worked out here, and the band store's rules.
#include "dsp/T3dBands.h"
#include "dsp/T3dProjection.h"

#include <gtest/gtest.h>
#include <cmath>
#include <numeric>
#include <vector>

namespace {

// The projection written out from its definition, one point at a time: depth along the view
// vector from the eye (x mirrored), offsets from the reference point for points beyond half
// the view length, horizontal screen axis in the x/z plane, the vertical one taking the level.
struct Expected {
    bool drawn;
    double x, y;
};

Expected byHand(double x, double y, double z, const double ref[3], const double eye[3], int w, int h)
{
    const double A = ref[0] - eye[0], B = ref[1] - eye[1], C = ref[2] - eye[2];
    const double VZ = std::sqrt(A * A + C * C);
    const double g = VZ > 0 ? A / VZ : 0, hh = VZ > 0 ? C / VZ : 1;
    const double m = A * A + B * B + C * C;
    double d = -x - eye[0], e = y - eye[1], f = z - eye[2];
    double depth = A * d + B * e + C * f;
    if (depth == 0)
        depth = 1e-35;
    if (depth <= 1e-15)
        return {false, 0, 0};
    if (depth - m / 2 > 0) {
        d = ref[0] - x;
        e = y - ref[1];
        f = z - ref[2];
    }
    const double u = (hh * std::sqrt(m) * d + g * std::sqrt(m) * f) / depth;
    const double v = (d * g * B - f * hh * B + VZ * e) / depth;
    const double left = 0, right = w - 1, top = 0, bottom = h - 1;
    const double sx = (right - left) / (0.028 + 0.039), ox = (0.028 * left + 0.039 * right) / 0.067;
    const double sy = (bottom - top) / (-0.043 - 0.036), oy = (-0.043 * top - 0.036 * bottom) / (-0.079);
    return {true, sx * u + ox, sy * v + oy};
}

TEST(T3dProjection, CornersAndInteriorPointsLandOnTheirPixels)
{
    const double ref[3] = {0.47, -0.12, 0.0}, eye[3] = {5.0, 16.0, 17.1};
    T3dProjection p; // the initial view
    p.setScreen({0, 0, 999, 599});
    const double pts[][3] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {1, 1, 0}, {1, 0, 1}, {0, 1, 1},
                             {1, 1, 1}, {0.5, 0.5, 0.5}, {0.25, 0.8, 0.1}, {0.9, 0.05, 0.7}};
    for (const auto& q : pts) {
        const Expected ex = byHand(q[0], q[1], q[2], ref, eye, 1000, 600);
        double xp = 0, yp = 0;
        ASSERT_TRUE(p.pixel({q[0], q[1], q[2]}, xp, yp));
        EXPECT_NEAR(xp, ex.x, 1e-9) << q[0] << "," << q[1] << "," << q[2];
        EXPECT_NEAR(yp, ex.y, 1e-9);
    }
    // The whole default cube lies in the picture, levels upward and the newest time in front.
    double x0, y0, xTop, yTop, xFront, yFront;
    p.pixel({0, 0, 0}, x0, y0);
    p.pixel({0, 1, 0}, xTop, yTop);
    p.pixel({0, 0, 1}, xFront, yFront);
    EXPECT_LT(yTop, y0 - 100);           // y up
    EXPECT_NEAR(xTop, x0, 0.05 * 1000);   // nearly upright
    EXPECT_GT(yFront, y0);               // the z axis comes towards the viewer, down the screen
}

TEST(T3dProjection, PointsBehindTheEyeAreNotDrawnAndLinesToThemAreCut)
{
    T3dProjection p;
    p.setView({0.5, 0.5, 0.0}, {0.5, 0.5, 2.0}); // looking along -z from z = 2
    p.setScreen({0, 0, 399, 299});
    double x = 0, y = 0;
    EXPECT_TRUE(p.pixel({0.5, 0.5, 1.0}, x, y));
    EXPECT_FALSE(p.pixel({0.5, 0.5, 3.0}, x, y)); // behind the eye
    EXPECT_FALSE(p.pixel({0.5, 0.5, 2.0}, x, y)); // at the eye
    const double ref[3] = {0.5, 0.5, 0.0}, eye[3] = {0.5, 0.5, 2.0};
    EXPECT_FALSE(byHand(0.5, 0.5, 3.0, ref, eye, 400, 300).drawn);
    T3dPoint a{0.2, 0.5, 1.0}, b{0.2, 0.5, 5.0};
    ASSERT_TRUE(p.clipSegment(a, b));
    EXPECT_TRUE(p.inFront(b));
    EXPECT_LT(b.z, 2.0);
    T3dPoint c{0, 0, 3}, d{1, 1, 4};
    EXPECT_FALSE(p.clipSegment(c, d));
}

TEST(T3dProjection, AxisMappingAndScaleLadder)
{
    EXPECT_DOUBLE_EQ(T3dMapLinear(5, 0, 10), 0.5);
    EXPECT_DOUBLE_EQ(T3dMapLinear(50, 0, 10), 1.0); // clamped
    EXPECT_NEAR(T3dMapLog(200, 20, 2000), 0.5, 1e-12);
    EXPECT_DOUBLE_EQ(T3dMapLog(0, 20, 2000), 1.0);
    EXPECT_DOUBLE_EQ(T3dMapLog(100, 0, 2000), 1.0);
    EXPECT_DOUBLE_EQ(T3dScaleStep(0.0), 0.01);
    EXPECT_DOUBLE_EQ(T3dScaleStep(1.0), 2.0); // strictly above
    EXPECT_DOUBLE_EQ(T3dScaleStep(7.0), 10.0);
    EXPECT_DOUBLE_EQ(T3dScaleStep(4999999.0), 5000000.0);
    EXPECT_DOUBLE_EQ(T3dScaleStep(6e6), 6e6);
}

std::vector<double> ramp(int n, double v0) {
    std::vector<double> v(static_cast<size_t>(n));
    std::iota(v.begin(), v.end(), v0);
    return v;
}

TEST(T3dBands, AShortBandFillsItsFirstPointsAndTheRestKeepThePreviousBand)
{
    T3dBands b;
    b.setXSteps(8);
    b.clear(8000);
    b.pushBand(ramp(8, 100), 1000);
    b.pushBand(std::vector<double>{-1, -2, -3}, 2000);
    EXPECT_EQ(b.value(0, 0), -1);
    EXPECT_EQ(b.value(0, 2), -3);
    EXPECT_EQ(b.value(0, 3), 103); // what the band before held
    EXPECT_EQ(b.value(1, 3), 103);
    EXPECT_EQ(b.value(2, 0), T3dBands::kEmpty);
    b.pushBand(ramp(20, 0), 3000); // longer than the band: cut
    EXPECT_EQ(b.value(0, 7), 7);
}

TEST(T3dBands, TimeStampsGiveTheZRange)
{
    T3dBands b;
    b.setZBands(4);
    b.clear(1000);
    b.pushBand(ramp(4, 0), 12000);
    EXPECT_DOUBLE_EQ(b.zMax(), 12000);
    EXPECT_DOUBLE_EQ(b.zMin(), 7000); // one stamp: the last 5000 ms
    for (double t : {12100.0, 12200.0, 12300.0, 12400.0, 12500.0})
        b.pushBand(ramp(4, 0), t);
    EXPECT_DOUBLE_EQ(b.zMax(), 12500);
    EXPECT_DOUBLE_EQ(b.zMin(), 12200); // the oldest of the four bands held
    EXPECT_DOUBLE_EQ(b.stamp(5), 12000); // 64 stamps are kept beyond the bands
    EXPECT_FALSE(b.setZBands(1));
    EXPECT_FALSE(b.setZBands(64));
    EXPECT_EQ(b.zBands(), 4);
}

TEST(T3dBands, YAxisModesReferTheirValue)
{
    T3dBands b;
    b.setXSteps(5);
    b.clear(2500); // x 0, 500, 1000, 1500, 2000
    const std::vector<double> sd{-50, -40, -30, -20, -35};
    b.setYMode(y3dAt1kHz);
    b.pushBand(sd, 0);
    EXPECT_DOUBLE_EQ(b.yOffset(), 20); // the first x above 1 kHz is 1500 Hz
    b.setYMode(y3dAtMax);
    b.pushBand(sd, 1000); // between 0 and 50 s: the reference of the series' start stays
    EXPECT_DOUBLE_EQ(b.yOffset(), 20);
    b.pushBand(sd, 60000);
    EXPECT_DOUBLE_EQ(b.yOffset(), 20);
    b.pushBand(std::vector<double>{-60, -10, -70}, 60010);
    EXPECT_DOUBLE_EQ(b.yOffset(), 10);
    b.setReferenceEachBand(true);
    b.setYMode(y3dNormal);
    b.pushBand(sd, 2000);
    EXPECT_DOUBLE_EQ(b.yOffset(), 0);
}

TEST(T3dBands, ThirdOctaveSmoothingSpreadsAToneOverItsBandWithItsEnergy)
{
    const int n = 4096;
    const double df = 48000.0 / 8192.0;
    std::vector<double> x(static_cast<size_t>(n)), db(static_cast<size_t>(n), -200.0);
    for (int i = 0; i < n; ++i)
        x[size_t(i)] = i * df;
    const int tone = int(std::lround(1000.0 / df));
    db[size_t(tone)] = -6.0;
    T3dThirdOctave(db, x);
    // The band holding the tone: edges 16.35 Hz * 2^(k/3) around it.
    double lo = 16.35, hi = 16.35;
    while (hi <= x[size_t(tone)]) {
        lo = hi;
        hi *= std::cbrt(2.0);
    }
    double power = 0;
    int inBand = 0;
    for (int i = 0; i < n; ++i) {
        const bool in = x[size_t(i)] >= lo && x[size_t(i)] < hi;
        if (in) {
            ++inBand;
            power += std::pow(10.0, db[size_t(i)] / 10.0);
        } else {
            EXPECT_LT(db[size_t(i)], -150.0) << x[size_t(i)];
        }
    }
    ASSERT_GT(inBand, 10);
    EXPECT_NEAR(10 * std::log10(power), -6.0, 1e-6); // energy kept (band of dozens of bins)
    EXPECT_NEAR(db[size_t(tone)], -6.0 - 10 * std::log10(inBand), 1e-6);
}

} // namespace
