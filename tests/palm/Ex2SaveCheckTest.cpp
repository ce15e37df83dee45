// A 6.x deletion or save writes only over the rows and the file it loaded,
// and says why when it does not, in the user's words: a row another program
// changed since the load (its text, or only its Record ID behind the Jet
// engine's back), a file another program put in the place of the one opened,
// a database held by another program, a backup or a write that fails. Each
// refusal leaves the file byte for byte as the other program left it and
// makes no backup. Then LEFT(text, n) of the statements, on both engines:
// it cuts a text after n characters, not n bytes.
#include "jet/JetEngine.h"
#include "jet/JetFile.h"
#include "palm/DmMain.h"
#include "palm/PalmCommEx2.h"
#include "palm/PalmMemoEx2.h"
#include "palm/PalmMemoInfo.h"
#include "palm/PalmReason.h"
#include "palmfixture/FixtureEx2.h"
#include "palmfixture/FixtureJet.h"
#include "palmfixture/Generator.h"
#include "platform/Codepage.h"
#include "platform/File.h"
#include "platform/WinPath.h"

#include "JetTestData.h"
#include "PalmEx2TestUtil.h"
#include "PalmInfoTestEnv.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <filesystem>
#include <cstring>
#include <functional>
#include <set>
#include <string>
#include <tuple>
#include <vector>

using infotest::PalmInstall;

namespace {

constexpr uint32_t kEx2 = 60000;

std::string Host(const std::string& winPath) { return plat::ToHostPath(winPath); }

std::set<std::string> Entries(const std::string& host)
{
    std::set<std::string> out;
    for (const auto& e : std::filesystem::directory_iterator(std::filesystem::path(host).parent_path()))
        out.insert(e.path().filename().string());
    return out;
}

/// Another program puts a copy of the file, with `edit` applied, in its
/// place: a new file under the same name (a rename over it).
void ReplaceByRename(const std::string& host, const std::function<void(const std::string&)>& edit = nullptr)
{
    const std::string copy = host + ".other";
    std::filesystem::copy_file(host, copy);
    if (edit)
        edit(copy);
    std::filesystem::rename(copy, host);
}

/// Runs one statement on the database from another connection.
void OtherConnection(const std::string& host, const std::string& sql)
{
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open_v2(host.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
    char* message = nullptr;
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message), SQLITE_OK) << (message ? message : "");
    sqlite3_free(message);
    sqlite3_close(db);
}

/// The row key of the record a facade's common record at `i` stands for.
int64_t RowKeyAt(PmMemoInfo& info, uint32_t i)
{
    uint32_t n = 0;
    for (PmMemoSource* s = info.FirstSource(); s; s = info.NextSource(), ++n)
        if (n == i)
            return s->Ex2->RowKey.value;
    ADD_FAILURE() << "no record " << i;
    return -1;
}

/// The file offset of a Jet row's Record ID: the four bytes before its Status
/// in the row's fixed part (checked against the value).
uint64_t RecordIdOffset(const std::string& host, jet::RowKey key, int32_t recordId)
{
    jet::Database db;
    std::string error;
    EXPECT_TRUE(db.Open(host, &error)) << error;
    jet::IntSlot status;
    EXPECT_TRUE(db.LocateInt32("Main", "Status", key, &status, &error)) << error;
    const std::string bytes = jettest::ReadAll(host);
    const uint64_t at = status.offset - 4;
    int32_t stored = 0;
    std::memcpy(&stored, bytes.data() + at, 4);
    EXPECT_EQ(stored, recordId) << "the Record ID is not where the test looks for it";
    return at;
}

void PokeInt32(const std::string& host, uint64_t offset, int32_t value)
{
    const int fd = ::open(host.c_str(), O_RDWR);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::pwrite(fd, &value, 4, off_t(offset)), 4);
    ::close(fd);
}

int Backups(const std::string& host) { return ex2test::CountBackups(host); }

}  // namespace

// ---------------------------------------------------------------------------
// SQLite

class Ex2SaveCheck : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string error;
        ASSERT_TRUE(palmfix::GenerateUserData(m_env.UserFolder(), kEx2, {12, 2, 5}, palmfix::kGenMemo, &error))
            << error;
        m_win = palmfix::Ex2DatabasePath(m_env.UserFolder(), kPmDbMemo);
        m_host = Host(m_win);
        plat::ResetBackups();
    }
    PalmInstall m_env{6, 0, 0};
    std::string m_win;
    std::string m_host;
};

