// The virtual bench's device-under-test models against their closed-form truth (vl_simtruth).
// Signals are analysed with a plain DFT at exact bins, never with the code under test.
#include "SimTruthAmplifier.h"
#include "SimTruthImpedance.h"
#include "SimTruthRoom.h"
#include "SimTruthTape.h"
#include "TAmplifierModel.h"
#include "TImpedanceModel.h"
#include "TRoomModel.h"
#include "TSimModel.h"
#include "TTapeModel.h"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr double kPi = std::numbers::pi;
using Signal = std::vector<std::vector<double>>; // channels of samples

// Settings of one kind from "key=value" pairs of its section.
TSimModelSettings settings(const std::string& kind, const std::vector<std::pair<std::string, double>>& values,
                           const std::vector<std::pair<std::string, std::string>>& texts = {})
{
    TSimModelSettings s;
    s.kind = kind;
    const TSimModelKind* k = simFindModelKind(kind);
    for (const auto& [key, v] : values)
        s.params[simKey(k->section, key)] = v;
    for (const auto& [key, v] : texts)
        s.texts[simKey(k->section, key)] = v;
    return s;
}

// Runs the model over the whole signal in blocks of `block` frames (the last may be shorter).
Signal run(TSimModel& m, const Signal& out, int inChannels, int block)
{
    const size_t n = out[0].size();
    Signal in;
    in.resize(size_t(inChannels));
    for (auto& c : in)
        c.assign(n, 0.0);
    for (size_t at = 0; at < n; at += size_t(block)) {
        const int frames = int(std::min<size_t>(size_t(block), n - at));
        std::vector<const double*> o;
        std::vector<double*> i;
        for (const auto& c : out)
            o.push_back(c.data() + at);
        for (auto& c : in)
            i.push_back(c.data() + at);
        m.process(o.data(), i.data(), frames);
    }
    return in;
}

Signal runModel(const TSimModelSettings& s, const Signal& out, int rate, int block = 1024, int inChannels = 2,
                uint32_t seed = 1)
{
    std::string notice;
    auto m = simMakeModel(s, &notice);
    EXPECT_EQ(notice, "");
    m->prepare({rate, inChannels, int(out.size()), block, seed});
    return run(*m, out, inChannels, block);
}

// cos(2 pi f n / rate) at amplitude a on both channels.
Signal sine(double f, double a, int rate, size_t n, int channels = 2)
{
    std::vector<double> x(n);
    for (size_t k = 0; k < n; ++k)
        x[k] = a * std::cos(2 * kPi * f * double(k) / rate);
    return Signal(size_t(channels), x);
}

// Complex amplitude of the line at f (Hz) in x[from, from + count): for whole periods exactly
// a * e^(j phase) of a cos(2 pi f n / rate + phase) referred to n = 0.
std::complex<double> line(const std::vector<double>& x, double f, int rate, size_t from, size_t count)
{
    std::complex<double> s = 0;
    for (size_t n = from; n < from + count; ++n)
        s += x[n] * std::polar(1.0, -2 * kPi * f * double(n) / rate);
    return s * (f == 0 ? 1.0 : 2.0) / double(count);
}

double dB(double v) { return 20 * std::log10(v); }

// ---------------------------------------------------------------- amplifier

