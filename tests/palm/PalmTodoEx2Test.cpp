#include "palm/PalmTodoEx2.h"
#include "palmfixture/FixtureEx2.h"
#include "platform/File.h"

#include "PalmEx2TestUtil.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

using ex2test::LogCapture;
using ex2test::TempFolder;

PmEx2RepeatBlock ParseTask(const char* text)
{
    PmEx2RepeatBlock b = {};
    PmEx2Repeat::Parse(text, &b, false, 0, true);
    return b;
}

TEST(PmEx2Repeat, TaskRuleTexts)
{
    PmEx2RepeatBlock md = ParseTask("MD1 15 #0");
    EXPECT_EQ(md.Kind, 4);
    EXPECT_EQ(md.DayNumber, 15);
    EXPECT_EQ(PmEx2Repeat::Build(md, false, 0), "MD1 15 #0");
    // Tasks have no yearly rule.
    PmEx2RepeatBlock ym = ParseTask("YM1 6 #0");
    EXPECT_EQ(ym.Kind, 0);
    ym.Kind = 5;
    EXPECT_EQ(PmEx2Repeat::Build(ym, false, 0), "");
    PmEx2RepeatBlock mp = ParseTask("MP2 3+ FR 20200105T000000Z");
    EXPECT_EQ(mp.Kind, 3);
    EXPECT_EQ(mp.Interval, 2);
    EXPECT_EQ(mp.WeekIndex, 2);
    EXPECT_EQ(mp.DaysMask, 0x20);
    EXPECT_EQ(mp.EndDate, PmEx2TimeFromParts(2020, 1, 5));
    EXPECT_EQ(PmEx2Repeat::Build(mp, false, 0), "MP2 3+ FR 20200105T000000Z");
}

std::unique_ptr<PmTodoEx2Record> Task(int32_t id, const char* description, int32_t due, const char* rule)
{
    auto t = std::make_unique<PmTodoEx2Record>();
    t->RecordID = id;
    t->Category = 1;
    t->DueDate = due;
    t->Priority = 3;
    t->CompleteDate = 1000;
    t->AlarmTime = 2000;
    t->Description.Set(description);
    t->RepeatInfo.Set(rule);
    t->Note.Set("note");
    return t;
}

class TodoDatabase : public ::testing::Test {
protected:
    void SetUp() override
    {
        plat::ResetBackups();
        m_path = m_dir.Path() + "todo/Todolist.mdb";
        const int32_t due = PmEx2TimeFromParts(2010, 5, 1);
        m_tasks.push_back(Task(1, "Monthly", due, "MD1 15 #0"));
        m_tasks.push_back(Task(2, "Yearly", due, "YM1 6 #0"));
        m_tasks.push_back(Task(3, "", 0, ""));
        m_tasks.push_back(Task(4, "", 0, "D1 #0"));
        std::vector<const PmTodoEx2Record*> records;
        for (auto& t : m_tasks)
            records.push_back(t.get());
        std::string error;
        ASSERT_TRUE(palmfix::WriteTodolistMdb(m_path, {{1, "Errands", 0, 0}}, records, &error)) << error;
        ASSERT_TRUE(palmfix::Ex2Exec(m_path, "UPDATE Main SET [Description] = NULL WHERE [Record ID] = 4", &error))
            << error;
    }

    PmTodoEx2Record* Find(PmTodoEx2Util& util, int32_t id) { return ex2test::FindRecord(util.DataMgr(), id); }

    TempFolder m_dir;
    LogCapture m_log;
    std::string m_path;
    std::vector<std::unique_ptr<PmTodoEx2Record>> m_tasks;
};

TEST_F(TodoDatabase, LoadsAndDeletesWithoutTouchingOtherColumns)
{
    const std::string original = ex2test::ReadBytes(m_path);
    const auto before = palmfix::Ex2DumpTable(m_path, "Main");
    PmTodoEx2Util util;
    ASSERT_TRUE(util.LoadFile(m_path.c_str()));
    ASSERT_EQ(util.DataMgr()->Count(), 4u);
    PmTodoEx2Record* m = Find(util, 1);
    EXPECT_EQ(m->Repeat.Kind, 4);
    EXPECT_EQ(m->Repeat.DayNumber, 15);
    EXPECT_EQ(m->DueDateText.c_str(), std::to_string(m_tasks[0]->DueDate));
    EXPECT_STREQ(m->CompleteDateText.c_str(), "1000");
    EXPECT_STREQ(m->CategoryName.c_str(), "Errands");
    EXPECT_EQ(Find(util, 2)->Repeat.Kind, 0);

    for (int32_t id = 1; id <= 4; ++id) {
        PmTodoEx2Record* t = Find(util, id);
        t->Status = 0x84;
        EXPECT_TRUE(util.WriteBackRecord(t)) << id;
    }
    EXPECT_TRUE(m_log.Has("UPDATE Main SET [Status]=132 WHERE _rowid_ = 3"));
    EXPECT_FALSE(m_log.Has("!!!")) << m_log.Text();
    EXPECT_TRUE(util.Save());
    auto after = palmfix::Ex2DumpTable(m_path, "Main");
    ex2test::ExpectOnlyStatusChanged(before, after, {0, 1, 2, 3});
    EXPECT_EQ(after[1][16], "text:YM1 6 #0");
    std::string backup;
    ASSERT_EQ(ex2test::CountBackups(m_path, &backup), 1);
    EXPECT_TRUE(ex2test::ReadBytes(backup) == original);
}

TEST_F(TodoDatabase, CompleteDateAloneIsNotWritten)
{
    const std::string original = ex2test::ReadBytes(m_path);
    PmTodoEx2Util util;
    ASSERT_TRUE(util.LoadFile(m_path.c_str()));
    PmTodoEx2Record* t = Find(util, 1);
    t->CompleteDate = 5;
    t->AlarmTime = 6;
    m_log.Clear();
    EXPECT_TRUE(util.WriteBackRecord(t));
    EXPECT_FALSE(m_log.Has("UPDATE"));
    EXPECT_TRUE(ex2test::ReadBytes(m_path) == original);

    // Nothing was written back, so the save has nothing to commit.
    EXPECT_TRUE(util.Save());
    EXPECT_FALSE(m_log.Has("!!!")) << m_log.Text();
    EXPECT_TRUE(ex2test::ReadBytes(m_path) == original);
    EXPECT_FALSE(util.LoadFile(nullptr));
    EXPECT_TRUE(m_log.Has("Invalid Palm Desktop Task database file name."));
}

}  // namespace
