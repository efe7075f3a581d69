// The two ends of a copy, found before anything is written: the source,
// opened (the exact name, else its namesake in other case) and taken only
// when it is a regular file, and what stands at the destination's name,
// looked at from its open folder. A link is followed only when it is the
// user's own; a destination that is read-only, not the user's to write, a
// folder or the source itself is never replaced. What the copy saw at both
// ends is kept, so that it can tell later whether either changed.

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <string>
#include <utility>

#include "platform/fs/CaseIndex.h"
#include "platform/fs/CopyFile.h"
#include "platform/fs/CopyInternal.h"
#include "platform/fs/Drive.h"
#include "platform/fs/FileAttributes.h"
#include "platform/fs/TrustedPath.h"

namespace platform::detail {

namespace {

// Opens whatever stands at the source's path (the exact name, else a
// namesake in other case); path is set to the path it was opened by. A
// link of another user is not read through.
int OpenSourcePath(const std::string& source, NameMatch match, Fd& fd, std::string& path)
{
    // O_NONBLOCK: a FIFO standing at the path must not hang the run.
    constexpr int kFlags = O_RDONLY | O_NONBLOCK | O_NOCTTY;
    path = source;
    int error = OpenTrusted(AT_FDCWD, source, kFlags, LinkRule::OwnOnly, fd);
    if (error == ENOENT && match == NameMatch::CaseBlind) {
        struct stat st {};
        error = StatResolved(source, st, path, match);
        if (error == 0)
            error = OpenTrusted(AT_FDCWD, path, kFlags, LinkRule::OwnOnly, fd);
    }
    return error == kLinkOfAnotherUser ? kCopySourceIsLinkOfAnotherUser : error;
}

// What stands at the destination: the exact name, else a name equal to it
// without regard to case, looked up from dir (the folder, whose stat is
// folder). A link of the user's own is followed, so that the file it points
// to is updated and the link stays: dir, folder and name then tell where it
// leads. A link of another user is refused: nothing is written through it.
// 0 with job's look filled in; kSameFile when that is the source itself;
// else why the copy may not go there.
int LookAtDestination(CopyJob& job, Fd& dir, struct stat& folder, const std::string& destination, std::string& name,
                      NameMatch match)
{
    struct stat& found = job.seen;
    std::string target;
    const int lookup = LstatResolvedAt(dir.get(), folder, destination, name, found, target, match);
    if (lookup == ENOENT)
        return 0;
    if (lookup != 0)
        return lookup;
    job.destinationSeen = true;
    if (target != destination) {
        std::string sameFolder;
        SplitPath(target, sameFolder, name);  // a namesake in other case
    }
    if (S_ISLNK(found.st_mode)) {
        if (!TrustsLinkOf(found.st_uid, LinkRule::OwnOnly))
            return kCopyDestinationIsLinkOfAnotherUser;
        Fd ledTo;
        std::string ledName;
        struct stat st {};
        const int followed = ResolveOwnLink(dir.get(), name, ledTo, ledName, st);
        if (followed == kLinkOfAnotherUser)
            return kCopyDestinationIsLinkOfAnotherUser;
        if (followed == 0) {
            if (::fstat(ledTo.get(), &folder) != 0)
                return errno;
            dir = std::move(ledTo);
            name = ledName;
            found = st;
        }
        // A link that leads nowhere is seen as what it is.
    }
    const bool isFile = S_ISREG(found.st_mode);
    if (job.failIfExists)
        return EEXIST;
    if (S_ISDIR(found.st_mode))
        return EISDIR;
    if (!isFile && !S_ISLNK(found.st_mode))
        return EINVAL;
    // Read-only refuses the copy even for root, who is not stopped by
    // permissions, and even when it is the source itself.
    if (isFile && (found.st_mode & S_IWUSR) == 0)
        return EACCES;
    if (isFile && !DriveOf(dir.get(), found.st_dev).modesTellWritable && DriveRefusesWriting(dir.get(), name, found))
        return EACCES;
    if (isFile && found.st_dev == job.sourceStat.st_dev && found.st_ino == job.sourceStat.st_ino)
        return kSameFile;
    // Renaming over a file needs only its folder's write permission: a file
    // the user may not write (another's, in a shared folder) is left alone.
    return isFile ? RefuseUnwritable(dir.get(), name) : 0;
}

// Why a copy may not go where LookAtDestination refused it: a name taken
// by something that is not a file is told apart from one taken by a file.
int WhyNotThere(int refusal, const CopyJob& job)
{
    if (refusal == EINVAL)
        return kCopyDestinationNotAFile;
    if (refusal != EEXIST || S_ISREG(job.seen.st_mode))
        return refusal;
    if (S_ISDIR(job.seen.st_mode))
        return kCopyDestinationIsFolder;
    return S_ISLNK(job.seen.st_mode) ? kCopyDestinationIsBrokenLink : kCopyDestinationNotAFile;
}

}  // namespace

// Opens the source into src and job, and looks at it: only a regular file
// is copied.
int OpenSourceFile(CopyJob& job, const std::string& source, NameMatch match, Fd& src)
{
    if (const int error = OpenSourcePath(source, match, src, job.sourcePath))
        return error;
    job.src = src.get();
    if (::fstat(src.get(), &job.sourceStat) != 0)
        return errno;
    if (S_ISDIR(job.sourceStat.st_mode))
        return EISDIR;
    if (!S_ISREG(job.sourceStat.st_mode))
        return kCopySourceNotAFile;  // devices, FIFOs, sockets are never copied
    return 0;
}

// Opens the destination's folder and looks at what stands at the name;
// on 0, job knows where the copy goes.
int FindDestination(const CopyRequest& request, CopyJob& job, Fd& dir, struct stat& before)
{
    std::string folder;
    std::string name;
    SplitPath(request.destination, folder, name);
    if (name.empty())
        return EISDIR;
    if (const int error = OpenTrusted(AT_FDCWD, folder, O_PATH | O_DIRECTORY, LinkRule::OwnOrSystem, dir))
        return error == kLinkOfAnotherUser ? kCopyDestinationIsLinkOfAnotherUser : error;
    if (::fstat(dir.get(), &before) != 0)
        return errno;
    if (const int refusal = LookAtDestination(job, dir, before, request.destination, name, request.match))
        return WhyNotThere(refusal, job);
    // The caller decided on this copy by what it saw there a moment ago.
    const auto& expected = request.expectedDestinationAge;
    if (expected && (job.destinationSeen ? PackStatTime(job.seen) : -1) != *expected)
        return kCopyDestinationChanged;
    job.dirFd = dir.get();
    job.device = before.st_dev;
    job.name = name;
    return 0;
}

}  // namespace platform::detail
