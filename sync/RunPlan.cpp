#include "sync/RunPlan.h"

#include "platform/PrintableText.h"

namespace {

// A name may hold a line break or a terminal's escape: shown escaped.
std::string Shown(const std::string& path)
{
    return platform::PrintableText(path);
}

const char* WhyText(RunPlan::LeftAlone why)
{
    switch (why) {
    case RunPlan::LeftAlone::CaseTwins: return "left alone: a name beside it differs only in case";
    case RunPlan::LeftAlone::LinkOfAnotherUser: return "left alone: a link of another user";
    case RunPlan::LeftAlone::NotAFileInTheWay: return "not copied: what has its name on the other side is not a file";
    case RunPlan::LeftAlone::NotAFile: return "not copied: it is not a file";
    case RunPlan::LeftAlone::ReadOnly: return "left alone: read-only";
    }
    return "";
}

}  // namespace

bool RunPlan::Skipped()
{
    if (m_lines.size() < kMaxLines)
        return false;
    ++m_more;
    return true;
}

void RunPlan::Copy(const std::string& source, const std::string& destinationFolder, Way way, bool replacing,
                   bool keepsEdit)
{
    if (Skipped())
        return;
    std::string line;
    line.reserve(source.size() + destinationFolder.size() + 80);
    line += Shown(source);
    line += " \xE2\x86\x92 ";  // an arrow
    line += Shown(destinationFolder);
    line += way == Way::ToList2 ? " (List 1 \xE2\x86\x92 List 2, " : " (List 2 \xE2\x86\x92 List 1, ";
    line += replacing ? "replacing" : "new";
    if (keepsEdit)
        line += "; both changed: the older edit is kept beside";
    line += ')';
    m_lines.push_back(std::move(line));
}

void RunPlan::Leave(const std::string& path, LeftAlone why)
{
    if (Skipped())
        return;
    m_lines.push_back(Shown(path) + " (" + WhyText(why) + ')');
}

std::string RunPlan::Text() const
{
    std::size_t size = 32;
    for (const std::string& line : m_lines)
        size += line.size() + 1;
    std::string text;
    text.reserve(size);
    for (const std::string& line : m_lines) {
        if (!text.empty())
            text += '\n';
        text += line;
    }
    if (m_more > 0)
        text += "\n\xE2\x80\xA6 and " + std::to_string(m_more) + " more";  // an ellipsis
    return text;
}
