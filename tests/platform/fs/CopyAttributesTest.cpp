#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>

#include "PlatformTestUtil.h"
#include "TempDir.h"
#include "platform/fs/CopyFile.h"
#include "platform/fs/FileSystem.h"

namespace {

using Names = std::set<std::string>;
using Attributes = std::map<std::string, std::string>;

constexpr const char* kAcl = "system.posix_acl_access";
// Users and a group of the tests' own; no account needs to exist.
constexpr uid_t kOwner = 61001;
constexpr uid_t kMember = 61002;
constexpr gid_t kShared = 61000;

struct stat StatOf(const std::string& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        throw std::runtime_error("cannot stat " + path);
    return st;
}

mode_t ModeOf(const std::string& path)
{
    return StatOf(path).st_mode & 07777;
}

std::optional<std::string> Attribute(const std::string& path, const char* name)
{
    char value[4096];
    const ssize_t size = ::getxattr(path.c_str(), name, value, sizeof value);
    if (size < 0)
        return std::nullopt;
    return std::string(value, static_cast<std::size_t>(size));
}

Attributes UserAttributes(const std::string& path)
{
    char names[4096];
    const ssize_t size = ::listxattr(path.c_str(), names, sizeof names);
    Attributes found;
    for (ssize_t at = 0; at < size; at += static_cast<ssize_t>(std::strlen(names + at)) + 1) {
        const std::string name = names + at;
        if (name.rfind("user.", 0) == 0)
            found[name] = Attribute(path, name.c_str()).value_or("(gone)");
    }
    return found;
}

void SetAttributes(const std::string& path, const Attributes& attributes)
{
    for (const auto& [name, value] : attributes)
        ASSERT_EQ(::setxattr(path.c_str(), name.c_str(), value.data(), value.size(), 0), 0) << name;
}

// setfacl with arguments; false where the folder's file system has no ACLs.
bool SetFacl(const std::string& arguments, const std::string& path)
{
    return std::system(("setfacl " + arguments + " '" + path + "' 2>/dev/null").c_str()) == 0;
}

// In a folder a group shares (setgid, group-writable), a member's update of
// another member's file goes by the file's rights, ACL included, not by the
// folder's: renaming over the file would make it the updater's own, so a
// file they may not write is never replaced.
TEST(CopyAttributesTest, AFileTheUserMayNotWriteIsNeverReplaced)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "only root can act as the group's members";
    struct Case {
        const char* name;
        mode_t mode;
        const char* acl;  // added with setfacl -m, or null
        int error;
    };
    const Case cases[] = {
        {"others.txt", 0644, nullptr, EACCES},
        {"group-writable.txt", 0664, nullptr, 0},
        {"acl-grants.txt", 0644, "u:61002:rw", 0},
        {"acl-denies.txt", 0664, "u:61002:r", EACCES},
    };
    TempDir src;
    TempDir shared;
    ASSERT_EQ(::chmod(src.Path().c_str(), 0755), 0);
    WriteFile(src / "new", "new content");
    ASSERT_EQ(::chmod((src / "new").c_str(), 0644), 0);
    ASSERT_EQ(::chown(shared.Path().c_str(), 0, kShared), 0);
    ASSERT_EQ(::chmod(shared.Path().c_str(), 02775), 0);
    for (const Case& c : cases) {
        WriteFile(shared / c.name, "old content");
        ASSERT_EQ(::chown((shared / c.name).c_str(), kOwner, kShared), 0);
        ASSERT_EQ(::chmod((shared / c.name).c_str(), c.mode), 0);
        if (c.acl && !SetFacl(std::string("-m ") + c.acl, shared / c.name))
            GTEST_SKIP() << "no ACLs here";
    }

