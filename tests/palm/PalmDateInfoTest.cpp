#include "PalmInfoTestEnv.h"

#include "palm/PalmComm.h"
#include "palm/PalmDateInfo.h"
#include "palmfixture/FixtureClassic.h"
#include "palmfixture/FixtureEx2.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using infotest::PalmInstall;

namespace {

int32_t At(int y, int mo, int d, int h = 0, int mi = 0)
{
    PmTime t;
    t.FromParts(y, mo, d, h, mi, 0);
    return t.Value();
}

PmDateRecord ClassicItem(int32_t id, const std::string& text, int32_t start, int32_t status = 0)
{
    PmDateRecord r;
    r.RecordID = id;
    r.Status = status;
    r.Placement = id;
    r.StartTime = start;
    r.EndTime = start + 3600;
    r.Description = text;
    return r;
}

PmDateEx2Record Ex2Item(int32_t id, const std::string& text, int32_t start, const char* rule = "")
{
    PmDateEx2Record r{};
    r.RecordID = id;
    r.Placement = id;
    r.StartTime = start;
    r.EndTime = start + 1800;
    r.StartTimeText.Set(std::to_string(r.StartTime));
    r.EndTimeText.Set(std::to_string(r.EndTime));
    r.Summary.Set(text.c_str());
    r.RepeatedEvent.Set(rule);
    return r;
}

std::string WriteClassic(const PalmInstall& env, const std::vector<PmDateRecord>& recs)
{
    return infotest::WriteClassicWith(palmfix::WriteClassicDate, env.UserFile("datebook\\datebook.dat"),
                                      {{1, "Business"}}, recs);
}

std::string WriteEx2(const PalmInstall& env, const std::vector<PmDateEx2Record>& recs)
{
    return infotest::WriteEx2With(palmfix::WriteDateBookMdb, env, 2, {{1, "Business"}}, recs);
}

void ExpectTime(const CxSystemTime& t, int y, int mo, int d, int h, int mi)
{
    EXPECT_EQ(t.year, y);
    EXPECT_EQ(t.month, mo);
    EXPECT_EQ(t.day, d);
    EXPECT_EQ(t.hour, h);
    EXPECT_EQ(t.minute, mi);
    EXPECT_EQ(t.second, 0);
    EXPECT_EQ(t.dayOfWeek, 0);
    EXPECT_EQ(t.milliseconds, 0);
}

}  // namespace

TEST(PalmDateInfoTest, GenerationHasNoNone)
{
    EXPECT_EQ(PmDateInfo(30000).ChosenGeneration(), 1);
    EXPECT_EQ(PmDateInfo(0).ChosenGeneration(), 1);
    EXPECT_EQ(PmDateInfo(30499).ChosenGeneration(), 1);
    EXPECT_EQ(PmDateInfo(40101).ChosenGeneration(), 1);
    EXPECT_EQ(PmDateInfo(40102).ChosenGeneration(), 2);
    EXPECT_EQ(PmDateInfo(60000).ChosenGeneration(), 3);
    EXPECT_EQ(PmDateInfo(0xFFFFFFFFu).ChosenGeneration(), 3);
}

