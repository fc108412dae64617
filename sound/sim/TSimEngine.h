// The virtual bench's audio core: a thread that plays the generator through the model into
// the recorded-input ring, block by block.
#pragma once

#include "TSimModel.h"
#include "TSimSettings.h"

#include <TSoundEngineCore.h>

#include <soundDLLTypes.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

// Per block, on its own thread: generator -> output filter (callback 6) -> model ->
// quantisation to the bit depth -> ring (while input runs) -> callback 5 (while input runs).
// Pacing "realtime" sleeps so blocks come at the sample rate; pacing "fast" makes the next
// block only once the previous one was fetched, so every fetch of BlockFrames samples is the
// next piece of one continuous signal.
// The audio thread never locks, allocates or logs (see TSoundEngineCore). All public members
// are for the GUI thread unless marked otherwise.
class TSimEngine final : public TSoundEngineCore {
public:
    TSimEngine();
    ~TSimEngine();

    // Only while stopped: format, pacing and model for the following runs. Prepares the
    // model and restarts the generator.
    void configure(const TSimSettings& settings, std::unique_ptr<TSimModel> model);
    const TSimSettings& settings() const { return settings_; }
    // Allocates a ring of at least ringFrames frames per input and starts the thread.
    // False (nothing started) when the memory is not available.
    bool start(size_t ringFrames);
    // Stops and joins the thread (waits at most about 10 ms in realtime pacing).
    void stop() noexcept;
    bool running() const { return thread_.joinable(); }

    // Input on: blocks are recorded and announced. Output on: the generator plays (it
    // restarts its signals, phases and noise each time the output is switched on).
    void setInput(bool on);
    void setOutput(bool on);

    // Copies the newest Fsamples frames of input channel i into views[i] (i < count; null
    // views are skipped). Returns 1 when new data arrived since the previous call and at
    // least the largest Fsamples were recorded since the input was started, else 0 and
    // nothing is written. Every call counts as "fetched" for fast pacing.
    // Each Fsamples must be <= ringFrames().
    int fetch(TsmView* const* views, int count);

    // Blocks in realtime pacing that came so late that the schedule was restarted.
    uint64_t lateBlocks() const { return late_.load(std::memory_order_relaxed); }

private:
    void threadMain() noexcept;
    void runFast() noexcept;
    void runRealtime() noexcept;
    void waitKick(bool untilFetched) noexcept;
    void sleepUntil(std::chrono::steady_clock::time_point due) noexcept;
    void waitFetched() noexcept;
    void produce() noexcept;
    int quantise(int frames) noexcept;
    void kick();

    TSimSettings settings_;                  // format of the runs; changed only while stopped
    std::unique_ptr<TSimModel> model_;       // device under test
    std::thread thread_;                     // the audio thread

    std::atomic<bool> stop_{false};          // asks the audio thread to end
    std::mutex sleepMutex_;                  // with sleepCv_: a realtime sleep that stop() ends
    std::condition_variable sleepCv_;
    std::atomic<uint32_t> kick_{0};          // bumped by fetches, starts and stop; the fast thread waits on it
    std::atomic<uint64_t> consumed_{0};      // ring position at the last fetch
    std::atomic<uint64_t> late_{0};          // realtime schedule restarts
};
