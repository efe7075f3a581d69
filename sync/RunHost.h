#pragma once

#include "options/RunOptionValues.h"
#include "platform/desktop/BalloonIcon.h"
#include "platform/fs/WrittenFile.h"

#include <string>

struct RunRecord;

// What a run needs of the window around it: the balloon of the tray icon,
// the two run buttons and the gauge, the Synchro mode choice, the options
// a run uses, and the two modal boxes. The window implements it with widgets, tests with fakes.
class RunHost {
public:
    virtual ~RunHost() = default;

    // Asks the tray icon for a balloon; returns at once.
    virtual void RequestBalloon(const std::string& text, const std::string& title, TBalloonIconType icon) = 0;
    virtual void SetSynchronizeSelectedVisible(bool visible) = 0;
    virtual void SetSynchronizeAllVisible(bool visible) = 0;
    virtual void SetGaugeVisible(bool visible) = 0;
    // The gauge clamps to 0..100; it is painted when the window next paints.
    virtual void SetGaugeProgress(int percent) = 0;
    // Item index of the "Synchro mode" choice: 0 files mode, anything else folders mode.
    virtual int SynchroModeIndex() const = 0;
    // The options as last applied; each run and pre-count takes a copy when
    // it starts.
    virtual RunOptionValues RunValues() const = 0;
    // Modal confirmation with OK and Cancel; true only for OK.
    virtual bool Confirm(const std::string& text) = 0;
    // Modal plain message with OK.
    virtual void ShowMessage(const std::string& text) = 0;
    // Whether the program has been told to end (the session is ending): a
    // run then stops after the copy in progress, so that the program can
    // save and end before the desktop kills it.
    virtual bool StopRequested() const { return false; }
    // Called very often while a run works (between entries, between the
    // pieces of a big copy, while a flush is waited for): the window paints
    // what needs painting and answers the desktop's "are you alive?", but
    // takes no command until the run is over. It decides itself how often
    // to do so, and must stay cheap when it does nothing.
    virtual void KeepResponsive() {}
    // Told of every record of a run as it is made, and once the run is over:
    // completed when it went through all its folders (not cancelled at its
    // confirmation, not stopped).
    virtual void Recorded(const RunRecord&) {}
    // Told of each file a copy of the run wrote, once it is in place.
    virtual void Wrote(const platform::WrittenFile&) {}
    virtual void RunFinished(bool /*completed*/) {}
};
