// The real notification area on QSystemTrayIcon: its answers to the
// commands, the callback codes of Qt's activations, balloons, and a desktop
// whose notification area is missing or appears late.

#include "QtTestUtil.h"
#include "platform/desktop/SystemTrayNotifyArea.h"

#include <QMenu>
#include <QtTest/QTest>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>

using namespace NotifyArea;
using testing::ElementsAre;
using testing::ElementsAreArray;
using testing::IsEmpty;

namespace {

// The real area with the desktop's answer and the balloon display replaced.
class TestTrayArea : public SystemTrayNotifyArea {
public:
    struct Balloon {
        QString title;
        QString text;
        uint32_t flags;
        int milliseconds;
    };

    TestTrayArea() : SystemTrayNotifyArea(nullptr, 10) {}

    bool IsTrayAvailable() const override { return m_available; }
    bool IsStatusNotifierHost() const override { return m_available && m_statusNotifier; }
    bool CanShowBalloons() const override { return m_notifications; }

    bool m_available = true;
    bool m_statusNotifier = false;
    bool m_notifications = true;
    std::vector<Balloon> m_balloons;

protected:
    void ShowMessage(QSystemTrayIcon&, const QString& title, const QString& text, uint32_t flags, const QIcon&,
                     int milliseconds) override
    {
        m_balloons.push_back({title, text, flags, milliseconds});
    }
};

// A window that keeps the messages posted to it.
class MessageSink : public QObject {
public:
    struct Message {
        uint32_t message;
        uintptr_t wParam;
        intptr_t lParam;
        bool operator==(const Message&) const = default;
    };
    std::vector<intptr_t> Codes() const
    {
        std::vector<intptr_t> codes;
        for (const Message& m : m_messages)
            codes.push_back(m.lParam);
        return codes;
    }
    std::vector<Message> m_messages;

protected:
    bool event(QEvent* event) override
    {
        if (event->type() != WindowMessageEvent::EventType())
            return QObject::event(event);
        const auto* m = static_cast<const WindowMessageEvent*>(event);
        m_messages.push_back({m->Message(), m->WParam(), m->LParam()});
        return true;
    }
};

NOTIFYICONDATA Record(QObject* window, uint32_t flags)
{
    NOTIFYICONDATA data;
    data.size = kRecordSizeV6;
    data.window = window;
    data.id = 3;
    data.flags = flags;
    data.callbackMessage = 1024;
    data.icon = SolidIcon(Qt::red);
    data.tip = "Folderly 1.3";
    return data;
}

TEST(NotifyArea, CommandsNeedAnAddedIcon)
{
    TestTrayArea area;
    MessageSink window;
    const NOTIFYICONDATA data = Record(&window, NIF_MESSAGE | NIF_ICON | NIF_TIP);
    const std::pair<uint32_t, bool> steps[] = {
        {NIM_MODIFY, false},    {NIM_DELETE, false}, {NIM_SETVERSION, false}, {NIM_SETFOCUS, false},
        {NIM_ADD, true},        {NIM_ADD, false},    {NIM_MODIFY, true},      {NIM_SETFOCUS, true},
        {NIM_SETVERSION, true}, {7, false},          {NIM_DELETE, true},      {NIM_DELETE, false},
    };
    for (const auto& [command, result] : steps)
        EXPECT_EQ(area.Shell_NotifyIconA(command, data), result) << "command " << command;

    NOTIFYICONDATA windowless = data;
    windowless.window = nullptr;
    EXPECT_FALSE(area.Shell_NotifyIconA(NIM_ADD, windowless));
}

TEST(NotifyArea, ActivationsBecomeCallbackCodes)
{
    struct Case {
        QSystemTrayIcon::ActivationReason reason;
        bool versionSet;
        bool statusNotifier;
        std::vector<intptr_t> codes;
    };
    const Case cases[] = {
        {QSystemTrayIcon::Trigger, true, false, {0x201, 0x202}},
        {QSystemTrayIcon::DoubleClick, true, false, {0x203, 0x202}},
        {QSystemTrayIcon::Context, true, false, {0x204, 0x205, 0x7B}},
        {QSystemTrayIcon::Context, false, false, {0x204, 0x205}},
        {QSystemTrayIcon::MiddleClick, false, false, {0x207, 0x208}},
        {QSystemTrayIcon::Unknown, true, false, {}},
        // A status-notifier host's activation is the icon's main command.
        {QSystemTrayIcon::Trigger, true, true, {0x203, 0x202}},
        {QSystemTrayIcon::Context, true, true, {0x204, 0x205, 0x7B}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.reason << " version " << c.versionSet << " sni " << c.statusNotifier);
        TestTrayArea area;
        area.m_statusNotifier = c.statusNotifier;
        MessageSink window;
        NOTIFYICONDATA data = Record(&window, NIF_MESSAGE | NIF_ICON);
        ASSERT_TRUE(area.Shell_NotifyIconA(NIM_ADD, data));
        if (c.versionSet) {
            data.timeoutOrVersion = NOTIFYICON_VERSION;
            ASSERT_TRUE(area.Shell_NotifyIconA(NIM_SETVERSION, data));
        }
        QSystemTrayIcon* tray = area.TrayIcon(&window, 3);
        ASSERT_NE(tray, nullptr);
        emit tray->activated(c.reason);
        EXPECT_THAT(window.m_messages, IsEmpty()) << "posted, not sent";
        DeliverPosted();
        EXPECT_THAT(window.Codes(), ElementsAreArray(c.codes));
        for (const auto& m : window.m_messages) {
            EXPECT_EQ(m.message, 1024u);
            EXPECT_EQ(m.wParam, 3u);
        }
    }
}

TEST(NotifyArea, BalloonClickAndSilentIcons)
{
    TestTrayArea area;
    MessageSink window;
    ASSERT_TRUE(area.Shell_NotifyIconA(NIM_ADD, Record(&window, NIF_MESSAGE | NIF_ICON)));
    emit area.TrayIcon(&window, 3)->messageClicked();
    DeliverPosted();
    EXPECT_THAT(window.Codes(), ElementsAre(0x405));

    // An icon added without a callback message is never answered.
    MessageSink silent;
    ASSERT_TRUE(area.Shell_NotifyIconA(NIM_ADD, Record(&silent, NIF_ICON)));
    emit area.TrayIcon(&silent, 3)->activated(QSystemTrayIcon::Trigger);
    DeliverPosted();
    EXPECT_THAT(silent.m_messages, IsEmpty());
}

TEST(NotifyArea, RecordFieldsReachTheIcon)
{
    TestTrayArea area;
    MessageSink window;
    ASSERT_TRUE(area.Shell_NotifyIconA(NIM_ADD, Record(&window, NIF_MESSAGE | NIF_ICON | NIF_TIP)));
    QSystemTrayIcon* tray = area.TrayIcon(&window, 3);
    EXPECT_EQ(tray->toolTip(), "Folderly 1.3");
    EXPECT_FALSE(tray->icon().isNull());
    EXPECT_TRUE(tray->isVisible());

    struct Step {
        uint32_t flags;
        uint32_t state, stateMask;
        QString info;
        bool visible;
        size_t balloons;
    };
    const Step steps[] = {
        {NIF_INFO, 0, 0, "Folderly is processing now", true, 1},
        {NIF_INFO, 0, 0, "", true, 1},  // empty text: no balloon
        {NIF_STATE, NIS_HIDDEN, NIS_SHAREDICON, "", true, 1},  // the mask leaves Hidden alone
        {NIF_STATE | NIF_INFO, NIS_HIDDEN, NIS_HIDDEN, "hidden", false, 1},
        {NIF_STATE, 0, NIS_HIDDEN, "", true, 1},
        {NIF_TIP | NIF_INFO, 0, 0, "again", true, 2},
    };
    for (const Step& step : steps) {
        NOTIFYICONDATA data = Record(&window, step.flags);
        data.tip = "new tip";
        data.state = step.state;
        data.stateMask = step.stateMask;
        data.info = step.info;
        data.infoTitle = "Attention!";
        data.infoFlags = NIIF_WARNING | NIIF_NOSOUND;
        data.timeoutOrVersion = 10000;
        ASSERT_TRUE(area.Shell_NotifyIconA(NIM_MODIFY, data));
        EXPECT_EQ(tray->isVisible(), step.visible) << step.info.toStdString();
        EXPECT_EQ(area.m_balloons.size(), step.balloons) << step.info.toStdString();
    }
    EXPECT_EQ(tray->toolTip(), "new tip");
    const auto& balloon = area.m_balloons.front();
    EXPECT_EQ(balloon.title, "Attention!");
    EXPECT_EQ(balloon.text, "Folderly is processing now");
    EXPECT_EQ(balloon.flags, NIIF_WARNING | NIIF_NOSOUND);
    EXPECT_EQ(balloon.milliseconds, 10000);
}

TEST(NotifyArea, IconWaitsForALateNotificationArea)
{
    TestTrayArea area;
    area.m_available = false;
    EXPECT_EQ(area.ShellVersion(), 0u);
    MessageSink window;
    NOTIFYICONDATA data = Record(&window, NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_INFO);
    data.info = "dropped";
    ASSERT_TRUE(area.Shell_NotifyIconA(NIM_ADD, data));
    QSystemTrayIcon* tray = area.TrayIcon(&window, 3);
    EXPECT_FALSE(tray->isVisible());
    EXPECT_THAT(area.m_balloons, IsEmpty());
    data.flags = NIF_INFO;
    ASSERT_TRUE(area.Shell_NotifyIconA(NIM_MODIFY, data));
    EXPECT_THAT(area.m_balloons, IsEmpty());

    area.m_available = true;
    ASSERT_TRUE(QTest::qWaitFor([&] { return tray->isVisible(); }, 2000));
    EXPECT_EQ(tray->toolTip(), "Folderly 1.3");
    EXPECT_EQ(area.ShellVersion(), kShellVersion6);
    data.info = "shown";
    ASSERT_TRUE(area.Shell_NotifyIconA(NIM_MODIFY, data));
    ASSERT_EQ(area.m_balloons.size(), 1u);
    EXPECT_EQ(area.m_balloons[0].text, "shown");
}

// A status-notifier host draws the icon's menu itself and shows balloons
// only through a notification service; an X11 tray gets no menu, which the
// icon opens on its own.
TEST(NotifyArea, WhatTheHostCanShow)
{
    struct Case {
        bool available, statusNotifier, notifications;
        uint32_t version;
        bool menuShared;
    };
    const Case cases[] = {
        {false, false, true, 0, false},
        {true, false, true, kShellVersion6, false},
        {true, true, true, kShellVersion6, true},
        {true, true, false, kShellVersion4, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.available << c.statusNotifier << c.notifications);
        TestTrayArea area;
        area.m_available = c.available;
        area.m_statusNotifier = c.statusNotifier;
        area.m_notifications = c.notifications;
        EXPECT_EQ(area.ShellVersion(), c.version);
        MessageSink window;
        QMenu menu;
        ASSERT_TRUE(area.Shell_NotifyIconA(NIM_ADD, Record(&window, NIF_MESSAGE | NIF_ICON)));
        area.SetIconMenu(&window, 3, &menu);
        EXPECT_EQ(area.TrayIcon(&window, 3)->contextMenu(), c.menuShared ? &menu : nullptr);
    }
}

TEST(NotifyArea, IconGoesWithItsWindow)
{
    TestTrayArea area;
    auto window = std::make_unique<MessageSink>();
    // Only the address is kept, as the layer's key: it is never followed.
    volatile std::uintptr_t key = reinterpret_cast<std::uintptr_t>(window.get());
    ASSERT_TRUE(area.Shell_NotifyIconA(NIM_ADD, Record(window.get(), NIF_ICON)));
    window.reset();
    EXPECT_EQ(area.TrayIcon(reinterpret_cast<const QObject*>(key), 3), nullptr);
}

}  // namespace
