#include "platform/Codepage.h"
#include "platform/Registry.h"

#include "ScopedState.h"
#include "platform/TestDir.h"

#include <gtest/gtest.h>

namespace {

// What wine writes, with values of other kinds around the strings.
const char kUserReg[] =
    "WINE REGISTRY Version 2\n"
    ";; All keys relative to REGISTRY\\\\User\\\\S-1-5-21-0-0-0-1000\n"
    "\n"
    "#arch=win64\n"
    "\n"
    "[Software\\\\Other] 1796797600\n"
    "\"HotSyncPath\"=\"D:\\\\wrong\"\n"
    "\n"
    "[Software\\\\U.S. Robotics\\\\Pilot Desktop\\\\Core] 1796797617\n"
    "#time=1dd87a64aa5c0e2\n"
    "\"Count\"=dword:00000002\n"
    "\"Blob\"=hex:01,02,03,\\\n"
    "  \"NotAValue\"=\"x\",04\n"
    "\"Expanded\"=str(2):\"%ProgramFiles%\\\\Palm\"\n"
    "\"HotSyncPath\"=\"C:\\\\Program Files\\\\Palm\\\\HotSync.exe\"\n"
    "\"Quoted\"=\"say \\\"hi\\\"\"\n"
    "\"Accented\"=\"Caf\\xe9 \\x20ac1\"\n"
    "@=\"the default\"\n"
    "\n"
    "[Software\\\\U.S. Robotics\\\\Pilot Desktop\\\\Core\\\\Sub] 1796797618\n"
    "\"DesktopPath\"=\"C:\\\\sub\"\n";

}  // namespace

TEST(Registry, ParsesStringsWithWineEscapesAndSkipsOtherKinds)
{
    std::map<std::string, std::u16string> v;
    ASSERT_TRUE(plat::ParseWineRegistryKey(kUserReg, "software\\u.s. robotics\\PILOT DESKTOP\\core", &v));
    EXPECT_EQ(v["hotsyncpath"], u"C:\\Program Files\\Palm\\HotSync.exe");
    EXPECT_EQ(v["quoted"], u"say \"hi\"");
    // \x takes at most four hex digits: "\x20ac1" is the euro sign and '1'.
    EXPECT_EQ(v["accented"], u"Caf\u00e9 \u20ac1");
    EXPECT_EQ(v.count("count"), 0u);
    EXPECT_EQ(v.count("blob"), 0u);
    EXPECT_EQ(v.count("notavalue"), 0u);  // inside a continued hex value
    EXPECT_EQ(v.count("expanded"), 0u);
    EXPECT_EQ(v.count("desktoppath"), 0u);  // belongs to the subkey
    EXPECT_FALSE(plat::ParseWineRegistryKey(kUserReg, "Software\\U.S. Robotics", &v));
}

TEST(Registry, OpensKeysOfThePrefixFilesCaseInsensitively)
{
    TestDir dir;
    dir.Write("user.reg", kUserReg);
    dir.Write("system.reg",
              "WINE REGISTRY Version 2\n;; All keys relative to REGISTRY\\\\Machine\n\n#arch=win64\n\n"
              "[Software\\\\Wow6432Node\\\\PalmSource\\\\Desktop\\\\Core] 1\n"
              "\"DesktopPath\"=\"C:\\\\Palm32\"\n");
    ScopedEnv prefix("WINEPREFIX", dir.Path().c_str());
    testenv::ScopedCodePage page(1252);

    plat::RegKey key;
    ASSERT_TRUE(key.Open(plat::RegRoot::CurrentUser, "Software\\U.S. Robotics\\Pilot Desktop\\Core"));
    std::string value;
    ASSERT_TRUE(key.QueryString("HOTSYNCPATH", &value));
    EXPECT_EQ(value, "C:\\Program Files\\Palm\\HotSync.exe");
    ASSERT_TRUE(key.QueryString("Accented", &value));
    EXPECT_EQ(value, "Caf\xe9 \x80" "1");
    EXPECT_FALSE(key.QueryString("Count", &value));
    EXPECT_FALSE(key.QueryString("DesktopPath", &value));
    key.Close();
    EXPECT_FALSE(key.QueryString("HotSyncPath", &value));

    // The same key is not under HKEY_LOCAL_MACHINE.
    EXPECT_FALSE(key.Open(plat::RegRoot::LocalMachine, "Software\\U.S. Robotics\\Pilot Desktop\\Core"));
    // A 32-bit installer's key of a 64-bit prefix is found through Wow6432Node.
    ASSERT_TRUE(key.Open(plat::RegRoot::LocalMachine, "Software\\PalmSource\\Desktop\\Core"));
    ASSERT_TRUE(key.QueryString("DesktopPath", &value));
    EXPECT_EQ(value, "C:\\Palm32");
}

TEST(Registry, MissingFilesOrKeysFailToOpen)
{
    TestDir dir;
    ScopedEnv prefix("WINEPREFIX", dir.Path().c_str());
    plat::RegKey key;
    EXPECT_FALSE(key.Open(plat::RegRoot::CurrentUser, "Software\\U.S. Robotics\\Pilot Desktop\\Core"));
    EXPECT_FALSE(key.IsOpen());
    dir.Write("user.reg", "WINE REGISTRY Version 2\n\n[Software\\\\Broken\n\"A\"=\"b\"\n");
    EXPECT_FALSE(key.Open(plat::RegRoot::CurrentUser, "Software\\Broken"));
}
