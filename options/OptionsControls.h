#pragma once

#include <string>

// What the options logic needs of the controls of the Options panel.
// Setters change a control as the program does, without its click
// behaviour; the logic applies that itself where it is due. Radio-group
// indexes are 0 or 1, or -1 for no item chosen.
class OptionsControls {
public:
    virtual ~OptionsControls() = default;

    // "Synchro mode" (RadioGroup1)
    virtual int SynchroModeIndex() const = 0;
    virtual void SetSynchroModeIndex(int index) = 0;

    // "File Type" (RadioGroup2)
    virtual int FileTypeIndex() const = 0;
    virtual void SetFileTypeIndex(int index) = 0;

    // "Extension Filter": the box (CheckBox3) and the text box (Edit2).
    virtual bool FilterChecked() const = 0;
    virtual void SetFilterChecked(bool checked) = 0;
    virtual std::string FilterText() const = 0;
    virtual void SetFilterText(const std::string& text) = 0;
    // Enabled with the window-background colour, or disabled with the
    // button-face colour.
    virtual void SetFilterTextEnabled(bool enabled) = 0;

    // "Synchro Timer": the "Enable" box (CheckBox1). Checking or unchecking
    // it by program brings its own click behaviour along: the interval box
    // is enabled with it.
    virtual bool TimerBoxChecked() const = 0;
    virtual void SetTimerBoxChecked(bool checked) = 0;
    // The interval box (ComboBox1): the chosen entry, -1 for none (the box
    // then shows "Interval"). Choosing by program does not count as a change.
    virtual int IntervalIndex() const = 0;
    virtual void SetIntervalIndex(int index) = 0;
    // "Action" (RadioGroup3)
    virtual int TimerActionIndex() const = 0;
    virtual void SetTimerActionIndex(int index) = 0;
    // "Tray Mode" (CheckBox4) and "Autostart" (CheckBox5)
    virtual bool TrayChecked() const = 0;
    virtual void SetTrayChecked(bool checked) = 0;
    virtual bool AutostartChecked() const = 0;
    virtual void SetAutostartChecked(bool checked) = 0;

    // "Silent Mode" (CheckBox2)
    virtual bool SilentChecked() const = 0;
    virtual void SetSilentChecked(bool checked) = 0;
};
