// CopyFile: the one operation that writes users' files. The new content
// is built in a temporary file in the destination folder and only put in
// place, in one step, when it is complete, so that no kill, crash or full
// disk can leave a half-written destination.
//
// The copy does not fsync: like cp and rsync it leaves write-back to the
// kernel. After a power failure a copy may be lost, but the rename or link
// that puts it in place is the last step, and the file systems in use order
// the data of a replaced file before its new name.

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>

#include "platform/CaseIndex.h"
#include "platform/FileSystem.h"
#include "platform/FileSystemInternal.h"

namespace platform {

namespace {

class Fd {
public:
    explicit Fd(int fd = -1) : m_fd(fd) {}
    ~Fd()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return m_fd; }
    void reset(int fd)
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = fd;
    }

private:
    int m_fd;
};

// Set once a file system has shown that an unnamed temporary file cannot be
// given a name (no /proc and no privilege for AT_EMPTY_PATH).
std::atomic<bool> g_unnamedCannotLink{false};
// 0 not yet known, 1 linkat(AT_EMPTY_PATH) works, 2 through /proc/self/fd.
std::atomic<int> g_linkMethod{0};

constexpr int kRetryWithNamedTemp = -1;

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

// Gives the unnamed file tmp the name `name` in dirFd; fails with EEXIST
// when that name is taken.
int LinkUnnamed(int tmp, int dirFd, const std::string& name)
{
    if (g_linkMethod.load() != 2) {
        if (::linkat(tmp, "", dirFd, name.c_str(), AT_EMPTY_PATH) == 0) {
            g_linkMethod.store(1);
            return 0;
        }
        // Without the privilege AT_EMPTY_PATH reports ENOENT.
        if (errno != ENOENT || g_linkMethod.load() == 1)
            return errno;
    }
    char procPath[64];
    std::snprintf(procPath, sizeof procPath, "/proc/self/fd/%d", tmp);
    if (::linkat(AT_FDCWD, procPath, dirFd, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
        g_linkMethod.store(2);
        return 0;
    }
    return errno;
}

// Moves the content of src (at its start) to dst.
int MoveContent(int src, int dst, const struct stat& sourceStat, dev_t destinationDevice,
                const FileSystemTestHooks* hooks)
{
    std::uint64_t done = 0;
    const std::size_t pieceLimit = hooks ? hooks->pieceSize : 0;
    const bool kernel = !(hooks && hooks->noKernelCopy);
    const std::uint64_t size = static_cast<std::uint64_t>(sourceStat.st_size);
    auto askHook = [&]() -> int {
        return (hooks && hooks->beforeWrite) ? hooks->beforeWrite(done) : 0;
    };

    // Files that report no size (those of /proc, for instance) are read
    // until their end instead.
    if (kernel && size > 0) {
        if (pieceLimit == 0) {
            if (const int error = askHook())
                return error;
            // Shares the blocks where the file system can (Btrfs, XFS).
            const bool refused = t_noClone.known && t_noClone.from == sourceStat.st_dev
                                 && t_noClone.to == destinationDevice;
            if (!refused) {
                if (::ioctl(dst, FICLONE, src) == 0)
                    return 0;
                if (IsUnsupported(errno))
                    t_noClone = {sourceStat.st_dev, destinationDevice, true};
            }
        }
        bool fallBack = false;
        while (done < size) {
            if (const int error = askHook())
                return error;
            std::uint64_t want = size - done;
            if (pieceLimit != 0 && want > pieceLimit)
                want = pieceLimit;
            if (want > (1u << 30))
                want = 1u << 30;
            const ssize_t moved = ::copy_file_range(src, nullptr, dst, nullptr, static_cast<std::size_t>(want), 0);
            if (moved < 0) {
                if (errno == EINTR)
                    continue;
                // Only where nothing was moved yet can the loop below start
                // over from the beginning.
                if (done == 0 && IsUnsupported(errno)) {
                    fallBack = true;
                    break;
                }
                return errno;
            }
            if (moved == 0)
                return 0;  // the file shrank meanwhile
            done += static_cast<std::uint64_t>(moved);
        }
        if (!fallBack)
            return 0;
    }

    // The source was opened without blocking, for FIFOs; plain reads of a
    // regular file want it back on, so no file system answers EAGAIN.
    const int flags = ::fcntl(src, F_GETFL);
    if (flags >= 0 && (flags & O_NONBLOCK) != 0)
        ::fcntl(src, F_SETFL, flags & ~O_NONBLOCK);

    constexpr std::size_t kBufferSize = 1 << 20;
    std::unique_ptr<char[]> buffer(new (std::nothrow) char[kBufferSize]);
    if (!buffer)
        return ENOMEM;
    std::size_t chunk = kBufferSize;
    if (pieceLimit != 0 && pieceLimit < chunk)
        chunk = pieceLimit;
    while (true) {
        const ssize_t got = ::read(src, buffer.get(), chunk);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (got == 0)
            return 0;
        if (const int error = detail::WriteAll(dst, buffer.get(), static_cast<std::size_t>(got), done))
            return error;
    }
}

// Permission bits, owner (best effort) and times of the source go to the
// temporary file, after its last write.
int CarryAttributes(int tmp, const struct stat& sourceStat, const struct stat* oldDestination)
{
    if (oldDestination && (oldDestination->st_uid != geteuid() || oldDestination->st_gid != getegid())) {
        // The file keeps the owner it had where we may give it that owner;
        // before the mode, since a change of owner clears set-id bits.
        if (::fchown(tmp, oldDestination->st_uid, oldDestination->st_gid) != 0) {
            // Not ours to give: the copy belongs to whoever made it.
        }
    }
    if (::fchmod(tmp, sourceStat.st_mode & 07777) != 0) {
        // File systems without permission bits (vfat) refuse; that is no
        // reason to fail the copy.
        if (errno != EPERM && errno != ENOTSUP && errno != EOPNOTSUPP)
            return errno;
    }
    const timespec times[2] = {sourceStat.st_atim, sourceStat.st_mtim};
    if (::futimens(tmp, times) != 0)
        return errno;
    return 0;
}

// Puts a complete named temporary file in place of name.
int PlaceNamed(int dirFd, const std::string& tmpName, const std::string& name, bool failIfExists)
{
    if (!failIfExists)
        return ::renameat(dirFd, tmpName.c_str(), dirFd, name.c_str()) == 0 ? 0 : errno;
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

// Writes the copy into dirFd under a temporary file and puts it in place.
int WriteAndPlace(int src, const struct stat& sourceStat, int dirFd, dev_t device, const std::string& name,
                  bool failIfExists, const struct stat* oldDestination, bool unnamed,
                  const FileSystemTestHooks* hooks)
{
    Fd tmp;
    std::string tmpName;
    if (unnamed) {
        tmp.reset(::openat(dirFd, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600));
        if (tmp.get() < 0) {
            // Old kernels read O_TMPFILE as O_DIRECTORY and say EISDIR.
            if (errno != EOPNOTSUPP && errno != ENOTSUP && errno != EISDIR && errno != EINVAL)
                return errno;
            unnamed = false;
        }
    }
    if (!unnamed) {
        for (int attempt = 0; tmp.get() < 0; ++attempt) {
            tmpName = detail::NewTemporaryName();
            tmp.reset(::openat(dirFd, tmpName.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0600));
            if (tmp.get() < 0 && (errno != EEXIST || attempt > 100))
                return errno;
        }
    }

    int error = MoveContent(src, tmp.get(), sourceStat, device, hooks);
    if (error == 0 && hooks && hooks->afterContent)
        hooks->afterContent();
    if (error == 0)
        error = CarryAttributes(tmp.get(), sourceStat, oldDestination);

    if (error == 0 && unnamed) {
        if (failIfExists) {
            error = LinkUnnamed(tmp.get(), dirFd, name);
        } else {
            // No call replaces a name with an unnamed file, so it gets a
            // temporary name first, for the moment it takes to rename it.
            std::string linkName;
            do {
                linkName = detail::NewTemporaryName();
                error = LinkUnnamed(tmp.get(), dirFd, linkName);
            } while (error == EEXIST);
            if (error == 0 && ::renameat(dirFd, linkName.c_str(), dirFd, name.c_str()) != 0) {
                error = errno;
                ::unlinkat(dirFd, linkName.c_str(), 0);
            }
        }
        if (error == ENOENT) {
            // Is it the folder that went, or the means to link?
            struct stat folder {};
            if (::fstat(dirFd, &folder) == 0 && folder.st_nlink > 0) {
                g_unnamedCannotLink.store(true);
                return kRetryWithNamedTemp;
            }
        }
    } else if (error == 0) {
        error = PlaceNamed(dirFd, tmpName, name, failIfExists);
    }
    if (error != 0 && !tmpName.empty())
        ::unlinkat(dirFd, tmpName.c_str(), 0);
    return error;
}

int OpenSource(const std::string& source, NameMatch match, int& fd)
{
    // O_NONBLOCK: a FIFO standing at the path must not hang the run.
    constexpr int kFlags = O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY;
    fd = ::open(source.c_str(), kFlags);
    if (fd >= 0)
        return 0;
    if (errno != ENOENT || match == NameMatch::Exact)
        return errno;
    struct stat st {};
    std::string real;
    if (const int error = detail::StatResolved(source, st, real, match))
        return error;
    fd = ::open(real.c_str(), kFlags);
    return fd >= 0 ? 0 : errno;
}

int CopyFileImpl(const std::string& source, const std::string& destination, bool failIfExists, NameMatch match)
{
    const FileSystemTestHooks* hooks = detail::ActiveTestHooks();

    int srcFd = -1;
    if (const int error = OpenSource(source, match, srcFd))
        return error;
    Fd src(srcFd);
    struct stat sourceStat {};
    if (::fstat(src.get(), &sourceStat) != 0)
        return errno;
    if (S_ISDIR(sourceStat.st_mode))
        return EISDIR;
    if (!S_ISREG(sourceStat.st_mode))
        return EINVAL;  // devices, FIFOs, sockets are never copied

    // The destination's folder is opened first, so that the name is looked
    // up from it; where it cannot be, everything goes by path and the
    // failure shows where it would have anyway.
    std::string folder;
    std::string name;
    detail::SplitPath(destination, folder, name);
    Fd dir;
    struct stat before {};
    if (!name.empty()) {
        dir.reset(::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
        if (dir.get() >= 0 && ::fstat(dir.get(), &before) != 0)
            dir.reset(-1);
    }

    // What stands at the destination: the exact name, else a name equal to
    // it without regard to case. A symbolic link is followed, so that the
    // file it points to is updated and the link stays.
    std::string target;
    struct stat found {};
    bool exists = false;
    bool isFile = false;
    const int lookup = dir.get() >= 0
                           ? detail::LstatResolvedAt(dir.get(), before, destination, name, found, target, match)
                           : detail::LstatResolved(destination, found, target, match);
    if (lookup == 0) {
        exists = true;
        if (S_ISLNK(found.st_mode) && ::stat(target.c_str(), &found) == 0) {
            std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(target.c_str(), nullptr), &std::free);
            if (resolved)
                target = resolved.get();
        }
        isFile = S_ISREG(found.st_mode);
        if (failIfExists)
            return EEXIST;
        if (S_ISDIR(found.st_mode))
            return EISDIR;
        if (!isFile && !S_ISLNK(found.st_mode))
            return EINVAL;
        if (isFile && found.st_dev == sourceStat.st_dev && found.st_ino == sourceStat.st_ino)
            return 0;  // the same file: nothing to write
        // Read-only refuses the copy even for root, who is not stopped by
        // permissions.
        if (isFile && (found.st_mode & S_IWUSR) == 0)
            return EACCES;
    } else if (lookup == ENOENT) {
        target = destination;
    } else {
        return lookup;
    }

    // A namesake in other letter case, or a link's file, may be elsewhere
    // than the folder already open.
    if (target != destination || dir.get() < 0) {
        detail::SplitPath(target, folder, name);
        if (name.empty())
            return EISDIR;
        dir.reset(::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
        if (dir.get() < 0)
            return errno;
        if (::fstat(dir.get(), &before) != 0)
            return errno;
    }

    const struct stat* old = isFile ? &found : nullptr;
    const bool unnamed = !(hooks && hooks->noUnnamedTemp) && !g_unnamedCannotLink.load();
    int error = WriteAndPlace(src.get(), sourceStat, dir.get(), before.st_dev, name, failIfExists, old, unnamed, hooks);
    if (error == kRetryWithNamedTemp) {
        if (::lseek(src.get(), 0, SEEK_SET) != 0)
            error = errno;
        else
            error = WriteAndPlace(src.get(), sourceStat, dir.get(), before.st_dev, name, failIfExists, old, false, hooks);
    }

    struct stat after {};
    if (::fstat(dir.get(), &after) == 0)
        detail::CaseIndex::Instance().NoteChange(before, after, (error == 0 && !exists) ? name : std::string());
    return error;
}

}  // namespace

int CopyFile(const std::string& source, const std::string& destination, bool failIfExists, NameMatch match)
{
    try {
        return CopyFileImpl(source, destination, failIfExists, match);
    } catch (const std::bad_alloc&) {
        return ENOMEM;
    } catch (...) {
        return EIO;
    }
}

}  // namespace platform
