#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "PlatformTestUtil.h"
#include "TempDir.h"
#include "platform/fs/CopyFile.h"
#include "platform/fs/Drive.h"
#include "platform/fs/FileState.h"
#include "platform/fs/FileSystem.h"
#include "platform/fs/KnownFolders.h"

namespace {

using Names = std::set<std::string>;

mode_t ModeOf(const std::string& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return 0;
    return st.st_mode & 07777;
}

class ScopedUmask {
public:
    explicit ScopedUmask(mode_t mask) : m_old(::umask(mask)) {}
    ~ScopedUmask() { ::umask(m_old); }
    ScopedUmask(const ScopedUmask&) = delete;
    ScopedUmask& operator=(const ScopedUmask&) = delete;

private:
    mode_t m_old;
};

// Another program changes the source or the destination while a copy runs:
// the copy fails and nothing is replaced, with named temporary files and
// with unnamed ones alike.
TEST(CopySafetyTest, ChangesWhileCopyingReplaceNothing)
{
    struct Case {
        const char* what;
        bool destinationThere;
        std::function<void(const std::string& source, const std::string& destination)> change;
        int error;
        std::optional<std::string> destinationAfter;  // nullopt: no file
    };
    const std::string source(256 * 1024, 's');
    const Case cases[] = {
        {"source truncated", true, [](auto& s, auto&) { ASSERT_EQ(truncate(s.c_str(), 1000), 0); },
         platform::kCopySourceChanged, "old"},
        {"source grown, new file", false, [&](auto& s, auto&) { ASSERT_EQ(truncate(s.c_str(), source.size() + 4), 0); },
         platform::kCopySourceChanged, std::nullopt},
        {"source rewritten, same size", true, [&](auto& s, auto&) { WriteFile(s, std::string(source.size(), 't')); },
         platform::kCopySourceChanged, "old"},
        {"source replaced by rename", true,
         [](auto& s, auto&) {
             WriteFile(s + ".new", "saved");
             ASSERT_EQ(rename((s + ".new").c_str(), s.c_str()), 0);
         },
         platform::kCopySourceChanged, "old"},
        {"destination saved", true, [](auto&, auto& d) { WriteFile(d, "user's save"); },
         platform::kCopyDestinationChanged, "user's save"},
        {"destination saved by rename", true,
         [](auto&, auto& d) {
             WriteFile(d + ".new", "user's save");
             ASSERT_EQ(rename((d + ".new").c_str(), d.c_str()), 0);
         },
         platform::kCopyDestinationChanged, "user's save"},
        {"destination made read-only", true, [](auto&, auto& d) { MakeReadOnly(d); }, platform::kCopyDestinationChanged,
         "old"},
        {"destination deleted", true, [](auto&, auto& d) { ASSERT_EQ(unlink(d.c_str()), 0); },
         platform::kCopyDestinationChanged, std::nullopt},
        {"destination made where there was none", false, [](auto&, auto& d) { WriteFile(d, "user's new file"); },
         platform::kCopyDestinationChanged, "user's new file"},
    };
    for (const bool named : {false, true}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.what) + (named ? ", named temporary" : ", unnamed temporary"));
            TempDir src;
            TempDir dst;
            const std::string s = src / "f.txt";
            const std::string d = dst / "f.txt";
            WriteFile(s, source);
            if (c.destinationThere)
                WriteFile(d, "old");
            platform::FileSystemTestHooks hooks;
            hooks.noUnnamedTemp = named;
            hooks.afterContent = [&] { c.change(s, d); };
            ScopedTestHooks use(hooks);

            EXPECT_EQ(platform::CopyFile(s, d, false), c.error);
            if (c.destinationAfter) {
                EXPECT_TRUE(ReadFile(d) == *c.destinationAfter) << ReadFile(d).size() << " bytes";
                EXPECT_EQ(ListFolder(dst.Path()), Names{"f.txt"});
            } else {
                EXPECT_EQ(ListFolder(dst.Path()), Names{});
            }
        }
    }
}

