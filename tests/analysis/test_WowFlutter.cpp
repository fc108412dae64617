// Wow and flutter closed loop: a 3150 Hz (3000 Hz) tone played by the virtual bench through its
// tape deck model and recorded back; the reading against the deck's truth weighted by the
// standard's filters, whose magnitude comes from the designed sections, not from running them.
#include "dsp/FFtuli.h"
#include "dsp/IIR_obj_D.h"
#include "analysis/WowFlutter.h"

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

cAnaPara settings(eWuFMess standard, eWuFModi mode, bool bandPass, eWuFfreq freq = e315khz,
                  int rate = kRate) {
    cAnaPara a;
    a.fsampFreq = rate;
    a.lsampFFTPoints = kFFT;
    a.WuFfreq = freq;
    a.WuFeFilter = standard;
    a.WuFmode = mode;
    a.WuFBP = bandPass;
    a.bFundAuto = true;
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
double reading(const Deck& d, cAnaPara& a, double seconds = 4.5, double carrier = 3150) {
    const auto x = playTape(d, carrier, seconds, int(a.fsampFreq));
    const Tsamplemem t = toMem(x), sp = spectrumOf(x);
    const double db = WowFlutter(&sp, &t, a);
    EXPECT_NEAR(std::pow(10.0, db / 20) * 100, a.fresultWuF, 1e-9 * a.fresultWuF)
        << "dB and % agree";
    return a.fresultWuF;
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
        cAnaPara a = settings(eDINIEC, c.mode, true);
        const double truth = 0.1 * chainGain(c.rate, c.mode, true) / std::numbers::sqrt2;
        const double got = reading(d, a);
        SCOPED_TRACE(testing::Message() << c.rate << " Hz, mode " << int(c.mode) << ": " << got
                                        << " % vs " << truth << " %");
        EXPECT_NEAR(got, truth, 0.03 * got);
        char label[40];
        std::snprintf(label, sizeof label, "DIN %g Hz, mode %d", c.rate, int(c.mode));
        note(label, got, truth);
        // The drift is the strongest line of the spectrum; a slow wow of high modulation index
        // (0.5 Hz, 3.15 Hz deviation) spreads the carrier over its swing.
        EXPECT_NEAR(a.fresultWufDrift, 0.0, (c.rate < 1 ? 0.1 : 0.0) + driftResolution(3150));
        EXPECT_FLOAT_EQ(a.fresultFundamental, 3150.f);
    }
}

// Without the band-pass the whole demodulated swing counts; the reading does not depend on the
// sample rate (the demodulator's output scale does).
TEST(WowFlutter, BandPassOffAndOtherSampleRateReadThePlainDeviation) {
    Deck d;
    d.wowRate = 4;
    d.wow = 0.1;
    for (int rate : {48000, 44100}) {
        cAnaPara a = settings(eDINIEC, eWuF, false, e315khz, rate);
        const double truth = 0.1 * chainGain(4, eWuF, false, rate) / std::numbers::sqrt2;
        EXPECT_NEAR(truth, 0.1 / std::numbers::sqrt2, 1e-3 * truth)
            << "200 Hz low-pass flat at 4 Hz";
        const double got = reading(d, a);
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
        cAnaPara a = settings(eDINIEC, eWow, bandPass);
        const double truth = 0.1 * chainGain(4, eWow, bandPass) / std::numbers::sqrt2;
        const double got = reading(d, a);
        SCOPED_TRACE(testing::Message()
                     << "band-pass " << bandPass << ": " << got << " % vs " << truth);
        EXPECT_NEAR(got, truth, 0.03 * got);
        EXPECT_NEAR(a.fresultWufDrift, 1.0, 0.03 * a.fresultWufDrift);
        note(bandPass ? "drift 1%, wow, BP" : "drift 1%, wow, no BP", got, truth);
        note("  drift", a.fresultWufDrift, 1.0);
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
        cAnaPara a = settings(c.standard, eWuF, true, e3khz);
        const double got = reading(d, a, 4.5, 3000);
        SCOPED_TRACE(testing::Message() << "standard " << int(c.standard) << ": " << got);
        EXPECT_NEAR(got, c.factor * peak, 0.03 * got);
        note(c.standard == eNab ? "NAB 3000 Hz" : "JIS 3000 Hz", got, c.factor * peak);
        EXPECT_FLOAT_EQ(a.fresultFundamental, 3000.f);
        EXPECT_NEAR(a.fresultWufDrift, 0.0, driftResolution(3000));
    }
    cAnaPara a = settings(eDINIEC, eWuF, true);
    a.WuFeFilter = eWuFMess(3); // a standard without its own detector: the peak
    EXPECT_NEAR(reading(d, a), peak, 0.03 * peak);
}

// No carrier: 0 with a drift of 100; the same for a missing or too short time signal.
TEST(WowFlutter, NoCarrierReadsZeroWithDrift100) {
    const std::vector<double> silence(kFFT + kRate, 0.0);
    const Tsamplemem t = toMem(silence), sp = spectrumOf(silence);
    cAnaPara a = settings(eDINIEC, eWuF, true);
    a.fresultWuF = 5;
    EXPECT_EQ(WowFlutter(&sp, &t, a), 0.0);
    EXPECT_EQ(a.fresultWufDrift, 100.0);
    EXPECT_EQ(a.fresultWuF, 0.0);
    EXPECT_FLOAT_EQ(a.fresultFundamental, 3150.f);

    const auto x = playTape(Deck{}, 3150, 1.5);
    const Tsamplemem tone = spectrumOf(x), shortSignal = toMem({x.begin(), x.begin() + kRate / 4});
    for (const Tsamplemem* signal : {static_cast<const Tsamplemem*>(nullptr), &shortSignal}) {
        cAnaPara b = settings(eDINIEC, eWuF, true);
        EXPECT_EQ(WowFlutter(&tone, signal, b), 0.0);
        EXPECT_EQ(b.fresultWufDrift, 100.0);
    }
    cAnaPara c = settings(eDINIEC, eWuF, true);
    const Tsamplemem full = toMem(x);
    EXPECT_EQ(WowFlutter(nullptr, &full, c), 0.0) << "no spectrum, no carrier";
    EXPECT_EQ(c.fresultWufDrift, 100.0);
}

// A steady tape: nothing but the residue of the demodulator, far below any real deck.
TEST(WowFlutter, SteadyTapeReadsNearZero) {
    cAnaPara a = settings(eDINIEC, eWuF, false);
    EXPECT_LT(reading(Deck{}, a), 1e-4);
}
