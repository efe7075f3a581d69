#pragma once

#include <cstdint>
#include <string>

#include "options/OptionNames.h"

namespace platform {
class SettingsStore;
}

// The options: one member for each value of the settings key ("version"
// aside), named and typed as stored, starting as kOptionTable says. The
// Options panel shows and reads them, check boxes as 1 or 0 and radio groups
// as their index (-1: no item chosen). Two mean something else there than
// in the store: Ext is the text box's text (stored: the SearchExt that Save
// derives from it) and TimerInterval the interval of the entry the interval
// box shows, 0 for none (stored: the timer's own interval).
struct OptionValues {
    OptionValues();

    std::int32_t SynchroMode{};
    std::int32_t FileType{};
    std::int32_t Filter{};
    std::string Ext;
    std::int32_t Timer{};
    std::int32_t TimerInterval{};
    std::int32_t TimerAction{};
    std::int32_t SilentMode{};
    std::int32_t TrayMode{};
    std::int32_t Autostart{};
    std::int32_t KeepReplaced{};
    std::int32_t RunOnChange{};

    bool operator==(const OptionValues&) const = default;
};

// How a stored value shows in the panel when the start loads it.
enum class LoadRule {
    Index,  // a radio-group choice: below -1 is -1, above 1 is 1
    Number,  // as it is
    Checked,  // a check box, checked when the value is not 0
    CheckedIfOne,  // a check box, checked only when the value is exactly 1
    Filter,  // the filter box, read with Ext: both show only when it is 1 and Ext is not empty
    FilterText,  // read only together with the row before it, never alone
    Autostart,  // as Checked; a change counts as the box's click
    Text,  // a text shown as it is stored
};

// Where a value comes from in the option file of version 1.2.
struct LegacyLine {
    int number = 0;  // its line; 0 when the file has none
    bool convertedWhenKept = false;  // the line is converted even when the store has the value
};

// One stored option: its name, its type (the member it fills is an integer
// or a string), its default, how loading shows it, its legacy line.
struct OptionRow {
    const char* name;
    std::int32_t OptionValues::*integer;  // null for a string
    std::string OptionValues::*text;  // null for an integer
    std::int32_t integerDefault;
    const char* textDefault;
    LoadRule load;
    LegacyLine legacy;

    bool IsText() const { return text != nullptr; }
    bool Same(const OptionValues& a, const OptionValues& b) const;
    void SetDefault(OptionValues& values) const;
    // Reads the stored value into values; throws platform::ESettingsError
    // when it is missing or of the other type.
    void Read(const platform::SettingsStore& store, OptionValues& values) const;
    void Write(platform::SettingsStore& store, const OptionValues& values) const;
};

constexpr OptionRow IntegerOption(const char* name, std::int32_t OptionValues::*member, std::int32_t defaultValue,
                                  LoadRule load, LegacyLine legacy = {})
{
    return {name, member, nullptr, defaultValue, "", load, legacy};
}

constexpr OptionRow TextOption(const char* name, std::string OptionValues::*member, const char* defaultValue,
                               LoadRule load, LegacyLine legacy = {})
{
    return {name, nullptr, member, 0, defaultValue, load, legacy};
}

// Every stored option, in the order of loading, saving and the legacy file.
// A new option is a row here, a member above and a control on the panel:
// the row alone makes it load, show, save and count as unread, an integer
// or a text alike.
inline constexpr OptionRow kOptionTable[] = {
    IntegerOption(OptionNames::kSynchroMode, &OptionValues::SynchroMode, 0, LoadRule::Index, {2}),
    IntegerOption(OptionNames::kFileType, &OptionValues::FileType, 0, LoadRule::Index, {3}),
    IntegerOption(OptionNames::kFilter, &OptionValues::Filter, 0, LoadRule::Filter, {4}),
    TextOption(OptionNames::kExt, &OptionValues::Ext, "", LoadRule::FilterText, {5}),
    IntegerOption(OptionNames::kTimer, &OptionValues::Timer, 0, LoadRule::Checked, {6}),
    IntegerOption(OptionNames::kTimerInterval, &OptionValues::TimerInterval, 0, LoadRule::Number, {7}),
    IntegerOption(OptionNames::kTimerAction, &OptionValues::TimerAction, 0, LoadRule::Index, {8, true}),
    IntegerOption(OptionNames::kSilentMode, &OptionValues::SilentMode, 1, LoadRule::Checked, {9}),
    IntegerOption(OptionNames::kTrayMode, &OptionValues::TrayMode, 0, LoadRule::CheckedIfOne, {10}),
    IntegerOption(OptionNames::kAutostart, &OptionValues::Autostart, 0, LoadRule::Autostart),
    IntegerOption(OptionNames::kKeepReplaced, &OptionValues::KeepReplaced, 0, LoadRule::Checked),
    IntegerOption(OptionNames::kRunOnChange, &OptionValues::RunOnChange, 0, LoadRule::Checked),
};
