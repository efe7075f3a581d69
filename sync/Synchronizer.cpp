#include "sync/Synchronizer.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <ctime>
#include <memory>
#include <optional>
#include <system_error>

#include "lists/FolderList.h"
#include "platform/FormatText.h"
#include "platform/fs/CopyFile.h"
#include "platform/fs/FileSystem.h"
#include "platform/fs/KeepAlive.h"
#include "platform/fs/KnownFolder.h"
#include "platform/fs/KnownFolders.h"
#include "platform/state/PairMemory.h"
#include "sync/RunEvents.h"
#include "sync/RunState.h"

using platform::KnownFolder;
using platform::KnownFolders;
using platform::PathOf;

namespace {

// Why a copy from source to destination failed, for its Report list line.
std::string SystemReason(int error, const std::string& source, const std::string& destination)
{
    switch (error) {
    case platform::kCopySourceChanged: return platform::kCopySourceChangedText;
    case platform::kCopyDestinationChanged: return platform::kCopyDestinationChangedText;
    case platform::kCopySourceNotAsCompared: return platform::kCopySourceNotAsComparedText;
    case platform::kCopyOldVersionAside: return platform::kCopyOldVersionAsideText;
    case platform::kCopySourceNotAFile: return source + RunTexts::kNotAFile;
    case platform::kCopyDestinationNotAFile: return destination + RunTexts::kNotAFile;
    case platform::kCopyDestinationIsFolder: return RunTexts::kFolderInTheWay;
    case platform::kCopyDestinationIsBrokenLink: return RunTexts::kBrokenLinkInTheWay;
    case platform::kCopySourceIsLinkOfAnotherUser: return source + RunTexts::kLinkOfAnotherUser;
    case platform::kCopyDestinationIsLinkOfAnotherUser: return destination + RunTexts::kLinkOfAnotherUser;
    default: break;
    }
    if (platform::IsCopyCannotKeepReplaced(error)) {
        const int cause = platform::CopyCannotKeepReplacedCause(error);
        return std::string(platform::kCopyCannotKeepReplacedText)
            + (cause != 0 ? " (" + std::system_category().message(cause) + ")" : "");
    }
    return std::system_category().message(error);
}

bool IsLinkOfAnotherUser(std::int32_t age)
{
    return age == platform::kLinkOfAnotherUserAge;
}

// Seconds counted in the two-second steps packed times tell apart (the
// floor, also before 1970), so that a file dated beyond the packed range and
// its copy on a drive that keeps only even seconds compare as equal.
std::int64_t TwoSecondSteps(std::int64_t seconds)
{
    return seconds >= 0 ? seconds / 2 : -((1 - seconds) / 2);
}

// A time as a Report line shows it: UTC, to the second.
std::string UtcText(std::int64_t seconds)
{
    const auto time = static_cast<std::time_t>(seconds);
    std::tm parts{};
    char text[64] = "?";
    if (::gmtime_r(&time, &parts))
        std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S UTC", &parts);
    return text;
}

// Thrown between two copies when the program is told to end; the run
// catches it.
struct RunStopped {};

// Runs the work of a pass, then puts every copy it made in place, also
// when the program is told to end meanwhile: a copy written is never
// dropped for want of its last step.
template <typename Work> void ThenSettle(KnownFolders& known, platform::PairMemory* memory, Work&& work)
{
    // What the copies in place left in step is remembered after them.
    const auto settle = [&] {
        known.Settle();
        if (memory)
            memory->Commit();
    };
    try {
        work();
    } catch (const RunStopped&) {
        settle();
        throw;
    }
    settle();
}

// Both folders were listed in full: the memory drops the pairs of names
// that neither holds any more, so that it stays the size of the folders.
void KeepOnlyNamesOf(platform::PairMemory* memory, const std::string& folder1, const KnownFolder& side1,
                     const std::string& folder2, const KnownFolder& side2)
{
    if (!memory || !side1.Identity() || !side2.Identity())
        return;
    memory->KeepOnlyNames(
        folder1, folder2, [&](const platform::PairMemory::NameVisitor& visit) { side1.ForEachName(visit); },
        [&](const platform::PairMemory::NameVisitor& visit) { side2.ForEachName(visit); });
}

// Resets the running mark however the run ends.
class RunningMark {
public:
    explicit RunningMark(bool& running) : m_running(running) { m_running = true; }
    ~RunningMark() { m_running = false; }
    RunningMark(const RunningMark&) = delete;
    RunningMark& operator=(const RunningMark&) = delete;

private:
    bool& m_running;
};

// Folders and system entries (devices, FIFOs, sockets, links that lead
// nowhere) are yielded with "All Files" but never copied, either way.
bool IsFile(const platform::TSearchRec& rec)
{
    return (rec.Attr & (platform::faDirectory | platform::faSysFile)) == 0;
}

// The file age of the entry a search has just yielded. The search looked at
// the entry by its exact name (following links) as it yielded it, and the
// run has done nothing since, so that look is the answer a lookup would give
// now; what is not a file has no age.
std::int32_t AgeOfYielded(const platform::TSearchRec& rec)
{
    return IsFile(rec) ? rec.Time : -1;
}

// What a search saw of the entry it yielded.
platform::FileSeen SeenOf(const platform::TSearchRec& rec)
{
    return {rec.Time, rec.Device, false, rec.State};
}

// The age of name, an entry of the folder own, in another folder: the exact
// name, else the one name there equal to it but for case, unless own holds a
// twin of name, which is then matched by its exact name only. match tells
// the copies of this entry how to look the name up; seen, when given, what
// was seen of the file found.
std::int32_t AgeElsewhere(KnownFolder& there, KnownFolder& own, const std::string& name, platform::NameMatch& match,
                          platform::FileSeen* seen = nullptr)
{
    bool namesake = false;
    match = platform::NameMatch::CaseBlind;
    const std::int32_t age = there.FileAge(name, &namesake, seen);
    if (!namesake || own.MatchElsewhere(name) == platform::NameMatch::CaseBlind)
        return age;
    match = platform::NameMatch::Exact;
    return -1;
}

// Where one folder of a pair finds names without regard to case and the
// other holds name and a twin of it (equal but for case), both twins would
// reach its one file: a copy of either would replace the other's content.
// Which side holds the twins (1 or 2), or 0.
int SideOfCaseTwins(KnownFolder& side1, KnownFolder& side2, const std::string& name)
{
    if (side1.FoldsCase() == side2.FoldsCase())
        return 0;
    KnownFolder& exact = side1.FoldsCase() ? side2 : side1;
    if (exact.MatchElsewhere(name) != platform::NameMatch::Exact)
        return 0;
    return &exact == &side1 ? 1 : 2;
}

}  // namespace

