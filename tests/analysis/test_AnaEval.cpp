// Tests of the level, distortion, noise, IM and modulation distortion evaluation: closed loop on
// the virtual bench against the models' closed-form truth, and the result text.
#include "analysis/AnaEval.h"

#include "dsp/FFtuli.h"

#include "SimTruthAmplifier.h"
#include "TAmplifierModel.h"
#include "TSimDevice.h"
#include "TSimModel.h"
#include "../support/simRecording.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <complex>
#include <cstdio>
#include <functional>
#include <limits>
#include <numbers>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr double kPi = std::numbers::pi;
constexpr int kRate = 48000;
constexpr int kN = 65536;                    // transform size of the closed-loop tests
constexpr double kStep = double(kRate) / kN; // bin spacing, Hz
constexpr int kDefaultWindow = 8;            // cFFTdat's default window kind
using Signal = std::vector<double>;

double dB(double v) {
    return 20.0 * std::log10(v);
}
double amp(double db) {
    return std::pow(10.0, db / 20.0);
}

// One line of the closed-loop table printed with the test output.
void tableRow(const std::string& what, double truth, double measured) {
    std::printf("[table] %-46s truth %10.4f  measured %10.4f  dev %+8.4f\n", what.c_str(), truth,
                measured, measured - truth);
}

// ---- the bench --------------------------------------------------------------------------

TSimModelSettings model(const std::string& kind,
                        const std::vector<std::pair<std::string, double>>& values) {
    TSimModelSettings s;
    s.kind = kind;
    const TSimModelKind* k = simFindModelKind(kind);
    for (const auto& [key, v] : values)
        s.params[simKey(k->section, key)] = v;
    return s;
}

// Left input of the bench in fast pacing: the second block of kN samples after the generator
// started (filters settled), played from the record `setup` fills in.
Signal record(const TSimModelSettings& m, int bits, const std::function<void(TwaveGO&)>& setup) {
    TSimSettings s;
    s.pacing = TSimPacing::fast;
    s.blockFrames = kN;
    s.bits = bits;
    s.model = m;
    TSimDevice dev;
    dev.init(s, "");
    TwaveGO* go = dev.outRecord();
    go->genOnL = go->genOnR = 1;
    go->Conti = 1;
    setup(*go);
    EXPECT_EQ(dev.startOut(true) & SD_ST_OUT_RUN, SD_ST_OUT_RUN);
    dev.startIn(true);
    const Signal left = simRecordBlocks(dev, 2, kN, std::chrono::seconds(10))[0];
    dev.deinit();
    return Signal(left.end() - kN, left.end());
}

// A sine (level = peak in dBFS) on both generator channels.
std::function<void(TwaveGO&)> sine(double f, double levelDb) {
    return [=](TwaveGO& go) {
        go.modeL = go.modeR = 0;
        go.GenFreqL = go.GenFreqR = f;
        go.voldB_L = go.voldB_R = levelDb;
    };
}

// The raw dB spectrum the measurements evaluate: the project's windowed magnitude spectrum
// (transform scaled by 1/n, coherent gain 0.5) as 20*log10, bins 0 .. n/2-1.
Tsamplemem rawSpectrum(const Signal& x, int window = kDefaultWindow) {
    const int32_t n = int32_t(x.size());
    FFtuliContext ctx;
    ctx.prepareWindow(window, n);
    Signal buf = x;
    ctx.windowedSpectrum(buf.data(), nullptr, n, 0);
    Tsamplemem s(n / 2);
    for (int32_t k = 0; k < n / 2; ++k)
        s.setsmAr(k, buf[size_t(k)] > 0.0 ? dB(buf[size_t(k)]) : -300.0);
    return s;
}

cAnaPara settingsFor(int32_t n = kN, double rate = kRate) {
    cAnaPara a;
    a.fsampFreq = rate;
    a.lsampFFTPoints = n;
    return a;
}

// The bin spacing of the settings, Hz.
double binStep(const cAnaPara& a) { return a.fsampFreq / a.lsampFFTPoints; }

// Amplitude of the line at bin k of x (whole periods): a plain DFT, no window.
double lineAmplitude(const Signal& x, int k) {
    std::complex<double> s = 0;
    const size_t n = x.size();
    for (size_t t = 0; t < n; ++t)
        s += x[t] * std::polar(1.0, -2.0 * kPi * double(k) * double(t) / double(n));
    return 2.0 * std::abs(s) / double(n);
}

// ---- residual floor ---------------------------------------------------------------------

// A 997 Hz sine at -1 dBFS through a plain wire: what the evaluation itself leaves.
TEST(AnaEvalClosedLoop, ResidualFloorOfTheWire) {
    const auto wire = model("wire", {});
    const double A = amp(-1.0);

    cAnaPara ana = settingsFor();
    const Tsamplemem s32 = rawSpectrum(record(wire, 32, sine(997, -1.0)));
    ana.Hx = 0x1FF;
    const double thdn32 = DistortionNoise(&s32, ana, nullptr).dB;
    ana.Hx = 0x1FE;
    const TDistortionResult thd32r = DistortionNoise(&s32, ana, nullptr);
    const double thd32 = thd32r.dB;
    tableRow("wire 32 bit THD+N (limit)", -140, thdn32);
    tableRow("wire 32 bit THD (limit)", -150, thd32);
    EXPECT_LE(thdn32, -140.0);
    EXPECT_LE(thd32, -150.0);
    EXPECT_NEAR(thd32r.fundamental, 997.0, kStep) << "fundamental within one bin";

    // 24 bits: rounding to q = 2^-23 adds white noise of power q^2/12. With the window w and the
    // transform scaled by 1/n, each bin carries on average q^2/12 * mean(w^2) / n: the noise
    // bandwidth of a bin, ENBW = n mean(w^2) / (sum w)^2 bins, times the bin's squared
    // coherent gain (sum w / n)^2. The sine's bins sum to (A/2)^2 mean(w^2) (Parseval over its
    // main lobe), so the window drops out of the ratio. Noise counts in the band 100..20000 Hz
    // outside the fundamental (2 x 12 bins) and outside the eight harmonic regions (2 x 6 bins
    // each); those harmonic regions collect noise into H. Harmonics and noise are added as
    // amplitudes: THD+N = (sqrt(nH) + sqrt(nN)) * sqrt(q^2/12 / n) / (A/2).
    const Tsamplemem s24 = rawSpectrum(record(wire, 24, sine(997, -1.0)));
    ana.Hx = 0x1FF;
    const double thdn24 = DistortionNoise(&s24, ana, nullptr).dB;
    const double q = std::ldexp(1.0, -23);
    const double nH = 8 * 12, nN = (20000 - 100) / kStep - 24 - nH;
    const double expect24 =
        dB((std::sqrt(nH) + std::sqrt(nN)) * std::sqrt(q * q / 12 / kN) / (A / 2));
    tableRow("wire 24 bit THD+N", expect24, thdn24);
    EXPECT_NEAR(thdn24, expect24, 2.0);
    // The rest is the window's own floor: the far side lobes of an exact sine that fall beyond
    // the 12 bins of the fundamental (about -150 dB), which adds to the noise as power.
    Signal exact(kN);
    for (int t = 0; t < kN; ++t)
        exact[size_t(t)] = A * std::sin(2 * kPi * 997.0 * t / kRate);
    const Tsamplemem sx = rawSpectrum(exact);
    const double floor = DistortionNoise(&sx, ana, nullptr).dB;
    EXPECT_LT(floor, -145.0);
    const double withFloor =
        10 * std::log10(std::pow(10, expect24 / 10) + std::pow(10, floor / 10));
    tableRow("wire 24 bit THD+N incl. window floor", withFloor, thdn24);
    EXPECT_NEAR(thdn24, withFloor, 0.3);
}

