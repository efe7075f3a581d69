#include "platform/state/PairMemory.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <thread>
#include <unordered_set>
#include <vector>

namespace platform {

namespace {

// The version of the memory's tables; a memory of a later one is set aside.
// 2: each folder's drive, as a run last saw it.
constexpr int kVersion = 2;

// A name's 64-bit hash (FNV-1a, then mixed): what the pairs read are found by.
std::uint64_t HashOf(const char* name, std::size_t size)
{
    std::uint64_t hash = 0xCBF29CE484222325ULL;
    for (std::size_t i = 0; i < size; ++i) {
        hash ^= static_cast<unsigned char>(name[i]);
        hash *= 0x100000001B3ULL;
    }
    hash ^= hash >> 33;
    hash *= 0xFF51AFD7ED558CCDULL;
    hash ^= hash >> 33;
    // 0 marks a free slot of the pairs read.
    return hash == 0 ? 1 : hash;
}

std::uint64_t HashOf(const std::string& name)
{
    return HashOf(name.data(), name.size());
}

}  // namespace

namespace detail {

// One prepared statement, finalised when it goes.
class Statement {
public:
    Statement(sqlite3* db, const char* sql)
    {
        m_ok = sqlite3_prepare_v2(db, sql, -1, &m_statement, nullptr) == SQLITE_OK;
    }
    ~Statement() { sqlite3_finalize(m_statement); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool Ok() const { return m_ok; }
    Statement& Bind(int at, std::int64_t value)
    {
        m_ok = m_ok && sqlite3_bind_int64(m_statement, at, value) == SQLITE_OK;
        return *this;
    }
    Statement& Bind(int at, const std::string& text)
    {
        m_ok = m_ok
            && sqlite3_bind_blob(m_statement, at, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT)
                == SQLITE_OK;
        return *this;
    }
    // SQLITE_ROW, SQLITE_DONE, or the failure.
    int Step() { return m_ok ? sqlite3_step(m_statement) : SQLITE_ERROR; }
    std::int64_t Integer(int column) const { return sqlite3_column_int64(m_statement, column); }
    std::size_t Bytes(int column) const { return static_cast<std::size_t>(sqlite3_column_bytes(m_statement, column)); }
    const void* BlobData(int column) const { return sqlite3_column_blob(m_statement, column); }
    // The hash of a blob column, read in place.
    std::uint64_t HashOfBlob(int column) const
    {
        const auto* data = static_cast<const char*>(sqlite3_column_blob(m_statement, column));
        return HashOf(data ? data : "", static_cast<std::size_t>(sqlite3_column_bytes(m_statement, column)));
    }
    std::string Blob(int column) const
    {
        const auto* data = static_cast<const char*>(sqlite3_column_blob(m_statement, column));
        return data ? std::string(data, static_cast<std::size_t>(sqlite3_column_bytes(m_statement, column)))
                    : std::string();
    }
    void Reset()
    {
        sqlite3_reset(m_statement);
        sqlite3_clear_bindings(m_statement);
    }

private:
    sqlite3_stmt* m_statement = nullptr;
    bool m_ok = false;
};

}  // namespace detail

namespace {

using detail::Statement;

bool Damaged(int code)
{
    const int primary = code & 0xFF;
    return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB;
}

std::int64_t Stored(std::uint64_t state)
{
    return static_cast<std::int64_t>(state);
}

std::uint64_t Loaded(std::int64_t value)
{
    return static_cast<std::uint64_t>(value);
}

}  // namespace

// Pairs remembered in this run and not read back: Recall finds them here
// first, so that a run that copies a hundred thousand files does not sort
// them in one by one.
struct PairMemoryRecent {
    std::unordered_set<std::uint64_t> keys;
};

PairMemory::PairMemory(std::string path, std::chrono::milliseconds lockWait)
    : m_path(std::move(path)),
      m_lockWait(lockWait)
{
}

PairMemory::~PairMemory()
{
    // Whoever answered the stop query may be gone already.
    m_stop = nullptr;
    Commit();
    Close();
}

std::string PairMemory::DefaultPath()
{
    const char* state = std::getenv("XDG_STATE_HOME");
    std::string folder;
    if (state && state[0] == '/') {
        folder = state;
    } else {
        const char* home = std::getenv("HOME");
        folder = std::string(home ? home : "") + "/.local/state";
    }
    return folder + "/Folderly/memory.db";
}

std::string PairMemory::FolderKey(const std::string& folder)
{
    std::string key;
    for (const char c : folder) {
        if (c != '/' || key.empty() || key.back() != '/')
            key += c;
    }
    while (key.size() > 1 && key.back() == '/')
        key.pop_back();
    return key;
}

void PairMemory::Close()
{
    // What was read stays readable until Forget: a run holds it.
    m_insert.reset();
    m_recall.reset();
    if (m_db)
        sqlite3_close_v2(m_db);
    m_db = nullptr;
    m_inTransaction = false;
    m_folderIds.clear();
}

PairMemory::Cause PairMemory::CauseNow() const
{
    if (!m_db)
        return {SQLITE_CANTOPEN, std::strerror(errno)};
    Cause cause{sqlite3_extended_errcode(m_db), sqlite3_errmsg(m_db)};
    if (m_stopped) {
        cause.text = "the program is ending";
        return cause;
    }
    // SQLite's words for a failure of the system ("disk I/O error") do not
    // say what failed: the system's do.
    const int primary = cause.code & 0xFF;
    const int system = sqlite3_system_errno(m_db);
    if ((primary == SQLITE_IOERR || primary == SQLITE_CANTOPEN || primary == SQLITE_FULL) && system != 0)
        cause.text += std::string(": ") + std::strerror(system);
    return cause;
}

void PairMemory::Failed(const char* what)
{
    Failed(what, CauseNow());
}

void PairMemory::Failed(const char* what, const Cause& cause)
{
    if (Damaged(cause.code)) {
        SetAside("it is damaged (" + cause.text + ")");
        return;
    }
    m_problem = "The memory of earlier runs (" + m_path + ") could not be " + what + " (" + cause.text
        + "): edits made on both sides are not watched for in this run";
    Close();
    m_unusable = true;
}

void PairMemory::SetAside(const std::string& why)
{
    Close();
    std::string aside;
    std::error_code error;
    for (int n = 1; n < 1000; ++n) {
        aside = m_path + ".set-aside-" + std::to_string(n);
        if (!std::filesystem::exists(aside, error))
            break;
    }
    std::filesystem::rename(m_path, aside, error);
    for (const char* part : {"-wal", "-shm"})
        std::filesystem::rename(m_path + part, aside + part, error);
    m_problem = "The memory of earlier runs (" + m_path + ") was set aside as " + aside + ": " + why
        + ". Edits made on both sides are not watched for in this run; runs remember anew";
}

namespace {

// Takes the bits of group and others off path, a folder or a file as
// asked (never a link), where they are set. By its name: a descriptor of
// the memory opened and closed here would drop the locks SQLite holds on it
// in this process.
void Narrow(const std::string& path, bool folder)
{
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && (folder ? S_ISDIR(st.st_mode) : S_ISREG(st.st_mode))
        && (st.st_mode & 077) != 0)
        ::chmod(path.c_str(), st.st_mode & 07700);
}

}  // namespace

void PairMemory::MakePrivate() const
{
    const std::filesystem::path folder = std::filesystem::path(m_path).parent_path();
    std::error_code error;
    if (folder.has_parent_path())
        std::filesystem::create_directories(folder.parent_path(), error);
    ::mkdir(folder.c_str(), 0700);
    Narrow(folder, true);
    // A new memory is made here before SQLite would make it with the
    // umask's bits: its -wal and -shm take the bits the database has.
    const int fd = ::open(m_path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd >= 0)
        ::close(fd);
    // One made with wider bits (by an earlier version) is narrowed, and so
    // are its companions and the copies set aside.
    const std::string name = std::filesystem::path(m_path).filename().string();
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        if (entry.path().filename().string().starts_with(name))
            Narrow(entry.path().string(), false);
    }
}

