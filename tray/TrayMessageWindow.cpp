#include "tray/TrayMessageWindow.h"

#include "platform/desktop/NotifyArea.h"

#include <QTimer>

TrayMessageWindow::TrayMessageWindow(Procedure procedure) : m_procedure(std::move(procedure))
{
}

TrayMessageWindow::~TrayMessageWindow() = default;

void TrayMessageWindow::SetTimer(uint32_t id, int ms)
{
    auto& timer = m_timers[id];
    if (!timer) {
        timer = std::make_unique<QTimer>();
        connect(timer.get(), &QTimer::timeout, this, [this, id] { Dispatch(NotifyArea::WM_TIMER, id, 0); });
    }
    timer->start(ms);
}

void TrayMessageWindow::KillTimer(uint32_t id)
{
    const auto found = m_timers.find(id);
    if (found != m_timers.end())
        found->second->stop();
}

bool TrayMessageWindow::IsTimerActive(uint32_t id) const
{
    const auto found = m_timers.find(id);
    return found != m_timers.end() && found->second->isActive();
}

int TrayMessageWindow::TimerInterval(uint32_t id) const
{
    return IsTimerActive(id) ? m_timers.at(id)->interval() : -1;
}

bool TrayMessageWindow::event(QEvent* event)
{
    if (event->type() == WindowMessageEvent::EventType()) {
        const auto* message = static_cast<const WindowMessageEvent*>(event);
        Dispatch(message->Message(), message->WParam(), message->LParam());
        return true;
    }
    return QObject::event(event);
}

void TrayMessageWindow::Dispatch(uint32_t message, uintptr_t wParam, intptr_t lParam)
{
    TMessage msg{message, wParam, lParam, 0};
    m_procedure(msg);
}