TEST(PalmDateInfoTest, ClassicItemsWithTheirRecurrence)
{
    PalmInstall env(3, 0, 0);
    int32_t start = At(2018, 12, 25, 9, 30);
    PmDateRecord weekly = ClassicItem(1, std::string(400, 'w'), start);
    weekly.Repeat.Class = 2;
    weekly.Repeat.Interval = 2;
    weekly.Repeat.DaysMask = 0x2A;
    weekly.Repeat.DayIndex = 3;
    weekly.Repeat.EndDate = At(2019, 6, 30);
    weekly.AlarmSet = 1;
    weekly.AlarmAdvance = 3;
    weekly.AlarmUnit = 2;
    weekly.Untimed = 1;
    weekly.Note = "bring the caf\xE9 list";
    PmDateRecord yearly = ClassicItem(2, "Christmas", start);
    yearly.Repeat.Class = 5;
    yearly.Repeat.Interval = 1;
    yearly.Repeat.DayNumber = 25;
    yearly.Repeat.Month = 11;
    yearly.Repeat.EndDate = At(2031, 12, 31);
    // Advance and unit are shown only with an alarm.
    yearly.AlarmSet = 0;
    yearly.AlarmAdvance = 5;
    yearly.AlarmUnit = 1;
    PmDateRecord dayOfYear = ClassicItem(3, "day of year", start);
    dayOfYear.Repeat.Class = 6;
    dayOfYear.Repeat.Interval = 1;
    PmDateRecord monthly = ClassicItem(4, "monthly", start);
    monthly.Repeat.Class = 3;
    monthly.Repeat.Interval = 1;
    monthly.Repeat.DayIndex = 2;
    monthly.Repeat.WeekIndex = 3;
    monthly.AlarmSet = 1;
    monthly.AlarmUnit = 7;
    PmDateRecord gone = ClassicItem(5, "deleted", start, 0x80);
    WriteClassic(env, {weekly, yearly, dayOfYear, monthly, gone});

    PmDateInfo info;
    ASSERT_EQ(info.ChosenGeneration(), 1);
    ASSERT_TRUE(info.LoadByUser(int32_t(env.UserId())));
    CommDateMgr* mgr = info.GetCommMgr();
    ASSERT_EQ(mgr->Count(), 4u);

    CommDate* w = mgr->GetAt(0);
    EXPECT_EQ(w->Description.View(), std::string(255, 'w'));
    EXPECT_EQ(w->AllDayEvent, 1);
    ExpectTime(w->StartTime, 2018, 12, 25, 9, 30);
    ExpectTime(w->EndTime, 2018, 12, 25, 10, 30);
    EXPECT_STREQ(w->Note.c_str(), "bring the caf\xE9 list");
    EXPECT_TRUE(w->Location.Empty());
    EXPECT_EQ(w->Repeat.RepeatType, 2);
    EXPECT_EQ(w->Repeat.Interval, 2);
    EXPECT_EQ(w->Repeat.DayMask, 0x2A);
    EXPECT_EQ(w->Repeat.Instance, 1);
    EXPECT_EQ(w->Repeat.HasEndDate, 1);
    ExpectTime(w->Repeat.RepeatEnd, 2019, 6, 30, 0, 0);
    EXPECT_EQ(w->Repeat.RepeatStart.year, 0);
    EXPECT_EQ(w->Alarm, 1);
    EXPECT_EQ(w->AlarmSet, 1);
    EXPECT_EQ(w->AlarmAdvance, 3);
    EXPECT_EQ(w->AlarmUnit, 3);
    EXPECT_EQ(w->Trailer.SourceType, 1);

    CommDate* y = mgr->GetAt(1);
    EXPECT_EQ(y->Repeat.RepeatType, 6);
    EXPECT_EQ(y->Repeat.DayOfMonth, 25);
    EXPECT_EQ(y->Repeat.MonthOfYear, 12);
    EXPECT_EQ(y->Repeat.HasEndDate, 0);
    EXPECT_EQ(y->Repeat.RepeatEnd.year, 2031);
    EXPECT_EQ(y->Alarm, 0);
    EXPECT_EQ(y->AlarmAdvance, 0);
    EXPECT_EQ(y->AlarmUnit, 0);
    EXPECT_EQ(y->AllDayEvent, 0);

    CommDate* d = mgr->GetAt(2);
    EXPECT_EQ(d->Repeat.RepeatType, 0);
    EXPECT_EQ(d->Repeat.Interval, 0);

    CommDate* m = mgr->GetAt(3);
    EXPECT_EQ(m->Repeat.RepeatType, 3);
    EXPECT_EQ(m->Repeat.DayMask, 2);
    EXPECT_EQ(m->Repeat.Instance, 3);
    EXPECT_EQ(m->AlarmUnit, 1);  // an unknown stored unit reads as minutes
}

TEST(PalmDateInfoTest, Ex2ItemsWithTheirRecurrence)
{
    PalmInstall env(6, 0, 0);
    int32_t start = At(2020, 12, 25, 18, 0);
    PmDateEx2Record weekly = Ex2Item(1, "Choir", start, "W2 MO WE FR 20190630T000000Z");
    weekly.Location.Set("St. Mary's");
    weekly.Alarm = 1;
    weekly.AlarmAdvance = 3;
    weekly.AlarmUnit = 2;
    PmDateEx2Record yearly = Ex2Item(2, "Christmas dinner", start, "YM1 12 #0");
    yearly.Untimed = 1;
    PmDateEx2Record daily = Ex2Item(3, "Walk", start, "D1 #0");
    PmDateEx2Record gone = Ex2Item(4, "gone", start, "");
    gone.Status = 0x04;
    WriteEx2(env, {weekly, yearly, daily, gone});

    PmDateInfo info(0xFFFFFFFFu);
    ASSERT_TRUE(info.LoadByUser(int32_t(env.UserId())));
    CommDateMgr* mgr = info.GetCommMgr();
    ASSERT_EQ(mgr->Count(), 3u);
    CommDate* w = mgr->GetAt(0);
    EXPECT_STREQ(w->Description.c_str(), "Choir");
    EXPECT_STREQ(w->Location.c_str(), "St. Mary's");
    ExpectTime(w->StartTime, 2020, 12, 25, 18, 0);
    EXPECT_EQ(w->Repeat.RepeatType, 2);
    EXPECT_EQ(w->Repeat.Interval, 2);
    EXPECT_EQ(w->Repeat.DayMask, 0x2A);
    EXPECT_EQ(w->Repeat.Instance, 1);
    EXPECT_EQ(w->Repeat.HasEndDate, 1);
    ExpectTime(w->Repeat.RepeatEnd, 2019, 6, 30, 0, 0);
    EXPECT_EQ(w->Alarm, 1);
    EXPECT_EQ(w->AlarmAdvance, 3);
    EXPECT_EQ(w->AlarmUnit, 3);

    CommDate* y = mgr->GetAt(1);
    EXPECT_EQ(y->Repeat.RepeatType, 6);
    EXPECT_EQ(y->Repeat.DayOfMonth, 25);
    EXPECT_EQ(y->Repeat.MonthOfYear, 12);
    // "#0" is stored as the end 0x749DCEFF, which lies in 2031.
    EXPECT_EQ(y->Repeat.HasEndDate, 0);
    EXPECT_EQ(y->AllDayEvent, 1);
    EXPECT_EQ(mgr->GetAt(2)->Repeat.RepeatType, 1);

    env.ClearLog();
    EXPECT_TRUE(info.Save());
    EXPECT_EQ(env.Log(), "");
}

