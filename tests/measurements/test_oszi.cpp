// The oscilloscope: its settings section against bad text, the frame's edge cases, and the
// trigger and the calibrated read-out measured on the virtual bench.
#include "analysis/AnalysePara.h"
#include "base/TMemIniFile.h"
#include "base/vlMessages.h"
#include "core/soundDLLImpDyn.h"
#include "measurements/TOsziScope.h"
#include "measurements/tOSZImeas.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

QString writeFile(const QTemporaryDir& dir, const char* name, const QByteArray& text) {
    QFile f(dir.filePath(name));
    f.open(QIODevice::WriteOnly);
    f.write(text);
    return f.fileName();
}

std::vector<double> sine(int n, double amp, double cyclesPerSample, double phase = 0.0) {
    std::vector<double> x(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        x[size_t(i)] = amp * std::sin(2 * M_PI * cyclesPerSample * i + phase);
    return x;
}

} // namespace

// Defaults are written in their order; stored values come back; out-of-range, non-numeric,
// NaN, huge and non-UTF-8 values give clamped or default settings, never a crash.
TEST(OsziSettings, sectionOrderRoundTripAndBadText) {
    QTemporaryDir dir;
    TMemIniFile ini(dir.filePath("a.ini"));
    TOsziData d;
    TosziScreen s;
    SaveOsziData(ini, "oszi", d, s);
    const QStringList order = {
        "PegCha1Idx", "PegCha2Idx",     "Cha1On",          "Cha2On",           "Cha1gnd",
        "Cha2gnd",    "Cha1inv",        "Cha2inv",         "Cha1pos",          "Cha2pos",
        "Add12",      "VperDia",        "triggAuto",       "triggSlopeP",      "triggCha1",
        "triggLev",   "timeBidx",       "xMag10",          "XposBegRel",       "SinCr",
        "linewidth",  "triggdelayTime", "triggdelayStore", "triggdelaySingle", "autoSamplerate",
        "ColCur",     "ColText",        "ColDia",          "ColLine1",         "ColLine2",
        "ColGrid",    "ColInfoText"};
    EXPECT_EQ(ini.ReadSection("oszi"), order);
    EXPECT_EQ(ini.ReadInteger("oszi", "ColDia", 0), 0xFFFF00);

    d.PegCha2Idx = 3;
    d.Cha2inv = true;
    d.triggLev = 0.3;
    d.Triggdelaytime_s = 0.002;
    s.ColLine2 = 0x123456;
    SaveOsziData(ini, "oszi", d, s);
    TOsziData back;
    TosziScreen sb;
    LoadOsziData(ini, "oszi", back, sb);
    EXPECT_EQ(back.PegCha2Idx, 3);
    EXPECT_TRUE(back.Cha2inv);
    EXPECT_DOUBLE_EQ(back.triggLev, 0.3);
    EXPECT_DOUBLE_EQ(back.Triggdelaytime_s, 0.002);
    EXPECT_EQ(sb.ColLine2, 0x123456u);

    const QString bad =
        writeFile(dir, "bad.ini",
                  "[oszi]\nPegCha1Idx=99\nPegCha2Idx=-4\ntimeBidx=abc\nCha1pos=nan\nCha2pos=7\n"
                  "linewidth=500\ntriggLev=-5\ntriggdelayTime=1e300\nXposBegRel=" +
                      QByteArray(100000, '9') + "\nColDia=0x\n[oszi");
    TOsziData b;
    TosziScreen sbad;
    LoadOsziData(TMemIniFile(bad), "oszi", b, sbad);
    EXPECT_EQ(b.PegCha1Idx, 13);
    EXPECT_EQ(b.PegCha2Idx, 0);
    EXPECT_EQ(b.timeBidx, 8) << "not a number: the default";
    EXPECT_DOUBLE_EQ(b.Cha1pos, 0.25);
    EXPECT_DOUBLE_EQ(b.Cha2pos, 1.0);
    EXPECT_EQ(b.LineWidth, 20);
    EXPECT_DOUBLE_EQ(b.triggLev, 0.0);
    EXPECT_LE(b.Triggdelaytime_s, 1.0);
    EXPECT_GE(b.XposBegRel, 0.0);
    EXPECT_LE(b.XposBegRel, 1.0);
    EXPECT_EQ(sbad.ColDia, 0xFFFF00u);

    const QString notText =
        writeFile(dir, "u.ini", "[oszi]\nPegCha1Idx=3\nColDia=\xff\xfe\nCha1On=\x80\n");
    TOsziData u;
    LoadOsziData(TMemIniFile(notText), "oszi", u, sbad);
    EXPECT_EQ(u.PegCha1Idx, 11) << "not UTF-8: the defaults";

    const QString truncated = writeFile(dir, "t.ini", "[oszi]\nPegCha1Idx=");
    TOsziData t;
    TosziScreen st;
    LoadOsziData(TMemIniFile(truncated), "oszi", t, st);
    EXPECT_EQ(t.PegCha1Idx, 11);
}

