// The virtual bench's audio core: a thread that plays the generator through the model into
// the recorded-input ring, block by block.
#pragma once

#include "TSimCallbackSlot.h"
#include "TSimGenerator.h"
#include "TSimMailbox.h"
#include "TSimModel.h"
#include "TSimRing.h"
#include "TSimSettings.h"

#include <TGenRenderer.h>

#include <soundDLLTypes.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

// Per block, on its own thread: generator -> output filter (callback 6) -> model ->
// quantisation to the bit depth -> ring (while input runs) -> callback 5 (while input runs).
// Pacing "realtime" sleeps so blocks come at the sample rate; pacing "fast" makes the next
// block only once the previous one was fetched, so every fetch of BlockFrames samples is the
// next piece of one continuous signal.
// The audio thread never locks, allocates or logs; everything it reads from the GUI thread
// arrives through atomics, the generator mailbox or the callback slots. All public members
// are for the GUI thread unless marked otherwise.
class TSimEngine {
public:
    TSimEngine();
    ~TSimEngine();
    TSimEngine(const TSimEngine&) = delete;
    TSimEngine& operator=(const TSimEngine&) = delete;

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
    size_t ringFrames() const { return ring_.capacity(); }

    // Input on: blocks are recorded and announced. Output on: the generator plays (it
    // restarts its signals, phases and noise each time the output is switched on).
    void setInput(bool on);
    void setOutput(bool on);
    bool input() const { return inputOn_.load(); }
    bool output() const { return outputOn_.load(); }

    // Hands a new generator snapshot to the audio thread; frees the ones it let go.
    void post(std::unique_ptr<TGenSignal> signal);
    void collect() { genBox_.collect(); }
    // Faults the generator found while playing since the last call (TGenFault bits; any thread).
    uint32_t takeGenFaults() { return renderer_.takeFaults(); }

    // Copies the newest Fsamples frames of input channel i into views[i] (i < count; null
    // views are skipped). Returns 1 when new data arrived since the previous call and at
    // least the largest Fsamples were recorded since the input was started, else 0 and
    // nothing is written. Every call counts as "fetched" for fast pacing.
    // Each Fsamples must be <= ringFrames().
    int fetch(TsmView* const* views, int count);
    // Frames recorded since the input was started (0 before the first block).
    uint64_t recorded() const;

    // Samples at or above full scale in the last block (any thread).
    int overloadCount() const { return overCount_.load(std::memory_order_relaxed); }
    // True (once) when the output filter returned a sample that is not a finite number.
    bool takeFilterFault() { return filterFault_.exchange(false); }
    // Blocks in realtime pacing that came so late that the schedule was restarted.
    uint64_t lateBlocks() const { return late_.load(std::memory_order_relaxed); }
    // True on the audio thread (inside callback 5 or 6).
    bool onAudioThread() const { return audioId_.load() == std::this_thread::get_id(); }

    TSimCallbackSlot onBlock;   // callback 5: code = void (*)(void*), context
    TSimCallbackSlot outFilter; // callback 6: code = SDOutFilterProc

private:
    uint64_t recordedAt(uint64_t end) const;
    void allocateBuffers();
    void threadMain() noexcept;
    void runFast() noexcept;
    void runRealtime() noexcept;
    void waitKick(bool untilFetched) noexcept;
    void sleepUntil(std::chrono::steady_clock::time_point due) noexcept;
    void waitFetched() noexcept;
    void produce() noexcept;
    void resetGenerator() noexcept;
    void applyFilter(int frames) noexcept;
    int quantise(int frames) noexcept;
    void kick();

    TSimSettings settings_;                  // format of the runs; changed only while stopped
    std::unique_ptr<TSimModel> model_;       // device under test
    TGenRenderer renderer_;                  // audio thread (reset while stopped)
    const TGenSignal* signal_ = nullptr;     // audio thread: generator snapshot in use
    TSimMailbox<TGenSignal> genBox_;         // generator snapshots from the GUI thread
    TSimRing ring_;                          // recorded inputs
    std::vector<std::vector<double>> outBuf_; // generator output per channel (at least 2)
    std::vector<std::vector<double>> inBuf_;  // model output per input channel
    std::vector<double*> outPtr_;            // pointers into outBuf_
    std::vector<double*> inPtr_;             // pointers into inBuf_
    std::thread thread_;                     // the audio thread

    std::atomic<bool> stop_{false};          // asks the audio thread to end
    std::mutex sleepMutex_;                  // with sleepCv_: a realtime sleep that stop() ends
    std::condition_variable sleepCv_;
    std::atomic<bool> inputOn_{false};       // recording
    std::atomic<bool> outputOn_{false};      // playing
    std::atomic<bool> filterFault_{false};   // output filter gave a non-finite sample
    std::atomic<uint32_t> inGen_{0};         // bumped at every input start
    std::atomic<uint32_t> outGen_{0};        // bumped at every output start
    std::atomic<uint32_t> kick_{0};          // bumped by fetches, starts and stop; the fast thread waits on it
    std::atomic<uint64_t> inStart_;          // ring position where the input session began
    std::atomic<uint64_t> consumed_{0};      // ring position at the last fetch
    std::atomic<int> overCount_{0};          // samples >= full scale in the last block
    std::atomic<uint64_t> late_{0};          // realtime schedule restarts
    std::atomic<std::thread::id> audioId_{}; // id of the running audio thread
    uint32_t seenInGen_ = 0;                 // audio thread: last input session seen
    uint32_t seenOutGen_ = 0;                // audio thread: last output start seen
    uint64_t seen_ = 0;                      // GUI thread: ring position at the previous fetch
};