TEST(SimAmplifier, HarmonicsAndThdMatchTheClosedForm)
{
    const auto s = settings("amplifier", {{"OutputVoltsFS", 2.0}, {"Gain_dB", 20}, {"HighPass_Hz", 20},
                                          {"LowPass_Hz", 20000}, {"A2", 0.01}, {"A3", -0.002}, {"A4", 3e-4},
                                          {"A5", -2e-5}, {"Attenuation_dB", 20}, {"InputVoltsFS", 1.5}});
    const TSimAmpSpec spec = TAmplifierModel::spec(s);
    for (int rate : {48000, 192000}) {
        SCOPED_TRACE(rate);
        const double f = 1000, level = -10;
        const auto rec = runModel(s, sine(f, std::pow(10.0, level / 20), rate, size_t(rate) * 2), rate);
        const TSimAmpHarmonics truth = simAmpHarmonics(spec, level, f, rate);
        ASSERT_EQ(truth.lines.size(), 5u) << "all five harmonics lie below fs/2";
        EXPECT_FALSE(truth.clips);
        double harmonicPower = 0, fundamental = 0;
        for (const TSimHarmonic& h : truth.lines) {
            SCOPED_TRACE(h.order);
            const auto got = line(rec[1], h.frequency, rate, size_t(rate), size_t(rate));
            EXPECT_NEAR(dB(std::abs(got)), dB(h.amplitude), 0.01) << "harmonic level within 0.01 dB";
            EXPECT_NEAR(std::remainder(std::arg(got) - h.phase, 2 * kPi), 0.0, 1e-3) << "phase within 1 mrad";
            (h.order == 1 ? fundamental : harmonicPower) += std::norm(got);
        }
        EXPECT_NEAR(std::real(line(rec[0], 0, rate, size_t(rate), size_t(rate))), truth.dc, 1e-6) << "DC";
        const double thdF = std::sqrt(harmonicPower / fundamental);
        const double thdR = std::sqrt(harmonicPower / (fundamental + harmonicPower));
        EXPECT_NEAR(dB(thdF), dB(truth.thdF), 0.01);
        EXPECT_NEAR(dB(thdR), dB(truth.thdR), 0.01);
        EXPECT_GT(truth.thdF, truth.thdR) << "relative to the total is always the smaller";
    }
}

TEST(SimAmplifier, FrequencyAndPhaseResponseMatchTheDesignedButterworth)
{
    const auto s = settings("amplifier", {{"Gain_dB", 6}, {"HighPass_Hz", 50}, {"LowPass_Hz", 12000},
                                          {"Attenuation_dB", 6}, {"OutputVoltsFS", 0.5}, {"InputVoltsFS", 2}});
    const TSimAmpSpec spec = TAmplifierModel::spec(s);
    for (int rate : {48000, 192000}) {
        for (double f : {10.0, 50.0, 200.0, 1000.0, 12000.0, 20000.0}) {
            SCOPED_TRACE(std::to_string(rate) + " Hz rate, " + std::to_string(f) + " Hz");
            const auto rec = runModel(s, sine(f, 0.5, rate, size_t(rate) * 2), rate, 480);
            const auto got = line(rec[0], f, rate, size_t(rate), size_t(rate)) / 0.5;
            const auto want = simAmpResponse(spec, f, rate);
            EXPECT_NEAR(dB(std::abs(got)), dB(std::abs(want)), 0.001) << "gain within 0.001 dB";
            EXPECT_NEAR(std::remainder(std::arg(got) - std::arg(want), 2 * kPi), 0.0, 1e-4) << "phase within 0.1 mrad";
        }
        // At the corners the designed filters are exactly 3 dB down (times the plain gains).
        EXPECT_NEAR(dB(std::abs(simAmpResponse(spec, 50, rate))), 20 * std::log10(0.25) - 3.0103 - 0.0001, 0.01);
    }
}

