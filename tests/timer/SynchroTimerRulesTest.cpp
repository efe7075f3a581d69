// The synchro timer: its countdown rules, the interval box's table and the
// run a tick starts.

#include "FakePeriodicTimer.h"
#include "timer/QtPeriodicTimer.h"

#include "options/TimerIntervals.h"
#include "timer/SynchroRuns.h"
#include "timer/SynchroTimerRules.h"
#include <climits>

#include <QtTest/QTest>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

using testing::ElementsAre;
using testing::IsEmpty;

namespace {

class RecordedRuns : public SynchroRuns {
public:
    void FilesAll() override { m_runs.push_back("FilesAll"); }
    void FilesSelected() override { m_runs.push_back("FilesSelected"); }
    void FoldersAll() override { m_runs.push_back("FoldersAll"); }
    void FoldersSelected() override { m_runs.push_back("FoldersSelected"); }
    std::vector<std::string> m_runs;
};

struct CountedTimer {
    CountedTimer()
    {
        timer.SetOnTimer([this] { ++ticks; });
    }
    FakePeriodicTimer timer;
    int ticks = 0;
};

TEST(SynchroTimer, IntervalTable)
{
    const std::pair<int, uint32_t> table[] = {
        {-1, 0},       {0, 180000},   {1, 600000},   {2, 1800000},  {3, 3600000}, {4, 7200000}, {5, 10800000},
        {6, 21600000}, {7, 32400000}, {8, 43200000}, {9, 86400000}, {10, 0},      {-2, 0},      {1000, 0},
    };
    for (const auto& [index, milliseconds] : table) {
        EXPECT_EQ(SynchroTimerRules::IntervalForIndex(index), milliseconds) << index;
        if (milliseconds != 0) {
            EXPECT_EQ(SynchroTimerRules::IndexForInterval(milliseconds), index);
        }
    }
    EXPECT_EQ(SynchroTimerRules::IndexForInterval(60000), -1);
    EXPECT_EQ(SynchroTimerRules::IndexForInterval(0), -1);
    EXPECT_STREQ(TimerIntervals::kCaptions[3], "1 h");
    EXPECT_STREQ(TimerIntervals::kCaptions[9], "24 h");
}

TEST(SynchroTimer, CountdownRules)
{
    struct Step {
        const char* action;
        uint32_t value;
        int ticksAfter;
    };
    struct Case {
        const char* name;
        std::vector<Step> steps;
    };
    // "interval": SetInterval(value); "enable": SetEnabled(value != 0);
    // "advance": let value ms pass. ticksAfter: ticks counted so far.
    const Case cases[] = {
        {"starts off", {{"advance", 1000000, 0}}},
        {"enabled at interval 0", {{"enable", 1, 0}, {"advance", 1000000, 0}}},
        {"interval while disabled", {{"interval", 1000, 0}, {"advance", 5000, 0}}},
        {"one tick per interval",
         {{"interval", 1000, 0}, {"enable", 1, 0}, {"advance", 999, 0}, {"advance", 1, 1}, {"advance", 2500, 3}}},
        {"same interval keeps the countdown",
         {{"interval", 1000, 0}, {"enable", 1, 0}, {"advance", 600, 0}, {"interval", 1000, 0}, {"advance", 400, 1}}},
        {"new interval restarts it",
         {{"interval", 1000, 0},
          {"enable", 1, 0},
          {"advance", 600, 0},
          {"interval", 2000, 0},
          {"advance", 1999, 0},
          {"advance", 1, 1}}},
        {"switching on restarts it",
         {{"interval", 1000, 0},
          {"enable", 1, 0},
          {"advance", 600, 0},
          {"enable", 0, 0},
          {"advance", 5000, 0},
          {"enable", 1, 0},
          {"advance", 999, 0},
          {"advance", 1, 1}}},
        {"enabling again changes nothing",
         {{"interval", 1000, 0}, {"enable", 1, 0}, {"advance", 600, 0}, {"enable", 1, 0}, {"advance", 400, 1}}},
        {"interval 0 stops it while enabled",
         {{"interval", 1000, 0},
          {"enable", 1, 0},
          {"interval", 0, 0},
          {"advance", 5000, 0},
          {"interval", 1000, 0},
          {"advance", 1000, 1}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CountedTimer t;
        for (const Step& step : c.steps) {
            const std::string action = step.action;
            if (action == "interval")
                t.timer.SetInterval(step.value);
            else if (action == "enable")
                t.timer.SetEnabled(step.value != 0);
            else
                t.timer.Advance(step.value);
            EXPECT_EQ(t.ticks, step.ticksAfter) << action << " " << step.value;
        }
    }
}

TEST(SynchroTimer, AChosenIntervalIsTakenOnlyWhenEnableIsChecked)
{
    struct Case {
        bool enableChecked;
        int index;
        uint32_t interval;
        bool restarted;
    };
    const Case cases[] = {
        {true, 3, 3600000, true}, {false, 3, 180000, false},  // the box is disabled; nothing changes
        {true, -1, 0, false},  // no entry: the timer stops but stays enabled
        {true, 0, 180000, false},  // the entry in effect does not restart it
        {true, 12, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.enableChecked << " " << c.index);
        CountedTimer t;
        t.timer.SetInterval(180000);
        t.timer.SetEnabled(true);
        t.timer.Advance(100000);
        const int starts = t.timer.Starts();

        SynchroTimerRules::ChooseInterval(t.timer, c.enableChecked, SynchroTimerRules::IntervalForIndex(c.index));

        EXPECT_EQ(t.timer.Interval(), c.interval);
        EXPECT_TRUE(t.timer.Enabled());
        EXPECT_EQ(t.timer.Starts(), starts + (c.restarted ? 1 : 0));
        t.timer.Advance(86400000);
        if (c.interval == 0) {
            EXPECT_EQ(t.ticks, 0);
        } else {
            EXPECT_GT(t.ticks, 0);
        }
    }
}

TEST(SynchroTimer, TickStartsTheRunOfActionAndMode)
{
    struct Case {
        int action;
        int mode;
        const char* run;  // nullptr: none
    };
    const Case cases[] = {
        {0, 0, "FilesAll"}, {0, 1, "FoldersAll"}, {1, 0, "FilesSelected"}, {1, 1, "FoldersSelected"}, {-1, 0, nullptr},
        {0, -1, nullptr},   {-1, -1, nullptr},    {0, 2, nullptr},         {2, 1, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.action << "," << c.mode);
        RecordedRuns runs;
        SynchroTimerRules::Tick(runs, c.action, c.mode);
        if (c.run) {
            EXPECT_THAT(runs.m_runs, ElementsAre(c.run));
        } else {
            EXPECT_THAT(runs.m_runs, IsEmpty());
        }
    }
}

TEST(SynchroTimer, TicksOfTheTimerStartRuns)
{
    RecordedRuns runs;
    int action = 1;
    int mode = 1;
    FakePeriodicTimer timer;
    // The tick reads the choices as they are at that moment.
    timer.SetOnTimer([&] { SynchroTimerRules::Tick(runs, action, mode); });
    SynchroTimerRules::ChooseInterval(timer, true, SynchroTimerRules::IntervalForIndex(0));
    timer.SetEnabled(true);
    timer.Advance(180000);
    mode = 0;
    timer.Advance(180000);
    EXPECT_THAT(runs.m_runs, ElementsAre("FoldersSelected", "FilesSelected"));
}

TEST(SynchroTimer, QtTimerKeepsTheRules)
{
    QtPeriodicTimer timer;
    int ticks = 0;
    timer.SetOnTimer([&] { ++ticks; });
    timer.SetInterval(10);
    QTest::qWait(40);
    EXPECT_EQ(ticks, 0) << "disabled";

    timer.SetEnabled(true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return ticks >= 1; }, 3000));

    timer.SetInterval(0);
    const int stopped = ticks;
    QTest::qWait(40);
    EXPECT_EQ(ticks, stopped) << "interval 0";

    // An interval beyond what a QTimer takes still does not tick at once.
    timer.SetInterval(0xFFFFFFFFu);
    QTest::qWait(40);
    EXPECT_EQ(ticks, stopped);
    EXPECT_TRUE(timer.Running());
}

TEST(SynchroTimer, QtTimerTicksAtMostOnceASecondAndKeepsTheStoredInterval)
{
    struct Case {
        uint32_t interval;
        int countdown;
    };
    const Case cases[] = {{1, 1000}, {999, 1000}, {1000, 1000}, {60000, 60000}, {0xFFFFFFFFu, INT_MAX}};
    for (const Case& c : cases) {
        QtPeriodicTimer timer;
        timer.SetEnabled(true);
        timer.SetInterval(c.interval);
        EXPECT_EQ(timer.Countdown(), c.countdown) << c.interval;
        EXPECT_EQ(timer.Interval(), c.interval);
    }
}

}  // namespace
