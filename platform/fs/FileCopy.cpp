// CopyFile: the one operation that writes users' files. The new content
// is built in a temporary file in the destination folder and only put in
// place, in one step, when it is complete, so that no kill, crash or full
// disk can leave a half-written destination. Just before that step the copy
// makes sure that neither file changed since it looked at them: a file
// written to while it is read gives a copy that exists in neither version,
// and a destination saved meanwhile is newer than what the run decided on.
//
// A copy is made in three steps: staged (written and checked), flushed (its
// content and attributes reach the disk) and placed (renamed or linked in).
// Without the flush a power cut can keep the new name but not the data, and
// leave an empty file with the source's time, which later runs take as up
// to date. Flushing many staged copies at once costs little more than
// flushing one, so runs stage copies in batches (CopyQueue).
//
// The copy is in pieces: its two ends found (CopyEnds.cpp), its content
// moved (CopyContent.cpp), its temporary file made and leftovers cleared
// (CopyTemporaries.cpp), the flush (CopyFlush.cpp) and the placement
// (CopyPlacement.cpp). Here the copy is staged, carries its attributes, and
// is put in place.

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <new>
#include <string>
#include <utility>

#include "platform/fs/CaseIndex.h"
#include "platform/fs/CopyFile.h"
#include "platform/fs/CopyInternal.h"
#include "platform/fs/Drive.h"
#include "platform/fs/FileAttributes.h"
#include "platform/fs/FileState.h"
#include "platform/fs/FileSystemInternal.h"
#include "platform/fs/Trash.h"

namespace platform::detail {

namespace {

// Once the last byte is read: is the source still the file opened, as it
// was when the copy began?
int SourceUnchanged(const CopyJob& job)
{
    struct stat now {};
    if (::fstat(job.src, &now) != 0)
        return errno;
    if (!Unchanged(now, job.sourceStat))
        return kCopySourceChanged;
    // A file saved by rename puts another file at the path: the one read is
    // no longer the source.
    if (::stat(job.sourcePath.c_str(), &now) != 0 || now.st_dev != job.sourceStat.st_dev
        || now.st_ino != job.sourceStat.st_ino)
        return kCopySourceChanged;
    return 0;
}

// Whether the source opened is the file the caller compared: a file put in
// its place since (restored from a backup, a drive mounted over its folder)
// could be older than the file it would replace.
bool AsCompared(int src, const struct stat& opened, const FileSeen& seen)
{
    return PackStatTime(opened) == seen.age && (seen.device == 0 || opened.st_dev == seen.device)
        && (seen.state == 0 || FileStateOf(opened, DriveOf(src, opened.st_dev)) == seen.state);
}

// The set-user-ID and set-group-ID bits the written file may carry: only
// those of the source whose owner (group) is also the written file's. A
// copy written for the user out of another's file (from a folder they share)
// must not hand that other person the user's rights.
mode_t SetIdBitsToCarry(const struct stat& written, const struct stat& source)
{
    mode_t bits = 0;
    if ((source.st_mode & S_ISUID) != 0 && source.st_uid == written.st_uid)
        bits |= S_ISUID;
    if ((source.st_mode & S_ISGID) != 0 && source.st_gid == written.st_gid)
        bits |= S_ISGID;
    return bits;
}

// The replaced file's owner and group go to the copy where we may give them
// (root may): the owner only when they may read the source, for an owner
// may read and share their file whatever its bits say.
void KeepOwner(int tmp, const struct stat& replaced, const SourceRights& rights)
{
    if (replaced.st_uid == geteuid() && replaced.st_gid == getegid())
        return;
    // Only root may give a file away; others keep trying as before, and fail.
    const bool mayGive = geteuid() != 0 || replaced.st_uid == 0 || (rights.UserMay(replaced.st_uid) & 04) != 0;
    const uid_t owner = mayGive ? replaced.st_uid : static_cast<uid_t>(-1);
    if (::fchown(tmp, owner, replaced.st_gid) != 0) {
        // Not ours to give: the copy belongs to whoever made it.
    }
}

// Owner (where we may give it), ACL, permission bits, the source's user
// attributes and times go to the temporary file after its last write.
int CarryAttributes(int tmp, const CopyJob& job)
{
    const struct stat& source = job.sourceStat;
    const SourceRights rights(job.src, source);
    mode_t mode = 0;
    if (const struct stat* replaced = job.Replaced()) {
        // Before the mode, since a change of owner clears set-id bits.
        KeepOwner(tmp, *replaced, rights);
        // Its ACL too; the bits below then give back its mask.
        if (const int error = KeepAccessAcl(job.dirFd, job.name, tmp))
            return error;
        // An updated file keeps its own bits, so a private file stays
        // private; read-only travels with the source.
        mode = (replaced->st_mode & 01777 & ~S_IWUSR) | (source.st_mode & S_IWUSR);
    }
    struct stat written {};
    if (::fstat(tmp, &written) != 0)
        return errno;
    if (!job.Replaced())
        mode = written.st_mode & 01777;  // the source's bits as the umask or the folder's default ACL left them
    // Whatever the replaced file or the folder allowed, nobody gets more of
    // the content than the source gave them; set-id bits only as
    // SetIdBitsToCarry allows.
    if (const int error = rights.Limit(tmp, mode))
        return error;
    mode |= SetIdBitsToCarry(written, source);
    if (::fchmod(tmp, mode) != 0 && !RefusesPermissions(errno))
        return errno;
    if (const int error = CarryUserAttributes(job.src, tmp))
        return error;
    const timespec times[2] = {source.st_atim, source.st_mtim};
    if (::futimens(tmp, times) != 0)
        return errno;
    return 0;
}

// Writes the copy into a temporary file in the destination's folder: the
// content, then the attributes; the source is checked after the last byte.
int WriteTemporary(const CopyJob& job, bool& unnamed, Fd& tmp, std::string& tmpName)
{
    // A new file is made with the source's bits, which the umask (or the
    // folder's default ACL) trims as for any new file, as cp does.
    const mode_t mode = job.Replaced() ? 0600 : (job.sourceStat.st_mode & 0777);
    if (const int error = MakeTemporary(job, mode, unnamed, tmp, tmpName))
        return error;
    int error = MoveContent(job.src, tmp.get(), job.sourceStat, job.device, job.hooks);
    if (error == 0 && job.hooks && job.hooks->afterContent)
        job.hooks->afterContent();
    if (error == 0)
        error = CarryAttributes(tmp.get(), job);
    if (error == 0)
        error = SourceUnchanged(job);
    return error;
}

// The copy itself changed the folder dirFd, which was before until then:
// those who keep what they know of the folder are told.
void NoteOwnFolderChange(int dirFd, const struct stat& before, const std::string& addedName = {})
{
    struct stat after {};
    if (::fstat(dirFd, &after) != 0)
        return;
    CaseIndex::Instance().NoteChange(before, after, addedName);
    NoteOwnChange(before, after);
}

// Runs change, a change of the folder dirFd made by the copy itself, and
// tells those who keep what they know of the folder: the case index (with
// the name it added, if any) and the leftover check.
template <typename Change> int ChangeFolder(int dirFd, Change&& change, const std::string& addedName = {})
{
    struct stat before {};
    const bool seen = ::fstat(dirFd, &before) == 0;
    bool added = false;
    const int error = change(added);
    if (seen)
        NoteOwnFolderChange(dirFd, before, added ? addedName : std::string());
    return error;
}

int CopyNow(const CopyRequest& request, CopyOutcome& outcome);

}  // namespace

// A copy written to its temporary file and checked, waiting to be flushed
// and put in place. Dropped before it is placed, it leaves nothing behind.
struct StagedCopy {
    CopyRequest request;
    CopyJob job;
    Fd src;
    Fd dir;
    Fd tmp;
    std::string tmpName;  // empty for an unnamed temporary file
    bool unnamed = false;
    bool flushesAsAWhole = false;
    std::unique_ptr<TrashPlace> trash;

