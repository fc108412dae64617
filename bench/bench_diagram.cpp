// Speed of a full diagram repaint (resampling plus drawing) against drawing the raw points.
//
// Goals: twelve curves of 1 048 576 points each into a 1000-pixel-wide plot at most 30 ms per
// repaint; two 32 768-point spectra at most 3 ms. The reference, run in the same process, is
// one QPainter::drawPolyline of every raw point (mapped to pixels, no resampling) into the
// same image: ratio_vs_raw = our repaint time / reference time.
#include "display/TDiaWindowModel.h"
#include "display/T3Ddiagr.h"
#include "display/TDiagramm.h"

#include <QGuiApplication>
#include <QPainter>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <random>
#include <vector>

namespace {

constexpr int kPlotWidth = 1000; // plot columns

using Clock = std::chrono::steady_clock;

// A spectrum-like curve of n points over 0..24 kHz: noise floor, a few peaks, in dBFS.
void makeCurve(int n, int seed, Tsamplemem& x, Tsamplemem& y)
{
    x = Tsamplemem(n);
    y = Tsamplemem(n);
    std::mt19937 gen(uint32_t(20261208 + seed));
    std::uniform_real_distribution<double> noise(-3.0, 3.0);
    for (int i = 0; i < n; ++i) {
        const double f = 24000.0 * i / n;
        double v = -110.0 + 2.0 * seed + noise(gen);
        for (int h = 1; h <= 5; ++h)
            if (std::fabs(f - 1000.0 * h) < 30.0)
                v = std::max(v, -10.0 * h - seed);
        x.setsmAr(i, f);
        y.setsmAr(i, v);
    }
}

// A diagram whose plot is kPlotWidth columns wide, log x 20 Hz .. 20 kHz, `curves` curves.
void setupDiagram(TDiagramm& d, int curves, int points)
{
    d.setColor_Diagram(0xFFFFFF);
    d.setColor_Grid(0xC0C0C0);
    d.newsize(kPlotWidth + 200, -1, 500);
    const int w = kPlotWidth + d.lrand + d.rrand;
    d.newsize(w, -1, 500);
    for (int s = 0; s < curves; ++s) {
        Tsamplemem x, y;
        makeCurve(points, s, x, y);
        d.SetdataPointer(y, x, false, s);
        d.setcvis(true, false, s);
    }
    d.makdiaVis(std::min(curves, kDiaUserCurves));
    d.paintNew(true);
}

// Reference: every raw point of every visible curve mapped to pixels and drawn as one
// poly-line per curve (chunked as Qt needs), into a copy of the diagram's image. Median ms.
double referenceMs(TDiagramm& d, int curves, int reps)
{
    QImage img = d.getBitmap().copy();
    std::vector<QPointF> pts;
    std::vector<double> times;
    for (int r = 0; r < reps; ++r) {
        const auto t0 = Clock::now();
        QPainter p(&img);
        for (int s = 0; s < curves; ++s) {
            const Tcurve& c = *d.curve(s);
            const TYAXgroup& g = *d.group(c.Cygroup);
            pts.resize(size_t(c.OriY.samples()));
            for (int i = 0; i < c.OriY.samples(); ++i)
                pts[size_t(i)] = QPointF(d.XtoPix(c.xaxis.smpoi()[i]), d.YtoPix(c.OriY.smpoi()[i], g));
            p.setPen(bgrToQColor(c.FColLine));
            p.drawPolyline(pts.data(), int(pts.size()));
        }
        p.end();
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
    }
    std::nth_element(times.begin(), times.begin() + reps / 2, times.end());
    return times[size_t(reps / 2)];
}

void runRepaint(benchmark::State& state, int curves, int points)
{
    TDiagramm d;
    setupDiagram(d, curves, points);
    const double refMs = referenceMs(d, curves, 3);
    double total = 0.0;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        d.PaintBitM();
        total += std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
        benchmark::DoNotOptimize(d.getBitmap().constBits());
    }
    const double ms = total / double(state.iterations());
    state.counters["ms_per_repaint"] = ms;
    state.counters["ref_raw_polyline_ms"] = refMs;
    state.counters["ratio_vs_raw"] = ms / refMs;
    state.counters["plot_columns"] = d.Xaxis().samples();
}

