#include "sync/ListedFolderDrives.h"

#include "platform/fs/FileSystem.h"

int ListedFolderProblem(const std::string& folder, const ListedFolderDrives& drives, const platform::MountTable& mounts)
{
    const std::optional<std::uint64_t> last = drives.lastSeen ? drives.lastSeen(folder) : std::nullopt;
    std::uint64_t device = 0;
    const int problem = platform::ListedFolderProblem(folder, mounts, last, &device);
    if (problem == 0 && drives.seen)
        drives.seen(folder, device);
    return problem;
}