int CompareFileTimes(std::int32_t age1, const std::string& path1, std::int32_t age2, const std::string& path2,
                     platform::NameMatch match, std::string* note)
{
    const int packed = ComparePackedTimes(age1, age2);
    if (packed != 0 || !platform::IsPackedRangeEnd(age1))
        return packed;
    // Both dated beyond one end of the range: their own times decide.
    const std::optional<std::int64_t> seconds1 = platform::LastWriteSeconds(path1, match);
    const std::optional<std::int64_t> seconds2 = platform::LastWriteSeconds(path2, match);
    if (!seconds1 || !seconds2 || TwoSecondSteps(*seconds1) == TwoSecondSteps(*seconds2))
        return 0;
    const int order = TwoSecondSteps(*seconds1) > TwoSecondSteps(*seconds2) ? 1 : -1;
    if (note) {
        const auto [later, earlier] = order == 1 ? std::pair{*seconds1, *seconds2} : std::pair{*seconds2, *seconds1};
        *note = platform::FormatText(RunTexts::kComparedBeyondPackedTimes, {UtcText(later), UtcText(earlier)});
    }
    return order;
}

int ComparePackedTimes(std::int32_t a, std::int32_t b)
{
    if (a == b)
        return 0;
    // -1 is a missing file, earlier than any; the others compare as the
    // unsigned numbers they are, so that years from 2044 on stay later.
    if (a == -1 || b == -1)
        return a == -1 ? -1 : 1;
    return static_cast<std::uint32_t>(a) > static_cast<std::uint32_t>(b) ? 1 : -1;
}

std::string KeptEditName(const std::string& name, std::int64_t lastWriteSeconds, int count)
{
    // The extension stays last, so that the Extension filter takes the kept
    // edit as it takes the file; a leading dot is no extension.
    const std::size_t dot = name.rfind('.');
    const bool hasExtension = dot != std::string::npos && dot > 0 && dot + 1 < name.size();
    const std::string extension = hasExtension ? name.substr(dot) : std::string();
    std::string stem = hasExtension ? name.substr(0, dot) : name;
    const auto time = static_cast<std::time_t>(lastWriteSeconds);
    std::tm parts{};
    char when[64] = "?";
    if (::localtime_r(&time, &parts))
        std::strftime(when, sizeof when, "%Y-%m-%d %H-%M-%S", &parts);
    const std::string mark = platform::FormatText(RunTexts::kKeptEditNameFormat,
                                                  {std::string(when) + (count > 1 ? " " + std::to_string(count) : "")});
    // Within the longest name a drive takes, cut where a character begins.
    constexpr std::size_t kLongestName = 255;
    const std::size_t room = kLongestName - std::min(kLongestName, mark.size() + extension.size());
    if (stem.size() > room) {
        std::size_t end = room;
        while (end > 0 && (static_cast<unsigned char>(stem[end]) & 0xC0) == 0x80)
            --end;
        stem.resize(end);
    }
    return stem + mark + extension;
}

std::string LastPathComponent(const std::string& folder)
{
    const auto end = folder.find_last_not_of('/');
    if (end == std::string::npos)
        return std::string();
    const auto slash = folder.rfind('/', end);
    const auto start = slash == std::string::npos ? 0 : slash + 1;
    return folder.substr(start, end + 1 - start);
}

Synchronizer::Synchronizer(RunState& state, const FolderList& list1, const FolderList& list2, RunEvents& events)
    : m_state(state),
      m_list1(list1),
      m_list2(list2),
      m_events(events)
{
}

void Synchronizer::SetMemory(platform::PairMemory* memory)
{
    m_memory = memory;
    m_drives.lastSeen = nullptr;
    m_drives.seen = nullptr;
    if (!memory)
        return;
    // Its waits for another copy's lock end when the program is told to end.
    memory->SetStopQuery([this] { return m_events.StopRequested(); });
    // It knows the drive each listed folder was last found on, which tells
    // a folder from the empty one standing in for it while its drive is away.
    m_drives.lastSeen = [memory](const std::string& folder) -> std::optional<std::uint64_t> {
        return memory->LastDeviceOf(folder);
    };
    m_drives.seen = [memory](const std::string& folder, std::uint64_t device) {
        memory->SawOnDevice(folder, static_cast<dev_t>(device));
    };
}

void Synchronizer::CountCopies(Mode mode, Scope scope, const RunOptionValues& options, std::int32_t& count,
                               RunPlan* plan)
{
    m_state.Options = options;
    LookAtListedFolders();
    Count(mode, scope, plan);
    count = m_state.TotalCount;
    if (m_memory)
        m_memory->Commit();  // what the look learnt, with no lock held after it
}

void Synchronizer::Count(Mode mode, Scope scope, RunPlan* plan)
{
    m_plan = plan;
    struct Unplanned {
        RunPlan*& plan;
        ~Unplanned() { plan = nullptr; }
    } const unplanned{m_plan};
    if (mode == Mode::Files)
        FilesBody(scope, &(m_state.TotalCount = 0));
    else
        FoldersBody(scope, &(m_state.TotalCount = 0));
}

void Synchronizer::Run(Mode mode, Scope scope, const RunOptionValues& options, const std::set<std::string>* onlyNamed,
                       Pairs pairs)
{
    if (m_running)
        return;
    m_onlyNamed = mode == Mode::Folders ? onlyNamed : nullptr;
    m_pairs = pairs;
    bool completed = false;
    try {
        completed = RunFrame(mode, scope, options);
    } catch (...) {
        // Whatever ends a run, it is told as over.
        Finish(false);
        throw;
    }
    Finish(completed);
}

bool Synchronizer::RunFrame(Mode mode, Scope scope, const RunOptionValues& options)
{
    const RunningMark mark(m_running);
    m_state.Options = options;
    LookAtListedFolders();
    if (m_memory)
        m_memory->KeepOnly(ListedFolders());
    m_events.Started();

    const bool files = mode == Mode::Files;
    const bool confirmed = m_state.Options.SilentFlag != 1;
    // Only a confirmation shows the plan: a silent run makes none.
    RunPlan plan;
    {
        const platform::KeepAlive alive([this] { m_events.KeepResponsive(); });
        Count(mode, scope, confirmed && m_events.ShowsPlan() ? &plan : nullptr);
    }
    m_state.ProgressCount = 0;
    m_state.FailFlag = 0;
    m_state.Tally = RunTally();
    m_events.Counted(m_state.TotalCount);

    if (confirmed) {
        const char* suffix = files && scope == Scope::All ? RunTexts::kFilesAllSuffix : RunTexts::kSuffix;
        if (!m_events.Confirm(std::to_string(m_state.TotalCount) + suffix, plan))
            return false;
    }

    ReportLeftOut(scope);
    bool completed = true;
    if (m_state.TotalCount != 0) {
        const platform::KeepAlive alive([this] { m_events.KeepResponsive(); });
        try {
            if (files)
                FilesBody(scope, nullptr);
            else
                FoldersBody(scope, nullptr);
        } catch (const RunStopped&) {
            // The program is ending: the copies made stay, the rest waits for the next run.
            completed = false;
        }
    }
    if (m_memory) {
        if (const std::string problem = m_memory->TakeProblem(); !problem.empty())
            Record({RunRecord::Kind::MemoryProblem, problem});
    }
    return completed;
}

