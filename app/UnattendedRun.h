#pragma once

#include <optional>
#include <string>
#include <vector>

class Lifecycle;
class RunOutput;
struct RunState;
class Program;
struct RunTally;

// "Synchronize all" for the command line: every entry of both lists in the
// stored Synchro mode, with no confirmation and no message box. Each Report
// line goes to the output as it is added, the summary message as a message.
namespace UnattendedRun {

// What the run's end tells the command line.
inline constexpr int kAllCopied = 0;
inline constexpr int kSomeNotCopied = 1;  // a copy failed, or the run was stopped
inline constexpr int kNotRun = 2;  // the lists or options could not be read
inline constexpr int kWindowBusy = 3;  // the window's copy stayed busy: no run was made

// What is said when a termination signal stopped the run.
inline constexpr char kStoppedText[] = "the run was stopped before its end";

// The run's closing line on a terminal, in place of the window's summary
// (which points to a Report list that is not there): how many copies
// failed, and how many list entries took no part; %s is the number.
inline constexpr char kOneCopyFailedText[] = "1 copy failed";
inline constexpr char kCopiesFailedText[] = "%s copies failed";
inline constexpr char kOneEntryLeftOutText[] = "1 list entry took no part in the run";
inline constexpr char kEntriesLeftOutText[] = "%s list entries took no part in the run";
inline constexpr char kNotAllCopiedText[] = "not every copy was made";  // a failure of no known line
// Said when the run kept edits beside their files (no failure, but a person
// should look: the status is 1); %s is the number.
inline constexpr char kOneEditKeptText[] = "1 file changed on both sides: its version was kept beside it";
inline constexpr char kEditsKeptText[] = "%s files changed on both sides: each version was kept beside its file";

// The closing line of a run that did not make every copy, from what its
// records add up to.
std::string ClosingLine(const RunTally& tally);

// With no window: loads the lists from the program folder and the options
// from the settings store, without writing either, and runs.
int FromStoredFiles(const std::string& programFolder, RunOutput& output);
// The same in the caller's run state, which tells after the run what it
// counted and the options it took.
int FromStoredFiles(const std::string& programFolder, RunOutput& output, RunState& state);

// Runs on change without a window (folderly --watch): loads as FromStoredFiles
// does, then makes the run of "Synchronize all" after each change in the
// listed folders (see ChangeRuns), printing its lines, until a termination
// signal comes (between two copies); the first run comes at once. kNotRun
// when the lists or options could not be read, or nothing can be watched;
// else kAllCopied once stopped by a signal.
int Watching(const std::string& programFolder, RunOutput& output);
// Said on standard error when the watching begins.
inline constexpr char kWatchingText[] = "watching the folders of both lists; a run follows each change "
                                        "(Ctrl+C or SIGTERM ends it)";
// Said instead when nothing can be watched (a Report line said why).
inline constexpr char kNothingWatchedText[] = "no folder can be watched, so no run would follow a change: not started";

// In the window's copy of the program, asked by a later start: the run of
// the window's own engine, on its lists, options and Report list, with its
// balloon, buttons and gauge.
int InWindow(Program& program, RunOutput& output);

// The window's copy, asked by a later start: nothing while the window's
// own run goes on (its confirmation may be waiting); kNotRun, said why, while
// the window holds a list or option that stands in for one its start could
// not read; else the run's status.
std::optional<int> ForCommandLine(Program& program, const Lifecycle& lifecycle, RunOutput& output);

}  // namespace UnattendedRun
