// The runs' memory in runs: it stays the size of the folders, and a run told
// to end never waits for it.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <csignal>
#include <filesystem>
#include <string>
#include <thread>

#include "PlatformTestUtil.h"
#include "RunFixture.h"
#include "platform/state/PairMemory.h"

namespace {

// The pairs the memory at path holds.
long long PairsIn(const std::string& path)
{
    sqlite3* db = nullptr;
    long long pairs = -1;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* count = nullptr;
        if (sqlite3_prepare_v2(db, "SELECT count(*) FROM pair", -1, &count, nullptr) == SQLITE_OK
            && sqlite3_step(count) == SQLITE_ROW)
            pairs = sqlite3_column_int64(count, 0);
        sqlite3_finalize(count);
    }
    sqlite3_close(db);
    return pairs;
}

using MemoryRuns = RunFixture;

// Names that come and go leave no pairs behind, and a name the run's filter
// passed over is still remembered while both folders hold it.
TEST_F(MemoryRuns, PairsOfNamesGoneFromBothSidesAreDropped)
{
    struct Case {
        const char* what;
        int mode;  // 0 files, 1 folders
        const char* ext;  // the extension filter of the runs after the first
    };
    const Case cases[] = {
        {"folders mode", 1, "*"},
        {"files mode", 0, "*"},
        {"folders mode, .txt only", 1, "txt"},
        {"files mode, .txt only", 0, "txt"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string root = std::to_string(&c - cases);
        const std::string a = Folder(root + "/a/Docs"), b = Folder(root + "/b/Docs");
        const std::string path = tmp / (root + "/state/memory.db");
        platform::PairMemory memory(path);
        sync.SetMemory(&memory);
        list1.Clear();
        list2.Clear();
        list1.Add(a);
        list2.Add(b);
        spy.mode = c.mode;
        spy.options.SearchExt = "*";
        // Kept in both folders all along, one of them passed over by the filter.
        for (const char* name : {"kept.doc", "kept.txt"}) {
            File(a + "/" + name, name, kOld);
            File(b + "/" + name, name, kOld);
        }
        RunByMode(Synchronizer::Scope::All);
        spy.options.SearchExt = c.ext;
        for (int run = 0; run < 5; ++run) {
            // Ten names made since the last run (files mode pairs only names
            // both folders hold), the last run's ten removed from both.
            for (int i = 0; i < 10; ++i) {
                const std::string name = "/" + std::to_string(run) + "-" + std::to_string(i) + ".txt";
                File(a + name, name, kMid);
                if (c.mode == 0)
                    File(b + name, name, kMid);
                if (run > 0) {
                    const std::string gone = "/" + std::to_string(run - 1) + "-" + std::to_string(i) + ".txt";
                    std::filesystem::remove(a + gone);
                    std::filesystem::remove(b + gone);
                }
            }
            RunByMode(Synchronizer::Scope::All);
            EXPECT_EQ(spy.tally.failed, 0);
            // The twelve names the folders hold, and at most the ten this
            // run added before the next one drops them.
            EXPECT_LE(PairsIn(path), 22) << "after run " << run;
        }
        EXPECT_GE(PairsIn(path), 11);
        EXPECT_TRUE(memory.Recall(a, b, "kept.doc").has_value());
        sync.SetMemory(nullptr);
    }
}

volatile std::sig_atomic_t g_terminated = 0;

// A run told to end by SIGTERM while another connection holds the memory
// locked (here, before its tables exist) ends at once instead of waiting
// for the lock.
TEST_F(MemoryRuns, ARunToldToEndDoesNotWaitForTheMemory)
{
    struct Stopping : RunSpy {
        bool StopRequested() const override { return g_terminated != 0; }
    } stopping;
    Synchronizer run(state, list1, list2, stopping);
    const std::string a = Folder("a/Docs"), b = Folder("b/Docs");
    File(a + "/x.txt", "x", kMid);
    list1.Add(a);
    list2.Add(b);
    const std::string path = tmp / "state/memory.db";
    const auto work = [&] {
        struct sigaction action {};
        action.sa_handler = [](int) { g_terminated = 1; };
        ::sigaction(SIGTERM, &action, nullptr);
        std::filesystem::create_directories(tmp / "state");
        sqlite3* other = nullptr;
        if (sqlite3_open(path.c_str(), &other) != SQLITE_OK
            || sqlite3_exec(other, "BEGIN IMMEDIATE; CREATE TABLE t(x)", nullptr, nullptr, nullptr) != SQLITE_OK)
            return 3;
        platform::PairMemory memory(path, std::chrono::minutes(1));
        run.SetMemory(&memory);
        run.Run(Synchronizer::Mode::Folders, Synchronizer::Scope::All, stopping.options);
        return stopping.events.back() == "finished, not completed" ? 0 : 4;
    };
    EXPECT_TRUE(EndsWithin(std::chrono::milliseconds(2500), work, [](pid_t child) {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        ::kill(child, SIGTERM);
    }));
}

}  // namespace