// A new file gets the source's bits less the umask, as cp gives them; an
// updated file keeps its own, but for the owner's write bit, so that
// read-only travels and a private file stays private, and but for the group
// and other bits the source does not have: a file open to all never takes
// in a private file's content.
TEST(CopySafetyTest, PermissionBits)
{
    struct Case {
        mode_t destination;  // 0: no destination yet
        mode_t source;
        mode_t expected;
    };
    const Case cases[] = {
        {0, 0644, 0640},    {0, 0444, 0440},    {0, 0777, 0750},    {0, 0600, 0600},
        {0600, 0644, 0600}, {0640, 0444, 0440}, {0755, 0666, 0744}, {0604, 0400, 0400},
    };
    const ScopedUmask mask(027);
    TempDir src;
    TempDir dst;
    int n = 0;
    for (const Case& c : cases) {
        const std::string name = "f" + std::to_string(n++);
        SCOPED_TRACE(name);
        WriteFile(src / name, "new");
        ASSERT_EQ(chmod((src / name).c_str(), c.source), 0);
        if (c.destination != 0) {
            WriteFile(dst / name, "old");
            ASSERT_EQ(chmod((dst / name).c_str(), c.destination), 0);
        }
        EXPECT_EQ(platform::CopyFile(src / name, dst / name, c.destination == 0), 0);
        EXPECT_EQ(ReadFile(dst / name), "new");
        EXPECT_EQ(ModeOf(dst / name), c.expected);
    }
}

// A sparse file keeps its holes, however its content travels.
TEST(CopySafetyTest, HolesStayHoles)
{
    constexpr off_t kSize = 64 << 20;
    const std::pair<off_t, const char*> pieces[] = {{0, "start"}, {20 << 20, "middle"}, {40 << 20, "late"}};
    TempDir src;
    TempDir dst;
    {
        const int fd = ::open((src / "sparse").c_str(), O_CREAT | O_WRONLY, 0644);
        ASSERT_GE(fd, 0);
        for (const auto& [offset, text] : pieces)
            ASSERT_EQ(pwrite(fd, text, strlen(text), offset), static_cast<ssize_t>(strlen(text)));
        ASSERT_EQ(ftruncate(fd, kSize), 0);  // and a hole at the end
        ::close(fd);
    }
    const std::string content = ReadFile(src / "sparse");
    struct Way {
        const char* what;
        bool noKernelCopy;
        std::size_t pieceSize;
    };
    for (const Way& way : {Way{"kernel", false, 0}, Way{"read and write", true, 0}, Way{"small pieces", false, 4096}}) {
        SCOPED_TRACE(way.what);
        platform::FileSystemTestHooks hooks;
        hooks.noKernelCopy = way.noKernelCopy;
        hooks.pieceSize = way.pieceSize;
        ScopedTestHooks use(hooks);
        const std::string copy = dst / way.what;
        ASSERT_EQ(platform::CopyFile(src / "sparse", copy, true), 0);
        struct stat st {};
        ASSERT_EQ(::stat(copy.c_str(), &st), 0);
        EXPECT_EQ(st.st_size, kSize);
        EXPECT_LT(st.st_blocks * 512, 1 << 20);
        EXPECT_TRUE(ReadFile(copy) == content);
    }
}

// Named temporary files of copies that were killed are removed by the next
// copy into their folder; one that a copy still writes (it holds it locked)
// and the text file writer's are left alone.
TEST(CopySafetyTest, TheNextCopyRemovesLeftoversNoCopyHolds)
{
    TempDir src;
    TempDir dst;
    const std::string dead = platform::OwnCopyTemporaryName();
    const std::string held = platform::OwnCopyTemporaryName();
    const std::string text = std::string(platform::kTemporaryNamePrefix) + "3-text";
    for (const std::string& name : {dead, held, text})
        WriteFile(dst / name, "partial");
    const int holder = ::open((dst / held).c_str(), O_RDONLY);
    ASSERT_GE(holder, 0);
    ASSERT_EQ(flock(holder, LOCK_EX | LOCK_NB), 0);
    WriteFile(src / "a", "a");
    WriteFile(src / "b", "b");

    for (bool named : {false, true}) {
        platform::FileSystemTestHooks hooks;
        hooks.noUnnamedTemp = named;
        ScopedTestHooks use(hooks);
        ASSERT_EQ(platform::CopyFile(src / "a", dst / "a", false), 0);
        EXPECT_EQ(ListFolder(dst.Path()), (Names{"a", held, text}));
    }
    // Its copy is gone: the next one removes it too.
    ::close(holder);
    ASSERT_EQ(platform::CopyFile(src / "b", dst / "b", true), 0);
    EXPECT_EQ(ListFolder(dst.Path()), (Names{"a", "b", text}));
}

