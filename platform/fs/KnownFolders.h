#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "platform/fs/FileSystem.h"
#include "platform/fs/KnownFolder.h"
#include "platform/fs/WrittenFile.h"

namespace platform {

class CopyQueue;
namespace detail {
struct CopyOutcome;
class TrashFolders;
}  // namespace detail

// The folders one pass of a run works on (a pre-count, or a body), each
// listed once and then answered from memory, and kept right by every copy
// the pass makes: the name a copy wrote (wherever a link or another spelling
// of the name led it) is looked at again when next asked for, and a name it
// created is added, in every known folder that is the one written to. So a
// later lookup finds what an earlier copy did, as a look at the disk would.
// What other programs change meanwhile is not seen; the copy's own checks
// still refuse to replace a file that changed since the run looked at it.
class KnownFolders {
public:
    KnownFolders();
    ~KnownFolders();
    KnownFolders(const KnownFolders&) = delete;
    KnownFolders& operator=(const KnownFolders&) = delete;

    // The folder PathOf(folderText, name) finds its names in; listed when
    // first asked for.
    KnownFolder& NamesIn(const std::string& folderText);
    // The folder a directory search by mask reads, and in pattern the mask's
    // last part. A folder the pass copied into since it was listed is listed
    // again: a search reads a folder's names when it opens.
    KnownFolder& Searched(const std::string& mask, std::string& pattern);

    // Lists the folders of these folder texts that are not known yet (or
    // were copied into since), on two threads when there is much to read.
    void Read(const std::vector<std::string>& folderTexts);
    // Reads the two folders of a pair afresh, then looks at what searches
    // of them by pattern and attrMask would look at and lookups from one in
    // the other would ask about: in folder1 every name, or with
    // sharedNamesOnly those folder2 holds too; in folder2 those folder1
    // holds too. On two threads when there is much to read and look at.
    void ReadPair(const std::string& folder1, const std::string& folder2, const std::string& pattern,
                  std::uint32_t attrMask, bool sharedNamesOnly);

    // Drops what is known of a folder no longer needed, unless it is one
    // IndexNames was given.
    void Forget(const KnownFolder& folder);

    // Indexes the names of these folders by their case-folded form, so that
    // a name's lookups can pass over every folder that cannot hold it.
    void IndexNames(const std::vector<KnownFolder*>& folders);
    // The indexed folders that may hold a name: a folder that holds it, or a
    // name equal to it but for case, or that is looked up on the disk.
    class Holders {
    public:
        Holders(const std::vector<const KnownFolder*>* folders, const std::vector<const KnownFolder*>& onDisk)
            : m_folders(folders),
              m_onDisk(onDisk)
        {
        }
        // folder: one that IndexNames was given. Asked for every folder of
        // List 2 and every entry of List 1, so it compares addresses only:
        // a look into each of a thousand folders costs a cache miss.
        bool MayHold(const KnownFolder& folder) const
        {
            return (m_folders && Holds(*m_folders, folder)) || Holds(m_onDisk, folder);
        }

    private:
        static bool Holds(const std::vector<const KnownFolder*>& folders, const KnownFolder& folder)
        {
            for (const KnownFolder* holder : folders) {
                if (holder == &folder)
                    return true;
            }
            return false;
        }

        const std::vector<const KnownFolder*>* m_folders;
        const std::vector<const KnownFolder*>& m_onDisk;
    };
    Holders HoldersOf(const std::string& name) const;

    // Told once a copy is in place, or why it is not: 0 or the errno.
    // What a copy in place left in step: the states (FileState.h) of what it
    // wrote and of its source as it read it; 0 when it failed.
    struct CopiedStates {
        std::uint64_t written = 0;
        std::uint64_t source = 0;
        // The file replaced was kept in the home Trash by a copy.
        bool replacedCopiedToTrash = false;
    };
    using CopyDone = std::function<void(int error, const CopiedStates& states)>;

    // platform::CopyFile, with what it changed made known, and made in
    // batches whose content reaches the disk before their names do: the
    // copy is written now and put in place later, when done is told. Until
    // then, a lookup of the name it writes and a copy that reads or writes
    // that name first put it in place, so that they find what a copy made
    // at once would have left.
    void CopyFile(const std::string& source, const std::string& destination, bool failIfExists, NameMatch match,
                  std::optional<std::int32_t> expectedDestinationAge, CopyDone done,
                  std::optional<FileSeen> expectedSource = {});
    // One copy, in place when it returns: 0 or why not.
    int CopyFile(const std::string& source, const std::string& destination, bool failIfExists,
                 NameMatch match = NameMatch::CaseBlind, std::optional<std::int32_t> expectedDestinationAge = {});
    // Whether the copies of the pass keep the files they replace in the
    // desktop's Trash (off unless set).
    void SetKeepReplaced(bool keep);
    // Told of each file a copy wrote, once it is in place, before its done.
    void SetOnWritten(std::function<void(const WrittenFile&)> written) { m_onWritten = std::move(written); }

    // Puts every copy made so far in place, telling each. What is not in
    // place when the KnownFolders ends is dropped: nothing is replaced.
    void Settle();

private:
    KnownFolder& Get(const std::string& folder, bool read);
    // Puts the copies in place that write name in folder, if any wait.
    void BeforeLookingAt(const KnownFolder& folder, std::string_view name);
    void BeforeCopyOf(const std::string& path);
    bool HasUnplaced(const KnownFolder& folder) const;
    void NoteUnplaced(const detail::CopyOutcome& where, int change);
    void NoteCopied(int error, const detail::CopyOutcome& outcome);
    // Reads folders through these two, so that copies find them by identity.
    void ReadOne(KnownFolder& folder, bool keepOpen);
    std::vector<KnownFolder*> ToRead(const std::vector<std::string>& folderTexts);
    void ReadAll(const std::vector<KnownFolder*>& folders, bool keepOpen);
    void Index(const KnownFolder& folder);

    std::unordered_map<std::string, std::unique_ptr<KnownFolder>> m_folders;
    std::map<std::pair<dev_t, ino_t>, std::vector<KnownFolder*>> m_byIdentity;
    void Unidentify(const KnownFolder& folder);
    void Identify(KnownFolder& folder);
    std::unordered_set<const KnownFolder*> m_indexed;
    std::unordered_map<std::string, std::vector<const KnownFolder*>> m_holders;
    // Indexed folders looked up on the disk: they may hold any name.
    std::vector<const KnownFolder*> m_onDisk;
    bool m_keepReplaced = false;
    std::function<void(const WrittenFile&)> m_onWritten;
    // The Trashes the pass keeps replaced files in, opened once each.
    std::unique_ptr<detail::TrashFolders> m_trashes;
    std::unique_ptr<CopyQueue> m_queue;
    // The case-folded names that copies waiting in the queue write, by
    // the folder they write them in.
    std::map<std::pair<dev_t, ino_t>, std::unordered_map<std::string, int>> m_unplaced;
};

}  // namespace platform
