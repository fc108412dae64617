// The real-time wake-up: atomic count plus eventfd.
#include "core/TWakeSignal.h"

#include <sys/eventfd.h>
#include <unistd.h>

static_assert(std::atomic<uint64_t>::is_always_lock_free && std::atomic<bool>::is_always_lock_free,
              "notify() must not take a lock on any platform it is built for");

TWakeSignal::TWakeSignal() : m_fd(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}

TWakeSignal::~TWakeSignal()
{
    if (m_fd >= 0)
        close(m_fd);
}

// Every operation on the two atomics is sequentially consistent: a notify() that finds the
// descriptor still armed comes before the reader's disarming in that order, so the reader's
// following exchange of the count sees the event; one that finds it disarmed writes again.
void TWakeSignal::notify() noexcept
{
    m_count.fetch_add(1);
    if (m_armed.exchange(true) || m_fd < 0)
        return;
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = write(m_fd, &one, sizeof one);
}

uint64_t TWakeSignal::take() noexcept
{
    if (m_fd >= 0) {
        uint64_t drained = 0;
        [[maybe_unused]] const ssize_t n = read(m_fd, &drained, sizeof drained);
    }
    m_armed.store(false);
    return m_count.exchange(0);
}
