// What runs on change rely on: every change a run could act on shows its
// folder and name, folders that come late or come back are found, and
// nothing that may have changed unseen goes untold.
#include <gtest/gtest.h>
#include <poll.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "PlatformTestUtil.h"
#include "TempDir.h"
#include "platform/fs/FolderWatch.h"

namespace {

using platform::FolderWatch;

// What came since the last look. The kernel queues an event before the
// change's call returns, so a short wait only matters when nothing comes.
FolderWatch::Changes Next(FolderWatch& watch)
{
    pollfd ready{watch.EventFd(), POLLIN, 0};
    ::poll(&ready, 1, 100);
    return watch.Read();
}

bool HasName(const FolderWatch::Changes& changes, const std::string& folder, const std::string& name)
{
    return std::find(changes.names.begin(), changes.names.end(), std::pair{folder, name}) != changes.names.end();
}

// One change in dir, said as in a shell: "mkdir a/b" (with its parents),
// "write a/x", "touch a/x", "mv a b", "rm a".
void Change(const TempDir& dir, const std::string& command)
{
    std::istringstream words(command);
    std::string verb, path, to;
    words >> verb >> path >> to;
    if (verb == "mkdir")
        std::filesystem::create_directories(dir / path);
    else if (verb == "write")
        WriteFile(dir / path, command);
    else if (verb == "touch")
        SetMTime(dir / path, 1600000000);
    else if (verb == "mv")
        std::filesystem::rename(dir / path, dir / to);
    else
        std::filesystem::remove(dir / path);
}

TEST(FolderWatch, EntryChangesShowTheirFolderAndNameForEveryTextOfTheFolder)
{
    TempDir dir;
    Change(dir, "mkdir f/sub");
    Change(dir, "write f/old");
    FolderWatch watch;
    const std::set<std::string> texts = {dir / "f", dir / "f/"};
    watch.SetFolders({texts.begin(), texts.end()});
    struct Case {
        const char* change;
        const char* name;  // null: nothing for a run to do
    };
    for (const Case c : {Case{"write f/new", "new"}, Case{"write f/old", "old"}, Case{"touch f/old", "old"},
                         Case{"mv f/old f/renamed", "renamed"}, Case{"rm f/renamed", "renamed"},
                         Case{"write f/sub/deep", nullptr}, Case{"mkdir f/sub2", nullptr}}) {
        SCOPED_TRACE(c.change);
        Change(dir, c.change);
        const FolderWatch::Changes changes = Next(watch);
        EXPECT_FALSE(changes.missed);
        EXPECT_EQ(changes.folders, c.name ? texts : std::set<std::string>{});
        EXPECT_EQ(changes.names.empty(), c.name == nullptr);
        for (const std::string& text : texts)
            EXPECT_TRUE(!c.name || HasName(changes, text, c.name)) << text;
    }
}

TEST(FolderWatch, FolderComingLateOrBackIsChangedWithItsContentMissed)
{
    struct Step {
        const char* change;
        bool changed;
        bool missed;
    };
    struct Case {
        const char* listed;
        bool there;  // when the watch begins
        std::vector<Step> steps;
    };
    const Step fileMade{"write a/x", true, false};
    const std::vector<Case> cases = {
        {"a", false, {{"mkdir a", true, true}, fileMade}},
        {"p/q/a", false, {{"mkdir p", false, false}, {"mkdir p/q", false, false}, {"mkdir p/q/a", true, true}}},
        {"p/q/a", false, {{"mkdir p/q/a", true, true}}},
        {"a", true, {{"rm a", true, false}, {"mkdir a", true, true}, fileMade}},
        {"a", true, {{"mkdir b", false, false}, {"mv b a", true, true}, fileMade}},
    };
    for (const Case& c : cases) {
        TempDir dir;
        if (c.there)
            Change(dir, std::string("mkdir ") + c.listed);
        FolderWatch watch;
        watch.SetFolders({dir / c.listed});
        for (const Step& step : c.steps) {
            SCOPED_TRACE(std::string(c.listed) + (c.there ? " there: " : ": ") + step.change);
            Change(dir, step.change);
            const FolderWatch::Changes changes = Next(watch);
            EXPECT_EQ(changes.folders.count(dir / c.listed) == 1, step.changed);
            EXPECT_EQ(changes.missed, step.missed);
        }
        EXPECT_TRUE(watch.TakeProblems().empty());
    }
}

TEST(FolderWatch, OverflowSaysSomethingWasMissed)
{
    long queued = 0;
    std::ifstream("/proc/sys/fs/inotify/max_queued_events") >> queued;
    if (queued <= 0 || queued > 1000000)
        GTEST_SKIP() << "SKIP: the queue holds " << queued << " events, too many to fill";
    TempDir dir;
    WriteFile(dir / "a", "a");
    WriteFile(dir / "b", "b");
    FolderWatch watch;
    watch.SetFolders({dir.Path()});
    // Two names in turn: the kernel merges an event only into the same last one.
    for (long i = 0; i <= queued; ++i)
        SetMTime(dir / (i % 2 == 0 ? "a" : "b"), 1600000000 + i);
    EXPECT_TRUE(Next(watch).missed);
    WriteFile(dir / "c", "c");
    const FolderWatch::Changes after = Next(watch);
    EXPECT_FALSE(after.missed);
    EXPECT_TRUE(HasName(after, dir.Path(), "c"));
}

// inotify watches that processes of this user hold now; the limit counts them all.
long WatchesInUse()
{
    long count = 0;
    for (const std::string& pid : ListFolder("/proc")) {
        const std::string process = "/proc/" + pid;
        struct stat st {};
        if (!std::isdigit(static_cast<unsigned char>(pid[0])) || ::stat(process.c_str(), &st) != 0
            || st.st_uid != ::geteuid())
            continue;
        try {
            for (const std::string& fd : ListFolder(process + "/fdinfo")) {
                std::ifstream info((process + "/fdinfo/").append(fd));
                for (std::string line; std::getline(info, line);)
                    count += line.rfind("inotify wd:", 0) == 0 ? 1 : 0;
            }
        } catch (const std::runtime_error&) {
            // the process ended meanwhile
        }
    }
    return count;
}

TEST(FolderWatch, FoldersBeyondTheWatchLimitAreToldOnce)
{
    const char* const limitFile = "/proc/sys/fs/inotify/max_user_watches";
    if (::geteuid() != 0 || ::access(limitFile, W_OK) != 0)
        GTEST_SKIP() << "SKIP: only root may lower the watch limit";
    const std::string saved = ReadFile(limitFile);
    TempDir dir;
    std::vector<std::string> folders;
    for (const char* name : {"a", "b", "c"}) {
        folders.push_back(dir / name);
        ::mkdir(folders.back().c_str(), 0755);
    }
    // In a child, so that a failing test cannot leave the limit lowered.
    const std::string said = RunAsUser(0, 0, [&] {
        WriteFile(limitFile, std::to_string(WatchesInUse() + 1));
        FolderWatch watch;
        watch.SetFolders(folders);
        std::string result = std::to_string(watch.WatchCount()) + " watched;";
        for (const FolderWatch::Problem& problem : watch.TakeProblems()) {
            const bool atLimit = problem.why == FolderWatch::Problem::Why::WatchLimit && problem.error == ENOSPC;
            result += " " + problem.folder.substr(dir.Path().size() + 1) + (atLimit ? " at the limit" : " other");
        }
        watch.SetFolders(folders);
        result += "; told again " + std::to_string(watch.TakeProblems().size());
        WriteFile(limitFile, saved);
        watch.SetFolders(folders);
        return result + "; then " + std::to_string(watch.WatchCount()) + " watched";
    });
    WriteFile(limitFile, saved);
    EXPECT_EQ(said, "1 watched; b at the limit c at the limit; told again 0; then 3 watched");
}

TEST(FolderWatch, DriveMountedOrUnmountedAtAListedFolderIsWatchedAnew)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "SKIP: only root may mount";
    TempDir dir;
    const std::string folder = dir / "m";
    ::mkdir(folder.c_str(), 0755);
    // A mount table of the child's own: nothing stays mounted.
    const std::string said = RunAsUser(0, 0, [&]() -> std::string {
        if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
            return "SKIP";
        FolderWatch watch;
        watch.SetFolders({folder});
        // As the caller does: its wait for the mount table takes the table's signal.
        const auto afterMountChange = [&watch] {
            pollfd table{watch.MountsFd(), POLLPRI, 0};
            ::poll(&table, 1, 1000);
            const FolderWatch::Changes changes = watch.Read();
            return std::to_string(changes.folders.size()) + (changes.missed ? " missed" : "");
        };
        if (::mount("none", folder.c_str(), "tmpfs", 0, nullptr) != 0)
            return "SKIP";
        std::string result = "mounted " + afterMountChange();
        WriteFile(folder + "/x", "x");
        result += HasName(Next(watch), folder, "x") ? ", file seen" : ", file unseen";
        ::umount(folder.c_str());
        return result + ", unmounted " + afterMountChange();
    });
    if (said == "SKIP")
        GTEST_SKIP() << "SKIP: no mount table of its own here";
    EXPECT_EQ(said, "mounted 1 missed, file seen, unmounted 1 missed");
}

}  // namespace
