// Every save of a user's data, made to fail at each step of the replace and
// of the backup copy: the four files of each .dat generation through their
// utilities and through the facades' Save after a deletion, and the four 6.x
// databases through the facades' DeleteRecord. After each failure the file
// is byte for byte what it was, the folder holds no temporary file, the
// reason is in the log at level 0 and the caller was told. Every backup is
// compared byte for byte with the original it keeps.
#include "PalmInfoTestEnv.h"

#include "palm/PalmAddr.h"
#include "palm/PalmAddrEx.h"
#include "palm/PalmAddrInfo.h"
#include "palm/PalmCommEx2.h"
#include "palm/PalmDate.h"
#include "palm/PalmDateEx.h"
#include "palm/PalmDateInfo.h"
#include "palm/PalmMemo.h"
#include "palm/PalmMemoEx.h"
#include "palm/PalmMemoInfo.h"
#include "palm/PalmTodo.h"
#include "palm/PalmTodoEx.h"
#include "palm/PalmTodoInfo.h"
#include "palmfixture/FixtureEx2.h"
#include "palmfixture/Generator.h"
#include "platform/File.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <functional>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

using infotest::PalmInstall;

namespace {

constexpr uint32_t kClassic = 40100;
constexpr uint32_t kEx = 40102;
constexpr uint32_t kEx2 = 60000;

/// Whether a failed step leaves a new backup beside the file.
enum class NewBackup { None, Kept, Either };

/// One step of a save made to fail, and what its failure must look like.
struct Step {
    std::string name;
    plat::FileFaults faults;
    std::vector<std::string> logged;  ///< words of one level-0 log line
    NewBackup backup = NewBackup::None;
};

plat::FileFaults Faults(const std::function<void(plat::FileFaults&)>& set)
{
    plat::FileFaults f;
    set(f);
    return f;
}

/// The steps of the temporary file of a save of `size` bytes; `backupFirst`
/// when this is the first replace of the run, so that the backup is made
/// between the close and the rename.
std::vector<Step> TempFileSteps(size_t size, bool backupFirst)
{
    const std::string write = "cannot write the temporary file";
    const int64_t n = int64_t(size);
    return {
        {"temporary file not made", Faults([](auto& f) { f.failTempCreate = true; }),
         {"cannot create the temporary file", "Permission denied"}},
        {"write fails half way", Faults([&](auto& f) { f.failWriteAfter = n / 2; }), {write, "Input/output error"}},
        {"first write call fails", Faults([](auto& f) { f.failWriteCall = 0; }), {write, "Input/output error"}},
        {"disk full from the start", Faults([](auto& f) { f.diskFreeBytes = 0; }), {write, "No space left on device"}},
        {"disk full half way", Faults([&](auto& f) { f.diskFreeBytes = n / 2; }), {write, "No space left on device"}},
        {"disk one byte short", Faults([&](auto& f) { f.diskFreeBytes = n - 1; }), {write, "No space left on device"}},
        {"flush fails", Faults([](auto& f) { f.failSync = true; }), {"cannot flush the temporary file"}},
        {"close fails", Faults([](auto& f) { f.failClose = true; }), {"cannot close the temporary file"}},
        {"rename fails", Faults([](auto& f) { f.failRename = true; }), {"cannot replace", "Input/output error"},
         backupFirst ? NewBackup::Kept : NewBackup::None},
    };
}

/// The steps of the backup copy of a file of `size` bytes, made after
/// `before` bytes were written (a save's temporary file, or none).
std::vector<Step> BackupSteps(size_t size, size_t before)
{
    const int64_t n = int64_t(size), b = int64_t(before);
    return {
        {"backup refused", Faults([](auto& f) { f.failBackup = true; }), {"cannot keep a backup"}},
        {"backup copy not made", Faults([](auto& f) { f.failBackupCreate = true; }),
         {"cannot create", ".bak.tmp", "Permission denied"}},
        {"original unreadable for the backup", Faults([](auto& f) { f.failBackupRead = true; }),
         {"cannot read", "Input/output error"}},
        {"disk full as the backup starts", Faults([&](auto& f) { f.diskFreeBytes = b; }),
         {"cannot write", ".bak.tmp", "No space left on device"}},
        {"disk full in the backup", Faults([&](auto& f) { f.diskFreeBytes = b + n / 2; }),
         {"cannot write", ".bak.tmp", "No space left on device"}},
        {"disk full one byte before the backup's end", Faults([&](auto& f) { f.diskFreeBytes = b + n - 1; }),
         {"cannot write", ".bak.tmp", "No space left on device"}},
        {"backup flush fails", Faults([](auto& f) { f.failBackupSync = true; }), {"cannot flush", ".bak.tmp"}},
        {"backup rename fails", Faults([](auto& f) { f.failBackupRename = true; }), {"cannot rename", ".bak.tmp"}},
    };
}

std::string HostDir(const std::string& winFile)
{
    return std::filesystem::path(plat::ToHostPath(winFile)).parent_path().string();
}

std::set<std::string> Entries(const std::string& hostDir)
{
    std::set<std::string> out;
    for (const auto& e : std::filesystem::directory_iterator(hostDir))
        out.insert(e.path().filename().string());
    return out;
}

/// Whether a folder entry is a backup of `fileName`: "<name>.<YYYYMMDD-HHMMSS>.bak".
bool IsBackupOf(const std::string& entry, const std::string& fileName)
{
    static const std::regex stamp(R"(\.\d{8}-\d{6}\.bak)");
    return entry.size() > fileName.size() && entry.compare(0, fileName.size(), fileName) == 0 &&
           std::regex_match(entry.substr(fileName.size()), stamp);
}

/// The backups of a file, as host paths.
std::vector<std::string> BackupsOf(const std::string& winFile)
{
    std::string host = plat::ToHostPath(winFile);
    std::string name = std::filesystem::path(host).filename().string();
    std::vector<std::string> out;
    for (const std::string& e : Entries(HostDir(winFile)))
        if (IsBackupOf(e, name))
            out.push_back(HostDir(winFile) + "/" + e);
    return out;
}

/// A line of the log at level 0 ("!!!") holding every word.
bool LoggedAtLevel0(const std::string& log, const std::vector<std::string>& words)
{
    std::istringstream in(log);
    std::string line;
    while (std::getline(in, line)) {
        if (line.find("!!!") == std::string::npos)
            continue;
        bool all = true;
        for (const std::string& w : words)
            all = all && line.find(w) != std::string::npos;
        if (all)
            return true;
    }
    return false;
}

/// One save route: the file it replaces or changes, and the change itself
/// (a save, or a deletion written at once).
struct Route {
    std::string what;
    std::string file;
    std::function<bool()> change;
};

/// Runs `act` (the route's change under some fault) and checks what a failed
/// change must leave. `firstOfRun`: no backup exists yet in this run.
void ExpectFailureLeavesAll(const PalmInstall& env, const Route& route, const std::string& step,
                            const std::vector<std::string>& logged, NewBackup backup, bool firstOfRun,
                            const std::function<bool()>& act)
{
    SCOPED_TRACE(route.what + ", " + step);
    if (firstOfRun)
        plat::ResetBackups();
    const std::string before = infotest::ReadBytes(route.file);
    ASSERT_FALSE(before.empty());
    const std::string dir = HostDir(route.file);
    const std::set<std::string> entriesBefore = Entries(dir);
    env.ClearLog();

    EXPECT_FALSE(act()) << "the failure was reported as success";

    EXPECT_TRUE(infotest::ReadBytes(route.file) == before) << "the file changed";
    std::set<std::string> entriesAfter = Entries(dir);
    std::vector<std::string> added;
    for (const std::string& e : entriesAfter)
        if (!entriesBefore.count(e))
            added.push_back(e);
    for (const std::string& e : entriesBefore)
        EXPECT_TRUE(entriesAfter.count(e)) << e << " is gone";
    const std::string name = std::filesystem::path(plat::ToHostPath(route.file)).filename().string();
    size_t newBackups = 0;
    for (const std::string& e : added) {
        if (IsBackupOf(e, name)) {
            ++newBackups;
            // The backup holds the original it was made of.
            EXPECT_TRUE(infotest::ReadBytes(dir + "/" + e) == before) << e << " differs from the original";
        } else {
            ADD_FAILURE() << e << " was left in the folder";
        }
    }
    if (backup == NewBackup::None)
        EXPECT_EQ(newBackups, 0u);
    else if (backup == NewBackup::Kept)
        EXPECT_EQ(newBackups, 1u);
    else
        EXPECT_LE(newBackups, 1u);

    EXPECT_TRUE(LoggedAtLevel0(env.Log(), logged)) << "no level-0 line with the reason:\n" << env.Log();

    // The next step starts without this backup, so that its own is seen.
    if (firstOfRun)
        for (const std::string& e : added)
            std::filesystem::remove(dir + "/" + e);
}

void RunStep(const PalmInstall& env, const Route& route, const Step& step, bool firstOfRun)
{
    ExpectFailureLeavesAll(env, route, step.name, step.logged, step.backup, firstOfRun, [&] {
        plat::ScopedFileFaults faults(step.faults);
        return route.change();
    });
}

/// How many write calls a change makes: it is failed at `last`, a step after
/// every write (the backup copy's rename), so the file stays as it is.
int64_t WriteCallsOf(const Route& route)
{
    plat::ResetBackups();
    plat::FileFaults last;
    last.failBackupRename = true;
    plat::ScopedFileFaults faults(last);
    EXPECT_FALSE(route.change());
    return plat::FileWriteCalls();
}

/// Fails each write call of a first change of the run in turn.
void FailEachWriteCall(const PalmInstall& env, const Route& route, const std::string& logged, int64_t atLeast)
{
    const int64_t calls = WriteCallsOf(route);
    EXPECT_GE(calls, atLeast) << route.what;
    for (int64_t call = 0; call < calls; ++call) {
        plat::FileFaults f;
        f.failWriteCall = call;
        ExpectFailureLeavesAll(env, route, "write call " + std::to_string(call) + " fails",
                               {logged, "Input/output error"}, NewBackup::None, true, [&] {
                                   plat::ScopedFileFaults faults(f);
                                   return route.change();
                               });
    }
}

}  // namespace

