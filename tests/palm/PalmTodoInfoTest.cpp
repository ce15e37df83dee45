#include "PalmInfoTestEnv.h"

#include "palm/PalmComm.h"
#include "palm/PalmTodoInfo.h"
#include "palmfixture/FixtureClassic.h"
#include "palmfixture/FixtureEx2.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using infotest::PalmInstall;

namespace {

int32_t At(int y, int mo, int d)
{
    PmTime t;
    t.FromParts(y, mo, d, 0, 0, 0);
    return t.Value();
}

PmTodoRecord ClassicTask(int32_t id, const std::string& text, int32_t priority, int32_t status = 0)
{
    PmTodoRecord r;
    r.RecordID = id;
    r.Status = status;
    r.Placement = id;
    r.Description = text;
    r.Priority = priority;
    r.DueDate = At(2019, 4, 1);
    return r;
}

PmTodoEx2Record Ex2Task(int32_t id, const std::string& text, int32_t priority, const char* rule = "")
{
    PmTodoEx2Record r{};
    r.RecordID = id;
    r.Placement = id;
    r.Priority = priority;
    r.DueDate = At(2022, 2, 14);
    r.DueDateText.Set(std::to_string(r.DueDate));
    r.Description.Set(text.c_str());
    r.RepeatInfo.Set(rule);
    return r;
}

std::string WriteClassic(const PalmInstall& env, const std::vector<PmTodoRecord>& recs)
{
    return infotest::WriteClassicWith(palmfix::WriteClassicTodo, env.UserFile("todo\\todo.dat"),
                                      {{1, "Errands"}, {2, "Work"}}, recs);
}

std::string WriteEx2(const PalmInstall& env, const std::vector<PmTodoEx2Record>& recs)
{
    return infotest::WriteEx2With(palmfix::WriteTodolistMdb, env, 3, {{1, "Errands"}}, recs);
}

}  // namespace

TEST(PalmTodoInfoTest, GenerationHasNoNone)
{
    EXPECT_EQ(PmTodoInfo(30499).ChosenGeneration(), 1);
    EXPECT_EQ(PmTodoInfo(30500).ChosenGeneration(), 1);
    EXPECT_EQ(PmTodoInfo(40101).ChosenGeneration(), 1);
    EXPECT_EQ(PmTodoInfo(40102).ChosenGeneration(), 2);
    EXPECT_EQ(PmTodoInfo(0xFFFFFFFFu).ChosenGeneration(), 3);
}

TEST(PalmTodoInfoTest, ClassicTasks)
{
    PalmInstall env(3, 5, 0);
    PmTodoRecord high = ClassicTask(1, std::string(300, 'h'), 1);
    high.Private = 1;
    high.Completed = 7;
    high.Note = "call the caf\xE9";
    PmTodoRecord normal = ClassicTask(2, "normal", 3);
    PmTodoRecord low = ClassicTask(3, "low", 5);
    low.DueDate = -1;  // no due date
    PmTodoRecord archived = ClassicTask(4, "archived", 1, 0x80);
    WriteClassic(env, {high, normal, low, archived});

    PmTodoInfo info;
    ASSERT_TRUE(info.LoadByUser(int32_t(env.UserId())));
    CommTaskMgr* mgr = info.GetCommMgr();
    ASSERT_EQ(mgr->Count(), 3u);
    CommTask* h = mgr->GetAt(0);
    EXPECT_EQ(h->Description.View(), std::string(255, 'h'));
    EXPECT_STREQ(h->Note.c_str(), "call the caf\xE9");
    EXPECT_EQ(h->Priority, 1);
    EXPECT_EQ(h->Private, 1);
    EXPECT_EQ(h->Sensitivity, 2);
    EXPECT_EQ(h->Completed, 1);
    EXPECT_EQ(h->Alarm, 0);
    EXPECT_EQ(h->AlarmSet, 0);
    EXPECT_EQ(h->DueDate, uint32_t(At(2019, 4, 1)));
    EXPECT_EQ(h->Repeat.RepeatType, 0);
    EXPECT_EQ(h->Repeat.RepeatEnd.year, 0);
    EXPECT_EQ(h->Repeat.HasEndDate, 0);
    EXPECT_TRUE(h->Category.Empty());
    EXPECT_EQ(h->Trailer.SourceType, 1);
    EXPECT_EQ(h->Trailer.ID, 1);
    EXPECT_EQ(mgr->GetAt(1)->Priority, 0);
    EXPECT_EQ(mgr->GetAt(1)->Sensitivity, 0);
    EXPECT_EQ(mgr->GetAt(2)->Priority, 2);
    EXPECT_EQ(mgr->GetAt(2)->DueDate, 0xFFFFFFFFu);
}

