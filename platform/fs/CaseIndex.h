#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

#include "platform/fs/FileSystem.h"

namespace platform::detail {

// Finds the entry of a folder whose name equals a given one without regard
// to case. Each folder's names are read once into an index (folded name ->
// real name) and reused while the folder's change times stay the same; the
// copy keeps the index right after it writes into the folder, so a run over
// a large folder never reads it again name by name.
// Process-wide, by path, for lookups no pass's KnownFolder answers; unlike the cleared-folders set, it holds names.
class CaseIndex {
public:
    static CaseIndex& Instance();

    // The real name of the one entry of folder equal to name without regard
    // to case; false when there is none, when there are several (names equal
    // but for case are never taken one for another), or when the folder
    // cannot be read. folderNow, when given, is the folder's stat taken just
    // now (from the folder held open), which spares looking at it again by
    // path.
    bool Find(const std::string& folder, const std::string& name, std::string& realName,
              const struct stat* folderNow = nullptr);

    // True when folder holds a name equal to name but for case, besides name
    // itself.
    bool HasCaseTwin(const std::string& folder, const std::string& name, const struct stat* folderNow = nullptr);

    // Drops the index of folder (a name it gave has vanished).
    void Forget(const std::string& folder);

    // Called around a change of a folder: before and after are the folder's
    // stat before and after it. An index that was current before the change
    // takes addedName (when not empty) and the folder's new times; one that
    // was not current is dropped.
    void NoteChange(const struct stat& before, const struct stat& after, const std::string& addedName);

    // Drops every index (tests).
    void Clear();
    // How many times folders were read since the start (tests).
    std::uint64_t BuildCount() const;

private:
    struct Folder;

    CaseIndex() = default;
    // How many entries of folder equal name without regard to case (0, 1
    // with realName, or 2 for several), from an index that is current.
    int CountFolded(const std::string& folder, const std::string& name, std::string& realName,
                    const struct stat* folderNow);
    Folder* Build(const std::string& folder, bool recheck);
    void Evict(const Folder* keep);

    mutable std::mutex m_mutex;
    std::unordered_map<std::string, std::unique_ptr<Folder>> m_folders;
    std::size_t m_totalNames = 0;
    std::uint64_t m_useClock = 0;
    std::uint64_t m_builds = 0;
};

// stat() of path; when nothing has that exact name and match allows it, of
// the one entry of its folder equal to the last component without regard to
// case. 0 with st filled and realPath set to the path found, or the errno;
// a link of another user is not followed (kLinkOfAnotherUser, TrustedPath.h).
int StatResolved(const std::string& path, struct stat& st, std::string& realPath,
                 NameMatch match = NameMatch::CaseBlind);

// The same for lstat(): a symbolic link is not followed.
int LstatResolved(const std::string& path, struct stat& st, std::string& realPath,
                  NameMatch match = NameMatch::CaseBlind);

// StatResolved(PathOf(folder, name)) for a folder already open as folderFd:
// the exact name is looked up from the open folder, which spares walking the
// folder's path again; only a miss goes on by path. A negative folderFd, or
// a name that is not one plain component, takes the path all the way.
// namesake, when given, tells whether a name other than the exact one was
// found.
int StatResolvedAt(int folderFd, const std::string& folder, const std::string& name, struct stat& st,
                   NameMatch match = NameMatch::CaseBlind, bool* namesake = nullptr);

// LstatResolved(path) for a path whose folder is already open as folderFd,
// with that folder's stat folderNow just taken; name is the path's last
// component. The same answer, with the folder's path walked only where the
// exact name misses and a namesake must be looked for.
int LstatResolvedAt(int folderFd, const struct stat& folderNow, const std::string& path, const std::string& name,
                    struct stat& st, std::string& realPath, NameMatch match = NameMatch::CaseBlind);

}  // namespace platform::detail
