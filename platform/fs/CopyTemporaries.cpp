// The copy's temporary files: their names, how they are made and named,
// and the leftovers of copies that were killed in the middle. A copy holds
// its temporary file locked while it writes it, so the next copy into the
// folder can tell a leftover (unlocked) from a copy still at work (locked)
// and remove only the former. Which folders were found free of leftovers is
// remembered, so that a run that copies many files into one folder looks
// for them once.

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <utility>

#include "platform/fs/CopyInternal.h"
#include "platform/fs/FileSystemInternal.h"

namespace platform::detail {

namespace {

// Set once a file system has shown that an unnamed temporary file cannot be
// given a name (no /proc and no privilege for AT_EMPTY_PATH).
std::atomic<bool> g_unnamedCannotLink{false};
// How an unnamed temporary file is given a name here, once one way worked.
enum class LinkMethod { NotYetKnown, EmptyPath, ThroughProc };
std::atomic<LinkMethod> g_linkMethod{LinkMethod::NotYetKnown};

bool IsCopyTemporaryName(const char* name)
{
    return std::strncmp(name, kCopyTemporaryNamePrefix, std::strlen(kCopyTemporaryNamePrefix)) == 0;
}

// Folders found free of leftovers, with the times they had then: one that
// has not changed since needs no new look, so a run that copies many files
// into one folder reads it once. A folder where some copy held its
// temporary file is looked at again, since that copy may yet be killed.
// Process-wide, by device and inode, no names: not the case index (names, by path) nor a pass's KnownFolder.
struct ClearedFolder {
    timespec mtime;
    timespec ctime;
    bool someHeld;
};
std::mutex g_foldersFreeMutex;
std::map<std::pair<dev_t, ino_t>, ClearedFolder> g_foldersFreeOfLeftovers;
constexpr std::size_t kClearedLimit = 4096;

bool IsCleared(const struct stat& folder)
{
    const std::lock_guard<std::mutex> lock(g_foldersFreeMutex);
    const auto it = g_foldersFreeOfLeftovers.find({folder.st_dev, folder.st_ino});
    return it != g_foldersFreeOfLeftovers.end() && !it->second.someHeld && SameTime(it->second.mtime, folder.st_mtim)
        && SameTime(it->second.ctime, folder.st_ctim);
}

void NoteCleared(const struct stat& folder, bool someHeld)
{
    const std::lock_guard<std::mutex> lock(g_foldersFreeMutex);
    if (g_foldersFreeOfLeftovers.size() >= kClearedLimit)
        g_foldersFreeOfLeftovers.clear();
    g_foldersFreeOfLeftovers[{folder.st_dev, folder.st_ino}] = {folder.st_mtim, folder.st_ctim, someHeld};
}

// The names of this program's own temporary files that wait to be put in
// place: a copy into their folder neither removes them nor takes them for
// those of another copy that may yet be killed.
std::set<std::string> g_ownTemporaries;

bool IsOwnTemporary(const char* name)
{
    const std::lock_guard<std::mutex> lock(g_foldersFreeMutex);
    return g_ownTemporaries.count(name) != 0;
}

// Opens the file name of dirFd and locks it, unless a copy holds it: 0 with
// file and st set; EWOULDBLOCK when a copy holds it; else another errno
// (nothing there, or no file).
int LockUnheld(int dirFd, const char* name, Fd& file, struct stat& st)
{
    file.reset(::openat(dirFd, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (file.get() < 0 || ::fstat(file.get(), &st) != 0)
        return errno;
    if (!S_ISREG(st.st_mode))
        return EINVAL;
    return ::flock(file.get(), LOCK_EX | LOCK_NB) == 0 ? 0 : errno;
}

// Removes the temporary file name of dirFd unless a copy holds it; false
// when one does.
bool RemoveUnheld(int dirFd, const char* name)
{
    Fd file;
    struct stat st {};
    if (const int error = LockUnheld(dirFd, name, file, st))
        return error != EWOULDBLOCK;
    // Still the file locked, not one made under the name meanwhile.
    struct stat atName {};
    if (::fstatat(dirFd, name, &atName, AT_SYMLINK_NOFOLLOW) == 0 && atName.st_dev == st.st_dev
        && atName.st_ino == st.st_ino)
        ::unlinkat(dirFd, name, 0);
    return true;
}

bool IsReplacedAsideName(const char* name)
{
    return std::strncmp(name, kReplacedAsidePrefix, std::strlen(kReplacedAsidePrefix)) == 0;
}

// What a replace in steps (ReplaceInSteps) left when it was stopped: the
// old file aside. Where its name is free, the old file takes it again (the
// new one was never placed); where the new one took it, the old one goes.
// False when a copy still holds it.
bool PutBackAside(int dirFd, const char* aside)
{
    Fd file;
    struct stat st {};
    if (const int error = LockUnheld(dirFd, aside, file, st))
        return error != EWOULDBLOCK;
    const std::string name = aside + std::strlen(kReplacedAsidePrefix);
    struct stat atName {};
    if (::fstatat(dirFd, name.c_str(), &atName, AT_SYMLINK_NOFOLLOW) == 0)
        ::unlinkat(dirFd, aside, 0);
    else if (errno == ENOENT)
        ::renameat(dirFd, aside, dirFd, name.c_str());
    return true;
}

}  // namespace

// The text file writer's temporary files share the prefix, not the mark.
std::string NewCopyTemporaryName()
{
    return kCopyTemporaryNamePrefix + NewTemporaryName().substr(std::strlen(kTemporaryNamePrefix));
}

void NoteOwnTemporary(const std::string& name, bool waiting)
{
    const std::lock_guard<std::mutex> lock(g_foldersFreeMutex);
    if (waiting)
        g_ownTemporaries.insert(name);
    else
        g_ownTemporaries.erase(name);
}

// The copy itself changed the folder from before to after: a folder that
// was clear before is clear after.
void NoteOwnChange(const struct stat& before, const struct stat& after)
{
    if (IsCleared(before))
        NoteCleared(after, false);
}

// Removes what copies killed in the middle left in the folder: temporary
// files of the copy's naming. A copy holds its temporary file locked for as
// long as it writes it, so one that can be locked here has no copy left; it
// stays locked while it is removed, so that no copy starting meanwhile takes
// it up (see MakeTemporary). folder, the folder's stat, is brought up to
// date.
void RemoveLeftovers(int dirFd, struct stat& folder)
{
    if (IsCleared(folder))
        return;
    Fd listing(::openat(dirFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (listing.get() < 0)
        return;
    DIR* dir = ::fdopendir(listing.get());
    if (!dir)
        return;
    listing.release();
    bool someHeld = false;
    while (const dirent* entry = ::readdir(dir)) {
        const bool held = IsCopyTemporaryName(entry->d_name)
            ? !IsOwnTemporary(entry->d_name) && !RemoveUnheld(dirFd, entry->d_name)
            : IsReplacedAsideName(entry->d_name) && !PutBackAside(dirFd, entry->d_name);
        someHeld = someHeld || held;
    }
    ::closedir(dir);
    if (::fstat(dirFd, &folder) == 0)
        NoteCleared(folder, someHeld);
}

// Gives the unnamed file tmp the name `name` in dirFd; fails with EEXIST
// when that name is taken.
int LinkUnnamed(int tmp, int dirFd, const std::string& name)
{
    if (g_linkMethod.load() != LinkMethod::ThroughProc) {
        if (::linkat(tmp, "", dirFd, name.c_str(), AT_EMPTY_PATH) == 0) {
            g_linkMethod.store(LinkMethod::EmptyPath);
            return 0;
        }
        // Without the privilege AT_EMPTY_PATH reports ENOENT.
        if (errno != ENOENT || g_linkMethod.load() == LinkMethod::EmptyPath)
            return errno;
    }
    char procPath[64];
    std::snprintf(procPath, sizeof procPath, "/proc/self/fd/%d", tmp);
    if (::linkat(AT_FDCWD, procPath, dirFd, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
        g_linkMethod.store(LinkMethod::ThroughProc);
        return 0;
    }
    return errno;
}

// Makes the temporary file in the destination's folder, with mode, and locks
// it for as long as it is written (see RemoveLeftovers).
int MakeTemporary(const CopyJob& job, mode_t mode, bool& unnamed, Fd& tmp, std::string& tmpName)
{
    if (unnamed) {
        tmp.reset(::openat(job.dirFd, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, mode));
        if (tmp.get() >= 0) {
            // It has a temporary name for a moment when it replaces a file;
            // a new file is linked in under its own name at once.
            if (job.destinationSeen)
                ::flock(tmp.get(), LOCK_EX | LOCK_NB);
            return 0;
        }
        // Old kernels read O_TMPFILE as O_DIRECTORY and say EISDIR.
        if (errno != EOPNOTSUPP && errno != ENOTSUP && errno != EISDIR && errno != EINVAL)
            return errno;
        unnamed = false;
    }
    for (int attempt = 0; attempt <= 100; ++attempt) {
        if (const int error = CreateExclusive(job.dirFd, NewCopyTemporaryName, mode, tmp, tmpName))
            return error;
        // Another copy clearing leftovers may have taken it for one between
        // its making and its locking; then a new name is taken. (Where files
        // cannot be locked at all, nothing is ever taken for a leftover.)
        const bool locked = ::flock(tmp.get(), LOCK_EX | LOCK_NB) == 0 || errno != EWOULDBLOCK;
        struct stat made {};
        struct stat atName {};
        if (locked && ::fstat(tmp.get(), &made) == 0
            && ::fstatat(job.dirFd, tmpName.c_str(), &atName, AT_SYMLINK_NOFOLLOW) == 0 && made.st_ino == atName.st_ino
            && made.st_dev == atName.st_dev) {
            NoteOwnTemporary(tmpName, true);
            return 0;
        }
        tmp.reset(-1);
    }
    tmpName.clear();
    return EEXIST;
}

bool UnnamedMayLink()
{
    return !g_unnamedCannotLink.load();
}

void NoteUnnamedCannotLink()
{
    g_unnamedCannotLink.store(true);
}

}  // namespace platform::detail