// ---------------------------------------------------------------------------
// The .dat generations

namespace {

/// Every step of a .dat save on one route, then the save going through, then
/// every step of the temporary file again on a later save of the same run.
/// `mark(i)` deletes the i-th live record in memory; `route.change` saves.
void EveryStepOfADatSave(const PalmInstall& env, Route route, const std::function<bool(int)>& mark)
{
    const std::string original = infotest::ReadBytes(route.file);
    ASSERT_FALSE(original.empty()) << route.file;
    ASSERT_TRUE(mark(0));

    // The first save of the run: the temporary file, then the backup copy.
    std::vector<Step> steps = TempFileSteps(original.size(), true);
    for (const Step& s : BackupSteps(original.size(), original.size()))
        steps.push_back(s);
    for (const Step& s : steps)
        RunStep(env, route, s, true);

    // Each write call in turn: at least the temporary file's one and the
    // backup copy's one. Then the save goes through.
    FailEachWriteCall(env, route, "cannot write", 2);
    plat::ResetBackups();
    ASSERT_TRUE(route.change()) << route.what;

    // The save went through: one status changed, and the backup holds the
    // original as it was before this save.
    ASSERT_NO_FATAL_FAILURE(infotest::ExpectOnlyDeletionMarks(original, route.file, 1));
    std::vector<std::string> backups = BackupsOf(route.file);
    ASSERT_EQ(backups.size(), 1u) << route.what;
    EXPECT_TRUE(infotest::ReadBytes(backups[0]) == original) << "the backup is not the original";

    // A later save of the run makes no backup: its failures leave the saved
    // file and the one backup as they are.
    const std::string saved = infotest::ReadBytes(route.file);
    ASSERT_TRUE(mark(1));
    route.what += " (later save)";
    for (const Step& s : TempFileSteps(saved.size(), false))
        RunStep(env, route, s, false);
    ASSERT_TRUE(route.change());
    ASSERT_NO_FATAL_FAILURE(infotest::ExpectOnlyDeletionMarks(saved, route.file, 1));
    backups = BackupsOf(route.file);
    ASSERT_EQ(backups.size(), 1u);
    EXPECT_TRUE(infotest::ReadBytes(backups[0]) == original);
}

template <typename Mgr>
auto* LiveRecord(Mgr* mgr, int index)
{
    decltype(mgr->First()) found = nullptr;
    int seen = 0;
    for (auto* r = mgr->First(); r && !found; r = mgr->Next())
        if (PmIsLiveStatus(uint32_t(r->Status)) && seen++ == index)
            found = r;
    return found;
}

/// A user whose four applications are written in the generation of `version`.
class DatSaveFaults : public ::testing::Test {
protected:
    void Install(uint16_t major, uint16_t minor, uint16_t build, uint32_t version)
    {
        m_env = std::make_unique<PalmInstall>(major, minor, build);
        std::string error;
        ASSERT_TRUE(palmfix::GenerateUserData(m_env->UserFolder(), version, {6, 2, 5}, palmfix::kGenAll, &error))
            << error;
        plat::ResetBackups();
    }

