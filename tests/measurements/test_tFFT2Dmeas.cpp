// FFT measurement on the virtual bench: the step chain, averaging, toggling, units and levels.
#include "analysis/AnalysePara.h"
#include "dsp/corObj.h"
#include "base/TMemIniFile.h"
#include "base/vlMessages.h"
#include "core/soundDLLImpDyn.h"
#include "core/winMessage.h"
#include "display/TGdata.h"
#include "display/diaMessages.h"
#include "display/IDiagramHost.h"
#include "measurements/tFFT2Dmeas.h"
#include "../support/measurementStandIns.h"
#include "../support/benchModule.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>
#include <dlfcn.h>
#include <cstdio>
#include <cstring>
#include <random>

namespace {

class FFT2Dmeas : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        static int argc = 1;
        static char name[] = "test_tFFT2Dmeas";
        static char* argv[] = {name, nullptr};
        if (!QCoreApplication::instance()) new QCoreApplication(argc, argv);
        // The bench module brings the widget library with it and goes when a test unloads it;
        // keeping the library loaded spares the thread sanitizer a library that comes and goes.
        dlopen("libQt6Widgets.so.6", RTLD_NOW | RTLD_NODELETE);
    }
    void SetUp() override
    {
        ASSERT_TRUE(startBenchModule(home, "[Device]\nSampleRate=48000\nBits=32\nPacing=fast\nBlockFrames=4096\n[Model]\nKind=wire\n"));
        SetMainMsgReceiver(&pump);
        SetMainClosing(false);
        fft.SamplesFFT = 16384;
        fft.FFTwin = 2;
        ana.bLevelmess = true;
        ana.bResultTextLeft = true;
        makeMeasurement();
    }
    void makeMeasurement()
    {
        meas = std::make_unique<tFFT2Dmeas>(&host);
        meas->setFrameResolution_ms(0);
        meas->setSettingsFile(home.filePath("velmora30.ini"));
        pump.meas = meas.get();
    }
    void TearDown() override
    {
        if (meas)
            meas->DeInit(0);
        pump.meas = nullptr;
        SetMainMsgReceiver(nullptr);
        SetMainClosing(true);
        soundDLL().shutdown(';');
        resetSoundDLL();
    }
    // Init reads the mode's settings from the file: put the test's settings there first.
    void init()
    {
        TMemIniFile ini(home.filePath("velmora30.ini"));
        fft.SaveFFTtoIniL(ini, "fft2d");
        ana.SaveAnatoIniL(ini, "fft2d");
        ASSERT_TRUE(ini.UpdateFile());
        ASSERT_EQ(meas->Init(&fft, &ana, nullptr, nullptr, nullptr), mereOK);
        meas->SetChannels(2, 2);
    }
    void playSine(double hz, double dBFS)
    {
        TwaveGO* go = soundDLL().waveGO();
        ASSERT_NE(go, nullptr);
        go->GenFreqL = go->GenFreqR = hz;
        go->voldB_L = go->voldB_R = dBFS;
        go->modeL = go->modeR = 0;
        go->genOnL = go->genOnR = 1;
        soundDLL().SDStartSoundOut(1);
    }
    // Runs the event loop until done() holds (false on time-out).
    template <class F>
    bool runUntil(F done, int timeout_ms = 20000)
    {
        QElapsedTimer t;
        t.start();
        while (!done() && t.elapsed() < timeout_ms)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        return done();
    }
    // Runs the event loop until `packages` packages have been drawn (false on time-out).
    bool runUntilPackages(int packages) { return runUntil([&] { return host.packages >= packages; }); }
    double levelFromLine() const
    {
        for (const QString& l : meas->resultLines()) {
            const auto m = QRegularExpression(R"(Level:\s*left Ch\.\s*(-?[0-9.]+))").match(l);
            if (m.hasMatch())
                return m.captured(1).toDouble();
        }
        return NAN;
    }

    QTemporaryDir home;
    cFFTdat fft;
    cAnaPara ana;
    FakeHost host;
    BlockPump pump;
    std::unique_ptr<tFFT2Dmeas> meas;
};

