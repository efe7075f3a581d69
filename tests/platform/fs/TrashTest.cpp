// Keeping replaced files in the desktop's Trash, on the home file system:
// what file managers need to list and restore them, names that never
// overwrite another kept file, and nothing kept where nothing is replaced.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>

#include "PlatformTestUtil.h"
#include "TempDir.h"
#include "platform/fs/FileSystem.h"
#include "platform/fs/KnownFolders.h"
#include "platform/fs/Trash.h"

namespace {

std::string ReadWhole(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

class KeepingReplacedFiles : public ::testing::Test {
protected:
    KeepingReplacedFiles()
    {
        ::setenv("XDG_DATA_HOME", (tmp / "data").c_str(), 1);
        ::mkdir((tmp / "a").c_str(), 0755);
        ::mkdir((tmp / "b").c_str(), 0755);
    }
    ~KeepingReplacedFiles() override { ::unsetenv("XDG_DATA_HOME"); }

    int Copy(const std::string& name, bool failIfExists = false)
    {
        platform::KnownFolders known;
        known.SetKeepReplaced(true);
        return known.CopyFile(tmp / ("a/" + name), tmp / ("b/" + name), failIfExists);
    }
    std::string Trash(const std::string& part) const { return tmp / ("data/Trash/" + part); }

    TempDir tmp;
};

TEST_F(KeepingReplacedFiles, EachReplacedFileIsKeptWithWhatRestoresIt)
{
    const std::string name = "my notes 100%.txt";
    for (const char* version : {"first", "second", "third"}) {
        WriteFile(tmp / ("b/" + name), version);
        SetMTime(tmp / ("b/" + name), 1600000000);
        WriteFile(tmp / ("a/" + name), std::string(version) + ", edited");
        SetMTime(tmp / ("a/" + name), 1700000000);
        ASSERT_EQ(Copy(name), 0) << version;
    }
    EXPECT_EQ(ReadFile(tmp / ("b/" + name)), "third, edited");
    // Three versions replaced, three kept: none over another.
    const std::string kept[] = {name, name + ".2", name + ".3"};
    const char* contents[] = {"first", "second", "third"};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(kept[i]);
        EXPECT_EQ(ReadFile(Trash("files/" + kept[i])), contents[i]);
        EXPECT_EQ(MTimeSeconds(Trash("files/" + kept[i])), 1600000000);
        const std::string info = ReadWhole(Trash("info/" + kept[i] + ".trashinfo"));
        EXPECT_TRUE(std::regex_match(info,
                                     std::regex("\\[Trash Info\\]\nPath=(.*)\nDeletionDate="
                                                "[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}\n")))
            << info;
        EXPECT_NE(info.find("Path=" + platform::detail::PercentEncoded(tmp / ("b/" + name)) + "\n"), std::string::npos);
    }
    EXPECT_NE(platform::detail::PercentEncoded(tmp / ("b/" + name)).find("my%20notes%20100%25.txt"), std::string::npos);
}

TEST_F(KeepingReplacedFiles, NothingIsKeptWhereNothingIsReplaced)
{
    WriteFile(tmp / "a/new.txt", "new");
    WriteFile(tmp / "a/ro.txt", "later");
    SetMTime(tmp / "a/ro.txt", 1700000000);
    WriteFile(tmp / "b/ro.txt", "read-only");
    MakeReadOnly(tmp / "b/ro.txt");
    EXPECT_EQ(Copy("new.txt", true), 0);
    EXPECT_EQ(Copy("ro.txt"), EACCES);
    EXPECT_EQ(ListFolder(tmp / "b"), (std::set<std::string>{"new.txt", "ro.txt"}));
    EXPECT_FALSE(platform::DirectoryExists(Trash("")));  // not even made
}

TEST_F(KeepingReplacedFiles, WithoutATrashToKeepItInNothingIsReplaced)
{
    ::mkdir((tmp / "data").c_str(), 0755);
    WriteFile(tmp / "data/Trash", "a file where the Trash should be");
    WriteFile(tmp / "a/x", "new");
    SetMTime(tmp / "a/x", 1700000000);
    WriteFile(tmp / "b/x", "old");
    SetMTime(tmp / "b/x", 1600000000);
    for (const bool named : {false, true}) {
        platform::FileSystemTestHooks hooks;
        hooks.noUnnamedTemp = named;
        ScopedTestHooks use(hooks);
        EXPECT_EQ(Copy("x"), platform::CopyCannotKeepReplaced(ENOTDIR));
        EXPECT_EQ(ReadFile(tmp / "b/x"), "old");
        EXPECT_EQ(ListFolder(tmp / "b"), std::set<std::string>{"x"});
    }
}

}  // namespace
