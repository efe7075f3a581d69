#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>

#include "PlatformTestUtil.h"
#include "TempDir.h"
#include "platform/fs/CopyFile.h"
#include "platform/fs/DirectorySearch.h"
#include "platform/fs/FileSystem.h"

using platform::DirectorySearch;
using platform::TSearchRec;

namespace {

using Names = std::set<std::string>;

TEST(WildcardTest, MatchesByWindowsRulesWithoutRegardToCase)
{
    struct Case {
        const char* name;
        const char* pattern;
        bool matches;
    };
    const Case cases[] = {
        {"readme.txt", "*.txt", true},
        {"README.TXT", "*.txt", true},
        {"readme.txt", "*.TXT", true},
        {"readme.txt.bak", "*.txt", false},
        {"a.b.txt", "*.txt", true},
        {"readme", "*.*", true},  // no dot, still every name
        {".profile", "*.*", true},
        {"anything", "*", true},
        {"report", "report.*", true},
        {"reports", "report.*", false},
        {"a.tar.gz", "*.t*", true},
        {"a.txt", "?.txt", true},
        {"B.TXT", "?.txt", true},
        {"ab.txt", "?.txt", false},
        {".txt", "?.txt", false},
        {"x.tat", "*.t?t", true},
        {"x.tt", "*.t?t", false},
        {"aXbYb", "*a*b", true},
        {"abc", "*a*b", false},
        {"abc", "abc", true},
        {"abcd", "abc", false},
        {"", "*", true},
        {"", "?", false},
        // Letters beyond ASCII: Latin-1, Latin Extended-A and -B, Greek
        // (final sigma too), Cyrillic.
        {"ÄRGER.txt", "ärger.TXT", true},
        {"ŁÓDŹ.doc", "łódź.*", true},
        {"ȘCOALĂ.txt", "școală.txt", true},
        {"ΣΊΣΥΦΟΣ.txt", "σίσυφος.txt", true},
        {"ПРИВЕТ.txt", "привет.txt", true},
        {"привет.txt", "ПРИВЕТ.*", true},
        {"straße.txt", "STRASSE.txt", false},
        // '?' stands for one character, not one byte.
        {"é.txt", "?.txt", true},
        {"日本.txt", "??.txt", true},
        {"日本.txt", "?.txt", false},
        {"日本.txt", "???.txt", false},
        // Bytes that are not UTF-8 are characters of their own.
        {"\xff.txt", "?.txt", true},
        {"a\xc3", "a?", true},
        {"\xc3\xa9", "\xc3\x89", true},  // é and É
    };
    for (const Case& c : cases)
        EXPECT_EQ(platform::MatchesMask(c.name, c.pattern), c.matches) << c.name << " against " << c.pattern;
}

// A folder with one of each kind of entry.
class SearchFolderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        WriteFile(m_dir / "a.txt", "a");
        WriteFile(m_dir / "B.TXT", "b");
        WriteFile(m_dir / "c.doc", "c");
        WriteFile(m_dir / ".hidden.txt", "h");
        WriteFile(m_dir / "ro.txt", "r");
        MakeReadOnly(m_dir / "ro.txt");
        ASSERT_EQ(mkdir((m_dir / "sub").c_str(), 0755), 0);
        ASSERT_EQ(mkdir((m_dir / ".hiddendir").c_str(), 0755), 0);
        ASSERT_EQ(mkfifo((m_dir / "pipe.txt").c_str(), 0644), 0);
        ASSERT_EQ(symlink("a.txt", (m_dir / "link.txt").c_str()), 0);
        ASSERT_EQ(symlink("nowhere", (m_dir / "dead.txt").c_str()), 0);
    }

    std::string Mask(const std::string& pattern) const { return m_dir.Path() + "/" + pattern; }

    TempDir m_dir;
};

