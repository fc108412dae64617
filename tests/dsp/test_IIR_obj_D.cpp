// Tests of the IIR filter design: analytic responses, golden vectors, filtering and coefficient export.
#include "dsp/IIR_obj_D.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <fstream>
#include <numbers>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

using cplx = std::complex<double>;
constexpr double kPi = std::numbers::pi;
constexpr double kFs = TIIRObj::kDefaultDesignSampleRate; // what every filter here runs at

double dB(double v) { return 20 * std::log10(v); }

class IIR : public ::testing::Test {};

TIIRObj make(int typ, int order, double f, int ch = chButterworth, double gain = 0, double q = 1,
             double amax = -3.1, double att = 1.0)
{
    TIIRObj o;
    o.SetHWbiquads(7); // the default target hardware has 6 sections: order 12 at most
    o.SetParam(typ, order, f, gain, q, amax, att, ch);
    return o;
}

// The analog sections' response at the angular frequency w (rad/s).
cplx analog(const TIIRObj& o, double w)
{
    const cplx s(0, w);
    cplx h = 1;
    for (int k = 0; k < o.Biquads(); ++k) {
        const TBIQSection& b = o.Biq()[k];
        h *= (b.N0 + s * (b.N1 + s * b.N2)) / (b.D0 + s * (b.D1 + s * b.D2));
    }
    return h;
}

// The analog frequency (Hz) the bilinear transform maps onto f.
double warped(double f) { return std::tan(kPi * f / kFs) * kFs / kPi; }

std::vector<double> noise(size_t n, unsigned seed)
{
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> u(-1, 1);
    std::vector<double> v(n);
    for (auto& x : v) x = u(rng);
    return v;
}

// ---- Butterworth, Tschebyscheff, Bessel ----

TEST_F(IIR, ButterworthLowAndHighPassAllOrders)
{
    for (int typ : {iirTP, iirHP}) {
        for (int n = 1; n <= 14; ++n) {
            SCOPED_TRACE("typ " + std::to_string(typ) + " order " + std::to_string(n));
            const double fc = typ == iirTP ? 100.0 : 10000.0;
            TIIRObj o = make(typ, n, fc);
            ASSERT_EQ(o.Grad(), n);
            // Prewarping puts the corner exactly at fc: -3.0103 dB within 1e-6 dB.
            EXPECT_NEAR(dB(o.Hz(fc, TSubject::Betrag)), -10 * std::log10(2.0), 1e-6);
            // Monotonic over 1 Hz .. 23.9 kHz (steps of 1/24 octave), to rounding: 1e-10 relative
            // (the denominators near z = 1 cancel to about 1e-5, leaving ~1e-11 of noise).
            double prev = o.Hz(1.0, TSubject::Betrag);
            for (double f = 1.0 * std::pow(2.0, 1 / 24.0); f < 23900; f *= std::pow(2.0, 1 / 24.0)) {
                const double m = o.Hz(f, TSubject::Betrag);
                if (typ == iirTP) EXPECT_LE(m, prev * (1 + 1e-10)) << f;
                else EXPECT_GE(m, prev * (1 - 1e-10)) << f;
                prev = m;
            }
            // Slope far from the corner: 6.02*n dB per (prewarped) octave within 0.01 dB.
            const double f1 = typ == iirTP ? 1600.0 : 625.0, f2 = typ == iirTP ? 3200.0 : 312.5;
            const double slope = dB(o.Hz(f1, TSubject::Betrag) / o.Hz(f2, TSubject::Betrag)) /
                                 std::log2(warped(f2) / warped(f1));
            EXPECT_NEAR(std::fabs(slope), 20 * std::log10(2.0) * n, 0.01 + 0.01 * n);
        }
    }
}

TEST_F(IIR, Order3ButterworthIsTwoSectionsTheSecondOfFirstOrder)
{
    const TIIRObj o = make(iirTP, 3, 1000);
    ASSERT_EQ(o.Biquads(), 2);
    EXPECT_EQ(o.Biq()[1].D2, 0.0);
    EXPECT_EQ(o.Biq()[1].N2, 0.0);
    EXPECT_EQ(o.Iir()[1].a2, 0.0);
    EXPECT_EQ(o.Iir()[1].b2, 0.0);
    EXPECT_NE(o.Iir()[0].a2, 0.0);
}

