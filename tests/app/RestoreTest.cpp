// Restoring a data file from a backup, on every generation: the file becomes
// the backup byte for byte, what it held before is kept as a new backup, the
// backup stays, and nothing is written while another program (or the
// wizard itself) has the file.
#include "app/ApputilRestore.h"

#include "JetTestData.h"
#include "palm/DmMain.h"
#include "palm/PalmInfoTestEnv.h"
#include "palm/PalmReason.h"
#include "palmfixture/FixtureJet.h"
#include "palmfixture/Generator.h"
#include "platform/File.h"
#include "platform/WinPath.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

using infotest::PalmInstall;
using infotest::ReadBytes;

namespace {

struct RestoreCase {
    const char* name;
    uint16_t major, minor, build;
    bool jet;     // the 6.x databases are Jet files of an independent writer
    int32_t app;  // the file restored
    int32_t gen;
    bool linked;  // the data file is a link to a file in another folder
};

const RestoreCase kCases[] = {
    {"classic", 4, 0, 0, false, kPmAppAddr, kPmGenClassic, false},
    {"ex", 4, 1, 4, false, kPmAppDate, kPmGenEx, true},
    {"ex2_sqlite", 6, 0, 0, false, kPmAppMemo, kPmGenEx2, false},
    {"ex2_jet", 6, 0, 0, true, kPmAppTodo, kPmGenEx2, false},
};

void WriteData(const PalmInstall& env, const RestoreCase& c)
{
    std::string error;
    if (c.jet)
        ASSERT_TRUE(palmfix::CopyJetDatabases(jettest::DataFolder(),
                                              palmfix::UserHostFolder(env.Inst(), env.Inst().users[0]), &error))
            << error;
    else
        ASSERT_TRUE(palmfix::GenerateUserData(env.UserFolder(), uint32_t(c.major) * 10000 + c.minor * 100 + c.build,
                                              {20, 5, 3}, palmfix::kGenAll, &error))
            << error;
}

// The file as another content: one byte changed in its middle and one more
// at its end.
std::string Changed(std::string bytes)
{
    bytes[bytes.size() / 2] ^= 0x5A;
    return bytes + '\x01';
}

int BackupCount(const std::string& file) { return int(plat::BackupsOf(file).size()); }

// Holds `path` with a whole-file lock for as long as it lives, as the
// desktop program holds its files and a Jet database's lock file.
struct HeldFile {
    explicit HeldFile(const std::string& path) : fd(::open(path.c_str(), O_RDWR | O_CREAT, 0644))
    {
        EXPECT_GE(fd, 0) << path;
        EXPECT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
    }
    ~HeldFile() { ::close(fd); }
    int fd;
};

}  // namespace

// The backup a save kept is put back: the file is then that backup byte for
// byte, the file as it was before is in a new backup beside it, the backup
// restored from is untouched, and the list names the new backup first. A
// data file that is a link stays one; the file it leads to is restored, with
// its backups beside it.
TEST(Restore, RoundTripOnEveryGeneration)
{
    for (const RestoreCase& c : kCases) {
        SCOPED_TRACE(c.name);
        PalmInstall env(c.major, c.minor, c.build);
        WriteData(env, c);
        const std::string file = PmAppDataFile(c.app, c.gen, env.UserId());
        std::string host = plat::ToHostPath(file);
        if (c.linked) {
            const std::string elsewhere = env.Inst().dir + "/../elsewhere.dat";
            std::filesystem::rename(host, elsewhere);
            std::filesystem::create_symlink(elsewhere, host);
            host = plat::FollowLinks(host);
        }
        const std::string saved = ReadBytes(file);
        ASSERT_FALSE(saved.empty());
        ASSERT_TRUE(plat::BackupOnce(file, nullptr));
        std::string error;
        ASSERT_TRUE(plat::ReplaceFileContents(file, Changed(saved).data(), saved.size() + 1, &error)) << error;

        const std::vector<PmBackupEntry> before = PmListBackups(env.UserId());
        ASSERT_EQ(before.size(), 1u);
        EXPECT_EQ(before[0].App, c.app);
        EXPECT_EQ(before[0].File, file);
        EXPECT_EQ(before[0].Copy.size, int64_t(saved.size()));
        EXPECT_EQ(before[0].Copy.hostPath.rfind(host + ".", 0), 0u) << before[0].Copy.hostPath;

        std::string made, words;
        ASSERT_TRUE(PmRestoreBackup(file, before[0].Copy.hostPath, &made, &words)) << words;
        EXPECT_TRUE(ReadBytes(file) == saved);
        EXPECT_TRUE(ReadBytes(made) == Changed(saved));
        EXPECT_TRUE(ReadBytes(before[0].Copy.hostPath) == saved);
        if (c.linked) {
            EXPECT_TRUE(std::filesystem::is_symlink(plat::ToHostPath(file)));
        }

        const std::vector<PmBackupEntry> after = PmListBackups(env.UserId());
        ASSERT_EQ(after.size(), 2u);
        EXPECT_EQ(after[0].Copy.hostPath, made);
        EXPECT_EQ(after[1].Copy.hostPath, before[0].Copy.hostPath);
        plat::ResetBackups();
    }
}

