#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "PlatformTestUtil.h"
#include "TempDir.h"
#include "platform/fs/CopyFile.h"
#include "platform/fs/FileSystem.h"

namespace {

using Names = std::set<std::string>;

struct Interruption {
    bool namedTemp;
    bool overwrite;
};

class KilledCopyTest : public ::testing::TestWithParam<Interruption> {};

// A copy killed in the middle leaves the old destination (or none) and no
// temporary file that a search would yield; with O_TMPFILE not even one
// that ls would show.
TEST_P(KilledCopyTest, LeavesOldDestinationAndNoTemporaryFile)
{
    const Interruption how = GetParam();
    TempDir src;
    TempDir dst;
    const std::string content = PatternContent(4 << 20, 'k');
    WriteFile(src / "data.bin", content);
    if (how.overwrite)
        WriteFile(dst / "data.bin", "old data");

    int pipeFds[2];
    ASSERT_EQ(pipe(pipeFds), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        platform::FileSystemTestHooks hooks;
        hooks.pieceSize = 64 * 1024;
        hooks.noUnnamedTemp = how.namedTemp;
        const int signalFd = pipeFds[1];
        hooks.beforeWrite = [signalFd](std::uint64_t done) {
            if (done >= 1 << 20) {
                // A quarter is written: tell the parent, wait for the kill.
                if (write(signalFd, "x", 1) != 1)
                    _exit(3);
                while (true)
                    pause();
            }
            return 0;
        };
        platform::SetFileSystemTestHooks(hooks);
        platform::CopyFile(src / "data.bin", dst / "data.bin", !how.overwrite);
        _exit(2);  // should never get here
    }
    close(pipeFds[1]);
    char signal = 0;
    ASSERT_EQ(read(pipeFds[0], &signal, 1), 1);
    close(pipeFds[0]);
    ASSERT_EQ(kill(child, SIGKILL), 0);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));

    const Names expected = how.overwrite ? Names{"data.bin"} : Names{};
    if (how.overwrite) {
        EXPECT_EQ(ReadFile(dst / "data.bin"), "old data");
    }
    Names withDots = expected;
    withDots.insert({".", ".."});
    EXPECT_EQ(SearchNames(dst / "*.*", 63), withDots);
    EXPECT_FALSE(platform::FileExists(dst / "data.bin") && !how.overwrite);

    const Names listed = ListFolder(dst.Path());
    if (how.namedTemp) {
        // Without O_TMPFILE the partial file has a name, one no search yields.
        ASSERT_EQ(listed.size(), expected.size() + 1);
        for (const std::string& name : listed) {
            if (!expected.count(name)) {
                EXPECT_EQ(name.rfind(platform::kCopyTemporaryNamePrefix, 0), 0u) << name;
            }
        }
    } else {
        EXPECT_EQ(listed, expected);
    }

    // The next run copies as if nothing had happened, and takes away what
    // the killed copy left.
    ASSERT_EQ(platform::CopyFile(src / "data.bin", dst / "data.bin", false), 0);
    EXPECT_EQ(ReadFile(dst / "data.bin"), content);
    EXPECT_EQ(ListFolder(dst.Path()), Names{"data.bin"});
}

std::string WayName(const ::testing::TestParamInfo<Interruption>& way)
{
    return std::string(way.param.namedTemp ? "NamedTemp" : "UnnamedTemp")
        + (way.param.overwrite ? "Overwrite" : "NoOverwrite");
}

INSTANTIATE_TEST_SUITE_P(Ways, KilledCopyTest,
                         ::testing::Values(Interruption{false, true}, Interruption{false, false},
                                           Interruption{true, true}, Interruption{true, false}),
                         WayName);

// Kills at whatever point the clock gives, the copy running at full speed:
// the destination is always whole, old or new.
TEST(KilledCopyAtRandomTest, DestinationIsOldOrNew)
{
    TempDir src;
    TempDir dst;
    const std::string content = PatternContent(32 << 20, 'z');
    WriteFile(src / "big.bin", content);
    for (int delayMs : {0, 1, 3, 8, 20, 60}) {
        WriteFile(dst / "big.bin", "old");
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0)
            _exit(platform::CopyFile(src / "big.bin", dst / "big.bin", false));
        std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
        kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        const std::string now = ReadFile(dst / "big.bin");
        EXPECT_TRUE(now == "old" || now == content) << "after " << delayMs << " ms: " << now.size() << " bytes";
        EXPECT_EQ(SearchNames(dst / "*.*", 63), (Names{".", "..", "big.bin"}));
    }
}

}  // namespace
