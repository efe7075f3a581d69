#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "PlatformTestUtil.h"
#include "TempDir.h"
#include "platform/fs/DirectorySearch.h"
#include "platform/fs/FileSystem.h"
#include "platform/fs/KnownFolders.h"

namespace {

using platform::KnownFolder;
using platform::KnownFolders;

const std::vector<std::string> kAsked = {
    "file.txt",
    "FILE.TXT",
    "mixed.txt",
    "Twin.txt",
    "twin.txt",
    "TWIN.TXT",
    "sub",
    "SUB",
    "case.dir",
    "tofile",
    "todir",
    "dangling",
    "pipe",
    ".hidden",
    "absent",
    ".",
    "..",
    "new.txt",
    "NEW.TXT",
    "ro.txt",
    "x.txt",
    "intoA",
    "filler-with-a-long-name-0042",
};

std::string Lookups(KnownFolder& known)
{
    std::string answers;
    for (const std::string& name : kAsked) {
        bool namesake = false;
        const std::int32_t age = known.FileAge(name, &namesake);
        const bool exact = known.MatchElsewhere(name) == platform::NameMatch::Exact;
        answers += name + " " + std::to_string(age) + (namesake ? " namesake" : "") + (exact ? " twin" : "") + "\n";
    }
    return answers;
}

std::string LookupsOnDisk(const std::string& folder)
{
    const platform::FolderLookup disk(folder);
    std::string answers;
    for (const std::string& name : kAsked) {
        bool namesake = false;
        const std::int32_t age = disk.FileAge(name, platform::NameMatch::CaseBlind, &namesake);
        const bool exact = disk.MatchElsewhere(name) == platform::NameMatch::Exact;
        answers += name + " " + std::to_string(age) + (namesake ? " namesake" : "") + (exact ? " twin" : "") + "\n";
    }
    return answers;
}

std::string Entry(const platform::TSearchRec& rec)
{
    return rec.Name + " " + std::to_string(rec.Attr) + " " + std::to_string(rec.Time) + "\n";
}

// What the four kinds of search yield, in order.
std::string Searches(KnownFolders& known, const std::string& folder)
{
    std::string yielded;
    for (const std::uint32_t attr : {0x20u, 0x3Fu}) {
        for (const bool namesOnly : {false, true}) {
            std::string pattern;
            KnownFolder& searched = known.Searched(folder + "/*.*", pattern);
            KnownFolder::Search search(searched, pattern, attr, namesOnly);
            platform::TSearchRec rec;
            while (search.Next(rec))
                yielded += Entry(rec);
            yielded += "--\n";
        }
    }
    return yielded;
}

std::string SearchesOnDisk(const std::string& folder)
{
    std::string yielded;
    for (const std::uint32_t attr : {0x20u, 0x3Fu}) {
        for (const bool namesOnly : {false, true}) {
            platform::DirectorySearch search;
            platform::TSearchRec rec;
            const std::string mask = folder + "/*.*";
            for (bool more = namesOnly ? search.FindFirstNames(mask, attr, rec) : search.FindFirst(mask, attr, rec);
                 more; more = search.FindNext(rec))
                yielded += Entry(rec);
            yielded += "--\n";
        }
    }
    return yielded;
}

// What a pass knows of its folders answers as the disk does: lookups
// (exact, other case, twins, folders, links, a FIFO) and searches, before
// and after copies into them, including copies through a link from another
// folder and through a second text for the same folder. The folders are
// large enough to be read and looked at on two threads.
TEST(KnownFolders, AnswerAsTheDiskBeforeAndAfterCopies)
{
    ScopedTimeZone utc("UTC");
    TempDir dir;
    const std::string a = dir / "A", b = dir / "B";
    ASSERT_EQ(::mkdir(a.c_str(), 0755), 0);
    ASSERT_EQ(::mkdir(b.c_str(), 0755), 0);
    ASSERT_EQ(::mkdir((a + "/sub").c_str(), 0755), 0);
    ASSERT_EQ(::mkdir((a + "/Case.DIR").c_str(), 0755), 0);
    std::int64_t seconds = 1600000000;
    for (const char* name : {"file.txt", "Mixed.TXT", "Twin.txt", "twin.txt", ".hidden", "ro.txt"}) {
        WriteFile(a + "/" + name, name);
        SetMTime(a + "/" + name, seconds += 100);
    }
    MakeReadOnly(a + "/ro.txt");
    ASSERT_EQ(::symlink("file.txt", (a + "/tofile").c_str()), 0);
    ASSERT_EQ(::symlink("sub", (a + "/todir").c_str()), 0);
    ASSERT_EQ(::symlink("nowhere", (a + "/dangling").c_str()), 0);
    ASSERT_EQ(::mkfifo((a + "/pipe").c_str(), 0644), 0);
    // Enough names to be read and looked at on two threads.
    for (int i = 0; i < 2100; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "/filler-with-a-long-name-%04d", i);
        WriteFile(a + name, "f");
    }
    WriteFile(b + "/x.txt", "from B");
    SetMTime(b + "/x.txt", 1700000000);
    ASSERT_EQ(::symlink("../A/file.txt", (b + "/intoA").c_str()), 0);

    KnownFolders known;
    known.ReadPair(a, b, "*.*", 0x3F, false);
    // The same folder under a second text is known on its own, and must be
    // kept right all the same.
    const std::string a2 = a + "/";
    const std::string folders[] = {a, a2, b};
    const auto check = [&](const char* when) {
        SCOPED_TRACE(when);
        for (const std::string& folder : folders) {
            SCOPED_TRACE(folder);
            EXPECT_EQ(Lookups(known.NamesIn(folder)), LookupsOnDisk(folder));
            EXPECT_EQ(Searches(known, folder), SearchesOnDisk(folder));
        }
    };
    check("as read");

    struct Copy {
        std::string source, destination;
        bool failIfExists;
        platform::NameMatch match;
        int error;
    };
    const Copy copies[] = {
        {b + "/x.txt", b + "/intoA", false, platform::NameMatch::CaseBlind, 0},  // writes A/file.txt
        {b + "/x.txt", a2 + "/new.txt", true, platform::NameMatch::CaseBlind, 0},  // a new name
        {b + "/x.txt", a + "/NEW.TXT", true, platform::NameMatch::Exact, 0},  // its twin
        {b + "/x.txt", a + "/mixed.txt", false, platform::NameMatch::CaseBlind, 0},  // over Mixed.TXT
        {b + "/x.txt", a + "/ro.txt", false, platform::NameMatch::CaseBlind, EACCES},  // refused
    };
    for (const Copy& copy : copies)
        EXPECT_EQ(known.CopyFile(copy.source, copy.destination, copy.failIfExists, copy.match), copy.error)
            << copy.destination;
    check("after copies");
}

}  // namespace