// A row another program changed is not deleted; a file put in the place of
// the one loaded takes none of the deletions made before: each refusal leaves
// the file as the other program left it, and the run again goes through.
TEST_F(Ex2SaveCheck, SqliteRowsAndFilesChangedSinceTheLoad)
{
    const int32_t user = int32_t(m_env.UserId());
    PmMemoInfo info(kEx2);
    ASSERT_TRUE(info.LoadByUser(user));
    EXPECT_EQ(info.SaveFile(), m_host);
    ASSERT_GE(info.GetCommMgr()->Count(), 4u);

    OtherConnection(m_host, "UPDATE Main SET Note = Note || ' (edited)' WHERE rowid = " +
                                std::to_string(RowKeyAt(info, 0)));
    const std::string edited = jettest::ReadAll(m_host);
    const std::set<std::string> entries = Entries(m_host);
    EXPECT_FALSE(info.DeleteRecord(info.GetCommMgr()->GetAt(0)));
    EXPECT_EQ(info.DeleteError(), kPmReasonChanged);
    EXPECT_TRUE(info.Save());  // nothing to commit
    EXPECT_TRUE(jettest::ReadAll(m_host) == edited);
    EXPECT_EQ(Entries(m_host), entries);

    // The file replaced before a deletion: neither copied nor changed.
    ReplaceByRename(m_host);
    EXPECT_FALSE(info.DeleteRecord(info.GetCommMgr()->GetAt(1)));
    EXPECT_EQ(info.DeleteError(), kPmReasonChanged);
    EXPECT_TRUE(jettest::ReadAll(m_host) == edited);
    EXPECT_EQ(Entries(m_host), entries);

    // Replaced between a deletion and the save: the engine would commit into
    // the file it opened, which nobody sees any more.
    PmMemoInfo second(kEx2);
    ASSERT_TRUE(second.LoadByUser(user));
    ASSERT_TRUE(second.DeleteRecord(second.GetCommMgr()->GetAt(1))) << second.DeleteError();
    EXPECT_TRUE(second.DeleteError().empty());
    EXPECT_EQ(Backups(m_host), 1);  // a database is copied before its first change
    const auto rows = palmfix::Ex2DumpTable(m_win, "Main");
    ReplaceByRename(m_host);
    const std::string replaced = jettest::ReadAll(m_host);
    EXPECT_FALSE(second.Save());
    EXPECT_EQ(second.SaveError(), kPmReasonChanged);
    EXPECT_TRUE(jettest::ReadAll(m_host) == replaced);
    EXPECT_EQ(Backups(m_host), 1);

    // The wizard run again.
    PmMemoInfo third(kEx2);
    ASSERT_TRUE(third.LoadByUser(user));
    ASSERT_TRUE(third.DeleteRecord(third.GetCommMgr()->GetAt(1))) << third.DeleteError();
    ASSERT_TRUE(third.Save()) << third.SaveError();
    EXPECT_TRUE(third.SaveError().empty());
    const auto after = palmfix::Ex2DumpTable(m_win, "Main");
    ASSERT_EQ(after.size(), rows.size());
    int changed = 0;
    for (size_t r = 0; r < rows.size(); ++r)
        changed += after[r] != rows[r];
    EXPECT_EQ(changed, 1);
}

// Why a deletion failed, in the user's words; none of them leaves a copy.
TEST_F(Ex2SaveCheck, SqliteFailuresSayWhy)
{
    PmMemoInfo info(kEx2);
    ASSERT_TRUE(info.LoadByUser(int32_t(m_env.UserId())));
    const std::string before = jettest::ReadAll(m_host);
    const std::set<std::string> entries = Entries(m_host);
    auto refused = [&](const char* what, const std::string& reason) {
        SCOPED_TRACE(what);
        EXPECT_FALSE(info.DeleteRecord(info.GetCommMgr()->GetAt(0)));
        EXPECT_EQ(info.DeleteError(), reason);
        EXPECT_TRUE(jettest::ReadAll(m_host) == before);
        EXPECT_EQ(Entries(m_host), entries);
    };
    for (const char* hold : {"BEGIN IMMEDIATE", "BEGIN EXCLUSIVE"}) {
        // Another program writing the database (and, exclusive, reading it).
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open_v2(m_host.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(db, hold, nullptr, nullptr, nullptr), SQLITE_OK);
        refused(hold, kPmReasonHeld);
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close(db);
    }
    for (auto [what, set, reason] : std::vector<std::tuple<const char*, std::function<void(plat::FileFaults&)>, std::string>>{
             {"backup unreadable", [](auto& f) { f.failBackupRead = true; }, "Input/output error"},
             {"backup refused", [](auto& f) { f.failBackup = true; }, "Permission denied"},
             {"disk full", [](auto& f) { f.diskFreeBytes = 0; }, "No space left on device"}}) {
        plat::FileFaults f;
        set(f);
        plat::ScopedFileFaults scoped(f);
        refused(what, reason);
    }
    ASSERT_TRUE(info.DeleteRecord(info.GetCommMgr()->GetAt(0))) << info.DeleteError();
    EXPECT_TRUE(info.DeleteError().empty());
    ASSERT_TRUE(info.Save()) << info.SaveError();
    EXPECT_TRUE(info.SaveError().empty());
    EXPECT_FALSE(jettest::ReadAll(m_host) == before);
}

