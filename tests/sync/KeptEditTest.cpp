// Two edits of one file between two runs: the later copy wins as the design
// has it, but an edit that no run carried is never destroyed: the run's
// memory tells it, and its version is kept beside the file.
#include <gmock/gmock.h>
#include <sys/stat.h>
#include <unistd.h>

#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <string>
#include <thread>

#include "PlatformTestUtil.h"
#include "RunFixture.h"
#include "platform/fs/FileSystem.h"
#include "platform/state/PairMemory.h"

using namespace RunTexts;

namespace {

constexpr long long kFirstRun = 1700000000;
constexpr long long kEdit1 = 1700003600;  // an hour later
constexpr long long kEdit2 = 1700003900;  // five minutes after that

class KeptEdits : public RunFixture {
protected:
    KeptEdits() { sync.SetMemory(&memory); }

    // What a folder holds, name by name, beside what it held.
    static std::map<std::string, std::string> Held(const std::string& folder)
    {
        std::map<std::string, std::string> held;
        for (const std::string& name : ListFolder(folder))
            held[name] = ReadFile(folder + "/" + name);
        return held;
    }

    const ScopedTimeZone m_utc{"UTC"};
    platform::PairMemory memory{tmp / "state/memory.db"};
};

// The cases, each through two runs: the first leaves the pair in step, the
// edits follow, the second run must keep every edit somewhere.
TEST_F(KeptEdits, AnEditNoRunCarriedIsKeptBesideItsFile)
{
    using Mode = Synchronizer::Mode;
    // Files in List 1 folder "a" and List 2 folders "b" and, for two cases,
    // "c"; each case edits them between the runs.
    struct Case {
        const char* what;
        Mode mode;
        bool third;  // List 2 has "c" too
        std::function<void(const std::string& a, const std::string& b, const std::string& c)> edit;
        // Where a version is kept, and which: folder, the kept content, its time.
        const char* keptIn;
        const char* keptContent;
        long long keptTime;
        std::map<std::string, const char*> after;  // folder -> content of x.txt
        // How many the confirmation's details say will be kept (-1: as
        // many as are): a List 1 file that this run writes first, from
        // another List 2 copy, changes only during the run.
        int planned = -1;
    };
    const Case cases[] = {
        {"both edited, the later wins",
         Mode::Folders,
         false,
         [](const std::string& a, const std::string& b, const std::string&) {
             File(a + "/x.txt", "a's edit", kEdit1);
             File(b + "/x.txt", "b's edit", kEdit2);
         },
         "a",
         "a's edit",
         kEdit1,
         {{"a", "b's edit"}, {"b", "b's edit"}}},
        {"only the older side edited (a clock behind)",
         Mode::Folders,
         false,
         [](const std::string&, const std::string& b, const std::string&) {
             File(b + "/x.txt", "b's edit", kFirstRun - 3600);
         },
         "b",
         "b's edit",
         kFirstRun - 3600,
         {{"a", "first"}, {"b", "first"}}},
        {"a backup restored by rename",
         Mode::Folders,
         false,
         [](const std::string&, const std::string& b, const std::string&) {
             File(b + "/backup", "the backup", kFirstRun - 86400);
             ::rename((b + "/backup").c_str(), (b + "/x.txt").c_str());
         },
         "b",
         "the backup",
         kFirstRun - 86400,
         {{"a", "first"}, {"b", "first"}}},
        {"files mode, the List 1 file and one List 2 copy edited",
         Mode::Files,
         true,
         [](const std::string& a, const std::string& b, const std::string&) {
             File(a + "/x.txt", "a's edit", kEdit1);
             File(b + "/x.txt", "b's edit", kEdit2);
         },
         "a",
         "a's edit",
         kEdit1,
         {{"a", "b's edit"}, {"b", "b's edit"}, {"c", "b's edit"}}},
        {"files mode, two List 2 copies edited",
         Mode::Files,
         true,
         [](const std::string&, const std::string& b, const std::string& c) {
             File(b + "/x.txt", "b's edit", kEdit1);
             File(c + "/x.txt", "c's edit", kEdit2);
         },
         "b",
         "b's edit",
         kEdit1,
         {{"a", "c's edit"}, {"b", "c's edit"}, {"c", "c's edit"}},
         0},
        {"both edited to the same bytes",
         Mode::Folders,
         false,
         [](const std::string& a, const std::string& b, const std::string&) {
             File(a + "/x.txt", "the same", kEdit1);
             File(b + "/x.txt", "the same", kEdit2);
         },
         nullptr,
         nullptr,
         0,
         {{"a", "the same"}, {"b", "the same"}}},
    };
    spy.options.SilentFlag = 0;  // the confirmation's details say what is kept
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string root = "case" + std::to_string(n++);
        const std::string a = Folder(root + "/a/Docs"), b = Folder(root + "/b/Docs"), third = Folder(root + "/c/Docs");
        list1.Clear();
        list2.Clear();
        list1.Add(a);
        list2.Add(b);
        if (c.third)
            list2.Add(third);
        File(a + "/x.txt", "first", kFirstRun);
        File(b + "/x.txt", "old", kFirstRun - 100);
        File(third + "/x.txt", "old", kFirstRun - 100);
        Run(c.mode, Synchronizer::Scope::All);
        ASSERT_EQ(ReadFile(b + "/x.txt"), "first");

        c.edit(a, b, third);
        spy.records.clear();
        Run(c.mode, Synchronizer::Scope::All);

        int planned = 0;
        for (std::size_t at = 0; (at = spy.plan.find("both changed", at)) != std::string::npos; ++at)
            ++planned;
        EXPECT_EQ(planned, c.planned != -1 ? c.planned : c.keptIn ? 1 : 0) << spy.plan;
        const std::map<std::string, std::string> folders = {{"a", a}, {"b", b}, {"c", third}};
        for (const auto& [folder, content] : c.after)
            EXPECT_EQ(ReadFile(folders.at(folder) + "/x.txt"), content) << folder;
        Records kept;
        std::copy_if(spy.records.begin(), spy.records.end(), std::back_inserter(kept),
                     [](const RunRecord& r) { return r.kind == RunRecord::Kind::KeptEdit; });
        if (!c.keptIn) {
            EXPECT_EQ(kept, Records{});
            EXPECT_EQ(ListFolder(a), (std::set<std::string>{"x.txt"}));
            EXPECT_EQ(ListFolder(b), (std::set<std::string>{"x.txt"}));
            continue;
        }
        const std::string keptName = KeptEditName("x.txt", c.keptTime);
        const std::string folder = folders.at(c.keptIn);
        EXPECT_EQ(kept, Records{RunRecord::KeptEditOf(folder + "/x.txt", keptName)});
        const std::string keptPath = folder + "/" + keptName;
        EXPECT_EQ(platform::FileExists(keptPath) ? ReadFile(keptPath) : "(none)", c.keptContent);
        EXPECT_EQ(platform::FileExists(keptPath) ? MTimeSeconds(keptPath) : 0, c.keptTime);
        EXPECT_EQ(spy.tally.kept, 1);
        EXPECT_TRUE(spy.tally.Complete());  // a kept edit is no failure
    }
}

