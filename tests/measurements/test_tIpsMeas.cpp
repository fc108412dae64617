// The impulse measurement on the virtual bench: wire delay, amplifier response, averaging, stop, external trigger, RT60.
#include "SimTruthAmplifier.h"
#include "analysis/AnalysePara.h"
#include "base/vlMessages.h"
#include "core/soundDLLImpDyn.h"
#include "measurements/I3DWindow.h"
#include "measurements/tIpsMeas.h"
#include "../support/measurementStandIns.h"
#include "../support/benchModule.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <dlfcn.h>

namespace {

class Quiet : public vl::IMessageService {
public:
    int show(const vl::Message& m) override
    {
        asked << m.text;
        return m.defaultButton;
    }
    QStringList asked;
};

class IpsMeas : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        static int argc = 1;
        static char name[] = "test_tIpsMeas";
        static char* argv[] = {name, nullptr};
        if (!QCoreApplication::instance()) new QCoreApplication(argc, argv);
        dlopen("libQt6Widgets.so.6", RTLD_NOW | RTLD_NODELETE);
    }
    // Starts the bench with a model section and the measurement of a mode.
    void bench(const QByteArray& model, int mode = 4)
    {
        ASSERT_TRUE(startBenchModule(home, "[Device]\nSampleRate=48000\nBits=24\nPacing=fast\nBlockFrames=4096\n" + model));
        SetMainMsgReceiver(&pump);
        SetMainClosing(false);
        vl::setMessageService(&quiet);
        fft.SamplesFFT = 65536;
        fft.FFTwin = 0;
        fft.setAnzICha(2);
        fft.Sbefore = 24;
        fft.showbeforeIps_ms = 1.0;
        meas = std::make_unique<tIpsMeas>(&host, mode);
        meas->SetMeasCallback([this](int32_t cmd, intptr_t para) {
            if (cmd == cbmRemark) remarks << QString::fromUtf8(reinterpret_cast<const char*>(para));
        });
        pump.meas = meas.get();
        ASSERT_EQ(meas->Init(&fft, &ana, nullptr, nullptr, nullptr), mereOK);
        fft.triggLevel = -1;
    }
    void TearDown() override
    {
        if (meas)
            meas->DeInit(0);
        pump.meas = nullptr;
        meas.reset();
        vl::setMessageService(nullptr);
        SetMainMsgReceiver(nullptr);
        SetMainClosing(true);
        soundDLL().shutdown(';');
        resetSoundDLL();
    }
    void generator(int mode, int order, double level)
    {
        TwaveGO* go = soundDLL().waveGO();
        go->modeL = go->modeR = mode;
        go->MLSsize = order;
        go->voldB_L = go->voldB_R = level;
        go->genOnL = go->genOnR = 1;
        go->OShotsamples = 1;
    }
    // Runs until the measurement stops (or the time is up).
    bool run(int ms = 30000)
    {
        meas->Mstart(1);
        return waitStopped(ms);
    }
    bool waitStopped(int ms)
    {
        QElapsedTimer t;
        t.start();
        do
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        while ((meas->getMeasRun() || meas->ipsStep != ipsParked) && t.elapsed() < ms);
        for (int i = 0; i < 20; ++i) QCoreApplication::processEvents();
        return !meas->getMeasRun() && meas->ipsStep == ipsParked;
    }
    // Index of the largest sample of channel c of the last shot, counted in the recording.
    int64_t peakIndex(size_t c) const
    {
        const std::vector<double>& x = meas->lastShot().time[c];
        size_t p = 0;
        for (size_t i = 0; i < x.size(); ++i)
            if (std::fabs(x[i]) > std::fabs(x[p])) p = i;
        return int64_t(p) + meas->lastShot().cut;
    }

    QTemporaryDir home;
    Quiet quiet;
    cFFTdat fft;
    cAnaPara ana;
    FakeHost host;
    BlockPump pump;
    std::unique_ptr<tIpsMeas> meas;
    QStringList remarks;
};

} // namespace

