#pragma once

#include <cstdint>
#include <functional>

// A periodic timer of the user-interface thread with the rules the synchro
// timer relies on: it ticks one interval after it was last started and then
// once per interval, only while enabled with an interval above 0. A changed
// interval or switching it on starts the countdown afresh; setting the value
// it already has changes nothing. Starts disabled with interval 0.
class PeriodicTimer {
public:
    virtual ~PeriodicTimer() = default;

    uint32_t Interval() const { return m_interval; }
    void SetInterval(uint32_t milliseconds);
    bool Enabled() const { return m_enabled; }
    void SetEnabled(bool enabled);
    // Whether ticks are coming: enabled and an interval above 0.
    bool Running() const { return m_enabled && m_interval != 0; }

    void SetOnTimer(std::function<void()> handler) { m_onTimer = std::move(handler); }

protected:
    // Called by the implementation when the countdown runs out.
    void Tick();

    // Starts the countdown afresh with this interval.
    virtual void StartCountdown(uint32_t milliseconds) = 0;
    virtual void StopCountdown() = 0;

private:
    void Update();

    uint32_t m_interval = 0;
    bool m_enabled = false;
    std::function<void()> m_onTimer;
};
