#include "app/Apputil.h"
#include "app/ApputilFacadeSet.h"

#include "palm/PalmInfoTestEnv.h"
#include "palmfixture/FixtureEx.h"
#include "palmfixture/FixtureEx2.h"
#include "palmfixture/Generator.h"
#include "platform/File.h"
#include "platform/WinPath.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

using infotest::PalmInstall;

namespace {

// One installation of each data generation.
struct Generation {
    uint16_t major, minor, build;
    uint32_t number;
    int32_t gen;
};
const Generation kGenerations[] = {
    {4, 0, 0, 40000, kPmGenClassic},
    {4, 1, 4, 40104, kPmGenEx},
    {6, 0, 0, 60000, kPmGenEx2},
};

const char* const kAppNames[kPmAppCount] = {"contacts", "calendar", "tasks", "notes"};

std::string Lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return s;
}

void Generate(const PalmInstall& env, uint32_t version, uint32_t records, uint32_t dups, uint32_t seed)
{
    std::string error;
    ASSERT_TRUE(palmfix::GenerateUserData(env.UserFolder(), version, {records, dups, seed}, palmfix::kGenAll, &error))
        << error;
}

// The data file of an application in a generation, Windows form.
std::string AppFile(const PalmInstall& env, int32_t gen, int32_t app)
{
    return gen == kPmGenEx2 ? palmfix::Ex2DatabasePath(env.UserFolder(), app + 1)
                            : palmfix::ExFilePath(env.UserFolder(), app + 1);
}

std::string FileName(const std::string& winPath) { return winPath.substr(winPath.find_last_of('\\') + 1); }

uint32_t RecordCount(PmFacadeSet& set, int32_t app)
{
    switch (app) {
    case kPmAppAddr: return set.Addr()->GetCommMgr()->Count();
    case kPmAppDate: return set.Date()->GetCommMgr()->Count();
    case kPmAppTodo: return set.Todo()->GetCommMgr()->Count();
    default: return set.Memo()->GetCommMgr()->Count();
    }
}

int32_t LoadedGen(PmFacadeSet& set, int32_t app)
{
    switch (app) {
    case kPmAppAddr: return set.Addr()->LoadedGeneration();
    case kPmAppDate: return set.Date()->LoadedGeneration();
    case kPmAppTodo: return set.Todo()->LoadedGeneration();
    default: return set.Memo()->LoadedGeneration();
    }
}

// Duplicate list sizes, or -1 for a missing list.
std::vector<int> DupCounts(PmFacadeSet& set)
{
    auto n = [](auto* list) { return list ? int(list->Count()) : -1; };
    return {n(set.AddrDups()), n(set.DateDups()), n(set.TodoDups()), n(set.MemoDups())};
}

// Every chosen application loaded `records` records of generation `gen`;
// every other one was not touched.
void ExpectLoaded(PmFacadeSet& set, int32_t appFlag, uint32_t records, int32_t gen)
{
    for (int32_t app = 0; app < kPmAppCount; ++app) {
        SCOPED_TRACE(kAppNames[app]);
        const PmLoadResult& r = set.LoadResult(app);
        if (appFlag & (1 << app)) {
            EXPECT_TRUE(r.Tried);
            EXPECT_FALSE(r.Failed);
            EXPECT_EQ(r.Reason, "");
            EXPECT_EQ(RecordCount(set, app), records);
            EXPECT_EQ(LoadedGen(set, app), gen);
        } else {
            EXPECT_FALSE(r.Tried);
            EXPECT_FALSE(r.Failed);
            EXPECT_EQ(RecordCount(set, app), 0u);
            EXPECT_EQ(LoadedGen(set, app), kPmGenNone);
        }
    }
}

