// The sweep on the virtual bench against the bench's closed-form truth: response, reference
// ratio and phase, distortion per step, the asynchronous detection, and the settings' rules.
#include "SimTruthAmplifier.h"
#include "analysis/AnalysePara.h"
#include "base/TMemIniFile.h"
#include "core/soundDLLImpDyn.h"
#include "dsp/IIR_obj_D.h"
#include "measurements/Twobdat.h"
#include "measurements/tSweepmeas.h"
#include "../support/measurementStandIns.h"
#include "../support/benchModule.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdio>
#include <dlfcn.h>

namespace {

constexpr double kRate = 48000.0;

void tableRow(const char* what, double f, double truth, double measured)
{
    std::printf("[table] %-10s %9.2f Hz  truth %10.4f  measured %10.4f  dev %+8.4f\n", what, f, truth, measured,
                measured - truth);
}

// The left output through a 2nd-order Butterworth high-pass at 1 kHz, the right one straight:
// the known filter of the reference tests (callback 6, on the bench's audio thread).
TIIRObj& leftFilter()
{
    static TIIRObj f;
    return f;
}
void filterLeftOnly(double* left, double*) { *left = leftFilter().NewCycle(*left); }

class Sweep : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        static int argc = 1;
        static char name[] = "test_tSweepmeas";
        static char* argv[] = {name, nullptr};
        if (!QCoreApplication::instance()) new QCoreApplication(argc, argv);
        dlopen("libQt6Widgets.so.6", RTLD_NOW | RTLD_NODELETE);
    }
    void TearDown() override
    {
        if (meas)
            meas->DeInit(0);
        meas.reset();
        pump.meas = nullptr;
        SetMainMsgReceiver(nullptr);
        SetMainClosing(true);
        soundDLL().shutdown(';');
        resetSoundDLL();
    }
    // The bench with a model ("[Model]" and its section), and the callbacks of the test.
    void bench(const QByteArray& model, int blockFrames = 1024, TsoundCallbacks cb = {},
               const QByteArray& pacing = "fast")
    {
        ASSERT_TRUE(startBenchModule(home, "[Device]\nSampleRate=48000\nBits=32\nPacing=" + pacing + "\nBlockFrames=" +
                                               QByteArray::number(blockFrames) + "\n" + model, cb));
        SetMainMsgReceiver(&pump);
        SetMainClosing(false);
    }
    // Writes the mode's settings and the sweep's "WOB" keys, then makes and initialises the sweep.
    void init(int mode, const QString& wobKeys)
    {
        fft.MeasuringModeF = mode;
        fft.fdbMode = dBMode_dbFS;
        TMemIniFile ini(home.filePath("velmora30.ini"));
        fft.SaveFFTtoIniL(ini, MeasuringModeTopic(mode));
        ana.SaveAnatoIniL(ini, MeasuringModeTopic(mode));
        for (const QString& kv : wobKeys.split(' ', Qt::SkipEmptyParts))
            ini.WriteString("WOB", kv.section('=', 0, 0), kv.section('=', 1));
        ASSERT_TRUE(ini.UpdateFile());
        ActiveWobDat() = Twobdat();
        meas = std::make_unique<tSweepmeas>(&host);
        meas->setSettingsFile(home.filePath("velmora30.ini"));
        meas->setFrameResolution_ms(0);
        meas->setCalibration(&cal);
        pump.meas = meas.get();
        ASSERT_EQ(meas->Init(&fft, &ana, nullptr, nullptr, nullptr), mereOK);
        meas->SetChannels(2, 2);
    }
    // Starts the sweep and runs the event loop until it has ended by itself.
    bool runSweep(int timeout_ms = 60000)
    {
        meas->engine().visible = true; // its per-step log
        meas->Mstart(1);
        QElapsedTimer t;
        t.start();
        while (!meas->endedByItself() && t.elapsed() < timeout_ms)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QCoreApplication::processEvents();
        return meas->endedByItself();
    }
    double value(int ch, int k) const { return meas->engine().values()[size_t(ch)].getsmAr(k); }
    double freq(int k) const { return meas->engine().frequencies().getsmAr(k); }

    QTemporaryDir home;
    cFFTdat fft;
    cAnaPara ana;
    TLevelCalibration cal;
    FakeHost host;
    BlockPump pump;
    std::unique_ptr<tSweepmeas> meas;
};

