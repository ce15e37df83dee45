#include "PalmExTestUtil.h"
#include "palm/PalmTodoEx.h"

#include <gtest/gtest.h>

using namespace extest;

namespace {

const std::vector<uint16_t> kTodoTypes = {1, 1, 1, 1, 1, 1, 6, 0x40, 0x41, 0x42, 0x43, 5, 5,
                                          5, 3, 6, 1, 5, 6, 3, 6, 3, 1, 3, 8};

std::string Task(uint32_t id, const std::string& repeat, uint32_t dueTag = 3, uint32_t status = 0)
{
    return Bytes()
        .Raw(Prefix(id, status, 0))
        .Text("Task " + std::to_string(id)).Int(1110877500, dueTag).Int(1, 6).Int(3)
        .Text("a note").Int(0, 6).Int(1110000000, 3).Int(1, 6).Int(1110870000, 3).Int(2).Int(1100000000, 3)
        .Raw(repeat)
        .Str();
}

std::string Monthly15()
{
    return Bytes().U32(8).U16(2).U32(1).U32(2).U16(0xFFFF).U16(1).U16(12).Raw("CDateOfMonth")
        .U32(4).U32(1).U32(0).U32(0).U32(15).Str();
}

SGParts TodoParts(const std::string& path, const std::vector<std::string>& tasks)
{
    SGParts p;
    p.version = 0x54440200;
    p.reserved1 = Reserved1For(uint32_t(tasks.size()));
    p.storedName = path;
    p.resourceId = 44;
    p.fieldsPerRow = 25;
    p.types = kTodoTypes;
    p.totalFields = uint32_t(tasks.size() * 25);
    for (const std::string& t : tasks)
        p.records += t;
    return p;
}

}  // namespace

TEST(TodoFile, LoadAndSaveReproduceTheFile)
{
    TempDir dir;
    LogCapture log;
    std::string path = dir.File("todo.dat");
    std::string original = SGFile(TodoParts(path, {Task(1, RepeatNone()), Task(2, Monthly15())}));
    WriteFile(path, original);
    PmTodoExUtil util;
    ASSERT_TRUE(util.LoadFile(path.c_str()));
    EXPECT_TRUE(log.Has("Palm Desktop Tasks information is loaded successfully."));
    PmTodoExRecord* r = util.DataMgr()->First();
    EXPECT_STREQ(r->Description.c_str(), "Task 1");
    EXPECT_EQ(r->DueDate, 1110877500u);
    EXPECT_EQ(r->Completed, 1u);
    EXPECT_EQ(r->Priority, 3u);
    EXPECT_EQ(r->AlarmTime, 1110870000u);
    EXPECT_EQ(r->RepeatStartDate, 1100000000u);
    r = util.DataMgr()->Next();
    EXPECT_EQ(r->Repeat.Class, 4u);
    EXPECT_EQ(r->Repeat.DayNumber, 15u);
    EXPECT_EQ(r->Repeat.Exceptions, (std::vector<uint32_t>{1, 2}));
    ASSERT_TRUE(util.Save());
    EXPECT_EQ(ReadFile(path), original);
}

// A due date tagged as an integer keeps its tag when the task is deleted.
TEST(TodoFile, DueDateTaggedAsIntegerKeepsItsTag)
{
    TempDir dir;
    LogCapture log;
    std::string path = dir.File("todo.dat");
    WriteFile(path, SGFile(TodoParts(path, {Task(1, RepeatNone(), 1), Task(2, RepeatNone(), 1)})));
    PmTodoExUtil util;
    ASSERT_TRUE(util.LoadFile(path.c_str()));
    util.DataMgr()->First()->Status = 0x84;
    ASSERT_TRUE(util.Save());
    EXPECT_EQ(ReadFile(path), SGFile(TodoParts(path, {Task(1, RepeatNone(), 1, 0x84), Task(2, RepeatNone(), 1)})));

    // A bad second task ends the load with one line.
    std::string bad = Task(2, RepeatNone());
    bad.replace(0, 4, Bytes().U32(5).Str());
    WriteFile(path, SGFile(TodoParts(path, {Task(1, RepeatNone()), bad, Task(3, RepeatNone()), Task(4, RepeatNone())})));
    EXPECT_FALSE(util.LoadFile(path.c_str()));
    EXPECT_EQ(log.CountOf("Error reading Palm Desktop Tasks, current file position: "), 1);
    EXPECT_TRUE(log.Has("Failed to load Tasks records."));
    EXPECT_TRUE(log.Has("Load Palm Desktop Tasks failed: " + path));
}
