// Runs that follow changes in the listed folders, on a program without a
// window whose stored options ask for them: which changes start a run,
// that a burst starts one, that a run's own copies start none, and what
// the run covers.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "TempDir.h"
#include "core/ChangeRuns.h"
#include "core/Program.h"
#include "lists/FolderList.h"
#include "sync/ReportList.h"
#include "sync/RunRecord.h"

namespace {

using namespace std::chrono_literals;
constexpr auto kQuiet = 150ms;

// Handles events until done() holds or the time is up.
bool Until(const std::function<bool()>& done, std::chrono::milliseconds limit)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < limit.count())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

void Make(const std::string& path, const std::string& content, long long seconds)
{
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    WriteFile(path, content);
    SetMTime(path, seconds);
}

// A home with lists and options, and the program watching its folders.
struct Watched {
    explicit Watched(int synchroMode)
    {
        ::mkdir((home / "share").c_str(), 0755);
        WriteFile(home / "Folderly.conf",
                  "[General]\nSynchroMode=int:" + std::to_string(synchroMode) + "\nRunOnChange=int:1\n");
        program = std::make_unique<Program>(home / "share/", home / "Folderly.conf", home / "autostart");
        program->Changes().SetQuietTime(kQuiet);
    }
    void Start(const std::vector<std::string>& list1, const std::vector<std::string>& list2)
    {
        for (const std::string& folder : list1)
            program->List1().Add(folder.starts_with('/') ? folder : home / folder);
        for (const std::string& folder : list2)
            program->List2().Add(folder.starts_with('/') ? folder : home / folder);
        program->Store().OpenKey(false);
        program->Options().LoadOptions();
        program->Store().CloseKey();
    }
    // Waits for the runs asked so far to reach runs, then a while longer
    // for any that should not come; how many came.
    int Settle(int runs)
    {
        Until([&] { return program->Changes().RunsAsked() >= runs && !program->Changes().RunPending(); }, 5s);
        Until([] { return false; }, 4 * kQuiet);
        return program->Changes().RunsAsked();
    }
    std::string Read(const std::string& name) const { return ReadFile(home / name); }

    TempDir home;
    std::unique_ptr<Program> program;
};

