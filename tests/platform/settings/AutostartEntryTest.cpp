#include "platform/settings/AutostartEntry.h"
#include "platform/settings/SettingsStore.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

using platform::AutostartEntry;

namespace {

std::string ExecLine(const std::string& entryText)
{
    const auto at = entryText.find("\nExec=");
    if (at == std::string::npos)
        return "";
    const auto end = entryText.find('\n', at + 1);
    return entryText.substr(at + 1, end - at - 1);
}

TEST(AutostartEntry, WriteExistsDelete)
{
    TempDir dir;
    const std::string path = dir / "config/autostart/Folderly.desktop";
    const AutostartEntry entry(path, "/usr/local/bin/folderly");

    EXPECT_FALSE(entry.Exists());
    EXPECT_FALSE(entry.Delete());
    entry.Write();  // the autostart folder is created
    EXPECT_TRUE(entry.Exists());
    const std::string text = ReadFile(path);
    EXPECT_EQ(text.rfind("[Desktop Entry]\n", 0), 0u) << text;
    EXPECT_NE(text.find("\nType=Application\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\nName=Folderly\n"), std::string::npos) << text;
    // The session's list of programs started at log-on shows the program's icon.
    EXPECT_NE(text.find("\nIcon=folderly\n"), std::string::npos) << text;
    EXPECT_EQ(ExecLine(text), "Exec=/usr/local/bin/folderly");

    entry.Write();  // again at every save
    EXPECT_EQ(ReadFile(path), text);
    EXPECT_TRUE(entry.Delete());
    EXPECT_FALSE(entry.Exists());
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST(AutostartEntry, ExecQuotesWhatTheFormatReserves)
{
    struct Case {
        const char* program;
        const char* exec;
    };
    const Case cases[] = {
        {"/usr/bin/folderly", "Exec=/usr/bin/folderly"},
        {"/opt/my apps/folderly", R"(Exec="/opt/my apps/folderly")"},
        {"/opt/$HOME/folderly", R"(Exec="/opt/\\$HOME/folderly")"},
        {"/opt/100%/folderly", "Exec=/opt/100%%/folderly"},
        {"/opt/a\"b/folderly", R"(Exec="/opt/a\\"b/folderly")"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ExecLine(AutostartEntry::DesktopEntryText(c.program)), c.exec) << c.program;
}

TEST(AutostartEntry, AnEntryThatCannotBeWrittenFailsWithItsName)
{
    TempDir dir;
    WriteFile(dir / "file", "x");
    const AutostartEntry entry(dir / "file/autostart/Folderly.desktop", "/usr/bin/folderly");
    try {
        entry.Write();
        FAIL() << "no error";
    } catch (const platform::ESettingsError& error) {
        EXPECT_STREQ(error.what(), "Failed to set data for 'Folderly'");
    }
    EXPECT_FALSE(entry.Exists());
}

TEST(AutostartEntry, DefaultsAreTheXdgAutostartFileAndTheInstalledProgram)
{
    TempDir dir;
    ::setenv("XDG_CONFIG_HOME", dir.Path().c_str(), 1);
    EXPECT_EQ(AutostartEntry::DefaultFilePath(), dir / "autostart/Folderly.desktop");
    EXPECT_EQ(AutostartEntry::InstalledProgramPath(), std::string(FOLDERLY_INSTALL_BINDIR) + "/folderly");

    const AutostartEntry entry;
    entry.Write();
    EXPECT_NE(ReadFile(dir / "autostart/Folderly.desktop").find(AutostartEntry::InstalledProgramPath()),
              std::string::npos);
}

}  // namespace