const char* kHighPassAmp = "[Model]\nKind=amplifier\n[Amplifier]\nGain_dB=6\nHighPass_Hz=100\n";

// 31 logarithmic points 20 Hz..20 kHz of a 6 dB amplifier with a 100 Hz high-pass, both channels
// absolute. Also with blocks far longer than the settling time (8192 frames, no settling): a
// step's block must not hold the previous frequency, or the steep low end would read wrong.
TEST_F(Sweep, stereoResponseEqualsTheAmplifiersButterworthAtEveryPoint)
{
    for (const auto& [block, settle] : {std::pair{1024, 100}, std::pair{8192, 0}}) {
        bench(kHighPassAmp, block);
        init(3, QString("FROMR=20 TOR=20000 SYNCSTEP=31 PEGDIGL=-6 PEGDIGR=-6 REFMESS=2 STARTMESS=%1").arg(settle));
        ASSERT_TRUE(runSweep());
        TSimAmpSpec amp;
        amp.gainDb = 6.0;
        amp.highPassHz = 100.0;
        for (int k = 0; k < 31; ++k) {
            const double f = 20.0 * std::pow(1000.0, k / 30.0); // the logarithmic point rule
            EXPECT_NEAR(freq(k), f, 1e-9 * f);
            const double truth = -6.0 + 20.0 * std::log10(std::abs(simAmpResponse(amp, f, kRate)));
            for (int ch = 0; ch < 2; ++ch)
                EXPECT_NEAR(value(ch, k), truth, 0.03) << "block " << block << " point " << k << " ch " << ch;
            if (block == 1024)
                tableRow("level", f, truth, value(0, k));
        }
        EXPECT_GT(host.packages, 0);
        EXPECT_EQ(host.lastX.samples(), 31); // the diagram got every point
        meas->DeInit(0);
        meas.reset();
        TearDown();
    }
}

// One channel through a known filter, the other straight: the ratio curve is the filter's
// magnitude, the phase curve its phase; the left reference gives the inverse ratio.
TEST_F(Sweep, referenceModesGiveTheFiltersMagnitudeAndPhase)
{
    leftFilter() = TIIRObj();
    leftFilter().SetDesignSampleRate(kRate);
    leftFilter().SetFilterChar(chButterworth);
    leftFilter().SetGrad(2);
    leftFilter().SetFreq(1000.0);
    leftFilter().SetTyp(iirHP);
    TsoundCallbacks cb;
    cb.outFilter = &filterLeftOnly;
    bench("[Model]\nKind=wire\n", 1024, cb);
    init(3, "FROMR=100 TOR=10000 SYNCSTEP=21 PEGDIGL=-6 PEGDIGR=-6 REFMESS=0 PHASE=1");
    ASSERT_TRUE(runSweep());
    for (int k = 0; k < 21; ++k) {
        const double f = freq(k);
        const std::complex<double> h = simButterworth2(true, 1000.0, f, kRate);
        const double mag = 20.0 * std::log10(std::abs(h)), ph = std::arg(h) * 180.0 / M_PI;
        EXPECT_NEAR(value(0, k), mag, 0.03) << f;
        EXPECT_NEAR(value(1, k), ph, 1.0) << f;
        tableRow("ratio", f, mag, value(0, k));
        tableRow("phase", f, ph, value(1, k));
    }
    meas->DeInit(0);
    init(3, "FROMR=300 TOR=3000 SYNCSTEP=5 PEGDIGL=-6 PEGDIGR=-6 REFMESS=1");
    ASSERT_TRUE(runSweep());
    for (int k = 0; k < 5; ++k)
        EXPECT_NEAR(value(0, k), -20.0 * std::log10(std::abs(simButterworth2(true, 1000.0, freq(k), kRate))), 0.03);
}

// The THD the bench's closed form gives for what the analysis counts: the harmonics inside the
// band (and below the Nyquist limit) against the total power.
double thdTruth_dB(const TSimAmpSpec& amp, double levelDbfs, double f, const cAnaPara& a)
{
    const TSimAmpHarmonics h = simAmpHarmonics(amp, levelDbfs, f, kRate);
    double H = 0.0, T = 0.0;
    for (const TSimHarmonic& l : h.lines) {
        T += l.amplitude * l.amplitude;
        if (l.order > 1 && l.frequency >= a.lfvon && l.frequency <= a.lfbis && (a.Hx >> (l.order - 1) & 1))
            H += l.amplitude * l.amplitude;
    }
    return 10.0 * std::log10(H / T);
}

