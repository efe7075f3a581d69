#include "lists/AddPath.h"

#include "lists/FolderList.h"
#include "platform/fs/FileSystem.h"

#include "TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>

namespace {

bool IsFolder(const std::string& path)
{
    return std::filesystem::is_directory(path);
}

// Add Path makes "/" current: each test gives back the folder it found.
class AddPathTest : public ::testing::Test {
protected:
    void TearDown() override { platform::SetCurrentDir(m_startFolder); }

    TempDir m_dir;
    std::string m_startFolder = platform::GetCurrentDir();
};

}  // namespace

TEST_F(AddPathTest, AddsTheChosenPathAndCreatesIt)
{
    WriteFile(m_dir / "file", "x");
    std::filesystem::create_directory(m_dir / "there");
    struct Case {
        const char* name;
        std::optional<std::string> chosen;  // relative to the scratch folder
        bool added;
        bool folderAfter;
        const char* entry = nullptr;  // when not the chosen text
    };
    const Case cases[] = {
        {"nested folder that does not exist", "new/nested/deep", true, true},
        {"existing folder", "there", true, true},
        {"path under a file cannot be made, added anyway", "file/sub", true, false},
        {"trailing separators dropped", "made//", true, true, "made"},
        {"cancel", std::nullopt, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FolderList list;
        list.Add("/existing");
        std::string folderWhenAsked;
        const std::optional<std::string> chosen = c.chosen ? std::optional<std::string>(m_dir / *c.chosen)
                                                           : std::nullopt;
        const bool result = AddPath(list, [&] {
            folderWhenAsked = platform::GetCurrentDir();
            return chosen;
        });
        EXPECT_EQ(folderWhenAsked, "/");
        EXPECT_EQ(result, c.added);
        if (c.added) {
            ASSERT_EQ(list.Count(), 2);
            EXPECT_EQ(list.Text(0), "/existing");
            EXPECT_EQ(list.Text(1), c.entry ? m_dir / c.entry : *chosen);
            EXPECT_EQ(IsFolder(*chosen), c.folderAfter);
        } else {
            EXPECT_EQ(list.Count(), 1);
        }
    }
}

TEST_F(AddPathTest, TheRootStaysTheRoot)
{
    for (const char* typed : {"/", "///"}) {
        FolderList list;
        EXPECT_TRUE(AddPath(list, [typed] { return std::optional<std::string>(typed); }));
        ASSERT_EQ(list.Count(), 1);
        EXPECT_EQ(list.Text(0), "/") << typed;
    }
}

TEST_F(AddPathTest, EmptyPathThrowsAndAddsNothing)
{
    FolderList list;
    list.Add("/existing");
    try {
        AddPath(list, [] { return std::optional<std::string>(""); });
        ADD_FAILURE() << "no exception";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "Unable to create directory");
    }
    EXPECT_EQ(list.Count(), 1);
}

TEST_F(AddPathTest, SameFolderTwiceGivesTwoEntries)
{
    FolderList list;
    const auto choose = [&] { return std::optional<std::string>(m_dir.Path()); };
    EXPECT_TRUE(AddPath(list, choose));
    EXPECT_TRUE(AddPath(list, choose));
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list.Text(0), m_dir.Path());
    EXPECT_EQ(list.Text(1), m_dir.Path());
}
