#pragma once

#include <cstdint>
#include <string>

#include "platform/fs/FileSystem.h"

// The options a run uses. The options logic keeps the values last applied
// (start-up, Save, Hide); each run takes a copy of them when it starts, so
// that nothing it reads changes under it.
struct RunOptionValues {
    std::int32_t SearchAttr = platform::faArchive;  // attribute mask of every search (32 or 63)
    std::string SearchExt = "*";  // the text after "*." in every search mask
    std::int32_t SilentFlag = 1;  // 1: no confirmation before a run
    std::int32_t KeepReplaced = 0;  // 1: an update keeps the file it replaces in the Trash

    bool operator==(const RunOptionValues&) const = default;
};