// ---------------------------------------------------------------------------
// Jet

namespace {

/// The first row of Main as a whole walk reads it.
struct FirstRow {
    jet::RowKey key = 0;
    int32_t recordId = 0;
};

FirstRow WalkMain(jet::Engine& engine)
{
    FirstRow first;
    std::string error;
    auto result = engine.Select("SELECT [Record ID], [Status] FROM Main", &error);
    EXPECT_TRUE(result) << error;
    bool had = false;
    while (result && result->Next(&error)) {
        if (!had) {
            first.key = result->Key();
            first.recordId = int32_t(result->Row()[0].integer);
            had = true;
        }
    }
    EXPECT_TRUE(had && result->Done()) << error;
    return first;
}

}  // namespace

// A row whose Record ID alone was changed behind the engine's back is not
// the row the walk read: its change is refused when it is made and when it
// is written, and the file keeps every byte the other program left.
TEST(JetSaveCheck, ARecordIdChangedBehindTheEngineIsRefused)
{
    ex2test::TempFolder dir;
    const std::string path = dir.Path() + "MemoPad.mdb";
    ASSERT_TRUE(jettest::CopyFixture("MemoPad.mdb", path));
    plat::ResetBackups();
    const std::string update = "UPDATE Main SET [Status]=132 WHERE _rowid_ = ";
    std::string error;
    int64_t changed = 0;
    {
        // Changed before the change is made.
        auto engine = jet::Engine::Open(path, path, &error);
        ASSERT_TRUE(engine) << error;
        const FirstRow row = WalkMain(*engine);
        PokeInt32(path, RecordIdOffset(path, row.key, row.recordId), row.recordId + 1000);
        const std::string before = jettest::ReadAll(path);
        EXPECT_FALSE(engine->Execute(update + std::to_string(row.key), &changed, &error));
        EXPECT_EQ(engine->LastFailure(), jet::Engine::Failure::Changed) << error;
        EXPECT_TRUE(jettest::ReadAll(path) == before);
        EXPECT_EQ(Backups(path), 0);
        PokeInt32(path, RecordIdOffset(path, row.key, row.recordId + 1000), row.recordId);
    }
    {
        // Changed between the change and its commit.
        auto engine = jet::Engine::Open(path, path, &error);
        ASSERT_TRUE(engine) << error;
        const FirstRow row = WalkMain(*engine);
        ASSERT_TRUE(engine->Begin(&error)) << error;
        ASSERT_TRUE(engine->Execute(update + std::to_string(row.key), &changed, &error)) << error;
        PokeInt32(path, RecordIdOffset(path, row.key, row.recordId), row.recordId + 1000);
        const std::string before = jettest::ReadAll(path);
        EXPECT_FALSE(engine->Commit(&error));
        EXPECT_EQ(engine->LastFailure(), jet::Engine::Failure::Changed) << error;
        EXPECT_TRUE(jettest::ReadAll(path) == before);
        EXPECT_EQ(Backups(path), 0);
    }
}

class JetSaveCheckFacade : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string error;
        ASSERT_TRUE(palmfix::CopyJetDatabases(jettest::DataFolder(),
                                              palmfix::UserHostFolder(m_env.Inst(), m_env.Inst().users[0]), &error))
            << error;
        m_host = Host(palmfix::Ex2DatabasePath(m_env.UserFolder(), kPmDbMemo));
        plat::ResetBackups();
    }
    /// The Record ID of the facade's record at `i`.
    static int32_t RecordIdAt(PmMemoInfo& info, uint32_t i)
    {
        uint32_t n = 0;
        for (PmMemoSource* s = info.FirstSource(); s; s = info.NextSource(), ++n)
            if (n == i)
                return s->Ex2->RecordID;
        return 0;
    }
    PalmInstall m_env{6, 0, 0};
    std::string m_host;
};

