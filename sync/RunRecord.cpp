#include "sync/RunRecord.h"

#include <cstdlib>

bool RunRecord::Failed() const
{
    switch (kind) {
    case Kind::ReadOnly:
    case Kind::NotUpdated:
    case Kind::NotCopied:
    case Kind::LinkOfAnotherUser:
    case Kind::CaseTwins:
    case Kind::WentAway: return true;
    default: return false;
    }
}

std::string RunRecord::Line() const
{
    switch (kind) {
    case Kind::Updated: return path + RunTexts::kUpdated + (reason.empty() ? "" : " (" + reason + ")");
    case Kind::Copied: return path + RunTexts::kCopiedTo + folder;
    case Kind::ReadOnly: return path + RunTexts::kReadOnly;
    case Kind::NotUpdated: return path + RunTexts::kNotUpdated + reason;
    case Kind::NotCopied: return path + RunTexts::kNotCopiedTo + folder + ": " + reason;
    case Kind::LinkOfAnotherUser: return path + RunTexts::kLinkOfAnotherUser;
    case Kind::NotFullPath: return "\"" + path + "\"" + RunTexts::kNotFullPath;
    case Kind::ThroughLinkOfAnotherUser: return "\"" + path + "\"" + RunTexts::kThroughLinkOfAnotherUser;
    case Kind::KeptEdit: return path + RunTexts::kKeptEdit + folder;
    case Kind::MemoryProblem: return path;
    case Kind::WentAway: return "\"" + path + "\"" + RunTexts::kWentAway + reason + RunTexts::kWentAwayEnd;
    case Kind::CaseTwins: return path + RunTexts::kCaseTwins + folder + RunTexts::kCaseTwinsEnd;
    case Kind::NotThere:
        return "\"" + path + "\""
            + (reason.empty() ? RunTexts::kNotThere
                              : std::string(RunTexts::kCannotBeRead) + " (" + reason + ")" + RunTexts::kTakesNoPart);
    }
    return path;
}

void RunTally::Count(const RunRecord& record)
{
    if (record.kind == RunRecord::Kind::Updated || record.kind == RunRecord::Kind::Copied)
        ++made;
    else if (record.LeftOut()) {
        ++leftOut;
        notThere += record.kind == RunRecord::Kind::NotThere ? 1 : 0;
    } else if (record.kind == RunRecord::Kind::KeptEdit)
        ++kept;
    else if (record.kind == RunRecord::Kind::MemoryProblem)
        ++memory;
    else if (record.kind == RunRecord::Kind::WentAway)
        failed += std::atoi(record.reason.c_str());  // one line for all the files the folder did not get
    else if (record.Failed())
        ++failed;
}
