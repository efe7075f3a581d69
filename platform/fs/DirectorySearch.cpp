#include "platform/fs/DirectorySearch.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

#include "platform/fs/CaseFold.h"
#include "platform/fs/FileSystem.h"
#include "platform/fs/FileSystemInternal.h"

namespace platform {

namespace detail {

SearchPattern::SearchPattern(const std::string& text)
{
    // "*.*" is every name, also one without a dot; likewise "name.*"
    // matches "name" itself.
    m_everything = text == "*" || text == "*.*";
    DecodeUtf8(text, m_points);
    for (char32_t& c : m_points)
        c = FoldCase(c);
    const std::size_t n = m_points.size();
    m_dotStarTail = n >= 2 && m_points[n - 2] == U'.' && m_points[n - 1] == U'*';
}

bool SearchPattern::Matches(std::string_view name) const
{
    if (m_everything)
        return true;
    thread_local std::vector<char32_t> points;
    DecodeUtf8(name, points);
    for (char32_t& c : points)
        c = FoldCase(c);
    if (Match(points, m_points.size()))
        return true;
    return m_dotStarTail && Match(points, m_points.size() - 2);
}

// Greedy matching with one remembered '*': linear for the usual masks, and
// never worse than names times pattern.
bool SearchPattern::Match(const std::vector<char32_t>& name, std::size_t patternLength) const
{
    std::size_t n = 0;
    std::size_t p = 0;
    std::size_t starP = std::string::npos;
    std::size_t starN = 0;
    while (n < name.size()) {
        if (p < patternLength && m_points[p] == U'*') {
            starP = p++;
            starN = n;
        } else if (p < patternLength && (m_points[p] == U'?' || m_points[p] == name[n])) {
            ++p;
            ++n;
        } else if (starP != std::string::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < patternLength && m_points[p] == U'*')
        ++p;
    return p == patternLength;
}

bool IsDotOrDotDot(std::string_view name)
{
    return name == "." || name == "..";
}

namespace {

std::uint32_t HiddenBit(std::string_view name)
{
    return name.size() > 1 && name[0] == '.' && !IsDotOrDotDot(name) ? faHidden : 0;
}

}  // namespace

std::uint32_t AttributesOf(std::string_view name, mode_t mode)
{
    std::uint32_t attr = HiddenBit(name);
    if (S_ISREG(mode))
        attr |= faArchive;
    else if (S_ISDIR(mode))
        attr |= faDirectory;
    else
        attr |= faSysFile;
    if ((mode & S_IWUSR) == 0)
        attr |= faReadOnly;
    return attr;
}

std::uint32_t AttributesOfListedKind(std::string_view name, unsigned char kind)
{
    switch (kind) {
    case DT_REG: return faArchive | HiddenBit(name);
    case DT_DIR: return faDirectory | HiddenBit(name);
    case DT_FIFO:
    case DT_CHR:
    case DT_BLK:
    case DT_SOCK: return faSysFile | HiddenBit(name);
    default: return 0;
    }
}

}  // namespace detail

using detail::AttributesOf;
using detail::AttributesOfListedKind;
using detail::IsDotOrDotDot;

bool MatchesMask(const std::string& name, const std::string& pattern)
{
    return detail::SearchPattern(pattern).Matches(name);
}

struct DirectorySearch::State {
    DIR* dir = nullptr;
    std::uint32_t skip = 0;
    // The names the folder held when the search opened, one after the other
    // with a '\0' after each, and where each begins.
    std::string names;
    std::vector<std::size_t> starts;
    std::size_t next = 0;
    // Names only: the listed kind of each name, in step with starts.
    bool namesOnly = false;
    std::vector<unsigned char> kinds;

    ~State()
    {
        if (dir)
            closedir(dir);
    }
};

DirectorySearch::DirectorySearch() = default;

DirectorySearch::~DirectorySearch() = default;

bool DirectorySearch::FindFirst(const std::string& mask, std::uint32_t attrMask, TSearchRec& rec)
{
    return Open(mask, attrMask, false, rec);
}

bool DirectorySearch::FindFirstNames(const std::string& mask, std::uint32_t attrMask, TSearchRec& rec)
{
    return Open(mask, attrMask, true, rec);
}

bool DirectorySearch::Open(const std::string& mask, std::uint32_t attrMask, bool namesOnly, TSearchRec& rec)
{
    FindClose();
    std::string folder;
    std::string patternText;
    detail::SplitPath(mask, folder, patternText);

    auto state = std::make_unique<State>();
    state->dir = detail::OpenFolderListing(folder, nullptr);
    if (!state->dir)
        return false;
    state->skip = ~attrMask & detail::kSkippableAttributes;
    state->namesOnly = namesOnly;

    // Read every name now: what lands in the folder while the search is
    // open (the run copies into the very folder it searches) is not seen.
    // Names the pattern or the entry type already rule out are not kept,
    // and never cost a stat.
    const detail::SearchPattern pattern(patternText);
    const bool skipHidden = (state->skip & faHidden) != 0;
    const bool skipDirs = (state->skip & faDirectory) != 0;
    const bool skipSystem = (state->skip & faSysFile) != 0;
    while (const dirent* entry = readdir(state->dir)) {
        const std::string_view name(entry->d_name);
        if (detail::IsTemporaryName(name))
            continue;
        const bool dots = IsDotOrDotDot(name);
        if (dots ? skipDirs : (skipHidden && name[0] == '.'))
            continue;
        switch (entry->d_type) {
        case DT_DIR:
            if (skipDirs)
                continue;
            break;
        case DT_FIFO:
        case DT_CHR:
        case DT_BLK:
        case DT_SOCK:
            if (skipSystem)
                continue;
            break;
        default: break;  // regular files, links and unknown types are looked at later
        }
        if (!pattern.Matches(name))
            continue;
        state->starts.push_back(state->names.size());
        state->names.append(name);
        state->names.push_back('\0');
        if (namesOnly)
            state->kinds.push_back(entry->d_type);
    }
    m_state = std::move(state);
    if (FindNext(rec))
        return true;
    FindClose();
    return false;
}

bool DirectorySearch::FindNext(TSearchRec& rec)
{
    if (!m_state)
        return false;
    State& state = *m_state;
    const int fd = dirfd(state.dir);
    while (state.next < state.starts.size()) {
        const std::size_t index = state.next++;
        const char* name = state.names.c_str() + state.starts[index];
        if (state.namesOnly) {
            if (const std::uint32_t attr = AttributesOfListedKind(name, state.kinds[index])) {
                if ((attr & state.skip) != 0)
                    continue;
                rec.Name = name;
                rec.Attr = attr;
                rec.Time = -1;
                rec.Device = 0;
                return true;
            }
        }
        struct stat st {};
        // Links are followed; one that leads nowhere is shown as what it is,
        // a system entry. A name that is gone by now is passed over.
        if (::fstatat(fd, name, &st, 0) != 0 && ::fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        const std::uint32_t attr = AttributesOf(name, st.st_mode);
        if ((attr & state.skip) != 0)
            continue;
        rec.Name = name;
        rec.Attr = attr;
        rec.Time = detail::PackStatTime(st);
        rec.Device = st.st_dev;
        return true;
    }
    return false;
}

void DirectorySearch::FindClose()
{
    m_state.reset();
}

}  // namespace platform
