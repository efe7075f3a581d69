#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <thread>

#include <QComboBox>
#include <QEvent>
#include <QListWidget>
#include <QPushButton>

#include "ExpectedBoxes.h"
#include "QtTestUtil.h"
#include "TempDir.h"
#include "app/Lifecycle.h"
#include "app/RunOutput.h"
#include "app/UnattendedRun.h"
#include "core/Program.h"
#include "lists/FolderList.h"
#include "options/LegacyOptionImport.h"
#include "platform/fs/FileSystem.h"
#include "platform/fs/FileSystemTesting.h"
#include "platform/settings/SettingsStore.h"
#include "ui/Gauge.h"
#include "ui/Unit1.h"
#include "ui/dialogs/MessageBoxes.h"
#include "ui/options/OptionsPanel.h"

namespace {

// A home of its own: program folder, settings file and autostart entry.
class Home {
public:
    std::string ProgramFolder() const { return dir.Path() + "/share/Folderly/"; }
    std::string SettingsFile() const { return dir.Path() + "/config/Vantrel/Folderly.conf"; }
    std::string AutostartFile() const { return dir.Path() + "/config/autostart/Folderly.desktop"; }
    TempDir dir;
};

// Answers every box with OK; the error boxes shown so far.
class Errors : public ExpectedBoxes {
public:
    Errors() { AnswerAllWith(MessageBoxes::Answer::Ok); }
    std::vector<std::string> Shown() const
    {
        std::vector<std::string> texts;
        for (const QString& text : TextsOf(MessageBoxes::Kind::Error))
            texts.push_back(text.toStdString());
        return texts;
    }
};

std::vector<std::string> ReportLines(TForm1& form)
{
    return form.Core().Report().Lines();
}

TEST(Lifecycle, FirstStartCreatesTheProgramFolderAndShowsTheVersion)
{
    Home home;
    Program program(home.ProgramFolder(), home.SettingsFile(), home.AutostartFile());
    TForm1 form(program);
    Lifecycle(form.Core()).FormCreate();
    EXPECT_TRUE(platform::DirectoryExists(home.ProgramFolder()));
    EXPECT_EQ(platform::GetCurrentDir() + "/", home.ProgramFolder());
    EXPECT_EQ(ReportLines(form), std::vector<std::string>{"v1.3"});
    EXPECT_EQ(form.ListBox3->count(), 1);
    EXPECT_EQ(form.Core().List1().Count(), 0);
    EXPECT_EQ(form.Core().Options().RunValues().SearchAttr, 32);
    EXPECT_EQ(form.Core().Options().RunValues().SilentFlag, 1);
    EXPECT_FALSE(form.Core().StartMinimized());
}

TEST(Lifecycle, LegacyOptionFileLinesComeBeforeTheVersion)
{
    Home home;
    platform::ForceDirectories(home.ProgramFolder());
    WriteFile(home.ProgramFolder() + "options.txt", "Folderly  1.2\r\n1\r\n1\r\n0\r\n\r\n0\r\n0\r\n0\r\n0\r\n1\r\n");
    Program program(home.ProgramFolder(), home.SettingsFile(), home.AutostartFile());
    TForm1 form(program);
    Lifecycle(form.Core()).FormCreate();
    EXPECT_EQ(ReportLines(form), (std::vector<std::string>{kLegacyFoundLine, kLegacyDeletedLine, "v1.3"}));
    EXPECT_FALSE(platform::FileExists(home.ProgramFolder() + "options.txt"));
    // The imported values were loaded like stored ones.
    EXPECT_EQ(form.GroupBox1->SynchroModeIndex(), 1);
    EXPECT_EQ(form.Core().Options().RunValues().SearchAttr, 63);
    EXPECT_TRUE(form.Core().StartMinimized());
}

TEST(Lifecycle, AFailedStepIsShownAndTheStepsAfterItStillRun)
{
    Home home;
    {
        platform::SettingsStore store(home.SettingsFile());
        store.OpenKey(true);
        store.WriteString("SynchroMode", "not a number");
        store.WriteInteger("SilentMode", 0);
        store.CloseKey();
    }
    platform::ForceDirectories(home.ProgramFolder());
    ASSERT_EQ(::symlink("List1.txt", (home.ProgramFolder() + "List1.txt").c_str()), 0);
    WriteFile(home.ProgramFolder() + "List2.txt", "/data\r\n");
    Errors errors;
    Program program(home.ProgramFolder(), home.SettingsFile(), home.AutostartFile());
    TForm1 form(program);
    Lifecycle(form.Core()).FormCreate();
    EXPECT_EQ(
        errors.Shown(),
        (std::vector<std::string>{"Could not load " + home.ProgramFolder() + "List1.txt: I/O error 40.",
                                  "Could not load " + home.SettingsFile() + ": Invalid data type for 'SynchroMode'."}));
    EXPECT_EQ(form.Core().List2().Count(), 1);
    EXPECT_EQ(ReportLines(form), std::vector<std::string>{"v1.3"});
    EXPECT_EQ(form.Core().Options().RunValues().SilentFlag, 0);
}

TEST(Lifecycle, AListFileTheStartCouldNotReadIsKeptAsideOnceTheListGetsEntries)
{
    Home home;
    platform::ForceDirectories(home.ProgramFolder());
    const std::string list1 = home.ProgramFolder() + "List1.txt";
    const std::string inFolder = list1 + "/inside.txt";
    std::vector<std::pair<const char*, std::function<void()>>> makeUnreadable = {
        {"a link loop", [&] { ASSERT_EQ(::symlink("List1.txt", list1.c_str()), 0); }},
        {"a pipe", [&] { ASSERT_EQ(::mkfifo(list1.c_str(), 0600), 0); }},
        {"a folder",
         [&] {
             ASSERT_EQ(::mkdir(list1.c_str(), 0700), 0);
             WriteFile(inFolder, "/kept\r\n");
         }},
    };
    // Only a user other than root is kept from reading a file of its own.
    if (::geteuid() != 0) {
        makeUnreadable.emplace_back("a file the user may not read", [&] {
            WriteFile(list1, "/old\r\n");
            ASSERT_EQ(::chmod(list1.c_str(), 0200), 0);
        });
    }
    for (const auto& [name, unreadable] : makeUnreadable) {
        SCOPED_TRACE(name);
        for (const char* leftOver : {"", ".unread", ".unread.2", ".unread.3"})
            std::filesystem::remove_all(list1 + leftOver);
        std::filesystem::remove(home.ProgramFolder() + "List2.txt");
        unreadable();
        const auto type = std::filesystem::symlink_status(list1).type();
        // One kept by an earlier start stays as it is.
        WriteFile(list1 + ".unread", "/earlier\r\n");
        Errors errors;
        Program program(home.ProgramFolder(), home.SettingsFile(), home.AutostartFile());
        TForm1 form(program);
        Lifecycle lifecycle(form.Core());
        lifecycle.FormCreate();
        ASSERT_EQ(errors.Shown().size(), 1u);
        form.Core().List2().Add("/b");
        EXPECT_TRUE(lifecycle.FormClose());
        EXPECT_EQ(std::filesystem::symlink_status(list1).type(), type);
        EXPECT_EQ(ReadFile(home.ProgramFolder() + "List2.txt"), "/b\r\n");

        // Entries the user gave the list are what the close must keep; what
        // the file held is kept beside.
        form.Core().List1().Add("/a");
        EXPECT_TRUE(lifecycle.FormClose());
        EXPECT_EQ(ReadFile(list1), "/a\r\n");
        EXPECT_EQ(std::filesystem::symlink_status(list1 + ".unread.2").type(), type);
        EXPECT_EQ(ReadFile(list1 + ".unread"), "/earlier\r\n");
        if (type == std::filesystem::file_type::directory) {
            EXPECT_EQ(ReadFile(list1 + ".unread.2/inside.txt"), "/kept\r\n");
        }
        EXPECT_EQ(ReportLines(form).back(),
                  "The list file that could not be read at the start was kept as " + list1 + ".unread.2");
        // Once only: the next close replaces the file it wrote itself.
        form.Core().List1().Add("/c");
        EXPECT_TRUE(lifecycle.FormClose());
        EXPECT_EQ(ReadFile(list1), "/c\r\n/a\r\n");
        EXPECT_FALSE(std::filesystem::exists(list1 + ".unread.3"));
    }
}

// What a run for the command line told the asking copy.
class RecordingOutput : public RunOutput {
public:
    void Line(const std::string& line) override { lines.push_back(line); }
    void Message(const std::string& text) override { messages.push_back(text); }
    std::vector<std::string> lines;
    std::vector<std::string> messages;
};

// A run for the command line works on what the window holds: never on a list
// or option that only stands in for a stored one the start could not read.
TEST(Lifecycle, TheWindowMakesNoRunForTheCommandLineWithWhatStandsInForAnUnreadFile)
{
    struct Case {
        const char* name;
        std::function<void(const Home&)> unreadable;
        std::function<void(TForm1&, Lifecycle&)> settle;  // what makes the window's own the stored ones
        std::string why;
    };
    const Case cases[] = {
        {"an option", [](const Home& home) { WriteFile(home.SettingsFile(), "[General]\nSynchroMode=int:1x\n"); },
         [](TForm1& form, Lifecycle&) { form.Core().Options().Save(); },
         "the running copy of Folderly could not read SynchroMode in %c at its start and makes no run from the "
         "command line until its options are saved"},
        {"a list file",
         [](const Home& home) { ASSERT_EQ(::mkdir((home.ProgramFolder() + "List1.txt").c_str(), 0700), 0); },
         [](TForm1&, Lifecycle& lifecycle) { EXPECT_TRUE(lifecycle.FormClose()); },
         "the running copy of Folderly could not read %l at its start and makes no run from the command line "
         "until its window is closed"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Home home;
        platform::ForceDirectories(home.ProgramFolder());
        platform::ForceDirectories(home.dir / "config/Vantrel");
        const std::string a = home.dir / "A", b = home.dir / "B";
        platform::ForceDirectories(a);
        platform::ForceDirectories(b);
        WriteFile(a + "/notes.txt", "new");
        WriteFile(b + "/notes.txt", "old");
        SetMTime(b + "/notes.txt", 1600000000);
        c.unreadable(home);
        Errors errors;
        Program program(home.ProgramFolder(), home.SettingsFile(), home.AutostartFile());
        TForm1 form(program);
        Lifecycle lifecycle(form.Core());
        lifecycle.FormCreate();
        ASSERT_EQ(errors.Shown().size(), 1u);
        form.Core().List1().Add(a);
        form.Core().List2().Add(b);

        RecordingOutput refused;
        EXPECT_EQ(UnattendedRun::ForCommandLine(form.Core(), lifecycle, refused), std::optional<int>(2));
        EXPECT_EQ(ReadFile(b + "/notes.txt"), "old");
        std::string why = c.why;
        why.replace(why.find('%'), 2,
                    c.why.find("%c") != std::string::npos ? home.SettingsFile() : home.ProgramFolder() + "List1.txt");
        EXPECT_EQ(refused.messages, std::vector<std::string>{why});
        EXPECT_TRUE(refused.lines.empty());

        c.settle(form, lifecycle);
        RecordingOutput made;
        EXPECT_EQ(UnattendedRun::ForCommandLine(form.Core(), lifecycle, made), std::optional<int>(0));
        EXPECT_EQ(ReadFile(b + "/notes.txt"), "new");
        EXPECT_EQ(made.lines, std::vector<std::string>{b + "/notes.txt updated successfully"});
    }
}

// A stored option a run uses reaches every kind of run: the window's own,
// a command-line run the window makes, and one made with no window (which
// reads the store of the user's configuration folder).
TEST(Lifecycle, EveryKindOfRunTakesTheStoredOptions)
{
    Home home;
    struct ConfigHome {
        const std::string old = std::getenv("XDG_CONFIG_HOME");
        explicit ConfigHome(const std::string& path) { setenv("XDG_CONFIG_HOME", path.c_str(), 1); }
        ~ConfigHome() { setenv("XDG_CONFIG_HOME", old.c_str(), 1); }
    } configHome(home.dir / "config");
    {
        platform::SettingsStore store(home.SettingsFile());
        ASSERT_TRUE(store.OpenKey(true));
        store.WriteInteger("KeepReplaced", 1);
        store.WriteInteger("FileType", 1);
        store.CloseKey();
    }
    Program program(home.ProgramFolder(), home.SettingsFile(), home.AutostartFile());
    TForm1 form(program);
    Lifecycle lifecycle(form.Core());
    lifecycle.FormCreate();
    const auto expectStored = [](const RunState& state) {
        EXPECT_EQ(state.Options.KeepReplaced, 1);
        EXPECT_EQ(state.Options.SearchAttr, 63);
    };

    form.Core().SynchronizeAll();
    expectStored(form.Core().State());
    form.Core().State().Options = {};
    RecordingOutput output;
    EXPECT_EQ(UnattendedRun::ForCommandLine(form.Core(), lifecycle, output), std::optional<int>(0));
    expectStored(form.Core().State());
    RunState alone;
    EXPECT_EQ(UnattendedRun::FromStoredFiles(home.ProgramFolder(), output, alone), 0);
    expectStored(alone);
}

// A run for a later start works in the window: the window paints while it
// goes, as during its own runs, so that its desktop never takes it for hung.
TEST(Lifecycle, TheWindowPaintsDuringARunForALaterStart)
{
    Home home;
    Program program(home.ProgramFolder(), home.SettingsFile(), home.AutostartFile());
    TForm1 form(program);
    Lifecycle lifecycle(form.Core());
    lifecycle.FormCreate();
    const std::string a = home.dir / "A", b = home.dir / "B";
    platform::ForceDirectories(a);
    platform::ForceDirectories(b);
    for (const char* name : {"/x", "/y", "/z"}) {
        WriteFile(a + name, "new");
        WriteFile(b + name, "old");
        SetMTime(b + name, 1600000000);
    }
    form.Core().List1().Add(a);
    form.Core().List2().Add(b);
    form.show();
    PaintCounter paints;
    form.Gauge1->installEventFilter(&paints);
    std::vector<int> paintsAtCopy;
    platform::FileSystemTestHooks hooks;
    hooks.afterContent = [&] {
        paintsAtCopy.push_back(paints.count);
        // Past the window's pause between two looks at its events.
        std::this_thread::sleep_for(std::chrono::milliseconds(80));
    };
    platform::SetFileSystemTestHooks(hooks);
    RecordingOutput output;
    EXPECT_EQ(UnattendedRun::ForCommandLine(form.Core(), lifecycle, output), std::optional<int>(0));
    platform::ClearFileSystemTestHooks();
    ASSERT_EQ(paintsAtCopy.size(), 3u);
    EXPECT_GT(paintsAtCopy.back(), paintsAtCopy.front());
}

TEST(Lifecycle, CloseWritesListsThenOptionsAndStoresUnsavedChanges)
{
    Home home;
    {
        Program program(home.ProgramFolder(), home.SettingsFile(), home.AutostartFile());
        TForm1 form(program);
        Lifecycle(form.Core()).FormCreate();
        form.Core().List1().Add("/data");
        form.Core().List1().Add("/Music");
        form.GroupBox1->SetSynchroModeIndex(1);  // changed, neither saved nor applied
        EXPECT_TRUE(Lifecycle(form.Core()).FormClose());
    }
    EXPECT_EQ(ReadFile(home.ProgramFolder() + "List1.txt"), "/Music\r\n/data\r\n");
    EXPECT_EQ(ReadFile(home.ProgramFolder() + "List2.txt"), "");
    Program againProgram(home.ProgramFolder(), home.SettingsFile(), home.AutostartFile());
    TForm1 again(againProgram);
    Lifecycle(again.Core()).FormCreate();
    EXPECT_EQ(again.Core().List1().Count(), 2);
    EXPECT_EQ(again.GroupBox1->SynchroModeIndex(), 1);
}

TEST(Lifecycle, ACloseThatCannotWriteTheListsKeepsTheProgramRunning)
{
    Home home;
    Errors errors;
    Program program(home.ProgramFolder(), home.SettingsFile(), home.AutostartFile());
    TForm1 form(program);
    Lifecycle lifecycle(form.Core());
    lifecycle.FormCreate();
    form.Core().List1().Add("/new entry");
    WriteFile(home.ProgramFolder() + "List1.txt", "/old\r\n");
    MakeReadOnly(home.ProgramFolder() + "List1.txt");

    EXPECT_FALSE(lifecycle.FormClose());

    EXPECT_EQ(errors.Shown(),
              std::vector<std::string>{"Could not save " + home.ProgramFolder() + "List1.txt: File access denied."});
    EXPECT_EQ(ReadFile(home.ProgramFolder() + "List1.txt"), "/old\r\n");
    // The options were not saved by that attempt.
    platform::SettingsStore store(home.SettingsFile());
    store.OpenKey(true);
    EXPECT_FALSE(store.ValueExists("version"));
}

TEST(Lifecycle, SessionEndSavesListsAndOptions)
{
    Home home;
    Program program(home.ProgramFolder(), home.SettingsFile(), home.AutostartFile());
    TForm1 form(program);
    Lifecycle lifecycle(form.Core());
    lifecycle.FormCreate();
    form.Core().List2().Add("/backup");
    lifecycle.SaveForSessionEnd();
    EXPECT_EQ(ReadFile(home.ProgramFolder() + "List2.txt"), "/backup\r\n");
    platform::SettingsStore store(home.SettingsFile());
    store.OpenKey(true);
    EXPECT_EQ(store.ReadString("version"), "1.3");
}

}  // namespace

namespace {

TEST(Lifecycle, AStoredIntervalOfNoEntrySurvivesSaveHideMinimizeAndARestart)
{
    Home home;
    {
        platform::SettingsStore store(home.SettingsFile());
        store.OpenKey(true);
        store.WriteInteger("Timer", 1);
        store.WriteInteger("TimerInterval", 60000);
        store.CloseKey();
    }
    const auto start = [&home](TForm1& form, Lifecycle& lifecycle) {
        lifecycle.FormCreate();
        form.show();
        EXPECT_EQ(form.Timer1().Interval(), 60000u);
        EXPECT_TRUE(form.Timer1().Running());
    };
    {
        Program program(home.ProgramFolder(), home.SettingsFile(), home.AutostartFile());
        TForm1 form(program);
        Lifecycle lifecycle(form.Core());
        start(form, lifecycle);
        auto* save = form.GroupBox1->findChild<QPushButton*>(QStringLiteral("BitBtn8"));
        auto* hide = form.GroupBox1->findChild<QPushButton*>(QStringLiteral("BitBtn9"));
        for (QPushButton* button : {hide, save}) {
            form.BitBtn5Click();
            button->click();
            EXPECT_EQ(form.Timer1().Interval(), 60000u) << button->objectName().toStdString();
        }
        // Minimized to the tray with the panel open: the window goes.
        form.BitBtn5Click();
        form.hide();
        form.show();
        EXPECT_EQ(form.Timer1().Interval(), 60000u);
        EXPECT_TRUE(lifecycle.FormClose());
    }
    Program againProgram(home.ProgramFolder(), home.SettingsFile(), home.AutostartFile());
    TForm1 again(againProgram);
    Lifecycle lifecycle(again.Core());
    start(again, lifecycle);

    // The user closing the interval list still sets the timer from it.
    auto* box = again.GroupBox1->findChild<QComboBox*>(QStringLiteral("ComboBox1"));
    again.BitBtn5Click();
    box->showPopup();
    box->hidePopup();
    EXPECT_EQ(again.Timer1().Interval(), 0u);
}

}  // namespace
