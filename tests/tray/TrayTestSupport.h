#pragma once

#include "FakeTrayDesktop.h"
#include "QtTestUtil.h"
#include "RecordingNotifyArea.h"
#include "platform/desktop/NotifyArea.h"
#include "tray/NotifyIcon.h"
#include "tray/TrayApplication.h"

#include <QIcon>

#include <functional>
#include <memory>
#include <string>
#include <vector>

// The application as the tray icon sees it. Visible stands for "the main
// window is on the screen or in the taskbar".
class FakeTrayApplication : public TrayApplication {
public:
    bool IsApplicationWindowVisible() const override { return m_visible; }
    void ShowApplicationWindow() override { ++m_shows; }
    void HideApplicationWindow() override
    {
        ++m_hides;
        m_visible = false;
    }
    void Restore() override
    {
        ++m_restores;
        m_visible = true;
    }
    QIcon ApplicationIcon() const override { return m_icon; }
    QString ApplicationTitle() const override { return m_title; }
    void SetMinimizeEvent(std::function<void()> handler) override { m_minimizeEvent = std::move(handler); }

    // The application minimized itself: its minimize event runs.
    void Minimize()
    {
        if (m_minimizeEvent)
            m_minimizeEvent();
    }

    bool m_visible = true;
    int m_shows = 0;
    int m_hides = 0;
    int m_restores = 0;
    QIcon m_icon;
    QString m_title = QStringLiteral("Application title");
    std::function<void()> m_minimizeEvent;
};

// The shell, desktop and application of one icon under test.
struct TrayRig {
    RecordingNotifyArea shell;
    FakeTrayDesktop desktop;
    FakeTrayApplication application;

    std::unique_ptr<TNotifyIcon> MakeIcon(uint32_t shellVersion);
    // Sends codes in order, delivering each before the next.
    void Send(const std::vector<uint32_t>& codes);
};

// Collects every event of an icon as a line of text.
class EventLog {
public:
    explicit EventLog(TNotifyIcon& icon);
    const std::vector<std::string>& Lines() const { return m_lines; }
    void Clear() { m_lines.clear(); }

private:
    std::vector<std::string> m_lines;
};
