// The real-time wake-up: events announced from several threads at once are all collected, and no announced event leaves the reader asleep.
#include "core/TWakeSignal.h"

#include <gtest/gtest.h>

#include <poll.h>

#include <thread>
#include <vector>

// The reader sleeps in poll() until the descriptor wakes it, as the GUI thread does: an event
// counted but never signalled would leave it asleep with the count unread (time-out, failure).
TEST(TWakeSignal, everyEventFromSeveralThreadsIsCollectedAndWakesTheReader)
{
    TWakeSignal s;
    ASSERT_GE(s.fd(), 0);
    constexpr int kThreads = 3;
    constexpr uint64_t kEach = 20000;
    std::vector<std::thread> writers;
    for (int i = 0; i < kThreads; ++i)
        writers.emplace_back([&s] {
            for (uint64_t n = 0; n < kEach; ++n)
                s.notify();
        });
    uint64_t got = 0;
    while (got < kThreads * kEach) {
        pollfd p{s.fd(), POLLIN, 0};
        if (poll(&p, 1, 5000) != 1) {
            ADD_FAILURE() << "announced events left the reader asleep; collected " << got;
            break;
        }
        got += s.take();
    }
    for (std::thread& t : writers)
        t.join();
    EXPECT_EQ(got + s.take(), kThreads * kEach);
}
