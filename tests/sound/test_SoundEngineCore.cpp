// The engine base every sound module shares: generator through the output filter into the
// recording, input sessions and fetches, output restarts, and copies taken while blocks arrive.
#include <TSoundEngineCore.h>
#include <TSoundGenerator.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <numbers>
#include <thread>
#include <vector>

namespace {

constexpr int kRate = 48000;
constexpr uint32_t kSeed = 7;

// An engine whose inputs hear its two outputs (a loopback) and, on a third input, the number of
// each frame since the engine was made, so a copy shows where it came from. Blocks come when
// block() is called (on whichever thread plays the audio thread).
class TLoopEngine final : public TSoundEngineCore {
public:
    TLoopEngine(int frames, size_t ringFrames) : frames_(frames)
    {
        allocateBuffers(2, 3, frames);
        ring_.allocate(3, ringFrames);
        restartInputSession();
        resetGenerator(kSeed);
    }
    void setInput(bool on) { switchInput(on); }
    void restartSessions() { restartInputSession(); restartOutputSession(); } // as a module's open
    void setOutput(bool on) { switchOutput(on); }
    int fetch(TsmView* const* views, int count)
    {
        uint64_t end = 0;
        return copyNewest(views, count, &end);
    }

    // Audio thread: one block; true when the output started again with it.
    bool block() noexcept
    {
        audioId_.store(std::this_thread::get_id());
        const bool restarted = renderOutput(frames_, kSeed);
        std::copy_n(outPtr_[0], frames_, inPtr_[0]);
        std::copy_n(outPtr_[1], frames_, inPtr_[1]);
        for (int n = 0; n < frames_; ++n)
            inPtr_[2][n] = double(made_ + uint64_t(n));
        made_ += uint64_t(frames_);
        inputSessionBegins();
        recordInput(frames_);
        return restarted;
    }

private:
    const int frames_;   // frames per block
    uint64_t made_ = 0;  // audio thread: frames made so far
};

// The program's record for one tone per channel (mode 0, sine) or white noise (mode 2).
TwaveGO record(int mode, double levelDb, double freq)
{
    TwaveGO go{};
    go.modeL = go.modeR = mode;
    go.GenFreqL = go.GenFreqR = freq;
    go.voldB_L = go.voldB_R = levelDb;
    go.genOnL = go.genOnR = 1;
    go.Conti = 1;
    go.ToneDura_ms = -1;
    return go;
}

void post(TLoopEngine& e, TSoundGenerator& gen, const TwaveGO& go)
{
    e.post(gen.update(go, kRate, kSeed));
}

// The newest n frames of the three inputs; empty when the fetch delivered nothing.
std::vector<std::vector<double>> fetchNewest(TLoopEngine& e, int n)
{
    std::vector<std::vector<double>> ch(3, std::vector<double>(size_t(n)));
    TsmView v[3] = {{ch[0].data(), n}, {ch[1].data(), n}, {ch[2].data(), n}};
    TsmView* views[3] = {&v[0], &v[1], &v[2]};
    return e.fetch(views, 3) ? ch : std::vector<std::vector<double>>{};
}

// Callback 6 for the tests: the left channel halved, the right one inverted.
void halveAndInvert(double* left, double* right)
{
    *left *= 0.5;
    *right = -*right;
}

} // namespace

// A 1 kHz sine at -6 dBFS, through the output filter and back in: every recorded sample is the
// filtered sine at its place since the output started, and callback 5 came once per block.
TEST(SoundEngineCore, RecordsTheGeneratorThroughTheOutputFilter)
{
    TLoopEngine e(256, 8192);
    TSoundGenerator gen;
    post(e, gen, record(0, -6.0, 1000.0));
    e.outFilter.set(reinterpret_cast<void*>(&halveAndInvert), nullptr);
    int announced = 0;
    e.onBlock.set(reinterpret_cast<void*>(+[](void* n) { ++*static_cast<int*>(n); }), &announced);
    e.setOutput(true);
    e.setInput(true);
    EXPECT_TRUE(e.block()) << "the first block starts the output";
    for (int b = 1; b < 10; ++b)
        EXPECT_FALSE(e.block());
    EXPECT_EQ(announced, 10);
    EXPECT_EQ(e.recorded(), 2560u);

    const auto x = fetchNewest(e, 2000);
    ASSERT_FALSE(x.empty());
    const double a = std::pow(10.0, -6.0 / 20.0);
    for (size_t i = 0; i < x[2].size(); ++i) {
        const double n = x[2][i]; // frames since the output started
        ASSERT_EQ(n, 560.0 + double(i)) << "the newest 2000 of 2560 frames";
        const double s = a * std::sin(2.0 * std::numbers::pi * 1000.0 * n / kRate);
        ASSERT_NEAR(x[0][i], 0.5 * s, 1e-12) << "frame " << n;
        ASSERT_NEAR(x[1][i], -s, 1e-12) << "frame " << n;
    }
    EXPECT_FALSE(e.takeFilterFault());
    e.onBlock.set(nullptr, nullptr);
    e.outFilter.set(nullptr, nullptr);
}

