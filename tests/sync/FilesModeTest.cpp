#include <sys/stat.h>

#include <unistd.h>

#include <algorithm>
#include <tuple>

#include <gmock/gmock.h>

#include "RunFixture.h"
#include "platform/fs/FileSystem.h"

using namespace RunTexts;
using ::testing::UnorderedElementsAre;

namespace {

class FilesMode : public RunFixture {};

TEST_F(FilesMode, LaterCopyWinsInEitherDirectionAndEqualTimesGoFromList2)
{
    struct Case {
        const char* name;
        long long time1, time2;
        bool list1Wins;
    };
    const Case cases[] = {
        {"later1.txt", kNew, kOld, true},
        {"later2.txt", kOld, kNew, false},
        {"equal.txt", kMid, kMid, false},
    };
    const std::string a = Folder("a"), b = Folder("b");
    for (const Case& c : cases) {
        File(a + "/" + c.name, std::string("one ") + c.name, c.time1);
        File(b + "/" + c.name, std::string("two ") + c.name, c.time2);
    }
    File(a + "/only1.txt", "alone", kNew);  // files mode never creates a file
    list1.Add(a);
    list2.Add(b);

    Run(Synchronizer::Mode::Files, Synchronizer::Scope::All);

    EXPECT_EQ(state.TotalCount, 3);
    EXPECT_EQ(state.FailFlag, 0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string expected = std::string(c.list1Wins ? "one " : "two ") + c.name;
        EXPECT_EQ(ReadFile(a + "/" + c.name), expected);
        EXPECT_EQ(ReadFile(b + "/" + c.name), expected);
        const long long winner = c.list1Wins ? c.time1 : c.time2;
        EXPECT_EQ(MTimeSeconds(a + "/" + c.name), winner);
        EXPECT_EQ(MTimeSeconds(b + "/" + c.name), winner);
        const std::string destination = (c.list1Wins ? b : a) + "/" + c.name;
        EXPECT_EQ(std::count(Recorded().begin(), Recorded().end(), Updated(destination)), 1);
    }
    EXPECT_FALSE(platform::FileExists(b + "/only1.txt"));
    EXPECT_EQ(Recorded().size(), 3u);
    EXPECT_TRUE(spy.tally.Complete());
}

TEST_F(FilesMode, EventsInOrderWithConfirmation)
{
    const std::string a = Folder("a"), b = Folder("b");
    File(a + "/x", "1", kNew);
    File(b + "/x", "2", kOld);
    list1.Add(a);
    list2.Add(b);
    spy.options.SilentFlag = 0;

    Run(Synchronizer::Mode::Files, Synchronizer::Scope::All);

    const std::vector<std::string> expected = {
        "started",
        "counted 1",
        "confirm 1 file(s) will be updated",
        "finished",
    };
    EXPECT_EQ(spy.events, expected);
    EXPECT_EQ(Recorded(), Records{Updated(b + "/x")});
}

TEST_F(FilesMode, ConfirmationTextsCancelAndEmptyRuns)
{
    struct Case {
        const char* what;
        bool selected;
        bool answer;
        bool withFiles;
        const char* confirmation;
        int lines;
    };
    const Case cases[] = {
        {"all, OK", false, true, true, "2 file(s) will be updated", 2},
        {"selected, OK", true, true, true, "2file(s) will be updated", 2},
        {"all, Cancel", false, false, true, "2 file(s) will be updated", 0},
        {"empty lists, OK", false, true, false, "0 file(s) will be updated", 0},
        {"empty selected, Cancel", true, false, false, "0file(s) will be updated", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir fresh;
        RunState s;
        FolderList l1, l2;
        RunSpy h;
        h.options.SilentFlag = 0;
        h.confirmAnswer = c.answer;
        Synchronizer run(s, l1, l2, h);
        if (c.withFiles) {
            ::mkdir((fresh / "a").c_str(), 0755);
            ::mkdir((fresh / "b").c_str(), 0755);
            for (const char* name : {"p", "q"}) {
                File(fresh / "a/" + name, "new", kNew);
                File(fresh / "b/" + name, "old", kOld);
            }
            l1.Add(fresh / "a");
            l2.Add(fresh / "b");
            l1.SelectAll();
            l2.SelectAll();
        }
        run.Run(Synchronizer::Mode::Files, c.selected ? Synchronizer::Scope::Selected : Synchronizer::Scope::All,
                h.options);
        EXPECT_EQ(h.Count("confirm"), 1);
        EXPECT_EQ(h.Count(std::string("confirm ") + c.confirmation), 1);
        EXPECT_EQ(h.records.size(), static_cast<std::size_t>(c.lines));
        // Whatever happened, the run is told over, completed unless cancelled.
        EXPECT_EQ(h.events.back(), c.answer ? "finished" : "finished, not completed");
        if (c.withFiles && !c.answer) {
            EXPECT_EQ(ReadFile(fresh / "b/p"), "old");
        }
    }
}

TEST_F(FilesMode, SilentRunWithNothingToDoShowsNoDialog)
{
    Run(Synchronizer::Mode::Files, Synchronizer::Scope::All);
    EXPECT_EQ(spy.events, (std::vector<std::string>{"started", "counted 0", "finished"}));
    EXPECT_EQ(state.TotalCount, 0);
}

TEST_F(FilesMode, GaugeRoundsHalvesToEvenAndCountsFailedSameNameTests)
{
    // One List 1 file against eight List 2 folders, only four of which hold
    // it: TotalCount 4, eight progress steps.
    const std::string a = Folder("a");
    File(a + "/f", "x", kMid);
    list1.Add(a);
    for (int i = 0; i < 8; ++i) {
        const std::string b = Folder("b" + std::to_string(i));
        if (i % 2 == 0)
            File(b + "/f", "y", kMid);
        list2.Add(b);
    }
    Run(Synchronizer::Mode::Files, Synchronizer::Scope::All);
    EXPECT_EQ(state.TotalCount, 4);
    EXPECT_EQ(state.ProgressCount, 8);
    EXPECT_EQ(spy.progress, (std::vector<int>{25, 50, 75, 100, 125, 150, 175, 200}));

    // Eight of eight: 12.5 -> 12, 37.5 -> 38, 62.5 -> 62, 87.5 -> 88.
    const std::string c = Folder("c");
    File(c + "/f", "x", kMid);
    FolderList one, eight;
    one.Add(c);
    for (int i = 0; i < 8; ++i) {
        const std::string d = Folder("d" + std::to_string(i));
        File(d + "/f", "y", kMid);
        eight.Add(d);
    }
    RunSpy h;
    Synchronizer run(state, one, eight, h);
    run.Run(Synchronizer::Mode::Files, Synchronizer::Scope::All, h.options);
    EXPECT_EQ(h.progress, (std::vector<int>{12, 25, 38, 50, 62, 75, 88, 100}));
}

TEST_F(FilesMode, OrderOfWorkAndLaterPairsSeeTheList1FileAsCopied)
{
    // List 1 "a" against List 2 "b0" (index 0) and "b1" (index 1): b1 is
    // handled first. b1 is later than a, so a gets b1's copy; b0 is then
    // compared with what a holds now, b1's version, which is later than
    // b0's: b0 gets it too, and the newest edit is everywhere.
    const std::string a = Folder("a"), b0 = Folder("b0"), b1 = Folder("b1");
    File(a + "/x", "a", kOld);
    File(b0 + "/x", "b0", kMid);
    File(b1 + "/x", "b1", kNew);
    list1.Add(a);
    list2.Add(b1);
    list2.Add(b0);

    Run(Synchronizer::Mode::Files, Synchronizer::Scope::All);

    EXPECT_EQ(Recorded(), (Records{Updated(a + "/x"), Updated(b0 + "/x")}));
    for (const std::string& folder : {a, b0, b1}) {
        EXPECT_EQ(ReadFile(folder + "/x"), "b1") << folder;
        EXPECT_EQ(MTimeSeconds(folder + "/x"), kNew) << folder;
    }
}

TEST_F(FilesMode, List1FoldersFromLastToFirst)
{
    const std::string a0 = Folder("a0"), a1 = Folder("a1"), b = Folder("b");
    File(a0 + "/x", "a0", kNew);
    File(a1 + "/y", "a1", kNew);
    File(b + "/x", "old", kOld);
    File(b + "/y", "old", kOld);
    list1.Add(a0);
    list1.Add(a1);
    list2.Add(b);
    Run(Synchronizer::Mode::Files, Synchronizer::Scope::All);
    EXPECT_EQ(Recorded(), (Records{Updated(b + "/y"), Updated(b + "/x")}));
}

TEST_F(FilesMode, ReadOnlyDestinationIsReportedAndSummarised)
{
    const std::string a = Folder("a"), b = Folder("b");
    File(a + "/x", "new", kNew);
    File(b + "/x", "old", kOld);
    MakeReadOnly(b + "/x");
    list1.Add(a);
    list2.Add(b);

    Run(Synchronizer::Mode::Files, Synchronizer::Scope::All);

    EXPECT_EQ(ReadFile(b + "/x"), "old");
    EXPECT_EQ(Recorded(), Records{ReadOnly(b + "/x")});
    EXPECT_EQ(state.FailFlag, 1);
    EXPECT_EQ(spy.events.back(), "finished");
    EXPECT_EQ(spy.tally.failed, 1);
}

TEST_F(FilesMode, ReadOnlySourceMakesAReadOnlyDestinationThatCountsAsUpdated)
{
    const std::string a = Folder("a"), b = Folder("b");
    File(a + "/x", "new", kNew);
    MakeReadOnly(a + "/x");
    File(b + "/x", "old", kOld);
    list1.Add(a);
    list2.Add(b);
    Run(Synchronizer::Mode::Files, Synchronizer::Scope::All);
    EXPECT_EQ(ReadFile(b + "/x"), "new");
    EXPECT_TRUE(platform::FileIsReadOnly(b + "/x"));
    EXPECT_EQ(Recorded(), Records{Updated(b + "/x")});
    EXPECT_EQ(state.FailFlag, 0);
}

TEST_F(FilesMode, OtherCopyFailuresAreNeverReportedAsSuccess)
{
    // The List 2 name is a pipe, later than the List 1 file: it is neither
    // copied over the List 1 file nor replaced, and it keeps the file out.
    const std::string a = Folder("a"), b = Folder("b");
    File(a + "/x", "mine", kOld);
    ASSERT_EQ(::mkfifo((b + "/x").c_str(), 0644), 0);
    SetMTime(b + "/x", kNew);
    list1.Add(a);
    list2.Add(b);

    Run(Synchronizer::Mode::Files, Synchronizer::Scope::All);

    EXPECT_EQ(Recorded(), Records{NotCopied("x", b, b + "/x" + kNotAFile)});
    EXPECT_EQ(ReadFile(a + "/x"), "mine");
    EXPECT_EQ(state.FailFlag, 1);
    EXPECT_FALSE(spy.tally.Complete());
}

// One folder in both lists (once with a trailing '/'), and two names of one
// file: nothing is copied, and no line claims an update that was not made.
TEST_F(FilesMode, OneFolderInBothListsKeepsEveryFileIntact)
{
    const std::string a = Folder("a");
    const std::string b = Folder("b");
    const std::string c = Folder("c");
    File(a + "/x", "content x", kOld);
    File(a + "/y", "content y", kNew);
    File(b + "/z", "content z", kOld);
    ASSERT_EQ(link((b + "/z").c_str(), (c + "/z").c_str()), 0);
    list1.Add(a);
    list2.Add(a + "/");
    list1.Add(b);
    list2.Add(c);
    Run(Synchronizer::Mode::Files, Synchronizer::Scope::All);
    EXPECT_EQ(ReadFile(a + "/x"), "content x");
    EXPECT_EQ(ReadFile(a + "/y"), "content y");
    EXPECT_EQ(MTimeSeconds(a + "/y"), kNew);
    EXPECT_EQ(ReadFile(c + "/z"), "content z");
    EXPECT_EQ(Recorded(), Records{});
    EXPECT_EQ(state.FailFlag, 0);
}

// A later comparison sees what an earlier copy of the same run did to a
// List 2 file: one written directly, and one written through a link in
// another List 2 folder. Compared with a stale time, the later copy would
// fail as if someone had changed the file meanwhile.
TEST_F(FilesMode, LaterComparisonsSeeEarlierCopies)
{
    struct Case {
        const char* title;
        std::vector<std::string> list1, list2;
        std::vector<std::string> updated;  // folders whose x the Report list names, in order
        std::vector<std::pair<std::string, std::string>> contents;  // folder, content of its x in the end
    };
    const Case cases[] = {
        {"one List 2 folder for two List 1 folders",
         {"A", "B"},
         {"P"},
         {"P", "A"},
         {{"A", "b"}, {"B", "b"}, {"P", "b"}}},
        {"through a link", {"B", "C"}, {"M", "N"}, {"C", "C", "N", "B"}, {{"B", "b"}, {"C", "m"}, {"M", "b"}}},
    };
    // x in each folder: content and time. B's is the newest, A's in between;
    // N's x is a link to M's.
    const std::tuple<std::string, std::string, long long> files[] = {
        {"A", "a", kMid}, {"B", "b", kNew}, {"C", "c", kOld}, {"M", "m", kOld}, {"P", "p", kOld},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title);
        const std::string root = Folder(c.title);
        const auto x = [&](const std::string& folder) { return root + "/" + folder + "/x"; };
        for (const auto& [folder, content, time] : files) {
            Folder(std::string(c.title) + "/" + folder);
            File(x(folder), content, time);
        }
        Folder(std::string(c.title) + "/N");
        ASSERT_EQ(::symlink("../M/x", x("N").c_str()), 0);
        FolderList one, two;
        for (const std::string& folder : c.list1)
            one.Add(root + "/" + folder);
        for (const std::string& folder : c.list2)
            two.Add(root + "/" + folder);
        RunSpy told;
        Synchronizer run(state, one, two, told);
        run.Run(Synchronizer::Mode::Files, Synchronizer::Scope::All, told.options);

        Records expected;
        for (const std::string& folder : c.updated)
            expected.push_back(Updated(x(folder)));
        EXPECT_EQ(told.records, expected);
        EXPECT_EQ(state.FailFlag, 0);
        for (const auto& [folder, content] : c.contents)
            EXPECT_EQ(ReadFile(x(folder)), content) << folder;
    }
}

TEST_F(FilesMode, FileTypeAndExtensionFilterDecideWhatList1Yields)
{
    struct Case {
        const char* what;
        int attr;
        const char* ext;
        int total;
        int steps;
    };
    // a holds x.txt, Y.TXT, z.doc, .hidden.txt and a subfolder; b holds the
    // namesakes of all four files (in other letter case for two of them).
    const Case cases[] = {
        {"archive files, every name", 32, "*", 3, 3},
        {"all files, every name", 63, "*", 4, 7},  // + ".", "..", "sub"
        {"archive files, txt", 32, "txt", 2, 2},
        {"all files, txt", 63, "txt", 3, 3},
    };
    const std::string a = Folder("a"), b = Folder("b");
    Folder("a/sub");
    File(a + "/x.txt", "1", kNew);
    File(a + "/Y.TXT", "1", kNew);
    File(a + "/z.doc", "1", kNew);
    File(a + "/.hidden.txt", "1", kNew);
    File(b + "/X.TXT", "2", kOld);
    File(b + "/y.txt", "2", kOld);
    File(b + "/z.doc", "2", kOld);
    File(b + "/.hidden.txt", "2", kOld);
    list1.Add(a);
    list2.Add(b);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        spy.options.SearchAttr = c.attr;
        spy.options.SearchExt = c.ext;
        std::int32_t count = -1;
        CountCopies(Synchronizer::Mode::Files, Synchronizer::Scope::All, count);
        EXPECT_EQ(count, c.total);
    }
    // A real run with the filter: the lines carry the List 1 name, the copy
    // lands on the List 2 file of the other letter case.
    spy.options.SearchAttr = 32;
    spy.options.SearchExt = "txt";
    Run(Synchronizer::Mode::Files, Synchronizer::Scope::All);
    EXPECT_EQ(state.ProgressCount, 2);
    EXPECT_EQ(ReadFile(b + "/X.TXT"), "1");
    EXPECT_EQ(ReadFile(b + "/y.txt"), "1");
    EXPECT_EQ(ReadFile(b + "/z.doc"), "2");
    EXPECT_EQ(ReadFile(b + "/.hidden.txt"), "2");
    EXPECT_THAT(Recorded(), UnorderedElementsAre(Updated(b + "/Y.TXT"), Updated(b + "/x.txt")));
}

