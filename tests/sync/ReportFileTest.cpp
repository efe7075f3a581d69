#include "sync/ReportFile.h"

#include "TempDir.h"
#include "platform/fs/FileError.h"
#include "sync/ReportList.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

TEST(ReportFile, HeaderThenNewestToOldestWithCrLf)
{
    TempDir dir;
    ReportList report;
    for (const char* line : {"The option file v1.2 was found and options were exported into the registry",
                             "The option file v1.2 was deleted", "v1.3", "/data//a.txt updated successfully",
                             "b.doc copied successfully to /backup/Docs"})
        report.Append(line);

    // With and without the folder's trailing '/', the same file.
    for (const std::string& folder : std::vector<std::string>{dir.Path() + "/", dir.Path()}) {
        const std::string path = SaveReportFile(report, "05.03.24   14:07:09", folder);
        EXPECT_EQ(path, dir / "report.txt");
        EXPECT_EQ(ReadFile(path),
                  "05.03.24   14:07:09\r\n"
                  "b.doc copied successfully to /backup/Docs\r\n"
                  "/data//a.txt updated successfully\r\n"
                  "v1.3\r\n"
                  "The option file v1.2 was deleted\r\n"
                  "The option file v1.2 was found and options were exported into the registry\r\n");
    }
    EXPECT_EQ(report.Count(), 5);  // saving does not clear the list
    EXPECT_EQ(ReportSavedMessage(dir / "report.txt"), "Report was saved in " + (dir / "report.txt"));
}

TEST(ReportFile, ASecondSaveReplacesTheFirst)
{
    TempDir dir;
    ReportList report;
    report.Append("v1.3");
    SaveReportFile(report, "first", dir.Path());
    report.Append("x updated successfully");
    SaveReportFile(report, "second", dir.Path());
    EXPECT_EQ(ReadFile(dir / "report.txt"), "second\r\nx updated successfully\r\nv1.3\r\n");

    // The save goes to the folder it is given, not the current one.
    const auto current = std::filesystem::current_path();
    std::filesystem::create_directory(dir / "elsewhere");
    std::filesystem::current_path(dir / "elsewhere");
    SaveReportFile(report, "third", dir.Path());
    std::filesystem::current_path(current);
    EXPECT_FALSE(std::filesystem::exists(dir / "elsewhere/report.txt"));
    EXPECT_EQ(ReadFile(dir / "report.txt").substr(0, 7), "third\r\n");
}

TEST(ReportFile, AFolderThatIsNotThereGivesInvalidFilename)
{
    TempDir dir;
    WriteFile(dir / "file", "x");
    ReportList report;
    report.Append("v1.3");
    for (const std::string& folder : std::vector<std::string>{dir / "missing/", dir / "file/"}) {
        try {
            SaveReportFile(report, "header", folder);
            ADD_FAILURE() << "no error for " << folder;
        } catch (const platform::EInOutError& error) {
            EXPECT_STREQ(error.what(), "Invalid filename") << folder;
            EXPECT_EQ(error.ErrorCode(), 3);
        }
    }
}

TEST(ReportFile, AReportThatCannotBeReplacedFailsAndLeavesWhatWasThere)
{
    TempDir dir;
    std::filesystem::create_directories(dir / "report.txt/kept");
    ReportList report;
    report.Append("v1.3");
    EXPECT_THROW(SaveReportFile(report, "header", dir.Path()), platform::EInOutError);
    EXPECT_TRUE(std::filesystem::is_directory(dir / "report.txt/kept"));
    // No temporary file is left beside it.
    int entries = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.Path()))
        ++entries;
    EXPECT_EQ(entries, 1);
}

}  // namespace
