// The output filter path: the output blocks run on the sound module's audio thread while the
// GUI replaces their settings without locks.
#pragma once

#include "dsp/tFilterBlock.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>

// One second-order section of a published chain (coefficients as TIIRObj runs them:
// y = b0*x0 + b1*x1 + b2*x2 + a1*y1 + a2*y2) and the generation of the set it belongs to.
struct TOutSection {
    double b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0; // direct form I coefficients
    uint64_t gen = 0;                              // generation of the owning settings
};

// The filters of one output channel flattened into one cascade with shared nodes (the last
// node of a filter is the first node of the next, so the cascade equals the chain).
struct TOutChain {
    static constexpr int kMaxSections = tFilterBlock::kFilters * 7; // 20 filters of 7 sections
    int sections = 0;                                 // sections in use
    int delay = 0;                                    // delay in samples, 0..119
    std::array<TOutSection, kMaxSections> sec{};      // the cascade, in processing order
};

// An immutable settings object: built on the GUI thread, read by the audio thread.
struct TOutFilterSettings {
    uint64_t generation = 0;       // publication number, 1 for the first
    std::array<TOutChain, 2> ch{}; // left, right
};

// Builds the settings of one output block (designs are taken as they stand). GUI thread.
void compileOutChain(const tFilterBlock& block, TOutChain& chain);

// Runs the output blocks sample pair by sample pair on the audio thread.
//
// Hand-over: publish() builds an immutable settings object and exchanges it into a pending
// slot. The audio thread takes it from there (an exchange with null) between two sample
// pairs, so a pair is filtered entirely with the old or entirely with the new settings. The
// object it stops using goes into a fixed ring of retired objects that the GUI thread frees in
// collect() (publish() collects too); a settings object that the audio thread never took is
// freed by publish() directly. When the ring is full the audio thread keeps the old settings
// for the moment rather than block.
//
// Filter state belongs to the path, not to the settings: when the new chain of a channel has
// as many sections as the old one, the histories are kept, so a changed coefficient set
// continues without a reset; when the count changes, that channel's histories are cleared
// (they belonged to other filters). The delay line is always kept. A non-finite result clears
// the channel's state and outputs 0, so one bad sample cannot silence the path for good.
//
// Denormals: process() sets flush-to-zero and denormals-are-zero for its own duration and
// restores the caller's floating-point mode afterwards, so decaying tails cost nothing and
// the module's own arithmetic is not changed.
//
// Threads: publish(), collect() and the destructor on one GUI thread; process() on one audio
// thread at a time; the counters from any thread. Destroy only after the audio thread stopped.
class TOutputFilterPath {
public:
    TOutputFilterPath() = default;
    ~TOutputFilterPath();
    TOutputFilterPath(const TOutputFilterPath&) = delete;
    TOutputFilterPath& operator=(const TOutputFilterPath&) = delete;

    // Publishes the output blocks designed for the output's sample rate (Hz); returns the new
    // generation. Allocates. GUI thread.
    uint64_t publish(const tFilterBlock& left, const tFilterBlock& right, double rate);
    // Publishes a prepared object (its generation is replaced by the next number).
    uint64_t publish(std::unique_ptr<TOutFilterSettings> s);
    // Frees the settings objects the audio thread has released; returns how many. GUI thread.
    // Call it now and then (publish() does): released objects wait in the ring until then.
    int collect();

    // One sample pair in place (left, right). Without settings the samples pass unchanged.
    // noexcept, no locks, no allocation. Audio thread.
    void process(double* left, double* right) noexcept;

    // Statistics: generation in use by the audio thread (0 = none yet), sample pairs filtered,
    // sections seen whose generation differed from their settings' (must stay 0).
    uint64_t generationInUse() const { return genInUse_.load(std::memory_order_relaxed); }
    uint64_t pairsFiltered() const { return pairs_.load(std::memory_order_relaxed); }
    uint64_t tornSections() const { return torn_.load(std::memory_order_relaxed); }
    // Settings objects freed after the audio thread released them, and freed because a newer
    // one replaced them before the audio thread took them. GUI thread.
    uint64_t settingsReleased() const { return freedReleased_; }
    uint64_t settingsUnseen() const { return freedUnseen_; }

private:
    static constexpr uint32_t kRetired = 64; // ring of released objects, power of two

    // Filter histories of one channel (node 0 inputs, node k outputs of section k; newest
    // first) and its delay line. Audio thread only.
    struct ChannelState {
        std::array<std::array<double, 3>, TOutChain::kMaxSections + 1> node{}; // histories
        std::array<double, tFilterBlock::kDelayLen> delay{}; // delay line, newest first
        int sections = 0;                                    // cascade length they belong to
    };

    void takePending() noexcept;
    double run(const TOutChain& c, ChannelState& st, double x, uint64_t gen) noexcept;

    std::atomic<TOutFilterSettings*> pending_{nullptr};  // published, not yet taken
    TOutFilterSettings* current_ = nullptr;              // in use; audio thread only
    std::array<std::atomic<TOutFilterSettings*>, kRetired> retired_{}; // released objects
    std::atomic<uint32_t> retHead_{0};                   // next ring slot the audio side fills
    std::atomic<uint32_t> retTail_{0};                   // next ring slot the GUI side frees
    uint64_t nextGen_ = 0;                               // last generation handed out; GUI
    uint64_t freedReleased_ = 0;                         // objects freed after release; GUI
    uint64_t freedUnseen_ = 0;                           // objects freed unseen; GUI
    std::array<ChannelState, 2> state_{};                // left, right; audio thread only
    std::atomic<uint64_t> genInUse_{0};                  // generation of current_
    std::atomic<uint64_t> pairs_{0};                     // sample pairs filtered
    std::atomic<uint64_t> torn_{0};                      // inconsistent sections seen
};

// The program's output path (the one callback 6 runs).
TOutputFilterPath& outputFilterPath();

// Publishes the output blocks of `blocks`, designed for `rate` (Hz), to the program's path.
// GUI thread.
void publishOutputBlocks(const tFilterBlockSet& blocks, double rate);

// Callback 6 of the sound module: one output sample pair through the program's path.
extern "C" void vlOutputFilter(double* left, double* right);