TEST_F(FFT2Dmeas, sineThroughTheWireReadsItsLevelAndPeaksAtItsBin)
{
    init();
    playSine(997.0, -6.02);
    meas->Mstart(1);
    ASSERT_TRUE(runUntilPackages(3)) << "blocks seen " << pump.blocks << " run " << meas->getMeasRun() << " step " << meas->FFTstep << " st " << soundDLL().SDgetSoundStatus() << " usable " << soundDLL().usable();
    // A sine of -6.02 dBFS peak reads -6.02 dBFS as a band level (goal +-0.01 dB).
    EXPECT_NEAR(levelFromLine(), -6.02, 0.01) << meas->resultLines().join(" | ").toStdString();
    ASSERT_EQ(host.lastSpectrum.samples(), 8192);
    EXPECT_EQ(host.lastChannels, 2);
    int32_t peak = 0; // loudest bin (getmaxIndex looks at magnitudes, not at dB values)
    for (int32_t k = 1; k < host.lastSpectrum.samples(); ++k)
        if (host.lastSpectrum.getsmAr(k) > host.lastSpectrum.getsmAr(peak)) peak = k;
    EXPECT_NEAR(host.lastX.getsmAr(peak), 997.0, 48000.0 / 16384); // within one bin
    EXPECT_EQ(host.yUnit, "dB");
    EXPECT_EQ(host.fftPoints, 16384);
    EXPECT_EQ(host.sampleRate, 48000);
}

// The channels that reach full scale in the fetched block, each on its own: the left above
// full scale, the right half a dB below it; then both well below.
TEST_F(FFT2Dmeas, overloadedChannelsAreTheOnesAtFullScale)
{
    init();
    playSine(997.0, 1.0);
    soundDLL().waveGO()->voldB_R = -0.5;
    meas->Mstart(1);
    ASSERT_TRUE(runUntilPackages(3));
    EXPECT_EQ(meas->overloadedChannels(), 0x1u);
    TwaveGO* go = soundDLL().waveGO();
    go->voldB_L = go->voldB_R = -6.0;
    soundDLL().SDStartSoundOut(1);
    const int drawn = host.packages;
    ASSERT_TRUE(runUntil([&] { return host.packages >= drawn + 3 && meas->overloadedChannels() == 0; }))
        << "still " << meas->overloadedChannels();
}

TEST_F(FFT2Dmeas, startTwiceStopsAndLateStepMessagesAreHarmless)
{
    init();
    playSine(1000.0, -20);
    meas->Mstart(1);
    ASSERT_TRUE(runUntilPackages(1));
    EXPECT_TRUE(meas->getMeasRun());
    meas->Mstart(1);
    for (int i = 0; i < 50; ++i)
        QCoreApplication::processEvents();
    EXPECT_FALSE(meas->getMeasRun());
    EXPECT_EQ(meas->FFTstep, fsParked);
    const int drawn = host.packages;
    meas->Mexecute(0); // stopped: no pass
    for (int i = 0; i < 50; ++i)
        QCoreApplication::processEvents();
    EXPECT_EQ(host.packages, drawn);
}

TEST_F(FFT2Dmeas, averagingDrawsEveryNthPassAndCountsDown)
{
    fft.AveValue = 4;
    QList<intptr_t> shown;
    meas->SetMeasCallback([&](int32_t cmd, intptr_t para) {
        if (cmd == cbmShowAveCounter) shown << para;
    });
    init();
    playSine(1000.0, -20);
    meas->Mstart(1);
    ASSERT_TRUE(runUntilPackages(2));
    // Between two drawn spectra the counter shows 3, 2, 1.
    const int i = int(shown.indexOf(3, 2));
    ASSERT_GE(i, 0);
    ASSERT_LT(i + 2, shown.size());
    EXPECT_EQ(shown[i + 1], 2);
    EXPECT_EQ(shown[i + 2], 1);
}

