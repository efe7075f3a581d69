#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>

#include "TempDir.h"
#include "platform/fs/FileError.h"
#include "platform/fs/ProgramFolder.h"

namespace {

TEST(FileErrorTest, RuntimeCodesAndTexts)
{
    struct Case {
        int error;
        int code;
        const char* text;
    };
    const Case cases[] = {
        {ENOENT, 2, "File not found"},      {ENOTDIR, 3, "Invalid filename"},  {EMFILE, 4, "Too many open files"},
        {ENFILE, 4, "Too many open files"}, {EACCES, 5, "File access denied"}, {EPERM, 5, "File access denied"},
        {EROFS, 5, "File access denied"},   {ENOSPC, 101, "Disk full"},        {EDQUOT, 101, "Disk full"},
        {EIO, EIO, "I/O error 5"},          {EISDIR, EISDIR, "I/O error 21"},
    };
    for (const Case& c : cases) {
        const platform::EInOutError error = platform::EInOutError::FromErrno(c.error);
        EXPECT_EQ(error.ErrorCode(), c.code) << c.error;
        EXPECT_STREQ(error.what(), c.text) << c.error;
    }
}

TEST(FileErrorTest, MissingFolderOfThePathIsAnInvalidFilename)
{
    TempDir dir;
    WriteFile(dir / "file", "x");
    EXPECT_EQ(platform::EInOutError::FromErrnoAtPath(ENOENT, dir / "missing.txt").ErrorCode(), 2);
    EXPECT_EQ(platform::EInOutError::FromErrnoAtPath(ENOENT, dir / "no/missing.txt").ErrorCode(), 3);
    EXPECT_EQ(platform::EInOutError::FromErrnoAtPath(ENOENT, dir / "file/missing.txt").ErrorCode(), 3);
    EXPECT_STREQ(platform::EInOutError::FromErrnoAtPath(ENOENT, dir / "no/x").what(), platform::kInvalidFilenameText);
    EXPECT_EQ(platform::EInOutError::FromErrnoAtPath(ENOSPC, dir / "no/x").ErrorCode(), 101);
}

class ScopedEnv {
public:
    explicit ScopedEnv(const char* name) : m_name(name)
    {
        if (const char* value = std::getenv(name)) {
            m_had = true;
            m_value = value;
        }
    }
    ~ScopedEnv()
    {
        if (m_had)
            setenv(m_name, m_value.c_str(), 1);
        else
            unsetenv(m_name);
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* m_name;
    std::string m_value;
    bool m_had = false;
};

TEST(ProgramFolderTest, FromXdgDataHomeOrHome)
{
    ScopedEnv keepData("XDG_DATA_HOME");
    ScopedEnv keepHome("HOME");
    TempDir home;
    struct Case {
        const char* dataHome;  // null: unset
        std::string expected;
    };
    const Case cases[] = {
        {"/srv/data", "/srv/data/Folderly/"},
        {"/srv/data/", "/srv/data/Folderly/"},
        {"", home.Path() + "/.local/share/Folderly/"},
        {"relative/data", home.Path() + "/.local/share/Folderly/"},
        {nullptr, home.Path() + "/.local/share/Folderly/"},
    };
    setenv("HOME", home.Path().c_str(), 1);
    for (const Case& c : cases) {
        if (c.dataHome)
            setenv("XDG_DATA_HOME", c.dataHome, 1);
        else
            unsetenv("XDG_DATA_HOME");
        EXPECT_EQ(platform::ProgramFolderFromEnvironment(), c.expected) << (c.dataHome ? c.dataHome : "(unset)");
    }
}

}  // namespace
