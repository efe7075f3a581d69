#include "app/UnattendedRun.h"

#include <functional>

#include "app/Lifecycle.h"
#include "app/RunOutput.h"
#include "app/TerminationSignals.h"
#include "lists/FolderList.h"
#include "lists/ListFile.h"
#include "options/OptionsControls.h"
#include "options/OptionsHost.h"
#include "options/OptionsLogic.h"
#include "platform/FormatText.h"
#include "platform/settings/AutostartEntry.h"
#include "platform/settings/SettingsStore.h"
#include "sync/ReportList.h"
#include "sync/RunHost.h"
#include "sync/RunState.h"
#include "sync/Synchronizer.h"
#include "ui/Unit1.h"

namespace {

// The frame of a run nobody watches: OK to every confirmation, messages to
// the output. In the window's copy the window still shows the balloon,
// buttons and gauge of the run.
class UnattendedRunHost : public RunHost {
public:
    // With no window, the run takes values; else the window's own.
    UnattendedRunHost(RunOutput& output, std::function<int()> synchroMode, const ReportList& report,
                      RunOptionValues values)
        : m_output(output),
          m_synchroMode(std::move(synchroMode)),
          m_report(report),
          m_firstLine(report.Lines().size()),
          m_values(std::move(values))
    {
    }
    UnattendedRunHost(RunOutput& output, RunHost& window, const ReportList& report)
        : m_output(output),
          m_synchroMode([&window] { return window.SynchroModeIndex(); }),
          m_report(report),
          m_firstLine(report.Lines().size()),
          m_window(&window)
    {
    }

    void RequestBalloon(const std::string& text, const std::string& title, TBalloonIconType icon) override
    {
        if (m_window)
            m_window->RequestBalloon(text, title, icon);
    }
    void SetSynchronizeSelectedVisible(bool visible) override
    {
        if (m_window)
            m_window->SetSynchronizeSelectedVisible(visible);
    }
    void SetSynchronizeAllVisible(bool visible) override
    {
        if (m_window)
            m_window->SetSynchronizeAllVisible(visible);
    }
    void SetGaugeVisible(bool visible) override
    {
        if (m_window)
            m_window->SetGaugeVisible(visible);
    }
    void SetGaugeProgress(int percent) override
    {
        if (m_window)
            m_window->SetGaugeProgress(percent);
    }
    int SynchroModeIndex() const override { return m_synchroMode(); }
    RunOptionValues RunValues() const override { return m_window ? m_window->RunValues() : m_values; }
    bool Confirm(const std::string&) override { return true; }
    void ShowMessage(const std::string& text) override
    {
        // The window's summary points to its Report list; a terminal has the count instead.
        m_output.Message(text == RunTexts::kSummary ? UnattendedRun::ClosingLine(m_report.Lines(), m_firstLine) : text);
    }
    bool StopRequested() const override
    {
        return m_window ? m_window->StopRequested() : TerminationSignals::Requested();
    }
    // In the window's copy the window goes on painting and answering its
    // desktop while the run works.
    void KeepResponsive() override
    {
        if (m_window)
            m_window->KeepResponsive();
    }

private:
    RunOutput& m_output;
    std::function<int()> m_synchroMode;
    const ReportList& m_report;
    std::size_t m_firstLine;  // the run's first line in the Report list
    RunOptionValues m_values;
    RunHost* m_window = nullptr;
};

// The Options panel and the timer without widgets: the stored options as
// loading leaves them, for a run to read.
class StoredOptions : public OptionsControls, public OptionsHost {
public:
    OptionValues ShownOptions() const override { return m_shown; }
    void ShowOptions(const OptionValues& values) override { m_shown = values; }
    void SetFilterTextEnabled(bool) override {}

