#include "update/updatekeys.h"

#include "testenv.h"

#include <wx/config.h>
#include <wx/datetime.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <ostream>
#include <string>

namespace
{

// The keys are spelled out rather than taken from the program, so that a renamed key, which
// would orphan every user's stored state, fails here.
const char* const KEY_CHECK = "/updates/CCheckForUpdates";
const char* const KEY_LAST = "/updates/LastUpdate";
const char* const KEY_PERIOD = "/updates/UpdatePeriodicity";
const char* const KEY_ERRORS = "/updates/ErrorCount";
const char* const KEY_NUMBER = "/updates/UpdateNumber";

const long HOUR = 60 * 60;
const long DAY = 24 * HOUR;

// Sets the local time zone while it lives. Local midnights are 24 hours apart only where the
// clocks never change, so every due test runs in a zone of its choosing.
class ScopedTimeZone
{
public:
    explicit ScopedTimeZone(const std::string& zone)
    {
        const char* previous = std::getenv("TZ");
        m_hadZone = previous != nullptr;
        if ( m_hadZone )
            m_previous = previous;
        setenv("TZ", zone.c_str(), 1);
        tzset();
    }

    ~ScopedTimeZone()
    {
        if ( m_hadZone )
            setenv("TZ", m_previous.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

    ScopedTimeZone(const ScopedTimeZone&) = delete;
    ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

private:
    bool m_hadZone = false;
    std::string m_previous;
};

// Local midnight `days` calendar days before today (after it when negative), as stored.
long MidnightDaysAgo(int days)
{
    return static_cast<long>((wxDateTime::Today() - wxDateSpan::Days(days)).GetTicks());
}

long Today()
{
    return static_cast<long>(wxDateTime::Today().GetTicks());
}

// The day number that a POSIX zone rule of the form "Jn" uses for the day `days` from today:
// 1 to 365 in every year, February 29 having none, so that day is moved to March 1.
std::string RuleDay(int days)
{
    wxDateTime day = wxDateTime::Today() + wxDateSpan::Days(days);
    if ( day.GetMonth() == wxDateTime::Feb && day.GetDay() == 29 )
        day += wxDateSpan::Day();
    return std::to_string(wxDateTime(day.GetDay(), day.GetMonth(), 2001).GetDayOfYear());
}

// A zone an hour east of UTC whose clocks go forward an hour at 02:00 on one day and back on
// another, both counted in days from today: real zones change on fixed dates, which would let
// these tests cover one direction or none, depending on when they run.
std::string ZoneWithChanges(int forwardDay, int backDay)
{
    return "XST-1XDT,J" + RuleDay(forwardDay) + ",J" + RuleDay(backDay);
}

wxConfigBase* Config()
{
    return wxConfigBase::Get();
}

class UpdateDue : public ProjectTest
{
protected:
    ScopedTimeZone m_zone{"UTC0"};
};

TEST_F(UpdateDue, FirstStartOnlyStampsTheDay)
{
    Config()->Write(KEY_ERRORS, 2L);

    EXPECT_FALSE(IsUpdateCheckDue(true, 30));

    EXPECT_EQ(Config()->ReadLong(KEY_LAST, 0), Today());
    EXPECT_EQ(Config()->ReadLong(KEY_NUMBER, -1), 1);
    EXPECT_EQ(Config()->ReadLong(KEY_ERRORS, -1), 0);
}

TEST_F(UpdateDue, StampOfZeroCountsAsFirstStart)
{
    Config()->Write(KEY_LAST, 0L);
    Config()->Write(KEY_NUMBER, 4L);

    EXPECT_FALSE(IsUpdateCheckDue(true, 30));

    EXPECT_EQ(Config()->ReadLong(KEY_LAST, 0), Today());
    EXPECT_EQ(Config()->ReadLong(KEY_NUMBER, -1), 5);
}

TEST_F(UpdateDue, SwitchedOffIsNeverDue)
{
    Config()->Write(KEY_CHECK, false);
    Config()->Write(KEY_LAST, MidnightDaysAgo(400));

    EXPECT_FALSE(IsUpdateCheckDue(true, 30));
}

TEST_F(UpdateDue, SwitchedOffFirstStartWritesNoStamp)
{
    Config()->Write(KEY_CHECK, false);

    EXPECT_FALSE(IsUpdateCheckDue(true, 30));

    EXPECT_FALSE(Config()->HasEntry(KEY_LAST));
    EXPECT_FALSE(Config()->HasEntry(KEY_NUMBER));
}

TEST_F(UpdateDue, CallersSwitchAppliesOnlyWhileNoneIsStored)
{
    Config()->Write(KEY_LAST, MidnightDaysAgo(400));
    EXPECT_FALSE(IsUpdateCheckDue(false, 30));

    Config()->Write(KEY_CHECK, true);
    EXPECT_TRUE(IsUpdateCheckDue(false, 30));
}

TEST_F(UpdateDue, PeriodAcrossChangeToSummerTimeEndsADayLater)
{
    ScopedTimeZone zone(ZoneWithChanges(-10, 100));
    const long thirtyDaysAgo = MidnightDaysAgo(30);
    // Without the lost hour this test would prove nothing.
    ASSERT_EQ(Today() - thirtyDaysAgo, 30 * DAY - HOUR);

    Config()->Write(KEY_LAST, thirtyDaysAgo);
    EXPECT_FALSE(IsUpdateCheckDue(true, 30));

    Config()->Write(KEY_LAST, MidnightDaysAgo(31));
    EXPECT_TRUE(IsUpdateCheckDue(true, 30));
}

TEST_F(UpdateDue, PeriodAcrossChangeBackToWinterTimeEndsOnTheThirtiethDay)
{
    ScopedTimeZone zone(ZoneWithChanges(-100, -10));
    const long twentyNineDaysAgo = MidnightDaysAgo(29);
    // Without the gained hour this test would prove nothing.
    ASSERT_EQ(Today() - twentyNineDaysAgo, 29 * DAY + HOUR);

    Config()->Write(KEY_LAST, twentyNineDaysAgo);
    EXPECT_FALSE(IsUpdateCheckDue(true, 30));

    Config()->Write(KEY_LAST, MidnightDaysAgo(30));
    EXPECT_TRUE(IsUpdateCheckDue(true, 30));
}

// No stored period: the caller's default applies.
const long NO_PERIOD = -1000;

struct DueCase
{
    const char* name;
    int lastDaysAgo;
    long storedPeriod;
    long defaultPeriod;
    bool due;
};

// Failures name the case instead of dumping its bytes.
void PrintTo(const DueCase& c, std::ostream* os)
{
    *os << c.name;
}

class UpdateDuePeriod : public UpdateDue, public ::testing::WithParamInterface<DueCase>
{
};

TEST_P(UpdateDuePeriod, IsDueOnceThePeriodHasPassed)
{
    const DueCase& c = GetParam();
    const long last = MidnightDaysAgo(c.lastDaysAgo);
    Config()->Write(KEY_LAST, last);
    if ( c.storedPeriod != NO_PERIOD )
        Config()->Write(KEY_PERIOD, c.storedPeriod);

    EXPECT_EQ(IsUpdateCheckDue(true, c.defaultPeriod), c.due);

    // Only a check stamps the day; a due test that did would put the check off forever.
    EXPECT_EQ(Config()->ReadLong(KEY_LAST, 0), last);
    EXPECT_FALSE(Config()->HasEntry(KEY_NUMBER));
}

INSTANTIATE_TEST_SUITE_P(
    , UpdateDuePeriod,
    ::testing::Values(
        DueCase{"SameDayIsNotDue", 0, NO_PERIOD, 30, false},
        DueCase{"TwentyNineDaysIsNotDue", 29, NO_PERIOD, 30, false},
        DueCase{"ThirtyDaysIsDue", 30, NO_PERIOD, 30, true},
        DueCase{"LongAgoIsDue", 400, NO_PERIOD, 30, true},
        DueCase{"CallersDefaultPeriodApplies", 10, NO_PERIOD, 10, true},
        DueCase{"WeeklyPeriodIsNotDueAfterSixDays", 6, 7, 30, false},
        DueCase{"WeeklyPeriodIsDueAfterSevenDays", 7, 7, 30, true},
        DueCase{"ZeroPeriodIsDueOnTheSameDay", 0, 0, 30, true},
        DueCase{"NegativePeriodIsDueOnTheSameDay", 0, -3, 30, true},
        // A stamp after today was made with a clock that was fast.
        DueCase{"StampInTheFutureIsDue", -1, NO_PERIOD, 30, true},
        DueCase{"StampYearsInTheFutureIsDue", -5 * 365, 30, 30, true}),
    [](const ::testing::TestParamInfo<DueCase>& info) { return info.param.name; });

class UpdateKeys : public ProjectTest
{
};

TEST_F(UpdateKeys, AbsentKeysReadAsTheirDefaults)
{
    EXPECT_TRUE(ReadCheckForUpdates(true));
    EXPECT_FALSE(ReadCheckForUpdates(false));
    EXPECT_EQ(ReadUpdatePeriodicity(30), 30);
    EXPECT_EQ(ReadErrorCount(), 0);
    EXPECT_EQ(ReadUpdateNumber(), 0);
}

TEST_F(UpdateKeys, RecordingACheckStampsTodayCountsItAndClearsErrors)
{
    Config()->Write(KEY_LAST, MidnightDaysAgo(100));
    Config()->Write(KEY_NUMBER, 4L);
    Config()->Write(KEY_ERRORS, 2L);

    RecordUpdateCheck();

    EXPECT_EQ(Config()->ReadLong(KEY_LAST, 0), Today());
    EXPECT_EQ(Config()->ReadLong(KEY_NUMBER, -1), 5);
    EXPECT_EQ(Config()->ReadLong(KEY_ERRORS, -1), 0);
}

TEST_F(UpdateKeys, ValuesAreKeptInTheUpdatesGroupOfTheFile)
{
    WriteCheckForUpdates(false);
    WriteErrorCount(2);
    WriteUpdateNumber(7);

    ReopenConfig();

    const std::string file = ReadBytes(GetConfigPath());
    EXPECT_NE(file.find("[updates]"), std::string::npos) << file;
    EXPECT_NE(file.find("CCheckForUpdates=0"), std::string::npos) << file;
    EXPECT_NE(file.find("ErrorCount=2"), std::string::npos) << file;
    EXPECT_NE(file.find("UpdateNumber=7"), std::string::npos) << file;
    EXPECT_FALSE(ReadCheckForUpdates(true));
    EXPECT_EQ(ReadErrorCount(), 2);
    EXPECT_EQ(ReadUpdateNumber(), 7);
}

TEST_F(UpdateKeys, PeriodSetByHandInTheFileIsRead)
{
    ReopenConfig();
    WriteBytes(GetConfigPath(), "[updates]\nUpdatePeriodicity=7\n");
    ReopenConfig();

    EXPECT_EQ(ReadUpdatePeriodicity(30), 7);
}

} // anonymous namespace