// ---- harmonic distortion of the amplifier -----------------------------------------------

struct AmpCase {
    const char* name;
    std::vector<std::pair<std::string, double>> params;
};

// Dist with all harmonics and no noise is sqrt(H)/sqrt(T): the THD relative to the total
// power, which is what the truth library's thdR is.
TEST(AnaEvalClosedLoop, AmplifierThdEqualsTheTruth) {
    const std::vector<AmpCase> cases = {
        {"A2..A5", {{"A2", 0.01}, {"A3", -0.004}, {"A4", 0.002}, {"A5", -0.001}}},
        {"A2..A5 filtered, 20 dB gain",
         {{"OutputVoltsFS", 0.5},
          {"Gain_dB", 20},
          {"HighPass_Hz", 20},
          {"LowPass_Hz", 20000},
          {"A2", 1e-3},
          {"A3", -2e-4},
          {"A4", 3e-5},
          {"A5", -2e-6},
          {"Attenuation_dB", 20}}},
        {"A3 only", {{"A3", 0.003}}},
    };
    int compared = 0;
    for (const AmpCase& c : cases) {
        const auto m = model("amplifier", c.params);
        const TSimAmpSpec spec = TAmplifierModel::spec(m);
        for (double f : {210.0, 997.0, 3001.0}) {
            for (double level : {-30.0, -10.0, -1.0}) {
                const std::string what = std::string(c.name) + " " + std::to_string(int(f)) +
                                         " Hz " + std::to_string(int(level)) + " dBFS THD";
                SCOPED_TRACE(what);
                const TSimAmpHarmonics truth = simAmpHarmonics(spec, level, f, kRate);
                ASSERT_FALSE(truth.clips);
                if (dB(truth.thdR) <= -130.0) continue;
                const Tsamplemem s = rawSpectrum(record(m, 32, sine(f, level)));
                cAnaPara ana = settingsFor();
                ana.Hx = 0x1FE;
                const double got = DistortionNoise(&s, ana, nullptr).dB;
                tableRow(what, dB(truth.thdR), got);
                EXPECT_NEAR(got, dB(truth.thdR), 0.05);
                ++compared;
            }
        }
    }
    EXPECT_GE(compared, 20) << "most cases lie above -130 dB";
}

// A single harmonic selected: sqrt(H_i)/sqrt(T) against that line of the truth.
TEST(AnaEvalClosedLoop, SingleHarmonicsEqualTheTruth) {
    const auto m = model("amplifier", {{"A2", 0.02}, {"A3", 0.01}});
    const TSimAmpSpec spec = TAmplifierModel::spec(m);
    for (double level : {-20.0, -3.0}) {
        const double f = 1499.0;
        const TSimAmpHarmonics truth = simAmpHarmonics(spec, level, f, kRate);
        double total = 0;
        for (const TSimHarmonic& h : truth.lines)
            total += h.amplitude * h.amplitude;
        const Tsamplemem s = rawSpectrum(record(m, 32, sine(f, level)));
        for (int order : {2, 3}) {
            const std::string what =
                "H" + std::to_string(order) + " only, " + std::to_string(int(level)) + " dBFS";
            SCOPED_TRACE(what);
            cAnaPara ana = settingsFor();
            ana.Hx = 1 << (order - 1);
            const double want = dB(truth.lines[size_t(order - 1)].amplitude / std::sqrt(total));
            const double got = DistortionNoise(&s, ana, nullptr).dB;
            tableRow(what, want, got);
            EXPECT_NEAR(got, want, 0.05);
        }
    }
}

// ---- level and weighted noise -----------------------------------------------------------

// With INPUT = InputVoltsFS the level in dBV is the recorded RMS voltage, in every window.
TEST(AnaEvalClosedLoop, LevelInVoltsInEveryWindow) {
    const auto m = model("amplifier", {{"OutputVoltsFS", 2.0},
                                       {"Gain_dB", 6},
                                       {"A3", 0.002},
                                       {"Attenuation_dB", 12},
                                       {"InputVoltsFS", 1.5}});
    const TSimAmpSpec spec = TAmplifierModel::spec(m);
    const double f = 1365 * kStep; // on a bin, so the plain window leaks nothing
    const double level = -4.0;
    const TSimAmpHarmonics truth = simAmpHarmonics(spec, level, f, kRate);
    double power = 0;
    for (const TSimHarmonic& h : truth.lines)
        power += h.amplitude * h.amplitude;
    const double voltsRms = std::sqrt(power) * spec.inputVoltsFS; // 0 dBFS sine = InputVoltsFS
    const Signal x = record(m, 32, sine(f, level));

    TLevelCalibration cal;
    cal.INPUT = 1000.0 * spec.inputVoltsFS;
    for (int win = 0; win < kWindowKinds; ++win) {
        SCOPED_TRACE(win);
        const Tsamplemem s = rawSpectrum(x, win);
        cFFTdat fft;
        fft.FFTwin = win;
        fft.SamplesFFT = kN;
        fft.setdBMode(dbMode_dBV);
        ApplyLevelCalibration(fft, cal);
        cAnaPara ana = settingsFor();
        const double dBV = BandLevel(&s, ana, fft, true, 0, nullptr, dbMode_dBV);
        tableRow("level dBV, window " + std::to_string(win), dB(voltsRms), dBV);
        EXPECT_NEAR(dBV, dB(voltsRms), 0.01);
        fft.setdBMode(dbMode_dBu);
        ApplyLevelCalibration(fft, cal);
        EXPECT_NEAR(BandLevel(&s, ana, fft, true, 0, nullptr, dbMode_dBu), dBV + dB(1000.0 / 775.0),
                    1e-9)
            << "dBu = dBV + 20 log10(1000/775), 2.214 dB";
    }
}

