// Tests of the virtual bench module, loaded the way the program loads it, through its entry points.
#include <soundDLLTypes.h>

#include <gtest/gtest.h>

#include "../support/moduleApi.h"

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>

#include <dlfcn.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <cmath>
#include <complex>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr double kPi = 3.141592653589793;

const char* const kEntryPoints[21] = {
    "SDInitSound", "SDDeInitSound", "SDStartSoundOut", "SDgetSoundOutAdr", "SDgetSoundInAdr",
    "SDStartSoundIn", "SDSetCallBack", "SDgetSoundStatus", "SDgetsoundDats", "SDgetwaveFormatIn",
    "SDgetwaveFormatOut", "SDsetwaveFormatIn", "SDsetwaveFormatOut", "SDSampleFreqValid", "SDSoundDlg",
    "SDDLLdescription", "SDDLLErrorStr", "SDSetFuturePara", "SDGetFuturePara", "SDgetSoundDatsPropsCH",
    "SDgetSoundDatsCH"};

// The module's entry points, bound once for the whole test program.
const TModuleApi& api()
{
    static const TModuleApi a = loadModuleApi(VELMORA_MODULE_DIR "/libSoundSim.so");
    return a;
}

std::u16string describe(int code, int maxLen = 256)
{
    std::vector<char16_t> buf(size_t(maxLen) + 8, u'#');
    api().description(buf.data(), maxLen, code);
    return std::u16string(buf.data());
}

std::u16string errorText(int code)
{
    char16_t buf[512] = {};
    api().errorStr(code, buf, 512);
    return buf;
}

// Amplitude of the component at f (Hz) by correlation; exact for whole periods in x.
double amplitude(const std::vector<double>& x, double f, double rate)
{
    std::complex<double> s = 0;
    for (size_t n = 0; n < x.size(); ++n)
        s += x[n] * std::polar(1.0, -2 * kPi * f * double(n) / rate);
    return 2.0 * std::abs(s) / double(x.size());
}

double dB(double v) { return 20.0 * std::log10(v); }

double rms(const std::vector<double>& x)
{
    double s = 0;
    for (double v : x)
        s += v * v;
    return std::sqrt(s / double(x.size()));
}

// Counts calls of the callbacks the program registers (ids 1..5); the procedures have no
// arguments, so they count into globals.
std::atomic<int> g_calls[6];
void proc1() { ++g_calls[1]; }
void proc2() { ++g_calls[2]; }
void proc3() { ++g_calls[3]; }
void proc4() { ++g_calls[4]; }
void onBlock(void* ctx) { ++*static_cast<std::atomic<int>*>(ctx); }
void halve(double* l, double* r) { *l *= 0.5, *r *= 0.5; }
void poison(double* l, double*) { *l = std::nan(""); }

