#include "options/OptionsLogic.h"

#include "options/OptionNames.h"
#include "options/OptionsControls.h"
#include "options/OptionsHost.h"
#include "options/TimerIntervals.h"
#include "platform/AutostartEntry.h"
#include "platform/SettingsStore.h"
#include "sync/RunState.h"

namespace {

constexpr std::int32_t kArchiveFilesAttr = 32;
constexpr std::int32_t kAllFilesAttr = 63;
constexpr char kAnyExtension[] = "*";

}  // namespace

OptionsLogic::OptionsLogic(OptionsControls& controls, OptionsHost& host, RunState& runState,
                           platform::SettingsStore& store, platform::AutostartEntry& autostart)
    : m_controls(controls), m_host(host), m_runState(runState), m_store(store), m_autostart(autostart)
{
}

int OptionsLogic::ClampRadioIndex(std::int32_t value)
{
    if (value < -1)
        return -1;
    if (value > 1)
        return 1;
    return value;
}

void OptionsLogic::LoadOptions()
{
    using namespace OptionNames;

    if (m_store.ValueExists(kSynchroMode))
        m_controls.SetSynchroModeIndex(ClampRadioIndex(m_store.ReadInteger(kSynchroMode)));

    if (m_store.ValueExists(kFileType)) {
        const std::int32_t fileType = m_store.ReadInteger(kFileType);
        m_controls.SetFileTypeIndex(ClampRadioIndex(fileType));
        m_runState.SearchAttr = fileType == 0 ? kArchiveFilesAttr : kAllFilesAttr;
    }

    if (m_store.ValueExists(kFilter)) {
        const std::int32_t filter = m_store.ReadInteger(kFilter);
        const std::string ext = m_store.ValueExists(kExt) ? m_store.ReadString(kExt) : std::string();
        if (filter == 1 && !ext.empty()) {
            m_runState.SearchExt = ext;
            m_controls.SetFilterChecked(true);
            CheckBox3Click();
            m_controls.SetFilterText(ext);
        } else {
            m_runState.SearchExt = kAnyExtension;
        }
    }

    if (m_store.ValueExists(kTimer)) {
        const bool on = m_store.ReadInteger(kTimer) != 0;
        m_controls.SetTimerBoxChecked(on);
        m_host.SetTimerEnabled(on);
    }

    if (m_store.ValueExists(kTimerInterval)) {
        // The timer keeps a stored interval that no entry stands for; the
        // box then goes on showing "Interval".
        const std::int32_t interval = m_store.ReadInteger(kTimerInterval);
        m_host.SetTimerInterval(interval);
        const int index = TimerIntervals::IndexForInterval(interval);
        if (index >= 0)
            m_controls.SetIntervalIndex(index);
    }

    if (m_store.ValueExists(kTimerAction))
        m_controls.SetTimerActionIndex(ClampRadioIndex(m_store.ReadInteger(kTimerAction)));

    if (m_store.ValueExists(kSilentMode)) {
        const bool silent = m_store.ReadInteger(kSilentMode) != 0;
        m_runState.SilentFlag = silent ? 1 : 0;
        m_controls.SetSilentChecked(silent);
    }

    if (m_store.ValueExists(kTrayMode)) {
        if (m_store.ReadInteger(kTrayMode) == 1) {
            m_controls.SetTrayChecked(true);
            m_host.SetStartMinimized();
        } else {
            m_controls.SetTrayChecked(false);
        }
    }

    if (m_store.ValueExists(kAutostart)) {
        // A change of the box counts as its click, so a stored Autostart
        // checks Tray Mode too (for the next start; this one is settled).
        const bool autostart = m_store.ReadInteger(kAutostart) != 0;
        if (autostart != m_controls.AutostartChecked()) {
            m_controls.SetAutostartChecked(autostart);
            CheckBox5Click();
        }
    }
}

void OptionsLogic::BitBtn8Click()
{
    using namespace OptionNames;

    // A key that cannot be opened makes the first write fail.
    m_store.OpenKey(true);
    m_store.WriteString(kVersion, kVersionText);
    m_store.WriteInteger(kSynchroMode, m_controls.SynchroModeIndex());
    ApplySearchAttr();
    m_store.WriteInteger(kFileType, m_controls.FileTypeIndex());
    m_store.WriteInteger(kFilter, m_controls.FilterChecked() ? 1 : 0);
    ApplySearchExt();
    m_store.WriteString(kExt, m_runState.SearchExt);
    ApplyTimerEnabled();
    m_store.WriteInteger(kTimer, m_controls.TimerBoxChecked() ? 1 : 0);
    m_store.WriteInteger(kTimerInterval, m_host.TimerInterval());
    m_store.WriteInteger(kTimerAction, m_controls.TimerActionIndex());
    ApplySilentFlag();
    m_store.WriteInteger(kSilentMode, m_runState.SilentFlag);
    m_store.WriteInteger(kTrayMode, m_controls.TrayChecked() ? 1 : 0);
    if (m_controls.AutostartChecked()) {
        m_store.WriteInteger(kAutostart, 1);
        m_autostart.Write();
    } else {
        m_store.WriteInteger(kAutostart, 0);
        if (m_autostart.Exists())
            m_autostart.Delete();
    }
    m_store.CloseKey();
    m_host.HideOptionsPanel();
}

void OptionsLogic::BitBtn9Click()
{
    ApplySearchAttr();
    ApplySearchExt();
    ApplyTimerEnabled();
    m_host.HideOptionsPanel();
    ApplySilentFlag();
}

void OptionsLogic::CheckBox3Click()
{
    m_controls.SetFilterTextEnabled(m_controls.FilterChecked());
}

void OptionsLogic::CheckBox5Click()
{
    if (!m_controls.TrayChecked())
        m_controls.SetTrayChecked(true);
}

void OptionsLogic::ApplySearchAttr()
{
    m_runState.SearchAttr = m_controls.FileTypeIndex() == 0 ? kArchiveFilesAttr : kAllFilesAttr;
}

void OptionsLogic::ApplySearchExt()
{
    const std::string text = m_controls.FilterText();
    m_runState.SearchExt = m_controls.FilterChecked() && !text.empty() ? text : std::string(kAnyExtension);
}

void OptionsLogic::ApplyTimerEnabled()
{
    m_host.SetTimerEnabled(m_controls.TimerBoxChecked());
}

void OptionsLogic::ApplySilentFlag()
{
    m_runState.SilentFlag = m_controls.SilentChecked() ? 1 : 0;
}
