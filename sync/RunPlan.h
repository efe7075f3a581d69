#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// What a run is about to do, as its pre-count finds it: one line for each
// entry the count counts, shown with the confirmation. Only the first lines
// are kept; the rest are counted.
class RunPlan {
public:
    static constexpr std::size_t kMaxLines = 10000;

    enum class Way { ToList2, ToList1 };
    // Why a counted entry will not be copied.
    enum class LeftAlone { CaseTwins, LinkOfAnotherUser, NotAFileInTheWay, NotAFile, ReadOnly };

    // source is copied into destinationFolder: a new file there, or one it
    // replaces; keepsEdit when the file replaced changed since a run left
    // the pair in step, so that its version will be kept beside it.
    void Copy(const std::string& source, const std::string& destinationFolder, Way way, bool replacing,
              bool keepsEdit = false);
    void Leave(const std::string& path, LeftAlone why);

    // True, and the entry counted, once the kept lines are full: then its
    // line need not be made at all.
    bool Skipped();

    // Every entry planned, also those past the kept lines.
    std::int64_t Count() const { return static_cast<std::int64_t>(m_lines.size()) + m_more; }
    // The lines, one per entry, then "… and N more" for those not kept.
    std::string Text() const;

private:
    std::vector<std::string> m_lines;
    std::int64_t m_more = 0;
};
