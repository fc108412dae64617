// Tests of the JACK module, loaded the way the program loads it, measuring through a private
// JACK server (dummy driver, 48 kHz, 1024-frame blocks) that the tests start and stop themselves.
#include <soundDLLTypes.h>

#include <gtest/gtest.h>

#include "../support/jackServer.h"
#include "../support/moduleApi.h"

#include <QApplication>
#include <QByteArray>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <jack/jack.h>

#include <dirent.h>
#include <dlfcn.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <climits>
#include <cmath>
#include <complex>
#include <cstdlib>
#include <functional>
#include <iomanip>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace jacktest;
constexpr double kPi = 3.141592653589793;

// ---- the module --------------------------------------------------------------------------

const TModuleApi& api()
{
    static const TModuleApi a = loadModuleApi(VELMORA_MODULE_DIR "/libSoundJack.so");
    return a;
}

std::string errorText(int code)
{
    char16_t buf[1024] = {};
    api().errorStr(code, buf, 1024);
    return QString::fromStdU16String(buf).toStdString();
}

// Threads of this process.
int threadCount()
{
    int n = 0;
    if (DIR* d = opendir("/proc/self/task")) {
        while (dirent* e = readdir(d))
            n += e->d_name[0] != '.';
        closedir(d);
    }
    return n;
}