std::vector<std::string> Synchronizer::ListedFolders() const
{
    std::vector<std::string> folders;
    for (const FolderList* list : {&m_list1, &m_list2}) {
        for (int i = 0; i < list->Count(); ++i)
            folders.push_back(list->Text(i));
    }
    return folders;
}

void Synchronizer::Finish(bool completed)
{
    m_remembered.clear();
    if (m_memory)
        m_memory->Forget();
    m_onlyNamed = nullptr;
    m_pairs = Pairs::AsDesigned;
    m_events.Finished(completed, m_state.Tally);
}

bool Synchronizer::TakesPart(const FolderList& list, int index, Scope scope) const
{
    const std::vector<int>& problems = &list == &m_list1 ? m_folderProblems1 : m_folderProblems2;
    const auto at = static_cast<std::size_t>(index);
    return (scope == Scope::All || list.Selected(index)) && IsFullFolderPath(list.Text(index))
        && !(at < problems.size() && problems[at] != 0)
        && (!m_onlyNamed || m_onlyNamed->contains(LastPathComponent(list.Text(index))));
}

void Synchronizer::LookAtListedFolders()
{
    const platform::MountTable mounts(m_drives.mounts);
    for (auto [list, problems] : {std::pair{&m_list1, &m_folderProblems1}, std::pair{&m_list2, &m_folderProblems2}}) {
        problems->assign(static_cast<std::size_t>(list->Count()), 0);
        for (int i = 0; i < list->Count(); ++i) {
            const std::string& text = list->Text(i);
            if (IsFullFolderPath(text))
                (*problems)[static_cast<std::size_t>(i)] = ListedFolderProblem(text, m_drives, mounts);
        }
    }
}

void Synchronizer::ReportLeftOut(Scope scope)
{
    // What is no longer listed is forgotten: listed again, it is said again.
    const std::vector<std::string> listed = ListedFolders();
    const std::set<std::string> stillListed(listed.begin(), listed.end());
    std::erase_if(m_saidNotThere, [&](const auto& said) { return !stillListed.contains(said.first); });
    for (auto [list, problems] : {std::pair{&m_list1, &m_folderProblems1}, std::pair{&m_list2, &m_folderProblems2}}) {
        for (int i = 0; i < list->Count(); ++i) {
            const std::string& text = list->Text(i);
            if ((scope == Scope::Selected && !list->Selected(i))
                || (m_onlyNamed && !m_onlyNamed->contains(LastPathComponent(text))))
                continue;
            const int problem = (*problems)[static_cast<std::size_t>(i)];
            if (!IsFullFolderPath(text))
                Record({RunRecord::Kind::NotFullPath, text});
            else if (problem == platform::kPathThroughLinkOfAnotherUser)
                Record({RunRecord::Kind::ThroughLinkOfAnotherUser, text});
            else if (problem != 0)
                ReportNotThere(text, problem);
            else
                m_saidNotThere.erase(text);
        }
    }
}

void Synchronizer::ReportNotThere(const std::string& folder, int error)
{
    const RunRecord record(RunRecord::Kind::NotThere, folder, {},
                           error == ENOENT ? std::string() : std::system_category().message(error));
    // Said when it goes away (or fails otherwise), not again by every timer
    // run while the drive stays away; every run counts it all the same.
    const auto [said, isNew] = m_saidNotThere.try_emplace(folder, error);
    if (isNew || said->second != error) {
        said->second = error;
        Record(record);
    } else {
        m_state.Tally.Count(record);
    }
}

void Synchronizer::Record(const RunRecord& record)
{
    m_state.Tally.Count(record);
    // A folder that is not there is no failure: the drive may come back.
    if (record.Failed() || (record.LeftOut() && record.kind != RunRecord::Kind::NotThere))
        m_state.FailFlag = 1;
    m_events.Recorded(record);
}

void Synchronizer::ReportLinkOfAnotherUser(const std::string& path)
{
    Record({RunRecord::Kind::LinkOfAnotherUser, path});
}

bool Synchronizer::ReportedLinks(const std::string& path1, std::int32_t age1, const std::string& path2,
                                 std::int32_t age2, bool& said1)
{
    const bool link1 = IsLinkOfAnotherUser(age1);
    const bool link2 = IsLinkOfAnotherUser(age2);
    if (link1 && !said1)
        ReportLinkOfAnotherUser(path1);
    said1 = said1 || link1;
    if (link2)
        ReportLinkOfAnotherUser(path2);
    return link1 || link2;
}

std::string Synchronizer::SearchMask(const std::string& folder) const
{
    return PathOf(folder, "*." + m_state.Options.SearchExt);
}

void Synchronizer::ProgressStep()
{
    platform::KeepAlive::Beat();
    ++m_state.ProgressCount;
    const double percent = static_cast<double>(m_state.ProgressCount) * 100.0 / m_state.TotalCount;
    // Halves go to the even neighbour, like the default rounding mode.
    m_events.Progressed(static_cast<int>(std::nearbyint(percent)));
    if (m_events.StopRequested())
        throw RunStopped();
}

// Files mode, body (count == nullptr) or pre-count: every yielded entry of a
// List 1 folder against the same name in every List 2 folder.
void Synchronizer::FilesBody(Scope scope, std::int32_t* count)
{
    KnownFolders known;
    known.SetKeepReplaced(KeepsReplaced());
    known.SetOnWritten([this](const platform::WrittenFile& file) { m_events.Wrote(file); });
    // The List 2 folders taking part, by List2Index; read when the first
    // entry needs them, all at once.
    std::optional<std::vector<KnownFolder*>> folders2;
    ThenSettle(known, m_memory, [&] {
        for (m_walk.List1Index = m_list1.Count() - 1; m_walk.List1Index >= 0; --m_walk.List1Index) {
            if (TakesPart(m_list1, m_walk.List1Index, scope))
                FilesFolder(known, folders2, m_list1.Text(m_walk.List1Index), scope, count);
        }
    });
}

