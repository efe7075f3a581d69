#include "platform/fs/TrustedPath.h"

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <vector>

namespace platform::detail {

namespace {

// As many links as the kernel follows in one lookup.
constexpr int kMostLinks = 40;

// Set once the kernel has shown it has no openat2 (before 5.6, or a
// sandbox that forbids it): every open then walks the path.
std::atomic<bool> g_noOpenat2{false};

// openat with no link anywhere on the path; ELOOP where one is.
int OpenWithoutLinks(int dirFd, const char* path, int flags, mode_t mode)
{
    if (g_noOpenat2.load(std::memory_order_relaxed)) {
        errno = ENOSYS;
        return -1;
    }
    open_how how{};
    how.flags = static_cast<std::uint64_t>(flags) | O_CLOEXEC;
    how.mode = (flags & (O_CREAT | O_TMPFILE)) != 0 ? mode : 0;
    how.resolve = RESOLVE_NO_SYMLINKS;
    const long fd = ::syscall(SYS_openat2, dirFd, path, &how, sizeof how);
    if (fd < 0 && errno == ENOSYS)
        g_noOpenat2.store(true, std::memory_order_relaxed);
    return static_cast<int>(fd);
}

// The components of path, the first at the back; "." and empty ones left out.
void PushComponents(const std::string& path, std::vector<std::string>& left)
{
    std::vector<std::string> parts;
    std::size_t at = 0;
    while (at <= path.size()) {
        const std::size_t slash = path.find('/', at);
        const std::size_t end = slash == std::string::npos ? path.size() : slash;
        if (end > at && path.compare(at, end - at, ".") != 0)
            parts.emplace_back(path, at, end - at);
        at = end + 1;
    }
    for (auto it = parts.rbegin(); it != parts.rend(); ++it)
        left.push_back(std::move(*it));
}

// The text of the link open as linkFd (O_PATH | O_NOFOLLOW).
int ReadLinkText(int linkFd, std::string& text)
{
    std::vector<char> buffer(PATH_MAX);
    const ssize_t length = ::readlinkat(linkFd, "", buffer.data(), buffer.size());
    if (length < 0)
        return errno;
    if (static_cast<std::size_t>(length) >= buffer.size())
        return ENAMETOOLONG;
    text.assign(buffer.data(), static_cast<std::size_t>(length));
    return text.empty() ? ENOENT : 0;
}

// Where a walk stands: the folder reached, the components still to go.
struct Walk {
    Fd at;
    std::vector<std::string> left;
    int links = 0;

    int Start(int dirFd, const std::string& path)
    {
        left.clear();
        PushComponents(path, left);
        at.reset(path.starts_with('/') ? ::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC)
                                       : ::openat(dirFd, ".", O_PATH | O_DIRECTORY | O_CLOEXEC));
        return at.get() >= 0 ? 0 : errno;
    }

