// Callback 5 on the module's real-time thread while an FFT measurement runs, on the virtual bench and through a JACK server: allocations counted.
#include "analysis/AnalysePara.h"
#include "core/soundDLLImpDyn.h"
#include "measurements/tFFT2Dmeas.h"

#include "../support/jackServer.h"
#include "../support/measurementStandIns.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>

// ---- allocation counting ------------------------------------------------------------------------
// Every allocation of the process passes through these (operator new ends in malloc); they count
// the ones made inside callback 5, and the ones made on a thread that has called it, the module's
// audio thread, from its first call on. The sanitizers bring their own allocator: there the
// measurement still runs, for the thread sanitizer to watch, but nothing is counted.

#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
#define VL_COUNT_ALLOCATIONS 1

namespace {
thread_local bool t_inCallback = false;  // this thread is inside callback 5
thread_local bool t_audioThread = false; // this thread has called callback 5
std::atomic<long> g_callbackAllocs{0};   // allocations inside callback 5
std::atomic<long> g_audioAllocs{0};      // allocations on an audio thread after its first call

void countAllocation()
{
    if (t_inCallback)
        g_callbackAllocs.fetch_add(1, std::memory_order_relaxed);
    if (t_audioThread)
        g_audioAllocs.fetch_add(1, std::memory_order_relaxed);
}
} // namespace

extern "C" {
void* __libc_malloc(size_t);
void* __libc_calloc(size_t, size_t);
void* __libc_realloc(void*, size_t);
void* __libc_memalign(size_t, size_t);

void* malloc(size_t n)
{
    countAllocation();
    return __libc_malloc(n);
}
void* calloc(size_t k, size_t n)
{
    countAllocation();
    return __libc_calloc(k, n);
}
void* realloc(void* p, size_t n)
{
    countAllocation();
    return __libc_realloc(p, n);
}
void* memalign(size_t a, size_t n)
{
    countAllocation();
    return __libc_memalign(a, n);
}
void* aligned_alloc(size_t a, size_t n)
{
    countAllocation();
    return __libc_memalign(a, n);
}
int posix_memalign(void** p, size_t a, size_t n)
{
    countAllocation();
    void* r = __libc_memalign(a, n);
    if (!r)
        return ENOMEM;
    *p = r;
    return 0;
}
}
#endif

namespace {

std::atomic<long> g_calls{0}; // calls of callback 5

// Callback 5 as the measurement registered it, with the counting switched on around it.
void countedNewBlock(void*)
{
#if VL_COUNT_ALLOCATIONS
    t_audioThread = true;
    t_inCallback = true;
#endif
    const SDMethod& registered = NewBlockMethod();
    registered.code(registered.context);
#if VL_COUNT_ALLOCATIONS
    t_inCallback = false;
#endif
    g_calls.fetch_add(1, std::memory_order_relaxed);
}
SDMethod g_countedNewBlock{&countedNewBlock, nullptr};

bool writeFile(const QString& path, const QByteArray& text)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(text) == text.size();
}