// The Part's sizes: 48 kHz at 5 ms/div holds 2402 points on the screen and 6000 in a block;
// X-Y shows 512 points from the block start, untriggered, of a 10000-sample block.
TEST(OsziFrame, blockAndScreenSizesAndXY) {
    TOsziScope s;
    s.sampleFreq_Hz = 48000;
    s.settimeIdx(8);
    EXPECT_EQ(s.getSampleCount(), 6000);
    EXPECT_EQ(s.SDdp, 6000);
    EXPECT_EQ(s.pointsOnScreen(6000), 2402);
    EXPECT_EQ(s.pointsOnScreen(1000), 1000) << "never more than the block";
    s.settimeIdx(-3);
    EXPECT_TRUE(s.xyMode());
    EXPECT_EQ(s.getSampleCount(), 10000);
    std::vector<double> x = sine(10000, 0.5, 0.01), y = sine(10000, 0.5, 0.015);
    s.d.triggAuto = false; // X-Y never waits for a trigger
    ASSERT_TRUE(s.doTheOszi(x.data(), y.data(), 10000));
    EXPECT_EQ(s.frame().y1.size(), 512u);
    EXPECT_EQ(s.frame().start, 0);
    EXPECT_FALSE(s.frame().triggered);
    s.settimeIdx(99);
    EXPECT_EQ(s.d.timeBidx, 13);
}

// The automatic rate: the highest at which input runs and the screen needs fewer than 1000
// points, else the lowest that runs; asked once per timebase.
TEST(OsziFrame, automaticSampleRateIsChosenOncePerTimebase) {
    TOsziScope s;
    int asked = 0;
    const auto everywhere = [&](int32_t) { return ++asked, true; };
    s.settimeIdx(8); // 5 ms/div: 10 * 0.005 * 11025 + 2 = 553 points, 22050 would need 1104
    EXPECT_EQ(s.searchOptSF(everywhere), 11025);
    const int first = asked;
    EXPECT_EQ(s.searchOptSF(everywhere), 11025);
    EXPECT_EQ(asked, first) << "cached";
    s.settimeIdx(13); // 200 ms/div: no rate fits the screen
    EXPECT_EQ(s.searchOptSF([](int32_t r) { return r == 44100 || r == 48000; }), 44100);
    s.settimeIdx(1);
    EXPECT_EQ(s.searchOptSF([](int32_t) { return false; }), 0) << "input never runs";
}

