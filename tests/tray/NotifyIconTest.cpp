// What the tray icon sends to the notification area: the record, by shell
// version, the balloons and their timing, states, GUID, images, loading and
// the errors of failed commands.

#include "TrayTestSupport.h"
#include "tray/ImageList.h"

#include <QMenu>
#include <QtTest/QTest>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace NotifyArea;
using testing::ElementsAre;

namespace {

constexpr uint32_t kV4 = 0x40047;  // 4.71
constexpr uint32_t kV5 = 0x50000;
constexpr uint32_t kV6 = 0x60000;

const char* const kGuidText = "{6B29FC40-CA47-1067-B31D-00DD010662DA}";
constexpr std::array<uint8_t, 16> kGuidBytes = {0x40, 0xFC, 0x29, 0x6B, 0x47, 0xCA, 0x67, 0x10,
                                                0xB3, 0x1D, 0x00, 0xDD, 0x01, 0x06, 0x62, 0xDA};

// Waits for the deferred balloon modify to go out.
bool WaitForModify(const RecordingNotifyArea& shell, size_t count = 1)
{
    return QTest::qWaitFor([&] { return shell.CallsOf(NIM_MODIFY).size() >= count; }, 2000);
}

std::vector<uint32_t> Commands(const RecordingNotifyArea& shell)
{
    std::vector<uint32_t> commands;
    for (const auto& call : shell.Calls())
        commands.push_back(call.command);
    return commands;
}

class NotifyIconTest : public testing::Test {
protected:
    void SetUp() override
    {
        TNotifyIcon::SetApplicationErrorReport(
            [this](const std::exception& error) { m_reported.push_back(error.what()); });
    }
    void TearDown() override { TNotifyIcon::SetApplicationErrorReport({}); }

    // An icon in the area with a balloon that was sent once, calls cleared.
    std::unique_ptr<TNotifyIcon> AddedIcon(uint32_t version)
    {
        auto icon = m_rig.MakeIcon(version);
        icon->SetVisible(true);
        m_rig.shell.ClearCalls();
        return icon;
    }

    TrayRig m_rig;
    std::vector<std::string> m_reported;
};

TEST_F(NotifyIconTest, AddRecordFollowsShellVersion)
{
    struct Case {
        uint32_t version;
        uint32_t size;
        qsizetype tipLength;
        uint32_t addFlags;
        bool setsVersion;
    };
    const Case cases[] = {
        {0, 88, 63, NIF_MESSAGE | NIF_ICON | NIF_TIP, false},
        {kV4, 88, 63, NIF_MESSAGE | NIF_ICON | NIF_TIP, false},
        {kV5, 488, 127, NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_STATE | NIF_INFO, true},
        {0x50001, 488, 127, NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_STATE | NIF_INFO, true},
        {kV6, 504, 127, NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_STATE | NIF_INFO | NIF_GUID, true},
        {0x60001, 504, 127, NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_STATE | NIF_INFO | NIF_GUID, true},
    };
    const QString longTitle(200, u'T');
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "version " << std::hex << c.version);
        TrayRig rig;
        auto icon = rig.MakeIcon(c.version);
        icon->SetIcon(SolidIcon(Qt::red));
        icon->SetTitle(longTitle);
        icon->SetHidden(true);
        icon->SetShared(true);
        icon->SetGUID(kGuidText);
        icon->InfoBalloon().SetTimeout(10);
        icon->InfoBalloon().SetTitle("Folderly 1.3");
        icon->InfoBalloon().SetText(QString(300, u'x'));
        EXPECT_TRUE(rig.shell.Calls().empty()) << "nothing is sent before the icon is added";

        icon->SetVisible(true);