// The A weighting as a straight-line table (its own points, interpolated here).
double aWeighting(double f) {
    const std::span<const double> p = WeightingTable("A Weighting");
    const size_t n = p.size() / 2;
    if (f <= p[0]) return p[1];
    for (size_t i = 1; i < n; ++i)
        if (f < p[2 * i])
            return p[2 * i - 1] +
                   (p[2 * i + 1] - p[2 * i - 1]) * (f - p[2 * i - 2]) / (p[2 * i] - p[2 * i - 2]);
    return p[2 * n - 1];
}

// S/N of a sine over white noise of known power, A-weighted: the weighted powers follow from the
// table. Per bin the noise is sigma^2 mean(w^2)/n, the sine's bins sum to (A/2)^2 mean(w^2);
// T sums every bin, N the band outside the fundamental (12 bins) and harmonic (6 bins) regions.
TEST(AnaEvalClosedLoop, AWeightedSignalToNoise) {
    const double noiseDbfs = -70.0, level = -6.0;
    const double f = 1365 * kStep;
    const auto m = model("amplifier", {{"Noise_dBFS", noiseDbfs}});
    const Tsamplemem s = rawSpectrum(record(m, 32, sine(f, level)));
    cAnaPara ana = settingsFor();
    ana.filter = "A Weighting";
    ana.Hx = 1;
    const auto weighting = MakeWeighting(ana);
    ASSERT_TRUE(weighting && weighting->getaktiv());

    const double perBin = std::pow(10.0, noiseDbfs / 10.0) / kN; // common mean(w^2) left out
    const double A = amp(level);
    double T = A * A / 4 * std::pow(10.0, aWeighting(f) / 10.0), N = 0;
    for (int k = 0; k < kN / 2; ++k) {
        const double fk = k * kStep, g = std::pow(10.0, aWeighting(fk) / 10.0);
        T += perBin * g;
        if (fk < 100 || fk > 20000 || std::abs(fk - f) < 12 * kStep) continue;
        bool harmonic = false;
        for (int i = 2; i <= 9; ++i)
            harmonic = harmonic || std::abs(fk - i * f) < 6 * kStep;
        if (!harmonic) N += perBin * g;
    }
    const double want = 10.0 * std::log10(T / N);
    const double got = -DistortionNoise(&s, ana, weighting.get()).dB;
    tableRow("A-weighted S/N, noise -70 dBFS", want, got);
    EXPECT_NEAR(got, want, 0.2);
    ana.filter = "none";
    const double unweighted = -DistortionNoise(&s, ana, nullptr).dB;
    EXPECT_GT(got - unweighted, 1.0) << "the weighting takes out the noise beyond 10 kHz";
}

// ---- IM and modulation distortion -------------------------------------------------------

// y = poly(x) of the amplifier with unit voltages: v = w + a2 w^2 + a3 w^3, w = sqrt2 x.
Signal polynomial(const Signal& x, double a2, double a3) {
    Signal y(x.size());
    for (size_t t = 0; t < x.size(); ++t) {
        const double w = std::numbers::sqrt2 * x[t];
        y[t] = (w + a2 * w * w + a3 * w * w * w) / std::numbers::sqrt2;
    }
    return y;
}

Signal twoTones(int k1, double a1, int k2, double a2) {
    Signal x(kN);
    for (int t = 0; t < kN; ++t)
        x[size_t(t)] = a1 * std::sin(2 * kPi * k1 * t / kN) + a2 * std::sin(2 * kPi * k2 * t / kN);
    return x;
}

std::function<void(TwaveGO&)> dualSine(int kFirst, double dbFirst, int kSecond, double dbSecond) {
    return [=](TwaveGO& go) {
        go.modeL = go.modeR = 10;
        go.dualTfunc = 0;
        go.GenFreqL = go.GenFreqR = kFirst * kStep;
        go.voldB_L = go.voldB_R = dbFirst;
        go.secfreqL = go.secfreqR = kSecond * kStep;
        go.secvoldB_L = go.secvoldB_R = dbSecond;
    };
}

// The default window spreads a tone over +-4 bins; sidebands summed over only +-2 bins would
// read 0.6 dB low against the reference summed over +-4.
TEST(AnaEvalClosedLoop, IntermodulationEqualsTheSidebands) {
    const double a2 = 0.05, a3 = 0.02;
    const auto m = model("amplifier", {{"A2", a2}, {"A3", a3}});
    const int kHigh = 9557, kLow = 82; // 7 kHz and 60 Hz on bins, 12 dB apart
    TwaveGO go{};
    dualSine(kHigh, -20, kLow, -8)(go);
    const Tsamplemem s = rawSpectrum(record(m, 32, dualSine(kHigh, -20, kLow, -8)));
    const Signal y = polynomial(twoTones(kHigh, amp(-20), kLow, amp(-8)), a2, a3);
    double side = 0;
    for (int k : {kHigh - kLow, kHigh + kLow, kHigh - 2 * kLow, kHigh + 2 * kLow})
        side += std::pow(lineAmplitude(y, k), 2);
    const double want = dB(std::sqrt(side) / lineAmplitude(y, kHigh));
    cAnaPara ana = settingsFor();
    const double got = IMDistortion(&s, ana, go);
    tableRow("IMD 60 Hz / 7 kHz 4:1", want, got);
    EXPECT_NEAR(got, want, 0.1);
    ana.fFundlow = float(amp(-20)); // above the tone's amplitude in the spectrum
    EXPECT_EQ(IMDistortion(&s, ana, go), kEvalNoValue_dB) << "reference at or below fFundlow";
}

TEST(AnaEvalClosedLoop, ModulationDistortionEqualsTheDifferenceTones) {
    const double a2 = 0.03, a3 = 0.01;
    const auto m = model("amplifier", {{"A2", a2}, {"A3", a3}});
    const int kB = 15019, kA = 16384; // 11 and 12 kHz on bins
    TwaveGO go{};
    dualSine(kB, -7, kA, -7)(go);
    const Tsamplemem s = rawSpectrum(record(m, 32, dualSine(kB, -7, kA, -7)));
    const Signal y = polynomial(twoTones(kB, amp(-7), kA, amp(-7)), a2, a3);
    const double d2 = lineAmplitude(y, kA - kB), d3 = lineAmplitude(y, 2 * kB - kA);
    const double want = std::hypot(d2, d3) / (lineAmplitude(y, kA) + lineAmplitude(y, kB));
    cAnaPara ana = settingsFor();
    const double got = ModulationDistortion(&s, ana, go);
    tableRow("Mod dist 11 kHz + 12 kHz (dB)", dB(want), dB(got));
    EXPECT_NEAR(dB(got), dB(want), 0.1);
    // The lower tone second: the difference tone is still fA - fB in size, the third-order
    // product 2 fB - fA now lies above both tones.
    dualSine(kA, -7, kB, -7)(go);
    const Tsamplemem swapped = rawSpectrum(record(m, 32, dualSine(kA, -7, kB, -7)));
    const double d3up = lineAmplitude(y, 2 * kA - kB);
    const double wantSwapped = std::hypot(d2, d3up) / (lineAmplitude(y, kA) + lineAmplitude(y, kB));
    const double gotSwapped = ModulationDistortion(&swapped, ana, go);
    tableRow("Mod dist 12 kHz + 11 kHz (dB)", dB(wantSwapped), dB(gotSwapped));
    EXPECT_NEAR(dB(gotSwapped), dB(wantSwapped), 0.1);
}