TEST(RunOnChange, EachChangeThatARunCanActOnStartsOneRun)
{
    struct Case {
        const char* what;
        int synchroMode;
        std::function<void(const TempDir&)> change;
        int runs;
        const char* file;  // the file that must hold content afterwards, if any
        const char* content;
    };
    const Case cases[] = {
        {"a new file, folders mode", 1, [](const TempDir& h) { Make(h / "a/Docs/new.txt", "new", 1700000000); }, 1,
         "b/Docs/new.txt", "new"},
        {"a file changed in List 2, folders mode", 1,
         [](const TempDir& h) { Make(h / "b/Docs/old.txt", "changed in b", 1800000000); }, 1, "a/Docs/old.txt",
         "changed in b"},
        {"a file changed in List 1, files mode", 0,
         [](const TempDir& h) { Make(h / "a/Docs/old.txt", "changed in a", 1800000000); }, 1, "b/Docs/old.txt",
         "changed in a"},
        {"a file changed in List 2, files mode", 0,
         [](const TempDir& h) { Make(h / "b/Docs/old.txt", "changed in b", 1800000000); }, 1, "a/Docs/old.txt",
         "changed in b"},
        {"a person's file named as the copy's temporary files begin", 1,
         [](const TempDir& h) { Make(h / "a/Docs/.folderly-partial-copy-mine", "mine", 1700000000); }, 1, nullptr,
         nullptr},
        {"a change inside a subfolder", 1, [](const TempDir& h) { Make(h / "a/Docs/sub/x.txt", "x", 1700000000); }, 0,
         nullptr, nullptr},
        {"a burst of 300 writes", 1,
         [](const TempDir& h) {
             for (int i = 0; i < 300; ++i)
                 Make(h / ("a/Docs/f" + std::to_string(i % 30)), "burst " + std::to_string(i), 1700000000 + i);
         },
         1, "b/Docs/f29", "burst 299"},
        {"a listed folder made late", 1, [](const TempDir& h) { Make(h / "c/Docs/late.txt", "late", 1700000000); }, 1,
         "a/Docs/late.txt", "late"},
        {"a listed folder removed and made again", 1,
         [](const TempDir& h) {
             std::filesystem::remove_all(h / "b/Docs");
             Make(h / "b/Docs/again.txt", "again", 1700000000);
         },
         1, "a/Docs/again.txt", "again"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Watched w(c.synchroMode);
        Make(w.home / "a/Docs/old.txt", "old", 1600000000);
        Make(w.home / "b/Docs/old.txt", "old", 1600000000);
        // a/Docs again, spelled otherwise: a run's copies into it are no change under any spelling.
        std::filesystem::create_directory_symlink(w.home / "a", w.home / "link");
        w.Start({"a/Docs"}, {"b/Docs", "c/Docs", "a/Docs/", "a//Docs", "link/Docs"});
        ASSERT_EQ(w.Settle(0), 0);  // nothing changed, nothing runs
        c.change(w.home);
        // One run for the change; its own copies start no second one.
        EXPECT_EQ(w.Settle(c.runs), c.runs);
        if (c.file) {
            EXPECT_EQ(w.Read(c.file), c.content);
        }
    }
}

// What a run that follows a change covers: everything where the folders'
// state is unknown (the first run, files mode, a list that changed, a run
// cancelled), else the changed folders' names and those where a run failed.
TEST(RunOnChange, ARunCoversTheChangedFoldersWhereThatIsAsAFullRun)
{
    TempDir home;
    FolderList list1;
    FolderList list2;
    ReportList report;
    for (const char* folder : {"a/Docs", "a/Pics"}) {
        std::filesystem::create_directories(home / folder);
        list1.Add(home / folder);
    }
    for (const char* folder : {"b/Docs", "b/Pics"}) {
        std::filesystem::create_directories(home / folder);
        list2.Add(home / folder);
    }
    bool foldersMode = true;
    bool completes = true;
    std::vector<std::string> asked;  // "all", or the names asked for
    std::optional<RunRecord> fails;
    ChangeRuns* runs = nullptr;
    ChangeRuns changes(
        list1, list2, report,
        [&](const std::set<std::string>* only) {
            std::string what = only ? "" : "all";
            for (const std::string& name : only ? *only : std::set<std::string>{})
                what += (what.empty() ? "" : " ") + name;
            asked.push_back(what);
            if (fails)
                runs->Recorded(*fails);
            runs->RunFinished(completes);
            return true;
        },
        [&] { return foldersMode; }, kQuiet);
    runs = &changes;
    changes.SetEnabled(true);
    struct Step {
        const char* what;
        std::function<void()> before;
        const char* file;  // written to make the change
        const char* covered;
    };
    const Step steps[] = {
        {"the first run", [] {}, "a/Docs/1", "all"},
        {"a change in Docs", [] {}, "b/Docs/2", "Docs"},
        {"changes in both", [] {}, "a/Pics/3", "Pics"},
        {"files mode", [&] { foldersMode = false; }, "a/Docs/4", "all"},
        {"a run that fails in Pics",
         [&] {
             foldersMode = true;
             fails = RunRecord(RunRecord::Kind::NotUpdated, home / "b/Pics/x", "", "test");
         },
         "a/Docs/5", "Docs"},
        {"the next run retries Pics", [&] { fails.reset(); }, "a/Docs/6", "Docs Pics"},
        {"a folder added to a list",
         [&] {
             std::filesystem::create_directories(home / "b/Music");
             list2.Add(home / "b/Music");
             runs->ListsChanged();  // as the program's list observer does
         },
         "a/Docs/7", "all"},
        {"a run cancelled", [&] { completes = false; }, "a/Pics/8", "Pics"},
        {"the next run covers it too", [&] { completes = true; }, "a/Docs/9", "Docs Pics"},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.what);
        step.before();
        Make(home / step.file, "x", 1700000000);
        asked.clear();
        Until([&] { return !asked.empty(); }, 3s);
        ASSERT_EQ(asked, std::vector<std::string>{step.covered});
    }
}