        const std::vector<uint32_t> expected = c.setsVersion ? std::vector<uint32_t>{NIM_ADD, NIM_SETVERSION}
                                                             : std::vector<uint32_t>{NIM_ADD};
        ASSERT_EQ(Commands(rig.shell), expected);
        const NOTIFYICONDATA& add = rig.shell.Calls()[0].data;
        EXPECT_EQ(add.size, c.size);
        EXPECT_EQ(add.window, &icon->MessageWindow());
        EXPECT_EQ(add.id, 0u);
        EXPECT_EQ(add.flags, c.addFlags);
        EXPECT_EQ(add.callbackMessage, 1024u);
        EXPECT_FALSE(add.icon.isNull());
        EXPECT_EQ(add.tip, longTitle.left(c.tipLength));
        EXPECT_EQ(add.state, 3u);
        // From version 5 an add announces every state it carries.
        EXPECT_EQ(add.stateMask, c.setsVersion ? 3u : 2u);
        if (add.flags & NIF_INFO) {
            EXPECT_EQ(add.info, QString(255, u'x'));
            EXPECT_EQ(add.timeoutOrVersion, 10000u);
            EXPECT_EQ(add.infoTitle, "Folderly 1.3");
        } else {
            EXPECT_TRUE(add.info.isEmpty());
            EXPECT_EQ(add.timeoutOrVersion, 0u);
        }
        const std::array<uint8_t, 16> noGuid{};
        EXPECT_EQ(add.guid, (add.flags & NIF_GUID) ? kGuidBytes : noGuid);
        if (c.setsVersion) {
            const NOTIFYICONDATA& version = rig.shell.Calls()[1].data;
            EXPECT_EQ(version.size, c.size);
            EXPECT_EQ(version.window, &icon->MessageWindow());
            EXPECT_EQ(version.timeoutOrVersion, 3u);
            EXPECT_EQ(version.flags, 0u);
            EXPECT_TRUE(version.tip.isEmpty());
        }
        EXPECT_TRUE(icon->Added());
        EXPECT_EQ(icon->PendingFlags(), 0);
    }
}

TEST_F(NotifyIconTest, AddCarriesOnlyWhatIsSet)
{
    auto icon = m_rig.MakeIcon(kV6);
    icon->SetVisible(true);
    ASSERT_EQ(m_rig.shell.CallsOf(NIM_ADD).size(), 1u);
    const NOTIFYICONDATA add = m_rig.shell.CallsOf(NIM_ADD)[0].data;
    EXPECT_EQ(add.flags, NIF_MESSAGE);
    EXPECT_EQ(add.stateMask, 0u);
    EXPECT_TRUE(add.icon.isNull());
    EXPECT_TRUE(add.tip.isEmpty());
}

TEST_F(NotifyIconTest, TextsAreCutToTheirFields)
{
    const QString smile = QString::fromUtf8("\xF0\x9F\x98\x80");  // two UTF-16 units
    struct Case {
        uint32_t version;
        QString title, text, balloonTitle;
        QString tip, info, infoTitle;
    };
    const Case cases[] = {
        {kV6, QString(200, u'a'), QString(300, u'b'), QString(100, u'c'), QString(127, u'a'), QString(255, u'b'),
         QString(63, u'c')},
        {kV5, QString(127, u'a'), QString(255, u'b'), QString(63, u'c'), QString(127, u'a'), QString(255, u'b'),
         QString(63, u'c')},
        {kV6, QString(128, u'a'), "short", "", QString(127, u'a'), "short", ""},
        // A character is never split in two.
        {kV6, QString(126, u'a') + smile, QString(254, u'b') + smile, QString(62, u'c') + smile, QString(126, u'a'),
         QString(254, u'b'), QString(62, u'c')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title.size());
        TrayRig rig;
        auto icon = rig.MakeIcon(c.version);
        icon->SetVisible(true);
        rig.shell.ClearCalls();
        icon->SetTitle(c.title);
        icon->InfoBalloon().ShowBalloon(c.text, c.balloonTitle, biInfo);
        ASSERT_TRUE(WaitForModify(rig.shell, 2));
        const auto modifies = rig.shell.CallsOf(NIM_MODIFY);
        EXPECT_EQ(modifies[0].data.flags, NIF_TIP);
        EXPECT_EQ(modifies[0].data.tip, c.tip);
        EXPECT_EQ(modifies[1].data.flags, NIF_INFO);
        EXPECT_EQ(modifies[1].data.info, c.info);
        EXPECT_EQ(modifies[1].data.infoTitle, c.infoTitle);
    }
}

