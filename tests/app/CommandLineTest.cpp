#include <gtest/gtest.h>

#include "app/CommandLine.h"
#include "app/UnattendedRun.h"

namespace {

// The window's start without an application object: which command lines and
// settings it lets through to Qt, and which it refuses with 2.
TEST(CommandLine, WindowStartRefusesWhatQtWouldAbortOnOrNotTake)
{
    using Setting = CommandLine::DisplaySetting;
    const Setting none;
    const Setting x11{{}, QStringLiteral(":0"), {}, false};
    const Setting wayland{{}, {}, QStringLiteral("wayland-1"), false};
    const Setting waylandSocket{{}, {}, {}, true};
    const Setting offscreen{QStringLiteral("offscreen"), {}, {}, false};
    const Setting xcbAsked{QStringLiteral("xcb"), {}, QStringLiteral("wayland-1"), false};
    const Setting waylandFirst{QStringLiteral("wayland;xcb:nograb"), QStringLiteral(":0"), {}, false};
    const Setting oddList{QStringLiteral(";"), {}, {}, false};
    struct Case {
        const char* name;
        QStringList arguments;
        Setting setting;
        int status;
    };
    const Case cases[] = {
        {"no desktop at all", {}, none, 2},
        {"X11", {}, x11, 0},
        {"Wayland", {}, wayland, 0},
        {"Wayland's default socket", {}, waylandSocket, 0},
        {"a platform that needs no desktop", {}, offscreen, 0},
        {"X11 asked for, only Wayland there", {}, xcbAsked, 2},
        {"a list whose second platform finds its desktop", {}, waylandFirst, 0},
        {"an empty list is Qt's own choice", {}, oddList, 2},
        {"the platform on the command line", {QStringLiteral("-platform"), QStringLiteral("offscreen")}, none, 0},
        {"the command line's platform wins", {QStringLiteral("--platform"), QStringLiteral("xcb")}, offscreen, 2},
        {"the display on the command line", {QStringLiteral("-display"), QStringLiteral(":1")}, none, 0},
        {"Qt's window options",
         {QStringLiteral("-style"), QStringLiteral("fusion"), QStringLiteral("-reverse"),
          QStringLiteral("-stylesheet=a.qss"), QStringLiteral("-session"), QStringLiteral("id")},
         x11,
         0},
        {"an unknown option", {QStringLiteral("--bogus")}, x11, 2},
        {"an unknown option, no desktop", {QStringLiteral("--bogus")}, offscreen, 2},
        {"an option's value missing", {QStringLiteral("-platform")}, x11, 2},
        {"a word that is no option", {QStringLiteral("surplus")}, x11, 2},
        {"a word after a window option", {QStringLiteral("-reverse"), QStringLiteral("surplus")}, x11, 2},
    };
    for (const Case& c : cases) {
        QStringList arguments = c.arguments;
        arguments.prepend(QStringLiteral("folderly"));
        EXPECT_EQ(CommandLine::CheckBeforeWindow(arguments, c.setting), c.status) << c.name;
    }
}

}  // namespace

namespace {

// A run's closing line on a terminal counts the failed copies and the left
// out entries among its own lines.
TEST(CommandLine, RunClosingLineCountsWhatFailed)
{
    using Lines = std::vector<std::string>;
    const std::string updated = "/b/x updated successfully";
    const std::string readOnly = "/b/r could not be updated because it is Read-Only File";
    const std::string notUpdated = "/b/z could not be updated: File access denied";
    const std::string notCopied = "w could not be copied to /b: Disk full";
    const std::string leftOut = "\"A\" is not a full folder path and takes no part in the run";
    struct Case {
        Lines lines;
        std::size_t from;
        std::string closing;
    };
    const Case cases[] = {
        {{updated, readOnly}, 0, "1 copy failed"},
        {{readOnly, notUpdated, updated, notCopied}, 0, "3 copies failed"},
        {{leftOut, updated, notCopied}, 0, "1 copy failed; 1 list entry took no part in the run"},
        {{leftOut, leftOut}, 0, "2 list entries took no part in the run"},
        // Lines of earlier runs in the window's list are not this run's.
        {{readOnly, notUpdated, "", readOnly}, 3, "1 copy failed"},
        {{updated, "a line of a kind not known here"}, 0, "not every copy was made"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(UnattendedRun::ClosingLine(c.lines, c.from), c.closing) << c.closing;
}

}  // namespace