// A cubic term: THD at every step equals the closed form; the per-step log shows the transform
// size switch from 32768 to 4096 above 1500 Hz.
TEST_F(Sweep, distortionPerStepEqualsTheCubicAmplifiersClosedForm)
{
    bench("[Model]\nKind=amplifier\n[Amplifier]\nA3=0.05\nA2=0.01\nHighPass_Hz=400\n");
    ana.Hx = 0x1E; // H2..H5, no noise
    ana.lfvon = 20;
    ana.lfbis = 20000;
    init(7, "FROMR=100 TOR=6000 SYNCSTEP=12 PEGDIGL=-3 PEGDIGR=-3 REFMESS=0");
    EXPECT_EQ(ActiveWobDat().RefMess, mRefStereo); // mode 7 measures both channels alone
    ASSERT_TRUE(runSweep(120000));
    TSimAmpSpec amp;
    amp.a[2] = 0.01;
    amp.a[3] = 0.05;
    amp.highPassHz = 400.0; // the level at the polynomial, and so the THD, changes with f
    for (int k = 0; k < 12; ++k) {
        const double f = freq(k), truth = thdTruth_dB(amp, -3.0, f, ana);
        for (int ch = 0; ch < 2; ++ch)
            EXPECT_NEAR(value(ch, k), truth, 0.1) << f;
        tableRow("THD", f, truth, value(0, k));
        const QString size = f > 1500.0 ? "FFT:4096" : "FFT:32768";
        EXPECT_TRUE(meas->engine().Memo1.filter(QString::asprintf("step:%d ", k)).join(' ').contains(size)) << f;
    }
}