int PairMemory::BusyWait(void* memory, int count)
{
    using namespace std::chrono;
    auto& self = *static_cast<PairMemory*>(memory);
    const auto now = steady_clock::now();
    if (count == 0)
        self.m_lockWaitEnd = std::min(now + self.m_lockWait, self.m_setUpEnd);
    if (self.Stopping()) {
        self.m_stopped = true;
        return 0;
    }
    if (now >= self.m_lockWaitEnd)
        return 0;
    // Short steps: the lock may go at any moment, and the program be told to end.
    const auto step = milliseconds(std::min(count + 1, 20));
    std::this_thread::sleep_for(std::min<steady_clock::duration>(step, self.m_lockWaitEnd - now));
    return 1;
}

// sqlite3_exec, waiting for another copy of the program that sets up the
// same new memory at this moment: a journal's mode changes only while
// nobody else reads, and no busy handler waits for that. The set-up's end
// ends the waiting.
int PairMemory::ExecWaiting(const char* sql)
{
    while (true) {
        const int result = sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr);
        if ((result != SQLITE_BUSY && result != SQLITE_LOCKED) || std::chrono::steady_clock::now() >= m_setUpEnd)
            return result;
        if (Stopping()) {
            m_stopped = true;
            return result;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

bool PairMemory::Begin()
{
    if (m_inTransaction)
        return true;
    if (sqlite3_exec(m_db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) != SQLITE_OK) {
        Failed("written");
        return false;
    }
    m_inTransaction = true;
    return true;
}

bool PairMemory::Ready()
{
    if (m_unusable)
        return false;
    if (m_db)
        return true;
    // However the memory is found (locked before its tables exist, say), its
    // set-up waits no longer than one use of a memory set up does.
    m_setUpEnd = std::chrono::steady_clock::now() + m_lockWait;
    const bool ready = SetUp();
    m_setUpEnd = std::chrono::steady_clock::time_point::max();
    return ready;
}

bool PairMemory::SetUp()
{
    // A memory set aside is followed by a fresh one, once.
    for (int attempt = 0; attempt < 2; ++attempt) {
        const Attempt tried = OpenOnce();
        if (tried != Attempt::Again)
            return tried == Attempt::Done;
    }
    return false;
}

PairMemory::Attempt PairMemory::FailedTo(const char* what)
{
    Failed(what);
    return m_unusable ? Attempt::Failed : Attempt::Again;
}

bool PairMemory::ReadVersion(std::int64_t& found)
{
    Statement read(m_db, "PRAGMA user_version");
    if (read.Step() != SQLITE_ROW)
        return false;
    found = read.Integer(0);
    return true;
}

PairMemory::Attempt PairMemory::OpenOnce()
{
    MakePrivate();
    // One thread uses it: SQLite's own locks would only cost time.
    if (sqlite3_open_v2(m_path.c_str(), &m_db,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOFOLLOW | SQLITE_OPEN_NOMUTEX,
                        nullptr)
        != SQLITE_OK) {
        Failed("opened");
        return Attempt::Failed;
    }
    // Another copy of the program (the window, folderly --run or --watch)
    // may be writing: it is waited for.
    sqlite3_busy_handler(m_db, &PairMemory::BusyWait, this);
    std::int64_t found = 0;
    if (!ReadVersion(found))
        return FailedTo("read");
    if (found > kVersion) {
        SetAside("it was made by a later version of Folderly");
        return Attempt::Again;
    }
    if (ExecWaiting("PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;") != SQLITE_OK)
        return FailedTo("set up");
    // A known memory is not written.
    return found == kVersion ? Attempt::Done : MakeTables();
}

// A new memory gets its tables, one of an earlier version what this one
// adds, keeping its pairs; another copy may be doing the same meanwhile.
PairMemory::Attempt PairMemory::MakeTables()
{
    if (ExecWaiting("BEGIN IMMEDIATE") != SQLITE_OK)
        return FailedTo("set up");
    std::int64_t found = 0;
    if (!ReadVersion(found) || found > kVersion) {
        const Cause cause = CauseNow();
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
        if (found <= kVersion) {
            Failed("read", cause);
            return m_unusable ? Attempt::Failed : Attempt::Again;
        }
        SetAside("it was made by a later version of Folderly");
        return Attempt::Again;
    }
    const char* tables = "CREATE TABLE IF NOT EXISTS folder(id INTEGER PRIMARY KEY, path BLOB UNIQUE NOT NULL,"
                         " device INTEGER);"
                         "CREATE TABLE IF NOT EXISTS pair(first INTEGER NOT NULL, second INTEGER NOT NULL,"
                         " name BLOB NOT NULL, state1 INTEGER NOT NULL, state2 INTEGER NOT NULL,"
                         " PRIMARY KEY(first, second, name)) WITHOUT ROWID;"
                         "CREATE TABLE IF NOT EXISTS digest(first INTEGER NOT NULL, second INTEGER NOT NULL,"
                         " keys BLOB NOT NULL, PRIMARY KEY(first, second));";
    const std::string mark = "PRAGMA user_version=" + std::to_string(kVersion) + "; COMMIT";
    // A folder table of version 1 has no drive: it gets one.
    if (sqlite3_exec(m_db, tables, nullptr, nullptr, nullptr) != SQLITE_OK
        || (!Statement(m_db, "SELECT device FROM folder").Ok()
            && sqlite3_exec(m_db, "ALTER TABLE folder ADD COLUMN device INTEGER", nullptr, nullptr, nullptr)
                != SQLITE_OK)
        || sqlite3_exec(m_db, mark.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) {
        const Cause cause = CauseNow();
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
        Failed("set up", cause);
        return m_unusable ? Attempt::Failed : Attempt::Again;
    }
    return Attempt::Done;
}

std::int64_t PairMemory::FolderId(const std::string& folder, bool make)
{
    const std::string key = FolderKey(folder);
    if (const auto known = m_folderIds.find(key); known != m_folderIds.end())
        return known->second;
    // Asked first, made only when missing: a run that finds every folder
    // known writes nothing.
    Statement select(m_db, "SELECT id FROM folder WHERE path = ?1");
    int found = select.Bind(1, key).Step();
    if (found == SQLITE_DONE && !make)
        return 0;
    if (found == SQLITE_DONE) {
        Statement insert(m_db, "INSERT OR IGNORE INTO folder(path) VALUES(?1)");
        select.Reset();
        if (insert.Bind(1, key).Step() != SQLITE_DONE) {
            Failed("written");
            return 0;
        }
        found = select.Bind(1, key).Step();
    }
    if (found != SQLITE_ROW) {
        Failed("read");
        return 0;
    }
    return m_folderIds[key] = select.Integer(0);
}

namespace {

// What a remembered pair is known by among the pairs read.
std::uint64_t KeyOf(std::uint64_t nameHash, PairMemory::Sides sides)
{
    std::uint64_t key = nameHash;
    for (const std::uint64_t side : {sides.first, sides.second}) {
        key ^= side + 0x9E3779B97F4A7C15ULL + (key << 6) + (key >> 2);
        key = (key ^ (key >> 31)) * 0xBF58476D1CE4E5B9ULL;
    }
    key ^= key >> 29;
    return key == 0 ? 1 : key;
}

// The slot of an open-addressing table of size slots where key is looked
// for first: the key scaled to the size, so that the size need be no power
// of two.
std::size_t HomeOf(std::uint64_t key, std::size_t slots)
{
    // The key's high half times the size, divided by 2^32 (sizes are far
    // below 2^32 slots).
    return static_cast<std::size_t>(((key >> 32) * static_cast<std::uint64_t>(slots)) >> 32);
}

// The size of the table of count keys: at most three quarters full.
std::size_t SlotsFor(std::size_t count)
{
    return count * 4 / 3 + 16;
}

// Whether a table read back is one SlotsFor made: as many slots as its keys
// need, the rest free.
bool AddsUp(const std::vector<std::uint64_t>& keys)
{
    const auto used = static_cast<std::size_t>(
        std::count_if(keys.begin(), keys.end(), [](std::uint64_t key) { return key != 0; }));
    return keys.size() == SlotsFor(used);
}

// Puts key in the open-addressing table keys (0 is a free slot).
void AddKey(std::vector<std::uint64_t>& keys, const std::uint64_t key)
{
    std::size_t at = HomeOf(key, keys.size());
    while (keys[at] != 0 && keys[at] != key)
        at = at + 1 == keys.size() ? 0 : at + 1;
    keys[at] = key;
}

}  // namespace

bool PairMemory::Folders::Holds(const std::string& name, Sides sides) const
{
    const std::uint64_t key = KeyOf(HashOf(name), sides);
    if (m_recent && m_recent->keys.contains(key))
        return true;
    if (m_keys.empty())
        return false;
    // Open addressing: the key's own slot, or the next ones until a free
    // one; never more than the table holds, whatever its bytes became.
    std::size_t at = HomeOf(key, m_keys.size());
    for (std::size_t probes = 0; probes < m_keys.size(); ++probes) {
        if (m_keys[at] == key)
            return true;
        if (m_keys[at] == 0)
            return false;
        at = at + 1 == m_keys.size() ? 0 : at + 1;
    }
    return false;
}

const PairMemory::Folders& PairMemory::Pairs(const std::string& folder1, const std::string& folder2)
{
    static const Folders kNone;
    if (!Ready())
        return kNone;
    const std::int64_t first = FolderId(folder1);
    const std::int64_t second = first ? FolderId(folder2) : 0;
    if (!second)
        return kNone;
    auto& folders = m_read[{first, second}];
    if (folders)
        return *folders;
    folders = std::make_unique<Folders>();
    // Every run asks of every pair: the keys come in one piece, as the last
    // run that changed the pairs left them (their digest), else from the pairs.
    // Read straight into the table, with no copy of SQLite's beside it: a
    // million pairs would need twice the memory.
    Statement digest(m_db, "SELECT rowid, length(keys) FROM digest WHERE first = ?1 AND second = ?2");
    const int found = digest.Bind(1, first).Bind(2, second).Step();
    const auto bytes = found == SQLITE_ROW ? static_cast<std::size_t>(digest.Integer(1)) : 0;
    sqlite3_blob* blob = nullptr;
    if (found == SQLITE_ROW && bytes > 0 && bytes % sizeof(std::uint64_t) == 0
        && sqlite3_blob_open(m_db, "main", "digest", "keys", digest.Integer(0), 0, &blob) == SQLITE_OK) {
        folders->m_keys.resize(bytes / sizeof(std::uint64_t));
        const int read = sqlite3_blob_read(blob, folders->m_keys.data(), static_cast<int>(bytes), 0);
        sqlite3_blob_close(blob);
        if (read == SQLITE_OK && AddsUp(folders->m_keys))
            return *folders;
        // Bytes changed where SQLite cannot see it: made anew from the
        // pairs, and written so with this run.
        if (read == SQLITE_OK && Begin())
            m_changed.insert({first, second});
        if (!m_db)
            return kNone;
    } else if (blob) {
        sqlite3_blob_close(blob);
    }
    if ((found != SQLITE_ROW && found != SQLITE_DONE) || !KeysOf(first, second, folders->m_keys)) {
        Failed("read");
        return kNone;
    }
    return *folders;
}

bool PairMemory::KeysOf(std::int64_t first, std::int64_t second, std::vector<std::uint64_t>& keys)
{
    Statement count(m_db, "SELECT count(*) FROM pair WHERE first = ?1 AND second = ?2");
    if (count.Bind(1, first).Bind(2, second).Step() != SQLITE_ROW)
        return false;
    keys.assign(SlotsFor(static_cast<std::size_t>(count.Integer(0))), 0);
    Statement select(m_db, "SELECT name, state1, state2 FROM pair WHERE first = ?1 AND second = ?2");
    select.Bind(1, first).Bind(2, second);
    int step = SQLITE_DONE;
    while ((step = select.Step()) == SQLITE_ROW)
        AddKey(keys, KeyOf(select.HashOfBlob(0), {Loaded(select.Integer(1)), Loaded(select.Integer(2))}));
    return step == SQLITE_DONE;
}

std::optional<PairMemory::Sides> PairMemory::Recall(const std::string& folder1, const std::string& folder2,
                                                    const std::string& name)
{
    if (!Ready())
        return std::nullopt;
    const std::int64_t first = FolderId(folder1);
    const std::int64_t second = first ? FolderId(folder2) : 0;
    if (!second)
        return std::nullopt;
    if (!m_recall)
        m_recall = std::make_unique<Statement>(
            m_db, "SELECT state1, state2 FROM pair WHERE first = ?1 AND second = ?2 AND name = ?3");
    Statement& recall = *m_recall;
    const int step = recall.Bind(1, first).Bind(2, second).Bind(3, name).Step();
    std::optional<Sides> found;
    if (step == SQLITE_ROW)
        found = Sides{Loaded(recall.Integer(0)), Loaded(recall.Integer(1))};
    recall.Reset();
    if (step != SQLITE_ROW && step != SQLITE_DONE)
        Failed("read");
    return found;
}

void PairMemory::Remember(const std::string& folder1, const std::string& folder2, const std::string& name, Sides sides)
{
    if (!Ready())
        return;
    const std::int64_t first = FolderId(folder1);
    const std::int64_t second = first ? FolderId(folder2) : 0;
    if (!second)
        return;
    KnewPairsOf(first, second);  // asked before this run adds any
    if (!Begin())
        return;
    if (!m_insert)
        m_insert = std::make_unique<Statement>(m_db, "INSERT OR REPLACE INTO pair VALUES(?1, ?2, ?3, ?4, ?5)");
    Statement& insert = *m_insert;
    insert.Bind(1, first).Bind(2, second).Bind(3, name).Bind(4, Stored(sides.first)).Bind(5, Stored(sides.second));
    const int step = insert.Step();
    insert.Reset();
    if (step != SQLITE_DONE) {
        Failed("written");
        return;
    }
    m_changed.insert({first, second});
    if (const auto read = m_read.find({first, second}); read != m_read.end()) {
        Folders& folders = *read->second;
        if (!folders.m_recent)
            folders.m_recent = std::make_shared<PairMemoryRecent>();
        folders.m_recent->keys.insert(KeyOf(HashOf(name), sides));
    }
}

void PairMemory::Commit()
{
    if (!m_db || !m_inTransaction)
        return;
    // The digests of the folder pairs changed, in the same transaction.
    for (const auto& [first, second] : std::exchange(m_changed, {})) {
        std::vector<std::uint64_t> keys;
        Statement write(m_db, "INSERT OR REPLACE INTO digest VALUES(?1, ?2, ?3)");
        if (!KeysOf(first, second, keys)
            || write.Bind(1, first)
                    .Bind(2, second)
                    .Bind(3,
                          std::string(reinterpret_cast<const char*>(keys.data()), keys.size() * sizeof(std::uint64_t)))
                    .Step()
                != SQLITE_DONE) {
            const Cause cause = CauseNow();
            sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
            m_inTransaction = false;
            Failed("written", cause);
            return;
        }
    }
    m_inTransaction = false;
    if (sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) {
        // A failed write may have ended the transaction already: what the
        // rollback would say of that is no cause.
        const Cause cause = CauseNow();
        if (!sqlite3_get_autocommit(m_db))
            sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
        Failed("written", cause);
    }
}

bool PairMemory::KnewPairs(const std::string& folder1, const std::string& folder2)
{
    if (!Ready())
        return false;
    const std::int64_t first = FolderId(folder1);
    const std::int64_t second = first ? FolderId(folder2) : 0;
    return second && KnewPairsOf(first, second);
}

bool PairMemory::KnewPairsOf(std::int64_t first, std::int64_t second)
{
    const auto [at, isNew] = m_knew.try_emplace({first, second}, false);
    if (isNew) {
        Statement any(m_db, "SELECT EXISTS(SELECT 1 FROM pair WHERE first = ?1 AND second = ?2)");
        at->second = any.Bind(1, first).Bind(2, second).Step() == SQLITE_ROW && any.Integer(0) != 0;
    }
    return at->second;
}

void PairMemory::Forget()
{
    Commit();
    m_knew.clear();
    m_read.clear();
    m_folderIds.clear();
    // A memory that failed in this run is tried again by the next.
    m_unusable = false;
    m_stopped = false;
}

void PairMemory::KeepOnly(const std::vector<std::string>& folders)
{
    if (!Ready())
        return;
    Commit();
    // Most runs find nothing to forget, and write nothing.
    std::set<std::string> listed;
    for (const std::string& folder : folders)
        listed.insert(FolderKey(folder));
    Statement known(m_db, "SELECT path FROM folder");
    int step = SQLITE_DONE;
    bool stale = false;
    while (!stale && (step = known.Step()) == SQLITE_ROW)
        stale = !listed.contains(known.Blob(0));
    if (step != SQLITE_ROW && step != SQLITE_DONE) {
        Failed("read");
        return;
    }
    if (!stale)
        return;
    if (sqlite3_exec(m_db,
                     "BEGIN IMMEDIATE; CREATE TEMP TABLE IF NOT EXISTS listed(path BLOB PRIMARY KEY);"
                     "DELETE FROM listed;",
                     nullptr, nullptr, nullptr)
        != SQLITE_OK) {
        Failed("written");
        return;
    }
    m_inTransaction = true;
    Statement insert(m_db, "INSERT OR IGNORE INTO listed VALUES(?1)");
    for (const std::string& folder : folders) {
        insert.Bind(1, FolderKey(folder));
        if (insert.Step() != SQLITE_DONE) {
            Failed("written");
            return;
        }
        insert.Reset();
    }
    const char* drop = "DELETE FROM pair WHERE first IN (SELECT id FROM folder WHERE path NOT IN listed)"
                       " OR second IN (SELECT id FROM folder WHERE path NOT IN listed);"
                       "DELETE FROM digest WHERE first IN (SELECT id FROM folder WHERE path NOT IN listed)"
                       " OR second IN (SELECT id FROM folder WHERE path NOT IN listed);"
                       "DELETE FROM folder WHERE path NOT IN listed;";
    if (sqlite3_exec(m_db, drop, nullptr, nullptr, nullptr) != SQLITE_OK) {
        Failed("written");
        return;
    }
    m_folderIds.clear();
    m_read.clear();
    Commit();
}

void PairMemory::KeepOnlyNames(const std::string& folder1, const std::string& folder2, const Names& names1,
                               const Names& names2)
{
    if (!Ready())
        return;
    const std::int64_t first = FolderId(folder1, false);
    const std::int64_t second = first ? FolderId(folder2, false) : 0;
    if (!second)
        return;  // no pair remembered, or the memory failed (said)
    std::size_t fewest = SIZE_MAX;
    for (const Names* names : {&names1, &names2}) {
        std::size_t held = 0;
        (*names)([&held](std::string_view) { ++held; });
        fewest = std::min(fewest, held);
    }
    Statement count(m_db, "SELECT count(*) FROM pair WHERE first = ?1 AND second = ?2");
    if (count.Bind(1, first).Bind(2, second).Step() != SQLITE_ROW) {
        Failed("read");
        return;
    }
    if (static_cast<std::size_t>(count.Integer(0)) <= fewest)
        return;
    std::unordered_set<std::string_view> names;
    for (const Names* each : {&names1, &names2})
        (*each)([&names](std::string_view name) { names.insert(name); });
    std::vector<std::string> gone;
    {
        Statement select(m_db, "SELECT name FROM pair WHERE first = ?1 AND second = ?2");
        select.Bind(1, first).Bind(2, second);
        int step = SQLITE_DONE;
        while ((step = select.Step()) == SQLITE_ROW) {
            const auto* data = static_cast<const char*>(select.BlobData(0));
            const std::string_view name(data ? data : "", select.Bytes(0));
            if (!names.contains(name))
                gone.emplace_back(name);
        }
        if (step != SQLITE_DONE) {
            Failed("read");
            return;
        }
    }
    if (gone.empty() || !Begin())
        return;
    Statement drop(m_db, "DELETE FROM pair WHERE first = ?1 AND second = ?2 AND name = ?3");
    for (const std::string& name : gone) {
        if (drop.Bind(1, first).Bind(2, second).Bind(3, name).Step() != SQLITE_DONE) {
            Failed("written");
            return;
        }
        drop.Reset();
    }
    m_changed.insert({first, second});
}

std::optional<dev_t> PairMemory::LastDeviceOf(const std::string& folder)
{
    if (!Ready())
        return std::nullopt;
    Statement select(m_db, "SELECT device FROM folder WHERE path = ?1 AND device IS NOT NULL");
    const int step = select.Bind(1, FolderKey(folder)).Step();
    if (step == SQLITE_ROW)
        return static_cast<dev_t>(select.Integer(0));
    if (step != SQLITE_DONE)
        Failed("read");
    return std::nullopt;
}

void PairMemory::SawOnDevice(const std::string& folder, dev_t device)
{
    // Most runs find every folder where the last one did, and write nothing.
    if (LastDeviceOf(folder) == device || !m_db)
        return;
    const std::int64_t id = FolderId(folder);
    if (!id || !Begin())
        return;
    Statement update(m_db, "UPDATE folder SET device = ?1 WHERE id = ?2");
    if (update.Bind(1, static_cast<std::int64_t>(device)).Bind(2, id).Step() != SQLITE_DONE)
        Failed("written");
}

std::string PairMemory::TakeProblem()
{
    return std::exchange(m_problem, std::string());
}

}  // namespace platform
