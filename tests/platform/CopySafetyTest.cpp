#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <functional>
#include <optional>

#include "PlatformTestUtil.h"
#include "TempDir.h"
#include "platform/FileSystem.h"

namespace {

using Names = std::set<std::string>;

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
        {"destination made read-only", true, [](auto&, auto& d) { MakeReadOnly(d); },
         platform::kCopyDestinationChanged, "old"},
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

}  // namespace
