// CPU share of the virtual bench's device-under-test models in real time, at 48 and 192 kHz.
#include "TSimEngine.h"
#include "TSimModel.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int kBlock = 1024; // frames per process() call, the bench's default block

// A model setting by kind and "key", value pairs of its section.
TSimModelSettings settingsOf(const std::string& kind, const std::vector<std::pair<const char*, double>>& v,
                             const char* reflections = nullptr)
{
    TSimModelSettings s;
    s.kind = kind;
    const TSimModelKind* k = simFindModelKind(kind);
    for (const auto& [key, value] : v)
        s.params[simKey(k->section, key)] = value;
    if (reflections)
        s.texts[simKey(k->section, "Reflections")] = reflections;
    return s;
}

// The cases: every model with its defaults or a typical setting, and the room's longest response.
TSimModelSettings caseSettings(int which)
{
    switch (which) {
    case 0: return settingsOf("wire", {{"Noise_dBFS", -100}});
    case 1: return settingsOf("amplifier", {{"HighPass_Hz", 20}, {"LowPass_Hz", 20000}, {"A3", 1e-3}, {"A5", 1e-5}, {"Noise_dBFS", -100}});
    case 2: return settingsOf("impedance", {});
    case 3: return settingsOf("room", {});
    case 4: // longest response the settings allow: 1 s + 0.5 s + 2 * 3 s
        return settingsOf("room", {{"Delay_ms", 1000}, {"RT60_ms", 3000}, {"TailStart_ms", 500}},
                          "0.5:-3, 3.1:-6, 7.4:-9, 1000:-20");
    default: return settingsOf("tape", {{"WowDepth_pct", 0.1}, {"FlutterDepth_pct", 0.05}, {"Drift_pct", 0.2}});
    }
}

const char* const kCaseNames[] = {"wire", "amplifier", "impedance", "room", "room_longest", "tape"};

// Reported: cpu_share = CPU seconds per second of stereo audio (1 = the whole core).
void BM_ModelProcess(benchmark::State& state)
{
    const int which = int(state.range(0)), rate = int(state.range(1));
    state.SetLabel(kCaseNames[which]);
    auto model = simMakeModel(caseSettings(which), nullptr);
    model->prepare({rate, 2, 2, kBlock, 1});
    std::mt19937 gen(20261208);
    std::uniform_real_distribution<double> dist(-0.5, 0.5);
    std::vector<double> outL(kBlock), outR(kBlock), inL(kBlock), inR(kBlock);
    for (int n = 0; n < kBlock; ++n)
        outL[size_t(n)] = dist(gen), outR[size_t(n)] = dist(gen);
    const double* out[2] = {outL.data(), outR.data()};
    double* in[2] = {inL.data(), inR.data()};
    for (auto _ : state) {
        model->process(out, in, kBlock);
        benchmark::DoNotOptimize(inL.data());
        benchmark::ClobberMemory();
    }
    state.counters["cpu_share"] = benchmark::Counter(double(state.iterations()) * kBlock / rate,
                                                     benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_ModelProcess)->ArgsProduct({{0, 1, 2, 3, 4, 5}, {48000, 192000}})->Unit(benchmark::kMicrosecond);

// The whole audio core in realtime pacing for 3 s with the room's longest response: blocks
// that came so late the schedule restarted (0 = real time held) and the audio thread's CPU share.
void BM_EngineRealtimeRoomLongest(benchmark::State& state)
{
    const int rate = int(state.range(0));
    double late = 0, share = 0;
    for (auto _ : state) {
        TSimSettings s;
        s.sampleRate = rate;
        s.blockFrames = kBlock;
        s.model = caseSettings(4);
        TSimEngine engine;
        engine.configure(s, simMakeModel(s.model, nullptr));
        if (!engine.start(size_t(rate))) {
            state.SkipWithError("no ring memory");
            return;
        }
        engine.setOutput(true);
        engine.setInput(true);
        const std::clock_t c0 = std::clock();
        std::this_thread::sleep_for(std::chrono::seconds(3));
        const std::clock_t c1 = std::clock();
        engine.stop();
        late = double(engine.lateBlocks());
        share = double(c1 - c0) / CLOCKS_PER_SEC / 3.0; // process CPU time: the audio thread
    }
    state.counters["late_blocks"] = late;
    state.counters["cpu_share"] = share;
}
BENCHMARK(BM_EngineRealtimeRoomLongest)->Arg(48000)->Arg(192000)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