// Polls cond every 5 ms for at most `seconds`; true when it held.
template <class F>
bool waitFor(F cond, double seconds = 10)
{
    const auto until = Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
    while (!cond()) {
        if (Clock::now() > until)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

std::atomic<int> g_calls[5];
void proc1() { ++g_calls[1]; }
void proc2() { ++g_calls[2]; }
void proc3() { ++g_calls[3]; }
void proc4() { ++g_calls[4]; }
void countBlock(void* ctx) { ++*static_cast<std::atomic<int>*>(ctx); }
// An output filter that stalls the process thread once (80 ms, about four cycles), as a
// stand-in for a machine too busy to keep up.
std::atomic<bool> g_stall{false};
void stallOnce(double*, double*)
{
    if (g_stall.exchange(false))
        std::this_thread::sleep_for(std::chrono::milliseconds(80));
}

// Amplitude of the component at f (Hz) by a DFT at its bin; exact for whole periods in x.
double amplitude(const double* x, size_t n, double f)
{
    std::complex<double> s = 0;
    for (size_t i = 0; i < n; ++i)
        s += x[i] * std::polar(1.0, -2 * kPi * f * double(i) / kRate);
    return 2.0 * std::abs(s) / double(n);
}

double dB(double v) { return 20.0 * std::log10(v); }

// ---- a second client: gain and delay ------------------------------------------------------

// A client "gaindelay" with in_1/in_2 and out_1/out_2 that plays y[n] = gain * x[n - delay].
class GainDelayClient {
public:
    GainDelayClient(float gain, int delay) : gain_(gain), delay_(delay)
    {
        client_ = jack_client_open("gaindelay", JackNoStartServer, nullptr);
        if (!client_)
            return;
        for (int c = 0; c < 2; ++c) {
            in_[c] = jack_port_register(client_, ("in_" + std::to_string(c + 1)).c_str(), JACK_DEFAULT_AUDIO_TYPE,
                                        JackPortIsInput, 0);
            out_[c] = jack_port_register(client_, ("out_" + std::to_string(c + 1)).c_str(), JACK_DEFAULT_AUDIO_TYPE,
                                         JackPortIsOutput, 0);
            line_[c].assign(size_t(kDelayLine), 0.0f);
        }
        jack_set_process_callback(client_, process, this);
        ok_ = jack_activate(client_) == 0;
    }
    ~GainDelayClient()
    {
        if (client_)
            jack_client_close(client_);
    }
    bool ok() const { return ok_; }

private:
    static constexpr int kDelayLine = 1 << 16;
    // The server orders this client's cycle after the module's through its own shared-memory
    // futexes, which ThreadSanitizer cannot see; the port buffers are therefore left out of
    // its view here (the module's side stays instrumented).
    __attribute__((no_sanitize("thread"))) static int process(jack_nframes_t n, void* self)
    {
        auto* t = static_cast<GainDelayClient*>(self);
        for (int c = 0; c < 2; ++c) {
            const auto* x = static_cast<const float*>(jack_port_get_buffer(t->in_[c], n));
            auto* y = static_cast<float*>(jack_port_get_buffer(t->out_[c], n));
            std::vector<float>& line = t->line_[c];
            for (jack_nframes_t i = 0; i < n; ++i) {
                const uint64_t pos = t->pos_ + i;
                line[pos % kDelayLine] = x[i];
                y[i] = t->gain_ * line[(pos + kDelayLine - uint64_t(t->delay_)) % kDelayLine];
            }
        }
        t->pos_ += n;
        return 0;
    }

    jack_client_t* client_ = nullptr;
    jack_port_t* in_[2] = {};
    jack_port_t* out_[2] = {};
    std::vector<float> line_[2];
    uint64_t pos_ = 0; // process thread only
    float gain_;
    int delay_;
    bool ok_ = false;
};

// ---- fixture -------------------------------------------------------------------------------

// What one measurement found: where the generator's signal appears in the recording, and
// the recorded tone.
struct Measured {
    bool ok = false;
    long latency = -1;    // frames from the output to the recording
    double maxError = 1;  // largest |recorded - expected| over the whole recording after the latency
    double levelDFT = 0;  // dBFS of the tone (DFT at its exact bin over one second)
    double levelRMS = 0;  // dBFS from the RMS (sine peak = RMS * sqrt(2))
    long zerosBefore = 0; // recorded samples before the signal arrived that were not 0
};

class SoundJack : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(api().handle) << dlerror();
        ASSERT_TRUE(home_.isValid());
        qputenv("VELMORA_HOME", home_.path().toUtf8());
        for (auto& c : g_calls)
            c = 0;
    }
    void TearDown() override
    {
        api().setCallBack(SD_CB_CLEAR, nullptr);
        api().deinit(0);
    }
    void init(const QByteArray& ini)
    {
        QFile f(home_.path() + "/SoundJack.ini");
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(ini);
        f.close();
        ASSERT_EQ(api().init(0x100011, u"/opt/velmora/bin/velmora\0"), 0);
    }
    void registerProcs()
    {
        api().setCallBack(SD_CB_IN_STATE, reinterpret_cast<void*>(&proc1));
        api().setCallBack(SD_CB_OUT_STATE, reinterpret_cast<void*>(&proc2));
        api().setCallBack(SD_CB_IN_TEXT, reinterpret_cast<void*>(&proc3));
        api().setCallBack(SD_CB_OUT_TEXT, reinterpret_cast<void*>(&proc4));
    }
    static TwaveGO* sine(double freq, double db)
    {
        TwaveGO* go = api().outAdr(1);
        go->GenFreqL = go->GenFreqR = freq;
        go->voldB_L = go->voldB_R = db;
        go->modeL = go->modeR = 0;
        go->phaseL = go->phaseR = 0;
        go->genOnL = go->genOnR = 1;
        return go;
    }

    // Starts the input, then the output with a sine of `db` dBFS at 997 Hz, records until one
    // second of the signal plus `slack` frames are in, stops the input and compares the
    // recording of input `channel` with the sine the generator played, expected at `gain`.
    Measured measure(double db, double gain, int channel = 0, long slack = 4 * kBlock)
    {
        Measured m;
        sine(997.0, db);
        const int st = api().startIn(1);
        EXPECT_EQ(st & (SD_ST_IN_RUN | SD_ST_IN_ERR), SD_ST_IN_RUN) << errorText(st >> 16);
        EXPECT_TRUE(waitFor([] { return api().getFuture(1) > 0; })) << "nothing recorded";
        EXPECT_EQ(api().startOut(1) & SD_ST_OUT_RUN, SD_ST_OUT_RUN);
        EXPECT_TRUE(waitFor([] { return api().getFuture(3) != INT_MIN; })) << "the output never started";
        const long offset = api().getFuture(3);
        const long want = offset + kRate + slack;
        if (!waitFor([&] { return api().getFuture(1) >= want; }, 20))
            return m;
        api().startIn(0);
        // A cycle in progress may still add its block: wait until the count stays put.
        long total = api().getFuture(1);
        waitFor([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(60));
            const long now = api().getFuture(1);
            const bool same = now == total;
            total = now;
            return same;
        });
        std::vector<std::vector<double>> rec(2, std::vector<double>(size_t(total)));
        TsmView views[2] = {{rec[0].data(), int(total)}, {rec[1].data(), int(total)}};
        TsmView* ptrs[2] = {&views[0], &views[1]};
        if (api().fetch(ptrs, 1) != 1)
            return m;
        const std::vector<double>& x = rec[size_t(channel)];
        const double a = std::pow(10.0, db / 20.0);
        auto expected = [&](long k) { return double(gain * double(float(a * std::sin(2 * kPi * 997.0 * double(k) / kRate)))); };
        // The latency: the shift at which the first 4096 samples of the signal match.
        double best = 1e9;
        for (long lat = 0; lat <= 16 * kBlock && offset + lat + 4096 <= total; ++lat) {
            double err = 0;
            for (long k = 0; k < 4096 && err < best; ++k)
                err = std::max(err, std::fabs(x[size_t(offset + lat + k)] - expected(k)));
            if (err < best)
                best = err, m.latency = lat;
        }
        if (m.latency < 0)
            return m;
        const long first = offset + m.latency;
        m.maxError = 0;
        for (long i = first; i < total; ++i)
            m.maxError = std::max(m.maxError, std::fabs(x[size_t(i)] - expected(i - first)));
        for (long i = 0; i < first; ++i)
            m.zerosBefore += x[size_t(i)] != 0.0;
        m.levelDFT = dB(amplitude(&x[size_t(first)], kRate, 997.0));
        double s = 0;
        for (long i = first; i < first + kRate; ++i)
            s += x[size_t(i)] * x[size_t(i)];
        m.levelRMS = dB(std::sqrt(s / kRate) * std::sqrt(2.0));
        m.ok = true;
        api().startOut(0);
        return m;
    }

    QTemporaryDir home_;
};

