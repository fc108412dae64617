// A sound file read whole into memory for looped playback.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// The first two channels of a file libsndfile can read (WAV, FLAC, ...), as 32-bit floats
// with full scale 1.0 (integer files are scaled by libsndfile; float files keep their values
// bit for bit). A mono file plays on both channels. Loaded on the GUI thread, read by any.
class TGenSoundFile {
public:
    // Longest file accepted, in frames (about 11 minutes at 48 kHz).
    static constexpr int64_t kMaxFrames = int64_t(1) << 25;
    // Largest sample magnitude accepted (+60 dBFS); larger or non-finite values mean a
    // broken file.
    static constexpr double kMaxMagnitude = 1000.0;

    // Reads name (UTF-8 path). Null with a message for the user in error when the file cannot
    // be opened or read, has no samples, is too long, holds values that are not numbers or
    // out of range, or its sample rate is not rate. Never throws (memory shortage included).
    static std::shared_ptr<const TGenSoundFile> load(const std::string& name, int rate,
                                                     std::string& error);

    int64_t frames() const { return frames_; }
    int channels() const { return channels_; }
    int rate() const { return rate_; }
    // Sample of output channel c (0 left, 1 right) at frame i < frames(). Any thread.
    double at(int c, int64_t i) const noexcept { return samples_[size_t(2 * i + c)]; }

private:
    TGenSoundFile() = default;

    std::vector<float> samples_; // interleaved left, right
    int64_t frames_ = 0;         // frames in samples_
    int channels_ = 0;           // channels of the file
    int rate_ = 0;               // sample rate of the file, Hz
};
