#include "core/Program.h"

#include "core/ProgramView.h"
#include "platform/FormatText.h"
#include "platform/settings/LocaleTime.h"
#include "sync/ReportFile.h"
#include "sync/RunPlan.h"
#include "timer/SynchroTimerRules.h"

Program::Program(std::string programFolder, const std::string& settingsFile, const std::string& autostartFile,
                 const std::string& memoryFile)
    : m_programFolder(std::move(programFolder)),
      m_sync(m_state, m_list1, m_list2, *this),
      m_store(settingsFile.empty() ? platform::SettingsStore::DefaultFilePath() : settingsFile),
      m_autostart(autostartFile.empty() ? platform::AutostartEntry::DefaultFilePath() : autostartFile,
                  platform::AutostartEntry::InstalledProgramPath()),
      m_memory(memoryFile.empty() ? platform::PairMemory::DefaultPath() : memoryFile),
      m_options(m_panel, *this, m_store, m_autostart),
      m_changeRuns(
          m_list1, m_list2, m_report, [this](const std::set<std::string>* only) { return RunForChange(only); },
          [this] { return ShownNow().SynchroMode == 1 || (m_watchForCommandLine && ShownNow().SynchroMode != 0); })
{
    m_sync.SetMemory(&m_memory);
    m_timer.SetOnTimer([this] {
        if (m_view)
            m_view->Deliver([this] { TimerTicked(); });
        else
            TimerTicked();
    });
    m_list1.SetProgramObserver([this] { m_changeRuns.ListsChanged(); });
    m_list2.SetProgramObserver([this] { m_changeRuns.ListsChanged(); });
    QObject::connect(&m_lookForWatcher, &QTimer::timeout, [this] { UpdateWatching(); });
}

Program::~Program()
{
    m_list1.SetProgramObserver(nullptr);
    m_list2.SetProgramObserver(nullptr);
}

bool Program::WatchForCommandLine()
{
    m_watchForCommandLine = true;
    m_report.SetKeepLines(false);
    m_changeRuns.SetEnabled(true);
    if (!m_changeRuns.Watching())
        return false;
    m_changeRuns.AskFullRun();
    return true;
}

void Program::SetWatcherQuery(std::function<bool()> watcherRunning, std::chrono::milliseconds lookAgain)
{
    m_watcherRunning = std::move(watcherRunning);
    m_lookForWatcher.setInterval(lookAgain);
}

void Program::SetRunOnChange(bool on)
{
    m_runOnChange = on;
    if (!m_watchForCommandLine)
        UpdateWatching();
}

void Program::UpdateWatching()
{
    const bool leftToWatcher = m_runOnChange && m_watcherRunning && m_watcherRunning();
    m_changeRuns.SetEnabled(m_runOnChange && !leftToWatcher);
    if (leftToWatcher && !m_leftToWatcher)
        m_report.Append(ChangeTexts::kLeftToWatcher);
    m_leftToWatcher = leftToWatcher;
    if (leftToWatcher)
        m_lookForWatcher.start();
    else
        m_lookForWatcher.stop();
}

bool Program::RunForChange(const std::set<std::string>* onlyNamed)
{
    if (Running())
        return false;
    // What is in step stays as it is: a copy of equal times would be a
    // change to whoever else watches the same folders.
    const auto run = [&](Mode mode, Scope scope) {
        m_sync.Run(mode, scope, m_options.RunValues(), onlyNamed, Synchronizer::Pairs::OutOfStep);
    };
    const OptionValues shown = ShownNow();
    if (m_watchForCommandLine) {
        // As "Synchronize all" (and folderly --run): by the Synchro mode.
        run(ModeShown(), Scope::All);
        return true;
    }
    using SynchroTimerRules::Run;
    switch (SynchroTimerRules::RunFor(shown.TimerAction, shown.SynchroMode)) {
    case Run::FilesAll: run(Mode::Files, Scope::All); break;
    case Run::FilesSelected: run(Mode::Files, Scope::Selected); break;
    case Run::FoldersAll: run(Mode::Folders, Scope::All); break;
    case Run::FoldersSelected: run(Mode::Folders, Scope::Selected); break;
    case Run::None: break;
    }
    return true;
}

void Program::SetView(ProgramView* view)
{
    m_view = view;
    m_panel.Attach(view);
}

OptionValues Program::ShownNow() const
{
    return m_panel.ShownOptions();
}

void Program::IntervalChosen()
{
    const OptionValues shown = ShownNow();
    const auto interval = shown.TimerInterval > 0 ? static_cast<std::uint32_t>(shown.TimerInterval) : 0u;
    SynchroTimerRules::ChooseInterval(m_timer, shown.Timer != 0, interval);
}

