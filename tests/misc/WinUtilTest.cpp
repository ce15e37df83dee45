#include "misc/WinUtil.h"

#include "palmfixture/PalmFixture.h"
#include "platform/Codepage.h"
#include "platform/Library.h"
#include "platform/Shell.h"
#include "platform/System.h"
#include "platform/WinPath.h"

#include "ProgramFolder.h"
#include "ScopedState.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>

#include <string>
#include <vector>

TEST(WinUtil, HexTextPairsAndLimit)
{
    const unsigned char two[] = {0x0A, 0xFF};
    EXPECT_STREQ(HexText(two, 2), "0a ff");
    EXPECT_STREQ(HexText(two, 0), "");
    EXPECT_STREQ(HexText(nullptr, 5), "");
    std::vector<unsigned char> many(2000, 0x5c);
    std::string text = HexText(many.data(), many.size());
    EXPECT_EQ(text.size(), 1024u * 3 - 1);
    EXPECT_EQ(text.substr(0, 6), "5c 5c ");
}

TEST(WinUtil, ConversionsCutAndTerminate)
{
    testenv::ScopedCodePage page(1252);
    char out[6];
    std::memset(out, 'X', sizeof(out));
    ToAnsi(u"Gr\u00fc\u00dfe aus", out, sizeof(out));
    EXPECT_STREQ(out, "Gr\xfc\xdf" "e");
    ToAnsi(nullptr, out, sizeof(out));
    EXPECT_STREQ(out, "");
    ToAnsi(u"abc", out, 1);
    EXPECT_STREQ(out, "");

    char16_t wide[4];
    ToWide("\xe9t\xe9!", wide, 4);
    EXPECT_EQ(std::u16string(wide), u"\u00e9t\u00e9");
    ToWide("", wide, 4);
    EXPECT_EQ(wide[0], u'\0');

    // A double-byte character that would not fit whole is left out.
    page.Set(932);
    char small[3];
    ToAnsi(u"a\u3042", small, sizeof(small));
    EXPECT_STREQ(small, "a");
    char enough[4];
    ToAnsi(u"a\u3042", enough, sizeof(enough));
    EXPECT_STREQ(enough, "a\x82\xa0");
}

TEST(WinUtil, ModuleFolderEndsInABackslash)
{
    EXPECT_FALSE(GetModuleFolder(nullptr, nullptr));
    char out[260];
    {
        testenv::ScopedModuleFileName tool("C:\\Apps\\Tool\\run.exe");
        ASSERT_TRUE(GetModuleFolder(nullptr, out));
        EXPECT_STREQ(out, "C:\\Apps\\Tool\\");
    }
    ASSERT_TRUE(GetModuleFolder(nullptr, out));
    std::string own = out;
    EXPECT_EQ(own.back(), '\\');
    EXPECT_EQ(plat::ModuleFileName().rfind(own, 0), 0u);

    // A library's folder.
    char tmpl[] = "/tmp/tarnwick-winutil-XXXXXX";
    std::string dir = mkdtemp(tmpl);
    palmfix::WriteFile(dir + "/UserData.dll", palmfix::BuildPeImage(true, "UserData.dll", {"UmGetUserCount"}, nullptr));
    plat::Library* lib = plat::LoadLibrary(dir + "/UserData.dll");
    ASSERT_NE(lib, nullptr);
    ASSERT_TRUE(GetModuleFolder(lib, out));
    EXPECT_EQ(std::string(out), plat::ToWinPath(dir) + "\\");
    plat::FreeLibrary(lib);
    std::filesystem::remove_all(dir);
}

TEST(WinUtil, FileVersionNumbers)
{
    char tmpl[] = "/tmp/tarnwick-winutil-XXXXXX";
    std::string dir = mkdtemp(tmpl);
    const uint16_t v[4] = {4, 1, 2, 3};
    palmfix::WriteFile(dir + "/palm.exe", palmfix::BuildPeImage(false, "palm.exe", {}, v));
    palmfix::WriteFile(dir + "/plain.exe", palmfix::BuildPeImage(false, "plain.exe", {}, nullptr));
    uint16_t a = 9, b = 9, c = 9, d = 9;
    ASSERT_TRUE(GetFileVersion((dir + "/PALM.EXE").c_str(), &a, &b, &c, &d));
    EXPECT_EQ(a, 4);
    EXPECT_EQ(b, 1);
    EXPECT_EQ(c, 2);
    EXPECT_EQ(d, 3);
    EXPECT_FALSE(GetFileVersion((dir + "/plain.exe").c_str(), &a, &b, &c, &d));
    EXPECT_EQ(a + b + c + d, 0);
    a = 9;
    EXPECT_FALSE(GetFileVersion("", &a, &b, &c, &d));
    EXPECT_EQ(a, 0);
    EXPECT_FALSE(GetFileVersion((dir + "/missing.exe").c_str(), &a, &b, &c, &d));
    std::filesystem::remove_all(dir);
}

TEST(WinUtil, OpenWithShellRefusesOnlyAnEmptyPath)
{
    EXPECT_FALSE(OpenWithShell(""));
    EXPECT_FALSE(OpenWithShell(nullptr));
    // The opener's result is not awaited: a missing opener still counts as asked.
    plat::SetShellOpener("/nonexistent/opener");
    EXPECT_TRUE(OpenWithShell("C:\\Tarnwick.chm"));
    plat::SetShellOpener("");
}
