#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <string>
#include <vector>

// What a copy carries besides content, owner, bits and times: the rights
// of the file it replaces and the source's user attributes. File systems
// without them (vfat, FUSE drives) are no failure.
namespace platform::detail {

// EACCES when the user's effective rights (ACL included) do not let them
// open the file name in dirFd for writing, else 0. Renaming over a file needs
// only the folder's write permission, so the copy asks this of the file.
int RefuseUnwritable(int dirFd, const std::string& name);

// Whether the drive refuses to write the file name in dirFd, seen as found,
// where its mode does not tell (Drive::modesTellWritable): asked by setting
// its times to what they are, which a read-only file on a Samba share
// through gvfs refuses and any other keeps as it was.
bool DriveRefusesWriting(int dirFd, const std::string& name, const struct stat& found);

// Gives the temporary file tmp the access ACL of the file name in dirFd
// that it is to replace, or none when that file has none (tmp may have
// taken its folder's default ACL). Setting an ACL sets the group bits from
// its mask, so the file's bits are to be set after this, from the replaced
// file's: the ACL then comes out as it was. 0 or the errno.
int KeepAccessAcl(int dirFd, const std::string& name, int tmp);

// Sets the user.* extended attributes of src on dst; those a user may not
// set are left out. 0 or the errno.
int CarryUserAttributes(int src, int dst);

// One entry of an access ACL: its tag (ACL_USER and the like), rights and id.
struct AclEntry {
    unsigned tag;
    unsigned perm;
    unsigned id;
};

// What the source of a copy lets each person do (read, write, execute, as
// the bits 4, 2, 1), by its owner, group, bits and ACL. The copy's content
// must never land in a file that lets anyone do more: the file it replaces
// may be another user's decoy, group- or world-readable, put in place of
// the user's private file in a shared folder.
class SourceRights {
public:
    // src: the source, open; its ACL is read now.
    SourceRights(int src, const struct stat& source);

    // What user uid may do with the source, as the kernel decides it (the
    // owner, a named user, the groups the user is in, else others).
    unsigned UserMay(uid_t uid) const;
    // What every member of group gid may do at least.
    unsigned GroupMay(gid_t gid) const;
    unsigned OthersMay() const { return m_mode & 07; }

    // Trims the access ACL of the written file fd so that no entry grants
    // more than the source grants the same user or group (its owning group
    // no more than the source's group), and limits mode's group and other
    // bits to the source's (with an ACL, the group bits are its mask: no
    // wider than the entries it bounds). 0 or the errno.
    int Limit(int fd, mode_t& mode) const;

private:
    // The source's named entry of tag and id, masked; -1 for none.
    int Named(unsigned tag, unsigned id) const;
    unsigned GroupClass() const;

    uid_t m_owner;
    gid_t m_group;
    mode_t m_mode;
    std::vector<AclEntry> m_acl;  // empty when the source has none
    unsigned m_mask = 07;
};

}  // namespace platform::detail
