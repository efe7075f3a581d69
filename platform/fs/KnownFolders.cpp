#include "platform/fs/KnownFolders.h"

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <exception>
#include <functional>
#include <system_error>
#include <thread>

#include "platform/fs/CaseFold.h"
#include "platform/fs/CopyQueue.h"
#include "platform/fs/FileSystemInternal.h"
#include "platform/fs/KeepAlive.h"
#include "platform/fs/Trash.h"

namespace platform {

namespace {

// Below these, a second thread costs more than it saves: folders whose own
// sizes (which grow with their names on the usual file systems) add up to
// this many bytes, this many folders, and this many looks.
constexpr off_t kMuchToList = off_t{64} * 1024;
constexpr std::size_t kManyFolders = 16;
constexpr std::size_t kManyLooks = 2048;
constexpr std::size_t kLooksPerTurn = 256;

// Runs work(i) once for every i below count: on this thread, and when
// twoThreads also on a second one, each taking the next i not yet taken.
void ForEachIndex(std::size_t count, bool twoThreads, const std::function<void(std::size_t)>& work)
{
    std::atomic<std::size_t> next{0};
    const auto takeTurns = [&] {
        for (std::size_t i = next++; i < count; i = next++) {
            KeepAlive::Beat();  // on the run's thread only
            work(i);
        }
    };
    if (!twoThreads || count < 2) {
        takeTurns();
        return;
    }
    std::exception_ptr helperFailure;
    std::thread helper;
    try {
        helper = std::thread([&] {
            try {
                takeTurns();
            } catch (...) {
                helperFailure = std::current_exception();  // rethrown below, on the run's thread
            }
        });
    } catch (const std::system_error&) {
        takeTurns();  // no second thread to be had: this one does it all
        return;
    }
    try {
        takeTurns();
    } catch (...) {
        helper.join();
        throw;
    }
    helper.join();
    if (helperFailure)
        std::rethrow_exception(helperFailure);
}

// The folder part of the paths PathOf(folderText, name) gives.
std::string FolderOfNames(const std::string& folderText)
{
    std::string folder;
    std::string name;
    detail::SplitPath(PathOf(folderText, "x"), folder, name);
    return folder;
}

bool MuchToList(const std::vector<KnownFolder*>& folders)
{
    if (folders.size() < 2)
        return false;
    if (folders.size() >= kManyFolders)
        return true;
    off_t total = 0;
    for (const KnownFolder* folder : folders) {
        struct stat st {};
        if (::stat(folder->Path().c_str(), &st) == 0)
            total += st.st_size;
    }
    return total >= kMuchToList;
}

}  // namespace

KnownFolders::KnownFolders() : m_queue(std::make_unique<CopyQueue>())
{
}

KnownFolders::~KnownFolders() = default;

void KnownFolders::SetKeepReplaced(bool keep)
{
    m_keepReplaced = keep;
    if (keep && !m_trashes)
        m_trashes = std::make_unique<detail::TrashFolders>();
}

KnownFolder& KnownFolders::Get(const std::string& folder, bool read)
{
    auto [it, added] = m_folders.try_emplace(folder);
    if (added) {
        it->second = std::make_unique<KnownFolder>(folder);
        KnownFolder& known = *it->second;
        known.SetBeforeLookingAt([this, &known](std::string_view name) { BeforeLookingAt(known, name); });
        if (read) {
            ReadOne(known, false);
            // Known anew while copies into it wait: read once they are in.
            if (HasUnplaced(known)) {
                Settle();
                ReadOne(known, false);
            }
        }
    }
    return *it->second;
}

bool KnownFolders::HasUnplaced(const KnownFolder& folder) const
{
    const auto identity = folder.Identity();
    return identity && m_unplaced.contains(*identity);
}

void KnownFolders::BeforeLookingAt(const KnownFolder& folder, std::string_view name)
{
    if (m_unplaced.empty())
        return;
    const auto identity = folder.Identity();
    if (!identity) {
        Settle();  // a folder looked up on the disk may be any of them
        return;
    }
    const auto names = m_unplaced.find(*identity);
    if (names != m_unplaced.end() && names->second.contains(detail::FoldName(name)))
        Settle();
}

void KnownFolders::BeforeCopyOf(const std::string& path)
{
    if (m_unplaced.empty())
        return;
    std::string folder;
    std::string name;
    detail::SplitPath(path, folder, name);
    const auto known = m_folders.find(folder);
    if (known != m_folders.end())
        BeforeLookingAt(*known->second, name);
}

void KnownFolders::NoteUnplaced(const detail::CopyOutcome& where, int change)
{
    if (!where.folderKnown)
        return;
    const std::pair<dev_t, ino_t> folder{where.device, where.inode};
    std::unordered_map<std::string, int>& names = m_unplaced[folder];
    const std::string folded = detail::FoldName(where.name);
    if ((names[folded] += change) <= 0)
        names.erase(folded);
    if (names.empty())
        m_unplaced.erase(folder);
}

void KnownFolders::Unidentify(const KnownFolder& folder)
{
    if (const auto identity = folder.Identity()) {
        std::vector<KnownFolder*>& same = m_byIdentity[*identity];
        std::erase(same, &folder);
        if (same.empty())
            m_byIdentity.erase(*identity);
    }
}

void KnownFolders::Identify(KnownFolder& folder)
{
    if (const auto identity = folder.Identity())
        m_byIdentity[*identity].push_back(&folder);
}

void KnownFolders::ReadOne(KnownFolder& folder, bool keepOpen)
{
    Unidentify(folder);
    folder.Read(keepOpen);
    Identify(folder);
}

KnownFolder& KnownFolders::NamesIn(const std::string& folderText)
{
    return Get(FolderOfNames(folderText), true);
}

KnownFolder& KnownFolders::Searched(const std::string& mask, std::string& pattern)
{
    std::string folderPath;
    detail::SplitPath(mask, folderPath, pattern);
    KnownFolder& folder = Get(folderPath, true);
    if (HasUnplaced(folder))
        Settle();  // a search reads what the copies leave
    if (folder.ChangedSinceRead()) {
        ReadOne(folder, false);
        if (m_indexed.contains(&folder))
            Index(folder);
    }
    return folder;
}

std::vector<KnownFolder*> KnownFolders::ToRead(const std::vector<std::string>& folderTexts)
{
    std::vector<KnownFolder*> folders;
    for (const std::string& text : folderTexts) {
        const auto known = m_folders.find(FolderOfNames(text));
        if (known != m_folders.end() && !known->second->ChangedSinceRead())
            continue;
        KnownFolder* folder = &Get(FolderOfNames(text), false);
        if (std::find(folders.begin(), folders.end(), folder) == folders.end())
            folders.push_back(folder);
    }
    return folders;
}

void KnownFolders::ReadAll(const std::vector<KnownFolder*>& folders, bool keepOpen)
{
    for (const KnownFolder* folder : folders)
        Unidentify(*folder);
    ForEachIndex(folders.size(), MuchToList(folders), [&](std::size_t i) { folders[i]->Read(keepOpen); });
    for (KnownFolder* folder : folders) {
        Identify(*folder);
        if (m_indexed.contains(folder))
            Index(*folder);
    }
}

void KnownFolders::Read(const std::vector<std::string>& folderTexts)
{
    ReadAll(ToRead(folderTexts), false);
}

void KnownFolders::ReadPair(const std::string& folder1, const std::string& folder2, const std::string& pattern,
                            std::uint32_t attrMask, bool sharedNamesOnly)
{
    KnownFolder& side1 = Get(FolderOfNames(folder1), false);
    KnownFolder& side2 = Get(FolderOfNames(folder2), false);
    const std::vector<KnownFolder*> folders = &side1 == &side2 ? std::vector<KnownFolder*>{&side1}
                                                               : std::vector<KnownFolder*>{&side1, &side2};
    ReadAll(folders, true);
    // The looks, in turns of a few hundred, whichever folder they are in.
    struct Turn {
        KnownFolder* folder;
        std::size_t first;
    };
    std::vector<Turn> turns;
    std::size_t looks = 0;
    for (KnownFolder* folder : folders) {
        const KnownFolder* other = folder == &side1 ? (sharedNamesOnly ? &side2 : nullptr) : &side1;
        const std::size_t count = folder->PlanLookAhead(pattern, attrMask, other);
        for (std::size_t first = 0; first < count; first += kLooksPerTurn)
            turns.push_back({folder, first});
        looks += count;
    }
    ForEachIndex(turns.size(), looks >= kManyLooks,
                 [&](std::size_t i) { turns[i].folder->LookAhead(turns[i].first, turns[i].first + kLooksPerTurn); });
}

void KnownFolders::Forget(const KnownFolder& folder)
{
    if (m_indexed.contains(&folder))
        return;
    Unidentify(folder);
    m_folders.erase(folder.Path());
}

void KnownFolders::Index(const KnownFolder& folder)
{
    m_indexed.insert(&folder);
    std::erase(m_onDisk, &folder);
    if (!folder.InMemory()) {
        m_onDisk.push_back(&folder);
        return;
    }
    folder.ForEachName([&](std::string_view name) {
        std::vector<const KnownFolder*>& holders = m_holders[detail::FoldName(name)];
        if (std::find(holders.begin(), holders.end(), &folder) == holders.end())
            holders.push_back(&folder);
    });
}

void KnownFolders::IndexNames(const std::vector<KnownFolder*>& folders)
{
    for (const KnownFolder* folder : folders)
        Index(*folder);
}

KnownFolders::Holders KnownFolders::HoldersOf(const std::string& name) const
{
    const auto it = m_holders.find(detail::FoldName(name));
    return Holders(it == m_holders.end() ? nullptr : &it->second, m_onDisk);
}

void KnownFolders::CopyFile(const std::string& source, const std::string& destination, bool failIfExists,
                            NameMatch match, std::optional<std::int32_t> expectedDestinationAge, CopyDone done,
                            std::optional<FileSeen> expectedSource)
{
    BeforeCopyOf(source);
    BeforeCopyOf(destination);
    // The copy is told only once a later batch is handed over or the queue
    // settles, never within its own Add: it is noted as waiting first.
    const detail::CopyOutcome where = m_queue->Add(
        {source, destination, failIfExists, match, expectedDestinationAge, m_keepReplaced, m_trashes.get(),
         expectedSource},
        [this, done = std::move(done)](int error, const detail::CopyOutcome& outcome) {
            NoteUnplaced(outcome, -1);
            NoteCopied(error, outcome);
            // A file saved over the copy the moment it was placed is not its write.
            if (error == 0 && m_onWritten && outcome.written != WrittenFile())
                m_onWritten(outcome.written);
            done(error,
                 error == 0 ? CopiedStates{outcome.writtenState, outcome.sourceState, outcome.replacedCopiedToTrash}
                            : CopiedStates{});
        });
    NoteUnplaced(where, +1);
}

int KnownFolders::CopyFile(const std::string& source, const std::string& destination, bool failIfExists,
                           NameMatch match, std::optional<std::int32_t> expectedDestinationAge)
{
    int result = 0;
    CopyFile(source, destination, failIfExists, match, expectedDestinationAge,
             [&result](int error, const CopiedStates&) { result = error; });
    Settle();
    return result;
}

void KnownFolders::Settle()
{
    m_queue->Settle();
}

void KnownFolders::NoteCopied(int error, const detail::CopyOutcome& outcome)
{
    if (!outcome.folderKnown)
        return;  // it stopped before it came to the destination's folder
    // A folder can be known under several texts (one of them a link to it).
    const auto written = m_byIdentity.find({outcome.device, outcome.inode});
    if (written == m_byIdentity.end())
        return;
    for (KnownFolder* folder : written->second) {
        if (folder->NoteCopy(outcome.name, outcome.created, error != 0) && m_indexed.contains(folder)) {
            std::vector<const KnownFolder*>& holders = m_holders[detail::FoldName(outcome.name)];
            if (std::find(holders.begin(), holders.end(), folder) == holders.end())
                holders.push_back(folder);
        }
    }
}

}  // namespace platform