// Through the facade: a Record ID changed after the deletion refuses the
// save; a file put in the place of the one loaded, with the row's Status set
// by the other program, is not written over.
TEST_F(JetSaveCheckFacade, RowsAndFilesChangedSinceTheLoad)
{
    const int32_t user = int32_t(m_env.UserId());
    {
        PmMemoInfo info(kEx2);
        ASSERT_TRUE(info.LoadByUser(user));
        EXPECT_EQ(info.SaveFile(), m_host);
        ASSERT_TRUE(info.DeleteRecord(info.GetCommMgr()->GetAt(0))) << info.DeleteError();
        const int32_t id = RecordIdAt(info, 0);
        PokeInt32(m_host, RecordIdOffset(m_host, RowKeyAt(info, 0), id), id + 1000);
        const std::string before = jettest::ReadAll(m_host);
        EXPECT_FALSE(info.Save());
        EXPECT_EQ(info.SaveError(), kPmReasonChanged);
        EXPECT_TRUE(jettest::ReadAll(m_host) == before);
        EXPECT_EQ(Backups(m_host), 0);
        // And when the deletion is asked for after the change.
        EXPECT_FALSE(info.DeleteRecord(info.GetCommMgr()->GetAt(0)));
        EXPECT_EQ(info.DeleteError(), kPmReasonChanged);
        PokeInt32(m_host, RecordIdOffset(m_host, RowKeyAt(info, 0), id + 1000), id);
    }
    {
        PmMemoInfo info(kEx2);
        ASSERT_TRUE(info.LoadByUser(user));
        ASSERT_TRUE(info.DeleteRecord(info.GetCommMgr()->GetAt(1))) << info.DeleteError();
        jet::Database reader;
        std::string error;
        ASSERT_TRUE(reader.Open(m_host, &error)) << error;
        jet::IntSlot status;
        ASSERT_TRUE(reader.LocateInt32("Main", "Status", RowKeyAt(info, 1), &status, &error)) << error;
        ReplaceByRename(m_host, [&](const std::string& copy) { PokeInt32(copy, status.offset, 0x20); });
        const std::string replaced = jettest::ReadAll(m_host);
        EXPECT_FALSE(info.Save());
        EXPECT_EQ(info.SaveError(), kPmReasonChanged);
        EXPECT_TRUE(jettest::ReadAll(m_host) == replaced);
        EXPECT_EQ(Backups(m_host), 0);
    }
}

