#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <set>
#include <string>

#include "TempDir.h"
#include "platform/fs/DirectorySearch.h"
#include "platform/fs/FileSystem.h"

namespace {

// Lookups from an open folder answer exactly as lookups by whole path.
TEST(FolderLookup, AnswersAsALookupByPath)
{
    TempDir dir;
    const std::string f = dir / "F";
    ::mkdir(f.c_str(), 0755);
    ::mkdir((f + "/sub").c_str(), 0755);
    WriteFile(f + "/file.txt", "x");
    SetMTime(f + "/file.txt", 1650000000);
    WriteFile(f + "/Mixed.TXT", "y");
    ASSERT_EQ(::symlink("file.txt", (f + "/tofile").c_str()), 0);
    ASSERT_EQ(::symlink("sub", (f + "/todir").c_str()), 0);
    ASSERT_EQ(::symlink("nowhere", (f + "/dangling").c_str()), 0);
    WriteFile(dir / "plain", "not a folder");

    const std::string folders[] = {f, f + "/", dir / "missing", dir / "plain"};
    const std::string names[] = {"file.txt", "FILE.TXT", "mixed.txt", "sub", "tofile",
                                 "todir",    "dangling", "absent",    ".",   ".."};
    for (const std::string& folder : folders) {
        const platform::FolderLookup lookup(folder);
        for (const std::string& name : names) {
            SCOPED_TRACE(folder + " | " + name);
            const std::string path = platform::PathOf(folder, name);
            EXPECT_EQ(lookup.FileAge(name), platform::FileAge(path));
            EXPECT_EQ(lookup.FileExists(name), platform::FileExists(path));
        }
    }
}

// The names-only search yields the same names and folder marks as the full one.
TEST(DirectorySearch, NamesOnlyYieldsWhatTheFullSearchYields)
{
    TempDir dir;
    ::mkdir((dir / "sub").c_str(), 0755);
    WriteFile(dir / "a.txt", "1");
    WriteFile(dir / "B.TXT", "2");
    WriteFile(dir / ".hidden", "3");
    ASSERT_EQ(::symlink("a.txt", (dir / "link").c_str()), 0);
    ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0644), 0);
    for (const std::uint32_t attr : {0x20u, 0x3Fu}) {
        for (const char* pattern : {"*.*", "*.txt"}) {
            SCOPED_TRACE(std::to_string(attr) + " " + pattern);
            const auto collect = [&](bool namesOnly) {
                std::set<std::string> seen;
                platform::DirectorySearch search;
                platform::TSearchRec rec;
                const std::string mask = dir / pattern;
                bool more = namesOnly ? search.FindFirstNames(mask, attr, rec) : search.FindFirst(mask, attr, rec);
                while (more) {
                    seen.insert(rec.Name + ((rec.Attr & platform::faDirectory) ? "/" : ""));
                    more = search.FindNext(rec);
                }
                return seen;
            };
            const auto full = collect(false);
            EXPECT_FALSE(full.empty());
            EXPECT_EQ(collect(true), full);
        }
    }
}

}  // namespace