// Goal: <= 30 ms per repaint.
void BM_Repaint_12x1M(benchmark::State& state) { runRepaint(state, 12, 1 << 20); }
// Goal: <= 3 ms per repaint.
void BM_Repaint_2x32k(benchmark::State& state) { runRepaint(state, 2, 32768); }

// The resampler alone on one 1M-point curve (for tracking; part of the repaint above).
void BM_Curve2Dia_1M(benchmark::State& state)
{
    TDiagramm d;
    setupDiagram(d, 1, 1 << 20);
    for (auto _ : state) {
        d.Curve2Dia(0);
        benchmark::DoNotOptimize(d.curve(0)->CpyY.smpoi());
    }
    state.counters["Mpoints_per_s"] =
        benchmark::Counter(double(1 << 20) * double(state.iterations()) / 1e6, benchmark::Counter::kIsRate);
}

// One frame of the continuous FFT measurement as the diagram window draws it: two 32 768-bin
// spectra with their phases into the main diagram (log x, 1000 columns), the two 65 536-sample
// time signals into the time diagram below, the result lines into the legend; one repaint of
// each diagram. Goal (with the evaluation pass): the whole program under 15 % of one core at
// 50 frames per second, i.e. about 3 ms per frame for pass and painting together.
void BM_FFTFrame(benchmark::State& state)
{
    TDiagramm mainDia, timeDia;
    setupDiagram(mainDia, 0, 0);
    TDiaWindowModel model(mainDia, &timeDia);
    model.configureTimeDiagram(1);
    timeDia.newsize(kPlotWidth + mainDia.lrand + mainDia.rrand, -1, 160);
    timeDia.setX_minX_Max(65536 / 2 * 1000.0 / 48000, 0.0);
    Tsamplemem x, spec[2], ph[2], td[2];
    for (int ch = 0; ch < 2; ++ch) {
        makeCurve(32768, ch, x, spec[ch]);
        ph[ch] = Tsamplemem(32768);
        td[ch] = Tsamplemem(65536);
        for (int i = 0; i < 65536; ++i)
            td[ch].smpoi()[i] = 0.5 * std::sin(2 * M_PI * 997.0 * i / 48000.0 + ch);
    }
    tDiaCurveData dc[2];
    for (int ch = 0; ch < 2; ++ch) {
        dc[ch].y0fd_v = &spec[ch];
        dc[ch].y0fd_ph = &ph[ch];
        dc[ch].y0td_V = &td[ch];
        dc[ch].Ylogfdv = edBFS;
    }
    const QStringList lines{"Level:\tleft Ch. -6.02/500.24[dBV/mV]",
                            "Dist:\tleft Ch. -62.8/0.0722 [dB/%] THD @ 997Hz"};
    for (auto _ : state) {
        mainDia.holdRepaints(); // as the window takes the result lines
        mainDia.setRem2(lines);
        mainDia.releaseRepaints(false);
        model.putCurvesNew(dc, 2, false, 48000, x);
        benchmark::DoNotOptimize(timeDia.getBitmap().constBits());
    }
}

// The waterfall (goals: 64 bands x 32768 points at 1000 x 600 pixels, surface <= 30 ms, wire
// <= 15 ms per repaint; pushing one band <= 1 ms).
void fillWaterfall(T3Ddiagr& d, int lf)
{
    d.resize(1000, 600);
    d.setxSteps(32768);
    d.setZbands(63); // the most a waterfall holds
    d.setFlaeche(lf);
    std::vector<double> sd(32768);
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> u(-3, 3);
    for (int b = 0; b < 64; ++b) {
        for (int i = 0; i < 32768; ++i)
            sd[size_t(i)] = -110 + u(rng) + (std::abs(i - 1365 - b * 10) < 3 ? 100 : 0);
        d.pushSpectrum(sd, 1000.0 + 20.0 * b, 65536, 48000);
    }
}

