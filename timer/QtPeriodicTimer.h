#pragma once

#include "timer/PeriodicTimer.h"

#include <QTimer>

// The periodic timer on a QTimer. Qt's timers do not pile up ticks: however
// long a tick's handler runs, at most one tick waits when it returns.
class QtPeriodicTimer : public PeriodicTimer {
public:
    QtPeriodicTimer();

    // The countdown the QTimer runs now in milliseconds, -1 when stopped.
    int Countdown() const { return m_timer.isActive() ? m_timer.interval() : -1; }

protected:
    void StartCountdown(uint32_t milliseconds) override;
    void StopCountdown() override;

private:
    QTimer m_timer;
};
