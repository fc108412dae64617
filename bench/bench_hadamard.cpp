// Speed of the MLS deconvolution (FastHamadard) against FFTW's real-to-complex transform.
#include "dsp/Tsamplemem.h"

#include <benchmark/benchmark.h>
#include <fftw3.h>

#include <chrono>
#include <cstring>
#include <random>

namespace {

using Clock = std::chrono::steady_clock;

void fillRandom(double* p, int32_t count) {
    std::mt19937 gen(20240601);
    std::uniform_real_distribution<double> dist(-1.0, 1.0);
    for (int32_t i = 0; i < count; ++i)
        p[i] = dist(gen);
}

// The whole call on a buffer holding one period. The transform works in place, so every
// iteration starts from a fresh copy of the recording; only the call itself is timed.
void BM_FastHamadard(benchmark::State& state) {
    const int order = static_cast<int>(state.range(0));
    const int32_t size = int32_t(1) << order;
    Tsamplemem recording(size), buf(size);
    fillRandom(recording.smpoi(), size - 1);
    buf.FastHamadard(order, 0); // builds the index tables once, as the first call in use would
    for (auto _ : state) {
        std::memcpy(buf.smpoi(), recording.smpoi(), sizeof(double) * size_t(size));
        const auto t0 = Clock::now();
        buf.FastHamadard(order, 0);
        const auto t1 = Clock::now();
        benchmark::DoNotOptimize(buf.smpoi());
        benchmark::ClobberMemory();
        state.SetIterationTime(std::chrono::duration<double>(t1 - t0).count());
    }
}

// Out-of-place real-to-complex transform of the same length, planned outside the timed loop.
void BM_FftwR2c(benchmark::State& state) {
    const int order = static_cast<int>(state.range(0));
    const int size = 1 << order;
    double* in = fftw_alloc_real(size_t(size));
    fftw_complex* out = fftw_alloc_complex(size_t(size / 2 + 1));
    fftw_plan plan = fftw_plan_dft_r2c_1d(size, in, out, FFTW_MEASURE);
    fillRandom(in, size); // after planning: FFTW_MEASURE overwrites the input
    for (auto _ : state) {
        const auto t0 = Clock::now();
        fftw_execute(plan);
        const auto t1 = Clock::now();
        benchmark::DoNotOptimize(out);
        benchmark::ClobberMemory();
        state.SetIterationTime(std::chrono::duration<double>(t1 - t0).count());
    }
    fftw_destroy_plan(plan);
    fftw_free(out);
    fftw_free(in);
}

} // namespace

BENCHMARK(BM_FastHamadard)->Arg(16)->Arg(18)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FftwR2c)->Arg(16)->Arg(18)->UseManualTime()->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
