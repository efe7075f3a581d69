// The program without its window: what its start loads and its close
// stores, and how its runs show themselves in a window and go to the
// command line.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "FakeOptions.h"
#include "TempDir.h"
#include "core/Program.h"
#include "core/ProgramView.h"
#include "platform/settings/SettingsStore.h"
#include "sync/RunRecord.h"

namespace {

// A stored timer interval reaches the timer unchanged, and the close stores
// it back as it was: one that no entry stands for, and a negative one too
// (the timer counts it down as the unsigned number it is).
TEST(ProgramOptions, AStoredTimerIntervalGoesToTheTimerAndBackUnchanged)
{
    struct Case {
        std::int32_t stored;
        std::uint32_t timer;
    };
    const Case cases[] = {{180000, 180000u}, {5000, 5000u}, {0, 0u}, {-5, 4294967291u}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored);
        TempDir home;
        const std::string conf = home / "Folderly.conf";
        WriteFile(conf, "[General]\nTimer=int:1\nTimerInterval=int:" + std::to_string(c.stored) + "\n");
        Program program(home.Path() + "/", conf, home / "autostart/Folderly.desktop");
        ASSERT_TRUE(program.Store().OpenKey(true));
        program.Options().LoadOptions();
        program.Store().CloseKey();
        EXPECT_EQ(program.Timer().Interval(), c.timer);
        EXPECT_EQ(program.Timer().Running(), c.timer != 0);

        program.Options().SaveAtClose();
        platform::SettingsStore stored(conf);
        ASSERT_TRUE(stored.OpenKey(false));
        EXPECT_EQ(stored.ReadInteger("TimerInterval"), c.stored);
    }
}

// A window stand-in that records what the program shows, in order, and
// holds the Options panel's values.
class RecordingView : public ProgramView {
public:
    void RequestBalloon(const std::string& text, const std::string& title, TBalloonIconType icon) override
    {
        shown.push_back("balloon " + text + "|" + title + "|" + std::to_string(icon));
    }
    void SetSynchronizeSelectedVisible(bool visible) override
    {
        shown.push_back(std::string("selected ") + (visible ? "shown" : "hidden"));
    }
    void SetSynchronizeAllVisible(bool visible) override
    {
        shown.push_back(std::string("all ") + (visible ? "shown" : "hidden"));
    }
    void SetGaugeVisible(bool visible) override
    {
        shown.push_back(std::string("gauge ") + (visible ? "shown" : "hidden"));
    }
    void SetGaugeProgress(int percent) override { gauge = percent; }
    bool Confirm(const std::string& text, const std::string& planned) override
    {
        shown.push_back("confirm " + text);
        details = planned;
        if (duringConfirm)
            duringConfirm();
        return confirmAnswer;
    }
    void ShowMessage(const std::string& text) override { shown.push_back("message " + text); }
    void KeepResponsive() override {}
    OptionsControls& PanelControls() override { return panel; }
    void HideOptionsPanel() override { shown.push_back("panel hidden"); }

    std::vector<std::string> shown;
    std::string details;
    int gauge = -1;
    FakeControls panel;
    bool confirmAnswer = true;
    std::function<void()> duringConfirm;
};

// Hears of a run for the command line.
struct Listener : RunEvents {
    void Recorded(const RunRecord& record) override { records.push_back(record); }
    void Finished(bool completed, const RunTally& tally) override
    {
        told.push_back(completed ? "finished" : "finished, not completed");
        failed = tally.failed;
    }
    bool Confirm(const std::string& /*text*/, const RunPlan& /*plan*/) override
    {
        told.push_back("asked");
        return false;
    }
    std::vector<RunRecord> records;
    std::vector<std::string> told;
    int failed = -1;
};

// A program with its window: two folders paired in both modes (Docs), one
// file to update each way, and a read-only one that fails when asked.
class ProgramRuns : public ::testing::Test {
protected:
    ProgramRuns() : program(home.Path() + "/", home / "Folderly.conf", home / "autostart/Folderly.desktop")
    {
        program.SetView(&view);
        view.panel.shown.SilentMode = 0;
        program.HideOptions();  // applied: runs ask
        view.shown.clear();
        std::filesystem::create_directories(a);
        std::filesystem::create_directories(b);
        Put(a + "/x", "new", 1700000000);
        Put(b + "/x", "old", 1600000000);
        program.List1().Add(a);
        program.List2().Add(b);
    }
    static void Put(const std::string& path, const std::string& content, long long seconds)
    {
        WriteFile(path, content);
        SetMTime(path, seconds);
    }
    void ReadOnlyFailure()
    {
        Put(a + "/ro", "new", 1700000000);
        Put(b + "/ro", "old", 1600000000);
        ::chmod((b + "/ro").c_str(), 0444);
    }