TEST_F(FilesMode, SelectedPassPairsOnlySelectedFolders)
{
    const std::string a0 = Folder("a0"), a1 = Folder("a1"), b0 = Folder("b0"), b1 = Folder("b1");
    for (const auto& a : {a0, a1})
        File(a + "/x", "new", kNew);
    for (const auto& b : {b0, b1})
        File(b + "/x", "old", kOld);
    list1.Add(a0);
    list1.Add(a1);
    list2.Add(b0);
    list2.Add(b1);
    list1.SetSelected(1, true);
    list2.SetSelected(0, true);

    Run(Synchronizer::Mode::Files, Synchronizer::Scope::Selected);

    EXPECT_EQ(state.TotalCount, 1);
    EXPECT_EQ(state.ProgressCount, 1);  // no step for the unselected List 2 folder
    EXPECT_EQ(Recorded(), Records{Updated(b0 + "/x")});
    EXPECT_EQ(ReadFile(b1 + "/x"), "old");
}

TEST_F(FilesMode, MissingFoldersContributeNothing)
{
    const std::string a = Folder("a");
    File(a + "/x", "1", kNew);
    list1.Add(a);
    list1.Add(tmp / "gone1");
    list2.Add(tmp / "gone2");
    Run(Synchronizer::Mode::Files, Synchronizer::Scope::All);
    EXPECT_EQ(state.TotalCount, 0);
    // Said, and left out, but no failure of the run.
    EXPECT_EQ(Recorded(), (Records{NotThere(tmp / "gone1"), NotThere(tmp / "gone2")}));
    EXPECT_EQ(state.FailFlag, 0);
    EXPECT_EQ(spy.tally.leftOut, 2);
}

TEST_F(FilesMode, TriggerDuringConfirmationIsIgnored)
{
    const std::string a = Folder("a"), b = Folder("b");
    File(a + "/x", "new", kNew);
    File(b + "/x", "old", kOld);
    list1.Add(a);
    list2.Add(b);
    spy.options.SilentFlag = 0;
    bool sawRunning = false;
    spy.duringConfirm = [&] {
        sawRunning = sync.IsRunning();
        RunByMode(Synchronizer::Scope::All);  // a timer tick
        Run(Synchronizer::Mode::Folders, Synchronizer::Scope::Selected);  // a tray command
    };

    RunByMode(Synchronizer::Scope::All);

    EXPECT_TRUE(sawRunning);
    EXPECT_EQ(spy.Count("started"), 1);
    EXPECT_EQ(spy.Count("confirm"), 1);
    EXPECT_EQ(Recorded(), Records{Updated(b + "/x")});
    EXPECT_FALSE(sync.IsRunning());
    // After the run, the next trigger runs again.
    RunByMode(Synchronizer::Scope::All);
    EXPECT_EQ(spy.Count("started"), 2);
}

}  // namespace
