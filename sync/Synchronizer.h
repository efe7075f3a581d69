#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "options/RunOptionValues.h"
#include "platform/fs/FileSystem.h"
#include "platform/fs/KnownFolders.h"
#include "platform/state/PairMemory.h"
#include "sync/ListedFolderDrives.h"
#include "sync/RunPlan.h"
#include "sync/RunRecord.h"
#include "sync/RunState.h"

class FolderList;
namespace platform {
class KnownFolder;
}  // namespace platform
class RunEvents;

// The synchronization runs: four passes (files or folders mode, all or
// selected folders), each inside the same frame of pre-count, confirmation,
// progress and records, told as events (RunEvents); whoever starts a run
// gives its mode, scope and options.
class Synchronizer {
public:
    enum class Mode { Files, Folders };
    enum class Scope { All, Selected };
    // Which pairs of files a run copies: as designed (in files mode a pair
    // of equal times too, List 2 over List 1), or only those out of step,
    // as runs that follow changes do, so that their copies are no change
    // for another watcher of the same folders.
    enum class Pairs { AsDesigned, OutOfStep };

    // events hears of every run and answers what runs ask.
    Synchronizer(RunState& state, const FolderList& list1, const FolderList& list2, RunEvents& events);

    // The memory of the pairs runs left in step (none: every pair goes as
    // the design has it). Before a run replaces a file that changed since a
    // run left it, it keeps the file's version beside it. It also tells
    // the drive each listed folder was last found on (ListedFolderDrives).
    void SetMemory(platform::PairMemory* memory);

    // What tells a listed folder from the empty folder left where its drive
    // is mounted when it is there (by default, the system's mount points,
    // and the memory's drives once SetMemory was given one).
    void SetListedFolderDrives(ListedFolderDrives drives) { m_drives = std::move(drives); }

    // One complete run of mode over scope with these options (kept in
    // RunState::Options for the run). With onlyNamed, a folders-mode run
    // pairs only folders whose last path component is one of those names
    // (pairs of other names are left as they are); files mode ignores it.
    void Run(Mode mode, Scope scope, const RunOptionValues& options, const std::set<std::string>* onlyNamed = nullptr,
             Pairs pairs = Pairs::AsDesigned);

    // The pre-count alone: sets count to 0, then counts the copies a run of
    // mode over scope with these options would make; with plan, also what
    // each would be, as a run's confirmation shows it.
    void CountCopies(Mode mode, Scope scope, const RunOptionValues& options, std::int32_t& count,
                     RunPlan* plan = nullptr);

    // True from the start of a run until it is told finished. A run command
    // that arrives meanwhile (a timer tick or a tray command while the
    // confirmation waits) is ignored: the run state admits one run.
    bool IsRunning() const { return m_running; }

    // Where the walk of the last run or pre-count stood when it ended.
    const RunWalk& Walk() const { return m_walk; }

private:
    // A pair of files as the run's memory knows it (List 1 folder, List 2
    // folder, name) and, for a copy, which side it writes and what the run
    // saw there (its state, 0 when not known).
    struct PairOf {
        std::string folder1;
        std::string folder2;
        std::string name;
        bool writesFirst = false;
        std::uint64_t seenState = 0;
    };

