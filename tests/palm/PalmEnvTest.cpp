#include "palm/PalmEnv.h"

#include "palmfixture/PalmFixture.h"
#include "platform/Codepage.h"
#include "platform/MessageBox.h"
#include "platform/Profile.h"
#include "platform/System.h"
#include "platform/TestDir.h"
#include "ProgramFolder.h"
#include "ScopedState.h"
#include "platform/WinPath.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <optional>
#include <thread>
#include <vector>

namespace {

const char kNoUsers[] = "Can not find any Palm users in your desktop environment.";

const char kRegHeader[] = "WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\User\\\\S-1-5-21-0-0-0-1000\n\n"
                          "#arch=win64\n";

// Each test has its own program folder (for brellon.ini), its own Wine
// prefix and a recorder of message boxes.
class PalmEnvTest : public testing::Test {
protected:
    void SetUp() override
    {
        m_dir.MakeDir("bin");
        m_program.emplace(m_dir.Path() + "\\bin\\tarnwick.exe");
        m_prefix = m_dir / "prefix";
        m_dir.MakeDir("prefix/drive_c");
        m_dir.MakeDir("prefix/dosdevices");
        std::filesystem::create_directory_symlink("../drive_c", m_prefix + "/dosdevices/c:");
        m_winePrefix.emplace("WINEPREFIX", m_prefix.c_str());
        plat::SetMessageHook([this](const std::string& title, const std::string& text, plat::MsgIcon icon) {
            m_messages.push_back(title + "|" + text + "|" + std::to_string(int(icon)));
        });
    }

    void TearDown() override
    {
        UnloadPalmLibraries();
        FreePalmUsers();
        SetPalmDesktopSettingsFile("");
        plat::SetMessageHook(nullptr);
        m_program.reset();
        m_winePrefix.reset();
    }

    void SetOverride(const std::string& path)
    {
        ASSERT_TRUE(plat::WriteProfileString(m_dir / "bin/brellon.ini", "Path", "PDPath", path.c_str()));
    }

    // An installation in the prefix's C:\Palm, named only by the override.
    palmfix::Installation Install(const std::vector<std::string>& users = {"SmithJ", "Alice"})
    {
        palmfix::Installation inst;
        inst.dir = m_prefix + "/drive_c/Palm";
        inst.users = users;
        return inst;
    }

    void Write(const palmfix::Installation& inst)
    {
        std::string error;
        ASSERT_TRUE(palmfix::WriteInstallation(inst, &error)) << error;
    }

    void WriteReg(const char* file, const std::string& body) { m_dir.Write("prefix/" + std::string(file), kRegHeader + body); }

    TestDir m_dir;
    std::optional<testenv::ScopedModuleFileName> m_program;
    std::optional<ScopedEnv> m_winePrefix;
    std::string m_prefix;
    std::vector<std::string> m_messages;
};

}  // namespace

