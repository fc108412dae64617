// Wow and flutter closed loop: a 3150 Hz (3000 Hz) tone played by the virtual bench through its
// tape deck model and recorded back; the reading against the deck's truth weighted by the
// standard's filters, whose magnitude comes from the designed sections, not from running them.
#include "dsp/FFtuli.h"
#include "dsp/IIR_obj_D.h"
#include "dsp/evalWowFlutter.h"

#include <SimTruthTape.h>
#include <TSimDevice.h>
#include <TSimModel.h>
#include "../support/simRecording.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <numbers>
#include <thread>
#include <vector>

namespace {

constexpr int kRate = 48000;
constexpr int kBlock = 4800;
constexpr int kFFT = 65536; // 0.73 Hz bins: the drift of a 1 % speed error within 1.2 %

struct Deck {
    double drift = 0, wowRate = 0.5, wow = 0, flutterRate = 10, flutter = 0; // %, Hz
};

// `seconds` of the tape deck playing a sine of f Hz at -6 dBFS, recorded in float; the first
// 0.4 s are dropped (the deck's lag starts empty: 0.27 s of silence with a fast drift).
std::vector<double> playTape(const Deck& d, double f, double seconds, int rate = kRate) {
    TSimSettings s;
    s.sampleRate = rate;
    s.pacing = TSimPacing::fast;
    s.blockFrames = kBlock;
    s.bits = 32;
    s.model.kind = "tape";
    auto set = [&](const char* key, double v) { s.model.params[simKey("Tape", key)] = v; };
    set("Drift_pct", d.drift);
    set("WowRate_Hz", d.wowRate);
    set("WowDepth_pct", d.wow);
    set("FlutterRate_Hz", d.flutterRate);
    set("FlutterDepth_pct", d.flutter);
    TSimDevice dev;
    dev.init(s, "");
    TwaveGO* go = dev.outRecord();
    go->GenFreqL = go->GenFreqR = f;
    go->voldB_L = go->voldB_R = -6.0;
    go->genOnL = go->genOnR = 1;
    go->Conti = 1;
    EXPECT_EQ(dev.startOut(true) & SD_ST_OUT_RUN, SD_ST_OUT_RUN);
    dev.startIn(true);
    const int skip = 4, blocks = int(std::lround(seconds * rate / kBlock)) + skip;
    const std::vector<double> left = simRecordBlocks(dev, blocks, kBlock)[0];
    const std::vector<double> all(left.begin() + skip * kBlock, left.end());
    dev.deinit();
    return all;
}

// Raw dB spectrum (20 log10 of the bin magnitudes, Hann) of the first kFFT samples.
Tsamplemem spectrumOf(const std::vector<double>& x) {
    std::vector<double> buf(x.begin(), x.begin() + kFFT);
    FFtuliContext transform;
    transform.prepareWindow(2, kFFT);
    transform.windowedSpectrum(buf.data(), nullptr, kFFT, 0);
    Tsamplemem s(kFFT / 2);
    for (int k = 0; k < kFFT / 2; ++k)
        s.setsmAr(k, buf[size_t(k)] > 0 ? 20 * std::log10(buf[size_t(k)]) : 0.0);
    return s;
}

// The evaluation settings and the wow and flutter settings of one reading.
struct WufSetup {
    TEvalSettings eval;
    TWowFlutterSettings wuf;
};

WufSetup settings(eWuFMess standard, eWuFModi mode, bool bandPass, eWuFfreq freq = e315khz,
               int rate = kRate) {
    WufSetup a;
    a.eval.fsampFreq = rate;
    a.eval.points = kFFT;
    a.wuf = {freq, standard, mode, bandPass};
    return a;
}

TIIRObj designed(int rate, TIIRTyp typ, TIIRChar ch, int order, double hz, double q = 1) {
    TIIRObj f;
    f.SetDesignSampleRate(rate);
    f.SetParam(typ, order, hz, 0.0, q, -3.1, 1.0, ch);
    return f;
}

// |H| at fmod of the chain after the demodulator: the 200 Hz low-pass, the 4 Hz weighting
// band-pass when on, the 10 Hz mode filter.
double chainGain(double fmod, eWuFModi mode, bool bandPass, int rate = kRate) {
    double g = designed(rate, iirTP, chBessel3dB, 12, 200).Hz(fmod, TSubject::Betrag);
    if (bandPass) g *= designed(rate, iirBP, chBessel3dB, 1, 4, 0.5).Hz(fmod, TSubject::Betrag);
    if (mode == eWow) g *= designed(rate, iirTP, chButterworth, 8, 10).Hz(fmod, TSubject::Betrag);
    if (mode == eFlutter) g *= designed(rate, iirHP, chButterworth, 8, 10).Hz(fmod, TSubject::Betrag);
    return g;
}

Tsamplemem toMem(const std::vector<double>& x) {
    Tsamplemem t(int32_t(x.size()));
    std::copy(x.begin(), x.end(), t.smpoi());
    return t;
}

// Plays the deck, evaluates with the settings, checks the dB result against the % reading.
TWowFlutterResult reading(const Deck& d, const WufSetup& a, double seconds = 4.5, double carrier = 3150) {
    const auto x = playTape(d, carrier, seconds, int(a.eval.fsampFreq));
    const Tsamplemem t = toMem(x), sp = spectrumOf(x);
    const TWowFlutterResult r = WowFlutter(&sp, &t, a.eval, a.wuf);
    EXPECT_NEAR(std::pow(10.0, r.dB / 20) * 100, r.percent, 1e-9 * r.percent) << "dB and % agree";
    EXPECT_TRUE(r.measured);
    return r;
}

// With WUF_VERBOSE set, prints a reading against its truth (for reports).
void note(const char* what, double got, double truth) {
    if (std::getenv("WUF_VERBOSE"))
        std::printf("%-28s %.5f %% vs %.5f %% (%+.2f %%)\n", what, got, truth,
                    (got / truth - 1) * 100);
}

// Largest drift error (%) that the bin spacing of the spectrum allows: half a bin.
double driftResolution(double f0) {
    return 0.5 * kRate / kFFT / f0 * 100;
}

} // namespace

