#include <dirent.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <iostream>
#include <system_error>

#include <gmock/gmock.h>

#include "PlatformTestUtil.h"
#include "RunFixture.h"
#include "platform/fs/CopyFile.h"
#include "platform/fs/FileSystem.h"

using namespace RunTexts;
using ::testing::UnorderedElementsAre;

namespace {

// The names of folder in the order a run meets them: the order it is listed in.
std::vector<std::string> ListedOrder(const std::string& folder)
{
    std::vector<std::string> names;
    DIR* dir = ::opendir(folder.c_str());
    while (const dirent* entry = dir ? ::readdir(dir) : nullptr) {
        if (entry->d_name[0] != '.')
            names.emplace_back(entry->d_name);
    }
    if (dir)
        ::closedir(dir);
    return names;
}

class CopyFailures : public RunFixture {
protected:
    CopyFailures() { spy.mode = 1; }
    // The records' lines, sorted, to send from another process.
    std::string SortedLines() const
    {
        std::vector<std::string> lines;
        for (const RunRecord& record : Recorded())
            lines.push_back(record.Line());
        std::sort(lines.begin(), lines.end());
        std::string text;
        for (const std::string& line : lines)
            text += "\n" + line;
        return text;
    }
};

// A source that changes while it is copied gives no torn copy: the
// destination stays as it was, the run says why and ends with the summary,
// and the next run copies the settled file.
TEST_F(CopyFailures, ASourceChangedWhileCopiedIsReportedAndCopiedNextRun)
{
    const std::string a = Folder("one/Docs"), b = Folder("two/Docs");
    File(a + "/newer", "new content", kNew);
    File(b + "/newer", "old content", kOld);
    File(a + "/missing", "to copy", kNew);
    list1.Add(a);
    list2.Add(b);
    // Each file is saved again while it is copied.
    const std::vector<std::string> order = ListedOrder(a);
    std::size_t copying = 0;
    platform::FileSystemTestHooks hooks;
    hooks.afterContent = [&] {
        const std::string name = order.at(copying++);
        File(a + "/" + name, name == "newer" ? "newer content" : "to copy, edited", kNew + 10);
    };
    {
        ScopedTestHooks use(hooks);
        Run(Synchronizer::Mode::Folders, Synchronizer::Scope::All);
    }
    EXPECT_THAT(Recorded(),
                UnorderedElementsAre(NotUpdated(b + "/newer", platform::kCopySourceChangedText),
                                     NotCopied("missing", b, platform::kCopySourceChangedText)));
    EXPECT_EQ(ReadFile(b + "/newer"), "old content");
    EXPECT_EQ(MTimeSeconds(b + "/newer"), kOld);
    EXPECT_FALSE(platform::FileExists(b + "/missing"));
    EXPECT_EQ(state.FailFlag, 1);
    EXPECT_FALSE(spy.tally.Complete());  // the summary shows

    Run(Synchronizer::Mode::Folders, Synchronizer::Scope::All);
    EXPECT_EQ(state.FailFlag, 0);
    EXPECT_EQ(ReadFile(b + "/newer"), "newer content");
    EXPECT_EQ(MTimeSeconds(b + "/newer"), kNew + 10);
    EXPECT_EQ(ReadFile(b + "/missing"), "to copy, edited");
}

// A file put in the source's place after the run compared the two (a restore
// from a backup by rename, a drive mounted over its folder), before the copy
// opens it, never replaces the other file: the run says why, and the next
// run compares again. The drive counts too: a file of the same time and
// size on another drive is another file.
TEST_F(CopyFailures, ASourceSwappedAfterTheRunComparedReplacesNothing)
{
    using Mode = Synchronizer::Mode;
    struct Case {
        const char* what;
        Mode mode;
        bool list2Newer;
        bool mounted;  // swapped by a drive mounted over the folder
    };
    const Case cases[] = {
        {"folders mode, List 1 newer", Mode::Folders, false, false},
        {"folders mode, List 2 newer", Mode::Folders, true, false},
        {"files mode, List 1 newer", Mode::Files, false, false},
        {"files mode, List 2 newer", Mode::Files, true, false},
        {"a drive over the folder, the same time and size", Mode::Folders, false, true},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string root = "case" + std::to_string(n++);
        const std::string one = Folder(root + "/one/Docs"), two = Folder(root + "/two/Docs");
        const std::string& newer = c.list2Newer ? two : one;
        const std::string& older = c.list2Newer ? one : two;
        File(newer + "/f", "newer edit", kNew);
        File(older + "/f", "older edit", kMid);
        list1.Clear();
        list2.Clear();
        list1.Add(one);
        list2.Add(two);
        bool swapped = false;
        platform::FileSystemTestHooks hooks;
        hooks.beforeSourceOpen = [&](const std::string& source) {
            if (swapped || source != newer + "/f")
                return;
            swapped = true;
            if (c.mounted) {
                if (::mount("folderly-test", newer.c_str(), "tmpfs", 0, nullptr) != 0)
                    return;
                File(newer + "/f", "NEWER EDIT", kNew);
            } else {
                File(newer + "/backup", "the 2020 version", kOld);
                ASSERT_EQ(::rename((newer + "/backup").c_str(), (newer + "/f").c_str()), 0);
            }
        };
        {
            ScopedTestHooks use(hooks);
            Run(c.mode, Synchronizer::Scope::All);
        }
        if (c.mounted && ReadFile(newer + "/f") != "NEWER EDIT") {
            std::cout << "SKIP: " << c.what << ": no tmpfs could be mounted" << std::endl;
            continue;
        }
        ASSERT_TRUE(swapped);
        EXPECT_EQ(ReadFile(older + "/f"), "older edit");
        EXPECT_EQ(Recorded().back(), NotUpdated(older + "/f", platform::kCopySourceNotAsComparedText));
        EXPECT_EQ(state.FailFlag, 1);

        // The next run compares what is there now: the older edit is newer
        // than the restored file.
        if (c.mounted)
            ASSERT_EQ(::umount(newer.c_str()), 0);
        else
            Run(c.mode, Synchronizer::Scope::All);
        EXPECT_EQ(ReadFile(newer + "/f"), c.mounted ? "newer edit" : "older edit");
    }
}

// A FIFO or a socket where a file's copy would go keeps the file out on
// every run: the run says so, whatever the times, and never opens it.
// A folder that goes away while the run copies into it (a share unmounted,
// an ssh connection lost) leaves no file unsaid: one line names it and how
// many files it did not get, and the run counts each as failed; also when
// the program ends the run before the rest of the pair.
TEST_F(CopyFailures, AFolderThatGoesAwayDuringTheRunIsSaidWithWhatItDidNotGet)
{
    // Ends the run after its second step.
    class Ending : public RunSpy {
    public:
        bool StopRequested() const override { return stop && progress.size() >= 2; }
        bool stop = false;
    };
    for (const bool stopped : {false, true}) {
        SCOPED_TRACE(stopped ? "stopped" : "to its end");
        const std::string root = stopped ? "stopped" : "whole";
        const std::string one = Folder(root + "/one/Docs"), two = Folder(root + "/two/Docs");
        for (const char* name : {"f1", "f2", "f3"})
            File(one + "/" + name, name, kNew);
        FolderList ones, twos;
        ones.Add(one);
        twos.Add(two);
        Ending ending;
        ending.stop = stopped;
        Synchronizer run(state, ones, twos, ending);
        bool gone = false;
        platform::FileSystemTestHooks hooks;
        hooks.beforeSourceOpen = [&](const std::string&) {
            if (!gone)
                gone = std::filesystem::remove_all(tmp / (root + "/two")) > 0;
        };
        {
            ScopedTestHooks use(hooks);
            run.Run(Synchronizer::Mode::Folders, Synchronizer::Scope::All, ending.options);
        }
        ASSERT_TRUE(gone);
        const std::string notCopied = stopped ? "2" : "3";
        EXPECT_EQ(ending.records, Records{RunRecord::WentAwayOf(two, std::stoi(notCopied))});
        EXPECT_EQ(ending.tally.failed, std::stoi(notCopied));
    }
}

TEST_F(CopyFailures, ANonFileInTheWayIsSaid)
{
    using Mode = Synchronizer::Mode;
    struct Case {
        const char* what;
        Mode mode;
        bool inList1;  // the FIFO or socket stands in the List 1 folder
        bool socket;
        long long time;  // the FIFO's or socket's
    };
    const Case cases[] = {
        {"folders mode, a FIFO as old as the file", Mode::Folders, false, false, kNew},
        {"folders mode, a newer socket", Mode::Folders, false, true, kNew + 10},
        {"folders mode, a FIFO in List 1", Mode::Folders, true, false, kOld},
        {"files mode, a newer FIFO", Mode::Files, false, false, kNew + 10},
        {"files mode, a socket as old as the file", Mode::Files, false, true, kNew},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string root = "case" + std::to_string(n++);
        const std::string a = Folder(root + "/one/Docs"), b = Folder(root + "/two/Docs");
        const std::string& fileAt = c.inList1 ? b : a;
        const std::string& inTheWay = c.inList1 ? a : b;
        File(fileAt + "/f", "the file", kNew);
        const std::string special = inTheWay + "/f";
        if (c.socket) {
            const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
            sockaddr_un address{};
            address.sun_family = AF_UNIX;
            ASSERT_LT(special.size(), sizeof address.sun_path);
            special.copy(address.sun_path, special.size());
            ASSERT_EQ(::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
            ::close(fd);
        } else {
            ASSERT_EQ(::mkfifo(special.c_str(), 0644), 0);
        }
        SetMTime(special, c.time);
        list1.Clear();
        list2.Clear();
        list1.Add(a);
        list2.Add(b);
        const auto before = static_cast<std::ptrdiff_t>(Recorded().size());
        Run(c.mode, Synchronizer::Scope::All);
        EXPECT_EQ(Records(Recorded().begin() + before, Recorded().end()),
                  Records{NotCopied("f", inTheWay, special + kNotAFile)});
        EXPECT_EQ(ReadFile(fileAt + "/f"), "the file");
        EXPECT_EQ(state.FailFlag, 1);
    }
}

// A destination saved after the run looked at it is never replaced by the
// older file the run was copying; the next run takes the save the other way.
TEST_F(CopyFailures, ADestinationSavedDuringTheCopyIsKept)
{
    const std::string a = Folder("one/Docs"), b = Folder("two/Docs");
    File(a + "/x", "List 1 copy", kNew);
    File(b + "/x", "List 2 copy", kOld);
    list1.Add(a);
    list2.Add(b);
    for (const int mode : {0, 1}) {
        SCOPED_TRACE(mode == 0 ? "files mode" : "folders mode");
        spy.mode = mode;
        const long long saved = kNew + 1000 * (mode + 1);
        platform::FileSystemTestHooks hooks;
        hooks.afterContent = [&] { File(b + "/x", "user's save", saved); };
        {
            ScopedTestHooks use(hooks);
            RunByMode(Synchronizer::Scope::All);
        }
        EXPECT_EQ(Recorded().back(), NotUpdated(b + "/x", platform::kCopyDestinationChangedText));
        EXPECT_EQ(ReadFile(b + "/x"), "user's save");
        EXPECT_EQ(MTimeSeconds(b + "/x"), saved);
        EXPECT_EQ(state.FailFlag, 1);

        RunByMode(Synchronizer::Scope::All);
        EXPECT_EQ(ReadFile(a + "/x"), "user's save");
        EXPECT_EQ(MTimeSeconds(a + "/x"), saved);
        // List 1 later again, for the next mode.
        File(a + "/x", "List 1 copy", saved + 100);
    }
}

// Files mode looks at a List 1 file once, then goes through the List 2
// folders: a save of the List 1 file after that look is never replaced by a
// List 2 copy the run had found later than the file it saw.
TEST_F(CopyFailures, AList1FileSavedAfterTheRunLookedIsKept)
{
    // List 2 is walked from its last entry: z first, then m.
    const std::string a = Folder("a"), m = Folder("m"), z = Folder("z");
    File(a + "/x", "List 1 copy", kMid);
    File(z + "/x", "older", kOld);
    File(m + "/x", "later", kNew);
    list1.Add(a);
    list2.Add(m);
    list2.Add(z);
    spy.mode = 0;
    platform::FileSystemTestHooks hooks;
    // Once the first copy (a/x over z/x) has read a/x, the user saves it.
    int copies = 0;
    hooks.afterContent = [&] {
        if (copies++ == 0)
            File(a + "/x", "user's save", kNew + 50);
    };
    {
        ScopedTestHooks use(hooks);
        RunByMode(Synchronizer::Scope::All);
    }
    EXPECT_EQ(ReadFile(a + "/x"), "user's save");
    EXPECT_EQ(Recorded().back(), NotUpdated(a + "/x", platform::kCopyDestinationChangedText));
    EXPECT_EQ(state.FailFlag, 1);
}

// A copy whose content could not be flushed to the disk is never put in
// place: its destination stays as it was and its line says why, while the
// copies flushed beside it are made. Each line agrees with the disk, no
// temporary file stays, and the next run makes the rest.
TEST_F(CopyFailures, ACopyThatCannotReachTheDiskReplacesNothing)
{
    const std::string a = Folder("one/Docs"), b = Folder("two/Docs");
    constexpr int kFiles = 300;  // more than one batch
    for (int i = 0; i < kFiles; ++i) {
        File(a + "/f" + std::to_string(i), "new " + std::to_string(i), kNew);
        if (i % 3 == 0)
            File(b + "/f" + std::to_string(i), "old", kOld);
    }
    list1.Add(a);
    list2.Add(b);
    platform::FileSystemTestHooks hooks;
    hooks.noUnnamedTemp = true;  // temporary files with names, which must not stay
    int flushes = 0;
    hooks.beforeFlush = [&] { return flushes++ % 2 == 0 ? EIO : 0; };
    {
        ScopedTestHooks use(hooks);
        Run(Synchronizer::Mode::Folders, Synchronizer::Scope::All);
    }
    const Records& records = Recorded();
    const auto said = [&](const RunRecord& record) { return std::count(records.begin(), records.end(), record) == 1; };
    const std::string failure = std::system_category().message(EIO);
    int made = 0;
    for (int i = 0; i < kFiles; ++i) {
        const std::string name = "f" + std::to_string(i), path = b + "/" + name;
        SCOPED_TRACE(name);
        const bool update = i % 3 == 0;
        if (platform::FileExists(path) && ReadFile(path) == "new " + std::to_string(i)) {
            ++made;
            EXPECT_TRUE(said(update ? Updated(path) : Copied(name, b)));
            continue;
        }
        EXPECT_TRUE(said(update ? NotUpdated(path, failure) : NotCopied(name, b, failure)));
        EXPECT_EQ(platform::FileExists(path), update);
        if (update) {
            EXPECT_EQ(MTimeSeconds(path), kOld);
        }
    }
    EXPECT_EQ(records.size(), static_cast<std::size_t>(kFiles));
    EXPECT_GT(made, 0);
    EXPECT_LT(made, kFiles);
    EXPECT_EQ(state.FailFlag, 1);

    Run(Synchronizer::Mode::Folders, Synchronizer::Scope::All);
    EXPECT_EQ(state.FailFlag, 0);
    EXPECT_EQ(ListFolder(b).size(), static_cast<std::size_t>(kFiles));  // no temporary file beside them
    EXPECT_EQ(ReadFile(b + "/f0"), "new 0");
}

// One folder in both lists: every file pairs with itself and nothing is
// written (nor said to be), but a read-only file is reported as one, as any
// read-only destination is.
TEST_F(CopyFailures, OneFolderInBothListsReportsItsReadOnlyFile)
{
    const std::string a = Folder("a");
    File(a + "/x", "content x", kOld);
    File(a + "/ro", "content ro", kNew);
    MakeReadOnly(a + "/ro");
    list1.Add(a);
    list2.Add(a);
    spy.mode = 0;
    RunByMode(Synchronizer::Scope::All);
    EXPECT_EQ(Recorded(), Records{ReadOnly(a + "/ro")});
    EXPECT_EQ(state.FailFlag, 1);
    EXPECT_FALSE(spy.tally.Complete());  // the summary shows
    EXPECT_EQ(ReadFile(a + "/ro"), "content ro");
    EXPECT_EQ(MTimeSeconds(a + "/ro"), kNew);
    EXPECT_TRUE(platform::FileIsReadOnly(a + "/ro"));
}

// In a folder a group shares, another member's file that the user may not
// write is not updated: its line says why, and it stays theirs.
TEST_F(CopyFailures, AFileTheUserMayNotWriteIsNotUpdated)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "only root can act as the group's members";
    constexpr uid_t kOwner = 61001;
    constexpr uid_t kMember = 61002;
    constexpr gid_t kShared = 61000;
    const std::string a = Folder("one/Docs"), b = Folder("two/Docs");
    File(a + "/x", "List 1 copy", kNew);
    File(b + "/x", "owner's copy", kOld);
    ASSERT_EQ(chmod(tmp.Path().c_str(), 0755), 0);
    ASSERT_EQ(chown(b.c_str(), 0, kShared), 0);
    ASSERT_EQ(chmod(b.c_str(), 02775), 0);
    ASSERT_EQ(chown((b + "/x").c_str(), kOwner, kShared), 0);
    list1.Add(a);
    list2.Add(b);
    const std::string said = RunAsUser(kMember, kShared, [&] {
        Run(Synchronizer::Mode::Folders, Synchronizer::Scope::All);
        return std::to_string(state.FailFlag) + SortedLines();
    });
    EXPECT_EQ(said, "1\n" + NotUpdated(b + "/x", std::system_category().message(EACCES)).Line());
    EXPECT_EQ(ReadFile(b + "/x"), "owner's copy");
}

// Under a file-size limit the copies that pass it fail with their lines and
// the run goes on to its end.
TEST_F(CopyFailures, AFileSizeLimitFailsTheCopiesNotTheProgram)
{
    const std::string a = Folder("one/Docs"), b = Folder("two/Docs");
    File(a + "/newer", std::string(1 << 20, 'n'), kNew);
    File(b + "/newer", "old content", kOld);
    File(a + "/missing", std::string(1 << 20, 'm'), kNew);
    list1.Add(a);
    list2.Add(b);
    int pipeFds[2];
    ASSERT_EQ(pipe(pipeFds), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const rlimit limit{64 * 1024, 64 * 1024};
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0)
            _exit(100);
        Run(Synchronizer::Mode::Folders, Synchronizer::Scope::All);
        const std::string said = std::to_string(state.FailFlag) + SortedLines();
        const bool sent = write(pipeFds[1], said.data(), said.size()) == static_cast<ssize_t>(said.size());
        _exit(sent ? 0 : 101);
    }
    close(pipeFds[1]);
    std::string said;
    char buffer[4096];
    for (ssize_t got; (got = read(pipeFds[0], buffer, sizeof buffer)) > 0;)
        said.append(buffer, static_cast<std::size_t>(got));
    close(pipeFds[0]);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;

    const std::string reason = std::system_category().message(EFBIG);
    EXPECT_EQ(said, "1\n" + NotUpdated(b + "/newer", reason).Line() + "\n" + NotCopied("missing", b, reason).Line());
    EXPECT_EQ(ReadFile(b + "/newer"), "old content");
    EXPECT_FALSE(platform::FileExists(b + "/missing"));
}

}  // namespace
