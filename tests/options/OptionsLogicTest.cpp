#include "options/OptionsLogic.h"

#include "FakeOptions.h"
#include "TempDir.h"
#include "platform/settings/AutostartEntry.h"
#include "platform/settings/SettingsStore.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>
#include <variant>
#include <vector>

using platform::ESettingsError;
using platform::SettingsStore;

namespace {

using StoredValue = std::variant<std::int32_t, std::string>;
using StoredValues = std::vector<std::pair<std::string, StoredValue>>;

// Everything Load and Save can touch, in one comparable record.
struct Observed {
    int synchroMode = 0;
    int fileType = 0;
    bool filterChecked = false;
    bool filterEnabled = false;
    std::string filterText{};
    bool timerBox = false;
    bool intervalBoxEnabled = false;
    int intervalIndex = -1;
    int timerAction = 0;
    bool tray = false;
    bool autostart = false;
    bool silent = true;
    bool timerEnabled = false;
    std::int32_t timerInterval = 0;
    bool startMinimized = false;
    std::int32_t searchAttr = 32;
    std::string searchExt = "*";
    std::int32_t silentFlag = 1;
    bool keepReplaced = false;
    std::int32_t keepReplacedFlag = 0;
    bool runOnChange = false;  // the box, and what the program was told
    bool watching = false;

    bool operator==(const Observed&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Observed& o)
{
    return out << "{synchroMode " << o.synchroMode << ", fileType " << o.fileType << ", filter " << o.filterChecked
               << "/" << o.filterEnabled << " '" << o.filterText << "', timerBox " << o.timerBox << "/"
               << o.intervalBoxEnabled << ", interval " << o.intervalIndex << ", action " << o.timerAction << ", tray "
               << o.tray << ", autostart " << o.autostart << ", silent " << o.silent << ", timer " << o.timerEnabled
               << " " << o.timerInterval << ", minimized " << o.startMinimized << ", attr " << o.searchAttr << ", ext '"
               << o.searchExt << "', silentFlag " << o.silentFlag << ", keepReplaced " << o.keepReplaced << "/"
               << o.keepReplacedFlag << ", runOnChange " << o.runOnChange << "/" << o.watching << "}";
}

Observed ObservedOf(const FakeControls& c, const FakeHost& h, const RunOptionValues& r)
{
    const OptionValues& v = c.shown;
    return {v.SynchroMode,
            v.FileType,
            v.Filter != 0,
            c.filterEnabled,
            v.Ext,
            v.Timer != 0,
            c.IntervalBoxEnabled(),
            c.IntervalIndex(),
            v.TimerAction,
            v.TrayMode != 0,
            v.Autostart != 0,
            v.SilentMode != 0,
            h.timerEnabled,
            h.timerInterval,
            h.startMinimized,
            r.SearchAttr,
            r.SearchExt,
            r.SilentFlag,
            v.KeepReplaced != 0,
            r.KeepReplaced,
            v.RunOnChange != 0,
            h.runOnChange};
}

void StoreValues(const std::string& path, const StoredValues& values)
{
    SettingsStore writer(path);
    ASSERT_TRUE(writer.OpenKey(true));
    for (const auto& [name, value] : values) {
        if (std::holds_alternative<std::int32_t>(value))
            writer.WriteInteger(name, std::get<std::int32_t>(value));
        else
            writer.WriteString(name, std::get<std::string>(value));
    }
    writer.CloseKey();
}

// A Load or Save against a store and an autostart entry in a scratch folder.
class OptionsFixture : public ::testing::Test {
protected:
    OptionsFixture()
        : m_storePath(m_dir / "config/Vantrel/Folderly.conf"),
          m_autostartPath(m_dir / "config/autostart/Folderly.desktop"),
          m_store(m_storePath),
          m_autostart(m_autostartPath, "/usr/bin/folderly"),
          m_logic(m_controls, m_host, m_store, m_autostart)
    {
    }

    void Store(const StoredValues& values) { StoreValues(m_storePath, values); }

    void Load()
    {
        ASSERT_TRUE(m_store.OpenKey(true));
        m_logic.LoadOptions();
        m_store.CloseKey();
    }

    Observed Now() const { return ObservedOf(m_controls, m_host, m_logic.RunValues()); }

    // The stored value as it reads back, "" when missing.
    std::string Stored(const std::string& name) const
    {
        SettingsStore reader(m_storePath);
        if (!reader.OpenKey(false) || !reader.ValueExists(name))
            return "";
        try {
            return "int " + std::to_string(reader.ReadInteger(name));
        } catch (const ESettingsError&) {
            return "str " + reader.ReadString(name);
        }
    }

