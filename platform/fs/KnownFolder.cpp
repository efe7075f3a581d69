#include "platform/fs/KnownFolder.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cassert>
#include <cerrno>

#include "platform/fs/CaseFold.h"
#include "platform/fs/CaseIndex.h"
#include "platform/fs/Drive.h"
#include "platform/fs/FileState.h"
#include "platform/fs/FileSystemInternal.h"
#include "platform/fs/KeepAlive.h"
#include "platform/fs/TrustedPath.h"

namespace platform {

namespace {

using detail::HashSlots;
constexpr std::uint32_t kNoEntry = HashSlots::kNone;

std::uint32_t HashOf(std::string_view text)
{
    return HashSlots::HashOf(text);
}

// Whether the folder tells names apart by every byte, so that a name missing
// from its listing is missing: a drive of exact names (Drive::exactNames),
// unless the folder itself folds case. Others (FAT, exFAT, NTFS, anything
// through FUSE, network file systems) are asked name by name.
bool NamesMatchExactly(int folderFd)
{
    if (!DriveOf(folderFd).exactNames)
        return false;
    int flags = 0;
    if (::ioctl(folderFd, FS_IOC_GETFLAGS, &flags) == 0)
        return (flags & FS_CASEFOLD_FL) == 0;
    return errno == ENOTTY || errno == EOPNOTSUPP;  // no folder flags, so no case folding either
}

// Whether the folder itself folds case (ext4's and F2FS's casefold flag).
bool FolderFoldsCase(int folderFd)
{
    int flags = 0;
    return ::ioctl(folderFd, FS_IOC_GETFLAGS, &flags) == 0 && (flags & FS_CASEFOLD_FL) != 0;
}

// Kinds whose look stays right until the run copies over the name. A link's
// does not: a copy through another path can change what it leads to; nor a
// folder's, whose time every copy into it changes.
bool LookIsKept(unsigned char kind)
{
    switch (kind) {
    case DT_REG:
    case DT_FIFO:
    case DT_CHR:
    case DT_BLK:
    case DT_SOCK: return true;
    default: return false;
    }
}

unsigned char KindOf(mode_t mode)
{
    if (S_ISREG(mode))
        return DT_REG;
    if (S_ISDIR(mode))
        return DT_DIR;
    if (S_ISLNK(mode))
        return DT_LNK;
    if (S_ISFIFO(mode))
        return DT_FIFO;
    if (S_ISCHR(mode))
        return DT_CHR;
    if (S_ISBLK(mode))
        return DT_BLK;
    if (S_ISSOCK(mode))
        return DT_SOCK;
    return DT_UNKNOWN;
}

// What DirectorySearch rules out by the name or the listed kind alone,
// before it looks at an entry.
bool RuledOutUnseen(std::string_view name, unsigned char kind, std::uint32_t skip)
{
    const bool skipDirs = (skip & faDirectory) != 0;
    if (detail::IsDotOrDotDot(name) ? skipDirs : ((skip & faHidden) != 0 && name[0] == '.'))
        return true;
    if (kind == DT_DIR)
        return skipDirs;
    const bool system = kind == DT_FIFO || kind == DT_CHR || kind == DT_BLK || kind == DT_SOCK;
    return system && (skip & faSysFile) != 0;
}

}  // namespace

enum class KnownFolder::Look : unsigned char {
    None,  // not looked at, or the look is not kept
    Followed,  // the stat that follows links found it
    LinkOnly,  // only the link itself is there (it leads nowhere)
    LinkOfAnotherUser,  // a link that is not followed (TrustedPath.h)
    Missing,  // nothing could be looked at
};

struct KnownFolder::Entry {
    std::uint32_t nameAt = 0;  // in Listing::names, followed by a '\0'
    std::uint16_t nameLength = 0;
    unsigned char kind = DT_UNKNOWN;  // d_type as listed
    Look look = Look::None;
    mode_t mode = 0;
    std::int32_t time = -1;
    ino_t inode = 0;  // as listed: another file under the name needs a new look
    std::uint64_t state = 0;  // FileState.h, which tells its size too
};

// The names and what is known of each, in the order they were listed; names
// the run added come last. One table finds a name by its case-folded form,
// so that one lookup finds the name itself and any name equal to it but for
// case.
struct KnownFolder::Listing {
    std::string names;
    std::vector<Entry> entries;
    HashSlots byFolded;