TEST(SimAmplifier, ClippingHoldsTheRailAndChannelsStayIndependent)
{
    const auto s = settings("amplifier", {{"Gain_dB", 20}, {"RailVolts", 5}, {"Noise_dBFS", -60}});
    const int rate = 48000;
    Signal out = sine(1000, 1.0, rate, 48000);
    out[1].assign(out[1].size(), 0.0); // right silent: its input holds only its own noise
    const auto rec = runModel(s, out, rate);
    const double rail = 5.0 / std::sqrt(2.0); // 5 V peak at 1 V RMS full scale
    double peak = 0, noise = 0, cross = 0;
    for (size_t n = 0; n < rec[0].size(); ++n) {
        peak = std::max(peak, std::abs(rec[0][n]));
        noise += rec[1][n] * rec[1][n];
    }
    EXPECT_LT(peak, rail + 6 * 1e-3) << "the rail plus at most six noise sigmas";
    EXPECT_GT(peak, rail - 6 * 1e-3);
    EXPECT_NEAR(dB(std::sqrt(noise / double(rec[1].size()))), -60.0, 0.1) << "noise RMS within 0.1 dB";
    // The left channel's noise is not the right one's.
    const auto quiet = runModel(settings("amplifier", {{"Noise_dBFS", -60}}), Signal(2, std::vector<double>(48000)), rate);
    for (size_t n = 0; n < quiet[0].size(); ++n)
        cross += quiet[0][n] * quiet[1][n];
    EXPECT_LT(std::abs(cross / double(quiet[0].size())) / 1e-6, 0.02) << "correlation below 2 %";
}

// ---------------------------------------------------------------- impedance

// Z from the two recorded channels: Rs * U_driver / (U_generator - U_driver).
std::complex<double> measuredZ(const Signal& rec, double f, int rate, double rs, int gen = 0)
{
    const auto ug = line(rec[size_t(gen)], f, rate, size_t(rate), size_t(rate));
    const auto ud = line(rec[size_t(1 - gen)], f, rate, size_t(rate), size_t(rate));
    return rs * ud / (ug - ud);
}

TEST(SimImpedance, MeasuredImpedanceMatchesTheDriverWithin0p1Percent)
{
    struct Case {
        const char* what;
        TSimModelSettings s;
    };
    const Case cases[] = {
        {"free air", settings("impedance", {})},
        {"added mass, left records the driver", settings("impedance", {{"AddedMass_g", 15}, {"GeneratorChannel", 1}})},
        {"box, strong motor", settings("impedance", {{"BoxVolume_l", 20}, {"Bl", 12}, {"Le_mH", 1.2}, {"Rs", 4}})},
    };
    for (const Case& c : cases) {
        const TSimSpeakerSpec spec = TImpedanceModel::spec(c.s);
        const int gen = int(simParam(c.s, "impedance", "GeneratorChannel"));
        for (int rate : {48000, 192000}) {
            // Eight tones at once, each on a whole number of periods per second.
            const double freqs[] = {5, 20, 40, 63, 100, 1000, 10000, 20000};
            Signal out(1, std::vector<double>(size_t(rate) * 2, 0.0));
            for (double f : freqs)
                for (size_t n = 0; n < out[0].size(); ++n)
                    out[0][n] += 0.1 * std::cos(2 * kPi * f * double(n) / rate);
            const auto rec = runModel(c.s, out, rate);
            for (double f : freqs) {
                SCOPED_TRACE(std::string(c.what) + ", " + std::to_string(rate) + ", " + std::to_string(f) + " Hz");
                const auto got = measuredZ(rec, f, rate, spec.rs, gen);
                const auto want = simSpeakerImpedance(spec, f);
                EXPECT_NEAR(std::abs(got) / std::abs(want), 1.0, 1e-3) << "|Z| within 0.1 %";
                EXPECT_NEAR(std::arg(got), std::arg(want), 1e-3) << "phase within 1 mrad";
            }
        }
    }
}

TEST(SimImpedance, GeneratorSideIsTheGeneratorDelayedAndScaled)
{
    const auto s = settings("impedance", {{"InputVoltsFS", 2}});
    Signal out(1, std::vector<double>(4096, 0.0));
    std::mt19937 rng(5);
    std::uniform_real_distribution<double> u(-1, 1);
    for (double& v : out[0])
        v = u(rng);
    const auto rec = runModel(s, out, 48000, 100, 3);
    for (size_t n = 0; n + TImpedanceModel::kLatency < out[0].size(); ++n)
        ASSERT_EQ(rec[0][n + TImpedanceModel::kLatency], out[0][n] / 2) << n;
    for (double v : rec[2])
        ASSERT_EQ(v, 0.0) << "a third input is silent";
}

