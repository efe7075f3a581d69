#pragma once

#include <string>

// What a copy carries besides content, owner, bits and times: the rights
// of the file it replaces and the source's user attributes. File systems
// without them (vfat, FUSE drives) are no failure.
namespace platform::detail {

// EACCES when the user's effective rights (ACL included) do not let them
// open the file name in dirFd for writing, else 0. Renaming over a file needs
// only the folder's write permission, so the copy asks this of the file.
int RefuseUnwritable(int dirFd, const std::string& name);

// Gives the temporary file tmp the access ACL of the file name in dirFd
// that it is to replace, or none when that file has none (tmp may have
// taken its folder's default ACL). Setting an ACL sets the group bits from
// its mask, so the file's bits are to be set after this, from the replaced
// file's: the ACL then comes out as it was. 0 or the errno.
int KeepAccessAcl(int dirFd, const std::string& name, int tmp);

// Sets the user.* extended attributes of src on dst; those a user may not
// set are left out. 0 or the errno.
int CarryUserAttributes(int src, int dst);

}  // namespace platform::detail