// Nothing is restored while the file is held: by Palm Desktop's no-sharing
// open, by the lock file of a Jet database, by another program's lock on an
// SQLite database or a journal beside it that is not empty, or by the
// wizard's own connection. Each refusal says why and leaves the file and its
// backups as they were; once the hold ends the restore goes through.
TEST(Restore, RefusedWhileTheFileIsHeld)
{
    auto expectRefused = [](const std::string& file, const std::string& backup, const std::string& reason) {
        const std::string was = ReadBytes(file);
        const int copies = BackupCount(file);
        std::string made, words;
        EXPECT_FALSE(PmRestoreBackup(file, backup, &made, &words));
        EXPECT_NE(words.find(plat::ToHostPath(file)), std::string::npos) << words;
        EXPECT_NE(words.find(reason), std::string::npos) << words;
        EXPECT_NE(words.find("Nothing was changed."), std::string::npos) << words;
        EXPECT_TRUE(ReadBytes(file) == was);
        EXPECT_EQ(BackupCount(file), copies);
    };
    auto prepare = [](const PalmInstall& env, const RestoreCase& c, std::string* file, std::string* backup) {
        WriteData(env, c);
        *file = PmAppDataFile(c.app, c.gen, env.UserId());
        const std::string bytes = ReadBytes(*file);
        ASSERT_TRUE(plat::BackupOnce(*file, nullptr));
        ASSERT_TRUE(plat::ReplaceFileContents(*file, Changed(bytes).data(), bytes.size() + 1, nullptr));
        *backup = plat::BackupsOf(*file).at(0).hostPath;
    };
    std::string file, backup, made, words;
    {
        SCOPED_TRACE("dat held");
        PalmInstall env(4, 1, 4);
        prepare(env, kCases[1], &file, &backup);
        {
            HeldFile held(plat::ToHostPath(file));
            expectRefused(file, backup, kPmReasonHeld);
        }
        EXPECT_TRUE(PmRestoreBackup(file, backup, &made, &words)) << words;
        plat::ResetBackups();
    }
    {
        SCOPED_TRACE("jet lock file");
        PalmInstall env(6, 0, 0);
        prepare(env, kCases[3], &file, &backup);
        const std::string host = plat::ToHostPath(file);
        {
            HeldFile lock(host.substr(0, host.size() - 4) + ".ldb");
            expectRefused(file, backup, kPmReasonHeld);
        }
        EXPECT_TRUE(PmRestoreBackup(file, backup, &made, &words)) << words;
        plat::ResetBackups();
    }
    {
        SCOPED_TRACE("sqlite");
        PalmInstall env(6, 0, 0);
        prepare(env, kCases[2], &file, &backup);
        const std::string host = plat::ToHostPath(file);
        for (const char* journal : {"-wal", "-journal"}) {
            std::ofstream(host + journal, std::ios::binary) << "unfinished";
            expectRefused(file, backup, "did not finish writing it");
            std::ofstream(host + journal, std::ios::trunc);  // empty: nothing left to finish
        }
        // A reader in another process: SQLite's shared lock, a byte range
        // far past the file's end.
        int ready[2];
        ASSERT_EQ(::pipe(ready), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            const int fd = ::open(host.c_str(), O_RDONLY);
            struct flock fl {};
            fl.l_type = F_RDLCK;
            fl.l_whence = SEEK_SET;
            fl.l_start = 0x40000002;
            fl.l_len = 510;
            const char ok = fd >= 0 && ::fcntl(fd, F_SETLK, &fl) == 0 ? 'y' : 'n';
            (void)!::write(ready[1], &ok, 1);
            ::pause();
            _exit(0);
        }
        char ok = 0;
        ASSERT_EQ(::read(ready[0], &ok, 1), 1);
        EXPECT_EQ(ok, 'y');
        expectRefused(file, backup, kPmReasonHeld);
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        ::close(ready[0]);
        ::close(ready[1]);

        // The wizard's own connection, from a load, until it lets go.
        PmMemoInfo info(60000);
        ASSERT_TRUE(info.LoadByUser(int32_t(env.UserId())));
        ASSERT_TRUE(DataModule().HoldsFile(file));
        expectRefused(file, backup, "this wizard still has it open");
        EXPECT_TRUE(DataModule().LetGoOfFile(file));
        EXPECT_TRUE(PmRestoreBackup(file, backup, &made, &words)) << words;
        EXPECT_TRUE(ReadBytes(file) == ReadBytes(backup));
        plat::ResetBackups();
    }
}

// The list holds the backups of this user's data files only, newest first,
// whichever generation's names they carry; another user's backups are not
// listed.
TEST(Restore, ListsThisUsersBackupsNewestFirst)
{
    PalmInstall env(4, 1, 4);
    const std::string user = palmfix::UserHostFolder(env.Inst(), env.Inst().users[0]);
    const std::string root = user.substr(0, user.find_last_of('/', user.size() - 2) + 1);
    auto put = [](const std::string& path) {
        std::filesystem::create_directories(std::filesystem::path(path).parent_path());
        std::ofstream(path, std::ios::binary) << path;
    };
    put(user + "/address/address.dat.20200101-120000.bak");
    put(user + "/memopad/memopad.dat.20220303-101010.bak");
    put(user + "/address/Address.mdb.20210101-000000.bak");
    put(root + "Another User/address/address.dat.20300101-000000.bak");

    const std::vector<PmBackupEntry> list = PmListBackups(env.UserId());
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].App, kPmAppMemo);
    EXPECT_EQ(std::filesystem::path(list[0].Copy.hostPath).filename(), "memopad.dat.20220303-101010.bak");
    EXPECT_EQ(list[1].App, kPmAppAddr);
    EXPECT_EQ(list[1].File, PmAppDataFile(kPmAppAddr, kPmGenEx2, env.UserId()));
    EXPECT_EQ(list[2].App, kPmAppAddr);
    EXPECT_EQ(list[2].File, PmAppDataFile(kPmAppAddr, kPmGenEx, env.UserId()));
    EXPECT_GT(list[0].Copy.made, list[1].Copy.made);
    EXPECT_GT(list[1].Copy.made, list[2].Copy.made);
}