// Without a crossing auto draws from the search start and normal keeps the last picture; a
// delay longer than the trigger index starts at sample 0; single shot takes one capture and
// waits until it is armed again.
TEST(OsziFrame, noCrossingDelayAndSingleShot) {
    TOsziScope s;
    s.sampleFreq_Hz = 48000;
    s.settimeIdx(8);
    s.setEichmVss(TOsziScope::eichFor(1000, 0));
    s.d.PegCha1Idx = 9; // 100 mV/div
    s.d.triggLev = 0.3; // 0.4 screen = 320 mV above the zero line
    const std::vector<double> small = sine(6000, 0.1, 1.0 / 48), big = sine(6000, 0.5, 1.0 / 48);
    s.StartOszi(true);
    ASSERT_TRUE(s.doTheOszi(big.data(), big.data(), 6000));
    EXPECT_TRUE(s.frame().triggered);
    const int64_t shown = s.frame().number;
    const double first = s.frame().y1[10];

    ASSERT_TRUE(s.doTheOszi(small.data(), small.data(), 6000)) << "auto draws";
    EXPECT_FALSE(s.TriggerFound);
    EXPECT_EQ(s.frame().start, 0) << "from the search start";
    s.d.triggAuto = false;
    EXPECT_FALSE(s.doTheOszi(small.data(), small.data(), 6000));
    EXPECT_EQ(s.frame().number, shown + 1) << "normal keeps the last picture";

    s.d.triggAuto = true;
    s.d.Triggdelaytime_s = 1.0; // far more than the trigger index
    ASSERT_TRUE(s.doTheOszi(big.data(), big.data(), 6000));
    EXPECT_EQ(s.frame().start, 0);
    s.d.Triggdelaytime_s = 0;

    TOsziData single = s.d;
    single.TriggSingle = true;
    s.applySettings(single);
    ASSERT_TRUE(s.doTheOszi(big.data(), big.data(), 6000));
    const int64_t captured = s.frame().number;
    EXPECT_FALSE(s.doTheOszi(big.data(), big.data(), 6000)) << "frozen after one capture";
    EXPECT_EQ(s.frame().number, captured);
    EXPECT_DOUBLE_EQ(s.frame().y1[10], first) << "the capture stays";
    s.StartOszi(true); // re-armed
    EXPECT_TRUE(s.doTheOszi(big.data(), big.data(), 6000));

    // An inverted source triggers where its drawn trace rises through the marker.
    single.TriggSingle = false;
    single.Cha1inv = true;
    single.Triggdelaytime_s = 0.0001;
    s.applySettings(single);
    ASSERT_TRUE(s.doTheOszi(big.data(), big.data(), 6000));
    const size_t k = size_t(s.frame().delaySamples);
    EXPECT_TRUE(s.frame().triggered);
    EXPECT_GE(s.frame().y1[k], 0.4);
    EXPECT_LT(s.frame().y1[k - 1], 0.4);
}

// ---- the virtual bench ------------------------------------------------------------------------

class OsziBench : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "test_oszi";
        static char* argv[] = {name, nullptr};
        if (!QCoreApplication::instance()) new QCoreApplication(argc, argv);
    }
    void SetUp() override {
        qputenv("VELMORA_HOME", home.path().toUtf8());
        writeFile(home, "SoundSim.ini",
                  "[Device]\nSampleRate=48000\nBits=32\nPacing=fast\nBlockFrames=4096\n[Model]"
                  "\nKind=wire\n");
        resetSoundDLL();
        soundDLL().setFolder(VELMORA_MODULE_DIR);
        QString module = "libSoundSim.so";
        const TsoundStartResult r = soundDLL().startup(false, TsoundDLLImpDyn::kStartFlags, module);
        ASSERT_EQ(r.action, eSoundStart::ssOK);
        ASSERT_TRUE(soundDLL().readAddresses(r.count, TsoundCallbacks{}));
        cal.INPUT = 1000.0;
        meas.setCalibration(&cal);
        meas.setSettingsFile(home.filePath("velmora30.ini"));
    }
    void TearDown() override {
        meas.DeInit(0);
        soundDLL().shutdown(';');
        resetSoundDLL();
    }
    // Left and right: sines of these frequencies at these levels (-192 = off).
    void play(double fL, double dBL, double fR, double dBR) {
        TwaveGO* go = soundDLL().waveGO();
        go->GenFreqL = fL;
        go->GenFreqR = fR;
        go->voldB_L = dBL;
        go->voldB_R = dBR;
        go->modeL = go->modeR = 0;
        go->genOnL = dBL > -192;
        go->genOnR = dBR > -192;
        soundDLL().SDStartSoundOut(1);
    }
    // Runs blocks until `frames` more frames were shown (false on timeout); the first frames
    // of a run, before the ring holds a whole block, are passed over.
    bool frames(int count, const std::function<void()>& each = {}) {
        QElapsedTimer t;
        t.start();
        const int64_t until = scope.frame().number + count;
        int64_t seen = scope.frame().number;
        while (scope.frame().number < until && t.elapsed() < 20000) {
            meas.Mexecute(0);
            if (scope.frame().number != seen && each) each();
            seen = scope.frame().number;
        }
        return scope.frame().number >= until;
    }
    void start() {
        meas.Init(&fft, &ana, nullptr, nullptr, nullptr);
        scope.d = TOsziData();
        scope.d.PegCha1Idx = scope.d.PegCha2Idx = 9; // 100 mV/div
        scope.d.triggLev = 0.3;
        ASSERT_EQ(meas.Mstart(0), mereOK);
        ASSERT_TRUE(meas.Measrun());
        ASSERT_TRUE(frames(4)); // the ring fills
    }

    QTemporaryDir home;
    cFFTdat fft;
    cAnaPara ana;
    TLevelCalibration cal;
    TOsziScope scope;
    tOSZImeas meas{&scope};
};

