// The 6.x layer on Jet 4 files written by an independent Jet writer: every
// cell reads as that writer reads it back, a deletion changes exactly the
// Status bytes of its rows, and every change that cannot be made safely is
// refused with its reason, the file left byte for byte as it was.
#include "jet/JetFile.h"
#include "palm/DmMain.h"
#include "palm/PalmAddrEx2.h"
#include "palm/PalmAddrInfo.h"
#include "palm/PalmDateInfo.h"
#include "palm/PalmMemoInfo.h"
#include "palm/PalmTodoInfo.h"
#include "palmfixture/FixtureJet.h"
#include "palm/PalmCommEx2.h"
#include "palm/PalmMemoEx2.h"
#include "palm/PalmTodoEx2.h"
#include "platform/Codepage.h"
#include "platform/File.h"

#include "JetTestData.h"
#include "PalmEx2TestUtil.h"
#include "PalmInfoTestEnv.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <functional>
#include <set>
#include <tuple>
#include <string>
#include <vector>

namespace {

using ex2test::LogCapture;
using ex2test::TempFolder;

constexpr int kOle = 11;

int32_t KindOf(const std::string& file)
{
    if (file.rfind("Address", 0) == 0)
        return kPmDbAddr;
    if (file.rfind("DateBook", 0) == 0)
        return kPmDbDate;
    if (file.rfind("Todolist", 0) == 0)
        return kPmDbTodo;
    return kPmDbMemo;
}

// A value as the writer's dump writes it.
std::string Cell(const PmFieldValue& v)
{
    switch (v.vt) {
    case kPmVtI4: return std::to_string(v.lVal);
    case kPmVtI2: return std::to_string(v.iVal);
    case kPmVtBool: return v.boolVal ? "1" : "0";
    case kPmVtBstr: return v.bstrVal ? plat::WideToUtf8(std::u16string_view(v.bstrVal)) : std::string();
    default: return "\\N";
    }
}

// The Status bytes (and null mask byte) of each row of Main, by Record ID.
struct StatusPlace {
    uint64_t offset;
    uint64_t nullByte;
};

std::vector<StatusPlace> StatusPlaces(const std::string& path, std::vector<int32_t>* ids)
{
    std::vector<StatusPlace> places;
    jet::Database db;
    std::string error;
    EXPECT_TRUE(db.Open(path, &error)) << error;
    auto cursor = db.Walk("Main", {"Record ID"}, &error);
    EXPECT_TRUE(cursor) << error;
    while (cursor && cursor->Next(&error)) {
        jet::IntSlot slot;
        EXPECT_TRUE(db.LocateInt32("Main", "Status", cursor->Key(), &slot, &error)) << error;
        places.push_back({slot.offset, slot.nullByte});
        ids->push_back(int32_t(cursor->Row()[0].integer));
    }
    return places;
}

// Every byte of `after` equals `before` but the Status bytes and null mask
// bytes of the rows with the Record IDs `changed`.
void ExpectOnlyStatusBytesChanged(const std::string& before, const std::string& after, const std::string& path,
                                  const std::set<int32_t>& changed)
{
    ASSERT_EQ(after.size(), before.size());
    std::vector<int32_t> ids;
    std::vector<StatusPlace> places = StatusPlaces(path, &ids);
    std::set<uint64_t> allowed;
    for (size_t i = 0; i < ids.size(); ++i) {
        if (!changed.count(ids[i]))
            continue;
        for (uint64_t b = 0; b < 4; ++b)
            allowed.insert(places[i].offset + b);
        allowed.insert(places[i].nullByte);
    }
    size_t differing = 0;
    for (size_t i = 0; i < before.size(); ++i) {
        if (before[i] != after[i]) {
            ++differing;
            EXPECT_TRUE(allowed.count(i)) << "byte " << i << " changed";
        }
    }
    EXPECT_GT(differing, 0u);
}

class JetDatabase : public ::testing::Test {
protected:
    void SetUp() override { plat::ResetBackups(); }
    std::string Copy(const std::string& fixture, const std::string& as = std::string())
    {
        const std::string name = as.empty() ? fixture.substr(fixture.rfind('/') + 1) : as;
        const std::string path = m_dir.Path() + name;
        EXPECT_TRUE(jettest::CopyFixture(fixture, path)) << fixture;
        return path;
    }

    TempFolder m_dir;
    LogCapture m_log;
};

// Deletes the records at the positions and saves; false when any failed.
template <typename Util>
bool DeleteAndSave(Util& util, const std::vector<uint32_t>& positions)
{
    bool ok = true;
    for (uint32_t p : positions) {
        auto* r = util.DataMgr()->GetAt(p);
        if (!r)
            return false;
        r->Status = 0x84;
        ok = util.WriteBackRecord(r) && ok;
    }
    return util.Save() && ok;
}

// The positions of the first `count` records not yet marked deleted, from
// `from` on.
template <typename Util>
std::vector<uint32_t> Live(Util& util, size_t count, uint32_t from = 0)
{
    std::vector<uint32_t> out;
    for (uint32_t p = from; p < util.DataMgr()->Count() && out.size() < count; ++p)
        if (util.DataMgr()->GetAt(p)->Status != 0x84)
            out.push_back(p);
    EXPECT_EQ(out.size(), count);
    return out;
}

}  // namespace