TEST_F(NotifyIconTest, TwoBalloonsBeforeTheLoopRunsGiveOneModifyWithTheSecond)
{
    auto icon = AddedIcon(kV6);
    icon->InfoBalloon().ShowBalloon("first", "one", biInfo);
    icon->InfoBalloon().ShowBalloon("Folderly is processing now", "Attention!", biWarning);

    EXPECT_TRUE(m_rig.shell.Calls().empty()) << "the balloon waits for the loop";
    EXPECT_EQ(icon->PendingFlags(), NIF_INFO);
    EXPECT_EQ(icon->MessageWindow().TimerInterval(TNotifyIcon::kBalloonTimerId), 1);

    ASSERT_TRUE(WaitForModify(m_rig.shell));
    QTest::qWait(30);
    const auto modifies = m_rig.shell.CallsOf(NIM_MODIFY);
    ASSERT_EQ(modifies.size(), 1u);
    EXPECT_EQ(modifies[0].data.flags, NIF_INFO);
    EXPECT_EQ(modifies[0].data.info, "Folderly is processing now");
    EXPECT_EQ(modifies[0].data.infoTitle, "Attention!");
    EXPECT_EQ(modifies[0].data.infoFlags, 2u);
    EXPECT_EQ(icon->PendingFlags(), 0);
    EXPECT_FALSE(icon->MessageWindow().IsTimerActive(TNotifyIcon::kBalloonTimerId));
}

TEST_F(NotifyIconTest, BalloonFlagsAndDisplayTime)
{
    struct Case {
        TBalloonIconType kind;
        bool sound;
        TBalloonTimeoutSecs timeout;
        uint32_t flags;
        uint32_t milliseconds;
    };
    const Case cases[] = {
        {biWarning, true, 10, 2, 10000}, {biWarning, false, 10, 18, 10000}, {biNone, false, 30, 16, 30000},
        {biUser, true, 20, 4, 20000},    {biError, false, 25, 19, 25000},   {biInfo, true, 5, 1, 10000},
        {biInfo, true, 45, 1, 30000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << int(c.kind) << " sound " << c.sound << " timeout " << int(c.timeout));
        TrayRig rig;
        auto icon = rig.MakeIcon(kV6);
        icon->SetVisible(true);
        icon->InfoBalloon().SetSound(c.sound);
        icon->InfoBalloon().SetTimeout(c.timeout);
        icon->InfoBalloon().ShowBalloon("text", "title", c.kind);
        ASSERT_TRUE(WaitForModify(rig.shell));
        const NOTIFYICONDATA data = rig.shell.CallsOf(NIM_MODIFY)[0].data;
        EXPECT_EQ(data.infoFlags, c.flags);
        EXPECT_EQ(data.timeoutOrVersion, c.milliseconds);
    }
}

TEST_F(NotifyIconTest, OnlyANewTextSendsTheBalloon)
{
    auto icon = AddedIcon(kV6);
    TInfoBalloon& balloon = icon->InfoBalloon();
    balloon.SetTitle("title");
    balloon.SetIcon(biError);
    balloon.SetSound(false);
    balloon.SetTimeout(15);
    EXPECT_EQ(icon->PendingFlags(), 0);
    EXPECT_FALSE(icon->MessageWindow().IsTimerActive(TNotifyIcon::kBalloonTimerId));

    balloon.SetText("now");
    ASSERT_TRUE(WaitForModify(m_rig.shell));
    const NOTIFYICONDATA data = m_rig.shell.CallsOf(NIM_MODIFY)[0].data;
    EXPECT_EQ(data.info, "now");
    EXPECT_EQ(data.infoTitle, "title");
    EXPECT_EQ(data.infoFlags, 3u + 16u);
    EXPECT_EQ(data.timeoutOrVersion, 15000u);

    // The same text again is no change; an assignment always sends.
    balloon.SetText("now");
    EXPECT_EQ(icon->PendingFlags(), 0);
    TInfoBalloon other(nullptr);
    other.SetText("assigned");
    other.SetTitle("other title");
    icon->SetInfoBalloon(other);
    EXPECT_EQ(balloon.Text(), "assigned");
    EXPECT_EQ(balloon.Title(), "other title");
    EXPECT_EQ(balloon.Timeout(), 20);
    EXPECT_TRUE(balloon.Sound());
    ASSERT_TRUE(WaitForModify(m_rig.shell, 2));
    EXPECT_EQ(m_rig.shell.CallsOf(NIM_MODIFY)[1].data.info, "assigned");
}

