#include "platform/fs/FileSystem.h"

#include <fcntl.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <limits>
#include <memory>
#include <vector>

#include "platform/fs/CaseIndex.h"
#include "platform/fs/Drive.h"
#include "platform/fs/FileAttributes.h"
#include "platform/fs/FileSystemInternal.h"
#include "platform/fs/MountTable.h"
#include "platform/fs/TrustedPath.h"

namespace platform {

namespace {

std::unique_ptr<FileSystemTestHooks>& HookStorage()
{
    static std::unique_ptr<FileSystemTestHooks> hooks;
    return hooks;
}

// Whether the open folder fd holds no entry (an error tells nothing: not empty).
bool FolderIsEmpty(int fd)
{
    const int listing = ::openat(fd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR* dir = listing >= 0 ? ::fdopendir(listing) : nullptr;
    if (!dir) {
        if (listing >= 0)
            ::close(listing);
        return false;
    }
    bool empty = true;
    errno = 0;
    while (const dirent* entry = ::readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) {
            empty = false;
            break;
        }
    }
    empty = empty && errno == 0;
    ::closedir(dir);
    return empty;
}

}  // namespace

void SetFileSystemTestHooks(const FileSystemTestHooks& hooks)
{
    HookStorage() = std::make_unique<FileSystemTestHooks>(hooks);
}

void ClearFileSystemTestHooks()
{
    HookStorage().reset();
}

namespace detail {

const FileSystemTestHooks* ActiveTestHooks()
{
    return HookStorage().get();
}

namespace {

bool IsHexDigits(std::string_view text, std::size_t count)
{
    return text.size() == count && std::all_of(text.begin(), text.end(), [](char c) {
               return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
           });
}

}  // namespace

// The shapes of the names the program gives its temporary files, whoever's
// copy made one: a copy of another user's in a shared folder writes its own,
// and a half-written file is never copied on. Whether such a file is ours
// to remove is told by its mark (CopyTemporaries.cpp), never by its shape.
bool IsTemporaryName(std::string_view name)
{
    if (!name.starts_with(kTemporaryNamePrefix))
        return false;
    const std::string_view rest = name.substr(std::strlen(kTemporaryNamePrefix));
    constexpr std::size_t kDigits = 16;
    if (rest.starts_with("copy-")) {  // an id, '-', its mark
        const std::string_view marked = rest.substr(5);
        if (marked.size() == 2 * kDigits + 1 && marked[kDigits] == '-'
            && IsHexDigits(marked.substr(0, kDigits), kDigits) && IsHexDigits(marked.substr(kDigits + 1), kDigits))
            return true;
    }
    if (rest.starts_with("old-")) {  // a mark, '-', a name
        const std::string_view marked = rest.substr(4);
        if (marked.size() > kDigits + 1 && marked[kDigits] == '-' && IsHexDigits(marked.substr(0, kDigits), kDigits))
            return true;
    }
    // The text file writer's: its process number, '-', 16 hex digits.
    const std::size_t dash = rest.find('-');
    return dash != std::string_view::npos && dash > 0
        && std::all_of(rest.begin(), rest.begin() + static_cast<std::ptrdiff_t>(dash),
                       [](char c) { return c >= '0' && c <= '9'; })
        && IsHexDigits(rest.substr(dash + 1), kDigits);
}

std::string NewTemporaryName()
{
    static std::atomic<std::uint64_t> counter{0};
    std::uint64_t random = 0;
    if (getrandom(&random, sizeof random, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof random)) {
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        random = static_cast<std::uint64_t>(now.tv_nsec) ^ (static_cast<std::uint64_t>(now.tv_sec) << 30);
    }
    random ^= counter.fetch_add(1) * 0x9E3779B97F4A7C15ull;
    char text[40];
    std::snprintf(text, sizeof text, "%d-%016llx", static_cast<int>(getpid()), static_cast<unsigned long long>(random));
    return std::string(kTemporaryNamePrefix) + text;
}

void Fd::reset(int fd)
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = fd;
}

int CreateExclusive(int dirFd, const std::function<std::string()>& newName, mode_t mode, Fd& file, std::string& name)
{
    for (int attempt = 0; attempt <= 100; ++attempt) {
        name = newName();
        const int fd = ::openat(dirFd, name.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, mode);
        if (fd >= 0) {
            file.reset(fd);
            return 0;
        }
        if (errno != EEXIST) {
            const int error = errno;
            name.clear();
            return error;
        }
    }
    name.clear();
    return EEXIST;
}

DIR* OpenFolderListing(const std::string& path, struct stat* st)
{
    Fd opened;
    if (const int error = OpenTrusted(AT_FDCWD, path, O_RDONLY | O_DIRECTORY, LinkRule::OwnOrSystem, opened)) {
        errno = error;
        return nullptr;
    }
    const int fd = opened.release();
    DIR* dir = nullptr;
    if ((st == nullptr || ::fstat(fd, st) == 0) && (dir = ::fdopendir(fd)) != nullptr)
        return dir;
    const int error = errno;
    ::close(fd);
    errno = error;
    return nullptr;
}

bool RefusesPermissions(int error)
{
    return error == EPERM || error == ENOTSUP || error == EOPNOTSUPP || error == ENOSYS;
}

int WriteAll(int fd, const char* data, std::size_t size, std::uint64_t& bytesDone)
{
    const FileSystemTestHooks* hooks = ActiveTestHooks();
    while (size > 0) {
        std::size_t piece = size;
        if (hooks) {
            if (hooks->pieceSize != 0 && piece > hooks->pieceSize)
                piece = hooks->pieceSize;
            if (hooks->beforeWrite) {
                if (const int error = hooks->beforeWrite(bytesDone))
                    return error;
            }
        }
        const ssize_t written = ::write(fd, data, piece);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (written == 0)
            return EIO;
        data += written;
        size -= static_cast<std::size_t>(written);
        bytesDone += static_cast<std::uint64_t>(written);
    }
    return 0;
}

void SplitPath(const std::string& path, std::string& folder, std::string& name)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        folder = ".";
        name = path;
        return;
    }
    // assign() rather than substr(): GCC 12 at -O2 warns falsely (-Wrestrict)
    // about the temporary.
    if (slash == 0)
        folder.assign(1, '/');
    else
        folder.assign(path, 0, slash);
    name.assign(path, slash + 1, std::string::npos);
}

