#include "RunFixture.h"
#include "platform/fs/FileSystem.h"

namespace {

// A program told to end while the run's second copy is being made.
class Ending : public RunSpy {
public:
    bool StopRequested() const override { return progress.size() >= 2; }
};

void File(const std::string& path, const std::string& content, long long mtime)
{
    WriteFile(path, content);
    SetMTime(path, mtime);
}

TEST(RunStop, AnEndingProgramStopsTheRunAfterTheCopyInProgress)
{
    struct Case {
        const char* what;
        int mode;
        bool readOnlyFirst;  // the first copy fails, which sets FailFlag
    };
    const Case cases[] = {
        {"files mode", 0, false},
        {"folders mode", 1, false},
        {"folders mode with a failure", 1, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        const std::string a = dir / "a/Docs";
        const std::string b = dir / "b/Docs";
        platform::ForceDirectories(a);
        platform::ForceDirectories(b);
        for (char name = '1'; name <= '5'; ++name) {
            File(a + "/" + name, "new", kNew);
            if (c.mode == 0 || (c.readOnlyFirst && name == '5'))
                File(b + "/" + name, "old", kOld);
        }
        if (c.readOnlyFirst)
            MakeReadOnly(b + "/5");
        FolderList one, two;
        one.Add(a);
        two.Add(b);
        Ending ending;
        ending.mode = c.mode;
        RunState run;
        Synchronizer synchronizer(run, one, two, ending);
        synchronizer.Run(ending.Mode(), Synchronizer::Scope::All, ending.options);

        EXPECT_EQ(ending.records.size(), 2u);
        int copied = 0;
        for (char name = '1'; name <= '5'; ++name) {
            const std::string content = platform::FileExists(b + "/" + name) ? ReadFile(b + "/" + name) : "";
            EXPECT_TRUE(content.empty() || content == "new" || content == "old") << content;
            copied += content == "new";
        }
        EXPECT_EQ(copied, c.readOnlyFirst ? 1 : 2);
        EXPECT_FALSE(synchronizer.IsRunning());
        EXPECT_EQ(ending.events.back(), "finished, not completed");
    }
}

}  // namespace