void ExpectReleased(PmFacadeSet& set)
{
    EXPECT_FALSE(set.Built());
    EXPECT_EQ(set.Addr(), nullptr);
    EXPECT_EQ(set.Date(), nullptr);
    EXPECT_EQ(set.Todo(), nullptr);
    EXPECT_EQ(set.Memo(), nullptr);
    EXPECT_EQ(DupCounts(set), (std::vector<int>{-1, -1, -1, -1}));
    for (int32_t app = 0; app < kPmAppCount; ++app)
        EXPECT_FALSE(set.LoadResult(app).Tried);
}

}  // namespace

TEST(FacadeSetTest, BuildLoadsExactlyTheChosenApplicationsOfEachGeneration)
{
    for (const Generation& g : kGenerations) {
        SCOPED_TRACE(g.number);
        PalmInstall env(g.major, g.minor, g.build);
        ASSERT_NO_FATAL_FAILURE(Generate(env, g.number, 12, 3, 5));
        int32_t user = int32_t(env.UserId());

        PmFacadeSet set;
        ExpectReleased(set);
        env.ClearLog();
        ASSERT_TRUE(set.Build(user, kAppDate | kAppMemo));
        EXPECT_TRUE(set.Built());
        ASSERT_TRUE(set.Addr() && set.Date() && set.Todo() && set.Memo());
        EXPECT_EQ(DupCounts(set), (std::vector<int>{0, 0, 0, 0}));
        ExpectLoaded(set, kAppDate | kAppMemo, 12, g.gen);
        EXPECT_FALSE(env.LogHas("Load Palm Desktop Contacts by user"));
        EXPECT_FALSE(env.LogHas("Load Palm Desktop Tasks by user"));
        // Indexes outside the four applications have no result.
        EXPECT_FALSE(set.LoadResult(-1).Tried);
        EXPECT_FALSE(set.LoadResult(kPmAppCount).Tried);

        set.Release();
        ExpectReleased(set);
        set.Release();  // releasing nothing is harmless
        ExpectReleased(set);

        // Built again with all four, in the order contacts, calendar, tasks, notes.
        env.ClearLog();
        ASSERT_TRUE(set.Build(user, kAppAddr | kAppDate | kAppTodo | kAppMemo));
        ExpectLoaded(set, 0xF, 12, g.gen);
        EXPECT_EQ(DupCounts(set), (std::vector<int>{0, 0, 0, 0}));
        std::string log = env.Log();
        size_t addr = log.find("Load Palm Desktop Contacts by user");
        size_t date = log.find("Load Palm Desktop Calendar by user");
        size_t todo = log.find("Load Palm Desktop Tasks by user");
        size_t memo = log.find("Load Palm Desktop Memos by user");
        ASSERT_NE(memo, std::string::npos);
        EXPECT_TRUE(addr < date && date < todo && todo < memo);

        // Detection fills the lists with pointers into the managers; a new
        // build replaces facades and lists alike, so none of them is kept.
        ASSERT_TRUE(DetectAddrDups(set.Addr()->GetCommMgr(), set.AddrDups(), DefaultOption()));
        ASSERT_TRUE(DetectNoteDups(set.Memo()->GetCommMgr(), set.MemoDups(), DefaultOption()));
        EXPECT_EQ(set.AddrDups()->Count(), 3u);
        EXPECT_EQ(set.MemoDups()->Count(), 3u);
        ASSERT_TRUE(set.Build(user, kAppTodo));
        EXPECT_EQ(DupCounts(set), (std::vector<int>{0, 0, 0, 0}));
        ExpectLoaded(set, kAppTodo, 12, g.gen);
    }
}