// Through the accessor, every cell of every row of both tables is what the
// independent writer reads back: Null apart from empty, texts of every
// script and of any length, only the rows a row pointer reaches (deleted
// rows and old copies of moved rows left out). OLE columns read as empty.
TEST_F(JetDatabase, EveryCellThroughTheAccessor)
{
    for (const char* file :
         {"Address", "DateBook", "Todolist", "MemoPad", "MemoPadDel", "AddressChurn", "DateBookTextTimes"}) {
        const std::string path = Copy(std::string(file) + ".mdb");
        jet::Database reader;
        std::string error;
        ASSERT_TRUE(reader.Open(path, &error)) << error;
        PmMDBAccessor accessor(&DataModule(), KindOf(file), path.c_str());
        ASSERT_TRUE(accessor.Connection()->IsJet()) << file;
        for (const char* table : {"Main", "Category"}) {
            SCOPED_TRACE(std::string(file) + "." + table);
            const jettest::Table expected = jettest::Expected(file, table);
            ASSERT_FALSE(expected.rows.empty());
            std::vector<jet::ColumnInfo> info;
            ASSERT_TRUE(reader.Columns(table, &info, &error)) << error;
            ASSERT_EQ(info.size(), expected.columns.size());
            std::vector<const char*> names;
            for (const std::string& c : expected.columns)
                names.push_back(c.c_str());
            PmFieldValue* row = nullptr;
            int32_t count = int32_t(names.size());
            size_t r = 0;
            bool ok = accessor.SelectAllFirst(table, names.data(), &row, &count);
            for (; ok; ++r) {
                ASSERT_LT(r, expected.rows.size());
                ASSERT_EQ(size_t(count), names.size());
                for (size_t c = 0; c < names.size(); ++c) {
                    const std::string want = info[c].type == kOle ? std::string("\\N") : expected.rows[r][c];
                    if (Cell(row[c]) != want) {
                        ADD_FAILURE() << "row " << r << " column " << names[c] << " vt " << row[c].vt << ": "
                                      << Cell(row[c]).substr(0, 80)
                                      << " instead of " << want.substr(0, 80);
                        PmDataAccessor::FreeValues(row, count);
                        return;
                    }
                }
                PmDataAccessor::FreeValues(row, count);
                row = nullptr;
                ok = accessor.SelectAllNext(table, names.data(), &row, &count);
            }
            EXPECT_EQ(r, expected.rows.size());
            EXPECT_TRUE(accessor.Query()->Done());
        }
    }
}

// A deletion changes the four Status bytes of exactly its rows (and the null
// mask bit of a Null Status), after a backup of the file as it was; the
// deleted rows read as 132 afterwards, by the layer and by the reader.
TEST_F(JetDatabase, DeletionWritesOnlyTheStatusBytes)
{
    const std::string memo = Copy("MemoPad.mdb");
    const std::string memoBefore = jettest::ReadAll(memo);
    std::set<int32_t> deletedMemos;
    {
        PmMemoEx2Util util;
        ASSERT_TRUE(util.LoadFile(memo.c_str()));
        ASSERT_EQ(util.DataMgr()->Count(), 315u);
        std::vector<uint32_t> chosen = Live(util, 2);
        chosen.push_back(Live(util, 1, 300)[0]);
        for (uint32_t p : chosen)
            deletedMemos.insert(util.DataMgr()->GetAt(p)->RecordID);
        ASSERT_TRUE(DeleteAndSave(util, chosen)) << m_log.Text();
    }
    ExpectOnlyStatusBytesChanged(memoBefore, jettest::ReadAll(memo), memo, deletedMemos);
    std::string backup;
    ASSERT_EQ(ex2test::CountBackups(memo, &backup), 1);
    EXPECT_TRUE(jettest::ReadAll(backup) == memoBefore);
    {
        PmMemoEx2Util again;
        ASSERT_TRUE(again.LoadFile(memo.c_str()));
        for (uint32_t p = 0; p < again.DataMgr()->Count(); ++p) {
            const PmMemoEx2Record* r = again.DataMgr()->GetAt(p);
            if (deletedMemos.count(r->RecordID)) {
                EXPECT_EQ(r->Status, 132) << r->RecordID;
            }
        }
    }

    // A task whose Status is Null: its null mask bit is set with the value.
    const std::string todo = Copy("Todolist.mdb");
    const std::string todoBefore = jettest::ReadAll(todo);
    const jettest::Table expected = jettest::Expected("Todolist", "Main");
    size_t nullRow = expected.rows.size();
    for (size_t r = 0; r < expected.rows.size() && nullRow == expected.rows.size(); ++r)
        if (expected.rows[r][1] == "\\N")
            nullRow = r;
    ASSERT_LT(nullRow, expected.rows.size());
    int32_t nullId = 0;
    {
        PmTodoEx2Util util;
        ASSERT_TRUE(util.LoadFile(todo.c_str()));
        nullId = util.DataMgr()->GetAt(uint32_t(nullRow))->RecordID;
        ASSERT_EQ(std::to_string(nullId), expected.rows[nullRow][0]);
        ASSERT_TRUE(DeleteAndSave(util, {uint32_t(nullRow)})) << m_log.Text();
    }
    ExpectOnlyStatusBytesChanged(todoBefore, jettest::ReadAll(todo), todo, {nullId});
    jet::Database reader;
    std::string error;
    ASSERT_TRUE(reader.Open(todo, &error)) << error;
    auto cursor = reader.Walk("Main", {"Record ID", "Status"}, &error);
    ASSERT_TRUE(cursor);
    bool seen = false;
    while (cursor->Next(&error)) {
        if (cursor->Row()[0].integer == nullId) {
            seen = true;
            EXPECT_EQ(cursor->Row()[1].kind, jet::Kind::Int);
            EXPECT_EQ(cursor->Row()[1].integer, 132);
        }
    }
    EXPECT_TRUE(seen);
}