// A person saves the destination in place the moment a copy put it there:
// the save keeps its content and its own time, and is neither told as the
// copy's write (a run on change would leave it out) nor given as a state to
// remember in step with the source.
TEST(CopySafetyTest, ASaveRightAfterPlacingStaysThePersons)
{
    struct Case {
        const char* what;
        bool destinationThere;
        bool named;
        const char* saved;  // null: nobody saves
    };
    const Case cases[] = {
        {"new file", false, false, "a longer save"},
        {"replaced, named temporary", true, true, "a longer save"},
        {"replaced, a save of the copy's size", true, false, "saved!"},
        {"nobody saves", true, false, nullptr},
    };
    constexpr long long kSourceTime = 1'500'000'000;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir src;
        TempDir dst;
        const std::string destination = dst / "f";
        WriteFile(src / "f", "copied");
        SetMTime(src / "f", kSourceTime);
        if (c.destinationThere) {
            WriteFile(destination, "old");
            SetMTime(destination, kSourceTime - 1000);
        }
        platform::FileSystemTestHooks hooks;
        hooks.noUnnamedTemp = c.named;
        hooks.afterPlacing = [&] {
            if (c.saved)
                WriteFile(destination, c.saved);  // in place, as an editor that keeps the file does
        };
        ScopedTestHooks use(hooks);
        platform::KnownFolders known;
        std::vector<platform::WrittenFile> told;
        known.SetOnWritten([&told](const platform::WrittenFile& file) { told.push_back(file); });
        int result = -1;
        platform::KnownFolders::CopiedStates states;
        known.CopyFile(src / "f", destination, false, platform::NameMatch::CaseBlind, std::nullopt,
                       [&](int error, const platform::KnownFolders::CopiedStates& copied) {
                           result = error;
                           states = copied;
                       });
        known.Settle();
        ASSERT_EQ(result, 0);
        struct stat now {};
        ASSERT_EQ(::stat(destination.c_str(), &now), 0);
        if (c.saved) {
            EXPECT_EQ(ReadFile(destination), c.saved);
            EXPECT_NE(MTimeSeconds(destination), kSourceTime);
            EXPECT_EQ(states.written, 0u);
            EXPECT_TRUE(told.empty());
        } else {
            EXPECT_EQ(ReadFile(destination), "copied");
            EXPECT_EQ(MTimeSeconds(destination), kSourceTime);
            EXPECT_EQ(states.written, platform::FileStateOf(now, platform::DriveAt(destination)));
            EXPECT_EQ(told, std::vector<platform::WrittenFile>{platform::WrittenFileOf(now)});
        }
    }
}