TEST(SoundJackModule, ExportsAllEntryPoints)
{
    ASSERT_TRUE(api().handle) << dlerror();
    const char* const names[21] = {
        "SDInitSound", "SDDeInitSound", "SDStartSoundOut", "SDgetSoundOutAdr", "SDgetSoundInAdr",
        "SDStartSoundIn", "SDSetCallBack", "SDgetSoundStatus", "SDgetsoundDats", "SDgetwaveFormatIn",
        "SDgetwaveFormatOut", "SDsetwaveFormatIn", "SDsetwaveFormatOut", "SDSampleFreqValid", "SDSoundDlg",
        "SDDLLdescription", "SDDLLErrorStr", "SDSetFuturePara", "SDGetFuturePara", "SDgetSoundDatsPropsCH",
        "SDgetSoundDatsCH"};
    for (const char* name : names)
        EXPECT_NE(dlsym(api().handle, name), nullptr) << name;
    EXPECT_GE(api().description(nullptr, 0, SD_Q_DESCRIPTION), 416) << "older versions are refused with a message";
}

// Without a server: no devices (so start-up falls back to the virtual bench), no server is
// started, and starting says why it cannot.
TEST_F(SoundJack, NoServerNoDevicesAndAClearError)
{
    setenv("JACK_NO_START_SERVER", "1", 1);
    setenv("JACK_DEFAULT_SERVER", ("velmora-none-" + std::to_string(getpid())).c_str(), 1);
    init("");
    registerProcs();
    EXPECT_EQ(api().description(nullptr, 0, SD_Q_IN_DEVICE), 0);
    EXPECT_EQ(api().description(nullptr, 0, SD_Q_OUT_DEVICE), 0);
    EXPECT_EQ(api().status() & (SD_ST_IN_ERR | SD_ST_OUT_ERR), 0) << "no error before anything is started";
    const int st = api().startIn(1);
    EXPECT_EQ(st & (SD_ST_IN_RUN | SD_ST_IN_ERR), SD_ST_IN_ERR);
    EXPECT_NE(errorText(st >> 16).find("No JACK server"), std::string::npos) << errorText(st >> 16);
    EXPECT_GE(g_calls[3].load(), 1) << "the input text changed";
    EXPECT_EQ(g_calls[1].load(), 0) << "the input never ran";
    EXPECT_EQ(api().startOut(1) & SD_ST_OUT_RUN, 0);
    TsmView v{nullptr, 0};
    TsmView* p = &v;
    EXPECT_EQ(api().fetch(&p, 0), 0);
    EXPECT_NE(run({"jack_lsp"}), 0) << "the module must not have started a server";
}

