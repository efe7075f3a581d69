#pragma once

#include <QPoint>

#include <cstdint>

class QMenu;
class QObject;

// What the tray icon asks of the desktop besides the notification area: the
// clock, the pointer, the keyboard and the showing of its menus. The program
// uses QtTrayDesktop; tests use FakeTrayDesktop.
class TrayDesktop {
public:
    enum class Key { Shift, Alt, Control, LeftButton, RightButton, MiddleButton };

    virtual ~TrayDesktop() = default;

    // Milliseconds since some fixed moment, wrapping at 32 bits.
    virtual uint32_t TickCount() const = 0;
    // Screen position of the pointer now.
    virtual QPoint CursorPos() const = 0;
    // Longest time between the clicks of a double-click, in milliseconds.
    virtual uint32_t DoubleClickTime() const = 0;
    // Whether the key or the physical mouse button is down at this moment.
    virtual bool IsKeyDown(Key key) const = 0;
    // Whether the user swapped the left and right mouse buttons.
    virtual bool MouseButtonsSwapped() const = 0;
    // Lets the menu about to open take the input focus from whoever has it.
    virtual void SetForegroundWindow(QObject* window) = 0;
    // Opens the menu at a screen point and returns when it has closed.
    virtual void PopupMenu(QMenu& menu, QPoint pos) = 0;
};