    for (const bool named : {false, true}) {
        SCOPED_TRACE(named ? "named temporary" : "unnamed temporary");
        const std::string errors = RunAsUser(kMember, kShared, [&] {
            platform::FileSystemTestHooks hooks;
            hooks.noUnnamedTemp = named;
            ScopedTestHooks use(hooks);
            std::string said;
            for (const Case& c : cases)
                said += std::to_string(platform::CopyFile(src / "new", shared / c.name, false)) + " ";
            return said;
        });
        std::string expected;
        for (const Case& c : cases)
            expected += std::to_string(c.error) + " ";
        EXPECT_EQ(errors, expected);
        for (const Case& c : cases) {
            if (c.error == 0)
                continue;
            SCOPED_TRACE(c.name);
            EXPECT_EQ(ReadFile(shared / c.name), "old content");
            EXPECT_EQ(StatOf(shared / c.name).st_uid, kOwner);
        }
    }
    Names names;
    for (const Case& c : cases)
        names.insert(c.name);
    EXPECT_EQ(ListFolder(shared.Path()), names);
}

// An updated file keeps its own ACL and bits (the ACL's mask is the group
// bits that stat shows), but for the owner's write bit, which follows the
// source, and but for what would let anyone do more with the content than
// the source lets them: every entry and the group and other bits are
// trimmed to the source's. It never takes the folder's default ACL, which is
// for new files. A second name of the file keeps the old file, ACL and all.
TEST(CopyAttributesTest, AnUpdatedFileKeepsItsOwnAclWithinTheSources)
{
    struct Case {
        const char* what;
        const char* acl;  // the destination's, set with setfacl --set; null: none
        mode_t destination;  // its bits, where it has no ACL
        mode_t source;
        const char* sourceAcl;  // added to the source with setfacl -m, or null
        bool folderDefault;  // the destination's folder has a default ACL
        const char* expectedAcl;  // null: none
        mode_t expected;
    };
    const Case cases[] = {
        {"a named user, mask wider than the group", "u::rw,u:65534:rw,g::r,m::rw,o::r", 0, 0644, nullptr, false,
         "u::rw,u:65534:r,g::r,m::r,o::r", 0644},
        {"a named group, mask narrower than the group", "u::rw,g::rw,g:65534:rw,m::r,o::-", 0, 0600, nullptr, false,
         "u::rw,g::-,g:65534:-,m::-,o::-", 0600},
        {"read-only source", "u::rw,u:65534:rw,g::r,m::rw,o::r", 0, 0444, nullptr, false,
         "u::r,u:65534:r,g::r,m::r,o::r", 0444},
        {"the source grants the named user as much", "u::rw,u:65534:rw,g::rw,m::rw,o::r", 0, 0640, "u:65534:rw", false,
         "u::rw,u:65534:rw,g::r,m::rw,o::-", 0660},
        {"a decoy open to all, in a folder with a default ACL", nullptr, 0666, 0600, nullptr, true, nullptr, 0600},
        {"its own ACL, in a folder with a default one", "u::rw,u:65534:r,g::-,m::r,o::-", 0, 0644, nullptr, true,
         "u::rw,u:65534:r,g::-,m::r,o::-", 0640},
    };
    TempDir src;
    TempDir plain;
    TempDir withDefault;
    TempDir others;  // second names and references
    if (!SetFacl("-d --set u::rwx,u:65534:rwx,g::rx,o::rx", withDefault.Path()))
        GTEST_SKIP() << "no ACLs here";
    int n = 0;
    for (const bool named : {false, true}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.what) + (named ? ", named temporary" : ", unnamed temporary"));
            const std::string name = "f" + std::to_string(n++);
            const std::string d = (c.folderDefault ? withDefault : plain) / name;
            WriteFile(src / name, "new");
            ASSERT_EQ(::chmod((src / name).c_str(), c.source), 0);
            ASSERT_TRUE(!c.sourceAcl || SetFacl(std::string("-m ") + c.sourceAcl, src / name));
            WriteFile(d, "old");
            ASSERT_TRUE(c.acl ? SetFacl(std::string("--set ") + c.acl, d) : SetFacl("-b", d));
            if (!c.acl) {
                ASSERT_EQ(::chmod(d.c_str(), c.destination), 0);
            }
            ASSERT_EQ(::link(d.c_str(), (others / name).c_str()), 0);
            const mode_t modeBefore = ModeOf(d);
            const std::optional<std::string> aclBefore = Attribute(d, kAcl);
            // What the file is to be: the expected ACL, or none, and bits.
            const std::string ref = others / (name + ".ref");
            WriteFile(ref, "");
            ASSERT_TRUE(c.expectedAcl ? SetFacl(std::string("--set ") + c.expectedAcl, ref) : SetFacl("-b", ref));
            ASSERT_EQ(::chmod(ref.c_str(), c.expected), 0);

            platform::FileSystemTestHooks hooks;
            hooks.noUnnamedTemp = named;
            ScopedTestHooks use(hooks);
            ASSERT_EQ(platform::CopyFile(src / name, d, false), 0);
            EXPECT_EQ(ReadFile(d), "new");
            EXPECT_EQ(ModeOf(d), c.expected);
            EXPECT_EQ(Attribute(d, kAcl), Attribute(ref, kAcl));
            EXPECT_EQ(ReadFile(others / name), "old");
            EXPECT_EQ(ModeOf(others / name), modeBefore);
            EXPECT_EQ(Attribute(others / name, kAcl), aclBefore);
        }
    }
}