    // The link linkFd (owned by owner) stands where the walk is: its text
    // takes the place of its name, if the link may be followed.
    int Follow(int linkFd, uid_t owner, LinkRule rule)
    {
        if (!TrustsLinkOf(owner, rule))
            return kLinkOfAnotherUser;
        if (++links > kMostLinks)
            return ELOOP;
        std::string text;
        if (const int error = ReadLinkText(linkFd, text))
            return error;
        if (text.starts_with('/')) {
            at.reset(::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
            if (at.get() < 0)
                return errno;
        }
        PushComponents(text, left);
        return 0;
    }

    // Goes one folder further, by the component at the back, which is not
    // the last one.
    int Step()
    {
        const std::string name = std::move(left.back());
        left.pop_back();
        Fd next(::openat(at.get(), name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
        struct stat st {};
        if (next.get() < 0 || ::fstat(next.get(), &st) != 0)
            return errno;
        if (S_ISLNK(st.st_mode))
            return Follow(next.get(), st.st_uid, LinkRule::OwnOrSystem);
        if (!S_ISDIR(st.st_mode))
            return ENOTDIR;
        at = std::move(next);
        return 0;
    }

    // Opens the last component with flags into fd; where it is a link that
    // may be followed, its text takes its place and fd stays closed.
    int Last(int flags, mode_t mode, LinkRule rule, Fd& fd)
    {
        const std::string name = left.back();
        Fd opened(::openat(at.get(), name.c_str(), flags | O_NOFOLLOW | O_CLOEXEC, mode));
        const int openError = opened.get() >= 0 ? 0 : errno;
        struct stat st {};
        if (openError == 0 && ((flags & O_PATH) == 0 || (::fstat(opened.get(), &st) == 0 && !S_ISLNK(st.st_mode)))) {
            fd = std::move(opened);
            return 0;
        }
        // Perhaps a link: O_NOFOLLOW refuses one (ELOOP, or ENOTDIR with
        // O_DIRECTORY), O_PATH opens the link itself.
        if (openError != 0 && openError != ELOOP && openError != ENOTDIR)
            return openError;
        Fd link(::openat(at.get(), name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
        if (link.get() < 0 || ::fstat(link.get(), &st) != 0 || !S_ISLNK(st.st_mode))
            return openError == 0 ? ENOTDIR : openError;
        left.pop_back();
        return Follow(link.get(), st.st_uid, rule);
    }
};

}  // namespace

bool TrustsLinkOf(uid_t owner, LinkRule rule)
{
    const uid_t self = ::geteuid();
    return owner == self || (rule == LinkRule::OwnOrSystem && owner == 0);
}

int OpenTrusted(int dirFd, const std::string& path, int flags, LinkRule lastRule, Fd& fd, mode_t mode)
{
    fd.reset(-1);
    if (path.empty())
        return ENOENT;
    const int direct = OpenWithoutLinks(dirFd, path.c_str(), flags, mode);
    if (direct >= 0) {
        fd.reset(direct);
        return 0;
    }
    if (errno != ELOOP && errno != ENOSYS)
        return errno;

    // A link on the way, or no openat2: the path is walked one name at a time.
    Walk walk;
    if (const int error = walk.Start(dirFd, path))
        return error;
    while (!walk.left.empty()) {
        const int error = walk.left.size() > 1 ? walk.Step() : walk.Last(flags, mode, lastRule, fd);
        if (error != 0 || fd.get() >= 0)
            return error;
    }
    // Only "." or "/" was left: the folder reached is what was asked for.
    fd.reset(::openat(walk.at.get(), ".", flags | O_CLOEXEC, mode));
    return fd.get() >= 0 ? 0 : errno;
}

int StatOwnLinks(int dirFd, const char* path, struct stat& st)
{
    if (::fstatat(dirFd, path, &st, AT_SYMLINK_NOFOLLOW) != 0)
        return errno;
    if (!S_ISLNK(st.st_mode))
        return 0;
    if (!TrustsLinkOf(st.st_uid, LinkRule::OwnOnly))
        return kLinkOfAnotherUser;
    return ::fstatat(dirFd, path, &st, 0) == 0 ? 0 : errno;
}

int ResolveOwnLink(int dirFd, const std::string& name, Fd& folder, std::string& finalName, struct stat& st)
{
    // The folder the name stands in, held as the link is read: a link
    // swapped in meanwhile by someone else is seen for what it is.
    Fd at(::openat(dirFd, ".", O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (at.get() < 0)
        return errno;
    std::string current = name;
    for (int links = 0; links <= kMostLinks; ++links) {
        Fd link(::openat(at.get(), current.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
        if (link.get() < 0 || ::fstat(link.get(), &st) != 0)
            return errno;
        if (!S_ISLNK(st.st_mode)) {
            folder = std::move(at);
            finalName = current;
            return 0;
        }
        if (!TrustsLinkOf(st.st_uid, LinkRule::OwnOnly))
            return kLinkOfAnotherUser;
        std::string text;
        if (const int error = ReadLinkText(link.get(), text))
            return error;
        std::string parent;
        SplitPath(text, parent, current);
        if (current.empty() || current == "." || current == "..") {
            // A link to a folder, never a file's place.
            return EISDIR;
        }
        Fd next;
        if (const int error = OpenTrusted(at.get(), parent, O_PATH | O_DIRECTORY, LinkRule::OwnOrSystem, next))
            return error;
        at = std::move(next);
    }
    return ELOOP;
}

}  // namespace platform::detail