TEST(PalmTodoInfoTest, Ex2Tasks)
{
    PalmInstall env(6, 0, 0);
    PmTodoEx2Record a = Ex2Task(5, "Pay rent", 1, "MD1 15 20190630T000000Z");
    a.AlarmSet = 1;
    a.Completed = 1;
    a.Private = 1;
    PmTodoEx2Record b = Ex2Task(6, "Water plants", 4, "W2 MO WE FR #0");
    PmTodoEx2Record c = Ex2Task(7, "Yearly", 5, "YM1 6 #0");
    WriteEx2(env, {a, b, c});

    PmTodoInfo info;
    ASSERT_TRUE(info.LoadByUser(int32_t(env.UserId())));
    CommTaskMgr* mgr = info.GetCommMgr();
    ASSERT_EQ(mgr->Count(), 3u);
    CommTask* t = mgr->GetAt(0);
    EXPECT_EQ(t->Trailer.SourceType, 16);
    EXPECT_EQ(t->Trailer.ID, 5);
    EXPECT_EQ(t->Alarm, 1);
    EXPECT_EQ(t->AlarmSet, 1);
    EXPECT_EQ(t->Completed, 1);
    EXPECT_EQ(t->Sensitivity, 2);
    EXPECT_EQ(t->Priority, 1);
    EXPECT_EQ(t->DueDate, uint32_t(At(2022, 2, 14)));
    EXPECT_EQ(t->Repeat.RepeatType, 4);
    EXPECT_EQ(t->Repeat.DayOfMonth, 15);
    EXPECT_EQ(t->Repeat.HasEndDate, 1);
    EXPECT_EQ(t->Repeat.RepeatEnd.year, 2019);
    CommTask* w = mgr->GetAt(1);
    EXPECT_EQ(w->Priority, 0);
    EXPECT_EQ(w->Repeat.RepeatType, 2);
    EXPECT_EQ(w->Repeat.DayMask, 0x2A);
    EXPECT_EQ(w->Repeat.Interval, 2);
    EXPECT_EQ(w->Repeat.HasEndDate, 0);
    // Tasks have no yearly rule.
    EXPECT_EQ(mgr->GetAt(2)->Repeat.RepeatType, 0);
    EXPECT_EQ(mgr->GetAt(2)->Priority, 2);
}

TEST(PalmTodoInfoTest, FailedLoadStillSucceeds)
{
    PalmInstall env(4, 1, 0);
    // A 6.x database where the classic todo.dat is expected.
    std::string error;
    ASSERT_TRUE(palmfix::WriteTodolistMdb(env.UserFile("todo\\todo.dat"), {}, {}, &error)) << error;
    PmTodoInfo info;
    env.ClearLog();
    EXPECT_TRUE(info.LoadByUser(int32_t(env.UserId())));
    EXPECT_EQ(info.GetCommMgr()->Count(), 0u);
    EXPECT_TRUE(env.LogHas("Failed to load Palm Desktop Tasks database by User: " +
                           std::to_string(env.UserId())));
    EXPECT_FALSE(info.Save());

    // And a classic file where the 6.x database is expected gives no tasks.
    PalmInstall six(6, 0, 0);
    ASSERT_TRUE(palmfix::WriteClassicTodo(palmfix::Ex2DatabasePath(six.UserFolder(), 3), {}, &error)) << error;
    PmTodoInfo info6;
    EXPECT_TRUE(info6.LoadByUser(int32_t(six.UserId())));
    EXPECT_EQ(info6.GetCommMgr()->Count(), 0u);
}

TEST(PalmTodoInfoTest, ClassicDeletionRoundTrip)
{
    PalmInstall env(4, 1, 0);
    std::string path = WriteClassic(env, {ClassicTask(1, "Buy milk", 3), ClassicTask(2, "Buy milk", 3),
                                          ClassicTask(3, "Buy milk", 3)});
    std::string original = infotest::ReadBytes(path);
    PmTodoInfo info;
    ASSERT_TRUE(info.LoadByUser(int32_t(env.UserId())));
    CommTaskMgr* mgr = info.GetCommMgr();
    ASSERT_EQ(mgr->Count(), 3u);
    ASSERT_TRUE(info.DeleteRecord(mgr->GetAt(0)));
    ASSERT_TRUE(info.DeleteRecord(mgr->GetAt(1)));
    EXPECT_EQ(infotest::ReadBytes(path), original);
    ASSERT_TRUE(info.Save());
    ASSERT_NO_FATAL_FAILURE(infotest::ExpectOnlyDeletionMarks(original, path, 2));
    PmTodoInfo again;
    ASSERT_TRUE(again.LoadByUser(int32_t(env.UserId())));
    ASSERT_EQ(again.GetCommMgr()->Count(), 1u);
    EXPECT_EQ(again.GetCommMgr()->GetAt(0)->Trailer.ID, 3);
}

