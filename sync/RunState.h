#pragma once

#include <cstdint>
#include <string>

#include "options/RunOptionValues.h"
#include "platform/fs/DirectorySearch.h"
#include "platform/fs/FileSystem.h"
#include "sync/RunRecord.h"

// What a run or pre-count yields for whoever started it: its count, its
// progress and its result. It outlives a run: the next run resets the
// counters it uses, nothing clears the rest.
struct RunState {
    std::int32_t TotalCount = 0;  // the pre-count: the number confirmed and the gauge's denominator
    std::int32_t ProgressCount = 0;  // progress steps taken in the current run
    std::int32_t FailFlag = 0;  // 1 when some copy of the run failed, or an entry took no part
    RunTally Tally;  // what the records of the current (or last) run add up to

    // The options of the run or pre-count in progress, or of the last one:
    // what its host gave it when it started.
    RunOptionValues Options;
};

// Where the walk of a run or pre-count stands: the engine's own cursor.
struct RunWalk {
    std::int32_t List1Index = 0;
    std::int32_t List2Index = 0;
    std::string CurrentName;  // the entry being processed, without folder
    std::int32_t Age1 = 0;  // packed times of the List 1 and List 2 copies
    std::int32_t Age2 = 0;
    platform::TSearchRec SearchRec;  // the entry the one open search last yielded

    // Folders mode: last path components of the two folders being paired.
    std::string FolderName1;
    std::string FolderName2;
};