    TempDir home;
    const std::string a = home / "one/Docs", b = home / "two/Docs";
    RecordingView view;
    Program program;
};

// A run shows itself in the design's order and texts: the balloon, the two
// buttons hidden, the gauge, the confirmation, then the buttons back, the
// gauge gone, and the summary when a copy failed; its lines reach the
// Report list. A program told to end shows no summary any more.
TEST_F(ProgramRuns, ARunShowsItsFrameInTheDesignsOrder)
{
    ReadOnlyFailure();
    program.SynchronizeAll();
    const std::vector<std::string> frame = {
        "balloon Folderly is processing now|Attention!|2",
        "selected hidden",
        "all hidden",
        "gauge shown",
        "confirm 2 file(s) will be updated",
        "selected shown",
        "all shown",
        "gauge hidden",
    };
    std::vector<std::string> expected = frame;
    expected.push_back(std::string("message ") + RunTexts::kSummary);
    EXPECT_EQ(view.shown, expected);
    EXPECT_EQ(view.gauge, 100);
    // The confirmation's details: a line for each of the two files.
    EXPECT_EQ(std::count(view.details.begin(), view.details.end(), '\n'), 1) << view.details;
    std::vector<std::string> lines = program.Report().Lines();
    std::sort(lines.begin(), lines.end());
    EXPECT_EQ(lines, (std::vector<std::string>{b + "/ro" + RunTexts::kReadOnly, b + "/x" + RunTexts::kUpdated}));

    view.shown.clear();
    program.SetStopQuery([] { return true; });
    program.SynchronizeAll();
    EXPECT_EQ(view.shown, frame);
}

// A listed folder that is not there (a share not mounted) is said in the
// Report list, but it is no failure of the run: no summary follows.
TEST_F(ProgramRuns, AFolderThatIsNotThereIsSaidWithoutTheSummary)
{
    const std::string away = home / "nas/Docs";
    program.List2().Add(away);
    program.SynchronizeAll();
    EXPECT_EQ(std::count(view.shown.begin(), view.shown.end(), std::string("message ") + RunTexts::kSummary), 0);
    std::vector<std::string> lines = program.Report().Lines();
    std::sort(lines.begin(), lines.end());
    EXPECT_EQ(lines,
              (std::vector<std::string>{"\"" + away + "\"" + RunTexts::kNotThere, b + "/x" + RunTexts::kUpdated}));
}

// Which run each command makes: by the Synchro mode the panel shows when
// it starts (0 files mode, any other index folders mode), Synchro Now by
// whether either list has a selection, and the timer's tick by its Action.
// The confirmation tells them apart (files-all has its blank; a folders
// run of this pair counts 1, a files run of the selection 0).
TEST_F(ProgramRuns, EachCommandMakesTheRunOfTheModeShown)
{
    struct Case {
        const char* what;
        int mode;
        int action;  // the timer's
        bool selected;  // List 1's entry
        std::function<void(Program&)> command;
        const char* confirmation;
    };
    const Case cases[] = {
        {"Synchronize all, files", 0, 0, false, &Program::SynchronizeAll, "1 file(s) will be updated"},
        {"Synchronize all, mode 7", 7, 0, false, &Program::SynchronizeAll, "1file(s) will be updated"},
        {"Synchronize all, no mode", -1, 0, false, &Program::SynchronizeAll, "1file(s) will be updated"},
        {"Synchronize selected, files", 0, 0, true, &Program::SynchronizeSelected, "0file(s) will be updated"},
        {"Synchro Now, nothing selected", 0, 0, false, &Program::SynchronizeNow, "1 file(s) will be updated"},
        {"Synchro Now, a selection", 0, 0, true, &Program::SynchronizeNow, "0file(s) will be updated"},
        {"tick, Synchro All, folders", 1, 0, false, &Program::TimerTicked, "1file(s) will be updated"},
        {"tick, Synchro Selected, files", 0, 1, false, &Program::TimerTicked, "0file(s) will be updated"},
        {"tick, no Action", 0, -1, false, &Program::TimerTicked, nullptr},
    };
    view.confirmAnswer = false;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        view.shown.clear();
        view.panel.shown.SynchroMode = c.mode;
        view.panel.shown.TimerAction = c.action;
        program.List1().SetSelected(0, c.selected);
        c.command(program);
        const std::vector<std::string> asked = {std::string("confirm ") + (c.confirmation ? c.confirmation : "")};
        EXPECT_EQ(std::count(view.shown.begin(), view.shown.end(), asked.front()), c.confirmation ? 1 : 0);
        EXPECT_EQ(std::count_if(view.shown.begin(), view.shown.end(),
                                [](const std::string& s) { return s.rfind("confirm", 0) == 0; }),
                  c.confirmation ? 1 : 0);
    }
    EXPECT_EQ(ReadFile(b + "/x"), "old");  // every run was cancelled
}