// A file saved on the other side while the run copies over it (after the
// run listed it) is not replaced; the next run finds both changed and keeps
// that save beside the file before the later edit replaces it.
TEST_F(KeptEdits, ASaveDuringTheRunIsKeptByTheNext)
{
    const std::string a = Folder("a/Docs"), b = Folder("b/Docs");
    list1.Add(a);
    list2.Add(b);
    spy.mode = 1;
    File(a + "/x.txt", "first", kFirstRun);
    RunByMode(Synchronizer::Scope::All);
    File(a + "/x.txt", "a's edit", kEdit2);
    platform::FileSystemTestHooks hooks;
    hooks.afterContent = [&] { File(b + "/x.txt", "b's save", kEdit1); };
    {
        ScopedTestHooks use(hooks);
        RunByMode(Synchronizer::Scope::All);
    }
    EXPECT_EQ(ReadFile(b + "/x.txt"), "b's save");
    spy.records.clear();
    RunByMode(Synchronizer::Scope::All);
    EXPECT_EQ(ReadFile(b + "/x.txt"), "a's edit");
    EXPECT_EQ(ReadFile(b + "/" + KeptEditName("x.txt", kEdit1)), "b's save");
    EXPECT_EQ(spy.tally.kept, 1);
}

// What has no memory goes as it always went: the first sight of a pair, and
// a pair whose memory was lost. A file that is not going to be replaced (it
// is read-only) gets no copy beside it; with the Trash on, the replaced
// version goes there too.
TEST_F(KeptEdits, NoMemoryReadOnlyAndTheTrash)
{
    struct DataHome {
        const std::string old = std::getenv("XDG_DATA_HOME") ? std::getenv("XDG_DATA_HOME") : "";
        explicit DataHome(const std::string& path) { setenv("XDG_DATA_HOME", path.c_str(), 1); }
        ~DataHome() { old.empty() ? unsetenv("XDG_DATA_HOME") : setenv("XDG_DATA_HOME", old.c_str(), 1); }
    } dataHome(tmp / "share");
    spy.mode = 1;
    const std::string a = Folder("a/Docs"), b = Folder("b/Docs");
    list1.Add(a);
    list2.Add(b);
    File(a + "/x.txt", "a's", kEdit1);
    File(b + "/x.txt", "b's", kEdit2);
    RunByMode(Synchronizer::Scope::All);  // folders mode: the first sight
    EXPECT_EQ(ListFolder(a), (std::set<std::string>{"x.txt"}));
    EXPECT_EQ(ReadFile(a + "/x.txt"), "b's");

    File(a + "/x.txt", "a's again", kEdit2 + 60);
    File(b + "/x.txt", "b's again", kEdit2 + 120);
    MakeReadOnly(a + "/x.txt");
    RunByMode(Synchronizer::Scope::All);
    EXPECT_EQ(ReadFile(a + "/x.txt"), "a's again");
    EXPECT_EQ(ListFolder(a), (std::set<std::string>{"x.txt"}));
    EXPECT_EQ(spy.records.back(), ReadOnly(a + "/x.txt"));

    ::chmod((a + "/x.txt").c_str(), 0644);
    spy.options.KeepReplaced = 1;
    RunByMode(Synchronizer::Scope::All);
    const std::string keptName = KeptEditName("x.txt", kEdit2 + 60);
    EXPECT_EQ(ReadFile(a + "/" + keptName), "a's again");
    EXPECT_EQ(ReadFile(a + "/x.txt"), "b's again");
    EXPECT_EQ(ReadFile(tmp / "share/Trash/files/x.txt"), "a's again");
}