TEST_F(IIR, TschebyscheffRippleEqualsAmax)
{
    for (double amax : {-0.1, -1.0, -3.1, -6.0}) {
        for (int n : {2, 3, 4, 7, 8}) {
            SCOPED_TRACE("amax " + std::to_string(amax) + " order " + std::to_string(n));
            const TIIRObj o = make(iirTP, n, 1000, chTschebyscheff, 0, 1, amax);
            double lo = 1e9, hi = -1e9;
            for (double f = 1; f <= 1000; f += 0.25) {
                const double m = dB(o.Hz(f, TSubject::Betrag));
                lo = std::min(lo, m);
                hi = std::max(hi, m);
            }
            // Peaks at 0 dB, valleys at Amax; the grid of 0.25 Hz resolves them within 1e-3 dB.
            EXPECT_NEAR(hi, 0.0, 1e-3);
            EXPECT_NEAR(lo, amax, 1e-3);
            EXPECT_NEAR(dB(o.Hz(1000, TSubject::Betrag)), amax, 1e-6); // corner at the ripple edge
        }
    }
}

TEST_F(IIR, BesselPolesFollowTheNormalisations)
{
    const TIIRObj o2 = make(iirTP, 2, 1000, chBessel);
    EXPECT_NEAR(o2.Poles()[0].real(), -1.5, 1e-10);
    EXPECT_NEAR(o2.Poles()[0].imag(), 0.8660254038, 1e-10);
    const TIIRObj o3 = make(iirTP, 3, 1000, chBessel);
    EXPECT_NEAR(o3.Poles()[0].real(), -1.8389073227, 1e-9);
    EXPECT_NEAR(o3.Poles()[0].imag(), 1.7543809598, 1e-9);
    EXPECT_NEAR(o3.Poles()[1].real(), -2.3221853546, 1e-9);
    const TIIRObj m2 = make(iirTP, 2, 1000, chBessel3dB);
    EXPECT_NEAR(m2.Poles()[0].real(), -1.1016, 1e-4);
    EXPECT_NEAR(m2.Poles()[0].imag(), 0.6360, 1e-4);
}

TEST_F(IIR, BesselFlatDelayAndMinus3dBCorner)
{
    // Order 4, delay-normalised: group delay 1/W at DC, flat within 1 % up to half the corner.
    const TIIRObj o = make(iirTP, 4, 1000, chBessel);
    const double tau0 = o.Hz(0.0, TSubject::Gruppe);
    EXPECT_NEAR(tau0, 1 / o.Wtr(), 1e-3 / o.Wtr());
    for (double f = 10; f <= 500; f += 10) EXPECT_NEAR(o.Hz(f, TSubject::Gruppe) / tau0, 1.0, 0.01) << f;
    for (int n = 1; n <= 10; ++n) {
        SCOPED_TRACE(n);
        const TIIRObj m = make(iirTP, n, 2000, chBessel3dB);
        EXPECT_NEAR(dB(m.Hz(2000, TSubject::Betrag)), -10 * std::log10(2.0), 1e-6);
        EXPECT_NEAR(m.Hz(0.0, TSubject::Betrag), 1.0, 1e-9); // unit gain at DC
        const TIIRObj d = make(iirTP, n, 2000, chBessel);
        EXPECT_NEAR(d.Hz(0.0, TSubject::Betrag), 1.0, 1e-9);
    }
}

