#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <functional>
#include <system_error>

#include "RunFixture.h"
#include "platform/fs/FileSystem.h"

namespace {

// Texts that are no full path, read where the program happens to stand, would
// name another folder at every start (cron, a restart, Add Path's last folder).
class FolderTexts : public RunFixture {
protected:
    void TearDown() override { platform::SetCurrentDir(m_startFolder); }
    std::string m_startFolder = platform::GetCurrentDir();
};

TEST_F(FolderTexts, AnEntryThatIsNoFullPathTakesNoPartAndIsSaidOncePerRun)
{
    struct Case {
        const char* name;
        int mode;
        bool selectedRun;
        bool leftOutSelected;
    };
    const Case cases[] = {
        {"files mode, all", 0, false, false},
        {"folders mode, all", 1, false, false},
        {"files mode, selected with them", 0, true, true},
        {"folders mode, selected without them", 1, true, false},
    };
    // The current folder holds an unrelated projA; the lists name one too.
    const std::string unrelated = Folder("cwd/projA");
    const std::string a = Folder("a/projA");
    const std::string b = Folder("b/projA");
    platform::SetCurrentDir(tmp / "cwd");
    list1.Add("projA");
    list1.Add(a);
    list2.Add(b);
    list2.Add("~/projA");
    list2.Add("");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        File(unrelated + "/notes.txt", "unrelated", kOld);
        File(unrelated + "/only.txt", "unrelated", kOld);
        File(a + "/notes.txt", "a", kMid);
        File(b + "/notes.txt", "b", kNew);
        RunSpy h;
        h.mode = c.mode;
        h.options.SilentFlag = 0;
        for (int i = 0; i < list1.Count(); ++i)
            list1.SetSelected(i, list1.Text(i) == a || c.leftOutSelected);
        for (int i = 0; i < list2.Count(); ++i)
            list2.SetSelected(i, list2.Text(i) == b || c.leftOutSelected);
        Synchronizer run(state, list1, list2, h);
        run.Run(h.Mode(), c.selectedRun ? Synchronizer::Scope::Selected : Synchronizer::Scope::All, h.options);

        EXPECT_EQ(ReadFile(unrelated + "/notes.txt"), "unrelated");
        EXPECT_FALSE(platform::FileExists(b + "/only.txt"));
        EXPECT_EQ(ReadFile(a + "/notes.txt"), "b");
        EXPECT_EQ(state.TotalCount, 1);
        Records expected{Updated(a + "/notes.txt")};
        if (!c.selectedRun || c.leftOutSelected)
            expected.insert(expected.begin(), {NotFullPath("projA"), NotFullPath(""), NotFullPath("~/projA")});
        EXPECT_EQ(h.records, expected);
        // Counted like a failed copy, List 1 first, each list from the top: the run's summary follows.
        EXPECT_EQ(state.FailFlag, expected.size() > 1 ? 1 : 0);
        EXPECT_EQ(h.tally.leftOut, static_cast<int>(expected.size()) - 1);
    }
}

// A listed folder that is not there (a share not mounted, a stick not
// plugged in) takes no part. Its line comes when it goes away, not again on
// every timer run while it stays away, and again once it came back and went;
// every run counts it as left out, but none sets FailFlag (no summary).
TEST_F(FolderTexts, AFolderThatIsNotThereIsSaidOnceWhileItStaysAway)
{
    const std::string a = Folder("a/projA");
    const std::string b = Folder("b/projA");
    const std::string away = tmp / "nas/projA";
    list1.Add(a);
    list2.Add(b);
    list2.Add(away);
    const std::string notADirectory = std::system_category().message(ENOTDIR);
    struct Step {
        const char* name;
        std::function<void()> before;
        Records expected;
    };
    const Step steps[] = {
        {"away", [] {}, {NotThere(away), Updated(a + "/notes.txt")}},
        {"still away", [] {}, {}},
        {"back", [&] { Folder("nas/projA"); }, {Copied("notes.txt", away)}},
        {"away again", [&] { std::filesystem::remove_all(away); }, {NotThere(away)}},
        {"a file in its place", [&] { WriteFile(away, "x"); }, {NotThere(away, notADirectory)}},
    };
    File(a + "/notes.txt", "a", kOld);
    File(b + "/notes.txt", "b", kNew);
    spy.mode = 1;
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        step.before();
        spy.records.clear();
        RunByMode(Synchronizer::Scope::All);
        EXPECT_EQ(spy.records, step.expected);
        EXPECT_EQ(state.FailFlag, 0);
        EXPECT_EQ(spy.tally.leftOut, std::filesystem::is_directory(away) ? 0 : 1);
    }
}

}  // namespace