std::vector<KnownFolder*> Synchronizer::ReadList2(KnownFolders& known, Scope scope) const
{
    std::vector<std::string> texts;
    for (int i = 0; i < m_list2.Count(); ++i) {
        if (TakesPart(m_list2, i, scope))
            texts.push_back(m_list2.Text(i));
    }
    known.Read(texts);
    std::vector<KnownFolder*> folders2(static_cast<std::size_t>(m_list2.Count()), nullptr);
    std::vector<KnownFolder*> taking;
    for (int i = 0; i < m_list2.Count(); ++i) {
        if (TakesPart(m_list2, i, scope))
            taking.push_back(folders2[static_cast<std::size_t>(i)] = &known.NamesIn(m_list2.Text(i)));
    }
    known.IndexNames(taking);
    return folders2;
}

// Files mode: the yielded entries of one List 1 folder.
void Synchronizer::FilesFolder(KnownFolders& known, std::optional<std::vector<KnownFolder*>>& folders2,
                               const std::string& folder1, Scope scope, std::int32_t* count)
{
    std::string pattern;
    KnownFolder& searched = known.Searched(SearchMask(folder1), pattern);
    KnownFolder& side1 = known.NamesIn(folder1);
    {
        // The pre-count only counts names (what each entry is, the listing
        // tells), unless only pairs out of step count.
        KnownFolder::Search search(searched, pattern, static_cast<std::uint32_t>(m_state.Options.SearchAttr),
                                   count != nullptr && m_pairs == Pairs::AsDesigned);
        while (search.Next(m_walk.SearchRec)) {
            if (!folders2)
                folders2 = ReadList2(known, scope);
            FilesEntry(known, *folders2, side1, folder1, scope, count);
        }
    }
    // The pre-count has listed this folder and the List 2 folders in full.
    for (std::size_t i = 0; count && folders2 && i < folders2->size(); ++i) {
        if ((*folders2)[i])
            KeepOnlyNamesOf(m_memory, folder1, side1, m_list2.Text(static_cast<int>(i)), *(*folders2)[i]);
    }
    // Unless it is a List 2 folder too, the folder is done with.
    known.Forget(searched);
    if (&side1 != &searched)
        known.Forget(side1);
}

// What the pairs of one List 1 entry share: its folders, and what the run
// left of its file so far.
struct Synchronizer::List1Entry {
    KnownFolders& known;
    const std::vector<KnownFolder*>& folders2;
    KnownFolder& side1;
    const std::string& folder1;
    Scope scope;
    // Only the folders that hold the name (or might) are asked.
    KnownFolders::Holders holders;
    std::shared_ptr<List1File> left1;
    List1Copies copies;
    // Which pairs the body compared (by List2Index).
    std::vector<bool> compared;
};

// One yielded List 1 entry against the same name in every List 2 folder.
void Synchronizer::FilesEntry(KnownFolders& known, const std::vector<KnownFolder*>& folders2, KnownFolder& side1,
                              const std::string& folder1, Scope scope, std::int32_t* count)
{
    m_walk.CurrentName = m_walk.SearchRec.Name;
    m_walk.Age1 = m_walk.SearchRec.Time;
    // Age1 stays as the search saw it, but a copy over the List 1 file, or
    // from it, must know what the run left there, so that no save made since
    // is replaced unseen and no file put in its place is copied. The copy
    // over it is told later, when it is in place.
    List1Entry entry{known,
                     folders2,
                     side1,
                     folder1,
                     scope,
                     known.HoldersOf(m_walk.CurrentName),
                     std::make_shared<List1File>(List1File{SeenOf(m_walk.SearchRec)}),
                     {},
                     std::vector<bool>(static_cast<std::size_t>(m_list2.Count()), false)};
    for (int index = m_list2.Count() - 1; index >= 0; --index) {
        if (FilesPairWith(entry, index, false, count) && !count)
            ProgressStep();
    }
    if (!count)
        FilesPassOnBefore(entry);
}

bool Synchronizer::FilesPairWith(List1Entry& entry, int index, bool again, std::int32_t* count)
{
    m_walk.List2Index = index;
    const auto at = static_cast<std::size_t>(index);
    if (!TakesPart(m_list2, index, entry.scope) || (again && !entry.compared[at]))
        return false;
    KnownFolder& side2 = *entry.folders2[at];
    const std::string& folder2 = m_list2.Text(index);
    // Twins in List 1 would both pair with one file there; twins in
    // List 2 pair by their exact names.
    if (!again && entry.holders.MayHold(side2)
        && LeftAsCaseTwin(entry.side1, side2, CaseTwins::List1Only, entry.folder1, folder2, count))
        return false;
    platform::NameMatch match = platform::NameMatch::CaseBlind;
    platform::FileSeen seen2;
    // One look at the List 2 name answers both "is it there" and "how old".
    const std::int32_t age2 = entry.holders.MayHold(side2)
        ? AgeElsewhere(side2, entry.side1, m_walk.CurrentName, match, &seen2)
        : -1;
    List1File& left1 = *entry.left1;
    // Equal times are out of step only as designed; what is no file is said.
    const bool inStep = m_pairs == Pairs::OutOfStep && age2 != -1 && !seen2.notAFile
        && CompareFileTimes(left1.seen.age, PathOf(entry.folder1, m_walk.CurrentName), age2,
                            PathOf(folder2, m_walk.CurrentName), match, nullptr)
            == 0;
    if (inStep && IsFile(m_walk.SearchRec))
        RememberInStep(entry.folder1, folder2, m_walk.CurrentName, left1.seen.state, seen2.state, match);
    if (age2 == -1 || inStep)
        return true;
    // The plan tells which way a pair goes: the pre-count, which counts
    // names, looks at a List 1 file once it has a pair.
    if (count && m_plan && left1.seen.age == -1 && IsFile(m_walk.SearchRec)) {
        left1.seen.state = LookAtYielded(entry.side1, true);
        left1.seen.age = m_walk.Age1;
    }
    if (!again)
        entry.compared[at] = FilesOutOfStep(entry.known, entry.folder1, match, seen2, age2, entry.left1, entry.copies,
                                            count);
    else if (IsFile(m_walk.SearchRec) && !seen2.notAFile)
        FilesPassOn(entry.known, entry.folder1, match, seen2, age2, entry.left1);
    return true;
}

