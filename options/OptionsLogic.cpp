#include "options/OptionsLogic.h"

#include "options/OptionNames.h"
#include "options/OptionsControls.h"
#include "options/OptionsHost.h"
#include "platform/fs/FileSystem.h"
#include "platform/settings/AutostartEntry.h"
#include "platform/settings/SettingsStore.h"

#include <string_view>

namespace {

// The two choices of "File Type"; the first is also a run's default.
constexpr std::int32_t kArchiveFilesAttr = platform::faArchive;
constexpr std::int32_t kAllFilesAttr = platform::faAnyFile;
constexpr char kAnyExtension[] = "*";

}  // namespace

OptionsLogic::OptionsLogic(OptionsControls& controls, OptionsHost& host, platform::SettingsStore& store,
                           platform::AutostartEntry& autostart)
    : m_controls(controls),
      m_host(host),
      m_store(store),
      m_autostart(autostart),
      m_runValues(RunValuesOf(OptionValues()))
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

RunOptionValues OptionsLogic::RunValuesOf(const OptionValues& shown)
{
    RunOptionValues values;
    values.SearchAttr = shown.FileType == 0 ? kArchiveFilesAttr : kAllFilesAttr;
    values.SearchExt = shown.Filter != 0 && !shown.Ext.empty() ? shown.Ext : std::string(kAnyExtension);
    values.SilentFlag = shown.SilentMode != 0 ? 1 : 0;
    values.KeepReplaced = shown.KeepReplaced != 0 ? 1 : 0;
    return values;
}

void OptionsLogic::LoadOptions()
{
    std::vector<std::string> failures;
    m_unread.clear();
    if (const std::string failure = m_store.ReadFailure(); !failure.empty()) {
        failures.push_back(failure);
        m_unread.insert(OptionNames::kVersion);
        for (const OptionRow& row : kOptionTable)
            m_unread.insert(row.name);
    }

    const OptionValues before = m_controls.ShownOptions();
    Loaded loaded{before, OptionValues(), {}};
    const std::span<const OptionRow> rows(kOptionTable);
    for (std::size_t first = 0; first < rows.size();) {
        std::size_t end = first + 1;
        while (end < rows.size() && rows[end].load == LoadRule::FilterText)
            ++end;
        const std::span<const OptionRow> step = rows.subspan(first, end - first);
        try {
            LoadStep(step, loaded);
        } catch (const platform::ESettingsError& error) {
            failures.push_back(error.what());
            for (const OptionRow& row : step)
                m_unread.insert(row.name);
        }
        first = end;
    }
    ApplyLoaded(before, loaded);

    m_storedAtStart = ToStore(m_controls.ShownOptions());
    if (failures.empty())
        return;
    std::string message = failures.front();
    for (std::size_t i = 1; i < failures.size(); ++i)
        message += "; " + failures[i];
    throw platform::ESettingsError(message);
}

void OptionsLogic::LoadStep(std::span<const OptionRow> step, Loaded& loaded) const
{
    // The rows read with the first are read only when it exists; a missing
    // one reads as its default.
    if (!m_store.ValueExists(step.front().name))
        return;
    OptionValues stored = loaded.stored;
    std::set<std::string> present;
    for (const OptionRow& row : step) {
        if (!m_store.ValueExists(row.name))
            continue;
        row.Read(m_store, stored);
        present.insert(row.name);
    }
    loaded.stored = stored;
    loaded.present.merge(present);
    ShowStored(step.front(), stored, loaded.shown);
}

void OptionsLogic::ShowStored(const OptionRow& row, const OptionValues& stored, OptionValues& shown)
{
    if (row.IsText()) {
        // Ext shows only with its filter box (LoadRule::Filter).
        if (row.load == LoadRule::Text)
            shown.*row.text = stored.*row.text;
        return;
    }
    const std::int32_t value = stored.*row.integer;
    std::int32_t& control = shown.*row.integer;
    switch (row.load) {
    case LoadRule::Index: control = ClampRadioIndex(value); break;
    case LoadRule::Number: control = value; break;
    case LoadRule::Checked: control = value != 0 ? 1 : 0; break;
    case LoadRule::CheckedIfOne: control = value == 1 ? 1 : 0; break;
    case LoadRule::Filter:
        // Otherwise the box and the text box stay as they are.
        if (value == 1 && !stored.Ext.empty()) {
            control = 1;
            shown.Ext = stored.Ext;
        }
        break;
    case LoadRule::Autostart:
        // A change of the box counts as its click, so a stored Autostart
        // checks Tray Mode too (for the next start; this one is settled).
        if ((value != 0) != (control != 0)) {
            control = value != 0 ? 1 : 0;
            shown.TrayMode = 1;
        }
        break;
    case LoadRule::FilterText:
    case LoadRule::Text: break;
    }
}

