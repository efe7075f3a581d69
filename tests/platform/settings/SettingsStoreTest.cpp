#include "platform/settings/SettingsStore.h"

#include "TempDir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QSettings>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

using platform::ESettingsError;
using platform::SettingsStore;

namespace {

// The message of the ESettingsError that f throws, or "" when none.
std::string SettingsErrorOf(const std::function<void()>& f)
{
    try {
        f();
    } catch (const ESettingsError& error) {
        return error.what();
    }
    return "";
}

TEST(SettingsStore, ValuesComeBackWithTheirTypeFromAFreshStore)
{
    TempDir dir;
    const std::string path = dir / "Vantrel/Folderly.conf";
    const std::vector<std::string> texts = {"",       "doc",     "1", "int:5", "str:x", "@at", "a, b; c = \"d\"",
                                            "Фильтр", " padded "};
    const std::vector<std::int32_t> numbers = {0, 1, -1, 180000, INT32_MAX, INT32_MIN};
    {
        SettingsStore store(path);
        ASSERT_TRUE(store.OpenKey(true));
        for (std::size_t i = 0; i < texts.size(); ++i)
            store.WriteString("S" + std::to_string(i), texts[i]);
        for (std::size_t i = 0; i < numbers.size(); ++i)
            store.WriteInteger("N" + std::to_string(i), numbers[i]);
        store.CloseKey();
    }
    SettingsStore store(path);
    ASSERT_TRUE(store.OpenKey(false));
    for (std::size_t i = 0; i < texts.size(); ++i) {
        const std::string name = "S" + std::to_string(i);
        EXPECT_EQ(store.ReadString(name), texts[i]) << name;
        EXPECT_EQ(SettingsErrorOf([&] { store.ReadInteger(name); }), "Invalid data type for '" + name + "'");
    }
    for (std::size_t i = 0; i < numbers.size(); ++i) {
        const std::string name = "N" + std::to_string(i);
        EXPECT_EQ(store.ReadInteger(name), numbers[i]) << name;
        EXPECT_EQ(SettingsErrorOf([&] { store.ReadString(name); }), "Invalid data type for '" + name + "'");
    }
}

TEST(SettingsStore, HandWrittenValuesAndMissingOnes)
{
    TempDir dir;
    const std::string path = dir / "Folderly.conf";
    WriteFile(path,
              "[General]\n"
              "Ext=doc\n"
              "SynchroMode=1\n"
              "Timer=int:x\n"
              "TimerInterval=int:99999999999\n"
              "TrayMode=int:\n"
              "List=a, b\n");
    SettingsStore store(path);
    ASSERT_TRUE(store.OpenKey(false));

    // A text without a type marker is a string.
    EXPECT_EQ(store.ReadString("Ext"), "doc");
    EXPECT_EQ(store.ReadString("SynchroMode"), "1");

    struct Case {
        const char* name;
        const char* integerRead;
        const char* stringRead;
    };
    const Case cases[] = {
        {"SynchroMode", "Invalid data type for 'SynchroMode'", ""},
        {"Timer", "Failed to get data for 'Timer'", "Failed to get data for 'Timer'"},
        {"TimerInterval", "Failed to get data for 'TimerInterval'", "Failed to get data for 'TimerInterval'"},
        {"TrayMode", "Failed to get data for 'TrayMode'", "Failed to get data for 'TrayMode'"},
        {"List", "Failed to get data for 'List'", "Failed to get data for 'List'"},
        {"Missing", "Failed to get data for 'Missing'", "Failed to get data for 'Missing'"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SettingsErrorOf([&] { store.ReadInteger(c.name); }), c.integerRead) << c.name;
        EXPECT_EQ(SettingsErrorOf([&] { store.ReadString(c.name); }), c.stringRead) << c.name;
    }
    EXPECT_TRUE(store.ValueExists("Timer"));
    EXPECT_FALSE(store.ValueExists("Missing"));
    EXPECT_FALSE(store.ValueExists("ext"));  // names keep their case
}

TEST(SettingsStore, OpeningCreatesTheKeyOnlyWhenAsked)
{
    TempDir dir;
    const std::string path = dir / "config/Vantrel/Folderly.conf";
    SettingsStore store(path);

    EXPECT_FALSE(store.OpenKey(false));
    EXPECT_FALSE(store.KeyExists());
    EXPECT_FALSE(std::filesystem::exists(path));
    // A key that is not open: nothing there, nothing stored.
    EXPECT_FALSE(store.ValueExists("Timer"));
    EXPECT_EQ(SettingsErrorOf([&] { store.ReadInteger("Timer"); }), "Failed to get data for 'Timer'");
    EXPECT_EQ(SettingsErrorOf([&] { store.WriteInteger("Timer", 1); }), "Failed to set data for 'Timer'");

    EXPECT_TRUE(store.OpenKey(true));
    EXPECT_TRUE(store.KeyExists());
    EXPECT_TRUE(std::filesystem::is_regular_file(path));
    EXPECT_FALSE(store.ValueExists("Timer"));
    store.CloseKey();
    EXPECT_TRUE(store.KeyExists());
    EXPECT_FALSE(store.ValueExists("Timer"));
}

TEST(SettingsStore, WhyAKeyCouldNotBeRead)
{
    TempDir dir;
    std::filesystem::create_directory(dir / "folder.conf");
    ASSERT_EQ(::mkfifo((dir / "pipe.conf").c_str(), 0600), 0);
    ASSERT_EQ(::symlink("loop.conf", (dir / "loop.conf").c_str()), 0);
    WriteFile(dir / "file", "x");
    WriteFile(dir / "damaged.conf", "[General\nTimer=int:1\n");
    WriteFile(dir / "fine.conf", "[General]\nTimer=int:1\n");
    struct Case {
        std::string path;
        bool open;
        const char* failure;
    };
    const Case cases[] = {
        {dir / "fine.conf", true, ""},
        {dir / "missing.conf", true, ""},  // created empty
        {dir / "damaged.conf", true, platform::kNotASettingsFileText},
        {dir / "folder.conf", false, "Not a file"},
        {dir / "pipe.conf", false, "Not a file"},  // and not waited on
        {dir / "loop.conf", false, "I/O error 40"},
        {dir / "file/Folderly.conf", false, "Invalid filename"},
    };
    for (const Case& c : cases) {
        SettingsStore store(c.path);
        EXPECT_EQ(store.OpenKey(true), c.open) << c.path;
        EXPECT_EQ(store.ReadFailure(), c.failure) << c.path;
    }
    // What a damaged file holds besides is read all the same.
    SettingsStore damaged(dir / "damaged.conf");
    damaged.OpenKey(true);
    EXPECT_EQ(damaged.ReadInteger("Timer"), 1);
    EXPECT_TRUE(std::filesystem::is_fifo(dir / "pipe.conf"));
}

TEST(SettingsStore, WritesThatCannotBeStoredFailWithTheValueName)
{
    TempDir dir;
    WriteFile(dir / "file", "x");
    std::filesystem::create_directories(dir / "folder/Folderly.conf");
    // A folder of the path is a file; the key's own path is a folder.
    for (const std::string& path :
         std::vector<std::string>{dir / "file/Vantrel/Folderly.conf", dir / "folder/Folderly.conf"}) {
        SettingsStore store(path);
        EXPECT_FALSE(store.OpenKey(true)) << path;
        EXPECT_FALSE(store.KeyExists()) << path;
        EXPECT_EQ(SettingsErrorOf([&] { store.WriteString("version", "1.3"); }), "Failed to set data for 'version'");
    }
}

TEST(SettingsStore, AFailedWriteLeavesTheFileAndTheNextWriteTriesAgain)
{
    TempDir dir;
    const std::string folder = dir / "Vantrel";
    const std::string path = folder + "/Folderly.conf";
    SettingsStore store(path);
    ASSERT_TRUE(store.OpenKey(true));
    store.WriteInteger("SynchroMode", 1);

    // The folder goes away and a file takes its name: nothing can be stored.
    std::filesystem::remove_all(folder);
    WriteFile(folder, "in the way");
    EXPECT_EQ(SettingsErrorOf([&] { store.WriteInteger("FileType", 1); }), "Failed to set data for 'FileType'");

    std::filesystem::remove(folder);
    std::filesystem::create_directory(folder);
    store.WriteInteger("Timer", 1);
    store.CloseKey();

    SettingsStore reread(path);
    ASSERT_TRUE(reread.OpenKey(false));
    EXPECT_EQ(reread.ReadInteger("Timer"), 1);
}

TEST(SettingsStore, DeleteValue)
{
    TempDir dir;
    const std::string path = dir / "Folderly.conf";
    SettingsStore store(path);
    ASSERT_TRUE(store.OpenKey(true));
    store.WriteInteger("Autostart", 1);
    store.WriteString("Ext", "doc");
    EXPECT_TRUE(store.DeleteValue("Autostart"));
    EXPECT_FALSE(store.DeleteValue("Autostart"));
    EXPECT_FALSE(store.ValueExists("Autostart"));
    store.CloseKey();

    SettingsStore reread(path);
    ASSERT_TRUE(reread.OpenKey(false));
    EXPECT_FALSE(reread.ValueExists("Autostart"));
    EXPECT_EQ(reread.ReadString("Ext"), "doc");
}

TEST(SettingsStore, DefaultFileIsTheOneOfVantrelFolderly)
{
    TempDir dir;
    ::setenv("XDG_CONFIG_HOME", dir.Path().c_str(), 1);
    EXPECT_EQ(SettingsStore::DefaultFilePath(), dir / "Vantrel/Folderly.conf");
    EXPECT_EQ(QSettings(QStringLiteral("Vantrel"), QStringLiteral("Folderly")).fileName().toStdString(),
              SettingsStore::DefaultFilePath());
    EXPECT_EQ(SettingsStore().FilePath(), dir / "Vantrel/Folderly.conf");
}

}  // namespace