TEST_F(IIR, CriticalAndFreeAttenuation)
{
    for (int n = 1; n <= 14; ++n) {
        SCOPED_TRACE(n);
        const TIIRObj c3 = make(iirTP, n, 1000, chCritAtt3dB);
        EXPECT_NEAR(dB(c3.Hz(1000, TSubject::Betrag)), -10 * std::log10(2.0), 1e-6);
        EXPECT_NEAR(c3.Hz(0, TSubject::Betrag), 1.0, 1e-9);
        const TIIRObj c = make(iirTP, n, 1000, chCritAtt); // n poles at -W: -6.02*n dB at W
        EXPECT_NEAR(dB(c.Hz(1000, TSubject::Betrag)), -10 * std::log10(2.0) * n, 1e-6);
        const TIIRObj fr = make(iirTP, n, 1000, chFreeAtt, 0, 1, -3.1, std::sqrt(2.0));
        EXPECT_NEAR(fr.Hz(0, TSubject::Betrag), 1.0, 1e-9);
    }
    // Order 2 with damping sqrt(2) is the Butterworth filter.
    const TIIRObj fr2 = make(iirTP, 2, 1000, chFreeAtt, 0, 1, -3.1, std::sqrt(2.0));
    EXPECT_NEAR(dB(fr2.Hz(1000, TSubject::Betrag)), -10 * std::log10(2.0), 1e-6);
}

// ---- the other types: analog sections against the digital response ----

TEST_F(IIR, AnalogSectionsMatchTheDigitalResponse)
{
    std::vector<TIIRObj> all;
    for (int ch = 0; ch <= 6; ++ch) {
        for (int n : {1, 2, 5, 8}) {
            for (int typ : {iirTP, iirHP, iirBP, iirBS, iirATP})
                all.push_back(make(typ, n, 1500, ch, 0, 2.5, -1.0, 0.7));
        }
    }
    for (int n : {1, 2}) {
        for (double g : {-12.0, 0.0, 9.0}) {
            for (int typ : {iirSL, iirSH, iirPK, iirAP})
                all.push_back(make(typ, n, 800, 0, g, 3.0));
        }
    }
    for (int typ = iirLDL; typ <= iirLGH; ++typ) {
        TIIRObj o = make(typ, 1, 300);
        o.SetRatio(4.0);
        all.push_back(o);
    }
    for (const TIIRObj& o : all) {
        SCOPED_TRACE(o.GetParameterStr());
        // The bilinear transform maps f exactly onto the prewarped analog frequency; relative 1e-7.
        for (double f : {20.0, 200.0, 1000.0, 1500.0, 4000.0, 12000.0}) {
            const cplx a = analog(o, 2 * kPi * warped(f)), d = o.Hz_Complex(f);
            EXPECT_LE(std::abs(a - d), 1e-7 * std::max(std::abs(a), 1e-6)) << f;
        }
        // Without prewarping the two agree well below Nyquist (200 Hz: 0.01 % frequency error).
        const cplx a = analog(o, 2 * kPi * 200.0), d = o.Hz_Complex(200.0);
        EXPECT_LE(std::abs(a - d), 5e-3 * std::max(std::abs(a), 1e-3));
        EXPECT_STREQ(o.DesignWarning(), "");
    }
}

