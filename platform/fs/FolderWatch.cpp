#include "platform/fs/FolderWatch.h"

#include "platform/fs/Drive.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace platform {

namespace {

using Why = FolderWatch::Problem::Why;

// Changes of the entries a run reads, and the listed folder itself going.
constexpr std::uint32_t kEntryChanges = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_CLOSE_WRITE | IN_MODIFY
    | IN_ATTRIB;
constexpr std::uint32_t kFolderMask = kEntryChanges | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;
// At an ancestor, only the next step of the way coming, or the ancestor going.
constexpr std::uint32_t kAwaitMask = IN_CREATE | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;
// Events after which the watch no longer stands for what it stood for.
constexpr std::uint32_t kSelfGone = IN_DELETE_SELF | IN_MOVE_SELF | IN_UNMOUNT | IN_IGNORED;
// A way to a folder that keeps changing under us is given up after this
// many tries; the next event or mount change tries again.
constexpr int kAttachTries = 8;

std::string NormalPath(const std::string& text)
{
    std::string path;
    path.reserve(text.size());
    for (const char c : text) {
        if (c != '/' || path.empty() || path.back() != '/')
            path += c;
    }
    if (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

Why WhyOf(int error)
{
    switch (error) {
    case ENOSPC: return Why::WatchLimit;
    case EACCES:
    case EPERM: return Why::NoAccess;
    default: return Why::Other;
    }
}

// Drives whose changes made on another machine, or by the program behind a
// FUSE mount, never reach this kernel's inotify.
bool SendsNoEvents(const std::string& path)
{
    return !DriveAt(path).changeEvents;
}

void CloseIfOpen(int fd)
{
    if (fd >= 0)
        ::close(fd);
}

}  // namespace

std::string_view FolderWatch::Folder::NextName() const
{
    const std::size_t start = watchedLength == 1 ? 1 : watchedLength + 1;
    const std::size_t end = std::min(path.find('/', start), path.size());
    return std::string_view(path).substr(start, end - start);
}

std::string FolderWatch::Folder::NextPath() const
{
    const std::size_t start = watchedLength == 1 ? 1 : watchedLength + 1;
    return path.substr(0, path.find('/', start));
}

FolderWatch::FolderWatch() : m_fd(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
{
    if (m_fd < 0) {
        m_initError = errno;
        return;
    }
    m_mountsFd = ::open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC);
    m_mountsCheckFd = ::open("/proc/self/mountinfo", O_RDONLY | O_CLOEXEC);
}

FolderWatch::~FolderWatch()
{
    CloseIfOpen(m_fd);
    CloseIfOpen(m_mountsFd);
    CloseIfOpen(m_mountsCheckFd);
}

void FolderWatch::SetFolders(const std::vector<std::string>& folders)
{
    const std::set<std::string> wanted(folders.begin(), folders.end());
    for (auto it = m_folders.begin(); it != m_folders.end();) {
        if (wanted.count(it->first) != 0) {
            ++it;
            continue;
        }
        Release(it->second, it->second.wd);
        it = m_folders.erase(it);
    }
    for (const std::string& text : wanted) {
        const auto [it, made] = m_folders.try_emplace(text);
        Folder& folder = it->second;
        if (made) {
            folder.text = text;
            folder.path = NormalPath(text);
        }
        if (folder.wd < 0)
            Attach(folder);
    }
}

std::vector<FolderWatch::Problem> FolderWatch::TakeProblems()
{
    return std::exchange(m_problems, {});
}

FolderWatch::Changes FolderWatch::Read()
{
    Changes changes;
    if (m_fd < 0)
        return changes;
    bool recheckAll = MountsChanged();
    ReadEvents(changes, recheckAll);
    if (recheckAll) {
        for (auto& entry : m_folders) {
            if (Recheck(entry.second, changes))
                changes.missed = true;
        }
    }
    std::sort(changes.names.begin(), changes.names.end());
    changes.names.erase(std::unique(changes.names.begin(), changes.names.end()), changes.names.end());
    return changes;
}

bool FolderWatch::MountsChanged() const
{
    if (m_mountsCheckFd < 0)
        return false;
    pollfd table{m_mountsCheckFd, POLLPRI, 0};
    return ::poll(&table, 1, 0) > 0 && (table.revents & (POLLPRI | POLLERR)) != 0;
}

void FolderWatch::ReadEvents(Changes& changes, bool& recheckAll)
{
    alignas(inotify_event) char buffer[16 * 1024];
    for (;;) {
        const ssize_t got = ::read(m_fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return;
        for (std::size_t at = 0; at + sizeof(inotify_event) <= static_cast<std::size_t>(got);) {
            inotify_event event;
            std::memcpy(&event, buffer + at, sizeof event);
            const char* name = buffer + at + sizeof event;
            at += sizeof event + event.len;
            if ((event.mask & IN_Q_OVERFLOW) != 0) {
                changes.missed = true;
                recheckAll = true;  // a folder may also have come or gone unseen
                continue;
            }
            Handle(event.wd, event.mask, std::string_view(name, ::strnlen(name, event.len)), changes);
        }
    }
}

void FolderWatch::Handle(int wd, std::uint32_t mask, std::string_view name, Changes& changes)
{
    const auto it = m_watches.find(wd);
    if (it == m_watches.end())
        return;
    if ((mask & (IN_DELETE_SELF | IN_UNMOUNT | IN_IGNORED)) != 0)
        it->second.alive = false;
    // Rechecks take folders off this watch.
    const std::vector<Folder*> users = it->second.users;
    // Runs never copy folders: a subfolder changing is nothing to them.
    const bool entryChanged = (mask & IN_ISDIR) == 0 && (mask & kEntryChanges) != 0 && !name.empty();
    const bool entryCame = (mask & (IN_CREATE | IN_MOVED_TO)) != 0;
    for (Folder* folder : users) {
        const bool present = folder->Present();
        if ((mask & kSelfGone) != 0 || (!present && entryCame && name == folder->NextName())) {
            Recheck(*folder, changes);
        } else if (present && entryChanged) {
            changes.folders.insert(folder->text);
            changes.names.emplace_back(folder->text, name);
        }
    }
}

bool FolderWatch::Recheck(Folder& folder, Changes& changes)
{
    if (Holds(folder))
        return false;
    const bool was = folder.Present();
    Attach(folder);
    if (!was && !folder.Present())
        return false;
    changes.folders.insert(folder.text);
    // Come, back, or replaced: what it holds was never seen.
    if (folder.Present())
        changes.missed = true;
    return true;
}

bool FolderWatch::Holds(const Folder& folder) const
{
    const auto it = m_watches.find(folder.wd);
    if (it == m_watches.end() || !it->second.alive)
        return false;
    struct stat st {};
    if (::stat(folder.WatchedPath().c_str(), &st) != 0 || st.st_dev != it->second.device
        || st.st_ino != it->second.inode)
        return false;
    return folder.Present() || !NextStepIsFolder(folder);
}

bool FolderWatch::NextStepIsFolder(const Folder& folder)
{
    struct stat st {};
    return ::stat(folder.NextPath().c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

void FolderWatch::Attach(Folder& folder)
{
    if (m_fd < 0 || folder.path.empty() || folder.path[0] != '/') {
        Release(folder, folder.wd);
        folder.wd = -1;
        Tell(folder, Why::Other, m_fd < 0 ? m_initError : EINVAL);
        return;
    }
    for (int tries = 0; tries < kAttachTries; ++tries) {
        std::size_t length = 0;
        int error = 0;
        const int wd = WatchNearest(folder, length, error);
        if (wd < 0) {
            Release(folder, folder.wd);
            folder.wd = -1;
            Tell(folder, WhyOf(error), error);
            return;
        }
        Bind(folder, wd, length);
        // The next step may have come before the ancestor's watch could see it.
        if (folder.Present() || !NextStepIsFolder(folder))
            break;
    }
    if (folder.Present() && SendsNoEvents(folder.path))
        Tell(folder, Why::NoEvents, 0);
    else if (folder.Present() || folder.told != Why::NoEvents)
        folder.told.reset();  // a drive away for a while is not told of again when it comes back
}

int FolderWatch::WatchNearest(const Folder& folder, std::size_t& length, int& error)
{
    length = folder.path.size();
    for (;;) {
        const std::string at = folder.path.substr(0, length);
        const std::uint32_t mask = length == folder.path.size() ? kFolderMask : kAwaitMask;
        // IN_MASK_ADD: the inode may be watched for another folder text already.
        const int wd = ::inotify_add_watch(m_fd, at.c_str(), mask | IN_MASK_ADD);
        if (wd >= 0)
            return wd;
        error = errno;
        if ((error != ENOENT && error != ENOTDIR) || length <= 1)
            return -1;
        const std::size_t slash = folder.path.rfind('/', length - 1);
        length = slash == 0 ? 1 : slash;
    }
}

void FolderWatch::Bind(Folder& folder, int wd, std::size_t length)
{
    const auto [it, made] = m_watches.try_emplace(wd);
    Watch& watch = it->second;
    if (made) {
        struct stat st {};
        if (::stat(folder.path.substr(0, length).c_str(), &st) == 0) {
            watch.device = st.st_dev;
            watch.inode = st.st_ino;
        }
    }
    watch.mask |= length == folder.path.size() ? kFolderMask : kAwaitMask;
    if (std::find(watch.users.begin(), watch.users.end(), &folder) == watch.users.end())
        watch.users.push_back(&folder);
    const int previous = std::exchange(folder.wd, wd);
    folder.watchedLength = length;
    if (previous != wd)
        Release(folder, previous);
}

void FolderWatch::Release(Folder& folder, int wd)
{
    const auto it = m_watches.find(wd);
    if (it == m_watches.end())
        return;
    std::vector<Folder*>& users = it->second.users;
    users.erase(std::remove(users.begin(), users.end(), &folder), users.end());
    if (users.empty()) {
        if (it->second.alive)
            ::inotify_rm_watch(m_fd, wd);
        m_watches.erase(it);
    } else {
        Narrow(wd, it->second);
    }
}

// A watch that no longer serves a listed folder, only others waiting at it
// for their way, stops asking for every change of its entries: an ancestor
// such as the home folder changes all day.
void FolderWatch::Narrow(int wd, Watch& watch)
{
    std::uint32_t needed = 0;
    for (const Folder* user : watch.users)
        needed |= user->Present() ? kFolderMask : kAwaitMask;
    if (!watch.alive || (watch.mask & ~needed) == 0)
        return;
    const std::string at = watch.users.front()->WatchedPath();
    struct stat st {};
    if (::stat(at.c_str(), &st) != 0 || st.st_dev != watch.device || st.st_ino != watch.inode)
        return;  // the path leads elsewhere now; the wider mask stays
    const int got = ::inotify_add_watch(m_fd, at.c_str(), needed);
    if (got < 0)
        return;
    if (got == wd) {
        watch.mask = needed;
        return;
    }
    // Another inode took the path in between: undo what the call did to it.
    const auto other = m_watches.find(got);
    if (other == m_watches.end())
        ::inotify_rm_watch(m_fd, got);
    else
        ::inotify_add_watch(m_fd, at.c_str(), other->second.mask | IN_MASK_ADD);
}

void FolderWatch::Tell(Folder& folder, Why why, int error)
{
    if (folder.told == why)
        return;
    folder.told = why;
    m_problems.push_back({folder.text, why, error});
}

}  // namespace platform
