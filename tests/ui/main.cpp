#include <gtest/gtest.h>

#include <QApplication>
#include <cstdlib>

// Widget tests need one application object for the whole run.
int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
