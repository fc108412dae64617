// What the room model is: its impulse response, built from the [Room] settings, and its Schroeder decay.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// One discrete reflection after the direct sound.
struct TSimReflection {
    double delayMs; // after the direct sound, ms
    double gainDb;  // relative to the direct sound, dB
};

// The room as set in [Room]. Times of reflections and tail count from the direct sound.
struct TSimRoomSpec {
    double delayMs = 2.0;                      // direct sound after the played sample, ms
    std::vector<TSimReflection> reflections{{3.1, -6.0}, {7.4, -9.0}};
    double rt60Ms = 400.0;                     // reverberation time of the tail, ms
    double tailStartMs = 10.0;                 // start of the diffuse tail, ms
    double tailLevelDb = -20.0;                // RMS of the tail at its start, dB re direct
};

// Longest text, reflections and times accepted in [Room].
constexpr size_t kSimMaxReflections = 64;
constexpr double kSimMaxReflectionMs = 1000.0;
// The tail is cut where it has decayed by this much (dB), two reverberation times.
constexpr double kSimTailRangeDb = 120.0;

// Parses "3.1:-6, 7.4:-9" (delay ms : gain dB, separated by "," or ";"; empty = none). False,
// with the reason in *error and *out untouched, for anything else: bad numbers, a delay
// outside 0..kSimMaxReflectionMs, a gain outside -200..+20 dB, more than kSimMaxReflections.
bool simParseReflections(std::string_view text, std::vector<TSimReflection>* out, std::string* error);

// Sample index of a time after the direct sound: rounded to the nearest sample.
size_t simRoomSamples(double ms, double fs);
// Length of the impulse response in samples.
size_t simRoomLength(const TSimRoomSpec& spec, double fs);
// The impulse response at fs: 1 at the direct sound, each reflection's gain at its sample, and
// from the tail start a seeded Gaussian noise of RMS 10^(tailLevelDb/20) whose amplitude decays
// by 60 dB per rt60Ms, cut after kSimTailRangeDb. Reproducible for a seed.
std::vector<double> simRoomImpulse(const TSimRoomSpec& spec, double fs, uint32_t seed);
// Schroeder's backward-integrated energy decay in dB re the total energy, one value per sample
// (-infinity after the last non-zero sample).
std::vector<double> simSchroederDb(const std::vector<double>& impulse);
// The reverberation time (ms) the decay implies: a least-squares line through the decay from
// 5 dB to 35 dB below its level at sample `from`, extrapolated to 60 dB. 0 when the decay does
// not fall that far.
double simRt60FromDecay(const std::vector<double>& decayDb, double fs, size_t from);
