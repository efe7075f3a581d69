#pragma once

#include <cstdint>

class OptionsControls;
class OptionsHost;
struct RunState;

namespace platform {
class AutostartEntry;
class SettingsStore;
}  // namespace platform

// The commands of the Options panel and the loading of the stored options.
// They set the run-time values SearchAttr, SearchExt and SilentFlag of the
// run state. Store and entry failures throw platform::ESettingsError and end
// the command where they happen.
class OptionsLogic {
public:
    OptionsLogic(OptionsControls& controls, OptionsHost& host, RunState& runState,
                 platform::SettingsStore& store, platform::AutostartEntry& autostart);

    // Start-up: applies every stored value that exists to the controls, the
    // timer and the run-time values. The store must be open. A value of the
    // wrong type throws and leaves the remaining values unapplied.
    void LoadOptions();

    // "  Save": applies and stores every option, writes or removes the
    // autostart entry, then hides the panel. Also the close's saving.
    void BitBtn8Click();
    // "  Hide": applies the options without storing them and hides the panel.
    void BitBtn9Click();

    // Filter box clicked: the text box follows it.
    void CheckBox3Click();
    // Autostart box clicked, either way: Tray Mode becomes checked.
    void CheckBox5Click();

    // A radio-group index from a stored number: below -1 is -1, above 1 is 1.
    static int ClampRadioIndex(std::int32_t value);

private:
    void ApplySearchAttr();
    void ApplySearchExt();
    void ApplyTimerEnabled();
    void ApplySilentFlag();

    OptionsControls& m_controls;
    OptionsHost& m_host;
    RunState& m_runState;
    platform::SettingsStore& m_store;
    platform::AutostartEntry& m_autostart;
};