// Thiele-Small truth against the impedance curve it must explain (Le = 0): the peak at fs is
// Re + Bl^2/Rms, the -3 dB-like points at sqrt(Re Zmax) give Qms, and Qes = Qms / (r0 - 1).
TEST(SimImpedance, ThieleSmallParametersExplainTheImpedanceCurve)
{
    TSimSpeakerSpec spec;
    spec.leMh = 0;
    spec.addedMassG = 10;
    spec.boxVolumeL = 30;
    const double rhoc2Sd2 = kSimRhoC2 * 0.02 * 0.02;
    for (TSimSpeakerMount mount : {TSimSpeakerMount::freeAir, TSimSpeakerMount::addedMass, TSimSpeakerMount::box}) {
        SCOPED_TRACE(int(mount));
        TSimSpeakerSpec mounted = spec;
        if (mount == TSimSpeakerMount::freeAir)
            mounted.addedMassG = 0;
        if (mount != TSimSpeakerMount::box)
            mounted.boxVolumeL = 0;
        const TSimThieleSmall ts = simThieleSmall(spec, mount);
        const double zmax = std::abs(simSpeakerImpedance(mounted, ts.fs));
        EXPECT_NEAR(zmax, spec.re + spec.bl * spec.bl / spec.rms, 1e-9);
        EXPECT_NEAR(std::arg(simSpeakerImpedance(mounted, ts.fs)), 0.0, 1e-12) << "resistive at fs";
        const double target = std::sqrt(spec.re * zmax);
        auto cross = [&](double lo, double hi) {
            for (int i = 0; i < 200; ++i) {
                const double mid = std::sqrt(lo * hi);
                (std::abs(simSpeakerImpedance(mounted, mid)) < target ? lo : hi) = mid; // lo: below target
            }
            return lo;
        };
        const double f1 = cross(ts.fs / 10, ts.fs), f2 = cross(ts.fs * 10, ts.fs);
        const double r0 = zmax / spec.re;
        const double qms = std::sqrt(r0) * std::sqrt(f1 * f2) / (f2 - f1);
        EXPECT_NEAR(qms / ts.qms, 1.0, 1e-6);
        EXPECT_NEAR(ts.qes / (qms / (r0 - 1)), 1.0, 1e-6);
        EXPECT_NEAR(ts.qts, ts.qms * ts.qes / (ts.qms + ts.qes), 1e-12);
        EXPECT_NEAR(ts.vasL, rhoc2Sd2 * 0.8e-3 * 1e3, 1e-9) << "45.44 litres";
    }
    // The classic relations between the mounts.
    const auto free = simThieleSmall(spec, TSimSpeakerMount::freeAir);
    const auto mass = simThieleSmall(spec, TSimSpeakerMount::addedMass);
    const auto box = simThieleSmall(spec, TSimSpeakerMount::box);
    EXPECT_NEAR(free.fs, 1 / (2 * kPi * std::sqrt(0.02 * 0.8e-3)), 1e-9);
    EXPECT_NEAR(mass.fs, free.fs * std::sqrt(20.0 / 30.0), 1e-9);
    EXPECT_NEAR(box.fs, mass.fs * std::sqrt(1 + free.vasL / 30.0), 1e-9);
}

// ---------------------------------------------------------------- room

