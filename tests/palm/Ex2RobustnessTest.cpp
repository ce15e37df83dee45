// The 6.x databases when they are not what the load expects, and deletions
// of rows that their key columns cannot tell apart or cannot find: a load
// either reads every row or fails with nothing kept, and a deletion changes
// the Status of exactly the row that was loaded, or nothing.
#include "misc/CxDebugUtil.h"
#include "palm/DmMain.h"
#include "palm/PalmAddrEx2.h"
#include "palm/PalmDateEx2.h"
#include "palm/PalmMemoEx2.h"
#include "palm/PalmTodoEx2.h"
#include "palmfixture/FixtureEx2.h"
#include "platform/Codepage.h"
#include "platform/File.h"
#include "platform/WinPath.h"

#include "PalmEx2TestUtil.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

using ex2test::LogCapture;
using ex2test::TempFolder;
using ex2test::TableRows;

// The code page of a test, back to the locale's choice afterwards.
class CodePage {
public:
    explicit CodePage(int cp) { plat::SetAnsiCodePage(cp); }
    ~CodePage() { plat::SetAnsiCodePage(0); }
};

bool AnyMessageHas(const CxLogCapture& capture, const std::vector<std::string>& parts)
{
    for (const std::string& m : capture.Messages()) {
        bool all = true;
        for (const std::string& p : parts)
            all = all && m.find(p) != std::string::npos;
        if (all)
            return true;
    }
    return false;
}

void Exec(const std::string& path, const std::string& sql)
{
    std::string error;
    ASSERT_TRUE(palmfix::Ex2Exec(path, sql, &error)) << error;
}

std::unique_ptr<PmDateEx2Record> Item(int32_t id, const std::string& summary)
{
    auto r = std::make_unique<PmDateEx2Record>();
    r->RecordID = id;
    r->Category = 1;
    r->StartTime = PmEx2TimeFromParts(2009, 3, 2) + id * 3600;
    r->EndTime = r->StartTime + 1800;
    r->Summary.Set(summary.c_str());
    r->Location.Set("Hall");
    r->RepeatedEvent.Set(id % 2 ? "W1 MO TH #0" : "");
    return r;
}

std::unique_ptr<PmTodoEx2Record> Task(int32_t id, const std::string& description)
{
    auto t = std::make_unique<PmTodoEx2Record>();
    t->RecordID = id;
    t->Category = 1;
    t->DueDate = PmEx2TimeFromParts(2011, 7, 1);
    t->Priority = 2;
    t->Description.Set(description.c_str());
    return t;
}

std::unique_ptr<PmAddrEx2Record> Contact(int32_t id, const std::string& first, const std::string& last)
{
    auto c = std::make_unique<PmAddrEx2Record>();
    c->RecordID = id;
    c->Category = 1;
    c->FirstName.Set(first.c_str());
    c->LastName.Set(last.c_str());
    c->Company.Set("Acme");
    return c;
}

std::unique_ptr<PmMemoEx2Record> Memo(int32_t id, const std::string& note)
{
    auto m = std::make_unique<PmMemoEx2Record>();
    m->RecordID = id;
    m->Category = 1;
    m->Note.Set(note.c_str());
    return m;
}

template <typename R>
std::vector<const R*> Pointers(const std::vector<std::unique_ptr<R>>& records)
{
    std::vector<const R*> out;
    for (const auto& r : records)
        out.push_back(r.get());
    return out;
}

// A calendar of three items (Record IDs 1-3) and its path.
std::string WriteCalendar(const TempFolder& dir)
{
    std::string path = dir.Path() + "datebook/DateBook.mdb";
    std::vector<std::unique_ptr<PmDateEx2Record>> items;
    for (int32_t id = 1; id <= 3; ++id)
        items.push_back(Item(id, "Meeting " + std::to_string(id)));
    std::string error;
    EXPECT_TRUE(palmfix::WriteDateBookMdb(path, {{1, "Work", 0, 0}}, Pointers(items), &error)) << error;
    return path;
}

// Deletes the loaded record at a position of its data manager and saves.
template <typename Util>
bool DeleteAt(Util& util, uint32_t position)
{
    auto* r = util.DataMgr()->GetAt(position);
    EXPECT_NE(r, nullptr);
    if (!r)
        return false;
    r->Status = 0x84;
    bool written = util.WriteBackRecord(r);
    return util.Save() && written;
}

// ---------------------------------------------------------------- loads

