#pragma once

#include "options/OptionTable.h"

// What the options logic needs of the controls of the Options panel: they
// show and read the options as one value.
class OptionsControls {
public:
    virtual ~OptionsControls() = default;

    // The options as the controls show them.
    virtual OptionValues ShownOptions() const = 0;
    // Each control that shows something else takes its value, as the
    // program sets a control: without its click behaviour, which the logic
    // applies itself where it is due, except that the "Enable" box (CheckBox1)
    // brings the interval box along. The interval box chooses the entry of
    // TimerInterval, and goes on showing what it showed when none has it.
    virtual void ShowOptions(const OptionValues& values) = 0;
    // The filter's text box (Edit2): enabled with the window-background
    // colour, or disabled with the button-face colour.
    virtual void SetFilterTextEnabled(bool enabled) = 0;
};
