#include "platform/fs/FileAttributes.h"

#include <fcntl.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>

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

}  // namespace

int RefuseUnwritable(int dirFd, const std::string& name)
{
    if (::faccessat(dirFd, name.c_str(), W_OK, AT_EACCESS) == 0)
        return 0;
    // Only the file's rights refuse it (EPERM: it is immutable). A busy
    // program file can be replaced all the same, and a read-only drive
    // fails the copy where it writes.
    return errno == EACCES || errno == EPERM ? errno : 0;
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
