#include <gtest/gtest.h>
#include <sys/stat.h>

#include "PlatformTestUtil.h"
#include "TempDir.h"
#include "platform/fs/FileSystem.h"

namespace {

TEST(FolderTest, CreateOneLevelOrAllParents)
{
    TempDir dir;
    WriteFile(dir / "file", "x");
    EXPECT_TRUE(platform::CreateDir(dir / "one"));
    EXPECT_FALSE(platform::CreateDir(dir / "one"));  // already there
    EXPECT_FALSE(platform::CreateDir(dir / "a/b"));  // parent missing
    EXPECT_TRUE(platform::DirectoryExists(dir / "one"));
    EXPECT_FALSE(platform::DirectoryExists(dir / "a"));
    EXPECT_FALSE(platform::DirectoryExists(dir / "file"));

    EXPECT_TRUE(platform::ForceDirectories(dir / "a/b/c"));
    EXPECT_TRUE(platform::DirectoryExists(dir / "a/b/c"));
    EXPECT_TRUE(platform::ForceDirectories(dir / "a/b/c"));
    EXPECT_TRUE(platform::ForceDirectories(dir / "x/y/"));
    EXPECT_TRUE(platform::DirectoryExists(dir / "x/y"));
    EXPECT_FALSE(platform::ForceDirectories(""));
    EXPECT_FALSE(platform::ForceDirectories(dir / "file/below"));
}

TEST(FolderTest, CurrentFolderAndDeletion)
{
    TempDir dir;
    const std::string before = platform::GetCurrentDir();
    ASSERT_FALSE(before.empty());
    ASSERT_TRUE(platform::SetCurrentDir(dir.Path()));
    char real[PATH_MAX];
    ASSERT_TRUE(realpath(dir.Path().c_str(), real));
    EXPECT_EQ(platform::GetCurrentDir(), real);
    EXPECT_FALSE(platform::SetCurrentDir(dir / "missing"));
    EXPECT_EQ(platform::GetCurrentDir(), real);
    ASSERT_TRUE(platform::SetCurrentDir(before));

    WriteFile(dir / "gone.txt", "x");
    ASSERT_TRUE(platform::CreateDir(dir / "folder"));
    EXPECT_TRUE(platform::DeleteFile(dir / "gone.txt"));
    EXPECT_FALSE(platform::DeleteFile(dir / "gone.txt"));
    EXPECT_FALSE(platform::DeleteFile(dir / "folder"));
    EXPECT_EQ(ListFolder(dir.Path()), std::set<std::string>{"folder"});
}

}  // namespace
