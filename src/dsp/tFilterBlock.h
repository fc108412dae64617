// Filter blocks: chains of IIR filters with a delay line, level and polarity.
#pragma once

#include "dsp/IIR_obj_D.h"

#include <array>
#include <cstdint>

// A chain of 20 IIR filters with a block bypass and a delay line of up to 119 samples.
// The level and polarity fields travel with the block (stored, copied, edited) but the
// filtering does not apply them.
//
// Threads: one thread uses one block at a time. newCycle and DoDelay are noexcept and never
// allocate; everything else may redesign filters and belongs to the thread that edits the block.
class tFilterBlock {
public:
    static constexpr int kFilters = 20;      // filters in the chain
    static constexpr int kDelayLen = 120;    // delay-line length, samples
    static constexpr int kMaxDelay = kDelayLen - 1; // largest usable delay, samples

    // A new block: no delay, empty delay line, not inverted, on, 0 dB, bypassed, 20 Flat filters.
    tFilterBlock();
    // Copies every field, the delay line and the 20 filters (redesigned).
    tFilterBlock(const tFilterBlock& other);
    tFilterBlock& operator=(const tFilterBlock& other);
    // The same into this existing block.
    void copyfrom(const tFilterBlock& other);

    // One sample through every filter that is not Flat and not bypassed (none when the block
    // is bypassed). Filter state is kept between calls.
    double newCycle(double v) noexcept;
    // One sample through the delay line: returns the input of Delay_samps samples ago
    // (Delay_samps is clamped to 119 first; 0 returns v itself).
    double DoDelay(double v) noexcept;
    // Zeroes every filter's state and the delay line.
    void ClearData() noexcept;
    // Designs every filter of the chain for sample rate fs (Hz); see TIIRObj::SetDesignSampleRate.
    void SetDesignSampleRate(double fs);

    // Level in dB (values above 0 are ignored), and the polarity / output switches; each
    // recomputes ffak.
    void SetLeveldB(double x);
    void SetInverted(bool inv);
    void SetOutputOn(bool on);
    // True when no filter of this block changes a sample (bypassed block, or every filter
    // Flat or bypassed).
    bool inactive() const;

    int32_t Delay_samps = 0;                  // delay in samples, 0..119
    std::array<double, kDelayLen> Delaybuffer{}; // delay line, newest sample first
    bool fcpL = false;                        // polarity inverted
    bool foniL = true;                        // output on
    double fLevLin = 1.0;                     // level, linear
    double fLeveldB = 0.0;                    // level in dB, never above 0
    double ffak = 1.0;                        // +fLevLin, -fLevLin when inverted, 0 when off
    bool bypass = true;                       // the whole block is bypassed
    std::array<TIIRObj, kFilters> aEq;        // the chain, in processing order

private:
    void updateFak();
};

// True when neither block changes a sample: both bypassed, or every filter of both blocks
// bypassed, Flat, or in a bypassed block.
bool BlocksInactive(const tFilterBlock& left, const tFilterBlock& right);

// The program's blocks, owned by the main window: time-domain input filters and output filters,
// left and right, with the flags that make the right block follow the left one when the editor
// closes. GUI thread only; the output blocks reach the audio thread through the output filter
// path, the input blocks are lent to the measurement that filters its recorded blocks.
struct tFilterBlockSet {
    tFilterBlock inpLeft;       // input filter, channels 0, 2, ...
    tFilterBlock inpRight;      // input filter, channels 1, 3, ...
    tFilterBlock outLeft;       // output filter, left
    tFilterBlock outRight;      // output filter, right
    bool linkInFromEQL = true;  // input right follows input left
    bool linkOutFromEQL = true; // output right follows output left

    // Takes the editor's copies on OK; with the link flag the left copy goes into both blocks.
    void acceptInput(const tFilterBlock& left, const tFilterBlock& right);
    void acceptOutput(const tFilterBlock& left, const tFilterBlock& right);
};
