#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

struct sqlite3;

namespace platform {

struct PairMemoryRecent;
namespace detail {
class Statement;
}

// What runs remember of the pairs of files they left in step: for each pair
// (two folders and a name in both), the state of each side then
// (FileState.h). A later run that is about to replace a file asks whether
// it is still what a run left there; if not, it holds an edit that no run
// carried. Kept per user in an SQLite database beside the program's state,
// never in the listed folders, and shared by every copy of the program.
//
// The memory never throws: one that cannot be read or written is said once
// (TakeProblem) and runs go on as with none; one that is damaged, or made
// by a later version, is set aside beside itself first. It tells which
// files are kept in step, so it is its owner's alone: the file, its -wal
// and -shm and the copies set aside are 0600 in a 0700 folder.
class PairMemory {
public:
    // The two sides' states when a run last left the pair in step.
    struct Sides {
        std::uint64_t first = 0;  // the List 1 (or F1) side
        std::uint64_t second = 0;
        bool operator==(const Sides&) const = default;
    };

    // path: the database file; its folder is made when missing. Nothing is
    // opened before the first use. lockWait: how long one use waits for
    // another copy of the program that holds the memory locked, and the
    // set-up for all its steps together.
    explicit PairMemory(std::string path, std::chrono::milliseconds lockWait = std::chrono::seconds(10));
    ~PairMemory();
    PairMemory(const PairMemory&) = delete;
    PairMemory& operator=(const PairMemory&) = delete;

    // $XDG_STATE_HOME/Folderly/memory.db (default ~/.local/state/...).
    static std::string DefaultPath();
    const std::string& Path() const { return m_path; }

    // The pairs between the two folders (texts as listed: their spellings
    // of one folder are one), read in one pass when first asked for in a
    // run and kept until Forget: enough to tell whether a pair found in
    // step is remembered as it is, which every run asks of every pair.
    class Folders {
    public:
        // Whether the pair of name is remembered with these sides.
        bool Holds(const std::string& name, Sides sides) const;

    private:
        friend class PairMemory;
        // The pairs' keys (the name's hash mixed with both sides; 0 is a
        // free slot), at most three quarters full: a folder of a million
        // pairs costs under 11 bytes a pair, and a look one cache line.
        std::vector<std::uint64_t> m_keys;
        std::shared_ptr<PairMemoryRecent> m_recent;
    };
    const Folders& Pairs(const std::string& folder1, const std::string& folder2);
    // What the pair of name was when last in step, if remembered: asked
    // before a run replaces a file.
    std::optional<Sides> Recall(const std::string& folder1, const std::string& folder2, const std::string& name);

    // Whether runs before this one left any pair of the two folders in step:
    // then a name they hold that the memory does not know is new to both.
    bool KnewPairs(const std::string& folder1, const std::string& folder2);

    // name is in step between the two folders now, each side as given:
    // kept with the next Commit (and known to Holds and Recall at once).
    void Remember(const std::string& folder1, const std::string& folder2, const std::string& name, Sides sides);
    // Writes what was remembered since the last Commit, in one transaction.
    void Commit();
    // Writes what is left and drops what is kept of the pairs read (the end
    // of a run); what Pairs gave is gone then.
    void Forget();
    // Drops the pairs of every folder that is none of these (the folders of
    // both lists), so that the memory does not grow without end.
    void KeepOnly(const std::vector<std::string>& folders);
    // The run has listed the whole of both folders: names1 and names2 call
    // what they are given with every name the one or the other holds. The
    // pairs of other names, gone from both sides, are dropped (written with
    // the next Commit) once there are more pairs than the emptier folder
    // holds names: a run that finds no more pairs than names, as most do,
    // only counts them. So the pairs are never more than that folder's
    // names and those one run added.
    using NameVisitor = std::function<void(std::string_view)>;
    using Names = std::function<void(const NameVisitor&)>;
    void KeepOnlyNames(const std::string& folder1, const std::string& folder2, const Names& names1,
                       const Names& names2);

    // The drive (st_dev) on which a run last saw folder, if one said so.
    std::optional<dev_t> LastDeviceOf(const std::string& folder);
    // A run saw folder on device: kept with the next Commit.
    void SawOnDevice(const std::string& folder, dev_t device);

    // Asked while the memory waits for another copy's lock: once it says
    // yes (the program is told to end), the wait ends and the memory is
    // not used for the rest of the run.
    void SetStopQuery(std::function<bool()> stop) { m_stop = std::move(stop); }

    // What went wrong with the memory since the last call, to be said once
    // in the Report list; empty when nothing did.
    std::string TakeProblem();

    // The folder text as the memory keys it: repeated and trailing '/' dropped.
    static std::string FolderKey(const std::string& folder);

private:
    // Why SQLite failed, taken before anything else can overwrite it.
    struct Cause {
        int code = 0;
        std::string text;
    };

    bool Ready();
    // How one try at opening and setting up the memory went: Again when it
    // was set aside, for a fresh one.
    enum class Attempt { Done, Failed, Again };
    bool SetUp();
    Attempt OpenOnce();
    Attempt MakeTables();
    Attempt FailedTo(const char* what);
    bool ReadVersion(std::int64_t& found);
    // The folder, the database and its companions: the owner's alone.
    void MakePrivate() const;
    static int BusyWait(void* memory, int count);
    int ExecWaiting(const char* sql);
    bool Stopping() const { return m_stop && m_stop(); }
    // A write transaction, begun unless one is open.
    bool Begin();
    // The keys of the pairs between two folders, from the pairs themselves.
    bool KeysOf(std::int64_t first, std::int64_t second, std::vector<std::uint64_t>& keys);
    // 0 when the folder is not known and make is false, or on failure.
    std::int64_t FolderId(const std::string& folder, bool make = true);
    Cause CauseNow() const;
    void Failed(const char* what);
    void Failed(const char* what, const Cause& cause);
    void SetAside(const std::string& why);
    void Close();

    std::string m_path;
    std::chrono::milliseconds m_lockWait;
    std::function<bool()> m_stop;
    bool m_stopped = false;  // a wait ended because the program is ending
    // The end of the wait for the lock asked for now, and of the set-up.
    std::chrono::steady_clock::time_point m_lockWaitEnd;
    std::chrono::steady_clock::time_point m_setUpEnd = std::chrono::steady_clock::time_point::max();
    sqlite3* m_db = nullptr;
    std::unique_ptr<detail::Statement> m_insert;  // prepared once: a run may remember many
    std::unique_ptr<detail::Statement> m_recall;
    bool m_unusable = false;  // failed this run: runs go on without it
    bool m_inTransaction = false;
    std::string m_problem;
    std::map<std::string, std::int64_t> m_folderIds;
    std::map<std::pair<std::int64_t, std::int64_t>, std::unique_ptr<Folders>> m_read;
    // The folder pairs whose pairs changed since the last Commit: their
    // digests are written with it.
    std::set<std::pair<std::int64_t, std::int64_t>> m_changed;
    // KnewPairs of the folder pairs asked, as found before this run
    // remembered anything of them.
    std::map<std::pair<std::int64_t, std::int64_t>, bool> m_knew;
    bool KnewPairsOf(std::int64_t first, std::int64_t second);
};

}  // namespace platform