TEST_F(NotifyIconTest, BalloonsNeedAnAddedIconAndVersionFive)
{
    struct Case {
        uint32_t version;
        bool visible;
    };
    for (const Case& c : {Case{kV6, false}, Case{kV4, true}, Case{0, true}}) {
        SCOPED_TRACE(c.version);
        TrayRig rig;
        auto icon = rig.MakeIcon(c.version);
        icon->SetVisible(c.visible);
        rig.shell.ClearCalls();
        icon->InfoBalloon().ShowBalloon("Folderly is processing now", "Attention!", biWarning);
        EXPECT_EQ(icon->PendingFlags(), 0);
        EXPECT_FALSE(icon->MessageWindow().IsTimerActive(TNotifyIcon::kBalloonTimerId));
        QTest::qWait(10);
        EXPECT_TRUE(rig.shell.Calls().empty());
    }
}

TEST_F(NotifyIconTest, FailedCommandsNameTheirVerb)
{
    const std::pair<uint32_t, const char*> verbs[] = {
        {NIM_ADD, "Failed to add notify icon"},
        {NIM_MODIFY, "Failed to modify notify icon"},
        {NIM_DELETE, "Failed to delete notify icon"},
        {NIM_SETFOCUS, "Failed to set focus to notify icon"},
        {NIM_SETVERSION, "Failed to set version of notify icon"},
    };
    for (const auto& [command, message] : verbs)
        EXPECT_STREQ(ENotifyIconError(command).what(), message);
}

TEST_F(NotifyIconTest, FailedAddLeavesTheIconOut)
{
    struct Case {
        uint32_t failing;
        const char* message;
    };
    for (const Case& c :
         {Case{NIM_ADD, "Failed to add notify icon"}, Case{NIM_SETVERSION, "Failed to set version of notify icon"}}) {
        SCOPED_TRACE(c.message);
        TrayRig rig;
        rig.shell.SetFails(c.failing, true);
        auto icon = rig.MakeIcon(kV6);
        try {
            icon->SetVisible(true);
            ADD_FAILURE() << "no error";
        } catch (const ENotifyIconError& error) {
            EXPECT_STREQ(error.what(), c.message);
        }
        EXPECT_FALSE(icon->Added());
        EXPECT_FALSE(icon->Visible());

        // Loading passes the error on and leaves Visible as the icon is.
        TrayRig loading;
        loading.shell.SetFails(c.failing, true);
        auto loaded = loading.MakeIcon(kV6);
        loaded->BeginLoad();
        loaded->SetVisible(true);
        EXPECT_TRUE(loading.shell.Calls().empty());
        EXPECT_THROW(loaded->Loaded(), ENotifyIconError);
        EXPECT_FALSE(loaded->Visible());
        EXPECT_FALSE(loaded->Added());
    }
}

TEST_F(NotifyIconTest, LoadedAddsAVisibleIcon)
{
    auto icon = m_rig.MakeIcon(kV6);
    icon->BeginLoad();
    icon->SetTitle("Folderly 1.3");
    icon->InfoBalloon().SetTimeout(10);
    icon->InfoBalloon().SetTitle("Folderly 1.3");
    icon->SetVisible(true);
    icon->SetMinimizeTo(true);
    EXPECT_TRUE(m_rig.shell.Calls().empty());
    EXPECT_TRUE(static_cast<bool>(m_rig.application.m_minimizeEvent));
    icon->Loaded();
    EXPECT_THAT(Commands(m_rig.shell), ElementsAre(NIM_ADD, NIM_SETVERSION));
    EXPECT_EQ(m_rig.shell.Calls()[0].data.tip, "Folderly 1.3");
    EXPECT_TRUE(icon->Visible());
    EXPECT_TRUE(icon->Added());
}

