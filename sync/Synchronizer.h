#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/fs/FileSystem.h"

class FolderList;
class ReportList;
namespace platform {
class KnownFolder;
class KnownFolders;
}  // namespace platform
class RunHost;
struct RunState;

// Texts of a run.
namespace RunTexts {
inline constexpr const char* kBalloonText = "Folderly is processing now";
inline constexpr const char* kBalloonTitle = "Attention!";
inline constexpr const char* kFilesAllSuffix = " file(s) will be updated";
inline constexpr const char* kSuffix = "file(s) will be updated";
inline constexpr const char* kSummary = "Some files could not be updated. Please see details in Report list";
inline constexpr const char* kUpdated = " updated successfully";
inline constexpr const char* kReadOnly = " could not be updated because it is Read-Only File";
inline constexpr const char* kNotUpdated = " could not be updated: ";
inline constexpr const char* kCopiedTo = " copied successfully to ";
inline constexpr const char* kNotCopiedTo = " could not be copied to ";
// Why a copy was not made, after kNotUpdated or kNotCopiedTo and ": ".
inline constexpr const char* kNotAFile = " is not a file";
inline constexpr const char* kFolderInTheWay = "a folder of that name is in the way";
inline constexpr const char* kBrokenLinkInTheWay = "a link of that name leads nowhere";
// After the entry's text in double quotes: an entry that is no full path.
inline constexpr const char* kNotFullPath = " is not a full folder path and takes no part in the run";
// After a path: a link that belongs to another user, which a run never reads
// nor writes through (only the user's own links are followed).
inline constexpr const char* kLinkOfAnotherUser = " is a link of another user and is not followed";
// After the entry's text in double quotes: a listed folder reached through
// such a link (one of neither the user nor the system).
inline constexpr const char* kThroughLinkOfAnotherUser =
    " is reached through a link of another user and takes no part in the run";
}  // namespace RunTexts

// The synchronization runs: four passes (files or folders mode, all or
// selected folders), each inside the same frame of balloon, pre-count,
// confirmation, progress and summary, and the commands that choose a pass.
class Synchronizer {
public:
    Synchronizer(RunState& state, ReportList& report, const FolderList& list1, const FolderList& list2, RunHost& host);

    // "Synchronize all" and "Synchronize selected": the pass by Synchro mode.
    void BitBtn11Click();
    void BitBtn10Click();
    // "Synchro Now" of both list menus and "Synchronize Now" of the tray menu:
    // the selected folders when either list has a selection, else all.
    void SynchroNowClick();

    // The four passes, each one complete run with the options the host
    // gives when it starts (RunState::Options).
    void BitBtn4Click();  // files mode, all folders
    void BitBtn3Click();  // files mode, selected folders
    void SynchroFolders_ns();  // folders mode, all folders
    void SynchroFolders_s();  // folders mode, selected folders

    // Pre-counts: set count to 0, then count the copies the pass will make.
    void progressbar_notselected(std::int32_t& count);
    void progressbar_selected(std::int32_t& count);
    void progressbar_ns_folder(std::int32_t& count);
    void progressbar_s_folder(std::int32_t& count);

    // True from the start of a run until its buttons are back. A run
    // command that arrives meanwhile (a timer tick or a tray command while
    // the confirmation waits) is ignored: the run state admits one run.
    bool IsRunning() const { return m_running; }

private:
    enum class Scope { All, Selected };
    enum class Mode { Files, Folders };

    void Run(Mode mode, Scope scope);
    // Whether entry index of list takes part in a pass of scope: only a full
    // path does, as any other text would be read against the current folder,
    // and only one whose way holds no link of another user (see
    // FindFoldersBehindLinks).
    bool TakesPart(const FolderList& list, int index, Scope scope) const;
    // Notes, once per run or pre-count, which listed folders are reached
    // through a link of another user: someone who may write a folder above
    // one could make it lead to the user's private folders.
    void FindFoldersBehindLinks();
    // Once per run: a line for each entry in scope that takes no part.
    void ReportLeftOut(Scope scope);
    // A line for a link of another user that the run met at path.
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
    void FoldersBody(Scope scope, std::int32_t* count);
    void FolderPair(const std::string& folder1, const std::string& folder2, std::int32_t* count);
    void FolderPairSearchA(platform::KnownFolders& known, const std::string& folder1, const std::string& folder2,
                           std::int32_t* count);
    void FolderPairSearchB(platform::KnownFolders& known, const std::string& folder1, const std::string& folder2,
                           std::int32_t* count);
    // Copies source over destination, whose packed time the run saw as
    // destinationAge, and reports what became of it once the copy is in
    // place (or failed), calling updated when it was made. Copies go
    // through known, the pass's knowledge of its folders, which they keep
    // right, and which puts them in place in batches.
    void UpdateCopy(platform::KnownFolders& known, const std::string& source, const std::string& destination,
                    platform::NameMatch match, std::int32_t destinationAge, std::function<void()> updated = {});
    void CopyMissing(platform::KnownFolders& known, const std::string& source, const std::string& destinationFolder,
                     platform::NameMatch match);
    void ProgressStep();
    std::string SearchMask(const std::string& folder) const;
    // Whether an update keeps the file it replaces in the Trash: the run's
    // KeepReplaced, which each pass hands to its copies.
    bool KeepsReplaced() const;

    RunState& m_state;
    ReportList& m_report;
    const FolderList& m_list1;
    const FolderList& m_list2;
    RunHost& m_host;
    bool m_running = false;
    // The entries of List 1 and List 2 reached through a link of another user.
    std::vector<bool> m_behindLink1;
    std::vector<bool> m_behindLink2;
};

// Two packed date-times: +1 when a is later, -1 when earlier, 0 when equal.
// Later is later through 2107; -1 (a missing file) is earlier than any time.
int ComparePackedTimes(std::int32_t a, std::int32_t b);

// The last non-empty component of a folder text: "photos" for both
// "/x/photos" and "/x/photos/"; empty for "/" and "", which pair with nothing.
std::string LastPathComponent(const std::string& folder);
