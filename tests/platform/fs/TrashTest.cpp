// Keeping replaced files in the desktop's Trash, on the home file system:
// what file managers need to list and restore them, names that never
// overwrite another kept file, and nothing kept where nothing is replaced.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <ctime>
#include <filesystem>

#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>

#include "PlatformTestUtil.h"
#include "TempDir.h"
#include "platform/fs/CopyFile.h"
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
    // Mounts b a second time at bound, a drive of its own; why not, if not.
    std::string BindMountB()
    {
        if (::geteuid() != 0)
            return "mounting needs root";
        ::mkdir((tmp / "bound").c_str(), 0755);
        if (::mount((tmp / "b").c_str(), (tmp / "bound").c_str(), nullptr, MS_BIND, nullptr) != 0)
            return std::string("no bind mount here: ") + std::strerror(errno);
        return {};
    }

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

namespace {

// What is kept: any file whose content the copy does not hold byte for byte
// (two edits saved within the two seconds packed times tell apart count as
// equal times, which files mode copies), under a name that fits beside its
// number and ".trashinfo" even where the name is no UTF-8.
TEST_F(KeepingReplacedFiles, AFileIsKeptUnlessItHeldTheNewContent)
{
    struct Case {
        const char* what;
        std::string name;
        std::string oldContent;
        long oldNanoseconds;
        std::string newContent;
        bool kept;
    };
    const Case cases[] = {
        {"another edit, saved 1.8 s later", "edit.txt", "edit A", 100'000'000, "edit B", true},
        {"the same content", "same.txt", "unchanged", 0, "unchanged", false},
        {"a long name that is no UTF-8", std::string(250, '\xA0'), "old", 0, "new", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove_all(Trash(""));
        WriteFile(tmp / ("b/" + c.name), c.oldContent);
        SetMTime(tmp / ("b/" + c.name), 1700000000, c.oldNanoseconds);
        WriteFile(tmp / ("a/" + c.name), c.newContent);
        SetMTime(tmp / ("a/" + c.name), 1700000001, 900'000'000);
        ASSERT_EQ(Copy(c.name), 0);
        EXPECT_EQ(ReadFile(tmp / ("b/" + c.name)), c.newContent);
        const std::set<std::string> kept = platform::DirectoryExists(Trash("files")) ? ListFolder(Trash("files"))
                                                                                     : std::set<std::string>{};
        ASSERT_EQ(kept.size(), c.kept ? 1u : 0u);
        if (c.kept) {
            EXPECT_EQ(ReadFile(Trash("files/" + *kept.begin())), c.oldContent);
            EXPECT_EQ(ListFolder(Trash("info")), std::set<std::string>{*kept.begin() + ".trashinfo"});
        }
    }
}

// A run killed between reserving a place in the Trash and keeping the file
// there leaves .trashinfo files without their file: the next run that keeps
// a file there removes them, but not one a run still holds, nor one a file
// manager made a moment ago (it moves its file in right after).
TEST_F(KeepingReplacedFiles, WhatKilledRunsLeftGoesAtTheNextKeep)
{
    for (int i = 0; i < 3; ++i) {
        WriteFile(tmp / ("b/f" + std::to_string(i)), "old");
        SetMTime(tmp / ("b/f" + std::to_string(i)), 1600000000);
        WriteFile(tmp / ("a/f" + std::to_string(i)), "new");
        SetMTime(tmp / ("a/f" + std::to_string(i)), 1700000000);
    }
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        platform::FileSystemTestHooks hooks;
        hooks.beforeFlush = [] { return ::raise(SIGKILL); };
        ScopedTestHooks use(hooks);
        platform::KnownFolders known;
        known.SetKeepReplaced(true);
        for (int i = 0; i < 3; ++i)
            known.CopyFile(tmp / ("a/f" + std::to_string(i)), tmp / ("b/f" + std::to_string(i)), false,
                           platform::NameMatch::CaseBlind, std::nullopt,
                           [](int, const platform::KnownFolders::CopiedStates&) {});
        known.Settle();
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));
    const std::set<std::string> orphans{"f0.trashinfo", "f1.trashinfo", "f2.trashinfo"};
    ASSERT_EQ(ListFolder(Trash("info")), orphans);
    for (const std::string& orphan : orphans)
        SetMTime(Trash("info/" + orphan), ::time(nullptr) - 60);  // the next run comes a minute later
    WriteFile(Trash("info/fresh.trashinfo"), "[Trash Info]\n");
    WriteFile(Trash("info/held.trashinfo"), "[Trash Info]\n");
    SetMTime(Trash("info/held.trashinfo"), ::time(nullptr) - 60);
    const int held = ::open(Trash("info/held.trashinfo").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);

