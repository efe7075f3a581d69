#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <compare>
#include <cstdint>

namespace platform {

// A file as a copy left it: which file it is, and its time and size then.
// A later save under its name is another file, or the same one with another
// time, and so tells apart from the copy, whatever path either was reached by.
struct WrittenFile {
    dev_t device = 0;
    ino_t inode = 0;
    std::int64_t seconds = 0;  // last-write time
    std::int64_t nanoseconds = 0;
    off_t size = 0;

    auto operator<=>(const WrittenFile&) const = default;
};

inline WrittenFile WrittenFileOf(const struct stat& st)
{
    return {st.st_dev, st.st_ino, st.st_mtim.tv_sec, st.st_mtim.tv_nsec, st.st_size};
}

}  // namespace platform