// Why a Jet save failed, in the user's words: the file open in the desktop
// program (its lock file held), the backup copy, the write in place. The file
// stays byte for byte as it was.
TEST_F(JetSaveCheckFacade, FailuresSayWhy)
{
    PmMemoInfo info(kEx2);
    ASSERT_TRUE(info.LoadByUser(int32_t(m_env.UserId())));
    const std::string before = jettest::ReadAll(m_host);
    const std::string lock = m_host.substr(0, m_host.size() - 4) + ".ldb";
    uint32_t next = 0;
    auto refused = [&](const char* what, const std::function<void()>& around, const std::string& reason) {
        SCOPED_TRACE(what);
        ASSERT_TRUE(info.DeleteRecord(info.GetCommMgr()->GetAt(next++))) << info.DeleteError();
        around();
        EXPECT_EQ(info.SaveError(), reason);
        EXPECT_TRUE(jettest::ReadAll(m_host) == before);
        EXPECT_EQ(Backups(m_host), 0);
    };
    auto holdLock = [&](const std::function<void()>& act) {
        const int fd = ::open(lock.c_str(), O_RDWR | O_CREAT, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
        act();
        ::close(fd);
    };
    auto withFaults = [&](const std::function<void(plat::FileFaults&)>& set) {
        return [&, set] {
            plat::FileFaults f;
            set(f);
            plat::ScopedFileFaults scoped(f);
            EXPECT_FALSE(info.Save());
        };
    };
    refused("held", [&] { holdLock([&] { EXPECT_FALSE(info.Save()); }); }, kPmReasonHeld);
    refused("backup unreadable", withFaults([](auto& f) { f.failBackupRead = true; }), "Input/output error");
    refused("disk full", withFaults([](auto& f) { f.diskFreeBytes = 0; }), "No space left on device");
    // A deletion asked for while the desktop program holds the file.
    holdLock([&] {
        EXPECT_FALSE(info.DeleteRecord(info.GetCommMgr()->GetAt(next)));
        EXPECT_EQ(info.DeleteError(), kPmReasonHeld);
    });
    ASSERT_TRUE(info.DeleteRecord(info.GetCommMgr()->GetAt(next++))) << info.DeleteError();
    ASSERT_TRUE(info.Save()) << info.SaveError();
    EXPECT_TRUE(info.SaveError().empty());
    const std::string saved = jettest::ReadAll(m_host);
    EXPECT_FALSE(saved == before);

    // The run's backup exists now, so the first write call is the row's: it
    // fails, and what was written is put back.
    ASSERT_TRUE(info.DeleteRecord(info.GetCommMgr()->GetAt(next++))) << info.DeleteError();
    plat::FileFaults f;
    f.failWriteCall = 0;
    plat::ScopedFileFaults scoped(f);
    EXPECT_FALSE(info.Save());
    EXPECT_EQ(info.SaveError(), "Input/output error");
    EXPECT_TRUE(jettest::ReadAll(m_host) == saved);
}

// ---------------------------------------------------------------------------
// LEFT(text, n)

namespace {

std::string Repeat(const std::string& s, int n)
{
    std::string out;
    for (int i = 0; i < n; ++i)
        out += s;
    return out;
}

/// The Record IDs a statement's rows hold in their first column.
std::set<int32_t> IdsOf(DbConnection& connection, const std::string& sql)
{
    DbQuery query(&connection);
    query.AddSql(sql);
    std::string error;
    std::set<int32_t> ids;
    EXPECT_TRUE(query.Open(&error)) << error << "\n" << sql;
    while (!query.Eof()) {
        ids.insert(query.FieldInt(0));
        EXPECT_TRUE(query.Next(&error)) << error;
    }
    return ids;
}

}  // namespace

// Texts of two-byte characters longer than n: a cut after n bytes would take
// half as many characters and match other literals.
TEST(Ex2Left, SqliteCountsCharacters)
{
    ex2test::TempFolder dir;
    const std::string path = dir.Path() + "left.mdb";
    const std::string zhe = "\xD0\x96";  // two bytes in UTF-8
    {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
        const std::string sql = "CREATE TABLE Main ([Record ID] INTEGER, Note TEXT);"
                                "INSERT INTO Main VALUES (1, '" + Repeat(zhe, 300) + "');"
                                "INSERT INTO Main VALUES (2, '" + Repeat(zhe, 128) + "xyz');"
                                "INSERT INTO Main VALUES (3, '" + Repeat(zhe, 256) + "');"
                                "INSERT INTO Main VALUES (4, 'ab" + Repeat(zhe, 255) + "');";
        ASSERT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(db);
    }
    DbConnection connection;
    connection.SetConnectionString("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=\"" + path + "\"");
    std::string error;
    ASSERT_TRUE(connection.Open(&error)) << error;
    ASSERT_FALSE(connection.IsJet());
    const std::string select = "SELECT [Record ID] FROM Main WHERE ";
    EXPECT_EQ(IdsOf(connection, select + "LEFT(Note, 256) = '" + Repeat(zhe, 256) + "'"), std::set<int32_t>({1, 3}));
    EXPECT_EQ(IdsOf(connection, select + "LEFT(Note, 256) = '" + Repeat(zhe, 128) + "'"), std::set<int32_t>());
    EXPECT_EQ(IdsOf(connection, select + "LEFT(Note, 131) = '" + Repeat(zhe, 128) + "xyz'"), std::set<int32_t>({2}));
    EXPECT_EQ(IdsOf(connection, select + "LEFT(Note, 3) = 'ab" + zhe + "'"), std::set<int32_t>({4}));
}

// The same on a Jet file, whose texts are UTF-16: a memo of more than 256
// characters, some outside ASCII among its first 256, is found by its first
// 256 characters and by no shorter cut of them.
TEST(Ex2Left, JetCountsCharacters)
{
    ex2test::TempFolder dir;
    const std::string path = dir.Path() + "MemoPad.mdb";
    ASSERT_TRUE(jettest::CopyFixture("MemoPad.mdb", path));
    const jettest::Table expected = jettest::Expected("MemoPad", "Main");
    std::u16string wide;
    std::string id;
    for (const auto& row : expected.rows) {
        std::u16string note = plat::Utf8ToWide(row[5]);
        if (note.size() <= 300)
            continue;
        bool wider = false, pairs = false;
        for (size_t i = 0; i < 256; ++i) {
            wider = wider || note[i] > 0x7F;
            pairs = pairs || (note[i] >= 0xD800 && note[i] <= 0xDFFF);
        }
        if (wider && !pairs) {
            wide = note;
            id = row[0];
            break;
        }
    }
    ASSERT_FALSE(id.empty()) << "no memo of that kind in the fixture";
    auto quoted = [](const std::string& text) {
        std::string out;
        for (char c : text) {
            out += c;
            if (c == '\'')
                out += '\'';
        }
        return out;
    };
    const std::string head = plat::WideToUtf8(wide.substr(0, 256));
    ASSERT_GT(head.size(), 256u);
    // The first 256 bytes of the UTF-8 text, cut between characters.
    size_t cut = 256;
    while ((uint8_t(head[cut]) & 0xC0) == 0x80)
        --cut;
    const std::string byteCut = head.substr(0, cut);
    const std::string unitCut = plat::WideToUtf8(wide.substr(0, 128));  // 256 bytes of UTF-16

    DbConnection connection;
    connection.SetConnectionString("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=\"" + path + "\"");
    std::string error;
    ASSERT_TRUE(connection.Open(&error)) << error;
    ASSERT_TRUE(connection.IsJet());
    const std::string select = "SELECT [Record ID] FROM Main WHERE LEFT(Note, 256) = '";
    EXPECT_EQ(IdsOf(connection, select + quoted(head) + "'"), std::set<int32_t>({std::stoi(id)}));
    EXPECT_EQ(IdsOf(connection, select + quoted(byteCut) + "'"), std::set<int32_t>());
    EXPECT_EQ(IdsOf(connection, select + quoted(unitCut) + "'"), std::set<int32_t>());
}

// ---------------------------------------------------------------------------
// A database that is a symbolic link

namespace {

/// Moves the memo database into a folder of its own beside the user's and
/// leaves a relative link in its place; returns the file's own path.
std::string LinkIntoAnotherFolder(const std::string& host)
{
    const std::string folder = std::filesystem::path(host).parent_path().string();
    const std::string shared = folder + "/../../shared";
    std::filesystem::create_directories(shared);
    const std::string target = shared + "/" + std::filesystem::path(host).filename().string();
    std::filesystem::rename(host, target);
    EXPECT_EQ(::symlink(("../../shared/" + std::filesystem::path(host).filename().string()).c_str(), host.c_str()), 0);
    return target;
}

/// Through the link: the deletion reaches the file it leads to, which is
/// backed up beside itself; the link stays, and nothing else is left beside it.
void DeleteThroughALink(const PalmInstall& env, const std::string& link, const std::string& target)
{
    const std::set<std::string> besideLink = Entries(link);
    const std::string before = jettest::ReadAll(target);
    PmMemoInfo info(kEx2);
    ASSERT_TRUE(info.LoadByUser(int32_t(env.UserId())));
    EXPECT_EQ(info.SaveFile(), link);
    ASSERT_TRUE(info.DeleteRecord(info.GetCommMgr()->GetAt(0))) << info.DeleteError();
    ASSERT_TRUE(info.Save()) << info.SaveError();
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_FALSE(jettest::ReadAll(target) == before);
    EXPECT_EQ(Entries(link), besideLink);
    std::string backup;
    ASSERT_EQ(ex2test::CountBackups(target, &backup), 1);
    EXPECT_TRUE(jettest::ReadAll(backup) == before);
}

}  // namespace

TEST_F(Ex2SaveCheck, ALinkedDatabaseStaysALink)
{
    const std::string target = LinkIntoAnotherFolder(m_host);
    DeleteThroughALink(m_env, m_host, target);
}

TEST_F(JetSaveCheckFacade, ALinkedDatabaseStaysALink)
{
    const std::string target = LinkIntoAnotherFolder(m_host);
    // The desktop program holding the file by its own name, beside it.
    {
        const std::string lock = target.substr(0, target.size() - 4) + ".ldb";
        const int fd = ::open(lock.c_str(), O_RDWR | O_CREAT, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
        PmMemoInfo info(kEx2);
        ASSERT_TRUE(info.LoadByUser(int32_t(m_env.UserId())));
        EXPECT_FALSE(info.DeleteRecord(info.GetCommMgr()->GetAt(0)));
        EXPECT_EQ(info.DeleteError(), kPmReasonHeld);
        ::close(fd);
        std::filesystem::remove(lock);
    }
    DeleteThroughALink(m_env, m_host, target);
}
