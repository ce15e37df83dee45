#include "platform/Codepage.h"
#include "platform/File.h"
#include "platform/Profile.h"
#include "platform/WinPath.h"

#include "ScopedState.h"
#include "platform/TestDir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

// A prefix whose C: drive is its drive_c folder, as Wine keeps it.
void MakePrefix(const TestDir& dir)
{
    dir.MakeDir("prefix/drive_c");
    dir.MakeDir("prefix/dosdevices");
    std::filesystem::create_directory_symlink("../drive_c", dir / "prefix/dosdevices/c:");
}

std::string ReadHost(const std::string& host)
{
    std::string s;
    EXPECT_TRUE(plat::ReadWholeFile(host, &s));
    return s;
}

}  // namespace

TEST(WinPath, ResolvesComponentsWithoutRegardToCase)
{
    TestDir dir;
    MakePrefix(dir);
    dir.Write("prefix/drive_c/Program Files/Palm/SmithJ/Address/address.dat", "x");
    ScopedEnv prefix("WINEPREFIX", (dir.Path() + "/").c_str());
    EXPECT_EQ(plat::WinePrefix(), dir.Path());  // without its trailing '/'
    {
        ScopedEnv none("WINEPREFIX", nullptr);
        ScopedEnv home("HOME", "/home/pat");
        EXPECT_EQ(plat::WinePrefix(), "/home/pat/.wine");
    }

    ScopedEnv prefix2("WINEPREFIX", (dir / "prefix").c_str());
    std::string host = plat::ToHostPath("c:\\PROGRAM FILES\\palm\\smithj\\ADDRESS\\Address.DAT");
    EXPECT_EQ(host, dir / "prefix/dosdevices/c:/Program Files/Palm/SmithJ/Address/address.dat");
    EXPECT_TRUE(plat::HostExists(host));
    // An exact name wins over another case; a missing tail is kept as written.
    EXPECT_EQ(plat::ToHostPath("C:\\Program Files\\palm\\New Folder\\File.TXT"),
              dir / "prefix/dosdevices/c:/Program Files/Palm/New Folder/File.TXT");
    // A path without a drive is a host path with '\' read as '/'.
    EXPECT_EQ(plat::ToHostPath((dir.Path() + "\\PREFIX\\Drive_C").c_str()), dir / "prefix/drive_c");
    EXPECT_EQ(plat::ToHostPath("C:\\program files\\"), dir / "prefix/dosdevices/c:/Program Files/");

    std::string drive, folder;
    plat::SplitDriveDir("C:\\Apps\\Tool\\run.exe", &drive, &folder);
    EXPECT_EQ(drive, "C:");
    EXPECT_EQ(folder, "\\Apps\\Tool\\");
    plat::SplitDriveDir("run.exe", &drive, &folder);
    EXPECT_EQ(drive + folder, "");
}

TEST(WinPath, AnsiNamesMeetUtf8NamesOnTheHost)
{
    TestDir dir;
    MakePrefix(dir);
    dir.Write("prefix/drive_c/Palm/M\xc3\xbcller/address/address.dat", "x");
    dir.Write("prefix/drive_c/raw\xfc.txt", "bytes as written");
    ScopedEnv prefix("WINEPREFIX", (dir / "prefix").c_str());
    testenv::ScopedCodePage page(1252);
    std::string c = dir / "prefix/dosdevices/c:";
    EXPECT_EQ(plat::ToHostPath("C:\\palm\\M\xfcller\\ADDRESS\\address.dat"), c + "/Palm/M\xc3\xbcller/address/address.dat");
    EXPECT_EQ(plat::ToHostPath("C:\\raw\xfc.txt"), c + "/raw\xfc.txt");
    EXPECT_EQ(plat::ToHostPath("C:\\Palm\\J\xf6rg\\new.dat"), c + "/Palm/J\xc3\xb6rg/new.dat");
    EXPECT_EQ(plat::ToWinPath("/home/M\xc3\xbcller"), "\\home\\M\xfcller");
    page.Set(1251);
    EXPECT_EQ(plat::ToWinPath("/home/M\xc3\xbcller"), "\\home\\M\xc3\xbcller");
}

TEST(ExclusiveFile, ASecondOpenerIsRefused)
{
    TestDir dir;
    dir.Write("data.dat", "abcdef");
    plat::ExclusiveFile first, second;
    ASSERT_TRUE(first.Open(dir / "data.dat", plat::Access::ReadWrite, false));
    EXPECT_FALSE(second.Open(dir / "data.dat", plat::Access::Read, false));
    EXPECT_FALSE(second.IsOpen());
    std::string all;
    ASSERT_TRUE(first.ReadAll(&all));
    EXPECT_EQ(all, "abcdef");
    first.Close();
    EXPECT_TRUE(second.Open(dir / "DATA.DAT", plat::Access::Read, false));  // case-insensitive too
    EXPECT_FALSE(first.Open(dir / "missing.dat", plat::Access::Read, false));
    EXPECT_FALSE(first.Open(dir.Path(), plat::Access::Read, false));  // a folder is no file
}

TEST(Profile, WindowsSemantics)
{
    TestDir dir;
    std::string ini = dir / "brellon.ini";
    char buf[64];
    // Missing file: the default, trimmed.
    EXPECT_EQ(plat::GetProfileString(ini, "Path", "PDPath", " def ", buf, sizeof(buf)), 3u);
    EXPECT_STREQ(buf, "def");

    dir.Write("brellon.ini",
              "; comment\r\n[Other]\r\nPDPath=wrong\r\n[ path ]\r\n  pdpath = \"C:\\Palm Desktop\" \r\n"
              "Empty=\r\nkeep=me\r\n");
    EXPECT_EQ(plat::GetProfileString(ini, "PATH", "PDPATH", "", buf, sizeof(buf)), 15u);
    EXPECT_STREQ(buf, "C:\\Palm Desktop");
    // A present empty value is empty, not the default.
    plat::GetProfileString(ini, "Path", "Empty", "def", buf, sizeof(buf));
    EXPECT_STREQ(buf, "");
    // Cut to the buffer and terminated.
    char small[5];
    EXPECT_EQ(plat::GetProfileString(ini, "Path", "PDPath", "", small, sizeof(small)), 4u);
    EXPECT_STREQ(small, "C:\\P");

    // Writing keeps every other line and replaces the key in place.
    ASSERT_TRUE(plat::WriteProfileString(ini, "PATH", "pdPath", "D:\\x"));
    ASSERT_TRUE(plat::WriteProfileString(ini, "New", "A", "1"));
    ASSERT_TRUE(plat::WriteProfileString(ini, "Path", "keep", nullptr));
    EXPECT_EQ(ReadHost(ini), "; comment\r\n[Other]\r\nPDPath=wrong\r\n[ path ]\r\npdPath=D:\\x\r\nEmpty=\r\n"
                             "[New]\r\nA=1\r\n");

    // The first write makes the file.
    std::string fresh = dir / "fresh.ini";
    ASSERT_TRUE(plat::WriteProfileString(fresh, "DCOption", "UserID", "42"));
    EXPECT_EQ(ReadHost(fresh), "[DCOption]\r\nUserID=42\r\n");
}