TEST_F(SearchFolderTest, YieldsWhatMaskAndSkipRuleLetThrough)
{
    const Names archive{"a.txt", "B.TXT", "c.doc", "link.txt", "ro.txt"};
    struct Case {
        const char* pattern;
        std::uint32_t attrMask;
        Names expected;
    };
    const std::vector<Case> cases = {
        {"*.*", 32, archive},
        {"*", 32, archive},
        {"*.*",
         63,
         {".", "..", "a.txt", "B.TXT", "c.doc", ".hidden.txt", "ro.txt", "sub", ".hiddendir", "pipe.txt", "link.txt",
          "dead.txt"}},
        {"*.txt", 32, {"a.txt", "B.TXT", "link.txt", "ro.txt"}},
        {"*.TXT", 32, {"a.txt", "B.TXT", "link.txt", "ro.txt"}},
        {"*.txt", 63, {"a.txt", "B.TXT", "link.txt", "ro.txt", ".hidden.txt", "pipe.txt", "dead.txt"}},
        {"?.txt", 32, {"a.txt", "B.TXT"}},
        // Each skippable attribute let through on its own.
        {"*.*", 32 | 0x10, {".", "..", "a.txt", "B.TXT", "c.doc", "link.txt", "ro.txt", "sub"}},
        {"*.*", 32 | 0x02, {"a.txt", "B.TXT", "c.doc", "link.txt", "ro.txt", ".hidden.txt"}},
        {"*.*", 32 | 0x04, {"a.txt", "B.TXT", "c.doc", "link.txt", "ro.txt", "pipe.txt", "dead.txt"}},
        {"*.*",
         32 | 0x12,
         {".", "..", "a.txt", "B.TXT", "c.doc", "link.txt", "ro.txt", "sub", ".hiddendir", ".hidden.txt"}},
        // The archive bit is not required: a mask of 0 still yields plain files.
        {"*.*", 0, archive},
        {"*.xyz", 63, {}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SearchNames(Mask(c.pattern), c.attrMask), c.expected) << c.pattern << " with " << c.attrMask;
}

TEST_F(SearchFolderTest, DeliversAttributesAndPackedTime)
{
    ScopedTimeZone utc("UTC");
    SetMTime(m_dir / "a.txt", 946684800 + 3);  // 2000-01-01 00:00:03
    SetMTime(m_dir / "c.doc", 0);  // 1970 packs as the first time there is

    std::map<std::string, TSearchRec> found;
    DirectorySearch search;
    TSearchRec rec;
    for (bool more = search.FindFirst(Mask("*.*"), 63, rec); more; more = search.FindNext(rec))
        found[rec.Name] = rec;
    search.FindClose();

    const std::map<std::string, std::uint32_t> expected = {
        {".", 0x10},          {"..", 0x10},          {"a.txt", 0x20},    {"B.TXT", 0x20},
        {"c.doc", 0x20},      {".hidden.txt", 0x22}, {"ro.txt", 0x21},   {"sub", 0x10},
        {".hiddendir", 0x12}, {"pipe.txt", 0x04},    {"link.txt", 0x20}, {"dead.txt", 0x04},
    };
    ASSERT_EQ(found.size(), expected.size());
    for (const auto& [name, attr] : expected) {
        ASSERT_TRUE(found.count(name)) << name;
        EXPECT_EQ(found[name].Attr, attr) << name;
    }
    EXPECT_EQ(found["a.txt"].Time, 0x28210001);
    EXPECT_EQ(found["link.txt"].Time, 0x28210001);  // the link's file's time
    EXPECT_EQ(found["c.doc"].Time, 0x00210000);
}

TEST(DirectorySearchTest, FolderThatCannotBeReadYieldsNothing)
{
    TempDir dir;
    WriteFile(dir / "file", "x");
    DirectorySearch search;
    TSearchRec rec;
    EXPECT_FALSE(search.FindFirst(dir / "missing/*.*", 63, rec));
    EXPECT_FALSE(search.FindFirst(dir / "file/*.*", 63, rec));
    EXPECT_FALSE(search.FindNext(rec));
    ASSERT_EQ(mkdir((dir / "empty").c_str(), 0755), 0);
    EXPECT_FALSE(search.FindFirst(dir / "empty/*.*", 32, rec));
    EXPECT_TRUE(search.FindFirst(dir / "empty/*.*", 63, rec));  // "." and ".."
}

TEST(DirectorySearchTest, RootFolderMaskWithTwoSlashes)
{
    for (const char* mask : {"//*.*", "/*.*"}) {
        const Names names = SearchNames(mask, 63);
        EXPECT_TRUE(names.count(".") && names.count("..")) << mask;
        EXPECT_TRUE(names.count("usr") || names.count("tmp")) << mask;
    }
}

TEST(DirectorySearchTest, NamesAreTakenWhenTheSearchOpens)
{
    TempDir dir;
    WriteFile(dir / "one.txt", "1");
    WriteFile(dir / "two.txt", "2");
    WriteFile(dir / "three.txt", "3");

    DirectorySearch search;
    TSearchRec rec;
    ASSERT_TRUE(search.FindFirst(dir / "*.*", 32, rec));
    Names yielded{rec.Name};
    // What the run writes into the folder meanwhile is not yielded.
    WriteFile(dir / "late.txt", "late");
    ASSERT_EQ(platform::CopyFile(dir / rec.Name, dir / "copied.txt", true), 0);
    while (search.FindNext(rec))
        yielded.insert(rec.Name);
    EXPECT_EQ(yielded, (Names{"one.txt", "two.txt", "three.txt"}));
    EXPECT_FALSE(search.FindNext(rec));
}

TEST(DirectorySearchTest, NameGoneBeforeItsTurnIsPassedOver)
{
    TempDir dir;
    for (const char* name : {"p.txt", "q.txt", "r.txt"})
        WriteFile(dir / name, name);
    DirectorySearch search;
    TSearchRec rec;
    ASSERT_TRUE(search.FindFirst(dir / "*.txt", 32, rec));
    const std::string first = rec.Name;
    for (const char* name : {"p.txt", "q.txt", "r.txt"}) {
        if (name != first) {
            ASSERT_EQ(unlink((dir / name).c_str()), 0);
        }
    }
    EXPECT_FALSE(search.FindNext(rec));
}

// Temporary files of the shapes the program makes (as a crash would leave
// them, or another user's copy while it writes) are never yielded; a
// person's files whose names merely begin the same are, like any other.
TEST(DirectorySearchTest, TemporaryFilesAreNeverYielded)
{
    TempDir dir;
    WriteFile(dir / "real.txt", "r");
    const std::string prefix = platform::kTemporaryNamePrefix;
    for (const std::string& name :
         {prefix + "123-0123456789abcdef", platform::OwnCopyTemporaryName(),
          prefix + "copy-0123456789abcdef-fedcba9876543210", platform::OwnAsideName("real.txt")})
        WriteFile(dir / name, "partial");
    const Names persons{prefix + "old-notes.txt", prefix + "copy-mine", prefix + "123-abc"};
    for (const std::string& name : persons)
        WriteFile(dir / name, "mine");
    Names all{".", "..", "real.txt"};
    all.insert(persons.begin(), persons.end());
    EXPECT_EQ(SearchNames(dir / "*", 63), all);
    EXPECT_EQ(SearchNames(dir / ".folderly*", 63), persons);
}

}  // namespace
