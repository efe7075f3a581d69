#pragma once

#include "options/OptionsControls.h"
#include "options/OptionsHost.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Panel controls as plain fields, starting in the panel's start states.
struct FakeControls : OptionsControls {
    int synchroMode = 0;
    int fileType = 0;
    bool filterChecked = false;
    bool filterEnabled = false;
    std::string filterText;
    bool timerBox = false;
    bool intervalBoxEnabled = false;
    int intervalIndex = -1;
    int timerAction = 0;
    bool tray = false;
    bool autostart = false;
    bool silent = true;

    int SynchroModeIndex() const override { return synchroMode; }
    void SetSynchroModeIndex(int index) override { synchroMode = index; }
    int FileTypeIndex() const override { return fileType; }
    void SetFileTypeIndex(int index) override { fileType = index; }
    bool FilterChecked() const override { return filterChecked; }
    void SetFilterChecked(bool checked) override { filterChecked = checked; }
    std::string FilterText() const override { return filterText; }
    void SetFilterText(const std::string& text) override { filterText = text; }
    void SetFilterTextEnabled(bool enabled) override { filterEnabled = enabled; }
    bool TimerBoxChecked() const override { return timerBox; }
    void SetTimerBoxChecked(bool checked) override
    {
        timerBox = checked;
        intervalBoxEnabled = checked;
    }
    int IntervalIndex() const override { return intervalIndex; }
    void SetIntervalIndex(int index) override { intervalIndex = index; }
    int TimerActionIndex() const override { return timerAction; }
    void SetTimerActionIndex(int index) override { timerAction = index; }
    bool TrayChecked() const override { return tray; }
    void SetTrayChecked(bool checked) override { tray = checked; }
    bool AutostartChecked() const override { return autostart; }
    void SetAutostartChecked(bool checked) override { autostart = checked; }
    bool SilentChecked() const override { return silent; }
    void SetSilentChecked(bool checked) override { silent = checked; }
};

// The timer and the window as plain fields.
struct FakeHost : OptionsHost {
    bool timerEnabled = false;
    std::int32_t timerInterval = 0;
    int panelHidden = 0;
    bool startMinimized = false;

    bool TimerEnabled() const override { return timerEnabled; }
    void SetTimerEnabled(bool enabled) override { timerEnabled = enabled; }
    std::int32_t TimerInterval() const override { return timerInterval; }
    void SetTimerInterval(std::int32_t milliseconds) override { timerInterval = milliseconds; }
    void HideOptionsPanel() override { ++panelHidden; }
    void SetStartMinimized() override { startMinimized = true; }
};

// Where the runs would keep the three values the options set.
struct FakeRunValues {
    std::int32_t SearchAttr = 32;
    std::string SearchExt = "*";
    std::int32_t SilentFlag = 1;
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
