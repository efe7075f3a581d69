#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "platform/fs/MountTable.h"

// What a run asks, beside the listed folder itself, to tell it from the
// empty folder of the system drive that stands in its place while its own
// drive is not mounted (a stick not plugged in, a share not mounted).
struct ListedFolderDrives {
    // Where the system names its mount points and tells what is mounted.
    platform::MountSources mounts;
    // The drive (st_dev) a run last found the listed folder on (a list
    // entry's text), when that is known. A folder found empty on another
    // drive takes no part.
    std::function<std::optional<std::uint64_t>(const std::string& folder)> lastSeen;
    // Told of each listed folder that can be read, with the drive it is on.
    std::function<void(const std::string& folder, std::uint64_t device)> seen;
};

// Why the listed folder (a full path) cannot be read, or 0, as
// platform::ListedFolderProblem tells it with what drives knows; mounts is
// read from drives.mounts once for all the folders of a look.
int ListedFolderProblem(const std::string& folder, const ListedFolderDrives& drives,
                        const platform::MountTable& mounts);