TEST(PalmTodoInfoTest, Ex2DeletionRoundTrip)
{
    PalmInstall env(6, 0, 0);
    std::string path = WriteEx2(env, {Ex2Task(1, "File O'Reilly's taxes", 2, "MD1 15 #0"),
                                      Ex2Task(2, "File O'Reilly's taxes", 2, "MD1 15 #0"),
                                      Ex2Task(3, "File O'Reilly's taxes", 2, "MD1 15 #0")});
    auto before = palmfix::Ex2DumpTable(path, "Main");
    PmTodoInfo info;
    ASSERT_TRUE(info.LoadByUser(int32_t(env.UserId())));
    CommTaskMgr* mgr = info.GetCommMgr();
    ASSERT_EQ(mgr->Count(), 3u);
    EXPECT_TRUE(info.DeleteRecord(mgr->GetAt(0)));
    EXPECT_TRUE(info.DeleteRecord(mgr->GetAt(1)));
    // The rows change together, when Save commits them.
    EXPECT_EQ(palmfix::Ex2DumpTable(path, "Main"), before);
    ASSERT_TRUE(info.Save());
    auto after = palmfix::Ex2DumpTable(path, "Main");
    ASSERT_EQ(after.size(), 3u);
    infotest::ExpectOnlyStatusChanged(before, after, 2);
    PmTodoInfo again;
    ASSERT_TRUE(again.LoadByUser(int32_t(env.UserId())));
    ASSERT_EQ(again.GetCommMgr()->Count(), 1u);
    EXPECT_EQ(again.GetCommMgr()->GetAt(0)->Trailer.ID, 3);
}

namespace {

PmTodoExRecord ExTask(uint32_t id, const char* text, uint32_t priority, uint32_t status = 0)
{
    PmTodoExRecord r;
    r.RecordID = id;
    r.Status = status;
    r.Placement = id;
    r.Priority = priority;
    r.DueDate = uint32_t(At(2023, 7, 1));
    r.Description.Set(text);
    return r;
}

}  // namespace

TEST(PalmTodoInfoTest, ExTasksAndTheirDeletion)
{
    PalmInstall env(4, 1, 2);
    PmTodoExRecord a = ExTask(1, "Renew passport", 5);
    a.AlarmSet = 9;
    a.Completed = 2;
    a.Private = 3;
    a.Note.Set("photos\r\nform");
    a.Repeat.Class = 4;
    a.Repeat.Interval = 1;
    a.Repeat.DayNumber = 15;
    a.Repeat.EndDate = uint32_t(At(2019, 5, 1));
    std::string path = env.UserFile("todo\\todo.dat");
    ASSERT_TRUE(infotest::WriteEx(
        path, {a, ExTask(2, "Renew passport", 5), ExTask(3, "Renew passport", 5), ExTask(4, "x", 1, 0x80)}));
    std::string original = infotest::ReadBytes(path);

    PmTodoInfo info;
    ASSERT_EQ(info.ChosenGeneration(), 2);
    ASSERT_TRUE(info.LoadByUser(int32_t(env.UserId())));
    CommTaskMgr* mgr = info.GetCommMgr();
    ASSERT_EQ(mgr->Count(), 3u);
    CommTask* t = mgr->GetAt(0);
    EXPECT_EQ(t->Trailer.SourceType, 2);
    EXPECT_EQ(t->Trailer.ID, 1);
    EXPECT_EQ(t->Priority, 2);
    EXPECT_EQ(t->Alarm, 1);
    EXPECT_EQ(t->AlarmSet, 1);
    EXPECT_EQ(t->Completed, 1);
    EXPECT_EQ(t->Private, 1);
    EXPECT_EQ(t->Sensitivity, 2);
    EXPECT_STREQ(t->Note.c_str(), "photos\r\nform");
    EXPECT_EQ(t->DueDate, uint32_t(At(2023, 7, 1)));
    EXPECT_EQ(t->Repeat.RepeatType, 4);
    EXPECT_EQ(t->Repeat.DayOfMonth, 15);
    EXPECT_EQ(t->Repeat.HasEndDate, 1);
    EXPECT_EQ(mgr->GetAt(1)->Alarm, 0);
    EXPECT_EQ(mgr->GetAt(1)->Sensitivity, 0);

    ASSERT_TRUE(info.DeleteRecord(mgr->GetAt(0)));
    ASSERT_TRUE(info.DeleteRecord(mgr->GetAt(1)));
    EXPECT_EQ(infotest::ReadBytes(path), original);
    ASSERT_TRUE(info.Save());
    ASSERT_NO_FATAL_FAILURE(infotest::ExpectOnlyDeletionMarks(original, path, 2));
    PmTodoInfo again;
    ASSERT_TRUE(again.LoadByUser(int32_t(env.UserId())));
    ASSERT_EQ(again.GetCommMgr()->Count(), 1u);
    EXPECT_EQ(again.GetCommMgr()->GetAt(0)->Trailer.ID, 3);
}
