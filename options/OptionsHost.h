#pragma once

#include <cstdint>

// What the options logic needs of the window around the Options panel: the
// synchro timer and the window's own state.
class OptionsHost {
public:
    virtual ~OptionsHost() = default;

    // The synchro timer (Timer1): enabled state and interval in
    // milliseconds (0 before one was ever applied).
    virtual bool TimerEnabled() const = 0;
    virtual void SetTimerEnabled(bool enabled) = 0;
    virtual std::int32_t TimerInterval() const = 0;
    virtual void SetTimerInterval(std::int32_t milliseconds) = 0;

    // Hides the Options panel and enables again the five buttons that
    // showing it disabled ("Add Path to List 1", "Add Path to List 2",
    // "Synchronize selected", "Synchronize all", "Save Report").
    virtual void HideOptionsPanel() = 0;

    // Tray mode: the window starts minimized, which the start turns into a
    // start in the tray.
    virtual void SetStartMinimized() = 0;

    // "Run on change", applied: a run follows each change in the listed folders.
    virtual void SetRunOnChange(bool) {}
};