    /// The utility of a file: load, delete in its data manager, save.
    template <typename Util, typename Load, typename DataMgr, typename Save>
    void ThroughTheUtility(const std::string& rel, Load load, DataMgr dataMgr, Save save)
    {
        Util util;
        std::string file = m_env->UserFile(rel);
        ASSERT_TRUE(load(util, file));
        EveryStepOfADatSave(*m_env, {"utility of " + rel, file, [&] { return save(util); }}, [&](int i) {
            auto* r = LiveRecord(dataMgr(util), i);
            if (!r)
                return false;
            r->Status = 0x84;
            return true;
        });
    }

    template <typename Info>
    void ThroughTheFacade(const std::string& rel, uint32_t version)
    {
        Info info(version);
        ASSERT_TRUE(info.LoadByUser(int32_t(m_env->UserId())));
        EveryStepOfADatSave(*m_env, {"facade of " + rel, m_env->UserFile(rel), [&] { return info.Save(); }},
                            [&](int i) {
                                auto* rec = info.GetCommMgr()->GetAt(uint32_t(i));
                                return rec && info.DeleteRecord(rec);
                            });
    }

    std::unique_ptr<PalmInstall> m_env;
};

template <typename Util>
bool LoadClassic(Util& util, const std::string& file)
{
    return util.LoadFile(file.c_str());
}
template <typename Util>
bool SaveClassic(Util& util)
{
    return util.Save(util.LoadedPath().c_str());
}

}  // namespace