TEST_F(IIR, BandFiltersPeakShelvingAndAllpassHitTheirTargets)
{
    const TIIRObj bp = make(iirBP, 4, 1000, 0, 0, 2);
    EXPECT_NEAR(bp.Hz(1000, TSubject::Betrag), 1.0, 1e-9);
    // Q = 2: the -3 dB edges are f/Q apart around the centre (geometric), within 1e-6 dB.
    const double half = 1000 / (2 * 2.0), fl = std::sqrt(half * half + 1e6) - half;
    EXPECT_NEAR(dB(make(iirBP, 2, 1000, 0, 0, 2).Hz(fl, TSubject::Betrag)), -10 * std::log10(2.0), 1e-6);
    const TIIRObj bs = make(iirBS, 6, 1000, 0, 0, 2);
    EXPECT_LT(bs.Hz(1000, TSubject::Betrag), 1e-6);
    EXPECT_NEAR(bs.Hz(0, TSubject::Betrag), 1.0, 1e-9);
    for (double g : {-20.0, -3.0, 6.0, 15.0}) {
        EXPECT_NEAR(dB(make(iirPK, 2, 1000, 0, g, 2).Hz(1000, TSubject::Betrag)), g, 1e-9);
        EXPECT_NEAR(dB(make(iirSL, 2, 1000, 0, g).Hz(0, TSubject::Betrag)), g, 1e-9);
        EXPECT_NEAR(dB(make(iirSL, 1, 1000, 0, g).Hz(0, TSubject::Betrag)), g, 1e-9);
        EXPECT_NEAR(dB(make(iirSH, 2, 1000, 0, g).Hz(kFs / 2, TSubject::Betrag)), g, 1e-6);
        EXPECT_NEAR(dB(make(iirSH, 1, 1000, 0, g).Hz(kFs / 2, TSubject::Betrag)), g, 1e-6);
    }
    const TIIRObj pk0 = make(iirPK, 2, 1000, 0, 0.0, 5);
    const TIIRObj ap1 = make(iirAP, 1, 1000), ap2 = make(iirAP, 2, 1000);
    const TIIRObj atp = make(iirATP, 7, 1000, chTschebyscheff);
    for (double f = 1; f < 24000; f *= 1.1) {
        EXPECT_NEAR(pk0.Hz(f, TSubject::Betrag), 1.0, 1e-12) << f; // 0 dB peak: flat
        EXPECT_NEAR(ap1.Hz(f, TSubject::Betrag), 1.0, 1e-12) << f; // all-passes: magnitude 1
        EXPECT_NEAR(ap2.Hz(f, TSubject::Betrag), 1.0, 1e-12) << f;
        EXPECT_NEAR(atp.Hz(f, TSubject::Betrag), 1.0, 1e-12) << f;
    }
    EXPECT_NEAR(std::fabs(ap2.Hz(1000, TSubject::Phase)), kPi, 1e-9); // -180 degrees at the corner
}

// ---- response subjects ----

TEST_F(IIR, ResponseSubjectsAreConsistent)
{
    const TIIRObj o = make(iirTP, 5, 3000, chTschebyscheff, 0, 1, -0.5);
    for (double f : {100.0, 2500.0, 7000.0}) {
        const cplx h = o.Hz_Complex(f);
        EXPECT_NEAR(o.Hz(f, TSubject::Betrag), std::abs(h), 1e-12);
        EXPECT_NEAR(o.Hz(f, TSubject::Realteil), h.real(), 1e-12);
        EXPECT_NEAR(o.Hz(f, TSubject::ImaginaerTeil), h.imag(), 1e-12);
        EXPECT_NEAR(std::remainder(o.Hz(f, TSubject::Phase) - std::arg(h), 2 * kPi), 0.0, 1e-9);
        EXPECT_NEAR(o.Hz(f, TSubject::Phlaufzeit), -o.Hz(f, TSubject::Phase) / (2 * kPi * f), 1e-15);
        // Group delay against a central difference of the unwrapped phase: relative 1e-5.
        const double df = 0.01;
        const double num = -(o.Hz(f + df, TSubject::Phase) - o.Hz(f - df, TSubject::Phase)) / (2 * kPi * 2 * df);
        EXPECT_NEAR(o.Hz(f, TSubject::Gruppe), num, 1e-5 * std::fabs(num));
    }
}

// ---- golden vectors from an independent implementation ----

TEST_F(IIR, GoldenVectors)
{
    const std::string dir = VELMORA_TESTS_DIR "/dsp";
    std::ifstream in(dir + "/golden/iir_golden.txt");
    ASSERT_TRUE(in) << "missing " << dir << "/golden/iir_golden.txt";
    std::string line;
    int designs = 0, points = 0;
    TIIRObj o;
    o.SetHWbiquads(7);
    while (std::getline(in, line)) {
        std::istringstream ls(line);
        std::string head;
        ls >> head;
        if (head == "design") {
            int typ, ch, order;
            double f, q, amax, fs;
            ASSERT_TRUE(ls >> typ >> ch >> order >> f >> q >> amax >> fs) << line;
            o.SetDesignSampleRate(fs);
            ASSERT_TRUE(o.SetParam(typ, order, f, 0, q, amax, 1.0, ch)) << line;
            ++designs;
        } else if (head != "end") {
            const double f = std::stod(head);
            double re, im;
            ASSERT_TRUE(ls >> re >> im) << line;
            const cplx ref(re, im), h = o.Hz_Complex(f);
            // Relative 1e-8 of the reference (absolute 1e-12 where it is tiny).
            EXPECT_LE(std::abs(h - ref), 1e-8 * std::abs(ref) + 1e-12) << o.GetParameterStr() << " at " << f;
            ++points;
        }
    }
    EXPECT_EQ(designs, 7);
    EXPECT_EQ(points, 70);
}

