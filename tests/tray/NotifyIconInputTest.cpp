// How the tray icon answers the notification area: events, clicks and
// double-clicks, its menus, and the hiding and restoring of the program.

#include "TrayTestSupport.h"
#include "tray/MenuProperties.h"

#include <QMenu>
#include <QtTest/QTest>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace NotifyArea;
using testing::ElementsAre;
using testing::IsEmpty;

namespace {

constexpr uint32_t kV4 = 0x40047;
constexpr uint32_t kV5 = 0x50000;
constexpr uint32_t kV6 = 0x60000;
const QPoint kCursor(5, 7);

// The main window's icon: a right-button menu whose default item restores
// the program, a left double-click restoring it, minimize going to the tray.
struct MainWindowTray {
    explicit MainWindowTray(uint32_t version, bool loadVisible = true)
    {
        rig.desktop.SetCursor(kCursor);
        hide = menu.addAction("Hide");
        restore = menu.addAction("Restore");
        menu.addAction("Synchronize Now");
        menu.addAction("Exit");
        menu.setDefaultAction(restore);
        QObject::connect(restore, &QAction::triggered, [this] {
            ++restoreClicks;
            if (!rig.application.m_visible)
                rig.application.Restore();
        });
        icon = rig.MakeIcon(version);
        icon->BeginLoad();
        icon->SetDblToRestore(true);
        icon->SetIcon(SolidIcon(Qt::red));
        icon->InfoBalloon().SetTimeout(10);
        icon->InfoBalloon().SetTitle("Folderly 1.3");
        icon->SetMinimizeTo(true);
        icon->SetPopupMenu(&menu);
        icon->SetTitle("Folderly 1.3");
        icon->SetVisible(loadVisible);
        icon->Loaded();
    }

    // Minimizes the program into the tray.
    void GoToTray()
    {
        rig.application.Minimize();
        rig.shell.ClearCalls();
        rig.application.m_hides = 0;
    }

    TrayRig rig;
    QMenu menu;
    QAction* hide = nullptr;
    QAction* restore = nullptr;
    int restoreClicks = 0;
    std::unique_ptr<TNotifyIcon> icon;
};

TEST(NotifyIconInput, CallbackCodesAndEnabled)
{
    struct Case {
        uint32_t code;
        const char* event;  // nullptr: nothing raised
        bool whileDisabled;
    };
    const Case cases[] = {
        {WM_CONTEXTMENU, "ContextPopup 5,7", false},
        {WM_MOUSEMOVE, "MouseMove 5,7", false},
        {WM_LBUTTONDOWN, "MouseDown L 5,7", false},
        {WM_RBUTTONDBLCLK, "MouseDown R Double 5,7", false},
        {WM_MBUTTONUP, "MouseUp M", false},
        {NIN_SELECT, "Select", false},
        {NIN_KEYSELECT, "KeySelect", false},
        {NIN_BALLOONSHOW, "BalloonShow", true},
        {NIN_BALLOONHIDE, "BalloonHide", true},
        {NIN_BALLOONTIMEOUT, "BalloonDismiss", true},
        {NIN_BALLOONUSERCLICK, "BalloonClick", true},
        {0x406, nullptr, false},
        {0x20A, nullptr, false},
        {0x1FF, nullptr, false},
    };
    for (bool enabled : {true, false}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(testing::Message() << std::hex << c.code << " enabled " << enabled);
            TrayRig rig;
            rig.desktop.SetCursor(kCursor);
            auto icon = rig.MakeIcon(kV6);
            icon->SetVisible(true);
            icon->SetEnabled(enabled);
            EventLog log(*icon);
            rig.Send({c.code});
            if (c.event && (enabled || c.whileDisabled)) {
                EXPECT_THAT(log.Lines(), ElementsAre(c.event));
            } else {
                EXPECT_THAT(log.Lines(), IsEmpty());
            }
        }
    }
}

