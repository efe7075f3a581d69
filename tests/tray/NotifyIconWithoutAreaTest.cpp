// The tray icon on the real notification area of a desktop that has none.

#include "TrayTestSupport.h"
#include "platform/desktop/SystemTrayNotifyArea.h"
#include "tray/QtTrayDesktop.h"

#include <gtest/gtest.h>

// On a desktop without a notification area (the test platform has none)
// the program starts with its icon loaded as stored, and minimize keeps it
// in the taskbar.
TEST(NotifyArea, ProgramStartsWithoutNotificationArea)
{
    SystemTrayNotifyArea area;
    ASSERT_FALSE(area.IsTrayAvailable());
    QtTrayDesktop desktop;
    FakeTrayApplication application;
    TNotifyIcon icon(nullptr, area, desktop, application);
    icon.BeginLoad();
    icon.SetIcon(SolidIcon(Qt::red));
    icon.SetTitle("Folderly 1.3");
    icon.SetMinimizeTo(true);
    icon.SetVisible(true);
    EXPECT_NO_THROW(icon.Loaded());
    EXPECT_TRUE(icon.Added());
    EXPECT_EQ(icon.ShellVersion(), 0u);
    ASSERT_NE(area.TrayIcon(&icon.MessageWindow(), 0), nullptr);
    EXPECT_EQ(area.TrayIcon(&icon.MessageWindow(), 0)->toolTip(), "Folderly 1.3");

    application.Minimize();
    EXPECT_EQ(application.m_hides, 0);
    icon.InfoBalloon().ShowBalloon("Folderly is processing now", "Attention!", biWarning);
    EXPECT_FALSE(icon.MessageWindow().IsTimerActive(TNotifyIcon::kBalloonTimerId));
}
