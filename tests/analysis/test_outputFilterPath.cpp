// Tests of the output filter path: equality with the blocks, settings changes while running,
// the lock-free hand-over under load, and the path run by the virtual bench as callback 6.
#include "analysis/TOutputFilterPath.h"

#include <soundDLLTypes.h>

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "../support/moduleApi.h"

#include <dlfcn.h>
#if defined(__SSE__) || defined(__x86_64__)
#include <xmmintrin.h>
#endif

#include <atomic>
#include <chrono>
#include <cmath>
#include <complex>
#include <random>
#include <thread>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;

std::vector<double> noise(size_t n, unsigned seed)
{
    std::mt19937 gen(seed);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    std::vector<double> v(n);
    for (double& x : v)
        x = u(gen);
    return v;
}

double amplitude(const std::vector<double>& x, size_t from, size_t n, double f, double rate)
{
    std::complex<double> s = 0;
    for (size_t k = from; k < from + n; ++k)
        s += x[k] * std::polar(1.0, -2 * kPi * f * double(k) / rate);
    return 2.0 * std::abs(s) / double(n);
}

// A block with a Butterworth low-pass of the given order and corner (Hz) in slot 4.
tFilterBlock lowPass(double hz, int order = 2, int delay = 0)
{
    tFilterBlock b;
    b.bypass = false;
    b.Delay_samps = delay;
    b.aEq[4].SetParam(iirTP, order, hz, 0, 1, -3.1, 1, chButterworth);
    return b;
}

} // namespace

TEST(TOutputFilterPath, EqualsTheBlocksAndPassesThroughWithoutSettings)
{
    TOutputFilterPath path;
    double l = 0.3, r = -0.7;
    path.process(&l, &r);
    EXPECT_EQ(l, 0.3);
    EXPECT_EQ(r, -0.7);

    tFilterBlock left = lowPass(1000, 5, 7), right = lowPass(300, 2, 0);
    right.aEq[11].SetParam(iirHP, 3, 40, 0, 1, -3.1, 1, chBessel);
    EXPECT_EQ(path.publish(left, right, 48000), 1u);
    const auto x = noise(4000, 11);
    for (size_t n = 0; n + 1 < x.size(); n += 2) {
        double a = x[n], b = x[n + 1];
        path.process(&a, &b);
        ASSERT_NEAR(a, left.DoDelay(left.newCycle(x[n])), 1e-12) << n;
        ASSERT_NEAR(b, right.DoDelay(right.newCycle(x[n + 1])), 1e-12) << n;
    }
    EXPECT_EQ(path.generationInUse(), 1u);
    EXPECT_EQ(path.tornSections(), 0u);
}

// New coefficients with the same number of sections continue from the old histories (as a
// filter redesigned in place would); a different number of sections starts from rest.
TEST(TOutputFilterPath, StateOnASettingsChange)
{
    TOutputFilterPath path;
    tFilterBlock ref = lowPass(1000, 4);
    path.publish(ref, ref, 48000);
    const auto x = noise(3000, 12);
    auto run = [&](size_t from, size_t to) {
        for (size_t n = from; n < to; ++n) {
            double a = x[n], b = 0;
            path.process(&a, &b);
            ASSERT_NEAR(a, ref.DoDelay(ref.newCycle(x[n])), 1e-12) << n;
        }
    };
    run(0, 1000);
    path.publish(lowPass(2000, 4), lowPass(2000, 4), 48000);
    ref.aEq[4].SetFreq(2000); // redesign in place keeps the filter's history
    run(1000, 2000);
    path.publish(lowPass(2000, 6), lowPass(2000, 6), 48000);
    ref = lowPass(2000, 6); // fresh state
    run(2000, 3000);
    path.collect();
    EXPECT_EQ(path.settingsReleased(), 2u) << "both replaced settings came back and were freed";
    EXPECT_EQ(path.settingsUnseen(), 0u);
}

