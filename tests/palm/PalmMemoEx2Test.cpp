#include "palm/PalmMemoEx2.h"
#include "palmfixture/FixtureEx2.h"
#include "platform/Codepage.h"
#include "platform/File.h"

#include "PalmEx2TestUtil.h"
#include "ScopedState.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

namespace {

using ex2test::LogCapture;
using ex2test::TempFolder;

std::unique_ptr<PmMemoEx2Record> Memo(int32_t id, int32_t category, const std::string& note)
{
    auto m = std::make_unique<PmMemoEx2Record>();
    m->RecordID = id;
    m->Category = category;
    m->Placement = id * 10;
    m->Note.Set(note.c_str());
    return m;
}

std::string Letters(size_t n)
{
    std::string s;
    for (size_t i = 0; i < n; ++i)
        s += char('a' + i % 26);
    return s;
}

class MemoDatabase : public ::testing::Test {
protected:
    void SetUp() override
    {
        plat::ResetBackups();
        m_path = palmfix::Ex2DatabasePath(m_dir.Path() + "User\\", kPmDbMemo);
        std::string long300 = Letters(300);
        long300[20] = '\'';
        m_memos.push_back(Memo(1, 1, "Short memo"));
        m_memos.push_back(Memo(2, 2, long300));
        m_memos.push_back(Memo(3, 1, "It's Bob's list"));
        m_memos.push_back(Memo(4, 7, "Unknown category"));
        std::vector<const PmMemoEx2Record*> records;
        for (auto& m : m_memos)
            records.push_back(m.get());
        std::string error;
        ASSERT_TRUE(palmfix::WriteMemoPadMdb(m_path, {{1, "Business", 0, 1}, {2, "Personal", 0, 2}}, records, &error))
            << error;
        // Longer than any memo field: its row keeps every character.
        ASSERT_TRUE(palmfix::Ex2Exec(m_path,
                                     "INSERT INTO Main VALUES (5, 0, 50, 0, '1', '" + std::string(41000, 'q') +
                                         "', NULL)",
                                     &error))
            << error;
    }

    PmMemoEx2Record* Find(PmMemoEx2Util& util, int32_t id) { return ex2test::FindRecord(util.DataMgr(), id); }

