#include <gtest/gtest.h>

#include "app/CommandLine.h"
#include "app/UnattendedRun.h"
#include "sync/RunRecord.h"

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
// The closing line counts the run's records, whatever their lines say.
TEST(CommandLine, RunClosingLineCountsWhatFailed)
{
    using Kind = RunRecord::Kind;
    struct Case {
        std::vector<Kind> records;
        std::string closing;
    };
    const Case cases[] = {
        {{Kind::Updated, Kind::ReadOnly}, "1 copy failed"},
        {{Kind::ReadOnly, Kind::NotUpdated, Kind::Copied, Kind::NotCopied}, "3 copies failed"},
        {{Kind::NotFullPath, Kind::Updated, Kind::LinkOfAnotherUser},
         "1 copy failed; 1 list entry took no part in the run"},
        {{Kind::NotFullPath, Kind::ThroughLinkOfAnotherUser}, "2 list entries took no part in the run"},
        {{Kind::Updated, Kind::NotThere}, "1 list entry took no part in the run"},
        {{Kind::Updated}, "not every copy was made"},
    };
    for (const Case& c : cases) {
        RunTally tally;
        for (const Kind kind : c.records)
            tally.Count({kind, "/b/x"});
        EXPECT_EQ(UnattendedRun::ClosingLine(tally), c.closing) << c.closing;
    }
}

}  // namespace