class Ex2LoadFailure : public ::testing::Test {
protected:
    void SetUp() override
    {
        plat::ResetBackups();
        m_path = WriteCalendar(m_dir);
    }

    // The load fails, keeps nothing, and says so in a level-0 line that
    // names the database and the database's own reason.
    void ExpectFailedLoad(const std::string& reason)
    {
        PmDateEx2Util util;
        CxLogCapture capture;
        EXPECT_FALSE(util.LoadFile(m_path.c_str()));
        EXPECT_EQ(util.DataMgr()->Count(), 0u);
        EXPECT_EQ(util.CategoryMgr()->Count(), 0u);
        EXPECT_TRUE(AnyMessageHas(capture, {m_path, reason})) << capture.Text();
        EXPECT_FALSE(m_log.Has("Loading Palm Desktop Calendar main records completed successfully."));
    }

    TempFolder m_dir;
    LogCapture m_log;
    std::string m_path;
};

TEST_F(Ex2LoadFailure, MainTableMissing)
{
    Exec(m_path, "DROP TABLE Main");
    ExpectFailedLoad("no such table: Main");
}

TEST_F(Ex2LoadFailure, MainColumnRenamed)
{
    Exec(m_path, "ALTER TABLE Main RENAME COLUMN [Summary] TO [Title]");
    ExpectFailedLoad("no such column: Summary");
}

TEST_F(Ex2LoadFailure, CategoryTableMissing)
{
    Exec(m_path, "DROP TABLE Category");
    ExpectFailedLoad("no such table: Category");
}

// The third of three rows cannot be read: its Alarm Advance is computed
// from a value that overflows. The two rows before it must not be kept.
TEST_F(Ex2LoadFailure, RowThatCannotBeReadPartWay)
{
    Exec(m_path,
         "ALTER TABLE Main RENAME COLUMN [Alarm Advance] TO [Raw Advance];"
         "UPDATE Main SET [Raw Advance] = -9223372036854775808 WHERE [Record ID] = 3;"
         "ALTER TABLE Main ADD COLUMN [Alarm Advance] INTEGER GENERATED ALWAYS AS (abs([Raw Advance])) VIRTUAL");
    ExpectFailedLoad("integer overflow");
    EXPECT_TRUE(m_log.Has("Query first record in the Calendar database table successfully."));
}

// A database whose page in the middle of the record table was overwritten
// (a bad sector, a copy cut short and patched): the rows before it read,
// the damaged page does not.
TEST(Ex2DamagedFile, FailsTheLoadAndIsNotWritten)
{
    plat::ResetBackups();
    TempFolder dir;
    LogCapture log;
    std::string path = dir.Path() + "MemoPad/MemoPad.mdb";
    std::vector<std::unique_ptr<PmMemoEx2Record>> memos;
    for (int32_t id = 1; id <= 600; ++id)
        memos.push_back(Memo(id, "Memo number " + std::to_string(id) + " " + std::string(80, char('a' + id % 26))));
    std::string error;
    ASSERT_TRUE(palmfix::WriteMemoPadMdb(path, {{1, "Ideas", 0, 0}}, Pointers(memos), &error)) << error;

    std::string bytes = ex2test::ReadBytes(path);
    ASSERT_GE(bytes.size(), 100u);
    size_t pageSize = (uint8_t(bytes[16]) << 8) | uint8_t(bytes[17]);
    if (pageSize == 1)
        pageSize = 65536;
    size_t pages = bytes.size() / pageSize;
    ASSERT_GE(pages, 10u);  // schema, categories, record pages
    size_t damaged = pages / 2;
    for (size_t i = 0; i < 64; ++i)
        bytes[damaged * pageSize + i] = char(0xA5);
    {
        std::ofstream out(plat::ToHostPath(path), std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), std::streamsize(bytes.size()));
        ASSERT_TRUE(out.good());
    }

    {
        PmMemoEx2Util util;
        CxLogCapture capture;
        EXPECT_FALSE(util.LoadFile(path.c_str()));
        EXPECT_EQ(util.DataMgr()->Count(), 0u);
        EXPECT_TRUE(AnyMessageHas(capture, {path, "malformed"})) << capture.Text();
        // The damage was met part way: the first rows had been read.
        EXPECT_TRUE(log.Has("Query first record in the Memo database table successfully."));
    }
    EXPECT_TRUE(ex2test::ReadBytes(path) == bytes);
    EXPECT_EQ(ex2test::CountBackups(path), 0);
}