TEST(NotifyIconInput, ClicksWhileDisabledDoNothing)
{
    MainWindowTray tray(kV6);
    tray.GoToTray();
    tray.icon->SetEnabled(false);
    EventLog log(*tray.icon);
    tray.rig.Send({WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP, WM_RBUTTONDOWN, WM_RBUTTONUP,
                   WM_CONTEXTMENU, NIN_KEYSELECT, NIN_BALLOONUSERCLICK});
    EXPECT_THAT(log.Lines(), ElementsAre("BalloonClick"));
    EXPECT_EQ(tray.restoreClicks, 0);
    EXPECT_THAT(tray.rig.desktop.Popups(), IsEmpty());
    EXPECT_FALSE(tray.rig.application.m_visible);
    EXPECT_TRUE(tray.icon->ButtonsDown().Empty());
}

TEST(NotifyIconInput, LeftDoubleClickClicksTheDefaultItemThenRestores)
{
    MainWindowTray tray(kV6);
    tray.GoToTray();
    EventLog log(*tray.icon);
    tray.rig.Send({WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP});

    EXPECT_THAT(
        log.Lines(),
        ElementsAre("MouseDown L 5,7", "Click", "MouseUp L", "DblClick", "MouseDown L Double 5,7", "MouseUp L"));
    EXPECT_EQ(tray.restoreClicks, 1);
    // The item showed the program; RestoreApp then finds it shown.
    EXPECT_EQ(tray.rig.application.m_restores, 1);
    EXPECT_EQ(tray.rig.application.m_shows, 0);
    EXPECT_TRUE(tray.icon->Added());
    EXPECT_THAT(tray.rig.desktop.Popups(), IsEmpty());
    EXPECT_TRUE(tray.icon->ButtonsDown().Empty());
}

TEST(NotifyIconInput, LeftButtonWithoutDefaultItemOrDblToRestore)
{
    struct Case {
        bool defaultItem;
        bool dblToRestore;
        int restoreClicks;
        int appRestores;
        bool addedAfter;
    };
    const Case cases[] = {
        {true, true, 1, 1, true},
        // No default item: RestoreApp does the restoring and removes the icon.
        {false, true, 0, 1, false},
        // Without DblToRestore the first click's release already restores
        // and takes the icon away; the double-click never reaches it.
        {true, false, 0, 1, false},
        {false, false, 0, 1, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "default " << c.defaultItem << " dblToRestore " << c.dblToRestore);
        MainWindowTray tray(kV6);
        if (!c.defaultItem)
            tray.menu.setDefaultAction(nullptr);
        tray.icon->SetDblToRestore(c.dblToRestore);
        tray.GoToTray();
        for (uint32_t code : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP})
            if (tray.icon->Added())
                tray.rig.Send({code});
        EXPECT_EQ(tray.restoreClicks, c.restoreClicks);
        EXPECT_EQ(tray.rig.application.m_restores, c.appRestores);
        EXPECT_EQ(tray.icon->Added(), c.addedAfter);
        EXPECT_TRUE(tray.rig.application.m_visible);
    }
}

TEST(NotifyIconInput, SingleLeftClickDoesNothingVisible)
{
    MainWindowTray tray(kV6);
    tray.GoToTray();
    tray.rig.Send({WM_LBUTTONDOWN, WM_LBUTTONUP});
    QTest::qWait(20);
    DeliverPosted();
    EXPECT_THAT(tray.rig.desktop.Popups(), IsEmpty());
    EXPECT_EQ(tray.restoreClicks, 0);
    EXPECT_FALSE(tray.rig.application.m_visible);
    EXPECT_TRUE(tray.icon->Added());
    EXPECT_TRUE(tray.rig.shell.Calls().empty());
}