    // The run while it counts as running: false when it was cancelled at
    // its confirmation or stopped.
    bool RunFrame(Mode mode, Scope scope, const RunOptionValues& options);
    // The pre-count of mode over scope into m_state.TotalCount, and into
    // plan when given.
    void Count(Mode mode, Scope scope, RunPlan* plan);
    // Files mode, pre-count: the plan's line of the current entry's pair
    // with List 2 folder List2Index (its List 1 side seen as seen1).
    void PlanFilesPair(const std::string& folder1, platform::NameMatch match, const platform::FileSeen& seen1,
                       const platform::FileSeen& seen2, std::int32_t age2);
    // The plan's line of a copy that replaces one side of pair with the other.
    void PlanReplace(const PairOf& pair, platform::NameMatch match);
    // Whether the copy of source over destination, which brings pair in
    // step, keeps destination's version beside it first: it changed since
    // a run left the pair in step, and holds other bytes.
    bool KeepsEditOf(const PairOf& pair, const std::string& source, const std::string& destination,
                     platform::NameMatch match);
    // The run is over: told, and its limits dropped.
    void Finish(bool completed);
    // The texts of both lists: the folders whose pairs the memory keeps.
    std::vector<std::string> ListedFolders() const;
    // Whether entry index of list takes part in a pass of scope: only a full
    // path does, as any other text would be read against the current folder,
    // and only a folder that can be read, by a way that holds no link of
    // another user (see LookAtListedFolders).
    bool TakesPart(const FolderList& list, int index, Scope scope) const;
    // Notes, once per run or pre-count, which listed folders cannot be read:
    // those not there, and those reached through a link of another user
    // (someone who may write a folder above one could make it lead to the
    // user's private folders).
    void LookAtListedFolders();
    // Once per run: a line for each entry in scope that takes no part.
    void ReportLeftOut(Scope scope);
    // The record of a listed folder that is not there, or cannot be read for
    // error; its line only when it was not said while it stayed away.
    void ReportNotThere(const std::string& folder, int error);
    // What a run did, or did not: its count, FailFlag, and the event.
    void Record(const RunRecord& record);
    // The record of what keeps the current entry's file out of folder: path
    // there is neither a file nor a folder (a FIFO, a socket, a device).
    void ReportNotAFileInTheWay(const std::string& folder, const std::string& path);
    // Which side's search yields the current name: in folders mode either
    // list's; in files mode List 1's, where only its twins are left alone
    // (List 2's pair by their exact names).
    enum class CaseTwins { List1, List2, List1Only };
    // Whether the current name of the search of side searched, in folder,
    // and a twin of it equal but for case would reach one file on the other
    // side, which folds case; if so, both are left alone, and the side that
    // holds them says so (a record against other).
    bool LeftAsCaseTwin(platform::KnownFolder& side1, platform::KnownFolder& side2, CaseTwins searched,
                        const std::string& folder, const std::string& other, std::int32_t* count);
    void ReportCaseTwins(const std::string& path, const std::string& caseBlindFolder);
    // The record of a link of another user that the run met at path.
    void ReportLinkOfAnotherUser(const std::string& path);
    // Whether either file of a pair (by its age) is a link of another user;
    // each such is reported, the first only unless said1 tells it was.
    bool ReportedLinks(const std::string& path1, std::int32_t age1, const std::string& path2, std::int32_t age2,
                       bool& said1);
    void FilesBody(Scope scope, std::int32_t* count);
    std::vector<platform::KnownFolder*> ReadList2(platform::KnownFolders& known, Scope scope) const;
    void FilesFolder(platform::KnownFolders& known, std::optional<std::vector<platform::KnownFolder*>>& folders2,
                     const std::string& folder1, Scope scope, std::int32_t* count);
    void FilesEntry(platform::KnownFolders& known, const std::vector<platform::KnownFolder*>& folders2,
                    platform::KnownFolder& side1, const std::string& folder1, Scope scope, std::int32_t* count);
    // Files mode: the current entry's pair with List 2 folder List2Index,
    // seen there as seen2 at age2, is out of step: counted, or copied.
    // Files mode: the current List 1 file as the run left it, what the
    // search saw or what a copy over it wrote; and whether it carries
    // another List 2 copy's version, written by this run.
    struct List1File {
        platform::FileSeen seen;
        bool carriesCopy = false;
    };
    // The copies of one List 1 entry so far.
    struct List1Copies {
        bool list1Copying = false;  // the last one writes the List 1 file, and may not be in place yet
        int lastOverList1 = -1;  // the List2Index of the last one that wrote it
        bool link1Reported = false;
    };
    struct List1Entry;
    // The current List 1 entry's pair with List 2 folder index; again: once
    // more, after a copy brought the List 1 file a version that the pair's
    // copy may lack. True when the pair took its step of the run.
    bool FilesPairWith(List1Entry& entry, int index, bool again, std::int32_t* count);
    void FilesPassOnBefore(List1Entry& entry);
    // True when the body compared the pair's times (no link, nothing in the way).
    bool FilesOutOfStep(platform::KnownFolders& known, const std::string& folder1, platform::NameMatch match,
                        const platform::FileSeen& seen2, std::int32_t age2, const std::shared_ptr<List1File>& left1,
                        List1Copies& copies, std::int32_t* count);
    bool FilesPair(platform::KnownFolders& known, const std::string& folder1, platform::NameMatch match,
                   const platform::FileSeen& seen2, const std::shared_ptr<List1File>& left1, bool& link1Reported,
                   bool& compared);
    void FilesPassOn(platform::KnownFolders& known, const std::string& folder1, platform::NameMatch match,
                     const platform::FileSeen& seen2, std::int32_t age2, const std::shared_ptr<List1File>& left1);
    void FoldersBody(Scope scope, std::int32_t* count);
    void FolderPair(const std::string& folder1, const std::string& folder2, std::int32_t* count);
    void FolderPairSearchA(platform::KnownFolders& known, const std::string& folder1, const std::string& folder2,
                           std::int32_t* count);
    std::uint64_t LookAtYielded(platform::KnownFolder& side1, bool needed);
    void FolderPairCopy(platform::KnownFolders& known, const std::string& folder1, const std::string& folder2,
                        platform::NameMatch match, int order, const platform::FileSeen& seen2, const std::string& note);
    // Folders mode, pre-count: search A's current entry, whose times
    // compare as order (2: F2 lacks it), counted unless the pair is in
    // step, with its line in the plan.
    void CountFolderPairEntry(const std::string& folder1, const std::string& folder2, platform::NameMatch match,
                              int order, bool link, const platform::FileSeen& seen2, std::uint64_t state1,
                              std::int32_t& count);
    // Search B, pre-count: the current F2 entry is counted, as a copy to F1
    // or as left alone for why.
    void PlanMissingInFirst(const std::string& folder1, const std::string& folder2, RunPlan::LeftAlone why,
                            std::int32_t* count);
    void FolderPairSearchB(platform::KnownFolders& known, const std::string& folder1, const std::string& folder2,
                           std::int32_t* count);
    // Copies source over destination, whose packed time the run saw as
    // destinationAge, and reports what became of it once the copy is in
    // place (or failed), calling updated when it was made. Copies go
    // through known, the pass's knowledge of its folders, which they keep
    // right, and which puts them in place in batches.
    // sourceSeen: what the run saw of the source when it compared the two;
    // note: what its Report line adds, if anything.
    // pair: what it brings in step, which the run remembers once it is in
    // place; updated is told the state of what it wrote.
    void UpdateCopy(platform::KnownFolders& known, const std::string& source, const std::string& destination,
                    platform::NameMatch match, std::int32_t destinationAge, const platform::FileSeen& sourceSeen,
                    const std::string& note, const PairOf& pair,
                    std::function<void(std::uint64_t written)> updated = {});
    // A folder that went away during the pair (a share unmounted, a
    // connection lost) is said once, with how many files it did not get.
    void ReportWentAway();
    void CopyMissing(platform::KnownFolders& known, const std::string& source, const std::string& destinationFolder,
                     platform::NameMatch match, const PairOf& pair);
    // Before destination is replaced by source: where it changed since a
    // run left the pair in step, its version is kept beside it (and said).
    // False when that could not be done: then it is not replaced.
    bool KeepEdit(platform::KnownFolders& known, const std::string& source, const std::string& destination,
                  platform::NameMatch match, const PairOf& pair);
    // The pair is in step: by a copy in place, or as the run found it.
    void RememberCopied(const PairOf& pair, const platform::KnownFolders::CopiedStates& states);
    // folder1 and folder2: list entries' texts.
    void RememberInStep(const std::string& folder1, const std::string& folder2, const std::string& name,
                        std::uint64_t state1, std::uint64_t state2, platform::NameMatch match);
    void ProgressStep();
    std::string SearchMask(const std::string& folder) const;
    // Whether an update keeps the file it replaces in the Trash: the run's
    // KeepReplaced, which each pass hands to its copies.
    bool KeepsReplaced() const;