TEST_F(NotifyIconTest, FailedDeferredModifyIsReportedAndKeepsItsFlags)
{
    auto icon = AddedIcon(kV6);
    m_rig.shell.SetFails(NIM_MODIFY, true);
    icon->InfoBalloon().ShowBalloon("text", "title", biInfo);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !m_reported.empty(); }, 2000));
    EXPECT_THAT(m_reported, ElementsAre("Failed to modify notify icon"));
    EXPECT_EQ(icon->PendingFlags(), NIF_INFO);

    // The next balloon goes out with what is still waiting.
    m_rig.shell.SetFails(NIM_MODIFY, false);
    icon->SetTitle("tip");
    icon->InfoBalloon().SetText("again");
    ASSERT_TRUE(WaitForModify(m_rig.shell, 3));
    EXPECT_EQ(m_rig.shell.CallsOf(NIM_MODIFY)[2].data.info, "again");
    EXPECT_EQ(icon->PendingFlags(), 0);
}

TEST_F(NotifyIconTest, StatesAreSentFromVersionFive)
{
    struct Step {
        void (TNotifyIcon::*set)(bool);
        bool value;
        uint32_t flags;  // 0: nothing sent
        uint32_t state, mask;
    };
    const Step steps[] = {
        {&TNotifyIcon::SetHidden, true, NIF_STATE, 1, 1},
        {&TNotifyIcon::SetHidden, true, 0, 0, 0},
        {&TNotifyIcon::SetShared, true, NIF_STATE, 3, 2},
        {&TNotifyIcon::SetHidden, false, NIF_STATE, 2, 1},
        // Giving up a shared icon sends the own image again.
        {&TNotifyIcon::SetShared, false, NIF_STATE | NIF_ICON, 0, 2},
    };
    for (uint32_t version : {kV5, kV4}) {
        SCOPED_TRACE(version);
        TrayRig rig;
        auto icon = rig.MakeIcon(version);
        icon->SetIcon(SolidIcon(Qt::blue));
        icon->SetVisible(true);
        for (const Step& step : steps) {
            rig.shell.ClearCalls();
            (icon.get()->*step.set)(step.value);
            // Below version 5 only the image goes out.
            const uint32_t flags = version < kV5 ? step.flags & ~NIF_STATE : step.flags;
            if (flags == 0) {
                EXPECT_TRUE(rig.shell.Calls().empty());
                continue;
            }
            ASSERT_EQ(rig.shell.Calls().size(), 1u);
            const auto& call = rig.shell.Calls()[0];
            EXPECT_EQ(call.command, NIM_MODIFY);
            EXPECT_EQ(call.data.flags, flags);
            EXPECT_EQ(call.data.state, step.state);
            EXPECT_EQ(call.data.stateMask, step.mask);
        }
        EXPECT_FALSE(icon->Hidden());
        EXPECT_FALSE(icon->Shared());
    }
}

