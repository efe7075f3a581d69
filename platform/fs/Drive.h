#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <string_view>

// What a drive can do, as far as the program relies on it, in one place:
// one row per kind of file system (kDriveKinds in Drive.cpp), found once per
// drive. Whoever needs to know asks here rather than looking at the file
// system's type itself; a new kind of drive is one row and its test.
namespace platform {

struct Drive {
    // The kind as the mount table names it ("ext4", "fuse.sshfs"), or a
    // name of our own for a kind known by its type number only.
    std::string_view kind;
    // One flush of the whole drive (syncfs) makes every file written to it
    // durable, data and attributes: local file systems that commit a
    // journal or write everything dirty. Elsewhere each file is flushed.
    bool flushesAsAWhole = false;
    // Names are told apart by every byte, so that a name missing from a
    // listing is missing (a folder may still fold case: ext4's casefold,
    // asked of the folder itself). Elsewhere names are asked one by one.
    bool exactNames = false;
    // Changes made on another machine, or behind a FUSE mount, reach this
    // kernel's inotify: a watch sees every change.
    bool changeEvents = true;
    // A file can have a second name (link). Where it cannot, a replaced
    // file is kept by moving it. Unknown kinds are tried.
    bool hardLinks = true;
    // A file's change time moves with every change of it, and its inode
    // number stays its own while it lives (FUSE and network drives may make
    // them up or reuse them).
    bool changeTimes = true;
    bool stableInodes = true;
    // Takes only the names Windows takes and finds them without regard to
    // case, whatever the kernel says of it: FAT, exFAT, a Samba share.
    bool windowsNamesOnly = false;
    // A rename over an existing file replaces it in one step. A Samba share
    // through gvfs deletes the old file first and then renames: an
    // interruption between the two would leave neither under the name.
    bool replacesInOneStep = true;
    // A rename leaves the file's last-write time as it was. fusefat gives a
    // renamed file the time of its rename; kinds not known are not relied
    // on: there a copy sets its time again once it is in place.
    bool renameKeepsTimes = true;
    // A file's mode tells whether it may be written. A Samba share through
    // gvfs shows every file as 0700, also one the server keeps read-only:
    // there the drive is asked (see DriveRefusesWriting).
    bool modesTellWritable = true;
    // A Samba server shows a file whose name Windows cannot take under a
    // short name of its own making (TZHRWN~N for "trail."): such a name is
    // no file of that name, and is never copied from there.
    bool showsMadeUpNames = false;
};

// The drive that holds the open file or folder fd (a FUSE drive known by
// the mount table's name for it, a folder of gvfs's FUSE mount by the share
// it reaches); a kind not in the table is an unknown one, asked with care.
const Drive& DriveOf(int fd);
// The same for an fd on the drive of that device number, asked once per
// drive: for what is asked per file.
const Drive& DriveOf(int fd, dev_t device);
// The same for the file or folder at path; an unknown drive when nothing
// can be looked at there.
const Drive& DriveAt(const std::string& path);

// Whether a drive that takes only Windows names (Drive::windowsNamesOnly)
// can hold name as it is: none of \ : * ? " < > | nor a control character,
// no dot or blank at its end, and no device name (CON, PRN, AUX, NUL, COM1
// to COM9, LPT1 to LPT9, also with an extension). Elsewhere such a name is
// refused, or stored under another name that would come back as a new file.
bool HoldsWindowsName(std::string_view name);

// Whether name has the shape of the short names a Samba server makes up
// (six letters, digits or '_', a '~', one more, and an extension of at most
// three): where Drive::showsMadeUpNames, taken for one.
bool LooksMadeUp(std::string_view name);

namespace detail {
// The row for a file system type number, the mount table's kind name and
// the path of a folder on it: DriveOf without the system calls, for tests.
const Drive& DriveOfKind(std::uint32_t type, std::string_view mountKind, std::string_view path);
}  // namespace detail

}  // namespace platform
