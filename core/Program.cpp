#include "core/Program.h"

#include "core/ProgramView.h"
#include "platform/settings/LocaleTime.h"
#include "sync/ReportFile.h"
#include "timer/SynchroTimerRules.h"

Program::Program(std::string programFolder, const std::string& settingsFile, const std::string& autostartFile)
    : m_programFolder(std::move(programFolder)),
      m_sync(m_state, m_report, m_list1, m_list2, *this),
      m_store(settingsFile.empty() ? platform::SettingsStore::DefaultFilePath() : settingsFile),
      m_autostart(autostartFile.empty() ? platform::AutostartEntry::DefaultFilePath() : autostartFile,
                  platform::AutostartEntry::InstalledProgramPath()),
      m_options(m_panel, *this, m_store, m_autostart),
      m_changeRuns(
          m_list1, m_list2, m_report, [this](const std::set<std::string>* only) { return RunForChange(only); },
          [this] { return ShownNow().SynchroMode == 1 || (m_watchForCommandLine && ShownNow().SynchroMode != 0); })
{
    m_timer.SetOnTimer([this] { TimerTicked(); });
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
    if (m_sync.IsRunning())
        return false;
    // What is in step stays as it is: a copy of equal times would be a
    // change to whoever else watches the same folders.
    constexpr Synchronizer::Pairs kOutOfStep = Synchronizer::Pairs::OutOfStep;
    const OptionValues shown = ShownNow();
    if (m_watchForCommandLine) {
        // As "Synchronize all" (and folderly --run): by the Synchro mode.
        m_sync.Run(shown.SynchroMode == 0 ? Mode::Files : Mode::Folders, Scope::All, onlyNamed, kOutOfStep);
        return true;
    }
    using SynchroTimerRules::Run;
    switch (SynchroTimerRules::RunFor(shown.TimerAction, shown.SynchroMode)) {
    case Run::FilesAll: m_sync.Run(Mode::Files, Scope::All, nullptr, kOutOfStep); break;
    case Run::FilesSelected: m_sync.Run(Mode::Files, Scope::Selected, nullptr, kOutOfStep); break;
    case Run::FoldersAll: m_sync.Run(Mode::Folders, Scope::All, onlyNamed, kOutOfStep); break;
    case Run::FoldersSelected: m_sync.Run(Mode::Folders, Scope::Selected, onlyNamed, kOutOfStep); break;
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

void Program::RequestBalloon(const std::string& text, const std::string& title, TBalloonIconType icon)
{
    if (m_view)
        m_view->RequestBalloon(text, title, icon);
}

void Program::SetSynchronizeSelectedVisible(bool visible)
{
    if (m_view)
        m_view->SetSynchronizeSelectedVisible(visible);
}

void Program::SetSynchronizeAllVisible(bool visible)
{
    if (m_view)
        m_view->SetSynchronizeAllVisible(visible);
}

void Program::SetGaugeVisible(bool visible)
{
    if (m_view)
        m_view->SetGaugeVisible(visible);
}

void Program::SetGaugeProgress(int percent)
{
    if (m_view)
        m_view->SetGaugeProgress(percent);
}

bool Program::Confirm(const std::string& text)
{
    return !m_view || m_view->Confirm(text);
}

void Program::ShowMessage(const std::string& text)
{
    if (m_view)
        m_view->ShowMessage(text);
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
