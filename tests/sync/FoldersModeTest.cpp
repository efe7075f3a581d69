#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <system_error>

#include <gmock/gmock.h>

#include "RunFixture.h"
#include "platform/fs/FileSystem.h"
#include "platform/fs/FileSystemTesting.h"

using namespace RunTexts;
using ::testing::UnorderedElementsAre;

namespace {

class FoldersMode : public RunFixture {
protected:
    FoldersMode() { spy.mode = 1; }
};

TEST(LastPathComponent, Table)
{
    const std::pair<const char*, const char*> cases[] = {
        {"/home/u/Docs", "Docs"},  {"/", ""}, {"/home/u/", "u"}, {"Docs", "Docs"}, {"", ""}, {"/a", "a"}, {"//", ""},
        {"/x/photos//", "photos"},
    };
    for (const auto& [folder, last] : cases)
        EXPECT_EQ(LastPathComponent(folder), last) << folder;
}

TEST_F(FoldersMode, PairsByLastComponentWithLetterCaseSignificant)
{
    struct Case {
        const char* list2Folder;
        bool pairs;
    };
    const Case cases[] = {
        {"y/Docs", true},
        {"y/docs", false},
        {"y/Docs2", false},
        {"y/z/Docs", true},
    };
    const std::string a = Folder("x/Docs");
    File(a + "/f", "content", kNew);
    list1.Add(a);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.list2Folder);
        const std::string b = Folder(c.list2Folder);
        FolderList other;
        other.Add(b);
        RunSpy h;
        Synchronizer run(state, list1, other, h);
        run.Run(Synchronizer::Mode::Folders, Synchronizer::Scope::All, h.options);
        EXPECT_EQ(platform::FileExists(b + "/f"), c.pairs);
        EXPECT_EQ(h.records, c.pairs ? Records{Copied("f", b)} : Records{});
        if (c.pairs) {
            EXPECT_EQ(ReadFile(b + "/f"), "content");
            EXPECT_EQ(MTimeSeconds(b + "/f"), kNew);
        }
    }
}

TEST_F(FoldersMode, UpdatesBothWaysCopiesMissingBothWaysLeavesEqualAlone)
{
    const std::string a = Folder("one/Docs"), b = Folder("two/Docs");
    File(a + "/newer1", "a", kNew);
    File(b + "/newer1", "b", kOld);
    File(a + "/newer2", "a", kOld);
    File(b + "/newer2", "b", kNew);
    File(a + "/same", "a", kMid);
    File(b + "/same", "b", kMid);
    File(a + "/only1", "a1", kOld);
    File(b + "/only2", "b2", kNew);
    list1.Add(a);
    list2.Add(b);
    spy.options.SilentFlag = 0;

    RunByMode(Synchronizer::Scope::All);

    EXPECT_EQ(spy.Count("confirm 4file(s) will be updated"), 1);
    struct Expect {
        const char* name;
        const char* content;
        long long time;
    };
    const Expect expected[] = {
        {"newer1", "a", kNew},
        {"newer2", "b", kNew},
        {"only1", "a1", kOld},
        {"only2", "b2", kNew},
    };
    for (const Expect& e : expected) {
        SCOPED_TRACE(e.name);
        for (const auto& folder : {a, b}) {
            EXPECT_EQ(ReadFile(folder + "/" + e.name), e.content);
            EXPECT_EQ(MTimeSeconds(folder + "/" + e.name), e.time);
        }
    }
    EXPECT_EQ(ReadFile(a + "/same"), "a");
    EXPECT_EQ(ReadFile(b + "/same"), "b");
    EXPECT_THAT(
        Recorded(),
        UnorderedElementsAre(Updated(a + "/newer2"), Updated(b + "/newer1"), Copied("only1", b), Copied("only2", a)));
    // Search A's records come before search B's.
    EXPECT_EQ(Recorded().back(), Copied("only2", a));
    // Every entry of both searches took a step: 4 in F1, then 5 in F2 after the copy.
    EXPECT_EQ(state.ProgressCount, 4 + 5);
    EXPECT_EQ(state.FailFlag, 0);

    // A settled pair is left alone and no longer counted.
    const std::size_t before = Recorded().size();
    RunByMode(Synchronizer::Scope::All);
    EXPECT_EQ(state.TotalCount, 0);
    EXPECT_EQ(Recorded().size(), before);
    EXPECT_EQ(spy.Count("confirm 0file(s) will be updated"), 1);
}

