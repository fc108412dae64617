// Speed of the generator's synthesis as a factor of real time (one core, both channels): the
// formula synthesis at 192 kHz (goal >= 10), and the other modes for context.
#include <TGenBuilder.h>
#include <TGenRenderer.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

constexpr int kRate = 192000;
constexpr int kBlock = 4096; // frames per channel and iteration

template <size_t N> void setText(char (&dst)[N], const char* s) {
    std::memset(dst, 0, N);
    std::strncpy(dst, s, N - 1);
}

TwaveGO record(int mode) {
    TwaveGO go{};
    go.GenFreqL = go.GenFreqR = 997.0;
    go.voldB_L = go.voldB_R = -6.0;
    go.genOnL = go.genOnR = 1;
    go.modeL = go.modeR = mode;
    // Eleven nodes: a * sin(f1) + b * sin(f2) * c, two frequency variables.
    setText(go.WaF.functionStr, "a*sin(f1)+b*sin(f2)*c");
    setText(go.WaF.VnameStr, "A;B;C;F1;F2");
    setText(go.WaF.VvalueStr, "0.5;0.25;1.5;1000;60");
    return go;
}

// Seconds of both output channels made per second of CPU time.
void run(benchmark::State& state, int mode) {
    TGenBuilder builder;
    const auto signal = builder.build(record(mode), kRate, 1);
    if (!signal->error.empty()) {
        state.SkipWithError(signal->error.c_str());
        return;
    }
    TGenRenderer renderer;
    renderer.reset(1, 2);
    std::vector<double> left(kBlock), right(kBlock);
    for (auto _ : state) {
        renderer.render(signal.get(), left.data(), right.data(), kBlock);
        benchmark::DoNotOptimize(left.data());
        benchmark::DoNotOptimize(right.data());
        benchmark::ClobberMemory();
    }
    if (renderer.takeFaults() != 0) state.SkipWithError("the formula faulted");
    state.counters["x_realtime"] =
        benchmark::Counter(double(kBlock) / kRate, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_GenFormula(benchmark::State& state) {
    run(state, 12);
}
void BM_GenSine(benchmark::State& state) {
    run(state, 0);
}
void BM_GenSquare(benchmark::State& state) {
    run(state, 1);
}
void BM_GenWhiteNoise(benchmark::State& state) {
    run(state, 2);
}
void BM_GenPinkNoise(benchmark::State& state) {
    run(state, 3);
}

} // namespace

BENCHMARK(BM_GenFormula);
BENCHMARK(BM_GenSine);
BENCHMARK(BM_GenSquare);
BENCHMARK(BM_GenWhiteNoise);
BENCHMARK(BM_GenPinkNoise);

BENCHMARK_MAIN();