// A copy carries the source's user attributes, and only those: an updated
// file's own go with its old content. A new file takes its folder's default
// ACL, as every new file there does, but grants nobody more than the source
// does: the default ACL's named user, who may not read the source, gets
// nothing.
TEST(CopyAttributesTest, UserAttributesTravelAndANewFileTakesTheFoldersAcl)
{
    const Attributes sourceAttributes = {
        {"user.tag", "blue"}, {"user.binary", std::string("\0\x01\xff", 3)}, {"user.empty", ""}};
    struct Case {
        const char* what;
        bool update;
        bool folderDefault;
    };
    const Case cases[] = {
        {"new file", false, false},
        {"new file, folder with a default ACL", false, true},
        {"update", true, false},
        {"update, folder with a default ACL", true, true},
    };
    TempDir src;
    TempDir plain;
    TempDir withDefault;
    WriteFile(src / "s", "new");
    ASSERT_EQ(::chmod((src / "s").c_str(), 0640), 0);
    if (::setxattr((src / "s").c_str(), "user.probe", "", 0, 0) != 0)
        GTEST_SKIP() << "no user attributes here";
    ASSERT_EQ(::removexattr((src / "s").c_str(), "user.probe"), 0);
    SetAttributes(src / "s", sourceAttributes);
    if (!SetFacl("-d --set u::rwx,u:65534:rw,g::rx,o::-", withDefault.Path()))
        GTEST_SKIP() << "no ACLs here";
    int n = 0;
    for (const bool named : {false, true}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.what) + (named ? ", named temporary" : ", unnamed temporary"));
            const TempDir& folder = c.folderDefault ? withDefault : plain;
            const std::string name = "f" + std::to_string(n++);
            if (c.update) {
                WriteFile(folder / name, "old");
                SetAttributes(folder / name, {{"user.tag", "red"}, {"user.own", "mine"}});
            }
            // What any new file of the source's bits gets in that folder.
            const int ref = ::open((folder / (name + ".ref")).c_str(), O_CREAT | O_EXCL | O_WRONLY, 0640);
            ASSERT_GE(ref, 0);
            ::close(ref);
            if (c.folderDefault) {
                ASSERT_TRUE(SetFacl("-n -m u:65534:-,g::r", folder / (name + ".ref")));
            }

            platform::FileSystemTestHooks hooks;
            hooks.noUnnamedTemp = named;
            ScopedTestHooks use(hooks);
            ASSERT_EQ(platform::CopyFile(src / "s", folder / name, !c.update), 0);
            EXPECT_EQ(ReadFile(folder / name), "new");
            EXPECT_EQ(UserAttributes(folder / name), sourceAttributes);
            if (!c.update) {
                EXPECT_EQ(Attribute(folder / name, kAcl), Attribute(folder / (name + ".ref"), kAcl));
                EXPECT_EQ(ModeOf(folder / name), ModeOf(folder / (name + ".ref")));
            }
        }
    }
}

}  // namespace