// Every version a person wrote stays somewhere, through runs that follow
// edits: where neither side is what a run left there, be the name new to
// both sides of folders runs know, or two saves of one two-second step.
TEST_F(KeptEdits, EveryVersionWrittenOnEitherSideIsKept)
{
    using Edit = std::function<void(const std::string& a, const std::string& b)>;
    struct Case {
        const char* what;
        std::vector<Edit> edits;  // each followed by a run
        std::vector<const char*> versions;  // each must be held by some file of either side
    };
    const Case cases[] = {
        {"a name new to both sides",
         {[](const std::string& a, const std::string& b) {
             File(a + "/new.txt", "a's new", kEdit1);
             File(b + "/new.txt", "b's new", kEdit2);
         }},
         {"a's new", "b's new"}},
        {"a conflict copy written on the other side before a run carried it",
         {[](const std::string& a, const std::string& b) {
              File(a + "/x.txt", "a's edit", kEdit1);
              File(b + "/x.txt", "b's edit", kEdit2);
          },
          [](const std::string&, const std::string& b) {
              File(b + "/" + KeptEditName("x.txt", kEdit1), "b's own", kEdit2);
          }},
         {"a's edit", "b's edit", "b's own"}},
        {"two saves of other sizes in one two-second step, then one side again",
         {[](const std::string& a, const std::string& b) {
              File(a + "/x.txt", "a's edit", kEdit1);
              File(b + "/x.txt", "b's longer edit", kEdit1 + 1);
          },
          [](const std::string& a, const std::string&) { File(a + "/x.txt", "a's second edit", kEdit2); }},
         {"b's longer edit", "a's second edit"}},
        {"two saves of one size in one two-second step, then one side again",
         {[](const std::string& a, const std::string& b) {
              File(a + "/x.txt", "a's edit", kEdit1);
              File(b + "/x.txt", "b's edit", kEdit1);
          },
          [](const std::string&, const std::string& b) { File(b + "/x.txt", "b's second edit", kEdit2); }},
         {"a's edit", "b's second edit"}},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string root = "version" + std::to_string(n++);
        const std::string a = Folder(root + "/a/Docs"), b = Folder(root + "/b/Docs");
        list1.Clear();
        list2.Clear();
        list1.Add(a);
        list2.Add(b);
        File(a + "/x.txt", "first", kFirstRun);
        File(a + "/y.txt", "in step", kFirstRun);
        Run(Synchronizer::Mode::Folders, Synchronizer::Scope::All);
        for (const Edit& edit : c.edits) {
            edit(a, b);
            Run(Synchronizer::Mode::Folders, Synchronizer::Scope::All);
        }
        // The next run copies what was kept to the other side.
        Run(Synchronizer::Mode::Folders, Synchronizer::Scope::All);
        std::multiset<std::string> held;
        for (const std::string& folder : {a, b}) {
            for (const auto& [name, content] : Held(folder))
                held.insert(content);
        }
        for (const char* version : c.versions)
            EXPECT_TRUE(held.contains(version)) << version;
        EXPECT_EQ(Held(a), Held(b));  // and each side holds all of them
    }
}