// A copy over the List 1 file brought it another List 2 copy's version: the
// pairs compared before it get that version too, so that one run leaves one
// content in every copy.
void Synchronizer::FilesPassOnBefore(List1Entry& entry)
{
    const int carriedFrom = entry.copies.lastOverList1;
    if (carriedFrom < 0
        || std::none_of(entry.compared.begin() + carriedFrom + 1, entry.compared.end(), [](bool was) { return was; }))
        return;
    if (std::exchange(entry.copies.list1Copying, false))
        entry.known.Settle();
    if (!entry.left1->carriesCopy)
        return;
    for (int index = m_list2.Count() - 1; index > carriedFrom; --index)
        FilesPairWith(entry, index, true, nullptr);
}

bool Synchronizer::FilesOutOfStep(KnownFolders& known, const std::string& folder1, platform::NameMatch match,
                                  const platform::FileSeen& seen2, std::int32_t age2,
                                  const std::shared_ptr<List1File>& left1, List1Copies& copies, std::int32_t* count)
{
    if (count) {
        ++*count;
        if (m_plan)
            PlanFilesPair(folder1, match, left1->seen, seen2, age2);
        return false;
    }
    if (!IsFile(m_walk.SearchRec))
        return false;
    m_walk.Age2 = age2;
    // Every copy of the entry reads or writes the List 1 file: one that
    // writes it is in place before the next begins.
    if (copies.list1Copying)
        known.Settle();
    bool compared = false;
    copies.list1Copying = FilesPair(known, folder1, match, seen2, left1, copies.link1Reported, compared);
    if (copies.list1Copying)
        copies.lastOverList1 = m_walk.List2Index;
    return compared;
}

// Files mode, body: a pair compared before the List 1 file was written from
// another List 2 copy gets that file's version where it is now the later,
// or, of one time, where the two differ.
void Synchronizer::FilesPassOn(KnownFolders& known, const std::string& folder1, platform::NameMatch match,
                               const platform::FileSeen& seen2, std::int32_t age2,
                               const std::shared_ptr<List1File>& left1)
{
    const std::string path1 = PathOf(folder1, m_walk.CurrentName);
    const std::string path2 = PathOf(m_list2.Text(m_walk.List2Index), m_walk.CurrentName);
    std::string note;
    const int order = CompareFileTimes(left1->seen.age, path1, age2, path2, match, &note);
    if (order == 1 || (order == 0 && !platform::HoldTheSameBytes(path1, path2, match)))
        UpdateCopy(known, path1, path2, match, age2, left1->seen, note,
                   {folder1, m_list2.Text(m_walk.List2Index), m_walk.CurrentName, false, seen2.state});
}

void Synchronizer::PlanFilesPair(const std::string& folder1, platform::NameMatch match, const platform::FileSeen& seen1,
                                 const platform::FileSeen& seen2, std::int32_t age2)
{
    if (m_plan->Skipped())
        return;
    const std::string& folder2 = m_list2.Text(m_walk.List2Index);
    const std::string path1 = PathOf(folder1, m_walk.CurrentName);
    const std::string path2 = PathOf(folder2, m_walk.CurrentName);
    if (!IsFile(m_walk.SearchRec))
        m_plan->Leave(path1, RunPlan::LeftAlone::NotAFile);
    else if (IsLinkOfAnotherUser(seen1.age) || IsLinkOfAnotherUser(age2))
        m_plan->Leave(IsLinkOfAnotherUser(seen1.age) ? path1 : path2, RunPlan::LeftAlone::LinkOfAnotherUser);
    else if (seen2.notAFile)
        m_plan->Leave(path1, RunPlan::LeftAlone::NotAFileInTheWay);
    else if (CompareFileTimes(seen1.age, path1, age2, path2, match, nullptr) == 1)
        PlanReplace({folder1, folder2, m_walk.CurrentName, false, seen2.state}, match);
    else  // equal times too: as the body copies them
        PlanReplace({folder1, folder2, m_walk.CurrentName, true, seen1.state}, match);
}

void Synchronizer::PlanReplace(const PairOf& pair, platform::NameMatch match)
{
    const std::string path1 = PathOf(pair.folder1, pair.name);
    const std::string path2 = PathOf(pair.folder2, pair.name);
    const std::string& source = pair.writesFirst ? path2 : path1;
    const std::string& destination = pair.writesFirst ? path1 : path2;
    // As the copy finds it: a read-only file is not replaced.
    if (platform::FileIsReadOnly(destination, match))
        m_plan->Leave(destination, RunPlan::LeftAlone::ReadOnly);
    else
        m_plan->Copy(source, pair.writesFirst ? pair.folder1 : pair.folder2,
                     pair.writesFirst ? RunPlan::Way::ToList1 : RunPlan::Way::ToList2, true,
                     KeepsEditOf(pair, source, destination, match));
}

// Files mode, body: the current List 1 entry against its name in List 2
// folder List2Index, seen there as seen2. True when the copy made writes
// the List 1 file.
bool Synchronizer::FilesPair(KnownFolders& known, const std::string& folder1, platform::NameMatch match,
                             const platform::FileSeen& seen2, const std::shared_ptr<List1File>& left1,
                             bool& link1Reported, bool& compared)
{
    const std::string path1 = PathOf(folder1, m_walk.CurrentName);
    const std::string path2 = PathOf(m_list2.Text(m_walk.List2Index), m_walk.CurrentName);
    // A link of another user is neither read nor written through: said
    // once for the List 1 entry, and for each List 2 name.
    if (ReportedLinks(path1, m_walk.Age1, path2, m_walk.Age2, link1Reported))
        return false;
    if (seen2.notAFile) {
        ReportNotAFileInTheWay(m_list2.Text(m_walk.List2Index), path2);
        return false;
    }
    compared = true;
    // The List 1 file as it is now: a copy over it earlier in this run
    // brought it that copy's time.
    std::string note;
    const int order = CompareFileTimes(left1->seen.age, path1, m_walk.Age2, path2, match, &note);
    // Equal times copy List 2 over List 1 where both hold the same bytes.
    // Two versions of one time are both kept: the one replaced beside its
    // file; and a List 1 file that carries another List 2 copy's version by
    // now passes it on, so that the copies settle on one content.
    const bool sameBytes = order == 0 && platform::HoldTheSameBytes(path1, path2, match);
    if (order == 1 || (order == 0 && !sameBytes && left1->carriesCopy)) {
        UpdateCopy(known, path1, path2, match, m_walk.Age2, left1->seen, note,
                   {folder1, m_list2.Text(m_walk.List2Index), m_walk.CurrentName, false, seen2.state});
        return false;
    }
    // Once in place, the List 1 file is the copy: on the List 1 drive, in the state it was written.
    UpdateCopy(known, path2, path1, match, left1->seen.age, seen2, note,
               {folder1, m_list2.Text(m_walk.List2Index), m_walk.CurrentName, true, left1->seen.state},
               [left1, seen2, sameBytes](std::uint64_t written) {
                   left1->seen = {seen2.age, 0, false, written};
                   left1->carriesCopy = left1->carriesCopy || !sameBytes;
               });
    return true;
}

