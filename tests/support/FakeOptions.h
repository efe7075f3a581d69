#pragma once

#include "options/OptionsControls.h"
#include "options/OptionsHost.h"
#include "options/TimerIntervals.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// The panel's controls as one value, starting in the panel's start states.
struct FakeControls : OptionsControls {
    OptionValues shown;
    bool filterEnabled = false;  // the filter's text box takes input

    OptionValues ShownOptions() const override { return shown; }
    void ShowOptions(const OptionValues& values) override { shown = values; }
    void SetFilterTextEnabled(bool enabled) override { filterEnabled = enabled; }

    // What the panel's own wiring makes of them: the interval box is enabled
    // with the "Enable" box and shows the entry of the interval, if any.
    bool IntervalBoxEnabled() const { return shown.Timer != 0; }
    int IntervalIndex() const { return TimerIntervals::IndexForInterval(shown.TimerInterval); }
};

// The timer and the window as plain fields.
struct FakeHost : OptionsHost {
    bool timerEnabled = false;
    std::int32_t timerInterval = 0;
    int panelHidden = 0;
    bool startMinimized = false;
    bool runOnChange = false;

    bool TimerEnabled() const override { return timerEnabled; }
    void SetTimerEnabled(bool enabled) override { timerEnabled = enabled; }
    std::int32_t TimerInterval() const override { return timerInterval; }
    void SetTimerInterval(std::int32_t milliseconds) override { timerInterval = milliseconds; }
    void HideOptionsPanel() override { ++panelHidden; }
    void SetStartMinimized() override { startMinimized = true; }
    void SetRunOnChange(bool on) override { runOnChange = on; }
};

// The Report list, as far as the options add to it.
struct FakeReport {
    std::vector<std::string> lines;
    const std::vector<std::string>& Lines() const { return lines; }
    void Append(const std::string& line) { lines.push_back(line); }
    std::function<void(const std::string&)> Appender()
    {
        return [this](const std::string& line) { Append(line); };
    }
};
