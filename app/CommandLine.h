#pragma once

#include <QStringList>

// The program's command line: without options it opens its window (Qt's
// own window options aside); --help, --version and --run work on the
// terminal and need no display.
namespace CommandLine {

// The texts of --help.
inline constexpr char kDescription[] = "Keeps the files of folders in step: two lists of folders, and runs that copy\n"
                                       "files between them by their last-write times.\n"
                                       "\n"
                                       "Without options, opens the window (or shows the one that is open); with no\n"
                                       "graphical desktop to open it on, says so and exits with 2.\n"
                                       "\n"
                                       "--run exits with 0 when every copy succeeded, 1 when a copy failed or the\n"
                                       "run was stopped or cut short, 2 when the run could not be made (the lists,\n"
                                       "the options or the report file could not be read or opened, or the command\n"
                                       "line is wrong), 3 when the window's copy stayed busy for the whole wait and\n"
                                       "made no run.\n"
                                       "\n"
                                       "--watch exits with 0 when ended by SIGTERM or Ctrl+C, 2 when the lists or\n"
                                       "the options could not be read or the window is open.";
inline constexpr char kRunDescription[] =
    "Performs one \"Synchronize all\" with the stored lists and options (or, while "
    "the window is open, has the window's copy perform it), without window or "
    "confirmation, printing each Report line as it is added.";
inline constexpr char kReportDescription[] = "With --run or --watch: appends the Report lines to <file> as well.";
inline constexpr char kWatchDescription[] =
    "Keeps the lists in step as --run would, each time files change in the listed folders (a run follows once "
    "no change has come for 10 s), until ended by SIGTERM or Ctrl+C (exit 0); refused while the window is open or "
    "another --watch runs.";
inline constexpr char kWaitDescription[] =
    "With --run, while the window is open: how many seconds to wait for its copy to be free of its own run or "
    "confirmation (60 when not given).";

// How long a run waits for the window's copy when --wait does not say, and
// the longest wait --wait takes.
inline constexpr int kDefaultWaitSeconds = 60;
inline constexpr int kLongestWaitSeconds = 86400;

// Messages of a wrong command line and of a run that could not be made.
inline constexpr char kUnexpectedArgumentText[] = "unexpected argument '%1'";
inline constexpr char kGoesWithRunText[] = "%1 goes with --run";
inline constexpr char kWatchAloneText[] = "--watch goes with no other option than --report";
inline constexpr char kWindowWatchesText[] =
    "the window of Folderly is open: it runs on change itself when its Options say so (\"Run on change\"); close "
    "it to watch from the command line";
inline constexpr char kWatchingAlreadyText[] = "folderly --watch is running already for this user";
inline constexpr char kBadWaitText[] = "--wait takes whole seconds from 0 to 86400, not '%1'";
inline constexpr char kUsageText[] =
    "Usage: folderly [--run [--report <file>] [--wait <seconds>] | --watch [--report <file>]]";
inline constexpr char kTryHelpText[] = "Try 'folderly --help' for more information.";
// The window's start finds no display to open it on; %1 names what is not set.
inline constexpr char kNoDesktopText[] =
    "the window needs a graphical desktop, and none was found (%1 not set).\n"
    "Without one, 'folderly --run' performs \"Synchronize all\"; 'folderly --help' says more.";
inline constexpr char kCouldNotOpenReportText[] = "could not open ";  // the path and the cause follow
inline constexpr char kNoAnswerText[] = "the running copy of Folderly did not make the run";
inline constexpr char kBusyText[] = "the running copy of Folderly was busy for %1 s (a run of its own, or a box "
                                    "waiting for an answer) and made no run";
inline constexpr char kEndedDuringRunText[] = "the running copy of Folderly ended during the run: the copies it "
                                              "made stay made, the rest were not made";

// What a wrong command line exits with, and a window with no desktop.
inline constexpr int kUsageError = 2;
inline constexpr int kNoDesktop = 2;

// What tells the window's start whether a display can be reached.
struct DisplaySetting {
    QString platform;  // QT_QPA_PLATFORM: the platforms Qt is to try, ';' between them
    QString display;  // DISPLAY
    QString waylandDisplay;  // WAYLAND_DISPLAY
    bool waylandSocket = false;  // $XDG_RUNTIME_DIR/wayland-0, which Wayland clients try by default

    static DisplaySetting FromEnvironment();
};

// Whether the arguments ask for the terminal (help, version, a run) rather
// than the window. Looked at before any application object exists.
bool IsForTheTerminal(const QStringList& arguments);

// Carries out the terminal's request; the status the program exits with.
int RunOnTerminal(int& argc, char** argv);

// The window's start, before any application object exists (Qt ends the
// program when it finds no display): the arguments must be Qt's window
// options, and one of the platforms Qt would try must find its display, else
// the mistake or the missing desktop is said and the status to exit with
// returned; 0 when the window may be tried.
int CheckBeforeWindow(const QStringList& arguments, const DisplaySetting& setting);

// The window's start: what Qt did not take of the arguments must be nothing,
// else the mistake is said and the status to exit with returned; 0 when the
// window may open.
int CheckWindowArguments(const QStringList& arguments);

}  // namespace CommandLine
