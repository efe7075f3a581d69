#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

#include <QComboBox>
#include <QListWidget>
#include <QPushButton>

#include "ExpectedBoxes.h"
#include "TempDir.h"
#include "app/Lifecycle.h"
#include "lists/FolderList.h"
#include "options/LegacyOptionImport.h"
#include "platform/fs/FileSystem.h"
#include "platform/settings/SettingsStore.h"
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
    return form.Report().Lines();
}

TEST(Lifecycle, FirstStartCreatesTheProgramFolderAndShowsTheVersion)
{
    Home home;
    TForm1 form(home.ProgramFolder(), home.SettingsFile(), home.AutostartFile());
    Lifecycle(form).FormCreate();
    EXPECT_TRUE(platform::DirectoryExists(home.ProgramFolder()));
    EXPECT_EQ(platform::GetCurrentDir() + "/", home.ProgramFolder());
    EXPECT_EQ(ReportLines(form), std::vector<std::string>{"v1.3"});
    EXPECT_EQ(form.ListBox3->count(), 1);
    EXPECT_EQ(form.List1().Count(), 0);
    EXPECT_EQ(form.State().SearchAttr, 32);
    EXPECT_EQ(form.State().SilentFlag, 1);
    EXPECT_FALSE(form.StartMinimized());
}

TEST(Lifecycle, LegacyOptionFileLinesComeBeforeTheVersion)
{
    Home home;
    platform::ForceDirectories(home.ProgramFolder());
    WriteFile(home.ProgramFolder() + "options.txt", "Folderly  1.2\r\n1\r\n1\r\n0\r\n\r\n0\r\n0\r\n0\r\n0\r\n1\r\n");
    TForm1 form(home.ProgramFolder(), home.SettingsFile(), home.AutostartFile());
    Lifecycle(form).FormCreate();
    EXPECT_EQ(ReportLines(form), (std::vector<std::string>{kLegacyFoundLine, kLegacyDeletedLine, "v1.3"}));
    EXPECT_FALSE(platform::FileExists(home.ProgramFolder() + "options.txt"));
    // The imported values were loaded like stored ones.
    EXPECT_EQ(form.GroupBox1->SynchroModeIndex(), 1);
    EXPECT_EQ(form.State().SearchAttr, 63);
    EXPECT_TRUE(form.StartMinimized());
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
    TForm1 form(home.ProgramFolder(), home.SettingsFile(), home.AutostartFile());
    Lifecycle(form).FormCreate();
    EXPECT_EQ(
        errors.Shown(),
        (std::vector<std::string>{"Could not load " + home.ProgramFolder() + "List1.txt: I/O error 40.",
                                  "Could not load " + home.SettingsFile() + ": Invalid data type for 'SynchroMode'."}));
    EXPECT_EQ(form.List2().Count(), 1);
    EXPECT_EQ(ReportLines(form), std::vector<std::string>{"v1.3"});
    EXPECT_EQ(form.State().SilentFlag, 0);
}

TEST(Lifecycle, TheCloseLeavesAListFileTheStartCouldNotReadUntilTheListGetsEntries)
{
    Home home;
    platform::ForceDirectories(home.ProgramFolder());
    const std::string list1 = home.ProgramFolder() + "List1.txt";
    const std::function<void()> makeUnreadable[] = {
        [&] { ASSERT_EQ(::symlink("List1.txt", list1.c_str()), 0); },
        [&] { ASSERT_EQ(::mkfifo(list1.c_str(), 0600), 0); },
        [&] { ASSERT_EQ(::mkdir(list1.c_str(), 0700), 0); },
    };
    for (const auto& unreadable : makeUnreadable) {
        std::filesystem::remove(list1);
        std::filesystem::remove(home.ProgramFolder() + "List2.txt");
        unreadable();
        const auto type = std::filesystem::symlink_status(list1).type();
        Errors errors;
        TForm1 form(home.ProgramFolder(), home.SettingsFile(), home.AutostartFile());
        Lifecycle lifecycle(form);
        lifecycle.FormCreate();
        ASSERT_EQ(errors.Shown().size(), 1u);
        form.List2().Add("/b");
        EXPECT_TRUE(lifecycle.FormClose());
        EXPECT_EQ(std::filesystem::symlink_status(list1).type(), type);
        EXPECT_EQ(ReadFile(home.ProgramFolder() + "List2.txt"), "/b\r\n");

        // Entries the user gave the list are what the close must keep.
        form.List1().Add("/a");
        const bool saved = lifecycle.FormClose();
        if (type == std::filesystem::file_type::directory) {
            EXPECT_FALSE(saved);
            EXPECT_EQ(errors.Shown().back(), "Could not save " + list1 + ": File access denied.");
        } else {
            EXPECT_TRUE(saved);
            EXPECT_EQ(ReadFile(list1), "/a\r\n");
        }
    }
}

