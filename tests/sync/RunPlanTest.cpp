// What a run's confirmation shows of it: a line for each entry its
// pre-count counts, with the way each copy goes.
#include <gmock/gmock.h>
#include <sys/stat.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "RunFixture.h"

namespace {

std::vector<std::string> SortedLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    std::sort(lines.begin(), lines.end());
    return lines;
}

// A line of the plan: what is copied into which folder, from which list, and
// whether new or replacing.
std::string Line(const std::string& source, const std::string& folder, int fromList, const char* what)
{
    const char* way = fromList == 1 ? "List 1 \xE2\x86\x92 List 2" : "List 2 \xE2\x86\x92 List 1";
    return source + " \xE2\x86\x92 " + folder + " (" + way + ", " + what + ")";
}

using RunPlans = RunFixture;

// Both modes, each way, new and replacing. Files mode's pre-count counts
// List 1's names without their times: the way each pair goes needs them.
TEST_F(RunPlans, EachCountedEntryIsALineOfWhatTheRunWillDo)
{
    spy.options.SilentFlag = 0;
    const std::string a = Folder("one/Docs"), b = Folder("two/Docs");
    File(a + "/new.txt", "a", kMid);
    File(a + "/line\nbreak", "a", kMid);
    File(a + "/later.txt", "a", kNew);
    File(b + "/later.txt", "b", kOld);
    File(a + "/earlier.txt", "a", kOld);
    File(b + "/earlier.txt", "b", kNew);
    File(a + "/same.txt", "s", kMid);
    File(b + "/same.txt", "s", kMid);
    File(b + "/only.txt", "b", kMid);
    // The run leaves a read-only file as it is: so does the plan.
    File(a + "/kept.txt", "a", kNew);
    File(b + "/kept.txt", "b", kOld);
    ASSERT_EQ(::chmod((b + "/kept.txt").c_str(), 0444), 0);
    list1.Add(a);
    list2.Add(b);
    Run(Synchronizer::Mode::Folders, Synchronizer::Scope::All);
    EXPECT_EQ(
        SortedLines(spy.plan),
        (std::vector<std::string>{Line(a + "/later.txt", b, 1, "replacing"), Line(a + "/line\\nbreak", b, 1, "new"),
                                  Line(a + "/new.txt", b, 1, "new"), Line(b + "/earlier.txt", a, 2, "replacing"),
                                  b + "/kept.txt (left alone: read-only)", Line(b + "/only.txt", a, 2, "new")}));
    EXPECT_EQ(ReadFile(b + "/kept.txt"), "b");

    const std::string x = Folder("files/x"), y = Folder("files/y");
    File(x + "/older", "x", kOld);
    File(y + "/older", "y", kNew);
    File(x + "/newer", "x", kNew);
    File(y + "/newer", "y", kOld);
    File(x + "/alone", "x", kNew);
    list1.Clear();
    list2.Clear();
    list1.Add(x);
    list2.Add(y);
    Run(Synchronizer::Mode::Files, Synchronizer::Scope::All);
    EXPECT_EQ(SortedLines(spy.plan),
              (std::vector<std::string>{Line(x + "/newer", y, 1, "replacing"), Line(y + "/older", x, 2, "replacing")}));
}

TEST(RunPlan, PastTheKeptLinesItEndsWithHowManyMore)
{
    RunPlan plan;
    for (std::size_t i = 0; i < RunPlan::kMaxLines + 2; ++i)
        plan.Copy("/a/f" + std::to_string(i), "/b", RunPlan::Way::ToList2, false);
    const std::string text = plan.Text();
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), static_cast<long>(RunPlan::kMaxLines));
    EXPECT_EQ(text.substr(text.rfind('\n') + 1), "\xE2\x80\xA6 and 2 more");
    EXPECT_EQ(plan.Count(), static_cast<std::int64_t>(RunPlan::kMaxLines) + 2);
}

}  // namespace
