#include "timer/SynchroTimerRules.h"

#include <cstdint>

#include "options/TimerIntervals.h"
#include "timer/PeriodicTimer.h"
#include "timer/SynchroRuns.h"

namespace SynchroTimerRules {

uint32_t IntervalForIndex(int index)
{
    return static_cast<uint32_t>(TimerIntervals::IntervalForIndex(index));
}

int IndexForInterval(uint32_t milliseconds)
{
    if (milliseconds > static_cast<uint32_t>(INT32_MAX))
        return -1;
    return TimerIntervals::IndexForInterval(static_cast<std::int32_t>(milliseconds));
}

void ChooseInterval(PeriodicTimer& timer, bool enableChecked, std::uint32_t milliseconds)
{
    if (!enableChecked)
        return;
    timer.SetInterval(milliseconds);
}

Run RunFor(int action, int mode)
{
    if (action == 0 && mode == 0)
        return Run::FilesAll;
    if (action == 0 && mode == 1)
        return Run::FoldersAll;
    if (action == 1 && mode == 0)
        return Run::FilesSelected;
    if (action == 1 && mode == 1)
        return Run::FoldersSelected;
    return Run::None;
}

void Tick(SynchroRuns& runs, int action, int mode)
{
    switch (RunFor(action, mode)) {
    case Run::FilesAll: runs.FilesAll(); break;
    case Run::FilesSelected: runs.FilesSelected(); break;
    case Run::FoldersAll: runs.FoldersAll(); break;
    case Run::FoldersSelected: runs.FoldersSelected(); break;
    case Run::None: break;
    }
}

}  // namespace SynchroTimerRules