// ---- single evaluations on made-up spectra ------------------------------------------------

// A raw dB spectrum of n/2 bins without values, with the given bins set.
Tsamplemem spectrumWith(int32_t n, const std::vector<std::pair<int, double>>& bins) {
    Tsamplemem s(n / 2);
    for (const auto& [k, v] : bins)
        s.setsmAr(k, v);
    return s;
}

TEST(AnaEvalEdges, NothingToMeasureGivesNoValue) {
    cAnaPara ana = settingsFor(4096);
    // A sine alone: with only H2 selected there is neither harmonic nor noise power.
    const Tsamplemem pure = spectrumWith(4096, {{127, -20}, {128, -14}, {129, -20}});
    ana.Hx = 0x2;
    EXPECT_EQ(DistortionNoise(&pure, ana, nullptr).dB, kEvalNoValue_dB);
    ana.Hx = 0x1FF;
    EXPECT_EQ(DistortionNoise(nullptr, ana, nullptr).dB, kEvalNoValue_dB);
    EXPECT_EQ(IMDistortion(nullptr, ana, 60, 7000), kEvalNoValue_dB);
    EXPECT_EQ(IMDistortion(&pure, ana, 0, 128 * binStep(ana)), kEvalNoValue_dB) << "no second tone";
    EXPECT_EQ(ModulationDistortion(nullptr, ana, 12000, 11000), 0.0);
    cFFTdat fft;
    EXPECT_EQ(BandLevel(nullptr, ana, fft, true, 0, nullptr, dBMode_dbFS), kEvalNoValue_dB);
    cAnaPara noRate = settingsFor(4096, 0.0);
    EXPECT_EQ(DistortionNoise(&pure, noRate, nullptr).dB, kEvalNoValue_dB);
}

TEST(AnaEvalEdges, FundamentalSearch) {
    cAnaPara ana = settingsFor(4096);
    const Tsamplemem bin1 = spectrumWith(4096, {{1, -6}, {300, -60}});
    EXPECT_EQ(FindFundamental(&bin1, ana), 0.0) << "bin 1 is no fundamental";
    EXPECT_EQ(DistortionNoise(&bin1, ana, nullptr).dB, kEvalNoValue_dB);
    // Threshold: value + 11.5 dB must exceed 20 log10(fFundlow) = -40 dB.
    const Tsamplemem quiet = spectrumWith(4096, {{300, -51.4}});
    EXPECT_NEAR(FindFundamental(&quiet, ana), 300 * binStep(ana), 1e-9);
    const Tsamplemem tooQuiet = spectrumWith(4096, {{300, -51.6}});
    EXPECT_EQ(FindFundamental(&tooQuiet, ana), 0.0);
    // GTfreq excludes the lower, louder tone.
    const Tsamplemem two = spectrumWith(4096, {{50, -6}, {300, -12}});
    ana.GTfreq = 100 * binStep(ana);
    EXPECT_NEAR(FindFundamental(&two, ana), 300 * binStep(ana), 1e-9);
    EXPECT_EQ(ana.fManualFundamental, 0.0f) << "a search leaves the manual fundamental alone";
    // Manual fundamental: no search.
    ana.bFundAuto = false;
    ana.fManualFundamental = float(50 * binStep(ana));
    ana.Hx = 0x2;
    const Tsamplemem h2 = spectrumWith(4096, {{50, -6}, {100, -46}});
    EXPECT_NEAR(DistortionNoise(&h2, ana, nullptr).dB, -40.0 - 10 * std::log10(1 + 1e-4), 1e-9);
}

// Distortion sums: noise excludes every harmonic region, harmonics add as amplitudes to noise.
TEST(AnaEvalEdges, HarmonicAndNoiseSums) {
    cAnaPara ana = settingsFor(4096);
    ana.lfbis = 24000;
    // Fundamental at bin 100 (amplitude 1), H3 -40 dB, one noise bin -60 dB, one bin in the
    // H5 region (not selected) at -20 dB that must count neither as H nor as noise.
    const Tsamplemem s = spectrumWith(4096, {{100, -1e-12}, {300, -40}, {650, -60}, {502, -20}});
    ana.Hx = 0x4 | 0x1; // H3 + N
    QStringList log;
    const TDistortionResult r = DistortionNoise(&s, ana, nullptr, &log);
    const double T = 1 + 1e-4 + 1e-6 + 1e-2;
    EXPECT_NEAR(r.dB, dB((0.01 + 0.001) / std::sqrt(T)), 1e-9);
    EXPECT_NEAR(r.total, T, 2e-9);
    EXPECT_NEAR(r.harmonics, 1e-4, 1e-15);
    EXPECT_NEAR(r.noise, 1e-6, 2e-15);
    ASSERT_EQ(log.size(), 1);
    EXPECT_TRUE(
        log[0].startsWith("fu 1171.875000, Glev 1.010101, KxLev 0.00010000, NLev 0.00000100, erg "))
        << log[0].toStdString();
}

// Harmonic i counts only while fs/2 >= i F + 3 bins.
TEST(AnaEvalEdges, HarmonicsNearNyquistAreIgnored) {
    cAnaPara ana = settingsFor(2048); // 1024 bins
    ana.lfbis = 24000;
    ana.Hx = 0x2;
    const Tsamplemem inside = spectrumWith(2048, {{510, -6}, {1020, -46}}); // 1020 + 3 <= 1024
    EXPECT_NEAR(DistortionNoise(&inside, ana, nullptr).dB, -40.0, 0.01);
    const Tsamplemem beyond = spectrumWith(2048, {{511, -6}, {1022, -46}}); // 1022 + 3 > 1024
    EXPECT_EQ(DistortionNoise(&beyond, ana, nullptr).dB, kEvalNoValue_dB);
    ana.Hx = 0x1;
    EXPECT_NEAR(DistortionNoise(&beyond, ana, nullptr).dB, -40.0, 0.01) << "it is noise then";
}