TEST_F(DatSaveFaults, ClassicFilesThroughTheirUtilities)
{
    ASSERT_NO_FATAL_FAILURE(Install(4, 1, 0, kClassic));
    auto mgr = [](auto& util) { return util.GetDataMgr(); };
    ThroughTheUtility<PmAddrUtil>("address\\address.dat", LoadClassic<PmAddrUtil>, mgr, SaveClassic<PmAddrUtil>);
    ThroughTheUtility<PmDateUtil>("datebook\\datebook.dat", LoadClassic<PmDateUtil>, mgr, SaveClassic<PmDateUtil>);
    ThroughTheUtility<PmTodoUtil>("todo\\todo.dat", LoadClassic<PmTodoUtil>, mgr, SaveClassic<PmTodoUtil>);
    ThroughTheUtility<PmMemoUtil>("memopad\\memopad.dat", LoadClassic<PmMemoUtil>, mgr, SaveClassic<PmMemoUtil>);
}

TEST_F(DatSaveFaults, ClassicFilesThroughTheFacades)
{
    ASSERT_NO_FATAL_FAILURE(Install(4, 1, 0, kClassic));
    ThroughTheFacade<PmAddrInfo>("address\\address.dat", kClassic);
    ThroughTheFacade<PmDateInfo>("datebook\\datebook.dat", kClassic);
    ThroughTheFacade<PmTodoInfo>("todo\\todo.dat", kClassic);
    ThroughTheFacade<PmMemoInfo>("memopad\\memopad.dat", kClassic);
}

TEST_F(DatSaveFaults, ExFilesThroughTheirUtilities)
{
    ASSERT_NO_FATAL_FAILURE(Install(4, 1, 2, kEx));
    auto load = [](auto& util, const std::string& file) { return util.LoadFile(file.c_str()); };
    auto mgr = [](auto& util) { return util.DataMgr(); };
    auto save = [](auto& util) { return util.Save(); };
    ThroughTheUtility<PmAddrExUtil>("address\\address.dat", load, mgr, save);
    ThroughTheUtility<PmDateExUtil>("datebook\\datebook.dat", load, mgr, save);
    ThroughTheUtility<PmTodoExUtil>("todo\\todo.dat", load, mgr, save);
    ThroughTheUtility<PmMemoExUtil>("memopad\\memopad.dat", load, mgr, save);
}

TEST_F(DatSaveFaults, ExFilesThroughTheFacades)
{
    ASSERT_NO_FATAL_FAILURE(Install(4, 1, 2, kEx));
    ThroughTheFacade<PmAddrInfo>("address\\address.dat", kEx);
    ThroughTheFacade<PmDateInfo>("datebook\\datebook.dat", kEx);
    ThroughTheFacade<PmTodoInfo>("todo\\todo.dat", kEx);
    ThroughTheFacade<PmMemoInfo>("memopad\\memopad.dat", kEx);
}

// ---------------------------------------------------------------------------
// The 6.x databases: copied to their backup before the first change of the
// run, then changed in place by the database engine.

