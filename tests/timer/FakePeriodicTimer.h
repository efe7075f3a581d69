#pragma once

#include "timer/PeriodicTimer.h"

// A periodic timer whose time a test moves on by hand.
class FakePeriodicTimer : public PeriodicTimer {
public:
    // Lets ms milliseconds pass and delivers the ticks that fall due, each
    // one after the previous tick's handler has returned.
    void Advance(uint64_t ms);
    // How many times the countdown was started afresh.
    int Starts() const { return m_starts; }
    // Milliseconds until the next tick, 0 when none is coming.
    uint64_t Remaining() const;

protected:
    void StartCountdown(uint32_t milliseconds) override;
    void StopCountdown() override;

private:
    bool m_counting = false;
    uint64_t m_elapsed = 0;  // since the countdown last started or ticked
    int m_starts = 0;
};