// Files mode: whichever copies were edited, one run brings one content to
// every copy and keeps every other version beside its file; the runs after
// it change no content and keep nothing more. Three copies edited in one
// second give two kept copies of one name in a List 1 and a List 2 folder,
// which the next run pairs: neither is lost.
TEST_F(KeptEdits, FilesModeSettlesInOneRun)
{
    struct Case {
        const char* what;
        std::map<std::string, std::pair<const char*, long long>> edits;  // folder -> content, time
        std::vector<const char*> versions;
    };
    const Case cases[] = {
        {"only the last List 2 copy edited", {{"c", {"c's edit", kEdit1}}}, {"c's edit"}},
        {"only the first List 2 copy edited", {{"b", {"b's edit", kEdit1}}}, {"b's edit"}},
        {"both List 2 copies edited, the first later",
         {{"b", {"b's edit", kEdit2}}, {"c", {"c's edit", kEdit1}}},
         {"b's edit", "c's edit"}},
        {"both List 2 copies edited in one second",
         {{"b", {"b's edit", kEdit1}}, {"c", {"c's edit", kEdit1}}},
         {"b's edit", "c's edit"}},
        {"two List 2 versions of one time, no edit",
         {{"a", {"first", kFirstRun}}, {"b", {"first", kFirstRun}}, {"c", {"other", kFirstRun}}},
         {"first", "other"}},
        {"all three edited in one second",
         {{"a", {"a's edit", kEdit1}}, {"b", {"b's edit", kEdit1}}, {"c", {"c's edit", kEdit1}}},
         {"a's edit", "b's edit", "c's edit"}},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string root = "files" + std::to_string(n++);
        const std::map<std::string, std::string> folders = {
            {"a", Folder(root + "/a")}, {"b", Folder(root + "/b")}, {"c", Folder(root + "/c")}};
        list1.Clear();
        list2.Clear();
        list1.Add(folders.at("a"));
        list2.Add(folders.at("b"));
        list2.Add(folders.at("c"));
        for (const auto& [name, folder] : folders)
            File(folder + "/x.txt", "first", kFirstRun);
        Run(Synchronizer::Mode::Files, Synchronizer::Scope::All);
        for (const auto& [name, edit] : c.edits)
            File(folders.at(name) + "/x.txt", edit.first, edit.second);
        std::map<std::string, std::map<std::string, std::string>> before;
        for (int run = 1; run <= 3; ++run) {
            SCOPED_TRACE(run);
            Run(Synchronizer::Mode::Files, Synchronizer::Scope::All);
            std::map<std::string, std::map<std::string, std::string>> held;
            std::set<std::string> versions;
            for (const auto& [name, folder] : folders) {
                held[name] = Held(folder);
                for (const auto& [file, content] : held[name])
                    versions.insert(content);
            }
            for (const char* version : c.versions)
                EXPECT_TRUE(versions.contains(version)) << version;
            if (run == 1) {
                EXPECT_EQ(held["a"]["x.txt"], held["b"]["x.txt"]);
                EXPECT_EQ(held["a"]["x.txt"], held["c"]["x.txt"]);
            }
            if (run == 3) {
                EXPECT_EQ(held, before);  // nothing more to do
            }
            before = held;
        }
    }
}

