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

// A file name's control characters are shown, never obeyed, in every line
// the Report list keeps and passes on (its window, a terminal, a report
// file): a newline would forge a line, a carriage return hide one, an escape
// sequence work the terminal, a separator or bidirectional control break or
// turn the line around. What is shown reads back to one name only.
TEST(ReportFile, ControlCharactersOfNamesAreShownEscaped)
{
    const std::pair<std::string, std::string> cases[] = {
        {"plain name.txt updated successfully", "plain name.txt updated successfully"},
        {R"(a\nb.txt)", R"(a\\nb.txt)"},  // a backslash and an n, not a newline
        {"new\nline.txt updated successfully", R"(new\nline.txt updated successfully)"},
        {"hide\rme\ttab", R"(hide\rme\ttab)"},
        {"\033]0;title\a\033[2J", R"(\033]0;title\a\033[2J)"},
        {std::string("nul\0del\x7f", 8), R"(nul\000del\177)"},
        {"C1 \xC2\x9B CSI", R"(C1 \302\233 CSI)"},
        {"\xC2\xA0no-break \xC3\xA9t\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x93\x81",
         "\xC2\xA0no-break \xC3\xA9t\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x93\x81"},
        {"latin-1 caf\xE9", R"(latin-1 caf\351)"},
        {"overlong \xC0\xAF, surrogate \xED\xA0\x80, cut \xE2\x82",
         R"(overlong \300\257, surrogate \355\240\200, cut \342\202)"},
        // Line and paragraph separators break a line; their neighbours do not.
        {"a\xE2\x80\xA7\xE2\x80\xA8"
         "b\xE2\x80\xA9"
         "c\xE2\x80\xAF",
         "a\xE2\x80\xA7\\u2028b\\u2029c\xE2\x80\xAF"},
        // Bidirectional controls turn a line around: "invoice…exe.pdf".
        {"invoice\xE2\x80\xAE"
         "fdp.exe",
         R"(invoice\u202efdp.exe)"},
        {"\xE2\x80\xAA\xE2\x80\xAB\xE2\x80\xAC\xE2\x80\xAD", R"(\u202a\u202b\u202c\u202d)"},
        {"\xE2\x81\xA5\xE2\x81\xA6\xE2\x81\xA7\xE2\x81\xA8\xE2\x81\xA9\xE2\x81\xAA",
         "\xE2\x81\xA5\\u2066\\u2067\\u2068\\u2069\xE2\x81\xAA"},
        // The marks (a joiner beside them, as emoji use it, stays).
        {"\xE2\x80\x8D\xE2\x80\x8E\xE2\x80\x8F\xD8\x9C", "\xE2\x80\x8D\\u200e\\u200f\\u061c"},
    };
    ReportList report;
    std::vector<std::string> observed;
    report.SetObserver([&](const std::string& line) { observed.push_back(line); });
    std::vector<std::string> expected;
    for (const auto& [line, shown] : cases) {
        report.Append(line);
        expected.push_back(shown);
    }
    EXPECT_EQ(report.Lines(), expected);
    EXPECT_EQ(observed, expected);
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
