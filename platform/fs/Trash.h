#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <string>

#include "platform/fs/FileSystemInternal.h"

// The desktop's Trash, as file managers keep it: the home Trash
// ($XDG_DATA_HOME/Trash) for files on the home folder's drive, else
// $topdir/.Trash/$uid (where $topdir/.Trash is a sticky folder, not a link)
// or $topdir/.Trash-$uid on the drive itself. Each kept file has its
// .trashinfo (Path, DeletionDate) in info/, so that file managers list it
// and "Restore" puts it back. A file is kept on its own drive, so that
// keeping it never copies it.
namespace platform::detail {

// A place in the Trash for a file about to be replaced. Reserve writes its
// .trashinfo under a name that no other kept file has; Keep puts the file
// there just before the new one takes its name; Undo takes that back when
// the new one could not.
class TrashPlace {
public:
    TrashPlace() = default;
    // Unless the file was kept, its .trashinfo goes again.
    ~TrashPlace();
    TrashPlace(const TrashPlace&) = delete;
    TrashPlace& operator=(const TrashPlace&) = delete;

    // For the file name in the folder folderFd (on device), whose path is
    // folderPath. 0, or the errno of what could not be made or written.
    int Reserve(int folderFd, dev_t device, const std::string& folderPath, const std::string& name);
    // The .trashinfo, to be flushed with the copy.
    int InfoFd() const { return m_info.get(); }

    // Puts the file in the Trash: by a hard link, so that it stays at its
    // name until the new file takes it (a crash in between leaves both), or
    // by moving it where the drive has no hard links. 0 or the errno.
    // kept: how the file was when the copy looked at it (its times stay).
    int Keep(const struct stat& kept);
    // The new file did not take the name: the file is as it was before Keep.
    void Undo();

private:
    int m_folderFd = -1;
    std::string m_name;
    Fd m_filesFolder;
    Fd m_infoFolder;
    Fd m_info;
    std::string m_trashName;  // in files/, and with ".trashinfo" in info/
    bool m_linked = false;
    bool m_moved = false;
};

// What is written in a .trashinfo's Path: the bytes of path, with all but
// letters, digits, '/' and "-_.!~*'()" as %XX.
std::string PercentEncoded(const std::string& path);

}  // namespace platform::detail