TEST(SimRoom, ImpulseResponseIsSampleExactAtEveryRateAndBlockSize)
{
    const auto s = settings("room", {{"RT60_ms", 600}, {"TailStart_ms", 1}}, {{"Reflections", "0.5:-3; 3.1:-6, 40:-12"}});
    for (int rate : {44100, 192000}) {
        const std::vector<double> truth = simRoomImpulse(TRoomModel::spec(s), rate, 9);
        ASSERT_GT(truth.size(), 49152u) << "reaches the second of the longest partitions";
        Signal out(2, std::vector<double>(truth.size() + 100, 0.0));
        out[0][0] = 1.0;  // left: an impulse
        out[1][37] = -0.5; // right: a later, smaller one
        for (int block : {1, 100, 4096}) {
            SCOPED_TRACE(std::to_string(rate) + " Hz, blocks of " + std::to_string(block));
            const auto rec = runModel(s, out, rate, block, 2, 9);
            double worst = 0;
            for (size_t n = 0; n < out[0].size(); ++n) {
                const double l = n < truth.size() ? truth[n] : 0.0;
                const double r = n >= 37 && n - 37 < truth.size() ? -0.5 * truth[n - 37] : 0.0;
                worst = std::max({worst, std::abs(rec[0][n] - l), std::abs(rec[1][n] - r)});
            }
            EXPECT_LT(worst, 1e-12) << "equal to the truth within rounding, at every sample";
        }
    }
}

TEST(SimRoom, NoiseThroughTheRoomEqualsDirectConvolution)
{
    const auto s = settings("room", {{"RT60_ms", 200}});
    const int rate = 48000;
    const std::vector<double> h = simRoomImpulse(TRoomModel::spec(s), rate, 1);
    Signal out(1, std::vector<double>(h.size() + 3000, 0.0));
    std::mt19937 rng(11);
    std::normal_distribution<double> g;
    for (size_t n = 0; n < 3000; ++n)
        out[0][n] = g(rng);
    const auto rec = runModel(s, out, rate, 333, 1);
    double worst = 0;
    for (size_t n = 0; n < out[0].size(); n += 7) {
        double y = 0;
        for (size_t k = 0; k < 3000 && k <= n; ++k)
            if (n - k < h.size())
                y += out[0][k] * h[n - k];
        worst = std::max(worst, std::abs(rec[0][n] - y));
    }
    EXPECT_LT(worst, 1e-10);
}

TEST(SimRoom, TruthHasItsReflectionsAndTheDecayImpliesItsRt60)
{
    TSimRoomSpec spec; // defaults: direct at 2 ms, reflections at +3.1 and +7.4 ms
    const int rate = 48000;
    const auto h = simRoomImpulse(spec, rate, 3);
    EXPECT_EQ(h[96], 1.0);
    EXPECT_EQ(h[96 + 149], std::pow(10.0, -6.0 / 20)); // 3.1 ms = 148.8 samples, rounded
    EXPECT_EQ(h[96 + 355], std::pow(10.0, -9.0 / 20)); // 7.4 ms = 355.2 samples
    for (size_t n = 0; n < 96 + 480; ++n) {
        if (n != 96 && n != 96 + 149 && n != 96 + 355) {
            ASSERT_EQ(h[n], 0.0) << n;
        }
    }
    EXPECT_EQ(h.size(), size_t(96 + 480 + 38400));
    for (double rt : {150.0, 400.0, 1500.0}) {
        spec.rt60Ms = rt;
        const auto ir = simRoomImpulse(spec, rate, 3);
        const double got = simRt60FromDecay(simSchroederDb(ir), rate, 96 + 480);
        EXPECT_NEAR(got / rt, 1.0, 0.02) << rt << " ms: the Schroeder decay implies RT60 within 2 %";
        // Tail level: RMS over its first 2 ms, decay removed, is TailLevel below the direct sound.
        double e = 0;
        for (size_t n = 0; n < 96; ++n)
            e += std::pow(ir[576 + n] * std::pow(10.0, 3.0 * double(n) / (rt * 48)), 2);
        EXPECT_NEAR(dB(std::sqrt(e / 96)), -20.0, 1.5) << "noise of 96 samples: within 1.5 dB";
    }
}