    std::string_view NameOf(const Entry& entry) const { return {names.data() + entry.nameAt, entry.nameLength}; }
    const char* CNameOf(const Entry& entry) const { return names.c_str() + entry.nameAt; }

    std::uint32_t Add(std::string_view name, unsigned char kind, ino_t inode)
    {
        Entry entry;
        entry.nameAt = static_cast<std::uint32_t>(names.size());
        entry.nameLength = static_cast<std::uint16_t>(name.size());
        entry.kind = kind;
        entry.inode = inode;
        names.append(name);
        names.push_back('\0');
        const auto number = static_cast<std::uint32_t>(entries.size());
        entries.push_back(entry);
        byFolded.Insert(HashOf(detail::FoldName(name)), number);
        return number;
    }

    // The entry named name, or kNoEntry; with others, also every other entry
    // whose name equals name without regard to case.
    std::uint32_t Find(std::string_view name, std::vector<std::uint32_t>* others = nullptr) const
    {
        const std::string folded = detail::FoldName(name);
        std::uint32_t exact = kNoEntry;
        byFolded.Find(HashOf(folded), [&](std::uint32_t entry) {
            const std::string_view candidate = NameOf(entries[entry]);
            if (candidate == name) {
                exact = entry;
                return others == nullptr;
            }
            if (others && detail::FoldName(candidate) == folded)
                others->push_back(entry);
            return false;
        });
        return exact;
    }
};

KnownFolder::KnownFolder(std::string folder) : m_path(std::move(folder)), m_listing(std::make_unique<Listing>())
{
}

KnownFolder::~KnownFolder()
{
    Close();
}

std::optional<std::pair<dev_t, ino_t>> KnownFolder::Identity() const
{
    if (!m_identified)
        return std::nullopt;
    return std::make_pair(m_device, m_inode);
}

void KnownFolder::Close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_lookAhead.clear();
}

void KnownFolder::Read(bool keepOpen)
{
    assert(m_openSearches == 0);  // a search goes through the names it opened on
    Close();
    m_changed = false;
    auto listing = std::make_unique<Listing>();
    const std::unique_ptr<Listing> before = std::move(m_listing);
    m_listing = std::move(listing);

    struct stat folder {};
    DIR* dir = detail::OpenFolderListing(m_path, &folder);
    if (!dir) {
        // A folder that is not there holds no names, which is what a lookup
        // would find, and so does one behind a link of another user; one
        // that cannot be read is asked on the disk.
        m_inMemory = errno == ENOENT || errno == ENOTDIR || errno == detail::kLinkOfAnotherUser;
        m_identified = false;
        m_drive = nullptr;
        m_foldsCase = false;
        return;
    }
    m_identified = true;
    m_device = folder.st_dev;
    m_inode = folder.st_ino;
    m_drive = &DriveOf(::dirfd(dir));
    m_inMemory = NamesMatchExactly(::dirfd(dir));
    m_foldsCase = m_drive->windowsNamesOnly || FolderFoldsCase(::dirfd(dir));

    Listing& now = *m_listing;
    now.byFolded.Reserve(before->entries.size());
    std::size_t read = 0;
    while (const dirent* listed = ::readdir(dir)) {
        if (++read % 4096 == 0)
            KeepAlive::Beat();  // a folder of many names takes a while
        if (detail::IsTemporaryName(listed->d_name))
            continue;
        const std::uint32_t entry = now.Add(listed->d_name, listed->d_type, listed->d_ino);
        // What was known of the same file under the same name stays known.
        const std::uint32_t old = before->entries.empty() ? kNoEntry : before->Find(listed->d_name);
        if (old != kNoEntry) {
            const Entry& known = before->entries[old];
            Entry& e = now.entries[entry];
            if (known.kind == e.kind && known.inode == e.inode) {
                e.look = known.look;
                e.mode = known.mode;
                e.time = known.time;
                e.state = known.state;
            }
        }
    }
    if (keepOpen) {
        m_fd = ::fcntl(::dirfd(dir), F_DUPFD_CLOEXEC, 0);
    }
    ::closedir(dir);
}

