// Runs over names equal but for letter case, times outside the usual range
// or across a clock change, and folder texts that end in '/': cases where a
// careless match would lose the user's newer file.
#include <sys/stat.h>

#include <cstdlib>
#include <map>

#include <gmock/gmock.h>

#include "PlatformTestUtil.h"
#include "RunFixture.h"
#include "platform/FormatText.h"
#include "platform/fs/FileSystem.h"

using namespace RunTexts;
using platform::FormatText;
using ::testing::UnorderedElementsAre;

namespace {

struct Content {
    std::string text;
    long long mtime;
    bool operator==(const Content&) const = default;
};
using FolderContent = std::map<std::string, Content>;

void PrintTo(const Content& file, std::ostream* out)
{
    *out << file.text << "@" << file.mtime;
}

class NamesAndTimes : public RunFixture {
protected:
    void Fill(const std::string& folder, const FolderContent& files)
    {
        for (const auto& [name, file] : files)
            File(folder + "/" + name, file.text, file.mtime);
    }
    static FolderContent Read(const std::string& folder)
    {
        FolderContent result;
        for (const std::string& name : ListFolder(folder))
            result[name] = {ReadFile(folder + "/" + name), MTimeSeconds(folder + "/" + name)};
        return result;
    }
};

TEST_F(NamesAndTimes, CaseTwinsAreEachMatchedByTheirExactNameOnly)
{
    const Content lower{"lower", kMid}, upper{"UPPER", kNew}, mixed{"mixed", kOld}, newest{"newest", kNew + 100};
    struct Case {
        const char* what;
        int mode;  // 0 files mode, 1 folders mode
        FolderContent list1, list2;
        FolderContent after1, after2;
    };
    const Case cases[] = {
        {"folders: twins in List 1 reach List 2 each",
         1,
         {{"x.txt", lower}, {"X.TXT", upper}},
         {},
         {{"x.txt", lower}, {"X.TXT", upper}},
         {{"x.txt", lower}, {"X.TXT", upper}}},
        {"folders: twins in List 2 reach List 1 each",
         1,
         {},
         {{"x.txt", lower}, {"X.TXT", upper}},
         {{"x.txt", lower}, {"X.TXT", upper}},
         {{"x.txt", lower}, {"X.TXT", upper}}},
        {"folders: twins in List 1, one namesake in List 2",
         1,
         {{"x.txt", lower}, {"X.TXT", upper}},
         {{"X.TXT", mixed}},
         {{"x.txt", lower}, {"X.TXT", upper}},
         {{"x.txt", lower}, {"X.TXT", upper}}},
        {"folders: one name in List 1 against twins in List 2",
         1,
         {{"X.txt", mixed}},
         {{"x.txt", lower}, {"X.TXT", upper}},
         {{"X.txt", mixed}, {"x.txt", lower}, {"X.TXT", upper}},
         {{"X.txt", mixed}, {"x.txt", lower}, {"X.TXT", upper}}},
        {"files: twins in List 1, one of them in List 2",
         0,
         {{"x.txt", lower}, {"X.TXT", upper}},
         {{"x.txt", mixed}},
         {{"x.txt", lower}, {"X.TXT", upper}},
         {{"x.txt", lower}}},
        {"files: twins in List 1, a third spelling in List 2",
         0,
         {{"x.txt", lower}, {"X.TXT", upper}},
         {{"X.txt", mixed}},
         {{"x.txt", lower}, {"X.TXT", upper}},
         {{"X.txt", mixed}}},
        {"files: one name against twins in List 2 matches neither",
         0,
         {{"X.txt", newest}},
         {{"x.txt", lower}, {"X.TXT", upper}},
         {{"X.txt", newest}},
         {{"x.txt", lower}, {"X.TXT", upper}}},
        {"files: one name against twins in List 2 takes its exact twin",
         0,
         {{"x.txt", newest}},
         {{"x.txt", lower}, {"X.TXT", upper}},
         {{"x.txt", newest}},
         {{"x.txt", newest}, {"X.TXT", upper}}},
        // Without twins, letter case is still ignored, as the lists expect.
        {"folders: a single namesake is updated",
         1,
         {{"a.TXT", newest}},
         {{"a.txt", mixed}},
         {{"a.TXT", newest}},
         {{"a.txt", newest}}},
        {"files: a single namesake is updated",
         0,
         {{"a.TXT", mixed}},
         {{"a.txt", newest}},
         {{"a.TXT", newest}},
         {{"a.txt", newest}}},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string a = Folder("a" + std::to_string(n) + "/d");
        const std::string b = Folder("b" + std::to_string(n++) + "/d");
        Fill(a, c.list1);
        Fill(b, c.list2);
        FolderList one, two;
        one.Add(a);
        two.Add(b);
        RunSpy h;
        h.mode = c.mode;
        Synchronizer run(state, one, two, h);
        run.Run(h.Mode(), Synchronizer::Scope::All, h.options);
        EXPECT_EQ(Read(a), c.after1);
        EXPECT_EQ(Read(b), c.after2);
        EXPECT_EQ(state.FailFlag, 0);
        for (const RunRecord& record : h.records)
            EXPECT_FALSE(record.Failed()) << record.Line();
        // A second run finds the folders in step.
        if (c.mode == 1) {
            RunSpy again;
            Synchronizer second(state, one, two, again);
            second.Run(Synchronizer::Mode::Folders, Synchronizer::Scope::All, again.options);
            EXPECT_EQ(again.records, Records{});
        }
    }
}

TEST(PackedTimeOrder, LaterIsLaterThrough2107AndMissingIsEarliest)
{
    const std::int32_t y2024 = platform::PackDateTime(2024, 1, 1, 0, 0, 0);
    const std::int32_t y2043 = platform::PackDateTime(2043, 12, 31, 23, 59, 58);
    const std::int32_t y2044 = platform::PackDateTime(2044, 1, 1, 0, 0, 0);
    const std::int32_t y2107 = platform::PackDateTime(2107, 12, 31, 23, 59, 58);
    const std::int32_t y1980 = platform::PackDateTime(1980, 1, 1, 0, 0, 0);
    struct Case {
        std::int32_t a, b;
        int order;
    };
    const Case cases[] = {
        {y2024, y2024, 0},  {y2044, y2024, 1}, {y2024, y2044, -1}, {y2044, y2043, 1}, {y2107, y2044, 1},
        {y1980, y2107, -1}, {-1, y1980, -1},   {y2107, -1, 1},     {-1, -1, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ComparePackedTimes(c.a, c.b), c.order) << std::hex << c.a << " " << c.b;
}

TEST_F(NamesAndTimes, TimesOutsideTheRangeOrAcrossAClockChangeNeverLoseTheLaterFile)
{
    ScopedTimeZone berlin("Europe/Berlin");
    constexpr long long k1975 = 157766400;  // 1975-01-01
    constexpr long long k2020 = 1577836800;  // 2020-01-01
    constexpr long long k2024 = 1704067200;  // 2024-01-01
    constexpr long long k2050 = 2524608000;  // 2050-01-01
    constexpr long long k2200 = 7258118400;  // 2200-01-01
    constexpr long long k2300 = 10413792000;  // 2300-01-01
    // 2024-10-27, the night the clock goes back in Berlin: 00:30 UTC is
    // 02:30 summer time, 01:10 UTC is 02:10 winter time.
    constexpr long long kBeforeChange = 1729989000;
    constexpr long long kAfterChange = 1729991400;
    struct Case {
        const char* what;
        int mode;
        long long time1, time2;
        bool list1Wins;
        // Both beyond one end of the packed range: the line says they were
        // compared in full, the later time first.
        const char* compared = nullptr;
    };
    const std::string y1970 = "1970-01-01 00:00:00 UTC", y1975 = "1975-01-01 00:00:00 UTC";
    const std::string y2200 = "2200-01-01 00:00:00 UTC", y2300 = "2300-01-01 00:00:00 UTC";
    const Case cases[] = {
        {"folders: 2050 beats 2024", 1, k2050, k2024, true},
        {"folders: 2024 loses to 2050", 1, k2024, k2050, false},
        {"files: 2050 beats 2024", 0, k2050, k2024, true},
        {"folders: a 1975 file is updated, not taken for missing", 1, k2020, k1975, true},
        {"files: a 1975 file is updated", 0, k2020, k1975, true},
        {"folders: 2200 beats 2020", 1, k2200, k2020, true},
        {"folders: 2020 loses to 2200", 1, k2020, k2200, false},
        {"folders: the hour the clock repeats", 1, kAfterChange, kBeforeChange, true},
        {"files: the hour the clock repeats", 0, kBeforeChange, kAfterChange, false},
        {"folders: 1975 beats 1970", 1, k1975, 0, true, "1975 over 1970"},
        {"folders: 1970 loses to 1975", 1, 0, k1975, false, "1975 over 1970"},
        {"files: 1970 never replaces 1975", 0, k1975, 0, true, "1975 over 1970"},
        {"files: 2200 never replaces 2300", 0, k2300, k2200, true, "2300 over 2200"},
        {"folders: 2300 beats 2200", 1, k2200, k2300, false, "2300 over 2200"},
        {"files: a second before 1970 loses", 0, -1, 0, false, "1970 over 1969"},
    };
    const std::map<std::string, std::string> notes = {
        {"1975 over 1970", FormatText(kComparedBeyondPackedTimes, {y1975, y1970})},
        {"2300 over 2200", FormatText(kComparedBeyondPackedTimes, {y2300, y2200})},
        {"1970 over 1969", FormatText(kComparedBeyondPackedTimes, {y1970, "1969-12-31 23:59:59 UTC"})},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string a = Folder("a" + std::to_string(n) + "/d");
        const std::string b = Folder("b" + std::to_string(n++) + "/d");
        File(a + "/f.txt", "one", c.time1);
        File(b + "/f.txt", "two", c.time2);
        FolderList one, two;
        one.Add(a);
        two.Add(b);
        RunSpy h;
        h.mode = c.mode;
        Synchronizer run(state, one, two, h);
        run.Run(h.Mode(), Synchronizer::Scope::All, h.options);
        const char* winner = c.list1Wins ? "one" : "two";
        const long long time = c.list1Wins ? c.time1 : c.time2;
        EXPECT_EQ(ReadFile(a + "/f.txt"), winner);
        EXPECT_EQ(ReadFile(b + "/f.txt"), winner);
        EXPECT_EQ(MTimeSeconds(a + "/f.txt"), time);
        EXPECT_EQ(MTimeSeconds(b + "/f.txt"), time);
        const std::string note = c.compared ? notes.at(c.compared) : "";
        EXPECT_EQ(h.records, Records{Updated((c.list1Wins ? b : a) + "/f.txt", note)});
        EXPECT_EQ(state.FailFlag, 0);
    }
}

TEST_F(NamesAndTimes, FolderTextsEndingInSlashPairByTheirLastName)
{
    const std::string photos = Folder("x/photos"), work = Folder("x/work"), photos2 = Folder("y/photos");
    File(photos + "/index.html", "photos", kNew);
    File(work + "/index.html", "work", kOld);
    File(photos2 + "/only.txt", "second photos", kMid);
    list1.Add(photos + "/");
    list1.Add("/");
    list2.Add(work + "/");
    list2.Add(photos2 + "//");
    spy.mode = 1;

    RunByMode(Synchronizer::Scope::All);

    EXPECT_EQ(ReadFile(work + "/index.html"), "work");
    EXPECT_EQ(ListFolder(work), (std::set<std::string>{"index.html"}));
    EXPECT_EQ(ReadFile(photos2 + "/index.html"), "photos");
    EXPECT_EQ(ReadFile(photos + "/only.txt"), "second photos");
    EXPECT_EQ(Recorded().size(), 2u);
    EXPECT_EQ(LastPathComponent("/x/photos/"), "photos");
    EXPECT_EQ(LastPathComponent("/"), "");
}

TEST_F(NamesAndTimes, EntriesThatAreNotFilesAreNeverCopiedAndNamesTheyBlockAreReported)
{
    // With "All Files" a pipe, a link that leads nowhere and a subfolder are
    // yielded but never copied, and an absent List 2 folder (an unplugged
    // drive) is expected. But a file kept out of the other folder by one of
    // them under its name gets a line on every run, as does one paired with
    // a pipe.
    const std::string a = Folder("a/d"), b = Folder("b/d");
    ASSERT_EQ(mkfifo((a + "/pipe").c_str(), 0644), 0);
    ASSERT_EQ(symlink("nowhere", (a + "/dangling").c_str()), 0);
    Folder("a/d/sub");
    ASSERT_EQ(mkfifo((b + "/pipe2").c_str(), 0644), 0);
    ASSERT_EQ(mkfifo((b + "/p.txt").c_str(), 0644), 0);
    File(b + "/dangling", "a file of that name", kOld);
    File(b + "/sub", "a file named like the folder", kOld);
    File(a + "/real.txt", "real", kNew);
    File(a + "/p.txt", "paired with a pipe", kNew);
    list1.Add(a);
    list2.Add(b);
    list2.Add(tmp / "unplugged/d");
    spy.options.SearchAttr = 63;
    // The pipe, later than the file, keeps it out: that is what is said.
    const RunRecord pipe = NotCopied("p.txt", b, b + "/p.txt" + kNotAFile);
    // Folders mode twice (the blocked names are reported again), then files mode.
    bool first = true;
    for (const int mode : {1, 1, 0}) {
        SCOPED_TRACE(mode);
        spy.mode = mode;
        spy.records.clear();
        RunByMode(Synchronizer::Scope::All);
        EXPECT_EQ(state.FailFlag, 1);
        Records records = spy.records;
        // The folder not plugged in is said while it stays away only once.
        const auto away = std::remove(records.begin(), records.end(), NotThere(tmp / "unplugged/d"));
        EXPECT_EQ(records.end() - away, first ? 1 : 0);
        records.erase(away, records.end());
        if (mode == 1) {
            const auto copied = std::remove(records.begin(), records.end(), Copied("real.txt", b));
            EXPECT_EQ(records.end() - copied, first ? 1 : 0);
            records.erase(copied, records.end());
            first = false;
            EXPECT_THAT(records,
                        UnorderedElementsAre(pipe, NotCopied("dangling", a, kBrokenLinkInTheWay),
                                             NotCopied("sub", a, kFolderInTheWay)));
        } else {
            // Files mode, after folders mode made the pair: equal times go from List 2.
            EXPECT_THAT(records, UnorderedElementsAre(Updated(a + "/real.txt"), pipe));
        }
        EXPECT_EQ(ReadFile(b + "/dangling"), "a file of that name");
        EXPECT_FALSE(spy.tally.Complete());
    }
    EXPECT_EQ(ListFolder(a), (std::set<std::string>{"pipe", "dangling", "sub", "real.txt", "p.txt"}));
    EXPECT_EQ(ListFolder(b), (std::set<std::string>{"pipe2", "p.txt", "dangling", "sub", "real.txt"}));
    EXPECT_FALSE(platform::DirectoryExists(tmp / "unplugged"));
}

}  // namespace
