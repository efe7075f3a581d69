#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <map>
#include <memory>
#include <string>
#include <utility>

#include "platform/fs/FileSystemInternal.h"

// The desktop's Trash, as file managers keep it: the home Trash
// ($XDG_DATA_HOME/Trash) for files on the home folder's drive, else
// $topdir/.Trash/$uid (where $topdir/.Trash is a sticky folder, not a link)
// or $topdir/.Trash-$uid on the drive itself. Each kept file has its
// .trashinfo (Path, DeletionDate) in info/, so that file managers list it
// and "Restore" puts it back. A file is kept on its own drive, so that
// keeping it never copies it; a drive is a mount, so that a folder mounted
// a second time (a bind mount) keeps its files at the top of that mount.
//
// Another user may own a drive's sticky .Trash and rename what lies in it,
// so every folder of a Trash is opened without following links, checked on
// what was opened, and used only through that: a folder swapped for another
// after the check is never written to.
namespace platform::detail {

// The files/ and info/ folders of one Trash, open.
struct OpenTrash {
    Fd files;
    Fd info;
    // The drive's top folder, whose .trashinfo paths are relative to it;
    // empty for the home Trash, whose paths are absolute.
    std::string topdir;
    // The home Trash for files of a drive whose own Trash cannot be made (a
    // network share, a drive whose top the user may not write): no link or
    // move reaches it, so a file is kept there by a copy.
    bool byCopy = false;
};

// The Trashes one pass of a run keeps files in, each opened and checked
// once. The first time a pass opens a Trash it removes the .trashinfo files
// that killed runs left without their kept file (see RemoveOrphans).
class TrashFolders {
public:
    // The Trash for files of the folder folderFd, made where it is missing;
    // where a drive's own cannot be, the home Trash, by copy. 0 with trash
    // set, or the errno of what could not be made or opened.
    int ForFolder(int folderFd, std::shared_ptr<const OpenTrash>& trash);

private:
    std::map<std::pair<std::uint64_t, dev_t>, std::shared_ptr<const OpenTrash>> m_open;
};

// A place in the Trash for a file about to be replaced. Reserve writes its
// .trashinfo under a name that no other kept file has, and holds it locked
// until the file is kept, so that no other run takes it for an orphan; Keep
// puts the file there just before the new one takes its name; Undo takes
// that back when the new one could not.
class TrashPlace {
public:
    TrashPlace() = default;
    // Unless the file was kept, its .trashinfo goes again.
    ~TrashPlace();
    TrashPlace(const TrashPlace&) = delete;
    TrashPlace& operator=(const TrashPlace&) = delete;

    // For the file name in the folder folderFd. trashes, when given, keeps
    // the pass's open Trashes (else this place opens its own). 0, or the
    // errno of what could not be made or written.
    int Reserve(int folderFd, const std::string& name, TrashFolders* trashes);
    // The .trashinfo, to be flushed with the copy.
    int InfoFd() const { return m_info.get(); }

    // Puts the file in the Trash: by a hard link, so that it stays at its
    // name until the new file takes it (a crash in between leaves both), or
    // by moving it where the drive has no hard links. 0 or the errno.
    // kept: how the file was when the copy looked at it (its times stay).
    int Keep(const struct stat& kept);
    // The new file did not take the name: the file is as it was before Keep.
    void Undo();
    // Whether Keep copied the file into the home Trash (see OpenTrash::byCopy).
    bool KeptByCopy() const { return m_copied; }
    // Whether Keep moved the file away: its name is free.
    bool MovedAway() const { return m_moved; }

private:
    int m_folderFd = -1;
    std::string m_name;
    std::shared_ptr<const OpenTrash> m_trash;
    Fd m_info;
    std::string m_trashName;  // in files/, and with ".trashinfo" in info/
    bool m_linked = false;
    bool m_moved = false;
    bool m_copied = false;

    // Keep for a Trash on another drive: the file's content and times
    // copied there, on the disk before the file is replaced.
    int KeepByCopy(const struct stat& kept);
};

// What is written in a .trashinfo's Path: the bytes of path, with all but
// letters, digits, '/' and "-_.!~*'()" as %XX.
std::string PercentEncoded(const std::string& path);
// The bytes a Path value stands for: %XX decoded, any other byte as it is
// (a '%' without two hex digits after it too).
std::string PercentDecoded(const std::string& value);

// name, shortened where need be so that a number and ".trashinfo" still fit
// in a name: never in the middle of a character where name is UTF-8, and
// by bytes where it is not.
std::string TrashBaseName(const std::string& name);

}  // namespace platform::detail