TEST(PalmDateInfoTest, FailedLoadAndSaveOfNothing)
{
    PalmInstall env(4, 1, 0);
    PmDateInfo info;
    env.ClearLog();
    // No datebook.dat at all.
    EXPECT_FALSE(info.LoadByUser(int32_t(env.UserId())));
    EXPECT_TRUE(env.LogHas("Failed to open Palm Desktop Calendar database by User: " +
                           std::to_string(int32_t(env.UserId()))));
    EXPECT_EQ(info.GetCommMgr()->Count(), 0u);
    EXPECT_FALSE(info.Save());
    EXPECT_TRUE(env.LogHas("Unknown Palm Desktop version."));
}

TEST(PalmDateInfoTest, ClassicDeletionRoundTrip)
{
    PalmInstall env(4, 1, 0);
    int32_t start = At(2019, 3, 1, 8, 0);
    std::string path = WriteClassic(env, {ClassicItem(1, "Standup", start), ClassicItem(2, "Standup", start),
                                          ClassicItem(3, "Standup", start)});
    std::string original = infotest::ReadBytes(path);
    PmDateInfo info;
    ASSERT_TRUE(info.LoadByUser(int32_t(env.UserId())));
    CommDateMgr* mgr = info.GetCommMgr();
    ASSERT_EQ(mgr->Count(), 3u);
    ASSERT_TRUE(info.DeleteRecord(mgr->GetAt(0)));
    ASSERT_TRUE(info.DeleteRecord(mgr->GetAt(1)));
    EXPECT_EQ(infotest::ReadBytes(path), original);
    ASSERT_TRUE(info.Save());
    ASSERT_NO_FATAL_FAILURE(infotest::ExpectOnlyDeletionMarks(original, path, 2));
    PmDateInfo again;
    ASSERT_TRUE(again.LoadByUser(int32_t(env.UserId())));
    ASSERT_EQ(again.GetCommMgr()->Count(), 1u);
    EXPECT_EQ(static_cast<PmDateSource*>(again.GetCommMgr()->GetAt(0)->Trailer.NativeCopy)->Classic->RecordID, 3);
}

TEST(PalmDateInfoTest, Ex2DeletionRoundTrip)
{
    PalmInstall env(6, 0, 0);
    int32_t start = At(2021, 5, 4, 12, 0);
    std::string path = WriteEx2(env, {Ex2Item(1, "Lunch at Jo's", start, "W1 TU #0"),
                                      Ex2Item(2, "Lunch at Jo's", start, "W1 TU #0"),
                                      Ex2Item(3, "Lunch at Jo's", start, "W1 TU #0")});
    auto before = palmfix::Ex2DumpTable(path, "Main");
    PmDateInfo info;
    ASSERT_TRUE(info.LoadByUser(int32_t(env.UserId())));
    CommDateMgr* mgr = info.GetCommMgr();
    ASSERT_EQ(mgr->Count(), 3u);
    EXPECT_TRUE(info.DeleteRecord(mgr->GetAt(0)));
    EXPECT_TRUE(info.DeleteRecord(mgr->GetAt(1)));
    // The rows change together, when Save commits them.
    EXPECT_EQ(palmfix::Ex2DumpTable(path, "Main"), before);
    ASSERT_TRUE(info.Save());
    auto after = palmfix::Ex2DumpTable(path, "Main");
    ASSERT_EQ(after.size(), 3u);
    infotest::ExpectOnlyStatusChanged(before, after, 2);
    PmDateInfo again;
    ASSERT_TRUE(again.LoadByUser(int32_t(env.UserId())));
    ASSERT_EQ(again.GetCommMgr()->Count(), 1u);
    EXPECT_EQ(static_cast<PmDateSource*>(again.GetCommMgr()->GetAt(0)->Trailer.NativeCopy)->Ex2->RecordID, 3);
}