// A wire of known delay measured with MLS orders 14 and 16: the impulse lies on the delay,
// sample-exact, and nothing else reaches -100 dB of it, also when the output starts late.
TEST_F(IpsMeas, WireDelayWithMlsIsSampleExact)
{
    bench("[Model]\nKind=wire\nDelay_samples=1234\n");
    for (int order : {14, 16}) {
        generator(6, order, -3.0);
        ASSERT_TRUE(run()) << order;
        ASSERT_EQ(meas->lastShot().time.size(), 2u);
        EXPECT_EQ(peakIndex(0), 1234) << order;
        EXPECT_EQ(peakIndex(1), 1234) << order;
        const std::vector<double>& x = meas->lastShot().time[0];
        const double peak = std::fabs(x[size_t(peakIndex(0) - meas->lastShot().cut)]);
        double worst = 0;
        for (size_t i = 0; i < x.size(); ++i)
            if (int64_t(i) + meas->lastShot().cut != 1234) worst = std::max(worst, std::fabs(x[i]));
        EXPECT_LT(20 * std::log10(worst / peak), -100.0) << order;
        printf("wire, MLS order %d: impulse at %lld (delay 1234), rest %.1f dB re peak\n", order,
               (long long)peakIndex(0), 20 * std::log10(worst / peak));
        // the spectrum reads the wire: 0 dB across the band
        EXPECT_NEAR(meas->lastShot().mag_dB[0][1000], 0.0, 1e-3);
    }
    EXPECT_TRUE(remarks.contains("Get sample datas"));
    EXPECT_TRUE(remarks.contains("Diagram ready"));
    EXPECT_EQ(remarks.last(), "");
    // an input latency of 100 ms: the signal goes out several blocks after the input started,
    // and the impulse still lies on the delay
    soundDLL().waveGI()->wfs.Latency = 100;
    ASSERT_TRUE(run());
    EXPECT_GE(soundDLL().SDGetFuturePara(3), 4096);
    EXPECT_EQ(peakIndex(0), 1234);
}

// The amplifier's high- and low-pass from a dirac: magnitude within 0.1 dB of the model
// from 200 Hz to 8 kHz, group delay within 2 % where it exceeds 0.1 ms.
TEST_F(IpsMeas, AmplifierResponseFromDirac)
{
    bench("[Model]\nKind=amplifier\n[Amplifier]\nHighPass_Hz=100\nLowPass_Hz=10000\n");
    generator(5, 0, -6.0);
    fft.s2isGD = true;
    ASSERT_TRUE(run());
    TSimAmpSpec a;
    a.highPassHz = 100, a.lowPassHz = 10000;
    const TIpsShotResult& s = meas->lastShot();
    const double start_ms = (s.cut + s.fftBegin) / 48.0; // the dirac left at frame 0 of the shot
    double worstDb = 0, worstGd = 0;
    for (size_t k = 1; k < s.freq.size(); ++k) {
        const double f = s.freq[k];
        if (f < 200 || f > 8000) continue;
        worstDb = std::max(worstDb, std::fabs(s.mag_dB[0][k] - 20 * std::log10(std::abs(simAmpResponse(a, f, 48000)))));
        const double gd = -std::arg(simAmpResponse(a, f + 1, 48000) * std::conj(simAmpResponse(a, f - 1, 48000))) /
                          (4 * M_PI) * 1000;
        if (gd > 0.1) worstGd = std::max(worstGd, std::fabs((s.second[0][k] + start_ms) / gd - 1));
    }
    EXPECT_LT(worstDb, 0.1);
    EXPECT_LT(worstGd, 0.02);
    printf("amplifier, dirac: magnitude within %.4f dB, group delay within %.3f %%\n", worstDb, 100 * worstGd);
}

