#include "tray/SynchroTimerRules.h"

#include <cstdint>

#include "options/TimerIntervals.h"
#include "tray/PeriodicTimer.h"
#include "tray/SynchroRuns.h"

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

void TimerSet(PeriodicTimer& timer, bool enableChecked, int comboIndex)
{
    if (!enableChecked)
        return;
    timer.SetInterval(IntervalForIndex(comboIndex));
}

Run RunFor(int action, int mode)
{
    if (action == 0 && mode == 0)
        return Run::BitBtn4Click;
    if (action == 0 && mode == 1)
        return Run::SynchroFolders_ns;
    if (action == 1 && mode == 0)
        return Run::BitBtn3Click;
    if (action == 1 && mode == 1)
        return Run::SynchroFolders_s;
    return Run::None;
}

void Tick(SynchroRuns& runs, int action, int mode)
{
    switch (RunFor(action, mode)) {
    case Run::BitBtn4Click: runs.BitBtn4Click(); break;
    case Run::BitBtn3Click: runs.BitBtn3Click(); break;
    case Run::SynchroFolders_ns: runs.SynchroFolders_ns(); break;
    case Run::SynchroFolders_s: runs.SynchroFolders_s(); break;
    case Run::None: break;
    }
}

}  // namespace SynchroTimerRules