// With a server: devices, a client with one port per channel connected to the physical ports,
// the server's format and a refused rate change with a message.
TEST_F(SoundJack, ServerGivesDevicesPortsAndFormat)
{
    JackServer server;
    ASSERT_TRUE(server.ready()) << server.log();
    init("[Client]\nInputChannels=3\n");
    registerProcs();
    EXPECT_EQ(api().description(nullptr, 0, SD_Q_IN_DEVICE), 1);
    EXPECT_EQ(api().description(nullptr, 0, SD_Q_OUT_DEVICE), 1);
    EXPECT_EQ(api().description(nullptr, 0, SD_Q_IN_DEVICE + 1), 0);
    int32_t nIn = 0, nOut = 0;
    api().channels(&nIn, &nOut);
    EXPECT_EQ(nIn, 3);
    EXPECT_EQ(nOut, 2);

    jack_client_t* probe = jack_client_open("probe", JackNoStartServer, nullptr);
    ASSERT_NE(probe, nullptr);
    for (const char* name : {"velmora:out_1", "velmora:out_2", "velmora:in_1", "velmora:in_2", "velmora:in_3"})
        EXPECT_NE(jack_port_by_name(probe, name), nullptr) << name;
    EXPECT_EQ(jack_port_by_name(probe, "velmora:out_3"), nullptr);
    jack_port_t* out1 = jack_port_by_name(probe, "velmora:out_1");
    jack_port_t* in2 = jack_port_by_name(probe, "velmora:in_2");
    jack_port_t* in3 = jack_port_by_name(probe, "velmora:in_3");
    ASSERT_TRUE(out1 && in2 && in3);
    EXPECT_TRUE(jack_port_connected_to(out1, "system:playback_1"));
    EXPECT_TRUE(jack_port_connected_to(in2, "system:capture_2"));
    EXPECT_EQ(jack_port_connected(in3), 0) << "the dummy server has only two capture ports";
    jack_client_close(probe);

    Twfs in{};
    ASSERT_EQ(api().formatIn(&in), 0);
    EXPECT_EQ(in.Wf.nSamplesPerSec, 48000u);
    EXPECT_EQ(in.Wf.wBitsPerSample, 32);
    EXPECT_EQ(in.Wf.nChannels, 3);
    EXPECT_EQ(in.Wf.SubFormat[0], 0x03) << "IEEE float";
    std::vector<char16_t> text(256);
    api().description(text.data(), 256, SD_Q_DESCRIPTION);
    EXPECT_NE(QString::fromStdU16String(text.data()).indexOf("float"), -1);
    EXPECT_EQ(api().rateValid(48000), 1);
    EXPECT_EQ(api().rateValid(44100), 0);
    Twfs want = in, got{};
    want.Wf.nSamplesPerSec = 44100;
    const int before = g_calls[3].load();
    EXPECT_EQ(api().setFormatIn(&got, want), 1);
    EXPECT_EQ(got.Wf.nSamplesPerSec, 48000u);
    EXPECT_GT(g_calls[3].load(), before);
    EXPECT_NE(errorText(33).find("runs at 48000 Hz"), std::string::npos) << errorText(33);
}

// Loopback through the server: the 997 Hz sine at -6.02 dBFS is recorded at that level, sample
// for sample, after a constant latency that is the same in a second run.
TEST_F(SoundJack, LoopbackIsSampleExactAtTheLevelPlayed)
{
    JackServer server;
    ASSERT_TRUE(server.ready()) << server.log();
    init("[Client]\nLoopback=1\n");
    std::atomic<int> blocks{0};
    SDMethod m{countBlock, &blocks};
    api().setCallBack(SD_CB_NEW_BLOCK, &m);
    const Measured a = measure(-6.02, 1.0);
    ASSERT_TRUE(a.ok);
    std::cout << std::fixed << std::setprecision(4) << "[ loopback ] latency " << a.latency << " frames, level " << a.levelDFT << " dBFS (DFT), "
              << a.levelRMS << " dBFS (RMS), largest sample error " << std::scientific << std::setprecision(2)
              << a.maxError << std::defaultfloat << "\n";
    EXPECT_NEAR(a.levelDFT, -6.02, 0.01);
    EXPECT_NEAR(a.levelRMS, -6.02, 0.01);
    // Float samples: the playback is rounded to float once; nothing else may change them.
    EXPECT_LE(a.maxError, 1e-6);
    EXPECT_EQ(a.zerosBefore, 0) << "silence before the signal arrived";
    EXPECT_GE(a.latency, 0);
    EXPECT_EQ(a.latency % kBlock, 0) << "a loop inside the server delays by whole cycles";
    EXPECT_GT(blocks.load(), kRate / kBlock) << "callback 5 announces every recorded block";

    const Measured b = measure(-6.02, 1.0);
    ASSERT_TRUE(b.ok);
    EXPECT_EQ(b.latency, a.latency) << "the latency is constant";
    EXPECT_LE(b.maxError, 1e-6);
}