TEST(Lifecycle, CloseWritesListsThenOptionsAndStoresUnsavedChanges)
{
    Home home;
    {
        TForm1 form(home.ProgramFolder(), home.SettingsFile(), home.AutostartFile());
        Lifecycle(form).FormCreate();
        form.List1().Add("/data");
        form.List1().Add("/Music");
        form.GroupBox1->SetSynchroModeIndex(1);  // changed, neither saved nor applied
        EXPECT_TRUE(Lifecycle(form).FormClose());
    }
    EXPECT_EQ(ReadFile(home.ProgramFolder() + "List1.txt"), "/Music\r\n/data\r\n");
    EXPECT_EQ(ReadFile(home.ProgramFolder() + "List2.txt"), "");
    TForm1 again(home.ProgramFolder(), home.SettingsFile(), home.AutostartFile());
    Lifecycle(again).FormCreate();
    EXPECT_EQ(again.List1().Count(), 2);
    EXPECT_EQ(again.GroupBox1->SynchroModeIndex(), 1);
}

TEST(Lifecycle, ACloseThatCannotWriteTheListsKeepsTheProgramRunning)
{
    Home home;
    Errors errors;
    TForm1 form(home.ProgramFolder(), home.SettingsFile(), home.AutostartFile());
    Lifecycle lifecycle(form);
    lifecycle.FormCreate();
    form.List1().Add("/new entry");
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
    TForm1 form(home.ProgramFolder(), home.SettingsFile(), home.AutostartFile());
    Lifecycle lifecycle(form);
    lifecycle.FormCreate();
    form.List2().Add("/backup");
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
        EXPECT_EQ(form.Timer1.Interval(), 60000u);
        EXPECT_TRUE(form.Timer1.Running());
    };
    {
        TForm1 form(home.ProgramFolder(), home.SettingsFile(), home.AutostartFile());
        Lifecycle lifecycle(form);
        start(form, lifecycle);
        auto* save = form.GroupBox1->findChild<QPushButton*>(QStringLiteral("BitBtn8"));
        auto* hide = form.GroupBox1->findChild<QPushButton*>(QStringLiteral("BitBtn9"));
        for (QPushButton* button : {hide, save}) {
            form.BitBtn5Click();
            button->click();
            EXPECT_EQ(form.Timer1.Interval(), 60000u) << button->objectName().toStdString();
        }
        // Minimized to the tray with the panel open: the window goes.
        form.BitBtn5Click();
        form.hide();
        form.show();
        EXPECT_EQ(form.Timer1.Interval(), 60000u);
        EXPECT_TRUE(lifecycle.FormClose());
    }
    TForm1 again(home.ProgramFolder(), home.SettingsFile(), home.AutostartFile());
    Lifecycle lifecycle(again);
    start(again, lifecycle);

    // The user closing the interval list still sets the timer from it.
    auto* box = again.GroupBox1->findChild<QComboBox*>(QStringLiteral("ComboBox1"));
    again.BitBtn5Click();
    box->showPopup();
    box->hidePopup();
    EXPECT_EQ(again.Timer1.Interval(), 0u);
}

}  // namespace
