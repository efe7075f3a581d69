#include "options/OptionsLogic.h"

#include "options/OptionNames.h"
#include "options/OptionsControls.h"
#include "options/OptionsHost.h"
#include "options/TimerIntervals.h"
#include "platform/fs/FileSystem.h"
#include "platform/settings/AutostartEntry.h"
#include "platform/settings/SettingsStore.h"

#include <initializer_list>
#include <vector>

namespace {

// The two choices of "File Type"; the first is also a run's default.
constexpr std::int32_t kArchiveFilesAttr = platform::faArchive;
constexpr std::int32_t kAllFilesAttr = platform::faAnyFile;
constexpr char kAnyExtension[] = "*";

}  // namespace

OptionsLogic::OptionsLogic(OptionsControls& controls, OptionsHost& host, RunOptionValues runValues,
                           platform::SettingsStore& store, platform::AutostartEntry& autostart)
    : m_controls(controls),
      m_host(host),
      m_runValues(runValues),
      m_store(store),
      m_autostart(autostart)
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

    std::vector<std::string> failures;
    m_unread.clear();
    if (const std::string failure = m_store.ReadFailure(); !failure.empty()) {
        failures.push_back(failure);
        for (const char* name : kAllNames)
            m_unread.insert(name);
    }
    // Each step reads its values before it changes anything, so a value
    // that cannot be read leaves its controls as they were.
    using Load = void (OptionsLogic::*)();
    const std::pair<std::vector<const char*>, Load> steps[] = {
        {{kSynchroMode}, &OptionsLogic::LoadSynchroMode},     {{kFileType}, &OptionsLogic::LoadFileType},
        {{kFilter, kExt}, &OptionsLogic::LoadFilter},         {{kTimer}, &OptionsLogic::LoadTimer},
        {{kTimerInterval}, &OptionsLogic::LoadTimerInterval}, {{kTimerAction}, &OptionsLogic::LoadTimerAction},
        {{kSilentMode}, &OptionsLogic::LoadSilentMode},       {{kTrayMode}, &OptionsLogic::LoadTrayMode},
        {{kAutostart}, &OptionsLogic::LoadAutostart},
    };
    for (const auto& [names, load] : steps) {
        try {
            (this->*load)();
        } catch (const platform::ESettingsError& error) {
            failures.push_back(error.what());
            m_unread.insert(names.begin(), names.end());
        }
    }

    m_shownAtStart = ValuesShown();
    if (failures.empty())
        return;
    std::string message = failures.front();
    for (std::size_t i = 1; i < failures.size(); ++i)
        message += "; " + failures[i];
    throw platform::ESettingsError(message);
}

void OptionsLogic::LoadSynchroMode()
{
    using namespace OptionNames;
    if (m_store.ValueExists(kSynchroMode))
        m_controls.SetSynchroModeIndex(ClampRadioIndex(m_store.ReadInteger(kSynchroMode)));
}

void OptionsLogic::LoadFileType()
{
    using namespace OptionNames;
    if (!m_store.ValueExists(kFileType))
        return;
    const std::int32_t fileType = m_store.ReadInteger(kFileType);
    m_controls.SetFileTypeIndex(ClampRadioIndex(fileType));
    m_runValues.SearchAttr = fileType == 0 ? kArchiveFilesAttr : kAllFilesAttr;
}

void OptionsLogic::LoadFilter()
{
    using namespace OptionNames;
    if (!m_store.ValueExists(kFilter))
        return;
    const std::int32_t filter = m_store.ReadInteger(kFilter);
    const std::string ext = m_store.ValueExists(kExt) ? m_store.ReadString(kExt) : std::string();
    if (filter == 1 && !ext.empty()) {
        m_runValues.SearchExt = ext;
        m_controls.SetFilterChecked(true);
        CheckBox3Click();
        m_controls.SetFilterText(ext);
    } else {
        m_runValues.SearchExt = kAnyExtension;
    }
}

void OptionsLogic::LoadTimer()
{
    using namespace OptionNames;
    if (!m_store.ValueExists(kTimer))
        return;
    const bool on = m_store.ReadInteger(kTimer) != 0;
    m_controls.SetTimerBoxChecked(on);
    m_host.SetTimerEnabled(on);
}

void OptionsLogic::LoadTimerInterval()
{
    using namespace OptionNames;
    if (!m_store.ValueExists(kTimerInterval))
        return;
    // The timer keeps a stored interval that no entry stands for; the
    // box then goes on showing "Interval".
    const std::int32_t interval = m_store.ReadInteger(kTimerInterval);
    m_host.SetTimerInterval(interval);
    const int index = TimerIntervals::IndexForInterval(interval);
    if (index >= 0)
        m_controls.SetIntervalIndex(index);
}

