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
    UnattendedRunHost(RunOutput& output, std::function<int()> synchroMode, RunHost* window = nullptr)
        : m_output(output),
          m_synchroMode(std::move(synchroMode)),
          m_window(window)
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
    bool Confirm(const std::string&) override { return true; }
    void ShowMessage(const std::string& text) override { m_output.Message(text); }
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
    RunHost* m_window;
};

// The Options panel without widgets: the stored options as loading leaves
// them, for a run to read.
class StoredOptions : public OptionsControls, public OptionsHost {
public:
    int SynchroModeIndex() const override { return m_synchroMode; }
    void SetSynchroModeIndex(int index) override { m_synchroMode = index; }
    int FileTypeIndex() const override { return m_fileType; }
    void SetFileTypeIndex(int index) override { m_fileType = index; }
    bool FilterChecked() const override { return m_filter; }
    void SetFilterChecked(bool checked) override { m_filter = checked; }
    std::string FilterText() const override { return m_filterText; }
    void SetFilterText(const std::string& text) override { m_filterText = text; }
    void SetFilterTextEnabled(bool) override {}
    bool TimerBoxChecked() const override { return m_timerBox; }
    void SetTimerBoxChecked(bool checked) override { m_timerBox = checked; }
    int IntervalIndex() const override { return m_intervalIndex; }
    void SetIntervalIndex(int index) override { m_intervalIndex = index; }
    int TimerActionIndex() const override { return m_timerAction; }
    void SetTimerActionIndex(int index) override { m_timerAction = index; }
    bool TrayChecked() const override { return m_tray; }
    void SetTrayChecked(bool checked) override { m_tray = checked; }
    bool AutostartChecked() const override { return m_autostart; }
    void SetAutostartChecked(bool checked) override { m_autostart = checked; }
    bool SilentChecked() const override { return m_silent; }
    void SetSilentChecked(bool checked) override { m_silent = checked; }

    bool TimerEnabled() const override { return m_timerEnabled; }
    void SetTimerEnabled(bool enabled) override { m_timerEnabled = enabled; }
    std::int32_t TimerInterval() const override { return m_timerInterval; }
    void SetTimerInterval(std::int32_t milliseconds) override { m_timerInterval = milliseconds; }
    void HideOptionsPanel() override {}
    void SetStartMinimized() override {}

private:
    // The panel's defaults.
    int m_synchroMode = 0;
    int m_fileType = 0;
    bool m_filter = false;
    std::string m_filterText;
    bool m_timerBox = false;
    int m_intervalIndex = -1;
    int m_timerAction = 0;
    bool m_tray = false;
    bool m_autostart = false;
    bool m_silent = true;
    bool m_timerEnabled = false;
    std::int32_t m_timerInterval = 0;
};

// "Could not load <path>: <cause>", as the window's start says it.
std::string CouldNotLoad(const std::string& path, const std::exception& cause)
{
    return platform::FormatText(kCouldNotLoadFormat, {path, cause.what()});
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

int FromStoredFiles(const std::string& programFolder, RunOutput& output)
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
    RunState state;
    OptionsLogic logic(options, options, state, store, autostart);
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
    UnattendedRunHost host(output, [&options] { return options.SynchroModeIndex(); });
    return RunAll(state, report, list1, list2, host);
}

int InWindow(TForm1& form, RunOutput& output)
{
    RunHost& window = form.WindowRunHost();
    UnattendedRunHost host(
        output, [&window] { return window.SynchroModeIndex(); }, &window);
    // The window's list shows the lines as well.
    ReportList& report = form.Report();
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