// ---------------------------------------------------------------- deletions

// Rows whose key texts the records in memory cannot hold as stored: longer
// than their fields, or characters outside the ANSI code page.
TEST(Ex2Deletion, RowsWhoseKeyTextsTheRecordCannotHold)
{
    CodePage cp(1252);
    plat::ResetBackups();
    TempFolder dir;
    LogCapture log;
    const std::string longText = "Long " + std::string(295, 'x');  // 300 characters

    // Calendar: a 300-character Summary and a Cyrillic one.
    std::string date = WriteCalendar(dir);
    Exec(date, "UPDATE Main SET [Summary] = '" + longText + "' WHERE [Record ID] = 1;"
               "UPDATE Main SET [Summary] = 'Встреча в офисе' WHERE [Record ID] = 2");
    // Tasks: a 300-character Description and a Greek one.
    std::string todo = dir.Path() + "todo/Todolist.mdb";
    {
        std::vector<std::unique_ptr<PmTodoEx2Record>> tasks;
        tasks.push_back(Task(1, "short"));
        tasks.push_back(Task(2, "short"));
        tasks.push_back(Task(3, "kept"));
        std::string error;
        ASSERT_TRUE(palmfix::WriteTodolistMdb(todo, {{1, "Errands", 0, 0}}, Pointers(tasks), &error)) << error;
    }
    Exec(todo, "UPDATE Main SET [Description] = '" + longText + "' WHERE [Record ID] = 1;"
               "UPDATE Main SET [Description] = 'Ψώνια' WHERE [Record ID] = 2");
    // Contacts: names longer than their 63 bytes, and Japanese names.
    std::string addr = dir.Path() + "address/Address.mdb";
    {
        std::vector<std::unique_ptr<PmAddrEx2Record>> contacts;
        contacts.push_back(Contact(1, "a", "b"));
        contacts.push_back(Contact(2, "c", "d"));
        contacts.push_back(Contact(3, "Kept", "Person"));
        std::string error;
        ASSERT_TRUE(palmfix::WriteAddressMdb(addr, {{1, "Friends", 0, 0}}, Pointers(contacts), &error)) << error;
    }
    Exec(addr, "UPDATE Main SET [First Name] = '" + std::string(100, 'F') + "', [Last Name] = '" +
                   std::string(70, 'L') + "' WHERE [Record ID] = 1;"
                   "UPDATE Main SET [First Name] = '太郎', [Last Name] = '山田' WHERE [Record ID] = 2");
    // Memos: Cyrillic text (a memo is found again by its text).
    std::string memo = dir.Path() + "MemoPad/MemoPad.mdb";
    {
        std::vector<std::unique_ptr<PmMemoEx2Record>> memos;
        memos.push_back(Memo(1, "x"));
        memos.push_back(Memo(2, "kept"));
        std::string error;
        ASSERT_TRUE(palmfix::WriteMemoPadMdb(memo, {{1, "Ideas", 0, 0}}, Pointers(memos), &error)) << error;
    }
    Exec(memo, "UPDATE Main SET [Note] = 'Список покупок: хлеб, молоко' WHERE [Record ID] = 1");

    const TableRows dateBefore = palmfix::Ex2DumpTable(date, "Main");
    const TableRows todoBefore = palmfix::Ex2DumpTable(todo, "Main");
    const TableRows addrBefore = palmfix::Ex2DumpTable(addr, "Main");
    const TableRows memoBefore = palmfix::Ex2DumpTable(memo, "Main");

    PmDateEx2Util dates;
    ASSERT_TRUE(dates.LoadFile(date.c_str()));
    EXPECT_TRUE(DeleteAt(dates, 0));
    EXPECT_TRUE(DeleteAt(dates, 1));
    ex2test::ExpectOnlyStatusChanged(dateBefore, palmfix::Ex2DumpTable(date, "Main"), {0, 1});

    PmTodoEx2Util todos;
    ASSERT_TRUE(todos.LoadFile(todo.c_str()));
    EXPECT_TRUE(DeleteAt(todos, 0));
    EXPECT_TRUE(DeleteAt(todos, 1));
    ex2test::ExpectOnlyStatusChanged(todoBefore, palmfix::Ex2DumpTable(todo, "Main"), {0, 1});

    PmAddrEx2Util contacts;
    ASSERT_TRUE(contacts.LoadFile(addr.c_str()));
    EXPECT_TRUE(DeleteAt(contacts, 0));
    EXPECT_TRUE(DeleteAt(contacts, 1));
    ex2test::ExpectOnlyStatusChanged(addrBefore, palmfix::Ex2DumpTable(addr, "Main"), {0, 1});

    PmMemoEx2Util memos;
    ASSERT_TRUE(memos.LoadFile(memo.c_str()));
    EXPECT_TRUE(DeleteAt(memos, 0));
    ex2test::ExpectOnlyStatusChanged(memoBefore, palmfix::Ex2DumpTable(memo, "Main"), {0});

    EXPECT_FALSE(log.Has("!!!")) << log.Text();
}

