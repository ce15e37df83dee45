#include "palm/PalmDateEx2.h"
#include "palmfixture/FixtureEx2.h"
#include "platform/File.h"

#include "PalmEx2TestUtil.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

using ex2test::LogCapture;
using ex2test::TempFolder;

PmEx2RepeatBlock ParseDate(const char* text, int32_t start = 0)
{
    PmEx2RepeatBlock b = {};
    PmEx2Repeat::Parse(text, &b, true, start, false);
    return b;
}

TEST(PmEx2Repeat, CalendarRuleTexts)
{
    PmEx2RepeatBlock w = ParseDate("W2 MO WE FR #0");
    EXPECT_EQ(w.Kind, 2);
    EXPECT_EQ(w.Interval, 2);
    EXPECT_EQ(w.DaysMask, 0x2A);
    EXPECT_EQ(w.EndDate, kPmEx2NoEnd);
    EXPECT_EQ(PmEx2Repeat::Build(w, true, 0), "W2 MO WE FR #0");

    PmEx2RepeatBlock d = ParseDate("D1 20131231T000000Z");
    EXPECT_EQ(d.Kind, 1);
    EXPECT_EQ(d.Interval, 1);
    EXPECT_EQ(d.EndDate, PmEx2TimeFromParts(2013, 12, 31));
    int y = 0, m = 0, day = 0;
    ASSERT_TRUE(PmEx2TimeParts(d.EndDate, &y, &m, &day));
    EXPECT_EQ(y * 10000 + m * 100 + day, 20131231);
    EXPECT_EQ(PmEx2Repeat::Build(d, true, 0), "D1 20131231T000000Z");

    PmEx2RepeatBlock md = ParseDate("MD1 15 #0");
    EXPECT_EQ(md.Kind, 4);
    EXPECT_EQ(md.DayNumber, 15);
    EXPECT_EQ(PmEx2Repeat::Build(md, true, 0), "MD1 15 #0");

    const int32_t start = PmEx2TimeFromParts(2005, 6, 25);
    PmEx2RepeatBlock ym = ParseDate("YM1 6 #0", start);
    EXPECT_EQ(ym.Kind, 5);
    EXPECT_EQ(ym.MonthIndex, 5);
    EXPECT_EQ(ym.DayNumber, 25);
    EXPECT_EQ(PmEx2Repeat::Build(ym, true, start), "YM1 6 #0");

    // A weekly text ending with its last code: that code has no blank after it.
    PmEx2RepeatBlock open = ParseDate("W1 MO WE");
    EXPECT_EQ(open.Kind, 2);
    EXPECT_EQ(open.DaysMask, 0x02);
    // Its last code is read as an end date that no 32-bit time holds.
    EXPECT_EQ(open.EndDate, -1);

    // The monthly-by-position rule keeps its week when it is written.
    PmEx2RepeatBlock mp = ParseDate("MP1 2+ TU #0");
    EXPECT_EQ(mp.Kind, 3);
    EXPECT_EQ(mp.WeekIndex, 1);
    EXPECT_EQ(mp.DaysMask, 0x04);
    EXPECT_EQ(PmEx2Repeat::Build(mp, true, 0), "MP1 2+ TU #0");
    EXPECT_TRUE(PmEx2Repeat::Equal(ParseDate(PmEx2Repeat::Build(mp, true, 0).c_str()), mp));

    for (const char* none : {"", "X1 #0", "M1 #0"}) {
        PmEx2RepeatBlock b = ParseDate(none);
        EXPECT_EQ(b.Kind, 0) << none;
        EXPECT_EQ(PmEx2Repeat::Build(b, true, 0), "") << none;
    }
}

std::unique_ptr<PmDateEx2Record> Item(int32_t id, const char* summary, const char* rule, int32_t category)
{
    auto r = std::make_unique<PmDateEx2Record>();
    r->RecordID = id;
    r->Category = category;
    r->StartTime = PmEx2TimeFromParts(2005, 6, 25) + 9 * 3600;
    r->EndTime = r->StartTime + 3600;
    r->Alarm = 1;
    r->AlarmAdvance = 3;
    r->AlarmUnit = 2;
    r->Summary.Set(summary);
    r->RepeatedEvent.Set(rule);
    r->Location.Set("Office");
    return r;
}

class DateDatabase : public ::testing::Test {
protected:
    void SetUp() override
    {
        plat::ResetBackups();
        m_path = m_dir.Path() + "datebook/DateBook.mdb";
        m_items.push_back(Item(1, "Weekly", "W2 MO WE FR #0", 1));
        m_items.push_back(Item(2, "Daily", "D1 20131231T000000Z", 1));
        m_items.push_back(Item(3, "Yearly", "YM1 6 #0", 2));
        m_items.push_back(Item(4, "Weekly open", "W1 MO WE", 2));
        m_items.push_back(Item(5, "Unknown category", "", 9));
        m_items.push_back(Item(6, "Bob's party", "MP1 2+ TU #0", 1));
        std::vector<const PmDateEx2Record*> records;
        for (auto& r : m_items)
            records.push_back(r.get());
        std::string error;
        ASSERT_TRUE(palmfix::WriteDateBookMdb(m_path, {{1, "Work", 0, 0}, {2, "Home", 0, 0}}, records, &error))
            << error;
        ASSERT_TRUE(palmfix::Ex2Exec(m_path, "UPDATE Main SET [Location] = x'01' WHERE [Record ID] = 3", &error))
            << error;
    }