    bool TimerEnabled() const override { return m_timerEnabled; }
    void SetTimerEnabled(bool enabled) override { m_timerEnabled = enabled; }
    std::int32_t TimerInterval() const override { return m_timerInterval; }
    void SetTimerInterval(std::int32_t milliseconds) override { m_timerInterval = milliseconds; }
    void HideOptionsPanel() override {}
    void SetStartMinimized() override {}

private:
    OptionValues m_shown;
    bool m_timerEnabled = false;
    std::int32_t m_timerInterval = 0;
};

// "Could not load <path>: <cause>", as the window's start says it.
std::string CouldNotLoad(const std::string& path, const std::exception& cause)
{
    return platform::FormatText(kCouldNotLoadFormat, {path, cause.what()});
}

bool EndsWith(const std::string& text, std::string_view end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// "1 copy failed", "2 copies failed" and the like.
std::string Counted(int count, const char* one, const char* more)
{
    return count == 1 ? one : platform::FormatText(more, {std::to_string(count)});
}

int RunAll(RunState& state, ReportList& report, const FolderList& list1, const FolderList& list2,
           UnattendedRunHost& host)
{
    Synchronizer(state, report, list1, list2, host).BitBtn11Click();
    if (host.StopRequested()) {
        host.ShowMessage(UnattendedRun::kStoppedText);
        return UnattendedRun::kSomeNotCopied;
    }
    return state.FailFlag > 0 ? UnattendedRun::kSomeNotCopied : UnattendedRun::kAllCopied;
}

}  // namespace

namespace UnattendedRun {

std::string ClosingLine(const std::vector<std::string>& lines, std::size_t from)
{
    int failed = 0;
    int leftOut = 0;
    for (std::size_t i = from; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (!line.empty() && line.front() == '"'
            && (EndsWith(line, RunTexts::kNotFullPath) || EndsWith(line, RunTexts::kThroughLinkOfAnotherUser)))
            ++leftOut;
        else if (EndsWith(line, RunTexts::kReadOnly) || line.find(RunTexts::kNotUpdated) != std::string::npos
                 || line.find(RunTexts::kNotCopiedTo) != std::string::npos
                 || EndsWith(line, RunTexts::kLinkOfAnotherUser))
            ++failed;
    }
    std::string closing;
    if (failed > 0)
        closing = Counted(failed, kOneCopyFailedText, kCopiesFailedText);
    if (leftOut > 0)
        closing += (closing.empty() ? "" : "; ") + Counted(leftOut, kOneEntryLeftOutText, kEntriesLeftOutText);
    return closing.empty() ? kNotAllCopiedText : closing;
}

int FromStoredFiles(const std::string& programFolder, RunOutput& output)
{
    RunState state;
    return FromStoredFiles(programFolder, output, state);
}

int FromStoredFiles(const std::string& programFolder, RunOutput& output, RunState& state)
{
    FolderList list1;
    FolderList list2;
    for (const auto& [list, name] : {std::pair{&list1, kList1FileName}, std::pair{&list2, kList2FileName}}) {
        const std::string path = programFolder + name;
        try {
            LoadListFile(*list, path);
        } catch (const std::exception& error) {
            output.Message(CouldNotLoad(path, error));
            return kNotRun;
        }
    }

    // Read only: a store that is not there is not created, and the options
    // keep their defaults.
    platform::SettingsStore store;
    platform::AutostartEntry autostart;
    StoredOptions options;
    OptionsLogic logic(options, options, store, autostart);
    store.OpenKey(false);
    try {
        logic.LoadOptions();
    } catch (const std::exception& error) {
        output.Message(CouldNotLoad(store.FilePath(), error));
        return kNotRun;
    }
    store.CloseKey();

    ReportList report;
    report.SetObserver([&output](const std::string& line) { output.Line(line); });
    UnattendedRunHost host(
        output, [&options] { return options.ShownOptions().SynchroMode; }, report, logic.RunValues());
    return RunAll(state, report, list1, list2, host);
}

int InWindow(TForm1& form, RunOutput& output)
{
    // The window's list shows the lines as well.
    ReportList& report = form.Report();
    UnattendedRunHost host(output, form.WindowRunHost(), report);
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
    return RunAll(form.State(), report, form.List1(), form.List2(), host);
}

std::optional<int> ForCommandLine(TForm1& form, const Lifecycle& lifecycle, RunOutput& output)
{
    if (form.Sync().IsRunning())
        return std::nullopt;
    if (const std::string why = lifecycle.WhyNoRunForTheCommandLine(); !why.empty()) {
        output.Message(why);
        return kNotRun;
    }
    return InWindow(form, output);
}

}  // namespace UnattendedRun