std::size_t KnownFolder::PlanLookAhead(const std::string& pattern, std::uint32_t attrMask, const KnownFolder* other)
{
    m_lookAhead.clear();
    // A folder whose other names are asked on the disk still keeps the
    // looks of its listed ones: on a network share, where each look waits
    // for the server, taking them on two threads halves the wait.
    if (!m_identified || m_fd < 0)
        return 0;
    const detail::SearchPattern matcher(pattern);
    const std::uint32_t skip = ~attrMask & detail::kSkippableAttributes;
    const Listing& listing = *m_listing;
    for (std::uint32_t entry = 0; entry < listing.entries.size(); ++entry) {
        const Entry& e = listing.entries[entry];
        const std::string_view name = listing.NameOf(e);
        // A name listed without its kind (gvfs lists none) learns it by its look.
        const bool keepable = LookIsKept(e.kind) || e.kind == DT_UNKNOWN;
        if (e.look == Look::None && keepable && !RuledOutUnseen(name, e.kind, skip) && matcher.Matches(name)
            && (!other || other->m_listing->Find(name) != kNoEntry))
            m_lookAhead.push_back(entry);
    }
    return m_lookAhead.size();
}

void KnownFolder::LookAhead(std::size_t first, std::size_t last)
{
    for (std::size_t i = first; i < last && i < m_lookAhead.size(); ++i)
        TakeLook(m_lookAhead[i]);
}

void KnownFolder::TakeLook(std::uint32_t entry) const
{
    Entry& e = m_listing->entries[entry];
    const char* name = m_listing->CNameOf(e);
    const std::string path = m_fd >= 0 ? std::string() : PathOf(m_path, name);
    struct stat st {};
    const int dirFd = m_fd >= 0 ? m_fd : AT_FDCWD;
    const char* at = m_fd >= 0 ? name : path.c_str();
    // The user's own links are followed; one that leads nowhere is seen as
    // what it is, and so is a link of another user. A name listed as what
    // is no link is looked at in one step.
    int error = 0;
    if (e.kind == DT_UNKNOWN && ::fstatat(dirFd, at, &st, AT_SYMLINK_NOFOLLOW) == 0 && !S_ISLNK(st.st_mode))
        e.kind = KindOf(st.st_mode);  // a listing without kinds (gvfs's) learns each from its look
    else if (e.kind == DT_LNK || e.kind == DT_UNKNOWN)
        error = detail::StatOwnLinks(dirFd, at, st);
    else if (::fstatat(dirFd, at, &st, 0) != 0)
        error = errno;
    if (error == 0) {
        e.look = Look::Followed;
    } else if (error == detail::kLinkOfAnotherUser) {
        e.look = Look::LinkOfAnotherUser;
        e.mode = st.st_mode;
        e.time = kLinkOfAnotherUserAge;
        return;
    } else if (::fstatat(dirFd, at, &st, AT_SYMLINK_NOFOLLOW) == 0) {
        e.look = Look::LinkOnly;
    } else {
        e.look = Look::Missing;
        return;
    }
    e.mode = st.st_mode;
    e.time = detail::PackStatTime(st);
    e.state = FileStateOf(st, DriveOfFolder());
}

KnownFolder::Entry KnownFolder::LookedAt(std::uint32_t entry)
{
    Entry& e = m_listing->entries[entry];
    if (e.look != Look::None)
        return e;
    TakeLook(entry);
    const Entry taken = e;
    if (!LookIsKept(e.kind))
        e.look = Look::None;
    return taken;
}

