#include "core/ChangeRuns.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <utility>
#include <vector>

#include "lists/FolderList.h"
#include "platform/FormatText.h"
#include "platform/fs/FileSystem.h"
#include "platform/fs/FolderWatch.h"
#include "sync/ReportList.h"
#include "sync/RunRecord.h"
#include "sync/Synchronizer.h"

namespace {

// The folder text and name of a path a run formed (PathOf: folder, '/', name).
std::pair<std::string, std::string> FolderAndName(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return {std::string(), path};
    return {path.substr(0, slash), path.substr(slash + 1)};
}

// A copy's temporary file: a named one, or an unnamed one (O_TMPFILE),
// whose writes the kernel tells under "#" and its inode number, a name
// that no entry of the folder has.
bool IsTemporary(const std::string& folder, const std::string& name)
{
    if (platform::IsTemporaryFileName(name))
        return true;
    if (name.size() < 2 || name[0] != '#'
        || !std::all_of(name.begin() + 1, name.end(), [](unsigned char c) { return std::isdigit(c) != 0; }))
        return false;
    struct stat st {};
    return ::lstat(platform::PathOf(folder, name).c_str(), &st) != 0;
}

std::vector<std::string> FoldersOf(const FolderList& list1, const FolderList& list2)
{
    std::vector<std::string> folders;
    for (const FolderList* list : {&list1, &list2}) {
        for (int i = 0; i < list->Count(); ++i) {
            if (IsFullFolderPath(list->Text(i)))
                folders.push_back(list->Text(i));
        }
    }
    std::sort(folders.begin(), folders.end());
    folders.erase(std::unique(folders.begin(), folders.end()), folders.end());
    return folders;
}

}  // namespace

ChangeRuns::ChangeRuns(const FolderList& list1, const FolderList& list2, ReportList& report, RunRequest run,
                       FoldersMode foldersMode, std::chrono::milliseconds quiet)
    : m_list1(list1),
      m_list2(list2),
      m_report(report),
      m_run(std::move(run)),
      m_foldersMode(std::move(foldersMode)),
      m_quietTime(quiet)
{
    m_quiet.setSingleShot(true);
    // A coarse timer may fire 5 % early: the quiet while is a promise.
    m_quiet.setTimerType(Qt::PreciseTimer);
    QObject::connect(&m_quiet, &QTimer::timeout, [this] { Quiet(); });
}

ChangeRuns::~ChangeRuns() = default;

void ChangeRuns::SetEnabled(bool enabled)
{
    if (enabled == Enabled())
        return;
    m_events.reset();
    m_mounts.reset();
    m_quiet.stop();
    m_waitingSince.reset();
    if (!enabled) {
        m_watch.reset();
        return;
    }
    // Until a full run, nothing is known of the folders' state.
    m_full = true;
    m_changed.clear();
    m_watch = std::make_unique<platform::FolderWatch>();
    if (!Watching())
        m_report.Append(platform::FormatText(ChangeTexts::kNoInstance, {std::strerror(m_watch->InitError())}));
    Rewatch();
    if (m_watch->EventFd() >= 0) {
        m_events = std::make_unique<QSocketNotifier>(m_watch->EventFd(), QSocketNotifier::Read);
        QObject::connect(m_events.get(), &QSocketNotifier::activated, [this] { TakeEvents(); });
    }
    if (m_watch->MountsFd() >= 0) {
        // The mount table tells of a change by an exceptional condition.
        m_mounts = std::make_unique<QSocketNotifier>(m_watch->MountsFd(), QSocketNotifier::Exception);
        QObject::connect(m_mounts.get(), &QSocketNotifier::activated, [this] { TakeEvents(); });
    }
}

bool ChangeRuns::Watching() const
{
    return m_watch && m_watch->EventFd() >= 0;
}

void ChangeRuns::ListsChanged()
{
    if (Enabled())
        Rewatch();
}

void ChangeRuns::AskFullRun()
{
    m_full = true;
    // Not through the quiet while, which a change meanwhile would start afresh.
    QTimer::singleShot(0, &m_quiet, [this] {
        if (Enabled())
            Quiet();
    });
}

void ChangeRuns::SetQuietTime(std::chrono::milliseconds quiet, std::chrono::milliseconds longest)
{
    m_quietTime = quiet;
    m_longestWait = longest;
}

void ChangeRuns::Rewatch()
{
    std::vector<std::string> folders = FoldersOf(m_list1, m_list2);
    // A folder new to the lists was never brought in step: a full run is due.
    if (folders != m_folders)
        m_full = true;
    m_folders = folders;
    m_watch->SetFolders(m_folders);
    TellProblems();
}

std::size_t ChangeRuns::WatchCount() const
{
    return m_watch ? m_watch->WatchCount() : 0;
}