TEST_F(FoldersMode, AllFilesCountsDotEntriesAndSubfoldersButCopiesNoFolder)
{
    const std::string a = Folder("one/Docs"), b = Folder("two/Docs");
    File(a + "/f", "x", kMid);
    File(b + "/f", "x", kMid);
    spy.options.SearchAttr = 63;
    list1.Add(a);
    list2.Add(b);
    std::int32_t count = 0;
    CountCopies(Synchronizer::Mode::Folders, Synchronizer::Scope::All, count);
    EXPECT_EQ(count, 4);  // ".", ".." on each side

    Folder("one/Docs/sub");
    CountCopies(Synchronizer::Mode::Folders, Synchronizer::Scope::All, count);
    EXPECT_EQ(count, 5);

    spy.options.SilentFlag = 0;
    Run(Synchronizer::Mode::Folders, Synchronizer::Scope::All);
    EXPECT_EQ(spy.Count("confirm 5file(s) will be updated"), 1);
    EXPECT_EQ(Recorded(), Records{});
    EXPECT_EQ(state.FailFlag, 0);
    EXPECT_FALSE(platform::DirectoryExists(b + "/sub"));
}

// A person's files whose names begin as the copy's temporary files do are
// files like any other: carried to the other side, and left as they are by
// the copies into their folder, whether their names are free or taken.
TEST_F(FoldersMode, APersonsFilesNamedAsTheCopysTemporariesAreCarried)
{
    const std::string a = Folder("one/Docs"), b = Folder("two/Docs");
    const std::string prefix = platform::kTemporaryNamePrefix;
    const std::string names[] = {prefix + "old-notes.txt", prefix + "old-todo.txt", prefix + "copy-mine"};
    for (const std::string& name : names)
        File(a + "/" + name, "mine", kMid);
    File(a + "/notes.txt", "notes", kMid);
    spy.options.SearchAttr = 63;
    list1.Add(a);
    list2.Add(b);
    Run(Synchronizer::Mode::Folders, Synchronizer::Scope::All);
    for (const std::string& folder : {a, b}) {
        for (const std::string& name : names)
            EXPECT_EQ(ReadFile(folder + "/" + name), "mine") << folder << "/" << name;
        EXPECT_EQ(ReadFile(folder + "/notes.txt"), "notes");
        EXPECT_FALSE(platform::FileExists(folder + "/todo.txt")) << folder;
    }
    EXPECT_EQ(state.FailFlag, 0);
}

TEST_F(FoldersMode, ExtensionFilterAppliesOnBothSides)
{
    const std::string a = Folder("one/Docs"), b = Folder("two/Docs");
    File(a + "/a.txt", "1", kNew);
    File(a + "/a.doc", "1", kNew);
    File(b + "/b.TXT", "2", kNew);
    File(b + "/b.doc", "2", kNew);
    spy.options.SearchExt = "txt";
    list1.Add(a);
    list2.Add(b);
    Run(Synchronizer::Mode::Folders, Synchronizer::Scope::All);
    EXPECT_TRUE(platform::FileExists(b + "/a.txt"));
    EXPECT_TRUE(platform::FileExists(a + "/b.TXT"));
    EXPECT_FALSE(platform::FileExists(b + "/a.doc"));
    EXPECT_FALSE(platform::FileExists(a + "/b.doc"));
    EXPECT_EQ(state.TotalCount, 2);
}

TEST_F(FoldersMode, ReadOnlyDestinationKeepsItsContentAndEndsWithTheSummary)
{
    const std::string a = Folder("one/Docs"), b = Folder("two/Docs");
    File(a + "/f", "new", kNew);
    File(b + "/f", "old", kOld);
    MakeReadOnly(b + "/f");
    list1.Add(a);
    list2.Add(b);
    Run(Synchronizer::Mode::Folders, Synchronizer::Scope::All);
    EXPECT_EQ(ReadFile(b + "/f"), "old");
    EXPECT_EQ(Recorded(), Records{ReadOnly(b + "/f")});
    EXPECT_EQ(spy.tally.failed, 1);
}

TEST_F(FoldersMode, SelectedPassNeedsBothSidesSelected)
{
    const std::string a = Folder("one/Docs"), b = Folder("two/Docs");
    File(a + "/f", "x", kNew);
    list1.Add(a);
    list2.Add(b);
    list1.SelectAll();
    Run(Synchronizer::Mode::Folders, Synchronizer::Scope::Selected);
    EXPECT_EQ(state.TotalCount, 0);
    EXPECT_FALSE(platform::FileExists(b + "/f"));

    list2.SelectAll();
    Run(Synchronizer::Mode::Folders, Synchronizer::Scope::Selected);
    EXPECT_EQ(state.TotalCount, 1);
    EXPECT_TRUE(platform::FileExists(b + "/f"));
}

