#pragma once

#include <sys/stat.h>

#include <cstdint>

namespace platform {

struct Drive;

// What tells a file apart from every later version of it, as one number:
// its size and last-write time to the precision its drive keeps, and, where
// the drive keeps them for good (Drive::changeTimes, stableInodes), its
// change time and inode number. A run remembers it for the files it leaves
// in step, and a file whose number differs is no longer what the run left.
// 0 is no state (nothing known).
std::uint64_t FileStateOf(const struct stat& st, const Drive& drive);

}  // namespace platform
