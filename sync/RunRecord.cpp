#include "sync/RunRecord.h"

#include <string>

bool RunRecord::Failed() const
{
    switch (kind) {
    case Kind::ReadOnly:
    case Kind::NotUpdated:
    case Kind::NotCopied:
    case Kind::LinkOfAnotherUser:
    case Kind::CaseTwins:
    case Kind::WentAway: return true;
    case Kind::Updated:
    case Kind::Copied:
    case Kind::NotFullPath:
    case Kind::ThroughLinkOfAnotherUser:
    case Kind::KeptEdit:
    case Kind::MemoryProblem:
    case Kind::NotThere: return false;
    }
    return false;
}

bool RunRecord::LeftOut() const
{
    switch (kind) {
    case Kind::NotFullPath:
    case Kind::ThroughLinkOfAnotherUser:
    case Kind::NotThere: return true;
    case Kind::Updated:
    case Kind::Copied:
    case Kind::ReadOnly:
    case Kind::NotUpdated:
    case Kind::NotCopied:
    case Kind::LinkOfAnotherUser:
    case Kind::KeptEdit:
    case Kind::MemoryProblem:
    case Kind::CaseTwins:
    case Kind::WentAway: return false;
    }
    return false;
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
    case Kind::KeptEdit: return path + RunTexts::kKeptEdit + kept;
    case Kind::MemoryProblem: return path;
    case Kind::WentAway:
        return "\"" + path + "\"" + RunTexts::kWentAway + std::to_string(files) + RunTexts::kWentAwayEnd;
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
    using Kind = RunRecord::Kind;
    switch (record.kind) {
    case Kind::Updated:
    case Kind::Copied: ++made; return;
    case Kind::NotFullPath:
    case Kind::ThroughLinkOfAnotherUser: ++leftOut; return;
    case Kind::NotThere:
        ++leftOut;
        ++notThere;
        return;
    case Kind::KeptEdit: ++kept; return;
    case Kind::MemoryProblem: ++memory; return;
    case Kind::WentAway: failed += record.files; return;  // one line for all the files the folder did not get
    case Kind::ReadOnly:
    case Kind::NotUpdated:
    case Kind::NotCopied:
    case Kind::LinkOfAnotherUser:
    case Kind::CaseTwins: ++failed; return;
    }
}
