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
    };
    RunTally tally;
    for (const auto& [record, line] : cases) {
        EXPECT_EQ(record.Line(), line);
        tally.Count(record);
    }
    EXPECT_EQ(tally.made, 3);
    EXPECT_EQ(tally.failed, 4);
    EXPECT_EQ(tally.leftOut, 2);
    EXPECT_FALSE(tally.Complete());
}

}  // namespace
