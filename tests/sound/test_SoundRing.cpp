// The modules' recorded-input ring: reads of the newest samples across the wrap, and the
// check that tells a reader its copy was overwritten.
#include "TSoundRing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

namespace {

// Appends `frames` samples to both channels; sample k of channel c holds 1000 * c + k + 1.
void append(TSoundRing& ring, uint64_t& produced, int frames)
{
    std::vector<double> a(static_cast<size_t>(frames)), b(static_cast<size_t>(frames));
    for (int n = 0; n < frames; ++n) {
        a[size_t(n)] = double(produced + uint64_t(n) + 1);
        b[size_t(n)] = 1000.0 + double(produced + uint64_t(n) + 1);
    }
    const double* block[] = {a.data(), b.data()};
    ring.write(block, frames);
    produced += uint64_t(frames);
}

} // namespace

TEST(SoundRing, ReadsTheNewestSamplesAcrossTheWrap)
{
    TSoundRing ring;
    ASSERT_TRUE(ring.allocate(2, 50));
    ASSERT_EQ(ring.capacity(), 64u);
    uint64_t produced = 0;
    for (int block : {7, 30, 41, 64, 3, 60, 1}) { // ends fall before, on and after the wrap
        append(ring, produced, block);
        ASSERT_EQ(ring.written(), produced);
        for (size_t n : {size_t(0), size_t(1), size_t(block), size_t(std::min<uint64_t>(produced, 64))}) {
            for (int c = 0; c < 2; ++c) {
                std::vector<double> got(n + 1, -1.0);
                ring.read(c, produced, got.data(), n);
                for (size_t i = 0; i < n; ++i)
                    ASSERT_EQ(got[i], 1000.0 * c + double(produced - n + i + 1))
                        << "channel " << c << ", " << n << " frames ending at " << produced << ", frame " << i;
                EXPECT_EQ(got[n], -1.0) << "nothing beyond the n frames is written";
            }
            EXPECT_TRUE(ring.intact(produced, n));
        }
    }
    // An older end, still held by the ring.
    std::vector<double> got(20);
    ring.read(1, produced - 30, got.data(), 20);
    for (size_t i = 0; i < 20; ++i)
        EXPECT_EQ(got[i], 1000.0 + double(produced - 50 + i + 1));
    EXPECT_TRUE(ring.intact(produced - 30, 20));
}

TEST(SoundRing, AnOverwrittenRangeIsNotIntact)
{
    TSoundRing ring;
    ASSERT_TRUE(ring.allocate(1, 16));
    uint64_t produced = 0;
    append(ring, produced, 16);
    const uint64_t end = produced;
    EXPECT_TRUE(ring.intact(end, 16));
    append(ring, produced, 1); // the oldest of the 16 is gone
    EXPECT_FALSE(ring.intact(end, 16));
    EXPECT_TRUE(ring.intact(end, 15));
}

// A writer far faster than the ring is long: whatever a reader copies and then finds intact holds
// exactly the samples that end where it asked, never a mix of two blocks.
TEST(SoundRing, AReadFoundIntactWhileWritingHoldsOneConsistentRange)
{
    TSoundRing ring;
    ASSERT_TRUE(ring.allocate(2, 64));
    std::atomic<bool> stop{false};
    std::thread writer([&] {
        uint64_t produced = 0;
        for (int i = 0; !stop.load(std::memory_order_relaxed); ++i)
            append(ring, produced, 1 + i % 37);
    });
    int intactReads = 0;
    std::vector<double> got(48);
    for (int attempt = 0; attempt < 20000 || intactReads == 0; ++attempt) {
        const uint64_t end = ring.written();
        const size_t n = size_t(std::min<uint64_t>(end, 48));
        if (attempt % 2) // let the writer run on meanwhile, even on a busy single core
            std::this_thread::yield();
        ring.read(1, end, got.data(), n);
        if (!ring.intact(end, n))
            continue;
        ++intactReads;
        const auto wrong = std::find_if(got.begin(), got.begin() + long(n), [&, i = end - n](double v) mutable {
            return v != 1000.0 + double(++i);
        });
        if (wrong != got.begin() + long(n)) {
            ADD_FAILURE() << "frame " << (wrong - got.begin()) << " of " << n << " ending at " << end
                          << " holds " << *wrong;
            break;
        }
    }
    stop.store(true);
    writer.join();
}
