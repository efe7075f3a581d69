#pragma once

#include <dirent.h>
#include <sys/stat.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/fs/FileSystem.h"
#include "platform/fs/FileSystemTesting.h"
#include "platform/fs/WrittenFile.h"

// Pieces shared by the files of the file system layer.
namespace platform::detail {

// The hooks tests have set, or null (the normal case).
const FileSystemTestHooks* ActiveTestHooks();

bool IsTemporaryName(std::string_view name);

// A fresh name with the temporary prefix.
std::string NewTemporaryName();

// A file descriptor closed when it goes out of scope.
class Fd {
public:
    explicit Fd(int fd = -1) : m_fd(fd) {}
    ~Fd() { reset(-1); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    Fd(Fd&& other) noexcept : m_fd(other.release()) {}
    Fd& operator=(Fd&& other) noexcept
    {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    int get() const { return m_fd; }
    int release() { return std::exchange(m_fd, -1); }
    void reset(int fd);

private:
    int m_fd;
};

// Makes a new file for writing under a fresh name from newName (relative to
// dirFd, or a path with AT_FDCWD), trying other names while one is taken.
// 0 with file and name set, or the errno.
int CreateExclusive(int dirFd, const std::function<std::string()>& newName, mode_t mode, Fd& file, std::string& name);

// Opens a folder for reading its names and, with st, looks at it. Null with
// errno set when either fails (kLinkOfAnotherUser, TrustedPath.h, where the
// way to it goes through a link that is not followed).
DIR* OpenFolderListing(const std::string& path, struct stat* st);

// What drives without permission bits or owners (vfat, exFAT, NTFS and
// other FUSE drives) answer when asked to set them.
bool RefusesPermissions(int error);

// Writes all of data to fd, retrying short writes and EINTR, and asking the
// test hook before each piece. 0 or the errno.
int WriteAll(int fd, const char* data, std::size_t size, std::uint64_t& bytesDone);

// The folder and last component of a path: "/a/b" -> "/a", "b";
// "/b" -> "/", "b"; "//b" -> "/", "b"; "b" -> ".", "b".
void SplitPath(const std::string& path, std::string& folder, std::string& name);

// The path of the folder open as fd, as the kernel names it; empty where
// it cannot tell.
std::string PathOfOpenFolder(int fd);

// Packed time of a stat's last-write time.
std::int32_t PackStatTime(const struct stat& st);

// Entry numbers found by a 32-bit hash of their name: open addressing with
// linear probing, a few bytes a name where a node-based map takes a hundred
// and a cache miss more for every lookup. One hash may stand for several
// entries; Find shows each to the caller, who compares the names.
class HashSlots {
public:
    static constexpr std::uint32_t kNone = 0xFFFFFFFFu;

    static std::uint32_t HashOf(std::string_view text)
    {
        return static_cast<std::uint32_t>(std::hash<std::string_view>{}(text));
    }

    void Reserve(std::size_t count)
    {
        if (2 * count <= m_slots.size())
            return;
        std::size_t size = 16;
        while (size < 2 * count)
            size *= 2;
        Rehash(size);
    }

    void Insert(std::uint32_t hash, std::uint32_t entry)
    {
        Reserve(m_count + 1);
        Place(hash, entry);
        ++m_count;
    }

    // Calls visit(entry) for every entry inserted with hash (and maybe a
    // few others) until it returns true; true when one did.
    template <typename Visit> bool Find(std::uint32_t hash, Visit&& visit) const
    {
        if (m_slots.empty())
            return false;
        const std::size_t mask = m_slots.size() - 1;
        for (std::size_t i = hash & mask; m_slots[i].entry != kNone; i = (i + 1) & mask) {
            if (m_slots[i].hash == hash && visit(m_slots[i].entry))
                return true;
        }
        return false;
    }

private:
    struct Slot {
        std::uint32_t hash = 0;
        std::uint32_t entry = kNone;
    };

    void Place(std::uint32_t hash, std::uint32_t entry)
    {
        const std::size_t mask = m_slots.size() - 1;
        std::size_t i = hash & mask;
        while (m_slots[i].entry != kNone)
            i = (i + 1) & mask;
        m_slots[i] = {hash, entry};
    }

    void Rehash(std::size_t size)
    {
        std::vector<Slot> old(size);
        old.swap(m_slots);
        for (const Slot& slot : old) {
            if (slot.entry != kNone)
                Place(slot.hash, slot.entry);
        }
    }

    std::vector<Slot> m_slots;
    std::size_t m_count = 0;
};

// Attribute bits that only hidden, system, volume label and folder entries
// carry: a search skips an entry that holds one its mask lacks.
inline constexpr std::uint32_t kSkippableAttributes = 0x1E;

bool IsDotOrDotDot(std::string_view name);

// The attributes of a directory entry: name and mode of what it leads to.
std::uint32_t AttributesOf(std::string_view name, mode_t mode);

// The attributes the listed kind of an entry (d_type) gives without a look
// at it; 0 for links and unknown kinds, which only a look can tell.
std::uint32_t AttributesOfListedKind(std::string_view name, unsigned char kind);

// A wildcard pattern decoded and folded once, for matching many names.
class SearchPattern {
public:
    explicit SearchPattern(const std::string& text);
    bool Matches(std::string_view name) const;

private:
    bool Match(const std::vector<char32_t>& name, std::size_t patternLength) const;

    std::vector<char32_t> m_points;
    bool m_everything = false;
    bool m_dotStarTail = false;
};

class TrashFolders;

// What a copy did to its destination's folder, for those who keep what they
// know of that folder.
struct CopyOutcome {
    bool folderKnown = false;  // the copy got as far as the destination's folder
    dev_t device = 0;  // that folder (a link may have led elsewhere)
    ino_t inode = 0;
    std::string name;  // the name the copy wrote, or would have
    bool created = false;  // the copy put a new name in the folder
    WrittenFile written;  // what it left at the name, once in place
    // Once in place: the states (FileState.h) of what it wrote and of its
    // source as it read it, which a run remembers as in step.
    std::uint64_t writtenState = 0;
    std::uint64_t sourceState = 0;
    // The file it replaced was kept in the home Trash by a copy (its drive
    // has no Trash of its own that can be made).
    bool replacedCopiedToTrash = false;
};

// A copy is made in three steps. Staged: its content and attributes are
// written to a temporary file beside the destination and checked. Flushed:
// they reach the disk. Placed: the temporary file takes the destination's
// name, if the destination is still as the copy saw it. Many staged copies
// are flushed at once for the price of one (CopyQueue).
struct CopyRequest {
    std::string source;
    std::string destination;
    bool failIfExists = false;
    NameMatch match = NameMatch::CaseBlind;
    std::optional<std::int32_t> expectedDestinationAge;
    // The file replaced goes to the desktop's Trash (see Trash.h), one of
    // those the pass keeps open in trashes, when given.
    bool keepReplaced = false;
    TrashFolders* trashes = nullptr;
    // What the caller saw of the source when it decided on the copy.
    std::optional<FileSeen> expectedSource;
};

struct StagedCopy;
struct StagedCopyDeleter {
    void operator()(StagedCopy* copy) const;
};
// Dropped before it is placed, a staged copy leaves nothing behind.
using StagedCopyPtr = std::unique_ptr<StagedCopy, StagedCopyDeleter>;

// Stages a copy, as CopyFile would make it: 0 with staged set, or with
// staged null when there is nothing to write (a file copied onto itself);
// else why the copy cannot be made. outcome tells where it writes.
int StageCopy(const CopyRequest& request, StagedCopyPtr& staged, CopyOutcome& outcome);

// What flushing a staged copy takes: its temporary file, and whether one
// flush of its whole drive serves (see FlushStaged).
struct FlushItem {
    int fd = -1;
    int trashInfoFd = -1;  // the .trashinfo of the file it replaces, if kept
    dev_t device = 0;
    bool wholeDrive = false;
};
FlushItem FlushItemOf(const StagedCopy& copy);
std::uint64_t StagedBytes(const StagedCopy& copy);
// How many descriptors a staged copy holds open until it is placed.
std::size_t DescriptorsHeld(const StagedCopy& copy);

// Makes the content and attributes of the files reach the disk: one syncfs
// per drive for those that allow it, else fsync file by file. The error of
// each item, 0 when it is safe to place. May run on any thread, as long as
// the copies stay as they are meanwhile.
std::vector<int> FlushStaged(const std::vector<FlushItem>& items);

// Puts a flushed copy in place (outcome.created tells whether it made a new
// name); 0 or why not, with nothing replaced.
int PlaceStaged(StagedCopy& copy, CopyOutcome& outcome);

}  // namespace platform::detail
