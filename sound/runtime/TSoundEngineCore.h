// The audio-core half every sound module shares: generator snapshots, the output filter, the
// recorded-input ring with its session bookkeeping, and the slots of callbacks 5 and 6.
#pragma once

#include "TSoundCallbackSlot.h"
#include "TSoundMailbox.h"
#include "TSoundRing.h"

#include <TGenRenderer.h>
#include <TGenSignal.h>

#include <soundDLLTypes.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

// A module's engine derives from it and adds where blocks come from (a thread of its own, a
// server's process callback). Per block its audio thread calls renderOutput(), which leaves the
// generator's two channels, through callback 6, in outPtr_; then, once the block's inputs are
// in inPtr_, inputSessionBegins() and recordInput(). None of these lock, allocate or log:
// everything they read from the GUI thread arrives through atomics, the generator mailbox or
// the callback slots. Public members are for the GUI thread unless marked otherwise.
class TSoundEngineCore {
public:
    TSoundEngineCore(const TSoundEngineCore&) = delete;
    TSoundEngineCore& operator=(const TSoundEngineCore&) = delete;

    bool input() const { return inputOn_.load(); }
    bool output() const { return outputOn_.load(); }
    size_t ringFrames() const { return ring_.capacity(); }

    // Hands a new generator snapshot to the audio thread; collect() frees the ones it let go.
    void post(std::unique_ptr<TGenSignal> signal) { genBox_.post(std::move(signal)); }
    void collect() { genBox_.collect(); }
    // Faults the generator found while playing since the last call (TGenFault bits; any thread).
    uint32_t takeGenFaults() { return renderer_.takeFaults(); }
    // True (once) when the output filter returned a sample that is not a finite number.
    bool takeFilterFault() { return filterFault_.exchange(false); }
    // Any thread: samples at or above full scale in the last block's inputs.
    int overloadCount() const { return overCount_.load(std::memory_order_relaxed); }
    // Frames recorded since the input was started (0 before its first block).
    uint64_t recorded() const { return recordedAt(ring_.written()); }
    // Any thread: where the generator's first sample lies in the recording, in frames from the
    // input session's start (negative when the output started first and still plays). Valid
    // when hasOutputOffset(): both have played a block since they were last switched on.
    int64_t outputOffset() const { return outStartFrame_.load() - inStartFrame_.load(); }
    bool hasOutputOffset() const { return inStartFrame_.load() >= 0 && outStartFrame_.load() >= 0; }
    // True on the audio thread (inside callback 5 or 6).
    bool onAudioThread() const { return audioId_.load() == std::this_thread::get_id(); }
    // The DC offset correction of the recorded inputs (full scale = 1): offsets are added to the
    // first two inputs; with autoRemove each input's mean since the input was started is taken
    // off instead. Takes effect at the next block.
    void setInputDC(double left, double right, bool autoRemove) noexcept;

    TSoundCallbackSlot onBlock;   // callback 5: code = void (*)(void*), context
    TSoundCallbackSlot outFilter; // callback 6: code = SDOutFilterProc

protected:
    TSoundEngineCore() = default;
    ~TSoundEngineCore() = default;

    // While the audio thread does not run: block buffers of `frames` for max(outChannels, 2)
    // outputs (the generator is stereo) and inChannels inputs. Throws std::bad_alloc.
    void allocateBuffers(int outChannels, int inChannels, int frames);
    // Switching on begins a new session, which the audio thread takes up at its next block.
    void switchInput(bool on);
    void switchOutput(bool on);
    // Before the audio thread starts: readers start over, and its first block opens a new
    // input session (and restarts the generator, for restartOutputSession()).
    void restartInputSession();
    void restartOutputSession()
    {
        seenOutGen_ = outGen_.load() - 1;
        outStartFrame_.store(-1);
    }
    // While the audio thread does not run: the generator's signals, phases and noise start again.
    void resetGenerator(uint32_t seed) noexcept;

    // Copies the newest Fsamples frames of input i into views[i] (i < count; null views are
    // skipped) and returns 1 when the ring grew past seen_ and at least the largest Fsamples
    // were recorded in this input session; seen_ then moves to *end. Else 0, and the views'
    // contents are undefined. *end is the ring position the copy ends at, delivered or not.
    int copyNewest(TsmView* const* views, int count, uint64_t* end);
    uint64_t recordedAt(uint64_t end) const;

    // Audio thread: the generator's block (silence while the output is off) in outPtr_[0..1],
    // through callback 6. True when this block is the first one played since the output was
    // switched on (or the session restarted): its first frame is the generator's first sample,
    // and frame_ is noted as the output's start.
    bool renderOutput(int frames, uint32_t seed) noexcept;
    // Audio thread: true when the input was switched on since the last block; the session
    // begins at the ring's current end and at frame_.
    bool inputSessionBegins() noexcept;
    // Audio thread: while the input is on, appends inPtr_ to the ring and announces the block.
    void recordInput(int frames) noexcept;
    // Audio thread: callback 5.
    void announceBlock() noexcept;

    TSoundRing ring_;                          // recorded inputs
    TSoundMailbox<TGenSignal> genBox_;         // generator snapshots from the GUI thread
    std::vector<double*> outPtr_;              // generator output per channel (at least 2)
    std::vector<double*> inPtr_;               // the block's inputs per channel
    std::atomic<int> overCount_{0};            // samples >= full scale in the last block
    std::atomic<std::thread::id> audioId_{};   // id of the running audio thread
    uint64_t seen_ = 0;                        // GUI thread: ring position of the last fetch
    int64_t frame_ = 0;                        // audio thread: the block's first frame on the engine's own count;
                                               // the engine advances it after each block

private:
    // inStart_ before the audio thread has seen the input session begin.
    static constexpr uint64_t kNoSession = ~uint64_t(0);

    void applyFilter(int frames) noexcept;
    void correctDC(int frames) noexcept;

    static constexpr int kDCChannels = 8;  // inputs the automatic removal follows

    TGenRenderer renderer_;                    // audio thread (reset while it does not run)
    std::vector<std::vector<double>> outBuf_;  // behind outPtr_
    std::vector<std::vector<double>> inBuf_;   // behind inPtr_
    std::atomic<bool> inputOn_{false};         // recording
    std::atomic<bool> outputOn_{false};        // playing
    std::atomic<bool> filterFault_{false};     // output filter gave a non-finite sample
    std::atomic<uint32_t> inGen_{0};           // bumped at every input start
    std::atomic<uint32_t> outGen_{0};          // bumped at every output start
    std::atomic<uint64_t> inStart_{kNoSession}; // ring position where the input session began
    std::atomic<int64_t> inStartFrame_{-1};    // frame_ of the input session's first block
    std::atomic<int64_t> outStartFrame_{-1};   // frame_ of the output's first played block
    uint32_t seenInGen_ = 0;                   // audio thread: last input session seen
    uint32_t seenOutGen_ = 0;                  // audio thread: last output start seen
    bool startPending_ = false;                // audio thread: a start seen, nothing played yet
    std::atomic<double> dcOffset_[2] = {};     // offsets added to inputs 1 and 2, full scale
    std::atomic<bool> dcAuto_{false};          // the running mean is removed instead
    double dcSum_[kDCChannels] = {};           // audio thread: sum of each input this session
    uint64_t dcCount_ = 0;                     // audio thread: frames summed this session
};
