#include "platform/fs/Drive.h"

#include <fcntl.h>
#include <linux/magic.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>

#include "platform/fs/FileSystemInternal.h"

namespace platform {

namespace {

// The kinds the program knows. A local file system commits what it writes
// with one flush of the drive; FAT and exFAT keep neither second names nor
// change times, and number files by where they stand; whatever stands
// behind FUSE or a network tells this kernel nothing of changes made there.
constexpr Drive kLocal{.kind = {}, .flushesAsAWhole = true};
constexpr Drive kWindowsLocal{.kind = {},
                              .flushesAsAWhole = true,
                              .hardLinks = false,
                              .changeTimes = false,
                              .stableInodes = false,
                              .windowsNamesOnly = true};
constexpr Drive kRemote{.kind = {}, .changeEvents = false, .changeTimes = false, .stableInodes = false};

constexpr Drive With(Drive drive, std::string_view kind)
{
    drive.kind = kind;
    return drive;
}

constexpr Drive Exact(Drive drive)
{
    drive.exactNames = true;
    return drive;
}

constexpr Drive NoLinks(Drive drive)
{
    drive.hardLinks = false;
    return drive;
}

constexpr Drive WindowsNames(Drive drive)
{
    drive.windowsNamesOnly = true;
    return drive;
}

constexpr Drive TimesNotKept(Drive drive)
{
    drive.renameKeepsTimes = false;
    return drive;
}

constexpr Drive Samba(Drive drive)
{
    drive = WindowsNames(drive);
    drive.showsMadeUpNames = true;
    return drive;
}

struct KindRow {
    std::uint32_t type;  // statfs's f_type
    std::string_view mountKind;  // for FUSE: the mount table's name; empty for any
    Drive drive;
};

// XFS and F2FS can be made to fold case for a whole drive: their names are
// asked one by one. ext4 and F2FS folders that fold case are found by their
// folder flag (KnownFolder).
constexpr KindRow kDriveKinds[] = {
    {EXT4_SUPER_MAGIC, {}, With(Exact(kLocal), "ext4")},
    {BTRFS_SUPER_MAGIC, {}, With(Exact(kLocal), "btrfs")},
    {TMPFS_MAGIC, {}, With(Exact(kLocal), "tmpfs")},
    {XFS_SUPER_MAGIC, {}, With(kLocal, "xfs")},
    {F2FS_SUPER_MAGIC, {}, With(kLocal, "f2fs")},
    {MSDOS_SUPER_MAGIC, {}, With(kWindowsLocal, "vfat")},
    {EXFAT_SUPER_MAGIC, {}, With(kWindowsLocal, "exfat")},
    {FUSE_SUPER_MAGIC, "fuse.fusefat", With(TimesNotKept(WindowsNames(NoLinks(kRemote))), "fuse.fusefat")},
    {FUSE_SUPER_MAGIC, "fuse.sshfs", With(kRemote, "fuse.sshfs")},
    {FUSE_SUPER_MAGIC, "fuse.gvfsd-fuse", With(TimesNotKept(NoLinks(kRemote)), "fuse.gvfsd-fuse")},
    {FUSE_SUPER_MAGIC, {}, With(TimesNotKept(kRemote), "fuse")},  // ntfs-3g, exfat-fuse and any other
    {NFS_SUPER_MAGIC, {}, With(kRemote, "nfs")},
    {SMB_SUPER_MAGIC, {}, With(Samba(kRemote), "smb")},
    {CIFS_SUPER_MAGIC, {}, With(Samba(kRemote), "cifs")},
    {SMB2_SUPER_MAGIC, {}, With(Samba(kRemote), "smb2")},
    {V9FS_MAGIC, {}, With(kRemote, "9p")},
    {CEPH_SUPER_MAGIC, {}, With(kRemote, "ceph")},
    {AFS_SUPER_MAGIC, {}, With(kRemote, "afs")},
    {AFS_FS_MAGIC, {}, With(kRemote, "afs")},
    {CODA_SUPER_MAGIC, {}, With(kRemote, "coda")},
    {OCFS2_SUPER_MAGIC, {}, With(kRemote, "ocfs2")},
};

// A Samba share as gvfs's FUSE folder shows it: a folder named
// "smb-share:server=…,share=…" of that mount and what lies below it.
constexpr Drive kGvfsSambaShare = [] {
    Drive share = With(TimesNotKept(Samba(NoLinks(kRemote))), "fuse.gvfsd-fuse smb-share");
    share.replacesInOneStep = false;
    share.modesTellWritable = false;
    return share;
}();

// A kind not in the table: flushed file by file, names asked one by one,
// nothing relied on for the run's memory.
constexpr Drive kUnknown = With(TimesNotKept(Drive{.kind = {}, .changeTimes = false, .stableInodes = false}),
                                "unknown");

// The mount table's name for the kind of the drive with this device number.
std::string MountKindOf(dev_t device)
{
    std::ifstream table("/proc/self/mountinfo");
    const std::string wanted = std::to_string(major(device)) + ":" + std::to_string(minor(device));
    for (std::string line; std::getline(table, line);) {
        std::istringstream fields(line);
        std::string id, parent, numbers;
        fields >> id >> parent >> numbers;
        if (numbers != wanted)
            continue;
        // After the optional fields, " - " and then the kind.
        const std::size_t dash = line.find(" - ");
        if (dash == std::string::npos)
            return {};
        std::istringstream rest(line.substr(dash + 3));
        std::string kind;
        rest >> kind;
        return kind;
    }
    return {};
}

bool InGvfsSambaShare(std::string_view path)
{
    return path.find("/smb-share:") != std::string_view::npos;
}

}  // namespace

namespace detail {

const Drive& DriveOfKind(std::uint32_t type, std::string_view mountKind, std::string_view path)
{
    for (const KindRow& row : kDriveKinds) {
        if (row.type != type || (!row.mountKind.empty() && row.mountKind != mountKind))
            continue;
        if (row.mountKind == "fuse.gvfsd-fuse" && InGvfsSambaShare(path))
            return kGvfsSambaShare;
        return row.drive;
    }
    return kUnknown;
}

}  // namespace detail

bool HoldsWindowsName(std::string_view name)
{
    if (name.empty() || name.back() == '.' || name.back() == ' ')
        return false;
    for (const char c : name) {
        if (static_cast<unsigned char>(c) < 0x20 || std::string_view("\\:*?\"<>|").find(c) != std::string_view::npos)
            return false;
    }
    // A device name stays one before any extension, in any case.
    std::string stem(name.substr(0, name.find('.')));
    while (!stem.empty() && stem.back() == ' ')
        stem.pop_back();
    for (char& c : stem)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (stem == "CON" || stem == "PRN" || stem == "AUX" || stem == "NUL")
        return false;
    return !(stem.size() == 4 && (stem.starts_with("COM") || stem.starts_with("LPT")) && stem[3] >= '1'
             && stem[3] <= '9');
}

bool LooksMadeUp(std::string_view name)
{
    const auto shortNameChar = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_'; };
    const std::size_t dot = name.find('.');
    const std::string_view stem = name.substr(0, dot);
    const std::string_view extension = dot == std::string_view::npos ? std::string_view() : name.substr(dot + 1);
    if (stem.size() != 8 || stem[6] != '~' || (dot != std::string_view::npos && extension.empty())
        || extension.size() > 3)
        return false;
    for (std::size_t i = 0; i < stem.size(); ++i) {
        if (i != 6 && !shortNameChar(stem[i]))
            return false;
    }
    return std::all_of(extension.begin(), extension.end(), shortNameChar);
}

const Drive& DriveOf(int fd)
{
    struct stat st {};
    struct statfs fs {};
    if (::fstat(fd, &st) != 0 || ::fstatfs(fd, &fs) != 0)
        return kUnknown;
    const auto type = static_cast<std::uint32_t>(fs.f_type);
    if (type != FUSE_SUPER_MAGIC)
        return detail::DriveOfKind(type, {}, {});
    // FUSE drives differ by the program behind them, which the mount table
    // names; read once per drive.
    static std::mutex lock;
    static std::map<dev_t, std::string> mountKinds;
    std::string mountKind;
    {
        const std::lock_guard<std::mutex> hold(lock);
        auto it = mountKinds.find(st.st_dev);
        if (it == mountKinds.end())
            it = mountKinds.emplace(st.st_dev, MountKindOf(st.st_dev)).first;
        mountKind = it->second;
    }
    const std::string path = mountKind == "fuse.gvfsd-fuse" ? detail::PathOfOpenFolder(fd) : std::string();
    return detail::DriveOfKind(type, mountKind, path);
}

const Drive& DriveOf(int fd, dev_t device)
{
    static std::mutex lock;
    static std::map<dev_t, const Drive*> known;
    {
        const std::lock_guard<std::mutex> hold(lock);
        if (const auto found = known.find(device); found != known.end())
            return *found->second;
    }
    const Drive& drive = DriveOf(fd);
    // A folder of gvfs's one mount is asked by the share it reaches, each time.
    if (!drive.kind.starts_with("fuse.gvfsd-fuse")) {
        const std::lock_guard<std::mutex> hold(lock);
        known[device] = &drive;
    }
    return drive;
}

const Drive& DriveAt(const std::string& path)
{
    const detail::Fd fd(::open(path.c_str(), O_PATH | O_CLOEXEC));
    return fd.get() >= 0 ? DriveOf(fd.get()) : kUnknown;
}

}  // namespace platform