TEST(FacadeSetTest, MissingFileFailsWithItsReasonWhileTheOthersLoad)
{
    for (const Generation& g : kGenerations) {
        SCOPED_TRACE(g.number);
        PalmInstall env(g.major, g.minor, g.build);
        int32_t user = int32_t(env.UserId());
        for (int32_t missing = 0; missing < kPmAppCount; ++missing) {
            SCOPED_TRACE(kAppNames[missing]);
            ASSERT_NO_FATAL_FAILURE(Generate(env, g.number, 6, 1, 3));
            std::string path = AppFile(env, g.gen, missing);
            ASSERT_TRUE(std::filesystem::remove(plat::ToHostPath(path)));

            PmFacadeSet set;
            ASSERT_TRUE(set.Build(user, 0xF));  // a failed load is no failed build
            for (int32_t app = 0; app < kPmAppCount; ++app) {
                const PmLoadResult& r = set.LoadResult(app);
                EXPECT_TRUE(r.Tried);
                if (app == missing) {
                    EXPECT_TRUE(r.Failed);
                    EXPECT_EQ(RecordCount(set, app), 0u);
                    // The loader's own words, naming the file it could not open;
                    // progress lines are not part of it.
                    EXPECT_NE(Lower(r.Reason).find(Lower(FileName(path))), std::string::npos) << r.Reason;
                    EXPECT_EQ(r.Reason.find("by user:"), std::string::npos) << r.Reason;
                } else {
                    EXPECT_FALSE(r.Failed) << kAppNames[app] << ": " << r.Reason;
                    EXPECT_EQ(r.Reason, "");
                    EXPECT_EQ(RecordCount(set, app), 6u);
                }
            }
            EXPECT_EQ(DupCounts(set), (std::vector<int>{0, 0, 0, 0}));
        }
    }
}

TEST(FacadeSetTest, UnreadableFilesFailWithAReason)
{
    for (const Generation& g : kGenerations) {
        SCOPED_TRACE(g.number);
        PalmInstall env(g.major, g.minor, g.build);
        int32_t user = int32_t(env.UserId());
        ASSERT_NO_FATAL_FAILURE(Generate(env, g.number, 6, 1, 3));

        // Bytes that are no data file of any generation, where the notes are.
        std::string memo = AppFile(env, g.gen, kPmAppMemo);
        std::ofstream(plat::ToHostPath(memo), std::ios::binary | std::ios::trunc) << std::string(300, '\x5A');
        PmFacadeSet set;
        ASSERT_TRUE(set.Build(user, 0xF));
        const PmLoadResult& r = set.LoadResult(kPmAppMemo);
        EXPECT_TRUE(r.Failed);
        EXPECT_FALSE(r.Reason.empty());
        EXPECT_EQ(RecordCount(set, kPmAppMemo), 0u);
        for (int32_t app : {kPmAppAddr, kPmAppDate, kPmAppTodo}) {
            EXPECT_FALSE(set.LoadResult(app).Failed) << set.LoadResult(app).Reason;
            EXPECT_EQ(RecordCount(set, app), 6u);
        }

        // A .dat file held by another program (Palm Desktop, HotSync) cannot
        // be opened; once it is let go, a reload reads it.
        if (g.gen != kPmGenEx2) {
            std::string addr = AppFile(env, g.gen, kPmAppAddr);
            plat::ExclusiveFile holder;
            ASSERT_TRUE(holder.Open(addr, plat::Access::Read, false));
            set.Reload(user, kAppAddr);
            EXPECT_TRUE(set.LoadResult(kPmAppAddr).Failed);
            EXPECT_NE(Lower(set.LoadResult(kPmAppAddr).Reason).find("address.dat"), std::string::npos)
                << set.LoadResult(kPmAppAddr).Reason;
            EXPECT_EQ(RecordCount(set, kPmAppAddr), 0u);
            holder.Close();
            set.Reload(user, kAppAddr);
            EXPECT_FALSE(set.LoadResult(kPmAppAddr).Failed);
            EXPECT_EQ(set.LoadResult(kPmAppAddr).Reason, "");
            EXPECT_EQ(RecordCount(set, kPmAppAddr), 6u);
        }
    }
}

