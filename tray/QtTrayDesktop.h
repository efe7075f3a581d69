#pragma once

#include "tray/TrayDesktop.h"

#include <QElapsedTimer>

// The desktop as Qt sees it.
class QtTrayDesktop : public TrayDesktop {
public:
    QtTrayDesktop();

    uint32_t TickCount() const override;
    QPoint CursorPos() const override;
    uint32_t DoubleClickTime() const override;
    bool IsKeyDown(Key key) const override;
    // Qt reports the buttons after any swap, so they never look swapped here.
    bool MouseButtonsSwapped() const override { return false; }
    void SetForegroundWindow(QObject* window) override;
    void PopupMenu(QMenu& menu, QPoint pos) override;

private:
    QElapsedTimer m_clock;
};
