#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "PlatformTestUtil.h"
#include "TempDir.h"
#include "platform/fs/FileError.h"
#include "platform/fs/TextFile.h"

namespace {

using Lines = std::vector<std::string>;
using Names = std::set<std::string>;

TEST(TextFileTest, ReadsLinesEndedByLfCrLfOrALoneCr)
{
    struct Case {
        std::string bytes;
        Lines lines;
    };
    const Case cases[] = {
        {"", {}},
        {"a", {"a"}},
        {"a\n", {"a"}},
        {"a\r\n", {"a"}},
        {"a\r\nb", {"a", "b"}},
        {"a\nb\r\nc\n", {"a", "b", "c"}},
        {"\n", {""}},
        {"\r\n\r\n", {"", ""}},
        {"a\n\nb\n", {"a", "", "b"}},
        // A lone CR ends a line too, as the editors of old Macs wrote them.
        {"a\rb\n", {"a", "b"}},
        {"/a\r/b\r/c", {"/a", "/b", "/c"}},
        {"/a\r/b\r", {"/a", "/b"}},
        {"a\r\r\n", {"a", ""}},
        {"a\r\rb", {"a", "", "b"}},
        {"\r", {""}},
        {"x\r", {"x"}},
        {"/home/ä/Döcs\r\n/данные\r\n", {"/home/ä/Döcs", "/данные"}},
    };
    TempDir dir;
    for (const Case& c : cases) {
        WriteFile(dir / "list.txt", c.bytes);
        EXPECT_EQ(platform::ReadTextLines(dir / "list.txt"), c.lines) << '"' << c.bytes << '"';
    }
}

TEST(TextFileTest, WritesCrLfAfterEveryLine)
{
    struct Case {
        Lines lines;
        std::string bytes;
    };
    const Case cases[] = {
        {{}, ""},
        {{""}, "\r\n"},
        {{"a", "b"}, "a\r\nb\r\n"},
        {{"a", ""}, "a\r\n\r\n"},
        {{"", "", "x"}, "\r\n\r\nx\r\n"},
        {{"/data/Ünïcode"}, "/data/Ünïcode\r\n"},
    };
    TempDir dir;
    WriteFile(dir / "list.txt", "previous content that is longer than the rest");
    for (const Case& c : cases) {
        platform::WriteTextLines(dir / "list.txt", c.lines);
        EXPECT_EQ(ReadFile(dir / "list.txt"), c.bytes);
        EXPECT_EQ(platform::ReadTextLines(dir / "list.txt"), c.lines);
    }
    EXPECT_EQ(ListFolder(dir.Path()), Names{"list.txt"});
}

TEST(TextFileTest, ReplacingKeepsModeAndLink)
{
    TempDir dir;
    WriteFile(dir / "real.txt", "old\r\n");
    ASSERT_EQ(chmod((dir / "real.txt").c_str(), 0640), 0);
    ASSERT_EQ(symlink("real.txt", (dir / "List1.txt").c_str()), 0);
    platform::WriteTextLines(dir / "List1.txt", {"new"});
    EXPECT_EQ(ReadFile(dir / "real.txt"), "new\r\n");
    struct stat st {};
    ASSERT_EQ(lstat((dir / "List1.txt").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    ASSERT_EQ(stat((dir / "real.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(ListFolder(dir.Path()), (Names{"real.txt", "List1.txt"}));
}

TEST(TextFileTest, FailedWriteLeavesOldFileWhole)
{
    TempDir dir;
    WriteFile(dir / "List2.txt", "old one\r\nold two\r\n");
    platform::FileSystemTestHooks hooks;
    hooks.pieceSize = 8;
    hooks.beforeWrite = [](std::uint64_t done) { return done >= 8 ? ENOSPC : 0; };
    {
        ScopedTestHooks scoped(hooks);
        try {
            platform::WriteTextLines(dir / "List2.txt", {"a new line that does not fit", "another"});
            FAIL() << "no exception";
        } catch (const platform::EInOutError& error) {
            EXPECT_EQ(error.ErrorCode(), 101);
            EXPECT_STREQ(error.what(), "Disk full");
        }
    }
    EXPECT_EQ(ReadFile(dir / "List2.txt"), "old one\r\nold two\r\n");
    EXPECT_EQ(ListFolder(dir.Path()), Names{"List2.txt"});
}

TEST(TextFileTest, ReadOnlyFileIsNotReplaced)
{
    TempDir dir;
    WriteFile(dir / "List1.txt", "kept\r\n");
    MakeReadOnly(dir / "List1.txt");
    try {
        platform::WriteTextLines(dir / "List1.txt", {"new"});
        FAIL() << "no exception";
    } catch (const platform::EInOutError& error) {
        EXPECT_EQ(error.ErrorCode(), 5);
        EXPECT_STREQ(error.what(), "File access denied");
    }
    EXPECT_EQ(ReadFile(dir / "List1.txt"), "kept\r\n");
    EXPECT_EQ(ListFolder(dir.Path()), Names{"List1.txt"});
}

TEST(TextFileTest, ErrorsNameTheRuntimeText)
{
    TempDir dir;
    WriteFile(dir / "file", "x");
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    ASSERT_EQ(::mkdir((dir / "folder").c_str(), 0700), 0);
    struct Case {
        std::string path;
        bool write;
        int code;
    };
    const Case cases[] = {
        {dir / "missing.txt", false, 2},
        {dir / "nowhere/missing.txt", false, 3},
        {dir / "file/below.txt", false, 3},
        {dir / "nowhere/new.txt", true, 3},
        // Something that is no file: read at once, never waited on.
        {dir / "fifo", false, platform::kNotAFileCode},
        {dir / "folder", false, platform::kNotAFileCode},
        {"/dev/null", false, platform::kNotAFileCode},
        {dir / "file/new.txt", true, 3},
    };
    for (const Case& c : cases) {
        try {
            if (c.write)
                platform::WriteTextLines(c.path, {"x"});
            else
                platform::ReadTextLines(c.path);
            ADD_FAILURE() << "no exception for " << c.path;
        } catch (const platform::EInOutError& error) {
            EXPECT_EQ(error.ErrorCode(), c.code) << c.path;
        }
    }
}

}  // namespace
