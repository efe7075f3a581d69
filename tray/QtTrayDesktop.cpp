#include "tray/QtTrayDesktop.h"

#include <QCursor>
#include <QGuiApplication>
#include <QMenu>
#include <QStyleHints>

QtTrayDesktop::QtTrayDesktop()
{
    m_clock.start();
}

uint32_t QtTrayDesktop::TickCount() const
{
    return static_cast<uint32_t>(m_clock.elapsed());
}

QPoint QtTrayDesktop::CursorPos() const
{
    return QCursor::pos();
}

uint32_t QtTrayDesktop::DoubleClickTime() const
{
    return static_cast<uint32_t>(QGuiApplication::styleHints()->mouseDoubleClickInterval());
}

bool QtTrayDesktop::IsKeyDown(Key key) const
{
    switch (key) {
    case Key::Shift: return QGuiApplication::queryKeyboardModifiers().testFlag(Qt::ShiftModifier);
    case Key::Alt: return QGuiApplication::queryKeyboardModifiers().testFlag(Qt::AltModifier);
    case Key::Control: return QGuiApplication::queryKeyboardModifiers().testFlag(Qt::ControlModifier);
    case Key::LeftButton: return QGuiApplication::mouseButtons().testFlag(Qt::LeftButton);
    case Key::RightButton: return QGuiApplication::mouseButtons().testFlag(Qt::RightButton);
    case Key::MiddleButton: return QGuiApplication::mouseButtons().testFlag(Qt::MiddleButton);
    }
    return false;
}

void QtTrayDesktop::SetForegroundWindow(QObject*)
{
    // The icon's window is not on screen; QMenu::exec grabs the input itself,
    // which is what bringing it to the foreground achieves elsewhere.
}

void QtTrayDesktop::PopupMenu(QMenu& menu, QPoint pos)
{
    menu.exec(pos);
}