TEST_F(FoldersMode, AFolderWithTwoNamesakesIsPairedWithTheLaterEntryFirst)
{
    // List 2: p/Docs (index 0) and q/Docs (index 1). q/Docs goes first.
    const std::string a = Folder("a/Docs"), p = Folder("p/Docs"), q = Folder("q/Docs");
    File(q + "/fromLater", "q", kMid);
    File(p + "/fromEarlier", "p", kMid);
    list1.Add(a);
    list2.Add(p);
    list2.Add(q);

    Run(Synchronizer::Mode::Folders, Synchronizer::Scope::All);

    // A file only the later entry had reaches A and then the earlier entry.
    EXPECT_TRUE(platform::FileExists(a + "/fromLater"));
    EXPECT_TRUE(platform::FileExists(p + "/fromLater"));
    // A file only the earlier entry had reaches A, but the later entry only next time.
    EXPECT_TRUE(platform::FileExists(a + "/fromEarlier"));
    EXPECT_FALSE(platform::FileExists(q + "/fromEarlier"));
    EXPECT_EQ(Recorded(), (Records{Copied("fromLater", a), Copied("fromLater", p), Copied("fromEarlier", a)}));
    Run(Synchronizer::Mode::Folders, Synchronizer::Scope::All);
    EXPECT_TRUE(platform::FileExists(q + "/fromEarlier"));
}

TEST_F(FoldersMode, PreCountUsesTheFoldersAsTheyStandBeforeTheRun)
{
    // Both List 2 namesakes lack the file; the pre-count sees two copies.
    const std::string a = Folder("a/Docs"), p = Folder("p/Docs"), q = Folder("q/Docs");
    File(a + "/f", "x", kMid);
    list1.Add(a);
    list2.Add(p);
    list2.Add(q);
    std::int32_t count = 0;
    CountCopies(Synchronizer::Mode::Folders, Synchronizer::Scope::All, count);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(sync.Walk().FolderName1, "Docs");
    EXPECT_EQ(sync.Walk().FolderName2, "Docs");
}

}  // namespace

namespace {

// A disk that fills up while a run copies: nothing is reported as done, the
// files that were there stay whole, and the run ends with the summary.
TEST_F(FoldersMode, AFullDiskIsReportedForUpdatesAndCopiesAlike)
{
    const std::string a = Folder("one/Docs"), b = Folder("two/Docs");
    File(a + "/newer", "new content", kNew);
    File(b + "/newer", "old content", kOld);
    File(a + "/missing", "to copy", kNew);
    list1.Add(a);
    list2.Add(b);
    platform::FileSystemTestHooks hooks;
    hooks.beforeWrite = [](std::uint64_t) { return ENOSPC; };
    platform::SetFileSystemTestHooks(hooks);

    Run(Synchronizer::Mode::Folders, Synchronizer::Scope::All);
    platform::ClearFileSystemTestHooks();

    const std::string reason = std::system_category().message(ENOSPC);
    EXPECT_THAT(Recorded(), UnorderedElementsAre(NotUpdated(b + "/newer", reason), NotCopied("missing", b, reason)));
    EXPECT_EQ(ReadFile(b + "/newer"), "old content");
    EXPECT_EQ(MTimeSeconds(b + "/newer"), kOld);
    EXPECT_FALSE(platform::FileExists(b + "/missing"));
    EXPECT_EQ(state.FailFlag, 1);
    EXPECT_EQ(spy.tally.failed, 2);
}

// A run limited to some last path components (one that follows a change)
// pairs only folders of those names, in pre-count and body alike.
TEST_F(FoldersMode, ARunLimitedToNamesPairsOnlyThoseFolders)
{
    for (const char* name : {"Docs", "Pics"}) {
        File(Folder(std::string("a/") + name) + "/f", name, kNew);
        list1.Add(Folder(std::string("a/") + name));
        list2.Add(Folder(std::string("b/") + name));
    }
    const std::set<std::string> only{"Pics"};
    std::int32_t count = -1;
    sync.Run(Synchronizer::Mode::Folders, Synchronizer::Scope::All, spy.options, &only);
    EXPECT_EQ(Recorded(), Records{Copied("f", Folder("b/Pics"))});
    CountCopies(Synchronizer::Mode::Folders, Synchronizer::Scope::All, count);
    EXPECT_EQ(count, 1);  // Docs, unlimited again
}

}  // namespace
