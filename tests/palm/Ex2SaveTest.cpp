// The deletions of a 6.x run reach the database together: each write-back
// changes its row inside one transaction, Save commits it, and anything that
// ends the run without a Save (destruction, a reload, a lost connection)
// leaves the file as it was. A refused row changes nothing and keeps the
// others; a failed commit leaves none of them.
#include "palm/PalmDateEx2.h"
#include "palmfixture/FixtureEx2.h"
#include "platform/WinPath.h"

#include "PalmEx2TestUtil.h"

#include <gtest/gtest.h>

#include <sqlite3.h>

#include <memory>
#include <string>
#include <vector>

namespace {

using ex2test::LogCapture;
using ex2test::TableRows;
using ex2test::TempFolder;

// A calendar of `count` items (Record IDs 1..count) and its path.
std::string WriteCalendar(const TempFolder& dir, int32_t count, const char* name = "DateBook.mdb")
{
    std::string path = dir.Path() + name;
    std::vector<std::unique_ptr<PmDateEx2Record>> items;
    std::vector<const PmDateEx2Record*> pointers;
    for (int32_t id = 1; id <= count; ++id) {
        auto r = std::make_unique<PmDateEx2Record>();
        r->RecordID = id;
        r->Category = 1;
        r->StartTime = PmEx2TimeFromParts(2010, 5, 3) + id * 3600;
        r->EndTime = r->StartTime + 1800;
        r->Summary.Set(("Item " + std::to_string(id)).c_str());
        pointers.push_back(r.get());
        items.push_back(std::move(r));
    }
    std::string error;
    EXPECT_TRUE(palmfix::WriteDateBookMdb(path, {{1, "Work", 0, 0}}, pointers, &error)) << error;
    return path;
}

bool DeleteAt(PmDateEx2Util& util, uint32_t position)
{
    PmDateEx2Record* r = util.DataMgr()->GetAt(position);
    if (!r)
        return false;
    r->Status = 0x84;
    return util.WriteBackRecord(r);
}

// Another program reading the file: its read transaction holds a shared
// lock until it ends, which lets our changes be made but not committed.
class Reader {
public:
    explicit Reader(const std::string& path)
    {
        sqlite3_open_v2(plat::ToHostPath(path).c_str(), &m_db, SQLITE_OPEN_READONLY, nullptr);
        EXPECT_EQ(sqlite3_exec(m_db, "BEGIN; SELECT count(*) FROM Main;", nullptr, nullptr, nullptr), SQLITE_OK);
    }
    ~Reader() { sqlite3_close_v2(m_db); }

private:
    sqlite3* m_db = nullptr;
};

class Ex2Save : public ::testing::Test {
protected:
    void SetUp() override
    {
        plat::ResetBackups();
        m_path = WriteCalendar(m_dir, 5);
        m_before = palmfix::Ex2DumpTable(m_path, "Main");
    }
    TableRows Rows() const { return palmfix::Ex2DumpTable(m_path, "Main"); }

    TempFolder m_dir;
    LogCapture m_log;
    std::string m_path;
    TableRows m_before;
};

}  // namespace

// Nothing is visible to another connection before Save; then all of it is,
// and the backup copy was made before the first change.
TEST_F(Ex2Save, DeletionsLandTogetherOnSave)
{
    PmDateEx2Util util;
    ASSERT_TRUE(util.LoadFile(m_path.c_str()));
    std::string original = ex2test::ReadBytes(m_path);
    for (uint32_t position : {0u, 2u, 4u})
        EXPECT_TRUE(DeleteAt(util, position)) << position;
    std::string backup;
    ASSERT_EQ(ex2test::CountBackups(m_path, &backup), 1);
    EXPECT_EQ(ex2test::ReadBytes(backup), original);
    EXPECT_EQ(Rows(), m_before);

    EXPECT_TRUE(util.Save());
    ex2test::ExpectOnlyStatusChanged(m_before, Rows(), {0, 2, 4});
    // Committed once: a second save has nothing to do, a later deletion
    // starts a new transaction without a second backup.
    EXPECT_TRUE(util.Save());
    EXPECT_TRUE(DeleteAt(util, 1));
    EXPECT_TRUE(util.Save());
    ex2test::ExpectOnlyStatusChanged(m_before, Rows(), {0, 1, 2, 4});
    EXPECT_EQ(ex2test::CountBackups(m_path), 1);
}