void OptionsLogic::ApplyLoaded(const OptionValues& before, const Loaded& loaded)
{
    using namespace OptionNames;
    const auto present = [&loaded](const char* name) { return loaded.present.count(name) > 0; };

    m_controls.ShowOptions(loaded.shown);
    if (loaded.shown.Filter != before.Filter)
        FilterBoxClicked();
    if (present(kTimer))
        m_host.SetTimerEnabled(loaded.shown.Timer != 0);
    // The timer keeps a stored interval that no entry stands for; the box
    // then goes on showing "Interval".
    if (present(kTimerInterval))
        m_host.SetTimerInterval(loaded.stored.TimerInterval);
    if (present(kTrayMode) && loaded.stored.TrayMode == 1)
        m_host.SetStartMinimized();
    if (present(kRunOnChange))
        m_host.SetRunOnChange(loaded.shown.RunOnChange != 0);
    m_runValues = RunValuesOf(loaded.shown);
}

void OptionsLogic::Save()
{
    Write(false);
}

void OptionsLogic::SaveAtClose()
{
    Write(true);
}

void OptionsLogic::Write(bool keepUnread)
{
    using namespace OptionNames;

    const OptionValues shown = m_controls.ShownOptions();
    const OptionValues values = ToStore(shown);
    // Whether a value stays in the store as it is.
    const auto kept = [&](const char* name, bool unchanged) {
        return keepUnread && unchanged && m_unread.count(name) > 0;
    };

    // A key that cannot be opened makes the first write fail.
    m_store.OpenKey(true);
    if (!kept(kVersion, true)) {
        m_store.WriteString(kVersion, kVersionText);
        m_unread.erase(kVersion);
    }
    bool autostartStored = false;
    for (const OptionRow& row : kOptionTable) {
        // Each value takes effect just before it is written: a store that
        // fails at a value leaves those before it applied, the rest as they were.
        ApplyBeforeWriting(row.name, shown);
        if (kept(row.name, row.Same(values, m_storedAtStart)))
            continue;
        row.Write(m_store, values);
        m_unread.erase(row.name);
        autostartStored = autostartStored || std::string_view(row.name) == kAutostart;
    }
    // The entry follows the stored value: one left as it was keeps its entry.
    if (autostartStored) {
        if (shown.Autostart != 0)
            m_autostart.Write();
        else if (m_autostart.Exists())
            m_autostart.Delete();
    }
    m_store.CloseKey();
    m_host.HideOptionsPanel();
}

OptionValues OptionsLogic::ToStore(const OptionValues& shown) const
{
    OptionValues values = shown;
    values.Ext = RunValuesOf(shown).SearchExt;
    values.TimerInterval = m_host.TimerInterval();
    return values;
}

void OptionsLogic::ApplyBeforeWriting(std::string_view name, const OptionValues& shown)
{
    using namespace OptionNames;
    const RunOptionValues values = RunValuesOf(shown);
    if (name == kFileType)
        m_runValues.SearchAttr = values.SearchAttr;
    else if (name == kExt)
        m_runValues.SearchExt = values.SearchExt;
    else if (name == kTimer)
        m_host.SetTimerEnabled(shown.Timer != 0);
    else if (name == kSilentMode)
        m_runValues.SilentFlag = values.SilentFlag;
    else if (name == kKeepReplaced)
        m_runValues.KeepReplaced = values.KeepReplaced;
    else if (name == kRunOnChange)
        m_host.SetRunOnChange(shown.RunOnChange != 0);
}

void OptionsLogic::Apply(const OptionValues& shown)
{
    m_runValues = RunValuesOf(shown);
    m_host.SetTimerEnabled(shown.Timer != 0);
    m_host.SetRunOnChange(shown.RunOnChange != 0);
}

void OptionsLogic::Hide()
{
    Apply(m_controls.ShownOptions());
    m_host.HideOptionsPanel();
}

void OptionsLogic::FilterBoxClicked()
{
    m_controls.SetFilterTextEnabled(m_controls.ShownOptions().Filter != 0);
}

void OptionsLogic::AutostartBoxClicked()
{
    OptionValues shown = m_controls.ShownOptions();
    if (shown.TrayMode != 0)
        return;
    shown.TrayMode = 1;
    m_controls.ShowOptions(shown);
}
