#pragma once

#include <QSocketNotifier>
#include <QTimer>
#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/fs/WrittenFile.h"

class FolderList;
class ReportList;
struct RunRecord;
namespace platform {
class FolderWatch;
}

// Texts the Report list gets when a folder cannot be watched; the first %s
// is the folder.
namespace ChangeTexts {
inline constexpr char kWatchLimit[] =
    "\"%s\" is not watched for changes: the limit of watched folders is reached. Raise "
    "fs.inotify.max_user_watches (sysctl), or rely on the timer";
inline constexpr char kNoAccess[] =
    "\"%s\" is not watched for changes: it cannot be read. Give yourself the right to read it, or rely on the timer";
inline constexpr char kNoEvents[] =
    "\"%s\" may change unseen: its drive does not tell of changes made elsewhere (a network or FUSE drive). Rely on "
    "the timer for it";
inline constexpr char kLeftToWatcher[] =
    "Run on change is left to folderly --watch, which runs now; this window takes it over when it ends";
inline constexpr char kOther[] = "\"%s\" is not watched for changes: %s. Rely on the timer for it";
// No folder at all: %s says why the system gave no inotify instance.
inline constexpr char kNoInstance[] =
    "No folder is watched for changes: no inotify instance is left (%s). Raise fs.inotify.max_user_instances "
    "(sysctl)";
}  // namespace ChangeTexts

// Runs that follow changes: the folders of both lists are watched (the
// entries directly inside them, as runs never enter subfolders); after a
// change, once no further change has come for a quiet while, a run is asked
// for, and at the latest when the longest wait has passed since the first
// change that waits (a log written every few seconds never leaves a quiet
// while). A run asked for this way covers only the folders where the
// changes happened, by their last path component (folders mode pairs
// folders by it), whenever that gives the result a full run would: the
// other folders were in step after the last full run and nothing has
// changed there since. Anything the watch may have missed (a folder that
// was away, an overflowed queue, the start of watching) asks for a full
// run, and so does files mode, where one change can reach every folder of
// both lists. A run's own copies are no change, known by what they wrote
// (file, time and size) however the lists spell their folders, so that a
// save over one of them is. Such a run copies only pairs out of step
// (Synchronizer::Pairs): its copies give another watcher of the same
// folders nothing to copy back.
class ChangeRuns {
public:
    // Asks for a run: with onlyNamed, of the folders with those last path
    // components; with nullptr, a full one. It tells whether a run was made.
    using RunRequest = std::function<bool(const std::set<std::string>* onlyNamed)>;
    // Whether folders mode is the mode a run takes now.
    using FoldersMode = std::function<bool()>;

    static constexpr std::chrono::milliseconds kQuiet = std::chrono::seconds(10);
    static constexpr std::chrono::milliseconds kLongestWait = std::chrono::seconds(60);

    ChangeRuns(const FolderList& list1, const FolderList& list2, ReportList& report, RunRequest run,
               FoldersMode foldersMode, std::chrono::milliseconds quiet = kQuiet);
    ~ChangeRuns();
    ChangeRuns(const ChangeRuns&) = delete;
    ChangeRuns& operator=(const ChangeRuns&) = delete;

    // Watching on or off (off: nothing is watched, nothing held).
    void SetEnabled(bool enabled);
    bool Enabled() const { return m_watch != nullptr; }
    // Whether anything can be watched: enabled, and the system gave an
    // inotify instance (else the Report list said why not).
    bool Watching() const;
    // The lists changed: their folders are watched anew.
    void ListsChanged();
    // Asks for a full run at once.
    void AskFullRun();

    // Every run (by hand, by the timer, by a change) tells its records and
    // its end: what it wrote is no change, and a folder where it failed is
    // run again with the next change, as a full run would retry it.
    void Recorded(const RunRecord& record);
    void Wrote(const platform::WrittenFile& file);
    void RunFinished(bool completed);

    // Watches held now, runs asked for so far, whether one waits for the
    // quiet while (tests, benchmarks), and that while and the longest wait
    // (tests shorten them).
    std::size_t WatchCount() const;
    int RunsAsked() const { return m_runsAsked; }
    bool RunPending() const { return m_quiet.isActive(); }
    void SetQuietTime(std::chrono::milliseconds quiet, std::chrono::milliseconds longest = kLongestWait);

private:
    using Clock = std::chrono::steady_clock;

    void Rewatch();
    void TakeEvents();
    // Whether the entry is what a run wrote, as it left it.
    bool IsOwnWrite(const std::string& folder, const std::string& name) const;
    void TellProblems();
    // A change waits for its run: after the quiet while, or sooner when
    // the longest wait since the first change that waits ends first.
    void Wait();
    void Quiet();

    const FolderList& m_list1;
    const FolderList& m_list2;
    ReportList& m_report;
    RunRequest m_run;
    FoldersMode m_foldersMode;
    QTimer m_quiet;
    std::chrono::milliseconds m_quietTime;
    std::chrono::milliseconds m_longestWait = kLongestWait;
    std::optional<Clock::time_point> m_waitingSince;
    std::unique_ptr<platform::FolderWatch> m_watch;
    std::unique_ptr<QSocketNotifier> m_events;
    std::unique_ptr<QSocketNotifier> m_mounts;
    // The folders watched.
    std::vector<std::string> m_folders;
    // The last path components of the folders changed since the last run,
    // and whether a full run is due.
    std::set<std::string> m_changed;
    bool m_full = true;
    // What the run in progress wrote, and the last path components of the
    // folders where it failed.
    std::set<platform::WrittenFile> m_written;
    std::set<std::string> m_failed;
    // Whether the run in progress is one this object asked for, whether it
    // is full, and the folders it was asked for.
    bool m_ownRun = false;
    bool m_ownRunFull = false;
    std::set<std::string> m_ownRunNames;
    int m_runsAsked = 0;
};
