// Speed and accuracy of the spectrum transform and the analysis call against FFTW's r2c.
#include "dsp/FFtuli.h"

#include <benchmark/benchmark.h>
#include <fftw3.h>

#include <chrono>
#include <cmath>
#include <complex>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

void fillRandom(double* p, int64_t count, unsigned seed = 20240601) {
    std::mt19937 gen(seed);
    std::uniform_real_distribution<double> dist(-1.0, 1.0);
    for (int64_t i = 0; i < count; ++i)
        p[i] = dist(gen);
}

// An FFTW r2c plan with its own buffers, planned with FFTW_MEASURE before any timing.
struct FftwR2c {
    explicit FftwR2c(int n)
        : in(fftw_alloc_real(size_t(n))), out(fftw_alloc_complex(size_t(n / 2 + 1))),
          plan(fftw_plan_dft_r2c_1d(n, in, out, FFTW_MEASURE)) {
        fillRandom(in, n); // after planning: FFTW_MEASURE overwrites the input
    }
    ~FftwR2c() {
        fftw_destroy_plan(plan);
        fftw_free(out);
        fftw_free(in);
    }
    double* in;         // input block
    fftw_complex* out;  // bins 0..n/2
    fftw_plan plan;     // the measured plan
};

// The real-input transform inside the analysis call, unscaled, bins 0..n/2.
void BM_OursReal(benchmark::State& state) {
    const int32_t n = int32_t(state.range(0));
    FFtuliContext ctx;
    std::vector<double> in(static_cast<size_t>(n)), re(static_cast<size_t>(n / 2 + 1)), im(re.size());
    fillRandom(in.data(), n);
    ctx.realTransform(in.data(), re.data(), im.data(), n); // builds the tables
    for (auto _ : state) {
        ctx.realTransform(in.data(), re.data(), im.data(), n);
        benchmark::DoNotOptimize(re.data());
        benchmark::ClobberMemory();
    }
}

void BM_FftwReal(benchmark::State& state) {
    FftwR2c f(int(state.range(0)));
    for (auto _ : state) {
        fftw_execute(f.plan);
        benchmark::DoNotOptimize(f.out);
        benchmark::ClobberMemory();
    }
}

// The whole analysis call (window, transform, 1/n, magnitudes). It overwrites its input, so a
// batch of fresh copies (about 512 KiB in all) is made before each timed batch; one iteration
// is one batch, and the counter "batch" says how many calls it held.
void BM_OursSpectrum(benchmark::State& state) {
    const int32_t n = int32_t(state.range(0));
    const int32_t batch = n >= 65536 ? 1 : 65536 / n;
    FFtuliContext ctx;
    ctx.prepareWindow(8, n);
    std::vector<double> src(static_cast<size_t>(n)), work(size_t(n) * size_t(batch));
    fillRandom(src.data(), n);
    for (auto _ : state) {
        for (int32_t b = 0; b < batch; ++b)
            std::memcpy(work.data() + size_t(b) * size_t(n), src.data(), sizeof(double) * size_t(n));
        const auto t0 = Clock::now();
        for (int32_t b = 0; b < batch; ++b)
            benchmark::DoNotOptimize(
                ctx.windowedSpectrum(work.data() + size_t(b) * size_t(n), nullptr, n, 0));
        const auto t1 = Clock::now();
        benchmark::ClobberMemory();
        state.SetIterationTime(std::chrono::duration<double>(t1 - t0).count());
    }
    state.counters["batch"] = batch;
}

// Setup of a size never seen before: unit roots, transform tables, window table.
void BM_Setup(benchmark::State& state) {
    const int32_t n = int32_t(state.range(0));
    for (auto _ : state) {
        auto ctx = std::make_unique<FFtuliContext>();
        const auto t0 = Clock::now();
        ctx->prepareWindow(8, n);
        const auto t1 = Clock::now();
        benchmark::DoNotOptimize(ctx->window());
        state.SetIterationTime(std::chrono::duration<double>(t1 - t0).count());
    }
}

// Extended-precision radix-2 transform of real input, the accuracy reference.
std::vector<std::complex<long double>> referenceSpectrum(const std::vector<double>& x) {
    using CL = std::complex<long double>;
    const size_t n = x.size();
    std::vector<CL> a(x.begin(), x.end());
    for (size_t i = 1, j = 0; i < n; ++i) {
        size_t bit = n >> 1;
        for (; j & bit; bit >>= 1)
            j ^= bit;
        j |= bit;
        if (i < j) std::swap(a[i], a[j]);
    }
    const long double twoPi = 6.283185307179586476925286766559005768L;
    for (size_t len = 2; len <= n; len *= 2)
        for (size_t j = 0; j < len / 2; ++j) {
            const CL w = std::polar(1.0L, -twoPi * (long double)j / (long double)len);
            for (size_t b = 0; b < n; b += len) {
                const CL t = w * a[b + j + len / 2];
                a[b + j + len / 2] = a[b + j] - t;
                a[b + j] += t;
            }
        }
    a.resize(n / 2 + 1);
    return a;
}

template <class Get>
double relRms(const std::vector<std::complex<long double>>& ref, Get get) {
    long double err = 0, norm = 0;
    for (size_t k = 0; k < ref.size(); ++k) {
        err += std::norm(get(k) - ref[k]);
        norm += std::norm(ref[k]);
    }
    return double(std::sqrt(err / norm));
}

// Relative RMS errors at one size, reported as counters: ours and FFTW against the
// extended-precision reference, and ours against FFTW.
void BM_Accuracy(benchmark::State& state) {
    using CL = std::complex<long double>;
    const int32_t n = int32_t(state.range(0));
    std::vector<double> x(static_cast<size_t>(n)), re(static_cast<size_t>(n / 2 + 1)), im(re.size());
    fillRandom(x.data(), n, 7);
    FftwR2c f(n);
    std::memcpy(f.in, x.data(), sizeof(double) * size_t(n));
    FFtuliContext ctx;
    for (auto _ : state) {
        ctx.realTransform(x.data(), re.data(), im.data(), n);
        fftw_execute(f.plan);
    }
    const auto ref = referenceSpectrum(x);
    const auto ours = [&](size_t k) { return CL(re[k], im[k]); };
    const auto fftw = [&](size_t k) { return CL(f.out[k][0], f.out[k][1]); };
    state.counters["ours_vs_ld"] = relRms(ref, ours);
    state.counters["fftw_vs_ld"] = relRms(ref, fftw);
    std::vector<CL> fref(ref.size());
    for (size_t k = 0; k < fref.size(); ++k)
        fref[k] = fftw(k);
    state.counters["ours_vs_fftw"] = relRms(fref, ours);
}

void sizes(benchmark::internal::Benchmark* b) {
    for (int64_t n = 64; n <= 1048576; n *= 2)
        b->Arg(n);
}

} // namespace

BENCHMARK(BM_OursReal)->Apply(sizes)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_FftwReal)->Apply(sizes)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_OursSpectrum)->Apply(sizes)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Setup)->Arg(1048576)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Accuracy)->Arg(1048576)->Iterations(1)->Repetitions(1)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
