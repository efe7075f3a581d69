#include "platform/fs/FileState.h"

#include "platform/fs/Drive.h"

namespace platform {

namespace {

// One step of a 64-bit mix (splitmix64's finaliser): every bit of the
// value reaches every bit of the state.
std::uint64_t Mixed(std::uint64_t state, std::uint64_t value)
{
    std::uint64_t x = state ^ (value + 0x9E3779B97F4A7C15ULL + (state << 6) + (state >> 2));
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
    return x ^ (x >> 31);
}

}  // namespace

std::uint64_t FileStateOf(const struct stat& st, const Drive& drive)
{
    std::uint64_t state = Mixed(0, static_cast<std::uint64_t>(st.st_size));
    state = Mixed(state, static_cast<std::uint64_t>(st.st_mtim.tv_sec));
    state = Mixed(state, static_cast<std::uint64_t>(st.st_mtim.tv_nsec));
    if (drive.changeTimes) {
        state = Mixed(state, static_cast<std::uint64_t>(st.st_ctim.tv_sec));
        state = Mixed(state, static_cast<std::uint64_t>(st.st_ctim.tv_nsec));
    }
    if (drive.stableInodes)
        state = Mixed(state, static_cast<std::uint64_t>(st.st_ino));
    return state == 0 ? 1 : state;
}

}  // namespace platform
