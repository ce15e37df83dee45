#include "ClassicLayout.h"
#include "ClassicLayoutEnv.h"

#include "palm/PalmTodo.h"

#include <gtest/gtest.h>

using namespace classic;

namespace {

class PalmTodoTest : public ClassicTest {
protected:
    File Tasks(const std::string& path)
    {
        File f = NewFile(kTasksTag);
        f.fileName = path;
        f.header = "todo header";
        f.categories = {{1, 1, 0, "Errands", "Errands"}, {3, 4, 0, "Work", "Work"}};
        return f;
    }
    std::vector<Field> Task(uint32_t id, uint32_t status, const std::string& note = "")
    {
        return {Int(id),        Int(status), Int(id * 2), Text("task " + std::to_string(id)), Int(1110877500 + id, 3),
                Int(id % 2, 6), Int(3),      Int(0, 6),   Int(4),                              Text(note)};
    }
};

// Deleted (0x04, 0x84) and archived (0x80) tasks are not shown but stay in
// the file in their places; the rest of the file comes back unchanged, Due
// Date's tag and the text prefix words included, but for the deletion.
TEST_F(PalmTodoTest, HiddenTasksStayInTheirPlaces)
{
    std::string path = PathOf("todo.dat");
    File f = Tasks(path);
    f.rows = {Task(1, 0, "call first"), Task(2, 0x84), Task(3, 0x80), Task(4, 0x01), Task(5, 0x04)};
    std::string clean = Write(f);
    f.rows[3][4].tag = 1;  // a due date stored as a plain integer
    f.rows[0][9].prefix = 3;
    std::string original = Write(f);
    Put(path, original);

    PmTodoUtil util;
    ASSERT_TRUE(util.LoadFile(path.c_str()));
    PmTodoDataMgr* mgr = util.GetDataMgr();
    ASSERT_EQ(mgr->Count(), 2u);
    EXPECT_EQ(mgr->GetAt(0)->RecordID, 1);
    EXPECT_EQ(mgr->GetAt(0)->Description, "task 1");
    EXPECT_EQ(mgr->GetAt(0)->DueDate, 1110877501);
    EXPECT_EQ(mgr->GetAt(0)->Completed, 1);
    EXPECT_EQ(mgr->GetAt(0)->Priority, 3);
    EXPECT_EQ(mgr->GetAt(0)->Category, 4);
    EXPECT_EQ(mgr->GetAt(0)->Note, "call first");
    EXPECT_EQ(mgr->GetAt(1)->RecordID, 4);
    EXPECT_EQ(mgr->GetAt(1)->DueDate, 1110877504);
    EXPECT_EQ(mgr->RowCount(), 5u);

    mgr->GetAt(1)->Status = 0x84;
    ASSERT_TRUE(util.Save(path.c_str()));
    File back;
    ASSERT_TRUE(Read(Get(path), &back));
    ASSERT_EQ(back.rows.size(), 5u);
    EXPECT_EQ(back.rows[3][1].value, 0x84u);
    EXPECT_EQ(back.rows[3][4].tag, 1u);
    back.rows[3][1].value = 0x01;
    EXPECT_EQ(Write(back), original);
    EXPECT_NE(original, clean);

    PmTodoUtil again;
    ASSERT_TRUE(again.LoadFile(path.c_str()));
    EXPECT_EQ(again.GetDataMgr()->Count(), 1u);
    EXPECT_EQ(again.GetDataMgr()->RowCount(), 5u);
}

TEST_F(PalmTodoTest, EmptyNoteBytesAndLongTexts)
{
    std::string path = PathOf("todo.dat");
    File f = Tasks(path);
    f.rows = {Task(1, 0, std::string(9000, 'x')), Task(2, 0)};
    f.rows[1][3] = Text(std::string(70000 - 5000, 'd'));
    Put(path, Write(f));
    std::string original = Get(path);
    PmTodoUtil util;
    ASSERT_TRUE(util.LoadFile(path.c_str()));
    EXPECT_EQ(util.GetDataMgr()->GetAt(0)->Note.size(), 9000u);
    EXPECT_EQ(util.GetDataMgr()->GetAt(1)->Description.size(), 65000u);
    ASSERT_TRUE(util.Save(path.c_str()));
    std::string saved = Get(path);
    EXPECT_EQ(saved, original);
    EXPECT_EQ(saved.substr(saved.size() - 9), std::string("\x05\0\0\0\x01\0\0\0\0", 9));
}

TEST_F(PalmTodoTest, IncompleteFilesAreRefused)
{
    std::string path = PathOf("todo.dat");
    struct Case {
        const char* what;
        void (*edit)(File&);
    } cases[] = {
        {"announced row missing", [](File& f) { f.explicitTotal = true; f.totalFields = 20; }},
        {"note is not a text", [](File& f) { f.rows[0][9] = Int(0); }},
        {"fields per row 11", [](File& f) { f.fieldsPerRow = 11; f.explicitTotal = true; f.totalFields = 11; }},
        {"fields per row 0", [](File& f) { f.fieldsPerRow = 0; }},
        {"fields count 11", [](File& f) { f.types.push_back(1); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        File f = Tasks(path);
        f.rows = {Task(1, 0)};
        c.edit(f);
        Put(path, Write(f));
        ClearLog();
        PmTodoUtil util;
        EXPECT_FALSE(util.LoadFile(path.c_str()));
        EXPECT_TRUE(Logged("Load Palm Desktop todo list failed: " + path));
    }
}

TEST_F(PalmTodoTest, SaveToLoadedPathAndFailedSave)
{
    std::string path = PathOf("todo.dat");
    File f = Tasks("D:\\Old\\todo.dat");
    for (uint32_t id = 1; id <= 8; ++id)
        f.rows.push_back(Task(id, id == 8 ? 0x80 : 0));
    Put(path, Write(f));
    std::string original = Get(path);
    PmTodoUtil util;
    ASSERT_TRUE(util.LoadFile(path.c_str()));
    EXPECT_EQ(util.LoadedPath(), path);

    plat::FileFaults faults;
    faults.failWriteAfter = 100;
    plat::SetFileFaults(faults);
    EXPECT_FALSE(util.Save(path.c_str()));
    plat::ClearFileFaults();
    EXPECT_EQ(Get(path), original);

    ASSERT_TRUE(util.Save(util.LoadedPath().c_str()));
    EXPECT_EQ(Get(path), original);
    File back;
    ASSERT_TRUE(Read(Get(path), &back));
    EXPECT_EQ(back.fileName, "D:\\Old\\todo.dat");
    EXPECT_EQ(back.rows.size(), 8u);
}

}  // namespace