// The path runs at the output's rate, whatever rate the blocks were designed at: a 1 kHz
// low-pass published for 96 kHz answers a 10 kHz tone at 96 kHz as that design says, not as the
// 48 kHz design (which would put the corner at 2 kHz).
TEST(TOutputFilterPath, DesignsTheBlocksForTheOutputRate)
{
    constexpr double kRate = 96000, kTone = 10000;
    const tFilterBlock lp = lowPass(1000, 4);
    TOutputFilterPath path;
    path.publish(lp, lp, kRate);
    std::vector<double> out(size_t(kRate) / 2);
    for (size_t k = 0; k < out.size(); ++k) {
        double l = std::sin(2 * kPi * kTone * double(k) / kRate), r = 0;
        path.process(&l, &r);
        out[k] = l;
    }
    tFilterBlock at96 = lp;
    at96.SetDesignSampleRate(kRate);
    const double want = 20 * std::log10(at96.aEq[4].Hz(kTone, TSubject::Betrag));
    // The 48 kHz coefficients run at 96 kHz answer at f as they would at f / 2 at 48 kHz.
    const double at48 = 20 * std::log10(lp.aEq[4].Hz(kTone * 48000 / kRate, TSubject::Betrag));
    const double got = 20 * std::log10(amplitude(out, out.size() / 2, out.size() / 2, kTone, kRate));
    EXPECT_NEAR(got, want, 0.05);
    EXPECT_GT(at48 - want, 20.0) << "the 48 kHz coefficients would pass clearly more";
    EXPECT_EQ(lp.aEq[4].DesignSampleRate(), 48000.0) << "the caller's blocks are left as they are";
}

TEST(TOutputFilterPath, DenormalsAndNonFiniteSamples)
{
    TOutputFilterPath path;
    path.publish(lowPass(1000), lowPass(1000), 48000);
#if defined(__SSE__) || defined(__x86_64__)
    const unsigned csr = _mm_getcsr();
    double tiny = 1e-310, other = 0; // denormal: treated as 0 inside the path
    path.process(&tiny, &other);
    EXPECT_EQ(tiny, 0.0);
    EXPECT_EQ(_mm_getcsr(), csr) << "the caller's floating-point mode is restored";
#endif
    double a = std::nan(""), b = 0.5;
    path.process(&a, &b);
    EXPECT_EQ(a, 0.0);
    EXPECT_TRUE(std::isfinite(b));
    tFilterBlock ref = lowPass(1000);
    for (double v : noise(200, 13)) {
        double l = v, r = 0;
        path.process(&l, &r);
        ASSERT_NEAR(l, ref.newCycle(v), 1e-12) << "left starts again from rest";
    }
}

// One thread publishes thousands of settings while another filters continuously. Every
// section carries its settings' generation: a section from another generation within one
// sample pair, or a generation going backwards, would show a broken hand-over.
TEST(TOutputFilterPath, StressPublishWhileFiltering)
{
    TOutputFilterPath path;
    constexpr int kPublications = 4000;
    std::atomic<bool> done{false};
    std::atomic<uint64_t> backwards{0}, nonFinite{0};
    std::thread audio([&] {
        uint64_t last = 0;
        double phase = 0;
        while (!done.load(std::memory_order_acquire)) {
            double l = std::sin(phase), r = std::cos(phase);
            phase += 0.1;
            path.process(&l, &r);
            const uint64_t g = path.generationInUse();
            backwards += g < last;
            nonFinite += !std::isfinite(l) || !std::isfinite(r);
            last = g;
        }
    });
    const tFilterBlock blocks[3] = {lowPass(1000, 4), lowPass(3000, 12, 50), lowPass(500, 1, 3)};
    for (int i = 0; i < kPublications; ++i) {
        const uint64_t g = path.publish(blocks[i % 3], blocks[(i + 1) % 3], 48000);
        path.collect();
        // Every 8th publication waits until it is in use, so both the hand-over of a taken
        // object and the replacement of one still pending are exercised.
        for (int spin = 0; i % 8 == 0 && spin < 100000 && path.generationInUse() < g; ++spin)
            std::this_thread::yield();
    }
    while (path.generationInUse() != uint64_t(kPublications))
        std::this_thread::yield();
    done = true;
    audio.join();
    path.collect();
    const uint64_t pairs = path.pairsFiltered();
    std::printf("stress: %d publications, %llu sample pairs filtered, %llu settings freed after "
                "the audio thread released them, %llu replaced before use, torn sections %llu\n",
                kPublications, (unsigned long long)pairs, (unsigned long long)path.settingsReleased(),
                (unsigned long long)path.settingsUnseen(), (unsigned long long)path.tornSections());
    EXPECT_EQ(path.tornSections(), 0u);
    EXPECT_EQ(backwards.load(), 0u);
    EXPECT_EQ(nonFinite.load(), 0u);
    EXPECT_GT(pairs, uint64_t(kPublications));
    EXPECT_EQ(path.settingsReleased() + path.settingsUnseen(), uint64_t(kPublications - 1))
        << "every replaced object was freed exactly once";
    EXPECT_GE(path.settingsReleased(), uint64_t(kPublications / 8 - 1));
}