    ASSERT_EQ(Copy("f1"), 0);
    ::close(held);
    EXPECT_EQ(ReadFile(tmp / "b/f1"), "new");
    EXPECT_EQ(ListFolder(Trash("info")), (std::set<std::string>{"f1.trashinfo", "fresh.trashinfo", "held.trashinfo"}));
    EXPECT_EQ(ListFolder(Trash("files")), std::set<std::string>{"f1"});
}

// A folder mounted a second time (a bind mount of the home's file system)
// is a drive of its own: no link nor rename reaches the home Trash from it,
// so its replaced files are kept at its own top.
TEST_F(KeepingReplacedFiles, ABindMountKeepsItsFilesAtItsOwnTop)
{
    if (const std::string why = BindMountB(); !why.empty())
        GTEST_SKIP() << why;
    WriteFile(tmp / "a/x", "new");
    SetMTime(tmp / "a/x", 1700000000);
    WriteFile(tmp / "b/x", "old");
    SetMTime(tmp / "b/x", 1600000000);
    int error = 0;
    {
        // Its folders are let go before the drive is unmounted.
        platform::KnownFolders known;
        known.SetKeepReplaced(true);
        error = known.CopyFile(tmp / "a/x", tmp / "bound/x", false);
    }
    EXPECT_EQ(::umount((tmp / "bound").c_str()), 0) << std::strerror(errno);
    EXPECT_EQ(error, 0);
    EXPECT_EQ(ReadFile(tmp / "b/x"), "new");
    EXPECT_EQ(ReadFile(tmp / "b/.Trash-0/files/x"), "old");
    EXPECT_NE(ReadWhole(tmp / "b/.Trash-0/info/x.trashinfo").find("\nPath=x\n"), std::string::npos);
}

// A drive whose own Trash cannot be made (a network share's top, here a
// file where .Trash-0 would go) keeps its replaced files in the home Trash,
// by a copy, said by the copy; only where the home Trash fails too is
// nothing replaced.
TEST_F(KeepingReplacedFiles, ADriveWithoutATrashOfItsOwnKeepsCopiesAtHome)
{
    if (const std::string why = BindMountB(); !why.empty())
        GTEST_SKIP() << why;
    WriteFile(tmp / "b/.Trash-0", "no Trash can be made here");
    for (const bool homeTrash : {true, false}) {
        SCOPED_TRACE(homeTrash ? "with a home Trash" : "without one");
        if (!homeTrash) {
            std::filesystem::remove_all(tmp / "data");
            WriteFile(tmp / "data", "a file where the home's data folder should be");
        }
        WriteFile(tmp / "a/x", homeTrash ? "new" : "newer");
        SetMTime(tmp / "a/x", 1700000000 + (homeTrash ? 0 : 10));
        WriteFile(tmp / "b/x", "old");
        SetMTime(tmp / "b/x", 1600000000);
        int error = -1;
        bool copied = false;
        {
            platform::KnownFolders known;
            known.SetKeepReplaced(true);
            known.CopyFile(tmp / "a/x", tmp / "bound/x", false, platform::NameMatch::CaseBlind, std::nullopt,
                           [&](int e, const platform::KnownFolders::CopiedStates& states) {
                               error = e;
                               copied = states.replacedCopiedToTrash;
                           });
            known.Settle();
        }
        if (homeTrash) {
            EXPECT_EQ(error, 0);
            EXPECT_TRUE(copied);
            EXPECT_EQ(ReadFile(tmp / "b/x"), "new");
            EXPECT_EQ(ReadFile(Trash("files/x")), "old");
            EXPECT_EQ(MTimeSeconds(Trash("files/x")), 1600000000);
            EXPECT_NE(ReadWhole(Trash("info/x.trashinfo")).find("\nPath=" + (tmp / "bound/x") + "\n"),
                      std::string::npos);
        } else {
            EXPECT_EQ(error, platform::CopyCannotKeepReplaced(ENOTDIR));
            EXPECT_EQ(ReadFile(tmp / "b/x"), "old");
        }
    }
    EXPECT_EQ(::umount((tmp / "bound").c_str()), 0) << std::strerror(errno);
}

}  // namespace
