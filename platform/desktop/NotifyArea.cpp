#include "platform/desktop/NotifyArea.h"

#include <QCoreApplication>

WindowMessageEvent::WindowMessageEvent(uint32_t message, uintptr_t wParam, intptr_t lParam)
    : QEvent(EventType()),
      m_message(message),
      m_wParam(wParam),
      m_lParam(lParam)
{
}

QEvent::Type WindowMessageEvent::EventType()
{
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

void PostWindowMessage(QObject* window, uint32_t message, uintptr_t wParam, intptr_t lParam)
{
    if (window)
        QCoreApplication::postEvent(window, new WindowMessageEvent(message, wParam, lParam));
}