// A version kept beside its file by an earlier run (one stopped before it
// replaced the file, say) is not kept again; a file the user may not
// replace (a neighbour's, in a shared folder) gets no kept copy at all,
// since it stays as it is.
TEST_F(KeptEdits, NoKeptCopyThatCannotHelp)
{
    const std::string a = Folder("a/Docs"), b = Folder("b/Docs");
    list1.Add(a);
    list2.Add(b);
    File(a + "/x.txt", "first", kFirstRun);
    Run(Synchronizer::Mode::Folders, Synchronizer::Scope::All);
    File(a + "/x.txt", "a's edit", kEdit1);
    File(b + "/x.txt", "b's edit", kEdit2);
    File(a + "/" + KeptEditName("x.txt", kEdit1), "a's edit", kEdit1);
    Run(Synchronizer::Mode::Folders, Synchronizer::Scope::All);
    EXPECT_EQ(ReadFile(a + "/x.txt"), "b's edit");
    EXPECT_EQ(ListFolder(a), (std::set<std::string>{"x.txt", KeptEditName("x.txt", kEdit1)}));

    if (geteuid() != 0)
        GTEST_SKIP() << "only root can act as the group's members";
    constexpr uid_t kOwner = 61001;
    constexpr uid_t kMember = 61002;
    constexpr gid_t kShared = 61000;
    File(a + "/y.txt", "first", kFirstRun);
    Run(Synchronizer::Mode::Folders, Synchronizer::Scope::All);
    File(a + "/y.txt", "member's edit", kEdit2);
    File(b + "/y.txt", "owner's edit", kEdit1);
    ASSERT_EQ(chmod(tmp.Path().c_str(), 0755), 0);
    ASSERT_EQ(chown(b.c_str(), 0, kShared), 0);
    ASSERT_EQ(chmod(b.c_str(), 02775), 0);
    ASSERT_EQ(chown((b + "/y.txt").c_str(), kOwner, kShared), 0);
    for (const std::string& path : {a, std::string(tmp / "a"), std::string(tmp / "state")})
        ASSERT_EQ(chown(path.c_str(), kMember, kShared), 0);
    for (const std::string& name : ListFolder(tmp / "state"))
        ASSERT_EQ(chown((tmp / "state/" + name).c_str(), kMember, kShared), 0);
    sync.SetMemory(nullptr);
    const std::string said = RunAsUser(kMember, kShared, [&] {
        platform::PairMemory own(tmp / "state/memory.db");
        sync.SetMemory(&own);
        Run(Synchronizer::Mode::Folders, Synchronizer::Scope::All);
        sync.SetMemory(nullptr);
        return std::to_string(spy.tally.kept);
    });
    EXPECT_EQ(said, "0");
    EXPECT_EQ(ReadFile(b + "/y.txt"), "owner's edit");
    EXPECT_EQ(ListFolder(b), (std::set<std::string>{"x.txt", "y.txt", KeptEditName("x.txt", kEdit1)}));
}