// A second client between the outputs and the inputs (settings name its ports): the measured
// level and delay are that client's gain and delay.
TEST_F(SoundJack, SecondClientGainAndDelayAreMeasured)
{
    JackServer server;
    ASSERT_TRUE(server.ready()) << server.log();
    init("[Client]\nLoopback=1\n");
    const Measured loop = measure(-6.02, 1.0);
    ASSERT_TRUE(loop.ok);
    api().deinit(0);

    constexpr int kDelay = 37;
    constexpr float kGain = 0.5f; // -6.02 dB
    GainDelayClient dut(kGain, kDelay);
    ASSERT_TRUE(dut.ok());
    init("[Connections]\nOutput1=gaindelay:in_1\nOutput2=gaindelay:in_2\nInput1=gaindelay:out_1\n"
         "Input2=gaindelay:out_2\n");
    EXPECT_EQ(errorText(33), "No error.") << "every connection was made";
    const Measured m = measure(-6.02, kGain, 1);
    ASSERT_TRUE(m.ok);
    std::cout << std::fixed << std::setprecision(4) << "[ gain/delay ] latency " << m.latency << " frames (loopback " << loop.latency << "), level "
              << m.levelDFT << " dBFS\n";
    EXPECT_EQ(m.latency - loop.latency, kDelay);
    EXPECT_NEAR(m.levelDFT - loop.levelDFT, dB(kGain), 0.01);
    EXPECT_LE(m.maxError, 1e-6);
}

// The server dies mid-measurement: error bits and text, no crash or hang, the client's threads
// end; with a new server, starting again works.
TEST_F(SoundJack, ServerLossIsReportedAndStartingAgainRecovers)
{
    // A sanitizer's runtime starts a thread of its own at the first thread creation: create
    // one before counting, so that only the module's threads are counted.
    std::thread([] {}).join();
    const int threadsBefore = threadCount();
    {
        auto server = std::make_unique<JackServer>();
        ASSERT_TRUE(server->ready()) << server->log();
        init("[Client]\nLoopback=1\n");
        registerProcs();
        sine(997.0, -6.02);
        ASSERT_EQ(api().startIn(1) & SD_ST_IN_RUN, SD_ST_IN_RUN);
        ASSERT_EQ(api().startOut(1) & SD_ST_OUT_RUN, SD_ST_OUT_RUN);
        ASSERT_TRUE(waitFor([] { return api().getFuture(1) > 4 * kBlock; }));
        server->crash();
        int st = 0;
        EXPECT_TRUE(waitFor([&] {
            st = api().status();
            return (st & (SD_ST_IN_ERR | SD_ST_OUT_ERR)) == (SD_ST_IN_ERR | SD_ST_OUT_ERR);
        })) << std::hex << st;
        EXPECT_EQ(st & (SD_ST_IN_RUN | SD_ST_OUT_RUN), 0);
        EXPECT_NE(errorText(st >> 16).find("JACK server has gone away"), std::string::npos) << errorText(st >> 16);
        EXPECT_GE(g_calls[1].load(), 2) << "input started and stopped";
        EXPECT_GE(g_calls[2].load(), 2) << "output started and stopped";
        EXPECT_GE(g_calls[3].load(), 1);
        EXPECT_GE(g_calls[4].load(), 1);
        std::vector<double> buf(1024);
        TsmView v{buf.data(), 1024};
        TsmView* p = &v;
        EXPECT_EQ(api().fetch(&p, 0), 0);
        EXPECT_TRUE(waitFor([&] { return threadCount() <= threadsBefore; }))
            << threadCount() << " threads, " << threadsBefore << " before";

        // Starting without a server fails with a message and hangs nothing.
        st = api().startIn(1);
        EXPECT_EQ(st & SD_ST_IN_RUN, 0);
        EXPECT_EQ(st & SD_ST_IN_ERR, SD_ST_IN_ERR);
    }
    JackServer again;
    ASSERT_TRUE(again.ready()) << again.log();
    const Measured m = measure(-6.02, 1.0);
    ASSERT_TRUE(m.ok);
    EXPECT_EQ(api().status() & (SD_ST_IN_ERR | SD_ST_OUT_ERR), 0);
    EXPECT_NEAR(m.levelDFT, -6.02, 0.01);
    EXPECT_LE(m.maxError, 1e-6);
    api().deinit(0);
    EXPECT_TRUE(waitFor([&] { return threadCount() <= threadsBefore; })) << "the client's threads were joined";
}

