#pragma once

#include <string>
#include <utility>

// Texts of a run.
namespace RunTexts {
inline constexpr const char* kBalloonText = "Folderly is processing now";
inline constexpr const char* kBalloonTitle = "Attention!";
inline constexpr const char* kFilesAllSuffix = " file(s) will be updated";
inline constexpr const char* kSuffix = "file(s) will be updated";
inline constexpr const char* kSummary = "Some files could not be updated. Please see details in Report list";
inline constexpr const char* kUpdated = " updated successfully";
inline constexpr const char* kReadOnly = " could not be updated because it is Read-Only File";
inline constexpr const char* kNotUpdated = " could not be updated: ";
inline constexpr const char* kCopiedTo = " copied successfully to ";
inline constexpr const char* kNotCopiedTo = " could not be copied to ";
// Why a copy was not made, after kNotUpdated or kNotCopiedTo and ": ".
inline constexpr const char* kNotAFile = " is not a file";
inline constexpr const char* kFolderInTheWay = "a folder of that name is in the way";
inline constexpr const char* kBrokenLinkInTheWay = "a link of that name leads nowhere";
inline constexpr const char* kNameNotHeld =
    "the drive there takes only names Windows takes (no backslash, : * ? \" < > | or control character, no dot "
    "or blank at the end, no device name such as CON)";
// The note of an update whose replaced file was copied into the home Trash:
// its drive has no Trash of its own that can be made (a network share).
inline constexpr const char* kReplacedCopiedToTrash = "its old version was copied to the home Trash";
// Why a file of a Samba share is not copied: its name is a short one the
// server made up for a file whose own name Windows cannot take.
inline constexpr const char* kMadeUpName =
    "the share shows a file under this name of its own making, as its real name is one Windows cannot take";
// After the entry's text in double quotes: an entry that is no full path.
inline constexpr const char* kNotFullPath = " is not a full folder path and takes no part in the run";
// The note of an update decided by times the packed ones cannot hold (before
// 1980, after 2107); %s are the two files' times, the copied file's first.
inline constexpr const char* kComparedBeyondPackedTimes = "times outside 1980 to 2107 compared in full: %s over %s";
// After a path: a link that belongs to another user, which a run never reads
// nor writes through (only the user's own links are followed).
inline constexpr const char* kLinkOfAnotherUser = " is a link of another user and is not followed";
// After the entry's text in double quotes: a listed folder reached through
// such a link (one of neither the user nor the system).
inline constexpr const char* kThroughLinkOfAnotherUser =
    " is reached through a link of another user and takes no part in the run";
// After the entry's text in double quotes: a listed folder that is not there
// (a share not mounted, a drive not plugged in), or, after kCannotBeRead and
// the cause in brackets, one that cannot be read.
inline constexpr const char* kNotThere = " is not there: it takes no part in this run";
inline constexpr const char* kCannotBeRead = " cannot be read";
inline constexpr const char* kTakesNoPart = ": it takes no part in this run";
// After a folder's text in double quotes: it went away during the run;
// then how many files it did not get, and kWentAwayEnd.
inline constexpr const char* kWentAway = " went away during the run: ";
inline constexpr const char* kWentAwayEnd = " file(s) could not be copied into it";
// Between a file's path and the folder of a drive that does not tell case
// apart, where it and a name beside it that differs only in case would be
// one file; after the folder, kCaseTwinsEnd.
inline constexpr const char* kCaseTwins = " and a name beside it that differs only in case would be one file in ";
inline constexpr const char* kCaseTwinsEnd = ", which does not tell case apart: both are left alone";
// After the replaced file's path: an edit no run carried, kept beside the
// file before the later copy replaced it; the kept copy's name follows.
inline constexpr const char* kKeptEdit =
    " changed since the last run, as did its copy: its version is kept beside it as ";
// Why a file that changed since the last run was not replaced: its version
// could not be kept beside it; the cause follows.
inline constexpr const char* kEditNotKept =
    "it changed since the last run, as did its copy, and its version could not be kept beside it: ";
// The name of a kept edit: the file's name, then this with the file's
// last-write time (%s), then its extension.
inline constexpr const char* kKeptEditNameFormat = " (conflict %s)";
// The balloon at the end of a run that kept edits; %s is how many.
inline constexpr const char* kKeptEditsBalloonTitle = "Edits kept";
inline constexpr const char* kKeptEditsBalloonText =
    "%s file(s) changed on both sides: each version is kept beside its file. Please see the Report list";
}  // namespace RunTexts

