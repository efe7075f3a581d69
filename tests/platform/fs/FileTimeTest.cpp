#include <gtest/gtest.h>
#include <sys/stat.h>

#include <ctime>

#include "PlatformTestUtil.h"
#include "TempDir.h"
#include "platform/fs/FileSystem.h"

namespace {

TEST(PathTest, JoinsFolderAndName)
{
    EXPECT_EQ(platform::PathOf("/data/Docs", "a.txt"), "/data/Docs/a.txt");
    EXPECT_EQ(platform::PathOf("/data/Docs/", "a.txt"), "/data/Docs//a.txt");
    EXPECT_EQ(platform::PathOf("/", "a.txt"), "//a.txt");
}

TEST(PackedTimeTest, PacksBrokenDownTimes)
{
    struct Case {
        int year, month, day, hour, minute, second;
        std::int32_t packed;
    };
    const Case cases[] = {
        {1980, 1, 1, 0, 0, 0, 0x00210000},
        {2000, 1, 1, 0, 0, 0, 0x28210000},
        {2000, 1, 1, 0, 0, 3, 0x28210001},  // two-second resolution
        {2023, 6, 15, 13, 45, 59, 0x56CF6DBD},
        {2043, 12, 31, 23, 59, 59, 0x7F9FBF7D},
        // From 2044 on the top bit is set: the packed value is negative.
        {2044, 1, 1, 0, 0, 0, static_cast<std::int32_t>(0x80210000u)},
        {2107, 12, 31, 23, 59, 58, static_cast<std::int32_t>(0xFF9FBF7Du)},
        {1979, 12, 31, 23, 59, 59, -1},
        {2108, 1, 1, 0, 0, 0, -1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(platform::PackDateTime(c.year, c.month, c.day, c.hour, c.minute, c.second), c.packed) << c.year;
}

TEST(PackedTimeTest, PacksEpochSecondsInUtcAndClampsToTheRange)
{
    struct Case {
        const char* zone;
        std::int64_t seconds;
        std::int32_t packed;
    };
    const Case cases[] = {
        {"UTC", 315532800, 0x00210000},  // 1980-01-01 00:00:00
        {"UTC", 315532799, 0x00210000},  // a second earlier: the first time there is
        {"UTC", 0, 0x00210000},
        {"UTC", -86400, 0x00210000},
        {"UTC", 946684800, 0x28210000},  // 2000-01-01
        {"XST-2", 946684800, 0x28210000},  // the same, whatever the zone
        {"Europe/Berlin", 1729989000, 0x595B03C0},  // 2024-10-27 00:30 UTC, 02:30 summer time there
        {"Europe/Berlin", 1729991400, 0x595B0940},  // 01:10 UTC, 02:10 winter time there: later all the same
        {"UTC", 2335219200, static_cast<std::int32_t>(0x80210000u)},  // 2044-01-01
        {"UTC", 4354819199, static_cast<std::int32_t>(0xFF9FBF7Du)},  // 2107-12-31 23:59:59
        {"UTC", 4354819200, static_cast<std::int32_t>(0xFF9FBF7Du)},  // 2108-01-01: the last time there is
        {"UTC", 7258118400, static_cast<std::int32_t>(0xFF9FBF7Du)},  // 2200
    };
    for (const Case& c : cases) {
        ScopedTimeZone zone(c.zone);
        EXPECT_EQ(platform::PackUnixTime(c.seconds), c.packed) << c.zone << " " << c.seconds;
    }
}

// The calendar arithmetic agrees with the C library's over the whole packed
// range: leap years, 2000 and 2100, month ends, every time of day.
TEST(PackedTimeTest, AgreesWithTheCalendarOfTheCLibrary)
{
    for (std::int64_t seconds = 315532800; seconds <= 4354819199; seconds += 86399 * 3 + 7) {
        const time_t t = static_cast<time_t>(seconds);
        struct tm utc {};
        ASSERT_NE(gmtime_r(&t, &utc), nullptr);
        ASSERT_EQ(platform::PackUnixTime(seconds),
                  platform::PackDateTime(utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min,
                                         utc.tm_sec))
            << seconds;
    }
}

TEST(FileAgeTest, PackedTimeOrMinusOne)
{
    ScopedTimeZone utc("UTC");
    TempDir dir;
    WriteFile(dir / "file.txt", "x");
    SetMTime(dir / "file.txt", 946684800 + 3);
    WriteFile(dir / "old.txt", "x");
    SetMTime(dir / "old.txt", 100);
    WriteFile(dir / "future.txt", "x");
    SetMTime(dir / "future.txt", 4354819200);
    ASSERT_EQ(mkdir((dir / "folder").c_str(), 0755), 0);

    struct Case {
        std::string path;
        std::int32_t age;
    };
    const Case cases[] = {
        {dir / "file.txt", 0x28210001},
        {dir / "missing.txt", -1},
        {dir / "folder", -1},
        {dir / "old.txt", 0x00210000},  // 1970: an existing file
        {dir / "future.txt", static_cast<std::int32_t>(0xFF9FBF7Du)},  // 2108
        {dir / "file.txt/below", -1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(platform::FileAge(c.path), c.age) << c.path;
        EXPECT_EQ(platform::FileExists(c.path), c.age != -1) << c.path;
    }
}

TEST(FileAgeTest, ReadOnlyTest)
{
    TempDir dir;
    WriteFile(dir / "plain.txt", "x");
    WriteFile(dir / "ro.txt", "x");
    MakeReadOnly(dir / "ro.txt");
    WriteFile(dir / "others-cannot-write.txt", "x");
    ASSERT_EQ(chmod((dir / "others-cannot-write.txt").c_str(), 0600), 0);
    WriteFile(dir / "only-others-write.txt", "x");
    ASSERT_EQ(chmod((dir / "only-others-write.txt").c_str(), 0466), 0);

    EXPECT_FALSE(platform::FileIsReadOnly(dir / "plain.txt"));
    EXPECT_TRUE(platform::FileIsReadOnly(dir / "ro.txt"));
    EXPECT_FALSE(platform::FileIsReadOnly(dir / "others-cannot-write.txt"));
    EXPECT_TRUE(platform::FileIsReadOnly(dir / "only-others-write.txt"));
    EXPECT_TRUE(platform::FileIsReadOnly(dir / "missing.txt"));
    EXPECT_TRUE(platform::FileIsReadOnly(dir / "plain.txt/below"));
}

}  // namespace