// ---- filtering ----

TEST_F(IIR, BlockEqualsSampleBySampleEqualsSplitBlocks)
{
    const std::vector<double> x = noise(4000, 42);
    for (const TIIRObj& proto : {make(iirTP, 13, 900, chTschebyscheff, 0, 1, -0.5),
                                 make(iirBP, 14, 3000, chButterworth, 0, 4), make(iirSL, 2, 200, 0, 12)}) {
        TIIRObj a = proto, b = proto, c = proto;
        std::vector<double> ya(x.size()), yb(x.size()), yc(x.size());
        for (size_t i = 0; i < x.size(); ++i) ya[i] = a.NewCycle(x[i]);
        b.NewCycleBlock(x.data(), yb.data(), x.size());
        // Split blocks of 0, 1, 2, 3, 5, 8 ... samples, in place.
        yc = x;
        size_t pos = 0, len = 0;
        const size_t lens[] = {0, 1, 2, 3, 5, 8, 13, 64, 1, 200};
        while (pos < x.size()) {
            const size_t n = std::min(lens[len++ % 10], x.size() - pos);
            c.NewCycleBlock(yc.data() + pos, yc.data() + pos, n);
            pos += n;
        }
        // The same operations in the same order: bit-identical (tolerance 0).
        for (size_t i = 0; i < x.size(); ++i) {
            ASSERT_EQ(ya[i], yb[i]) << i;
            ASSERT_EQ(ya[i], yc[i]) << i;
        }
        // and the states stay aligned: the next sample agrees too
        EXPECT_EQ(a.NewCycle(0.25), c.NewCycle(0.25));
    }
}

TEST_F(IIR, SteadyStateSineMatchesHz)
{
    for (const TIIRObj& proto : {make(iirTP, 4, 1000), make(iirPK, 2, 1000, 0, 9, 2),
                                 make(iirBS, 4, 2000, chBessel, 0, 1), make(iirHP, 7, 300, chTschebyscheff)}) {
        for (double f : {100.0, 1000.0, 2400.0, 4800.0}) {
            SCOPED_TRACE(proto.GetParameterStr() + " at " + std::to_string(f));
            TIIRObj o = proto;
            const int settle = 48000, period = static_cast<int>(kFs / f), n = 10 * period;
            for (int i = 0; i < settle; ++i) o.NewCycle(std::sin(2 * kPi * f * i / kFs));
            cplx acc = 0; // correlation over whole periods gives the complex gain
            for (int i = settle; i < settle + n; ++i) {
                const double ph = 2 * kPi * f * i / kFs;
                acc += o.NewCycle(std::sin(ph)) * cplx(std::sin(ph), std::cos(ph));
            }
            const cplx measured = acc * (2.0 / n), h = o.Hz_Complex(f);
            // Transients have decayed below 1e-9 after one second; rounding adds ~1e-13.
            EXPECT_LE(std::abs(measured - h), 1e-7 * std::max(std::abs(h), 1e-3));
        }
    }
}

TEST_F(IIR, BypassedAndFlatPassSamplesUnchanged)
{
    TIIRObj o = make(iirHP, 6, 5000, chTschebyscheff);
    o.SetBypassed(true);
    TIIRObj flat;
    const std::vector<double> x = noise(1000, 7);
    for (double v : x) {
        ASSERT_EQ(o.NewCycle(v), v);
        ASSERT_EQ(flat.NewCycle(v), v);
    }
    EXPECT_EQ(o.Hz(1234, TSubject::Betrag), 1.0);
}