void ChangeRuns::TellProblems()
{
    using Why = platform::FolderWatch::Problem::Why;
    const std::vector<platform::FolderWatch::Problem> problems = m_watch->TakeProblems();
    if (!Watching())
        return;  // said once for all folders
    for (const platform::FolderWatch::Problem& problem : problems) {
        switch (problem.why) {
        case Why::WatchLimit: m_report.Append(platform::FormatText(ChangeTexts::kWatchLimit, {problem.folder})); break;
        case Why::NoAccess: m_report.Append(platform::FormatText(ChangeTexts::kNoAccess, {problem.folder})); break;
        case Why::NoEvents: m_report.Append(platform::FormatText(ChangeTexts::kNoEvents, {problem.folder})); break;
        case Why::Other:
            m_report.Append(platform::FormatText(ChangeTexts::kOther, {problem.folder, std::strerror(problem.error)}));
            break;
        }
    }
}

bool ChangeRuns::IsOwnWrite(const std::string& folder, const std::string& name) const
{
    if (m_written.empty())
        return false;
    struct stat st {};
    return ::lstat(platform::PathOf(folder, name).c_str(), &st) == 0 && S_ISREG(st.st_mode)
        && m_written.contains(platform::WrittenFileOf(st));
}

void ChangeRuns::TakeEvents()
{
    if (!m_watch)
        return;
    const platform::FolderWatch::Changes changes = m_watch->Read();
    TellProblems();
    bool changed = changes.missed;
    m_full = m_full || changes.missed;
    std::set<std::string> named;  // folders with an event for a name
    for (const auto& [folder, name] : changes.names) {
        named.insert(folder);
        // The copies' own temporary files, and what a run just wrote, are no change.
        if (IsTemporary(folder, name))
            continue;
        if (IsOwnWrite(folder, name))
            continue;

        m_changed.insert(LastPathComponent(folder));
        changed = true;
    }
    // A folder that appeared or went away, with no name to tell.
    for (const std::string& folder : changes.folders) {
        if (!named.contains(folder)) {
            m_changed.insert(LastPathComponent(folder));
            changed = true;
        }
    }
    if (changed)
        Wait();
}

void ChangeRuns::Wait()
{
    // Afresh: a burst of changes gives one run, after it; but a burst that
    // never ends gives its run once the longest wait has passed.
    const Clock::time_point now = Clock::now();
    if (!m_waitingSince)
        m_waitingSince = now;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(m_longestWait - (now - *m_waitingSince));
    m_quiet.start(std::clamp(left, std::chrono::milliseconds(0), m_quietTime));
}

void ChangeRuns::Recorded(const RunRecord& record)
{
    using Kind = RunRecord::Kind;
    switch (record.kind) {
    case Kind::Updated:
    case Kind::Copied: break;  // told by Wrote
    case Kind::NotCopied: m_failed.insert(LastPathComponent(record.folder)); break;
    case Kind::WentAway: m_failed.insert(LastPathComponent(record.path)); break;
    case Kind::ReadOnly:
    case Kind::NotUpdated:
    case Kind::LinkOfAnotherUser:
    case Kind::CaseTwins: m_failed.insert(LastPathComponent(FolderAndName(record.path).first)); break;
    case Kind::NotFullPath:
    case Kind::ThroughLinkOfAnotherUser:
    case Kind::NotThere:
    case Kind::KeptEdit:  // the kept copy is the run's own write, told by Wrote
    case Kind::MemoryProblem: break;
    }
}

void ChangeRuns::Wrote(const platform::WrittenFile& file)
{
    m_written.insert(file);
}

void ChangeRuns::RunFinished(bool completed)
{
    // Its own writes are queued by now: taken at once, and left out.
    TakeEvents();
    m_written.clear();
    if (m_ownRun && completed && m_ownRunFull)
        m_full = false;
    // Cancelled or stopped: what it was to cover waits for the next change.
    if (m_ownRun && !completed) {
        m_changed.insert(m_ownRunNames.begin(), m_ownRunNames.end());
        m_full = m_full || m_ownRunFull;
    }
    // A failure is retried by the next run, as a full run would.
    m_changed.insert(m_failed.begin(), m_failed.end());
    m_failed.clear();
}

void ChangeRuns::Quiet()
{
    m_quiet.stop();  // this run covers what waits
    const bool full = m_full || !m_foldersMode();
    const std::set<std::string> names = std::move(m_changed);
    m_changed.clear();
    m_ownRun = true;
    m_ownRunFull = full;
    m_ownRunNames = names;
    ++m_runsAsked;
    // Changes during the run wait afresh.
    const std::optional<Clock::time_point> waitingSince = std::exchange(m_waitingSince, std::nullopt);
    const bool made = m_run(full ? nullptr : &names);
    m_ownRun = false;
    if (!made) {
        // Busy with another run: asked again after the quiet while.
        m_changed.insert(names.begin(), names.end());
        m_waitingSince = waitingSince;
        m_quiet.start(m_quietTime);
    }
}
