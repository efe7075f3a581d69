#pragma once

#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <string>

namespace platform {

// One entry as a search yields it.
struct TSearchRec {
    std::string Name;  // without folder
    std::int32_t Time = 0;  // packed last-write time
    std::uint32_t Attr = 0;
    // Where the search looked at the entry: its drive and state
    // (FileState.h), so that a copy can tell that the file it opens is the
    // one the run compared (0 where not known).
    dev_t Device = 0;
    std::uint64_t State = 0;
};

// True when name matches a wildcard pattern: '*' any run, '?' one character,
// letter case ignored, "*.*" every name (also one without a dot).
bool MatchesMask(const std::string& name, const std::string& pattern);

// A search over one folder. The mask is a folder path, '/', and a wildcard
// pattern ("/data/Docs/*.txt"). The folder's names are read when the search
// opens, so files copied into the folder while it is open are not yielded,
// and the copy's temporary files never are. An entry is skipped when its
// attributes hold any of hidden, system, volume label or directory that is
// not in attrMask (the skip set is ~attrMask & 0x1E); "." and ".." come with
// the others when directories are not skipped.
class DirectorySearch {
public:
    DirectorySearch();
    ~DirectorySearch();
    DirectorySearch(const DirectorySearch&) = delete;
    DirectorySearch& operator=(const DirectorySearch&) = delete;

    // Opens the search; true with the first entry in rec, false when nothing
    // matches or the folder cannot be read (the search is then closed).
    bool FindFirst(const std::string& mask, std::uint32_t attrMask, TSearchRec& rec);
    // As FindFirst, for a caller that uses only the names and the kind of
    // each entry: where the folder's listing already tells the kind (a
    // regular file, a folder, a device), the entry is yielded without a look
    // of its own, so its Time is -1, its read-only bit is not set, and a name
    // gone before its turn is still yielded. Links, and entries whose kind
    // the file system does not list, are looked at as FindFirst does.
    bool FindFirstNames(const std::string& mask, std::uint32_t attrMask, TSearchRec& rec);
    // The next entry; false after the last one.
    bool FindNext(TSearchRec& rec);
    void FindClose();

private:
    bool Open(const std::string& mask, std::uint32_t attrMask, bool namesOnly, TSearchRec& rec);

    struct State;
    std::unique_ptr<State> m_state;
};

}  // namespace platform
