// Plays generator snapshots block by block, on the audio thread.
#pragma once

#include "TGenNoise.h"
#include "TGenSignal.h"

#include <atomic>
#include <cstdint>

// Faults found while playing (bits of TGenRenderer::takeFaults).
enum TGenFault : uint32_t {
    gfFormulaMath = 0x1,  // the formula raised an arithmetic fault (division by zero, ...)
    gfFormulaValue = 0x2, // the formula gave a value that is not finite or beyond +60 dBFS
};

// render() and reset() belong to the audio thread: no locks, allocation, exceptions or
// logging. Every piece of state advances per sample, so the output does not depend on how the
// samples are grouped into blocks. A channel whose snapshot restart key changes starts its
// signal again; otherwise a new snapshot continues where the old one was (tone phases, noise,
// position in the repetition, file position, formula variables while the formula is the same).
// After a formula fault the formula's channels stay silent until the next snapshot or reset.
class TGenRenderer {
public:
    // Largest output sample magnitude the formula may give (+60 dBFS).
    static constexpr double kMaxFormulaOutput = 1000.0;

    // Starts everything again; seeds are for the white noise of the two channels.
    void reset(uint64_t seedLeft, uint64_t seedRight) noexcept;
    // Writes frames samples per channel; a null snapshot gives silence.
    void render(const TGenSignal* s, double* left, double* right, int frames) noexcept;
    // Any thread: the faults found since the last call (TGenFault bits).
    uint32_t takeFaults() noexcept { return faults_.exchange(0, std::memory_order_acq_rel); }

private:
    static constexpr int kChunk = 256; // formula values computed ahead, per step

    struct Channel {
        uint64_t key = 0;       // restart key of the signal being played
        uint64_t pos = 0;       // samples since the signal started
        double ph = 0.0;        // first tone phase, cycles, [0, 1)
        double ph2 = 0.0;       // second tone phase, cycles, [0, 1)
        TGenNoise noise;        // white noise source
        uint64_t noiseSeed = 1; // its seed (used again at each restart)
    };

    void adopt(const TGenSignal& s) noexcept;
    void formulaStep(const TGenSignal& s, int n) noexcept;
    void channelStep(const TGenSignal& s, int c, double* dst, int n) noexcept;
    static void tones(const TGenChannel& ch, Channel& st, double* dst, int n) noexcept;
    static void repeated(const TGenChannel& ch, const Channel& st, double* dst, int n) noexcept;
    static void others(const TGenSignal& s, const TGenChannel& ch, Channel& st, double* dst,
                       int n) noexcept;

    Channel ch_[2];                       // per output channel
    long double args_[kCalcMaxVars] = {}; // formula variables
    uint64_t formulaKey_ = 0;             // formula the variables belong to
    uint64_t deadSerial_ = 0;             // snapshot whose formula faulted (0 = none)
    double values_[kChunk] = {};          // formula values of the current step
    int valuesCount_ = 0;                 // values_ valid in this step (less after a fault)
    std::atomic<uint32_t> faults_{0};     // TGenFault bits for the GUI thread
};