    ~StagedCopy()
    {
        if (tmpName.empty())
            return;
        ::unlinkat(dir.get(), tmpName.c_str(), 0);
        NoteOwnTemporary(tmpName, false);
    }
};

void StagedCopyDeleter::operator()(StagedCopy* copy) const
{
    delete copy;
}

namespace {

int StageCopyImpl(const CopyRequest& request, StagedCopyPtr& staged, CopyOutcome& outcome)
{
    CatchFileSizeSignal();
    StagedCopyPtr copy(new StagedCopy);
    copy->request = request;
    CopyJob& job = copy->job;
    job.hooks = ActiveTestHooks();
    job.failIfExists = request.failIfExists;

    if (job.hooks && job.hooks->beforeSourceOpen)
        job.hooks->beforeSourceOpen(request.source);
    if (const int error = OpenSourceFile(job, request.source, request.match, copy->src))
        return error;
    if (request.expectedSource && !AsCompared(job.src, job.sourceStat, *request.expectedSource))
        return kCopySourceNotAsCompared;
    job.sourceState = FileStateOf(job.sourceStat, DriveOf(job.src, job.sourceStat.st_dev));
    struct stat before {};
    if (const int error = FindDestination(request, job, copy->dir, before))
        return error == kSameFile ? kCopySameFile : error;
    if (request.keepReplaced && job.Replaced()
        && !SameContent(job.src, job.dirFd, job.name, *job.Replaced(), job.sourceStat)) {
        copy->trash = std::make_unique<TrashPlace>();
        if (const int error = copy->trash->Reserve(job.dirFd, job.name, request.trashes))
            return CopyCannotKeepReplaced(error);
        job.trash = copy->trash.get();
    }

    outcome.folderKnown = true;
    outcome.device = before.st_dev;
    outcome.inode = before.st_ino;
    outcome.name = job.name;

    RemoveLeftovers(job.dirFd, before);
    copy->unnamed = !(job.hooks && job.hooks->noUnnamedTemp) && UnnamedMayLink();
    copy->flushesAsAWhole = FlushesAsAWhole(job.dirFd, job.device);
    const int error = WriteTemporary(job, copy->unnamed, copy->tmp, copy->tmpName);
    if (!copy->tmpName.empty())
        NoteOwnFolderChange(job.dirFd, before);  // a named temporary file changed it; an unnamed one does not
    if (error != 0)
        return error;
    copy->src.reset(-1);  // all read
    job.src = -1;
    staged = std::move(copy);
    return 0;
}

int PlaceStagedImpl(StagedCopy& copy, CopyOutcome& outcome)
{
    const CopyJob& job = copy.job;
    // What the copy wrote, times and all: what it must find in place to call
    // the file its own.
    struct stat staged {};
    const bool stagedSeen = ::fstat(copy.tmp.get(), &staged) == 0;
    const int error = ChangeFolder(
        job.dirFd,
        [&](bool& added) {
            const int placing = copy.unnamed ? PlaceUnnamed(job, copy.tmp.get()) : PlaceNamed(job, copy.tmpName);
            if (placing == 0 && !copy.unnamed) {
                NoteOwnTemporary(copy.tmpName, false);
                copy.tmpName.clear();  // it is the destination now
            }
            added = placing == 0 && !job.destinationSeen;
            return placing;
        },
        job.name);
    if (error == kRetryWithNamedTemp) {
        // The file system cannot name an unnamed file after all: the copy
        // is made again, with a named one.
        copy.tmp.reset(-1);
        return CopyNow(copy.request, outcome);
    }
    if (error == 0) {
        if (job.hooks && job.hooks->afterPlacing)
            job.hooks->afterPlacing();
        // A file saved in place since is not what the copy wrote: not told as
        // its write, nor remembered as in step with the source.
        struct stat placed {};
        if (stagedSeen && PlacedAsWritten(copy.tmp.get(), job, staged, placed)) {
            outcome.written = WrittenFileOf(placed);
            outcome.writtenState = FileStateOf(placed, DriveOf(job.dirFd, job.device));
        }
        outcome.sourceState = job.sourceState;
        outcome.replacedCopiedToTrash = copy.trash && copy.trash->KeptByCopy();
    }
    outcome.created = error == 0 && !job.destinationSeen;
    return error;
}

// One copy on its own: staged, flushed, placed.
int CopyNow(const CopyRequest& request, CopyOutcome& outcome)
{
    StagedCopyPtr staged;
    if (const int error = StageCopy(request, staged, outcome); error != 0 || !staged)
        return error;
    if (const int error = FlushStaged({FlushItemOf(*staged)}).front())
        return error;
    return PlaceStaged(*staged, outcome);
}

// What escapes the steps of a copy (no memory) fails that copy only.
template <typename Step> int Contained(Step&& step)
{
    try {
        return step();
    } catch (const std::bad_alloc&) {
        return ENOMEM;
    } catch (...) {
        return EIO;
    }
}

}  // namespace

int StageCopy(const CopyRequest& request, StagedCopyPtr& staged, CopyOutcome& outcome)
{
    staged.reset();
    outcome = CopyOutcome();
    return Contained([&] { return StageCopyImpl(request, staged, outcome); });
}

FlushItem FlushItemOf(const StagedCopy& copy)
{
    return {copy.tmp.get(), copy.trash ? copy.trash->InfoFd() : -1, copy.job.device, copy.flushesAsAWhole};
}

std::uint64_t StagedBytes(const StagedCopy& copy)
{
    return static_cast<std::uint64_t>(copy.job.sourceStat.st_size);
}

std::size_t DescriptorsHeld(const StagedCopy& copy)
{
    std::size_t held = 0;
    for (const int fd : {copy.src.get(), copy.dir.get(), copy.tmp.get(), copy.trash ? copy.trash->InfoFd() : -1})
        held += fd >= 0 ? 1 : 0;
    return held;
}

int PlaceStaged(StagedCopy& copy, CopyOutcome& outcome)
{
    return Contained([&] { return PlaceStagedImpl(copy, outcome); });
}

}  // namespace platform::detail

namespace platform {

int CopyFile(const std::string& source, const std::string& destination, bool failIfExists, NameMatch match,
             std::optional<std::int32_t> expectedDestinationAge, std::optional<FileSeen> expectedSource)
{
    detail::CopyOutcome outcome;
    const detail::CopyRequest request{source, destination, failIfExists,  match, expectedDestinationAge,
                                      false,  nullptr,     expectedSource};
    return detail::Contained([&] { return detail::CopyNow(request, outcome); });
}

}  // namespace platform