// A sine burst holds energy only around its frequency: the amplifier's response is the burst
// heard through it over the burst heard through a wire, within 0.1 dB wherever the burst's
// spectrum lies within 20 dB of its peak.
TEST_F(IpsMeas, AmplifierResponseFromBurst)
{
    std::vector<std::vector<double>> heard;
    std::vector<double> freq;
    for (const char* model : {"[Model]\nKind=wire\n", "[Model]\nKind=amplifier\n[Amplifier]\nHighPass_Hz=100\nLowPass_Hz=10000\n"}) {
        bench(model);
        generator(kIpsBurst, 0, -6.0);
        soundDLL().waveGO()->GenFreqL = soundDLL().waveGO()->GenFreqR = 3000;
        soundDLL().waveGO()->AnzWave = 3;
        ASSERT_TRUE(run()) << model;
        heard.push_back(meas->lastShot().mag_dB[0]);
        freq = meas->lastShot().freq;
        TearDown();
    }
    TSimAmpSpec a;
    a.highPassHz = 100, a.lowPassHz = 10000;
    const double top = *std::max_element(heard[0].begin(), heard[0].end());
    double worst = 0;
    int points = 0;
    for (size_t k = 1; k < freq.size(); ++k) {
        if (heard[0][k] < top - 20) continue;
        ++points;
        const double model = 20 * std::log10(std::abs(simAmpResponse(a, freq[k], 48000)));
        worst = std::max(worst, std::fabs(heard[1][k] - heard[0][k] - model));
    }
    EXPECT_GT(points, 1000) << "the burst covers a band, not a line";
    EXPECT_LT(worst, 0.1);
    printf("amplifier, burst 3 kHz x 3: magnitude within %.4f dB at %d bins\n", worst, points);
}

// Averaging 4 without "Continuous": four shots, one drawing, and the run ends by itself; a
// start during a shot stops it without drawing.
TEST_F(IpsMeas, AveragingFourDrawsOnceAndStartDuringShotStops)
{
    bench("[Model]\nKind=wire\nDelay_samples=10\nNoise_dBFS=-90\n");
    generator(5, 0, -6.0);
    fft.AveValue = 4;
    ASSERT_TRUE(run());
    EXPECT_EQ(meas->shotsTaken, 4);
    EXPECT_EQ(host.packages, 1);
    EXPECT_TRUE(meas->endedByItself());
    EXPECT_EQ(meas->AveCounter, 4);

    meas->Mstart(1);
    QElapsedTimer t;
    t.start();
    while (meas->ipsStep != ipsSearch && t.elapsed() < 5000) QCoreApplication::processEvents();
    meas->Mstart(1); // the start button again
    ASSERT_TRUE(waitStopped(5000));
    EXPECT_EQ(meas->shotsTaken, 0);
    EXPECT_EQ(host.packages, 1);
    EXPECT_FALSE(meas->endedByItself());
}

// An external impulse: the bench plays a dirac 300 ms after the input started; it triggers,
// is collected and evaluated at its place. Without one the shot ends after the timeout.
TEST_F(IpsMeas, ExternalImpulseTriggersOrTimesOut)
{
    bench("[Model]\nKind=wire\nDelay_samples=0\n");
    generator(5, 0, -6.0);
    fft.asyncIps = true;
    meas->asyncMessTime = 400;
    ASSERT_TRUE(run(5000));
    EXPECT_TRUE(remarks.contains("Break, no trigger ips"));
    EXPECT_EQ(meas->shotsTaken, 0);

    remarks.clear();
    fft.triggLevel = 0.1;
    meas->asyncMessTime = 20000;
    meas->Mstart(1);
    QElapsedTimer t;
    t.start();
    // the impulse from another source: the generator started once 300 ms are recorded
    while (soundDLL().SDGetFuturePara(1) < 14400 && t.elapsed() < 5000) QCoreApplication::processEvents();
    const int64_t startedAt = soundDLL().SDGetFuturePara(1);
    soundDLL().SDStartSoundOut(1);
    ASSERT_TRUE(waitStopped(20000));
    EXPECT_TRUE(remarks.contains("Impulse triggered"));
    EXPECT_TRUE(remarks.contains("Data collected"));
    ASSERT_EQ(meas->shotsTaken, 1);
    EXPECT_GE(peakIndex(0), 0);
    EXPECT_NEAR(std::fabs(meas->lastShot().time[0][size_t(peakIndex(0) - meas->lastShot().cut)]), std::pow(10.0, -6.0 / 20), 1e-6);
    EXPECT_GT(startedAt, 0);
}

