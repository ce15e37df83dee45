// The fault hooks of the save path, each on the step it names, checked on
// ReplaceFileContents and BackupOnce directly. (tests/palm/SaveFaultTest
// runs them through every save of the program.)
#include "platform/File.h"
#include "platform/WinPath.h"

#include "platform/TestDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <vector>

namespace {

std::set<std::string> Entries(const std::string& dir)
{
    std::set<std::string> out;
    for (const auto& e : std::filesystem::directory_iterator(dir))
        out.insert(e.path().filename().string());
    return out;
}

std::string Read(const std::string& path)
{
    std::string out;
    plat::ReadWholeFile(plat::ToWinPath(path), &out);
    return out;
}

/// The entries of dir besides `name` (backups and anything left over).
std::vector<std::string> Others(const std::string& dir, const std::string& name)
{
    std::vector<std::string> out;
    for (const std::string& e : Entries(dir))
        if (e != name)
            out.push_back(e);
    return out;
}

class FileFaultTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        plat::ClearFileFaults();
        plat::ResetBackups();
        m_path = m_dir / "address.dat";
        m_dir.Write("address.dat", m_original);
    }
    void TearDown() override { plat::ClearFileFaults(); }

    bool Replace(const plat::FileFaults& faults, std::string* error)
    {
        plat::ScopedFileFaults scoped(faults);
        return plat::ReplaceFileContents(plat::ToWinPath(m_path), m_new.data(), m_new.size(), error);
    }

    TestDir m_dir;
    std::string m_path;
    const std::string m_original = std::string(300, 'o') + "original";
    const std::string m_new = std::string(500, 'n') + "new content";
};

struct HookCase {
    const char* name;
    std::function<void(plat::FileFaults&)> set;
    const char* error;  ///< part of the error text
    bool backupKept;    ///< the .bak exists when the step fails
    int errnum;         ///< the error number handed up with it
};

}  // namespace

TEST_F(FileFaultTest, EveryHookFailsItsStepAndLeavesTheOriginal)
{
    const HookCase cases[] = {
        {"temp create", [](auto& f) { f.failTempCreate = true; }, "cannot create the temporary file", false, EACCES},
        {"bytes", [](auto& f) { f.failWriteAfter = 100; }, "cannot write the temporary file", false, EIO},
        {"call", [](auto& f) { f.failWriteCall = 0; }, "cannot write the temporary file", false, EIO},
        {"disk", [](auto& f) { f.diskFreeBytes = 10; }, "No space left on device", false, ENOSPC},
        {"sync", [](auto& f) { f.failSync = true; }, "cannot flush the temporary file", false, EIO},
        {"close", [](auto& f) { f.failClose = true; }, "cannot close the temporary file", false, EIO},
        {"backup", [](auto& f) { f.failBackup = true; }, "cannot keep a backup", false, EACCES},
        {"backup create", [](auto& f) { f.failBackupCreate = true; }, ".bak.tmp", false, EACCES},
        {"backup read", [](auto& f) { f.failBackupRead = true; }, "cannot read", false, EIO},
        {"backup call", [](auto& f) { f.failWriteCall = 1; }, ".bak.tmp: Input/output error", false, EIO},
        {"backup disk", [](auto& f) { f.diskFreeBytes = 520; }, ".bak.tmp: No space left on device", false, ENOSPC},
        {"backup sync", [](auto& f) { f.failBackupSync = true; }, "cannot flush", false, EIO},
        {"backup rename", [](auto& f) { f.failBackupRename = true; }, "cannot rename", false, EIO},
        {"rename", [](auto& f) { f.failRename = true; }, "cannot replace", true, EIO},
    };
    for (const HookCase& c : cases) {
        SCOPED_TRACE(c.name);
        plat::ResetBackups();
        plat::FileFaults f;
        c.set(f);
        std::string error;
        int errnum = 0;
        {
            plat::ScopedFileFaults scoped(f);
            EXPECT_FALSE(plat::ReplaceFileContents(plat::ToWinPath(m_path), m_new.data(), m_new.size(), &error,
                                                   &errnum));
        }
        EXPECT_NE(error.find(c.error), std::string::npos) << error;
        EXPECT_EQ(errnum, c.errnum) << error;
        EXPECT_EQ(Read(m_path), m_original);
        std::vector<std::string> others = Others(m_dir.Path(), "address.dat");
        if (c.backupKept) {
            ASSERT_EQ(others.size(), 1u);
            EXPECT_EQ(others[0].substr(others[0].size() - 4), ".bak");
            EXPECT_EQ(Read(m_dir / others[0]), m_original);
            std::filesystem::remove(m_dir / others[0]);
        } else {
            EXPECT_TRUE(others.empty()) << others[0];
        }
    }
    // Nothing left set: the same replace goes through.
    plat::ResetBackups();
    std::string error;
    ASSERT_TRUE(plat::ReplaceFileContents(plat::ToWinPath(m_path), m_new.data(), m_new.size(), &error)) << error;
    EXPECT_EQ(Read(m_path), m_new);
}

