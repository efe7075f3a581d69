// The one main of the test executables that need a Qt application: the
// offscreen platform (unless one is asked for), and a home of the
// executable's own, so that no test reads or writes the real user's settings,
// lists or autostart entries.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

#include "PrivateHome.h"

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    const TempDir home;
    UsePrivateHome(home);
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