bool KnownFolder::CanHoldName(std::string_view name) const
{
    return !DriveOfFolder().windowsNamesOnly || HoldsWindowsName(name);
}

bool KnownFolder::MadeUpName(std::string_view name) const
{
    return DriveOfFolder().showsMadeUpNames && LooksMadeUp(name);
}

const Drive& KnownFolder::DriveOfFolder() const
{
    // A folder that could not be listed is asked where it is, once.
    if (!m_drive)
        m_drive = &DriveAt(m_path);
    return *m_drive;
}

dev_t KnownFolder::DeviceOf(const Entry& e) const
{
    // A name listed as a file is on the folder's drive; a link may lead anywhere.
    return m_identified && e.kind != DT_LNK && e.kind != DT_UNKNOWN ? m_device : 0;
}

std::int32_t KnownFolder::FileAge(const std::string& name, bool* namesake, FileSeen* seen)
{
    if (m_beforeLook)
        m_beforeLook(name);
    if (namesake)
        *namesake = false;
    FileSeen none;
    FileSeen& found = seen ? *seen : none;
    found = FileSeen();
    // A name listed as it is asked for is looked at once for the pass, from
    // the open folder, also where others are asked on the disk (a network
    // share, where each look is a round trip).
    if (!m_inMemory) {
        if (const std::uint32_t listed = m_identified ? m_listing->Find(name) : kNoEntry; listed != kNoEntry)
            return AgeOfListed(listed, found);
        struct stat st {};
        const int error = detail::StatResolvedAt(-1, m_path, name, st, NameMatch::CaseBlind, namesake);
        if (error == detail::kLinkOfAnotherUser)
            return kLinkOfAnotherUserAge;
        if (error != 0 || S_ISDIR(st.st_mode))
            return -1;
        found = {detail::PackStatTime(st), st.st_dev, !S_ISREG(st.st_mode), FileStateOf(st, DriveOfFolder())};
        return found.age;
    }
    std::vector<std::uint32_t> others;
    const std::uint32_t exact = m_listing->Find(name, &others);
    if (exact != kNoEntry)
        return AgeOfListed(exact, found);
    // Not there by that name: the one name equal to it but for case, if
    // there is exactly one (and, a link, it leads somewhere). The disk's
    // lookup passes over "." and "..", which no other name folds to.
    if (others.size() != 1)
        return -1;
    const Entry e = LookedAt(others.front());
    if (e.look != Look::Followed && e.look != Look::LinkOfAnotherUser)
        return -1;
    if (namesake)
        *namesake = true;
    if (S_ISDIR(e.mode))
        return -1;
    if (e.look == Look::Followed)
        found = {e.time, DeviceOf(e), !S_ISREG(e.mode), e.state};
    return e.time;
}

std::int32_t KnownFolder::AgeOfListed(std::uint32_t entry, FileSeen& found)
{
    if (m_listing->entries[entry].kind == DT_DIR)
        return -1;  // a folder, however it is looked at
    const Entry e = LookedAt(entry);
    if (e.look == Look::LinkOfAnotherUser)
        return kLinkOfAnotherUserAge;
    if (e.look != Look::Followed || S_ISDIR(e.mode))
        return -1;
    found = {e.time, DeviceOf(e), !S_ISREG(e.mode), e.state};
    return e.time;
}

NameMatch KnownFolder::MatchElsewhere(const std::string& name)
{
    if (m_beforeLook)
        m_beforeLook(name);
    if (!m_inMemory) {
        const bool twin = detail::CaseIndex::Instance().HasCaseTwin(m_path, name);
        return twin ? NameMatch::Exact : NameMatch::CaseBlind;
    }
    std::vector<std::uint32_t> others;
    m_listing->Find(name, &others);
    return others.empty() ? NameMatch::CaseBlind : NameMatch::Exact;
}

void KnownFolder::ForEachName(const std::function<void(std::string_view)>& visit) const
{
    for (const Entry& e : m_listing->entries) {
        const std::string_view name = m_listing->NameOf(e);
        if (!detail::IsDotOrDotDot(name))
            visit(name);
    }
}

