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
                                       "Without options, opens the window (or shows the one that is open).\n"
                                       "\n"
                                       "--run exits with 0 when every copy succeeded, 1 when a copy failed or the\n"
                                       "run was stopped, 2 when the run could not be made (the lists, the options\n"
                                       "or the report file could not be read or opened, or the command line is\n"
                                       "wrong).";
inline constexpr char kRunDescription[] =
    "Performs one \"Synchronize all\" with the stored lists and options (or, while "
    "the window is open, has the window's copy perform it), without window or "
    "confirmation, printing each Report line as it is added.";
inline constexpr char kReportDescription[] = "With --run: appends the Report lines to <file> as well.";

// Messages of a wrong command line and of a run that could not be made.
inline constexpr char kUnexpectedArgumentText[] = "unexpected argument '%1'";
inline constexpr char kReportWithoutRunText[] = "--report goes with --run";
inline constexpr char kTryHelpText[] = "Try 'folderly --help' for more information.";
inline constexpr char kCouldNotOpenReportText[] = "could not open ";  // the path and the cause follow
inline constexpr char kNoAnswerText[] = "the running copy of Folderly did not make the run";

// What a wrong command line exits with.
inline constexpr int kUsageError = 2;

// Whether the arguments ask for the terminal (help, version, a run) rather
// than the window. Looked at before any application object exists.
bool IsForTheTerminal(const QStringList& arguments);

// Carries out the terminal's request; the status the program exits with.
int RunOnTerminal(int& argc, char** argv);

// The window's start: what Qt did not take of the arguments must be nothing,
// else the mistake is said and the status to exit with returned; 0 when the
// window may open.
int CheckWindowArguments(const QStringList& arguments);

}  // namespace CommandLine