// The standard DIN/IEC case: 0.1 % at 4 Hz, weighting band-pass on, wow and flutter together.
// Then wow (0.5 Hz) and flutter (10 Hz) each in their own mode, wow in the combined mode, and
// 10 Hz in wow mode: at the split each 10 Hz filter passes half the power.
TEST(WowFlutter, DinIecReadingEqualsTheWeightedDeviationOverRoot2) {
    struct Case {
        double rate;
        eWuFModi mode;
    };
    for (const Case c :
         {Case{4, eWuF}, Case{0.5, eWow}, Case{10, eFlutter}, Case{0.5, eWuF}, Case{10, eWow}}) {
        Deck d;
        d.wowRate = c.rate;
        d.wow = 0.1;
        const WufSetup a = settings(eDINIEC, c.mode, true);
        const double truth = 0.1 * chainGain(c.rate, c.mode, true) / std::numbers::sqrt2;
        const TWowFlutterResult r = reading(d, a);
        const double got = r.percent;
        SCOPED_TRACE(testing::Message() << c.rate << " Hz, mode " << int(c.mode) << ": " << got
                                        << " % vs " << truth << " %");
        EXPECT_NEAR(got, truth, 0.03 * got);
        char label[40];
        std::snprintf(label, sizeof label, "DIN %g Hz, mode %d", c.rate, int(c.mode));
        note(label, got, truth);
        // The drift is the strongest line of the spectrum; a slow wow of high modulation index
        // (0.5 Hz, 3.15 Hz deviation) spreads the carrier over its swing.
        EXPECT_NEAR(r.drift, 0.0, (c.rate < 1 ? 0.1 : 0.0) + driftResolution(3150));
        EXPECT_EQ(r.carrier, 3150.0);
    }
}

// Without the band-pass the whole demodulated swing counts; the reading does not depend on the
// sample rate (the demodulator's output scale does).
TEST(WowFlutter, BandPassOffAndOtherSampleRateReadThePlainDeviation) {
    Deck d;
    d.wowRate = 4;
    d.wow = 0.1;
    for (int rate : {48000, 44100}) {
        const WufSetup a = settings(eDINIEC, eWuF, false, e315khz, rate);
        const double truth = 0.1 * chainGain(4, eWuF, false, rate) / std::numbers::sqrt2;
        EXPECT_NEAR(truth, 0.1 / std::numbers::sqrt2, 1e-3 * truth)
            << "200 Hz low-pass flat at 4 Hz";
        const double got = reading(d, a).percent;
        EXPECT_NEAR(got, truth, 0.03 * got) << rate << " Hz";
        note(rate == kRate ? "DIN no BP, 48 kHz" : "DIN no BP, 44.1 kHz", got, truth);
    }
}

// A 1 % fast tape: the carrier plays 1 % high. The drift reads 1 % (to the bin spacing), and a
// wow read without band-pass is not inflated by the constant offset.
TEST(WowFlutter, DriftReadsTheSpeedErrorAndStaysOutOfTheReading) {
    Deck d;
    d.drift = 1.0;
    d.wowRate = 4;
    d.wow = 0.1;
    for (bool bandPass : {true, false}) {
        const WufSetup a = settings(eDINIEC, eWow, bandPass);
        const double truth = 0.1 * chainGain(4, eWow, bandPass) / std::numbers::sqrt2;
        const TWowFlutterResult r = reading(d, a);
        const double got = r.percent;
        SCOPED_TRACE(testing::Message()
                     << "band-pass " << bandPass << ": " << got << " % vs " << truth);
        EXPECT_NEAR(got, truth, 0.03 * got);
        EXPECT_NEAR(r.drift, 1.0, 0.03 * r.drift);
        note(bandPass ? "drift 1%, wow, BP" : "drift 1%, wow, no BP", got, truth);
        note("  drift", r.drift, 1.0);
    }
}

