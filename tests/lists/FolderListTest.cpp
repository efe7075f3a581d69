#include "lists/FolderList.h"
#include "ListTestUtil.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<int> SelectedIndexes(const FolderList& list)
{
    std::vector<int> indexes;
    for (int i = 0; i < list.Count(); ++i)
        if (list.Selected(i))
            indexes.push_back(i);
    return indexes;
}

}  // namespace

TEST(FolderListTest, KeepsEntriesInCaseInsensitiveOrder)
{
    struct Case {
        const char* name;
        std::vector<std::string> added;
        std::vector<std::string> shown;
    };
    const Case cases[] = {
        {"mixed case", {"E:\\Work", "C:\\Data", "d:\\music"}, {"C:\\Data", "d:\\music", "E:\\Work"}},
        {"lower before upper does not matter", {"/b", "/A", "/c", "/B"}, {"/A", "/B", "/b", "/c"}},
        {"equal when folded: the newest first", {"/Data", "/DATA", "/data"}, {"/data", "/DATA", "/Data"}},
        {"same, other way round", {"/data", "/DATA", "/Data"}, {"/Data", "/DATA", "/data"}},
        {"exact duplicates both stay", {"/x", "/y", "/x"}, {"/x", "/x", "/y"}},
        {"prefix first", {"/data/sub", "/data", "/Data/a"}, {"/data", "/Data/a", "/data/sub"}},
        {"signs between the alphabets sort before letters", {"/aZ", "/a_b", "/A["}, {"/A[", "/a_b", "/aZ"}},
        {"empty text first", {"/x", "", "/a"}, {"", "/a", "/x"}},
        {"root and digits", {"/home", "/", "/2024"}, {"/", "/2024", "/home"}},
        {"bytes above ASCII after letters",
         {"/\xc3\xa9t\xc3\xa9", "/zeta", "/alpha"},
         {"/alpha", "/zeta", "/\xc3\xa9t\xc3\xa9"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Texts(ListOf(c.added)), c.shown);
        // All at once, as a list file loads, alone and onto entries that
        // are there already (selected ones keep their flag).
        FolderList all;
        all.AddAll(c.added);
        EXPECT_EQ(Texts(all), c.shown);
        const std::vector<std::string> there = {"/DATA", "/x", "", "/b"};
        FolderList oneByOne = ListOf(there);
        FolderList atOnce = ListOf(there);
        oneByOne.SetSelected(1, true);
        atOnce.SetSelected(1, true);
        for (const std::string& text : c.added)
            oneByOne.Add(text);
        int changes = 0;
        atOnce.SetObserver([&changes] { ++changes; });
        atOnce.AddAll(c.added);
        EXPECT_EQ(Texts(atOnce), Texts(oneByOne));
        EXPECT_EQ(SelectedIndexes(atOnce), SelectedIndexes(oneByOne));
        EXPECT_EQ(changes, 1);
    }
}

TEST(FolderListTest, AddReturnsThePlaceBeforeEqualEntries)
{
    struct Case {
        std::vector<std::string> before;
        std::string added;
        int index;
    };
    const Case cases[] = {
        {{}, "/a", 0},
        {{"/a", "/c"}, "/b", 1},
        {{"/a", "/c"}, "/d", 2},
        {{"/a", "/B", "/b", "/c"}, "/b", 1},
        {{"/a", "/B", "/b", "/c"}, "/A", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.added);
        FolderList list = ListOf(c.before);
        EXPECT_EQ(list.Add(c.added), c.index);
        EXPECT_EQ(list.Text(c.index), c.added);
        EXPECT_EQ(list.Count(), static_cast<int>(c.before.size()) + 1);
    }
}

TEST(FolderListTest, LessIgnoresLetterCaseOnly)
{
    struct Case {
        std::string a;
        std::string b;
        bool less;
    };
    const Case cases[] = {
        {"abc", "ABD", true}, {"ABC", "abd", true}, {"abc", "ABC", false}, {"ABC", "abc", false},
        {"ab", "abc", true},  {"abc", "ab", false}, {"", "a", true},       {"a", "", false},
        {"a_", "aZ", true},   {"aZ", "a_", false},  {"a/b", "a-b", false}, {"a-b", "a/b", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.a + " < " + c.b);
        EXPECT_EQ(FolderTextLess(c.a, c.b), c.less);
    }
}

TEST(FolderListTest, DeleteSelectedRemovesEverySelectedEntry)
{
    const std::vector<std::string> entries = {"/0", "/1", "/2", "/3", "/4", "/5"};
    struct Case {
        const char* name;
        std::vector<int> selected;
        std::vector<std::string> left;
    };
    const Case cases[] = {
        {"none", {}, entries},
        {"neighbours", {2, 3}, {"/0", "/1", "/4", "/5"}},
        {"spread, ends included", {0, 2, 5}, {"/1", "/3", "/4"}},
        {"all but one", {0, 1, 2, 4, 5}, {"/3"}},
        {"all", {0, 1, 2, 3, 4, 5}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FolderList list = ListOf(entries);
        for (int index : c.selected)
            list.SetSelected(index, true);
        ASSERT_EQ(list.SelCount(), static_cast<int>(c.selected.size()));
        list.DeleteSelected();
        EXPECT_EQ(Texts(list), c.left);
        EXPECT_EQ(list.SelCount(), 0);
    }
}

TEST(FolderListTest, SelectionFollowsItsEntryWhenOthersAreAdded)
{
    FolderList list = ListOf({"/b", "/d"});
    list.SetSelected(1, true);  // "/d"
    list.Add("/a");
    list.Add("/c");
    EXPECT_EQ(Texts(list), (std::vector<std::string>{"/a", "/b", "/c", "/d"}));
    EXPECT_EQ(SelectedIndexes(list), std::vector<int>{3});
}

TEST(FolderListTest, SelectionCommandsAndObserver)
{
    FolderList list = ListOf({"/a", "/b", "/c"});
    int changes = 0;
    list.SetObserver([&] { ++changes; });

    struct Step {
        const char* name;
        std::function<void()> command;
        std::vector<int> selected;
        int count;
        bool changed;
    };
    const Step steps[] = {
        {"select one", [&] { list.SetSelected(1, true); }, {1}, 3, true},
        {"select it again", [&] { list.SetSelected(1, true); }, {1}, 3, false},
        {"select all", [&] { list.SelectAll(); }, {0, 1, 2}, 3, true},
        {"select all again", [&] { list.SelectAll(); }, {0, 1, 2}, 3, false},
        {"deselect one", [&] { list.SetSelected(0, false); }, {1, 2}, 3, true},
        {"deselect all", [&] { list.DeselectAll(); }, {}, 3, true},
        {"deselect all again", [&] { list.DeselectAll(); }, {}, 3, false},
        {"add", [&] { list.Add("/b"); }, {}, 4, true},
        {"delete with nothing selected", [&] { list.DeleteSelected(); }, {}, 4, false},
        {"clear", [&] { list.Clear(); }, {}, 0, true},
        {"clear empty", [&] { list.Clear(); }, {}, 0, false},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        const int before = changes;
        step.command();
        EXPECT_EQ(SelectedIndexes(list), step.selected);
        EXPECT_EQ(list.SelCount(), static_cast<int>(step.selected.size()));
        EXPECT_EQ(list.Count(), step.count);
        EXPECT_EQ(changes - before, step.changed ? 1 : 0);
    }
}