TEST(FacadeSetTest, LoadsThatLeaveNoGenerationFail)
{
    // Below 3.5 contacts and notes have no generation (the notes facade
    // still answers its load), calendar and tasks read the classic files.
    PalmInstall env(3, 0, 0);
    ASSERT_NO_FATAL_FAILURE(Generate(env, 30000, 5, 1, 2));
    PmFacadeSet set;
    ASSERT_TRUE(set.Build(int32_t(env.UserId()), 0xF));
    for (int32_t app : {kPmAppAddr, kPmAppMemo}) {
        EXPECT_TRUE(set.LoadResult(app).Failed);
        EXPECT_NE(set.LoadResult(app).Reason.find("Unknown Palm Desktop version"), std::string::npos);
    }
    for (int32_t app : {kPmAppDate, kPmAppTodo}) {
        EXPECT_FALSE(set.LoadResult(app).Failed);
        EXPECT_EQ(RecordCount(set, app), 5u);
    }

    // A user the user library does not know: every load fails, each with why.
    set.Release();
    ASSERT_TRUE(set.Build(int32_t(env.UserId() ^ 0x5A5A5A5Au), 0xF));
    for (int32_t app = 0; app < kPmAppCount; ++app) {
        EXPECT_TRUE(set.LoadResult(app).Failed) << kAppNames[app];
        EXPECT_FALSE(set.LoadResult(app).Reason.empty()) << kAppNames[app];
    }
}

TEST(FacadeSetTest, ReloadReadsTheFilesAgain)
{
    for (const Generation& g : kGenerations) {
        SCOPED_TRACE(g.number);
        PalmInstall env(g.major, g.minor, g.build);
        int32_t user = int32_t(env.UserId());
        ASSERT_NO_FATAL_FAILURE(Generate(env, g.number, 8, 2, 1));
        PmFacadeSet set;
        ASSERT_TRUE(set.Build(user, 0xF));
        ASSERT_TRUE(DetectAddrDups(set.Addr()->GetCommMgr(), set.AddrDups(), DefaultOption()));
        ASSERT_TRUE(DetectDateDups(set.Date()->GetCommMgr(), set.DateDups(), DefaultOption()));
        ASSERT_TRUE(DetectTaskDups(set.Todo()->GetCommMgr(), set.TodoDups(), DefaultOption()));
        ASSERT_TRUE(DetectNoteDups(set.Memo()->GetCommMgr(), set.MemoDups(), DefaultOption()));
        EXPECT_EQ(DupCounts(set), (std::vector<int>{2, 2, 2, 2}));

        // Only the applications asked for are read again, and announced
        // before each load; their duplicate lists, which pointed into the
        // records just freed, are emptied.
        ASSERT_NO_FATAL_FAILURE(Generate(env, g.number, 11, 4, 9));
        std::vector<int32_t> announced;
        set.SetProgress([&](int32_t app) { announced.push_back(app); });
        set.Reload(user, kAppAddr | kAppTodo);
        EXPECT_EQ(announced, (std::vector<int32_t>{kPmAppAddr, kPmAppTodo}));
        EXPECT_EQ(RecordCount(set, kPmAppAddr), 11u);
        EXPECT_EQ(RecordCount(set, kPmAppDate), 8u);
        EXPECT_EQ(RecordCount(set, kPmAppTodo), 11u);
        EXPECT_EQ(RecordCount(set, kPmAppMemo), 8u);
        EXPECT_EQ(DupCounts(set), (std::vector<int>{0, 2, 0, 2}));
        ASSERT_TRUE(DetectAddrDups(set.Addr()->GetCommMgr(), set.AddrDups(), DefaultOption()));
        EXPECT_EQ(set.AddrDups()->Count(), 4u);

        set.Reload(user, 0xF);
        ExpectLoaded(set, 0xF, 11, g.gen);
        EXPECT_EQ(DupCounts(set), (std::vector<int>{0, 0, 0, 0}));

        // A file gone since the build fails on reload; its result says so,
        // and says nothing more once the file is back.
        std::string date = AppFile(env, g.gen, kPmAppDate);
        ASSERT_TRUE(std::filesystem::remove(plat::ToHostPath(date)));
        set.Reload(user, kAppDate);
        EXPECT_TRUE(set.LoadResult(kPmAppDate).Failed);
        EXPECT_FALSE(set.LoadResult(kPmAppDate).Reason.empty());
        EXPECT_EQ(RecordCount(set, kPmAppDate), 0u);
        ASSERT_NO_FATAL_FAILURE(Generate(env, g.number, 3, 0, 4));
        set.Reload(user, kAppDate);
        EXPECT_FALSE(set.LoadResult(kPmAppDate).Failed);
        EXPECT_EQ(set.LoadResult(kPmAppDate).Reason, "");
        EXPECT_EQ(RecordCount(set, kPmAppDate), 3u);
    }
}