// A Null Start Time or Due Date reads as 0; the row is still the one deleted.
TEST(Ex2Deletion, NullStartTimeAndDueDate)
{
    plat::ResetBackups();
    TempFolder dir;
    LogCapture log;
    std::string date = WriteCalendar(dir);
    Exec(date, "UPDATE Main SET [Start Time] = NULL WHERE [Record ID] = 2");
    std::string todo = dir.Path() + "todo/Todolist.mdb";
    {
        std::vector<std::unique_ptr<PmTodoEx2Record>> tasks;
        tasks.push_back(Task(1, "Call"));
        tasks.push_back(Task(2, "Write"));
        std::string error;
        ASSERT_TRUE(palmfix::WriteTodolistMdb(todo, {{1, "Errands", 0, 0}}, Pointers(tasks), &error)) << error;
    }
    Exec(todo, "UPDATE Main SET [Due Date] = NULL WHERE [Record ID] = 1");
    const TableRows dateBefore = palmfix::Ex2DumpTable(date, "Main");
    const TableRows todoBefore = palmfix::Ex2DumpTable(todo, "Main");

    PmDateEx2Util dates;
    ASSERT_TRUE(dates.LoadFile(date.c_str()));
    EXPECT_EQ(dates.DataMgr()->GetAt(1)->StartTime, 0);
    EXPECT_TRUE(DeleteAt(dates, 1));
    ex2test::ExpectOnlyStatusChanged(dateBefore, palmfix::Ex2DumpTable(date, "Main"), {1});

    PmTodoEx2Util todos;
    ASSERT_TRUE(todos.LoadFile(todo.c_str()));
    EXPECT_EQ(todos.DataMgr()->GetAt(0)->DueDate, 0);
    EXPECT_TRUE(DeleteAt(todos, 0));
    ex2test::ExpectOnlyStatusChanged(todoBefore, palmfix::Ex2DumpTable(todo, "Main"), {0});
}

class Ex2IdenticalRows : public ::testing::Test {
protected:
    void SetUp() override
    {
        plat::ResetBackups();
        m_path = WriteCalendar(m_dir);
        // Item 2 twice, cell for cell: a copy not yet given its own ID.
        Exec(m_path, "INSERT INTO Main SELECT * FROM Main WHERE [Record ID] = 2");
        m_before = palmfix::Ex2DumpTable(m_path, "Main");
        ASSERT_EQ(m_before.size(), 4u);
        ASSERT_EQ(m_before[3], m_before[1]);
    }

    TempFolder m_dir;
    LogCapture m_log;
    std::string m_path;
    TableRows m_before;
};

TEST_F(Ex2IdenticalRows, EachDeletionChangesExactlyTheLoadedRow)
{
    PmDateEx2Util util;
    ASSERT_TRUE(util.LoadFile(m_path.c_str()));
    ASSERT_EQ(util.DataMgr()->Count(), 4u);
    ASSERT_EQ(util.DataMgr()->GetAt(3)->RecordID, 2);

    EXPECT_TRUE(DeleteAt(util, 3));
    ex2test::ExpectOnlyStatusChanged(m_before, palmfix::Ex2DumpTable(m_path, "Main"), {3});
    EXPECT_TRUE(DeleteAt(util, 1));
    ex2test::ExpectOnlyStatusChanged(m_before, palmfix::Ex2DumpTable(m_path, "Main"), {1, 3});
    EXPECT_EQ(ex2test::CountBackups(m_path), 1);
}

