// Tests of the virtual bench's generator: modes recorded back through the wire model, errors
// and notices as the program sees them, and the capability bits.
#include <TSimDevice.h>
#include <TSimModel.h>

#include "../support/simRecording.h"

#include <dsp/Tsamplemem.h>

#include <gtest/gtest.h>

#include <sndfile.h>

#include <chrono>
#include <cmath>
#include <complex>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr double kPi = 3.141592653589793;
using Channels = std::vector<std::vector<double>>;

double amp(double db) {
    return std::pow(10.0, db / 20.0);
}

template <size_t N> void setText(char (&dst)[N], const std::string& s) {
    std::memset(dst, 0, N);
    std::memcpy(dst, s.data(), std::min(s.size(), N - 1));
}

// Amplitude of the component at f (Hz) by correlation; exact for whole periods in x.
double amplitudeAt(const std::vector<double>& x, double f, double rate) {
    std::complex<double> s = 0;
    for (size_t n = 0; n < x.size(); ++n)
        s += x[n] * std::polar(1.0, -2 * kPi * f * double(n) / rate);
    return 2.0 * std::abs(s) / double(x.size());
}

bool silent(const std::vector<double>& x) {
    return std::all_of(x.begin(), x.end(), [](double v) { return v == 0.0; });
}

std::atomic<int> g_outText{0};
void onOutText() {
    ++g_outText;
}
void halve(double* l, double* r) {
    *l *= 0.5, *r *= 0.5;
}

// A bench in fast pacing with float recording (no quantisation) and a wire of given gain and
// delay.
class SimGenerator : public ::testing::Test {
protected:
    void init(int block, double gainDb = 0.0, int delay = 0) {
        TSimSettings s;
        s.pacing = TSimPacing::fast;
        s.blockFrames = block;
        s.bits = 32;
        s.model.params[simKey("Model", "Gain_dB")] = gainDb;
        s.model.params[simKey("Model", "Delay_samples")] = delay;
        dev.init(s, "");
        go = dev.outRecord();
        go->GenFreqL = go->GenFreqR = 1000.0;
        go->voldB_L = go->voldB_R = -6.0;
        go->genOnL = go->genOnR = 1;
        go->Conti = 1;
    }
    void TearDown() override { dev.deinit(); }
    void start() {
        EXPECT_EQ(dev.startOut(true) & SD_ST_OUT_RUN, SD_ST_OUT_RUN);
        EXPECT_EQ(dev.startIn(true) & 9, 1);
    }
    // `blocks` consecutive fetches of `block` samples of both inputs, joined.
    Channels record(int blocks, int block) { return simRecordBlocks(dev, blocks, block); }
    std::string errorText(int code) {
        char16_t buf[1024] = {};
        dev.errorText(code, buf, 1024);
        std::string s;
        for (char16_t* p = buf; *p; ++p)
            s += char(*p < 128 ? *p : '?');
        return s;
    }

    TSimDevice dev;
    TwaveGO* go = nullptr;
};

} // namespace

TEST_F(SimGenerator, StatusReportsTheGeneratorCapabilities) {
    EXPECT_EQ(dev.status() & 0xC800, 0xC800) << "synthesis, sound files, output filter with files";
    init(1024);
    start();
    EXPECT_EQ(dev.status() & 0xC800, 0xC800);
}

// A sine and a dual sine through a wire of -6 dB: levels and frequencies as set, less 6 dB.
TEST_F(SimGenerator, TonesThroughTheWire) {
    init(4800, -6.0, 13);
    go->modeL = go->modeR = 10;
    go->secfreqL = go->secfreqR = 300.0;
    go->secvoldB_L = go->secvoldB_R = -20.0;
    go->dualTfunc = 2;
    start();
    auto x = record(11, 4800);
    for (auto& ch : x)
        ch.erase(ch.begin(), ch.begin() + 4800); // the delay's start
    EXPECT_NEAR(amplitudeAt(x[0], 1000, 48000), amp(-12.0), 1e-6);
    EXPECT_NEAR(amplitudeAt(x[0], 300, 48000), 0.0, 1e-6);
    EXPECT_NEAR(amplitudeAt(x[1], 300, 48000), amp(-26.0), 1e-6);
    EXPECT_NEAR(amplitudeAt(x[1], 1000, 48000), 0.0, 1e-6);
}

// A periodic MLS recorded through a wire of gain g and delay d: the deconvolution of one
// period gives a single peak g * level at lag d.
TEST_F(SimGenerator, MlsThroughTheWireGivesItsImpulseResponse) {
    const int order = 12, period = (1 << order) - 1, delay = 37;
    init(1024, -3.0, delay);
    go->modeL = go->modeR = 6;
    go->MLSsize = order;
    go->voldB_L = go->voldB_R = -9.0;
    go->repTime_ms = 10; // shorter than the sequence (85 ms): gapless
    start();
    auto x = record(12, 1024);
    Tsamplemem y(2 << order);
    std::copy_n(x[0].begin() + period, period, y.smpoi()); // the second period
    ASSERT_EQ(y.FastHamadard(order, 0), 0);
    const double g = amp(-3.0) * amp(-9.0);
    for (int j = 0; j < period; ++j)
        ASSERT_NEAR(y.smpoi()[period - j], j == delay ? g : 0.0, 1e-6) << "lag " << j;
}

