// Speed of one impulse shot (MLS order 16 at 48 kHz): deconvolution against FFTW, and the whole evaluation with drawing.
//
// Goals: the shot from fetched samples to the drawn diagram (deconvolution, impulse start,
// gated transform, dB, repaint of two curves) <= 25 ms; the deconvolution alone within 3 x
// FFTW's forward plus inverse real transform of the same length, measured in the same run
// (counter ratio_vs_fftw).
#include "display/TDiagramm.h"
#include "dsp/FFtuli.h"
#include "dsp/Tsamplemem.h"
#include "dsp/ipsEval.h"

#include <QGuiApplication>
#include <benchmark/benchmark.h>
#include <fftw3.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <random>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kOrder = 16, kFFT = 16384, kRate = 48000;

// A recorded shot: the sequence through a short resonant response, plus a little noise.
std::vector<double> recordedShot()
{
    const int32_t n = IpsShotLength(kIpsMLS, kFFT, kRate, kOrder, 0, 0, 0, 0);
    Tsamplemem m(n);
    m.fillwithMLS(kOrder, -6.0);
    std::vector<double> h(400);
    for (size_t i = 0; i < h.size(); ++i)
        h[i] = std::exp(-double(i) / 40.0) * std::cos(0.2 * double(i));
    std::vector<double> y(size_t(n), 0.0);
    for (int i = 0; i < (1 << kOrder); ++i)
        for (size_t k = 0; k < h.size() && size_t(i) + k + 300 < y.size(); ++k)
            y[size_t(i) + k + 300] += m.smpoi()[i] * h[k];
    std::mt19937 gen(7);
    std::normal_distribution<double> nd(0.0, 1e-5);
    for (double& v : y)
        v += nd(gen);
    return y;
}

double msSince(Clock::time_point t0) { return std::chrono::duration<double, std::milli>(Clock::now() - t0).count(); }

struct Fftw {
    explicit Fftw(int n)
        : in(fftw_alloc_real(size_t(n))), out(fftw_alloc_complex(size_t(n / 2 + 1))),
          fwd(fftw_plan_dft_r2c_1d(n, in, out, FFTW_MEASURE)), inv(fftw_plan_dft_c2r_1d(n, out, in, FFTW_MEASURE))
    {
        std::fill(in, in + n, 0.5);
    }
    ~Fftw()
    {
        fftw_destroy_plan(fwd);
        fftw_destroy_plan(inv);
        fftw_free(out);
        fftw_free(in);
    }
    double* in;
    fftw_complex* out;
    fftw_plan fwd, inv;
};

// The deconvolution and FFTW's r2c + c2r of the same transform length, alternating, so that
// a change of machine load hits both alike.
void BM_IpsDeconvolveVsFftw(benchmark::State& state)
{
    const std::vector<double> y = recordedShot();
    const int n = int(std::bit_ceil(uint32_t(y.size())));
    TMlsDeconvolver dec;
    std::vector<double> work = y;
    dec.deconvolve(work, kOrder); // the sequence's spectrum is made once
    Fftw f(n);
    double ours = 0, ref = 0;
    for (auto _ : state) {
        work = y;
        auto t0 = Clock::now();
        dec.deconvolve(work, kOrder);
        ours += msSince(t0);
        t0 = Clock::now();
        fftw_execute(f.fwd);
        fftw_execute(f.inv);
        ref += msSince(t0);
        benchmark::DoNotOptimize(work.data());
    }
    state.counters["ours_ms"] = ours / double(state.iterations());
    state.counters["fftw_ms"] = ref / double(state.iterations());
    state.counters["ratio_vs_fftw"] = ours / ref;
}

// Two channels from fetched samples to the repainted diagram.
void BM_IpsShotToDiagram(benchmark::State& state)
{
    static int argc = 1;
    static char name[] = "bench_ips";
    static char* argv[] = {name, nullptr};
    static QGuiApplication app(argc, argv);
    const std::vector<double> y = recordedShot();
    TMlsDeconvolver dec;
    FFtuliContext ctx;
    TDiagramm d;
    d.newsize(1200, -1, 500);
    std::vector<double> ch[2];
    for (auto _ : state) {
        for (int c = 0; c < 2; ++c) {
            ch[c] = y;
            dec.deconvolve(ch[c], kOrder);
        }
        const TIpsStart st = IpsFindStart(ch[0], -1, 24, kRate, 1.0);
        Tsamplemem x(kFFT / 2);
        for (int k = 0; k < kFFT / 2; ++k)
            x.smpoi()[k] = double(k) * kRate / kFFT;
        for (int c = 0; c < 2; ++c) {
            ch[c].erase(ch[c].begin(), ch[c].begin() + st.cut);
            const TIpsSpectrum s = IpsGatedSpectrum(ctx, ch[c], st.fftBegin, -1, kRate, kFFT, 0, isPhase);
            Tsamplemem db(kFFT / 2);
            for (int k = 0; k < kFFT / 2; ++k)
                db.smpoi()[k] = s.mag[size_t(k)] > 0 ? 20 * std::log10(s.mag[size_t(k)] * kFFT / 0.5) : -192;
            d.SetdataPointer(db, x, false, c);
            d.setcvis(true, false, c);
        }
        d.makdiaVis(2);
        d.paintNew(true);
        benchmark::DoNotOptimize(d.getBitmap().constBits());
    }
}

} // namespace

BENCHMARK(BM_IpsDeconvolveVsFftw)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_IpsShotToDiagram)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK_MAIN();