    TempFolder m_dir;
    LogCapture m_log;
    std::string m_path;
    std::vector<std::unique_ptr<PmMemoEx2Record>> m_memos;
};

TEST_F(MemoDatabase, LoadsEveryMemoWithItsCategoryName)
{
    PmMemoEx2Util util;
    ASSERT_TRUE(util.LoadFile(m_path.c_str()));
    EXPECT_TRUE(m_log.Has("Loading Palm Desktop Notes: " + m_path));
    EXPECT_TRUE(m_log.Has("Category loaded: Business"));
    EXPECT_TRUE(m_log.Has("Query first record in the Memo database table successfully."));
    EXPECT_TRUE(m_log.Has("Failed to query the next record of the Memo main table. Check if it is the end of the table."));
    EXPECT_TRUE(m_log.Has("Loading Palm Desktop Memo main records completed successfully."));
    ASSERT_EQ(util.DataMgr()->Count(), 5u);
    ASSERT_EQ(util.CategoryMgr()->Count(), 2u);

    PmMemoEx2Record* r = Find(util, 1);
    ASSERT_NE(r, nullptr);
    EXPECT_STREQ(r->Note.c_str(), "Short memo");
    EXPECT_EQ(r->NoteLength, 10);
    EXPECT_EQ(r->Placement, 10);
    EXPECT_STREQ(r->CategoryName.c_str(), "Business");
    EXPECT_STREQ(Find(util, 2)->CategoryName.c_str(), "Personal");
    // A category without a row keeps its ID text as the name.
    EXPECT_STREQ(Find(util, 4)->CategoryName.c_str(), "7");
    EXPECT_EQ(Find(util, 4)->Category, 7);
    PmMemoEx2Record* big = Find(util, 5);
    EXPECT_EQ(big->NoteLength, 40959);
    EXPECT_EQ(std::strlen(big->Note.c_str()), 40959u);

    // The same file loaded again gives the same records.
    std::vector<std::string> first;
    for (PmMemoEx2Record* m = util.DataMgr()->First(); m; m = util.DataMgr()->Next())
        first.push_back(std::to_string(m->RecordID) + "|" + m->CategoryName.c_str() + "|" + m->Note.c_str());
    util.DataMgr()->Clear();
    ASSERT_TRUE(util.LoadFile(m_path.c_str()));
    std::vector<std::string> second;
    for (PmMemoEx2Record* m = util.DataMgr()->First(); m; m = util.DataMgr()->Next())
        second.push_back(std::to_string(m->RecordID) + "|" + m->CategoryName.c_str() + "|" + m->Note.c_str());
    EXPECT_EQ(first, second);
    EXPECT_EQ(util.CategoryMgr()->Count(), 2u);
}

TEST_F(MemoDatabase, DeletionChangesOnlyTheStatusAndKeepsABackup)
{
    const std::string original = ex2test::ReadBytes(m_path);
    const auto before = palmfix::Ex2DumpTable(m_path, "Main");
    PmMemoEx2Util util;
    ASSERT_TRUE(util.LoadFile(m_path.c_str()));
    ASSERT_EQ(ex2test::CountBackups(m_path), 0);

    // The 300-character memo, apostrophes, a category without row, and a
    // memo longer than the field.
    for (int32_t id : {2, 3, 4, 5}) {
        PmMemoEx2Record* r = Find(util, id);
        ASSERT_NE(r, nullptr);
        r->Status = 0x84;
        m_log.Clear();
        EXPECT_TRUE(util.WriteBackRecord(r)) << id;
        EXPECT_TRUE(m_log.Has("UPDATE Main SET [Status]=132 WHERE _rowid_ = " + std::to_string(id)))
            << m_log.Text();
        EXPECT_TRUE(m_log.Has("Query executed successfully."));
    }
    EXPECT_FALSE(m_log.Has("!!!")) << m_log.Text();

    EXPECT_TRUE(util.Save());
    auto after = palmfix::Ex2DumpTable(m_path, "Main");
    ex2test::ExpectOnlyStatusChanged(before, after, {1, 2, 3, 4});
    EXPECT_EQ(palmfix::Ex2DumpTable(m_path, "Category").size(), 2u);

    std::string backup;
    ASSERT_EQ(ex2test::CountBackups(m_path, &backup), 1);
    EXPECT_TRUE(ex2test::ReadBytes(backup) == original);

    // Reloaded, the deleted memos are there with their new status.
    PmMemoEx2Util again;
    ASSERT_TRUE(again.LoadFile(m_path.c_str()));
    EXPECT_EQ(Find(again, 1)->Status, 0);
    EXPECT_EQ(Find(again, 2)->Status, 132);
    EXPECT_EQ(Find(again, 5)->Status, 132);
}

TEST_F(MemoDatabase, UnchangedOrPlacementOnlySendsNothing)
{
    const std::string original = ex2test::ReadBytes(m_path);
    PmMemoEx2Util util;
    ASSERT_TRUE(util.LoadFile(m_path.c_str()));
    PmMemoEx2Record* r = Find(util, 1);
    r->Placement = 99;
    m_log.Clear();
    EXPECT_TRUE(util.WriteBackRecord(r));
    EXPECT_TRUE(util.WriteBackRecord(Find(util, 3)));
    EXPECT_FALSE(m_log.Has("UPDATE"));
    EXPECT_TRUE(ex2test::ReadBytes(m_path) == original);
    EXPECT_EQ(ex2test::CountBackups(m_path), 0);
    EXPECT_TRUE(util.Save());
}

TEST_F(MemoDatabase, ACategoryNameChangesTheCategoryOnlyWhenItNamesOne)
{
    PmMemoEx2Util util;
    ASSERT_TRUE(util.LoadFile(m_path.c_str()));
    PmMemoEx2Record* r = Find(util, 1);
    r->Status = 0x84;
    r->CategoryName.Set("Personal");
    EXPECT_TRUE(util.WriteBackRecord(r));
    EXPECT_TRUE(m_log.Has("UPDATE Main SET [Status]=132 WHERE _rowid_ = 1"));
    EXPECT_EQ(r->Category, 2);  // the category column itself was not among the changes
    EXPECT_TRUE(util.Save());
    auto rows = palmfix::Ex2DumpTable(m_path, "Main");
    EXPECT_EQ(rows[0][4], "text:1");
}

TEST_F(MemoDatabase, NoChangeWithoutABackupCopy)
{
    const std::string original = ex2test::ReadBytes(m_path);
    PmMemoEx2Util util;
    ASSERT_TRUE(util.LoadFile(m_path.c_str()));
    PmMemoEx2Record* r = Find(util, 1);
    r->Status = 0x84;
    plat::FileFaults faults;
    faults.failBackup = true;
    {
        plat::ScopedFileFaults failing(faults);
        EXPECT_FALSE(util.WriteBackRecord(r));
    }
    EXPECT_TRUE(m_log.Has("Database Query Error, Query String=UPDATE Main SET [Status]=132 WHERE _rowid_ = 1, "
                          "Error=No backup copy could be made, so nothing was changed: "));
    EXPECT_TRUE(ex2test::ReadBytes(m_path) == original);
    EXPECT_TRUE(util.WriteBackRecord(r));
    EXPECT_TRUE(util.Save());
    EXPECT_EQ(palmfix::Ex2DumpTable(m_path, "Main")[0][1], "int:132");
}

TEST_F(MemoDatabase, ARowThatCannotBeFoundIsNotWritten)
{
    const std::string original = ex2test::ReadBytes(m_path);
    PmMemoEx2Util util;
    ASSERT_TRUE(util.LoadFile(m_path.c_str()));
    PmMemoEx2Record* r = Find(util, 3);
    r->Note.Set("Edited elsewhere");
    r->Status = 0x84;
    EXPECT_FALSE(util.WriteBackRecord(r));
    EXPECT_TRUE(m_log.Has("The stored row of record 3 has changed since it was loaded (Note); nothing was written."));
    // Without the row it was read from, a memo is looked up by its text.
    r->RowKey = PmRowKey{};
    EXPECT_FALSE(util.WriteBackRecord(r));
    EXPECT_TRUE(m_log.Has("The stored row of record 3 was not found by its key columns; nothing was written."));
    EXPECT_FALSE(m_log.Has("INSERT"));
    EXPECT_TRUE(ex2test::ReadBytes(m_path) == original);
}

TEST_F(MemoDatabase, MissingFileAndEmptyName)
{
    PmMemoEx2Util util;
    EXPECT_FALSE(util.LoadFile(""));
    EXPECT_TRUE(m_log.Has("Invalid Palm Desktop Notes database name."));
    std::string missing = m_dir.Path() + "none.mdb";
    EXPECT_FALSE(util.LoadFile(missing.c_str()));
    EXPECT_TRUE(m_log.Has("Open Palm Desktop Memos database failed: " + missing));
    EXPECT_EQ(util.DataMgr()->Count(), 0u);
}

}  // namespace