// A save during a run over a file that run has just written is a change.
TEST(RunOnChange, ASaveDuringARunOverAFileItWroteStartsTheNextRun)
{
    Watched w(1);
    Make(w.home / "b/Docs/x.txt", "old", 1600000000);
    w.Start({"a/Docs"}, {"b/Docs"});
    w.program->Report().SetObserver([&w](const std::string& line) {  // told once the copy is in place
        if (line.starts_with(w.home / "b/Docs/x.txt"))
            Make(w.home / "b/Docs/x.txt", "saved in b", 1800000000);
    });
    Make(w.home / "a/Docs/x.txt", "from a", 1700000000);
    EXPECT_EQ(w.Settle(2), 2);
    EXPECT_EQ(w.Read("a/Docs/x.txt"), "saved in b");
}

// Changes that never leave a quiet while get their run after the longest wait.
TEST(RunOnChange, ChangesThatNeverPauseGetARunAfterTheLongestWait)
{
    Watched w(1);
    w.program->Changes().SetQuietTime(600ms, 1500ms);
    Make(w.home / "a/Docs/log.txt", "log", 1600000000);
    w.Start({"a/Docs"}, {"b/Docs"});
    QTimer log;  // a write every 100 ms
    QObject::connect(&log, &QTimer::timeout, [&w] { Make(w.home / "a/Docs/log.txt", "more", 1700000000); });
    log.start(100);
    EXPECT_TRUE(Until([&] { return w.program->Changes().RunsAsked() > 0; }, 6s));
}

// Two users keep one shared folder (List 1) in step with their own by folderly --watch, in files mode: each
// begins with a run (a's brings a save made while none ran, b's brings it home) and keeps no Report line; the
// exchange then ends, two saves of one packed time left apart.
TEST(RunOnChange, TwoWatchersOfOneSharedFolderComeToRest)
{
    Watched a(0);
    Watched b(0);
    const std::string shared = a.home / "shared/x/f.txt";
    Make(shared, "old", 1600000000);
    Make(a.home / "mine/x/f.txt", "saved by a", 1700000000);
    Make(b.home / "mine/x/f.txt", "old", 1600000000);
    for (Watched* w : {&a, &b}) {
        w->Start({a.home / "shared/x"}, {"mine/x"});
        ASSERT_TRUE(w->program->WatchForCommandLine());
        EXPECT_EQ(w->Settle(1), 1);
    }
    Make(b.home / "mine/x/f.txt", "saved by b", 1700000001);
    EXPECT_EQ(b.Settle(2), 2);
    EXPECT_EQ(a.Settle(1), 1);
    EXPECT_EQ(ReadFile(shared) + "," + b.Read("mine/x/f.txt"), "saved by a,saved by b");
    EXPECT_TRUE(a.program->Report().Lines().empty());
}

}  // namespace

// A window that starts beside folderly --watch must not run every change a
// second time, nor stay without runs on change once the watcher has ended.
TEST(RunOnChange, AWindowLeavesRunsOnChangeToAWatcherUntilItEnds)
{
    Watched w(1);
    bool watcherRunning = true;
    w.program->SetWatcherQuery([&watcherRunning] { return watcherRunning; }, 50ms);
    Make(w.home / "a/Docs/old.txt", "old", 1600000000);
    Make(w.home / "b/Docs/old.txt", "old", 1600000000);
    w.Start({"a/Docs"}, {"b/Docs"});
    w.program->HideOptions();  // the options applied again
    Make(w.home / "a/Docs/new.txt", "new", 1700000000);
    EXPECT_EQ(w.Settle(0), 0);
    EXPECT_FALSE(w.program->Changes().Enabled());
    EXPECT_EQ(w.program->Report().Lines(), std::vector<std::string>{ChangeTexts::kLeftToWatcher});

    watcherRunning = false;
    ASSERT_TRUE(Until([&] { return w.program->Changes().Enabled(); }, 2s));
    Make(w.home / "a/Docs/newer.txt", "newer", 1700000000);
    EXPECT_EQ(w.Settle(1), 1);
    EXPECT_EQ(w.Read("b/Docs/newer.txt"), "newer");
}
