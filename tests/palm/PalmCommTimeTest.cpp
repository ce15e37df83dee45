#include "palm/PalmComm.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

namespace {

// Runs the body under each time zone, restoring the previous one.
class ZoneGuard {
public:
    explicit ZoneGuard(const char* zone)
    {
        const char* old = std::getenv("TZ");
        m_had = old != nullptr;
        if (old)
            m_old = old;
        setenv("TZ", zone, 1);
        tzset();
    }
    ~ZoneGuard()
    {
        if (m_had)
            setenv("TZ", m_old.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

private:
    bool m_had = false;
    std::string m_old;
};

const char* const kZones[] = {"UTC", "America/New_York", "Asia/Kolkata", "Pacific/Auckland"};

}  // namespace

TEST(PmTimeTest, PartsGiveTheSameTextsInEveryZone)
{
    for (const char* zone : kZones) {
        ZoneGuard guard(zone);
        SCOPED_TRACE(zone);
        PmTime t;
        t.FromParts(2005, 3, 15, 9, 5, 0);
        char date[11], time[9];
        ASSERT_TRUE(t.DateText(date, sizeof date));
        ASSERT_TRUE(t.TimeText(time, sizeof time));
        EXPECT_STREQ(date, "03/15/2005");
        EXPECT_STREQ(time, "09:05:00");
        EXPECT_EQ(t.Year(), 2005);
        EXPECT_EQ(t.Month(), 3);
        EXPECT_EQ(t.Day(), 15);

        t.FromParts(2004, 12, 31, 23, 59, 59);
        ASSERT_TRUE(t.DateText(date, sizeof date));
        EXPECT_STREQ(date, "12/31/2004");
        t.FromParts(2006, 1, 2, 0, 0, 0);
        ASSERT_TRUE(t.DateText(date, sizeof date));
        EXPECT_STREQ(date, "01/02/2006");
    }
}

TEST(PmTimeTest, TheValueDependsOnTheZone)
{
    int32_t utc, ny;
    {
        ZoneGuard guard("UTC");
        PmTime t;
        t.FromParts(2005, 3, 15, 9, 5, 0);
        utc = t.Value();
    }
    {
        ZoneGuard guard("America/New_York");
        PmTime t;
        t.FromParts(2005, 3, 15, 9, 5, 0);
        ny = t.Value();
    }
    EXPECT_EQ(utc, 1110877500);
    EXPECT_EQ(ny - utc, 5 * 3600);
}

TEST(PmTimeTest, CapacitiesOfTheTexts)
{
    PmTime t;
    t.FromParts(2005, 3, 15, 9, 5, 0);
    char buf[16];
    std::memset(buf, 'x', sizeof buf);
    EXPECT_FALSE(t.DateText(buf, 10));
    EXPECT_EQ(buf[0], 0);
    EXPECT_TRUE(t.DateText(buf, 11));
    std::memset(buf, 'x', sizeof buf);
    EXPECT_FALSE(t.TimeText(buf, 8));
    EXPECT_EQ(buf[0], 0);
    EXPECT_TRUE(t.TimeText(buf, 9));
    EXPECT_STREQ(buf, "09:05:00");
    EXPECT_FALSE(t.DateText(nullptr, 11));
    EXPECT_FALSE(t.DateText(buf, 0));
}

TEST(PmTimeTest, ZeroMeansNowOnlyInFromSeconds)
{
    ZoneGuard guard("UTC");
    PmTime stored;
    stored.Set(0);
    EXPECT_EQ(stored.Value(), 0);
    char date[11], time[9];
    ASSERT_TRUE(stored.DateText(date, sizeof date));
    ASSERT_TRUE(stored.TimeText(time, sizeof time));
    EXPECT_STREQ(date, "01/01/1970");
    EXPECT_STREQ(time, "00:00:00");

    int32_t before = static_cast<int32_t>(std::time(nullptr));
    PmTime now;
    now.FromSeconds(0);
    int32_t after = static_cast<int32_t>(std::time(nullptr));
    EXPECT_GE(now.Value(), before);
    EXPECT_LE(now.Value(), after);

    now.FromSeconds(12345);
    EXPECT_EQ(now.Value(), 12345);
}

TEST(PmTimeTest, CalendarTimeRoundTrip)
{
    for (const char* zone : {"UTC", "Europe/Berlin"}) {
        ZoneGuard guard(zone);
        CxSystemTime in{2010, 7, 3, 14, 18, 30, 45, 999};
        PmTime t;
        ASSERT_TRUE(t.FromCalendarTime(&in));
        CxSystemTime out;
        std::memset(&out, 0xFF, sizeof out);
        ASSERT_TRUE(t.ToCalendarTime(&out));
        EXPECT_EQ(out.year, 2010);
        EXPECT_EQ(out.month, 7);
        EXPECT_EQ(out.day, 14);
        EXPECT_EQ(out.hour, 18);
        EXPECT_EQ(out.minute, 30);
        EXPECT_EQ(out.second, 45);
        EXPECT_EQ(out.dayOfWeek, 0);
        EXPECT_EQ(out.milliseconds, 0);
    }
    PmTime t;
    EXPECT_FALSE(t.FromCalendarTime(nullptr));
    EXPECT_FALSE(t.ToCalendarTime(nullptr));
    t.Set(-1);
    CxSystemTime out;
    EXPECT_FALSE(t.ToCalendarTime(&out));
    EXPECT_EQ(out.year, 0);
}
