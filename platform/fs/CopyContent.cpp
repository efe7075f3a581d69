// The content of a copy: moved from the source to the temporary file by the
// kernel where it can (cloned blocks, copy_file_range), else read and
// written, with the source's holes kept as holes where the destination can
// hold them. A file-size limit fails the one copy that passes it instead of
// ending the program. Before a file is replaced, its content is compared
// with the source's: a file that holds the same bytes loses nothing and is
// not kept in the Trash.

#include <fcntl.h>
#include <linux/fs.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>

#include "platform/fs/CopyFile.h"
#include "platform/fs/CopyInternal.h"
#include "platform/fs/FileSystemInternal.h"
#include "platform/fs/KeepAlive.h"

namespace platform::detail {

namespace {

// The last pair of devices between which cloning was refused, so that a
// run over a file system without it (ext4) does not ask again per file.
struct DevicePair {
    dev_t from = 0;
    dev_t to = 0;
    bool known = false;
};
thread_local DevicePair t_noClone;

void IgnoreFileSizeSignal(int)
{
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

    // Copies the bytes [from, to) of src.
    int Range(int src, int dst, off_t from, off_t to)
    {
        if (m_kernel) {
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
            if (const int error = WriteAll(dst, zeros.get(), piece, m_done))
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
        while (at < to) {
            std::size_t want = chunk;
            if (static_cast<std::uint64_t>(to - at) < want)
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
            if (const int error = WriteAll(dst, m_buffer.get(), static_cast<std::size_t>(got), m_done))
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

// The end of a copy with holes, written so far: a hole is made by
// lengthening the file; a drive that cannot (FAT through FUSE) gets zeros
// instead.
class HoledEnd {
public:
    HoledEnd(ContentMover& mover, int dst) : m_mover(mover), m_dst(dst) {}

    // The file reaches length, with a hole (or zeros) after what is written.
    int Lengthen(off_t length)
    {
        if (length <= m_written)
            return 0;
        if (m_holes && ::ftruncate(m_dst, length) == 0) {
            m_written = length;
            return 0;
        }
        if (m_holes && errno == EFBIG)
            return EFBIG;  // zeros would not fit either
        m_holes = false;
        const int error = m_mover.Zeros(m_dst, m_written, length);
        m_written = length;
        return error;
    }
    void Written(off_t upTo) { m_written = upTo; }

private:
    ContentMover& m_mover;
    int m_dst;
    off_t m_written = 0;
    bool m_holes = true;
};

// Copies the data of a file with holes, leaving holes where src has them.
int MoveDataAndHoles(ContentMover& mover, int src, int dst, off_t size)
{
    HoledEnd end(mover, dst);
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
        int error = end.Lengthen(data);
        if (error == 0)
            error = mover.Range(src, dst, data, hole);
        if (error != 0)
            return error;
        end.Written(hole);
        at = hole;
    }
    return end.Lengthen(size);  // with the hole at the end
}

}  // namespace

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

namespace {

// Whether dst may grow to size, asked before anything is written: a file
// larger than the drive (FAT's 4 GiB, ext4's 16 TiB) or the process's
// file-size limit may take is refused at once with EFBIG, instead of after
// writing up to the limit, or zeros until the drive is full. Every drive
// holds files of under 2 GiB; larger ones are asked by lengthening dst,
// which costs no writing on the drives that hold them.
int RoomFor(int dst, off_t size)
{
    struct rlimit limit {};
    if (::getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY
        && static_cast<rlim_t>(size) > limit.rlim_cur)
        return EFBIG;
    constexpr off_t kEveryDriveHolds = off_t{1} << 31;
    if (size < kEveryDriveHolds)
        return 0;
    if (::ftruncate(dst, size) != 0)
        return errno == EFBIG ? EFBIG : 0;  // drives that cannot lengthen a file are asked as it is written
    return ::ftruncate(dst, 0) == 0 ? 0 : errno;
}

// Once size bytes are copied: a source that has more to read has grown, or
// says less than it holds (a file of /proc, a drive that reports no size),
// and is left for a later copy; it is never read to its end, which might
// not come.
int NothingBeyond(int src, off_t size)
{
    char probe = 0;
    const ssize_t got = ::pread(src, &probe, 1, size);
    if (got < 0)
        return errno == EAGAIN ? kCopySourceChanged : errno;
    return got == 0 ? 0 : kCopySourceChanged;
}

int MoveSeenSize(ContentMover& mover, int src, int dst, const struct stat& sourceStat, dev_t destinationDevice)
{
    const off_t size = sourceStat.st_size;
    if (size == 0)
        return 0;
    if (const int error = RoomFor(dst, size))
        return error;
    int error = 0;
    if (mover.Clone(src, dst, sourceStat.st_dev, destinationDevice, error))
        return error;

    // Fewer blocks than bytes: the file has holes. Only its data is copied,
    // so that the holes stay holes where the destination keeps them.
    if (static_cast<std::uint64_t>(sourceStat.st_blocks) * 512 >= static_cast<std::uint64_t>(size))
        return mover.Range(src, dst, 0, size);
    return MoveDataAndHoles(mover, src, dst, size);
}

}  // namespace

// Moves the content of src to dst: as many bytes as the source had when it
// was opened (sourceStat), no more.
int MoveContent(int src, int dst, const struct stat& sourceStat, dev_t destinationDevice,
                const FileSystemTestHooks* hooks)
{
    ContentMover mover(hooks);
    if (const int error = MoveSeenSize(mover, src, dst, sourceStat, destinationDevice))
        return error;
    return NothingBeyond(src, sourceStat.st_size);
}

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

}  // namespace platform::detail
