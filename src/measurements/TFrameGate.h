// The frame-rate limit between the module's block notifications and the active measurement.
#pragma once

#include <functional>

// Lets a block through only when at least the measurement's frame period has passed since the
// last block let through; faster blocks are dropped, never queued, so the next one that passes
// takes whatever the module holds then. Times in ms on a monotonic clock (steady clock unless
// a test supplies its own). GUI thread only.
class TFrameGate {
public:
    using Clock = std::function<double()>; // ms since an arbitrary start, never decreasing

    explicit TFrameGate(Clock clock = {});

    // Replaces the time source (tests) and restarts the frame clock on it.
    void setClock(Clock clock);
    // The frame clock starts again now (a start of the measurement, a window activation).
    void restart();
    // ms since the last restart or the last block let through.
    double elapsed_ms() const;
    // True, and the clock restarts, when goodFrame_ms is not greater than elapsed_ms().
    bool admit(double goodFrame_ms);

    int passed() const { return m_passed; }   // blocks let through since construction
    int dropped() const { return m_dropped; } // blocks dropped since construction

private:
    Clock m_clock;       // time source
    double m_last = 0.0; // clock reading at the last restart, ms
    int m_passed = 0;    // blocks let through
    int m_dropped = 0;   // blocks dropped for arriving early
};
