#include "timer/QtPeriodicTimer.h"

#include <algorithm>
#include <climits>

QtPeriodicTimer::QtPeriodicTimer()
{
    m_timer.setTimerType(Qt::CoarseTimer);
    QObject::connect(&m_timer, &QTimer::timeout, [this] { Tick(); });
}

namespace {

// A stored interval of a few milliseconds would run a synchronization all
// the time; runs come at most once a second, whatever the store holds.
constexpr uint32_t kShortestCountdown = 1000;

}  // namespace

void QtPeriodicTimer::StartCountdown(uint32_t milliseconds)
{
    // Longer intervals than a QTimer takes are cut to its longest, as the
    // window-message timer cuts them to its own.
    m_timer.start(static_cast<int>(std::clamp<uint32_t>(milliseconds, kShortestCountdown, INT_MAX)));
}

void QtPeriodicTimer::StopCountdown()
{
    m_timer.stop();
}