TEST(SimRoom, ReflectionListParsing)
{
    std::vector<TSimReflection> r{{1, 1}};
    std::string why;
    ASSERT_TRUE(simParseReflections(" 3.1 : -6 ; 7.4:-9,, +10:0 ", &r, &why));
    ASSERT_EQ(r.size(), 3u);
    EXPECT_EQ(r[2].delayMs, 10.0);
    ASSERT_TRUE(simParseReflections("", &r, &why));
    EXPECT_TRUE(r.empty());
    std::string many;
    for (int i = 0; i < 65; ++i)
        many += "1:-1,";
    const std::string bad[] = {"3.1", "3.1:", ":-6", "3,1:-6", "3.1:-6dB", "-1:-6", "1001:-6", "3:30",
                               "3:nan", "3:1e999", "3.1:\xE2\x88\x92" "6", "\xFF\xFE" "3\0:1", many,
                               std::string(5000, '1')};
    r = {{1, 1}};
    for (const std::string& text : bad) {
        SCOPED_TRACE(text.substr(0, 20));
        why.clear();
        EXPECT_FALSE(simParseReflections(text, &r, &why));
        EXPECT_FALSE(why.empty());
        ASSERT_EQ(r.size(), 1u) << "the list is untouched";
    }
    // The model says so and uses the default list.
    std::string notice;
    auto bent = simMakeModel(settings("room", {}, {{"Reflections", "3.1:-6, 7.4"}}), &notice);
    EXPECT_NE(notice.find("Reflections"), std::string::npos) << notice;
    EXPECT_EQ(TRoomModel::spec(settings("room", {}, {{"Reflections", "garbage"}})).reflections.size(), 2u);
}

// ---------------------------------------------------------------- tape

// beta of a sine FM from the ratio of the first sideband to the carrier: J1(b) / J0(b).
double betaFromRatio(double ratio)
{
    double lo = 0, hi = 2.0; // J1/J0 rises monotonically from 0 on (0, 2.4)
    for (int i = 0; i < 100; ++i) {
        const double mid = 0.5 * (lo + hi);
        (std::cyl_bessel_j(1.0, mid) / std::cyl_bessel_j(0.0, mid) < ratio ? lo : hi) = mid;
    }
    return lo;
}

TEST(SimTape, FrequencyDeviationOfWowAndFlutterMatchesTheDepths)
{
    struct Case {
        double wowRate, wowDepth, flutterRate, flutterDepth;
    };
    const double f0 = 3000;
    for (int rate : {48000, 192000}) {
        for (const Case& c : {Case{4, 0.1, 10, 0}, Case{0.5, 0, 20, 0.05}, Case{1, 0.03, 50, 0}}) {
            SCOPED_TRACE(std::to_string(rate) + " Hz: " + std::to_string(c.wowDepth) + " % at " +
                         std::to_string(c.wowRate) + " Hz, " + std::to_string(c.flutterDepth) + " % at " +
                         std::to_string(c.flutterRate) + " Hz");
            const auto s = settings("tape", {{"WowRate_Hz", c.wowRate}, {"WowDepth_pct", c.wowDepth},
                                             {"FlutterRate_Hz", c.flutterRate}, {"FlutterDepth_pct", c.flutterDepth}});
            const TSimTapeSpec spec = TTapeModel::spec(s);
            const bool wow = c.wowDepth > 0;
            const double fm = wow ? c.wowRate : c.flutterRate;
            const double dev = wow ? simTapeWowDeviationHz(spec, f0) : simTapeFlutterDeviationHz(spec, f0);
            const auto rec = runModel(s, sine(f0, 0.5, rate, size_t(rate) * 4), rate, 777);
            // Two whole seconds from t = 1 s: bins of 0.5 Hz hold carrier and sidebands exactly.
            const size_t from = size_t(rate), count = size_t(rate) * 2;
            const double carrier = std::abs(line(rec[0], f0, rate, from, count));
            const double side = 0.5 * (std::abs(line(rec[0], f0 + fm, rate, from, count)) +
                                       std::abs(line(rec[0], f0 - fm, rate, from, count)));
            const double got = betaFromRatio(side / carrier) * fm;
            EXPECT_NEAR(got / dev, 1.0, 0.005) << "peak deviation " << dev << " Hz within 0.5 %";
            EXPECT_NEAR(simTapePeakDeviation(spec), (c.wowDepth + c.flutterDepth) / 100, 1e-15);
        }
    }
}