TEST(FacadeSetTest, ReloadWithoutABuildDoesNothing)
{
    PalmInstall env(4, 1, 4);
    ASSERT_NO_FATAL_FAILURE(Generate(env, 40104, 4, 0, 1));
    PmFacadeSet set;
    set.Reload(int32_t(env.UserId()), 0xF);
    ExpectReleased(set);
}

TEST(FacadeSetTest, CriticalMessagesOfALoadThatReadsNothingAreNotLost)
{
    // A 6.x database that opens but has no table of records: whatever the
    // loader makes of it, the user is told why nothing was read.
    PalmInstall env(6, 0, 0);
    ASSERT_NO_FATAL_FAILURE(Generate(env, 60000, 4, 0, 1));
    std::string error;
    ASSERT_TRUE(palmfix::Ex2Exec(AppFile(env, kPmGenEx2, kPmAppTodo), "DROP TABLE Main", &error)) << error;
    PmFacadeSet set;
    ASSERT_TRUE(set.Build(int32_t(env.UserId()), kAppTodo));
    const PmLoadResult& r = set.LoadResult(kPmAppTodo);
    EXPECT_EQ(RecordCount(set, kPmAppTodo), 0u);
    const std::string& told = r.Failed ? r.Reason : r.Warnings;
    EXPECT_NE(told.find("Main"), std::string::npos) << told;
}

// ---------------------------------------------------------------------------
// The settings folder

namespace {

// XDG_DATA_HOME pointed into a temporary folder for one test, restored after.
class SettingsFolderTest : public testing::Test {
protected:
    void SetUp() override
    {
        char tmpl[] = "/tmp/tarnwick-settings-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        m_dir = tmpl;
        const char* old = std::getenv("XDG_DATA_HOME");
        m_had = old != nullptr;
        if (old)
            m_old = old;
    }
    void TearDown() override
    {
        if (m_had)
            setenv("XDG_DATA_HOME", m_old.c_str(), 1);
        else
            unsetenv("XDG_DATA_HOME");
        std::error_code ec;
        std::filesystem::remove_all(m_dir, ec);
    }
    void UseDataHome(const std::string& host) { setenv("XDG_DATA_HOME", host.c_str(), 1); }
    bool IsFolder(const std::string& host) const { return std::filesystem::is_directory(host); }
    void PutFile(const std::string& host) const { std::ofstream(host) << "not a folder"; }

    std::string m_dir;
    bool m_had = false;
    std::string m_old;
};

}  // namespace

