// The fixture writer and the two tools, run as processes.
#include "palmfixture/PalmFixture.h"

#include "platform/PeImage.h"
#include "platform/Registry.h"
#include "platform/TestDir.h"
#include "platform/UserLibrary.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

// The tools are built beside the test programs.
std::string ToolPath(const char* name)
{
    char buf[4096];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof(buf) - 1);
    std::string self(buf, n > 0 ? size_t(n) : 0);
    return self.substr(0, self.find_last_of('/') + 1) + name;
}

// Runs a command line; returns its exit code and standard output.
int RunCommand(const std::string& command, std::string* out)
{
    FILE* p = popen((command + " 2>/dev/null").c_str(), "r");
    if (!p)
        return -1;
    out->clear();
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof(buf), p)) > 0)
        out->append(buf, n);
    int status = pclose(p);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Quote(const std::string& s)
{
    return "'" + s + "'";
}

std::string ReadFile(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

// A copy of palmdump in its own folder, so that its brellon.ini is the test's.
std::string CopyPalmDump(const TestDir& dir)
{
    dir.MakeDir("bin");
    std::string copy = dir / "bin/palmdump";
    std::filesystem::copy_file(ToolPath("palmdump"), copy);
    return copy;
}

}  // namespace

TEST(PalmDump, PrintsVersionAndUsersOfTheOverrideInstallation)
{
    TestDir dir;
    palmfix::Installation inst;
    inst.dir = dir / "Palm Desktop";
    inst.users = {"SmithJ", "Demo User"};
    inst.version[0] = 4;
    inst.version[1] = 1;
    inst.version[2] = 2;
    inst.version[3] = 3;
    std::string error;
    ASSERT_TRUE(palmfix::WriteInstallation(inst, &error)) << error;
    std::string palmdump = CopyPalmDump(dir);
    dir.Write("bin/brellon.ini", "[Path]\r\nPDPath=" + inst.dir + "\r\n");

    std::string out;
    ASSERT_EQ(RunCommand("WINEPREFIX=" + Quote(dir / "noprefix") + " " + Quote(palmdump), &out), 0) << out;
    EXPECT_NE(out.find("Palm Desktop folder: " + inst.dir + "\n"), std::string::npos) << out;
    EXPECT_NE(out.find("Version: 40102 (4.1.2.3)\n"), std::string::npos) << out;
    EXPECT_NE(out.find("Users: 2\n"), std::string::npos) << out;
    std::string smith = "  " + std::to_string(palmfix::UserId("SmithJ")) + "  SmithJ  " +
                        palmfix::UserWinFolder(inst, "SmithJ") + "\n";
    std::string demo = "  " + std::to_string(palmfix::UserId("Demo User")) + "  Demo User  " +
                       palmfix::UserWinFolder(inst, "Demo User") + "\n";
    size_t a = out.find(demo), b = out.find(smith);
    ASSERT_NE(a, std::string::npos) << out;
    ASSERT_NE(b, std::string::npos) << out;
    EXPECT_LT(a, b);  // name order
}