namespace {

/// Another program holding the database in a write transaction.
class DatabaseHolder {
public:
    explicit DatabaseHolder(const std::string& winPath)
    {
        if (sqlite3_open_v2(plat::ToHostPath(winPath).c_str(), &m_db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK)
            m_holding = sqlite3_exec(m_db, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr) == SQLITE_OK;
    }
    ~DatabaseHolder()
    {
        if (m_holding)
            sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
        sqlite3_close(m_db);
    }
    bool Holding() const { return m_holding; }

private:
    sqlite3* m_db = nullptr;
    bool m_holding = false;
};

/// The rows of `after` are those of `before` but for one, whose Status
/// (column 1) became the deletion status.
void ExpectOneStatusChanged(const std::vector<std::vector<std::string>>& before,
                            const std::vector<std::vector<std::string>>& after)
{
    ASSERT_EQ(after.size(), before.size());
    int changed = 0;
    for (size_t row = 0; row < after.size(); ++row) {
        ASSERT_EQ(after[row].size(), before[row].size());
        for (size_t col = 0; col < after[row].size(); ++col) {
            if (after[row][col] == before[row][col])
                continue;
            EXPECT_EQ(col, 1u) << "row " << row;
            EXPECT_EQ(after[row][col], "int:132") << "row " << row;
            ++changed;
        }
    }
    EXPECT_EQ(changed, 1);
}

template <typename Info>
void EveryStepOfAnEx2WriteBack(const PalmInstall& env, int32_t kind)
{
    const std::string file = palmfix::Ex2DatabasePath(env.UserFolder(), kind);
    Info info(kEx2);
    ASSERT_TRUE(info.LoadByUser(int32_t(env.UserId())));
    ASSERT_GE(info.GetCommMgr()->Count(), 2u);
    int target = 0;
    // A deletion reaches the database with the save that commits it.
    Route route{"database " + file, file, [&] {
                    bool deleted = info.DeleteRecord(info.GetCommMgr()->GetAt(uint32_t(target)));
                    return info.Save() && deleted;
                }};
    const std::string original = infotest::ReadBytes(file);
    ASSERT_FALSE(original.empty());
    const auto rowsBefore = palmfix::Ex2DumpTable(file, "Main");

    // Before the first change: the backup copy at each step, and the change
    // refused by the database while another program holds it.
    for (const Step& s : BackupSteps(original.size(), 0))
        RunStep(env, route, s, true);
    auto heldElsewhere = [&] {
        DatabaseHolder holder(file);
        EXPECT_TRUE(holder.Holding());
        return route.change();
    };
    ExpectFailureLeavesAll(env, route, "database held by another program", {"locked"}, NewBackup::Either, true,
                           heldElsewhere);

    // Each write call of the backup copy, then the change going through.
    FailEachWriteCall(env, route, "No backup copy could be made", 1);
    plat::ResetBackups();
    ASSERT_TRUE(route.change()) << route.what;
    std::vector<std::string> backups = BackupsOf(file);
    ASSERT_EQ(backups.size(), 1u);
    EXPECT_TRUE(infotest::ReadBytes(backups[0]) == original) << "the backup is not the database before the change";
    const auto rowsAfter = palmfix::Ex2DumpTable(file, "Main");
    ASSERT_NO_FATAL_FAILURE(ExpectOneStatusChanged(rowsBefore, rowsAfter));

    // A later change of the run: no new backup, and a refused change leaves
    // the database and the backup as they are.
    target = 1;
    route.what += " (later change)";
    ExpectFailureLeavesAll(env, route, "database held by another program", {"locked"}, NewBackup::None, false,
                           heldElsewhere);
    ASSERT_TRUE(route.change());
    ASSERT_NO_FATAL_FAILURE(ExpectOneStatusChanged(rowsAfter, palmfix::Ex2DumpTable(file, "Main")));
    backups = BackupsOf(file);
    ASSERT_EQ(backups.size(), 1u);
    EXPECT_TRUE(infotest::ReadBytes(backups[0]) == original);
}

}  // namespace

TEST(Ex2WriteBackFaults, EveryDatabaseThroughItsFacade)
{
    PalmInstall env(6, 0, 0);
    std::string error;
    ASSERT_TRUE(palmfix::GenerateUserData(env.UserFolder(), kEx2, {6, 2, 5}, palmfix::kGenAll, &error)) << error;
    plat::ResetBackups();
    EveryStepOfAnEx2WriteBack<PmAddrInfo>(env, kPmDbAddr);
    EveryStepOfAnEx2WriteBack<PmDateInfo>(env, kPmDbDate);
    EveryStepOfAnEx2WriteBack<PmTodoInfo>(env, kPmDbTodo);
    EveryStepOfAnEx2WriteBack<PmMemoInfo>(env, kPmDbMemo);
}
