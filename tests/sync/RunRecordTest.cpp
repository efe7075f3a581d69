// The Report list's texts, in one table: what each kind of record says, in
// the design's words, blanks included, and what the records add up to.
#include <gtest/gtest.h>

#include <string>

#include "sync/RunRecord.h"

namespace {

using Kind = RunRecord::Kind;

TEST(RunRecordLines, EachKindSaysItInTheDesignsWords)
{
    const std::pair<RunRecord, std::string> cases[] = {
        {{Kind::Updated, "/b/x"}, "/b/x updated successfully"},
        {{Kind::Updated, "/b/x", {}, "a note"}, "/b/x updated successfully (a note)"},
        {{Kind::Copied, "x", "/b"}, "x copied successfully to /b"},
        {{Kind::ReadOnly, "/b/x"}, "/b/x could not be updated because it is Read-Only File"},
        {{Kind::NotUpdated, "/b/x", {}, "Disk full"}, "/b/x could not be updated: Disk full"},
        {{Kind::NotCopied, "x", "/b", "Disk full"}, "x could not be copied to /b: Disk full"},
        {{Kind::LinkOfAnotherUser, "/b/x"}, "/b/x is a link of another user and is not followed"},
        {{Kind::NotFullPath, "Docs"}, "\"Docs\" is not a full folder path and takes no part in the run"},
        {{Kind::ThroughLinkOfAnotherUser, "/s/Docs"},
         "\"/s/Docs\" is reached through a link of another user and takes no part in the run"},
        {{Kind::CaseTwins, "/h/a.txt", "/nas/x"},
         "/h/a.txt and a name beside it that differs only in case would be one file in /nas/x, which does not tell "
         "case apart: both are left alone"},
        {RunRecord::WentAwayOf("/nas/x", 40),
         "\"/nas/x\" went away during the run: 40 file(s) could not be copied into it"},
        {{Kind::NotThere, "/media/u/STICK"}, "\"/media/u/STICK\" is not there: it takes no part in this run"},
        {{Kind::NotThere, "/s/Docs", {}, "Permission denied"},
         "\"/s/Docs\" cannot be read (Permission denied): it takes no part in this run"},
    };
    RunTally tally;
    for (const auto& [record, line] : cases) {
        EXPECT_EQ(record.Line(), line);
        tally.Count(record);
    }
    EXPECT_EQ(tally.made, 3);
    EXPECT_EQ(tally.failed, 4 + 1 + 40);
    EXPECT_EQ(tally.leftOut, 4);
    EXPECT_EQ(tally.notThere, 2);
    EXPECT_FALSE(tally.Complete());

    // A folder that is not there leaves the run incomplete, but is no failure.
    RunTally away;
    away.Count({Kind::NotThere, "/media/u/STICK"});
    EXPECT_FALSE(away.Complete());
    EXPECT_FALSE(away.AnyFailure());
    away.Count({Kind::NotFullPath, "Docs"});
    EXPECT_TRUE(away.AnyFailure());
}

}  // namespace