TEST(AnaEvalEdges, ImReferenceThreshold) {
    cAnaPara ana = settingsFor(4096);
    const double step = 48000.0 / 4096;
    // Reference one bin of amplitude 0.02, sidebands 40 dB down at +-1 and +-2 times 20 bins.
    const Tsamplemem s = spectrumWith(
        4096,
        {{600, dB(0.02)}, {580, dB(2e-4)}, {620, dB(2e-4)}, {560, dB(2e-4)}, {640, dB(2e-4)}});
    ana.fFundlow = 0.019f;
    EXPECT_NEAR(IMDistortion(&s, ana, 20 * step, 600 * step), -40.0 + 20 * std::log10(2.0), 1e-9);
    ana.fFundlow = 0.02001f;
    EXPECT_EQ(IMDistortion(&s, ana, 20 * step, 600 * step), kEvalNoValue_dB);
}

// ---- weighting filters ----------------------------------------------------------------------

struct CorriMessages : ::testing::Test {
    std::vector<std::string> seen;
    QTemporaryDir dir;
    // What the weighting loads are given: records every message.
    Tcorri::MessageSink report = [this](const std::string&, const std::string& t) { seen.push_back(t); };
    QString write(const char* name, const QByteArray& bytes) {
        const QString p = dir.filePath(name);
        QFile f(p);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return p;
    }
};

TEST_F(CorriMessages, FilterNamesAndCurves) {
    const QStringList names = WeightingFilterNames();
    ASSERT_EQ(names.size(), 16);
    EXPECT_EQ(names.front(), "none");
    EXPECT_EQ(names[1], "A Weighting");
    EXPECT_EQ(names[10], "IEC Tuner IEC 315");
    EXPECT_EQ(names.back(), "USER");
    cAnaPara ana;
    ana.filter = "none";
    EXPECT_EQ(MakeWeighting(ana, ';', report), nullptr);
    ana.filter = "A Weighting";
    auto a = MakeWeighting(ana, ';', report);
    ASSERT_TRUE(a && a->getaktiv());
    EXPECT_DOUBLE_EQ(a->corri(-20, 1000, 0), -20.0) << "0 dB at 1 kHz";
    EXPECT_DOUBLE_EQ(a->corri(-20, 10, 0), -90.0) << "the gain is added";
    EXPECT_DOUBLE_EQ(a->corri(-20, 1150, 0), -19.75) << "linear between 1000: 0 and 1300: 0.5";
    ana.filter = "Z Weighting";
    auto u = MakeWeighting(ana, ';', report);
    ASSERT_TRUE(u);
    EXPECT_FALSE(u->getaktiv());
    EXPECT_EQ(u->getPaare(), 3);
    EXPECT_TRUE(seen.empty());
}

// A USER file that cannot be used leaves the values unweighted, with the curve's warning.
TEST_F(CorriMessages, UnusableUserFileLeavesValuesUnweighted) {
    cAnaPara ana = settingsFor(4096);
    const Tsamplemem s = spectrumWith(4096, {{100, -6}, {300, -40}, {1200, -50}});
    const double plain = DistortionNoise(&s, ana, nullptr).dB;
    ana.filter = "USER";
    const std::vector<std::pair<const char*, QByteArray>> bad = {
        {"garbage.cor", QByteArray::fromHex("fffe0047006100720000badc0d0a")},
        {"truncated.cor", "10;-20\n1000;0\n20000;"},
        {"letters.cor", "10;-20\nten;zero\n"},
        {"huge.cor", "10;-20\n" + QByteArray(200000, '7') + "\n"},
    };
    for (const auto& [name, bytes] : bad) {
        SCOPED_TRACE(name);
        seen.clear();
        ana.UserFname = write(name, bytes);
        const auto w = MakeWeighting(ana, ';', report);
        ASSERT_TRUE(w);
        EXPECT_FALSE(w->getaktiv());
        ASSERT_EQ(seen.size(), 1u);
        EXPECT_NE(seen[0].find(name), std::string::npos) << seen[0];
        EXPECT_DOUBLE_EQ(DistortionNoise(&s, ana, w.get()).dB, plain);
    }
    for (const QString& name : {dir.path() /* a folder */, QString()}) {
        ana.UserFname = name;
        const auto w = MakeWeighting(ana, ';', report);
        ASSERT_TRUE(w);
        EXPECT_FALSE(w->getaktiv());
        EXPECT_DOUBLE_EQ(DistortionNoise(&s, ana, w.get()).dB, plain);
    }
}

// A usable USER file is a weighting like the tables: its gain is added.
TEST_F(CorriMessages, UserFileGainIsAdded) {
    cAnaPara ana = settingsFor(4096);
    ana.filter = "USER";
    ana.UserFname = write("tilt.cor", "10;-20\n24000;-20\n");
    const auto w = MakeWeighting(ana, ';', report);
    ASSERT_TRUE(w && w->getaktiv());
    const Tsamplemem s = spectrumWith(4096, {{100, -6}});
    cFFTdat fft;
    fft.SamplesFFT = 4096;
    EXPECT_NEAR(BandLevel(&s, ana, fft, false, 0, w.get(), dBMode_dbFS) -
                    BandLevel(&s, ana, fft, false, 0, nullptr, dBMode_dbFS),
                -20.0, 1e-9);
    EXPECT_TRUE(seen.empty());
}

// ---- result text ------------------------------------------------------------------------------

// A 1500 Hz fundamental at bin 128 of a 4096-point spectrum with H2 at -40 dB and a noise bin
// at -60 dB, left; the right channel holds only a tone in bin 1 (no fundamental).
struct ResultText : ::testing::Test {
    Tsamplemem left = spectrumWith(4096, {{128, -6}, {256, -46}, {700, -66}});
    Tsamplemem right = spectrumWith(4096, {{1, -6}});
    cAnaPara ana = settingsFor(4096);
    cFFTdat fft;
    TResultTextInput in;
    void SetUp() override {
        fft.SamplesFFT = 4096;
        in.spectrum[0] = &left;
        in.spectrum[1] = &right;
        in.fft = &fft;
        in.unitText = " dBFS";
        ana.bResultTextLeft = true;
    }
    // The distortion of the left channel: harmonic and noise amplitudes (relative to the
    // fundamental) over the total.
    static QString dist(double h, double n) {
        const double v = dB((h + n) / std::sqrt(1 + 1e-4 + 1e-6));
        return QString::asprintf("%1.1f/%1.4f", v, std::pow(10, v / 20) * 100);
    }
};

