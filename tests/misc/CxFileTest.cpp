#include "misc/CxFile.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

class CxFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char tmpl[] = "/tmp/cxfileXXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        m_dir = tmpl;
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }

    std::string Slurp(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }

    std::string m_dir;
};

}  // namespace

TEST_F(CxFileTest, WritesCrLfLinesAndAppends)
{
    std::string path = m_dir + "/log.txt";
    {
        CxFile f;
        ASSERT_TRUE(f.Open(path.c_str(), "wb"));
        EXPECT_TRUE(f.WriteLine("first"));
        EXPECT_TRUE(f.WriteLine(nullptr));
    }  // closed by the destructor
    EXPECT_EQ(Slurp(path), "first\r\n\r\n");
    CxFile f;
    ASSERT_TRUE(f.Open(path.c_str(), "ab"));
    EXPECT_TRUE(f.WriteLine("second"));
    EXPECT_TRUE(f.Close());
    EXPECT_FALSE(f.WriteLine("after close"));
    EXPECT_EQ(Slurp(path), "first\r\n\r\nsecond\r\n");
    EXPECT_EQ(CxFile::FileSize(path.c_str()), 17);
}

TEST_F(CxFileTest, RefusesEmptyArgumentsAndMissingFiles)
{
    CxFile f;
    EXPECT_FALSE(f.Open("", "rb"));
    EXPECT_FALSE(f.Open(nullptr, "rb"));
    EXPECT_FALSE(f.Open((m_dir + "/x").c_str(), ""));
    EXPECT_FALSE(f.Open((m_dir + "/missing").c_str(), "rb"));
    EXPECT_FALSE(f.IsOpen());
    EXPECT_TRUE(f.Close());
    EXPECT_EQ(CxFile::FileSize((m_dir + "/missing").c_str()), -1);
    EXPECT_EQ(CxFile::FileSize(""), -1);
    std::ofstream(m_dir + "/empty").close();
    EXPECT_EQ(CxFile::FileSize((m_dir + "/empty").c_str()), 0);
}

TEST_F(CxFileTest, TakesWindowsSeparators)
{
    std::string winPath = m_dir + "\\back.txt";
    CxFile f;
    ASSERT_TRUE(f.Open(winPath.c_str(), "wb"));
    f.WriteLine("x");
    f.Close();
    EXPECT_EQ(Slurp(m_dir + "/back.txt"), "x\r\n");
}
