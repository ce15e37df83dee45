#include "misc/CxDateTime.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

CxSystemTime Make(int y, int mo, int d, int h, int mi, int s, int ms = 0, int dow = 0)
{
    CxSystemTime t{};
    t.year = uint16_t(y);
    t.month = uint16_t(mo);
    t.day = uint16_t(d);
    t.hour = uint16_t(h);
    t.minute = uint16_t(mi);
    t.second = uint16_t(s);
    t.milliseconds = uint16_t(ms);
    t.dayOfWeek = uint16_t(dow);
    return t;
}

}  // namespace

TEST(CxDateTime, LayoutIsEightWordsInOrder)
{
    CxSystemTime t = Make(2024, 2, 29, 13, 14, 15, 999, 4);
    uint16_t words[8];
    std::memcpy(words, &t, sizeof words);
    EXPECT_EQ(words[0], 2024);
    EXPECT_EQ(words[1], 2);
    EXPECT_EQ(words[2], 4);
    EXPECT_EQ(words[3], 29);
    EXPECT_EQ(words[4], 13);
    EXPECT_EQ(words[5], 14);
    EXPECT_EQ(words[6], 15);
    EXPECT_EQ(words[7], 999);
}

TEST(CxDateTime, TimeTextNeedsRoomForTerminator)
{
    CxSystemTime t = Make(2020, 1, 1, 9, 5, 7);
    char out[16] = "untouched";
    EXPECT_FALSE(CxTimeText(&t, out, 8));
    EXPECT_STREQ(out, "untouched");
    EXPECT_TRUE(CxTimeText(&t, out, 9));
    EXPECT_STREQ(out, "09:05:07");
    EXPECT_FALSE(CxTimeText(nullptr, out, sizeof out));
    EXPECT_FALSE(CxTimeText(&t, nullptr, sizeof out));
    EXPECT_FALSE(CxTimeText(&t, out, 0));
}

TEST(CxDateTime, ComparesIgnoreDayOfWeekAndMilliseconds)
{
    CxSystemTime a = Make(2021, 6, 15, 10, 30, 0, 0, 1);
    CxSystemTime b = Make(2021, 6, 15, 10, 30, 0, 750, 5);
    EXPECT_EQ(CxCompareDate(&a, &b), 0);
    EXPECT_EQ(CxCompareTime(&a, &b), 0);
    EXPECT_EQ(CxCompareDateTime(&a, &b), 0);
}

TEST(CxDateTime, CompareOrdersFieldByField)
{
    CxSystemTime base = Make(2021, 6, 15, 10, 30, 20);
    // Each later field only counts when the earlier ones are equal.
    EXPECT_EQ(CxCompareDate(&base, &(const CxSystemTime&)Make(2022, 1, 1, 0, 0, 0)), -1);
    EXPECT_EQ(CxCompareDate(&base, &(const CxSystemTime&)Make(2021, 5, 30, 0, 0, 0)), 1);
    EXPECT_EQ(CxCompareDate(&base, &(const CxSystemTime&)Make(2021, 6, 16, 0, 0, 0)), -1);
    EXPECT_EQ(CxCompareTime(&base, &(const CxSystemTime&)Make(1990, 1, 1, 9, 59, 59)), 1);
    EXPECT_EQ(CxCompareTime(&base, &(const CxSystemTime&)Make(1990, 1, 1, 10, 31, 0)), -1);
    EXPECT_EQ(CxCompareTime(&base, &(const CxSystemTime&)Make(1990, 1, 1, 10, 30, 19)), 1);
    // Date-time: the date decides before the time.
    EXPECT_EQ(CxCompareDateTime(&base, &(const CxSystemTime&)Make(2021, 6, 14, 23, 59, 59)), 1);
    EXPECT_EQ(CxCompareDateTime(&base, &(const CxSystemTime&)Make(2021, 6, 15, 10, 30, 21)), -1);
}

TEST(CxDateTime, MissingArguments)
{
    CxSystemTime t = Make(2021, 6, 15, 10, 30, 20);
    EXPECT_EQ(CxCompareDate(nullptr, &t), -1);
    EXPECT_EQ(CxCompareDate(&t, nullptr), 1);
    EXPECT_EQ(CxCompareTime(nullptr, &t), -1);
    EXPECT_EQ(CxCompareTime(&t, nullptr), 1);
    EXPECT_EQ(CxCompareDateTime(nullptr, nullptr), -1);
    EXPECT_EQ(CxCompareDateTime(&t, nullptr), 1);
}
