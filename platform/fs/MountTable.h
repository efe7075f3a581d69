#pragma once

#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// Where the system says which folders it mounts drives on, and which are
// mounted now. Tests give files of their own.
struct MountSources {
    std::string fstab = "/etc/fstab";
    // Folders whose *.mount units name a mount point (Where=): the
    // administrator's, and those made from fstab and the like at each start.
    std::vector<std::string> unitFolders = {"/etc/systemd/system", "/run/systemd/generator",
                                            "/run/systemd/generator.early", "/run/systemd/generator.late"};
    std::string mountinfo = "/proc/self/mountinfo";
};

// The mount points the system names and those mounted, as read once.
class MountTable {
public:
    explicit MountTable(const MountSources& sources = {});

    // Whether path (absolute, no links) is, or lies below, a mount point
    // the system names with nothing mounted on it, and nothing mounted in
    // between: what stands there is the folder of the drive below, left
    // empty for the drive that is not plugged in or the share not mounted.
    bool NothingMountedAt(const std::string& path) const;
    // Whether something is mounted at path (absolute, no links).
    bool Mounted(const std::string& path) const;

private:
    std::set<std::string> m_named;
    std::set<std::string> m_mounted;
};

// A field of fstab or mountinfo with its octal escapes (\040 for a blank,
// \011, \012, \134) undone.
std::string UnescapedMountField(std::string_view field);

}  // namespace platform