// A 1 kHz sine at -6 dBFS with INPUT 1000 mV: the read-out in volts and the trace's height
// against the truth, and twenty frames in a row with the crossing on the same sample.
TEST_F(OsziBench, readoutAndJitterFreeTrigger) {
    play(1000, -6, 1000, -6);
    start();
    scope.d.Triggdelaytime_s = 0.0001;                   // 4.8 -> 5 samples before the trigger
    const double levelScreen = 1 - 2 * scope.d.triggLev; // screen heights above the zero line
    int frameCount = 0, badCrossings = 0;
    std::vector<int> where;
    ASSERT_TRUE(frames(20, [&] {
        const TOsziFrame& f = scope.frame();
        ++frameCount;
        where.push_back(f.delaySamples);
        const size_t k = size_t(f.delaySamples);
        if (!f.triggered || !(f.y1[k] >= levelScreen && f.y1[k - 1] < levelScreen)) ++badCrossings;
    }));
    EXPECT_EQ(frameCount, 20);
    EXPECT_EQ(badCrossings, 0);
    EXPECT_EQ(std::count(where.begin(), where.end(), 5), 20) << "jitter 0";

    const double vrms = 1000.0 * std::pow(10.0, -6.0 / 20.0); // mV; the wire passes the sample
    const TOsziReadout& r = scope.readout(0);
    EXPECT_NEAR(r.vpp_mV, 2 * std::sqrt(2.0) * vrms, 0.005 * 1414);
    EXPECT_NEAR(r.vrms_mV, vrms, 0.005 * 500);
    EXPECT_NEAR(r.freq_Hz, 1000.0, 1.0);
    // The peak: Vpeak / (V/div) divisions of the eight up the screen.
    const double peak = *std::max_element(scope.frame().y1.begin(), scope.frame().y1.end());
    EXPECT_NEAR(peak, std::sqrt(2.0) * vrms / 1000.0 / 0.1 / kOsziDivY, 0.005 * peak);
    ASSERT_EQ(meas.resultText().size(), 2);
    EXPECT_TRUE(meas.resultText()[0].startsWith("Scope ch1: Vpp 14"))
        << meas.resultText()[0].toStdString();
}

// The falling slope finds the crossing going down; channel 2 triggers on its own signal while
// channel 1 is silent, and a silent source channel finds nothing.
TEST_F(OsziBench, fallingSlopeAndChannelTwo) {
    play(1000, -192, 750, -6);
    start();
    scope.d.triggCha1 = false;
    scope.d.triggSlopeP = false;
    scope.d.Triggdelaytime_s = 0.0001;
    const double level = 1 - 2 * scope.d.triggLev;
    int bad = 0;
    ASSERT_TRUE(frames(10, [&] {
        const TOsziFrame& f = scope.frame();
        const size_t k = size_t(f.delaySamples);
        if (!f.triggered || !(f.y2[k] <= level && f.y2[k - 1] > level)) ++bad;
    }));
    EXPECT_EQ(bad, 0);
    EXPECT_NEAR(scope.readout(1).freq_Hz, 750.0, 0.75);
    scope.d.triggCha1 = true;
    ASSERT_TRUE(frames(3));
    EXPECT_FALSE(scope.TriggerFound);
    EXPECT_EQ(meas.Mstart(0), mereOK);
    EXPECT_FALSE(meas.Measrun());
}

// The settings travel through the measurement's settings file: what the scope held at DeInit
// is what the next Init reads.
TEST_F(OsziBench, settingsSurviveTheMeasurement) {
    meas.Init(&fft, &ana, nullptr, nullptr, nullptr);
    scope.d.timeBidx = 3;
    scope.d.Cha1inv = true;
    meas.DeInit(0);
    TOsziScope other;
    tOSZImeas again(&other);
    again.setSettingsFile(home.filePath("velmora30.ini"));
    again.Init(&fft, &ana, nullptr, nullptr, nullptr);
    EXPECT_EQ(other.d.timeBidx, 3);
    EXPECT_TRUE(other.d.Cha1inv);
    EXPECT_EQ(other.SDdp, other.getSampleCount());
    again.DeInit(0);
}
