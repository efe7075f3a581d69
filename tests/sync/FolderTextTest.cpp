#include <algorithm>

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

}  // namespace
