// A wake-up that a real-time thread sends and the GUI thread collects: atomic count plus eventfd.
#pragma once

#include <atomic>
#include <cstdint>

// A real-time thread announces events with notify(); the GUI thread watches fd() (a
// QSocketNotifier, or any poll) and collects how many were announced with take(). notify()
// neither locks nor allocates: it counts with an atomic and writes the eventfd only when the
// count was collected since the last write, so a reader that falls behind costs the audio
// thread no system call per event.
//
// Threads: notify() from any number of threads; take() from one reader thread. Destroy only
// when no thread can call notify() any more.
class TWakeSignal {
public:
    TWakeSignal();
    ~TWakeSignal();
    TWakeSignal(const TWakeSignal&) = delete;
    TWakeSignal& operator=(const TWakeSignal&) = delete;

    // The descriptor that turns readable after a notify(); -1 when the system gave none (the
    // reader then has to poll take()).
    int fd() const { return m_fd; }
    // Any thread, real-time safe: one more event.
    void notify() noexcept;
    // Reader thread: the events announced since the last take(), and the descriptor drained.
    // A wake-up may find 0 (an event already collected by the take() before it).
    uint64_t take() noexcept;

private:
    int m_fd = -1;                     // non-blocking eventfd, -1 when none could be made
    std::atomic<uint64_t> m_count{0};  // events not yet taken
    std::atomic<bool> m_armed{false};  // the eventfd was written and not yet drained
};
