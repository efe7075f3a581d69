#pragma once

#include <QIcon>
#include <QString>

#include <functional>

// What the tray icon needs of the application: its minimize event, its
// restore, and the window that carries its taskbar entry. The main window
// implements it.
//
// Minimizing is split in two so that a desktop without a notification area
// never loses the program: the application's Minimize only minimizes the main
// window into the taskbar and then raises the minimize event; the icon's
// handler of that event takes the taskbar entry away with
// HideApplicationWindow, and only when a notification area is there to bring
// the program back from.
class TrayApplication {
public:
    virtual ~TrayApplication() = default;

    // Whether the program is on the screen or in the taskbar (the main window
    // is visible, minimized or not).
    virtual bool IsApplicationWindowVisible() const = 0;
    // Gives the program its taskbar entry back (without un-minimizing it).
    virtual void ShowApplicationWindow() = 0;
    // Removes the program from the screen and the taskbar.
    virtual void HideApplicationWindow() = 0;
    // Un-minimizes the program and shows the main window in its normal state.
    virtual void Restore() = 0;

    virtual QIcon ApplicationIcon() const = 0;
    virtual QString ApplicationTitle() const = 0;

    // Installs the handler of the application's minimize event, replacing
    // any other; an empty function clears it. The application raises the
    // event after it has minimized itself.
    virtual void SetMinimizeEvent(std::function<void()> handler) = 0;
};
