#pragma once

#include <cstdint>
#include <set>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "options/OptionTable.h"
#include "options/RunOptionValues.h"

class OptionsControls;
class OptionsHost;

namespace platform {
class AutostartEntry;
class SettingsStore;
}  // namespace platform

// The commands of the Options panel and the loading of the stored options,
// all driven by kOptionTable. They keep the values runs use (RunValues).
// Store and entry failures throw platform::ESettingsError and end the
// command where they happen.
class OptionsLogic {
public:
    OptionsLogic(OptionsControls& controls, OptionsHost& host, platform::SettingsStore& store,
                 platform::AutostartEntry& autostart);

    // Start-up: applies every stored value that exists to the controls, the
    // timer and the run values. The store must be open. A value that cannot
    // be read keeps its control as it was and every other value still loads;
    // then one error names all that could not be read (and why the store
    // itself could not be read, when it could not).
    void LoadOptions();

    // "  Save": applies and stores every option, writes or removes the
    // autostart entry, then hides the panel.
    void Save();
    // The close's saving: Save, except that a value the start could not read
    // stays in the store as it is unless the user changed its control since,
    // so that no start that failed to read a value ever overwrites it.
    void SaveAtClose();
    // The stored values the start could not read and no Save has written
    // since: what the panel shows for them only stands in for the store's.
    std::vector<std::string> UnreadValues() const { return {m_unread.begin(), m_unread.end()}; }

    // "  Hide": applies the options without storing them and hides the panel.
    void Hide();

    // The filter box was clicked: the text box follows it.
    void FilterBoxClicked();
    // The Autostart box was clicked, either way: Tray Mode becomes checked.
    void AutostartBoxClicked();

    // What runs use, as last applied: the defaults' until the start loads.
    RunOptionValues RunValues() const { return m_runValues; }
    // What applying the options shown gives the runs.
    static RunOptionValues RunValuesOf(const OptionValues& shown);

    // A radio-group index from a stored number: below -1 is -1, above 1 is 1.
    static int ClampRadioIndex(std::int32_t value);
    // How the start shows row's stored value (of stored) in the controls' values shown.
    static void ShowStored(const OptionRow& row, const OptionValues& stored, OptionValues& shown);

private:
    // What the steps of LoadOptions gathered.
    struct Loaded {
        OptionValues shown;  // the controls as they will show
        OptionValues stored;  // the values read
        std::set<std::string> present;  // the names of the values read
    };
    // One step: a row and the rows read with it, each read before anything
    // changes, so that a value that cannot be read changes nothing.
    void LoadStep(std::span<const OptionRow> step, Loaded& loaded) const;
    void ApplyLoaded(const OptionValues& before, const Loaded& loaded);

    // Save's writing; keepUnread: as SaveAtClose.
    void Write(bool keepUnread);
    // Every value as Save would store it with these shown.
    OptionValues ToStore(const OptionValues& shown) const;
    // Hide's: the run values and the timer's state.
    void Apply(const OptionValues& shown);
    // Save's: what the value name stands for takes effect (the run value,
    // the timer's state), as it is about to be written.
    void ApplyBeforeWriting(std::string_view name, const OptionValues& shown);

    OptionsControls& m_controls;
    OptionsHost& m_host;
    platform::SettingsStore& m_store;
    platform::AutostartEntry& m_autostart;
    RunOptionValues m_runValues;
    // Values the start could not read, and all values as they were to be
    // stored right after the start.
    std::set<std::string> m_unread;
    OptionValues m_storedAtStart;
};
