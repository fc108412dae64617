// The recorded-input ring every sound module keeps.
#include "TSoundRing.h"

#include <algorithm>
#include <new>

bool TSoundRing::allocate(int channels, size_t frames)
{
    size_t cap = 1;
    while (cap < frames)
        cap <<= 1;
    data_.reset(new (std::nothrow) std::atomic<double>[cap * size_t(channels)]);
    capacity_ = data_ ? cap : 0;
    channels_ = data_ ? channels : 0;
    writing_.store(0, std::memory_order_relaxed);
    written_.store(0, std::memory_order_relaxed);
    return data_ != nullptr;
}

void TSoundRing::write(const double* const* block, int frames) noexcept
{
    const uint64_t start = written_.load(std::memory_order_relaxed);
    // Announce the range first: every sample is a release store after it, so a reader that
    // sees any of the new samples (with an acquire load) also sees this. On x86 both are plain
    // moves; unlike a fence, the thread sanitizer understands them.
    writing_.store(start + uint64_t(frames), std::memory_order_relaxed);
    const size_t mask = capacity_ - 1;
    for (int c = 0; c < channels_; ++c) {
        std::atomic<double>* ch = data_.get() + size_t(c) * capacity_;
        for (int n = 0; n < frames; ++n)
            ch[(start + uint64_t(n)) & mask].store(block[c][n], std::memory_order_release);
    }
    written_.store(start + uint64_t(frames), std::memory_order_release);
}

void TSoundRing::read(int channel, uint64_t end, double* dst, size_t n) const noexcept
{
    // At most two runs: up to the end of the ring, then from its start.
    const std::atomic<double>* ch = data_.get() + size_t(channel) * capacity_;
    const size_t first = size_t(end - n) & (capacity_ - 1);
    const size_t head = std::min(n, capacity_ - first);
    copyRun(ch + first, dst, head);
    copyRun(ch, dst + head, n - head);
}

void TSoundRing::copyRun(const std::atomic<double>* src, double* dst, size_t n) noexcept
{
    for (size_t i = 0; i < n; ++i)
        dst[i] = src[i].load(std::memory_order_acquire);
}

bool TSoundRing::intact(uint64_t end, size_t n) const noexcept
{
    // The acquire loads of read() make every announcement of the samples it saw visible here.
    const uint64_t reach = writing_.load(std::memory_order_relaxed);
    return reach - (end - n) <= capacity_;
}