// Dirac and burst without repetition: one pulse (one burst) after the output starts, delayed
// by the wire.
TEST_F(SimGenerator, DiracAndBurstPlayOnceAfterTheStart) {
    init(1000, 0.0, 5);
    go->modeL = 5;
    go->modeR = 7;
    go->OShotsamples = 4;
    go->AnzWave = 3;
    go->Conti = 0;
    start();
    auto x = record(4, 1000);
    for (int i = 0; i < 4000; ++i) {
        ASSERT_EQ(x[0][size_t(i)], i >= 5 && i < 9 ? double(float(amp(-6.0))) : 0.0) << i;
        const int n = i - 5; // 144 samples of 3 waves
        const double burst = n >= 0 && n < 144 ? amp(-6.0) * std::sin(2 * kPi * n / 48.0) : 0.0;
        ASSERT_NEAR(x[1][size_t(i)], burst, 1e-7) << i;
    }
}

// A formula that faults: silence, output error bit and code, its text, callback 4; a good
// formula takes the error back.
TEST_F(SimGenerator, FormulaFaultReachesStatusAndText) {
    init(1024);
    dev.setCallback(SD_CB_OUT_TEXT, reinterpret_cast<void*>(&onOutText));
    g_outText = 0;
    go->modeL = go->modeR = 12;
    setText(go->WaF.functionStr, "ln(a)");
    setText(go->WaF.VnameStr, "A");
    setText(go->WaF.VvalueStr, "-1");
    start();
    auto x = record(2, 1024);
    EXPECT_TRUE(silent(x[0]) && silent(x[1]));
    const int st = dev.status();
    EXPECT_EQ(st & SD_ST_OUT_ERR, SD_ST_OUT_ERR);
    EXPECT_EQ(st >> 16, kSimErrGenerator);
    EXPECT_NE(errorText(st >> 16).find("arithmetic fault"), std::string::npos)
        << errorText(st >> 16);
    EXPECT_GE(g_outText.load(), 1);

    setText(go->WaF.functionStr, "sin(f1)");
    setText(go->WaF.VnameStr, "F1");
    setText(go->WaF.VvalueStr, "1000");
    EXPECT_EQ(dev.status() & SD_ST_OUT_ERR, 0) << "a new record takes the error back";
    x = record(48, 1024);
    x[0].erase(x[0].begin(), x[0].end() - 48000);
    EXPECT_NEAR(amplitudeAt(x[0], 1000, 48000), amp(-6.0), 1e-6);
    dev.setCallback(SD_CB_CLEAR, nullptr);
}

// A sound file that is not there: output error with the file's name; a wrong-rate file says
// both rates; restarting the output keeps stating the error.
TEST_F(SimGenerator, SoundFileErrorsReachTheProgram) {
    init(1024);
    go->modeL = go->modeR = 11;
    setText(go->ufname, "/nonexistent/take1.wav");
    start();
    EXPECT_TRUE(silent(record(1, 1024)[0]));
    int st = dev.status();
    EXPECT_EQ(st & SD_ST_OUT_ERR, SD_ST_OUT_ERR);
    EXPECT_NE(errorText(st >> 16).find("/nonexistent/take1.wav"), std::string::npos);
    dev.startOut(false);
    st = dev.startOut(true);
    EXPECT_EQ(st & SD_ST_OUT_ERR, SD_ST_OUT_ERR) << "the record is still unplayable";
}

// The output filter (callback 6) also filters a sound file, as the status bit 0x800 says.
TEST_F(SimGenerator, OutputFilterAppliesToSoundFiles) {
    const std::string name = std::filesystem::temp_directory_path() / "simGenFilter.wav";
    std::vector<float> frames = {0.5f, -0.5f, 0.25f, -0.25f};
    SF_INFO info{};
    info.samplerate = 48000, info.channels = 2, info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* f = sf_open(name.c_str(), SFM_WRITE, &info);
    ASSERT_TRUE(f);
    sf_writef_float(f, frames.data(), 2);
    sf_close(f);
    init(1024);
    dev.setCallback(SD_CB_OUT_FILTER, reinterpret_cast<void*>(&halve));
    go->modeL = go->modeR = 11;
    setText(go->ufname, name);
    start();
    auto x = record(1, 1024);
    std::filesystem::remove(name);
    for (int i = 0; i < 1024; ++i) {
        ASSERT_EQ(x[0][size_t(i)], i % 2 ? 0.125 : 0.25) << i;
        ASSERT_EQ(x[1][size_t(i)], i % 2 ? -0.125 : -0.25) << i;
    }
    EXPECT_EQ(dev.status() & SD_ST_OUT_ERR, 0);
    dev.setCallback(SD_CB_CLEAR, nullptr);
}

// Modes without synthesis: silence with a notice, not an error.
TEST_F(SimGenerator, ModesWithoutSynthesisGiveANotice) {
    init(1024);
    go->modeL = go->modeR = 9;
    start();
    EXPECT_TRUE(silent(record(1, 1024)[0]));
    EXPECT_EQ(dev.status() & (SD_ST_OUT_ERR | SD_ST_IN_ERR), 0);
    EXPECT_NE(errorText(kSimTextOutput).find("mode 9"), std::string::npos);
}

// What is recorded does not depend on the bench's block size (pink noise, MLS, formula).
TEST_F(SimGenerator, RecordingDoesNotDependOnTheBlockSize) {
    for (int mode : {3, 6, 12}) {
        SCOPED_TRACE(mode);
        Channels first;
        for (int block : {64, 1000}) {
            init(block);
            go->modeL = go->modeR = mode;
            go->repTime_ms = 30;
            setText(go->WaF.functionStr, "sin(f1)*cos(f2)");
            setText(go->WaF.VnameStr, "F1;F2");
            setText(go->WaF.VvalueStr, "1000;17");
            start();
            auto x = record(64000 / block, block);
            for (auto& ch : x)
                ch.resize(50000);
            EXPECT_FALSE(silent(x[0]));
            if (first.empty())
                first = x;
            else
                EXPECT_EQ(x, first);
            dev.deinit();
        }
    }
}
