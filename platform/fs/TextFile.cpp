#include "platform/fs/TextFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <memory>

#include "platform/fs/FileError.h"
#include "platform/fs/FileSystemInternal.h"

namespace platform {

namespace {

[[noreturn]] void Fail(int error, const std::string& path)
{
    throw EInOutError::FromErrnoAtPath(error, path);
}

// A list file kept behind a symbolic link is written where the link points,
// so that the link stays.
std::string FollowLink(const std::string& path)
{
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
        return path;
    std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(path.c_str(), nullptr), &std::free);
    return resolved ? std::string(resolved.get()) : path;
}

}  // namespace

std::vector<std::string> ReadTextLines(const std::string& path)
{
    // Without O_NONBLOCK opening a pipe waits for a writer, and the
    // program's start would wait with it.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        Fail(errno, path);
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        const int error = errno;
        ::close(fd);
        Fail(error, path);
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        throw EInOutError(kNotAFileCode, kNotAFileText);
    }
    std::string content;
    if (st.st_size > 0)
        content.reserve(static_cast<std::size_t>(st.st_size));
    char buffer[65536];
    while (true) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            const int error = errno;
            ::close(fd);
            Fail(error, path);
        }
        if (got == 0)
            break;
        content.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(fd);

    std::vector<std::string> lines;
    std::string line;
    bool open = false;  // a line has begun and not yet ended
    for (std::size_t i = 0; i < content.size(); ++i) {
        const char c = content[i];
        if (c == '\n' || c == '\r') {
            // CR LF, LF and a lone CR each end one line.
            if (c == '\r' && i + 1 < content.size() && content[i + 1] == '\n')
                ++i;
            lines.push_back(std::move(line));
            line.clear();
            open = false;
        } else {
            line.push_back(c);
            open = true;
        }
    }
    if (open)
        lines.push_back(std::move(line));
    return lines;
}

void WriteTextLines(const std::string& path, const std::vector<std::string>& lines)
{
    std::string content;
    std::size_t size = 0;
    for (const std::string& line : lines)
        size += line.size() + 2;
    content.reserve(size);
    for (const std::string& line : lines) {
        content += line;
        content += "\r\n";
    }

    const std::string target = FollowLink(path);
    // Replacing by rename would pass over a read-only file (and root over
    // any permission): a file that cannot be written in place is refused,
    // as writing into it would be.
    struct stat old {};
    const bool replacing = ::stat(target.c_str(), &old) == 0;
    if (replacing && (S_ISDIR(old.st_mode) || (old.st_mode & S_IWUSR) == 0))
        Fail(EACCES, path);
    std::string folder;
    std::string name;
    detail::SplitPath(target, folder, name);
    const std::string prefix = target.substr(0, target.size() - name.size());

    // 0666 lets the umask decide, as for any new file.
    std::string tmpPath;
    detail::Fd file;
    if (const int error = detail::CreateExclusive(
            AT_FDCWD, [&] { return prefix + detail::NewTemporaryName(); }, 0666, file, tmpPath))
        Fail(error, path);

    std::uint64_t done = 0;
    int error = detail::WriteAll(file.get(), content.data(), content.size(), done);
    if (error == 0 && replacing && S_ISREG(old.st_mode) && ::fchmod(file.get(), old.st_mode & 07777) != 0
        && !detail::RefusesPermissions(errno))
        error = errno;
    // The list files are few and small: make sure the new one is on disk
    // before it replaces the old one.
    if (error == 0 && ::fsync(file.get()) != 0)
        error = errno;
    if (::close(file.release()) != 0 && error == 0)
        error = errno;
    if (error == 0 && ::rename(tmpPath.c_str(), target.c_str()) != 0)
        error = errno;
    if (error != 0) {
        ::unlink(tmpPath.c_str());
        Fail(error, path);
    }
}

std::string MoveAside(const std::string& path, const std::string& suffix)
{
    for (int number = 1;; ++number) {
        std::string aside = path + suffix + (number == 1 ? std::string() : "." + std::to_string(number));
        if (::renameat2(AT_FDCWD, path.c_str(), AT_FDCWD, aside.c_str(), RENAME_NOREPLACE) == 0)
            return aside;
        // A file system that cannot rename without replacing (NFS) can link.
        if (errno == EINVAL && ::link(path.c_str(), aside.c_str()) == 0) {
            ::unlink(path.c_str());
            return aside;
        }
        if (errno != EEXIST || number >= 1000)
            Fail(errno, path);
    }
}

}  // namespace platform