// Folders mode, body or pre-count: every List 1 folder with every List 2
// folder of the same last path component.
void Synchronizer::FoldersBody(Scope scope, std::int32_t* count)
{
    for (m_walk.List1Index = m_list1.Count() - 1; m_walk.List1Index >= 0; --m_walk.List1Index) {
        if (!TakesPart(m_list1, m_walk.List1Index, scope))
            continue;
        m_walk.FolderName1 = LastPathComponent(m_list1.Text(m_walk.List1Index));
        for (m_walk.List2Index = m_list2.Count() - 1; m_walk.List2Index >= 0; --m_walk.List2Index) {
            if (!TakesPart(m_list2, m_walk.List2Index, scope))
                continue;
            m_walk.FolderName2 = LastPathComponent(m_list2.Text(m_walk.List2Index));
            // A text without a name of its own ("/") pairs with nothing.
            if (m_walk.FolderName1 == m_walk.FolderName2 && !m_walk.FolderName1.empty())
                FolderPair(m_list1.Text(m_walk.List1Index), m_list2.Text(m_walk.List2Index), count);
        }
    }
}

void Synchronizer::FolderPair(const std::string& folder1, const std::string& folder2, std::int32_t* count)
{
    const auto attr = static_cast<std::uint32_t>(m_state.Options.SearchAttr);
    // Both folders are read afresh for the pair, at once, with a look at
    // every name that search A will compare (the body: that it will yield).
    KnownFolders known;
    known.SetKeepReplaced(KeepsReplaced());
    known.SetOnWritten([this](const platform::WrittenFile& file) { m_events.Wrote(file); });
    known.ReadPair(folder1, folder2, "*." + m_state.Options.SearchExt, attr, count != nullptr);
    try {
        ThenSettle(known, m_memory, [&] {
            FolderPairSearchA(known, folder1, folder2, count);
            FolderPairSearchB(known, folder1, folder2, count);
            if (count)
                KeepOnlyNamesOf(m_memory, folder1, known.NamesIn(folder1), folder2, known.NamesIn(folder2));
        });
    } catch (const RunStopped&) {
        ReportWentAway();  // the copies in place told it, also of a run stopped
        throw;
    }
    ReportWentAway();
}

void Synchronizer::ReportWentAway()
{
    for (const auto& [folder, files] : m_wentAway)
        Record(RunRecord::WentAwayOf(folder, files));
    m_wentAway.clear();
}

// Search A: what F1 has, against F2.
void Synchronizer::FolderPairSearchA(KnownFolders& known, const std::string& folder1, const std::string& folder2,
                                     std::int32_t* count)
{
    KnownFolder& side1 = known.NamesIn(folder1);
    KnownFolder& side2 = known.NamesIn(folder2);
    std::string pattern;
    // The pre-count needs no look at an entry F2 lacks: it is counted
    // whatever its time.
    KnownFolder::Search search(known.Searched(SearchMask(folder1), pattern), pattern,
                               static_cast<std::uint32_t>(m_state.Options.SearchAttr), count != nullptr);
    while (search.Next(m_walk.SearchRec)) {
        m_walk.CurrentName = m_walk.SearchRec.Name;
        if (LeftAsCaseTwin(side1, side2, CaseTwins::List1, folder1, folder2, count))
            continue;
        // Both times are taken before anything is copied for this entry.
        m_walk.Age1 = AgeOfYielded(m_walk.SearchRec);
        platform::NameMatch match = platform::NameMatch::CaseBlind;
        platform::FileSeen seen2;
        m_walk.Age2 = AgeElsewhere(side2, side1, m_walk.CurrentName, match, &seen2);
        const bool exists2 = m_walk.Age2 != -1;
        const std::uint64_t state1 = LookAtYielded(side1, count && exists2);
        const std::string path1 = PathOf(folder1, m_walk.CurrentName);
        const std::string path2 = PathOf(folder2, m_walk.CurrentName);
        std::string note;
        const int order = exists2 ? CompareFileTimes(m_walk.Age1, path1, m_walk.Age2, path2, match, &note) : 1;
        const bool link = IsLinkOfAnotherUser(m_walk.Age1) || IsLinkOfAnotherUser(m_walk.Age2);
        // A pair in step is remembered as the run finds it, in the pre-count
        // already: a run with nothing to copy has no body.
        const bool inStep = exists2 && order == 0 && !link && !seen2.notAFile && IsFile(m_walk.SearchRec);
        if (inStep)
            RememberInStep(folder1, folder2, m_walk.CurrentName, state1, seen2.state, match);
        if (count) {
            CountFolderPairEntry(folder1, folder2, match, exists2 ? order : 2, link, seen2, state1, *count);
            continue;
        }
        // What is not a file is counted as the pre-count counts it, but
        // never copied.
        if (IsFile(m_walk.SearchRec) && link) {
            bool link1Reported = false;
            ReportedLinks(path1, m_walk.Age1, path2, m_walk.Age2, link1Reported);  // neither read nor written through
        } else if (IsFile(m_walk.SearchRec)) {
            FolderPairCopy(known, folder1, folder2, match, exists2 ? order : 2, seen2, note);
        }
        ProgressStep();
    }
}

void Synchronizer::CountFolderPairEntry(const std::string& folder1, const std::string& folder2,
                                        platform::NameMatch match, int order, bool link,
                                        const platform::FileSeen& seen2, std::uint64_t state1, std::int32_t& count)
{
    // Equal times leave a pair alone, unless something else stands in the way.
    if (order == 0 && !link && !seen2.notAFile)
        return;
    ++count;
    if (!m_plan || m_plan->Skipped())
        return;
    const std::string path1 = PathOf(folder1, m_walk.CurrentName);
    // Most entries of a large plan are new files: made without a second path.
    if (IsFile(m_walk.SearchRec) && !link && order == 2) {
        m_plan->Copy(path1, folder2, RunPlan::Way::ToList2, false);
        return;
    }
    const std::string path2 = PathOf(folder2, m_walk.CurrentName);
    if (!IsFile(m_walk.SearchRec))
        m_plan->Leave(path1, RunPlan::LeftAlone::NotAFile);
    else if (link)
        m_plan->Leave(IsLinkOfAnotherUser(m_walk.Age1) ? path1 : path2, RunPlan::LeftAlone::LinkOfAnotherUser);
    else if (seen2.notAFile)
        m_plan->Leave(path1, RunPlan::LeftAlone::NotAFileInTheWay);
    else
        PlanReplace({folder1, folder2, m_walk.CurrentName, order != 1, order == 1 ? seen2.state : state1}, match);
}

