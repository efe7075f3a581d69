#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <string>

#include "platform/fs/FileSystemInternal.h"

// Links are followed only where they cannot lead the program somewhere
// another user chose. In a folder the user shares with others, anyone who
// may write there can make a link: followed, it would have a copy write over
// the user's own files (~/.bashrc) or read their private files into the
// shared folder. So a link is followed only when it belongs to the user the
// program runs as (for a program run as root, to root), as the kernel's
// protected symlinks do in sticky folders. On the way to a folder, the
// system's own links (those of root: /lib, /var/run) are followed too.
namespace platform::detail {

// What a lookup or an open answers for a link it does not follow (an errno
// no system call gives).
inline constexpr int kLinkOfAnotherUser = 0x10100;

enum class LinkRule {
    OwnOnly,  // a name in a folder the run keeps in step
    OwnOrSystem,  // a folder on the way (links of root are the system's)
};

bool TrustsLinkOf(uid_t owner, LinkRule rule);

// openat(dirFd, path, flags, mode), with every link on the way trusted:
// those on the way to the last component by LinkRule::OwnOrSystem, one at
// the last component by lastRule. 0 with fd set; kLinkOfAnotherUser; or the
// errno. A path without links costs one system call.
int OpenTrusted(int dirFd, const std::string& path, int flags, LinkRule lastRule, Fd& fd, mode_t mode = 0);

// stat(path) relative to dirFd, but a link of another user is not followed:
// then st describes the link itself and the answer is kLinkOfAnotherUser.
// 0, or the errno (ENOENT for a link of one's own that leads nowhere).
int StatOwnLinks(int dirFd, const char* path, struct stat& st);

// Where the link name in dirFd leads, when it is the user's own: the folder
// (opened into folder) and the name there, with what stands there in st.
// Every link on the way is trusted as OpenTrusted trusts them; a chain of
// links is followed to its end. 0; kLinkOfAnotherUser (name, or a link it
// leads to, is another's); or the errno (ENOENT: it leads nowhere).
int ResolveOwnLink(int dirFd, const std::string& name, Fd& folder, std::string& finalName, struct stat& st);

}  // namespace platform::detail