// A run that ends without a Save leaves the file as it was: the utility
// destroyed, loaded again, or told to discard.
TEST_F(Ex2Save, RunEndedWithoutSaveChangesNothing)
{
    {
        PmDateEx2Util util;
        ASSERT_TRUE(util.LoadFile(m_path.c_str()));
        EXPECT_TRUE(DeleteAt(util, 0));
        EXPECT_TRUE(DeleteAt(util, 3));
    }
    EXPECT_EQ(Rows(), m_before);

    PmDateEx2Util util;
    ASSERT_TRUE(util.LoadFile(m_path.c_str()));
    EXPECT_TRUE(DeleteAt(util, 1));
    util.DataMgr()->Clear();
    ASSERT_TRUE(util.LoadFile(m_path.c_str()));
    EXPECT_EQ(util.DataMgr()->GetAt(1)->Status, 0);
    EXPECT_TRUE(DeleteAt(util, 2));
    util.DiscardWrites();
    EXPECT_TRUE(util.Save());
    EXPECT_EQ(Rows(), m_before);
}

// A row refused before its update (changed since the load) and one refused
// by its update (a trigger reaches a second row) change nothing, and the
// deletions before and after them still land.
TEST_F(Ex2Save, RefusedRowsKeepTheOthers)
{
    PmDateEx2Util util;
    ASSERT_TRUE(util.LoadFile(m_path.c_str()));
    std::string error;
    ASSERT_TRUE(palmfix::Ex2Exec(m_path, "UPDATE Main SET [Summary] = 'Edited' WHERE [Record ID] = 2", &error));
    ASSERT_TRUE(palmfix::Ex2Exec(m_path,
                                 "CREATE TRIGGER Touch AFTER UPDATE OF [Status] ON Main WHEN NEW.[Record ID] = 4 "
                                 "BEGIN UPDATE Main SET [Placement] = 99 WHERE [Record ID] = 5; END",
                                 &error));
    const TableRows edited = Rows();
    CxLogCapture capture;
    EXPECT_TRUE(DeleteAt(util, 0));
    EXPECT_FALSE(DeleteAt(util, 1));
    EXPECT_TRUE(DeleteAt(util, 2));
    EXPECT_FALSE(DeleteAt(util, 3));
    EXPECT_TRUE(DeleteAt(util, 4));
    EXPECT_NE(capture.Text().find("has changed since it was loaded"), std::string::npos) << capture.Text();
    EXPECT_NE(capture.Text().find("2 rows instead of exactly one"), std::string::npos) << capture.Text();
    EXPECT_TRUE(util.Save());
    ex2test::ExpectOnlyStatusChanged(edited, Rows(), {0, 2, 4});
}

// A commit that cannot be made (another program holds the file) leaves none
// of the deletions, says so at level 0 with the database's reason, and Save
// gives false.
TEST_F(Ex2Save, FailedCommitLeavesNone)
{
    PmDateEx2Util util;
    ASSERT_TRUE(util.LoadFile(m_path.c_str()));
    EXPECT_TRUE(DeleteAt(util, 0));
    EXPECT_TRUE(DeleteAt(util, 1));
    CxLogCapture capture;
    {
        Reader reader(m_path);
        EXPECT_FALSE(util.Save());
    }
    EXPECT_NE(capture.Text().find("could not be saved: database is locked. The file was not changed."),
              std::string::npos)
        << capture.Text();
    EXPECT_EQ(Rows(), m_before);
    EXPECT_TRUE(util.Save());
    EXPECT_EQ(Rows(), m_before);
}

// The connection of an application kind is shared: another utility that
// loads a file on it ends the first one's transaction. Those deletions are
// gone, so the ones after them are refused and Save fails: the file never
// holds part of a run.
TEST_F(Ex2Save, LostTransactionRefusesTheRest)
{
    PmDateEx2Util util;
    ASSERT_TRUE(util.LoadFile(m_path.c_str()));
    EXPECT_TRUE(DeleteAt(util, 0));
    PmDateEx2Util second;
    ASSERT_TRUE(second.LoadFile(m_path.c_str()));
    CxLogCapture capture;
    EXPECT_FALSE(DeleteAt(util, 2));
    EXPECT_FALSE(util.Save());
    EXPECT_NE(capture.Text().find("undone before they were saved"), std::string::npos) << capture.Text();
    EXPECT_NE(capture.Text().find("could not be saved"), std::string::npos) << capture.Text();
    EXPECT_EQ(Rows(), m_before);
}
