// Settings of the virtual bench: device format, pacing and the device-under-test model.
#pragma once

#include <cstdint>
#include <map>
#include <string>

// The device-under-test settings as read: the model kind ([Model] Kind) and the parameters of
// every kind from its own section. Keys are "section/key" in lower case (INI sections and keys
// match without regard to case), e.g. "amplifier/a3"; each model picks its own.
struct TSimModelSettings {
    std::string kind = "wire";                 // model name, lower case
    std::map<std::string, double> params;      // numeric parameters (finite values only)
    std::map<std::string, std::string> texts;  // text parameters, as written

    // The value of a key, or def when it is missing.
    double value(const std::string& key, double def) const;
    // The text of a key, or def when it is missing.
    std::string text(const std::string& key, const std::string& def) const;
    bool operator==(const TSimModelSettings&) const = default;
};

// How blocks are produced: paced by the sample rate, or one block per fetch (tests).
enum class TSimPacing { realtime, fast };

// Everything SoundSim.ini holds. Any thread may read a copy; the GUI thread owns the original.
struct TSimSettings {
    int sampleRate = 48000;                 // Hz: 44100, 48000, 96000 or 192000
    int bits = 24;                          // 16, 24, or 32 (= float)
    int inChannels = 2;                     // recorded channels, 1..8
    int outChannels = 2;                    // played channels, 1..8
    TSimPacing pacing = TSimPacing::realtime; // block pacing
    int blockFrames = 1024;                 // frames per block, 64..65536
    uint32_t seed = 1;                      // seed of every noise source
    TSimModelSettings model;                // device under test

    bool operator==(const TSimSettings&) const = default;
};

constexpr int kSimMaxChannels = 8;
constexpr int kSimMinBlock = 64;
constexpr int kSimMaxBlock = 65536;

// True for the four sample rates the bench offers.
bool simRateValid(long long rate);
// Values as the bench uses them: rate and bits outside their sets give the defaults, counts
// and block size are clamped to their ranges. Inputs are 64-bit so huge values clamp too.
int simRateOrDefault(long long rate);
int simBitsOrDefault(long long bits);
int simClampChannels(long long n);
int simClampBlock(long long n);
