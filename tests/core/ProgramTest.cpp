// The program without a window: what its start loads and its close stores.
#include <gtest/gtest.h>

#include <string>

#include "TempDir.h"
#include "core/Program.h"
#include "platform/settings/SettingsStore.h"

namespace {

// A stored timer interval reaches the timer unchanged, and the close stores
// it back as it was: one that no entry stands for, and a negative one too
// (the timer counts it down as the unsigned number it is).
TEST(ProgramOptions, AStoredTimerIntervalGoesToTheTimerAndBackUnchanged)
{
    struct Case {
        std::int32_t stored;
        std::uint32_t timer;
    };
    const Case cases[] = {{180000, 180000u}, {5000, 5000u}, {0, 0u}, {-5, 4294967291u}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored);
        TempDir home;
        const std::string conf = home / "Folderly.conf";
        WriteFile(conf, "[General]\nTimer=int:1\nTimerInterval=int:" + std::to_string(c.stored) + "\n");
        Program program(home.Path() + "/", conf, home / "autostart/Folderly.desktop");
        ASSERT_TRUE(program.Store().OpenKey(true));
        program.Options().LoadOptions();
        program.Store().CloseKey();
        EXPECT_EQ(program.Timer().Interval(), c.timer);
        EXPECT_EQ(program.Timer().Running(), c.timer != 0);

        program.Options().SaveAtClose();
        platform::SettingsStore stored(conf);
        ASSERT_TRUE(stored.OpenKey(false));
        EXPECT_EQ(stored.ReadInteger("TimerInterval"), c.stored);
    }
}

}  // namespace
