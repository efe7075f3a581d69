// Copies wait in batches, each holding files open until it is placed, and
// batches grow while a flush is slow: at the open-file limits desktop
// sessions give (1024, and 256 on some systems), no copy may fail for want
// of a descriptor, with the Trash (three held per copy) or without.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "PlatformTestUtil.h"
#include "TempDir.h"
#include "platform/fs/FileSystem.h"
#include "platform/fs/KnownFolders.h"

namespace {

constexpr int kFiles = 600;

// In a child process held to limit open files: every update of a/ from b/
// made at once; returns how many failed, and the error of the first.
std::pair<int, int> UpdatesFailedAtLimit(const TempDir& tmp, rlim_t limit, bool keepReplaced)
{
    int pipeEnds[2];
    if (::pipe(pipeEnds) != 0)
        return {-1, 0};
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipeEnds[0]);
        const rlimit held{limit, limit};
        int counts[2] = {0, 0};
        if (::setrlimit(RLIMIT_NOFILE, &held) == 0) {
            // A slow disk: while one batch is flushed, the next grows.
            platform::FileSystemTestHooks hooks;
            hooks.beforeFlush = [] {
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
                return 0;
            };
            ScopedTestHooks use(hooks);
            platform::KnownFolders known;
            known.SetKeepReplaced(keepReplaced);
            for (int i = 0; i < kFiles; ++i) {
                const std::string name = "f" + std::to_string(i);
                known.CopyFile(tmp / ("b/" + name), tmp / ("a/" + name), false, platform::NameMatch::Exact,
                               std::nullopt, [&counts](int error, const platform::KnownFolders::CopiedStates&) {
                                   if (error != 0 && counts[0]++ == 0)
                                       counts[1] = error;
                               });
            }
            known.Settle();
        } else {
            counts[0] = -1;
        }
        ::_exit(::write(pipeEnds[1], counts, sizeof counts) == sizeof counts ? 0 : 1);
    }
    ::close(pipeEnds[1]);
    int counts[2] = {-1, 0};
    if (::read(pipeEnds[0], counts, sizeof counts) != sizeof counts)
        counts[0] = -1;
    ::close(pipeEnds[0]);
    ::waitpid(child, nullptr, 0);
    return {counts[0], counts[1]};
}

TEST(DescriptorLimit, NoCopyFailsForWantOfDescriptors)
{
    TempDir tmp;
    ::setenv("XDG_DATA_HOME", (tmp / "data").c_str(), 1);
    ::mkdir((tmp / "a").c_str(), 0755);
    ::mkdir((tmp / "b").c_str(), 0755);
    struct Case {
        rlim_t limit;
        bool keepReplaced;
    };
    for (const Case c : {Case{1024, true}, Case{256, true}, Case{256, false}}) {
        SCOPED_TRACE("limit " + std::to_string(c.limit) + (c.keepReplaced ? ", keeping replaced files" : ""));
        for (int i = 0; i < kFiles; ++i) {
            const std::string name = "f" + std::to_string(i);
            WriteFile(tmp / ("a/" + name), "old");
            SetMTime(tmp / ("a/" + name), 1600000000);
            WriteFile(tmp / ("b/" + name), "new " + name);
            SetMTime(tmp / ("b/" + name), 1700000000 + i);
        }
        const auto [failed, firstError] = UpdatesFailedAtLimit(tmp, c.limit, c.keepReplaced);
        EXPECT_EQ(failed, 0) << "first failure: " << firstError;
        EXPECT_EQ(ReadFile(tmp / "a/f599"), "new f599");
    }
    ::unsetenv("XDG_DATA_HOME");
}

}  // namespace
