#include "lists/CopyPath.h"
#include "lists/FolderList.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

TEST(CopyPathTest, TopMostSelectedEntryGoesThroughTheCarrier)
{
    struct Case {
        const char* name;
        std::vector<int> selected;
        std::string carrier;
        std::optional<std::string> copied;
    };
    // Entries after sorting: "" (0), "/0" .. "/4" (1..5).
    const Case cases[] = {
        {"entries 2 and 5", {2, 5}, "/", "/1"},
        {"one at the bottom", {5}, "", "/4"},
        {"all", {1, 2, 3, 4, 5}, "/", "/0"},
        {"none, carrier still at its first text", {}, "/", "/"},
        {"none, carrier emptied earlier", {}, "", std::nullopt},
        {"none, carrier holds an earlier path", {}, "/old", "/old"},
        {"top-most selected is the empty entry", {0, 3}, "/", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FolderList list;
        for (const char* text : {"/4", "/2", "", "/0", "/3", "/1"})
            list.Add(text);
        for (int index : c.selected)
            list.SetSelected(index, true);
        std::string carrier = c.carrier;
        EXPECT_EQ(CopyPathThroughCarrier(list, carrier), c.copied);
        EXPECT_EQ(carrier, "");
        EXPECT_EQ(list.SelCount(), static_cast<int>(c.selected.size()));
    }
}

TEST(CopyPathTest, WithoutSelectionOnlyTheFirstCopyGivesTheRoot)
{
    FolderList list;
    list.Add("/data");
    std::string carrier = "/";
    EXPECT_EQ(CopyPathThroughCarrier(list, carrier), std::optional<std::string>("/"));
    EXPECT_EQ(CopyPathThroughCarrier(list, carrier), std::nullopt);
    EXPECT_EQ(CopyPathThroughCarrier(list, carrier), std::nullopt);

    list.SetSelected(0, true);
    EXPECT_EQ(CopyPathThroughCarrier(list, carrier), std::optional<std::string>("/data"));
    list.DeselectAll();
    EXPECT_EQ(CopyPathThroughCarrier(list, carrier), std::nullopt);
}