TEST_F(IIR, DegenerateParametersNeverGiveUnstableOrNaNSections)
{
    // 30 kHz is inside the default limits but above Nyquist at 48 kHz: designed just below it.
    TIIRObj lp = make(iirTP, 6, 30000);
    TIIRObj q0 = make(iirBP, 4, 1000, 0, 0, 2);
    q0.SetQ(0.0);
    TIIRObj nanGain = make(iirPK, 2, 1000, 0, 6, 2);
    nanGain.SetGain(std::nan(""));
    const std::vector<double> x = noise(20000, 3);
    for (double v : x) {
        ASSERT_LT(std::fabs(lp.NewCycle(v)), 10.0);
        ASSERT_TRUE(std::isfinite(q0.NewCycle(v)));
        ASSERT_TRUE(std::isfinite(nanGain.NewCycle(v)));
    }
}

TEST_F(IIR, DecayNeverReachesDenormals)
{
    TIIRObj o = make(iirTP, 8, 2000, chButterworth);
    double y = o.NewCycle(1.0);
    for (int i = 0; i < 300000; ++i) {
        y = o.NewCycle(0.0);
        ASSERT_NE(std::fpclassify(y), FP_SUBNORMAL) << i;
    }
    EXPECT_EQ(y, 0.0); // flushed once it fell below 1e-30
    EXPECT_EQ(o.NewCycle(std::numeric_limits<double>::denorm_min()), 0.0);
}

// ---- parameters ----

TEST_F(IIR, SetParamReplacesInvalidValuesAndReports)
{
    TIIRObj o;
    EXPECT_TRUE(o.SetParam(iirPK, 2, 500, 6, 2, -1, 1.2, chButterworth));
    EXPECT_FALSE(o.SetParam(iirBP, 5, 1000, 0, 1, -1, 1, 0)); // band-pass order 5 becomes 4
    EXPECT_EQ(o.Grad(), 4);
    EXPECT_EQ(o.Biquads(), 2);
    EXPECT_FALSE(o.SetParam(14, 15, 2e5, 16, 0.2, -7, 2.0, 7));
    EXPECT_EQ(o.Typ(), 0);
    EXPECT_EQ(o.Grad(), 2);
    EXPECT_EQ(o.FilterChar(), 0);
    EXPECT_EQ(o.Freq(), 1000);
    EXPECT_EQ(o.Gain(), 0);
    EXPECT_EQ(o.Q(), 1);
    EXPECT_EQ(o.Amax(), -3.1);
    EXPECT_EQ(o.Att(), 1.0);
    EXPECT_FALSE(o.SetParam(iirTP, 4, 1000, 0, 1, -2, 5.0, chFreeAtt)); // Att outside: 1, Amax kept
    EXPECT_EQ(o.Att(), 1.0);
    EXPECT_EQ(o.Amax(), -2);
    EXPECT_FALSE(o.SetParam(iirTP, 4, std::nan(""), 0, 1, -2, 1, 0));
    EXPECT_EQ(o.Freq(), 1000);
    o.UseWideLimits(true);
    EXPECT_TRUE(o.SetParam(iirTP, 4, 2e5, 30, 0.1, -12, 1, 0));
    EXPECT_FALSE(TIIRObj().SetParam(iirTP, 4, 2e5, 30, 0.1, -12, 1, 0)); // another filter: default set
}