TEST(NotifyIconInput, RightClickOpensTheMenuOnce)
{
    struct Case {
        const char* name;
        uint32_t version;
        std::vector<uint32_t> codes;
        bool handled;
        bool autoPopup;
        size_t popups;
    };
    const Case cases[] = {
        {"version 6", kV6, {WM_RBUTTONDOWN, WM_RBUTTONUP, WM_CONTEXTMENU}, false, true, 1},
        {"version 5", kV5, {WM_RBUTTONDOWN, WM_RBUTTONUP, WM_CONTEXTMENU}, false, true, 1},
        {"version 5, release only", kV5, {WM_RBUTTONDOWN, WM_RBUTTONUP}, false, true, 0},
        {"version 4", kV4, {WM_RBUTTONDOWN, WM_RBUTTONUP}, false, true, 1},
        {"no version", 0, {WM_RBUTTONDOWN, WM_RBUTTONUP}, false, true, 1},
        {"release without press", 0, {WM_RBUTTONUP}, false, true, 0},
        {"handled by OnContextPopup", kV6, {WM_RBUTTONDOWN, WM_RBUTTONUP, WM_CONTEXTMENU}, true, true, 0},
        {"auto-popup off", kV6, {WM_RBUTTONDOWN, WM_RBUTTONUP, WM_CONTEXTMENU}, false, false, 0},
        {"middle button has no menu", 0, {WM_MBUTTONDOWN, WM_MBUTTONUP}, false, true, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MainWindowTray tray(c.version);
        MenuProperties::SetAutoPopup(tray.menu, c.autoPopup);
        tray.icon->SetOnContextPopup([&c](TNotifyIcon&, QPoint, bool& handled) { handled = c.handled; });
        tray.rig.Send(c.codes);
        const auto& popups = tray.rig.desktop.Popups();
        ASSERT_EQ(popups.size(), c.popups);
        if (c.popups == 0)
            continue;
        EXPECT_EQ(popups[0].menu, &tray.menu);
        EXPECT_EQ(popups[0].pos, kCursor);
        EXPECT_EQ(MenuProperties::PopupComponent(tray.menu), tray.icon.get());
        EXPECT_EQ(tray.rig.desktop.Foreground(), &tray.icon->MessageWindow());
    }
}

TEST(NotifyIconInput, DelayedPopupWaitsForTheDoubleClickTime)
{
    struct Case {
        const char* name;
        uint32_t doubleClickTime;
        uint32_t heldFor;  // between press and release
        bool thenDoubleClick;
        bool thenDisable;
        int scheduled;  // -1: not scheduled
        size_t popups;
    };
    const Case cases[] = {
        {"runs out", 40, 10, false, false, 30, 1},          {"double-click cancels", 40, 10, true, false, 30, 0},
        {"disabled meanwhile", 40, 10, false, true, 30, 0}, {"time already over", 40, 40, false, false, -1, 1},
        {"long press", 40, 5000, false, false, -1, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TrayRig rig;
        rig.desktop.SetCursor(kCursor);
        rig.desktop.SetDoubleClickTime(c.doubleClickTime);
        rig.desktop.SetTick(0xFFFFFFFBu);  // across the wrap of the tick count
        QMenu leftMenu;
        auto icon = rig.MakeIcon(kV6);
        icon->SetLPopupMenu(&leftMenu);
        icon->SetVisible(true);
        rig.Send({WM_LBUTTONDOWN});
        EXPECT_EQ(icon->LastDownTick(), 0xFFFFFFFBu);
        rig.desktop.AdvanceTick(c.heldFor);
        rig.Send({WM_LBUTTONUP});

        EXPECT_EQ(icon->MessageWindow().TimerInterval(TNotifyIcon::kPopupTimerId), c.scheduled);
        if (c.scheduled >= 0) {
            EXPECT_EQ(icon->PendingMenu(), &leftMenu);
            EXPECT_THAT(rig.desktop.Popups(), IsEmpty());
        }
        if (c.thenDoubleClick)
            rig.Send({WM_LBUTTONDBLCLK, WM_LBUTTONUP});
        if (c.thenDisable)
            icon->SetEnabled(false);
        QTest::qWait(c.doubleClickTime + 30);
        EXPECT_FALSE(icon->MessageWindow().IsTimerActive(TNotifyIcon::kPopupTimerId));
        ASSERT_EQ(rig.desktop.Popups().size(), c.popups);
        if (c.popups) {
            EXPECT_EQ(rig.desktop.Popups()[0].menu, &leftMenu);
        }
    }
}

TEST(NotifyIconInput, RightButtonAmongDblClicks)
{
    TrayRig rig;
    auto menu = std::make_unique<QMenu>();
    auto icon = rig.MakeIcon(kV6);
    icon->SetDblClicks({mbLeft, mbRight});
    icon->SetPopupMenu(menu.get());
    icon->SetVisible(true);
    EventLog log(*icon);

    // Its menu waits for a possible double-click, like the left one's.
    rig.Send({WM_RBUTTONDOWN, WM_RBUTTONUP, WM_CONTEXTMENU});
    EXPECT_EQ(icon->MessageWindow().TimerInterval(TNotifyIcon::kPopupTimerId), 500);
    EXPECT_EQ(icon->PendingMenu(), menu.get());

    // Its double-click cancels the menu but is not handled as one.
    log.Clear();
    rig.Send({WM_RBUTTONDBLCLK});
    EXPECT_FALSE(icon->MessageWindow().IsTimerActive(TNotifyIcon::kPopupTimerId));
    EXPECT_THAT(log.Lines(), ElementsAre("MouseDown R Double 0,0"));
    EXPECT_FALSE(icon->ButtonsDown().Contains(mbRight));

    // A menu removed while its popup waits is not opened.
    rig.Send({WM_CONTEXTMENU});
    ASSERT_EQ(icon->PendingMenu(), menu.get());
    menu.reset();
    EXPECT_EQ(icon->PendingMenu(), nullptr);
    EXPECT_EQ(icon->PopupMenu(), nullptr);
    QTest::qWait(550);
    EXPECT_THAT(rig.desktop.Popups(), IsEmpty());
}

TEST(NotifyIconInput, ShiftStateReadsKeysAndPhysicalButtons)
{
    using Key = TrayDesktop::Key;
    struct Case {
        std::vector<Key> down;
        bool swapped;
        const char* event;
    };
    const Case cases[] = {
        {{}, false, "MouseDown L 0,0"},
        {{Key::Shift, Key::Control}, false, "MouseDown L Shift Ctrl 0,0"},
        {{Key::Alt, Key::LeftButton}, false, "MouseDown L Alt Left 0,0"},
        {{Key::LeftButton}, true, "MouseDown L Right 0,0"},
        {{Key::RightButton, Key::MiddleButton}, true, "MouseDown L Left Middle 0,0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.event);
        TrayRig rig;
        for (Key key : c.down)
            rig.desktop.SetKeyDown(key, true);
        rig.desktop.SetSwapped(c.swapped);
        auto icon = rig.MakeIcon(kV6);
        icon->SetVisible(true);
        EventLog log(*icon);
        rig.Send({WM_LBUTTONDOWN});
        EXPECT_THAT(log.Lines(), ElementsAre(c.event));
    }
}

TEST(NotifyIconInput, KeySelectWhileHiddenRestoresWithoutIcon)
{
    MainWindowTray tray(kV6);
    tray.GoToTray();
    tray.rig.Send({NIN_KEYSELECT});

    EXPECT_EQ(tray.rig.application.m_shows, 1);
    EXPECT_EQ(tray.rig.application.m_restores, 1);
    EXPECT_TRUE(tray.rig.application.m_visible);
    ASSERT_EQ(tray.rig.shell.Calls().size(), 1u);
    EXPECT_EQ(tray.rig.shell.Calls()[0].command, NIM_DELETE);
    EXPECT_FALSE(tray.icon->Added());
    EXPECT_FALSE(tray.icon->Visible());

    // A balloon of a run while the icon is away is not shown.
    tray.icon->InfoBalloon().ShowBalloon("Folderly is processing now", "Attention!", biWarning);
    EXPECT_FALSE(tray.icon->MessageWindow().IsTimerActive(TNotifyIcon::kBalloonTimerId));

    // The next minimize brings the icon back.
    tray.rig.shell.ClearCalls();
    tray.rig.application.Minimize();
    EXPECT_EQ(tray.rig.application.m_hides, 1);
    ASSERT_FALSE(tray.rig.shell.CallsOf(NIM_ADD).empty());
    EXPECT_TRUE(tray.icon->Added());
    EXPECT_TRUE(tray.icon->Visible());
}

TEST(NotifyIconInput, AppMinimizeAndRestoreApp)
{
    TrayRig rig;
    rig.application.m_icon = SolidIcon(Qt::cyan);
    auto icon = rig.MakeIcon(kV6);
    EXPECT_FALSE(static_cast<bool>(rig.application.m_minimizeEvent)) << "only MinimizeTo installs it";

    icon->SetMinimizeTo(true);
    rig.application.Minimize();
    EXPECT_EQ(rig.application.m_hides, 1);
    EXPECT_EQ(icon->Title(), "Application title");
    EXPECT_FALSE(icon->Icon().isNull());
    ASSERT_EQ(rig.shell.CallsOf(NIM_ADD).size(), 1u);
    EXPECT_EQ(rig.shell.CallsOf(NIM_ADD)[0].data.tip, "Application title");
    EXPECT_TRUE(icon->Visible());

    // A second minimize keeps the one icon.
    rig.application.m_visible = true;
    rig.application.Minimize();
    EXPECT_EQ(rig.application.m_hides, 2);
    EXPECT_EQ(rig.shell.CallsOf(NIM_ADD).size(), 1u);

    // Restoring a program on screen does nothing; a hidden one comes back
    // and the icon goes.
    rig.application.m_visible = true;
    icon->RestoreApp();
    EXPECT_EQ(rig.application.m_restores, 0);
    EXPECT_TRUE(icon->Added());
    rig.application.m_visible = false;
    icon->RestoreApp();
    EXPECT_EQ(rig.application.m_shows, 1);
    EXPECT_EQ(rig.application.m_restores, 1);
    EXPECT_FALSE(icon->Added());

    // Clearing MinimizeTo leaves the handler installed but idle, also after
    // the icon is gone.
    icon->SetMinimizeTo(false);
    rig.application.Minimize();
    EXPECT_EQ(rig.application.m_hides, 2);
    EXPECT_FALSE(icon->Added());
    icon.reset();
    ASSERT_TRUE(static_cast<bool>(rig.application.m_minimizeEvent));
    rig.application.Minimize();
    EXPECT_EQ(rig.application.m_hides, 2);

    // An icon destroyed with MinimizeTo set takes its handler away.
    auto second = rig.MakeIcon(kV6);
    second->SetMinimizeTo(true);
    second.reset();
    EXPECT_FALSE(static_cast<bool>(rig.application.m_minimizeEvent));
}

TEST(NotifyIconInput, WithoutNotificationAreaTheProgramStaysReachable)
{
    // A desktop without a notification area: no protocol version, and the
    // area accepts the icon but cannot show it yet.
    MainWindowTray tray(0);
    tray.rig.shell.SetTrayAvailable(false);
    EXPECT_TRUE(tray.icon->Added()) << "the start goes on";
    EXPECT_THAT(tray.rig.shell.CallsOf(NIM_SETVERSION), IsEmpty());

    // Minimize leaves the taskbar entry; the icon is kept for later.
    tray.rig.application.Minimize();
    EXPECT_EQ(tray.rig.application.m_hides, 0);
    EXPECT_TRUE(tray.rig.application.m_visible);
    EXPECT_TRUE(tray.icon->Added());
    EXPECT_FALSE(tray.icon->TrayAvailable());

    // Balloons are dropped.
    tray.rig.shell.ClearCalls();
    tray.icon->InfoBalloon().ShowBalloon("Folderly is processing now", "Attention!", biWarning);
    QTest::qWait(10);
    EXPECT_THAT(tray.rig.shell.Calls(), IsEmpty());

    // Once an area is there, minimize hides into it again.
    tray.rig.shell.SetTrayAvailable(true);
    tray.rig.application.Minimize();
    EXPECT_EQ(tray.rig.application.m_hides, 1);
    EXPECT_FALSE(tray.rig.application.m_visible);
}

TEST(NotifyIconInput, ErrorsOfHandlersAreReportedAndTheLoopGoesOn)
{
    std::vector<std::string> reported;
    TNotifyIcon::SetApplicationErrorReport([&](const std::exception& error) { reported.push_back(error.what()); });
    TrayRig rig;
    auto icon = rig.MakeIcon(kV6);
    icon->SetVisible(true);
    EventLog log(*icon);
    icon->SetOnClick([](TNotifyIcon&) { throw std::runtime_error("Click failed"); });
    rig.Send({WM_LBUTTONDOWN, WM_LBUTTONUP, NIN_BALLOONSHOW});
    TNotifyIcon::SetApplicationErrorReport({});

    EXPECT_THAT(reported, ElementsAre("Click failed"));
    // The error ended that message's handling before MouseUp; the next
    // message is handled as usual.
    EXPECT_THAT(log.Lines(), ElementsAre("MouseDown L 0,0", "BalloonShow"));
}

}  // namespace
