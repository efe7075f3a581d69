#pragma once

#include "tray/TrayDesktop.h"

#include <functional>
#include <set>
#include <vector>

// A desktop whose clock, pointer and keys a test sets by hand. Menus are not
// opened; each popup is recorded and may run a test's reaction instead.
class FakeTrayDesktop : public TrayDesktop {
public:
    struct Popup {
        QMenu* menu;
        QPoint pos;
    };

    uint32_t TickCount() const override { return m_tick; }
    QPoint CursorPos() const override { return m_cursor; }
    uint32_t DoubleClickTime() const override { return m_doubleClickTime; }
    bool IsKeyDown(Key key) const override { return m_keysDown.count(key) != 0; }
    bool MouseButtonsSwapped() const override { return m_swapped; }
    void SetForegroundWindow(QObject* window) override { m_foreground = window; }
    void PopupMenu(QMenu& menu, QPoint pos) override;

    void SetTick(uint32_t tick) { m_tick = tick; }
    void AdvanceTick(uint32_t ms) { m_tick += ms; }
    void SetCursor(QPoint pos) { m_cursor = pos; }
    void SetDoubleClickTime(uint32_t ms) { m_doubleClickTime = ms; }
    void SetKeyDown(Key key, bool down);
    void SetSwapped(bool swapped) { m_swapped = swapped; }
    // Runs while a menu is "open", e.g. to trigger one of its items.
    void SetOnPopup(std::function<void(QMenu&)> reaction) { m_onPopup = std::move(reaction); }

    const std::vector<Popup>& Popups() const { return m_popups; }
    QObject* Foreground() const { return m_foreground; }

private:
    uint32_t m_tick = 1000;
    QPoint m_cursor;
    uint32_t m_doubleClickTime = 500;
    std::set<Key> m_keysDown;
    bool m_swapped = false;
    QObject* m_foreground = nullptr;
    std::function<void(QMenu&)> m_onPopup;
    std::vector<Popup> m_popups;
};
