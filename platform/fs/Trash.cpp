#include "platform/fs/Trash.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>

#include "platform/fs/FileSystem.h"
#include "platform/fs/ProgramFolder.h"

namespace platform::detail {

namespace {

constexpr const char* kInfoSuffix = ".trashinfo";

bool OnDevice(const std::string& path, dev_t device)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && st.st_dev == device;
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

// The top folder of the drive (device) that holds the folder canonical.
std::string TopOfDrive(const std::string& canonical, dev_t device)
{
    std::string at = canonical;
    while (at != "/") {
        const std::string parent = ParentOf(at);
        if (!OnDevice(parent, device))
            return at;
        at = parent;
    }
    return at;
}

// Makes the folder unless it is there; 0 or the errno.
int MakeFolder(const std::string& path)
{
    if (::mkdir(path.c_str(), 0700) == 0 || errno == EEXIST)
        return 0;
    return errno;
}

// A folder of the user's, and no link: one that may hold their files.
bool IsOwnFolder(const std::string& path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid();
}

// $topdir/.Trash may serve every user when it is a sticky folder, and no
// link (which could lead anyone's files anywhere).
bool IsSharedTrash(const std::string& path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && (st.st_mode & S_ISVTX) != 0;
}

// The Trash for a file in the folder canonical on device, made where it is
// missing; topdir is set to the drive's top folder, or left empty for the
// home Trash. Empty with errno set when there is none to be had.
std::string TrashFolder(const std::string& canonical, dev_t device, std::string& topdir)
{
    const std::string dataHome = DataHomeFromEnvironment();
    if (OnDevice(NearestExisting(dataHome), device)) {
        topdir.clear();
        if (!ForceDirectories(dataHome))
            return {};
        if (const int error = MakeFolder(dataHome + "/Trash")) {
            errno = error;
            return {};
        }
        return dataHome + "/Trash";
    }
    topdir = TopOfDrive(canonical, device);
    const std::string uid = std::to_string(::geteuid());
    const std::string base = topdir == "/" ? "" : topdir;
    const std::string shared = base + "/.Trash";
    if (IsSharedTrash(shared) && MakeFolder(shared + "/" + uid) == 0 && IsOwnFolder(shared + "/" + uid))
        return shared + "/" + uid;
    std::string own = base + "/.Trash-" + uid;
    if (const int error = MakeFolder(own)) {
        errno = error;
        return {};
    }
    if (!IsOwnFolder(own)) {
        errno = EACCES;
        return {};
    }
    return own;
}

// name, shortened where need be so that a number and ".trashinfo" still fit
// in a name; never in the middle of a character.
std::string TrashBaseName(const std::string& name)
{
    constexpr std::size_t kRoom = NAME_MAX - 10 - 7;
    if (name.size() <= kRoom)
        return name;
    std::size_t end = kRoom;
    while (end > 0 && (static_cast<unsigned char>(name[end]) & 0xC0) == 0x80)
        --end;
    return name.substr(0, end);
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

TrashPlace::~TrashPlace()
{
    if (m_info.get() < 0 || m_linked || m_moved)
        return;
    ::unlinkat(m_infoFolder.get(), (m_trashName + kInfoSuffix).c_str(), 0);
}

int TrashPlace::Reserve(int folderFd, dev_t device, const std::string& folderPath, const std::string& name)
{
    m_folderFd = folderFd;
    m_name = name;
    const std::unique_ptr<char, decltype(&std::free)> canonical(::realpath(folderPath.c_str(), nullptr), &std::free);
    if (!canonical)
        return errno;
    std::string topdir;
    const std::string trash = TrashFolder(canonical.get(), device, topdir);
    if (trash.empty())
        return errno;
    for (const char* part : {"/files", "/info"}) {
        if (const int error = MakeFolder(trash + part))
            return error;
    }
    m_filesFolder.reset(::open((trash + "/files").c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    m_infoFolder.reset(::open((trash + "/info").c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (m_filesFolder.get() < 0 || m_infoFolder.get() < 0)
        return errno;

    // The name of the .trashinfo, made first and exclusively, is what
    // reserves the name among kept files.
    const std::string base = TrashBaseName(name);
    for (int attempt = 1; m_info.get() < 0; ++attempt) {
        if (attempt > 10000)
            return EEXIST;
        m_trashName = attempt == 1 ? base : base + "." + std::to_string(attempt);
        struct stat st {};
        if (::fstatat(m_filesFolder.get(), m_trashName.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0)
            continue;
        m_info.reset(::openat(m_infoFolder.get(), (m_trashName + kInfoSuffix).c_str(),
                              O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
        if (m_info.get() < 0 && errno != EEXIST)
            return errno;
    }
    std::string path = std::string(canonical.get()) + (std::string(canonical.get()) == "/" ? "" : "/") + name;
    if (!topdir.empty() && topdir != "/")
        path = path.substr(topdir.size() + 1);  // a drive's own Trash names its files from its top
    else if (!topdir.empty())
        path = path.substr(1);
    if (const int error = WriteWhole(m_info.get(),
                                     "[Trash Info]\nPath=" + PercentEncoded(path)
                                         + "\nDeletionDate=" + DeletionDateNow() + "\n")) {
        ::unlinkat(m_infoFolder.get(), (m_trashName + kInfoSuffix).c_str(), 0);
        m_info.reset(-1);
        return error;
    }
    return 0;
}

int TrashPlace::Keep(const struct stat& kept)
{
    if (::linkat(m_folderFd, m_name.c_str(), m_filesFolder.get(), m_trashName.c_str(), 0) == 0) {
        m_linked = true;
        return 0;
    }
    // Drives without hard links (FAT, exFAT through FUSE) answer one of these.
    if (errno != EPERM && errno != ENOTSUP && errno != EOPNOTSUPP && errno != EMLINK && errno != ENOSYS)
        return errno;
    if (::renameat2(m_folderFd, m_name.c_str(), m_filesFolder.get(), m_trashName.c_str(), RENAME_NOREPLACE) == 0
        || ((errno == EINVAL || errno == ENOSYS)
            && ::renameat(m_folderFd, m_name.c_str(), m_filesFolder.get(), m_trashName.c_str()) == 0)) {
        m_moved = true;
        // Some drives (FAT through FUSE) give a file the time of its move.
        const timespec times[2] = {kept.st_atim, kept.st_mtim};
        ::utimensat(m_filesFolder.get(), m_trashName.c_str(), times, AT_SYMLINK_NOFOLLOW);
        return 0;
    }
    return errno;
}

void TrashPlace::Undo()
{
    if (m_linked)
        ::unlinkat(m_filesFolder.get(), m_trashName.c_str(), 0);
    else if (m_moved)
        ::renameat(m_filesFolder.get(), m_trashName.c_str(), m_folderFd, m_name.c_str());
    m_linked = false;
    m_moved = false;
}

}  // namespace platform::detail