// SoundJack.ini with unusable values: defaults or clamped values, a message naming the file,
// and nothing written back.
TEST_F(SoundJack, BadSettingsFileGivesDefaultsAndAMessage)
{
    JackServer server;
    ASSERT_TRUE(server.ready()) << server.log();
    const QByteArray ini = "[Client]\nName=bad:name\nInputChannels=abc\nOutputChannels=99\nLoopback=yes\n"
                           "[Connections]\nOutput1=noport\nInput1=nosuch:port\nInput2=" +
                           QByteArray(100000, 'x') + "\n";
    init(ini);
    int32_t nIn = 0, nOut = 0;
    api().channels(&nIn, &nOut);
    EXPECT_EQ(nIn, 2);
    EXPECT_EQ(nOut, 8);
    const std::string text = errorText(33);
    EXPECT_NE(text.find("SoundJack.ini"), std::string::npos) << text;
    EXPECT_NE(text.find("Name"), std::string::npos) << text;
    EXPECT_NE(text.find("InputChannels"), std::string::npos) << text;
    EXPECT_NE(text.find("nosuch:port"), std::string::npos) << "a connection that failed is named: " << text;
    EXPECT_LT(text.size(), 2000u) << "huge values are shortened in the message";
    EXPECT_EQ(api().description(nullptr, 0, SD_Q_IN_DEVICE), 1) << "the default client name was used";
    QFile f(home_.path() + "/SoundJack.ini");
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), ini) << "reading never writes";
    api().deinit(0);

    // Truncated in the middle of a line, and not UTF-8 at all.
    for (const QByteArray& bad : {QByteArray("[Client]\nInputChann"), QByteArray("[Client]\nName=\xff\xfe\x80\n")}) {
        init(bad);
        if (bad.contains('\xff')) {
            EXPECT_NE(errorText(33).find("SoundJack.ini"), std::string::npos) << "not UTF-8: " << errorText(33);
        }
        api().channels(&nIn, &nOut);
        EXPECT_EQ(nIn, 2);
        EXPECT_EQ(nOut, 2);
        EXPECT_EQ(api().description(nullptr, 0, SD_Q_OUT_DEVICE), 1);
        api().deinit(0);
    }
}

// Samples at full scale set the overload bit with their count; a stalled cycle is counted as
// an xrun in the input text.
TEST_F(SoundJack, StatusReportsOverloadAndXruns)
{
    JackServer server;
    ASSERT_TRUE(server.ready()) << server.log();
    init("[Client]\nLoopback=1\n");
    registerProcs();
    sine(997.0, 1.0); // peak 1.12: float samples keep it, so some reach full scale
    ASSERT_EQ(api().startIn(1) & SD_ST_IN_RUN, SD_ST_IN_RUN);
    ASSERT_EQ(api().startOut(1) & SD_ST_OUT_RUN, SD_ST_OUT_RUN);
    int st = 0;
    EXPECT_TRUE(waitFor([&] { return ((st = api().status()) & SD_ST_IN_OVER) != 0; })) << std::hex << st;
    EXPECT_GT(st >> 16, 0) << "the overload count of the last cycle";
    EXPECT_EQ(st & (SD_ST_IN_ERR | SD_ST_OUT_ERR), 0);

    api().setCallBack(SD_CB_OUT_FILTER, reinterpret_cast<void*>(&stallOnce));
    const int textsBefore = g_calls[3].load();
    g_stall = true;
    EXPECT_TRUE(waitFor([] {
        api().status(); // the program polls the status; that is when faults are reported
        return errorText(33).find("xrun") != std::string::npos;
    })) << errorText(33);
    EXPECT_GT(g_calls[3].load(), textsBefore) << "the input text changed";
    EXPECT_EQ(api().status() & (SD_ST_IN_RUN | SD_ST_OUT_RUN), SD_ST_IN_RUN | SD_ST_OUT_RUN) << "still running";
}

