#include "misc/CxIniUtil.h"

#include "platform/System.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

class CxIniUtilTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char tmpl[] = "/tmp/cxiniXXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        m_dir = std::string(tmpl) + "/";
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }

    void WriteFile(const std::string& text)
    {
        std::ofstream out(m_dir + "t.ini", std::ios::binary);
        out << text;
    }

    std::string m_dir;
};

}  // namespace

TEST_F(CxIniUtilTest, PathFromFolderOrProgramFolder)
{
    CxIniUtil ini(m_dir.c_str(), "t.ini");
    EXPECT_EQ(std::string(ini.Path()), m_dir + "t.ini");
    ini.SetPath("");
    ini.SetPath(nullptr);
    EXPECT_EQ(std::string(ini.Path()), m_dir + "t.ini");
    ini.SetPath("C:\\Data\\x.ini");
    EXPECT_STREQ(ini.Path(), "C:\\Data\\x.ini");

    // An empty folder means the folder of the running program.
    std::string exe = plat::ModuleFileName();
    std::string folder = exe.substr(0, exe.find_last_of('\\') + 1);
    CxIniUtil local("", "brellon.ini");
    EXPECT_EQ(std::string(local.Path()), folder + "brellon.ini");
    EXPECT_EQ(std::string(TheIni().Path()), folder + "brellon.ini");
}

TEST_F(CxIniUtilTest, LongPathIsCut)
{
    std::string longFolder(400, 'd');
    CxIniUtil ini(longFolder.c_str(), "t.ini");
    EXPECT_EQ(std::string(ini.Path()).size(), CxIniUtil::kMaxPath - 1);
}

TEST_F(CxIniUtilTest, ReadsIntsLikeAtoi)
{
    WriteFile("[S]\r\nempty=\r\nword=abc\r\nlead=42abc\r\nneg=-7\r\nbig=99999999999\r\nzero=0\r\n");
    CxIniUtil ini(m_dir.c_str(), "t.ini");
    EXPECT_EQ(ini.ReadInt("S", "missing", 5), 5);
    EXPECT_EQ(ini.ReadInt("S", "empty", 5), 5);
    EXPECT_EQ(ini.ReadInt("S", "word", 5), 0);
    EXPECT_EQ(ini.ReadInt("S", "lead", 5), 42);
    EXPECT_EQ(ini.ReadInt("S", "neg", 5), -7);
    EXPECT_EQ(ini.ReadInt("S", "big", 5), INT32_MAX);
    EXPECT_TRUE(ini.ReadBool("S", "missing", true));
    EXPECT_FALSE(ini.ReadBool("S", "missing", false));
    EXPECT_TRUE(ini.ReadBool("S", "empty", true));
    EXPECT_FALSE(ini.ReadBool("S", "word", true));
    EXPECT_FALSE(ini.ReadBool("S", "zero", true));
    EXPECT_TRUE(ini.ReadBool("S", "neg", false));
}

TEST_F(CxIniUtilTest, ReadStringGuardsItsArguments)
{
    WriteFile("[S]\r\nname=value\r\n");
    CxIniUtil ini(m_dir.c_str(), "t.ini");
    char buf[16] = "keep";
    EXPECT_EQ(ini.ReadString("S", "", buf, sizeof buf, "d"), 0u);
    EXPECT_EQ(ini.ReadString("S", nullptr, buf, sizeof buf, "d"), 0u);
    EXPECT_EQ(ini.ReadString("S", "name", buf, 0, "d"), 0u);
    EXPECT_EQ(ini.ReadString("S", "name", nullptr, 8, "d"), 0u);
    EXPECT_STREQ(buf, "keep");
    EXPECT_EQ(ini.ReadString("S", "name", buf, sizeof buf, "d"), 5u);
    EXPECT_STREQ(buf, "value");
    EXPECT_EQ(ini.ReadString("S", "other", buf, sizeof buf, "dflt"), 4u);
    EXPECT_STREQ(buf, "dflt");
    EXPECT_EQ(ini.ReadString("S", "name", buf, 4, "d"), 3u);
    EXPECT_STREQ(buf, "val");
}

TEST_F(CxIniUtilTest, WritesCreateTheFileAndReadBack)
{
    CxIniUtil ini(m_dir.c_str(), "t.ini");
    EXPECT_FALSE(ini.WriteString("S", "", "x"));
    EXPECT_FALSE(std::filesystem::exists(m_dir + "t.ini"));
    EXPECT_TRUE(ini.WriteInt("S", "n", -12));
    EXPECT_TRUE(ini.WriteBool("S", "b", true));
    EXPECT_TRUE(ini.WriteBool("S", "f", false));
    EXPECT_TRUE(ini.WriteString("S", "s", nullptr));
    EXPECT_EQ(ini.ReadInt("S", "n", 0), -12);
    char buf[8];
    EXPECT_EQ(ini.ReadString("S", "b", buf, sizeof buf, ""), 1u);
    EXPECT_STREQ(buf, "1");
    EXPECT_EQ(ini.ReadString("S", "f", buf, sizeof buf, ""), 1u);
    EXPECT_STREQ(buf, "0");
    EXPECT_EQ(ini.ReadString("S", "s", buf, sizeof buf, "d"), 0u);

    // An empty section goes to the default section.
    ini.SetDefaultSection("D");
    EXPECT_TRUE(ini.WriteInt("", "k", 3));
    EXPECT_EQ(ini.ReadInt("D", "k", 0), 3);
    EXPECT_EQ(ini.ReadInt(nullptr, "k", 0), 3);
}

TEST_F(CxIniUtilTest, WriteIntoMissingFolderFailsQuietly)
{
    CxIniUtil ini((m_dir + "no/such/").c_str(), "t.ini");
    EXPECT_FALSE(ini.WriteInt("S", "n", 1));
    EXPECT_EQ(ini.ReadInt("S", "n", 9), 9);
}