TEST_F(SettingsFolderTest, EveryMissingLevelIsCreated)
{
    // The data folder itself and its parent are missing too.
    UseDataHome(m_dir + "/home/share");
    std::string folder = "stale";
    ASSERT_TRUE(FindSettingsFolder(&folder));
    EXPECT_EQ(folder, plat::ToWinPath(m_dir) + "\\home\\share\\brellon\\Tarnwick\\");
    EXPECT_TRUE(IsFolder(m_dir + "/home/share/brellon/Tarnwick"));
    // The result names the folder that the settings file and the log go into.
    std::ofstream(plat::ToHostPath(folder + "brellon.ini")) << "[DCOption]\n";
    EXPECT_TRUE(std::filesystem::exists(m_dir + "/home/share/brellon/Tarnwick/brellon.ini"));

    // Found again as it is, files inside kept.
    std::string again;
    ASSERT_TRUE(FindSettingsFolder(&again));
    EXPECT_EQ(again, folder);
    EXPECT_TRUE(std::filesystem::exists(m_dir + "/home/share/brellon/Tarnwick/brellon.ini"));

    // A trailing separator in the variable changes nothing.
    UseDataHome(m_dir + "/home/share/");
    ASSERT_TRUE(FindSettingsFolder(&again));
    EXPECT_EQ(again, folder);

    EXPECT_FALSE(FindSettingsFolder(nullptr));
}