void OptionsLogic::LoadTimerAction()
{
    using namespace OptionNames;
    if (m_store.ValueExists(kTimerAction))
        m_controls.SetTimerActionIndex(ClampRadioIndex(m_store.ReadInteger(kTimerAction)));
}

void OptionsLogic::LoadSilentMode()
{
    using namespace OptionNames;
    if (!m_store.ValueExists(kSilentMode))
        return;
    const bool silent = m_store.ReadInteger(kSilentMode) != 0;
    m_runValues.SilentFlag = silent ? 1 : 0;
    m_controls.SetSilentChecked(silent);
}

void OptionsLogic::LoadTrayMode()
{
    using namespace OptionNames;
    if (!m_store.ValueExists(kTrayMode))
        return;
    if (m_store.ReadInteger(kTrayMode) == 1) {
        m_controls.SetTrayChecked(true);
        m_host.SetStartMinimized();
    } else {
        m_controls.SetTrayChecked(false);
    }
}

void OptionsLogic::LoadAutostart()
{
    using namespace OptionNames;
    if (!m_store.ValueExists(kAutostart))
        return;
    // A change of the box counts as its click, so a stored Autostart
    // checks Tray Mode too (for the next start; this one is settled).
    const bool autostart = m_store.ReadInteger(kAutostart) != 0;
    if (autostart != m_controls.AutostartChecked()) {
        m_controls.SetAutostartChecked(autostart);
        CheckBox5Click();
    }
}

void OptionsLogic::BitBtn8Click()
{
    Save(false);
}

void OptionsLogic::SaveAtClose()
{
    Save(true);
}

void OptionsLogic::Save(bool keepUnread)
{
    using namespace OptionNames;

    const StoredValues values = ValuesShown();
    // False when the value is kept as the store holds it.
    const auto write = [&](const char* name) {
        const StoredValue& value = values.at(name);
        if (keepUnread && m_unread.count(name) && m_shownAtStart.at(name) == value)
            return false;
        if (const auto* integer = std::get_if<std::int32_t>(&value))
            m_store.WriteInteger(name, *integer);
        else
            m_store.WriteString(name, std::get<std::string>(value));
        m_unread.erase(name);
        return true;
    };

    // A key that cannot be opened makes the first write fail.
    m_store.OpenKey(true);
    write(kVersion);
    write(kSynchroMode);
    ApplySearchAttr();
    write(kFileType);
    write(kFilter);
    ApplySearchExt();
    write(kExt);
    ApplyTimerEnabled();
    write(kTimer);
    write(kTimerInterval);
    write(kTimerAction);
    ApplySilentFlag();
    write(kSilentMode);
    write(kTrayMode);
    // The entry follows the stored value: one left as it was keeps its entry.
    if (write(kAutostart)) {
        if (m_controls.AutostartChecked())
            m_autostart.Write();
        else if (m_autostart.Exists())
            m_autostart.Delete();
    }
    m_store.CloseKey();
    m_host.HideOptionsPanel();
}

OptionsLogic::StoredValues OptionsLogic::ValuesShown() const
{
    using namespace OptionNames;

    const std::string text = m_controls.FilterText();
    const bool filtered = m_controls.FilterChecked() && !text.empty();
    return {
        {kVersion, std::string(kVersionText)},
        {kSynchroMode, m_controls.SynchroModeIndex()},
        {kFileType, m_controls.FileTypeIndex()},
        {kFilter, m_controls.FilterChecked() ? 1 : 0},
        {kExt, filtered ? text : std::string(kAnyExtension)},
        {kTimer, m_controls.TimerBoxChecked() ? 1 : 0},
        {kTimerInterval, m_host.TimerInterval()},
        {kTimerAction, m_controls.TimerActionIndex()},
        {kSilentMode, m_controls.SilentChecked() ? 1 : 0},
        {kTrayMode, m_controls.TrayChecked() ? 1 : 0},
        {kAutostart, m_controls.AutostartChecked() ? 1 : 0},
    };
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
    m_runValues.SearchAttr = m_controls.FileTypeIndex() == 0 ? kArchiveFilesAttr : kAllFilesAttr;
}

void OptionsLogic::ApplySearchExt()
{
    const std::string text = m_controls.FilterText();
    m_runValues.SearchExt = m_controls.FilterChecked() && !text.empty() ? text : std::string(kAnyExtension);
}

void OptionsLogic::ApplyTimerEnabled()
{
    m_host.SetTimerEnabled(m_controls.TimerBoxChecked());
}

void OptionsLogic::ApplySilentFlag()
{
    m_runValues.SilentFlag = m_controls.SilentChecked() ? 1 : 0;
}
