#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cerrno>
#include <ctime>
#include <string>

#include "platform/fs/FileSystemInternal.h"
#include "platform/fs/FileSystemTesting.h"

// What the pieces of the copy share: the job one copy works on, and the
// steps each piece lends the others. The copy's own files only (CopyFile.h
// is what the rest of the program uses).
namespace platform::detail {

class TrashPlace;

// A placement that found the file system unable to name an unnamed
// temporary file after all: the copy is made again with a named one.
inline constexpr int kRetryWithNamedTemp = -1;
// The destination is the source itself: nothing to write.
inline constexpr int kSameFile = -2;

// What a copy works on: the source it has open, and what it saw at the
// destination before it began.
struct CopyJob {
    int src = -1;
    struct stat sourceStat {};
    std::string sourcePath;  // the path the source was opened by
    int dirFd = -1;  // the destination's folder
    dev_t device = 0;
    std::string name;  // the destination's name in it
    bool failIfExists = false;
    bool destinationSeen = false;  // something stood at name
    struct stat seen {};  // what: a file, or a link that leads nowhere
    const FileSystemTestHooks* hooks = nullptr;
    TrashPlace* trash = nullptr;  // where the file replaced is kept, if it is

    // The file the copy replaces, whose owner and bits the copy keeps.
    std::uint64_t sourceState = 0;  // FileState.h, as opened

    const struct stat* Replaced() const { return destinationSeen && S_ISREG(seen.st_mode) ? &seen : nullptr; }
};

// What a file system answers for a call it does not offer (or not between
// these two files).
inline bool IsUnsupported(int error)
{
    return error == EOPNOTSUPP || error == ENOTSUP || error == EXDEV || error == EINVAL || error == ENOSYS
        || error == ENOTTY || error == EBADF;
}

inline bool SameTime(const timespec& a, const timespec& b)
{
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

// Whether now describes the file seen, as it was: the same file, size,
// last-write and change time. Every write moves the change time, so short
// of reading the content again this is the surest sign Linux gives.
inline bool Unchanged(const struct stat& now, const struct stat& seen)
{
    return now.st_dev == seen.st_dev && now.st_ino == seen.st_ino && now.st_size == seen.st_size
        && SameTime(now.st_mtim, seen.st_mtim) && SameTime(now.st_ctim, seen.st_ctim);
}

// Content (CopyContent.cpp).

// Lets a write past a file-size limit fail with EFBIG instead of ending the
// program.
void CatchFileSizeSignal();
// Moves the content of src to dst.
int MoveContent(int src, int dst, const struct stat& sourceStat, dev_t destinationDevice,
                const FileSystemTestHooks* hooks);
// Whether the file name in dirFd holds byte for byte what src holds.
bool SameContent(int src, int dirFd, const std::string& name, const struct stat& replaced, const struct stat& source);

// Temporary files and leftovers (CopyTemporaries.cpp).

// A fresh name for a named temporary file of the copy, with its mark.
std::string NewCopyTemporaryName();
// The name, with its mark, under which a file being replaced in steps waits.
std::string AsideName(const std::string& name);
// Notes name as a temporary file of this program waiting to be put in place
// (waiting), or no longer.
void NoteOwnTemporary(const std::string& name, bool waiting);
// The copy itself changed the folder from before to after.
void NoteOwnChange(const struct stat& before, const struct stat& after);
// Removes what killed copies left in the folder dirFd, whose stat folder is
// brought up to date.
void RemoveLeftovers(int dirFd, struct stat& folder);
// Makes the temporary file in the destination's folder (unnamed where it
// may be; unnamed is cleared where it may not), locked while it is written.
int MakeTemporary(const CopyJob& job, mode_t mode, bool& unnamed, Fd& tmp, std::string& tmpName);
// Gives the unnamed file tmp the name `name` in dirFd; EEXIST when taken.
int LinkUnnamed(int tmp, int dirFd, const std::string& name);
// False once a file system has shown that an unnamed temporary file cannot
// be given a name; NoteUnnamedCannotLink records that.
bool UnnamedMayLink();
void NoteUnnamedCannotLink();

// Placement (CopyPlacement.cpp): 0, why not (nothing replaced), or
// kRetryWithNamedTemp.
int PlaceNamed(const CopyJob& job, const std::string& tmpName);
// Gives the file tmpName of dirFd the name `name` without replacing what
// has it (EEXIST), also where the drive refuses RENAME_NOREPLACE.
int PlaceWithoutReplacing(int dirFd, const std::string& tmpName, const std::string& name);
int PlaceUnnamed(const CopyJob& job, int tmp);
// Whether the copy tmp, now in place, is still what it was when staged (its
// look just before it was placed), with placed its look now; on drives that
// gave it the time of its rename, once its time is set again.
bool PlacedAsWritten(int tmp, const CopyJob& job, const struct stat& staged, struct stat& placed);

// Flush (CopyFlush.cpp): whether one flush of the whole drive makes the
// files written to it durable.
bool FlushesAsAWhole(int dirFd, dev_t device);

// The two ends (CopyEnds.cpp). Opens the source into src and job: 0 for a
// regular file, else why it is not copied.
int OpenSourceFile(CopyJob& job, const std::string& source, NameMatch match, Fd& src);
// Opens the destination's folder into dir (before: its stat) and looks at
// what stands at the name: 0 with job knowing where the copy goes,
// kSameFile, or why the copy may not go there.
int FindDestination(const CopyRequest& request, CopyJob& job, Fd& dir, struct stat& before);

}  // namespace platform::detail