// NAB: average-rectified deviation, 2/pi of the peak; JIS: RMS, 1/sqrt 2 of the peak. On the
// 3000 Hz carrier they belong to, and once at 3150 Hz with the "any other" plain peak.
TEST(WowFlutter, NabAndJisDetectorsOfASineDeviation) {
    Deck d;
    d.wowRate = 4;
    d.wow = 0.2;
    const double peak = 0.2 * chainGain(4, eWuF, true);
    struct Case {
        eWuFMess standard;
        double factor;
    };
    for (const Case c : {Case{eNab, 2 / std::numbers::pi}, Case{eJIS, 1 / std::numbers::sqrt2}}) {
        const WufSetup a = settings(c.standard, eWuF, true, e3khz);
        const TWowFlutterResult r = reading(d, a, 4.5, 3000);
        const double got = r.percent;
        SCOPED_TRACE(testing::Message() << "standard " << int(c.standard) << ": " << got);
        EXPECT_NEAR(got, c.factor * peak, 0.03 * got);
        note(c.standard == eNab ? "NAB 3000 Hz" : "JIS 3000 Hz", got, c.factor * peak);
        EXPECT_EQ(r.carrier, 3000.0);
        EXPECT_NEAR(r.drift, 0.0, driftResolution(3000));
    }
    WufSetup a = settings(eDINIEC, eWuF, true);
    a.wuf.standard = eWuFMess(3); // a standard without its own detector: the peak
    EXPECT_NEAR(reading(d, a).percent, peak, 0.03 * peak);
}

// No carrier: 0 with a drift of 100; the same for a missing or too short time signal.
TEST(WowFlutter, NoCarrierReadsZeroWithDrift100) {
    const std::vector<double> silence(kFFT + kRate, 0.0);
    const Tsamplemem t = toMem(silence), sp = spectrumOf(silence);
    const WufSetup a = settings(eDINIEC, eWuF, true);
    const TWowFlutterResult r = WowFlutter(&sp, &t, a.eval, a.wuf);
    EXPECT_EQ(r.dB, 0.0);
    EXPECT_EQ(r.drift, 100.0);
    EXPECT_EQ(r.percent, 0.0);
    EXPECT_EQ(r.carrier, 3150.0);
    EXPECT_FALSE(r.measured);

    const auto x = playTape(Deck{}, 3150, 1.5);
    const Tsamplemem tone = spectrumOf(x), shortSignal = toMem({x.begin(), x.begin() + kRate / 4});
    for (const Tsamplemem* signal : {static_cast<const Tsamplemem*>(nullptr), &shortSignal}) {
        const TWowFlutterResult b = WowFlutter(&tone, signal, a.eval, a.wuf);
        EXPECT_EQ(b.dB, 0.0);
        EXPECT_EQ(b.drift, 100.0);
    }
    const Tsamplemem full = toMem(x);
    const TWowFlutterResult c = WowFlutter(nullptr, &full, a.eval, a.wuf);
    EXPECT_EQ(c.dB, 0.0) << "no spectrum, no carrier";
    EXPECT_EQ(c.drift, 100.0);
}

// A steady tape: nothing but the residue of the demodulator, far below any real deck.
TEST(WowFlutter, SteadyTapeReadsNearZero) {
    const WufSetup a = settings(eDINIEC, eWuF, false);
    EXPECT_LT(reading(Deck{}, a).percent, 1e-4);
}

// An evaluation keeps nothing between calls: one at 44.1 kHz on another deck between two of the
// same recording leaves the second reading equal to the first, bit for bit.
TEST(WowFlutter, InterleavedEvaluationsReadAsEachAlone) {
    Deck d;
    d.wow = 0.1;
    d.wowRate = 4;
    const auto x = playTape(d, 3150, 2.0);
    const Tsamplemem t = toMem(x), sp = spectrumOf(x);
    const WufSetup a = settings(eDINIEC, eWuF, true);
    const TWowFlutterResult first = WowFlutter(&sp, &t, a.eval, a.wuf);

    Deck other;
    other.flutter = 0.3;
    const auto y = playTape(other, 3000, 2.0, 44100);
    const Tsamplemem ty = toMem(y), spy = spectrumOf(y);
    const WufSetup b = settings(eJIS, eFlutter, false, e3khz, 44100);
    EXPECT_TRUE(WowFlutter(&spy, &ty, b.eval, b.wuf).measured);

    const TWowFlutterResult again = WowFlutter(&sp, &t, a.eval, a.wuf);
    EXPECT_TRUE(first.measured);
    EXPECT_EQ(again.percent, first.percent);
    EXPECT_EQ(again.drift, first.drift);
}
