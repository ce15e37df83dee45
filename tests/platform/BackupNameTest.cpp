// The timestamped backups beside a user's file: a backup never takes the
// place of another, and the backups of a file are found by their names.
#include "TestDir.h"

#include "platform/File.h"

#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

std::string Read(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace

// Three backups of one file within moments (a save's, then two made on
// purpose): each keeps the content it was made of, none is written over by a
// later one of the same second, and the list names them newest first.
TEST(BackupName, ABackupNeverReplacesAnother)
{
    TestDir dir;
    const std::string file = dir / "memopad.dat";
    dir.Write("memopad.dat", "first");
    plat::ResetBackups();
    ASSERT_TRUE(plat::BackupOnce(file, nullptr));
    std::string second, third, error;
    ASSERT_TRUE(plat::ReplaceFileBackingUp(file, "second", 6, &second, &error)) << error;
    ASSERT_TRUE(plat::ReplaceFileBackingUp(file, "third", 5, &third, &error)) << error;
    EXPECT_EQ(Read(file), "third");

    const std::vector<plat::BackupCopy> copies = plat::BackupsOf(file);
    ASSERT_EQ(copies.size(), 3u);
    EXPECT_EQ(copies[0].hostPath, third);
    EXPECT_EQ(Read(copies[0].hostPath), "second");
    EXPECT_EQ(copies[1].hostPath, second);
    EXPECT_EQ(Read(copies[1].hostPath), "first");
    EXPECT_EQ(Read(copies[2].hostPath), "first");
    EXPECT_GT(copies[0].made, copies[1].made);
    EXPECT_GT(copies[1].made, copies[2].made);
    EXPECT_EQ(copies[0].size, 6);
    // The time a name says is the local time it was made at.
    const time_t made = time_t(copies[0].made);
    struct tm tmv;
    localtime_r(&made, &tmv);
    char stamp[32];
    strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &tmv);
    EXPECT_EQ(copies[0].hostPath, file + "." + stamp + ".bak");
    plat::ResetBackups();
}

// Only "<name>.<YYYYMMDD-HHMMSS>.bak" beside the file counts: not a copy in
// the making, a name of another length or an impossible date, nor the
// backups of a file whose name starts alike; a backup of a file that is
// gone still does.
TEST(BackupName, OnlyTheFilesOwnBackupsAreFound)
{
    TestDir dir;
    const std::string file = dir / "todo.dat";
    for (const char* name : {"todo.dat.20240229-235959.bak", "todo.dat.20231231-000000.bak",
                             "todo.dat.20240101-000000.bak.tmp", "todo.dat.2024010-000000.bak",
                             "todo.dat.20241301-000000.bak", "todo.dat.20240101_000000.bak",
                             "todo.dat.old.20240101-000000.bak", "todo.dat2.20240101-000000.bak",
                             "xtodo.dat.20240101-000000.bak"})
        dir.Write(name, name);
    dir.MakeDir("todo.dat.20240102-000000.bak");  // a folder, not a copy
    const std::vector<plat::BackupCopy> copies = plat::BackupsOf(file);
    ASSERT_EQ(copies.size(), 2u);
    EXPECT_EQ(copies[0].hostPath, dir / "todo.dat.20240229-235959.bak");
    EXPECT_EQ(copies[1].hostPath, dir / "todo.dat.20231231-000000.bak");
    EXPECT_EQ(copies[1].size, int64_t(std::string("todo.dat.20231231-000000.bak").size()));
}