TEST_F(ResultText, DistortionLines) {
    ana.Hx = 0x1FF;
    EXPECT_EQ(DistLine(in, ana),
              "Dist:\tleft Ch. " + dist(0.01, 0.001) + " [dB/%] THD+N  @ 1500Hz ");
    ana.Hx = 0x1FE;
    ana.bResultTextRight = true;
    EXPECT_EQ(DistLine(in, ana), "Dist:\tleft Ch. " + dist(0.01, 0) +
                                     " [dB/%] THD @ 1500Hz  | right Ch. THD no fundamental wave");
    ana.Hx = 0x6 | 0x1;
    ana.bResultTextDetails = false;
    EXPECT_EQ(DistLine(in, ana),
              "Dist:\tleft Ch. " + dist(0.01, 0.001) + " [dB/%]  | right Ch.  no fundamental wave");
    ana.bResultTextDetails = true;
    ana.bResultTextRight = false;
    EXPECT_EQ(DistLine(in, ana),
              "Dist:\tleft Ch. " + dist(0.01, 0.001) + " [dB/%] H2+H3+N  @ 1500Hz ");
    ana.Hx = 1;
    EXPECT_EQ(DistLine(in, ana),
              "Dist:\tleft Ch. " +
                  QString::asprintf("%1.1f", dB(0.001 / std::sqrt(1 + 1e-4 + 1e-6))) +
                  " dB  S/N @ 1500Hz ");
    ana.filter = "A Weighting";
    ana.bFilterFFT = true;
    EXPECT_TRUE(DistLine(in, ana).endsWith(" | Filter: \"A Weighting\" applied to diagram"));
    ana.Hx = 0x2;
    left = spectrumWith(4096, {{127, -20}, {128, -6}, {129, -20}});
    EXPECT_EQ(DistLine(in, ana), "Dist:\tleft Ch. -192/0.000 [dB/%] H2 @ 1500Hz  | Filter: "
                                 "\"A Weighting\" applied to diagram");
}

TEST_F(ResultText, LevelLines) {
    TLevelCalibration cal;
    cal.INPUT = 1000;
    fft.setdBMode(dbMode_dBV);
    ApplyLevelCalibration(fft, cal);
    in.unit = dbMode_dBV;
    cAnaPara probe = ana;
    const double v = BandLevel(&left, probe, fft, true, 0, nullptr, dbMode_dBV);
    EXPECT_EQ(LevelLine(in, ana),
              "Level:\tleft Ch. " + QString::asprintf("%1.2f/%.2f", v, amp(v) * 1000) + "[dBV/mV]");
    ana.filter = "USER";
    ana.UserFname = "/tmp/mic.cor";
    ana.bFilterFFT = true;
    in.unit = dBMode_dbFS;
    fft.setdBMode(dBMode_dbFS);
    ApplyLevelCalibration(fft, cal);
    const double f = BandLevel(&left, probe, fft, true, 0, nullptr, dBMode_dbFS);
    EXPECT_EQ(LevelLine(in, ana),
              "Level:\tleft Ch. " + QString::asprintf("%1.2f", f) +
                  " dBFS | Filter: \"USER\" [=/tmp/mic.cor] applied to value + diagram");
    // Sone: the right channel stays in dB SPL.
    ana.filter = "none";
    ana.bResultTextLeft = false;
    ana.bResultTextRight = true;
    in.unit = dbMode_Sone;
    in.unitText = " Sone";
    in.spectrum[1] = &left;
    EXPECT_TRUE(LevelLine(in, ana).endsWith("dBSPL")) << LevelLine(in, ana).toStdString();
    in.spectrum[1] = nullptr;
    EXPECT_EQ(LevelLine(in, ana), "Level:\tright Ch. -192dBSPL");
}

TEST_F(ResultText, OtherLinesAndOrder) {
    ana.bResultTextRight = true;
    EXPECT_EQ(IMDLine(in, ana),
              "IMD  :\tleft Ch. -192/0.000 [dB/%]  | right Ch. -192/0.000 [dB/%] |   Filter: none");
    ana.filter = "C Weighting";
    EXPECT_EQ(ModDistLine(in, ana),
              "Mod Dist:\tleft Ch. -192/0.000 [dB/%]  | right Ch. -192/0.000 [dB/%] |   "
              "Filter: C Weighting | Filter: \"C Weighting\" applied to value");
    const QString sn = QString::asprintf("%1.1f", -dB(0.001 / std::sqrt(1 + 1e-4 + 1e-6)));
    EXPECT_EQ(SignalNoiseLine(in, ana), "S/N:\tleft Ch. " + sn +
                                            " dB   | right Ch.  no fundamental wave"
                                            " | Filter: \"C Weighting\" applied to value");
    ana.bResultTextDetails = false;
    EXPECT_EQ(SignalNoiseLine(in, ana),
              "S/N:\tleft Ch. " + sn + " dB  | right Ch.  no fundamental wave");
    EXPECT_EQ(WowFlutterLine(in, ana),
              "W && F:\tleft Ch.  no fundamental wave | right Ch.  no fundamental wave");
    ana.bLevelmess = ana.bTHDmess = ana.bIMmess = ana.bModDistMess = ana.bSignal2Noisemess =
        ana.bWuFmess = true;
    const QStringList lines = BuildResultText(in, ana);
    ASSERT_EQ(lines.size(), 6);
    const char* heads[] = {"Level:\t", "Dist:\t", "IMD  :\t", "Mod Dist:\t", "S/N:\t", "W && F:\t"};
    for (int i = 0; i < 6; ++i)
        EXPECT_TRUE(lines[i].startsWith(heads[i])) << lines[i].toStdString();
    ana.bIMmess = ana.bWuFmess = false;
    EXPECT_EQ(BuildResultText(in, ana).size(), 4);
}

// Wow and flutter of a steady 3150 Hz carrier: a reading near 0 and the details.
TEST_F(ResultText, WowFlutterOfASteadyCarrier) {
    const int n = 65536;
    Signal x(static_cast<size_t>(n));
    for (int t = 0; t < n; ++t)
        x[size_t(t)] = 0.5 * std::sin(2 * kPi * 3150.0 * t / kRate);
    Tsamplemem spec = rawSpectrum(x);
    Tsamplemem time(n);
    std::copy(x.begin(), x.end(), time.smpoi());
    ana = settingsFor(n);
    ana.bResultTextLeft = true;
    ana.WuFmode = eWow;
    ana.WuFFilter = "JIS";
    ana.WuFeFilter = eJIS;
    ana.WuFBP = false;
    in.spectrum[0] = &spec;
    in.timeSignal[0] = &time;
    TResultValues values;
    const QString line = WowFlutterLine(in, ana, &values);
    const TWowFlutterResult& r = values.wowFlutter[0];
    EXPECT_EQ(line, "W && F:\tleft Ch. " + QString::asprintf("%1.4f", r.percent) +
                        "%   | Mode: Wow | Meas. Standard: JIS | Bandpass: Off | Drift: " +
                        QString::asprintf("%1.2f%%", r.drift));
    EXPECT_TRUE(r.measured);
    EXPECT_LT(r.percent, 0.01) << "a steady carrier has next to no wow";
    EXPECT_NEAR(r.drift, 0.0, 100.0 * kStep / 3150) << "drift within one bin";
}

// ---- the result text's shared bin powers --------------------------------------------------

