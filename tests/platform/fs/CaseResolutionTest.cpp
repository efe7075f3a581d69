#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "PlatformTestUtil.h"
#include "TempDir.h"
#include "platform/fs/CaseIndex.h"
#include "platform/fs/CopyFile.h"
#include "platform/fs/FileSystem.h"

namespace {

std::uint64_t Builds()
{
    return platform::detail::CaseIndex::Instance().BuildCount();
}

// An index read within moments of the folder's last change is read once
// more before a miss is believed; tests that count readings wait that out.
void LetFolderSettle()
{
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
}

class CaseResolutionTest : public ::testing::Test {
protected:
    void SetUp() override { platform::detail::CaseIndex::Instance().Clear(); }
    TempDir m_dir;
};

TEST_F(CaseResolutionTest, NamesAreFoundWithoutRegardToCase)
{
    ScopedTimeZone utc("UTC");
    struct Case {
        const char* onDisk;
        const char* asked;
    };
    const Case cases[] = {
        {"Report.TXT", "report.txt"}, {"Report.TXT", "REPORT.TXT"},   {"ÄPFEL.txt", "äpfel.TXT"},
        {"Żółw.txt", "ŻÓŁW.TXT"},     {"Σίσυφος.txt", "ΣΊΣΥΦΟΣ.TXT"},  // final sigma folds with sigma
        {"МОСКВА.doc", "москва.DOC"}, {"Ёлка.txt", "ёЛКА.txt"},
    };
    std::int64_t seconds = 946684800;
    for (const Case& c : cases) {
        WriteFile(m_dir / c.onDisk, c.onDisk);
        SetMTime(m_dir / c.onDisk, seconds += 2);
    }
    for (const Case& c : cases) {
        const std::string asked = m_dir / c.asked;
        EXPECT_TRUE(platform::FileExists(asked)) << c.asked;
        EXPECT_EQ(platform::FileAge(asked), platform::FileAge(m_dir / c.onDisk)) << c.asked;
        EXPECT_FALSE(platform::FileIsReadOnly(asked)) << c.asked;
    }
    EXPECT_FALSE(platform::FileExists(m_dir / "report.txt.bak"));
    EXPECT_FALSE(platform::FileExists(m_dir / "REPORT"));
    EXPECT_TRUE(platform::FileIsReadOnly(m_dir / "missing.txt"));

    MakeReadOnly(m_dir / "Report.TXT");
    EXPECT_TRUE(platform::FileIsReadOnly(m_dir / "report.txt"));
}

TEST_F(CaseResolutionTest, ExactNameFirstAndNeverOneOfSeveralNamesakes)
{
    ScopedTimeZone utc("UTC");
    WriteFile(m_dir / "data.txt", "exact");
    WriteFile(m_dir / "Data.txt", "other");
    SetMTime(m_dir / "data.txt", 946684800);  // 2000-01-01 00:00:00
    SetMTime(m_dir / "Data.txt", 946684900);  // 2000-01-01 00:01:40
    EXPECT_EQ(platform::FileAge(m_dir / "data.txt"), 0x28210000);
    EXPECT_EQ(platform::FileAge(m_dir / "Data.txt"), 0x28210034);
    // Neither is spelt "DATA.TXT", and taking one of the two for it could
    // overwrite the other: the name is not there.
    EXPECT_EQ(platform::FileAge(m_dir / "DATA.TXT"), -1);
    EXPECT_EQ(platform::CopyFile(m_dir / "data.txt", m_dir / "dATA.TXT", false), 0);
    EXPECT_EQ(ReadFile(m_dir / "dATA.TXT"), "exact");
    EXPECT_EQ(ReadFile(m_dir / "Data.txt"), "other");
    // An exact match never looks further.
    EXPECT_EQ(platform::FileAge(m_dir / "DATA.txt", platform::NameMatch::Exact), -1);
    EXPECT_NE(platform::FileAge(m_dir / "Data.txt", platform::NameMatch::Exact), -1);
}

TEST_F(CaseResolutionTest, IndexFollowsChangesMadeOutside)
{
    WriteFile(m_dir / "first.txt", "1");
    EXPECT_FALSE(platform::FileExists(m_dir / "NEW.txt"));  // reads the folder

    WriteFile(m_dir / "New.Txt", "n");
    EXPECT_TRUE(platform::FileExists(m_dir / "NEW.txt"));

    ASSERT_EQ(rename((m_dir / "New.Txt").c_str(), (m_dir / "Other.txt").c_str()), 0);
    EXPECT_FALSE(platform::FileExists(m_dir / "NEW.txt"));
    EXPECT_TRUE(platform::FileExists(m_dir / "OTHER.TXT"));

    ASSERT_EQ(unlink((m_dir / "Other.txt").c_str()), 0);
    EXPECT_FALSE(platform::FileExists(m_dir / "OTHER.TXT"));

    // A folder standing under the name is found, but is no file.
    ASSERT_EQ(mkdir((m_dir / "Sub").c_str(), 0755), 0);
    EXPECT_FALSE(platform::FileExists(m_dir / "SUB"));
    EXPECT_TRUE(platform::DirectoryExists(m_dir / "Sub"));
}

TEST_F(CaseResolutionTest, CopyIntoFolderKeepsIndexWithoutRereading)
{
    TempDir source;
    WriteFile(source / "Copied.Txt", "c");
    WriteFile(m_dir / "present.txt", "p");
    LetFolderSettle();

    EXPECT_FALSE(platform::FileExists(m_dir / "COPIED.TXT"));
    const std::uint64_t afterFirstRead = Builds();
    ASSERT_EQ(platform::CopyFile(source / "Copied.Txt", m_dir / "Copied.Txt", true), 0);
    EXPECT_TRUE(platform::FileExists(m_dir / "COPIED.TXT"));
    EXPECT_TRUE(platform::FileExists(m_dir / "PRESENT.TXT"));
    EXPECT_EQ(Builds(), afterFirstRead);
}

TEST_F(CaseResolutionTest, CopyDoesNotHideAnOutsideChangeBeforeIt)
{
    TempDir source;
    WriteFile(source / "eps.txt", "new");
    WriteFile(m_dir / "eps.txt", "old");
    LetFolderSettle();
    EXPECT_FALSE(platform::FileExists(m_dir / "DELTA.TXT"));  // reads the folder
    WriteFile(m_dir / "Delta.txt", "d");  // then someone else writes
    // Replacing a name that is there needs no lookup in the folder.
    ASSERT_EQ(platform::CopyFile(source / "eps.txt", m_dir / "eps.txt", false), 0);
    EXPECT_TRUE(platform::FileExists(m_dir / "DELTA.TXT"));
    EXPECT_TRUE(platform::FileExists(m_dir / "EPS.TXT"));
}

TEST_F(CaseResolutionTest, LookupsOfManyMissingNamesReadTheFolderOnce)
{
    TempDir source;
    constexpr int kFiles = 2000;
    for (int i = 0; i < kFiles; ++i)
        WriteFile(m_dir / ("file" + std::to_string(i) + ".txt"), "x");
    for (int i = 0; i < 300; ++i)
        WriteFile(source / ("new" + std::to_string(i) + ".txt"), "n");
    LetFolderSettle();

    const std::uint64_t before = Builds();
    for (int i = 0; i < kFiles; ++i)
        ASSERT_FALSE(platform::FileExists(m_dir / ("missing" + std::to_string(i) + ".txt")));
    for (int i = 0; i < kFiles; i += 97)
        ASSERT_TRUE(platform::FileExists(m_dir / ("FILE" + std::to_string(i) + ".TXT")));
    EXPECT_EQ(Builds(), before + 1);

    // The pattern of a run that fills a folder: look, miss, copy in.
    for (int i = 0; i < 300; ++i) {
        const std::string name = "new" + std::to_string(i) + ".txt";
        ASSERT_FALSE(platform::FileExists(m_dir / ("NEW" + std::to_string(i) + ".TXT")));
        ASSERT_EQ(platform::CopyFile(source / name, m_dir / name, true), 0);
    }
    for (int i = 0; i < 300; ++i)
        ASSERT_TRUE(platform::FileExists(m_dir / ("New" + std::to_string(i) + ".Txt")));
    EXPECT_EQ(Builds(), before + 1);
}

TEST_F(CaseResolutionTest, DeleteFileFindsTheNameToo)
{
    WriteFile(m_dir / "Options.txt", "o");
    EXPECT_TRUE(platform::DeleteFile(m_dir / "OPTIONS.TXT"));
    EXPECT_EQ(ListFolder(m_dir.Path()), std::set<std::string>{});
    EXPECT_FALSE(platform::DeleteFile(m_dir / "OPTIONS.TXT"));
}

}  // namespace