// The name of a kept edit: the time before the extension (a leading dot is
// none), a count from the second on, and never longer than a drive takes,
// cut where a character begins.
TEST(KeptEditNames, Table)
{
    const ScopedTimeZone utc("UTC");
    const std::string long250 = std::string(240, 'n') + "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9";
    const std::pair<std::string, std::string> cases[] = {
        {"report.odt", "report (conflict 2023-11-14 22-13-20).odt"},
        {"archive.tar.gz", "archive.tar (conflict 2023-11-14 22-13-20).gz"},
        {".bashrc", ".bashrc (conflict 2023-11-14 22-13-20)"},
        {"notes", "notes (conflict 2023-11-14 22-13-20)"},
        {"trailing.", "trailing. (conflict 2023-11-14 22-13-20)"},
    };
    for (const auto& [name, kept] : cases)
        EXPECT_EQ(KeptEditName(name, 1700000000), kept) << name;
    EXPECT_EQ(KeptEditName("report.odt", 1700000000, 2), "report (conflict 2023-11-14 22-13-20 2).odt");
    const std::string shortened = KeptEditName(long250 + ".txt", 1700000000);
    EXPECT_LE(shortened.size(), 255u);
    EXPECT_TRUE(shortened.ends_with(" (conflict 2023-11-14 22-13-20).txt"));
    EXPECT_EQ(shortened.substr(0, 200), long250.substr(0, 200));
    // No cut inside a character: what is left of the é's is whole.
    const std::string stem = shortened.substr(0, shortened.find(" (conflict"));
    EXPECT_EQ(stem.size() % 2, 0u);
}

}  // namespace

