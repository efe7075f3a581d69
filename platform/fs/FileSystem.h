#pragma once

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// File operations as a run expects them: names are resolved without regard
// to letter case (the exact name first, else the one entry equal to it when
// case is ignored), times are packed date-times, and a copy (CopyFile.h) never
// leaves a half-written destination. Paths are UTF-8 byte strings.
namespace platform {

// Attribute bits of a directory entry.
inline constexpr std::uint32_t faReadOnly = 0x01;
inline constexpr std::uint32_t faHidden = 0x02;
inline constexpr std::uint32_t faSysFile = 0x04;
inline constexpr std::uint32_t faVolumeID = 0x08;
inline constexpr std::uint32_t faDirectory = 0x10;
inline constexpr std::uint32_t faArchive = 0x20;
inline constexpr std::uint32_t faAnyFile = 0x3F;

// How a name is looked up in a folder. Linux folders can hold names equal
// but for case ("README" and "readme"), which the folders a run pairs are not
// expected to: a name that has such a twin where it comes from is matched
// elsewhere by its exact spelling only, so that one twin is never read or
// written in place of the other.
enum class NameMatch {
    CaseBlind,  // the exact name, else the one entry equal to it without regard to case
    Exact,  // the exact name only
};

// The path of a name in a folder: the folder text, one '/', the name. A '/'
// already at the end of the folder is kept, so the root gives "//name".
std::string PathOf(const std::string& folder, const std::string& name);

// Packs a broken-down time; -1 when the year is outside 1980..2107.
std::int32_t PackDateTime(int year, int month, int day, int hour, int minute, int second);
// Packs a time given in seconds since the epoch, in UTC; a time before 1980
// or after 2107 packs as the nearest end of that range.
std::int32_t PackUnixTime(std::int64_t secondsSinceEpoch);

// What a run saw of a file when it decided on a copy from it: its packed
// time and, where the look told them, its drive and state. The copy checks
// the source it opens against this (CopyFile.h), so that a file put in the
// source's place after the run compared it never replaces a newer one.
struct FileSeen {
    std::int32_t age = -1;
    dev_t device = 0;  // 0: not known
    // Neither a regular file nor a folder stands there (a FIFO, a socket, a
    // device): never read nor replaced, it keeps a file of its name out.
    bool notAFile = false;
    // The file's state (FileState.h: its size, last-write time and, where
    // the drive keeps them, change time and inode) when the run looked: 0
    // when not known.
    std::uint64_t state = 0;
};

// Whether a packed age is an end of the packed range (1980-01-01 00:00:00,
// 2107-12-31 23:59:58), which every file dated before or after it takes too:
// two such ages say nothing of which file is later.
bool IsPackedRangeEnd(std::int32_t age);
// The last-write time of the file at path in whole seconds since 1970
// (UTC), for the files whose packed ages cannot tell them apart; none when
// no file is there.
std::optional<std::int64_t> LastWriteSeconds(const std::string& path, NameMatch match = NameMatch::CaseBlind);

// Whether the files at the two paths hold byte for byte the same (links of
// another user are not read: false).
bool HoldTheSame(const std::string& path1, const std::string& path2, NameMatch match = NameMatch::CaseBlind);

// Packed last-write time of the file at path; -1 when nothing is there or
// when it is a folder. namesake, when given,
// tells whether the file found has a name other than the exact one.
std::int32_t FileAge(const std::string& path, NameMatch match = NameMatch::CaseBlind, bool* namesake = nullptr);

// The packed age a lookup gives a link that belongs to another user, which
// no file can have: something stands at the name, and it is not followed
// (a link is followed only when it is the user's own; see TrustedPath.h).
inline constexpr std::int32_t kLinkOfAnotherUserAge = -2;

// What OpenFollowingTrustedLinks answers for a path it does not open because
// a link of another user stands on the way or at its end (no errno).
inline constexpr int kPathThroughLinkOfAnotherUser = 0x10100;

// Why a run cannot read the listed folder at folder: 0 when it can,
// kPathThroughLinkOfAnotherUser when the way to it goes through a link that
// belongs neither to the user nor to the system (root), and so is not
// followed, or the errno of opening it for reading (ENOENT: it is not there,
// as a share not mounted or a drive not plugged in, also where only the
// system drive's folder stands in for it: see below, with the system's
// MountTable).
int ListedFolderProblem(const std::string& folder);

class MountTable;
// The same, and ENOENT too where what stands at folder is the system
// drive's folder left for a drive that is not mounted: a mount point the
// system names with nothing mounted (MountTable::NothingMountedAt), or a
// folder that is no mount point, found empty on another drive (st_dev) than
// lastDevice, the one a run last found it on. Where it can be read, device,
// when given, is set to the drive it is on.
int ListedFolderProblem(const std::string& folder, const MountTable& mounts, std::optional<std::uint64_t> lastDevice,
                        std::uint64_t* device = nullptr);

// open(path, flags, mode) for a file the program writes outside the listed
// folders (the report file of a run): a link, on the way or at the path, is
// followed only when it is the user's own or root's, checked on what was
// opened, so that another user who may write a shared folder cannot lead
// the writes elsewhere. 0 with fd set, kPathThroughLinkOfAnotherUser, or
// the errno.
int OpenFollowingTrustedLinks(const std::string& path, int flags, mode_t mode, int& fd);

// FileAge(path) != -1: a folder never "exists" in this sense.
bool FileExists(const std::string& path, NameMatch match = NameMatch::CaseBlind);
// Whether name has a shape the program gives its temporary files
// (FileSystemTesting.h): never a person's file to copy, nor a change to run
// for. A person's file whose name merely begins the same is not one.
bool IsTemporaryFileName(std::string_view name);

// True when the owner's write bit is clear, or nothing can be read at path.
bool FileIsReadOnly(const std::string& path, NameMatch match = NameMatch::CaseBlind);

// Whether a copy may replace the file at path: it is not read-only, and the
// user may write it (another user's file in a shared folder is read, never
// replaced).
bool MayReplace(const std::string& path, NameMatch match = NameMatch::CaseBlind);

// Whether the two files hold the same bytes, read only where their looks
// leave it open: files of other sizes do not; files with one last-write
// time to the nanosecond (a copy keeps it, two saves never share it) do.
bool HoldTheSameBytes(const std::string& path1, const std::string& path2, NameMatch match = NameMatch::CaseBlind);

// A folder held open while many of its names are looked up (the two folders
// of a pair, for as long as the pair is worked on). FileAge(name) and
// FileExists(name) answer what the free functions answer for
// PathOf(folder, name), exact name first and then without regard to case,
// but look the name up from the open folder instead of walking the folder's
// whole path every time. Like a directory search, it keeps to the folder
// that stood at the path when it was opened. A folder that cannot be opened
// (missing, not a folder) is looked up by path, name by name.
class FolderLookup {
public:
    explicit FolderLookup(const std::string& folder);
    ~FolderLookup();
    FolderLookup(const FolderLookup&) = delete;
    FolderLookup& operator=(const FolderLookup&) = delete;

    std::int32_t FileAge(const std::string& name, NameMatch match = NameMatch::CaseBlind,
                         bool* namesake = nullptr) const;
    bool FileExists(const std::string& name, NameMatch match = NameMatch::CaseBlind) const;

    // How a name of this folder is to be matched in another folder: Exact
    // when this folder holds a name equal to it but for case.
    NameMatch MatchElsewhere(const std::string& name) const;

private:
    std::string m_folder;
    int m_fd = -1;
};

bool DirectoryExists(const std::string& path);
bool CreateDir(const std::string& path);  // one level
bool ForceDirectories(const std::string& path);  // with every missing parent
bool SetCurrentDir(const std::string& path);
std::string GetCurrentDir();
bool DeleteFile(const std::string& path);

}  // namespace platform