// The dialog, driven through its entry point: it lists the server's ports, and what it
// confirms is saved to SoundJack.ini and applied at once.
TEST_F(SoundJack, DialogListsPortsSavesAndApplies)
{
    static int argc = 1;
    static char name[] = "test_SoundJack";
    static char* argv[] = {name, nullptr};
    if (!qApp)
        new QApplication(argc, argv);
    JackServer server;
    ASSERT_TRUE(server.ready()) << server.log();
    init("[Client]\nName=velmora\n");
    auto runDialog = [](const std::function<void(QDialog*)>& act) {
        QTimer::singleShot(0, [act] {
            auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            ASSERT_NE(d, nullptr);
            act(d);
        });
        return api().dialog(1);
    };
    QStringList items;
    EXPECT_EQ(runDialog([&](QDialog* d) {
                  const auto boxes = d->findChildren<QComboBox*>();
                  ASSERT_FALSE(boxes.isEmpty());
                  for (int i = 0; i < boxes.front()->count(); ++i)
                      items << boxes.front()->itemText(i);
                  d->reject();
              }),
              0);
    EXPECT_TRUE(items.contains("system:playback_1")) << items.join(", ").toStdString();
    EXPECT_FALSE(items.contains("system:capture_1")) << "an output lists the ports it can play into";
    EXPECT_FALSE(QFile::exists(home_.path() + "/SoundJack.ini.bak"));
    QFile before(home_.path() + "/SoundJack.ini");
    ASSERT_TRUE(before.open(QIODevice::ReadOnly));
    EXPECT_EQ(before.readAll(), QByteArray("[Client]\nName=velmora\n")) << "cancel saves nothing";
    before.close();

    EXPECT_EQ(runDialog([](QDialog* d) {
                  const auto checks = d->findChildren<QCheckBox*>();
                  ASSERT_EQ(checks.size(), 1);
                  checks.front()->setChecked(true);
                  d->accept();
              }),
              1);
    QFile after(home_.path() + "/SoundJack.ini");
    ASSERT_TRUE(after.open(QIODevice::ReadOnly));
    EXPECT_TRUE(after.readAll().contains("Loopback=1"));
    jack_client_t* probe = jack_client_open("probe", JackNoStartServer, nullptr);
    ASSERT_NE(probe, nullptr);
    jack_port_t* out1 = jack_port_by_name(probe, "velmora:out_1");
    ASSERT_NE(out1, nullptr);
    EXPECT_TRUE(jack_port_connected_to(out1, "velmora:in_1")) << "loopback applied at once";
    EXPECT_FALSE(jack_port_connected_to(out1, "system:playback_1"));
    jack_client_close(probe);
}

} // namespace

namespace {

// The DC offset of the input record is added to what the module records (the generator is
// silent, so the recorded mean is the offset alone).
TEST_F(SoundJack, InputDCOffsetIsAddedToTheRecording)
{
    JackServer server;
    ASSERT_TRUE(server.ready()) << server.log();
    init("[Client]\nLoopback=1\n");
    EXPECT_EQ(api().status() & SD_ST_DCOFFSET, SD_ST_DCOFFSET);
    Twfs w{}, granted{};
    api().formatIn(&w);
    w.DCoffset[0] = 0.25;
    w.DCoffset[1] = -0.125;
    EXPECT_EQ(api().setFormatIn(&granted, w), 0);
    ASSERT_EQ(api().startIn(1) & SD_ST_IN_RUN, SD_ST_IN_RUN);
    ASSERT_TRUE(waitFor([] { return api().getFuture(1) >= 8192; }));
    std::vector<double> l(4096), r(4096);
    TsmView views[2] = {{l.data(), 4096}, {r.data(), 4096}};
    TsmView* ptrs[2] = {&views[0], &views[1]};
    ASSERT_EQ(api().fetch(ptrs, 1), 1);
    api().startIn(0);
    for (size_t i = 0; i < l.size(); ++i) {
        ASSERT_EQ(l[i], 0.25) << i;
        ASSERT_EQ(r[i], -0.125) << i;
    }
}

} // namespace
