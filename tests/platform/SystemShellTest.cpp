#include "platform/MessageBox.h"
#include "platform/Shell.h"
#include "platform/System.h"
#include "platform/WinPath.h"

#include "ProgramFolder.h"
#include "platform/TestDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

namespace {

// Waits for a file the detached opener writes; the opener is not awaited.
std::string WaitForFile(const std::string& path)
{
    for (int i = 0; i < 500; ++i) {
        std::ifstream f(path);
        std::stringstream ss;
        ss << f.rdbuf();
        std::string s = ss.str();
        if (!s.empty() && s.back() == '\n')
            return s;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return std::string();
}

}  // namespace

TEST(Shell, OpensThroughTheOpenerWithHostPaths)
{
    TestDir dir;
    std::string out = dir / "opened.txt";
    dir.Write("opener.sh", "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" + out + ".tmp'\nmv '" + out + ".tmp' '" + out +
                               "'\n");
    chmod((dir / "opener.sh").c_str(), 0755);
    dir.Write("Help/Tarnwick.chm", "help");
    plat::SetShellOpener(dir / "opener.sh");

    std::string winPath = dir.Path() + "\\help\\tarnwick.CHM";
    ASSERT_TRUE(plat::ShellOpen(winPath));
    EXPECT_EQ(WaitForFile(out), dir / "Help/Tarnwick.chm" + "\n");
    std::remove(out.c_str());

    ASSERT_TRUE(plat::ShellOpen("mailto:support@example.com?subject=Tarnwick%20Bug%20Report"));
    EXPECT_EQ(WaitForFile(out), "mailto:support@example.com?subject=Tarnwick%20Bug%20Report\n");

    EXPECT_FALSE(plat::ShellOpen(""));
    plat::SetShellOpener(dir / "no-such-opener");
    EXPECT_FALSE(plat::ShellOpen("mailto:x"));
    plat::SetShellOpener("");
}

TEST(MessageBox, HookReceivesMessagesAndDefaultsToStderr)
{
    std::vector<std::string> seen;
    plat::SetMessageHook([&](const std::string& title, const std::string& text, plat::MsgIcon icon) {
        seen.push_back(title + "|" + text + "|" + std::to_string(int(icon)));
    });
    plat::ShowMessage("Error", "Something", plat::MsgIcon::Error);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0], "Error|Something|1");
    plat::SetMessageHook(nullptr);
    testing::internal::CaptureStderr();
    plat::ShowMessage("Error", "To the console", plat::MsgIcon::Error);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Error: To the console\n");
    EXPECT_EQ(seen.size(), 1u);
}

TEST(System, CommonAppDataAndModuleFileName)
{
    {
        ScopedEnv xdg("XDG_DATA_HOME", "/srv/data/");
        EXPECT_EQ(plat::CommonAppDataFolder(), "\\srv\\data");
    }
    {
        ScopedEnv xdg("XDG_DATA_HOME", nullptr);
        ScopedEnv home("HOME", "/home/pat");
        EXPECT_EQ(plat::CommonAppDataFolder(), "\\home\\pat\\.local\\share");
        ScopedEnv relative("XDG_DATA_HOME", "relative/dir");
        EXPECT_EQ(plat::CommonAppDataFolder(), "\\home\\pat\\.local\\share");
    }
    // The program's own file, unless a test program put another in force
    // (ProgramFolder.h does, for every test program).
    std::string inForce = plat::ModuleFileName();
    {
        testenv::ScopedModuleFileName tool("C:\\Apps\\Tool\\run.exe");
        EXPECT_EQ(plat::ModuleFileName(), "C:\\Apps\\Tool\\run.exe");
        plat::SetModuleFileName("");
        std::string real = plat::ModuleFileName();
        EXPECT_EQ(real, plat::ToWinPath(std::filesystem::read_symlink("/proc/self/exe").string()));
        EXPECT_NE(real.find("test_platform"), std::string::npos);
        EXPECT_EQ(real.find('/'), std::string::npos);
    }
    EXPECT_EQ(plat::ModuleFileName(), inForce);
}
