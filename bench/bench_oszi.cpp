// One oscilloscope frame: 2.5 screens of two channels at 48 kHz and 5 ms/div, trigger search,
// cut and scaling, read-out, and drawing the screen at 1000 x 600 (goal <= 2 ms). The parts
// are timed alone as well, so a regression shows where it sits.
#include "measurements/TOsziPaint.h"
#include "measurements/TOsziScope.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

namespace {

// A noisy 1 kHz sine in the left channel, 1.5 kHz in the right, with a phase that moves from
// frame to frame as the bench's blocks do.
struct Blocks {
    std::vector<double> l, r;
    Blocks(int n, double phase) {
        l.resize(size_t(n));
        r.resize(size_t(n));
        uint32_t seed = 12345;
        for (int i = 0; i < n; ++i) {
            seed = seed * 1664525u + 1013904223u;
            const double noise = (seed >> 8) * (1.0 / 16777216.0) - 0.5;
            l[size_t(i)] = 0.5 * std::sin(2 * M_PI * 1000.0 * i / 48000 + phase) + 1e-4 * noise;
            r[size_t(i)] = 0.3 * std::sin(2 * M_PI * 1500.0 * i / 48000 + 2 * phase);
        }
    }
};

TOsziScope makeScope() {
    TOsziScope s;
    s.sampleFreq_Hz = 48000;
    s.settimeIdx(8); // 5 ms/div
    s.setEichmVss(TOsziScope::eichFor(1000, 0));
    s.d.triggLev = 0.45;
    s.StartOszi(true);
    return s;
}

void BM_OsziFrame(benchmark::State& state) {
    TOsziScope s = makeScope();
    const int n = s.getSampleCount();
    std::vector<Blocks> frames;
    for (int k = 0; k < 8; ++k)
        frames.emplace_back(n, 0.7 * k);
    QImage img(1000, 600, QImage::Format_RGB32);
    size_t k = 0;
    for (auto _ : state) {
        const Blocks& b = frames[k++ % frames.size()];
        s.doTheOszi(b.l.data(), b.r.data(), n);
        QPainter p(&img);
        PaintTheOszi(p, img.rect(), s);
        p.end();
        benchmark::DoNotOptimize(img.constBits());
    }
    state.counters["samples_per_channel"] = n;
    state.counters["points_on_screen"] = double(s.frame().y1.size());
}
BENCHMARK(BM_OsziFrame)->Unit(benchmark::kMillisecond);

void BM_OsziFrameNoDrawing(benchmark::State& state) {
    TOsziScope s = makeScope();
    const int n = s.getSampleCount();
    Blocks b(n, 0.3);
    for (auto _ : state) {
        s.doTheOszi(b.l.data(), b.r.data(), n);
        benchmark::DoNotOptimize(s.frame().y1.data());
    }
}
BENCHMARK(BM_OsziFrameNoDrawing)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    static char platform[] = "QT_QPA_PLATFORM=offscreen";
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) putenv(platform);
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