// cold: every band is reduced to its columns anew in each repaint (as after a change of the x
// limits); otherwise only what changed since the last repaint (nothing here).
void runWaterfall(benchmark::State& state, int lf, bool cold = false)
{
    T3Ddiagr d;
    fillWaterfall(d, lf);
    int flip = 0;
    for (auto _ : state) {
        if (cold)
            d.setXmax(2000 + (++flip & 1)); // an x limit change invalidates every band's columns
        d.PaintNew3D();
        benchmark::DoNotOptimize(d.getBitmap().constBits());
    }
}

void BM_Waterfall_Surface_64x32k(benchmark::State& state) { runWaterfall(state, 2); }
void BM_Waterfall_SurfaceCold_64x32k(benchmark::State& state) { runWaterfall(state, 2, true); }
void BM_Waterfall_WireCold_64x32k(benchmark::State& state) { runWaterfall(state, 0, true); }
void BM_Waterfall_Plain_64x32k(benchmark::State& state) { runWaterfall(state, 1); }
void BM_Waterfall_Wire_64x32k(benchmark::State& state) { runWaterfall(state, 0); }

void BM_Waterfall_PushBand_32k(benchmark::State& state)
{
    T3Ddiagr d;
    fillWaterfall(d, 2);
    std::vector<double> sd(32768, -80.0);
    double t = 5000;
    for (auto _ : state)
        d.pushSpectrum(sd, t += 20, 65536, 48000);
}

// What a frame of the 3D FFT costs the waterfall: one band pushed (noise and a moving tone, as
// measured), then the repaint.
void BM_Waterfall_PushAndRepaint_64x32k(benchmark::State& state)
{
    T3Ddiagr d;
    fillWaterfall(d, 2);
    std::vector<double> sd(32768);
    std::mt19937 rng(11);
    std::uniform_real_distribution<double> u(-3, 3);
    double t = 5000;
    int k = 0;
    for (auto _ : state) {
        for (int i = 0; i < 32768; ++i)
            sd[size_t(i)] = -110 + u(rng) + (std::abs(i - 1365 - (k % 64) * 10) < 3 ? 100 : 0);
        ++k;
        d.pushSpectrum(sd, t += 20, 65536, 48000);
        d.PaintNew3D();
        benchmark::DoNotOptimize(d.getBitmap().constBits());
    }
}

} // namespace

BENCHMARK(BM_Waterfall_Surface_64x32k)->Unit(benchmark::kMillisecond)->MinTime(0.5);
BENCHMARK(BM_Waterfall_Plain_64x32k)->Unit(benchmark::kMillisecond)->MinTime(0.5);
BENCHMARK(BM_Waterfall_Wire_64x32k)->Unit(benchmark::kMillisecond)->MinTime(0.5);
BENCHMARK(BM_Waterfall_SurfaceCold_64x32k)->Unit(benchmark::kMillisecond)->MinTime(0.5);
BENCHMARK(BM_Waterfall_WireCold_64x32k)->Unit(benchmark::kMillisecond)->MinTime(0.5);
BENCHMARK(BM_Waterfall_PushAndRepaint_64x32k)->Unit(benchmark::kMillisecond)->MinTime(0.5);
BENCHMARK(BM_Waterfall_PushBand_32k)->Unit(benchmark::kMillisecond)->MinTime(0.3);
BENCHMARK(BM_Repaint_12x1M)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_Repaint_2x32k)->Unit(benchmark::kMillisecond)->MinTime(0.5);
BENCHMARK(BM_Curve2Dia_1M)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FFTFrame)->Unit(benchmark::kMillisecond)->MinTime(1.0);

int main(int argc, char** argv)
{
    static char platform[] = "QT_QPA_PLATFORM=offscreen";
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        putenv(platform);
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