TEST_F(SettingsFolderTest, FailsWhenALevelCannotBeMade)
{
    struct Case {
        const char* name;
        std::string file;  // a plain file where this level should be
    } cases[] = {
        {"data folder", "/data"},
        {"brellon", "/data/brellon"},
        {"Tarnwick", "/data/brellon/Tarnwick"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(m_dir + "/data");
        if (c.file != "/data")
            std::filesystem::create_directories(m_dir + c.file.substr(0, c.file.rfind('/')));
        PutFile(m_dir + c.file);
        UseDataHome(m_dir + "/data");
        std::string folder = "stale";
        EXPECT_FALSE(FindSettingsFolder(&folder));
        EXPECT_EQ(folder, "");
        // The file is left as it was.
        EXPECT_TRUE(std::filesystem::is_regular_file(m_dir + c.file));
    }

    // A file standing where a parent of the data folder should be.
    std::filesystem::remove_all(m_dir + "/data");
    PutFile(m_dir + "/data");
    UseDataHome(m_dir + "/data/deeper/share");
    std::string folder;
    EXPECT_FALSE(FindSettingsFolder(&folder));
    EXPECT_EQ(folder, "");
}

TEST_F(SettingsFolderTest, AFolderTooLongForItsFilesIsRefused)
{
    // "appdebug.log" must fit behind the folder in 259 characters.
    std::string base = plat::ToWinPath(m_dir);
    size_t room = 259 - std::string("\\brellon\\Tarnwick\\appdebug.log").size();
    ASSERT_LT(base.size() + 1, room);
    std::string fits = m_dir + "/" + std::string(room - base.size() - 1, 'f');
    std::string over = m_dir + "/" + std::string(room - base.size(), 'o');
    std::string folder;

    UseDataHome(over);
    EXPECT_FALSE(FindSettingsFolder(&folder));
    EXPECT_EQ(folder, "");
    EXPECT_FALSE(std::filesystem::exists(over));  // nothing was made

    UseDataHome(fits);
    ASSERT_TRUE(FindSettingsFolder(&folder));
    EXPECT_EQ((folder + "appdebug.log").size(), 259u);
    EXPECT_TRUE(IsFolder(fits + "/brellon/Tarnwick"));
}

// The review page's reload reads a file again only when what the last load
// read may no longer be what it holds. (A text changed in memory tells
// whether a record was read again.)
TEST(FacadeSetTest, ReloadReadsAgainOnlyWhatMayHaveChanged)
{
    for (const Generation& g : kGenerations) {
        SCOPED_TRACE(g.number);
        PalmInstall env(g.major, g.minor, g.build);
        int32_t user = int32_t(env.UserId());
        ASSERT_NO_FATAL_FAILURE(Generate(env, g.number, 6, 1, 3));
        PmFacadeSet set;
        ASSERT_TRUE(set.Build(user, kAppAddr | kAppMemo));
        CommAddrMgr* addrs = set.Addr()->GetCommMgr();
        auto mark = [&] {
            CommAddr* first = addrs->RecordAt(0);
            first->Company.Set("not read again");
            first->Trailer.MarkFlags = kCommMarkDuplicate | kCommMarkSelected;
        };
        auto readAgain = [&] { return addrs->RecordAt(0)->Company.View() != "not read again"; };

        // Nothing changed: the same records, without their marks.
        mark();
        set.Reload(user, kAppAddr | kAppMemo);
        EXPECT_FALSE(readAgain());
        EXPECT_EQ(addrs->RecordAt(0)->Trailer.MarkFlags, 0u);
        EXPECT_FALSE(set.LoadResult(kPmAppAddr).Failed);

        // The file written again (same bytes, a later time): read again.
        std::filesystem::path host = plat::ToHostPath(AppFile(env, g.gen, kPmAppAddr));
        std::filesystem::last_write_time(host, std::filesystem::last_write_time(host) + std::chrono::seconds(2));
        set.Reload(user, kAppAddr);
        EXPECT_TRUE(readAgain());
        EXPECT_EQ(RecordCount(set, kPmAppAddr), 6u);

        // A deletion since the load, even one not saved: read again.
        mark();
        ASSERT_TRUE(set.Addr()->DeleteRecord(addrs->RecordAt(1)));
        set.Reload(user, kAppAddr);
        EXPECT_TRUE(readAgain());
        EXPECT_EQ(RecordCount(set, kPmAppAddr), 6u);
    }
}

// One wizard at a time: the second holder of the lock is refused while the
// first holds it, and a lock file left behind by a run that ended (a crash
// leaves the file but not the lock) does not block the next start.
TEST(InstanceLock, OneHolderAtATimeAndNoStuckLock)
{
    char tmpl[] = "/tmp/tarnwick-lock-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    std::string folder = std::string(tmpl) + "/";
    {
        plat::ExclusiveFile first, second;
        ASSERT_TRUE(HoldInstanceLock(folder, &first));
        EXPECT_FALSE(HoldInstanceLock(folder, &second));
        first.Close();
        EXPECT_TRUE(std::filesystem::exists(folder + "tarnwick.lock"));
        EXPECT_TRUE(HoldInstanceLock(folder, &second));
    }
    plat::ExclusiveFile again;
    EXPECT_TRUE(HoldInstanceLock(folder, &again));
    again.Close();
    EXPECT_FALSE(HoldInstanceLock(std::string(tmpl) + "/missing/", &again));
    std::filesystem::remove_all(tmpl);
}

// What a failed load tells the user: the file by its host path, and why in
// words: missing, a folder, held by another program, or damaged with its
// size and where reading stopped.
TEST(LoadFailureWords, NameTheFileAndWhy)
{
    char tmpl[] = "/tmp/tarnwick-words-XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    std::string dir = tmpl;
    std::string file = dir + "/address.dat";
    EXPECT_EQ(PmLoadFailureWords(file, ""), file + " could not be opened: there is no such file. Nothing was read or changed.");
    std::filesystem::create_directory(file);
    EXPECT_EQ(PmLoadFailureWords(file, ""),
              file + " could not be opened: it is a folder, not a file. Nothing was read or changed.");
    std::filesystem::remove(file);
    std::ofstream(file, std::ios::binary) << std::string(300, 'x');
    std::string words = PmLoadFailureWords(file, "Error reading Palm Desktop Contacts, current file position: 212");
    EXPECT_EQ(words.rfind(file + " is damaged or incomplete (it is 300 bytes long; reading stopped at byte 212)", 0), 0u)
        << words;
    EXPECT_NE(words.find("Restore a backup copy"), std::string::npos);
    {
        plat::ExclusiveFile held;
        ASSERT_TRUE(held.Open(file, plat::Access::Read, false));
        words = PmLoadFailureWords(file, "");
        EXPECT_EQ(words.rfind(file + " is open in another program", 0), 0u) << words;
    }
    EXPECT_EQ(PmLoadFailureWords("", "x").rfind("the data folder of this Palm Desktop user could not be found", 0), 0u);
    std::filesystem::remove_all(dir);
}
