#include <gtest/gtest.h>

#include <filesystem>

#include "TempDir.h"
#include "platform/fs/MountTable.h"

namespace {

// Which folders are the empty stand-ins of drives not mounted, as fstab,
// the mount units and the table of mounts tell them.
TEST(MountTable, AMountPointTheSystemNamesWithNothingMountedIsNotTheDrive)
{
    TempDir dir;
    WriteFile(dir / "fstab",
              "# UUID=0 /media/comment ext4 defaults 0 2\n"
              "UUID=1 / ext4 defaults 0 1\n"
              "UUID=2 /media/my\\040stick vfat noauto,user 0 0\n"
              "/dev/sdc1 /mnt/data/ ext4 defaults 0 2\n"
              "\t/dev/sde1\t/mnt/data/stick ext4 noauto 0 0\n"
              "/swapfile none swap sw 0 0\n"
              "//nas/share /mnt//nas cifs noauto 0 0\n");
    std::filesystem::create_directory(dir / "units");
    WriteFile(dir / "units/srv-backup.mount",
              "[Unit]\nWhere=/srv/unit-section\n[Mount]\nWhat=/dev/sdd1\n  Where = /srv/backup\nType=ext4\n");
    WriteFile(dir / "units/other.service", "[Mount]\nWhere=/srv/other\n");
    WriteFile(dir / "mountinfo",
              "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
              "40 22 8:33 / /mnt/data rw shared:2 - ext4 /dev/sdc1 rw\n"
              "42 22 0:51 / /media/my\\040stick/bind rw - tmpfs tmpfs rw\n");
    const platform::MountTable mounts({dir / "fstab", {dir / "units"}, dir / "mountinfo"});
    const std::pair<const char*, bool> cases[] = {
        {"/media/my stick", true},    {"/media/my stick/photos/2024", true},
        {"/media/my", false},         {"/media/my stick/bind/x", false},  // mounted below the point
        {"/mnt/data/photos", false},  {"/mnt/data/stick/photos", true},  // named below a mounted one
        {"/mnt/nas/", true},          {"/srv/backup/x", true},
        {"/srv/unit-section", false}, {"/srv/other", false},
        {"/media/comment", false},    {"/home/u", false},
    };
    for (const auto& [path, standIn] : cases)
        EXPECT_EQ(mounts.NothingMountedAt(path), standIn) << path;
    EXPECT_TRUE(mounts.Mounted("/mnt/data/"));
    EXPECT_FALSE(mounts.Mounted("/mnt/data/stick"));

    // Without the table of mounts, nothing is taken for a stand-in.
    const platform::MountTable unread({dir / "fstab", {dir / "units"}, dir / "missing"});
    EXPECT_FALSE(unread.NothingMountedAt("/media/my stick"));
}

}  // namespace