TEST_F(IIR, GetValidOrderRules)
{
    TIIRObj o;
    EXPECT_EQ(o.GetValidOrder(iirLGL, 5, 0), 1);
    EXPECT_EQ(o.GetValidOrder(iirFlat, 7, 0), 2);
    EXPECT_EQ(o.GetValidOrder(iirPK, 1, 0), 2);
    EXPECT_EQ(o.GetValidOrder(iirSL, 1, 0), 1);
    EXPECT_EQ(o.GetValidOrder(iirAP, 4, 0), 2);
    EXPECT_EQ(o.GetValidOrder(iirTP, 14, chBessel), 10);
    EXPECT_EQ(o.GetValidOrder(iirBP, 1, 0), 2);
    EXPECT_EQ(o.GetValidOrder(iirBS, 9, chBessel3dB), 8);
    EXPECT_EQ(o.GetValidOrder(iirBP, 14, chBessel), 10);
    EXPECT_EQ(o.GetValidOrder(iirTP, 14, 0), 12); // 6 hardware sections by default
    o.SetHWbiquads(7);
    EXPECT_EQ(o.GetValidOrder(iirTP, 14, 0), 14);
    o.maxSWbiquadsVg = 3;
    EXPECT_EQ(o.GetValidOrder(iirHP, 9, 0), 6);
    // Setters keep the order valid too, so a design never runs past its tables.
    o.maxSWbiquadsVg = 7;
    o.SetParam(iirTP, 14, 1000, 0, 1, -1, 1, 0);
    o.SetFilterChar(chBessel);
    EXPECT_EQ(o.Grad(), 10);
    o.SetGrad(200);
    EXPECT_EQ(o.Grad(), 10);
}

TEST_F(IIR, ParameterStrings)
{
    EXPECT_EQ(make(iirTP, 4, 1000).GetParameterStr(), "TP, n=4, f= 1000Hz, Butterworth");
    EXPECT_EQ(make(iirPK, 2, 1000.5, 0, 6, 2).GetParameterStr(),
              "PK, n=2, f=1000.500Hz, gain=  6.00 dB, q= 2.000");
    EXPECT_EQ(make(iirHP, 3, 200, chTschebyscheff, 0, 1, -0.5).GetParameterStr(),
              "HP, n=3, f=  200Hz, Tschebyscheff, ripple=-0.5000 dB");
    EXPECT_EQ(make(iirTP, 4, 100, chFreeAtt, 0, 1, -3.1, 0.5).GetParameterStr(),
              "TP, n=4, f=  100Hz, free attenuation, att.= 0.500");
    TIIRObj lg = make(iirLGL, 1, 50);
    EXPECT_EQ(lg.GetParameterStr(), "LGL , n=1, f=   50Hz, ratio= 1.414");
    EXPECT_EQ(TIIRObj().GetParameterStr(), "Flat");
    EXPECT_EQ(TIIRObj().GetParameterStrShort(), "Flat");
    EXPECT_EQ(make(iirTP, 2, 1000).GetParameterStrShort(), "LP 1000Hz");
    EXPECT_EQ(make(iirBS, 2, 50.25).GetParameterStrShort(), "BR 50.250Hz");
}

// ---- coefficient export ----

TEST_F(IIR, FixedPointExportSaturates)
{
    EXPECT_EQ(TIIRObj::ToFrac32(1.5), 0x7FFFFFFF);
    EXPECT_EQ(TIIRObj::ToFrac32(1.0), 0x7FFFFFFF);
    EXPECT_EQ(TIIRObj::ToFrac32(-1.0), INT32_MIN);
    EXPECT_EQ(TIIRObj::ToFrac32(-7.0), INT32_MIN);
    EXPECT_EQ(TIIRObj::ToFrac32(0.5), 0x40000000);
    EXPECT_EQ(TIIRObj::ToFrac32(0.9999999999), 0x7FFFFFFF); // rounds up to 2^31: clamped
    // A shelf boosting 15 dB has b0 > 1: with norm 1 it saturates and the test reports it.
    TIIRObj o = make(iirSH, 2, 10000, 0, 15);
    ASSERT_GT(o.Iir()[0].b0, 1.0);
    std::vector<int32_t> c(5);
    size_t count = 0;
    EXPECT_FALSE(o.GetCoeff_32_(c, 1.0, &count));
    EXPECT_EQ(count, 5u);
    EXPECT_EQ(c[1], 0x7FFFFFFF); // b1, b0, b2, a1, a2
    EXPECT_TRUE(o.GetCoeff_32_(c, 8.0, &count));
    EXPECT_NEAR(c[1], o.Iir()[0].b0 / 8 * 2147483648.0, 1.0);
    EXPECT_NEAR(c[0], o.Iir()[0].b1 / 8 * 2147483648.0, 1.0);
    EXPECT_EQ(o.Iir32()[0].b0, c[1]);
    EXPECT_EQ(o.GetCoeff_32_i(c, 8.0), 5u);
    EXPECT_NEAR(c[3], -o.Iir()[0].a1 / 8 * 2147483648.0, 1.0);
    std::vector<int32_t> small(4);
    EXPECT_EQ(o.GetCoeff_32(small, 1.0), 0u); // too small: nothing written
    EXPECT_EQ(o.GetCoeff_32(c, 0.0), 0u);
}

