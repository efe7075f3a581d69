// Placement: a complete temporary file takes the destination's name in one
// step, by a rename or a link, and only while the destination is still what
// the copy saw when it began. Where nothing stood, no name that appears
// meanwhile is replaced; where a file stood and is to be kept, it goes to
// the Trash first and comes back should the rename fail. Drives that give a
// file the time of its rename get the copy's time again.

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <map>
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
// old file moves aside (kReplacedAsidePrefix and its name, held locked so
// that no other copy puts it back meanwhile), the new one takes the name,
// and the old one goes. See PutBackAside for what an interruption leaves.
int ReplaceInSteps(const CopyJob& job, const std::string& fromName)
{
    const std::string aside = kReplacedAsidePrefix + job.name;
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

// Puts a complete named temporary file in place of a name that nothing may
// take meanwhile.
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

// Some drives (FAT through FUSE) give a file the time of its rename: where
// a device was seen to, the copy's time is set again once it is in place.
// Should that fail, the content is in place all the same; the time it has
// then makes the next run copy it back, which changes no content.
void KeepTimesAfterPlacing(int tmp, const CopyJob& job)
{
    thread_local std::map<dev_t, bool> renameKeepsTimes;
    const auto known = renameKeepsTimes.find(job.device);
    if (known != renameKeepsTimes.end() && known->second)
        return;
    struct stat placed {};
    if (::fstat(tmp, &placed) != 0)
        return;
    const bool kept = SameTime(placed.st_mtim, job.sourceStat.st_mtim);
    if (known == renameKeepsTimes.end())
        renameKeepsTimes[job.device] = kept;
    if (!kept) {
        const timespec times[2] = {job.sourceStat.st_atim, job.sourceStat.st_mtim};
        static_cast<void>(::futimens(tmp, times));
    }
}
}  // namespace platform::detail
