#pragma once

#include <QTimer>
#include <chrono>
#include <functional>
#include <optional>
#include <string>

#include "core/ChangeRuns.h"
#include "lists/AddPath.h"
#include "lists/CopyPath.h"
#include "lists/FolderList.h"
#include "options/OptionsControls.h"
#include "options/OptionsHost.h"
#include "options/OptionsLogic.h"
#include "platform/settings/AutostartEntry.h"
#include "platform/settings/SettingsStore.h"
#include "platform/state/PairMemory.h"
#include "sync/ReportList.h"
#include "sync/RunEvents.h"
#include "sync/RunState.h"
#include "sync/Synchronizer.h"
#include "timer/QtPeriodicTimer.h"
#include "timer/SynchroRuns.h"

class ProgramView;

// The program without its window: the two folder lists, the Report list,
// the option store and the options' logic, the runs, the synchro timer and
// its rules. The window (a ProgramView) shows what it is told and hands
// every command here; the start, the close and the command line (app/)
// talk to this object too. Without a view, the options live in a panel of
// plain values, runs ask nobody and show nothing.
//
// How each option reaches a run:
//   - as an applied value: File Type, the Extension Filter, Silent Mode and
//     KeepReplaced reach runs as the options' logic last applied them (the
//     start's loading, Save, Hide: OptionsLogic::RunValues), whatever the
//     panel shows meanwhile;
//   - read from the panel when needed (ShownNow): Synchro mode, when a run
//     starts; the timer's Action and Synchro mode, when the timer ticks; the
//     "Enable" box and the interval box, when the interval is chosen. The
//     design has these read the controls' current state, applied or not;
//   - the timer's enabled state and interval are the timer's own (Timer()),
//     set by the options' logic when it applies the options, and so is
//     whether runs follow changes (Run on change: Changes()); a run that
//     follows a change takes the timer's Action and the Synchro mode from
//     the panel when it starts, as a tick does.
class Program : private RunEvents, private OptionsHost, private SynchroRuns {
public:
    using Mode = Synchronizer::Mode;
    using Scope = Synchronizer::Scope;

    // programFolder: where the list files and the report live (with its
    // trailing '/'); settingsFile, autostartFile and memoryFile: where the
    // options, the autostart entry and the runs' memory are kept (empty: the
    // user's usual places).
    explicit Program(std::string programFolder, const std::string& settingsFile = {},
                     const std::string& autostartFile = {}, const std::string& memoryFile = {});
    ~Program() override;
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    // The window, once it exists (null: none). It must outlive its use.
    void SetView(ProgramView* view);

    // Runs, each with the options as last applied. "Synchronize all" and
    // "Synchronize selected": the pass by the Synchro mode the panel shows
    // now; "Synchro Now" (list and tray menus): the selected folders when
    // either list has a selection, else all; Run: one pass as it is.
    void SynchronizeAll() { Run(ModeShown(), Scope::All); }
    void SynchronizeSelected() { Run(ModeShown(), Scope::Selected); }
    void SynchronizeNow();
    void Run(Mode mode, Scope scope) { m_sync.Run(mode, scope, m_options.RunValues()); }
    // "Synchronize all" for the command line (folderly --run, in a program
    // of its own or forwarded to the window's): asked of nobody, its events
    // told to listener as well, and its summary left to the listener.
    // Nothing while a run goes on; false then.
    bool SynchronizeAllFor(RunEvents& listener);
    // Whether a run goes on (from its start until it is told finished).
    bool Running() const { return m_sync.IsRunning(); }

    // The Options panel's commands.
    void SaveOptions() { m_options.Save(); }
    void HideOptions() { m_options.Hide(); }
    void FilterBoxClicked() { m_options.FilterBoxClicked(); }
    void AutostartBoxClicked() { m_options.AutostartBoxClicked(); }
    // Runs on change for the command line (folderly --watch): the folders of
    // both lists are watched whatever the option says, and each change
    // makes the run "Synchronize all" makes, in the stored Synchro mode.
    // The first run comes at once, as the folders may be out of step. The
    // Report lines go to its observer only: nothing shows them later, and a
    // watcher may run for months. False when nothing can be watched (the
    // Report list says why).
    bool WatchForCommandLine();
    // Whether folderly --watch runs for this user now. While it does, Run on
    // change is left to it (two watchers would make every run twice), said
    // once in the Report list, and looked at again every lookAgain, so that
    // this copy takes over when the watcher ends.
    void SetWatcherQuery(std::function<bool()> watcherRunning,
                         std::chrono::milliseconds lookAgain = std::chrono::seconds(30));
    // The interval box changed or closed its list.
    void IntervalChosen();
    // The synchro timer ticked.
    void TimerTicked();

