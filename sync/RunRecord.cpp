#include "sync/RunRecord.h"

bool RunRecord::Failed() const
{
    switch (kind) {
    case Kind::ReadOnly:
    case Kind::NotUpdated:
    case Kind::NotCopied:
    case Kind::LinkOfAnotherUser: return true;
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
    }
    return path;
}

void RunTally::Count(const RunRecord& record)
{
    if (record.kind == RunRecord::Kind::Updated || record.kind == RunRecord::Kind::Copied)
        ++made;
    else if (record.LeftOut())
        ++leftOut;
    else if (record.kind == RunRecord::Kind::KeptEdit)
        ++kept;
    else if (record.Failed())
        ++failed;
}