bool KnownFolder::NoteCopy(const std::string& name, bool created, bool failed)
{
    m_changed = true;
    if (!m_inMemory) {
        // The copy may have written a listed name of another case: no look
        // of a name it may have reached is kept.
        std::vector<std::uint32_t> others;
        const std::uint32_t exact = m_listing->Find(name, &others);
        if (exact != kNoEntry)
            others.push_back(exact);
        for (const std::uint32_t entry : others)
            m_listing->entries[entry].look = Look::None;
        return false;
    }
    const std::uint32_t known = m_listing->Find(name);
    if (known != kNoEntry) {
        Entry& e = m_listing->entries[known];
        e.look = Look::None;
        if (created)
            e.kind = DT_REG;
        return false;
    }
    unsigned char kind = DT_REG;
    ino_t inode = 0;
    if (!created) {
        // Not ours: the name may have appeared meanwhile, which is what made
        // the copy fail; then it is known as the disk shows it.
        struct stat st {};
        if (!failed || ::fstatat(AT_FDCWD, PathOf(m_path, name).c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
            return false;
        kind = KindOf(st.st_mode);
        inode = st.st_ino;
    }
    m_listing->Add(name, kind, inode);
    return true;
}

KnownFolder::Search::Search(KnownFolder& folder, const std::string& pattern, std::uint32_t attrMask, bool namesOnly)
    : m_folder(folder),
      m_pattern(std::make_unique<detail::SearchPattern>(pattern)),
      m_skip(~attrMask & detail::kSkippableAttributes),
      m_namesOnly(namesOnly),
      m_end(folder.m_listing->entries.size())
{
    ++m_folder.m_openSearches;
}

KnownFolder::Search::~Search()
{
    --m_folder.m_openSearches;
}

KnownFolder::Entry KnownFolder::Search::LookAt(std::uint32_t entry)
{
    if (m_folder.m_beforeLook) {
        // Copies put in place meanwhile may add names, and move the others.
        const Listing& listing = *m_folder.m_listing;
        m_folder.m_beforeLook(std::string(listing.NameOf(listing.entries[entry])));
    }
    return m_folder.LookedAt(entry);
}

bool KnownFolder::Search::Next(TSearchRec& rec)
{
    KeepAlive::Beat();  // a pre-count of many names takes a while
    while (m_next < m_end) {
        const auto entry = static_cast<std::uint32_t>(m_next++);
        const Listing& listing = *m_folder.m_listing;
        const std::string_view name = listing.NameOf(listing.entries[entry]);
        const unsigned char kind = listing.entries[entry].kind;
        if (RuledOutUnseen(name, kind, m_skip) || !m_pattern->Matches(name))
            continue;
        if (m_namesOnly) {
            if (const std::uint32_t attr = detail::AttributesOfListedKind(name, kind)) {
                if ((attr & m_skip) != 0)
                    continue;
                rec.Name = name;
                rec.Attr = attr;
                rec.Time = -1;
                rec.Device = 0;
                rec.State = 0;
                return true;
            }
        }
        const Entry e = LookAt(entry);
        if (e.look == Look::Missing)
            continue;  // gone by now
        const std::string_view lookedAt = m_folder.m_listing->NameOf(m_folder.m_listing->entries[entry]);
        // A link of another user stands where a file of the run's could be:
        // it is yielded as one, with an age that tells the run what it is.
        const std::uint32_t attr = e.look == Look::LinkOfAnotherUser ? detail::AttributesOfListedKind(lookedAt, DT_REG)
                                                                     : detail::AttributesOf(lookedAt, e.mode);
        if ((attr & m_skip) != 0)
            continue;
        rec.Name = lookedAt;
        rec.Attr = attr;
        rec.Time = e.time;
        rec.Device = e.look == Look::Followed ? m_folder.DeviceOf(e) : 0;
        rec.State = e.look == Look::Followed ? e.state : 0;
        return true;
    }
    return false;
}

}  // namespace platform