class NewBlockRealtime : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        static int argc = 1;
        static char name[] = "test_newBlockRealtime";
        static char* argv[] = {name, nullptr};
        if (!QCoreApplication::instance())
            new QCoreApplication(argc, argv);
        // The modules bring the widget library with them; kept loaded, it does not come and go.
        dlopen("libQt6Widgets.so.6", RTLD_NOW | RTLD_NODELETE);
    }
    void SetUp() override
    {
        qputenv("VELMORA_HOME", home.path().toUtf8());
        resetSoundDLL();
        soundDLL().setFolder(VELMORA_MODULE_DIR);
        SetMainMsgReceiver(&pump);
        SetMainClosing(false);
        g_calls = 0;
#if VL_COUNT_ALLOCATIONS
        g_callbackAllocs = 0;
        g_audioAllocs = 0;
#endif
    }
    void TearDown() override
    {
        meas.DeInit(0);
        pump.meas = nullptr;
        SetMainMsgReceiver(nullptr);
        SetMainClosing(true);
        soundDLL().shutdown(';');
        resetSoundDLL();
    }
    bool startModule(QString name)
    {
        const TsoundStartResult r = soundDLL().startup(false, TsoundDLLImpDyn::kStartFlags, name);
        return r.action == eSoundStart::ssOK && soundDLL().readAddresses(r.count, TsoundCallbacks{});
    }
    template <class F>
    bool runUntil(F done, int timeout_ms = 30000)
    {
        QElapsedTimer t;
        t.start();
        while (!done() && t.elapsed() < timeout_ms)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        return done();
    }
    double levelFromLine() const
    {
        for (const QString& l : meas.resultLines()) {
            const auto m = QRegularExpression(R"(Level:\s*left Ch\.\s*(-?[0-9.]+))").match(l);
            if (m.hasMatch())
                return m.captured(1).toDouble();
        }
        return NAN;
    }
    // A 1 kHz sine of -20 dBFS played and measured with 8192 points until 10 spectra and 100
    // blocks went by, callback 5 counted from the first spectrum on; the level read is the one
    // played.
    void measureCounted()
    {
        fft.SamplesFFT = 8192;
        fft.FFTwin = 2;
        ana.bLevelmess = true;
        ana.bResultTextLeft = true;
        meas.setFrameResolution_ms(0);
        ASSERT_EQ(meas.Init(&fft, &ana, nullptr, nullptr, nullptr), mereOK);
        meas.SetChannels(2, 2);
        pump.meas = &meas;
        TwaveGO* go = soundDLL().waveGO();
        ASSERT_NE(go, nullptr);
        go->GenFreqL = go->GenFreqR = 1000.0;
        go->voldB_L = go->voldB_R = -20.0;
        go->modeL = go->modeR = 0;
        go->genOnL = go->genOnR = 1;
        soundDLL().SDStartSoundOut(1);
        meas.Mstart(1);
        ASSERT_TRUE(runUntil([&] { return host.packages >= 1; })) << "no spectrum at all";
        // From here the module calls the same callback with the counting around it.
        soundDLL().SDSetCallBack(SD_CB_NEW_BLOCK, &g_countedNewBlock);
        const int first = host.packages;
        ASSERT_TRUE(runUntil([&] { return host.packages >= first + 10 && g_calls.load() >= 100; }))
            << host.packages - first << " spectra, " << g_calls.load() << " calls";
        meas.Mstart(1); // stop: the callback is taken back before the counts are read
        EXPECT_NEAR(levelFromLine(), -20.0, 0.05) << meas.resultLines().join(" | ").toStdString();
    }
    void expectNothingAllocated(const char* where)
    {
#if !VL_COUNT_ALLOCATIONS
        std::printf("[ counts ] %s: %ld calls of callback 5, allocations not counted under a sanitizer\n", where,
                    g_calls.load());
#else
        std::printf("[ counts ] %s: %ld calls of callback 5, %ld allocations inside it, %ld on the audio thread\n",
                    where, g_calls.load(), g_callbackAllocs.load(), g_audioAllocs.load());
        EXPECT_EQ(g_callbackAllocs.load(), 0) << where;
        EXPECT_EQ(g_audioAllocs.load(), 0) << where;
#endif
    }

    std::unique_ptr<jacktest::JackServer> server; // stopped after TearDown let the module go
    QTemporaryDir home;
    cFFTdat fft;
    cAnaPara ana;
    FakeHost host;
    BlockPump pump;
    tFFT2Dmeas meas{&host};
};

} // namespace

TEST_F(NewBlockRealtime, onTheVirtualBenchsThreadNothingIsAllocated)
{
    ASSERT_TRUE(writeFile(home.filePath("SoundSim.ini"), "[Device]\nSampleRate=48000\nBits=32\nPacing=realtime\n"
                                                         "BlockFrames=1024\n[Model]\nKind=wire\n"));
    ASSERT_TRUE(startModule("libSoundSim.so"));
    measureCounted();
    expectNothingAllocated("virtual bench");
}

TEST_F(NewBlockRealtime, onTheJackProcessThreadNothingIsAllocated)
{
    server = std::make_unique<jacktest::JackServer>();
    ASSERT_TRUE(server->ready()) << server->log();
    ASSERT_TRUE(writeFile(home.filePath("SoundJack.ini"), "[Client]\nLoopback=1\n"));
    ASSERT_TRUE(startModule("libSoundJack.so"));
    measureCounted();
    expectNothingAllocated("JACK");
}
