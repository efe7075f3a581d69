#include "platform/fs/CaseIndex.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <vector>

#include "platform/fs/CaseFold.h"
#include "platform/fs/FileSystem.h"
#include "platform/fs/FileSystemInternal.h"
#include "platform/fs/TrustedPath.h"

namespace platform::detail {

namespace {

// Indexes are kept for many folders at once (a run looks names up in every
// List 2 folder in turn); past this many names the least recently used go.
constexpr std::size_t kNameBudget = 1'000'000;

// A change of the folder within this long of reading it may carry the same
// time stamp as the reading saw (coarse file system clocks), so such an
// index is read again once before a miss is believed.
constexpr std::int64_t kRacyWindowNs = 100'000'000;

std::int64_t Nanoseconds(const timespec& t)
{
    return static_cast<std::int64_t>(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
}

bool SameTime(const timespec& a, const timespec& b)
{
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

// The second half of a lookup, once nothing has the exact name: the one
// entry of the folder equal to the name without regard to case.
int ResolveCaseBlind(int (*statFn)(const char*, struct stat*), const std::string& path, struct stat& st,
                     std::string& realPath, const struct stat* folderNow = nullptr)
{
    std::string folder;
    std::string name;
    SplitPath(path, folder, name);
    if (name.empty() || name == "." || name == "..")
        return ENOENT;
    const std::string prefix = path.substr(0, path.size() - name.size());
    for (int attempt = 0; attempt < 2; ++attempt) {
        std::string real;
        if (!CaseIndex::Instance().Find(folder, name, real, attempt == 0 ? folderNow : nullptr) || real == name)
            return ENOENT;
        const std::string candidate = prefix + real;
        if (statFn(candidate.c_str(), &st) == 0) {
            realPath = candidate;
            return 0;
        }
        if (errno != ENOENT)
            return errno;
        // The index named an entry that is gone: read the folder again.
        CaseIndex::Instance().Forget(folder);
    }
    return ENOENT;
}

int StatResolvedWith(int (*statFn)(const char*, struct stat*), const std::string& path, struct stat& st,
                     std::string& realPath, NameMatch match)
{
    if (statFn(path.c_str(), &st) == 0) {
        realPath = path;
        return 0;
    }
    const int error = errno;
    if (error != ENOENT || match == NameMatch::Exact)
        return error;
    return ResolveCaseBlind(statFn, path, st, realPath);
}

// stat() that follows only the user's own links (TrustedPath.h); errno
// kLinkOfAnotherUser for another's.
int PlainStat(const char* path, struct stat* st)
{
    const int error = StatOwnLinks(AT_FDCWD, path, *st);
    if (error == 0)
        return 0;
    errno = error;
    return -1;
}

int PlainLstat(const char* path, struct stat* st)
{
    return ::lstat(path, st);
}

}  // namespace

struct CaseIndex::Folder {
    dev_t dev = 0;
    ino_t ino = 0;
    timespec mtime{};
    timespec ctime{};
    // Read so soon after the folder's last change that a change in the same
    // clock tick could be missing.
    bool racy = false;
    // The times were last set by our own copy, not by reading the folder.
    bool copiedSinceBuild = false;
    std::uint64_t lastUse = 0;
    // Each folded name once, with the real name where it differs (most names
    // are folded already), one after the other in text; several names that
    // fold alike are one entry, marked ambiguous.
    struct Name {
        std::uint32_t foldedAt = 0;
        std::uint32_t realAt = 0;
        std::uint16_t foldedLength = 0;
        std::uint16_t realLength = 0;
        bool ambiguous = false;
    };
    std::string text;
    std::vector<Name> names;
    HashSlots byFolded;

    bool Matches(const struct stat& st) const
    {
        return st.st_dev == dev && st.st_ino == ino && SameTime(st.st_mtim, mtime) && SameTime(st.st_ctim, ctime);
    }
    void Record(const struct stat& st)
    {
        dev = st.st_dev;
        ino = st.st_ino;
        mtime = st.st_mtim;
        ctime = st.st_ctim;
    }
    std::string_view Folded(const Name& name) const { return {text.data() + name.foldedAt, name.foldedLength}; }
    std::string_view Real(const Name& name) const { return {text.data() + name.realAt, name.realLength}; }
    std::uint32_t Find(std::string_view folded, std::uint32_t hash) const
    {
        std::uint32_t found = HashSlots::kNone;
        byFolded.Find(hash, [&](std::uint32_t entry) {
            if (Folded(names[entry]) != folded)
                return false;
            found = entry;
            return true;
        });
        return found;
    }
    void Add(std::string_view realName)
    {
        const std::string folded = FoldName(realName);
        const std::uint32_t hash = HashSlots::HashOf(folded);
        const std::uint32_t known = Find(folded, hash);
        if (known != HashSlots::kNone) {
            if (Real(names[known]) != realName)
                names[known].ambiguous = true;
            return;
        }
        Name name;
        name.foldedAt = name.realAt = static_cast<std::uint32_t>(text.size());
        name.foldedLength = name.realLength = static_cast<std::uint16_t>(folded.size());
        text.append(folded);
        if (folded != realName) {
            name.realAt = static_cast<std::uint32_t>(text.size());
            name.realLength = static_cast<std::uint16_t>(realName.size());
            text.append(realName);
        }
        byFolded.Insert(hash, static_cast<std::uint32_t>(names.size()));
        names.push_back(name);
    }
    // How many names of the folder fold to folded: 0, 1 (then realName is
    // set to it) or 2 for two or more.
    int Lookup(const std::string& folded, std::string& realName) const
    {
        const std::uint32_t known = Find(folded, HashSlots::HashOf(folded));
        if (known == HashSlots::kNone)
            return 0;
        if (names[known].ambiguous)
            return 2;
        realName = Real(names[known]);
        return 1;
    }
};

CaseIndex& CaseIndex::Instance()
{
    static CaseIndex instance;
    return instance;
}

CaseIndex::Folder* CaseIndex::Build(const std::string& folder, bool recheck)
{
    auto found = m_folders.find(folder);
    const bool ownChangesOnly = recheck && found != m_folders.end() && found->second->copiedSinceBuild;
    if (found != m_folders.end()) {
        m_totalNames -= found->second->names.size();
        m_folders.erase(found);
    }

    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    struct stat st {};
    DIR* dir = OpenFolderListing(folder, &st);
    if (!dir)
        return nullptr;
    ++m_builds;
    auto index = std::make_unique<Folder>();
    // The times are taken before the names are read, so that any later
    // change shows as a newer time.
    index->Record(st);
    while (const dirent* entry = readdir(dir)) {
        const std::string_view name(entry->d_name);
        if (name == "." || name == ".." || IsTemporaryName(name))
            continue;
        index->Add(name);
    }
    closedir(dir);

    // The change time, not the modification time, which tools may set back.
    const std::int64_t distance = Nanoseconds(st.st_ctim) - Nanoseconds(now);
    // After a recheck that only our own copies made necessary, what is left
    // to miss is no more than what every copy update already accepts.
    index->racy = !ownChangesOnly && distance > -kRacyWindowNs && distance < kRacyWindowNs;
    index->lastUse = ++m_useClock;
    m_totalNames += index->names.size();
    Folder* result = index.get();
    m_folders.emplace(folder, std::move(index));
    Evict(result);
    return result;
}

void CaseIndex::Evict(const Folder* keep)
{
    while (m_totalNames > kNameBudget && m_folders.size() > 1) {
        auto oldest = m_folders.end();
        for (auto it = m_folders.begin(); it != m_folders.end(); ++it) {
            if (it->second.get() != keep
                && (oldest == m_folders.end() || it->second->lastUse < oldest->second->lastUse))
                oldest = it;
        }
        if (oldest == m_folders.end())
            return;
        m_totalNames -= oldest->second->names.size();
        m_folders.erase(oldest);
    }
}

int CaseIndex::CountFolded(const std::string& folder, const std::string& name, std::string& realName,
                           const struct stat* folderNow)
{
    const std::string folded = FoldName(name);
    std::lock_guard lock(m_mutex);
    auto it = m_folders.find(folder);
    if (it == m_folders.end()) {
        Folder* built = Build(folder, false);
        return built ? built->Lookup(folded, realName) : 0;
    }
    Folder* index = it->second.get();
    index->lastUse = ++m_useClock;
    const int count = index->Lookup(folded, realName);
    // What the index says is believed only when the folder has not changed
    // since it was read (or since our own last copy into it): a twin that
    // appeared meanwhile must not go unseen.
    struct stat st {};
    if (folderNow)
        st = *folderNow;
    else if (::stat(folder.c_str(), &st) != 0) {
        m_totalNames -= index->names.size();
        m_folders.erase(it);
        return 0;
    }
    if (index->Matches(st) && !index->racy)
        return count;
    Folder* rebuilt = Build(folder, index->Matches(st));
    return rebuilt ? rebuilt->Lookup(folded, realName) : 0;
}

bool CaseIndex::Find(const std::string& folder, const std::string& name, std::string& realName,
                     const struct stat* folderNow)
{
    return CountFolded(folder, name, realName, folderNow) == 1;
}

bool CaseIndex::HasCaseTwin(const std::string& folder, const std::string& name, const struct stat* folderNow)
{
    std::string realName;
    const int count = CountFolded(folder, name, realName, folderNow);
    return count == 2 || (count == 1 && realName != name);
}

void CaseIndex::Forget(const std::string& folder)
{
    std::lock_guard lock(m_mutex);
    auto it = m_folders.find(folder);
    if (it == m_folders.end())
        return;
    m_totalNames -= it->second->names.size();
    m_folders.erase(it);
}

void CaseIndex::NoteChange(const struct stat& before, const struct stat& after, const std::string& addedName)
{
    std::lock_guard lock(m_mutex);
    for (auto it = m_folders.begin(); it != m_folders.end();) {
        Folder& index = *it->second;
        if (index.dev != before.st_dev || index.ino != before.st_ino) {
            ++it;
            continue;
        }
        if (!index.Matches(before)) {
            // Something else changed the folder too: read it afresh later.
            m_totalNames -= index.names.size();
            it = m_folders.erase(it);
            continue;
        }
        if (!addedName.empty() && !IsTemporaryName(addedName)) {
            const std::size_t count = index.names.size();
            index.Add(addedName);
            m_totalNames += index.names.size() - count;
        }
        index.Record(after);
        index.copiedSinceBuild = true;
        ++it;
    }
}

void CaseIndex::Clear()
{
    std::lock_guard lock(m_mutex);
    m_folders.clear();
    m_totalNames = 0;
}

std::uint64_t CaseIndex::BuildCount() const
{
    std::lock_guard lock(m_mutex);
    return m_builds;
}

int StatResolved(const std::string& path, struct stat& st, std::string& realPath, NameMatch match)
{
    return StatResolvedWith(PlainStat, path, st, realPath, match);
}

int LstatResolved(const std::string& path, struct stat& st, std::string& realPath, NameMatch match)
{
    return StatResolvedWith(PlainLstat, path, st, realPath, match);
}

namespace {

bool IsPlainName(const std::string& name)
{
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

}  // namespace

int StatResolvedAt(int folderFd, const std::string& folder, const std::string& name, struct stat& st, NameMatch match,
                   bool* namesake)
{
    std::string realPath;
    int error = 0;
    if (folderFd < 0 || !IsPlainName(name)) {
        const std::string path = PathOf(folder, name);
        error = StatResolved(path, st, realPath, match);
        if (namesake)
            *namesake = error == 0 && realPath != path;
        return error;
    }
    if (namesake)
        *namesake = false;
    if (const int found = StatOwnLinks(folderFd, name.c_str(), st); found != ENOENT || match == NameMatch::Exact)
        return found;
    // The path is made only now, for the case-blind rest; the folder's
    // times come from the open folder.
    struct stat folderNow {};
    if (::fstat(folderFd, &folderNow) != 0)
        error = StatResolved(PathOf(folder, name), st, realPath);
    else
        error = ResolveCaseBlind(PlainStat, PathOf(folder, name), st, realPath, &folderNow);
    if (namesake)
        *namesake = error == 0;
    return error;
}

int LstatResolvedAt(int folderFd, const struct stat& folderNow, const std::string& path, const std::string& name,
                    struct stat& st, std::string& realPath, NameMatch match)
{
    if (folderFd < 0 || !IsPlainName(name))
        return LstatResolved(path, st, realPath, match);
    if (::fstatat(folderFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
        realPath = path;
        return 0;
    }
    if (errno != ENOENT || match == NameMatch::Exact)
        return errno;
    return ResolveCaseBlind(PlainLstat, path, st, realPath, &folderNow);
}

}  // namespace platform::detail