// A copy takes up only what copies of ours left: a person's files whose
// names begin as ours do (also one of our shape with a mark not ours) stay
// as they are, while our own file aside goes back where its name is free
// and goes where the name is taken.
TEST(CopySafetyTest, OnlyLeftoversOfOurOwnAreTakenUp)
{
    TempDir src;
    TempDir dst;
    const std::string prefix = platform::kTemporaryNamePrefix;
    const Names persons{prefix + "old-notes.txt", prefix + "old-todo.txt", prefix + "copy-mine",
                        prefix + "copy-0123456789abcdef-fedcba9876543210", prefix + "old-0123456789abcdef-todo.txt"};
    for (const std::string& name : persons)
        WriteFile(dst / name, "mine");
    WriteFile(dst / "notes.txt", "notes");
    WriteFile(dst / platform::OwnAsideName("f"), "old f");
    WriteFile(dst / platform::OwnAsideName("notes.txt"), "older notes");
    WriteFile(src / "a", "a");
    for (const bool named : {false, true}) {
        platform::FileSystemTestHooks hooks;
        hooks.noUnnamedTemp = named;
        ScopedTestHooks use(hooks);
        ASSERT_EQ(platform::CopyFile(src / "a", dst / "a", false), 0);
    }
    Names expected{"a", "f", "notes.txt"};
    expected.insert(persons.begin(), persons.end());
    EXPECT_EQ(ListFolder(dst.Path()), expected);
    for (const std::string& name : persons)
        EXPECT_EQ(ReadFile(dst / name), "mine") << name;
    EXPECT_EQ(ReadFile(dst / "f"), "old f");
    EXPECT_EQ(ReadFile(dst / "notes.txt"), "notes");

    // A file saved under the name the moment before ours goes back keeps it.
    WriteFile(dst / platform::OwnAsideName("g"), "old g");
    platform::FileSystemTestHooks hooks;
    hooks.beforePutBack = [&] { WriteFile(dst / "g", "saved g"); };
    ScopedTestHooks use(hooks);
    ASSERT_EQ(platform::CopyFile(src / "a", dst / "b", false), 0);
    EXPECT_EQ(ReadFile(dst / "g"), "saved g");
    EXPECT_FALSE(platform::FileExists(dst / platform::OwnAsideName("g")));
}

// On a drive that cannot replace a file in one step, a copy stopped at any
// step of its replace leaves the old or the new version under the name once
// the next copy into the folder has put right what it left: never neither.
TEST(CopySafetyTest, AReplaceInStepsStoppedAnywhereLeavesOneVersionAtTheName)
{
    struct Case {
        int killedAfterStep;  // 0: not killed
        const char* left;
    };
    const Case cases[] = {{0, "new"}, {1, "old"}, {2, "new"}};
    for (const Case& c : cases) {
        for (const bool named : {false, true}) {
            SCOPED_TRACE(std::to_string(c.killedAfterStep) + (named ? ", named" : ", unnamed"));
            TempDir src;
            TempDir dst;
            WriteFile(src / "f", "new");
            WriteFile(src / "other", "other");
            WriteFile(dst / "f", "old");
            const pid_t child = fork();
            ASSERT_GE(child, 0);
            if (child == 0) {
                platform::FileSystemTestHooks hooks;
                hooks.noUnnamedTemp = named;
                hooks.replaceInSteps = true;
                hooks.betweenReplaceSteps = [&](int step) {
                    if (step == c.killedAfterStep)
                        _exit(3);
                };
                platform::SetFileSystemTestHooks(hooks);
                _exit(platform::CopyFile(src / "f", dst / "f", false) == 0 ? 0 : 1);
            }
            int status = 0;
            ASSERT_EQ(waitpid(child, &status, 0), child);
            ASSERT_TRUE(WIFEXITED(status));
            EXPECT_EQ(WEXITSTATUS(status), c.killedAfterStep == 0 ? 0 : 3);
            ASSERT_EQ(platform::CopyFile(src / "other", dst / "other", true), 0);
            EXPECT_EQ(ReadFile(dst / "f"), c.left);
            EXPECT_EQ(ListFolder(dst.Path()), (Names{"f", "other"}));
        }
    }
}