namespace {

// A memory that cannot be read (damaged, or made by a later version) is set
// aside beside itself, said once, and runs go on as with none; the next
// run remembers anew.
TEST_F(KeptEdits, AMemoryThatCannotBeReadIsSetAside)
{
    const std::string path = tmp / "aside/memory.db";
    // A memory whose tables are of a version after this one: its header's
    // user version (four bytes at 60) says so.
    const auto later = [&] {
        {
            platform::PairMemory made(path);
            made.Remember("/p", "/q", "n", {1, 2});
        }
        std::fstream file(path, std::ios::in | std::ios::out | std::ios::binary);
        file.seekp(60);
        file.write("\0\0\0\x07", 4);
    };
    const std::pair<const char*, std::function<void()>> cases[] = {
        {"damaged", [&] { WriteFile(path, std::string(4096, '\x5A')); }},
        {"made by a later version", later},
    };
    const std::string a = Folder("a/Docs"), b = Folder("b/Docs");
    list1.Add(a);
    list2.Add(b);
    spy.mode = 1;
    long long time = kEdit1;
    for (const auto& [what, make] : cases) {
        SCOPED_TRACE(what);
        std::filesystem::remove_all(tmp / "aside");
        std::filesystem::create_directories(tmp / "aside");
        make();
        platform::PairMemory asked(path);
        sync.SetMemory(&asked);
        File(a + "/x.txt", what, time += 60);
        spy.records.clear();
        RunByMode(Synchronizer::Scope::All);
        EXPECT_EQ(ReadFile(b + "/x.txt"), what);
        ASSERT_EQ(spy.records.size(), 2u);
        EXPECT_EQ(spy.records.back().kind, RunRecord::Kind::MemoryProblem);
        EXPECT_NE(spy.records.back().path.find("set aside as " + path + ".set-aside-1"), std::string::npos)
            << spy.records.back().path;
        EXPECT_TRUE(platform::FileExists(path + ".set-aside-1"));
        spy.records.clear();
        RunByMode(Synchronizer::Scope::All);
        EXPECT_EQ(spy.records, Records{});
        sync.SetMemory(nullptr);
    }
}

// A run killed at any moment, between any two writes of a run that keeps
// edits, never leaves what would let a later run replace an edit unseen:
// once the next run is over, both edits are there.
TEST_F(KeptEdits, ARunKilledAnywhereLosesNoEdit)
{
    spy.mode = 1;
    for (int killAt = 1; killAt <= 8; ++killAt) {
        SCOPED_TRACE(killAt);
        const std::string root = "kill" + std::to_string(killAt);
        const std::string a = Folder(root + "/a/Docs"), b = Folder(root + "/b/Docs");
        list1.Clear();
        list2.Clear();
        list1.Add(a);
        list2.Add(b);
        for (const char* name : {"p", "q", "r"})
            File(a + "/" + name, "first", kFirstRun);
        RunByMode(Synchronizer::Scope::All);
        for (const char* name : {"p", "q", "r"}) {
            File(a + "/" + name, std::string("a's ") + name, kEdit1);
            File(b + "/" + name, std::string("b's ") + name, kEdit2);
        }
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            int writes = 0;
            platform::FileSystemTestHooks hooks;
            hooks.beforeWrite = [&](std::uint64_t) { return ++writes == killAt ? (_exit(9), 0) : 0; };
            hooks.beforeFlush = [&] { return ++writes == killAt ? (_exit(9), 0) : 0; };
            platform::SetFileSystemTestHooks(hooks);
            RunByMode(Synchronizer::Scope::All);
            _exit(0);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        RunByMode(Synchronizer::Scope::All);
        std::set<std::string> held;
        for (const std::string& folder : {a, b}) {
            for (const std::string& name : ListFolder(folder))
                held.insert(ReadFile(folder + "/" + name));
        }
        for (const char* name : {"p", "q", "r"}) {
            EXPECT_TRUE(held.contains(std::string("a's ") + name)) << name;
            EXPECT_TRUE(held.contains(std::string("b's ") + name)) << name;
        }
    }
}

// Two runs at once (the window's and folderly --run, say) share the memory:
// neither fails, and both are remembered.
TEST(PairMemory, TwoRunsAtOnceShareIt)
{
    TempDir tmp;
    const std::string path = tmp / "memory.db";
    std::vector<std::thread> runs;
    for (int copy = 0; copy < 2; ++copy) {
        runs.emplace_back([&, copy] {
            platform::PairMemory memory(path);
            const std::string folder1 = "/x" + std::to_string(copy), folder2 = "/y";
            for (int run = 0; run < 20; ++run) {
                memory.Pairs(folder1, folder2);
                for (int name = 0; name < 50; ++name)
                    memory.Remember(folder1, folder2, "n" + std::to_string(name), {1 + static_cast<unsigned>(run), 2});
                memory.Commit();
                EXPECT_EQ(memory.TakeProblem(), "");
                memory.Forget();
            }
        });
    }
    for (std::thread& run : runs)
        run.join();
    platform::PairMemory memory(path);
    for (const char* folder1 : {"/x0", "/x1/"}) {
        const auto recalled = memory.Recall(folder1, "//y", "n49");
        ASSERT_TRUE(recalled.has_value()) << folder1;
        EXPECT_EQ(*recalled, (platform::PairMemory::Sides{20, 2}));
        EXPECT_TRUE(memory.Pairs(folder1, "/y").Holds("n0", {20, 2}));
        EXPECT_FALSE(memory.Pairs(folder1, "/y").Holds("n0", {19, 2}));
    }
    // Pairs of folders no longer listed are forgotten, the others kept.
    memory.KeepOnly({"/x0", "/y"});
    EXPECT_TRUE(memory.Recall("/x0", "/y", "n0").has_value());
    EXPECT_FALSE(memory.Recall("/x1", "/y", "n0").has_value());
}

}  // namespace
