#pragma once

#include <cstdint>
#include <string>

// The three values of the options that every run reads, where the runs keep
// them: the options logic sets them at start-up, Save and Hide, and knows
// nothing else of the runs.
struct RunOptionValues {
    std::int32_t& SearchAttr;  // attribute mask of every search (32 or 63)
    std::string& SearchExt;  // the text after "*." in every search mask
    std::int32_t& SilentFlag;  // 1: no confirmation before a run

    // From whatever keeps the three under these names (the run state).
    template <typename Holder>
    RunOptionValues(Holder& holder)  // NOLINT(google-explicit-constructor): stands for the holder
        : SearchAttr(holder.SearchAttr),
          SearchExt(holder.SearchExt),
          SilentFlag(holder.SilentFlag)
    {
    }
};