TEST_F(PalmEnvTest, OverrideWinsOverTheRegistryEvenForAMissingFolder)
{
    WriteReg("user.reg", "\n[Software\\\\U.S. Robotics\\\\Pilot Desktop\\\\Core] 1\n\"DesktopPath\"=\"C:\\\\Palm\"\n");
    SetOverride("C:\\Does Not Exist");
    char buf[260];
    ASSERT_EQ(GetPalmDesktopPath(buf, sizeof(buf)), 0);
    EXPECT_STREQ(buf, "C:\\Does Not Exist");
    EXPECT_EQ(GetPalmDesktopVersion(), 0xFFFFFFFFu);
    char text[32];
    EXPECT_FALSE(GetPalmDesktopVersionText(text));
    EXPECT_STREQ(text, "Not Found.");

    // Proof that the registry is not read at all: user.reg is a pipe, and
    // opening it for reading would wait for the watcher below to notice.
    std::filesystem::remove(m_prefix + "/user.reg");
    ASSERT_EQ(mkfifo((m_prefix + "/user.reg").c_str(), 0600), 0);
    std::atomic<bool> done{false}, opened{false};
    std::thread watcher([&] {
        while (!done) {
            int fd = ::open((m_prefix + "/user.reg").c_str(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0) {  // a reader is waiting
                opened = true;
                ::close(fd);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    EXPECT_EQ(GetPalmDesktopPath(buf, sizeof(buf)), 0);
    done = true;
    watcher.join();
    EXPECT_FALSE(opened);

    // An override that does not fit is reported, not cut into another path.
    char small[8];
    EXPECT_EQ(GetPalmDesktopPath(small, sizeof(small)), -102);
    EXPECT_EQ(GetPalmDesktopPath(nullptr, 260), -100);
    EXPECT_EQ(GetPalmDesktopPath(buf, 0), -100);
}

// The folder a user chose is kept in the user's settings file: it is read
// after the override beside the program and before the registry, and a
// folder is taken for one only when it holds the user library.
TEST_F(PalmEnvTest, ChosenFolderComesAfterTheOverrideAndBeforeTheRegistry)
{
    Write(Install({"Registered"}));
    WriteReg("user.reg", "\n[Software\\\\U.S. Robotics\\\\Pilot Desktop\\\\Core] 1\n\"DesktopPath\"=\"C:\\\\Palm\"\n");
    palmfix::Installation copy;
    copy.dir = m_dir / "copied/Palm Desktop";
    copy.version[0] = 6;
    copy.version[1] = 0;
    copy.version[2] = 0;
    copy.users = {"Copied User"};
    Write(copy);
    const std::string settings = plat::ToWinPath(m_dir / "settings/brellon.ini");
    m_dir.MakeDir("settings");

    // Named settings without the key: the registry.
    SetPalmDesktopSettingsFile(settings);
    EXPECT_EQ(PalmDesktopSettingsFile(), settings);
    char buf[260];
    ASSERT_EQ(GetPalmDesktopPath(buf, sizeof(buf)), 0);
    EXPECT_STREQ(buf, "C:\\Palm");

    // The chosen folder, in host form as a folder picker gives it.
    ASSERT_TRUE(plat::WriteProfileString(settings, kPmPathSection, kPmPathKey, copy.dir.c_str()));
    ASSERT_EQ(GetPalmDesktopPath(buf, sizeof(buf)), 0);
    EXPECT_EQ(std::string(buf), copy.dir);
    EXPECT_EQ(GetPalmDesktopVersion(), 60000u);
    ASSERT_TRUE(LoadPalmLibraries(15));
    LoadPalmUsers();
    ASSERT_EQ(PalmUsers().Count(), 1u);
    EXPECT_STREQ(PalmUsers().GetAt(0)->userName, "Copied User");
    char small[8];
    EXPECT_EQ(GetPalmDesktopPath(small, sizeof(small)), -102);

    // The override beside the program still comes first.
    SetOverride("C:\\Palm");
    ASSERT_EQ(GetPalmDesktopPath(buf, sizeof(buf)), 0);
    EXPECT_STREQ(buf, "C:\\Palm");

    // Only a folder with a loadable user library is one.
    EXPECT_TRUE(PmHoldsUserLibrary(copy.dir));
    EXPECT_TRUE(PmHoldsUserLibrary("C:\\Palm"));
    EXPECT_FALSE(PmHoldsUserLibrary(m_dir / "settings"));
    EXPECT_FALSE(PmHoldsUserLibrary(""));
    m_dir.MakeDir("fake");
    m_dir.Write("fake/UserData.dll", "not a library");
    EXPECT_FALSE(PmHoldsUserLibrary(m_dir / "fake"));
}

TEST_F(PalmEnvTest, RegistryKeysAreTriedInOrderOnly)
{
    char buf[260];
    // Neither key: -101.
    EXPECT_EQ(GetPalmDesktopPath(buf, sizeof(buf)), -101);
    EXPECT_FALSE(LoadPalmLibraries(PM_LIB_USERDATA));

    // The U.S. Robotics key present without values hides the PalmSource key.
    WriteReg("user.reg", "\n[Software\\\\U.S. Robotics\\\\Pilot Desktop\\\\Core] 1\n\"Other\"=\"x\"\n"
                         "\"HotSyncPath\"=dword:00000001\n");
    WriteReg("system.reg", "\n[Software\\\\PalmSource\\\\Desktop\\\\Core] 1\n\"DesktopPath\"=\"C:\\\\Palm\"\n");
    EXPECT_EQ(GetPalmDesktopPath(buf, sizeof(buf)), -101);

    // Without it the PalmSource key is read; the U.S. Robotics key is only
    // looked for under the current user.
    WriteReg("user.reg", "\n[Software\\\\PalmSource\\\\Desktop\\\\Core] 1\n\"DesktopPath\"=\"C:\\\\Wrong\"\n");
    WriteReg("system.reg", "\n[Software\\\\PalmSource\\\\Desktop\\\\Core] 1\n\"DesktopPath\"=\"C:\\\\Palm\"\n"
                           "\n[Software\\\\U.S. Robotics\\\\Pilot Desktop\\\\Core] 1\n\"DesktopPath\"=\"C:\\\\No\"\n");
    ASSERT_EQ(GetPalmDesktopPath(buf, sizeof(buf)), 0);
    EXPECT_STREQ(buf, "C:\\Palm");
    // DesktopPath longer than the buffer.
    char small[7];
    EXPECT_EQ(GetPalmDesktopPath(small, sizeof(small)), -102);
    char exact[8];
    EXPECT_EQ(GetPalmDesktopPath(exact, sizeof(exact)), 0);
}

TEST_F(PalmEnvTest, HotSyncPathGivesItsFolderAndTheVersionIsReadThere)
{
    palmfix::Installation inst = Install();
    inst.version[0] = 4;
    inst.version[1] = 1;
    inst.version[2] = 2;
    inst.version[3] = 3;
    Write(inst);
    WriteReg("system.reg", "\n[Software\\\\PalmSource\\\\Desktop\\\\Core] 1\n"
                           "\"HotSyncPath\"=\"C:\\\\Palm\\\\HotSync.exe\"\n");
    char buf[260];
    ASSERT_EQ(GetPalmDesktopPath(buf, sizeof(buf)), 0);
    EXPECT_STREQ(buf, "C:\\Palm\\");
    EXPECT_EQ(GetPalmDesktopVersion(), 40102u);
    char text[32];
    EXPECT_TRUE(GetPalmDesktopVersionText(text));
    EXPECT_STREQ(text, "4.1.2.3");

    // A HotSyncPath without a folder names none.
    WriteReg("system.reg", "\n[Software\\\\PalmSource\\\\Desktop\\\\Core] 1\n\"HotSyncPath\"=\"HotSync.exe\"\n");
    EXPECT_EQ(GetPalmDesktopPath(buf, sizeof(buf)), -101);
}

TEST_F(PalmEnvTest, PalmExeWithoutVersionIsNotFound)
{
    palmfix::Installation inst = Install();
    inst.palmExeVersion = false;
    Write(inst);
    SetOverride("C:\\Palm");
    EXPECT_EQ(GetPalmDesktopVersion(), 0xFFFFFFFFu);
    char text[32];
    EXPECT_FALSE(GetPalmDesktopVersionText(text));
    EXPECT_STREQ(text, "Not Found.");
}

TEST_F(PalmEnvTest, UsersAndTheirDataFolders)
{
    Write(Install());
    SetOverride("C:\\Palm");
    ASSERT_TRUE(LoadPalmLibraries(15));
    LoadPalmUsers();
    EXPECT_TRUE(m_messages.empty());
    ASSERT_EQ(PalmUsers().Count(), 2u);
    PmUserEntry* alice = PalmUsers().GetAt(0);
    PmUserEntry* smith = PalmUsers().GetAt(1);
    EXPECT_STREQ(alice->userName, "Alice");
    EXPECT_STREQ(alice->userFolder, "Alice");
    EXPECT_EQ(alice->userID, palmfix::UserId("Alice"));
    EXPECT_STREQ(smith->userName, "SmithJ");

    // The library was loaded from "C:\Palm\UserData.dll": root C:\Palm\.
    char path[260];
    ASSERT_TRUE(GetUserDataPath(smith->userID, path));
    EXPECT_STREQ(path, "C:\\Palm\\SmithJ\\");
    EXPECT_TRUE(plat::HostExists(plat::ToHostPath(std::string(path) + "address")));
    EXPECT_FALSE(GetUserDataPath(smith->userID, nullptr));
    // An unknown user has no data folder.
    EXPECT_FALSE(GetUserDataPath(12345, path));

    // Loading again replaces the list.
    LoadPalmUsers();
    EXPECT_EQ(PalmUsers().Count(), 2u);
    FreePalmUsers();
    EXPECT_EQ(PalmUsers().Count(), 0u);
}

TEST_F(PalmEnvTest, AccentedUserNamesAreAnsiAndLeadToTheirFolders)
{
    testenv::ScopedCodePage page(1252);
    Write(Install({"Jos\xc3\xa9"}));
    SetOverride("C:\\Palm");
    ASSERT_TRUE(LoadPalmLibraries(15));
    LoadPalmUsers();
    ASSERT_EQ(PalmUsers().Count(), 1u);
    EXPECT_STREQ(PalmUsers().First()->userName, "Jos\xe9");
    EXPECT_EQ(PalmUsers().First()->userID, palmfix::UserId("Jos\xc3\xa9"));
    char path[260];
    ASSERT_TRUE(GetUserDataPath(PalmUsers().First()->userID, path));
    EXPECT_STREQ(path, "C:\\Palm\\Jos\xe9\\");
    EXPECT_TRUE(plat::HostExists(plat::ToHostPath(std::string(path) + "address")));
}

TEST_F(PalmEnvTest, NoUsersGivesAnEmptyListWithoutMessage)
{
    Write(Install({}));
    SetOverride("C:\\Palm");
    ASSERT_TRUE(LoadPalmLibraries(15));
    LoadPalmUsers();
    EXPECT_EQ(PalmUsers().Count(), 0u);
    EXPECT_TRUE(m_messages.empty());
}

TEST_F(PalmEnvTest, MissingCondMgrKeepsUserDataUnloaded)
{
    palmfix::Installation inst = Install();
    inst.withoutLibraries = {"condmgr.dll"};
    Write(inst);
    SetOverride("C:\\Palm");
    EXPECT_FALSE(LoadPalmLibraries(15));
    EXPECT_EQ(PalmLibraryBinding(PM_LIB_CONDMGR)->module, nullptr);
    EXPECT_EQ(PalmLibraryBinding(PM_LIB_USERDATA)->module, nullptr);
    EXPECT_EQ(PalmLibraryBinding(PM_LIB_INSTAIDE)->module, nullptr);
    EXPECT_EQ(PmUmGetUserCount(), -100);
    uint32_t id = 0;
    EXPECT_EQ(PmUmGetUserID(0, &id), -100);
    char buf[260];
    uint16_t size = sizeof(buf);
    EXPECT_EQ(PmUmGetRootDirectory(buf, &size), -100);

    LoadPalmUsers();
    EXPECT_EQ(PalmUsers().Count(), 0u);
    ASSERT_EQ(m_messages.size(), 1u);
    EXPECT_EQ(m_messages[0], std::string("Error|") + kNoUsers + "|1");
    EXPECT_FALSE(GetUserDataPath(palmfix::UserId("SmithJ"), buf));

    // UserData.dll alone still loads, as the mask asks only for it.
    EXPECT_TRUE(LoadPalmLibraries(PM_LIB_USERDATA));
    LoadPalmUsers();
    EXPECT_EQ(PalmUsers().Count(), 2u);
}

TEST_F(PalmEnvTest, AMissingExportLeavesOnlyItsEntryEmpty)
{
    palmfix::Installation inst = Install();
    inst.droppedExports = {{"instaide.dll", "PlmGetLibVesion"}};
    Write(inst);
    SetOverride("C:\\Palm\\");
    ASSERT_TRUE(LoadPalmLibraries(15));
    const PmLibraryBinding* aide = PalmLibraryBinding(PM_LIB_INSTAIDE);
    ASSERT_NE(aide->module, nullptr);
    ASSERT_EQ(aide->nameCount, 33u);
    EXPECT_STREQ(aide->names[0], "PlmGetLibVesion");
    EXPECT_EQ(aide->procs[0], nullptr);
    for (size_t i = 1; i < aide->nameCount; ++i)
        EXPECT_NE(aide->procs[i], nullptr) << aide->names[i];
    EXPECT_EQ(PalmLibraryBinding(PM_LIB_CONDMGR)->nameCount, 90u);
    EXPECT_EQ(PalmLibraryBinding(PM_LIB_USERDATA)->nameCount, 37u);
    EXPECT_EQ(PalmLibraryBinding(PM_LIB_HSAPI)->nameCount, 11u);
    EXPECT_EQ(PalmLibraryBinding(16), nullptr);

    // Loading again first drops the old binding.
    std::filesystem::remove(m_prefix + "/drive_c/Palm/instaide.dll");
    EXPECT_FALSE(LoadPalmLibraries(PM_LIB_INSTAIDE));
    EXPECT_EQ(aide->module, nullptr);
    EXPECT_EQ(aide->procs[1], nullptr);
}

TEST_F(PalmEnvTest, MissingUserLibraryFunctionGivesMinus100)
{
    palmfix::Installation inst = Install();
    inst.droppedExports = {{"UserData.dll", "UmGetRootDirectory"}};
    Write(inst);
    SetOverride("C:\\Palm");
    ASSERT_TRUE(LoadPalmLibraries(15));
    EXPECT_EQ(PmUmGetUserCount(), 2);
    char buf[260];
    uint16_t size = sizeof(buf);
    EXPECT_EQ(PmUmGetRootDirectory(buf, &size), -100);
    EXPECT_FALSE(GetUserDataPath(palmfix::UserId("Alice"), buf));
}

TEST(PalmEnvPath, NoSeparatorIsPutBetweenRootAndFolder)
{
    char buf[260];
    ASSERT_TRUE(PmComposeUserDataPath("C:\\Palm\\", "SmithJ", buf));
    EXPECT_STREQ(buf, "C:\\Palm\\SmithJ\\");
    ASSERT_TRUE(PmComposeUserDataPath("C:\\Palm", "SmithJ", buf));
    EXPECT_STREQ(buf, "C:\\PalmSmithJ\\");
    std::string longRoot(258, 'x');
    EXPECT_FALSE(PmComposeUserDataPath(longRoot.c_str(), "ab", buf));
    EXPECT_STREQ(buf, "");
}

TEST_F(PalmEnvTest, PrefixWrittenByTheFixtureIsFoundThroughTheRegistryAlone)
{
    palmfix::Installation inst = Install({"SmithJ", "Doe"});
    inst.dir = m_prefix + "/drive_c/Program Files/Palm";
    inst.winePrefix = m_prefix;
    inst.appFolders = {"Address", "MEMOPAD"};
    inst.version[0] = 6;
    inst.version[1] = 2;
    inst.version[2] = 0;
    inst.version[3] = 47;
    Write(inst);
    EXPECT_EQ(palmfix::InstallWinPath(inst), "C:\\Program Files\\Palm");
    // The folders on disk in another case than the registry names them.
    std::filesystem::rename(m_prefix + "/drive_c/Program Files", m_prefix + "/drive_c/PROGRAM FILES");
    std::filesystem::rename(m_prefix + "/drive_c/PROGRAM FILES/Palm", m_prefix + "/drive_c/PROGRAM FILES/pALM");

    char buf[260];
    ASSERT_EQ(GetPalmDesktopPath(buf, sizeof(buf)), 0);
    EXPECT_STREQ(buf, "C:\\Program Files\\Palm");
    EXPECT_EQ(GetPalmDesktopVersion(), 60200u);
    ASSERT_TRUE(LoadPalmLibraries(15));
    LoadPalmUsers();
    ASSERT_EQ(PalmUsers().Count(), 2u);
    EXPECT_STREQ(PalmUsers().GetAt(0)->userName, "Doe");
    char path[260];
    ASSERT_TRUE(GetUserDataPath(PalmUsers().GetAt(1)->userID, path));
    EXPECT_STREQ(path, "C:\\Program Files\\Palm\\SmithJ\\");
    EXPECT_EQ(path, palmfix::UserWinFolder(inst, "SmithJ"));
    // The code asks for "address\" and "MemoPad\"; the disk has "Address" and "MEMOPAD".
    EXPECT_TRUE(plat::HostExists(plat::ToHostPath(std::string(path) + "address\\")));
    EXPECT_TRUE(plat::HostExists(plat::ToHostPath(std::string(path) + "MemoPad\\")));
    EXPECT_TRUE(m_messages.empty());
}

TEST_F(PalmEnvTest, FixtureCanNameTheFolderByHotSyncPathUnderTheMachineKey)
{
    palmfix::Installation inst = Install({"Solo"});
    inst.winePrefix = m_prefix;
    inst.registryKey = palmfix::RegistryKey::PalmSourceLocalMachine;
    inst.registryValue = palmfix::RegistryValue::HotSyncPath;
    Write(inst);
    char buf[260];
    ASSERT_EQ(GetPalmDesktopPath(buf, sizeof(buf)), 0);
    EXPECT_STREQ(buf, "C:\\Palm\\");
    ASSERT_TRUE(LoadPalmLibraries(15));
    LoadPalmUsers();
    ASSERT_EQ(PalmUsers().Count(), 1u);
    char path[260];
    ASSERT_TRUE(GetUserDataPath(PalmUsers().First()->userID, path));
    EXPECT_STREQ(path, "C:\\Palm\\Solo\\");
}
