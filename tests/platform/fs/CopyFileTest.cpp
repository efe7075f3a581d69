#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "PlatformTestUtil.h"
#include "TempDir.h"
#include "platform/fs/CopyFile.h"
#include "platform/fs/FileSystem.h"

namespace {

using Names = std::set<std::string>;

struct stat StatOf(const std::string& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        throw std::runtime_error("cannot stat " + path);
    return st;
}

// The ways content can travel; each must give the same result.
enum class Method { Default, ReadWriteLoop, NamedTemp, SmallPieces };

std::string MethodName(const ::testing::TestParamInfo<Method>& info)
{
    switch (info.param) {
    case Method::Default: return "Default";
    case Method::ReadWriteLoop: return "ReadWriteLoop";
    case Method::NamedTemp: return "NamedTemp";
    case Method::SmallPieces: return "SmallPieces";
    }
    return "Unknown";
}

class CopyFileTest : public ::testing::TestWithParam<Method> {
protected:
    void SetUp() override { Use(Hooks()); }
    void TearDown() override { platform::ClearFileSystemTestHooks(); }

    platform::FileSystemTestHooks Hooks() const
    {
        platform::FileSystemTestHooks hooks;
        hooks.noKernelCopy = GetParam() == Method::ReadWriteLoop;
        hooks.noUnnamedTemp = GetParam() == Method::NamedTemp;
        hooks.pieceSize = GetParam() == Method::SmallPieces ? 4096 : 0;
        return hooks;
    }
    static void Use(const platform::FileSystemTestHooks& hooks)
    {
        if (hooks.beforeWrite || hooks.noKernelCopy || hooks.noUnnamedTemp || hooks.pieceSize)
            platform::SetFileSystemTestHooks(hooks);
        else
            platform::ClearFileSystemTestHooks();
    }