// Rows that an update moved to another page are deleted where they are now.
TEST_F(JetDatabase, MovedRowsAreDeletedWhereTheyAre)
{
    const std::string path = Copy("AddressChurn.mdb");
    const std::string before = jettest::ReadAll(path);
    std::set<int32_t> deleted;
    {
        PmAddrEx2Util util;
        ASSERT_TRUE(util.LoadFile(path.c_str()));
        ASSERT_EQ(util.DataMgr()->Count(), 398u);
        std::vector<uint32_t> positions;
        for (uint32_t p = 0; p < util.DataMgr()->Count(); p += 9) {
            positions.push_back(p);
            deleted.insert(util.DataMgr()->GetAt(p)->RecordID);
        }
        ASSERT_TRUE(DeleteAndSave(util, positions)) << m_log.Text();
    }
    ExpectOnlyStatusBytesChanged(before, jettest::ReadAll(path), path, deleted);
}

// Changes that cannot be made safely in place are refused with their reason
// and leave the file byte for byte as it was.
TEST_F(JetDatabase, UnsafeChangesAreRefused)
{
    struct Case {
        const char* fixture;
        const char* reason;
    };
    for (const Case& c : {Case{"odd/MemoStatusIndexed.mdb", "index"}, Case{"odd/MemoStatusShort.mdb", "Long Integer"}}) {
        SCOPED_TRACE(c.fixture);
        m_log.Clear();
        const std::string path = Copy(c.fixture, "MemoPad.mdb");
        const std::string before = jettest::ReadAll(path);
        PmMemoEx2Util util;
        ASSERT_TRUE(util.LoadFile(path.c_str())) << m_log.Text();
        ASSERT_EQ(util.DataMgr()->Count(), 3u);
        EXPECT_FALSE(DeleteAndSave(util, Live(util, 1)));
        EXPECT_TRUE(m_log.Has("cannot be changed in place")) << m_log.Text();
        EXPECT_TRUE(m_log.Has(c.reason)) << m_log.Text();
        EXPECT_TRUE(jettest::ReadAll(path) == before);
        EXPECT_EQ(ex2test::CountBackups(path), 0);
    }

    // A change of anything but the Status is never attempted.
    {
        m_log.Clear();
        const std::string path = Copy("MemoPad.mdb");
        const std::string before = jettest::ReadAll(path);
        PmMemoEx2Util util;
        ASSERT_TRUE(util.LoadFile(path.c_str()));
        PmMemoEx2Record* r = util.DataMgr()->GetAt(Live(util, 1)[0]);
        r->Private = r->Private ? 0 : 1;
        r->Status = 0x84;
        EXPECT_FALSE(util.WriteBackRecord(r));
        EXPECT_TRUE(util.Save());
        EXPECT_TRUE(m_log.Has("Only the Status of a row is changed")) << m_log.Text();
        EXPECT_TRUE(jettest::ReadAll(path) == before);
    }
}

// A row that is no longer as the load read it is not changed: its Status
// changed by someone else, or the file replaced by one where other rows
// stand at the same places.
TEST_F(JetDatabase, RowsChangedSinceTheLoadAreRefused)
{
    const std::string path = Copy("Address.mdb");
    PmAddrEx2Util util;
    ASSERT_TRUE(util.LoadFile(path.c_str()));
    PmAddrEx2Record* first = util.DataMgr()->GetAt(Live(util, 1)[0]);
    {
        // Another program sets the first row's Status.
        jet::Database reader;
        std::string error;
        ASSERT_TRUE(reader.Open(path, &error));
        jet::IntSlot slot;
        ASSERT_TRUE(reader.LocateInt32("Main", "Status", first->RowKey.value, &slot, &error)) << error;
        const int fd = ::open(path.c_str(), O_RDWR);
        ASSERT_GE(fd, 0);
        const uint8_t other[4] = {0x20, 0, 0, 0};
        ASSERT_EQ(::pwrite(fd, other, 4, off_t(slot.offset)), 4);
        ::close(fd);
    }
    std::string before = jettest::ReadAll(path);
    first->Status = 0x84;
    EXPECT_FALSE(util.WriteBackRecord(first));
    // The row's Status as loaded is checked before the engine's own check.
    EXPECT_TRUE(m_log.Has("has changed since it was loaded (Status 32, loaded as ")) << m_log.Text();

    // The file replaced by the churned one: rows moved, others deleted.
    ASSERT_TRUE(jettest::CopyFixture("AddressChurn.mdb", path));
    before = jettest::ReadAll(path);
    m_log.Clear();
    int refused = 0;
    for (uint32_t p = 1; p < util.DataMgr()->Count(); ++p) {
        PmAddrEx2Record* r = util.DataMgr()->GetAt(p);
        r->Status = 0x84;
        if (!util.WriteBackRecord(r))
            ++refused;
    }
    util.DiscardWrites();
    EXPECT_GT(refused, 0);
    EXPECT_TRUE(jettest::ReadAll(path) == before);
}

