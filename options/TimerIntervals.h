#pragma once

#include <array>
#include <cstdint>

// The entries of the interval box and the timer interval each stands for.
namespace TimerIntervals {

inline constexpr int kCount = 10;

inline constexpr std::array<const char*, kCount> kCaptions = {"3 min", "10 min", "30 min", "1 h",  "2 h",
                                                              "3 h",   "6 h",    "9 h",    "12 h", "24 h"};

inline constexpr std::array<std::int32_t, kCount> kMilliseconds = {180000,   600000,   1800000,  3600000,  7200000,
                                                                   10800000, 21600000, 32400000, 43200000, 86400000};

// The text the box shows while no entry is chosen.
inline constexpr char kNoneCaption[] = "Interval";

// The interval of an entry; 0 (the timer stops) for an index outside the table.
constexpr std::int32_t IntervalForIndex(int index)
{
    return index >= 0 && index < kCount ? kMilliseconds[static_cast<std::size_t>(index)] : 0;
}

// The entry with exactly this interval, or -1.
constexpr int IndexForInterval(std::int32_t milliseconds)
{
    for (int i = 0; i < kCount; ++i) {
        if (kMilliseconds[static_cast<std::size_t>(i)] == milliseconds)
            return i;
    }
    return -1;
}

}  // namespace TimerIntervals
