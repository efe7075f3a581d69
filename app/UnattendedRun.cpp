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
#include "sync/RunHost.h"
#include "sync/RunState.h"
#include "sync/Synchronizer.h"

namespace {

// The frame of a run nobody watches: OK to every confirmation, messages to
// the output. In the window's copy the window still shows the balloon,
// buttons and gauge of the run.
class UnattendedRunHost : public RunHost {
public:
    // program: the program's own host, which shows the run in the window
    // where there is one.
    UnattendedRunHost(RunOutput& output, RunHost& program, const RunState& state)
        : m_output(output),
          m_state(state),
          m_window(program)
    {
    }

    void RequestBalloon(const std::string& text, const std::string& title, TBalloonIconType icon) override
    {
        m_window.RequestBalloon(text, title, icon);
    }
    void SetSynchronizeSelectedVisible(bool visible) override { m_window.SetSynchronizeSelectedVisible(visible); }
    void SetSynchronizeAllVisible(bool visible) override { m_window.SetSynchronizeAllVisible(visible); }
    void SetGaugeVisible(bool visible) override { m_window.SetGaugeVisible(visible); }
    void SetGaugeProgress(int percent) override { m_window.SetGaugeProgress(percent); }
    int SynchroModeIndex() const override { return m_window.SynchroModeIndex(); }
    RunOptionValues RunValues() const override { return m_window.RunValues(); }
    bool Confirm(const std::string&) override { return true; }
    void ShowMessage(const std::string& text) override
    {
        // The window's summary points to its Report list; a terminal has the count instead.
        m_output.Message(text == RunTexts::kSummary ? UnattendedRun::ClosingLine(m_state.Tally) : text);
    }
    bool StopRequested() const override { return m_window.StopRequested(); }
    // In the window's copy the window goes on painting and answering its
    // desktop while the run works.
    void KeepResponsive() override { m_window.KeepResponsive(); }
    void Recorded(const RunRecord& record) override { m_window.Recorded(record); }
    void Wrote(const platform::WrittenFile& file) override { m_window.Wrote(file); }
    void RunFinished(bool completed) override { m_window.RunFinished(completed); }

private:
    RunOutput& m_output;
    const RunState& m_state;  // the run's, whose records the closing line counts
    RunHost& m_window;
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

int RunAll(RunState& state, ReportList& report, const FolderList& list1, const FolderList& list2,
           UnattendedRunHost& host)
{
    Synchronizer(state, report, list1, list2, host).RunByMode(Synchronizer::Scope::All);
    if (host.StopRequested()) {
        host.ShowMessage(UnattendedRun::kStoppedText);
        return UnattendedRun::kSomeNotCopied;
    }
    return state.Tally.Complete() ? UnattendedRun::kAllCopied : UnattendedRun::kSomeNotCopied;
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
    UnattendedRunHost host(output, program.Host(), state);
    return RunAll(state, program.Report(), program.List1(), program.List2(), host);
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
    UnattendedRunHost host(output, program.Host(), program.State());
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
    return RunAll(program.State(), report, program.List1(), program.List2(), host);
}

std::optional<int> ForCommandLine(Program& program, const Lifecycle& lifecycle, RunOutput& output)
{
    if (program.Sync().IsRunning())
        return std::nullopt;
    if (const std::string why = lifecycle.WhyNoRunForTheCommandLine(); !why.empty()) {
        output.Message(why);
        return kNotRun;
    }
    return InWindow(program, output);
}

}  // namespace UnattendedRun
