// The one main of the test executables that need a Qt application: the
// offscreen platform (unless one is asked for), and a home of the
// executable's own, so that no test reads or writes the real user's settings,
// lists or autostart entries.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QApplication>
#include <cstdlib>
#include <string>

#include "TempDir.h"

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    const TempDir home;
    const std::string runtime = home / "runtime";
    mkdir(runtime.c_str(), 0700);
    setenv("HOME", home.Path().c_str(), 1);
    setenv("XDG_DATA_HOME", (home / "share").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home / "config").c_str(), 1);
    setenv("XDG_CACHE_HOME", (home / "cache").c_str(), 1);
    setenv("XDG_STATE_HOME", (home / "state").c_str(), 1);
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);

    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