// Beyond a file-size limit a copy fails with EFBIG and the program goes on
// (the kernel would end it with SIGXFSZ). It fails before writing anything,
// also for a file with holes, whose holes would otherwise be written as
// zeros up to the limit.
TEST(CopySafetyTest, FileSizeLimitFailsTheCopyNotTheProgram)
{
    TempDir src;
    TempDir dst;
    WriteFile(src / "big", PatternContent(1 << 20, 'b'));
    WriteFile(src / "sparse", "");
    ASSERT_EQ(::truncate((src / "sparse").c_str(), 8 << 20), 0);
    AppendFile(src / "sparse", "the end");
    WriteFile(dst / "big", "old");
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const rlimit limit{64 * 1024, 64 * 1024};
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0)
            _exit(100);
        int writes = 0;
        platform::FileSystemTestHooks hooks;
        hooks.beforeWrite = [&writes](std::uint64_t) { return ++writes, 0; };
        platform::SetFileSystemTestHooks(hooks);
        const int overwrite = platform::CopyFile(src / "big", dst / "big", false);
        const int fresh = platform::CopyFile(src / "big", dst / "fresh", true);
        const int sparse = platform::CopyFile(src / "sparse", dst / "sparse", true);
        _exit(overwrite == EFBIG && fresh == EFBIG && sparse == EFBIG ? (writes == 0 ? 0 : 102) : 101);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
    EXPECT_EQ(ReadFile(dst / "big"), "old");
    EXPECT_EQ(ListFolder(dst.Path()), Names{"big"});
}

// A copy reads as much as the source held when it was opened, and no more:
// a source that holds more than it says (a file of /proc says it is empty)
// or that grows while it is read is left for a later copy, never read to an
// end that might not come.
TEST(CopySafetyTest, ACopyReadsNoMoreThanTheSourceHeldWhenOpened)
{
    TempDir dst;
    struct stat st {};
    ASSERT_EQ(::stat("/proc/self/status", &st), 0);
    ASSERT_EQ(st.st_size, 0);
    EXPECT_EQ(platform::CopyFile("/proc/self/status", dst / "status", true), platform::kCopySourceChanged);

    TempDir src;
    WriteFile(src / "log", PatternContent(3 << 20, 'l'));
    platform::FileSystemTestHooks hooks;
    hooks.noKernelCopy = true;
    hooks.beforeWrite = [&](std::uint64_t done) {
        if (done == 0)
            AppendFile(src / "log", PatternContent(1 << 20, 'm'));
        return done < (std::uint64_t{3} << 20) ? 0 : EIO;  // a read past the size seen
    };
    {
        ScopedTestHooks use(hooks);
        EXPECT_EQ(platform::CopyFile(src / "log", dst / "log", true), platform::kCopySourceChanged);
    }
    EXPECT_EQ(ListFolder(dst.Path()), Names{});
}

// A file larger than the destination's drive holds (ext4 holds at most
// 16 TiB) is refused before anything is written, not filled with zeros
// until the drive is full.
TEST(CopySafetyTest, AFileTheDriveCannotHoldIsRefusedBeforeWriting)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "mounting the drives needs root";
    TempDir src;
    TempDir dst;
    const std::string image = src / "ext4.img";
    const auto run = [](const std::string& command) {
        return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
    };
    if (!run("mount -t tmpfs -o size=64m folderly-test '" + src.Path() + "'")
        || !run("truncate -s 64M '" + image + "' && mkfs.ext4 -q -F '" + image + "'")
        || !run("mount -o loop '" + image + "' '" + dst.Path() + "'")) {
        run("umount '" + src.Path() + "'");
        GTEST_SKIP() << "no tmpfs or ext4 image could be mounted";
    }
    WriteFile(src / "huge", "the start");
    ASSERT_EQ(::truncate((src / "huge").c_str(), off_t{17} << 40), 0);
    struct statvfs before {};
    ASSERT_EQ(::statvfs(dst.Path().c_str(), &before), 0);
    EXPECT_EQ(platform::CopyFile(src / "huge", dst / "huge", true), EFBIG);
    struct statvfs after {};
    ASSERT_EQ(::statvfs(dst.Path().c_str(), &after), 0);
    EXPECT_EQ(after.f_bfree, before.f_bfree);
    EXPECT_EQ(ListFolder(dst.Path()), (Names{"lost+found"}));
    EXPECT_TRUE(run("umount '" + dst.Path() + "'"));
    EXPECT_TRUE(run("umount '" + src.Path() + "'"));
}

}  // namespace
