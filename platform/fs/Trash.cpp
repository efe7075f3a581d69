#include "platform/fs/Trash.h"
#include "platform/fs/Drive.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <vector>

#include "platform/fs/FileSystem.h"
#include "platform/fs/KeepAlive.h"
#include "platform/fs/ProgramFolder.h"
#include "platform/fs/TrustedPath.h"

namespace platform::detail {

namespace {

constexpr std::string_view kInfoSuffix = ".trashinfo";

// A .trashinfo without its kept file is one a killed run left once nobody
// holds it locked and it is this old: a file manager writes its .trashinfo
// a moment before it moves the file in, and holds no lock meanwhile.
constexpr std::time_t kOrphanAgeSeconds = 5;

// A drive as the Trash sees it: a mount of a file system. One file system
// mounted twice (a bind mount) is two drives, as no link or rename crosses
// from one mount to the other.
struct Drive {
    dev_t device = 0;
    std::uint64_t mount = 0;
    bool mountKnown = false;

    bool operator==(const Drive& other) const
    {
        return device == other.device && (!mountKnown || !other.mountKnown || mount == other.mount);
    }
};

// The drive of what path (relative to dirFd; "" with AT_EMPTY_PATH for
// dirFd itself) leads to. 0 or the errno.
int DriveOf(int dirFd, const char* path, int flags, Drive& drive)
{
    struct statx st {};
    if (::statx(dirFd, path, flags, STATX_INO | STATX_MNT_ID, &st) != 0)
        return errno;
    drive.device = makedev(st.stx_dev_major, st.stx_dev_minor);
    drive.mountKnown = (st.stx_mask & STATX_MNT_ID) != 0;
    drive.mount = st.stx_mnt_id;
    return 0;
}

bool OnDrive(const std::string& path, const Drive& drive)
{
    Drive at;
    return DriveOf(AT_FDCWD, path.c_str(), 0, at) == 0 && at == drive;
}

std::string ParentOf(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    return slash == 0 || slash == std::string::npos ? "/" : path.substr(0, slash);
}

// The folder path, or the nearest folder above it that exists.
std::string NearestExisting(std::string path)
{
    struct stat st {};
    while (path != "/" && ::stat(path.c_str(), &st) != 0)
        path = ParentOf(path);
    return path;
}

// The top folder of the drive that holds the folder canonical.
std::string TopOfDrive(const std::string& canonical, const Drive& drive)
{
    std::string at = canonical;
    while (at != "/") {
        const std::string parent = ParentOf(at);
        if (!OnDrive(parent, drive))
            return at;
        at = parent;
    }
    return at;
}

// Opens the folder name in parentFd, made first where asked and missing:
// a folder of the user's own, reached without following a link. 0 or the
// errno (EACCES for a link or a folder of someone else).
int OpenOwnFolder(int parentFd, const char* name, bool make, Fd& folder)
{
    if (make && ::mkdirat(parentFd, name, 0700) != 0 && errno != EEXIST)
        return errno;
    folder.reset(::openat(parentFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (folder.get() < 0)
        return errno == ELOOP ? EACCES : errno;
    struct stat st {};
    if (::fstat(folder.get(), &st) != 0)
        return errno;
    return S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() ? 0 : EACCES;
}

// The home Trash, if the folder's drive is the home's (any drive without
// one): 0 with trash set, ENOENT when it is another drive, else the errno.
int OpenHomeTrash(const Drive* drive, Fd& trash)
{
    const std::string dataHome = DataHomeFromEnvironment();
    if (drive && !OnDrive(NearestExisting(dataHome), *drive))
        return ENOENT;
    if (!ForceDirectories(dataHome))
        return errno;
    Fd home;
    if (const int error = OpenTrusted(AT_FDCWD, dataHome, O_PATH | O_DIRECTORY, LinkRule::OwnOrSystem, home))
        return error == kLinkOfAnotherUser ? EACCES : error;
    if (const int error = OpenOwnFolder(home.get(), "Trash", true, trash))
        return error;
    // A Trash that is a drive of its own (mounted there) is not the home's.
    Drive at;
    if (drive && (DriveOf(trash.get(), "", AT_EMPTY_PATH, at) != 0 || !(at == *drive)))
        return ENOENT;
    return 0;
}

// The drive's own Trash at its top folder topdir: .Trash/$uid where .Trash
// is a sticky folder made for all users, else .Trash-$uid.
int OpenDriveTrash(const std::string& topdir, const Drive& drive, Fd& trash)
{
    Fd top;
    if (const int error = OpenTrusted(AT_FDCWD, topdir, O_PATH | O_DIRECTORY, LinkRule::OwnOrSystem, top))
        return error == kLinkOfAnotherUser ? EACCES : error;
    Drive at;
    if (DriveOf(top.get(), "", AT_EMPTY_PATH, at) != 0 || !(at == drive))
        return EXDEV;  // another drive took its place meanwhile
    const std::string uid = std::to_string(::geteuid());
    Fd shared(::openat(top.get(), ".Trash", O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    struct stat st {};
    if (shared.get() >= 0 && ::fstat(shared.get(), &st) == 0 && S_ISDIR(st.st_mode) && (st.st_mode & S_ISVTX) != 0
        && OpenOwnFolder(shared.get(), uid.c_str(), true, trash) == 0)
        return 0;
    return OpenOwnFolder(top.get(), (".Trash-" + uid).c_str(), true, trash);
}

// Removes what killed runs left in the Trash: .trashinfo files whose kept
// file never came, so that they neither clutter the Trash nor take names.
void RemoveOrphans(const OpenTrash& trash)
{
    Fd listing(::openat(trash.info.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    DIR* dir = listing.get() >= 0 ? ::fdopendir(listing.get()) : nullptr;
    if (!dir)
        return;
    listing.release();
    const std::time_t oldEnough = std::time(nullptr) - kOrphanAgeSeconds;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string_view name = entry->d_name;
        if (name.size() <= kInfoSuffix.size() || !name.ends_with(kInfoSuffix))
            continue;
        const std::string kept(name.substr(0, name.size() - kInfoSuffix.size()));
        struct stat st {};
        if (::fstatat(trash.files.get(), kept.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 || errno != ENOENT)
            continue;
        Fd info(::openat(trash.info.get(), entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        if (info.get() < 0 || ::fstat(info.get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_mtime > oldEnough
            || ::flock(info.get(), LOCK_EX | LOCK_NB) != 0)
            continue;
        struct stat atName {};
        if (::fstatat(trash.files.get(), kept.c_str(), &atName, AT_SYMLINK_NOFOLLOW) != 0 && errno == ENOENT
            && ::fstatat(trash.info.get(), entry->d_name, &atName, AT_SYMLINK_NOFOLLOW) == 0
            && atName.st_ino == st.st_ino && atName.st_dev == st.st_dev)
            ::unlinkat(trash.info.get(), entry->d_name, 0);
    }
    ::closedir(dir);
}

bool IsUtf8(const std::string& text)
{
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead < 0x80 ? 1
            : (lead >> 5) == 0x6               ? 2
            : (lead >> 4) == 0xE               ? 3
            : (lead >> 3) == 0x1E              ? 4
                                               : 0;
        if (length == 0 || i + length > text.size())
            return false;
        for (std::size_t k = 1; k < length; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80)
                return false;
        }
        i += length;
    }
    return true;
}

std::string DeletionDateNow()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    char text[32] = {};
    if (::localtime_r(&now, &local))
        std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    return text;
}

int WriteWhole(int fd, const std::string& text)
{
    std::uint64_t done = 0;
    return WriteAll(fd, text.data(), text.size(), done);
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

}  // namespace

std::string PercentEncoded(const std::string& path)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string encoded;
    for (const char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        const bool plain = (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') || (byte >= '0' && byte <= '9')
            || std::string_view("/-_.!~*'()").find(c) != std::string_view::npos;
        if (plain) {
            encoded += c;
        } else {
            encoded += '%';
            encoded += kHex[byte >> 4];
            encoded += kHex[byte & 0xF];
        }
    }
    return encoded;
}

std::string PercentDecoded(const std::string& value)
{
    std::string decoded;
    for (std::size_t i = 0; i < value.size(); ++i) {
        const int high = value[i] == '%' && i + 2 < value.size() ? HexValue(value[i + 1]) : -1;
        const int low = high >= 0 ? HexValue(value[i + 2]) : -1;
        if (low < 0) {
            decoded += value[i];
            continue;
        }
        decoded += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return decoded;
}

std::string TrashBaseName(const std::string& name)
{
    constexpr std::size_t kRoom = NAME_MAX - kInfoSuffix.size() - 7;
    if (name.size() <= kRoom)
        return name;
    std::size_t end = kRoom;
    if (IsUtf8(name)) {
        while (end > 0 && (static_cast<unsigned char>(name[end]) & 0xC0) == 0x80)
            --end;
    }
    return name.substr(0, end);
}

int TrashFolders::ForFolder(int folderFd, std::shared_ptr<const OpenTrash>& trash)
{
    Drive drive;
    if (const int error = DriveOf(folderFd, "", AT_EMPTY_PATH, drive))
        return error;
    const auto key = std::make_pair(drive.mount, drive.device);
    if (const auto known = m_open.find(key); known != m_open.end()) {
        trash = known->second;
        return 0;
    }
    auto opened = std::make_shared<OpenTrash>();
    Fd folder;
    int error = OpenHomeTrash(&drive, folder);
    if (error == ENOENT) {
        const std::string canonical = PathOfOpenFolder(folderFd);
        if (canonical.empty())
            return ENOENT;
        opened->topdir = TopOfDrive(canonical, drive);
        error = OpenDriveTrash(opened->topdir, drive, folder);
        // Where the drive's own Trash cannot be made, the home Trash keeps
        // copies; if it cannot either, the drive's cause is the one to say.
        if (error != 0 && OpenHomeTrash(nullptr, folder) == 0) {
            opened->topdir.clear();
            opened->byCopy = true;
            error = 0;
        }
    }
    if (error != 0)
        return error;
    if ((error = OpenOwnFolder(folder.get(), "files", true, opened->files)) != 0
        || (error = OpenOwnFolder(folder.get(), "info", true, opened->info)) != 0)
        return error;
    RemoveOrphans(*opened);
    m_open[key] = opened;
    trash = std::move(opened);
    return 0;
}

TrashPlace::~TrashPlace()
{
    if (m_info.get() < 0 || m_linked || m_moved || m_copied)
        return;
    ::unlinkat(m_trash->info.get(), (m_trashName + std::string(kInfoSuffix)).c_str(), 0);
}

int TrashPlace::Reserve(int folderFd, const std::string& name, TrashFolders* trashes)
{
    m_folderFd = folderFd;
    m_name = name;
    TrashFolders ownTrashes;
    if (const int error = (trashes ? *trashes : ownTrashes).ForFolder(folderFd, m_trash))
        return error;
    const std::string canonical = PathOfOpenFolder(folderFd);
    if (canonical.empty())
        return ENOENT;

    // The name of the .trashinfo, made first and exclusively, is what
    // reserves the name among kept files.
    const std::string base = TrashBaseName(name);
    for (int attempt = 1; m_info.get() < 0; ++attempt) {
        if (attempt > 10000)
            return EEXIST;
        m_trashName = attempt == 1 ? base : base + "." + std::to_string(attempt);
        struct stat st {};
        if (::fstatat(m_trash->files.get(), m_trashName.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0)
            continue;
        m_info.reset(::openat(m_trash->info.get(), (m_trashName + std::string(kInfoSuffix)).c_str(),
                              O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (m_info.get() < 0 && errno != EEXIST)
            return errno;
    }
    ::flock(m_info.get(), LOCK_EX | LOCK_NB);  // ours until the file is kept (see RemoveOrphans)
    std::string path = canonical + (canonical == "/" ? "" : "/") + name;
    const std::string& topdir = m_trash->topdir;
    if (!topdir.empty() && topdir != "/")
        path = path.substr(topdir.size() + 1);  // a drive's own Trash names its files from its top
    else if (!topdir.empty())
        path = path.substr(1);
    if (const int error = WriteWhole(m_info.get(),
                                     "[Trash Info]\nPath=" + PercentEncoded(path)
                                         + "\nDeletionDate=" + DeletionDateNow() + "\n")) {
        ::unlinkat(m_trash->info.get(), (m_trashName + std::string(kInfoSuffix)).c_str(), 0);
        m_info.reset(-1);
        return error;
    }
    return 0;
}

int TrashPlace::Keep(const struct stat& kept)
{
    if (m_trash->byCopy)
        return KeepByCopy(kept);
    const int files = m_trash->files.get();
    if (platform::DriveOf(m_folderFd).hardLinks) {
        if (::linkat(m_folderFd, m_name.c_str(), files, m_trashName.c_str(), 0) == 0) {
            m_linked = true;
            return 0;
        }
        // A drive of a kind the program does not know may have no hard
        // links after all, and answers one of these.
        if (errno != EPERM && errno != ENOTSUP && errno != EOPNOTSUPP && errno != EMLINK && errno != ENOSYS)
            return errno;
    }
    if (::renameat2(m_folderFd, m_name.c_str(), files, m_trashName.c_str(), RENAME_NOREPLACE) == 0
        || ((errno == EINVAL || errno == ENOSYS)
            && ::renameat(m_folderFd, m_name.c_str(), files, m_trashName.c_str()) == 0)) {
        m_moved = true;
        // Some drives (FAT through FUSE) give a file the time of its move.
        const timespec times[2] = {kept.st_atim, kept.st_mtim};
        ::utimensat(files, m_trashName.c_str(), times, AT_SYMLINK_NOFOLLOW);
        return 0;
    }
    return errno;
}

int TrashPlace::KeepByCopy(const struct stat& kept)
{
    const int files = m_trash->files.get();
    const Fd from(::openat(m_folderFd, m_name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (from.get() < 0)
        return errno;
    const Fd to(::openat(files, m_trashName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                         kept.st_mode & 0700));
    if (to.get() < 0)
        return errno;
    int error = 0;
    std::vector<char> buffer(std::size_t{1} << 20);
    for (;;) {
        const ssize_t got = ::read(from.get(), buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            error = got < 0 ? errno : 0;
            break;
        }
        std::uint64_t written = 0;
        if ((error = WriteAll(to.get(), buffer.data(), static_cast<std::size_t>(got), written)) != 0)
            break;
        KeepAlive::Beat();  // a large file takes a while over a network
    }
    const timespec times[2] = {kept.st_atim, kept.st_mtim};
    if (error == 0 && (::futimens(to.get(), times) != 0 || ::fsync(to.get()) != 0))
        error = errno;
    if (error != 0) {
        ::unlinkat(files, m_trashName.c_str(), 0);
        return error;
    }
    m_copied = true;
    return 0;
}

void TrashPlace::Undo()
{
    if (m_copied)
        ::unlinkat(m_trash->files.get(), m_trashName.c_str(), 0);
    if (m_linked)
        ::unlinkat(m_trash->files.get(), m_trashName.c_str(), 0);
    else if (m_moved)
        ::renameat(m_trash->files.get(), m_trashName.c_str(), m_folderFd, m_name.c_str());
    m_linked = false;
    m_moved = false;
    m_copied = false;
}

}  // namespace platform::detail
