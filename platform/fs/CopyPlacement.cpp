// Placement: a complete temporary file takes the destination's name in one
// step, by a rename or a link, and only while the destination is still what
// the copy saw when it began. Where nothing stood, no name that appears
// meanwhile is replaced; where a file stood and is to be kept, it goes to
// the Trash first and comes back should the rename fail. What is in place
// is the copy's own only while it is still what the copy wrote.

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <string>

#include "platform/fs/CopyFile.h"
#include "platform/fs/CopyInternal.h"
#include "platform/fs/Drive.h"
#include "platform/fs/FileSystemTesting.h"
#include "platform/fs/Trash.h"

namespace platform::detail {

namespace {

// Just before the copy replaces the destination: is it still what the copy
// saw? Between this look and the rename only microseconds pass; no call of
// Linux closes that gap.
int DestinationUnchanged(const CopyJob& job)
{
    struct stat now {};
    const int follow = S_ISLNK(job.seen.st_mode) ? AT_SYMLINK_NOFOLLOW : 0;
    if (::fstatat(job.dirFd, job.name.c_str(), &now, follow) != 0)
        return errno == ENOENT ? kCopyDestinationChanged : errno;
    return Unchanged(now, job.seen) ? 0 : kCopyDestinationChanged;
}

// Replaces name with fromName on a drive that cannot in one step, in steps
// that leave one of the two versions under a name whatever stops them: the
// old file moves aside (AsideName, held locked so that no other copy puts
// it back meanwhile), the new one takes the name, and the old one goes. See
// PutBackAside for what an interruption leaves.
int ReplaceInSteps(const CopyJob& job, const std::string& fromName)
{
    const std::string aside = AsideName(job.name);
    if (aside.size() > NAME_MAX)
        return ::renameat(job.dirFd, fromName.c_str(), job.dirFd, job.name.c_str()) == 0 ? 0 : errno;
    const Fd old(::openat(job.dirFd, job.name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (old.get() >= 0)
        ::flock(old.get(), LOCK_EX | LOCK_NB);
    struct stat st {};
    if (::fstatat(job.dirFd, aside.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0)
        return kCopyDestinationChanged;  // another copy is replacing it now
    if (::renameat(job.dirFd, job.name.c_str(), job.dirFd, aside.c_str()) != 0)
        return errno;
    if (job.hooks && job.hooks->betweenReplaceSteps)
        job.hooks->betweenReplaceSteps(1);
    if (::renameat(job.dirFd, fromName.c_str(), job.dirFd, job.name.c_str()) != 0) {
        const int error = errno;
        return ::renameat(job.dirFd, aside.c_str(), job.dirFd, job.name.c_str()) == 0 ? error : kCopyOldVersionAside;
    }
    if (job.hooks && job.hooks->betweenReplaceSteps)
        job.hooks->betweenReplaceSteps(2);
    ::unlinkat(job.dirFd, aside.c_str(), 0);
    return 0;
}

// Where nothing stood, nothing may be replaced: a name that appeared
// meanwhile is another's file, even when the copy was to overwrite.
int NoNameTaken(const CopyJob& job, int error)
{
    return (error == EEXIST && !job.failIfExists) ? kCopyDestinationChanged : error;
}

// Puts the complete file fromName (in the destination's folder) in place
// of the destination, which must still be what the copy saw; the file it
// replaces goes to the Trash first when it is to be kept.
int ReplaceDestination(const CopyJob& job, const std::string& fromName)
{
    if (const int error = DestinationUnchanged(job))
        return error;
    if (job.trash) {
        if (const int error = job.trash->Keep(job.seen))
            return CopyCannotKeepReplaced(error);
    }
    // Where the Trash moved the old file away, nothing stands at the name.
    const bool inSteps = !(job.trash && job.trash->MovedAway())
        && (!DriveOf(job.dirFd, job.device).replacesInOneStep || (job.hooks && job.hooks->replaceInSteps));
    int error = 0;
    if (inSteps)
        error = ReplaceInSteps(job, fromName);
    else if (::renameat(job.dirFd, fromName.c_str(), job.dirFd, job.name.c_str()) != 0)
        error = errno;
    if (error == 0)
        return 0;
    if (job.trash)
        job.trash->Undo();
    return error;
}

}  // namespace

// Gives the file tmpName of dirFd the name `name`, which nothing may take
// meanwhile: EEXIST where something has it.
int PlaceWithoutReplacing(int dirFd, const std::string& tmpName, const std::string& name)
{
    if (::renameat2(dirFd, tmpName.c_str(), dirFd, name.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    if (!IsUnsupported(errno))
        return errno;
    // No RENAME_NOREPLACE here: a hard link cannot replace a name either.
    if (::linkat(dirFd, tmpName.c_str(), dirFd, name.c_str(), 0) == 0) {
        ::unlinkat(dirFd, tmpName.c_str(), 0);
        return 0;
    }
    if (errno != EPERM && !IsUnsupported(errno))
        return errno;
    // Neither (vfat has no hard links): look, then rename. A name that
    // appears between the two steps is the one case left to chance.
    struct stat st {};
    if (::fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0)
        return EEXIST;
    return ::renameat(dirFd, tmpName.c_str(), dirFd, name.c_str()) == 0 ? 0 : errno;
}

int PlaceNamed(const CopyJob& job, const std::string& tmpName)
{
    if (!job.destinationSeen)
        return NoNameTaken(job, PlaceWithoutReplacing(job.dirFd, tmpName, job.name));
    return ReplaceDestination(job, tmpName);
}

int PlaceUnnamed(const CopyJob& job, int tmp)
{
    int error = 0;
    if (!job.destinationSeen) {
        error = NoNameTaken(job, LinkUnnamed(tmp, job.dirFd, job.name));
    } else {
        // No call replaces a name with an unnamed file, so it gets a
        // temporary name first, for the moment it takes to rename it.
        std::string linkName;
        do {
            linkName = NewCopyTemporaryName();
            error = LinkUnnamed(tmp, job.dirFd, linkName);
        } while (error == EEXIST);
        if (error == 0) {
            error = ReplaceDestination(job, linkName);
            if (error != 0)
                ::unlinkat(job.dirFd, linkName.c_str(), 0);
        }
    }
    if (error == ENOENT) {
        // Is it the folder that went, or the means to link?
        struct stat folder {};
        if (::fstat(job.dirFd, &folder) == 0 && folder.st_nlink > 0) {
            NoteUnnamedCannotLink();
            return kRetryWithNamedTemp;
        }
    }
    return error;
}

// A person may save the destination the moment the copy put it in place:
// that save is theirs, never taken for the copy's own write (a run would
// leave it out as its own change and remember it as in step), and keeps its
// own time. The times are set before placing, and a drive that keeps them
// across a rename shows them still; a last-write time that moved, or another
// size, is a save since. Drives whose renames give the file the time of the
// rename (fusefat; kinds not known) get the copy's time again, unless the
// size shows a save. A save of the same size in the microseconds between the
// rename and this look is the one case such a drive leaves to chance.
bool PlacedAsWritten(int tmp, const CopyJob& job, const struct stat& staged, struct stat& placed)
{
    if (::fstat(tmp, &placed) != 0 || placed.st_size != staged.st_size)
        return false;
    if (SameTime(placed.st_mtim, staged.st_mtim))
        return true;
    if (DriveOf(job.dirFd, job.device).renameKeepsTimes)
        return false;
    // Should this fail, the content is in place all the same; the time it has
    // then makes the next run copy it back, which changes no content.
    const timespec times[2] = {job.sourceStat.st_atim, job.sourceStat.st_mtim};
    return ::futimens(tmp, times) == 0 && ::fstat(tmp, &placed) == 0 && placed.st_size == staged.st_size
        && SameTime(placed.st_mtim, staged.st_mtim);
}

}  // namespace platform::detail
