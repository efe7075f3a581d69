// The runs' memory on its own: private to its owner, never a hang, a schema
// that grows without losing pairs, and a failure said by its own cause.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <functional>
#include <optional>
#include <string>
#include <thread>

#include "PlatformTestUtil.h"
#include "TempDir.h"
#include "platform/state/PairMemory.h"

namespace {

using namespace std::chrono_literals;
using platform::PairMemory;

// One statement or more on the database at path, as another program would.
void Sql(const std::string& path, const std::string& sql)
{
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    sqlite3_close(db);
}

mode_t BitsOf(const std::string& path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

// The memory, its companions and the copies set aside are the owner's alone,
// whatever the umask, whether new or left with wider bits by an earlier
// version.
TEST(PairMemory, IsPrivateWhateverTheUmask)
{
    const mode_t umask = ::umask(022);
    struct Case {
        const char* what;
        std::function<void(const std::string& folder, const std::string& path)> before;
    };
    const Case cases[] = {
        {"new", [](const std::string&, const std::string&) {}},
        {"left with wider bits",
         [](const std::string& folder, const std::string& path) {
             std::filesystem::create_directories(folder);
             ::chmod(folder.c_str(), 0755);
             Sql(path, "PRAGMA journal_mode=WAL; CREATE TABLE t(x)");
             WriteFile(path + ".set-aside-1", "an old memory");
             for (const std::string& file : {path, path + ".set-aside-1"})
                 ::chmod(file.c_str(), 0644);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir tmp;
        const std::string folder = tmp / "state/Folderly", path = folder + "/memory.db";
        c.before(folder, path);
        PairMemory memory(path);
        memory.Remember("/a", "/b", "2026-12-01 divorce lawyer.txt", {1, 2});
        memory.Commit();
        EXPECT_EQ(memory.TakeProblem(), "");
        EXPECT_EQ(BitsOf(folder), 0700u);
        for (const std::string& file : {path, path + "-wal", path + "-shm"})
            EXPECT_EQ(BitsOf(file), 0600u) << file;
        if (std::filesystem::exists(path + ".set-aside-1")) {
            EXPECT_EQ(BitsOf(path + ".set-aside-1"), 0600u);
        }
    }
    ::umask(umask);
}

// A memory locked by another connection before its tables exist: the
// set-up gives up within its wait, and the run goes on without it, saying
// why.
TEST(PairMemory, ALockBeforeTheTablesIsNoHang)
{
    TempDir tmp;
    const std::string path = tmp / "memory.db";
    EXPECT_TRUE(EndsWithin(8s, [&] {
        sqlite3* other = nullptr;
        if (sqlite3_open(path.c_str(), &other) != SQLITE_OK
            || sqlite3_exec(other, "BEGIN IMMEDIATE; CREATE TABLE t(x)", nullptr, nullptr, nullptr) != SQLITE_OK)
            return 3;
        PairMemory memory(path, 500ms);
        memory.Pairs("/a", "/b");
        memory.Remember("/a", "/b", "x", {1, 2});
        memory.Commit();
        return memory.TakeProblem().find("could not be set up (database is locked)") != std::string::npos ? 0 : 4;
    }));
}

// A digest whose bytes were changed where SQLite cannot see it, leaving no
// free slot: a look-up ends, and the pairs are found as remembered.
TEST(PairMemory, ADigestThatDoesNotAddUpIsMadeAnew)
{
    TempDir tmp;
    const std::string path = tmp / "memory.db";
    {
        PairMemory memory(path);
        for (unsigned name = 0; name < 40; ++name)
            memory.Remember("/a", "/b", "n" + std::to_string(name), {name + 1, 2});
    }
    Sql(path, "UPDATE digest SET keys = randomblob(length(keys))");
    EXPECT_TRUE(EndsWithin(10s, [&] {
        PairMemory memory(path);
        const PairMemory::Folders& pairs = memory.Pairs("/a", "/b");
        int wrong = 0;
        for (unsigned name = 0; name < 40; ++name) {
            wrong += pairs.Holds("n" + std::to_string(name), {name + 1, 2}) ? 0 : 1;
            wrong += pairs.Holds("n" + std::to_string(name), {name + 2, 2}) ? 1 : 0;
        }
        wrong += pairs.Holds("never remembered", {1, 2}) ? 1 : 0;
        return wrong == 0 && memory.TakeProblem().empty() ? 0 : 3;
    }));
}

// A memory made before each folder's drive was kept keeps its pairs, and
// then keeps the drive a run saw each folder on.
TEST(PairMemory, AnEarlierMemoryKeepsItsPairsAndLearnsDrives)
{
    TempDir tmp;
    const std::string path = tmp / "memory.db";
    Sql(path,
        "PRAGMA journal_mode=WAL;"
        "CREATE TABLE folder(id INTEGER PRIMARY KEY, path BLOB UNIQUE NOT NULL);"
        "CREATE TABLE pair(first INTEGER NOT NULL, second INTEGER NOT NULL, name BLOB NOT NULL,"
        " state1 INTEGER NOT NULL, state2 INTEGER NOT NULL, PRIMARY KEY(first, second, name)) WITHOUT ROWID;"
        "CREATE TABLE digest(first INTEGER NOT NULL, second INTEGER NOT NULL, keys BLOB NOT NULL,"
        " PRIMARY KEY(first, second));"
        "INSERT INTO folder VALUES(1, CAST('/a' AS BLOB)), (2, CAST('/b' AS BLOB));"
        "INSERT INTO pair VALUES(1, 2, CAST('x.txt' AS BLOB), 11, 12);"
        "PRAGMA user_version=1;");
    {
        PairMemory memory(path);
        EXPECT_EQ(memory.Recall("/a", "/b", "x.txt"), (PairMemory::Sides{11, 12}));
        EXPECT_EQ(memory.LastDeviceOf("/a"), std::nullopt);
        memory.SawOnDevice("/a", 2049);
        memory.SawOnDevice("/c", 66);
        memory.Commit();
        EXPECT_EQ(memory.TakeProblem(), "");
    }
    PairMemory memory(path);
    EXPECT_EQ(memory.LastDeviceOf("/a/"), std::optional<dev_t>(2049));
    EXPECT_EQ(memory.LastDeviceOf("/c"), std::optional<dev_t>(66));
    EXPECT_EQ(memory.LastDeviceOf("/b"), std::nullopt);
    memory.SawOnDevice("/a", 2050);
    EXPECT_EQ(memory.LastDeviceOf("/a"), std::optional<dev_t>(2050));
    EXPECT_EQ(memory.Recall("/a", "/b", "x.txt"), (PairMemory::Sides{11, 12}));
    EXPECT_EQ(memory.TakeProblem(), "");
}

// A write the drive refuses (here: a file size limit) is said by its own
// cause, not by what the rollback after it says.
TEST(PairMemory, AFailedWriteSaysItsCause)
{
    TempDir tmp;
    const std::string path = tmp / "memory.db";
    {
        PairMemory memory(path);
        memory.Remember("/a", "/b", "first", {1, 2});
    }
    std::string said;
    int channel[2];
    ASSERT_EQ(::pipe(channel), 0);
    EXPECT_TRUE(EndsWithin(20s, [&] {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{256 * 1024, 256 * 1024};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        PairMemory memory(path);
        for (unsigned name = 0; name < 2000; ++name)
            memory.Remember("/a", "/b", std::string(200, 'n') + std::to_string(name), {name + 1, 2});
        memory.Commit();
        const std::string problem = memory.TakeProblem();
        return ::write(channel[1], problem.data(), problem.size()) >= 0 ? 0 : 3;
    }));
    ::close(channel[1]);
    char buffer[1024];
    for (ssize_t got = 0; (got = ::read(channel[0], buffer, sizeof buffer)) > 0;)
        said.append(buffer, static_cast<std::size_t>(got));
    ::close(channel[0]);
    EXPECT_NE(said.find("could not be written (disk I/O error"), std::string::npos) << said;
    EXPECT_NE(said.find("edits made on both sides are not watched for in this run"), std::string::npos) << said;
}

}  // namespace
