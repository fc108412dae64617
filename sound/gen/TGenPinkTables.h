// Periodic pink noise for both output channels.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

class FFtuliContext;

// Two independent periods of pink noise, made in the frequency domain: every bin from 10 Hz up
// to below half the sample rate gets the magnitude 1/sqrt(f) (equal power per octave, -3 dB
// per octave in the density) and a random phase; bins below 10 Hz and at half the rate are 0.
// Each period is scaled so that its largest sample is exactly 1. Played in a loop the noise
// has exactly this spectrum at the multiples of rate / kLength. Made on the GUI thread, read
// by any.
struct TGenPinkTables {
    static constexpr int kLength = 1 << 20; // samples per period
    static constexpr double kLowHz = 10.0;  // lowest frequency with power

    // Throws std::bad_alloc.
    static std::shared_ptr<const TGenPinkTables> make(double rate, uint64_t seed,
                                                      FFtuliContext& fft);

    std::vector<float> ch[2]; // left and right, kLength samples each, largest magnitude 1.0
    double rate = 0;          // sample rate the spectrum was laid out for, Hz
    uint64_t seed = 0;        // seed of the random phases
};
