// The copy's temporary files: their names, how they are made and named,
// and the leftovers of copies that were killed in the middle. A copy holds
// its temporary file locked while it writes it, so the next copy into the
// folder can tell a leftover (unlocked) from a copy still at work (locked)
// and remove only the former. Which folders were found free of leftovers is
// remembered, so that a run that copies many files into one folder looks
// for them once.
//
// A name alone never makes a file the program's own: a person may call a
// file anything. The names of the copy's temporary files and of files set
// aside carry a mark, a keyed hash of the rest of the name under a key kept
// private beside the runs' memory, that nobody without the key can make. A
// mark in the name works on every drive (FAT, exFAT, NTFS and sshfs keep no
// attributes of ours) and costs no call; a user attribute would not do, as
// anyone who may write a file may set one. A neighbour who reads one of our
// names in a shared folder can make a file of that name, and have it taken
// for a leftover: theirs, of a name they took from us, where they may
// remove files anyway. The owner is not asked: FUSE and network drives show
// owners of their own making, and root's copies take the replaced file's.

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <sys/random.h>

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
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

// The key of the mark: 128 bits, made once per user.
struct MarkKey {
    std::uint64_t k0 = 0;
    std::uint64_t k1 = 0;
};

std::uint64_t Rotl(std::uint64_t x, int bits)
{
    return (x << bits) | (x >> (64 - bits));
}

// SipHash-2-4: a keyed hash whose value nobody without the key can tell.
std::uint64_t SipHash(const MarkKey& key, std::string_view data)
{
    std::uint64_t v0 = key.k0 ^ 0x736f6d6570736575ULL;
    std::uint64_t v1 = key.k1 ^ 0x646f72616e646f6dULL;
    std::uint64_t v2 = key.k0 ^ 0x6c7967656e657261ULL;
    std::uint64_t v3 = key.k1 ^ 0x7465646279746573ULL;
    const auto rounds = [&](int count) {
        for (int i = 0; i < count; ++i) {
            v0 += v1;
            v1 = Rotl(v1, 13) ^ v0;
            v0 = Rotl(v0, 32);
            v2 += v3;
            v3 = Rotl(v3, 16) ^ v2;
            v0 += v3;
            v3 = Rotl(v3, 21) ^ v0;
            v2 += v1;
            v1 = Rotl(v1, 17) ^ v2;
            v2 = Rotl(v2, 32);
        }
    };
    const auto block = [&](std::uint64_t m) {
        v3 ^= m;
        rounds(2);
        v0 ^= m;
    };
    std::size_t at = 0;
    for (; at + 8 <= data.size(); at += 8) {
        std::uint64_t m = 0;
        for (int i = 7; i >= 0; --i)
            m = (m << 8) | static_cast<unsigned char>(data[at + static_cast<std::size_t>(i)]);
        block(m);
    }
    std::uint64_t last = static_cast<std::uint64_t>(data.size()) << 56;
    for (std::size_t i = 0; at + i < data.size(); ++i)
        last |= static_cast<std::uint64_t>(static_cast<unsigned char>(data[at + i])) << (8 * i);
    block(last);
    v2 ^= 0xff;
    rounds(4);
    return v0 ^ v1 ^ v2 ^ v3;
}

constexpr const char* kMarkKeyName = "/own-names.key";

// The folder of the runs' memory: $XDG_STATE_HOME/Folderly (by default
// ~/.local/state/Folderly); empty where there is no home.
std::string StateFolder()
{
    const char* state = std::getenv("XDG_STATE_HOME");
    if (state && state[0] == '/')
        return std::string(state) + "/Folderly";
    const char* home = std::getenv("HOME");
    if (!home || home[0] != '/')
        return {};
    return std::string(home) + "/.local/state/Folderly";
}

// A key file of ours that nobody else may read, holding a key.
bool ReadMarkKey(const std::string& path, MarkKey& key)
{
    const Fd file(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC));
    struct stat st {};
    unsigned char bytes[16];
    if (file.get() < 0 || ::fstat(file.get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid()
        || (st.st_mode & 077) != 0 || ::pread(file.get(), bytes, sizeof bytes, 0) != static_cast<ssize_t>(sizeof bytes))
        return false;
    std::memcpy(&key.k0, bytes, 8);
    std::memcpy(&key.k1, bytes + 8, 8);
    return true;
}

bool RandomBytes(void* to, std::size_t size)
{
    return ::getrandom(to, size, 0) == static_cast<ssize_t>(size);
}

// Makes the folder and those above it that are missing, private.
void MakeFolders(const std::string& folder)
{
    for (std::size_t slash = folder.find('/', 1); slash != std::string::npos; slash = folder.find('/', slash + 1))
        ::mkdir(folder.substr(0, slash).c_str(), 0700);
    ::mkdir(folder.c_str(), 0700);
}