// A record that was never loaded has no row of its own: it is looked up by
// its key columns, which here name two rows. Neither changes.
TEST_F(Ex2IdenticalRows, RecordNotLoadedThatNamesTwoRowsChangesNothing)
{
    PmDateEx2Util util;
    ASSERT_TRUE(util.LoadFile(m_path.c_str()));
    PmDateEx2Record handMade = *util.DataMgr()->GetAt(1);
    std::memset(&handMade.RowKey, 0, sizeof handMade.RowKey);
    handMade.Status = 0x84;
    CxLogCapture capture;
    EXPECT_FALSE(util.WriteBackRecord(&handMade));
    EXPECT_EQ(palmfix::Ex2DumpTable(m_path, "Main"), m_before);
    EXPECT_TRUE(AnyMessageHas(capture, {"record 2 is not the only row with its key columns", "nothing was written"}))
        << capture.Text();
}

// A trigger that changes a second row with every Status change: the
// deletion would change two rows, so it changes none.
TEST(Ex2Deletion, StatementThatWouldChangeASecondRowChangesNothing)
{
    plat::ResetBackups();
    TempFolder dir;
    LogCapture log;
    std::string path = WriteCalendar(dir);
    Exec(path, "CREATE TRIGGER Touch AFTER UPDATE OF [Status] ON Main "
               "BEGIN UPDATE Main SET [Placement] = 99 WHERE [Record ID] = 3; END");
    const TableRows before = palmfix::Ex2DumpTable(path, "Main");
    PmDateEx2Util util;
    ASSERT_TRUE(util.LoadFile(path.c_str()));
    CxLogCapture capture;
    EXPECT_FALSE(DeleteAt(util, 0));
    EXPECT_EQ(palmfix::Ex2DumpTable(path, "Main"), before);
    EXPECT_TRUE(AnyMessageHas(capture, {"UPDATE Main SET [Status]=132", "2 rows", "nothing was changed"}))
        << capture.Text();
}

// The file changed between load and deletion: the loaded row was edited,
// removed, or removed and its place taken by another record.
TEST(Ex2Deletion, RowChangedSinceTheLoadIsNotWritten)
{
    plat::ResetBackups();
    TempFolder dir;
    LogCapture log;
    std::string path = WriteCalendar(dir);
    PmDateEx2Util util;
    ASSERT_TRUE(util.LoadFile(path.c_str()));
    Exec(path, "UPDATE Main SET [Summary] = 'Edited elsewhere' WHERE [Record ID] = 1;"
               "DELETE FROM Main WHERE [Record ID] = 2;"
               "DELETE FROM Main WHERE [Record ID] = 3;"
               "INSERT INTO Main (rowid, [Record ID], [Status], [Summary], [Start Time], [End Time]) "
               "VALUES (3, 7, 0, 'Meeting 3', 0, 0)");
    const TableRows before = palmfix::Ex2DumpTable(path, "Main");
    const std::string bytes = ex2test::ReadBytes(path);
    CxLogCapture capture;
    EXPECT_FALSE(DeleteAt(util, 0));
    EXPECT_FALSE(DeleteAt(util, 1));
    EXPECT_FALSE(DeleteAt(util, 2));
    EXPECT_EQ(palmfix::Ex2DumpTable(path, "Main"), before);
    EXPECT_TRUE(ex2test::ReadBytes(path) == bytes);
    for (const char* id : {"record 1 ", "record 2 ", "record 3 "})
        EXPECT_TRUE(AnyMessageHas(capture, {id, "nothing was written"})) << id << capture.Text();
}

// ---------------------------------------------------------------- connection

// Which statements get the row key: only a plain SELECT of one table, where
// one more column cannot change which rows come back.
TEST(DbQueryRowKey, OnlyPlainSelectsOfOneTable)
{
    EXPECT_EQ(DbQuery::WithRowKey("SELECT [ID], [Name] FROM Category "), "SELECT [ID], [Name], _rowid_ FROM Category ");
    EXPECT_EQ(DbQuery::WithRowKey("SELECT [Note] FROM Main WHERE [Note] = 'a FROM b, c' AND LEFT(Note, 256) = 'x'"),
              "SELECT [Note], _rowid_ FROM Main WHERE [Note] = 'a FROM b, c' AND LEFT(Note, 256) = 'x'");
    EXPECT_EQ(DbQuery::WithRowKey("select [From] from [Main] order by 1"), "select [From], _rowid_ from [Main] order by 1");
    EXPECT_EQ(DbQuery::WithRowKey("SELECT (SELECT 1 FROM Category) FROM Main"),
              "SELECT (SELECT 1 FROM Category), _rowid_ FROM Main");
    for (const char* other : {"SELECT 1", "SELECT DISTINCT [Note] FROM Main", "SELECT [Note] FROM Main, Category",
                              "SELECT [Note] FROM Main JOIN Category ON 1", "SELECT [Note] FROM Main UNION SELECT 1",
                              "SELECT [Note] FROM Main GROUP BY [Note]", "SELECT [Note] FROM Main; DROP TABLE Main",
                              "UPDATE Main SET [Status]=132 WHERE _rowid_ = 1", "SELECT [Note] FROM (SELECT 1)"})
        EXPECT_EQ(DbQuery::WithRowKey(other), "") << other;
}

