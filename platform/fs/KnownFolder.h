#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/fs/DirectorySearch.h"
#include "platform/fs/FileSystem.h"

namespace platform {

struct Drive;
namespace detail {
class SearchPattern;
}

// What a run knows of one folder: the names it held when the run listed it,
// the kind of each as the listing told it, and what a look at each name (a
// stat that follows links) found, taken once, when first needed. Lookups and
// searches answer from this what FolderLookup and DirectorySearch would
// answer from the disk, as long as nothing but the run changes the folder;
// the run's own copies keep it right (KnownFolders::CopyFile).
//
// Looks at links are never kept: a copy through a link changes a file
// elsewhere. A folder that cannot be listed, or whose file system may find a
// name that differs in case from the one listed (FAT, NTFS, other drives
// through FUSE, an ext4 folder with case folding), is not answered from
// memory: its names are looked up on the disk, one by one, as before.
// One pass's listing and looks: not the case index (process-wide, names only) nor the cleared-folders set (no names).
class KnownFolder {
    enum class Look : unsigned char;
    struct Listing;
    struct Entry;

public:
    // folder: the folder part of the paths of its names, as SplitPath gives
    // it ("/" for the root and for an empty folder text). Nothing is read yet.
    explicit KnownFolder(std::string folder);
    ~KnownFolder();
    KnownFolder(const KnownFolder&) = delete;
    KnownFolder& operator=(const KnownFolder&) = delete;

    // Lists the folder (again). Looks already taken of names that are listed
    // again as the same file are kept: nothing but the run's copies changed
    // them, and each copy drops the look of the name it wrote. With keepOpen,
    // the folder stays open for LookAhead until Close. Two folders may be
    // read on two threads at once.
    void Read(bool keepOpen);
    void Close();

    // Picks the names a search by pattern and attrMask would look at (only
    // those other holds too, when given) and returns how many;
    // LookAhead(first, last) then looks at those from first up to last. Two
    // threads may look at two distinct ranges at once.
    std::size_t PlanLookAhead(const std::string& pattern, std::uint32_t attrMask, const KnownFolder* other);
    void LookAhead(std::size_t first, std::size_t last);

    const std::string& Path() const { return m_path; }
    // False for a folder whose names are looked up on the disk.
    bool InMemory() const { return m_inMemory; }
    // The folder's device and inode when it was listed (none when it could
    // not be opened): the same for every text that names it.
    std::optional<std::pair<dev_t, ino_t>> Identity() const;
    // The run copied into the folder since it was listed: a search must list
    // it again, for a copy can change the order names are listed in.
    bool ChangedSinceRead() const { return m_changed; }

    // FolderLookup::FileAge with NameMatch::CaseBlind: the packed time of the
    // exact name, else of the one name equal to it but for case; -1 for none
    // or for a folder. namesake tells whether the other name was found, seen
    // what was seen of the file found.
    std::int32_t FileAge(const std::string& name, bool* namesake, FileSeen* seen = nullptr);
    // FolderLookup::MatchElsewhere: Exact when the folder holds a name equal
    // to name but for case.
    NameMatch MatchElsewhere(const std::string& name);
    // Whether a name here finds a file whose name differs from it in case,
    // whatever this kernel says: a drive that takes only Windows names (FAT,
    // exFAT, a Samba share) or a folder that folds case. Two names equal but
    // for case elsewhere would both reach its one file.
    bool FoldsCase() const { return m_foldsCase; }
    // Whether a file of this name can be made here as it is (see
    // HoldsWindowsName).
    bool CanHoldName(std::string_view name) const;
    // Whether name, listed here, is one the drive made up for a file whose
    // own name it cannot show (see LooksMadeUp).
    bool MadeUpName(std::string_view name) const;

    // Called with a name before it is looked up or looked at, so that
    // copies that write the name can be put in place first.
    void SetBeforeLookingAt(std::function<void(std::string_view name)> beforeLook)
    {
        m_beforeLook = std::move(beforeLook);
    }

    // Calls visit with every name listed but "." and "..".
    void ForEachName(const std::function<void(std::string_view)>& visit) const;

    // A copy wrote name here (created: as a new name), or failed after it
    // reached the folder. True when the name is new to what is known.
    bool NoteCopy(const std::string& name, bool created, bool failed);

    // A directory search over the folder as known: the names it held when
    // the search opened, in the order they were listed, filtered as
    // DirectorySearch filters them. With namesOnly, as FindFirstNames. The
    // folder must not be read again while a search of it is open.
    class Search {
    public:
        Search(KnownFolder& folder, const std::string& pattern, std::uint32_t attrMask, bool namesOnly);
        ~Search();
        Search(const Search&) = delete;
        Search& operator=(const Search&) = delete;
        // The next entry; false after the last one.
        bool Next(TSearchRec& rec);

    private:
        // The look at an entry, once copies that write its name are in place.
        Entry LookAt(std::uint32_t entry);

        KnownFolder& m_folder;
        std::unique_ptr<const detail::SearchPattern> m_pattern;
        std::uint32_t m_skip;
        bool m_namesOnly;
        std::size_t m_next = 0;
        std::size_t m_end;
    };

private:
    // The look at an entry: the one kept, else one taken now (and kept where
    // it may be).
    Entry LookedAt(std::uint32_t entry);
    // FileAge of a listed name, from its look.
    std::int32_t AgeOfListed(std::uint32_t entry, FileSeen& found);
    // The drive of a looked-at entry, where the listing tells it.
    dev_t DeviceOf(const Entry& e) const;
    // What the folder's drive can do.
    const Drive& DriveOfFolder() const;
    void TakeLook(std::uint32_t entry) const;

    std::string m_path;
    int m_fd = -1;
    bool m_inMemory = false;
    bool m_foldsCase = false;
    bool m_identified = false;
    dev_t m_device = 0;
    ino_t m_inode = 0;
    mutable const Drive* m_drive = nullptr;
    bool m_changed = false;
    std::unique_ptr<Listing> m_listing;
    int m_openSearches = 0;
    std::vector<std::uint32_t> m_lookAhead;
    std::function<void(std::string_view)> m_beforeLook;
};

}  // namespace platform