std::string PathOfOpenFolder(int fd)
{
    char procPath[64];
    std::snprintf(procPath, sizeof procPath, "/proc/self/fd/%d", fd);
    std::vector<char> buffer(PATH_MAX);
    const ssize_t length = ::readlink(procPath, buffer.data(), buffer.size());
    if (length <= 0 || static_cast<std::size_t>(length) >= buffer.size() || buffer[0] != '/')
        return {};
    return std::string(buffer.data(), static_cast<std::size_t>(length));
}

std::int32_t PackStatTime(const struct stat& st)
{
    return PackUnixTime(st.st_mtim.tv_sec);
}

}  // namespace detail

bool IsTemporaryFileName(std::string_view name)
{
    return detail::IsTemporaryName(name);
}

std::string PathOf(const std::string& folder, const std::string& name)
{
    // A '/' already at the end stays: the root gives "//name".
    return folder + "/" + name;
}

std::int32_t PackDateTime(int year, int month, int day, int hour, int minute, int second)
{
    if (year < 1980 || year > 2107)
        return -1;
    const std::uint32_t packed = (static_cast<std::uint32_t>(year - 1980) << 25)
        | (static_cast<std::uint32_t>(month) << 21) | (static_cast<std::uint32_t>(day) << 16)
        | (static_cast<std::uint32_t>(hour) << 11) | (static_cast<std::uint32_t>(minute) << 5)
        | static_cast<std::uint32_t>(second / 2);
    // From 2044 on the top bit is set: such values compare as unsigned.
    return static_cast<std::int32_t>(packed);
}

std::int32_t PackUnixTime(std::int64_t secondsSinceEpoch)
{
    // Packed times are only ever compared, never shown: from UTC, no change
    // of the clock to or from summer time can put two files in reverse order.
    // A time outside the packed range takes its nearest end, so an existing
    // file is never taken for a missing one.
    constexpr std::int64_t kFirst = 315532800;  // 1980-01-01 00:00:00
    constexpr std::int64_t kLast = 4354819199;  // 2107-12-31 23:59:59
    if (secondsSinceEpoch < kFirst)
        return PackDateTime(1980, 1, 1, 0, 0, 0);
    if (secondsSinceEpoch > kLast)
        return PackDateTime(2107, 12, 31, 23, 59, 58);
    // The civil date of a day count, in plain arithmetic: gmtime_r takes a
    // lock of the C library's, which two threads reading folders would
    // contend for, once per file.
    const std::int64_t days = secondsSinceEpoch / 86400;
    const int secondOfDay = static_cast<int>(secondsSinceEpoch % 86400);
    const std::int64_t fromMarch = days + 719468;  // days since 0000-03-01
    const std::int64_t era = fromMarch / 146097;  // 400-year cycles; the range is positive
    const std::int64_t dayOfEra = fromMarch - era * 146097;
    const std::int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t monthFromMarch = (5 * dayOfYear + 2) / 153;
    const int day = static_cast<int>(dayOfYear - (153 * monthFromMarch + 2) / 5 + 1);
    const int month = static_cast<int>(monthFromMarch < 10 ? monthFromMarch + 3 : monthFromMarch - 9);
    const int year = static_cast<int>(era * 400 + yearOfEra + (month <= 2 ? 1 : 0));
    return PackDateTime(year, month, day, secondOfDay / 3600, secondOfDay / 60 % 60, secondOfDay % 60);
}