// What a run did with one entry, or why it did not: each copy, each failure
// and each list entry left out is one record. The Report list's lines,
// FailFlag, and the command line's closing line and exit status all come
// from the records (see RunTally), never from the lines' wording.
struct RunRecord {
    enum class Kind {
        Updated,  // path was brought up to date
        Copied,  // the file name was copied into folder
        ReadOnly,  // path was not updated: it is read-only
        NotUpdated,  // path was not updated, for reason
        NotCopied,  // name could not be copied into folder, for reason
        LinkOfAnotherUser,  // path is another user's link: neither read nor written through
        NotFullPath,  // the list entry path is no full path: it took no part
        ThroughLinkOfAnotherUser,  // the list entry path lies behind another user's link: it took no part
        KeptEdit,  // path had changed since the last run, as had its copy: its version was kept as kept
        MemoryProblem,  // the runs' memory could not be used: path says why
        CaseTwins,  // path and its case twin would be one file in folder, which folds case: both were left alone
        WentAway,  // the folder path went away during the run: files files were not copied into it
        NotThere,  // the list entry path is not there (reason empty) or cannot be read (reason says why): it took no
                   // part
    };

    RunRecord(Kind what, std::string file, std::string into = {}, std::string why = {})
        : kind(what),
          path(std::move(file)),
          folder(std::move(into)),
          reason(std::move(why))
    {
    }

    // The edit of path kept beside it under the name kept.
    static RunRecord KeptEditOf(std::string path, std::string kept)
    {
        RunRecord record(Kind::KeptEdit, std::move(path));
        record.kept = std::move(kept);
        return record;
    }
    // The folder that went away during the run, with how many files it did not get.
    static RunRecord WentAwayOf(std::string folder, int files)
    {
        RunRecord record(Kind::WentAway, std::move(folder));
        record.files = files;
        return record;
    }

    Kind kind;
    std::string path;  // the file, or the list entry's text; for Copied and NotCopied the file's name
    std::string folder;  // Copied, NotCopied and CaseTwins: the folder copied into, or that folds case
    std::string reason;  // NotUpdated, NotCopied, NotThere: why, as the Report list says it; Updated: a note, if any
    std::string kept;  // KeptEdit: the name of the copy that keeps the edit
    int files = 0;  // WentAway: how many files the folder did not get

    // A copy that was not made, or a file left alone that the user should know of.
    bool Failed() const;
    // A list entry that took no part in the run.
    bool LeftOut() const;
    // The record's Report list line.
    std::string Line() const;

    bool operator==(const RunRecord&) const = default;
};

// What the records of one run add up to.
struct RunTally {
    int made = 0;  // copies made (Updated, Copied)
    int failed = 0;  // records that are Failed()
    int leftOut = 0;  // list entries left out
    int kept = 0;  // edits kept beside their files (KeptEdit): no failure, but to be looked at
    // Of leftOut, the folders not there or not readable: no failure of the
    // run (the NAS asleep, the stick not plugged in), but nothing was done there.
    int notThere = 0;
    // The runs' memory could not be used (MemoryProblem): no copy failed,
    // but edits made on both sides were not watched for.
    int memory = 0;

    void Count(const RunRecord& record);
    // Whether everything in scope was done: no failure, no entry left out.
    bool Complete() const { return failed == 0 && leftOut == 0; }
    // Whether a copy failed or an entry was left out for a fault of its own.
    bool AnyFailure() const { return failed > 0 || leftOut > notThere; }
};