    RunState& m_state;
    RunWalk m_walk;
    const FolderList& m_list1;
    const FolderList& m_list2;
    RunEvents& m_events;
    platform::PairMemory* m_memory = nullptr;
    // What the pre-count finds the run would do, when it is to be shown.
    RunPlan* m_plan = nullptr;
    // The pairs remembered of two list entries (by their texts), in this run.
    std::map<std::pair<const std::string*, const std::string*>, const platform::PairMemory::Folders*> m_remembered;
    bool m_running = false;
    // The last path components a folders-mode run is limited to, if any.
    const std::set<std::string>* m_onlyNamed = nullptr;
    Pairs m_pairs = Pairs::AsDesigned;
    // Why each entry of List 1 and List 2 cannot be read, or 0 (see
    // platform::ListedFolderProblem).
    std::vector<int> m_folderProblems1;
    std::vector<int> m_folderProblems2;
    ListedFolderDrives m_drives;
    // The listed folders said to be away, by their texts, with why: said
    // again only once they came back and went.
    std::map<std::string, int> m_saidNotThere;
    // The folders a pair's copies found gone, with how many files they did
    // not get: said once the pair is done.
    std::map<std::string, int> m_wentAway;
};

// Two files' times as a run compares them: their packed ages (see
// ComparePackedTimes), but where both stand at one end of the packed range
// (a file before 1980 or after 2107 takes the nearest end), their own times,
// in two-second steps; then note, when given, tells it for the Report line.
int CompareFileTimes(std::int32_t age1, const std::string& path1, std::int32_t age2, const std::string& path2,
                     platform::NameMatch match, std::string* note);

// Two packed date-times: +1 when a is later, -1 when earlier, 0 when equal.
// Later is later through 2107; -1 (a missing file) is earlier than any time.
int ComparePackedTimes(std::int32_t a, std::int32_t b);

// The name a kept edit of name takes: name with " (conflict <its
// last-write time>)" before its extension (and the count, from 2), short
// enough for every drive.
std::string KeptEditName(const std::string& name, std::int64_t lastWriteSeconds, int count = 1);

// The last non-empty component of a folder text: "photos" for both
// "/x/photos" and "/x/photos/"; empty for "/" and "", which pair with nothing.
std::string LastPathComponent(const std::string& folder);
