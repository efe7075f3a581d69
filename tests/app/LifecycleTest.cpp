#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QListWidget>

#include "TempDir.h"
#include "app/Lifecycle.h"
#include "lists/FolderList.h"
#include "options/LegacyOptionImport.h"
#include "platform/FileSystem.h"
#include "platform/SettingsStore.h"
#include "ui/MessageBoxes.h"
#include "ui/OptionsPanel.h"
#include "ui/Unit1.h"

namespace {

// A home of its own: program folder, settings file and autostart entry.
class Home {
public:
    std::string ProgramFolder() const { return dir.Path() + "/share/Folderly/"; }
    std::string SettingsFile() const { return dir.Path() + "/config/Vantrel/Folderly.conf"; }
    std::string AutostartFile() const { return dir.Path() + "/config/autostart/Folderly.desktop"; }
    TempDir dir;
};

class Errors {
public:
    Errors()
    {
        MessageBoxes::SetResponder([this](MessageBoxes::Kind kind, const QString& text) {
            if (kind == MessageBoxes::Kind::Error)
                shown.push_back(text.toStdString());
            return MessageBoxes::Answer::Ok;
        });
    }
    ~Errors() { MessageBoxes::SetResponder(nullptr); }
    std::vector<std::string> shown;
};

std::vector<std::string> ReportLines(TForm1& form)
{
    return form.Report().Lines();
}

TEST(Lifecycle, FirstStartCreatesTheProgramFolderAndShowsTheVersion)
{
    Home home;
    TForm1 form(home.ProgramFolder(), home.SettingsFile(), home.AutostartFile());
    Lifecycle::FormCreate(form);
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
    WriteFile(home.ProgramFolder() + "options.txt",
              "Folderly  1.2\r\n1\r\n1\r\n0\r\n\r\n0\r\n0\r\n0\r\n0\r\n1\r\n");
    TForm1 form(home.ProgramFolder(), home.SettingsFile(), home.AutostartFile());
    Lifecycle::FormCreate(form);
    EXPECT_EQ(ReportLines(form), (std::vector<std::string>{kLegacyFoundLine, kLegacyDeletedLine, "v1.3"}));
    EXPECT_FALSE(platform::FileExists(home.ProgramFolder() + "options.txt"));
    // The imported values were loaded like stored ones.
    EXPECT_EQ(form.GroupBox1->SynchroModeIndex(), 1);
    EXPECT_EQ(form.State().SearchAttr, 63);
    EXPECT_TRUE(form.StartMinimized());
}

TEST(Lifecycle, AFailedStepEndsCreationButLeavesWhatWasDone)
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
    WriteFile(home.ProgramFolder() + "List1.txt", "/data\r\n");
    TForm1 form(home.ProgramFolder(), home.SettingsFile(), home.AutostartFile());
    EXPECT_THROW(Lifecycle::FormCreate(form), std::exception);
    EXPECT_EQ(form.List1().Count(), 1);
    EXPECT_EQ(ReportLines(form), std::vector<std::string>{"v1.3"});
    EXPECT_EQ(form.State().SilentFlag, 1);  // the load stopped before it
}

TEST(Lifecycle, CloseWritesListsThenOptionsAndStoresUnsavedChanges)
{
    Home home;
    {
        TForm1 form(home.ProgramFolder(), home.SettingsFile(), home.AutostartFile());
        Lifecycle::FormCreate(form);
        form.List1().Add("/data");
        form.List1().Add("/Music");
        form.GroupBox1->SetSynchroModeIndex(1);  // changed, neither saved nor applied
        EXPECT_TRUE(Lifecycle::FormClose(form));
    }
    EXPECT_EQ(ReadFile(home.ProgramFolder() + "List1.txt"), "/Music\r\n/data\r\n");
    EXPECT_EQ(ReadFile(home.ProgramFolder() + "List2.txt"), "");
    TForm1 again(home.ProgramFolder(), home.SettingsFile(), home.AutostartFile());
    Lifecycle::FormCreate(again);
    EXPECT_EQ(again.List1().Count(), 2);
    EXPECT_EQ(again.GroupBox1->SynchroModeIndex(), 1);
}

TEST(Lifecycle, ACloseThatCannotWriteTheListsKeepsTheProgramRunning)
{
    Home home;
    Errors errors;
    TForm1 form(home.ProgramFolder(), home.SettingsFile(), home.AutostartFile());
    Lifecycle::FormCreate(form);
    form.List1().Add("/new entry");
    WriteFile(home.ProgramFolder() + "List1.txt", "/old\r\n");
    MakeReadOnly(home.ProgramFolder() + "List1.txt");

    EXPECT_FALSE(Lifecycle::FormClose(form));

    EXPECT_EQ(errors.shown, std::vector<std::string>{"File access denied."});
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
    Lifecycle::FormCreate(form);
    form.List2().Add("/backup");
    Lifecycle::SaveForSessionEnd(form);
    EXPECT_EQ(ReadFile(home.ProgramFolder() + "List2.txt"), "/backup\r\n");
    platform::SettingsStore store(home.SettingsFile());
    store.OpenKey(true);
    EXPECT_EQ(store.ReadString("version"), "1.3");
}

}  // namespace
