#include "app/UnattendedRun.h"

#include <QCoreApplication>
#include <functional>

#include "app/Lifecycle.h"
#include "app/RunOutput.h"
#include "app/TerminationSignals.h"
#include "core/Program.h"
#include "lists/ListFile.h"
#include "platform/FormatText.h"
#include "platform/settings/SettingsStore.h"
#include "sync/ReportList.h"
#include "sync/RunEvents.h"
#include "sync/RunState.h"

namespace {

// What a run for the command line needs to hear: how it ended, for the
// status and the closing line. Its lines come through the Report list.
class EndOfRun : public RunEvents {
public:
    void Finished(bool /*completed*/, const RunTally& tally) override { m_tally = tally; }
    bool Confirm(const std::string& /*text*/, const RunPlan& /*plan*/) override { return true; }
    bool ShowsPlan() const override { return false; }
    const RunTally& Tally() const { return m_tally; }

private:
    RunTally m_tally;
};

// "Could not load <path>: <cause>", as the window's start says it.
std::string CouldNotLoad(const std::string& path, const std::exception& cause)
{
    return platform::FormatText(kCouldNotLoadFormat, {path, cause.what()});
}

// "1 copy failed", "2 copies failed" and the like.
std::string Counted(int count, const char* one, const char* more)
{
    return count == 1 ? one : platform::FormatText(more, {std::to_string(count)});
}

// "Synchronize all" in the program's own engine, then what the window's
// summary would say, as the closing line; the status.
int RunAll(Program& program, RunOutput& output)
{
    EndOfRun end;
    program.SynchronizeAllFor(end);
    if (program.StopRequested()) {
        output.Message(UnattendedRun::kStoppedText);
        return UnattendedRun::kSomeNotCopied;
    }
    const RunTally& tally = end.Tally();
    if (!tally.Complete())
        output.Message(UnattendedRun::ClosingLine(tally));
    if (tally.kept > 0)
        output.Message(Counted(tally.kept, UnattendedRun::kOneEditKeptText, UnattendedRun::kEditsKeptText));
    // A memory that could not be used is said by its own line.
    const bool nothingToLookAt = tally.kept == 0 && tally.memory == 0;
    return tally.Complete() && nothingToLookAt ? UnattendedRun::kAllCopied : UnattendedRun::kSomeNotCopied;
}

}  // namespace

namespace UnattendedRun {

std::string ClosingLine(const RunTally& tally)
{
    std::string closing;
    if (tally.failed > 0)
        closing = Counted(tally.failed, kOneCopyFailedText, kCopiesFailedText);
    if (tally.leftOut > 0)
        closing += (closing.empty() ? "" : "; ") + Counted(tally.leftOut, kOneEntryLeftOutText, kEntriesLeftOutText);
    return closing.empty() ? kNotAllCopiedText : closing;
}

int FromStoredFiles(const std::string& programFolder, RunOutput& output)
{
    RunState state;
    return FromStoredFiles(programFolder, output, state);
}

// Loads the stored lists and options into a program without a window,
// reading only: a store that is not there is not created, and the options
// keep their defaults. False when something could not be read (said).
bool LoadStored(Program& program, RunOutput& output)
{
    const std::string& folder = program.ProgramFolder();
    for (const auto& [list, name] :
         {std::pair{&program.List1(), kList1FileName}, std::pair{&program.List2(), kList2FileName}}) {
        const std::string path = folder + name;
        try {
            LoadListFile(*list, path);
        } catch (const std::exception& error) {
            output.Message(CouldNotLoad(path, error));
            return false;
        }
    }
    platform::SettingsStore& store = program.Store();
    store.OpenKey(false);
    try {
        program.Options().LoadOptions();
    } catch (const std::exception& error) {
        output.Message(CouldNotLoad(store.FilePath(), error));
        return false;
    }
    store.CloseKey();
    program.SetStopQuery(&TerminationSignals::Requested);
    program.Report().SetObserver([&output](const std::string& line) { output.Line(line); });
    return true;
}

int FromStoredFiles(const std::string& programFolder, RunOutput& output, RunState& state)
{
    // The program without a window: its options in plain values.
    Program program(programFolder);
    if (!LoadStored(program, output))
        return kNotRun;
    const int status = RunAll(program, output);
    state = program.State();
    return status;
}

int Watching(const std::string& programFolder, RunOutput& output)
{
    Program program(programFolder);
    if (!LoadStored(program, output))
        return kNotRun;
    if (!program.WatchForCommandLine()) {
        output.Message(kNothingWatchedText);
        return kNotRun;
    }
    output.Message(kWatchingText);
    // A signal stops a run between two copies (the stop query), then ends the loop.
    TerminationSignals::Watch(QCoreApplication::instance(), [] { QCoreApplication::exit(0); });
    return QCoreApplication::exec() == 0 ? kAllCopied : kSomeNotCopied;
}

int InWindow(Program& program, RunOutput& output)
{
    // The window's list shows the lines as well.
    ReportList& report = program.Report();
    struct Tap {
        ReportList& report;
        const std::function<void(const std::string&)> shown = report.Observer();
        ~Tap() { report.SetObserver(shown); }
    } tap{report};
    report.SetObserver([&output, &tap](const std::string& line) {
        if (tap.shown)
            tap.shown(line);
        output.Line(line);
    });
    output.Starting();
    return RunAll(program, output);
}

std::optional<int> ForCommandLine(Program& program, const Lifecycle& lifecycle, RunOutput& output)
{
    if (program.Running())
        return std::nullopt;
    if (const std::string why = lifecycle.WhyNoRunForTheCommandLine(); !why.empty()) {
        output.Message(why);
        return kNotRun;
    }
    return InWindow(program, output);
}

}  // namespace UnattendedRun