bool IsPackedRangeEnd(std::int32_t age)
{
    static const std::int32_t first = PackUnixTime(0);
    static const std::int32_t last = PackUnixTime(std::numeric_limits<std::int64_t>::max());
    return age == first || age == last;
}

bool HoldTheSame(const std::string& path1, const std::string& path2, NameMatch match)
{
    detail::Fd files[2];
    struct stat st[2]{};
    const std::string* paths[2] = {&path1, &path2};
    for (int i = 0; i < 2; ++i) {
        std::string real;
        if (detail::StatResolved(*paths[i], st[i], real, match) != 0 || !S_ISREG(st[i].st_mode)
            || detail::OpenTrusted(AT_FDCWD, real, O_RDONLY | O_NOCTTY | O_NONBLOCK, detail::LinkRule::OwnOnly,
                                   files[i])
                != 0)
            return false;
    }
    if (st[0].st_size != st[1].st_size)
        return false;
    constexpr std::size_t kPiece = std::size_t{256} * 1024;
    std::vector<char> a(kPiece), b(kPiece);
    for (off_t at = 0; at < st[0].st_size;) {
        const ssize_t got = ::pread(files[0].get(), a.data(), kPiece, at);
        if (got <= 0)
            return false;
        std::size_t have = 0;
        while (have < static_cast<std::size_t>(got)) {
            const ssize_t more = ::pread(files[1].get(), b.data() + have, static_cast<std::size_t>(got) - have,
                                         at + static_cast<off_t>(have));
            if (more <= 0)
                return false;
            have += static_cast<std::size_t>(more);
        }
        if (std::memcmp(a.data(), b.data(), have) != 0)
            return false;
        at += got;
    }
    return true;
}

std::optional<std::int64_t> LastWriteSeconds(const std::string& path, NameMatch match)
{
    struct stat st {};
    std::string real;
    if (detail::StatResolved(path, st, real, match) != 0 || S_ISDIR(st.st_mode))
        return std::nullopt;
    return static_cast<std::int64_t>(st.st_mtim.tv_sec);
}

std::int32_t FileAge(const std::string& path, NameMatch match, bool* namesake)
{
    struct stat st {};
    std::string real;
    const int error = detail::StatResolved(path, st, real, match);
    if (namesake)
        *namesake = error == 0 && real != path;
    if (error == detail::kLinkOfAnotherUser)
        return kLinkOfAnotherUserAge;
    if (error != 0 || S_ISDIR(st.st_mode))
        return -1;
    return detail::PackStatTime(st);
}

bool FileExists(const std::string& path, NameMatch match)
{
    return FileAge(path, match) != -1;
}

int ListedFolderProblem(const std::string& folder)
{
    return ListedFolderProblem(folder, MountTable(), std::nullopt);
}

int ListedFolderProblem(const std::string& folder, const MountTable& mounts, std::optional<std::uint64_t> lastDevice,
                        std::uint64_t* device)
{
    static_assert(kPathThroughLinkOfAnotherUser == detail::kLinkOfAnotherUser);
    detail::Fd opened;
    if (const int error = detail::OpenTrusted(AT_FDCWD, folder, O_RDONLY | O_DIRECTORY, detail::LinkRule::OwnOrSystem,
                                              opened))
        return error;
    struct stat st {};
    if (::fstat(opened.get(), &st) != 0)
        return errno;
    if (device)
        *device = st.st_dev;
    // Files copied into it would land on the system drive, hidden once the
    // drive is mounted over them.
    const std::string real = detail::PathOfOpenFolder(opened.get());
    if (real.empty())
        return 0;
    if (mounts.NothingMountedAt(real))
        return ENOENT;
    if (!lastDevice || *lastDevice == st.st_dev || mounts.Mounted(real))
        return 0;
    return FolderIsEmpty(opened.get()) ? ENOENT : 0;
}

int OpenFollowingTrustedLinks(const std::string& path, int flags, mode_t mode, int& fd)
{
    detail::Fd opened;
    const int error = detail::OpenTrusted(AT_FDCWD, path, flags, detail::LinkRule::OwnOrSystem, opened, mode);
    fd = opened.release();
    return error;
}

