// CopyFile: the one operation that writes users' files. The new content
// is built in a temporary file in the destination folder and only put in
// place, in one step, when it is complete, so that no kill, crash or full
// disk can leave a half-written destination. Just before that step the copy
// makes sure that neither file changed since it looked at them: a file
// written to while it is read gives a copy that exists in neither version,
// and a destination saved meanwhile is newer than what the run decided on.
//
// A copy is made in three steps: staged (written and checked), flushed (its
// content and attributes reach the disk) and placed (renamed or linked in).
// Without the flush a power cut can keep the new name but not the data, and
// leave an empty file with the source's time, which later runs take as up
// to date. Flushing many staged copies at once costs little more than
// flushing one, so runs stage copies in batches (CopyQueue).

#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <linux/magic.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <set>
#include <utility>

#include "platform/fs/CaseIndex.h"
#include "platform/fs/FileAttributes.h"
#include "platform/fs/FileSystem.h"
#include "platform/fs/FileSystemInternal.h"
#include "platform/fs/KeepAlive.h"
#include "platform/fs/Trash.h"
#include "platform/fs/TrustedPath.h"

namespace platform {

namespace {

using detail::Fd;

// Set once a file system has shown that an unnamed temporary file cannot be
// given a name (no /proc and no privilege for AT_EMPTY_PATH).
std::atomic<bool> g_unnamedCannotLink{false};
// How an unnamed temporary file is given a name here, once one way worked.
enum class LinkMethod { NotYetKnown, EmptyPath, ThroughProc };
std::atomic<LinkMethod> g_linkMethod{LinkMethod::NotYetKnown};

constexpr int kRetryWithNamedTemp = -1;
// The destination is the source itself: nothing to write.
constexpr int kSameFile = -2;

// The last pair of devices between which cloning was refused, so that a
// run over a file system without it (ext4) does not ask again per file.
struct DevicePair {
    dev_t from = 0;
    dev_t to = 0;
    bool known = false;
};
thread_local DevicePair t_noClone;

bool IsUnsupported(int error)
{
    return error == EOPNOTSUPP || error == ENOTSUP || error == EXDEV || error == EINVAL || error == ENOSYS
        || error == ENOTTY || error == EBADF;
}

using detail::RefusesPermissions;

void IgnoreFileSizeSignal(int)
{
}

// Under a file-size limit (ulimit -f) the write that passes it would end the
// program with SIGXFSZ. Caught, the signal lets the write fail with EFBIG,
// which fails that one copy. A handler rather than SIG_IGN: programs started
// from this one get the default back.
void CatchFileSizeSignal()
{
    static const bool caught = [] {
        struct sigaction current {};
        if (::sigaction(SIGXFSZ, nullptr, &current) != 0 || (current.sa_flags & SA_SIGINFO) != 0
            || current.sa_handler != SIG_DFL)
            return false;  // decided elsewhere already
        struct sigaction action {};
        action.sa_handler = IgnoreFileSizeSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        return ::sigaction(SIGXFSZ, &action, nullptr) == 0;
    }();
    static_cast<void>(caught);
}

bool SameTime(const timespec& a, const timespec& b)
{
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

// Whether now describes the file seen, as it was: the same file, size,
// last-write and change time. Every write moves the change time, so short
// of reading the content again this is the surest sign Linux gives.
bool Unchanged(const struct stat& now, const struct stat& seen)
{
    return now.st_dev == seen.st_dev && now.st_ino == seen.st_ino && now.st_size == seen.st_size
        && SameTime(now.st_mtim, seen.st_mtim) && SameTime(now.st_ctim, seen.st_ctim);
}

// The text file writer's temporary files share the prefix, not the mark.
std::string NewCopyTemporaryName()
{
    return kCopyTemporaryNamePrefix + detail::NewTemporaryName().substr(std::strlen(kTemporaryNamePrefix));
}

bool IsCopyTemporaryName(const char* name)
{
    return std::strncmp(name, kCopyTemporaryNamePrefix, std::strlen(kCopyTemporaryNamePrefix)) == 0;
}

// Folders found free of leftovers, with the times they had then: one that
// has not changed since needs no new look, so a run that copies many files
// into one folder reads it once. A folder where some copy held its
// temporary file is looked at again, since that copy may yet be killed.
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

void NoteOwnTemporary(const std::string& name, bool waiting)
{
    const std::lock_guard<std::mutex> lock(g_foldersFreeMutex);
    if (waiting)
        g_ownTemporaries.insert(name);
    else
        g_ownTemporaries.erase(name);
}

bool IsOwnTemporary(const char* name)
{
    const std::lock_guard<std::mutex> lock(g_foldersFreeMutex);
    return g_ownTemporaries.count(name) != 0;
}

// The copy itself changed the folder from before to after: a folder that
// was clear before is clear after.
void NoteOwnChange(const struct stat& before, const struct stat& after)
{
    if (IsCleared(before))
        NoteCleared(after, false);
}

// Removes the temporary file name of dirFd unless a copy holds it; false
// when one does.
bool RemoveUnheld(int dirFd, const char* name)
{
    Fd file(::openat(dirFd, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat st {};
    if (file.get() < 0 || ::fstat(file.get(), &st) != 0 || !S_ISREG(st.st_mode))
        return true;
    if (::flock(file.get(), LOCK_EX | LOCK_NB) != 0)
        return errno != EWOULDBLOCK;
    // Still the file locked, not one made under the name meanwhile.
    struct stat atName {};
    if (::fstatat(dirFd, name, &atName, AT_SYMLINK_NOFOLLOW) == 0 && atName.st_dev == st.st_dev
        && atName.st_ino == st.st_ino)
        ::unlinkat(dirFd, name, 0);
    return true;
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
        if (IsCopyTemporaryName(entry->d_name) && !IsOwnTemporary(entry->d_name) && !RemoveUnheld(dirFd, entry->d_name))
            someHeld = true;
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

// Moves content from one file to the same places in another, by the kernel
// where it can, else by reading and writing.
class ContentMover {
public:
    explicit ContentMover(const FileSystemTestHooks* hooks)
        : m_hooks(hooks),
          m_kernel(!(hooks && hooks->noKernelCopy)),
          m_pieceLimit(hooks ? hooks->pieceSize : 0)
    {
    }

    // Tries to share the blocks of the whole file (Btrfs, XFS); true when done.
    bool Clone(int src, int dst, dev_t from, dev_t to, int& error)
    {
        error = 0;
        if (!m_kernel || m_pieceLimit != 0)
            return false;
        if ((error = AskHook()) != 0)
            return true;
        if (t_noClone.known && t_noClone.from == from && t_noClone.to == to)
            return false;
        if (::ioctl(dst, FICLONE, src) == 0)
            return true;
        if (IsUnsupported(errno))
            t_noClone = {from, to, true};
        return false;
    }

    // Copies the bytes [from, to) of src; with to < 0, up to the end of src.
    int Range(int src, int dst, off_t from, off_t to)
    {
        if (m_kernel && to >= 0) {
            const int error = KernelRange(src, dst, from, to);
            if (m_kernel)
                return error;
        }
        if (::lseek(src, from, SEEK_SET) < 0 || ::lseek(dst, from, SEEK_SET) < 0)
            return errno;
        return ReadAndWrite(src, dst, from, to);
    }

    // Writes zeros over [from, to) of dst, for a hole the destination
    // cannot keep.
    int Zeros(int dst, off_t from, off_t to)
    {
        if (::lseek(dst, from, SEEK_SET) < 0)
            return errno;
        constexpr std::size_t kZeros = std::size_t{64} * 1024;
        const std::unique_ptr<char[]> zeros(new (std::nothrow) char[kZeros]());
        if (!zeros)
            return ENOMEM;
        for (off_t at = from; at < to;) {
            const std::uint64_t left = static_cast<std::uint64_t>(to - at);
            const std::size_t piece = left < kZeros ? static_cast<std::size_t>(left) : kZeros;
            KeepAlive::Beat();
            if (const int error = detail::WriteAll(dst, zeros.get(), piece, m_done))
                return error;
            at += static_cast<off_t>(piece);
        }
        return 0;
    }

private:
    // Before each piece: the run may answer its desktop, and a test may
    // make the piece fail.
    int AskHook() const
    {
        KeepAlive::Beat();
        return (m_hooks && m_hooks->beforeWrite) ? m_hooks->beforeWrite(m_done) : 0;
    }

    // Range by the kernel. The call is given the offsets, so neither file's
    // position needs setting first. Where the kernel cannot copy between
    // the two files it turns itself off, before anything has moved.
    int KernelRange(int src, int dst, off_t from, off_t to)
    {
        off_t in = from;
        off_t out = from;
        while (in < to) {
            if (const int error = AskHook())
                return error;
            const ssize_t moved = ::copy_file_range(src, &in, dst, &out, PieceSize(to - in), 0);
            if (moved < 0) {
                if (errno == EINTR)
                    continue;
                if (in == from && IsUnsupported(errno)) {
                    m_kernel = false;
                    return 0;
                }
                return errno;
            }
            if (moved == 0)
                return 0;  // the file shrank meanwhile, which the copy's check tells
            m_done += static_cast<std::uint64_t>(moved);
        }
        return 0;
    }

    // How much one call moves: what is left, at most the test's piece size
    // and 16 MiB, which even a slow drive takes in well under a second.
    std::size_t PieceSize(off_t left) const
    {
        auto want = static_cast<std::uint64_t>(left);
        if (m_pieceLimit != 0 && want > m_pieceLimit)
            want = m_pieceLimit;
        return static_cast<std::size_t>(std::min<std::uint64_t>(want, std::uint64_t{16} << 20));
    }

    int ReadAndWrite(int src, int dst, off_t at, off_t to)
    {
        constexpr std::size_t kBufferSize = 1 << 20;
        if (!m_buffer) {
            // The source was opened without blocking, for FIFOs; plain reads
            // of a regular file want it back on, so no file system answers
            // EAGAIN.
            const int flags = ::fcntl(src, F_GETFL);
            if (flags >= 0 && (flags & O_NONBLOCK) != 0)
                ::fcntl(src, F_SETFL, flags & ~O_NONBLOCK);
            m_buffer.reset(new (std::nothrow) char[kBufferSize]);
            if (!m_buffer)
                return ENOMEM;
        }
        std::size_t chunk = kBufferSize;
        if (m_pieceLimit != 0 && m_pieceLimit < chunk)
            chunk = m_pieceLimit;
        while (to < 0 || at < to) {
            std::size_t want = chunk;
            if (to >= 0 && static_cast<std::uint64_t>(to - at) < want)
                want = static_cast<std::size_t>(to - at);
            KeepAlive::Beat();
            const ssize_t got = ::read(src, m_buffer.get(), want);
            if (got < 0) {
                if (errno == EINTR)
                    continue;
                return errno;
            }
            if (got == 0)
                return 0;
            if (const int error = detail::WriteAll(dst, m_buffer.get(), static_cast<std::size_t>(got), m_done))
                return error;
            at += got;
        }
        return 0;
    }

    const FileSystemTestHooks* m_hooks;
    bool m_kernel;
    std::size_t m_pieceLimit;
    std::uint64_t m_done = 0;
    std::unique_ptr<char[]> m_buffer;
};

// Copies the data of a file with holes, leaving holes where src has them.
// A hole is made by lengthening the file; a drive that cannot (FAT through
// FUSE) gets zeros instead.
int MoveDataAndHoles(ContentMover& mover, int src, int dst, off_t size)
{
    off_t written = 0;
    bool holes = true;
    const auto lengthen = [&](off_t length) {
        if (length <= written)
            return 0;
        if (holes && ::ftruncate(dst, length) == 0) {
            written = length;
            return 0;
        }
        holes = false;
        const int zeroError = mover.Zeros(dst, written, length);
        written = length;
        return zeroError;
    };
    for (off_t at = 0; at < size;) {
        const off_t data = ::lseek(src, at, SEEK_DATA);
        if (data < 0) {
            if (errno == ENXIO)
                break;  // nothing but a hole to the end
            if (at == 0)
                return mover.Range(src, dst, 0, size);  // holes cannot be found here
            return errno;
        }
        if (data >= size)
            break;
        off_t hole = ::lseek(src, data, SEEK_HOLE);
        if (hole < 0)
            return errno;
        if (hole > size)
            hole = size;
        int error = lengthen(data);
        if (error == 0)
            error = mover.Range(src, dst, data, hole);
        if (error != 0)
            return error;
        written = hole;
        at = hole;
    }
    return lengthen(size);  // with the hole at the end
}

// Moves the content of src to dst.
int MoveContent(int src, int dst, const struct stat& sourceStat, dev_t destinationDevice,
                const FileSystemTestHooks* hooks)
{
    ContentMover mover(hooks);
    const off_t size = sourceStat.st_size;
    // Files that report no size (those of /proc, for instance) are read
    // until their end instead.
    if (size == 0)
        return mover.Range(src, dst, 0, -1);
    int error = 0;
    if (mover.Clone(src, dst, sourceStat.st_dev, destinationDevice, error))
        return error;

    // Fewer blocks than bytes: the file has holes. Only its data is copied,
    // so that the holes stay holes where the destination keeps them.
    if (static_cast<std::uint64_t>(sourceStat.st_blocks) * 512 >= static_cast<std::uint64_t>(size))
        return mover.Range(src, dst, 0, size);
    return MoveDataAndHoles(mover, src, dst, size);
}

// What a copy works on: the source it has open, and what it saw at the
// destination before it began.
struct CopyJob {
    int src = -1;
    struct stat sourceStat {};
    std::string sourcePath;  // the path the source was opened by
    int dirFd = -1;  // the destination's folder
    dev_t device = 0;
    std::string name;  // the destination's name in it
    bool failIfExists = false;
    bool destinationSeen = false;  // something stood at name
    struct stat seen {};  // what: a file, or a link that leads nowhere
    const FileSystemTestHooks* hooks = nullptr;
    detail::TrashPlace* trash = nullptr;  // where the file replaced is kept, if it is

    // The file the copy replaces, whose owner and bits the copy keeps.
    const struct stat* Replaced() const { return destinationSeen && S_ISREG(seen.st_mode) ? &seen : nullptr; }
};

// Once the last byte is read: is the source still the file opened, as it
// was when the copy began?
int SourceUnchanged(const CopyJob& job)
{
    struct stat now {};
    if (::fstat(job.src, &now) != 0)
        return errno;
    if (!Unchanged(now, job.sourceStat))
        return kCopySourceChanged;
    // A file saved by rename puts another file at the path: the one read is
    // no longer the source.
    if (::stat(job.sourcePath.c_str(), &now) != 0 || now.st_dev != job.sourceStat.st_dev
        || now.st_ino != job.sourceStat.st_ino)
        return kCopySourceChanged;
    return 0;
}

// Just before the copy replaces the destination: is it still what the copy
// saw? Between this look and the rename only microseconds pass; no call of
// Linux closes that gap.
int DestinationUnchanged(const CopyJob& job)
{
    struct stat now {};
    const int follow = S_ISLNK(job.seen.st_mode) ? AT_SYMLINK_NOFOLLOW : 0;
    if (::fstatat(job.dirFd, job.name.c_str(), &now, follow) != 0)
        return errno == ENOENT ? kCopyDestinationChanged : errno;
    return Unchanged(now, job.seen) ? 0 : kCopyDestinationChanged;
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
        if (const int error = detail::CreateExclusive(job.dirFd, NewCopyTemporaryName, mode, tmp, tmpName))
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

// The set-user-ID and set-group-ID bits the written file may carry: only
// those of the source whose owner (group) is also the written file's. A
// copy written for the user out of another's file (from a folder they share)
// must not hand that other person the user's rights.
mode_t SetIdBitsToCarry(int tmp, const struct stat& source)
{
    if ((source.st_mode & (S_ISUID | S_ISGID)) == 0)
        return 0;
    struct stat written {};
    if (::fstat(tmp, &written) != 0)
        return 0;
    mode_t bits = 0;
    if ((source.st_mode & S_ISUID) != 0 && source.st_uid == written.st_uid)
        bits |= S_ISUID;
    if ((source.st_mode & S_ISGID) != 0 && source.st_gid == written.st_gid)
        bits |= S_ISGID;
    return bits;
}

// Owner (where we may give it), ACL, permission bits, the source's user
// attributes and times go to the temporary file after its last write.
int CarryAttributes(int tmp, const CopyJob& job)
{
    const struct stat& source = job.sourceStat;
    if (const struct stat* replaced = job.Replaced()) {
        if (replaced->st_uid != geteuid() || replaced->st_gid != getegid()) {
            // The file keeps the owner it had; before the mode, since a
            // change of owner clears set-id bits.
            if (::fchown(tmp, replaced->st_uid, replaced->st_gid) != 0) {
                // Not ours to give: the copy belongs to whoever made it.
            }
        }
        // Its ACL too; the bits below then give back its mask.
        if (const int error = detail::KeepAccessAcl(job.dirFd, job.name, tmp))
            return error;
        // An updated file keeps its own bits, so a private file stays
        // private; only read-only travels with the source, and set-id bits
        // as SetIdBitsToCarry allows.
        const mode_t mode = (replaced->st_mode & 01777 & ~S_IWUSR) | (source.st_mode & S_IWUSR)
            | SetIdBitsToCarry(tmp, source);
        if (::fchmod(tmp, mode) != 0 && !RefusesPermissions(errno))
            return errno;
    } else if (const mode_t setId = SetIdBitsToCarry(tmp, source)) {
        // A new file was made with the source's bits less the umask, which
        // leaves set-id bits out; those that may travel are added.
        struct stat made {};
        if (::fstat(tmp, &made) == 0 && ::fchmod(tmp, (made.st_mode & 01777) | setId) != 0
            && !RefusesPermissions(errno))
            return errno;
    }
    if (const int error = detail::CarryUserAttributes(job.src, tmp))
        return error;
    const timespec times[2] = {source.st_atim, source.st_mtim};
    if (::futimens(tmp, times) != 0)
        return errno;
    return 0;
}

// Puts a complete named temporary file in place of a name that nothing may
// take meanwhile.
int PlaceWithoutReplacing(int dirFd, const std::string& tmpName, const std::string& name)
{
    if (::renameat2(dirFd, tmpName.c_str(), dirFd, name.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    if (!IsUnsupported(errno))
        return errno;
    // No RENAME_NOREPLACE here: a hard link cannot replace a name either.
    if (::linkat(dirFd, tmpName.c_str(), dirFd, name.c_str(), 0) == 0) {
        ::unlinkat(dirFd, tmpName.c_str(), 0);
        return 0;
    }
    if (errno != EPERM && !IsUnsupported(errno))
        return errno;
    // Neither (vfat has no hard links): look, then rename. A name that
    // appears between the two steps is the one case left to chance.
    struct stat st {};
    if (::fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0)
        return EEXIST;
    return ::renameat(dirFd, tmpName.c_str(), dirFd, name.c_str()) == 0 ? 0 : errno;
}

// Where nothing stood, nothing may be replaced: a name that appeared
// meanwhile is another's file, even when the copy was to overwrite.
int NoNameTaken(const CopyJob& job, int error)
{
    return (error == EEXIST && !job.failIfExists) ? kCopyDestinationChanged : error;
}

// Puts the complete file fromName (in the destination's folder) in place
// of the destination, which must still be what the copy saw; the file it
// replaces goes to the Trash first when it is to be kept.
int ReplaceDestination(const CopyJob& job, const std::string& fromName)
{
    if (const int error = DestinationUnchanged(job))
        return error;
    if (job.trash) {
        if (const int error = job.trash->Keep(job.seen))
            return CopyCannotKeepReplaced(error);
    }
    if (::renameat(job.dirFd, fromName.c_str(), job.dirFd, job.name.c_str()) == 0)
        return 0;
    const int error = errno;
    if (job.trash)
        job.trash->Undo();
    return error;
}

int PlaceNamed(const CopyJob& job, const std::string& tmpName)
{
    if (!job.destinationSeen)
        return NoNameTaken(job, PlaceWithoutReplacing(job.dirFd, tmpName, job.name));
    return ReplaceDestination(job, tmpName);
}

int PlaceUnnamed(const CopyJob& job, int tmp)
{
    int error = 0;
    if (!job.destinationSeen) {
        error = NoNameTaken(job, LinkUnnamed(tmp, job.dirFd, job.name));
    } else {
        // No call replaces a name with an unnamed file, so it gets a
        // temporary name first, for the moment it takes to rename it.
        std::string linkName;
        do {
            linkName = NewCopyTemporaryName();
            error = LinkUnnamed(tmp, job.dirFd, linkName);
        } while (error == EEXIST);
        if (error == 0) {
            error = ReplaceDestination(job, linkName);
            if (error != 0)
                ::unlinkat(job.dirFd, linkName.c_str(), 0);
        }
    }
    if (error == ENOENT) {
        // Is it the folder that went, or the means to link?
        struct stat folder {};
        if (::fstat(job.dirFd, &folder) == 0 && folder.st_nlink > 0) {
            g_unnamedCannotLink.store(true);
            return kRetryWithNamedTemp;
        }
    }
    return error;
}

// Some drives (FAT through FUSE) give a file the time of its rename: where
// a device was seen to, the copy's time is set again once it is in place.
// Should that fail, the content is in place all the same; the time it has
// then makes the next run copy it back, which changes no content.
void KeepTimesAfterPlacing(int tmp, const CopyJob& job)
{
    thread_local std::map<dev_t, bool> renameKeepsTimes;
    const auto known = renameKeepsTimes.find(job.device);
    if (known != renameKeepsTimes.end() && known->second)
        return;
    struct stat placed {};
    if (::fstat(tmp, &placed) != 0)
        return;
    const bool kept = SameTime(placed.st_mtim, job.sourceStat.st_mtim);
    if (known == renameKeepsTimes.end())
        renameKeepsTimes[job.device] = kept;
    if (!kept) {
        const timespec times[2] = {job.sourceStat.st_atim, job.sourceStat.st_mtim};
        static_cast<void>(::futimens(tmp, times));
    }
}

// Writes the copy into a temporary file in the destination's folder: the
// content, then the attributes; the source is checked after the last byte.
int WriteTemporary(const CopyJob& job, bool& unnamed, Fd& tmp, std::string& tmpName)
{
    // A new file is made with the source's bits, which the umask (or the
    // folder's default ACL) trims as for any new file, as cp does.
    const mode_t mode = job.Replaced() ? 0600 : (job.sourceStat.st_mode & 0777);
    if (const int error = MakeTemporary(job, mode, unnamed, tmp, tmpName))
        return error;
    int error = MoveContent(job.src, tmp.get(), job.sourceStat, job.device, job.hooks);
    if (error == 0 && job.hooks && job.hooks->afterContent)
        job.hooks->afterContent();
    if (error == 0)
        error = CarryAttributes(tmp.get(), job);
    if (error == 0)
        error = SourceUnchanged(job);
    return error;
}

// Opens whatever stands at the source's path (the exact name, else a
// namesake in other case); path is set to the path it was opened by. A
// link of another user is not read through.
int OpenSourcePath(const std::string& source, NameMatch match, detail::Fd& fd, std::string& path)
{
    // O_NONBLOCK: a FIFO standing at the path must not hang the run.
    constexpr int kFlags = O_RDONLY | O_NONBLOCK | O_NOCTTY;
    path = source;
    int error = detail::OpenTrusted(AT_FDCWD, source, kFlags, detail::LinkRule::OwnOnly, fd);
    if (error == ENOENT && match == NameMatch::CaseBlind) {
        struct stat st {};
        error = detail::StatResolved(source, st, path, match);
        if (error == 0)
            error = detail::OpenTrusted(AT_FDCWD, path, kFlags, detail::LinkRule::OwnOnly, fd);
    }
    return error == detail::kLinkOfAnotherUser ? kCopySourceIsLinkOfAnotherUser : error;
}

// What stands at the destination: the exact name, else a name equal to it
// without regard to case, looked up from dir (the folder, whose stat is
// folder). A link of the user's own is followed, so that the file it points
// to is updated and the link stays: dir, folder and name then tell where it
// leads. A link of another user is refused: nothing is written through it.
// 0 with job's look filled in; kSameFile when that is the source itself;
// else why the copy may not go there.
int LookAtDestination(CopyJob& job, Fd& dir, struct stat& folder, const std::string& destination, std::string& name,
                      NameMatch match)
{
    struct stat& found = job.seen;
    std::string target;
    const int lookup = detail::LstatResolvedAt(dir.get(), folder, destination, name, found, target, match);
    if (lookup == ENOENT)
        return 0;
    if (lookup != 0)
        return lookup;
    job.destinationSeen = true;
    if (target != destination) {
        std::string sameFolder;
        detail::SplitPath(target, sameFolder, name);  // a namesake in other case
    }
    if (S_ISLNK(found.st_mode)) {
        if (!detail::TrustsLinkOf(found.st_uid, detail::LinkRule::OwnOnly))
            return kCopyDestinationIsLinkOfAnotherUser;
        Fd ledTo;
        std::string ledName;
        struct stat st {};
        const int followed = detail::ResolveOwnLink(dir.get(), name, ledTo, ledName, st);
        if (followed == detail::kLinkOfAnotherUser)
            return kCopyDestinationIsLinkOfAnotherUser;
        if (followed == 0) {
            if (::fstat(ledTo.get(), &folder) != 0)
                return errno;
            dir = std::move(ledTo);
            name = ledName;
            found = st;
        }
        // A link that leads nowhere is seen as what it is.
    }
    const bool isFile = S_ISREG(found.st_mode);
    if (job.failIfExists)
        return EEXIST;
    if (S_ISDIR(found.st_mode))
        return EISDIR;
    if (!isFile && !S_ISLNK(found.st_mode))
        return EINVAL;
    // Read-only refuses the copy even for root, who is not stopped by
    // permissions, and even when it is the source itself.
    if (isFile && (found.st_mode & S_IWUSR) == 0)
        return EACCES;
    if (isFile && found.st_dev == job.sourceStat.st_dev && found.st_ino == job.sourceStat.st_ino)
        return kSameFile;
    // Renaming over a file needs only its folder's write permission: a file
    // the user may not write (another's, in a shared folder) is left alone.
    return isFile ? detail::RefuseUnwritable(dir.get(), name) : 0;
}

// Opens the source into src and job, and looks at it: only a regular file
// is copied.
int OpenSourceFile(CopyJob& job, const std::string& source, NameMatch match, Fd& src)
{
    if (const int error = OpenSourcePath(source, match, src, job.sourcePath))
        return error;
    job.src = src.get();
    if (::fstat(src.get(), &job.sourceStat) != 0)
        return errno;
    if (S_ISDIR(job.sourceStat.st_mode))
        return EISDIR;
    if (!S_ISREG(job.sourceStat.st_mode))
        return kCopySourceNotAFile;  // devices, FIFOs, sockets are never copied
    return 0;
}

// Whether one flush of the whole drive (syncfs) makes the files written to
// it durable, data and attributes: local file systems whose sync writes
// every dirty file and commits their journal. Drives through FUSE and
// network file systems are flushed file by file.
bool FlushesAsAWhole(int dirFd, dev_t device)
{
    thread_local std::map<dev_t, bool> known;
    const auto it = known.find(device);
    if (it != known.end())
        return it->second;
    struct statfs fs {};
    bool whole = false;
    if (::fstatfs(dirFd, &fs) == 0) {
        switch (static_cast<unsigned long>(fs.f_type)) {
        case EXT4_SUPER_MAGIC:
        case XFS_SUPER_MAGIC:
        case BTRFS_SUPER_MAGIC:
        case F2FS_SUPER_MAGIC:
        case MSDOS_SUPER_MAGIC:
        case EXFAT_SUPER_MAGIC:
        case TMPFS_MAGIC: whole = true; break;
        default: break;
        }
    }
    known[device] = whole;
    return whole;
}

// Why a copy may not go where LookAtDestination refused it: a name taken
// by something that is not a file is told apart from one taken by a file.
int WhyNotThere(int refusal, const CopyJob& job)
{
    if (refusal == EINVAL)
        return kCopyDestinationNotAFile;
    if (refusal != EEXIST || S_ISREG(job.seen.st_mode))
        return refusal;
    if (S_ISDIR(job.seen.st_mode))
        return kCopyDestinationIsFolder;
    return S_ISLNK(job.seen.st_mode) ? kCopyDestinationIsBrokenLink : kCopyDestinationNotAFile;
}

// Opens the destination's folder and looks at what stands at the name;
// on 0, job knows where the copy goes.
int FindDestination(const detail::CopyRequest& request, CopyJob& job, Fd& dir, struct stat& before)
{
    std::string folder;
    std::string name;
    detail::SplitPath(request.destination, folder, name);
    if (name.empty())
        return EISDIR;
    if (const int error = detail::OpenTrusted(AT_FDCWD, folder, O_PATH | O_DIRECTORY, detail::LinkRule::OwnOrSystem,
                                              dir))
        return error == detail::kLinkOfAnotherUser ? kCopyDestinationIsLinkOfAnotherUser : error;
    if (::fstat(dir.get(), &before) != 0)
        return errno;
    if (const int refusal = LookAtDestination(job, dir, before, request.destination, name, request.match))
        return WhyNotThere(refusal, job);
    // The caller decided on this copy by what it saw there a moment ago.
    const auto& expected = request.expectedDestinationAge;
    if (expected && (job.destinationSeen ? detail::PackStatTime(job.seen) : -1) != *expected)
        return kCopyDestinationChanged;
    job.dirFd = dir.get();
    job.device = before.st_dev;
    job.name = name;
    return 0;
}

// The copy itself changed the folder dirFd, which was before until then:
// those who keep what they know of the folder are told.
void NoteOwnFolderChange(int dirFd, const struct stat& before, const std::string& addedName = {})
{
    struct stat after {};
    if (::fstat(dirFd, &after) != 0)
        return;
    detail::CaseIndex::Instance().NoteChange(before, after, addedName);
    NoteOwnChange(before, after);
}

// Runs change, a change of the folder dirFd made by the copy itself, and
// tells those who keep what they know of the folder: the case index (with
// the name it added, if any) and the leftover check.
template <typename Change> int ChangeFolder(int dirFd, Change&& change, const std::string& addedName = {})
{
    struct stat before {};
    const bool seen = ::fstat(dirFd, &before) == 0;
    bool added = false;
    const int error = change(added);
    if (seen)
        NoteOwnFolderChange(dirFd, before, added ? addedName : std::string());
    return error;
}

int CopyNow(const detail::CopyRequest& request, detail::CopyOutcome& outcome);

}  // namespace

// A copy written to its temporary file and checked, waiting to be flushed
// and put in place. Dropped before it is placed, it leaves nothing behind.
struct detail::StagedCopy {
    CopyRequest request;
    CopyJob job;
    Fd src;
    Fd dir;
    Fd tmp;
    std::string tmpName;  // empty for an unnamed temporary file
    bool unnamed = false;
    bool flushesAsAWhole = false;
    std::unique_ptr<TrashPlace> trash;

    ~StagedCopy()
    {
        if (tmpName.empty())
            return;
        ::unlinkat(dir.get(), tmpName.c_str(), 0);
        NoteOwnTemporary(tmpName, false);
    }
};

void detail::StagedCopyDeleter::operator()(StagedCopy* copy) const
{
    delete copy;
}

namespace {

// Whether the file name in dirFd holds byte for byte what src holds: then
// replacing it loses nothing, and it is not kept. Read with pread, so that
// neither file's offset moves.
bool SameContent(int src, int dirFd, const std::string& name, const struct stat& replaced, const struct stat& source)
{
    if (replaced.st_size != source.st_size)
        return false;
    Fd old(::openat(dirFd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat st {};
    if (old.get() < 0 || ::fstat(old.get(), &st) != 0 || st.st_ino != replaced.st_ino || st.st_dev != replaced.st_dev)
        return false;
    constexpr std::size_t kPiece = std::size_t{256} * 1024;
    const std::unique_ptr<char[]> a(new (std::nothrow) char[kPiece]);
    const std::unique_ptr<char[]> b(new (std::nothrow) char[kPiece]);
    if (!a || !b)
        return false;
    for (off_t at = 0;;) {
        KeepAlive::Beat();
        const ssize_t got = ::pread(src, a.get(), kPiece, at);
        if (got < 0)
            return false;
        if (got == 0)
            return at == source.st_size;
        std::size_t have = 0;
        while (have < static_cast<std::size_t>(got)) {
            const ssize_t more = ::pread(old.get(), b.get() + have, static_cast<std::size_t>(got) - have,
                                         at + static_cast<off_t>(have));
            if (more <= 0)
                return false;
            have += static_cast<std::size_t>(more);
        }
        if (std::memcmp(a.get(), b.get(), have) != 0)
            return false;
        at += got;
    }
}

int StageCopyImpl(const detail::CopyRequest& request, detail::StagedCopyPtr& staged, detail::CopyOutcome& outcome)
{
    CatchFileSizeSignal();
    detail::StagedCopyPtr copy(new detail::StagedCopy);
    copy->request = request;
    CopyJob& job = copy->job;
    job.hooks = detail::ActiveTestHooks();
    job.failIfExists = request.failIfExists;

    if (const int error = OpenSourceFile(job, request.source, request.match, copy->src))
        return error;
    struct stat before {};
    if (const int error = FindDestination(request, job, copy->dir, before))
        return error == kSameFile ? kCopySameFile : error;
    if (request.keepReplaced && job.Replaced()
        && !SameContent(job.src, job.dirFd, job.name, *job.Replaced(), job.sourceStat)) {
        copy->trash = std::make_unique<detail::TrashPlace>();
        if (const int error = copy->trash->Reserve(job.dirFd, job.name, request.trashes))
            return CopyCannotKeepReplaced(error);
        job.trash = copy->trash.get();
    }

    outcome.folderKnown = true;
    outcome.device = before.st_dev;
    outcome.inode = before.st_ino;
    outcome.name = job.name;

    RemoveLeftovers(job.dirFd, before);
    copy->unnamed = !(job.hooks && job.hooks->noUnnamedTemp) && !g_unnamedCannotLink.load();
    copy->flushesAsAWhole = FlushesAsAWhole(job.dirFd, job.device);
    const int error = WriteTemporary(job, copy->unnamed, copy->tmp, copy->tmpName);
    if (!copy->tmpName.empty())
        NoteOwnFolderChange(job.dirFd, before);  // a named temporary file changed it; an unnamed one does not
    if (error != 0)
        return error;
    copy->src.reset(-1);  // all read
    job.src = -1;
    staged = std::move(copy);
    return 0;
}

int PlaceStagedImpl(detail::StagedCopy& copy, detail::CopyOutcome& outcome)
{
    const CopyJob& job = copy.job;
    const int error = ChangeFolder(
        job.dirFd,
        [&](bool& added) {
            const int placing = copy.unnamed ? PlaceUnnamed(job, copy.tmp.get()) : PlaceNamed(job, copy.tmpName);
            if (placing == 0 && !copy.unnamed) {
                NoteOwnTemporary(copy.tmpName, false);
                copy.tmpName.clear();  // it is the destination now
            }
            added = placing == 0 && !job.destinationSeen;
            return placing;
        },
        job.name);
    if (error == kRetryWithNamedTemp) {
        // The file system cannot name an unnamed file after all: the copy
        // is made again, with a named one.
        copy.tmp.reset(-1);
        return CopyNow(copy.request, outcome);
    }
    if (error == 0)
        KeepTimesAfterPlacing(copy.tmp.get(), job);
    outcome.created = error == 0 && !job.destinationSeen;
    return error;
}

// One copy on its own: staged, flushed, placed.
int CopyNow(const detail::CopyRequest& request, detail::CopyOutcome& outcome)
{
    detail::StagedCopyPtr staged;
    if (const int error = detail::StageCopy(request, staged, outcome); error != 0 || !staged)
        return error;
    if (const int error = detail::FlushStaged({detail::FlushItemOf(*staged)}).front())
        return error;
    return detail::PlaceStaged(*staged, outcome);
}

// What escapes the steps of a copy (no memory) fails that copy only.
template <typename Step> int Contained(Step&& step)
{
    try {
        return step();
    } catch (const std::bad_alloc&) {
        return ENOMEM;
    } catch (...) {
        return EIO;
    }
}

}  // namespace

int detail::StageCopy(const CopyRequest& request, StagedCopyPtr& staged, CopyOutcome& outcome)
{
    staged.reset();
    outcome = CopyOutcome();
    return Contained([&] { return StageCopyImpl(request, staged, outcome); });
}

detail::FlushItem detail::FlushItemOf(const StagedCopy& copy)
{
    return {copy.tmp.get(), copy.trash ? copy.trash->InfoFd() : -1, copy.job.device, copy.flushesAsAWhole};
}

std::uint64_t detail::StagedBytes(const StagedCopy& copy)
{
    return static_cast<std::uint64_t>(copy.job.sourceStat.st_size);
}

std::size_t detail::DescriptorsHeld(const StagedCopy& copy)
{
    std::size_t held = 0;
    for (const int fd : {copy.src.get(), copy.dir.get(), copy.tmp.get(), copy.trash ? copy.trash->InfoFd() : -1})
        held += fd >= 0 ? 1 : 0;
    return held;
}

std::vector<int> detail::FlushStaged(const std::vector<FlushItem>& items)
{
    const FileSystemTestHooks* hooks = ActiveTestHooks();
    std::vector<int> errors(items.size(), 0);
    std::map<dev_t, int> drivesFlushed;
    for (std::size_t i = 0; i < items.size(); ++i) {
        const FlushItem& item = items[i];
        if (hooks && hooks->beforeFlush) {
            if ((errors[i] = hooks->beforeFlush()) != 0)
                continue;
        }
        if (item.wholeDrive) {
            const auto [drive, first] = drivesFlushed.try_emplace(item.device, 0);
            if (first && ::syncfs(item.fd) != 0)
                drive->second = errno;
            errors[i] = drive->second;
        } else {
            for (const int fd : {item.fd, item.trashInfoFd}) {
                if (fd >= 0 && ::fsync(fd) != 0 && errno != EINVAL && errors[i] == 0)
                    errors[i] = errno;  // EINVAL: a file that cannot be flushed at all
            }
        }
    }
    return errors;
}

int detail::PlaceStaged(StagedCopy& copy, CopyOutcome& outcome)
{
    return Contained([&] { return PlaceStagedImpl(copy, outcome); });
}

int CopyFile(const std::string& source, const std::string& destination, bool failIfExists, NameMatch match,
             std::optional<std::int32_t> expectedDestinationAge)
{
    detail::CopyOutcome outcome;
    const detail::CopyRequest request{source, destination, failIfExists, match, expectedDestinationAge};
    return Contained([&] { return CopyNow(request, outcome); });
}

}  // namespace platform