// A raw dB spectrum of n/2 bins: noise between -110 and -70 dB, a tone at bin `tone`, bins
// without a value (0) and, when asked, non-finite ones.
Tsamplemem noisySpectrum(int32_t n, int tone, unsigned seed, bool nonFinite = false) {
    std::mt19937 gen(seed);
    std::uniform_real_distribution<double> noise(-110.0, -70.0);
    Tsamplemem s(n / 2);
    for (int32_t k = 0; k < n / 2; ++k)
        s.setsmAr(k, k % 37 == 5 ? 0.0 : noise(gen));
    s.setsmAr(tone, -6.0);
    if (nonFinite) {
        s.setsmAr(n / 8, std::numeric_limits<double>::quiet_NaN());
        s.setsmAr(n / 8 + 3, std::numeric_limits<double>::infinity());
        s.setsmAr(n / 8 + 9, -std::numeric_limits<double>::infinity());
    }
    return s;
}

// The distortion as the definition reads, bin by bin in extended precision.
double plainDistortion(const Tsamplemem& s, const cAnaPara& ana, double F, double* noise) {
    const double fs = ana.fsampFreq / ana.lsampFFTPoints;
    const int32_t bins = std::min(ana.lsampFFTPoints / 2, s.samples());
    long double T = 0, H = 0, N = 0;
    for (int32_t k = 0; k < bins; ++k) {
        const double v = s.getsmAr(k), f = k * fs;
        if (v == 0.0 || !std::isfinite(v)) continue;
        const long double p = powl(10.0L, v / 10.0L);
        T += p;
        const bool band = f >= ana.lfvon && f <= ana.lfbis;
        bool mark = std::abs(f - F) < 12 * fs, selected = false;
        for (int i = 2; i <= 9; ++i)
            if (ana.fsampFreq / 2 >= i * F + 3 * fs && std::abs(f - i * F) < 6 * fs) {
                mark = true;
                selected = selected || (ana.Hx & (1 << (i - 1)));
            }
        H += band && selected ? p : 0;
        N += band && !mark && (ana.Hx & 1) ? p : 0;
    }
    *noise = double(N / 2);
    if (!(H + N > 0)) return kEvalNoValue_dB;
    return double(20 * log10l((sqrtl(H) + sqrtl(N)) / sqrtl(T)));
}

// The sums skip the bins between the fundamental's and the harmonics' regions without testing
// them; whatever the regions' overlap, band edges and bins without values, they equal the
// plain per-bin definition.
TEST(AnaEvalShared, DistortionEqualsThePlainDefinition) {
    struct Case {
        int tone, lfvon, lfbis, Hx;
        bool nonFinite;
    };
    const Case cases[] = {
        {128, 100, 20000, 0x1FF, false}, {128, 100, 20000, 0x1FE, true},
        {5, 0, 24000, 0x1FF, false},     // every region overlaps the next
        {40, 700, 20000, 0x1 | 0x6, true}, // the band starts inside the H2 region
        {300, 100, 7000, 0x1, false},    // H2 at the band's upper edge
        {900, 100, 24000, 0x2, false},   {2000, 100, 24000, 0x1FF, true}, // near fs/2
    };
    for (const Case& c : cases) {
        cAnaPara ana = settingsFor(8192);
        ana.lfvon = c.lfvon, ana.lfbis = c.lfbis, ana.Hx = c.Hx;
        const Tsamplemem s = noisySpectrum(8192, c.tone, unsigned(c.tone), c.nonFinite);
        double noise = 0.0;
        const double want = plainDistortion(s, ana, c.tone * 48000.0 / 8192, &noise);
        const TDistortionResult r = DistortionNoise(&s, ana, nullptr);
        EXPECT_NEAR(r.dB, want, 1e-9) << "tone " << c.tone;
        EXPECT_NEAR(r.noise / 2, noise, noise * 1e-12) << "tone " << c.tone;
        EXPECT_EQ(r.fundamental, c.tone * 48000.0 / 8192);
    }
}

// Ties go to the first bin, non-finite bins are no candidates, and the scan reaches the last
// bin of a spectrum of odd length.
TEST(AnaEvalShared, FundamentalSearchOverEveryBin) {
    cAnaPara ana = settingsFor(4096);
    const double step = 48000.0 / 4096;
    Tsamplemem s = spectrumWith(4096, {{700, -6}, {900, -6}, {1000, -7}});
    s.setsmAr(300, std::numeric_limits<double>::infinity());
    s.setsmAr(301, std::numeric_limits<double>::quiet_NaN());
    EXPECT_NEAR(FindFundamental(&s, ana), 700 * step, 1e-9);
    Tsamplemem odd(2047); // 511 groups of four and three more bins
    odd.setsmAr(2046, -20.0);
    odd.setsmAr(100, -21.0);
    EXPECT_NEAR(FindFundamental(&odd, ana), 2046 * step, 1e-9);
    ana.GTfreq = 2046 * step; // only bins strictly above count
    EXPECT_EQ(FindFundamental(&odd, ana), 0.0);
    ana.GTfreq = 2045.5 * step;
    EXPECT_NEAR(FindFundamental(&odd, ana), 2046 * step, 1e-9);
}

// The level line reads the shared powers; it prints what BandLevel gives in every dB unit,
// channel, calibration and band, empty bands and bands beyond fs/2 included.
TEST(AnaEvalShared, LevelLineEqualsBandLevel) {
    const Tsamplemem s = noisySpectrum(4096, 128, 9);
    TLevelCalibration cal;
    cal.INPUT = 1000;
    const std::pair<int, int> bands[] = {{100, 20000}, {1500, 3000}, {3000, 1500}, {30000, 40000}, {0, 0}};
    for (edBModi unit : {dBMode_dbFS, dbMode_dBV, dbMode_dBu, dbMode_Sone})
        for (int ch : {0, 1})
            for (const auto& [lo, hi] : bands) {
                cFFTdat fft;
                fft.SamplesFFT = 4096;
                fft.setdBMode(unit);
                ApplyLevelCalibration(fft, cal);
                cAnaPara ana = settingsFor(4096), probe = ana;
                ana.lfvon = probe.lfvon = lo, ana.lfbis = probe.lfbis = hi;
                ana.bResultTextLeft = ch == 0, ana.bResultTextRight = ch == 1;
                ana.bLevelmess = true;
                TResultTextInput in;
                in.spectrum[ch] = &s;
                in.fft = &fft;
                in.unit = unit;
                const double v = BandLevel(&s, probe, fft, true, ch, nullptr, unit);
                const QString want = v == kEvalNoValue_dB ? QStringLiteral("-192")
                                                          : QString::asprintf("%1.2f", v);
                TResultValues values;
                const QString got = BuildResultText(in, ana, &values).value(0);
                EXPECT_TRUE(got.startsWith("Level:\t" + QString(ch ? "right" : "left") + " Ch. " + want))
                    << got.toStdString() << " unit " << unit << " band " << lo << ".." << hi;
                if (v != kEvalNoValue_dB) {
                    EXPECT_NEAR(values.level[ch], v, 1e-12 * std::fabs(v) + 1e-12);
                }
            }
}

