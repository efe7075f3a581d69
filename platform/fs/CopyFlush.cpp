// The flush: the content and attributes of staged copies reach the disk
// before any of them takes its name, so that a power cut never keeps a new
// name without its data. Where one flush of the whole drive writes every
// dirty file and commits the journal (local file systems), a batch of copies
// costs one syncfs per drive; elsewhere (FUSE, network drives) each file is
// flushed on its own.

#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <map>
#include <vector>

#include "platform/fs/CopyInternal.h"
#include "platform/fs/Drive.h"
#include "platform/fs/FileSystemInternal.h"

namespace platform::detail {

// Whether one flush of the whole drive (syncfs) makes the files written to
// it durable, data and attributes (Drive::flushesAsAWhole).
bool FlushesAsAWhole(int dirFd, dev_t device)
{
    thread_local std::map<dev_t, bool> known;
    const auto it = known.find(device);
    if (it != known.end())
        return it->second;
    return known[device] = DriveOf(dirFd).flushesAsAWhole;
}

std::vector<int> FlushStaged(const std::vector<FlushItem>& items)
{
    const FileSystemTestHooks* hooks = ActiveTestHooks();
    std::vector<int> errors(items.size(), 0);
    std::map<dev_t, int> drivesFlushed;
    for (std::size_t i = 0; i < items.size(); ++i) {
        const FlushItem& item = items[i];
        if (hooks && hooks->beforeFlush) {
            if ((errors[i] = hooks->beforeFlush()) != 0)
                continue;
        }
        if (item.wholeDrive) {
            const auto [drive, first] = drivesFlushed.try_emplace(item.device, 0);
            if (first && ::syncfs(item.fd) != 0)
                drive->second = errno;
            errors[i] = drive->second;
        } else {
            for (const int fd : {item.fd, item.trashInfoFd}) {
                if (fd >= 0 && ::fsync(fd) != 0 && errno != EINVAL && errors[i] == 0)
                    errors[i] = errno;  // EINVAL: a file that cannot be flushed at all
            }
        }
    }
    return errors;
}

}  // namespace platform::detail
