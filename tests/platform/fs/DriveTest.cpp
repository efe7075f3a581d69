// What the program asks of a drive, found from the drive itself: the kind
// the kernel and the mount table give it, and for gvfs's FUSE folder the
// share a folder reaches.
#include <gtest/gtest.h>
#include <linux/magic.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <utility>

#include "TempDir.h"
#include "platform/fs/Drive.h"

namespace {

bool Shell(const std::string& command)
{
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

// Drives mounted for the test: a tmpfs, and FAT through FUSE (its kind only
// the mount table tells). Each is asked where it is mounted, and where
// nothing is mounted (the kernel's own /proc) the drive is an unknown one.
TEST(DriveTest, ARealDriveIsKnownByItsKind)
{
    EXPECT_EQ(platform::DriveAt("/proc/self").kind, "unknown");
    EXPECT_FALSE(platform::DriveAt("/proc/self").flushesAsAWhole);
    if (geteuid() != 0)
        GTEST_SKIP() << "mounting the drives needs root";
    TempDir dir;
    const std::string tmpfs = dir / "tmpfs", fat = dir / "fat";
    if (!Shell("mkdir '" + tmpfs + "' '" + fat + "' && mount -t tmpfs folderly-test '" + tmpfs + "'"))
        GTEST_SKIP() << "no tmpfs could be mounted";
    const platform::Drive& memory = platform::DriveAt(tmpfs);
    EXPECT_EQ(memory.kind, "tmpfs");
    EXPECT_TRUE(memory.flushesAsAWhole && memory.exactNames && memory.changeEvents && memory.hardLinks);
    const bool fatMounted = Shell("truncate -s 8M '" + dir / "fat.img" + "' && mkfs.vfat '" + dir / "fat.img"
                                  + "' && fusefat -o rw+ '" + dir / "fat.img" + "' '" + fat + "'");
    if (fatMounted) {
        const platform::Drive& stick = platform::DriveAt(fat);
        EXPECT_EQ(stick.kind, "fuse.fusefat");
        EXPECT_TRUE(stick.windowsNamesOnly);
        EXPECT_FALSE(stick.hardLinks || stick.changeEvents || stick.flushesAsAWhole || stick.exactNames);
        EXPECT_TRUE(Shell("umount '" + fat + "'"));
    }
    EXPECT_TRUE(Shell("umount '" + tmpfs + "'"));
    if (!fatMounted)
        GTEST_SKIP() << "no FAT image could be mounted through FUSE";
}

// gvfs's one FUSE mount holds every share the desktop reached: a Samba
// share there is case-blind and takes Windows names only, whatever the
// kernel says of the mount; an SFTP folder beside it is not.
TEST(DriveTest, AFolderOfGvfsIsKnownByTheShareItReaches)
{
    const std::string gvfs = "/run/user/1000/gvfs/";
    const platform::Drive& samba = platform::detail::DriveOfKind(FUSE_SUPER_MAGIC, "fuse.gvfsd-fuse",
                                                                 gvfs + "smb-share:server=nas,share=docs/x");
    const platform::Drive& sftp = platform::detail::DriveOfKind(FUSE_SUPER_MAGIC, "fuse.gvfsd-fuse",
                                                                gvfs + "sftp:host=nas/home");
    EXPECT_TRUE(samba.windowsNamesOnly);
    EXPECT_FALSE(sftp.windowsNamesOnly);
    EXPECT_FALSE(samba.replacesInOneStep);  // gvfs deletes the old file, then renames
    EXPECT_TRUE(sftp.replacesInOneStep);
    EXPECT_FALSE(samba.modesTellWritable);  // every file shows as 0700
    for (const platform::Drive* drive : {&samba, &sftp})
        EXPECT_FALSE(drive->changeEvents || drive->hardLinks || drive->stableInodes || drive->flushesAsAWhole);
}

// The names a Windows-style drive refuses, or stores under another name
// that a later run would copy back as a new file.
TEST(DriveTest, WindowsNamesAreTheOnesWindowsTakes)
{
    const std::pair<const char*, bool> cases[] = {
        {"report.odt", true},   {"Meeting 10:30.txt", false},
        {"a\\b", false},        {"why?", false},
        {"star*", false},       {"\"quoted\"", false},
        {"<tag>", false},       {"pipe|", false},
        {"tab\there", false},   {"trail.", false},
        {"trail ", false},      {".hidden", true},
        {"CON", false},         {"con.txt", false},
        {"Nul .tar.gz", false}, {"COM1", false},
        {"lpt9.log", false},    {"COM0", true},
        {"COM10", true},        {"CONSOLE", true},
        {"LPT", true},          {"naïve €.txt", true},
    };
    for (const auto& [name, held] : cases)
        EXPECT_EQ(platform::HoldsWindowsName(name), held) << name;
}

// The short names a Samba server makes up for names Windows cannot take
// are never copied back from a share as files of their own.
TEST(DriveTest, MadeUpShortNamesAreKnownByTheirShape)
{
    const std::pair<const char*, bool> cases[] = {
        {"TZHRWN~N", true},   {"CSHOFG~F", true},       {"M0_A9Z~1.TXT", true},  {"PROGRA~1.X", true},
        {"tzhrwn~n", false},  {"TZHRW~N", false},       {"TZHRWN~NN", false},    {"TZHRWN-N", false},
        {"TZHRWN~N.", false}, {"TZHRWN~N.TEXT", false}, {"TZHRWN~N.txt", false}, {"report.odt", false},
    };
    for (const auto& [name, madeUp] : cases)
        EXPECT_EQ(platform::LooksMadeUp(name), madeUp) << name;
}

}  // namespace