namespace {

PmDateExRecord ExItem(uint32_t id, const char* text, int32_t start, uint32_t status = 0)
{
    PmDateExRecord r;
    r.RecordID = id;
    r.Status = status;
    r.Placement = id;
    r.StartTime = uint32_t(start);
    r.EndTime = uint32_t(start + 5400);
    r.Summary.Set(text);
    return r;
}

}  // namespace

TEST(PalmDateInfoTest, ExItemsAndTheirDeletion)
{
    PalmInstall env(4, 1, 2);
    int32_t start = At(2022, 12, 25, 19, 15);
    PmDateExRecord yearly = ExItem(1, "Christmas", start);
    yearly.Repeat.Class = 5;
    yearly.Repeat.Interval = 1;
    yearly.Repeat.DayNumber = 25;
    yearly.Repeat.Month = 11;
    yearly.Repeat.EndDate = uint32_t(At(2031, 12, 31));
    yearly.Repeat.Exceptions = {uint32_t(At(2023, 12, 25))};
    yearly.Alarm = 1;
    yearly.AlarmAdvance = 3;
    yearly.AlarmUnit = 2;
    yearly.Location.Set("Grandma's");
    yearly.Untimed = 1;
    PmDateExRecord weekly = ExItem(2, "Christmas", start);
    weekly.Repeat.Class = 2;
    weekly.Repeat.Interval = 2;
    weekly.Repeat.DaysMask = 0x2A;
    weekly.Repeat.EndDate = uint32_t(At(2019, 1, 31));
    PmDateExRecord byDay = ExItem(3, "Christmas", start);
    byDay.Repeat.Class = 6;
    byDay.Repeat.Interval = 1;
    std::string path = env.UserFile("datebook\\datebook.dat");
    ASSERT_TRUE(infotest::WriteEx(
        path, {yearly, weekly, ExItem(4, "gone", start, 0x04), byDay}));
    std::string original = infotest::ReadBytes(path);

    PmDateInfo info;
    ASSERT_EQ(info.ChosenGeneration(), 2);
    ASSERT_TRUE(info.LoadByUser(int32_t(env.UserId())));
    CommDateMgr* mgr = info.GetCommMgr();
    ASSERT_EQ(mgr->Count(), 3u);
    CommDate* y = mgr->GetAt(0);
    ExpectTime(y->StartTime, 2022, 12, 25, 19, 15);
    ExpectTime(y->EndTime, 2022, 12, 25, 20, 45);
    EXPECT_EQ(y->Repeat.RepeatType, 6);
    EXPECT_EQ(y->Repeat.DayOfMonth, 25);
    EXPECT_EQ(y->Repeat.MonthOfYear, 12);
    EXPECT_EQ(y->Repeat.HasEndDate, 0);
    EXPECT_EQ(y->Alarm, 1);
    EXPECT_EQ(y->AlarmAdvance, 3);
    EXPECT_EQ(y->AlarmUnit, 3);
    EXPECT_STREQ(y->Location.c_str(), "Grandma's");
    EXPECT_EQ(y->AllDayEvent, 1);
    CommDate* w = mgr->GetAt(1);
    EXPECT_EQ(w->Repeat.RepeatType, 2);
    EXPECT_EQ(w->Repeat.Interval, 2);
    EXPECT_EQ(w->Repeat.DayMask, 0x2A);
    EXPECT_EQ(w->Repeat.Instance, 1);
    EXPECT_EQ(w->Repeat.HasEndDate, 1);
    EXPECT_EQ(w->AlarmUnit, 0);
    EXPECT_EQ(mgr->GetAt(2)->Repeat.RepeatType, 0);

    ASSERT_TRUE(info.DeleteRecord(mgr->GetAt(0)));
    ASSERT_TRUE(info.DeleteRecord(mgr->GetAt(1)));
    EXPECT_EQ(infotest::ReadBytes(path), original);
    ASSERT_TRUE(info.Save());
    ASSERT_NO_FATAL_FAILURE(infotest::ExpectOnlyDeletionMarks(original, path, 2));
    PmDateInfo again;
    ASSERT_TRUE(again.LoadByUser(int32_t(env.UserId())));
    ASSERT_EQ(again.GetCommMgr()->Count(), 1u);
    EXPECT_EQ(again.GetCommMgr()->GetAt(0)->Repeat.RepeatType, 0);
}