TEST(SimTape, DriftShiftsEveryToneAndNoSpeedChangeIsAPureDelay)
{
    const int rate = 48000;
    for (double drift : {1.0, -2.0}) {
        SCOPED_TRACE(drift);
        const auto s = settings("tape", {{"Drift_pct", drift}});
        const auto rec = runModel(s, sine(3000, 0.5, rate, size_t(rate) * 3), rate);
        const double f = 3000 * (1 + simTapeDrift(TTapeModel::spec(s)));
        EXPECT_NEAR(std::abs(line(rec[1], f, rate, size_t(rate), size_t(rate))), 0.5, 5e-4)
            << "the whole tone sits at f0 (1 + drift)";
    }
    // Without any speed change the reader sits on whole samples: the recording is the played
    // signal delayed, to the bit.
    auto m = simMakeModel(settings("tape", {}), nullptr);
    m->prepare({rate, 2, 2, 64, 1});
    const double lag = static_cast<TTapeModel&>(*m).baseLag();
    Signal out = sine(1234, 0.7, rate, 5000);
    const auto rec = run(*m, out, 2, 64);
    for (size_t n = size_t(lag); n < 5000; ++n)
        ASSERT_EQ(rec[0][n], out[0][n - size_t(lag)]) << n;
}

// ---------------------------------------------------------------- every model

TEST(SimModels, BlockSizeDoesNotChangeTheResultAndSeedsReproduce)
{
    const TSimModelSettings all[] = {
        settings("amplifier", {{"HighPass_Hz", 30}, {"A3", 0.01}, {"Noise_dBFS", -80}}),
        settings("impedance", {}),
        settings("room", {{"RT60_ms", 100}}),
        settings("tape", {{"WowDepth_pct", 0.2}, {"FlutterDepth_pct", 0.05}, {"Drift_pct", 0.5}}),
    };
    std::mt19937 rng(3);
    std::uniform_real_distribution<double> u(-0.5, 0.5);
    Signal out(2, std::vector<double>(20000));
    for (auto& c : out)
        for (double& v : c)
            v = u(rng);
    for (const TSimModelSettings& s : all) {
        SCOPED_TRACE(s.kind);
        const auto whole = runModel(s, out, 48000, 20000, 2, 4);
        EXPECT_EQ(runModel(s, out, 48000, 1, 2, 4), whole);
        EXPECT_EQ(runModel(s, out, 48000, 129, 2, 4), whole);
        if (s.kind == "amplifier" || s.kind == "room") {
            EXPECT_NE(runModel(s, out, 48000, 20000, 2, 5), whole) << "another seed, other noise";
        }
    }
}

TEST(SimModels, ExtremeValuesGiveFiniteOutputForEveryFormat)
{
    for (const TSimModelKind& kind : simModelKinds()) {
        for (bool high : {false, true}) {
            TSimModelSettings s;
            s.kind = kind.name;
            for (const TSimParamInfo& p : kind.params)
                if (!p.text)
                    s.params[simKey(kind.section, p.key)] = high ? 1e300 : -1e300; // clamped to the range
            SCOPED_TRACE(std::string(kind.name) + (high ? " at its maxima" : " at its minima"));
            for (auto [in, out] : {std::pair{2, 2}, {3, 1}, {1, 3}}) {
                auto m = simMakeModel(s, nullptr);
                m->prepare({high ? 192000 : 44100, in, out, 256, 1});
                const auto rec = run(*m, sine(997, 1.0, 44100, 2048, out), in, 256);
                for (const auto& c : rec)
                    for (double v : c)
                        ASSERT_TRUE(std::isfinite(v));
            }
        }
    }
}

} // namespace
