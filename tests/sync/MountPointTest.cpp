#include <sys/stat.h>

#include <filesystem>
#include <map>
#include <optional>

#include "RunFixture.h"
#include "platform/fs/FileSystem.h"
#include "sync/ListedFolderDrives.h"

namespace {

// A listed folder on a drive that is not mounted is the system drive's
// empty folder under its mount point: a folders-mode run would copy every
// file of the other side onto the system drive, where the drive, once
// mounted, hides them.
class MountPoints : public RunFixture {
protected:
    MountPoints()
    {
        const std::string system = Folder("system");
        drives.mounts = {system + "/fstab", {system + "/units"}, system + "/mountinfo"};
        Folder("system/units");
        Mounted({"/"});
        a = Folder("a/projA");
        File(a + "/notes.txt", "a", kOld);
        list1.Add(a);
        spy.mode = 1;
    }
    // The fake table of mounts: what is mounted now.
    void Mounted(const std::vector<std::string>& points)
    {
        std::string table;
        for (const std::string& point : points)
            table += "30 1 8:1 / " + point + " rw - ext4 /dev/sda1 rw\n";
        WriteFile(tmp / "system/mountinfo", table);
    }
    static std::uint64_t DeviceOf(const std::string& path)
    {
        struct stat st {};
        EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
        return st.st_dev;
    }
    int RunWithDrives()
    {
        RunSpy run;
        run.mode = 1;
        Synchronizer engine(state, list1, list2, run);
        engine.SetListedFolderDrives(drives);
        engine.Run(Synchronizer::Mode::Folders, Synchronizer::Scope::All, run.options);
        spy.records = run.records;
        return run.tally.notThere;
    }

    // The temporary folder as the kernel names it (its mount table does).
    const std::string real = std::filesystem::canonical(tmp.Path()).string();
    ListedFolderDrives drives;
    std::string a;
};

// A folder at or below a mount point named in fstab or a mount unit, with
// nothing mounted there, is not there (whether empty or holding what an
// earlier run put on the system drive); once mounted, it takes part.
TEST_F(MountPoints, AFolderOfAMountPointTheSystemNamesTakesPartOnlyWhenMounted)
{
    const std::string stick = Folder("stick/projA");
    const std::string unit = Folder("unit/projA");
    File(unit + "/left.txt", "on the system drive", kNew);
    WriteFile(tmp / "system/fstab", "LABEL=STICK " + real + "/stick vfat noauto,user 0 0\n");
    WriteFile(tmp / "system/units/unit.mount", "[Mount]\nWhat=/dev/sdd1\nWhere=" + real + "/unit/projA\n");
    list2.Add(stick);
    list2.Add(unit);

    EXPECT_EQ(RunWithDrives(), 2);
    EXPECT_EQ(Recorded(), (Records{NotThere(stick), NotThere(unit)}));
    EXPECT_TRUE(std::filesystem::is_empty(stick));
    EXPECT_FALSE(platform::FileExists(unit + "/notes.txt"));
    EXPECT_FALSE(platform::FileExists(a + "/left.txt"));

    Mounted({"/", real + "/stick", real + "/unit/projA"});
    EXPECT_EQ(RunWithDrives(), 0);
    EXPECT_EQ(ReadFile(stick + "/notes.txt"), "a");
    EXPECT_EQ(ReadFile(unit + "/notes.txt"), "a");
}

// A folder found empty on another drive than the one a run last found it
// on is the stand-in of a drive mounted without the system naming it; the
// drive a folder that takes part is on is told for the next run.
TEST_F(MountPoints, AFolderFoundEmptyOnAnotherDriveThanLastTakesNoPart)
{
    const std::string b = Folder("b/projA");
    list2.Add(b);
    const std::uint64_t device = DeviceOf(b);
    struct Case {
        const char* name;
        std::optional<std::uint64_t> last;
        bool holdsAFile;
        bool mountPoint;
        bool takesPart;
    };
    const Case cases[] = {
        {"empty, on another drive", device + 1, false, false, false},
        {"empty, on the same drive", device, false, false, true},
        {"empty, drive not known", std::nullopt, false, false, true},
        {"holding a file, on another drive", device + 1, true, false, true},
        {"empty, on another drive mounted there", device + 1, false, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(b);
        Folder("b/projA");
        if (c.holdsAFile)
            File(b + "/other.txt", "b", kOld);
        Mounted(c.mountPoint ? std::vector<std::string>{"/", real + "/b/projA"} : std::vector<std::string>{"/"});
        std::map<std::string, std::uint64_t> seen;
        drives.lastSeen = [&](const std::string& folder) { return folder == b ? c.last : std::nullopt; };
        drives.seen = [&](const std::string& folder, std::uint64_t on) { seen[folder] = on; };

        EXPECT_EQ(RunWithDrives(), c.takesPart ? 0 : 1);
        EXPECT_EQ(platform::FileExists(b + "/notes.txt"), c.takesPart);
        EXPECT_EQ(seen.contains(b), c.takesPart);
        EXPECT_EQ(seen[a], DeviceOf(a));
        if (!c.takesPart) {
            EXPECT_EQ(Recorded(), Records{NotThere(b)});
        }
    }
}

}  // namespace