TEST_F(FileFaultTest, AFullDiskCutsAWriteShortThenRefusesTheNext)
{
    const std::string win = plat::ToWinPath(m_path);
    plat::FileFaults f;
    f.diskFreeBytes = 200;
    std::string error;
    {
        plat::ScopedFileFaults scoped(f);
        EXPECT_FALSE(plat::ReplaceFileContents(win, m_new.data(), m_new.size(), &error));
        // One write cut at 200 bytes, then one refused: no endless retry of
        // a write that makes no progress.
        EXPECT_EQ(plat::FileWriteCalls(), 2);
    }
    EXPECT_NE(error.find("No space left on device"), std::string::npos) << error;

    // Counted from the moment the faults are set: the temporary file's one
    // write and the backup copy's one.
    plat::ClearFileFaults();
    ASSERT_TRUE(plat::ReplaceFileContents(plat::ToWinPath(m_path), m_new.data(), m_new.size(), &error));
    EXPECT_EQ(plat::FileWriteCalls(), 2);
}

TEST_F(FileFaultTest, TheBackupHoldsWhatTheReplaceOverwrote)
{
    // The rename fails after the backup was made: the backup is the original
    // and so is the file.
    plat::FileFaults rename;
    rename.failRename = true;
    std::string error;
    EXPECT_FALSE(Replace(rename, &error));
    std::vector<std::string> others = Others(m_dir.Path(), "address.dat");
    ASSERT_EQ(others.size(), 1u);
    const std::string bak = m_dir / others[0];
    EXPECT_EQ(Read(bak), m_original);
    EXPECT_EQ(Read(m_path), m_original);

    // The retry of the run makes no second backup.
    ASSERT_TRUE(Replace(plat::FileFaults(), &error)) << error;
    EXPECT_EQ(Read(m_path), m_new);
    EXPECT_EQ(Others(m_dir.Path(), "address.dat"), others);
    EXPECT_EQ(Read(bak), m_original);
}

TEST_F(FileFaultTest, BackupOnceStepsAndOnlyOnce)
{
    const std::string win = plat::ToWinPath(m_path);
    for (auto set : std::vector<std::function<void(plat::FileFaults&)>>{
             [](auto& f) { f.failBackup = true; }, [](auto& f) { f.failBackupCreate = true; },
             [](auto& f) { f.failBackupRead = true; }, [](auto& f) { f.failWriteCall = 0; },
             [](auto& f) { f.diskFreeBytes = 5; }, [](auto& f) { f.failBackupSync = true; },
             [](auto& f) { f.failBackupRename = true; }}) {
        plat::FileFaults f;
        set(f);
        plat::ScopedFileFaults scoped(f);
        std::string error;
        EXPECT_FALSE(plat::BackupOnce(win, &error));
        EXPECT_FALSE(error.empty());
        EXPECT_TRUE(Others(m_dir.Path(), "address.dat").empty());
    }
    // The hooks of the save's own temporary file are not on this path.
    plat::FileFaults saveOnly;
    saveOnly.failTempCreate = saveOnly.failSync = saveOnly.failClose = saveOnly.failRename = true;
    saveOnly.failWriteAfter = 0;
    {
        plat::ScopedFileFaults scoped(saveOnly);
        ASSERT_TRUE(plat::BackupOnce(win, nullptr));
    }
    std::vector<std::string> others = Others(m_dir.Path(), "address.dat");
    ASSERT_EQ(others.size(), 1u);
    EXPECT_EQ(Read(m_dir / others[0]), m_original);

    // Once per path and run: a changed file is not copied again.
    m_dir.Write("address.dat", "changed in place");
    EXPECT_TRUE(plat::BackupOnce(win, nullptr));
    EXPECT_EQ(Others(m_dir.Path(), "address.dat"), others);
    EXPECT_EQ(Read(m_dir / others[0]), m_original);
}