// Runs use the options as last applied (Save, Hide, the start), not as the
// panel shows them meanwhile.
TEST_F(ProgramRuns, RunsTakeTheOptionsAsLastApplied)
{
    Put(a + "/y.txt", "new", 1700000000);
    Put(b + "/y.txt", "old", 1600000000);
    view.panel.shown.SilentMode = 1;
    view.panel.shown.Filter = 1;
    view.panel.shown.Ext = "txt";
    program.SynchronizeAll();  // shown, not applied: asks, and copies both
    EXPECT_EQ(std::count(view.shown.begin(), view.shown.end(), "confirm 2 file(s) will be updated"), 1);
    Put(a + "/x", "newer", 1750000000);
    Put(a + "/y.txt", "newer", 1750000000);
    program.HideOptions();
    view.shown.clear();
    program.SynchronizeAll();  // applied: silent, and only .txt
    EXPECT_EQ(std::count_if(view.shown.begin(), view.shown.end(),
                            [](const std::string& s) { return s.rfind("confirm", 0) == 0; }),
              0);
    EXPECT_EQ(ReadFile(b + "/y.txt"), "newer");
    EXPECT_EQ(ReadFile(b + "/x"), "new");
}

// A run that kept edits beside their files says so in a balloon: no
// failure, but a person should look.
TEST_F(ProgramRuns, ARunThatKeptEditsSaysSo)
{
    program.SynchronizeAll();
    Put(a + "/x", "a's edit", 1750000000);
    Put(b + "/x", "b's edit", 1760000000);
    view.shown.clear();
    program.SynchronizeAll();
    EXPECT_EQ(
        std::count(view.shown.begin(), view.shown.end(),
                   "balloon 1 file(s) changed on both sides: each version is kept beside its file. Please see the "
                   "Report list|Edits kept|1"),
        1);
    EXPECT_EQ(std::count(view.shown.begin(), view.shown.end(), std::string("message ") + RunTexts::kSummary), 0);
}

// folderly --run forwarded to the window runs through the window's own
// engine: the window shows its balloon, buttons and gauge, nobody is asked,
// no summary box shows (the command line says it), and the run is the one
// the program counts as running: another one waits for it to end.
TEST_F(ProgramRuns, ARunForTheCommandLineGoesThroughTheProgramsOwnEngine)
{
    ReadOnlyFailure();
    Listener listener;
    bool secondMade = true;
    view.duringConfirm = [&] { secondMade = program.SynchronizeAllFor(listener); };
    program.SynchronizeAll();  // the window's own run; the command line's comes while it asks
    EXPECT_FALSE(secondMade);
    EXPECT_TRUE(listener.told.empty());

    view.shown.clear();
    Put(a + "/x", "newer", 1750000000);
    EXPECT_TRUE(program.SynchronizeAllFor(listener));
    EXPECT_EQ(view.shown,
              (std::vector<std::string>{"balloon Folderly is processing now|Attention!|2", "selected hidden",
                                        "all hidden", "gauge shown", "selected shown", "all shown", "gauge hidden"}));
    EXPECT_EQ(listener.told, std::vector<std::string>{"finished"});
    EXPECT_EQ(listener.failed, 1);
    EXPECT_EQ(listener.records.size(), 2u);
    EXPECT_EQ(
        std::count(program.Report().Lines().begin(), program.Report().Lines().end(), b + "/ro" + RunTexts::kReadOnly),
        2);
    EXPECT_FALSE(program.Running());
}

}  // namespace