    TempDir m_src;
    TempDir m_dst;
};

TEST_P(CopyFileTest, CarriesContentModeAndNanosecondTimes)
{
    const std::size_t sizes[] = {0, 1, 4095, (1 << 20) + 13};
    const mode_t modes[] = {0640, 0444, 0755};
    const mode_t umaskNow = umask(0);
    umask(umaskNow);
    int n = 0;
    for (std::size_t size : sizes) {
        for (mode_t mode : modes) {
            for (bool overwrite : {false, true}) {
                const std::string name = "f" + std::to_string(n++) + ".bin";
                const std::string content = PatternContent(size, static_cast<char>(n));
                WriteFile(m_src / name, content);
                ASSERT_EQ(chmod((m_src / name).c_str(), mode), 0);
                SetMTime(m_src / name, 1'500'000'000 + n, 123'456'789);
                // A new file gets the bits less the umask; an updated file
                // keeps its own but for the owner's write bit, and grants
                // others no more than the source does.
                mode_t expected = mode & ~umaskNow;
                if (overwrite) {
                    WriteFile(m_dst / name, "the old content, longer than some new ones");
                    ASSERT_EQ(chmod((m_dst / name).c_str(), 0604), 0);
                    expected = (0404 & (mode | 0700)) | (mode & S_IWUSR);
                }

                ASSERT_EQ(platform::CopyFile(m_src / name, m_dst / name, !overwrite), 0) << name;
                const struct stat st = StatOf(m_dst / name);
                EXPECT_EQ(ReadFile(m_dst / name), content) << name;
                EXPECT_EQ(st.st_mode & 07777, expected) << name;
                EXPECT_EQ(st.st_mtim.tv_sec, 1'500'000'000 + n) << name;
                EXPECT_EQ(st.st_mtim.tv_nsec, 123'456'789) << name;
                EXPECT_EQ(st.st_atim.tv_sec, 1'500'000'000 + n) << name;
                EXPECT_EQ(st.st_atim.tv_nsec, 123'456'789) << name;
            }
        }
    }
    // Nothing but the copies: no temporary file stayed behind.
    EXPECT_EQ(ListFolder(m_dst.Path()), ListFolder(m_src.Path()));
}

TEST_P(CopyFileTest, RefusalsAndFailuresLeaveEverythingAsItWas)
{
    struct Case {
        const char* what;
        std::string source;
        std::string destination;
        bool failIfExists;
        int error;
    };
    WriteFile(m_src / "new.txt", "new content");
    WriteFile(m_src / "not-a-folder", "x");
    ASSERT_EQ(mkfifo((m_src / "pipe").c_str(), 0644), 0);
    ASSERT_EQ(mkdir((m_src / "folder").c_str(), 0755), 0);
    WriteFile(m_dst / "ro.txt", "old read-only");
    MakeReadOnly(m_dst / "ro.txt");
    WriteFile(m_dst / "there.txt", "old there");
    WriteFile(m_dst / "Upper.TXT", "old upper");
    ASSERT_EQ(mkdir((m_dst / "Sub").c_str(), 0755), 0);
    ASSERT_EQ(symlink("nowhere", (m_dst / "dangling").c_str()), 0);
    ASSERT_EQ(mkfifo((m_dst / "fifo").c_str(), 0644), 0);

    const Case cases[] = {
        {"read-only destination", m_src / "new.txt", m_dst / "ro.txt", false, EACCES},
        {"read-only, other case", m_src / "new.txt", m_dst / "RO.TXT", false, EACCES},
        {"existing name, no overwrite", m_src / "new.txt", m_dst / "there.txt", true, EEXIST},
        {"namesake in other case, no overwrite", m_src / "new.txt", m_dst / "upper.txt", true, EEXIST},
        {"folder at destination", m_src / "new.txt", m_dst / "Sub", false, EISDIR},
        {"folder at destination, other case", m_src / "new.txt", m_dst / "sub", false, EISDIR},
        {"folder at destination, no overwrite", m_src / "new.txt", m_dst / "Sub", true,
         platform::kCopyDestinationIsFolder},
        {"link that leads nowhere, no overwrite", m_src / "new.txt", m_dst / "dangling", true,
         platform::kCopyDestinationIsBrokenLink},
        {"FIFO at destination", m_src / "new.txt", m_dst / "fifo", false, platform::kCopyDestinationNotAFile},
        {"FIFO at destination, no overwrite", m_src / "new.txt", m_dst / "fifo", true,
         platform::kCopyDestinationNotAFile},
        {"missing destination folder", m_src / "new.txt", m_dst / "nowhere/new.txt", true, ENOENT},
        {"missing destination folder, overwrite", m_src / "new.txt", m_dst / "nowhere/new.txt", false, ENOENT},
        {"destination folder is a file", m_src / "new.txt", (m_src / "not-a-folder") + "/new.txt", false, ENOTDIR},
        {"missing source", m_src / "missing.txt", m_dst / "missing.txt", true, ENOENT},
        {"source is a folder", m_src / "folder", m_dst / "folder", true, EISDIR},
        {"source is a FIFO", m_src / "pipe", m_dst / "pipe", true, platform::kCopySourceNotAFile},
    };
    const Names before = ListFolder(m_dst.Path());
    const Names sourcesBefore = ListFolder(m_src.Path());
    for (const Case& c : cases)
        EXPECT_EQ(platform::CopyFile(c.source, c.destination, c.failIfExists), c.error) << c.what;
    EXPECT_EQ(ListFolder(m_dst.Path()), before);
    EXPECT_EQ(ListFolder(m_src.Path()), sourcesBefore);
    EXPECT_EQ(ReadFile(m_dst / "ro.txt"), "old read-only");
    EXPECT_EQ(StatOf(m_dst / "ro.txt").st_mode & 07777, 0444u);
    EXPECT_EQ(ReadFile(m_dst / "there.txt"), "old there");
    EXPECT_EQ(ReadFile(m_dst / "Upper.TXT"), "old upper");
    EXPECT_EQ(ListFolder(m_dst / "Sub"), Names{});
}

TEST_P(CopyFileTest, FileCopiedOntoItselfStaysIntact)
{
    WriteFile(m_dst / "Self.txt", "my own content");
    SetMTime(m_dst / "Self.txt", 1'600'000'000, 5);
    WriteFile(m_dst / "ro.txt", "read-only content");
    MakeReadOnly(m_dst / "ro.txt");
    ASSERT_EQ(link((m_dst / "Self.txt").c_str(), (m_src / "hardlink.txt").c_str()), 0);
    const ino_t inode = StatOf(m_dst / "Self.txt").st_ino;

    // A read-only file is refused as a destination, also when it is the
    // source itself.
    struct Case {
        std::string source;
        std::string destination;
        int error;
    };
    const Case cases[] = {
        {m_dst / "Self.txt", m_dst / "Self.txt", platform::kCopySameFile},
        {m_dst / "Self.txt", m_dst / "SELF.TXT", platform::kCopySameFile},
        {m_dst / "self.txt", m_dst / "Self.txt", platform::kCopySameFile},
        {m_src / "hardlink.txt", m_dst / "Self.txt", platform::kCopySameFile},
        {m_dst / "ro.txt", m_dst / "ro.txt", EACCES},
        {m_dst / "ro.txt", m_dst / "RO.txt", EACCES},
    };
    for (const Case& c : cases)
        EXPECT_EQ(platform::CopyFile(c.source, c.destination, false), c.error) << c.destination;
    EXPECT_EQ(ReadFile(m_dst / "Self.txt"), "my own content");
    EXPECT_EQ(ReadFile(m_dst / "ro.txt"), "read-only content");
    const struct stat st = StatOf(m_dst / "Self.txt");
    EXPECT_EQ(st.st_ino, inode);
    EXPECT_EQ(st.st_mtim.tv_sec, 1'600'000'000);
    EXPECT_EQ(st.st_mtim.tv_nsec, 5);
    EXPECT_EQ(ListFolder(m_dst.Path()), (Names{"Self.txt", "ro.txt"}));
    // Without overwrite the name is there: refused.
    EXPECT_EQ(platform::CopyFile(m_dst / "Self.txt", m_dst / "Self.txt", true), EEXIST);
}

TEST_P(CopyFileTest, OverwriteReplacesWhateverTheDestinationIsCalled)
{
    WriteFile(m_src / "doc.txt", "new");
    WriteFile(m_src / ".profile", "new profile");
    WriteFile(m_dst / "Doc.TXT", "old");
    WriteFile(m_dst / ".profile", "old profile");
    WriteFile(m_dst / "target.txt", "old target");
    ASSERT_EQ(symlink("target.txt", (m_dst / "link.txt").c_str()), 0);

    // A namesake in other case is replaced under its own name; a hidden
    // file is an ordinary file; a link keeps pointing at its updated file.
    EXPECT_EQ(platform::CopyFile(m_src / "doc.txt", m_dst / "doc.txt", false), 0);
    EXPECT_EQ(platform::CopyFile(m_src / ".profile", m_dst / ".profile", false), 0);
    EXPECT_EQ(platform::CopyFile(m_src / "doc.txt", m_dst / "link.txt", false), 0);

    EXPECT_EQ(ListFolder(m_dst.Path()), (Names{"Doc.TXT", ".profile", "target.txt", "link.txt"}));
    EXPECT_EQ(ReadFile(m_dst / "Doc.TXT"), "new");
    EXPECT_EQ(ReadFile(m_dst / ".profile"), "new profile");
    EXPECT_EQ(ReadFile(m_dst / "target.txt"), "new");
    struct stat st {};
    ASSERT_EQ(lstat((m_dst / "link.txt").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
}

TEST_P(CopyFileTest, NameAppearingDuringCopyIsNotReplaced)
{
    const std::string intruder = m_dst / "racy.txt";
    WriteFile(m_src / "racy.txt", PatternContent(64 * 1024, 'r'));
    platform::FileSystemTestHooks hooks = Hooks();
    hooks.pieceSize = 4096;
    hooks.beforeWrite = [&](std::uint64_t done) {
        if (done == 8192)
            WriteFile(intruder, "came meanwhile");
        return 0;
    };
    Use(hooks);
    EXPECT_EQ(platform::CopyFile(m_src / "racy.txt", intruder, true), EEXIST);
    EXPECT_EQ(ReadFile(intruder), "came meanwhile");
    EXPECT_EQ(ListFolder(m_dst.Path()), Names{"racy.txt"});
}

TEST_P(CopyFileTest, FullDiskLeavesDestinationOldAndNoTemporaryFile)
{
    WriteFile(m_src / "big.bin", PatternContent(512 * 1024, 'b'));
    WriteFile(m_dst / "big.bin", "old big");
    SetMTime(m_dst / "big.bin", 1'400'000'000);
    platform::FileSystemTestHooks hooks = Hooks();
    if (hooks.pieceSize == 0)
        hooks.pieceSize = 64 * 1024;
    hooks.beforeWrite = [](std::uint64_t done) { return done >= 128 * 1024 ? ENOSPC : 0; };
    Use(hooks);

    EXPECT_EQ(platform::CopyFile(m_src / "big.bin", m_dst / "big.bin", false), ENOSPC);
    EXPECT_EQ(platform::CopyFile(m_src / "big.bin", m_dst / "fresh.bin", true), ENOSPC);
    EXPECT_EQ(ReadFile(m_dst / "big.bin"), "old big");
    EXPECT_EQ(MTimeSeconds(m_dst / "big.bin"), 1'400'000'000);
    EXPECT_EQ(ListFolder(m_dst.Path()), Names{"big.bin"});
}

TEST_P(CopyFileTest, ReplacedFileKeepsItsOwnerWhereWeMayGiveIt)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "only root may give a file away";
    WriteFile(m_src / "owned.txt", "new");
    WriteFile(m_dst / "owned.txt", "old");
    ASSERT_EQ(chown((m_dst / "owned.txt").c_str(), 1234, 4321), 0);
    ASSERT_EQ(platform::CopyFile(m_src / "owned.txt", m_dst / "owned.txt", false), 0);
    EXPECT_EQ(StatOf(m_dst / "owned.txt").st_uid, 1234u);
    EXPECT_EQ(StatOf(m_dst / "owned.txt").st_gid, 4321u);
    EXPECT_EQ(ReadFile(m_dst / "owned.txt"), "new");
}

INSTANTIATE_TEST_SUITE_P(Methods, CopyFileTest,
                         ::testing::Values(Method::Default, Method::ReadWriteLoop, Method::NamedTemp,
                                           Method::SmallPieces),
                         MethodName);

}  // namespace