TEST_F(FFT2Dmeas, milliVoltSpectraStayLinearAndModeTwelveRunsAsOne)
{
    fft.MeasuringModeF = 12;
    fft.setdBMode(dbMode_milliVolt);
    init();
    EXPECT_EQ(fft.MeasuringModeF, 1);
    EXPECT_EQ(host.yUnit, "mV");
    playSine(1000.0, -20);
    meas->Mstart(1);
    ASSERT_TRUE(runUntilPackages(1));
    // Linear magnitudes: nothing negative, the peak well above 1 mV-scale noise.
    double minV = 1e300;
    for (int32_t k = 0; k < host.lastSpectrum.samples(); ++k)
        minV = std::min(minV, host.lastSpectrum.getsmAr(k));
    EXPECT_GE(minV, 0.0);
    EXPECT_GT(host.lastSpectrum.getmaxVal(), 0.0);
}

// Packages that a busy window still holds while the measurement stops and starts again, and
// while the mode changes (the measurement released and the next one made, as the main window
// does): no pass writes into a package the window holds, the window reads every held one
// safely, drops those withdrawn, and the next passes and the next measurement run on.
TEST_F(FFT2Dmeas, packagesOnTheirWayOutliveRestartAndModeChange)
{
    fft.AveValue = 2;
    init();
    playSine(1000.0, -20);
    host.hold = true;
    meas->Mstart(1);
    ASSERT_TRUE(runUntil([&] { return host.held.size() == 1; }));
    const int blocks = pump.blocks;
    ASSERT_TRUE(runUntil([&] { return pump.blocks > blocks + 3; }));
    EXPECT_EQ(meas->passesDrawn(), 1) << "no pass while the window holds the package";

    meas->Mstart(1); // stop ...
    ASSERT_TRUE(runUntil([&] { return meas->FFTstep == fsParked; }));
    meas->Mstart(1); // ... and start again: the held package is given up, the run goes on
    ASSERT_TRUE(runUntil([&] { return host.held.size() == 2; }));
    EXPECT_EQ(host.deliverHeld(), 1) << "the package from before the restart is dropped";
    host.hold = false;
    ASSERT_TRUE(runUntilPackages(host.packages + 2));

    host.hold = true;
    ASSERT_TRUE(runUntil([&] { return host.held.size() == 1; }));
    meas->DeInit(0); // the mode changes
    meas.reset();
    makeMeasurement();
    init();
    EXPECT_EQ(host.deliverHeld(), 1) << "the package of the released measurement is dropped";
    host.hold = false;
    const int drawn = host.packages;
    playSine(1000.0, -20); // the release switched the output off
    meas->Mstart(1);
    ASSERT_TRUE(runUntilPackages(drawn + 2));
    EXPECT_NEAR(levelFromLine(), -20.0, 0.05) << meas->resultLines().join(" | ").toStdString();
}

