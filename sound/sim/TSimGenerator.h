// Test-signal synthesis of the virtual bench from a snapshot of the generator record.
#pragma once

#include "TSimNoise.h"

#include <soundDLLTypes.h>

// The generator fields the bench uses, copied from TwaveGO on the GUI thread so the audio
// thread never reads the record the program writes. Index 0 = left, 1 = right.
struct TSimGenParams {
    int mode[2] = {0, 0};            // generator mode (0 sine, 2 white noise)
    double freqHz[2] = {1000, 1000}; // sine frequency, Hz
    double levelDb[2] = {-10, -10};  // peak level, dBFS; <= -192 is silence
    int phaseDeg[2] = {0, 0};        // sine start phase, degrees
    bool on[2] = {true, true};       // channel enabled

    bool operator==(const TSimGenParams&) const = default;
};

// GUI thread: the snapshot of a record.
TSimGenParams simGenParamsFrom(const TwaveGO& go);
// True for the modes this version synthesises; any other mode plays silence.
bool simGenModeAvailable(int mode);

// Sine: level is the peak. White noise: uniform in [-A, A] with A the level, so its RMS is
// the level - 4.77 dB. Phase and noise sequences run on across blocks, so the output does not
// depend on the block size. Audio thread only (reset() also while stopped).
class TSimGenerator {
public:
    // Restarts the sine phases at the record's phase and the noise sequences at the seed.
    void reset(int sampleRate, uint32_t seed) noexcept;
    // Renders frames samples of each channel.
    void render(const TSimGenParams& p, double* left, double* right, int frames) noexcept;

private:
    void renderChannel(const TSimGenParams& p, int c, double* dst, int frames) noexcept;

    double rate_ = 48000.0;   // sample rate, Hz
    double phase_[2] = {};    // sine phase in cycles, [0, 1)
    TSimNoise noise_[2];      // white-noise sources
};