void Program::TimerTicked()
{
    const OptionValues shown = ShownNow();
    SynchroTimerRules::Tick(*this, shown.TimerAction, shown.SynchroMode);
}

std::string Program::SaveReport()
{
    return SaveReportFile(m_report, platform::ReportHeaderLine(), m_programFolder);
}

void Program::DeselectBothLists()
{
    m_list1.DeselectAll();
    m_list2.DeselectAll();
}

void Program::SetTimerInterval(std::int32_t milliseconds)
{
    // The stored interval goes to the timer unchanged: a negative one is a
    // long countdown of the unsigned interval (cut to the longest a timer
    // takes), and the next Save stores it back as it was.
    m_timer.SetInterval(static_cast<std::uint32_t>(milliseconds));
}

void Program::HideOptionsPanel()
{
    if (m_view)
        m_view->HideOptionsPanel();
}

void Program::SynchronizeNow()
{
    Run(ModeShown(), m_list1.SelCount() > 0 || m_list2.SelCount() > 0 ? Scope::Selected : Scope::All);
}

bool Program::SynchronizeAllFor(RunEvents& listener)
{
    if (Running())
        return false;
    m_listener = &listener;
    struct Forget {
        RunEvents*& listener;
        ~Forget() { listener = nullptr; }
    } forget{m_listener};
    SynchronizeAll();
    return true;
}

void Program::Started()
{
    if (m_view) {
        m_view->RequestBalloon(RunTexts::kBalloonText, RunTexts::kBalloonTitle, biWarning);
        m_view->SetSynchronizeSelectedVisible(false);
        m_view->SetSynchronizeAllVisible(false);
        m_view->SetGaugeVisible(true);
    }
    if (m_listener)
        m_listener->Started();
}

void Program::Counted(std::int32_t copies)
{
    if (m_listener)
        m_listener->Counted(copies);
}

void Program::Progressed(int percent)
{
    if (m_view)
        m_view->SetGaugeProgress(percent);
    if (m_listener)
        m_listener->Progressed(percent);
}

void Program::Recorded(const RunRecord& record)
{
    m_changeRuns.Recorded(record);
    m_report.Append(record.Line());
    if (m_listener)
        m_listener->Recorded(record);
}

bool Program::Confirm(const std::string& text, const RunPlan& plan)
{
    // A run for the command line asks nobody.
    return m_listener || !m_view || m_view->Confirm(text, plan.Text());
}

void Program::Finished(bool completed, const RunTally& tally)
{
    if (m_view) {
        m_view->SetSynchronizeSelectedVisible(true);
        m_view->SetSynchronizeAllVisible(true);
        m_view->SetGaugeVisible(false);
    }
    // Told before any box of the run's end shows, which lets other events in.
    m_changeRuns.RunFinished(completed);
    // Edits kept beside their files are no failure, but a person should look.
    if (tally.kept > 0 && m_view)
        m_view->RequestBalloon(platform::FormatText(RunTexts::kKeptEditsBalloonText, {std::to_string(tally.kept)}),
                               RunTexts::kKeptEditsBalloonTitle, biInfo);
    if (m_listener) {
        m_listener->Finished(completed, tally);
        return;  // the command line says what the summary would
    }
    // The run is over: a trigger during the summary starts a run of its own.
    // A folder that is not there is said in the Report list, but is no failure.
    if (tally.AnyFailure() && !StopRequested() && m_view)
        m_view->ShowMessage(RunTexts::kSummary);
}

void Program::KeepResponsive()
{
    if (m_view)
        m_view->KeepResponsive();
}

void Program::Panel::Attach(ProgramView* to)
{
    // What was shown before there was a window (options loaded first) goes
    // to the window's panel; what the window showed stays when it goes.
    if (to && m_shownAlone) {
        to->PanelControls().ShowOptions(m_values);
        to->PanelControls().SetFilterTextEnabled(m_values.Filter != 0);
    } else if (!to && m_view) {
        m_values = m_view->PanelControls().ShownOptions();
        m_shownAlone = true;
    }
    m_view = to;
}

OptionValues Program::Panel::ShownOptions() const
{
    return m_view ? m_view->PanelControls().ShownOptions() : m_values;
}

void Program::Panel::ShowOptions(const OptionValues& values)
{
    if (m_view) {
        m_view->PanelControls().ShowOptions(values);
    } else {
        m_values = values;
        m_shownAlone = true;
    }
}

void Program::Panel::SetFilterTextEnabled(bool enabled)
{
    if (m_view)
        m_view->PanelControls().SetFilterTextEnabled(enabled);
}
