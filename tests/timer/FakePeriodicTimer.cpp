#include "FakePeriodicTimer.h"

#include <algorithm>

void FakePeriodicTimer::StartCountdown(uint32_t)
{
    m_counting = true;
    m_elapsed = 0;
    ++m_starts;
}

void FakePeriodicTimer::StopCountdown()
{
    m_counting = false;
    m_elapsed = 0;
}

uint64_t FakePeriodicTimer::Remaining() const
{
    return m_counting ? Interval() - m_elapsed : 0;
}

void FakePeriodicTimer::Advance(uint64_t ms)
{
    while (m_counting && ms > 0) {
        const uint64_t step = std::min<uint64_t>(ms, Interval() - m_elapsed);
        m_elapsed += step;
        ms -= step;
        if (m_elapsed == Interval()) {
            m_elapsed = 0;
            // The handler may change the interval or switch the timer off.
            Tick();
        }
    }
}