FolderLookup::FolderLookup(const std::string& folder) : m_folder(folder)
{
    // O_PATH: only names are looked up from it, so no read right is needed
    // beyond what a lookup by path needs. An empty text stays a path: it
    // puts names at the root.
    if (!folder.empty())
        m_fd = ::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
}

FolderLookup::~FolderLookup()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

std::int32_t FolderLookup::FileAge(const std::string& name, NameMatch match, bool* namesake) const
{
    struct stat st {};
    const int error = detail::StatResolvedAt(m_fd, m_folder, name, st, match, namesake);
    if (error == detail::kLinkOfAnotherUser)
        return kLinkOfAnotherUserAge;
    if (error != 0 || S_ISDIR(st.st_mode))
        return -1;
    return detail::PackStatTime(st);
}

bool FolderLookup::FileExists(const std::string& name, NameMatch match) const
{
    return FileAge(name, match) != -1;
}

NameMatch FolderLookup::MatchElsewhere(const std::string& name) const
{
    // The folder as a case-blind lookup of the name's path names it, so
    // that both share one index.
    std::string folder;
    std::string ownName;
    detail::SplitPath(PathOf(m_folder, name), folder, ownName);
    struct stat folderNow {};
    const bool open = m_fd >= 0 && ::fstat(m_fd, &folderNow) == 0;
    const bool twin = detail::CaseIndex::Instance().HasCaseTwin(folder, ownName, open ? &folderNow : nullptr);
    return twin ? NameMatch::Exact : NameMatch::CaseBlind;
}

bool FileIsReadOnly(const std::string& path, NameMatch match)
{
    struct stat st {};
    std::string real;
    if (detail::StatResolved(path, st, real, match) != 0)
        return true;
    if ((st.st_mode & S_IWUSR) == 0)
        return true;
    if (DriveAt(real).modesTellWritable)
        return false;
    std::string folder;
    std::string name;
    detail::SplitPath(real, folder, name);
    const detail::Fd dir(::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    return dir.get() >= 0 && detail::DriveRefusesWriting(dir.get(), name, st);
}

bool MayReplace(const std::string& path, NameMatch match)
{
    if (FileIsReadOnly(path, match))
        return false;
    std::string real;
    struct stat st {};
    if (detail::StatResolved(path, st, real, match) != 0)
        return false;
    std::string folder;
    std::string name;
    detail::SplitPath(real, folder, name);
    const detail::Fd dir(::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    return dir.get() >= 0 && detail::RefuseUnwritable(dir.get(), name) == 0;
}

bool HoldTheSameBytes(const std::string& path1, const std::string& path2, NameMatch match)
{
    struct stat st1 {};
    struct stat st2 {};
    std::string real;
    if (detail::StatResolved(path1, st1, real, match) != 0 || detail::StatResolved(path2, st2, real, match) != 0
        || st1.st_size != st2.st_size)
        return false;
    // A drive that keeps whole seconds only gives two saves one time.
    if (st1.st_mtim.tv_nsec != 0 && st1.st_mtim.tv_sec == st2.st_mtim.tv_sec
        && st1.st_mtim.tv_nsec == st2.st_mtim.tv_nsec)
        return true;
    return HoldTheSame(path1, path2, match);
}

bool DirectoryExists(const std::string& path)
{
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool CreateDir(const std::string& path)
{
    return !path.empty() && ::mkdir(path.c_str(), 0777) == 0;
}

bool ForceDirectories(const std::string& path)
{
    std::string folder = path;
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    if (folder.empty())
        return false;
    if (DirectoryExists(folder))
        return true;
    const std::size_t slash = folder.rfind('/');
    if (slash != std::string::npos && slash > 0 && !ForceDirectories(folder.substr(0, slash)))
        return false;
    if (::mkdir(folder.c_str(), 0777) == 0)
        return true;
    // Made meanwhile by someone else is as good.
    return errno == EEXIST && DirectoryExists(folder);
}

bool SetCurrentDir(const std::string& path)
{
    return !path.empty() && ::chdir(path.c_str()) == 0;
}

std::string GetCurrentDir()
{
    std::vector<char> buffer(4096);
    while (true) {
        if (::getcwd(buffer.data(), buffer.size()))
            return std::string(buffer.data());
        if (errno != ERANGE)
            return std::string();
        buffer.resize(buffer.size() * 2);
    }
}

bool DeleteFile(const std::string& path)
{
    struct stat st {};
    std::string real;
    if (detail::LstatResolved(path, st, real) != 0 || S_ISDIR(st.st_mode))
        return false;
    return ::unlink(real.c_str()) == 0;
}

}  // namespace platform