// ---- the path as callback 6 of the virtual bench ------------------------------------------

namespace {

const TModuleApi& sim()
{
    static const TModuleApi s = loadModuleApi(VELMORA_MODULE_DIR "/libSoundSim.so");
    return s;
}

// n samples of the left input; waits for data at most 5 s per block.
std::vector<double> record(int blocks, int block)
{
    std::vector<double> all, l(static_cast<size_t>(block)), r(static_cast<size_t>(block));
    TsmView views[2] = {{l.data(), block}, {r.data(), block}};
    TsmView* ptrs[2] = {&views[0], &views[1]};
    for (int b = 0; b < blocks; ++b) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        bool got = false;
        while (!got && std::chrono::steady_clock::now() < until) {
            got = sim().fetch(ptrs, 1) != 0;
            if (!got)
                std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        EXPECT_TRUE(got) << "block " << b;
        all.insert(all.end(), l.begin(), l.end());
    }
    return all;
}

} // namespace

TEST(TOutputFilterPath, RunsAsCallbackSixOfTheVirtualBench)
{
    ASSERT_TRUE(sim().handle) << dlerror();
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    qputenv("VELMORA_HOME", home.path().toUtf8());
    QFile ini(home.path() + "/SoundSim.ini");
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write("[Device]\nPacing=fast\nBlockFrames=4800\n");
    ini.close();
    ASSERT_EQ(sim().init(0x100011, u"/opt/velmora/bin/velmora\0"), 0);

    const tFilterBlock lp1k = lowPass(1000);
    outputFilterPath().publish(lp1k, lp1k, 48000);
    sim().setCallBack(SD_CB_OUT_FILTER, reinterpret_cast<void*>(&vlOutputFilter));
    TwaveGO* go = sim().outAdr(1);
    go->GenFreqL = go->GenFreqR = 10000;
    go->voldB_L = go->voldB_R = -6;
    go->modeL = go->modeR = 0;
    go->genOnL = go->genOnR = 1;
    EXPECT_EQ(sim().startOut(1) & SD_ST_OUT_RUN, SD_ST_OUT_RUN);
    EXPECT_EQ(sim().startIn(1) & 9, 1);

    // 10 kHz through a 2nd-order 1 kHz low-pass: about -46 dB; one second after settling.
    auto rec = record(12, 4800);
    const double want1 = -6 + 20 * std::log10(lp1k.aEq[4].Hz(10000, TSubject::Betrag));
    const double got1 = 20 * std::log10(amplitude(rec, 9600, 48000, 10000, 48000));
    std::printf("bench: LP 1 kHz at 10 kHz measured %.3f dB, expected %.3f dB\n", got1, want1);
    EXPECT_NEAR(got1, want1, 0.1);

    // A new setting while the bench runs: the response follows.
    const tFilterBlock lp5k = lowPass(5000, 4);
    const uint64_t gen = outputFilterPath().publish(lp5k, lp5k, 48000);
    // The bench produces as it is read: keep reading until the audio side took the change.
    for (int b = 0; b < 50 && outputFilterPath().generationInUse() != gen; ++b)
        record(1, 4800);
    ASSERT_EQ(outputFilterPath().generationInUse(), gen);
    record(4, 4800); // what was queued before the change
    rec = record(12, 4800);
    const double want2 = -6 + 20 * std::log10(lp5k.aEq[4].Hz(10000, TSubject::Betrag));
    const double got2 = 20 * std::log10(amplitude(rec, 9600, 48000, 10000, 48000));
    std::printf("bench: LP 5 kHz at 10 kHz measured %.3f dB, expected %.3f dB\n", got2, want2);
    EXPECT_NEAR(got2, want2, 0.1);
    EXPECT_GT(want2 - want1, 10.0) << "the two settings differ clearly";
    EXPECT_EQ(outputFilterPath().tornSections(), 0u);

    sim().setCallBack(SD_CB_CLEAR, nullptr);
    sim().deinit(0);
    outputFilterPath().collect();
    EXPECT_GE(outputFilterPath().settingsReleased(), 1u);
}