// The engine only listens while the bench's own generator plays stepped tones: every tone
// gives points within one transform bin of its frequency and ±0.1 dB of its level. The bench runs
// in real time: in fast pacing a loaded machine lets the output run past a tone before the test
// has switched to it.
TEST_F(Sweep, asynchronousSweepFindsTheTonesItHears)
{
    bench("[Model]\nKind=wire\n", 1024, {}, "realtime");
    init(3, "SYNC=0 totalasyncmess=4 REFMESS=2 thresholdLevel_dB=-60");
    meas->Mstart(1);
    const double tones[4] = {150.0, 700.0, 2500.0, 9000.0};
    const double level = -12.0;
    TwaveGO* go = soundDLL().waveGO();
    go->voldB_L = go->voldB_R = level;
    go->modeL = go->modeR = 0;
    soundDLL().SDStartSoundOut(1);
    QElapsedTimer t;
    t.start();
    int tone = -1;
    while (!meas->endedByItself() && t.elapsed() < 60000) {
        const int want = std::min(3, int(soundDLL().SDGetFuturePara(1) / kRate)); // one second each
        if (want != tone) {
            tone = want;
            go->GenFreqL = go->GenFreqR = tones[tone];
            soundDLL().SDgetSoundStatus();
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    ASSERT_TRUE(meas->endedByItself());
    const Tsamplemem& x = meas->engine().frequencies();
    for (double f : tones) {
        const double bin = kRate / (f >= 4000 ? 2048 : f >= 600 ? 4096 : 8192);
        int near = 0;
        for (int k = 0; k < x.samples(); ++k)
            if (std::fabs(x.getsmAr(k) - f) <= bin) {
                ++near;
                EXPECT_NEAR(value(0, k), level, 0.1) << f;
                EXPECT_NEAR(value(1, k), level, 0.1) << f;
                if (near == 1) {
                    tableRow("async f", f, f, x.getsmAr(k));
                    tableRow("async dB", f, level, value(0, k));
                }
            }
        EXPECT_GT(near, 0) << "no point at " << f;
    }
}

// A sweep whose next frequency lies above half the output rate ends at that step; the points it
// never reached keep no value (-192) and no frequency.
TEST_F(Sweep, nyquistStopsTheSweepAndUnmeasuredPointsStayEmpty)
{
    bench("[Model]\nKind=wire\n");
    init(3, "FROMR=1000 TOR=40000 SYNCSTEP=5 METHODE=1 PEGDIGL=-6 PEGDIGR=-6 STARTMESS=10");
    ASSERT_TRUE(runSweep());
    EXPECT_NEAR(freq(3), 30250.0, 1e-6); // measured (above 24 kHz), then the sweep ends
    EXPECT_EQ(freq(4), 0.0);
    EXPECT_EQ(value(0, 4), -192.0);
    EXPECT_EQ(value(1, 4), -192.0);
    EXPECT_NEAR(value(0, 2), -6.0, 0.03);
}

// A continuous sweep pauses (silent generator, the count-down shown) and runs again; a new set
// of curves follows each run once its last points are drawn. Stopped and started again, the
// sweep keeps the points of the last run until it measures them anew. A distortion sweep
// leaves the user's settling time as it was.
TEST_F(Sweep, continuousRunsPauseStartNewCurvesAndAStoppedSweepKeepsItsPoints)
{
    bench("[Model]\nKind=wire\n");
    init(3, "FROMR=1000 TOR=2000 SYNCSTEP=5 PEGDIGL=-6 PEGDIGR=-6 STARTMESS=10 CONTI=1 pause_s=1 nextcurve=1");
    float longestPause = 0.0f;
    double silentDuringPause = 1.0;
    meas->setProgressDisplay([&] {
        longestPause = std::max(longestPause, meas->engine().pauseCountDown);
        if (meas->engine().pauseCountDown > 0.0f)
            silentDuringPause = soundDLL().waveGO()->GenFreqL;
    });
    meas->Mstart(1);
    QElapsedTimer t;
    t.start();
    while (meas->engine().sweepsFinished() < 2 && t.elapsed() < 20000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    EXPECT_EQ(meas->engine().sweepsFinished(), 2);
    EXPECT_TRUE(meas->getMeasRun()); // a continuous sweep goes on
    EXPECT_FALSE(meas->endedByItself());
    EXPECT_FLOAT_EQ(longestPause, 1.0f);
    EXPECT_EQ(silentDuringPause, 0.0);
    QCoreApplication::processEvents();
    EXPECT_EQ(host.newSets, 2);
    meas->Mstart(1); // stop
    EXPECT_FALSE(meas->getMeasRun());
    ASSERT_TRUE(std::isfinite(value(0, 4)) && value(0, 4) > -10.0);
    ActiveWobDat().wobconti = false;
    meas->Mstart(1); // again: the points of the last run stay until measured anew
    EXPECT_NEAR(value(0, 4), -6.0, 0.03);
    meas->Mstart(1);
    meas->DeInit(0);

    init(7, "FROMR=1000 TOR=2000 SYNCSTEP=2 STARTMESS=37");
    ASSERT_TRUE(runSweep());
    EXPECT_EQ(ActiveWobDat().startmess_ms, 37);
}

TEST(SweepRules, stepFrequenciesAndMeasuringTimes)
{
    EXPECT_DOUBLE_EQ(SweepStepFrequency(20, 20000, 1, 0, false), 666.0);
    EXPECT_DOUBLE_EQ(SweepStepFrequency(0, 20000, 10, 3, false), 666.0);
    EXPECT_DOUBLE_EQ(SweepStepFrequency(20, 220, 11, 5, true), 120.0);
    const TSweepTiming t3 = SweepTimingFor(3, 48000, 4096);
    EXPECT_EQ(SweepMeasuringTime_ms(t3, 10.0), 2000);  // 20 periods
    EXPECT_EQ(SweepMeasuringTime_ms(t3, 1000.0), 100); // at least 100 ms
    EXPECT_EQ(SweepMeasuringTime_ms(t3, 400.0), 100);
    EXPECT_EQ(SweepMeasuringTime_ms(t3, 150.0), 133);
    const TSweepTiming t6 = SweepTimingFor(6, 48000, 4096);
    EXPECT_EQ(SweepMeasuringTime_ms(t6, 10.0), 500); // impedance: at most 500 ms
    const TSweepTiming t7 = SweepTimingFor(7, 48000, 32768);
    EXPECT_EQ(t7.MINTIM, 682 + 20);
    EXPECT_EQ(SweepBlockLength(48000, 100), 9600);
    EXPECT_EQ(SweepBlockLength(44100, 133), 11728); // 11730.6 truncated to a multiple of 8
    int32_t n = 0;
    EXPECT_EQ(ermiTHDStartmess(7, 1000.0, 48000, 100, &n), 683 + 150);
    EXPECT_EQ(n, 32768);
    EXPECT_EQ(ermiTHDStartmess(7, 1600.0, 48000, 100, &n), 85 + 150);
    EXPECT_EQ(n, 4096);
    EXPECT_EQ(ermiTHDStartmess(3, 1600.0, 48000, 100, &n), 100);
}

// Stored zeros, garbage, huge values and a file that is not text: the sweep reads usable
// settings; what it writes reads back the same.
TEST(SweepRules, storedSettingsAreRepairedAndRoundTrip)
{
    QTemporaryDir dir;
    const QString file = dir.filePath("v.ini");
    auto load = [&](const QByteArray& text) {
        QFile f(file);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text);
        f.close();
        TMemIniFile ini(file);
        Twobdat w;
        Sweep_loadWobdatfromFile(w, ini);
        return w;
    };
    Twobdat w = load("[WOB]\nFROMR=0\nTOR=0\nSTEPSR=0\nSYNCSTEP=0\npause_s=-5\nREFMESS=9\nmImpMode=7\n");
    EXPECT_EQ(w.wobfrom, 20.0);
    EXPECT_EQ(w.wobto, 20000.0);
    EXPECT_EQ(w.wobAnzSteps, 50);
    EXPECT_EQ(w.wobSyncSteps, 50);
    EXPECT_EQ(w.pause_s, 0);
    EXPECT_EQ(w.RefMess, mRefStereo);
    EXPECT_EQ(w.mImpMode, mImpVar2);
    w = load("[WOB]\nFROMR=abc\nTOR=1e999\nSYNCSTEP=2147483647999\nSTEPSR=-3\nSTARTMESS=-100\nPEGDIGL=nan\n");
    EXPECT_EQ(w.wobfrom, 20.0);
    EXPECT_EQ(w.wobto, 22000.0); // unreadable: the default
    EXPECT_GT(w.wobSyncSteps, 0);
    EXPECT_LE(w.wobSyncSteps, 1000); // no buffers of billions of points
    EXPECT_EQ(w.wobAnzSteps, 50);
    EXPECT_EQ(w.startmess_ms, 0);
    EXPECT_TRUE(std::isfinite(w.pegdigL));
    w = load(QByteArray("\xff\xfe[\0W\0O\0B\0]\0\n\0\x00\x01\x02", 17) + QByteArray(300000, 'x'));
    EXPECT_EQ(w.wobfrom, 20.0); // unreadable: the defaults
    EXPECT_EQ(w.wobSyncSteps, 50);
    EXPECT_FALSE(w.TrackFilterBlock.bypass); // the tracking filter as rebuilt: band-pass at 20 Hz
    EXPECT_EQ(w.TrackFilterBlock.aEq[0].Typ(), iirBP);
    EXPECT_EQ(w.TrackFilterBlock.aEq[1].Typ(), iirFlat);

    Twobdat a;
    a.wobfrom = 33.5, a.wobto = 12345.0, a.wobSyncSteps = 77, a.woblin = true, a.RefMess = mRefLeft;
    a.thresholdLevel_dB = -77.0, a.TrackFilter = true, a.pause_s = 12, a.pegdigL = -7.5;
    a.TrackFilterBlock.aEq[0].SetParam(6, 8, 500.0, 0.0, 2.0, 0.0, 0.0, 0);
    {
        TMemIniFile ini(file);
        Sweep_saveWobdattoFile(a, ini);
        ASSERT_TRUE(ini.UpdateFile());
    }
    TMemIniFile ini(file);
    Twobdat b;
    Sweep_loadWobdatfromFile(b, ini);
    EXPECT_EQ(b.wobfrom, 33.5);
    EXPECT_EQ(b.wobSyncSteps, 77);
    EXPECT_TRUE(b.woblin);
    EXPECT_EQ(b.RefMess, mRefLeft);
    EXPECT_EQ(b.thresholdLevel_dB, -77.0);
    EXPECT_TRUE(b.TrackFilter);
    EXPECT_EQ(b.pause_s, 12);
    EXPECT_EQ(b.pegdigL, -7.5);
    EXPECT_EQ(b.TrackFilterBlock.aEq[0].Freq(), 500.0);
    EXPECT_TRUE(ini.ValueExists("WOB", "thresholdLevel_db"));
}

} // namespace
