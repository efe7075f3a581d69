#pragma once

// The synchro timer's choices and its tick: which interval an entry of the
// interval box stands for, and which run a tick starts.

#include <cstdint>

class PeriodicTimer;
class SynchroRuns;

namespace SynchroTimerRules {

// The entries of the interval box and their intervals are the options'
// table (options/TimerIntervals.h).

// The interval of entry index; 0 (no ticks) for no entry or any other index.
uint32_t IntervalForIndex(int index);
// The entry standing for this interval, -1 when none does.
int IndexForInterval(uint32_t milliseconds);

// The interval box changed or closed its list, showing the entry of
// milliseconds (0 for none): with "Enable" checked the timer takes that
// interval (its enabled state is left alone); otherwise nothing happens.
void ChooseInterval(PeriodicTimer& timer, bool enableChecked, std::uint32_t milliseconds);

// Which run a tick starts: files or folders mode, over all or selected folders.
enum class Run { None, FilesAll, FilesSelected, FoldersAll, FoldersSelected };

// The run a tick starts for the Action index (0 all, 1 selected) and the
// Synchro mode index (0 files, 1 folders); any other index starts nothing.
Run RunFor(int action, int mode);
// One tick: starts that run directly, whatever is selected in the lists.
void Tick(SynchroRuns& runs, int action, int mode);

}  // namespace SynchroTimerRules
