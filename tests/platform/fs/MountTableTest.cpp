#include <gtest/gtest.h>

#include <filesystem>

#include "TempDir.h"
#include "platform/fs/MountTable.h"

namespace {

// Which folders stand in for drives not mounted, as fstab (escaped fields,
// comments, no mount point), the mount units' [Mount] sections and the table
// of mounts tell them; nothing does when the table of mounts cannot be read.
TEST(MountTable, AMountPointTheSystemNamesWithNothingMountedIsNotTheDrive)
{
    TempDir dir;
    WriteFile(dir / "fstab",
              "# UUID=0 /media/comment ext4 defaults 0 2\n"
              "UUID=2 /media/my\\040stick vfat noauto,user 0 0\n"
              "\t/dev/sde1\t/mnt/data/stick ext4 noauto 0 0\n"
              "//nas/share /mnt//nas/ cifs noauto 0 0\n");
    std::filesystem::create_directory(dir / "units");
    WriteFile(dir / "units/srv-backup.mount",
              "[Unit]\nWhere=/srv/unit\n[Mount]\nWhat=/dev/sdd1\n  Where = /srv/backup\n");
    WriteFile(dir / "mountinfo",
              "22 1 8:1 / / rw shared:1 - ext4 /dev/sda1 rw\n"
              "40 22 8:33 / /mnt/data rw - ext4 /dev/sdc1 rw\n"
              "42 22 0:51 / /media/my\\040stick/bind rw - tmpfs tmpfs rw\n");
    const std::pair<const char*, bool> cases[] = {
        {"/media/my stick/photos", true},
        {"/media/my stick/bind/x", false},  // mounted below the point
        {"/mnt/data/stick/photos", true},  // named below a mounted one
        {"/mnt/nas", true},
        {"/srv/backup/x", true},
        {"/srv/unit", false},
        {"/media/comment", false},
    };
    const platform::MountTable mounts({dir / "fstab", {dir / "units"}, dir / "mountinfo"});
    const platform::MountTable unread({dir / "fstab", {dir / "units"}, dir / "missing"});
    for (const auto& [path, standIn] : cases) {
        EXPECT_EQ(mounts.NothingMountedAt(path), standIn) << path;
        EXPECT_FALSE(unread.NothingMountedAt(path)) << path;
    }
}

}  // namespace
