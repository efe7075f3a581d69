#include <sys/stat.h>

#include <filesystem>
#include <map>
#include <optional>

#include "RunFixture.h"
#include "platform/fs/FileSystem.h"

namespace {

// A listed folder on a drive that is not mounted is the system drive's
// folder under its mount point: a folders-mode run would copy every file of
// the other side onto the system drive, where the drive, mounted, hides them.
class MountPoints : public RunFixture {
protected:
    MountPoints()
    {
        Folder("system/units");
        File(a + "/notes.txt", "a", kOld);
        list1.Add(a);
    }
    // A folders-mode run while the points are mounted: how many folders were not there.
    int RunMounted(const std::vector<std::string>& points)
    {
        std::string table;
        for (const std::string& point : points)
            table += "30 1 8:1 / " + point + " rw - ext4 /dev/sda1 rw\n";
        WriteFile(tmp / "system/mountinfo", table);
        RunSpy run;
        Synchronizer engine(state, list1, list2, run);
        engine.SetListedFolderDrives(drives);
        engine.Run(Synchronizer::Mode::Folders, Synchronizer::Scope::All, run.options);
        spy.records = run.records;
        return run.tally.notThere;
    }

    // The temporary folder as the kernel names it in its table of mounts.
    const std::string real = std::filesystem::canonical(tmp.Path()).string();
    const std::string a = Folder("a/projA");
    ListedFolderDrives drives{{tmp / "system/fstab", {tmp / "system/units"}, tmp / "system/mountinfo"}, {}, {}};
};

// A folder at or below a mount point named in fstab or a mount unit takes
// part only while something is mounted there, whatever the system drive holds.
TEST_F(MountPoints, AFolderOfAMountPointTheSystemNamesTakesPartOnlyWhenMounted)
{
    const std::string stick = Folder("stick/projA");
    const std::string unit = Folder("unit/projA");
    File(unit + "/left.txt", "on the system drive", kNew);
    WriteFile(tmp / "system/fstab", "LABEL=STICK " + real + "/stick vfat noauto,user 0 0\n");
    WriteFile(tmp / "system/units/unit.mount", "[Mount]\nWhere=" + real + "/unit/projA\n");
    list2.Add(stick);
    list2.Add(unit);

    EXPECT_EQ(RunMounted({"/"}), 2);
    EXPECT_EQ(Recorded(), (Records{NotThere(stick), NotThere(unit)}));
    EXPECT_TRUE(std::filesystem::is_empty(stick));
    EXPECT_FALSE(platform::FileExists(unit + "/notes.txt") || platform::FileExists(a + "/left.txt"));

    EXPECT_EQ(RunMounted({"/", real + "/stick", real + "/unit/projA"}), 0);
    EXPECT_EQ(ReadFile(stick + "/notes.txt") + ReadFile(unit + "/notes.txt"), "aa");
}

// A folder found empty on another drive than a run last found it on takes
// no part, unless a drive is mounted there; the drive of each folder that
// takes part is told, for the next run.
TEST_F(MountPoints, AFolderFoundEmptyOnAnotherDriveThanLastTakesNoPart)
{
    const std::string b = Folder("b/projA");
    list2.Add(b);
    const auto deviceOf = [](const std::string& path) {
        struct stat st {};
        ::stat(path.c_str(), &st);
        return static_cast<std::uint64_t>(st.st_dev);
    };
    const std::uint64_t other = deviceOf(b) + 1;
    struct Case {
        const char* name;
        std::optional<std::uint64_t> last;
        bool holdsAFile;
        std::vector<std::string> mounted;
        bool takesPart;
    };
    const Case cases[] = {
        {"empty, on another drive", other, false, {"/"}, false},
        {"empty, on the same drive", deviceOf(b), false, {"/"}, true},
        {"holding a file, on another drive", other, true, {"/"}, true},
        {"empty, on another drive mounted there", other, false, {"/", real + "/b/projA"}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(b);
        Folder("b/projA");
        if (c.holdsAFile)
            File(b + "/other.txt", "b", kOld);
        std::map<std::string, std::uint64_t> seen;
        drives.lastSeen = [&](const std::string& folder) { return folder == b ? c.last : std::nullopt; };
        drives.seen = [&](const std::string& folder, std::uint64_t on) { seen[folder] = on; };

        EXPECT_EQ(RunMounted(c.mounted), c.takesPart ? 0 : 1);
        EXPECT_EQ(platform::FileExists(b + "/notes.txt"), c.takesPart);
        EXPECT_EQ(seen,
                  (c.takesPart ? std::map<std::string, std::uint64_t>{{a, deviceOf(a)}, {b, deviceOf(b)}}
                               : std::map<std::string, std::uint64_t>{{a, deviceOf(a)}}));
    }
}

}  // namespace
