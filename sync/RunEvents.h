#pragma once

#include <cstdint>
#include <string>

#include "platform/fs/WrittenFile.h"

class RunPlan;
struct RunRecord;
struct RunTally;

// What a run tells of itself as it goes, and the little it asks. The run
// decides nothing of how it is shown: the program turns these into the
// window's balloon, run buttons, gauge, Report list and summary box, the
// command line into printed lines, and tests collect them.
class RunEvents {
public:
    virtual ~RunEvents() = default;

    // A run begins, before its pre-count.
    virtual void Started() {}
    // Its pre-count is done: copies is what the confirmation counts.
    virtual void Counted(std::int32_t /*copies*/) {}
    // Part of its work is done, in percent (halves to the even neighbour).
    virtual void Progressed(int /*percent*/) {}
    // What it did with one entry, or why it did not (RunRecord.h), as the
    // record is made: for a copy, once the copy is in place or failed.
    virtual void Recorded(const RunRecord& /*record*/) {}
    // A file one of its copies wrote, once it is in place.
    virtual void Wrote(const platform::WrittenFile& /*file*/) {}
    // The run is over and no longer counts as running: completed when it
    // went through all its folders (not cancelled at its confirmation, not
    // stopped); tally is what its records add up to.
    virtual void Finished(bool /*completed*/, const RunTally& /*tally*/) {}

    // Whether to go on after the pre-count (asked unless Silent Mode is
    // on): text is the confirmation's text, plan what the pre-count found
    // the run would do, entry by entry.
    virtual bool Confirm(const std::string& text, const RunPlan& plan) = 0;
    // Whether Confirm shows the plan to anyone: if not, none is made.
    virtual bool ShowsPlan() const { return true; }
    // Whether the program is to end: the run stops after the copy in
    // progress, so that the program can save and end in time.
    virtual bool StopRequested() const { return false; }
    // Called very often while the run works (between entries, between the
    // pieces of a big copy, while a flush is waited for): the window may
    // paint and answer its desktop, but takes no command until the run is
    // over. It must stay cheap when it does nothing.
    virtual void KeepResponsive() {}
};