class OneRowStatements : public ::testing::Test {
protected:
    void SetUp() override
    {
        plat::ResetBackups();
        m_path = WriteCalendar(m_dir);
        Exec(m_path, "INSERT INTO Main SELECT * FROM Main WHERE [Record ID] = 2");
        m_before = palmfix::Ex2DumpTable(m_path, "Main");
    }

    TempFolder m_dir;
    LogCapture m_log;
    TdmMain m_module;
    std::string m_path;
    TableRows m_before;
};

TEST_F(OneRowStatements, AStatementOnNoneOrTwoRowsChangesNothing)
{
    PmMDBAccessor accessor(&m_module, kPmDbDate, m_path.c_str());
    CxLogCapture capture;
    EXPECT_FALSE(accessor.ExecuteOnOneRow("UPDATE Main SET [Status]=132 WHERE [Record ID] = 2"));
    EXPECT_EQ(accessor.LastError(), "The statement would change 2 rows instead of exactly one, so nothing was changed.");
    EXPECT_FALSE(accessor.ExecuteOnOneRow("UPDATE Main SET [Status]=132 WHERE [Record ID] = 9"));
    EXPECT_EQ(accessor.LastError(), "The statement would change 0 rows instead of exactly one, so nothing was changed.");
    EXPECT_FALSE(accessor.ExecuteOnOneRow("UPDATE Main SET [Nope]=1 WHERE _rowid_ = 1"));
    EXPECT_EQ(accessor.LastError(), "no such column: Nope");
    EXPECT_EQ(capture.Messages().size(), 3u) << capture.Text();
    EXPECT_EQ(palmfix::Ex2DumpTable(m_path, "Main"), m_before);

    // Nothing was left open: the next statement changes its row, named by
    // its key, with the commit, and the file was kept before its first change.
    EXPECT_TRUE(accessor.ExecuteOnOneRow(("UPDATE Main SET [Status]=132 " + accessor.RowKeyCondition(4)).c_str()));
    EXPECT_EQ(palmfix::Ex2DumpTable(m_path, "Main"), m_before);
    std::string error;
    EXPECT_TRUE(accessor.CommitChanges(&error)) << error;
    ex2test::ExpectOnlyStatusChanged(m_before, palmfix::Ex2DumpTable(m_path, "Main"), {3});
    EXPECT_EQ(ex2test::CountBackups(m_path), 1);
}

}  // namespace

// A memo whose Placement is stored as text: the load does not take it, and
// reading the row again for the deletion must not take it either, or the
// text would look changed and be written over with the record's 0.
TEST(Ex2Deletion, MemoValuesTheLoadDidNotTakeStayAsStored)
{
    plat::ResetBackups();
    TempFolder dir;
    LogCapture log;
    std::string memo = dir.Path() + "MemoPad/MemoPad.mdb";
    {
        std::vector<std::unique_ptr<PmMemoEx2Record>> memos;
        memos.push_back(Memo(1, "first"));
        memos.push_back(Memo(2, "second"));
        std::string error;
        ASSERT_TRUE(palmfix::WriteMemoPadMdb(memo, {{1, "Ideas", 0, 0}}, Pointers(memos), &error)) << error;
    }
    Exec(memo, "UPDATE Main SET [Placement] = '9 apples' WHERE [Record ID] = 1");
    const TableRows before = palmfix::Ex2DumpTable(memo, "Main");

    PmMemoEx2Util memos;
    ASSERT_TRUE(memos.LoadFile(memo.c_str()));
    EXPECT_TRUE(DeleteAt(memos, 0));
    TableRows after = palmfix::Ex2DumpTable(memo, "Main");
    ex2test::ExpectOnlyStatusChanged(before, after, {0});
}