// Writes a new key to the key file: whole, on the disk, and private before
// it has the name (one that stands there and is not ours to trust is
// replaced, else a key made meanwhile by another copy of the program wins).
void WriteMarkKey(const std::string& path, bool replace)
{
    unsigned char bytes[16];
    if (!RandomBytes(bytes, sizeof bytes))
        return;
    const std::string made = path + NewTemporaryName().substr(std::strlen(kTemporaryNamePrefix) - 1);
    Fd file(::open(made.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (file.get() < 0)
        return;
    const bool written = ::write(file.get(), bytes, sizeof bytes) == static_cast<ssize_t>(sizeof bytes)
        && ::fchmod(file.get(), 0600) == 0 && ::fsync(file.get()) == 0;
    file.reset(-1);
    if (written) {
        if (replace)
            static_cast<void>(::rename(made.c_str(), path.c_str()));
        else
            static_cast<void>(::link(made.c_str(), path.c_str()));
    }
    ::unlink(made.c_str());
}

MarkKey LoadMarkKey()
{
    MarkKey key;
    const std::string folder = StateFolder();
    if (!folder.empty()) {
        const std::string path = folder + kMarkKeyName;
        if (ReadMarkKey(path, key))
            return key;
        MakeFolders(folder);
        struct stat st {};
        WriteMarkKey(path, ::lstat(path.c_str(), &st) == 0);
        if (ReadMarkKey(path, key))
            return key;
    }
    // No key that lasts: one for this process, whose own copies still know
    // their names; a killed one's leftovers stay, as files like any other.
    if (!RandomBytes(&key, sizeof key)) {
        timespec now{};
        ::clock_gettime(CLOCK_REALTIME, &now);
        key = {static_cast<std::uint64_t>(now.tv_nsec) ^ static_cast<std::uint64_t>(::getpid()),
               static_cast<std::uint64_t>(now.tv_sec)};
    }
    return key;
}

const MarkKey& Key()
{
    static const MarkKey key = LoadMarkKey();
    return key;
}

constexpr std::size_t kMarkDigits = 16;

// The mark of text in a name of this kind.
std::string Mark(std::string_view kind, std::string_view text)
{
    std::string data(kind);
    data += '/';
    data += text;
    char digits[kMarkDigits + 1];
    std::snprintf(digits, sizeof digits, "%016llx", static_cast<unsigned long long>(SipHash(Key(), data)));
    return digits;
}

// A temporary file of a copy of ours: the prefix, an id, '-', its mark.
bool IsCopyTemporaryName(const char* name)
{
    const std::string_view whole(name);
    if (!whole.starts_with(kCopyTemporaryNamePrefix))
        return false;
    const std::string_view rest = whole.substr(std::strlen(kCopyTemporaryNamePrefix));
    return rest.size() == 2 * kMarkDigits + 1 && rest[kMarkDigits] == '-'
        && rest.substr(kMarkDigits + 1) == Mark("copy", rest.substr(0, kMarkDigits));
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

// The name a file set aside by a copy of ours stood under (the prefix, its
// mark, '-', the name), or empty for any other name.
std::string AsideOf(const char* aside)
{
    const std::string_view whole(aside);
    if (!whole.starts_with(kReplacedAsidePrefix))
        return {};
    const std::string_view rest = whole.substr(std::strlen(kReplacedAsidePrefix));
    if (rest.size() <= kMarkDigits + 1 || rest[kMarkDigits] != '-')
        return {};
    const std::string_view name = rest.substr(kMarkDigits + 1);
    return rest.substr(0, kMarkDigits) == Mark("old", name) ? std::string(name) : std::string();
}

// What a replace in steps (ReplaceInSteps) left when it was stopped: the
// old file aside. Where its name is free, the old file takes it again (the
// new one was never placed), never over a file saved there meanwhile; where
// the new one (or such a file) took it, the old one goes. False when a copy
// still holds it.
bool PutBackAside(int dirFd, const char* aside, const std::string& name)
{
    Fd file;
    struct stat st {};
    if (const int error = LockUnheld(dirFd, aside, file, st))
        return error != EWOULDBLOCK;
    struct stat atName {};
    const bool taken = ::fstatat(dirFd, name.c_str(), &atName, AT_SYMLINK_NOFOLLOW) == 0;
    const bool nameFree = !taken && errno == ENOENT;
    if (const FileSystemTestHooks* hooks = ActiveTestHooks(); nameFree && hooks && hooks->beforePutBack)
        hooks->beforePutBack();
    if ((taken || (nameFree && PlaceWithoutReplacing(dirFd, aside, name) == EEXIST))
        && ::fstatat(dirFd, aside, &atName, AT_SYMLINK_NOFOLLOW) == 0 && atName.st_dev == st.st_dev
        && atName.st_ino == st.st_ino)
        ::unlinkat(dirFd, aside, 0);
    return true;
}

}  // namespace

// The text file writer's temporary files share the prefix, not the mark.
std::string NewCopyTemporaryName()
{
    // NewTemporaryName ends in 16 fresh hex digits: the id.
    const std::string fresh = NewTemporaryName();
    const std::string id = fresh.substr(fresh.size() - kMarkDigits);
    return kCopyTemporaryNamePrefix + id + "-" + Mark("copy", id);
}

std::string AsideName(const std::string& name)
{
    return kReplacedAsidePrefix + Mark("old", name) + "-" + name;
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
        if (std::strncmp(entry->d_name, kTemporaryNamePrefix, std::strlen(kTemporaryNamePrefix)) != 0)
            continue;
        bool held = false;
        if (IsCopyTemporaryName(entry->d_name)) {
            held = !IsOwnTemporary(entry->d_name) && !RemoveUnheld(dirFd, entry->d_name);
        } else if (const std::string name = AsideOf(entry->d_name); !name.empty()) {
            held = !PutBackAside(dirFd, entry->d_name, name);
        }
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

namespace platform {

std::string OwnCopyTemporaryName()
{
    return detail::NewCopyTemporaryName();
}

std::string OwnAsideName(const std::string& name)
{
    return detail::AsideName(name);
}

}  // namespace platform