// The state of the entry a search yielded; one yielded by name only (the
// pre-count) is looked at when needed, and Age1 set to its time.
std::uint64_t Synchronizer::LookAtYielded(KnownFolder& side1, bool needed)
{
    if (!needed || !IsFile(m_walk.SearchRec) || m_walk.SearchRec.Time != -1)
        return m_walk.SearchRec.State;
    platform::FileSeen seen1;
    m_walk.Age1 = side1.FileAge(m_walk.CurrentName, nullptr, &seen1);
    return seen1.state;
}

// Search A's copy of the current entry, whose times compare as order (2:
// F2 lacks it), F2's seen as seen2.
void Synchronizer::FolderPairCopy(KnownFolders& known, const std::string& folder1, const std::string& folder2,
                                  platform::NameMatch match, int order, const platform::FileSeen& seen2,
                                  const std::string& note)
{
    const std::string path1 = PathOf(folder1, m_walk.CurrentName);
    const std::string path2 = PathOf(folder2, m_walk.CurrentName);
    if (order == 2)
        CopyMissing(known, path1, folder2, match, {folder1, folder2, m_walk.CurrentName, false});
    else if (seen2.notAFile)
        ReportNotAFileInTheWay(folder2, path2);
    else if (order == 1)
        UpdateCopy(known, path1, path2, match, m_walk.Age2, SeenOf(m_walk.SearchRec), note,
                   {folder1, folder2, m_walk.CurrentName, false, seen2.state});
    else if (order == -1)
        UpdateCopy(known, path2, path1, match, m_walk.Age1, seen2, note,
                   {folder1, folder2, m_walk.CurrentName, true, m_walk.SearchRec.State});
}

// Search B: what only F2 has goes to F1. Of an F2 entry only its name and
// whether it is a folder are used, which the folder's listing tells without
// a look at each entry (its time is never read here).
void Synchronizer::FolderPairSearchB(KnownFolders& known, const std::string& folder1, const std::string& folder2,
                                     std::int32_t* count)
{
    KnownFolder& side1 = known.NamesIn(folder1);
    KnownFolder& side2 = known.NamesIn(folder2);
    std::string pattern;
    KnownFolder::Search search(known.Searched(SearchMask(folder2), pattern), pattern,
                               static_cast<std::uint32_t>(m_state.Options.SearchAttr), true);
    while (search.Next(m_walk.SearchRec)) {
        m_walk.CurrentName = m_walk.SearchRec.Name;
        if (LeftAsCaseTwin(side1, side2, CaseTwins::List2, folder2, folder1, count))
            continue;
        platform::NameMatch match = platform::NameMatch::CaseBlind;
        platform::FileSeen seen1;
        if (AgeElsewhere(side1, side2, m_walk.CurrentName, match, &seen1) == -1) {
            if (count)
                PlanMissingInFirst(folder1, folder2, RunPlan::LeftAlone::NotAFile, count);
            else if (IsFile(m_walk.SearchRec) && IsLinkOfAnotherUser(m_walk.SearchRec.Time))
                ReportLinkOfAnotherUser(PathOf(folder2, m_walk.CurrentName));
            else if (IsFile(m_walk.SearchRec))
                CopyMissing(known, PathOf(folder2, m_walk.CurrentName), folder1, match,
                            {folder1, folder2, m_walk.CurrentName, true});
        } else if (seen1.notAFile && IsFile(m_walk.SearchRec)) {
            // Search A passed over it: what stands in F1 is no file of its own.
            if (count)
                PlanMissingInFirst(folder1, folder2, RunPlan::LeftAlone::NotAFileInTheWay, count);
            else
                ReportNotAFileInTheWay(folder1, PathOf(folder1, m_walk.CurrentName));
        }
        if (!count)
            ProgressStep();
    }
}

void Synchronizer::PlanMissingInFirst(const std::string& folder1, const std::string& folder2, RunPlan::LeftAlone why,
                                      std::int32_t* count)
{
    ++*count;
    if (!m_plan || m_plan->Skipped())
        return;
    const std::string path2 = PathOf(folder2, m_walk.CurrentName);
    if (why == RunPlan::LeftAlone::NotAFileInTheWay || !IsFile(m_walk.SearchRec))
        m_plan->Leave(path2, why);
    else if (IsLinkOfAnotherUser(m_walk.SearchRec.Time))
        m_plan->Leave(path2, RunPlan::LeftAlone::LinkOfAnotherUser);
    else
        m_plan->Copy(path2, folder1, RunPlan::Way::ToList1, false);
}

bool Synchronizer::LeftAsCaseTwin(KnownFolder& side1, KnownFolder& side2, CaseTwins searched, const std::string& folder,
                                  const std::string& other, std::int32_t* count)
{
    const int twins = SideOfCaseTwins(side1, side2, m_walk.CurrentName);
    const bool ofSearched = twins == (searched == CaseTwins::List2 ? 2 : 1);
    if (twins == 0 || (searched == CaseTwins::List1Only && !ofSearched))
        return false;
    // Both twins are left alone, and said by the search that yields them.
    if (ofSearched && IsFile(m_walk.SearchRec)) {
        if (count && m_plan && !m_plan->Skipped())
            m_plan->Leave(PathOf(folder, m_walk.CurrentName), RunPlan::LeftAlone::CaseTwins);
        if (count)
            ++*count;
        else
            ReportCaseTwins(PathOf(folder, m_walk.CurrentName), other);
    }
    if (!count)
        ProgressStep();
    return true;
}

void Synchronizer::ReportCaseTwins(const std::string& path, const std::string& caseBlindFolder)
{
    Record({RunRecord::Kind::CaseTwins, path, caseBlindFolder});
}

void Synchronizer::ReportNotAFileInTheWay(const std::string& folder, const std::string& path)
{
    Record({RunRecord::Kind::NotCopied, m_walk.CurrentName, folder, path + RunTexts::kNotAFile});
}

bool Synchronizer::KeepsReplaced() const
{
    return m_state.Options.KeepReplaced == 1;
}