TEST(PalmDump, JsonThroughTheRegistryOfAFixturePrefix)
{
    TestDir dir;
    palmfix::Installation inst;
    inst.winePrefix = dir / "prefix";
    inst.dir = inst.winePrefix + "/drive_c/Palm";
    inst.users = {"Kim \"K\" Lee", "Jos\xc3\xa9"};
    std::string error;
    ASSERT_TRUE(palmfix::WriteInstallation(inst, &error)) << error;
    std::string palmdump = CopyPalmDump(dir);

    std::string out;
    std::string env = "LC_ALL=C WINEPREFIX=" + Quote(inst.winePrefix) + " ";
    ASSERT_EQ(RunCommand(env + Quote(palmdump) + " --json", &out), 0) << out;
    EXPECT_NE(out.find("{\"kind\":\"desktop\",\"result\":0,\"folder\":\"C:\\\\Palm\",\"version\":40104,"
                       "\"versionText\":\"4.1.4.0\",\"libraries\":true}\n"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("{\"kind\":\"user\",\"id\":" + std::to_string(palmfix::UserId("Kim \"K\" Lee")) +
                       ",\"name\":\"Kim \\\"K\\\" Lee\",\"folder\":\"Kim \\\"K\\\" Lee\","
                       "\"dataPath\":\"C:\\\\Palm\\\\Kim \\\"K\\\" Lee\\\\\"}\n"),
              std::string::npos)
        << out;
    // ANSI names reach JSON as Unicode escapes and the terminal as UTF-8.
    EXPECT_NE(out.find(",\"name\":\"Jos\\u00e9\","), std::string::npos) << out;
    ASSERT_EQ(RunCommand(env + Quote(palmdump), &out), 0) << out;
    EXPECT_NE(out.find("  Jos\xc3\xa9  C:\\Palm\\Jos\xc3\xa9\\\n"), std::string::npos) << out;

    // Nothing installed: not found, and a non-zero exit.
    ASSERT_NE(RunCommand("WINEPREFIX=" + Quote(dir / "empty") + " " + Quote(palmdump), &out), 0);
    EXPECT_NE(out.find("Palm Desktop folder: not found (-101)"), std::string::npos) << out;
    EXPECT_NE(out.find("Version: 4294967295 (Not Found.)"), std::string::npos) << out;
}

TEST(PalmFixtureCli, WritesWhatItsOptionsSay)
{
    TestDir dir;
    std::string prefix = dir / "prefix";
    std::string target = prefix + "/drive_c/Program Files/Palm";
    std::string out;
    ASSERT_EQ(RunCommand(Quote(ToolPath("palmfixture")) + " " + Quote(target) +
                      " --version 6.2.0.47 --user Ann --user Bob --without HSAPI.DLL"
                      " --drop-export instaide.dll:PltGetUser --wine-prefix " + Quote(prefix),
                  &out),
              0)
        << out;

    plat::FixedFileVersion v;
    ASSERT_TRUE(plat::ReadFixedFileVersion(target + "/palm.exe", &v));
    EXPECT_EQ(v.fileVersionMS, 0x00060002u);
    EXPECT_EQ(v.fileVersionLS, 0x0000002Fu);
    EXPECT_FALSE(std::filesystem::exists(target + "/HSAPI.DLL"));
    std::vector<std::string> names;
    ASSERT_TRUE(plat::ReadExportNames(target + "/instaide.dll", &names));
    EXPECT_EQ(names.size(), 32u);
    EXPECT_EQ(std::count(names.begin(), names.end(), "PltGetUser"), 0);
    EXPECT_EQ(std::count(names.begin(), names.end(), "PltGetUserCount"), 1);
    ASSERT_TRUE(plat::ReadExportNames(target + "/UserData.dll", &names));
    EXPECT_EQ(names.size(), 37u);
    EXPECT_TRUE(std::filesystem::is_directory(target + "/Ann/address"));
    EXPECT_TRUE(std::filesystem::is_directory(target + "/Bob/memopad"));
    EXPECT_EQ(std::filesystem::read_symlink(prefix + "/dosdevices/c:"), "../drive_c");

    std::map<std::string, std::u16string> values;
    std::string userReg = ReadFile(prefix + "/user.reg");
    EXPECT_EQ(userReg.rfind("WINE REGISTRY Version 2\n", 0), 0u);
    ASSERT_TRUE(plat::ParseWineRegistryKey(userReg, "Software\\U.S. Robotics\\Pilot Desktop\\Core", &values));
    EXPECT_EQ(values["desktoppath"], u"C:\\Program Files\\Palm");
    EXPECT_NE(userReg.find("\"DesktopPath\"=\"C:\\\\Program Files\\\\Palm\"\n"), std::string::npos);

    EXPECT_EQ(RunCommand(Quote(ToolPath("palmfixture")) + " " + Quote(dir / "x") + " --version 4.1", &out), 2);
    EXPECT_EQ(RunCommand(Quote(ToolPath("palmfixture")), &out), 2);
}

TEST(PalmFixture, RegistryTextEscapesAsWineDoes)
{
    palmfix::RegKeyData key{"Software\\Odd [Key]", {{"Path", "C:\\a \"b\" caf\xc3\xa9" "1 \xe2\x82\xac!"}}};
    std::string text = palmfix::WineRegistryText(false, {key});
    EXPECT_NE(text.find("[Software\\\\Odd \\[Key\\]] "), std::string::npos) << text;
    // A hex escape followed by a hex digit takes four digits.
    EXPECT_NE(text.find("\"Path\"=\"C:\\\\a \\\"b\\\" caf\\x00e91 \\x20ac!\"\n"), std::string::npos) << text;
    std::map<std::string, std::u16string> values;
    ASSERT_TRUE(plat::ParseWineRegistryKey(text, "software\\odd [key]", &values));
    EXPECT_EQ(values["path"], u"C:\\a \"b\" caf\u00e91 \u20ac!");
}
