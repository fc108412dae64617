// One evaluation pass of the FFT measurement (filter, window and transform, averaging, dB
// conversion, result text, calibration, weighting) for two channels, against FFTW's r2c of the
// same two blocks as a reference for the bare transforms. Goals: 65536 points <= 2 ms,
// 1048576 points <= 40 ms per pass.
#include "display/TGdata.h"
#include "measurements/tFFT2Dmeas.h"

#include <benchmark/benchmark.h>
#include <fftw3.h>

#include <cmath>
#include <random>
#include <vector>

namespace {

// A -6 dBFS sine of 997 Hz at 48 kHz with -80 dBFS of noise.
Tsamplemem testBlock(int32_t n, unsigned seed)
{
    Tsamplemem b(n);
    std::mt19937 gen(seed);
    std::normal_distribution<double> noise(0.0, 1e-4);
    for (int32_t i = 0; i < n; ++i)
        b.smpoi()[i] = 0.5 * std::sin(2.0 * M_PI * 997.0 * i / 48000.0) + noise(gen);
    return b;
}

void BM_FFT2DPass(benchmark::State& state)
{
    const int32_t n = int32_t(state.range(0));
    cFFTdat fft;
    cAnaPara ana;
    fft.SamplesFFT = n;
    fft.FFTwin = 2;
    ana.bLevelmess = true;
    ana.bTHDmess = true;
    ana.bResultTextLeft = ana.bResultTextRight = true;
    tFFT2Dmeas meas;
    meas.Init(&fft, &ana, nullptr, nullptr, nullptr);
    meas.SetChannels(2, 2);
    meas.preparePasses(48000);
    const std::vector<Tsamplemem> blocks{testBlock(n, 1), testBlock(n, 2)};
    for (auto _ : state) {
        benchmark::DoNotOptimize(meas.evaluateBlocks(blocks)); // the copy stands for the fetch
        benchmark::ClobberMemory();
    }
    meas.DeInit(0);
}

// The reference: FFTW transforms of the same two blocks (planned with FFTW_MEASURE).
void BM_FftwTwoBlocks(benchmark::State& state)
{
    const int n = int(state.range(0));
    double* in = fftw_alloc_real(size_t(n));
    fftw_complex* out = fftw_alloc_complex(size_t(n / 2 + 1));
    fftw_plan plan = fftw_plan_dft_r2c_1d(n, in, out, FFTW_MEASURE);
    const Tsamplemem block = testBlock(n, 1);
    for (auto _ : state) {
        for (int ch = 0; ch < 2; ++ch) {
            std::copy_n(block.smpoi(), n, in);
            fftw_execute(plan);
        }
        benchmark::DoNotOptimize(out);
    }
    fftw_destroy_plan(plan);
    fftw_free(out);
    fftw_free(in);
}

} // namespace

BENCHMARK(BM_FFT2DPass)->Arg(65536)->Arg(1048576)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FftwTwoBlocks)->Arg(65536)->Arg(1048576)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