// A database another program holds open (its lock file held) is not
// written: the user is told to close the desktop program.
TEST_F(JetDatabase, HeldDatabaseIsNotWritten)
{
    const std::string path = Copy("MemoPad.mdb");
    const std::string before = jettest::ReadAll(path);
    const std::string lock = m_dir.Path() + "MemoPad.ldb";
    PmMemoEx2Util util;
    ASSERT_TRUE(util.LoadFile(path.c_str()));
    {
        const int fd = ::open(lock.c_str(), O_RDWR | O_CREAT, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
        EXPECT_FALSE(DeleteAndSave(util, Live(util, 1)));
        EXPECT_TRUE(m_log.Has("Close Palm Desktop")) << m_log.Text();
        EXPECT_TRUE(jettest::ReadAll(path) == before);

        // Held between the deletion and the save: the save fails.
        ::close(fd);
    }
    m_log.Clear();
    PmMemoEx2Record* r = util.DataMgr()->GetAt(Live(util, 1, 1)[0]);
    r->Status = 0x84;
    ASSERT_TRUE(util.WriteBackRecord(r)) << m_log.Text();
    const int fd = ::open(lock.c_str(), O_RDWR);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
    EXPECT_FALSE(util.Save());
    EXPECT_TRUE(m_log.Has("Close Palm Desktop")) << m_log.Text();
    ::close(fd);
    EXPECT_TRUE(jettest::ReadAll(path) == before);

    // A lock file that nobody holds is a leftover and does not count.
    r->Status = 0x84;
    ASSERT_TRUE(util.WriteBackRecord(r)) << m_log.Text();
    EXPECT_TRUE(util.Save()) << m_log.Text();
    EXPECT_FALSE(jettest::ReadAll(path) == before);
}

// A write that fails part way puts back what it wrote; a save whose backup
// copy cannot be made writes nothing.
TEST_F(JetDatabase, FailedWriteLeavesTheFileAsItWas)
{
    const std::string path = Copy("MemoPad.mdb");
    const std::string original = jettest::ReadAll(path);
    PmMemoEx2Util util;
    ASSERT_TRUE(util.LoadFile(path.c_str()));
    // A first save makes the run's backup copy, so that the hooks below meet
    // only the writes in place.
    const std::vector<uint32_t> live = Live(util, 4);
    ASSERT_TRUE(DeleteAndSave(util, {live[0]})) << m_log.Text();
    const std::string before = jettest::ReadAll(path);
    for (uint32_t p : {live[1], live[2], live[3]}) {
        PmMemoEx2Record* r = util.DataMgr()->GetAt(p);
        r->Status = 0x84;
        ASSERT_TRUE(util.WriteBackRecord(r)) << m_log.Text();
    }
    plat::FileFaults faults;
    faults.failWriteCall = 2;  // the third row's write
    {
        plat::ScopedFileFaults scoped(faults);
        EXPECT_FALSE(util.Save());
    }
    EXPECT_TRUE(m_log.Has("what was written was put back")) << m_log.Text();
    EXPECT_TRUE(jettest::ReadAll(path) == before);

    // Without its backup copy the file is not changed at all.
    plat::ResetBackups();
    ex2test::TempFolder other;
    const std::string second = other.Path() + "MemoPad.mdb";
    ASSERT_TRUE(jettest::CopyFixture("MemoPad.mdb", second));
    PmMemoEx2Util util2;
    ASSERT_TRUE(util2.LoadFile(second.c_str()));
    PmMemoEx2Record* r = util2.DataMgr()->GetAt(Live(util2, 1)[0]);
    r->Status = 0x84;
    ASSERT_TRUE(util2.WriteBackRecord(r)) << m_log.Text();
    m_log.Clear();
    faults = plat::FileFaults();
    faults.failBackup = true;
    {
        plat::ScopedFileFaults scoped(faults);
        EXPECT_FALSE(util2.Save());
    }
    EXPECT_TRUE(m_log.Has("No backup copy")) << m_log.Text();
    EXPECT_TRUE(jettest::ReadAll(second) == original);
    EXPECT_EQ(ex2test::CountBackups(second), 0);
}

// An encrypted database is not read at all, and stays as it was.
TEST_F(JetDatabase, EncryptedDatabaseIsRefused)
{
    const std::string path = Copy("MemoPad.mdb");
    std::string bytes = jettest::ReadAll(path);
    // The header from 0x18 on is kept under a fixed stream cipher: flipping
    // bits of the stored bytes flips the same bits of the database key,
    // which is zero in a file whose pages are not encoded.
    bytes[0x3e] = char(bytes[0x3e] ^ 0x5a);
    ASSERT_TRUE(jettest::WriteAll(path, bytes));
    PmMemoEx2Util util;
    EXPECT_FALSE(util.LoadFile(path.c_str()));
    EXPECT_TRUE(m_log.Has("encrypted")) << m_log.Text();
    EXPECT_TRUE(m_log.Has(path)) << m_log.Text();
    EXPECT_TRUE(jettest::ReadAll(path) == bytes);
}

// Only the statements the layer builds run on a Jet file.
TEST_F(JetDatabase, OtherStatementsAreRefused)
{
    const std::string path = Copy("MemoPad.mdb");
    const std::string before = jettest::ReadAll(path);
    PmMDBAccessor accessor(&DataModule(), kPmDbMemo, path.c_str());
    PmFieldValue* row = nullptr;
    int32_t count = 0;
    for (const char* statement :
         {"SELECT * FROM Main", "SELECT [Note] FROM MSysObjects", "DELETE FROM Main",
          "SELECT [Record ID] FROM Main WHERE [Record ID] > 3", "INSERT INTO Main ([Record ID]) VALUES (1)"}) {
        SCOPED_TRACE(statement);
        m_log.Clear();
        EXPECT_FALSE(accessor.QueryFirst(statement, &row, &count));
        EXPECT_FALSE(accessor.Execute(statement, false));
        EXPECT_TRUE(m_log.Has("Database Query Error")) << m_log.Text();
    }
    // The key-column conditions the layer builds select as they say.
    EXPECT_TRUE(accessor.QueryFirst("SELECT [Record ID], [Note] FROM Main WHERE [Record ID] = 3 AND ([Category] = '' "
                                    "OR [Category] IS NULL) OR 1",
                                    &row, &count) == false);
    // A memo longer than 256 characters is found by its first 256.
    const jettest::Table expected = jettest::Expected("MemoPad", "Main");
    size_t at = 0;
    while (at < expected.rows.size() && plat::Utf8ToWide(expected.rows[at][5]).size() <= 300)
        ++at;
    ASSERT_LT(at, expected.rows.size());
    const std::string id = expected.rows[at][0];
    const std::u16string head = plat::Utf8ToWide(expected.rows[at][5]).substr(0, 256);
    std::string literal;
    for (char c : plat::WideToUtf8(head)) {
        literal += c;
        if (c == '\'')
            literal += '\'';
    }
    ASSERT_TRUE(accessor.QueryFirst(("SELECT [Record ID] FROM Main WHERE LEFT(Note, 256) = '" + literal + "'").c_str(),
                                    &row, &count));
    EXPECT_EQ(Cell(row[0]), id);
    PmDataAccessor::FreeValues(row, count);
    ASSERT_TRUE(accessor.QueryFirst(("SELECT [Record ID] FROM Main WHERE [Record ID] = " + id).c_str(), &row, &count));
    EXPECT_EQ(Cell(row[0]), id);
    PmDataAccessor::FreeValues(row, count);
    EXPECT_TRUE(jettest::ReadAll(path) == before);
}

namespace {

// `shown` is what a field holds of the stored `stored`: the whole text when
// it is short, else a cut between characters (the cut is the field's).
void ExpectShownAsStored(const std::string& shown, std::string stored, size_t shortChars, const std::string& what)
{
    if (stored == "\\N")
        stored.clear();
    if (plat::Utf8ToWide(stored).size() < shortChars) {
        EXPECT_EQ(shown, stored) << what;
        return;
    }
    EXPECT_EQ(stored.compare(0, shown.size(), shown), 0) << what << ": not a prefix";
    EXPECT_TRUE(shown.size() == stored.size() || (uint8_t(stored[shown.size()]) & 0xC0) != 0x80)
        << what << ": cut inside a character";
    EXPECT_GT(shown.size(), 0u) << what;
}

// The rows of a table whose records the facades show, in table order.
std::vector<std::vector<std::string>> LiveRows(const std::string& file)
{
    std::vector<std::vector<std::string>> out;
    for (auto& row : jettest::Expected(file, "Main").rows)
        if (PmIsLiveStatus(row[1] == "\\N" ? 0u : uint32_t(std::stoll(row[1]))))
            out.push_back(row);
    return out;
}

size_t Column(const std::string& file, const char* name)
{
    const auto columns = jettest::Expected(file, "Main").columns;
    for (size_t c = 0; c < columns.size(); ++c)
        if (columns[c] == name)
            return c;
    ADD_FAILURE() << "no column " << name;
    return 0;
}

}  // namespace

// Through the four facades, the records of a 6.x installation of Jet files
// hold the stored texts in every script, cut only by their fields.
TEST(JetFacades, RecordsHoldTheStoredTexts)
{
    infotest::PalmInstall env(6, 0, 0);
    std::string error;
    ASSERT_TRUE(palmfix::CopyJetDatabases(jettest::DataFolder(), palmfix::UserHostFolder(env.Inst(), env.Inst().users[0]),
                                          &error))
        << error;
    const int32_t user = int32_t(env.UserId());
    {
        PmAddrInfo info(60000);
        ASSERT_TRUE(info.LoadByUser(user)) << env.Log();
        const auto rows = LiveRows("Address");
        ASSERT_EQ(info.GetCommMgr()->Count(), rows.size());
        const size_t first = Column("Address", "First Name"), last = Column("Address", "Last Name"),
                     company = Column("Address", "Company");
        size_t r = 0;
        for (CommAddr* a = info.GetCommMgr()->First(); a; a = info.GetCommMgr()->Next(), ++r) {
            ExpectShownAsStored(std::string(a->FirstName.View()), rows[r][first], 31, "first name " + std::to_string(r));
            ExpectShownAsStored(std::string(a->LastName.View()), rows[r][last], 31, "last name " + std::to_string(r));
            ExpectShownAsStored(std::string(a->Company.View()), rows[r][company], 63, "company " + std::to_string(r));
        }
    }
    {
        PmDateInfo info(60000);
        ASSERT_TRUE(info.LoadByUser(user)) << env.Log();
        const auto rows = LiveRows("DateBook");
        ASSERT_EQ(info.GetCommMgr()->Count(), rows.size());
        const size_t summary = Column("DateBook", "Summary"), location = Column("DateBook", "Location");
        size_t r = 0;
        for (CommDate* d = info.GetCommMgr()->First(); d; d = info.GetCommMgr()->Next(), ++r) {
            ExpectShownAsStored(std::string(d->Description.View()), rows[r][summary], 255, "summary " + std::to_string(r));
            ExpectShownAsStored(std::string(d->Location.View()), rows[r][location], 255, "location " + std::to_string(r));
        }
    }
    {
        PmTodoInfo info(60000);
        ASSERT_TRUE(info.LoadByUser(user)) << env.Log();
        const auto rows = LiveRows("Todolist");
        ASSERT_EQ(info.GetCommMgr()->Count(), rows.size());
        const size_t description = Column("Todolist", "Description"), note = Column("Todolist", "Note");
        size_t r = 0;
        for (CommTask* t = info.GetCommMgr()->First(); t; t = info.GetCommMgr()->Next(), ++r) {
            ExpectShownAsStored(std::string(t->Description.View()), rows[r][description], 255,
                                "description " + std::to_string(r));
            ExpectShownAsStored(std::string(t->Note.View()), rows[r][note], 4095, "task note " + std::to_string(r));
        }
    }
    {
        PmMemoInfo info(60000);
        ASSERT_TRUE(info.LoadByUser(user)) << env.Log();
        const auto rows = LiveRows("MemoPad");
        ASSERT_EQ(info.GetCommMgr()->Count(), rows.size());
        const size_t note = Column("MemoPad", "Note");
        size_t r = 0;
        for (CommNote* n = info.GetCommMgr()->First(); n; n = info.GetCommMgr()->Next(), ++r)
            ExpectShownAsStored(std::string(n->Note.View()), rows[r][note], 4095, "memo " + std::to_string(r));
    }
}

// ---------------------------------------------------------------- files that are not sound

namespace {

// One application's database, and a column its load reads as a text.
struct JetApp {
    const char* file;
    int32_t kind;
    const char* text;
};
const JetApp kJetApps[] = {{"Address", kPmDbAddr, "First Name"},
                           {"DateBook", kPmDbDate, "Summary"},
                           {"Todolist", kPmDbTodo, "Description"},
                           {"MemoPad", kPmDbMemo, "Note"}};

// What a load through an application's utility kept.
struct Loaded {
    bool ok = false;
    uint32_t records = 0;
    uint32_t categories = 0;
    std::string words;
};

template <typename Util>
Loaded LoadWith(const std::string& path)
{
    Util util;
    Loaded l;
    l.ok = util.LoadFile(path.c_str());
    l.records = util.DataMgr()->Count();
    l.categories = util.CategoryMgr()->Count();
    l.words = util.FailureWords();
    return l;
}

Loaded LoadThrough(int32_t kind, const std::string& path)
{
    switch (kind) {
    case kPmDbAddr: return LoadWith<PmAddrEx2Util>(path);
    case kPmDbDate: return LoadWith<PmDateEx2Util>(path);
    case kPmDbTodo: return LoadWith<PmTodoEx2Util>(path);
    default: return LoadWith<PmMemoEx2Util>(path);
    }
}

// Where the variable-column count of the first row of Main that stands in
// its place lies in the file.
size_t FirstRowVarCount(const std::string& path, const std::string& bytes)
{
    jet::Database db;
    std::string error;
    EXPECT_TRUE(db.Open(path, &error)) << error;
    auto cursor = db.Walk("Main", {}, &error);
    while (cursor && cursor->Next(&error)) {
        const uint32_t page = uint32_t(cursor->Key() >> 8), row = uint32_t(cursor->Key() & 0xFF);
        if (jettest::Get(bytes, page * jettest::kPage + 0x0E + 2 * row, 2) & 0xC000)
            continue;
        size_t start = 0, end = 0;
        jettest::RowBounds(bytes, page, row, &start, &end);
        return end - (jettest::Get(bytes, start, 2) + 7) / 8 - 2;
    }
    ADD_FAILURE() << "no row in its place";
    return 0;
}

// The words of a refused load say which file, that nothing of it was read
// or changed, and what to do, and none of the troubleshooting log's lines.
void ExpectUsersWords(const std::string& words, const std::string& path, const std::string& what,
                      const std::string& todo = "Restore the file from a backup copy")
{
    EXPECT_NE(words.find("\"" + path + "\""), std::string::npos) << words;
    EXPECT_NE(words.find(what), std::string::npos) << words;
    EXPECT_NE(words.find("nothing in it was changed"), std::string::npos) << words;
    EXPECT_NE(words.find(todo), std::string::npos) << words;
    for (const char* technical : {"SELECT", "Data Source", "Provider", "file is not a database", "no such table",
                                  "memo or OLE", "..", "\\"})
        EXPECT_EQ(words.find(technical), std::string::npos) << technical << " in: " << words;
}

}  // namespace

// Each class of damage the campaign found, on each application's database:
// the load is refused whole (no record, no category), the log names the
// technical reason, the user's words say the file is damaged, and the file
// is left as it was.
TEST_F(JetDatabase, DamagedFilesOfEveryClassAreRefusedWhole)
{
    using namespace jettest;
    for (const JetApp& app : kJetApps) {
        const std::string fixture = std::string(app.file) + ".mdb";
        const std::string original = ReadAll(DataFolder() + fixture);
        const uint32_t mainDef = jettest::DefinitionPage(DataFolder() + fixture, "Main");
        const uint32_t categoryDef = jettest::DefinitionPage(DataFolder() + fixture, "Category");
        const auto entries = ColumnEntries(original, mainDef);
        ASSERT_TRUE(entries.count(app.text) && entries.count("Status") && entries.count("Note")) << app.file;
        const size_t text = entries.at(app.text), status = entries.at("Status"), note = entries.at("Note");
        const size_t varCount = FirstRowVarCount(DataFolder() + fixture, original);
        // A data page of Main in the middle of its rows.
        std::vector<int32_t> ids;
        std::vector<StatusPlace> places = StatusPlaces(DataFolder() + fixture, &ids);
        ASSERT_FALSE(places.empty());
        const uint32_t dataPage = uint32_t(places[places.size() / 2].offset / kPage);
        ASSERT_EQ(OwnerOf(original, dataPage), mainDef);
        struct Damage {
            const char* what;
            const char* reason;  // in the log
            std::function<void(std::string*)> apply;
        };
        const std::vector<Damage> damages = {
            {"a text stored as Binary", "is stored as Binary", [&](std::string* b) { (*b)[text + kColumnType] = 9; }},
            {"a text flagged fixed-length", "fixed-length", [&](std::string* b) { (*b)[text + kColumnFlags] |= 1; }},
            {"a variable-column number out of range", "variable-column number 250",
             [&](std::string* b) { Put(b, text + kColumnVarNumber, 250, 2); }},
            {"a memo stored as a Text", "longer than its column",
             [&](std::string* b) {
                 (*b)[note + kColumnType] = 10;
                 Put(b, note + kColumnSize, 0, 2);
             }},
            {"Status stored as Yes/No", "Status is stored as Yes/No",
             [&](std::string* b) { (*b)[status + kColumnType] = 1; }},
            {"Status of 2 bytes", "size of 2 bytes", [&](std::string* b) { Put(b, status + kColumnSize, 2, 2); }},
            {"Status of 65535 bytes", "size of 65535 bytes",
             [&](std::string* b) { Put(b, status + kColumnSize, 0xFFFF, 2); }},
            {"Status outside the row", "outside any row",
             [&](std::string* b) { Put(b, status + kColumnFixedOffset, 0x4000, 2); }},
            {"a data page of Main owned by Category", "which is not one of its data pages",
             [&](std::string* b) { Put(b, dataPage * kPage + 4, categoryDef, 4); }},
            {"a data page of Main owned by nothing", "which is not one of its data pages",
             [&](std::string* b) { Put(b, dataPage * kPage + 4, 0, 4); }},
            {"Main's usage map is Category's", "which is not one of its data pages",
             [&](std::string* b) {
                 const uint32_t categoryMap = Get(*b, categoryDef * kPage + kDefinitionUsageMap, 4);
                 Put(b, mainDef * kPage + kDefinitionUsageMap, categoryMap, 4);
             }},
            {"a row without variable columns", "holds no place for its column",
             [&](std::string* b) { Put(b, varCount, 0, 2); }},
            {"fewer rows than announced", "announces",
             [&](std::string* b) {
                 Put(b, mainDef * kPage + kDefinitionRows, Get(*b, mainDef * kPage + kDefinitionRows, 4) + 1, 4);
             }},
        };
        for (const Damage& d : damages) {
            SCOPED_TRACE(std::string(app.file) + ": " + d.what);
            m_log.Clear();
            std::string bytes = original;
            d.apply(&bytes);
            const std::string path = m_dir.Path() + fixture;
            ASSERT_TRUE(WriteAll(path, bytes));
            const Loaded l = LoadThrough(app.kind, path);
            EXPECT_FALSE(l.ok);
            EXPECT_EQ(l.records, 0u);
            EXPECT_EQ(l.categories, 0u);
            EXPECT_TRUE(m_log.Has(d.reason)) << m_log.Text();
            ExpectUsersWords(l.words, path, "is damaged");
            EXPECT_TRUE(ReadAll(path) == bytes);
            EXPECT_EQ(ex2test::CountBackups(path), 0);
        }
    }
}

// Every file the writer made, the unusual ones included, loads through its
// utility with all its rows.
TEST_F(JetDatabase, SoundFilesLoadWholeThroughTheirUtilities)
{
    for (const auto& [file, kind, rows] : std::vector<std::tuple<std::string, int32_t, uint32_t>>{
             {"Address.mdb", kPmDbAddr, 420},
             {"AddressChurn.mdb", kPmDbAddr, 398},
             {"odd/AddressCyrillic.mdb", kPmDbAddr, 4},
             {"DateBook.mdb", kPmDbDate, 315},
             {"DateBookTextTimes.mdb", kPmDbDate, 315},
             {"Todolist.mdb", kPmDbTodo, 315},
             {"MemoPad.mdb", kPmDbMemo, 315},
             {"MemoPadDel.mdb", kPmDbMemo, 313},
             {"odd/MemoStatusShort.mdb", kPmDbMemo, 3},
             {"odd/MemoStatusIndexed.mdb", kPmDbMemo, 3}}) {
        SCOPED_TRACE(file);
        const Loaded l = LoadThrough(kind, Copy(file, "db.mdb"));
        EXPECT_TRUE(l.ok) << m_log.Text();
        EXPECT_EQ(l.records, rows);
        EXPECT_GT(l.categories, 0u);
        EXPECT_EQ(l.words, "");
    }
    // Times kept as decimal text read as the seconds they hold (a Null as 0).
    const jettest::Table expected = jettest::Expected("DateBookTextTimes", "Main");
    ASSERT_EQ(expected.columns[6], "Start Time");
    ASSERT_EQ(expected.columns[7], "End Time");
    const auto seconds = [](const std::string& cell) { return cell == "\\N" ? std::string("0") : cell; };
    PmDateEx2Util util;
    ASSERT_TRUE(util.LoadFile(Copy("DateBookTextTimes.mdb").c_str()));
    ASSERT_EQ(util.DataMgr()->Count(), expected.rows.size());
    size_t timed = 0;
    for (uint32_t r = 0; r < util.DataMgr()->Count(); ++r) {
        const PmDateEx2Record* rec = util.DataMgr()->GetAt(r);
        EXPECT_EQ(std::to_string(rec->StartTime), seconds(expected.rows[r][6])) << r;
        EXPECT_EQ(std::to_string(rec->EndTime), seconds(expected.rows[r][7])) << r;
        timed += rec->StartTime > 100000;
    }
    EXPECT_GT(timed, 100u);
}

// A refusal's words say what is wrong in a user's terms: not a Palm Desktop
// database (empty, zeroed, its signature lost: handed to the SQLite engine,
// whose words stay in the log only), truncated with the file's size and the
// page it needs, protected by a password, not found. Paths are shown as
// the host writes them, and the log keeps its technical lines.
TEST_F(JetDatabase, RefusalsAreToldInAUsersWords)
{
    const std::string memo = jettest::ReadAll(jettest::DataFolder() + "MemoPad.mdb");
    struct Case {
        const char* what;
        std::string bytes;
        const char* words;
        const char* log;
        const char* todo = "Restore the file from a backup copy";
    };
    std::string signature = memo;
    signature[5] = 'x';
    std::string password = memo;
    // The stored header is a fixed stream cipher: flipping stored bits flips
    // the same bits of the password field, which then is no longer the
    // mask alone.
    password[0x42] = char(password[0x42] ^ 0x61);
    const std::vector<Case> cases = {
        {"empty", "", "is not a Palm Desktop database (it is empty)", "is empty"},
        {"zeroed", std::string(memo.size(), '\0'), "is not a Palm Desktop database", "file is not a database"},
        {"its signature lost", signature, "is not a Palm Desktop database", "file is not a database"},
        {"cut after 30 pages", memo.substr(0, 30 * 4096),
         "is truncated: the file ends after 122,880 bytes, but its data goes on to page 30 at least", "truncated"},
        {"cut in the middle", memo.substr(0, memo.size() / 2 + 1000), "is truncated", "truncated"},
        {"protected by a password", password, "is protected by a password", "password", "Remove the password"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        m_log.Clear();
        const std::string path = m_dir.Path() + "MemoPad.mdb";
        ASSERT_TRUE(jettest::WriteAll(path, c.bytes));
        const Loaded l = LoadWith<PmMemoEx2Util>(path);
        EXPECT_FALSE(l.ok);
        ExpectUsersWords(l.words, path, c.words, c.todo);
        EXPECT_TRUE(m_log.Has(c.log)) << m_log.Text();
        EXPECT_TRUE(m_log.Has(c.words)) << "the words are logged too";
    }

    // A file that is not there.
    const Loaded missing = LoadWith<PmMemoEx2Util>(m_dir.Path() + "Nowhere.mdb");
    EXPECT_FALSE(missing.ok);
    EXPECT_NE(missing.words.find("\"" + m_dir.Path() + "Nowhere.mdb\" was not found"), std::string::npos)
        << missing.words;

    // A path the program writes with backslashes is shown as the host's.
    std::string bytes = memo;
    jettest::Put(&bytes, jettest::DefinitionPage(jettest::DataFolder() + "MemoPad.mdb", "Main") * jettest::kPage +
                             jettest::kDefinitionRows,
                 1000, 4);
    ASSERT_TRUE(plat::CreateFolder(m_dir.Path() + "sub"));
    ASSERT_TRUE(jettest::WriteAll(m_dir.Path() + "sub/MemoPad.mdb", bytes));
    m_log.Clear();
    const Loaded mixed = LoadWith<PmMemoEx2Util>(m_dir.Path() + "sub\\MemoPad.mdb");
    EXPECT_FALSE(mixed.ok);
    ExpectUsersWords(mixed.words, m_dir.Path() + "sub/MemoPad.mdb", "is damaged");

    // A column the load reads that is not there: one full stop in the log.
    bytes = memo;
    const uint32_t mainDef = jettest::DefinitionPage(jettest::DataFolder() + "MemoPad.mdb", "Main");
    const size_t name = bytes.find(std::string("R\0e\0c\0o\0r\0d\0 \0I\0D\0", 18), mainDef * jettest::kPage);
    ASSERT_NE(name, std::string::npos);
    bytes[name + 16] = 'X';
    ASSERT_TRUE(jettest::WriteAll(m_dir.Path() + "MemoPad.mdb", bytes));
    m_log.Clear();
    const Loaded renamed = LoadWith<PmMemoEx2Util>(m_dir.Path() + "MemoPad.mdb");
    EXPECT_FALSE(renamed.ok);
    EXPECT_TRUE(m_log.Has("has no column Record ID. Nothing was loaded.")) << m_log.Text();
    EXPECT_FALSE(m_log.Has("..")) << m_log.Text();
    ExpectUsersWords(renamed.words, m_dir.Path() + "MemoPad.mdb", "is damaged");
}

// The facades hand a failed 6.x load's words on, and only a failed one's;
// their log line names the user by the id as the system gives it.
TEST(JetFacades, AFailedLoadHandsItsWordsOn)
{
    infotest::PalmInstall env(6, 0, 0);
    std::string error;
    const std::string user = palmfix::UserHostFolder(env.Inst(), env.Inst().users[0]);
    ASSERT_TRUE(palmfix::CopyJetDatabases(jettest::DataFolder(), user, &error)) << error;
    const std::string datebook = user + "/datebook/DateBook.mdb";
    const std::string bytes = jettest::ReadAll(datebook);
    ASSERT_TRUE(jettest::WriteAll(datebook, bytes.substr(0, 30 * jettest::kPage)));
    const int32_t id = int32_t(env.UserId());
    PmDateInfo dates(60000);
    EXPECT_FALSE(dates.LoadByUser(id));
    EXPECT_NE(dates.LoadFailureWords().find("is truncated"), std::string::npos) << dates.LoadFailureWords();
    EXPECT_NE(dates.LoadFailureWords().find("DateBook.mdb\""), std::string::npos) << dates.LoadFailureWords();
    EXPECT_NE(env.Log().find("by User: " + std::to_string(env.UserId())), std::string::npos) << env.Log();
    PmAddrInfo contacts(60000);
    EXPECT_TRUE(contacts.LoadByUser(id)) << env.Log();
    EXPECT_EQ(contacts.LoadFailureWords(), "");

    // Loaded again once the file is whole: the words are gone.
    ASSERT_TRUE(jettest::WriteAll(datebook, bytes));
    EXPECT_TRUE(dates.LoadByUser(id)) << env.Log();
    EXPECT_EQ(dates.LoadFailureWords(), "");
}