    PmDateEx2Record* Find(PmDateEx2Util& util, int32_t id) { return ex2test::FindRecord(util.DataMgr(), id); }

    TempFolder m_dir;
    LogCapture m_log;
    std::string m_path;
    std::vector<std::unique_ptr<PmDateEx2Record>> m_items;
};

TEST_F(DateDatabase, LoadsItemsWithTheirRepeatBlocks)
{
    PmDateEx2Util util;
    ASSERT_TRUE(util.LoadFile(m_path.c_str()));
    EXPECT_TRUE(m_log.Has("Loading Palm Desktop Calendar: " + m_path));
    EXPECT_TRUE(m_log.Has("Loading Palm Desktop Calendar main records completed successfully."));
    ASSERT_EQ(util.DataMgr()->Count(), 6u);
    PmDateEx2Record* w = Find(util, 1);
    EXPECT_EQ(w->Repeat.Kind, 2);
    EXPECT_EQ(w->Repeat.DaysMask, 0x2A);
    EXPECT_EQ(w->StartTimeText.c_str(), std::to_string(m_items[0]->StartTime));
    EXPECT_EQ(w->EndTime, m_items[0]->EndTime);
    EXPECT_EQ(w->AlarmUnit, 2);
    EXPECT_STREQ(w->CategoryName.c_str(), "Work");
    PmDateEx2Record* y = Find(util, 3);
    EXPECT_EQ(y->Repeat.Kind, 5);
    EXPECT_EQ(y->Repeat.DayNumber, 25);
    EXPECT_STREQ(y->Location.c_str(), "");  // binary data in a text column
    EXPECT_STREQ(y->Summary.c_str(), "Yearly");
    EXPECT_STREQ(Find(util, 5)->CategoryName.c_str(), "");
    EXPECT_EQ(Find(util, 6)->Repeat.WeekIndex, 1);

    std::vector<std::string> first;
    for (PmDateEx2Record* r = util.DataMgr()->First(); r; r = util.DataMgr()->Next())
        first.push_back(std::string(r->Summary.View()) + "|" + r->RepeatedEvent.c_str() + "|" +
                     std::to_string(r->Repeat.EndDate));
    util.DataMgr()->Clear();
    ASSERT_TRUE(util.LoadFile(m_path.c_str()));
    std::vector<std::string> second;
    for (PmDateEx2Record* r = util.DataMgr()->First(); r; r = util.DataMgr()->Next())
        second.push_back(std::string(r->Summary.View()) + "|" + r->RepeatedEvent.c_str() + "|" +
                      std::to_string(r->Repeat.EndDate));
    EXPECT_EQ(first, second);
}

TEST_F(DateDatabase, DeletionKeepsTheStoredRuleTextsAndCategories)
{
    const std::string original = ex2test::ReadBytes(m_path);
    const auto before = palmfix::Ex2DumpTable(m_path, "Main");
    PmDateEx2Util util;
    ASSERT_TRUE(util.LoadFile(m_path.c_str()));
    for (int32_t id = 1; id <= 6; ++id) {
        PmDateEx2Record* r = Find(util, id);
        r->Status = 0x84;
        m_log.Clear();
        EXPECT_TRUE(util.WriteBackRecord(r)) << id;
        EXPECT_TRUE(m_log.Has("Execute SQL Query: UPDATE Main SET [Status]=132 WHERE _rowid_ = " +
                              std::to_string(id)))
            << m_log.Text();
    }
    EXPECT_TRUE(util.Save());
    auto after = palmfix::Ex2DumpTable(m_path, "Main");
    ex2test::ExpectOnlyStatusChanged(before, after, {0, 1, 2, 3, 4, 5});
    std::string backup;
    ASSERT_EQ(ex2test::CountBackups(m_path, &backup), 1);
    EXPECT_TRUE(ex2test::ReadBytes(backup) == original);
}

TEST_F(DateDatabase, AChangedRepeatBlockIsWrittenAsARuleText)
{
    PmDateEx2Util util;
    ASSERT_TRUE(util.LoadFile(m_path.c_str()));
    PmDateEx2Record* d = Find(util, 2);
    d->Repeat.Interval = 3;
    EXPECT_TRUE(util.WriteBackRecord(d));
    EXPECT_TRUE(m_log.Has("UPDATE Main SET [Repeated Event]='D3 20131231T000000Z' WHERE _rowid_ = 2"));
    EXPECT_TRUE(util.Save());
    auto rows = palmfix::Ex2DumpTable(m_path, "Main");
    EXPECT_EQ(rows[1][15], "text:D3 20131231T000000Z");
    EXPECT_EQ(rows[1][1], "int:0");

    // Only the Placement differs: nothing is sent.
    PmDateEx2Record* w = Find(util, 1);
    w->Placement = 4;
    m_log.Clear();
    EXPECT_TRUE(util.WriteBackRecord(w));
    EXPECT_FALSE(m_log.Has("UPDATE"));

    // A category name that names a category moves the item to it.
    PmDateEx2Record* u = Find(util, 5);
    u->CategoryName.Set("Home");
    u->Status = 0x84;
    EXPECT_TRUE(util.WriteBackRecord(u));
    EXPECT_TRUE(m_log.Has("UPDATE Main SET [Status]=132, [Category]='2' WHERE _rowid_ = 5"));
    EXPECT_TRUE(util.Save());
}

}  // namespace
