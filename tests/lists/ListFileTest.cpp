#include "lists/ListFile.h"
#include "ListTestUtil.h"
#include "lists/FolderList.h"
#include "platform/fs/FileError.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

}  // namespace

TEST(ListFileTest, ReadsEveryLineIntoItsSortedPlace)
{
    struct Case {
        const char* name;
        std::string content;
        std::vector<std::string> shown;
    };
    const Case cases[] = {
        {"as written, descending", "E:\\Work\r\nd:\\music\r\nC:\\Data\r\n", {"C:\\Data", "d:\\music", "E:\\Work"}},
        {"file order does not matter", "/b\r\n/c\r\n/a\r\n", {"/a", "/b", "/c"}},
        {"LF only", "/home/b\n/home/a\n", {"/home/a", "/home/b"}},
        {"LF and CR LF mixed", "/b\n/a\r\n", {"/a", "/b"}},
        {"CR only, as old Macs wrote", "/c\r/b\r/a\r", {"/a", "/b", "/c"}},
        {"blank lines become empty entries", "/a\r\n\r\n/b\r\n\r\n", {"", "", "/a", "/b"}},
        {"last line without a line end", "/b\r\n/a", {"/a", "/b"}},
        {"only a line end", "\r\n", {""}},
        {"zero bytes", "", {}},
        {"duplicates kept", "/x\r\n/X\r\n/x\r\n", {"/x", "/X", "/x"}},
        {"blanks and bytes kept as they are", " /a b \r\n/caf\xc3\xa9\r\n", {" /a b ", "/caf\xc3\xa9"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        WriteFile(dir / "List1.txt", c.content);
        FolderList list;
        LoadListFile(list, dir / "List1.txt");
        EXPECT_EQ(Texts(list), c.shown);
    }
}

TEST(ListFileTest, WritesDescendingWithCrLfAndReadsBackTheSameOrder)
{
    struct Case {
        const char* name;
        std::vector<std::string> entries;
        std::string written;
        std::vector<std::string> reread;
    };
    const Case cases[] = {
        {"mixed case",
         {"E:\\Work", "C:\\Data", "d:\\music"},
         "E:\\Work\r\nd:\\music\r\nC:\\Data\r\n",
         {"C:\\Data", "d:\\music", "E:\\Work"}},
        {"empty entry is a blank line", {"", "/a"}, "/a\r\n\r\n", {"", "/a"}},
        {"one entry", {"/"}, "/\r\n", {"/"}},
        {"empty list", {}, "", {}},
        // Texts equal but for case keep their places over a round trip.
        {"case twins", {"/data", "/Data", "/b"}, "/data\r\n/Data\r\n/b\r\n", {"/b", "/Data", "/data"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        const FolderList list = ListOf(c.entries);
        const std::string path = dir / "List2.txt";
        WriteFile(path, "old content that must go\r\n");
        SaveListFile(list, path);
        EXPECT_EQ(ReadFile(path), c.written);

        FolderList reread;
        LoadListFile(reread, path);
        EXPECT_EQ(Texts(reread), c.reread);
    }
}

TEST(ListFileTest, LfOnlyFileIsRewrittenWithCrLf)
{
    TempDir dir;
    const std::string path = dir / "List1.txt";
    WriteFile(path, "/srv/b\n\n/srv/a\n");
    FolderList list;
    LoadListFile(list, path);
    SaveListFile(list, path);
    EXPECT_EQ(ReadFile(path), "/srv/b\r\n/srv/a\r\n\r\n");
}

TEST(ListFileTest, NothingToReadLeavesTheListAsItWas)
{
    TempDir dir;
    std::filesystem::create_directory(dir / "folder");
    WriteFile(dir / "file", "x");
    const char* const paths[] = {"missing.txt", "no/such/List1.txt", "file/List1.txt"};
    for (const char* name : paths) {
        SCOPED_TRACE(name);
        FolderList list = ListOf({"/kept"});
        EXPECT_NO_THROW(LoadListFile(list, dir / name));
        EXPECT_EQ(Texts(list), std::vector<std::string>{"/kept"});
    }
}

TEST(ListFileTest, UnreadableOrUnwritableFileThrows)
{
    TempDir dir;
    WriteFile(dir / "file", "x");
    ASSERT_EQ(::symlink("loop-b", (dir / "loop-a").c_str()), 0);
    ASSERT_EQ(::symlink("loop-a", (dir / "loop-b").c_str()), 0);
    std::filesystem::create_directory(dir / "folder");
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    const std::string tooLong = dir / std::string(300, 'n');

    // A folder or a pipe in the list file's place is reported, not taken
    // for an empty list that the close would then write over it.
    for (const std::string& path : {dir / "loop-a", tooLong, dir / "folder", dir / "fifo"}) {
        SCOPED_TRACE(path);
        FolderList list;
        EXPECT_THROW(LoadListFile(list, path), platform::EInOutError);
        EXPECT_EQ(list.Count(), 0);
    }

    const FolderList list = ListOf({"/a"});
    for (const std::string& path : {dir / "no/such/List1.txt", dir / "file/List1.txt", tooLong}) {
        SCOPED_TRACE(path);
        EXPECT_THROW(SaveListFile(list, path), platform::EInOutError);
    }
    EXPECT_EQ(ReadFile(dir / "file"), "x");
}