// Mode 11 on the bench's room: broadband T30 and T20 within 5 % of the set reverberation time,
// the octave bands within 10 % (15 % at 125 Hz), and the table in the result lines.
TEST_F(IpsMeas, RoomReverberationTime)
{
    for (int rt : {400, 1200}) {
        bench("[Model]\nKind=room\n[Room]\nRT60_ms=" + QByteArray::number(rt) + "\n", 11);
        generator(6, 16, -30.0); // the tail carries 12 dB more energy than the direct sound: no clipping
        ASSERT_TRUE(run(60000)) << rt;
        const TRtResult& r = meas->lastShot().rt;
        const double set = rt / 1000.0;
        EXPECT_NEAR(r.broadband.t30 / set, 1.0, 0.05) << rt;
        EXPECT_NEAR(r.broadband.t20 / set, 1.0, 0.05) << rt;
        EXPECT_GT(r.broadband.edt, 0.0);
        for (const TRtBand& b : r.octaves)
            EXPECT_NEAR(b.t30 / set, 1.0, b.centreHz < 200 ? 0.15 : 0.10) << b.centreHz << " Hz, " << rt;
        printf("RT60 set %d ms: broadband EDT %.3f T20 %.3f T30 %.3f\n", rt, r.broadband.edt, r.broadband.t20, r.broadband.t30);
        for (const TRtBand& b : r.octaves)
            printf("  %5.0f Hz: EDT %.3f T20 %.3f T30 %.3f\n", b.centreHz, b.edt, b.t20, b.t30);
        EXPECT_TRUE(meas->resultText().filter("RT60 broad").size() == 1);
        TearDown();
    }
}

// The trigger timeout from the settings: no number gives the default, values out of range are
// clamped to 0.1 s .. 1 h.
TEST_F(IpsMeas, TriggerTimeoutFromBadSettings)
{
    bench("[Model]\nKind=wire\n");
    const QString file = home.filePath("velmora30.ini");
    for (const auto& [text, want] : {std::pair{"abc", 10000}, {"-5", 100}, {"99999999999", 10000}, {"7200000", 3600000},
                                     {"", 10000}, {"2500", 2500}}) {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(QByteArray("[fftnah]\nasyncMessTime=") + text + "\n");
        f.close();
        meas->LoadFromIni(file);
        EXPECT_EQ(meas->asyncMessTime, want) << text;
    }
}

namespace {

// The waterfall window as the measurement sees it: only its band count matters here.
class Fake3D : public I3DWindow {
public:
    int32_t setFFTpoints(int32_t fftp) override { return fftp / 2; }
    void setSF(int32_t) override {}
    void Clear3DDia() override { ++cleared; }
    int32_t getZBands() const override { return 8; }
    void show3D(bool on) override { shown = on; }
    void loadDia(const TMemIniFile&, const QString&) override {}
    void saveDia(TMemIniFile&, const QString&) const override {}
    int cleared = 0;
    bool shown = false;
};

} // namespace

// Mode 5: one shot of the room gives one band per depth step, each FFT started later by the
// 3D stepping; the direct sound leaves the later bands, so their level falls.
TEST_F(IpsMeas, ThreeDSlicesStepThroughTheResponse)
{
    Fake3D win;
    qputenv("VELMORA_HOME", home.path().toUtf8());
    bench("[Model]\nKind=room\n[Room]\nRT60_ms=300\n", 5);
    meas->DeInit(0);
    meas = std::make_unique<tIpsMeas>(&host, 5);
    meas->setWindow3D(&win);
    std::vector<double> times, levels;
    meas->onSlice = [&](const std::vector<double>& db, const std::vector<double>&, double t) {
        times.push_back(t);
        levels.push_back(db[db.size() / 8]); // 3 kHz
    };
    pump.meas = meas.get();
    ASSERT_EQ(meas->Init(&fft, &ana, nullptr, nullptr, nullptr), mereOK);
    EXPECT_TRUE(win.shown);
    fft.SamplesFFT = 4096;
    fft.fft3Dstepping_ms = 5;
    fft.triggLevel = -1;
    generator(5, 0, -6.0);
    ASSERT_TRUE(run());
    ASSERT_EQ(times.size(), 8u);
    for (size_t s = 0; s < times.size(); ++s)
        EXPECT_DOUBLE_EQ(times[s], 5.0 * double(s));
    EXPECT_LT(levels.back(), levels.front() - 6.0);
    EXPECT_TRUE(meas->endedByItself());
    meas->DeInit(0); // while the window still exists
    EXPECT_FALSE(win.shown);
    pump.meas = nullptr;
    meas.reset();
}