    TempDir m_dir;
    std::string m_storePath;
    std::string m_autostartPath;
    FakeControls m_controls;
    FakeHost m_host;
    SettingsStore m_store;
    platform::AutostartEntry m_autostart;
    OptionsLogic m_logic;
};

struct LoadCase {
    const char* what;
    StoredValues stored;
    Observed expected;
};

class LoadTest : public OptionsFixture, public ::testing::WithParamInterface<LoadCase> {};

TEST_P(LoadTest, AppliesEveryStoredValue)
{
    Store(GetParam().stored);
    Load();
    EXPECT_EQ(Now(), GetParam().expected);
}

using S = std::string;

INSTANTIATE_TEST_SUITE_P(
    StoredValues, LoadTest,
    ::testing::Values(
        LoadCase{"empty store keeps the defaults", {}, {}},
        LoadCase{"filter with extension",
                 {{"Filter", 1}, {"Ext", S("doc")}},
                 {.filterChecked = true, .filterEnabled = true, .filterText = "doc", .searchExt = "doc"}},
        LoadCase{"filter with empty extension", {{"Filter", 1}, {"Ext", S("")}}, {}},
        LoadCase{"filter without extension", {{"Filter", 1}}, {}},
        LoadCase{"filter off", {{"Filter", 0}, {"Ext", S("doc")}}, {}},
        LoadCase{"filter 2 is not on", {{"Filter", 2}, {"Ext", S("doc")}}, {}},
        LoadCase{"extension without filter is not read", {{"Ext", S("doc")}}, {}},
        LoadCase{"synchro mode 7", {{"SynchroMode", 7}}, {.synchroMode = 1}},
        LoadCase{"synchro mode -5", {{"SynchroMode", -5}}, {.synchroMode = -1}},
        LoadCase{"synchro mode -1", {{"SynchroMode", -1}}, {.synchroMode = -1}},
        LoadCase{"all files", {{"FileType", 1}}, {.fileType = 1, .searchAttr = 63}},
        LoadCase{"file type 5", {{"FileType", 5}}, {.fileType = 1, .searchAttr = 63}},
        LoadCase{"file type -3", {{"FileType", -3}}, {.fileType = -1, .searchAttr = 63}},
        LoadCase{"timer on, 3 min",
                 {{"Timer", 1}, {"TimerInterval", 180000}},
                 {.timerBox = true,
                  .intervalBoxEnabled = true,
                  .intervalIndex = 0,
                  .timerEnabled = true,
                  .timerInterval = 180000}},
        LoadCase{"timer 2 is on, 24 h",
                 {{"Timer", 2}, {"TimerInterval", 86400000}},
                 {.timerBox = true,
                  .intervalBoxEnabled = true,
                  .intervalIndex = 9,
                  .timerEnabled = true,
                  .timerInterval = 86400000}},
        LoadCase{"interval of no entry",
                 {{"Timer", 1}, {"TimerInterval", 5000}},
                 {.timerBox = true, .intervalBoxEnabled = true, .timerEnabled = true, .timerInterval = 5000}},
        LoadCase{
            "timer off", {{"Timer", 0}, {"TimerInterval", 3600000}}, {.intervalIndex = 3, .timerInterval = 3600000}},
        LoadCase{"action 3", {{"TimerAction", 3}}, {.timerAction = 1}},
        LoadCase{"silent 2 is on", {{"SilentMode", 2}}, {}},
        LoadCase{"silent off", {{"SilentMode", 0}}, {.silent = false, .silentFlag = 0}},
        LoadCase{"tray 1", {{"TrayMode", 1}}, {.tray = true, .startMinimized = true}},
        LoadCase{"tray 2 is off", {{"TrayMode", 2}}, {}},
        LoadCase{"autostart 5 checks tray mode too", {{"Autostart", 5}}, {.tray = true, .autostart = true}},
        LoadCase{"autostart with tray off", {{"TrayMode", 0}, {"Autostart", 1}}, {.tray = true, .autostart = true}},
        LoadCase{"autostart off", {{"Autostart", 0}}, {}},
        LoadCase{"keep replaced", {{"KeepReplaced", 1}}, {.keepReplaced = true, .keepReplacedFlag = 1}},
        LoadCase{"keep replaced 5 is on", {{"KeepReplaced", 5}}, {.keepReplaced = true, .keepReplacedFlag = 1}},
        LoadCase{"keep replaced off", {{"KeepReplaced", 0}}, {}},
        LoadCase{"run on change", {{"RunOnChange", 1}}, {.runOnChange = true, .watching = true}},
        LoadCase{"run on change off", {{"RunOnChange", 0}}, {}}),
    [](const ::testing::TestParamInfo<LoadCase>& caseInfo) {
        std::string name;
        for (const char* c = caseInfo.param.what; *c; ++c)
            name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
        return name;
    });

TEST_F(OptionsFixture, AValueThatCannotBeReadKeepsItsDefaultAndTheOthersLoad)
{
    struct Case {
        StoredValues stored;
        const char* message;
        Observed expected;
    };
    const std::vector<Case> cases = {
        {{{"SynchroMode", 1}, {"FileType", S("1")}, {"Timer", 1}},
         "Invalid data type for 'FileType'",
         {.synchroMode = 1, .timerBox = true, .intervalBoxEnabled = true, .timerEnabled = true}},
        // The extension belongs to the filter: neither is taken.
        {{{"FileType", 1}, {"Filter", 1}, {"Ext", 5}, {"SilentMode", 0}},
         "Invalid data type for 'Ext'",
         {.fileType = 1, .silent = false, .searchAttr = 63, .silentFlag = 0}},
        {{{"Timer", 1}, {"TimerInterval", S("180000")}, {"TrayMode", 1}},
         "Invalid data type for 'TimerInterval'",
         {.timerBox = true, .intervalBoxEnabled = true, .tray = true, .timerEnabled = true, .startMinimized = true}},
        {{{"SilentMode", S("no")}, {"TrayMode", 1}, {"Autostart", S("yes")}},
         "Invalid data type for 'SilentMode'; Invalid data type for 'Autostart'",
         {.tray = true, .startMinimized = true}},
        {{{"KeepReplaced", S("yes")}, {"SilentMode", 0}},
         "Invalid data type for 'KeepReplaced'",
         {.silent = false, .silentFlag = 0}},
    };
    for (const Case& c : cases) {
        TempDir dir;
        SettingsStore store(dir / "Folderly.conf");
        StoreValues(store.FilePath(), c.stored);
        FakeControls controls;
        FakeHost host;
        OptionsLogic logic(controls, host, store, m_autostart);
        ASSERT_TRUE(store.OpenKey(true));
        try {
            logic.LoadOptions();
            ADD_FAILURE() << "no error for " << c.message;
        } catch (const ESettingsError& error) {
            EXPECT_STREQ(error.what(), c.message);
        }
        EXPECT_EQ(ObservedOf(controls, host, logic.RunValues()), c.expected) << c.message;
    }
}

TEST_F(OptionsFixture, TheCloseKeepsWhatTheStartCouldNotReadUnlessItWasChanged)
{
    Store({{"FileType", S("abc")}, {"Autostart", S("yes")}, {"TimerInterval", S("x")}, {"SilentMode", 0}});
    std::filesystem::create_directories(std::filesystem::path(m_autostartPath).parent_path());
    WriteFile(m_autostartPath, "[Desktop Entry]\n");
    ASSERT_TRUE(m_store.OpenKey(true));
    EXPECT_THROW(m_logic.LoadOptions(), ESettingsError);
    m_store.CloseKey();

    m_controls.shown.SynchroMode = 1;  // a change the user made
    m_logic.SaveAtClose();
    EXPECT_EQ(Stored("FileType"), "str abc");
    EXPECT_EQ(Stored("Autostart"), "str yes");
    EXPECT_EQ(Stored("TimerInterval"), "str x");
    EXPECT_TRUE(std::filesystem::exists(m_autostartPath));
    EXPECT_EQ(Stored("SilentMode"), "int 0");
    EXPECT_EQ(Stored("SynchroMode"), "int 1");
    EXPECT_EQ(Stored("version"), "str 1.3");

    // Changed in the panel: the close stores what the user chose.
    m_controls.shown.FileType = 1;
    m_host.timerInterval = 600000;
    m_logic.SaveAtClose();
    EXPECT_EQ(Stored("FileType"), "int 1");
    EXPECT_EQ(Stored("TimerInterval"), "int 600000");
    EXPECT_EQ(Stored("Autostart"), "str yes");

    // The user's own Save stores everything as the panel shows it.
    m_logic.Save();
    EXPECT_EQ(Stored("Autostart"), "int 0");
    EXPECT_FALSE(std::filesystem::exists(m_autostartPath));
}

TEST(OptionsClose, AStoreThatCannotBeReadIsReportedAndLeftAlone)
{
    TempDir dir;
    ASSERT_EQ(::symlink("Folderly.conf", (dir / "Folderly.conf").c_str()), 0);
    ASSERT_EQ(::mkfifo((dir / "pipe.conf").c_str(), 0600), 0);
    for (const std::string& path : {dir / "Folderly.conf", dir / "pipe.conf"}) {
        SCOPED_TRACE(path);
        SettingsStore store(path);
        platform::AutostartEntry autostart(dir / "Folderly.desktop", "/usr/bin/folderly");
        WriteFile(autostart.FilePath(), "[Desktop Entry]\n");
        FakeControls controls;
        FakeHost host;
        OptionsLogic logic(controls, host, store, autostart);
        EXPECT_FALSE(store.OpenKey(true));
        EXPECT_THROW(logic.LoadOptions(), ESettingsError);
        EXPECT_NO_THROW(logic.SaveAtClose());
        EXPECT_TRUE(autostart.Exists());
        // A change the user made cannot be stored: the close says so.
        controls.shown.SilentMode = 0;
        EXPECT_THROW(logic.SaveAtClose(), ESettingsError);
    }
}

TEST_F(OptionsFixture, SaveStoresEveryOptionWithItsTypeAndHidesThePanel)
{
    m_controls.shown.SynchroMode = 1;
    m_controls.shown.FileType = 1;
    m_controls.shown.Filter = 1;
    m_controls.shown.Ext = "txt";
    m_controls.shown.Timer = 1;
    m_host.timerInterval = 600000;
    m_controls.shown.TimerAction = 1;
    m_controls.shown.SilentMode = 0;
    m_controls.shown.TrayMode = 1;
    m_controls.shown.Autostart = 1;
    m_controls.shown.KeepReplaced = 1;
    m_controls.shown.RunOnChange = 1;

    m_logic.Save();

    const std::vector<std::pair<std::string, std::string>> expected = {
        {"KeepReplaced", "int 1"},       {"RunOnChange", "int 1"}, {"version", "str 1.3"},  {"SynchroMode", "int 1"},
        {"FileType", "int 1"},           {"Filter", "int 1"},      {"Ext", "str txt"},      {"Timer", "int 1"},
        {"TimerInterval", "int 600000"}, {"TimerAction", "int 1"}, {"SilentMode", "int 0"}, {"TrayMode", "int 1"},
        {"Autostart", "int 1"}};
    for (const auto& [name, value] : expected)
        EXPECT_EQ(Stored(name), value) << name;
    EXPECT_EQ(m_logic.RunValues().SearchAttr, 63);
    EXPECT_EQ(m_logic.RunValues().SearchExt, "txt");
    EXPECT_EQ(m_logic.RunValues().SilentFlag, 0);
    EXPECT_EQ(m_logic.RunValues().KeepReplaced, 1);
    EXPECT_TRUE(m_host.timerEnabled);
    EXPECT_TRUE(m_host.runOnChange);
    EXPECT_EQ(m_host.panelHidden, 1);
    EXPECT_TRUE(std::filesystem::exists(m_autostartPath));
}

TEST_F(OptionsFixture, SaveOfTheDefaultsAndTheAutostartEntryGoingAway)
{
    m_controls.shown.Autostart = 1;
    m_logic.Save();
    ASSERT_TRUE(std::filesystem::exists(m_autostartPath));

    m_controls.shown.Autostart = 0;
    m_controls.shown.SynchroMode = -1;
    m_controls.shown.Filter = 1;  // checked with an empty text stores "*"
    m_logic.Save();
    EXPECT_FALSE(std::filesystem::exists(m_autostartPath));
    EXPECT_EQ(Stored("Autostart"), "int 0");
    EXPECT_EQ(Stored("SynchroMode"), "int -1");
    EXPECT_EQ(Stored("Filter"), "int 1");
    EXPECT_EQ(Stored("Ext"), "str *");
    EXPECT_EQ(Stored("TimerInterval"), "int 0");
    EXPECT_EQ(Stored("SilentMode"), "int 1");
    EXPECT_EQ(Stored("TrayMode"), "int 0");
    EXPECT_EQ(Stored("KeepReplaced"), "int 0");
    EXPECT_EQ(m_logic.RunValues().SearchAttr, 32);
    EXPECT_EQ(m_logic.RunValues().SearchExt, "*");

    m_logic.Save();  // unchecked again: nothing to remove, no error
    EXPECT_FALSE(std::filesystem::exists(m_autostartPath));
    EXPECT_EQ(m_host.panelHidden, 3);

    // The next start shows the box checked with "*".
    FakeControls controls;
    FakeHost host;
    OptionsLogic next(controls, host, m_store, m_autostart);
    ASSERT_TRUE(m_store.OpenKey(true));
    next.LoadOptions();
    EXPECT_TRUE(controls.shown.Filter);
    EXPECT_TRUE(controls.filterEnabled);
    EXPECT_EQ(controls.shown.Ext, "*");
    EXPECT_EQ(controls.shown.SynchroMode, -1);
}

TEST_F(OptionsFixture, SaveAndLoadRoundTrip)
{
    m_controls.shown.SynchroMode = 1;
    m_controls.shown.Filter = 1;
    m_controls.shown.Ext = "doc";
    m_controls.shown.Timer = 1;
    m_host.timerInterval = 7200000;
    m_controls.shown.TimerAction = 1;
    m_controls.shown.SilentMode = 0;
    m_controls.shown.Autostart = 1;
    m_controls.shown.TrayMode = 0;  // unchecked by hand after Autostart
    m_controls.shown.KeepReplaced = 1;
    m_logic.Save();

    FakeControls controls;
    FakeHost host;
    OptionsLogic next(controls, host, m_store, m_autostart);
    ASSERT_TRUE(m_store.OpenKey(true));
    next.LoadOptions();
    // Not minimized, but loading Autostart checks Tray Mode again.
    const Observed expected{.synchroMode = 1,
                            .filterChecked = true,
                            .filterEnabled = true,
                            .filterText = "doc",
                            .timerBox = true,
                            .intervalBoxEnabled = true,
                            .intervalIndex = 4,
                            .timerAction = 1,
                            .tray = true,
                            .autostart = true,
                            .silent = false,
                            .timerEnabled = true,
                            .timerInterval = 7200000,
                            .searchExt = "doc",
                            .silentFlag = 0,
                            .keepReplaced = true,
                            .keepReplacedFlag = 1};
    EXPECT_EQ(ObservedOf(controls, host, next.RunValues()), expected);
}

TEST(OptionsSave, AStoreThatCannotBeWrittenEndsSaveWithThePanelOpen)
{
    TempDir dir;
    WriteFile(dir / "file", "x");
    SettingsStore store(dir / "file/Vantrel/Folderly.conf");
    platform::AutostartEntry autostart(dir / "autostart/Folderly.desktop", "/usr/bin/folderly");
    FakeControls controls;
    controls.shown.FileType = 1;
    controls.shown.SilentMode = 0;
    controls.shown.Autostart = 1;
    FakeHost host;
    OptionsLogic logic(controls, host, store, autostart);

    try {
        logic.Save();
        FAIL() << "no error";
    } catch (const ESettingsError& error) {
        EXPECT_STREQ(error.what(), "Failed to set data for 'version'");
    }
    EXPECT_EQ(host.panelHidden, 0);
    EXPECT_EQ(logic.RunValues().SearchAttr, 32);
    EXPECT_EQ(logic.RunValues().SilentFlag, 1);
    EXPECT_FALSE(autostart.Exists());
}

// Save applies each value just before it writes it, as the design orders
// them: a store that fails at "Timer" (here its file becomes a folder when
// the timer is switched) leaves File Type, the extension and the timer
// applied, and Silent Mode and what follows as they were.
TEST(OptionsSave, AStoreThatFailsAtAValueLeavesThoseBeforeItApplied)
{
    TempDir dir;
    const std::string path = dir / "Vantrel/Folderly.conf";
    SettingsStore store(path);
    platform::AutostartEntry autostart(dir / "autostart/Folderly.desktop", "/usr/bin/folderly");
    struct BreakingHost : FakeHost {
        std::function<void()> atTimer;
        void SetTimerEnabled(bool enabled) override
        {
            FakeHost::SetTimerEnabled(enabled);
            atTimer();
        }
    } host;
    host.atTimer = [&] {
        std::filesystem::remove(path);
        std::filesystem::create_directory(path);
    };
    FakeControls controls;
    controls.shown.FileType = 1;
    controls.shown.Filter = 1;
    controls.shown.Ext = "txt";
    controls.shown.Timer = 1;
    controls.shown.SilentMode = 0;
    controls.shown.KeepReplaced = 1;
    OptionsLogic logic(controls, host, store, autostart);

    try {
        logic.Save();
        FAIL() << "no error";
    } catch (const ESettingsError& error) {
        EXPECT_STREQ(error.what(), "Failed to set data for 'Timer'");
    }
    EXPECT_EQ(logic.RunValues().SearchAttr, 63);
    EXPECT_EQ(logic.RunValues().SearchExt, "txt");
    EXPECT_TRUE(host.timerEnabled);
    EXPECT_EQ(logic.RunValues().SilentFlag, 1);
    EXPECT_EQ(logic.RunValues().KeepReplaced, 0);
    EXPECT_EQ(host.panelHidden, 0);
}

TEST_F(OptionsFixture, AnAutostartEntryThatCannotBeWrittenEndsSaveWithThePanelOpen)
{
    WriteFile(m_dir / "blocked", "x");
    platform::AutostartEntry blocked(m_dir / "blocked/autostart/Folderly.desktop", "/usr/bin/folderly");
    OptionsLogic logic(m_controls, m_host, m_store, blocked);
    m_controls.shown.Autostart = 1;
    m_controls.shown.SilentMode = 0;
    try {
        logic.Save();
        FAIL() << "no error";
    } catch (const ESettingsError& error) {
        EXPECT_STREQ(error.what(), "Failed to set data for 'Folderly'");
    }
    EXPECT_EQ(m_host.panelHidden, 0);
    EXPECT_EQ(logic.RunValues().SilentFlag, 0);  // applied before the entry's turn
    EXPECT_EQ(Stored("Autostart"), "int 1");
}

TEST_F(OptionsFixture, HideAppliesWithoutStoring)
{
    m_controls.shown.FileType = 1;
    m_controls.shown.Filter = 1;
    m_controls.shown.Ext = "jpg";
    m_controls.shown.Timer = 1;
    m_controls.shown.SilentMode = 0;
    m_controls.shown.SynchroMode = 1;
    m_controls.shown.KeepReplaced = 1;
    m_controls.shown.RunOnChange = 1;

    m_logic.Hide();
    EXPECT_EQ(m_logic.RunValues().SearchAttr, 63);
    EXPECT_EQ(m_logic.RunValues().SearchExt, "jpg");
    EXPECT_TRUE(m_host.timerEnabled);
    EXPECT_EQ(m_logic.RunValues().SilentFlag, 0);
    EXPECT_EQ(m_logic.RunValues().KeepReplaced, 1);
    EXPECT_TRUE(m_host.runOnChange);
    EXPECT_EQ(m_host.panelHidden, 1);
    EXPECT_FALSE(std::filesystem::exists(m_storePath));

    m_controls.shown.Filter = 0;
    m_controls.shown.Timer = 0;
    m_logic.Hide();
    EXPECT_EQ(m_logic.RunValues().SearchExt, "*");
    EXPECT_FALSE(m_host.timerEnabled);
}

TEST_F(OptionsFixture, FilterAndAutostartClicks)
{
    m_controls.shown.Ext = "doc";
    for (bool checked : {true, false, true}) {
        m_controls.shown.Filter = checked;
        m_logic.FilterBoxClicked();
        EXPECT_EQ(m_controls.filterEnabled, checked);
        EXPECT_EQ(m_controls.shown.Ext, "doc");
    }

    // Either direction checks Tray Mode; a checked Tray Mode stays so.
    for (bool autostart : {true, false}) {
        for (bool tray : {false, true}) {
            m_controls.shown.Autostart = autostart;
            m_controls.shown.TrayMode = tray;
            m_logic.AutostartBoxClicked();
            EXPECT_TRUE(m_controls.shown.TrayMode) << autostart << tray;
            EXPECT_EQ(m_controls.shown.Autostart != 0, autostart);
        }
    }
}

}  // namespace

namespace {

// A new text option is a row like any other: its stored text shows in its
// control as it is (Ext alone waits for its filter box).
TEST(OptionRows, ATextRowOfItsOwnShowsWhatIsStored)
{
    OptionValues stored;
    stored.Ext = "*.tmp;~*";
    for (const OptionRow& row : {TextOption("NewText", &OptionValues::Ext, "", LoadRule::Text),
                                 TextOption("Ext", &OptionValues::Ext, "", LoadRule::FilterText)}) {
        OptionValues shown;
        OptionsLogic::ShowStored(row, stored, shown);
        EXPECT_EQ(shown.Ext, row.load == LoadRule::Text ? stored.Ext : std::string()) << row.name;
    }
}

}  // namespace