    // The list menus' commands and the Add Path buttons, on List 1 or List 2.
    void SelectAll(FolderList& list) { list.SelectAll(); }
    void DeselectAll(FolderList& list) { list.DeselectAll(); }
    void DeleteSelected(FolderList& list) { list.DeleteSelected(); }
    void ClearList(FolderList& list) { list.Clear(); }
    // Add Path: the folder choose returns, when it returns one, into list.
    bool AddPath(FolderList& list, const DirectoryChooser& choose) { return ::AddPath(list, choose); }
    // Copy Path: the selected entry's text through the carrier text (the
    // window's text box), and what goes to the clipboard, if anything.
    std::optional<std::string> CopyPath(const FolderList& list, std::string& carrier)
    {
        return CopyPathThroughCarrier(list, carrier);
    }

    // "Save Report": the Report list into the report file; returns its path.
    std::string SaveReport();
    // A click on the window's bare background: both lists lose their selection.
    void DeselectBothLists();

    // Asked between two copies of a run: true when the program is to end.
    void SetStopQuery(std::function<bool()> query) { m_stopQuery = std::move(query); }
    bool StopRequested() const override { return m_stopQuery && m_stopQuery(); }

    FolderList& List1() { return m_list1; }
    FolderList& List2() { return m_list2; }
    ReportList& Report() { return m_report; }
    RunState& State() { return m_state; }
    // The program's one engine, whose every run the program hears of.
    Synchronizer& Sync() { return m_sync; }
    OptionsLogic& Options() { return m_options; }
    platform::SettingsStore& Store() { return m_store; }
    PeriodicTimer& Timer() { return m_timer; }
    ChangeRuns& Changes() { return m_changeRuns; }
    const std::string& ProgramFolder() const { return m_programFolder; }
    // Tray Mode was loaded: the window starts in the tray.
    bool StartMinimized() const { return m_startMinimized; }

private:
    // The options as the Options panel shows them now, applied or not.
    OptionValues ShownNow() const;
    // The run the Synchro mode shown now stands for: 0 files mode, any other
    // index folders mode.
    Mode ModeShown() const { return ShownNow().SynchroMode == 0 ? Mode::Files : Mode::Folders; }
    // The run a change asks for (see ChangeRuns): false while another runs.
    bool RunForChange(const std::set<std::string>* onlyNamed);

    // RunEvents: what a run tells becomes the window's balloon, buttons,
    // gauge, Report list and summary, in the design's order and texts (none
    // of the window's without one); the runs that follow changes and a
    // command line's listener hear of it too.
    void Started() override;
    void Counted(std::int32_t copies) override;
    void Progressed(int percent) override;
    void Recorded(const RunRecord& record) override;
    void Wrote(const platform::WrittenFile& file) override { m_changeRuns.Wrote(file); }
    void Finished(bool completed, const RunTally& tally) override;
    bool Confirm(const std::string& text, const RunPlan& plan) override;
    bool ShowsPlan() const override { return !m_listener && m_view != nullptr; }
    void KeepResponsive() override;

    // OptionsHost
    bool TimerEnabled() const override { return m_timer.Enabled(); }
    void SetTimerEnabled(bool enabled) override { m_timer.SetEnabled(enabled); }
    std::int32_t TimerInterval() const override { return static_cast<std::int32_t>(m_timer.Interval()); }
    void SetTimerInterval(std::int32_t milliseconds) override;
    void HideOptionsPanel() override;
    void SetStartMinimized() override { m_startMinimized = true; }
    void SetRunOnChange(bool on) override;

    // SynchroRuns: what a timer tick starts.
    void FilesAll() override { Run(Mode::Files, Scope::All); }
    void FilesSelected() override { Run(Mode::Files, Scope::Selected); }
    void FoldersAll() override { Run(Mode::Folders, Scope::All); }
    void FoldersSelected() override { Run(Mode::Folders, Scope::Selected); }

    // The Options panel: the view's, or plain values without a view.
    class Panel : public OptionsControls {
    public:
        void Attach(ProgramView* view);
        OptionValues ShownOptions() const override;
        void ShowOptions(const OptionValues& values) override;
        void SetFilterTextEnabled(bool enabled) override;

    private:
        ProgramView* m_view = nullptr;
        OptionValues m_values;
        bool m_shownAlone = false;  // m_values were shown without a window
    };

    std::string m_programFolder;
    RunState m_state;
    ReportList m_report;
    FolderList m_list1;
    FolderList m_list2;
    Synchronizer m_sync;
    platform::SettingsStore m_store;
    platform::AutostartEntry m_autostart;
    platform::PairMemory m_memory;
    Panel m_panel;
    OptionsLogic m_options;
    QtPeriodicTimer m_timer;
    ChangeRuns m_changeRuns;
    bool m_watchForCommandLine = false;
    // Run on change as the options ask, and whether it is left to a watcher.
    void UpdateWatching();
    bool m_runOnChange = false;
    bool m_leftToWatcher = false;
    std::function<bool()> m_watcherRunning;
    QTimer m_lookForWatcher;
    ProgramView* m_view = nullptr;
    // The command line's listener of the run going on, if any.
    RunEvents* m_listener = nullptr;
    bool m_startMinimized = false;
    std::function<bool()> m_stopQuery;
};
