#include "platform/fs/FileAttributes.h"

#include <endian.h>
#include <fcntl.h>
#include <grp.h>
#include <linux/posix_acl.h>
#include <linux/posix_acl_xattr.h>
#include <pwd.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <vector>

#include "platform/fs/CopyFile.h"
#include "platform/fs/FileSystem.h"
#include "platform/fs/FileSystemInternal.h"

namespace platform::detail {

namespace {

constexpr const char* kAccessAcl = "system.posix_acl_access";
constexpr const char* kUserPrefix = "user.";

// What drives without extended attributes or ACLs answer.
bool Unsupported(int error)
{
    return error == ENOTSUP || error == EOPNOTSUPP || error == ENOSYS;
}

// Reads a value of unknown size with get(buffer, size), which answers as
// getxattr does; a value that grows between the two calls is read again.
// 0 or the errno (ENODATA: there is none).
template <typename Get> int ReadSized(const Get& get, std::string& value)
{
    for (int attempt = 0; attempt < 8; ++attempt) {
        const ssize_t size = get(nullptr, 0);
        if (size < 0)
            return errno;
        value.resize(static_cast<std::size_t>(size));
        if (size == 0)
            return 0;
        const ssize_t got = get(value.data(), value.size());
        if (got >= 0) {
            value.resize(static_cast<std::size_t>(got));
            return 0;
        }
        if (errno != ERANGE)
            return errno;
    }
    return ERANGE;
}

// The access ACL of the file name in dirFd. It is read through the folder's
// entry in /proc, which opens nothing (a file the user may write need not
// be readable); without /proc, from the file opened for reading.
int ReadAccessAcl(int dirFd, const std::string& name, std::string& acl)
{
    const std::string path = "/proc/self/fd/" + std::to_string(dirFd) + "/" + name;
    const int error = ReadSized(
        [&](char* buffer, std::size_t size) { return ::lgetxattr(path.c_str(), kAccessAcl, buffer, size); }, acl);
    if (error != ENOENT)
        return error;
    const Fd file(::openat(dirFd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (file.get() < 0)
        return errno;
    return ReadSized([&](char* buffer, std::size_t size) { return ::fgetxattr(file.get(), kAccessAcl, buffer, size); },
                     acl);
}

int CarryUserAttribute(int src, int dst, const std::string& name, std::string& value)
{
    const int error = ReadSized(
        [&](char* buffer, std::size_t size) { return ::fgetxattr(src, name.c_str(), buffer, size); }, value);
    if (error == ENODATA)
        return 0;  // gone meanwhile; the source's change time tells the copy
    if (error != 0)
        return error;
    if (::fsetxattr(dst, name.c_str(), value.data(), value.size(), 0) == 0)
        return 0;
    return errno == EPERM || Unsupported(errno) ? 0 : errno;
}

// An access ACL as the kernel stores it: a version, then entries of tag,
// permission and id, little-endian.
bool ParseAcl(const std::string& value, std::vector<AclEntry>& entries)
{
    entries.clear();
    posix_acl_xattr_header header{};
    if (value.size() < sizeof header || (value.size() - sizeof header) % sizeof(posix_acl_xattr_entry) != 0)
        return false;
    std::memcpy(&header, value.data(), sizeof header);
    if (le32toh(header.a_version) != POSIX_ACL_XATTR_VERSION)
        return false;
    for (std::size_t at = sizeof header; at < value.size(); at += sizeof(posix_acl_xattr_entry)) {
        posix_acl_xattr_entry entry{};
        std::memcpy(&entry, value.data() + at, sizeof entry);
        entries.push_back({le16toh(entry.e_tag), le16toh(entry.e_perm), le32toh(entry.e_id)});
    }
    return true;
}

std::string AclValue(const std::vector<AclEntry>& entries)
{
    posix_acl_xattr_header header{};
    header.a_version = htole32(POSIX_ACL_XATTR_VERSION);
    std::string value(reinterpret_cast<const char*>(&header), sizeof header);
    for (const AclEntry& e : entries) {
        posix_acl_xattr_entry entry{};
        entry.e_tag = htole16(static_cast<std::uint16_t>(e.tag));
        entry.e_perm = htole16(static_cast<std::uint16_t>(e.perm));
        entry.e_id = htole32(e.id);
        value.append(reinterpret_cast<const char*>(&entry), sizeof entry);
    }
    return value;
}

// The groups user uid is in, by the user database; none for a user it
// does not know.
std::vector<gid_t> GroupsOf(uid_t uid)
{
    struct passwd entry {};
    struct passwd* found = nullptr;
    std::vector<char> buffer(16384);
    if (::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) != 0 || !found)
        return {};
    std::vector<gid_t> groups(64);
    for (int attempt = 0; attempt < 4; ++attempt) {
        int count = static_cast<int>(groups.size());
        if (::getgrouplist(found->pw_name, found->pw_gid, groups.data(), &count) >= 0) {
            groups.resize(static_cast<std::size_t>(count));
            return groups;
        }
        groups.resize(static_cast<std::size_t>(count) + 16);
    }
    return {};
}

bool Contains(const std::vector<gid_t>& groups, gid_t gid)
{
    for (const gid_t g : groups) {
        if (g == gid)
            return true;
    }
    return false;
}

}  // namespace

SourceRights::SourceRights(int src, const struct stat& source)
    : m_owner(source.st_uid),
      m_group(source.st_gid),
      m_mode(source.st_mode)
{
    std::string value;
    std::vector<AclEntry> parsed;
    if (ReadSized([&](char* buffer, std::size_t size) { return ::fgetxattr(src, kAccessAcl, buffer, size); }, value)
            != 0
        || !ParseAcl(value, parsed))
        return;
    for (const AclEntry& e : parsed) {
        if (e.tag == ACL_MASK)
            m_mask = e.perm & 07;
        else if (e.tag == ACL_USER || e.tag == ACL_GROUP || e.tag == ACL_GROUP_OBJ)
            m_acl.push_back({e.tag, e.perm & 07, e.id});
    }
}

int SourceRights::Named(unsigned tag, unsigned id) const
{
    for (const AclEntry& e : m_acl) {
        if (e.tag == tag && (tag == ACL_GROUP_OBJ || e.id == id))
            return static_cast<int>(e.perm & m_mask);
    }
    return -1;
}

// What the owning group may do: its ACL entry within the mask, else the
// group bits.
unsigned SourceRights::GroupClass() const
{
    const int entry = Named(ACL_GROUP_OBJ, 0);
    return entry >= 0 ? static_cast<unsigned>(entry) : (m_mode >> 3) & 07;
}

unsigned SourceRights::UserMay(uid_t uid) const
{
    if (uid == m_owner)
        return (m_mode >> 6) & 07;
    if (const int named = Named(ACL_USER, uid); named >= 0)
        return static_cast<unsigned>(named);
    // Every group entry that matches one of the user's groups adds its rights.
    const std::vector<gid_t> groups = GroupsOf(uid);
    bool matched = false;
    unsigned may = 0;
    if (Contains(groups, m_group)) {
        matched = true;
        may |= GroupClass();
    }
    for (const AclEntry& e : m_acl) {
        if (e.tag == ACL_GROUP && Contains(groups, e.id)) {
            matched = true;
            may |= e.perm & m_mask;
        }
    }
    return matched ? may : OthersMay();
}

unsigned SourceRights::GroupMay(gid_t gid) const
{
    if (gid == m_group)
        return GroupClass();
    if (const int named = Named(ACL_GROUP, gid); named >= 0)
        return static_cast<unsigned>(named);
    return OthersMay();
}

int SourceRights::Limit(int fd, mode_t& mode) const
{
    // The file's group bits go as far as the source's, whatever its group:
    // a user's own group holds only them, and its bits say what they want a
    // group to have where the file is shared.
    const unsigned others = (mode & 07) & OthersMay();
    unsigned groupClass = ((mode >> 3) & 07) & GroupClass();
    std::string value;
    std::vector<AclEntry> entries;
    const int error = ReadSized(
        [&](char* buffer, std::size_t size) { return ::fgetxattr(fd, kAccessAcl, buffer, size); }, value);
    if (error != 0 && error != ENODATA && !Unsupported(error))
        return error;
    if (error == 0 && ParseAcl(value, entries)) {
        bool extended = false;
        unsigned widest = 0;
        bool trimmed = false;
        for (AclEntry& e : entries) {
            unsigned may = 07;
            if (e.tag == ACL_USER)
                may = UserMay(e.id);
            else if (e.tag == ACL_GROUP)
                may = GroupMay(e.id);
            else if (e.tag == ACL_GROUP_OBJ)
                may = GroupClass();
            else
                continue;
            extended = extended || e.tag != ACL_GROUP_OBJ;
            trimmed = trimmed || (e.perm & ~may) != 0;
            e.perm &= may;
            widest |= e.perm;
        }
        if (extended) {
            // The mask bounds the entries, each already trimmed.
            groupClass = ((mode >> 3) & 07) & widest;
            const std::string narrowed = AclValue(entries);
            if (trimmed && ::fsetxattr(fd, kAccessAcl, narrowed.data(), narrowed.size(), 0) != 0 && !Unsupported(errno))
                return errno;
        }
    }
    mode = (mode & ~static_cast<mode_t>(077)) | static_cast<mode_t>(groupClass << 3) | others;
    return 0;
}

int RefuseUnwritable(int dirFd, const std::string& name)
{
    if (::faccessat(dirFd, name.c_str(), W_OK, AT_EACCESS) == 0)
        return 0;
    // Only the file's rights refuse it (EPERM: it is immutable). A busy
    // program file can be replaced all the same, and a read-only drive
    // fails the copy where it writes.
    return errno == EACCES || errno == EPERM ? errno : 0;
}

bool DriveRefusesWriting(int dirFd, const std::string& name, const struct stat& found)
{
    const timespec times[2] = {found.st_atim, found.st_mtim};
    if (::utimensat(dirFd, name.c_str(), times, AT_SYMLINK_NOFOLLOW) == 0)
        return false;
    return errno == EACCES || errno == EPERM || errno == EROFS || errno == EOPNOTSUPP;
}

int KeepAccessAcl(int dirFd, const std::string& name, int tmp)
{
    std::string acl;
    const int error = ReadAccessAcl(dirFd, name, acl);
    if (error == ENOENT)
        return kCopyDestinationChanged;  // the file went meanwhile
    if (error == ENODATA || Unsupported(error)) {
        if (::fremovexattr(tmp, kAccessAcl) != 0 && errno != ENODATA && !Unsupported(errno))
            return errno;
        return 0;
    }
    if (error != 0)
        return error;
    if (::fsetxattr(tmp, kAccessAcl, acl.data(), acl.size(), 0) != 0 && !Unsupported(errno))
        return errno;
    return 0;
}

int CarryUserAttributes(int src, int dst)
{
    std::string names;
    const int error = ReadSized([&](char* buffer, std::size_t size) { return ::flistxattr(src, buffer, size); }, names);
    if (error != 0)
        return Unsupported(error) ? 0 : error;
    std::string value;
    for (std::size_t at = 0; at < names.size();) {
        const std::string name(names.c_str() + at);
        at += name.size() + 1;
        if (name.compare(0, std::char_traits<char>::length(kUserPrefix), kUserPrefix) != 0)
            continue;
        if (const int carryError = CarryUserAttribute(src, dst, name, value))
            return carryError;
    }
    return 0;
}

}  // namespace platform::detail
