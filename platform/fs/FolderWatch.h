#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace platform {

// Tells which listed folders changed, so that a run can follow a change
// soon after it happens. Runs read only the entries directly inside a listed
// folder and never copy folders, so each listed folder costs one inotify
// watch (none for its subfolders) and entries that are folders are left out.
// A listed folder that does not exist yet (not made, its drive not mounted)
// is waited for at its nearest existing ancestor. Nothing here polls: the
// caller waits on EventFd and MountsFd and then calls Read.
class FolderWatch {
public:
    FolderWatch();
    ~FolderWatch();
    FolderWatch(const FolderWatch&) = delete;
    FolderWatch& operator=(const FolderWatch&) = delete;

    // The descriptor that becomes readable when Read has something to
    // tell; -1 when the system gives no watcher (then every folder is a
    // problem).
    int EventFd() const { return m_fd; }
    // Why the system gave no watcher (an errno), when EventFd is -1.
    int InitError() const { return m_initError; }
    // The mount table, to wait on for POLLPRI: a drive plugged in or out,
    // after which Read looks at every folder again; -1 if not available.
    int MountsFd() const { return m_mountsFd; }

    // From now on, exactly these folders (full paths, as the lists hold
    // them) are watched; the others are dropped. Folders watched already
    // keep their watch, so nothing queued for them is lost; those that
    // could not be watched are tried again.
    void SetFolders(const std::vector<std::string>& folders);

    struct Changes {
        // Listed folders (their texts as given) where something changed that
        // a run acts on, or that went away, came or came back.
        std::set<std::string> folders;
        // (listed folder, entry name) of each entry changed, once each, so
        // that a caller can leave out its own writes.
        std::vector<std::pair<std::string, std::string>> names;
        // Something may have changed unseen: the queue overflowed, or a
        // folder came, came back or was replaced, so its content is unknown.
        bool missed = false;
    };
    // What changed since the last call, without waiting.
    Changes Read();

    struct Problem {
        enum class Why {
            WatchLimit,  // the user's fs.inotify.max_user_watches is reached
            NoAccess,  // the folder, or the way to it, may not be read
            NoEvents,  // watched, but its drive tells nothing of changes made elsewhere (FUSE, network)
            Other,  // error says why
        };
        std::string folder;
        Why why = Why::Other;
        int error = 0;
    };
    // The folders that cannot be watched (or not fully) since the last
    // call, each told once for a reason until it is watched again.
    std::vector<Problem> TakeProblems();

    // Watches held now.
    std::size_t WatchCount() const { return m_watches.size(); }

private:
    // A listed folder text. Its watch is on the folder itself when
    // watchedLength is the whole path, else on the nearest existing
    // ancestor (the path's first watchedLength bytes).
    struct Folder {
        std::string text;
        std::string path;  // text without repeated or trailing '/'
        int wd = -1;
        std::size_t watchedLength = 0;
        std::optional<Problem::Why> told;

        bool Present() const { return wd >= 0 && watchedLength == path.size(); }
        std::string WatchedPath() const { return path.substr(0, watchedLength); }
        // The step after the watched ancestor: its name, and its path.
        std::string_view NextName() const;
        std::string NextPath() const;
    };
    // One inode watched, for every folder text that uses it: several texts
    // may lead to one folder, and one folder may be both listed and the
    // ancestor another listed folder waits at.
    struct Watch {
        dev_t device = 0;
        ino_t inode = 0;
        std::uint32_t mask = 0;
        bool alive = true;  // false once the kernel dropped it
        std::vector<Folder*> users;
    };

    // Watches the folder, else its nearest existing ancestor for its
    // coming; tells why when neither can be watched.
    void Attach(Folder& folder);
    // The watch on the folder or its nearest existing ancestor, the
    // ancestor's length in length; -1 with error.
    int WatchNearest(const Folder& folder, std::size_t& length, int& error);
    void Bind(Folder& folder, int wd, std::size_t length);
    void Release(Folder& folder, int wd);
    void Narrow(int wd, Watch& watch);
    static bool NextStepIsFolder(const Folder& folder);
    // Whether the folder's watch still stands for what it was made for.
    bool Holds(const Folder& folder) const;
    // Watches the folder anew when its watch no longer holds; true when it
    // counts as changed (gone, come, come back, replaced).
    bool Recheck(Folder& folder, Changes& changes);
    void Tell(Folder& folder, Problem::Why why, int error);
    void Handle(int wd, std::uint32_t mask, std::string_view name, Changes& changes);
    void ReadEvents(Changes& changes, bool& recheckAll);
    bool MountsChanged() const;

    int m_fd = -1;
    int m_initError = 0;
    // The caller waits on m_mountsFd, and each poll takes its flag; Read
    // asks its own open of the table, whose flag only Read takes.
    int m_mountsFd = -1;
    int m_mountsCheckFd = -1;
    std::map<std::string, Folder> m_folders;
    std::unordered_map<int, Watch> m_watches;
    std::vector<Problem> m_problems;
};

}  // namespace platform