// Powers known from the magnitudes give the lines that raising the dB values gives: the same
// text, results within rounding, and the raised values' reading of bins without a value (0 dB)
// and of missing bins (-192 dB).
TEST(AnaEvalShared, KnownPowersGiveTheSameLines) {
    const int32_t n = 4096;
    std::mt19937 gen(17);
    std::normal_distribution<double> noise(0.0, 1e-4);
    Tsamplemem mags[2] = {Tsamplemem(n), Tsamplemem(n)};
    for (int ch = 0; ch < 2; ++ch)
        for (int32_t k = 0; k < n; ++k) {
            double m = std::abs(noise(gen));
            if (k == 128 * (ch + 1)) m = 0.7;                  // the fundamental
            if (k == 256 * (ch + 1) || k == 384 * (ch + 1)) m = 2e-4; // harmonics
            mags[ch].setsmAr(k, m);
        }
    mags[0].setsmAr(600, 1.0);  // 0 dB: no value
    mags[0].setsmAr(601, 0.0);  // missing
    mags[1].setsmAr(700, -1.0); // missing
    mags[1].setsmAr(701, std::numeric_limits<double>::quiet_NaN());
    const Tcorri none;
    Tsamplemem dB[2];
    std::vector<double> powers[2];
    for (int ch = 0; ch < 2; ++ch) {
        dB[ch] = mags[ch];
        powers[ch].resize(size_t(n));
        const TLevelPowers room{powers[ch].data(), PowerOfMissingLevel()};
        ASSERT_TRUE(dB[ch].corriFastandLog(1.0, 0.0, nullptr, true, &none, &room));
        for (int32_t k = 0; k < n; ++k) {
            const double x = dB[ch].getsmAr(k);
            const double raised = x == 0.0 ? 0.0 : std::pow(10.0, x / 10.0);
            ASSERT_NEAR(powers[ch][size_t(k)], raised, raised * 1e-13) << ch << " " << k;
        }
    }
    EXPECT_EQ(powers[0][600], 0.0);
    EXPECT_GT(powers[0][601], 0.0);
    EXPECT_EQ(powers[1][701], powers[0][601]);

    cFFTdat fft;
    fft.SamplesFFT = 2 * n;
    fft.setdBMode(dbMode_dBV);
    cAnaPara ana = settingsFor(2 * n);
    ana.bResultTextLeft = ana.bResultTextRight = true;
    ana.bLevelmess = ana.bTHDmess = ana.bSignal2Noisemess = true;
    TResultTextInput in;
    in.spectrum[0] = &dB[0];
    in.spectrum[1] = &dB[1];
    in.fft = &fft;
    in.unit = dbMode_dBV;
    TResultValues raisedValues, knownValues;
    const QStringList raised = BuildResultText(in, ana, &raisedValues);
    in.powers[0] = powers[0].data();
    in.powers[1] = powers[1].data();
    const QStringList known = BuildResultText(in, ana, &knownValues);
    ASSERT_EQ(known.size(), 3);
    EXPECT_EQ(known, raised);
    for (int ch = 0; ch < 2; ++ch) {
        EXPECT_NEAR(knownValues.level[ch], raisedValues.level[ch], 1e-11);
        EXPECT_NEAR(knownValues.distortion[ch].dB, raisedValues.distortion[ch].dB, 1e-11);
        const double n = raisedValues.noise[ch].noise;
        EXPECT_NEAR(knownValues.noise[ch].noise, n, n * 1e-12);
    }
}

// ---- the printed fundamental -----------------------------------------------------------------

// A tone swept across a bin at 48 kHz / 16384 points (bin 2.93 Hz) in every window: the
// fundamental read between bins is within 0.002 Hz of the tone for the window it was made with
// (a parabola on log magnitudes, taken for an unknown window, is shown beside it), while the
// evaluation regions stay on the loudest bin. A 1 kHz tone prints "@ 1000Hz". The tone's
// mirror image below 0 Hz, which the window's kernel leaves out, costs "norm" 0.0011 Hz and
// "Hamming" 0.0003 Hz; the other windows are exact to 1e-6 Hz.
TEST(AnaEvalFundamental, InterpolatedBetweenBinsInEveryWindow) {
    constexpr int32_t n = 16384;
    const double step = double(kRate) / n;
    cAnaPara ana = settingsFor(n);
    ana.bTHDmess = ana.bResultTextLeft = true;
    ana.Hx = 0x1FE;
    std::printf("[table] window            max |error| Hz: window-exact  log-parabola   printed at 1000 Hz\n");
    for (int kind = 0; kind < kWindowKinds; ++kind) {
        TEvalSettings exact = EvalSettingsOf(ana), parabola = exact;
        exact.window = kind;
        double worst = 0.0, worstParabola = 0.0;
        for (int i = -10; i <= 10; ++i) {
            const double f = (std::round(1000.0 / step) + i / 20.0) * step;
            Signal x(n);
            for (int32_t t = 0; t < n; ++t)
                x[size_t(t)] = 0.5 * std::sin(2.0 * kPi * f * t / kRate);
            const Tsamplemem s = rawSpectrum(x, kind);
            const TDistortionResult r = DistortionNoise(&s, exact, nullptr);
            // The loudest bin (either one at half a bin), as before.
            EXPECT_EQ(r.fundamental, std::round(r.fundamental / step) * step) << WindowName(kind) << " " << f;
            EXPECT_LE(std::abs(r.fundamental - f), 0.5 * step + 1e-9) << WindowName(kind) << " " << f;
            worst = std::max(worst, std::abs(r.peakFrequency - f));
            worstParabola = std::max(worstParabola, std::abs(DistortionNoise(&s, parabola, nullptr).peakFrequency - f));
        }
        Signal x(n);
        for (int32_t t = 0; t < n; ++t)
            x[size_t(t)] = 0.5 * std::sin(2.0 * kPi * 1000.0 * t / kRate);
        const Tsamplemem s = rawSpectrum(x, kind);
        cFFTdat fft;
        fft.SamplesFFT = n;
        fft.FFTwin = kind;
        TResultTextInput in;
        in.spectrum[0] = &s;
        in.fft = &fft;
        const QString line = DistLine(in, ana);
        std::printf("[table] %-16s %30.7f %14.5f   %s\n", WindowName(kind), worst, worstParabola,
                    qPrintable(line.section('@', 1).trimmed()));
        EXPECT_LT(worst, 0.002) << WindowName(kind);
        EXPECT_TRUE(line.endsWith("THD @ 1000Hz ")) << line.toStdString();
    }
}

} // namespace
