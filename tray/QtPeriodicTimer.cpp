#include "tray/QtPeriodicTimer.h"

#include <algorithm>
#include <climits>

QtPeriodicTimer::QtPeriodicTimer()
{
    m_timer.setTimerType(Qt::CoarseTimer);
    QObject::connect(&m_timer, &QTimer::timeout, [this] { Tick(); });
}

void QtPeriodicTimer::StartCountdown(uint32_t milliseconds)
{
    // Longer intervals than a QTimer takes are cut to its longest, as the
    // window-message timer cuts them to its own.
    m_timer.start(static_cast<int>(std::min<uint32_t>(milliseconds, INT_MAX)));
}

void QtPeriodicTimer::StopCountdown()
{
    m_timer.stop();
}
