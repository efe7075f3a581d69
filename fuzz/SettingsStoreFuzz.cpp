// A Folderly.conf of any bytes: opened and loaded as the start loads the
// options (OptionsLogic::LoadOptions over every row of kOptionTable), then
// held to what the load rules and the store promise.

#include "FuzzSupport.h"
#include "options/OptionNames.h"
#include "options/OptionTable.h"
#include "options/OptionsControls.h"
#include "options/OptionsHost.h"
#include "options/OptionsLogic.h"
#include "platform/settings/AutostartEntry.h"
#include "platform/settings/SettingsStore.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace {

struct Controls : OptionsControls {
    OptionValues shown;
    OptionValues ShownOptions() const override { return shown; }
    void ShowOptions(const OptionValues& values) override { shown = values; }
    void SetFilterTextEnabled(bool) override {}
};

struct Host : OptionsHost {
    bool enabled = false;
    std::int32_t interval = 0;
    bool TimerEnabled() const override { return enabled; }
    void SetTimerEnabled(bool value) override { enabled = value; }
    std::int32_t TimerInterval() const override { return interval; }
    void SetTimerInterval(std::int32_t milliseconds) override { interval = milliseconds; }
    void HideOptionsPanel() override {}
    void SetStartMinimized() override {}
};

// Whether value is one a control of this load rule can show, starting from
// the defaults.
bool Showable(const OptionRow& row, const OptionValues& shown)
{
    const std::int32_t value = shown.*row.integer;
    switch (row.load) {
    case LoadRule::Index: return value >= -1 && value <= 1;
    case LoadRule::Number: return true;
    case LoadRule::Filter: return value == 0 || (value == 1 && !shown.Ext.empty());
    case LoadRule::Checked:
    case LoadRule::CheckedIfOne:
    case LoadRule::Autostart: return value == 0 || value == 1;
    case LoadRule::FilterText:
    case LoadRule::Text: break;  // strings, not shown by this check
    }
    return false;
}

// A value reads as an integer, as a string, or neither: never as both, and
// a missing one as neither with "Failed to get data".
void CheckOneType(const platform::SettingsStore& store, const std::string& name)
{
    int readable = 0;
    std::vector<std::string> failures;
    try {
        store.ReadInteger(name);
        ++readable;
    } catch (const platform::ESettingsError& error) {
        failures.emplace_back(error.what());
    }
    try {
        store.ReadString(name);
        ++readable;
    } catch (const platform::ESettingsError& error) {
        failures.emplace_back(error.what());
    }
    fuzz::Require(readable <= 1, "no value reads as both an integer and a string");
    if (!store.ValueExists(name)) {
        const std::string missing = platform::ESettingsError::For(platform::kFailedToGetDataText, name).what();
        fuzz::Require(failures == std::vector<std::string>{missing, missing}, "a missing value fails to get data");
    }
}

// One error names every value the load could not read. The rows read with
// another (Ext with Filter) stay unread with it, and one of them is named.
void CheckNamed(const std::vector<std::string>& unread, const std::string& failure)
{
    const auto isUnread = [&unread](const char* name) {
        return std::find(unread.begin(), unread.end(), name) != unread.end();
    };
    const std::span<const OptionRow> rows(kOptionTable);
    for (std::size_t first = 0; first < rows.size();) {
        std::size_t end = first + 1;
        while (end < rows.size() && rows[end].load == LoadRule::FilterText)
            ++end;
        bool anyUnread = false;
        bool anyNamed = false;
        for (const OptionRow& row : rows.subspan(first, end - first)) {
            anyUnread = anyUnread || isUnread(row.name);
            anyNamed = anyNamed || failure.find("'" + std::string(row.name) + "'") != std::string::npos;
        }
        fuzz::Require(!anyUnread || anyNamed, "the error names what the load could not read");
        first = end;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using fuzz::Require;
    const std::string path = fuzz::TheFolder() / "Folderly.conf";
    fuzz::WriteWholeFile(path, fuzz::Bytes(data, size));

    platform::SettingsStore store(path);
    Require(store.OpenKey(false), "a key whose file is there opens");
    Controls controls;
    Host host;
    platform::AutostartEntry autostart(fuzz::TheFolder() / "Folderly.desktop", "/usr/bin/folderly");
    OptionsLogic logic(controls, host, store, autostart);
    std::string failure;
    bool failed = false;
    try {
        logic.LoadOptions();
    } catch (const platform::ESettingsError& error) {
        failed = true;
        failure = error.what();
    }

    for (const OptionRow& row : kOptionTable) {
        if (!row.IsText())
            Require(Showable(row, controls.shown), "each control shows a value of its kind");
        CheckOneType(store, row.name);
    }
    CheckOneType(store, OptionNames::kVersion);

    const std::vector<std::string> unread = logic.UnreadValues();
    Require(failed == !unread.empty(), "the load fails exactly when a value stays unread");
    if (store.ReadFailure().empty())
        CheckNamed(unread, failure);
    return 0;
}