class SoundSim : public ::testing::Test {
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
    QString iniPath() const { return home_.path() + "/SoundSim.ini"; }
    void init(const QByteArray& ini)
    {
        QFile f(iniPath());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(ini);
        f.close();
        ASSERT_EQ(api().init(0x100011, u"/opt/velmora/bin/velmora\0"), 0);
    }
    void initFast(int block, const QByteArray& more = {})
    {
        init("[Device]\nPacing=fast\nBlockFrames=" + QByteArray::number(block) + "\n" + more);
    }
    // Sets both generator channels to a sine (mode 0) or another mode.
    TwaveGO* generator(double freq, double db, int mode = 0)
    {
        TwaveGO* go = api().outAdr(1);
        go->GenFreqL = go->GenFreqR = freq;
        go->voldB_L = go->voldB_R = db;
        go->modeL = go->modeR = mode;
        go->genOnL = go->genOnR = 1;
        return go;
    }
    void start()
    {
        EXPECT_EQ(api().startOut(1) & SD_ST_OUT_RUN, SD_ST_OUT_RUN);
        EXPECT_EQ(api().startIn(1) & 9, 1);
    }
    // One fetch of n samples per channel; waits for new data (at most 5 s).
    bool fetchOnce(std::vector<std::vector<double>>& ch, int n)
    {
        std::vector<TsmView> views(ch.size());
        std::vector<TsmView*> ptrs;
        for (size_t c = 0; c < ch.size(); ++c) {
            ch[c].assign(size_t(n), 0.0);
            views[c] = {ch[c].data(), n};
            ptrs.push_back(&views[c]);
        }
        const auto until = Clock::now() + std::chrono::seconds(5);
        while (Clock::now() < until) {
            if (api().fetch(ptrs.data(), int(ptrs.size()) - 1))
                return true;
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        return false;
    }
    // Concatenates `blocks` fetches of `block` samples of `channels` inputs.
    std::vector<std::vector<double>> record(int blocks, int block, int channels = 2)
    {
        std::vector<std::vector<double>> all(static_cast<size_t>(channels)), part(all);
        for (int b = 0; b < blocks; ++b) {
            EXPECT_TRUE(fetchOnce(part, block)) << "block " << b;
            for (int c = 0; c < channels; ++c)
                all[size_t(c)].insert(all[size_t(c)].end(), part[size_t(c)].begin(), part[size_t(c)].end());
        }
        return all;
    }

    QTemporaryDir home_; // VELMORA_HOME of the test
};

TEST(SoundSimModule, ExportsAllEntryPoints)
{
    ASSERT_TRUE(api().handle) << dlerror();
    for (const char* name : kEntryPoints)
        EXPECT_NE(dlsym(api().handle, name), nullptr) << name;
}

TEST_F(SoundSim, DescriptionsNamesAndVersion)
{
    init("");
    EXPECT_EQ(api().description(nullptr, 0, SD_Q_DESCRIPTION), 500);
    EXPECT_EQ(describe(SD_Q_DESCRIPTION), u"Virtual bench");
    EXPECT_EQ(api().description(nullptr, 0, SD_Q_VERSION), 500);
    EXPECT_EQ(describe(SD_Q_VERSION), u"5.00");
    EXPECT_EQ(api().description(nullptr, 0, SD_Q_IN_DEVICE), 1);
    EXPECT_EQ(api().description(nullptr, 0, SD_Q_OUT_DEVICE), 1);
    EXPECT_EQ(api().description(nullptr, 0, SD_Q_IN_DEVICE + 1), 0);
    EXPECT_EQ(api().description(nullptr, 0, SD_Q_OUT_DEVICE + 1), 0);
    EXPECT_EQ(describe(SD_Q_IN_DEVICE), u"Virtual bench");
    EXPECT_EQ(describe(SD_Q_IN_DEVICE + 1), u"");
    const std::u16string file = describe(SD_Q_FILENAME, 1024);
    EXPECT_TRUE(file.size() > 14 && file.ends_with(u"/libSoundSim.so"));
    EXPECT_EQ(describe(SD_Q_IN_CHANNEL(0)), u"aIn 1");
    EXPECT_EQ(describe(SD_Q_IN_CHANNEL(1)), u"aIn 2");
    EXPECT_EQ(describe(SD_Q_IN_CHANNEL(2)), u"");
    EXPECT_EQ(describe(SD_Q_OUT_CHANNEL(1)), u"aOut 2");
    EXPECT_EQ(describe(SD_Q_DESCRIPTION, 4), u"Vir") << "the limit includes the terminating NUL";
    EXPECT_EQ(errorText(0x7001), u"Sound IO(DLL) not available");
}

TEST_F(SoundSim, WaveFormatRecordsAndRateChange)
{
    init("[Device]\nBits=16\nInputChannels=3\n");
    Twfs in{}, out{};
    ASSERT_EQ(api().formatIn(&in), 0);
    ASSERT_EQ(api().formatOut(&out), 0);
    EXPECT_EQ(std::u16string(in.name), u"Virtual bench");
    EXPECT_EQ(in.Wf.wFormatTag, 0xFFFE);
    EXPECT_EQ(in.Wf.nSamplesPerSec, 48000u);
    EXPECT_EQ(in.Wf.nChannels, 3);
    EXPECT_EQ(out.Wf.nChannels, 2);
    EXPECT_EQ(in.Wf.samples, 16);
    EXPECT_EQ(in.Wf.nBlockAlign, 6);
    EXPECT_EQ(in.Wf.nAvgBytesPerSec, 48000u * 6);
    int32_t nIn = 0, nOut = 0;
    api().channels(&nIn, &nOut);
    EXPECT_EQ(nIn, 3);
    EXPECT_EQ(nOut, 2);

    Twfs result{};
    Twfs want = in;
    want.Wf.nSamplesPerSec = 96000;
    EXPECT_EQ(api().setFormatIn(&result, want), 0);
    EXPECT_EQ(result.Wf.nSamplesPerSec, 96000u);
    api().formatOut(&out);
    EXPECT_EQ(out.Wf.nSamplesPerSec, 96000u) << "both directions share the rate";
    want.Wf.nSamplesPerSec = 12345;
    EXPECT_NE(api().setFormatIn(&result, want), 0);
    EXPECT_EQ(result.Wf.nSamplesPerSec, 96000u);
    EXPECT_EQ(api().rateValid(44100), 1);
    EXPECT_EQ(api().rateValid(22050), 0);

    int32_t first = 0, second = 0;
    EXPECT_EQ(api().soundDats(&first, &second, nullptr), 0);
    EXPECT_EQ(first, 2);
    EXPECT_EQ(second, 8);
}

TEST_F(SoundSim, FloatFormatIsMarkedBySubFormat)
{
    init("[Device]\nBits=32\n");
    Twfs in{};
    api().formatIn(&in);
    EXPECT_EQ(in.Wf.wFormatTag, 0xFFFE);
    EXPECT_EQ(in.Wf.wBitsPerSample, 32);
    EXPECT_EQ(in.Wf.SubFormat[0], 3) << "IEEE float GUID";
    EXPECT_EQ(in.Wf.SubFormat[15], 0x71);
}

// A 997 Hz sine has whole periods in one second at 48 kHz, so the correlation is exact.
TEST_F(SoundSim, WireGainGivesExactLevelAndFrequency)
{
    initFast(4800, "[Model]\nKind=wire\nGain_dB=-3\n");
    generator(997, -6);
    start();
    auto rec = record(10, 4800);
    for (const auto& ch : rec) {
        EXPECT_NEAR(dB(amplitude(ch, 997, 48000)), -9.0, 0.01);
        EXPECT_LT(amplitude(ch, 996, 48000), 1e-6) << "no energy one bin away";
    }
}

TEST_F(SoundSim, WireDelayAndCrosstalk)
{
    const int delay = 37;
    initFast(1024, "[Model]\nDelay_samples=37\nCrosstalk_dB=-40\n");
    TwaveGO* go = generator(1000, -6);
    go->genOnR = 0;
    start();
    auto rec = record(47, 1024); // 1.0027 s
    const double a = std::pow(10.0, -6.0 / 20.0), lsb = std::ldexp(1.0, -23);
    for (int n = 0; n < 2 * delay; ++n) {
        const double want = n < delay ? 0.0 : a * std::sin(2 * kPi * 1000.0 * (n - delay) / 48000.0);
        ASSERT_NEAR(rec[0][size_t(n)], want, lsb) << "sample " << n;
    }
    rec[0].resize(48000);
    rec[1].resize(48000);
    EXPECT_NEAR(dB(amplitude(rec[1], 1000, 48000) / amplitude(rec[0], 1000, 48000)), -40.0, 0.01);
}

// The output started a few blocks after the input: the module says in which recorded frame
// the generator's first sample lies (future parameter 3), and the recording agrees to the
// sample; unknown (INT_MIN) while the output has not played since it was switched on.
TEST_F(SoundSim, OutputStartIsReportedInRecordedFrames)
{
    initFast(1024, "[Model]\nDelay_samples=37\n");
    generator(1000, -6);
    ASSERT_EQ(api().startIn(1) & 9, 1);
    auto rec = record(2, 1024);
    EXPECT_EQ(api().getFuture(3), INT_MIN);
    ASSERT_EQ(api().startOut(1) & SD_ST_OUT_RUN, SD_ST_OUT_RUN);
    const auto until = Clock::now() + std::chrono::seconds(5);
    while (api().getFuture(3) == INT_MIN && Clock::now() < until) {
        auto more = record(1, 1024);
        for (int c = 0; c < 2; ++c)
            rec[size_t(c)].insert(rec[size_t(c)].end(), more[size_t(c)].begin(), more[size_t(c)].end());
    }
    const int at = api().getFuture(3);
    ASSERT_NE(at, INT_MIN);
    EXPECT_GE(at, 2048);
    EXPECT_EQ(at % 1024, 0) << "the output starts with a block";
    // fast pacing: the fetches are the recording from its first frame, block after block
    auto tail = record(2, 1024);
    std::vector<double> all = rec[0];
    all.insert(all.end(), tail[0].begin(), tail[0].end());
    const double a = std::pow(10.0, -6.0 / 20.0), lsb = std::ldexp(1.0, -23);
    const int first = at + 37;
    ASSERT_LT(first + 100, int(all.size()));
    for (int n = 0; n < first; ++n)
        ASSERT_EQ(all[size_t(n)], 0.0) << "frame " << n;
    for (int n = first; n < first + 100; ++n)
        ASSERT_NEAR(all[size_t(n)], a * std::sin(2 * kPi * 1000.0 * (n - first) / 48000.0), lsb) << n;
    // output off and on again: unknown until it plays, then a later frame
    api().startOut(0);
    EXPECT_EQ(api().getFuture(3), at);
    api().startOut(1);
    EXPECT_EQ(api().getFuture(3), INT_MIN);
    record(2, 1024);
    const int later = api().getFuture(3);
    EXPECT_GT(later, at);
    // a new recording while the generator still plays: it started before the recording did;
    // once stopped, a new recording holds no start of it
    api().startIn(0);
    ASSERT_EQ(api().startIn(1) & 9, 1);
    record(1, 1024);
    EXPECT_LT(api().getFuture(3), 0);
    EXPECT_NE(api().getFuture(3), INT_MIN);
    api().startOut(0);
    api().startIn(0);
    ASSERT_EQ(api().startIn(1) & 9, 1);
    record(1, 1024);
    EXPECT_EQ(api().getFuture(3), INT_MIN);
}

TEST_F(SoundSim, NoiseLevels)
{
    initFast(65536, "[Model]\nNoise_dBFS=-40\n");
    generator(1000, -192);
    start();
    auto floor = record(2, 65536);
    for (const auto& ch : floor)
        EXPECT_NEAR(dB(rms(ch)), -40.0, 0.5);

    // White noise from the generator: level = peak of a uniform noise, RMS 4.77 dB below.
    api().deinit(0);
    initFast(65536);
    generator(0, -6, 2);
    start();
    auto white = record(2, 65536);
    const double peak = std::pow(10.0, -6.0 / 20.0);
    double maxAbs = 0;
    for (double v : white[0])
        maxAbs = std::max(maxAbs, std::fabs(v));
    EXPECT_LE(maxAbs, peak + 1e-6);
    EXPECT_GT(maxAbs, 0.999 * peak);
    EXPECT_NEAR(dB(rms(white[0])), -6.0 - 4.771, 0.05);
    EXPECT_NE(white[0], white[1]) << "channels get independent noise";
}

TEST_F(SoundSim, QuantisationToTheBitDepth)
{
    for (int bits : {16, 24, 32}) {
        SCOPED_TRACE(bits);
        initFast(1000, "Bits=" + QByteArray::number(bits) + "\n");
        generator(1234.5, -3.3);
        start();
        auto rec = record(2, 1000);
        const double a = std::pow(10.0, -3.3 / 20.0), step = std::ldexp(1.0, 1 - bits);
        for (size_t n = 0; n < rec[0].size(); ++n) {
            const double x = a * std::sin(2 * kPi * 1234.5 * double(n) / 48000.0);
            const double got = rec[0][n];
            if (bits == 32) {
                ASSERT_EQ(got, double(float(got))) << n;
                ASSERT_NEAR(got, x, 1e-7) << n;
            } else {
                ASSERT_EQ(got / step, std::round(got / step)) << "on the grid, sample " << n;
                ASSERT_LE(std::fabs(got - x), step / 2 + 1e-12) << n;
            }
        }
        api().deinit(0);
    }
}

// At a quarter of the sample rate the sine's samples are 0, +A, 0, -A exactly.
TEST_F(SoundSim, OverloadBitCountAndClamp)
{
    initFast(1024, "Bits=16\n");
    TwaveGO* go = generator(12000, 6.0);
    start();
    auto rec = record(1, 1024);
    const int st = api().status();
    EXPECT_TRUE(st & SD_ST_IN_OVER);
    EXPECT_EQ(st >> 16, 1024) << "512 samples at +-2 in each of two channels";
    const auto [lo, hi] = std::minmax_element(rec[0].begin(), rec[0].end());
    EXPECT_EQ(*hi, 32767.0 / 32768.0);
    EXPECT_EQ(*lo, -1.0);

    go->voldB_L = go->voldB_R = -6.0;
    record(3, 1024);
    EXPECT_EQ(api().status() & SD_ST_IN_OVER, 0);
}

TEST_F(SoundSim, OutputFilterCallback)
{
    initFast(4800);
    generator(1000, -6);
    api().setCallBack(SD_CB_OUT_TEXT, reinterpret_cast<void*>(&proc4));
    api().setCallBack(SD_CB_OUT_FILTER, reinterpret_cast<void*>(&halve));
    start();
    auto rec = record(10, 4800);
    EXPECT_NEAR(dB(amplitude(rec[0], 1000, 48000)), -12.02, 0.01);
    EXPECT_NEAR(dB(amplitude(rec[1], 1000, 48000)), -12.02, 0.01);

    // A filter that returns NaN: silence is played and an output error reported.
    api().setCallBack(SD_CB_OUT_FILTER, reinterpret_cast<void*>(&poison));
    record(3, 4800);
    auto bad = record(1, 4800);
    for (double v : bad[0])
        ASSERT_EQ(v, 0.0);
    const int st = api().status();
    EXPECT_TRUE(st & SD_ST_OUT_ERR);
    EXPECT_EQ(st >> 16, 3);
    EXPECT_GE(g_calls[4].load(), 1);
    EXPECT_NE(errorText(3).find(u"not numbers"), std::u16string::npos);
    EXPECT_EQ(api().startIn(1) & 9, 1) << "an output fault does not fail the input";
}

TEST_F(SoundSim, FastPacingIsContiguousAndBlockSizeIndependent)
{
    initFast(256);
    generator(440, -1);
    start();
    auto rec = record(16, 256);
    const double a = std::pow(10.0, -1.0 / 20.0);
    for (size_t n = 0; n < rec[0].size(); ++n)
        ASSERT_NEAR(rec[0][n], a * std::sin(2 * kPi * 440.0 * double(n) / 48000.0), 2e-7) << n;
    // The next block follows the fetch, and no other until the next fetch.
    const auto until = Clock::now() + std::chrono::seconds(5);
    while (api().getFuture(1) < 17 * 256 && Clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(api().getFuture(1), 17 * 256);

    std::vector<std::vector<double>> runs[2];
    const int sizes[2] = {256, 1024};
    for (int i = 0; i < 2; ++i) {
        api().deinit(0);
        initFast(sizes[i], "Seed=7\n[Model]\nNoise_dBFS=-50\nDelay_samples=300\n");
        generator(0, -20, 2);
        start();
        runs[i] = record(4096 / sizes[i], sizes[i]);
    }
    EXPECT_EQ(runs[0], runs[1]) << "bit-identical for block sizes 256 and 1024";
}

TEST_F(SoundSim, RealtimePacingCallsBackAndStopsCallingWhenCleared)
{
    init("[Device]\nBlockFrames=256\n");
    generator(1000, -10);
    std::atomic<int> blocks{0};
    SDMethod m{&onBlock, &blocks};
    api().setCallBack(SD_CB_NEW_BLOCK, &m);
    start();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_GE(blocks.load(), 3) << "about 56 blocks are due; only that some came is asserted";
    std::vector<std::vector<double>> ch(2);
    EXPECT_TRUE(fetchOnce(ch, 4096));
    EXPECT_GT(api().getFuture(1), 0);

    api().setCallBack(SD_CB_NEW_BLOCK, nullptr);
    const int after = blocks.load();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(blocks.load(), after) << "no call after clearing returned";
}

// The audio thread sleeps a whole block at a time; stopping wakes it at once, however long the
// block (here 1.49 s).
TEST_F(SoundSim, StoppingDoesNotWaitForALongBlock)
{
    init("[Device]\nSampleRate=44100\nBlockFrames=65536\n");
    generator(1000, -10);
    start();
    std::this_thread::sleep_for(std::chrono::milliseconds(50)); // the first block is produced
    const auto t0 = std::chrono::steady_clock::now();
    api().deinit(1);
    EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(700));
    EXPECT_EQ(api().status() & 0x3, 0);
}

TEST_F(SoundSim, StartStopDeinitSequences)
{
    api().setCallBack(SD_CB_IN_STATE, reinterpret_cast<void*>(&proc1));
    api().setCallBack(SD_CB_OUT_STATE, reinterpret_cast<void*>(&proc2));
    api().setCallBack(SD_CB_IN_TEXT, reinterpret_cast<void*>(&proc3));
    init("");
    EXPECT_EQ(g_calls[3].load(), 1) << "init announces the input format";
    EXPECT_EQ(api().startIn(1) & 9, 1);
    EXPECT_EQ(api().startIn(1) & 9, 1);
    EXPECT_EQ(g_calls[1].load(), 1) << "a second start is no state change";
    api().startOut(1);
    EXPECT_EQ(api().status() & 0x3, 0x3);
    EXPECT_EQ(api().startIn(0) & 0x3, SD_ST_OUT_RUN);
    EXPECT_EQ(g_calls[1].load(), 2);

    api().startIn(1);
    api().deinit(1); // while running
    EXPECT_EQ(api().status() & 0x3, 0);
    EXPECT_EQ(g_calls[1].load(), 4);
    EXPECT_EQ(g_calls[2].load(), 2);

    api().setCallBack(SD_CB_CLEAR, nullptr);
    init("");
    EXPECT_EQ(api().startIn(1) & 9, 1) << "usable again after deinit";
    api().startIn(0);
    EXPECT_EQ(g_calls[1].load(), 4) << "cleared callbacks are not called";
    EXPECT_EQ(g_calls[3].load(), 1);
}

TEST_F(SoundSim, UnsupportedGeneratorModeIsSilentAndSaysSo)
{
    initFast(1024);
    api().setCallBack(SD_CB_OUT_TEXT, reinterpret_cast<void*>(&proc4));
    generator(1000, -6, 9);
    start();
    auto rec = record(2, 1024);
    EXPECT_EQ(rms(rec[0]), 0.0);
    EXPECT_GE(g_calls[4].load(), 1);
    EXPECT_NE(errorText(34).find(u"mode 9"), std::u16string::npos);
    EXPECT_EQ(api().status() & (SD_ST_IN_ERR | SD_ST_OUT_ERR), 0) << "a notice, not an error";
}

TEST_F(SoundSim, LongAcquisitionsGrowTheRingOrFailClearly)
{
    initFast(65536);
    generator(1000, -6);
    start();
    std::vector<std::vector<double>> ch(1);
    EXPECT_TRUE(fetchOnce(ch, 300000)) << "the ring grows to hold the request";
    EXPECT_NEAR(dB(amplitude(std::vector<double>(ch[0].begin(), ch[0].begin() + 48000), 1000, 48000)), -6.0, 0.01);

    ch[0].assign(size_t(1) << 23, 0.0);
    TsmView v{ch[0].data(), int(ch[0].size())};
    TsmView* p = &v;
    EXPECT_EQ(api().fetch(&p, 0), 0);
    const int st = api().status();
    EXPECT_TRUE(st & SD_ST_IN_ERR);
    EXPECT_EQ(st >> 16, 2);
    EXPECT_NE(errorText(2).find(u"longer"), std::u16string::npos);
    EXPECT_EQ(ch[0][0], 0.0) << "nothing written on failure";
}

struct BadIni {
    const char* what;
    QByteArray text;
    int rate, bits, in, out;
};

TEST_F(SoundSim, BadSettingsFilesGiveClampedDefaults)
{
    QByteArray utf16("\xFF\xFE", 2);
    for (char c : QByteArray("[Device]\nSampleRate=96000\n"))
        utf16 += QByteArray(1, c) + QByteArray(1, '\0');
    QByteArray binary;
    for (int i = 0; i < 4096; ++i)
        binary += char((i * 7919) & 0xFF);
    const BadIni cases[] = {
        {"empty", "", 48000, 24, 2, 2},
        {"out of range", "[Device]\nSampleRate=44101\nBits=20\nInputChannels=99\nOutputChannels=0\n", 48000, 24, 8, 1},
        {"huge", "[Device]\nSampleRate=1e300\nBits=99999999999999999999\nInputChannels=-9e18\nOutputChannels=4e9\n",
         48000, 24, 1, 8},
        {"not numbers", "[Device]\nSampleRate=fast\nBits=sixteen\nInputChannels=\nOutputChannels=nan\n", 48000, 24, 2, 2},
        {"truncated", "[Device]\nSampleRate=44100\nBits=16\nInputCha", 44100, 16, 2, 2},
        {"section cut", "[Devi", 48000, 24, 2, 2},
        {"utf-16", utf16, 48000, 24, 2, 2},
        {"binary", binary, 48000, 24, 2, 2},
    };
    for (const BadIni& c : cases) {
        SCOPED_TRACE(c.what);
        init(c.text);
        Twfs in{};
        api().formatIn(&in);
        int32_t nIn = 0, nOut = 0;
        api().channels(&nIn, &nOut);
        EXPECT_EQ(int(in.Wf.nSamplesPerSec), c.rate);
        EXPECT_EQ(in.Wf.samples, c.bits);
        EXPECT_EQ(nIn, c.in);
        EXPECT_EQ(nOut, c.out);
        QFile f(iniPath());
        if (f.open(QIODevice::ReadOnly)) {
            EXPECT_EQ(f.readAll(), c.text) << "reading never rewrites the file";
        }
        api().deinit(0);
    }
    // An unreadable file is reported to the user through the input notice.
    init(binary);
    EXPECT_NE(errorText(33), u"No error.");
}

TEST_F(SoundSim, BlockSizeAndModelValuesAreClamped)
{
    for (auto [text, want] : {std::pair{"10", 64}, {"1e12", 65536}, {"abc", 1024}}) {
        SCOPED_TRACE(text);
        init(QByteArray("[Device]\nPacing=fast\nBlockFrames=") + text + "\n");
        generator(1000, -6);
        start();
        const auto until = Clock::now() + std::chrono::seconds(5);
        while (api().getFuture(1) == 0 && Clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        EXPECT_EQ(api().getFuture(1), want) << "the first block holds BlockFrames samples";
        api().deinit(0);
    }
    initFast(4800, "[Model]\nGain_dB=loud\nDelay_samples=-5\nNoise_dBFS=1e999\n");
    generator(1000, -6);
    start();
    auto rec = record(10, 4800);
    EXPECT_NEAR(dB(amplitude(rec[0], 1000, 48000)), -6.0, 0.01) << "defaults: 0 dB, no delay, no noise";
    EXPECT_NEAR(rec[0][12], std::pow(10.0, -6.0 / 20.0), 1e-6) << "peak of the first period, undelayed";
}

TEST_F(SoundSim, UnknownModelKindFallsBackToWire)
{
    api().setCallBack(SD_CB_IN_TEXT, reinterpret_cast<void*>(&proc3));
    initFast(4800, "[Model]\nKind=Tape deck\nGain_dB=-10\n");
    EXPECT_GE(g_calls[3].load(), 1);
    EXPECT_NE(errorText(33).find(u"tape deck"), std::u16string::npos);
    generator(1000, -6);
    start();
    auto rec = record(10, 4800);
    EXPECT_NEAR(dB(amplitude(rec[0], 1000, 48000)), -16.0, 0.01);
    EXPECT_EQ(api().dialog(0), 0) << "no dialog without a QApplication";
}

// Run under ThreadSanitizer: realtime blocks while this thread fetches and changes the
// generator, the callbacks and the format.
TEST_F(SoundSim, RealtimeConcurrentFetchAndChanges)
{
    init("[Device]\nBlockFrames=64\n[Model]\nNoise_dBFS=-60\n");
    TwaveGO* go = generator(1000, -10);
    std::atomic<int> blocks{0};
    start();
    int delivered = 0;
    std::vector<std::vector<double>> ch(2, std::vector<double>(2048));
    TsmView views[2] = {{ch[0].data(), 2048}, {ch[1].data(), 2048}};
    TsmView* ptrs[2] = {&views[0], &views[1]};
    const auto until = Clock::now() + std::chrono::milliseconds(400);
    for (int i = 0; Clock::now() < until; ++i) {
        go->GenFreqL = 500.0 + i % 1000;
        go->voldB_R = -20.0 - i % 10;
        go->modeL = (i / 50) % 2 ? 2 : 0;
        SDMethod m{&onBlock, &blocks}; // a temporary: the module must copy it
        api().setCallBack(SD_CB_NEW_BLOCK, i % 3 ? &m : nullptr);
        api().setCallBack(SD_CB_OUT_FILTER, i % 2 ? reinterpret_cast<void*>(&halve) : nullptr);
        if (i % 100 == 50)
            api().startOut(0), api().startOut(1);
        if (i == 200) {
            Twfs in{}, result{};
            api().formatIn(&in);
            in.Wf.nSamplesPerSec = 44100;
            EXPECT_EQ(api().setFormatIn(&result, in), 0);
        }
        delivered += api().fetch(ptrs, 1);
        api().status();
        std::this_thread::sleep_for(std::chrono::microseconds(300));
    }
    EXPECT_GT(blocks.load(), 0);
    EXPECT_GT(delivered, 0);
    EXPECT_EQ(api().status() & 3, 3);
}

} // namespace

namespace {
double mean(const std::vector<double>& x)
{
    double s = 0.0;
    for (double v : x)
        s += v;
    return s / double(x.size());
}
} // namespace

// The bench's input adds a DC offset; the input record's correction (set through
// SDsetwaveFormatIn) or the automatic removal takes it off what is recorded.
TEST_F(SoundSim, InputDCOffsetIsRemovedByTheCorrectionAndByAutoMode)
{
    const double dc = 0.0015;
    initFast(4800, "Bits=32\n[Model]\nKind=amplifier\n[Amplifier]\nInputDC_FS=0.0015\n");
    EXPECT_EQ(api().status() & SD_ST_DCOFFSET, SD_ST_DCOFFSET) << "the menu item is enabled by it";
    generator(1000, -6);
    start();
    EXPECT_NEAR(mean(record(4, 4800)[0]), dc, 1e-7) << "uncorrected, 100 whole periods per block";
    api().startIn(0);

    Twfs w{}, result{};
    api().formatIn(&w);
    w.DCoffset[0] = w.DCoffset[1] = -dc;
    ASSERT_EQ(api().setFormatIn(&result, w), 0);
    EXPECT_EQ(result.DCoffset[0], -dc);
    api().startIn(1);
    for (const auto& ch : record(4, 4800)) {
        EXPECT_LT(std::fabs(mean(ch)), 1e-6);
        EXPECT_NEAR(dB(amplitude(ch, 1000, 48000)), -6.0, 0.001) << "the tone is untouched";
    }
    api().startIn(0);

    w.DCoffset[0] = w.DCoffset[1] = 0.0;
    w.DCoffsetAuto = 1;
    api().setFormatIn(&result, w);
    api().startIn(1);
    for (const auto& ch : record(4, 4800))
        EXPECT_LT(std::fabs(mean(ch)), 1e-6) << "automatic removal";
}