TEST_F(IIR, FloatExports)
{
    const TIIRObj o = make(iirTP, 5, 2000);
    std::vector<float> f5(15), f4(12);
    ASSERT_EQ(o.GetCoeff_Single(f5), 15u);
    ASSERT_EQ(o.GetCoeff_4_Single(f4), 12u);
    double gain = 1;
    for (int k = 0; k < 3; ++k) {
        const TIIRSection& s = o.Iir()[k];
        EXPECT_EQ(f5[5 * k + 0], float(s.b0));
        EXPECT_EQ(f5[5 * k + 3], float(s.a1));
        EXPECT_FLOAT_EQ(f4[4 * k + 0], float(s.b1 / s.b0));
        EXPECT_EQ(f4[4 * k + 2], float(s.a1));
        gain *= s.b0;
    }
    EXPECT_DOUBLE_EQ(o.GetCoeff_4_Scaler(), gain);
    EXPECT_EQ(o.GetCoeff_Single(std::span<float>(f5.data(), 14)), 0u);
}

// Each filter is designed at its own rate: the same parameters at 48 and 96 kHz put the corner
// where each rate's bilinear transform puts it, whichever was designed last, and a copy keeps it.
TEST_F(IIR, EachFilterHasItsOwnDesignRate)
{
    TIIRObj at96 = make(iirTP, 4, 20000);
    at96.SetDesignSampleRate(96000);
    const TIIRObj at48 = make(iirTP, 4, 20000); // designed after the 96 kHz one
    at96.SetDesignSampleRate(-1);               // ignored, as is NaN
    at96.SetDesignSampleRate(std::nan(""));
    EXPECT_EQ(at96.DesignSampleRate(), 96000);
    EXPECT_EQ(at48.DesignSampleRate(), kFs);
    EXPECT_NEAR(dB(at96.Hz(20000, TSubject::Betrag)), -10 * std::log10(2.0), 1e-6);
    EXPECT_NEAR(dB(at48.Hz(20000, TSubject::Betrag)), -10 * std::log10(2.0), 1e-6);
    EXPECT_GT(std::abs(at96.Iir()[0].a1 - at48.Iir()[0].a1), 0.1); // different coefficients
    // 10 kHz through each, sample by sample at its own rate, matches its own response.
    for (const TIIRObj* f : {static_cast<const TIIRObj*>(&at96), &at48}) {
        TIIRObj run = *f;
        const double fs = f->DesignSampleRate();
        cplx sum = 0; // the 10 kHz part of the second half second (whole periods)
        for (int i = 0; i < int(fs); ++i) {
            const double y = run.NewCycle(std::sin(2 * kPi * 10000 * i / fs));
            if (i >= int(fs) / 2) sum += y * std::polar(1.0, -2 * kPi * 10000 * i / fs);
        }
        EXPECT_NEAR(4 * std::abs(sum) / fs, f->Hz(10000, TSubject::Betrag), 1e-6) << fs;
    }
    TIIRObj c;
    at96.NewCycle(1.0);
    c.CopyFrom(at96);
    EXPECT_EQ(c.DesignSampleRate(), 96000);
    EXPECT_EQ(c.Iir()[0].a1, at96.Iir()[0].a1);
    EXPECT_EQ(c.NewCycle(0.0), 0.0); // the copy starts with a clear delay line
}

} // namespace