namespace {

TEST(MemoDatabaseCodePage, DoubleByteMemosAreFoundAgain)
{
    // The memo and its category hold the stored text (UTF-8) in a double-byte
    // code page as in any other.
    testenv::ScopedCodePage page(932);
    plat::ResetBackups();
    TempFolder dir;
    LogCapture log;
    const std::string japanese = "\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e\xe3\x83\xbbmemo";  // three kanji, a middle dot
    const std::string work = "\xe4\xbb\x95\xe4\xba\x8b";  // two kanji
    auto memo = std::make_unique<PmMemoEx2Record>();
    memo->RecordID = 8;
    memo->Note.Set(japanese.c_str());
    std::string path = dir.Path() + "MemoPad.mdb";
    std::string error;
    ASSERT_TRUE(palmfix::WriteMemoPadMdb(path, {{1, work, 0, 0}}, {memo.get()}, &error)) << error;
    EXPECT_EQ(palmfix::Ex2DumpTable(path, "Main")[0][5], "text:" + japanese);

    PmMemoEx2Util util;
    ASSERT_TRUE(util.LoadFile(path.c_str()));
    PmMemoEx2Record* r = util.DataMgr()->First();
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(std::string(r->Note.c_str()), japanese);
    EXPECT_EQ(r->NoteLength, 8);
    r->Status = 0x84;
    EXPECT_TRUE(util.WriteBackRecord(r));
    EXPECT_TRUE(util.Save());
    EXPECT_EQ(palmfix::Ex2DumpTable(path, "Main")[0][1], "int:132");
    EXPECT_EQ(util.CategoryMgr()->First()->Name, work);
}

}  // namespace

// A file where the database should be that cannot be opened as one is a
// failed load, not an empty notebook.
TEST_F(MemoDatabase, FileThatIsNoDatabaseFailsTheLoad)
{
    {
        std::ofstream f(plat::ToHostPath(m_path), std::ios::binary | std::ios::trunc);
        f << "Standard Jet DB" << std::string(200, '\0');
    }
    PmMemoEx2Util util;
    EXPECT_FALSE(util.LoadFile(m_path.c_str()));
    EXPECT_TRUE(m_log.Has("Open Palm Desktop Memos database failed: " + m_path));
    EXPECT_EQ(util.DataMgr()->Count(), 0u);
    EXPECT_EQ(util.CategoryMgr()->Count(), 0u);
}