// Copies source over destination and reports what became of the destination.
void Synchronizer::UpdateCopy(KnownFolders& known, const std::string& source, const std::string& destination,
                              platform::NameMatch match, std::int32_t destinationAge,
                              const platform::FileSeen& sourceSeen, const std::string& note, const PairOf& pair,
                              std::function<void(std::uint64_t written)> updated)
{
    if (!KeepEdit(known, source, destination, match, pair))
        return;  // an edit that could not be kept is not replaced
    known.CopyFile(
        source, destination, false, match, destinationAge,
        [this, source, destination, match, note, pair,
         updated = std::move(updated)](int error, const KnownFolders::CopiedStates& states) {
            using Kind = RunRecord::Kind;
            if (error == 0) {
                // A copy of the replaced file in the home Trash takes room there: said.
                const std::string kept = states.replacedCopiedToTrash ? RunTexts::kReplacedCopiedToTrash : "";
                Record(
                    {Kind::Updated, destination, {}, note.empty() || kept.empty() ? note + kept : note + "; " + kept});
                RememberCopied(pair, states);
                if (updated)
                    updated(states.written);
                return;
            }
            if (error == platform::kCopySameFile)
                return;  // one file under both names: nothing to bring in step
            const bool link = error == platform::kCopySourceIsLinkOfAnotherUser
                || error == platform::kCopyDestinationIsLinkOfAnotherUser;
            if (!link && platform::FileExists(destination, match) && platform::FileIsReadOnly(destination, match))
                Record({Kind::ReadOnly, destination});
            else
                Record({Kind::NotUpdated, destination, {}, SystemReason(error, source, destination)});
        },
        sourceSeen);
}

// Copies a file that the other folder lacks, never replacing anything. A
// file of that name that appeared there meanwhile (the next run compares
// the two) and a missing destination folder (an unplugged drive) are
// expected and stay silent. Any other failure is reported: a folder or a
// link that leads nowhere under the file's name would keep it out on every
// run.
void Synchronizer::CopyMissing(KnownFolders& known, const std::string& source, const std::string& destinationFolder,
                               platform::NameMatch match, const PairOf& pair)
{
    const std::string destination = PathOf(destinationFolder, m_walk.CurrentName);
    // Made there, such a name would fail, or come back as another file.
    if (!known.NamesIn(destinationFolder).CanHoldName(m_walk.CurrentName)) {
        Record({RunRecord::Kind::NotCopied, m_walk.CurrentName, destinationFolder, RunTexts::kNameNotHeld});
        return;
    }
    if (known.NamesIn(pair.writesFirst ? pair.folder2 : pair.folder1).MadeUpName(m_walk.CurrentName)) {
        Record({RunRecord::Kind::NotCopied, m_walk.CurrentName, destinationFolder, RunTexts::kMadeUpName});
        return;
    }
    known.CopyFile(
        source, destination, true, match, std::nullopt,
        [this, name = m_walk.CurrentName, source, destination, destinationFolder,
         pair](int error, const KnownFolders::CopiedStates& states) {
            if (error == 0) {
                Record({RunRecord::Kind::Copied, name, destinationFolder});
                RememberCopied(pair, states);
                return;
            }
            if (error == EEXIST)
                return;  // another program made it meanwhile
            if (!platform::DirectoryExists(destinationFolder)) {
                ++m_wentAway[destinationFolder];
                return;
            }
            Record({RunRecord::Kind::NotCopied, name, destinationFolder, SystemReason(error, source, destination)});
        });
}

bool Synchronizer::KeepsEditOf(const PairOf& pair, const std::string& source, const std::string& destination,
                               platform::NameMatch match)
{
    if (!m_memory || pair.seenState == 0)
        return false;
    const std::optional<platform::PairMemory::Sides> remembered = m_memory->Recall(pair.folder1, pair.folder2,
                                                                                   pair.name);
    if (remembered) {
        // What a run left there is no edit: its version was carried.
        if ((pair.writesFirst ? remembered->first : remembered->second) == pair.seenState)
            return false;
    } else if (!m_memory->KnewPairs(pair.folder1, pair.folder2)) {
        // Folders no run has left in step (the first run, a folder new to
        // the lists, a memory lost) go as they always went. Where runs did,
        // a name new to both sides holds two people's versions.
        return false;
    }
    // The file holds an edit no run carried, unless it holds what replaces
    // it, or it is not going to be replaced at all.
    return platform::MayReplace(destination, match) && !platform::HoldTheSame(source, destination, match);
}

bool Synchronizer::KeepEdit(KnownFolders& known, const std::string& source, const std::string& destination,
                            platform::NameMatch match, const PairOf& pair)
{
    if (!KeepsEditOf(pair, source, destination, match))
        return true;
    const std::string& folder = pair.writesFirst ? pair.folder1 : pair.folder2;
    const std::int64_t seconds = platform::LastWriteSeconds(destination, match).value_or(0);
    std::string kept;
    int error = EEXIST;
    for (int n = 1; n <= 9 && error == EEXIST; ++n) {
        kept = KeptEditName(pair.name, seconds, n);
        error = known.CopyFile(destination, PathOf(folder, kept), true, match);
        // A version kept beside it before (by a run stopped since, say) is not kept again.
        if (error == EEXIST && platform::HoldTheSame(destination, PathOf(folder, kept), match))
            return true;
    }
    if (error != 0) {
        Record({RunRecord::Kind::NotUpdated,
                destination,
                {},
                RunTexts::kEditNotKept + SystemReason(error, destination, PathOf(folder, kept))});
        return false;
    }
    Record(RunRecord::KeptEditOf(destination, kept));
    return true;
}

void Synchronizer::RememberCopied(const PairOf& pair, const KnownFolders::CopiedStates& states)
{
    if (!m_memory || states.written == 0 || states.source == 0)
        return;
    m_memory->Remember(pair.folder1, pair.folder2, pair.name,
                       pair.writesFirst ? platform::PairMemory::Sides{states.written, states.source}
                                        : platform::PairMemory::Sides{states.source, states.written});
}

void Synchronizer::RememberInStep(const std::string& folder1, const std::string& folder2, const std::string& name,
                                  std::uint64_t state1, std::uint64_t state2, platform::NameMatch match)
{
    if (!m_memory || state1 == 0 || state2 == 0)
        return;
    // Asked for every pair of every run: the folders' pairs are found by
    // the list entries' own texts, which stay put for the run.
    const platform::PairMemory::Folders*& remembered = m_remembered[{&folder1, &folder2}];
    if (!remembered)
        remembered = &m_memory->Pairs(folder1, folder2);
    const platform::PairMemory::Sides sides{state1, state2};
    // Times in one two-second step may be two people's saves: a pair is in
    // step only where both hold the same bytes.
    if (!remembered->Holds(name, sides)
        && platform::HoldTheSameBytes(PathOf(folder1, name), PathOf(folder2, name), match))
        m_memory->Remember(folder1, folder2, name, sides);
}