// Blocks before the input starts are not recorded; a fetch asks for at least as much as this
// session recorded and for something new since the last delivery; a new session starts over.
TEST(SoundEngineCore, FetchesNewDataOfTheCurrentInputSession)
{
    TLoopEngine e(100, 1024);
    e.block(); // input off: frames 0..99 are not recorded
    EXPECT_EQ(e.recorded(), 0u);
    e.setInput(true);
    e.block();
    e.block();
    EXPECT_EQ(e.recorded(), 200u);
    EXPECT_TRUE(fetchNewest(e, 201).empty()) << "more than the session recorded";
    auto x = fetchNewest(e, 200);
    ASSERT_FALSE(x.empty());
    EXPECT_EQ(x[2].front(), 100.0);
    EXPECT_EQ(x[2].back(), 299.0);
    EXPECT_TRUE(fetchNewest(e, 50).empty()) << "nothing new since the last delivery";

    e.setInput(false);
    e.block(); // not recorded
    EXPECT_TRUE(fetchNewest(e, 50).empty());
    e.setInput(true);
    e.block();
    EXPECT_EQ(e.recorded(), 100u) << "a new session counts from its own start";
    EXPECT_TRUE(fetchNewest(e, 101).empty()) << "the old session's frames do not count";
    x = fetchNewest(e, 100);
    ASSERT_FALSE(x.empty());
    EXPECT_EQ(x[2].front(), 400.0);

    e.block();
    TsmView none[1] = {{nullptr, 100}};
    TsmView* views[3] = {&none[0], nullptr, nullptr};
    EXPECT_EQ(e.fetch(views, 3), 0) << "views without samples ask for nothing";
    EXPECT_EQ(fetchNewest(e, 2048).size(), 0u) << "more than the ring holds";
}

// Switching the output on again restarts the signal: white noise plays the same samples as at
// its first start, and only the block after a start says so. While off, the outputs are silent.
TEST(SoundEngineCore, EachOutputStartPlaysTheSignalFromItsBeginning)
{
    TLoopEngine e(128, 4096);
    TSoundGenerator gen;
    post(e, gen, record(2, -3.0, 1000.0));
    e.setInput(true);
    e.setOutput(true);
    EXPECT_TRUE(e.block());
    EXPECT_FALSE(e.block());
    const auto first = fetchNewest(e, 256);
    e.setOutput(false);
    EXPECT_FALSE(e.block());
    const auto silent = fetchNewest(e, 128);
    e.setOutput(true);
    EXPECT_TRUE(e.block());
    EXPECT_FALSE(e.block());
    const auto again = fetchNewest(e, 256);
    ASSERT_FALSE(first.empty() || silent.empty() || again.empty());
    EXPECT_EQ(first[0], again[0]);
    EXPECT_EQ(first[1], again[1]);
    EXPECT_NE(first[0], first[1]) << "left and right have noise of their own";
    EXPECT_EQ(silent[0], std::vector<double>(128, 0.0));
    EXPECT_EQ(silent[1], std::vector<double>(128, 0.0));
}

// A module opens with the output off: its first blocks play silence and report no output start,
// so a recording never claims a generator start that did not happen. The start is reported with
// the block that plays the generator's first sample.
TEST(SoundEngineCore, AnOutputStartIsReportedWithTheFirstBlockPlayed)
{
    TLoopEngine e(64, 1024);
    TSoundGenerator gen;
    post(e, gen, record(0, -6.0, 1000.0));
    e.restartSessions();
    e.setInput(true);
    EXPECT_FALSE(e.block()) << "opened with the output off";
    EXPECT_FALSE(e.block());
    e.setOutput(true);
    EXPECT_TRUE(e.block());
    const auto played = fetchNewest(e, 64);
    ASSERT_FALSE(played.empty());
    EXPECT_EQ(played[0][0], 0.0) << "a sine starts at phase 0";
    EXPECT_GT(played[0][1], 0.0) << "and rises";
    EXPECT_FALSE(e.block());
}

// A writer that overwrites the ring in bursts of small blocks while it is read: whatever a
// fetch delivers is one unbroken run of frames, never a mix of old and new blocks. Between the
// bursts the reader has time to take a whole copy.
TEST(SoundEngineCore, DeliveredCopiesAreNeverTorn)
{
    TLoopEngine e(16, 4096);
    e.setInput(true);
    std::atomic<bool> stop{false};
    std::thread writer([&] {
        while (!stop.load()) {
            for (int b = 0; b < 2048; ++b) // the whole ring, eight times
                e.block();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    int delivered = 0;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (delivered < 200 && std::chrono::steady_clock::now() < until) {
        const auto x = fetchNewest(e, 4080); // a copy survives only one block written meanwhile
        if (x.empty())
            continue;
        ++delivered;
        for (size_t k = 1; k < x[2].size(); ++k)
            ASSERT_EQ(x[2][k], x[2][k - 1] + 1.0) << "delivery " << delivered << ", frame " << k;
    }
    stop = true;
    writer.join();
    EXPECT_GT(delivered, 0);
}
