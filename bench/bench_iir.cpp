// Speed of the IIR biquad cascade per section and sample: scalar paths and both channels in vector lanes.
#include "dsp/IIR_obj_D.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <emmintrin.h>
#include <random>
#include <vector>

namespace {

constexpr int kChannels = 2;
constexpr int kFiltersPerChannel = 2; // 2 filters of order 14: 14 sections per channel
constexpr int kBlock = 1024;          // samples per channel and iteration
constexpr double kSectionSamples = double(kChannels) * kFiltersPerChannel * kIIRMaxBiquads * kBlock;

std::vector<double> noise(size_t n)
{
    std::mt19937 gen(20261208);
    std::uniform_real_distribution<double> dist(-1.0, 1.0);
    std::vector<double> v(n);
    for (auto& x : v) x = dist(gen);
    return v;
}

// Channel c's cascade: a low-pass and a band-pass of order 14 (seven sections each).
std::vector<TIIRObj> makeCascade(int c)
{
    std::vector<TIIRObj> f(kFiltersPerChannel);
    for (auto& o : f) o.SetHWbiquads(kIIRMaxBiquads);
    f[0].SetParam(iirTP, 14, 15000 + 100 * c, 0, 1, -1, 1, chTschebyscheff);
    f[1].SetParam(iirBP, 14, 1000, 0, 2, -1, 1, chButterworth);
    return f;
}

// Reported figure: CPU time per section and sample, in seconds (printed as e.g. "2.4n").
void reportPerSectionSample(benchmark::State& state)
{
    state.counters["ns_per_section_sample"] =
        benchmark::Counter(kSectionSamples, benchmark::Counter::kIsIterationInvariantRate |
                                                       benchmark::Counter::kInvert);
}

// Block path: each filter runs section after section over the block (state in registers).
void BM_IIR_ScalarBlock(benchmark::State& state)
{
    std::vector<std::vector<TIIRObj>> ch = {makeCascade(0), makeCascade(1)};
    const std::vector<double> in = noise(kBlock);
    std::vector<double> buf(kBlock);
    for (auto _ : state) {
        for (auto& cascade : ch) {
            buf = in;
            for (auto& f : cascade) f.NewCycleBlock(buf.data(), buf.data(), kBlock);
            benchmark::DoNotOptimize(buf.data());
        }
    }
    reportPerSectionSample(state);
}

// Per-sample path, as a filter block calls it: every sample runs through every filter.
void BM_IIR_ScalarPerSample(benchmark::State& state)
{
    std::vector<std::vector<TIIRObj>> ch = {makeCascade(0), makeCascade(1)};
    const std::vector<double> in = noise(kBlock);
    for (auto _ : state) {
        for (auto& cascade : ch) {
            for (int i = 0; i < kBlock; ++i) {
                double x = in[i];
                for (auto& f : cascade) x = f.NewCycle(x);
                benchmark::DoNotOptimize(x);
            }
        }
    }
    reportPerSectionSample(state);
}

// Two doubles per operation: lane 0 is channel 0, lane 1 channel 1 (SSE2 on every x86-64).
using v2d = double __attribute__((vector_size(16)));

struct LaneSection {
    v2d b0, b1, b2, a1, a2; // each channel's coefficient in its lane
};

// Direct form I, section by section over an interleaved stereo block, with the same flush of
// tiny values as the scalar path.
void runLanes(const std::vector<LaneSection>& secs, std::vector<v2d>& state, v2d* buf, int n)
{
    const __m128d tiny = _mm_set1_pd(1e-30);
    const __m128d absMask = _mm_castsi128_pd(_mm_set1_epi64x(0x7FFFFFFFFFFFFFFF));
    for (size_t k = 0; k < secs.size(); ++k) {
        const LaneSection c = secs[k]; // a copy: stores to buf cannot alias it
        v2d x1 = state[4 * k], x2 = state[4 * k + 1], y1 = state[4 * k + 2], y2 = state[4 * k + 3];
        for (int i = 0; i < n; ++i) {
            const v2d x = buf[i];
            v2d y = c.b0 * x + c.b1 * x1 + c.b2 * x2 + c.a2 * y2 + c.a1 * y1;
            // The flush as a rarely taken branch keeps it off the output's latency chain.
            const __m128d small = _mm_cmplt_pd(_mm_and_pd(y, absMask), tiny);
            if (__builtin_expect(_mm_movemask_pd(small) != 0, 0)) y = _mm_andnot_pd(small, y);
            x2 = x1;
            x1 = x;
            y2 = y1;
            y1 = y;
            buf[i] = y;
        }
        state[4 * k] = x1, state[4 * k + 1] = x2, state[4 * k + 2] = y1, state[4 * k + 3] = y2;
    }
}

void BM_IIR_TwoChannelLanes(benchmark::State& state)
{
    std::vector<std::vector<TIIRObj>> ch = {makeCascade(0), makeCascade(1)};
    std::vector<LaneSection> secs;
    for (int f = 0; f < kFiltersPerChannel; ++f) {
        for (int k = 0; k < kIIRMaxBiquads; ++k) {
            const TIIRSection& l = ch[0][f].Iir()[k];
            const TIIRSection& r = ch[1][f].Iir()[k];
            LaneSection s;
            s.b0 = v2d{l.b0, r.b0};
            s.b1 = v2d{l.b1, r.b1};
            s.b2 = v2d{l.b2, r.b2};
            s.a1 = v2d{l.a1, r.a1};
            s.a2 = v2d{l.a2, r.a2};
            secs.push_back(s);
        }
    }
    std::vector<v2d> st(4 * secs.size(), v2d{0, 0});
    const std::vector<double> in = noise(kBlock);
    std::vector<v2d> buf(kBlock);
    for (auto _ : state) {
        for (int i = 0; i < kBlock; ++i) buf[i] = v2d{in[i], -in[i]};
        runLanes(secs, st, buf.data(), kBlock);
        benchmark::DoNotOptimize(buf.data());
    }
    reportPerSectionSample(state);
}

BENCHMARK(BM_IIR_ScalarBlock);
BENCHMARK(BM_IIR_ScalarPerSample);
BENCHMARK(BM_IIR_TwoChannelLanes);

} // namespace

BENCHMARK_MAIN();