TEST_F(NotifyIconTest, GuidTextIsParsedIntoTheRecordBytes)
{
    struct Case {
        QString text;
        bool valid;
    };
    const Case cases[] = {
        {kGuidText, true},
        {QString(kGuidText).toLower(), true},
        {"", false},
        {"6B29FC40-CA47-1067-B31D-00DD010662DA", false},
        {"{6B29FC40-CA47-1067-B31D-00DD010662D}", false},
        {"{6B29FC40-CA47-1067-B31D_00DD010662DA}", false},
        {"{6B29FC40-CA47-1067-B31D-00DD010662DG}", false},
        {"(6B29FC40-CA47-1067-B31D-00DD010662DA)", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        TrayRig rig;
        auto icon = rig.MakeIcon(kV6);
        icon->SetVisible(true);
        rig.shell.ClearCalls();
        if (!c.valid) {
            try {
                icon->SetGUID(c.text);
                ADD_FAILURE() << "accepted";
            } catch (const std::invalid_argument& error) {
                EXPECT_EQ(error.what(), "'" + c.text.toStdString() + "' is not a valid GUID value");
            }
            EXPECT_EQ(icon->GUID(), "");
            EXPECT_TRUE(rig.shell.Calls().empty());
            continue;
        }
        icon->SetGUID(c.text);
        EXPECT_EQ(icon->GUID(), kGuidText);
        ASSERT_EQ(rig.shell.Calls().size(), 1u);
        EXPECT_EQ(rig.shell.Calls()[0].data.flags, NIF_GUID);
        EXPECT_EQ(rig.shell.Calls()[0].data.guid, kGuidBytes);
    }

    // Below version 6 the GUID is kept but not sent.
    auto icon = m_rig.MakeIcon(kV5);
    icon->SetVisible(true);
    m_rig.shell.ClearCalls();
    icon->SetGUID(kGuidText);
    EXPECT_EQ(icon->GUID(), kGuidText);
    EXPECT_TRUE(m_rig.shell.Calls().empty());
}

TEST_F(NotifyIconTest, IconFromTheImageList)
{
    ImageList images;
    images.Add(SolidIcon(Qt::red));
    images.Add(SolidIcon(Qt::green));
    auto icon = AddedIcon(kV6);
    icon->SetImages(&images);
    EXPECT_TRUE(m_rig.shell.Calls().empty()) << "no image chosen yet";

    icon->SetImageIndex(1);
    EXPECT_EQ(icon->ImageIndex(), 1);
    EXPECT_EQ(icon->Icon().pixmap(16).toImage().pixel(0, 0), QColor(Qt::green).rgb());
    ASSERT_EQ(m_rig.shell.Calls().size(), 1u);
    EXPECT_EQ(m_rig.shell.Calls()[0].data.flags, NIF_ICON);

    // A change of the list takes the new image at the same index.
    images.Replace(1, SolidIcon(Qt::yellow));
    EXPECT_EQ(icon->Icon().pixmap(16).toImage().pixel(0, 0), QColor(Qt::yellow).rgb());
    EXPECT_EQ(icon->ImageIndex(), 1);

    // An icon set directly leaves the list's index behind.
    icon->SetIcon(SolidIcon(Qt::blue));
    EXPECT_EQ(icon->ImageIndex(), -1);
    icon->SetImageIndex(5);  // outside the list: nothing taken
    EXPECT_EQ(icon->Icon().pixmap(16).toImage().pixel(0, 0), QColor(Qt::blue).rgb());
}

TEST_F(NotifyIconTest, RemovedComponentsAreForgotten)
{
    auto icon = m_rig.MakeIcon(kV6);
    auto images = std::make_unique<ImageList>();
    auto menu = std::make_unique<QMenu>();
    auto leftMenu = std::make_unique<QMenu>();
    icon->SetImages(images.get());
    icon->SetPopupMenu(menu.get());
    icon->SetLPopupMenu(leftMenu.get());
    images.reset();
    menu.reset();
    EXPECT_EQ(icon->Images(), nullptr);
    EXPECT_EQ(icon->PopupMenu(), nullptr);
    EXPECT_EQ(icon->LPopupMenu(), leftMenu.get());
}

TEST_F(NotifyIconTest, ForeignTimersRaiseOnTimer)
{
    auto icon = m_rig.MakeIcon(kV6);
    EventLog log(*icon);
    icon->ScheduleTimer(7, 1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return log.Lines().size() >= 2; }, 2000)) << "keeps firing until stopped";
    EXPECT_EQ(log.Lines()[0], "Timer 7");
    icon->ScheduleTimer(7, -1);
    EXPECT_FALSE(icon->MessageWindow().IsTimerActive(7));
}

TEST_F(NotifyIconTest, DestructionRemovesTheIcon)
{
    auto icon = AddedIcon(kV6);
    QObject* window = &icon->MessageWindow();
    icon.reset();
    ASSERT_EQ(m_rig.shell.Calls().size(), 1u);
    EXPECT_EQ(m_rig.shell.Calls()[0].command, NIM_DELETE);
    EXPECT_EQ(m_rig.shell.Calls()[0].data.window, window);

    // A failed delete at destruction is reported, not thrown.
    auto second = AddedIcon(kV6);
    m_rig.shell.SetFails(NIM_DELETE, true);
    second.reset();
    EXPECT_THAT(m_reported, ElementsAre("Failed to delete notify icon"));
}

}  // namespace
