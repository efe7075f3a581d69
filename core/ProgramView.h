#pragma once

#include <functional>
#include <string>

#include "platform/desktop/BalloonIcon.h"

class OptionsControls;

// What the program needs of its window, which shows what the program tells
// it and hands it every command: the tray icon's balloon, the two run
// buttons and the gauge, the two modal boxes, the Options panel's controls
// and its hiding, and a moment to paint during a long run. The window
// implements it with widgets, tests with fakes.
class ProgramView {
public:
    virtual ~ProgramView() = default;

    // Asks the tray icon for a balloon; returns at once.
    virtual void RequestBalloon(const std::string& text, const std::string& title, TBalloonIconType icon) = 0;
    virtual void SetSynchronizeSelectedVisible(bool visible) = 0;
    virtual void SetSynchronizeAllVisible(bool visible) = 0;
    virtual void SetGaugeVisible(bool visible) = 0;
    virtual void SetGaugeProgress(int percent) = 0;
    // Modal confirmation with OK and Cancel; true only for OK. details:
    // what the run would do, a line each, shown on request.
    virtual bool Confirm(const std::string& text, const std::string& details) = 0;
    // Modal plain message with OK.
    virtual void ShowMessage(const std::string& text) = 0;
    // Paints and answers the desktop while a run works (RunEvents::KeepResponsive).
    virtual void KeepResponsive() = 0;

    // The Options panel's controls, which show and read the options.
    virtual OptionsControls& PanelControls() = 0;
    // Hides the Options panel and enables again the five buttons that
    // showing it disabled.
    virtual void HideOptionsPanel() = 0;
    // Carries out a command that comes by itself (the synchro timer's tick)
    // as the window carries out its own: after a run that works, its
    // failure shown. Without a window it acts at once.
    virtual void Deliver(const std::function<void()>& command) { command(); }
};
