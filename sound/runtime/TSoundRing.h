// A module's recorded input: a multi-channel ring written by the audio thread and read by the
// GUI thread without locks.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

// One writer (the audio thread) appends whole blocks to every channel; one reader (the GUI
// thread) copies the newest samples. The writer never waits: it overwrites the oldest data.
// A reader therefore copies first and then checks with intact() that nothing it copied was
// overwritten meanwhile (the samples are atomics, so such a race is well defined).
class TSoundRing {
public:
    // GUI thread, while no writer runs: channels x at least `frames` samples (rounded up to
    // a power of two), all zero, nothing written. False when the memory is not available.
    bool allocate(int channels, size_t frames);
    size_t capacity() const noexcept { return capacity_; }
    int channels() const noexcept { return channels_; }

    // Audio thread: appends `frames` (<= capacity) samples of each channel.
    void write(const double* const* block, int frames) noexcept;
    // Any thread: frames appended since allocate().
    uint64_t written() const noexcept { return written_.load(std::memory_order_acquire); }

    // GUI thread: copies the n frames of one channel that end at frame `end` (end <= written(),
    // n <= end, n <= capacity) into dst.
    void read(int channel, uint64_t end, double* dst, size_t n) const noexcept;
    // GUI thread, after read(): true when the n frames ending at `end` were not overwritten
    // while they were copied.
    bool intact(uint64_t end, size_t n) const noexcept;

private:
    static void copyRun(const std::atomic<double>* src, double* dst, size_t n) noexcept;

    std::unique_ptr<std::atomic<double>[]> data_; // channel c at [c * capacity_, (c+1) * capacity_)
    size_t capacity_ = 0;                         // frames per channel, a power of two
    int channels_ = 0;                            // number of channels
    std::atomic<uint64_t> writing_{0};            // end of the block being written
    std::atomic<uint64_t> written_{0};            // end of the last complete block
};