TEST_F(FFT2Dmeas, settingsGoToTheModeTopicAndStepMessagesBeforeInitAreIgnored)
{
    meas->onStepMessage(1); // no package yet: nothing happens, nothing crashes
    EXPECT_EQ(meas->FFTstep, fsParked);
    fft.SamplesFFT = 8192;
    init();
    EXPECT_EQ(host.loadedTopic, "fft2d");
    meas->DeInit(0);
    EXPECT_EQ(host.savedTopic, "fft2d");
    meas.reset();
    QFile f(home.filePath("velmora30.ini"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(f.readAll());
    EXPECT_TRUE(text.contains("[fft2d]", Qt::CaseInsensitive)) << text.toStdString();
}

} // namespace

namespace {

// Blocks of white noise (and optionally a sine) without a sound module: the pass itself.
std::vector<Tsamplemem> noiseBlocks(int32_t n, unsigned seed, double sineAmp = 0.0, double hz = 997.0)
{
    std::vector<Tsamplemem> b;
    std::mt19937 gen(seed);
    std::normal_distribution<double> noise(0.0, 0.01);
    for (int ch = 0; ch < 2; ++ch) {
        Tsamplemem m(n);
        for (int32_t i = 0; i < n; ++i)
            m.smpoi()[i] = noise(gen) + sineAmp * std::sin(2.0 * M_PI * hz * i / 48000.0);
        b.push_back(std::move(m));
    }
    return b;
}

// Relative spread (standard deviation / mean) of the linear magnitudes of bins lo..hi.
double relativeSpread(const Tsamplemem& dB, int32_t lo, int32_t hi)
{
    double s = 0.0, s2 = 0.0;
    for (int32_t k = lo; k <= hi; ++k) {
        const double m = std::pow(10.0, dB.getsmAr(k) / 20.0);
        s += m;
        s2 += m * m;
    }
    const double n = hi - lo + 1, mean = s / n;
    return std::sqrt(std::max(s2 / n - mean * mean, 0.0)) / mean;
}

class FFT2DPass : public ::testing::Test {
protected:
    void start(int32_t size, int32_t window, int32_t average)
    {
        fft.SamplesFFT = size;
        fft.FFTwin = window;
        fft.AveValue = average;
        ana.bLevelmess = true;
        ana.bResultTextLeft = true;
        meas.Init(&fft, &ana, nullptr, nullptr, nullptr);
        meas.SetChannels(2, 2);
        meas.preparePasses(48000);
    }
    cFFTdat fft;
    cAnaPara ana;
    tFFT2Dmeas meas;
};

TEST_F(FFT2DPass, averagingNSpectraShrinksTheNoiseSpreadAsOneOverRootN)
{
    start(4096, 2, 1);
    ASSERT_TRUE(meas.evaluateBlocks(noiseBlocks(4096, 7)));
    const double single = relativeSpread(meas.gdata()->asdDia[0], 100, 1900);
    meas.DeInit(0);
    start(4096, 2, 16);
    for (int i = 0; i < 15; ++i)
        ASSERT_FALSE(meas.evaluateBlocks(noiseBlocks(4096, 100 + unsigned(i)))) << "pass " << i << " must not draw";
    ASSERT_TRUE(meas.evaluateBlocks(noiseBlocks(4096, 200)));
    const double averaged = relativeSpread(meas.gdata()->asdDia[0], 100, 1900);
    std::printf("noise spread: single %.4f, 16 averaged %.4f, ratio %.4f (truth 0.25)\n", single, averaged,
                averaged / single);
    // 16 spectra: a quarter of the spread, within 20 %.
    EXPECT_NEAR(averaged / single, 0.25, 0.25 * 0.2) << single << " -> " << averaged;
    meas.DeInit(0);
}

TEST_F(FFT2DPass, everySizeAndEveryWindowFindsTheSine)
{
    for (int32_t n = 64; n <= 1048576; n *= 2) {
        start(n, 2, 1);
        const double hz = 48000.0 / n * std::max(2, n / 64); // on a bin, well inside the band
        ASSERT_TRUE(meas.evaluateBlocks(noiseBlocks(n, 3, 0.5, hz))) << n;
        const Tsamplemem& s = meas.gdata()->asdDia[0];
        ASSERT_EQ(s.samples(), n / 2);
        int32_t peak = 1;
        for (int32_t k = 1; k < s.samples(); ++k)
            if (s.getsmAr(k) > s.getsmAr(peak)) peak = k;
        EXPECT_NEAR(meas.gdata()->sdX.getsmAr(peak), hz, 48000.0 / n) << "size " << n;
        meas.DeInit(0);
    }
    for (int32_t w = 0; w <= 8; ++w) {
        start(8192, w, 1);
        ASSERT_TRUE(meas.evaluateBlocks(noiseBlocks(8192, 4, 0.5, 48000.0 / 8192 * 200)));
        ASSERT_FALSE(meas.resultLines().isEmpty());
        EXPECT_TRUE(meas.resultLines().front().startsWith("Level:")) << "window " << w;
        meas.DeInit(0);
    }
}

// A measurement of its own to compare with: the same analysis settings, size and window.
struct FreshPass {
    cFFTdat fft;
    cAnaPara ana;
    tFFT2Dmeas meas;
    FreshPass(const cAnaPara& settings, int32_t n, int32_t window) : ana(settings)
    {
        fft.SamplesFFT = n;
        fft.FFTwin = window;
        meas.Init(&fft, &ana, nullptr, nullptr, nullptr);
        meas.SetChannels(2, 2);
        meas.preparePasses(48000);
    }
    ~FreshPass() { meas.DeInit(0); }
};

bool sameBits(const Tsamplemem& a, const Tsamplemem& b)
{
    return a.samples() == b.samples() &&
           std::memcmp(a.smpoi(), b.smpoi(), sizeof(double) * size_t(a.samples())) == 0;
}

// One measurement running passes of changing sizes reuses its buffers; every pass gives, bit
// for bit, what a fresh measurement gives for the same blocks: spectra, phases, time signal
// and the result text.
TEST_F(FFT2DPass, passesOfChangingSizesEqualFreshOnes)
{
    ana.bTHDmess = true;
    ana.bResultTextRight = true;
    start(8192, 2, 1);
    for (int32_t n : {8192, 4096, 4096, 16384, 8192}) {
        fft.SamplesFFT = n;
        meas.preparePasses(48000);
        const auto blocks = noiseBlocks(n, unsigned(n), 0.3, 48000.0 / n * 300);
        ASSERT_TRUE(meas.evaluateBlocks(blocks)) << n;
        FreshPass other(ana, n, fft.FFTwin);
        tFFT2Dmeas& fresh = other.meas;
        ASSERT_TRUE(fresh.evaluateBlocks(blocks));
        for (size_t ch = 0; ch < 2; ++ch) {
            EXPECT_TRUE(sameBits(meas.gdata()->asdDia[ch], fresh.gdata()->asdDia[ch])) << n;
            EXPECT_TRUE(sameBits(meas.gdata()->asdPh[ch], fresh.gdata()->asdPh[ch])) << n;
            EXPECT_TRUE(sameBits(meas.gdata()->asdZ[ch], fresh.gdata()->asdZ[ch])) << n;
        }
        EXPECT_EQ(meas.resultLines(), fresh.resultLines()) << n;
        EXPECT_EQ(meas.resultLines().size(), 2);
    }
    meas.DeInit(0);
}

// A block longer than the transform (the extra samples of the 3D mode) is kept whole as the
// time signal, and its spectrum is that of its newest samples alone; a shorter block is kept
// as well, untransformed.
TEST_F(FFT2DPass, longAndShortBlocksKeepTheWholeTimeSignal)
{
    const int32_t n = 4096, extra = 40;
    start(n, 2, 1);
    const auto longBlocks = noiseBlocks(n + extra, 11, 0.3, 48000.0 / n * 100);
    ASSERT_TRUE(meas.evaluateBlocks(longBlocks));
    std::vector<Tsamplemem> newest;
    for (const Tsamplemem& b : longBlocks)
        newest.push_back(Tsamplemem::copyPart(b, extra, n));
    FreshPass other(ana, n, fft.FFTwin);
    tFFT2Dmeas& fresh = other.meas;
    ASSERT_TRUE(fresh.evaluateBlocks(newest));
    for (size_t ch = 0; ch < 2; ++ch) {
        EXPECT_TRUE(sameBits(meas.gdata()->asdZ[ch], longBlocks[ch])) << ch;
        EXPECT_TRUE(sameBits(meas.gdata()->asdDia[ch], fresh.gdata()->asdDia[ch])) << ch;
        EXPECT_TRUE(sameBits(meas.gdata()->asdPh[ch], fresh.gdata()->asdPh[ch])) << ch;
    }
    EXPECT_EQ(meas.resultLines().front(), fresh.resultLines().front());

    const auto shortBlocks = noiseBlocks(n - 8, 12);
    meas.evaluateBlocks(shortBlocks);
    for (size_t ch = 0; ch < 2; ++ch) {
        EXPECT_TRUE(sameBits(meas.gdata()->asdZ[ch], shortBlocks[ch])) << ch;
        // The untransformed samples went on through the dB conversion and the calibration.
        Tsamplemem expected = Tsamplemem::copyPart(shortBlocks[ch], 0, n / 2);
        const Tcorri none; // the measurement's own input correction, still empty
        expected.corriFastandLog(1.0, 0.0, &meas.gdata()->sdX, true, &none);
        const Tsamplemem& got = meas.gdata()->asdDia[ch];
        ASSERT_EQ(got.samples(), expected.samples());
        const double offset = got.getsmAr(1) - expected.getsmAr(1);
        for (int32_t i = 0; i < got.samples(); ++i)
            ASSERT_NEAR(got.getsmAr(i) - expected.getsmAr(i), offset, 1e-9) << i;
        const Tsamplemem& ph = meas.gdata()->asdPh[ch];
        for (int32_t i = 0; i < ph.samples(); ++i)
            ASSERT_EQ(ph.getsmAr(i), 0.0) << "no transform, no phase: " << i;
    }
    meas.DeInit(0);
}

// Released buffers come back from makeAsd cleared (Tag and Align too) when the size fits, and
// new ones of the asked size when it does not; the lists look empty in between.
TEST(TGdataBuffers, releasedBuffersAreReusedClearedOrReplaced)
{
    TGdata g(nullptr);
    g.makeAsd(2, 1000);
    const double* first = g.asdDia[0].smpoi();
    for (auto* list : {&g.asdDia, &g.asdZ, &g.asdPh})
        for (Tsamplemem& b : *list) {
            b.fillComplete(3.5);
            b.setTag(7);
            b.setAlign(1);
        }
    g.ReleaseGMem();
    EXPECT_TRUE(g.asdDia.empty() && g.asdZ.empty() && g.asdPh.empty());
    EXPECT_FALSE(g.memalloced);
    g.makeAsd(2, 1000);
    ASSERT_EQ(g.asdDia.size(), 2u);
    bool reused = false;
    for (auto* list : {&g.asdDia, &g.asdZ, &g.asdPh})
        for (const Tsamplemem& b : *list) {
            ASSERT_EQ(b.samples(), 1000);
            EXPECT_EQ(b.tag(), 0);
            EXPECT_EQ(b.align(), 0);
            for (int32_t i = 0; i < b.samples(); ++i)
                ASSERT_EQ(b.smpoi()[i], 0.0);
            reused = reused || b.smpoi() == first;
        }
    EXPECT_TRUE(reused) << "no buffer of the same size came back";
    g.asdZ[1].fillComplete(1.0);
    g.makeAsd(3, 500); // another size: the kept ones go
    for (auto* list : {&g.asdDia, &g.asdZ, &g.asdPh}) {
        ASSERT_EQ(list->size(), 3u);
        for (const Tsamplemem& b : *list) {
            ASSERT_EQ(b.samples(), 500);
            for (int32_t i = 0; i < b.samples(); ++i)
                ASSERT_EQ(b.smpoi()[i], 0.0);
        }
    }
    g.makeAsd(1, 0);
    EXPECT_EQ(g.asdPh.size(), 1u);
    EXPECT_EQ(g.asdPh[0].samples(), 0);
    // Uncleared: a reused buffer keeps its values; new ones are owned buffers of the size.
    g.makeAsd(1, 64);
    g.asdZ[0].fillComplete(2.5);
    const double* marked = g.asdZ[0].smpoi();
    g.makeAsd(2, 64, false);
    int kept = 0;
    for (auto* list : {&g.asdDia, &g.asdZ, &g.asdPh})
        for (const Tsamplemem& b : *list) {
            ASSERT_EQ(b.samples(), 64);
            EXPECT_TRUE(b.memIsAlloc());
            if (b.smpoi() == marked) {
                ++kept;
                EXPECT_EQ(b.smpoi()[63], 2.5);
            }
        }
    EXPECT_EQ(kept, 1);
}

} // namespace
