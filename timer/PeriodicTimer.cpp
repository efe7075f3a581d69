#include "timer/PeriodicTimer.h"

void PeriodicTimer::SetInterval(uint32_t milliseconds)
{
    if (milliseconds == m_interval)
        return;
    m_interval = milliseconds;
    Update();
}

void PeriodicTimer::SetEnabled(bool enabled)
{
    if (enabled == m_enabled)
        return;
    m_enabled = enabled;
    Update();
}

void PeriodicTimer::Update()
{
    if (Running())
        StartCountdown(m_interval);
    else
        StopCountdown();
}

void PeriodicTimer::Tick()
{
    if (Running() && m_onTimer)
        m_onTimer();
}
