#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/fs/FileSystem.h"

// The copy of one file, the one operation that writes users' files, and the
// failures of its own that the Report list tells apart from the errnos.
namespace platform {

// CopyFile's own failures, beside the errnos (and above all of them): the
// source changed while it was read, or the destination changed after the
// copy looked at it. Either way nothing was replaced.
inline constexpr int kCopySourceChanged = 0x10000;
inline constexpr int kCopyDestinationChanged = 0x10001;
// The source, or what stands at the destination, is neither a regular file
// nor a folder (a FIFO, a socket, a device): never read nor replaced.
inline constexpr int kCopySourceNotAFile = 0x10002;
inline constexpr int kCopyDestinationNotAFile = 0x10003;
// A copy that may replace nothing found a folder, or a link that leads
// nowhere, at the destination's name.
inline constexpr int kCopyDestinationIsFolder = 0x10004;
inline constexpr int kCopyDestinationIsBrokenLink = 0x10005;
// The replaced file was to be kept in the Trash, and the Trash of its drive
// could not be made or written: nothing was replaced. The errno that stopped
// it rides above the code (CopyCannotKeepReplaced).
inline constexpr int kCopyCannotKeepReplaced = 0x10006;
constexpr int CopyCannotKeepReplaced(int cause)
{
    return kCopyCannotKeepReplaced | (cause << 20);
}
constexpr bool IsCopyCannotKeepReplaced(int error)
{
    return (error & 0xFFFFF) == kCopyCannotKeepReplaced;
}
constexpr int CopyCannotKeepReplacedCause(int error)
{
    return error >> 20;
}
inline constexpr const char* kCopyCannotKeepReplacedText = "its old version could not be kept in the Trash";
// The source, or what stands at the destination, is a link of another
// user, or lies behind one: it is neither read through nor written through.
inline constexpr int kCopySourceIsLinkOfAnotherUser = 0x10007;
inline constexpr int kCopyDestinationIsLinkOfAnotherUser = 0x10008;
// The source and the destination are one file (one folder named twice, or
// two names of one file): there is nothing to copy, and nothing was written.
inline constexpr int kCopySameFile = 0x10009;
// The source opened is not the file the caller compared when it decided on
// the copy (another file was put in its place, or it changed since): the
// copy is left for the next run, which compares again.
inline constexpr int kCopySourceNotAsCompared = 0x1000A;
// A replace in steps (see Drive::replacesInOneStep) failed after the old
// file was moved aside and it could not be put back: it waits under a
// hidden name, which the next copy into the folder puts right.
inline constexpr int kCopyOldVersionAside = 0x1000B;
inline constexpr const char* kCopyOldVersionAsideText =
    "the drive failed in the middle of the replace: the old version waits under a hidden name until the next run "
    "puts it back";
// What the Report list says of them.
inline constexpr const char* kCopySourceChangedText = "the file changed while it was being copied";
inline constexpr const char* kCopyDestinationChangedText = "the destination changed while the file was being copied";
inline constexpr const char* kCopySourceNotAsComparedText =
    "the source changed after the run compared the two files; it is left for the next run";

// Copies content (holes stay holes), permission bits, the source's user.*
// attributes and the last-write time (to the nanosecond). A new file gets the
// source's bits less the umask (or its folder's default ACL); a replaced one
// keeps its owner where it may be given (root gives it only to an owner who
// may read the source), its ACL and its bits, but for the owner's write bit,
// which follows the source. Either way the group and other bits are at most
// the source's, and no ACL entry grants more than the source grants. With failIfExists false an
// existing destination is replaced, unless it is read-only (also when it is
// the source itself) or the user may not write it (EACCES); with true, any
// name already there (or appearing meanwhile) is left alone and the copy
// fails with EEXIST. The destination is written under a temporary name and
// put in place only when complete, and only when neither the source nor the
// destination changed meanwhile (kCopySourceChanged, kCopyDestinationChanged).
// Copying a file onto itself writes nothing and fails with kCopySameFile.
// A link is followed only when it is the user's own (else
// kCopySourceIsLinkOfAnotherUser, kCopyDestinationIsLinkOfAnotherUser). The
// file written carries set-user-ID only where the source has it and both
// have one owner, set-group-ID likewise with the group. match applies to the
// names of both paths. expectedDestinationAge, when given, is the packed time
// the caller saw at the destination when it decided on the copy (-1: nothing
// there); a destination found otherwise is kCopyDestinationChanged.
// expectedSource, when given, is what the caller saw of the source: a
// source opened with another packed time, drive or state (FileState.h) is
// kCopySourceNotAsCompared. Returns 0 or the errno (EFBIG beyond a file-size
// limit).
int CopyFile(const std::string& source, const std::string& destination, bool failIfExists,
             NameMatch match = NameMatch::CaseBlind, std::optional<std::int32_t> expectedDestinationAge = {},
             std::optional<FileSeen> expectedSource = {});

}  // namespace platform
