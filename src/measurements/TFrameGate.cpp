// The frame-rate limit of the block dispatch.
#include "measurements/TFrameGate.h"

#include <chrono>

namespace {

double steadyMs()
{
    using namespace std::chrono;
    return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

} // namespace

TFrameGate::TFrameGate(Clock clock) : m_clock(clock ? std::move(clock) : Clock(steadyMs))
{
    restart();
}

void TFrameGate::setClock(Clock clock)
{
    m_clock = clock ? std::move(clock) : Clock(steadyMs);
    restart();
}

void TFrameGate::restart() { m_last = m_clock(); }

double TFrameGate::elapsed_ms() const { return m_clock() - m_last; }

bool TFrameGate::admit(double goodFrame_ms)
{
    if (goodFrame_ms > elapsed_ms()) {
        ++m_dropped;
        return false;
    }
    restart();
    ++m_passed;
    return true;
}
