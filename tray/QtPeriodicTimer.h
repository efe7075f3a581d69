#pragma once

#include "tray/PeriodicTimer.h"

#include <QTimer>

// The periodic timer on a QTimer. Qt's timers do not pile up ticks: however
// long a tick's handler runs, at most one tick waits when it returns.
class QtPeriodicTimer : public PeriodicTimer {
public:
    QtPeriodicTimer();

protected:
    void StartCountdown(uint32_t milliseconds) override;
    void StopCountdown() override;

private:
    QTimer m_timer;
};
