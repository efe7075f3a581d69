#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <variant>
#include <vector>

#include "options/RunOptionValues.h"

class OptionsControls;
class OptionsHost;

namespace platform {
class AutostartEntry;
class SettingsStore;
}  // namespace platform

// The commands of the Options panel and the loading of the stored options.
// They set the run-time values SearchAttr, SearchExt and SilentFlag. Store and entry failures throw
// platform::ESettingsError and end the command where they happen.
class OptionsLogic {
public:
    OptionsLogic(OptionsControls& controls, OptionsHost& host, RunOptionValues runValues,
                 platform::SettingsStore& store, platform::AutostartEntry& autostart);

    // Start-up: applies every stored value that exists to the controls, the
    // timer and the run-time values. The store must be open. A value that
    // cannot be read keeps its control as it was and every other value still
    // loads; then one error names all that could not be read (and why the
    // store itself could not be read, when it could not).
    void LoadOptions();

    // "  Save": applies and stores every option, writes or removes the
    // autostart entry, then hides the panel.
    void BitBtn8Click();
    // The close's saving: Save, except that a value the start could not read
    // stays in the store as it is unless the user changed its control since,
    // so that no start that failed to read a value ever overwrites it.
    void SaveAtClose();
    // The stored values the start could not read and no Save has written
    // since: what the panel shows for them only stands in for the store's.
    std::vector<std::string> UnreadValues() const { return {m_unread.begin(), m_unread.end()}; }

    // "  Hide": applies the options without storing them and hides the panel.
    void BitBtn9Click();

    // Filter box clicked: the text box follows it.
    void CheckBox3Click();
    // Autostart box clicked, either way: Tray Mode becomes checked.
    void CheckBox5Click();

    // A radio-group index from a stored number: below -1 is -1, above 1 is 1.
    static int ClampRadioIndex(std::int32_t value);

private:
    using StoredValue = std::variant<std::int32_t, std::string>;
    using StoredValues = std::map<std::string, StoredValue>;

    // The steps of LoadOptions, one per stored value (Filter with Ext).
    void LoadSynchroMode();
    void LoadFileType();
    void LoadFilter();
    void LoadTimer();
    void LoadTimerInterval();
    void LoadTimerAction();
    void LoadSilentMode();
    void LoadTrayMode();
    void LoadAutostart();

    void Save(bool keepUnread);
    // Every value as Save would store it now.
    StoredValues ValuesShown() const;
    void ApplySearchAttr();
    void ApplySearchExt();
    void ApplyTimerEnabled();
    void ApplySilentFlag();

    OptionsControls& m_controls;
    OptionsHost& m_host;
    RunOptionValues m_runValues;
    platform::SettingsStore& m_store;
    platform::AutostartEntry& m_autostart;
    // Values the start could not read, and what their controls showed then.
    std::set<std::string> m_unread;
    StoredValues m_shownAtStart;
};
