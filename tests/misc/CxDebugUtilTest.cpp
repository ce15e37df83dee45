#include "misc/CxDebugUtil.h"

#include "platform/System.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

namespace {

// Points the one log at a temporary folder and restores it afterwards.
class LogTest : public testing::Test {
protected:
    void SetUp() override
    {
        char tmpl[] = "/tmp/tarnwick-log-XXXXXX";
        m_dir = mkdtemp(tmpl);
        m_oldFolder = TheLog().Folder();
        m_oldEnabled = TheLog().Enabled();
        m_oldLevel = TheLog().Level();
        TheLog().SetFolder((m_dir + "/").c_str());
    }
    void TearDown() override
    {
        TheLog().SetFolder(m_oldFolder.c_str());
        TheLog().SetEnabled(m_oldEnabled);
        TheLog().SetLevel(m_oldLevel);
        std::filesystem::remove_all(m_dir);
    }
    std::string LogText(const char* suffix = "") const
    {
        std::ifstream f(m_dir + "/appdebug.log" + suffix, std::ios::binary);
        std::stringstream ss;
        ss << f.rdbuf();
        return ss.str();
    }
    std::string LogFile() const { return m_dir + "/appdebug.log"; }

    std::string m_dir, m_oldFolder;
    bool m_oldEnabled = false;
    int32_t m_oldLevel = 0;
};

}  // namespace

TEST_F(LogTest, LevelsAreFilteredByTheSwitchAndTheLevel)
{
    // Switched off, the log writes nothing at any level: no file is made.
    TheLog().SetEnabled(false);
    TheLog().SetLevel(3);
    {
        CxLogCapture capture;
        TheLog().Log(0, "m", 1, "critical %d", 1);
        TheLog().Log(2, "m", 2, "progress");
        // The reason of a failure still reaches the caller that asks for it.
        EXPECT_EQ(capture.Text(), "critical 1");
    }
    TheLog().Log(0, "m", 1, "critical %d", 2);
    EXPECT_FALSE(std::filesystem::exists(LogFile()));

    TheLog().SetEnabled(true);
    TheLog().Log(0, "m", 1, "critical %d", 3);
    TheLog().SetLevel(1);
    TheLog().Log(1, "m", 3, "high");
    TheLog().Log(2, "m", 4, "hidden at level 1");
    TheLog().SetLevel(3);
    TheLog().Log(2, "m", 5, "shown at level 3");
    std::string text = LogText();
    EXPECT_EQ(text.find("critical 1"), std::string::npos);
    EXPECT_EQ(text.find("critical 2"), std::string::npos);
    EXPECT_NE(text.find("critical 3"), std::string::npos);
    EXPECT_EQ(text.find("progress"), std::string::npos);
    EXPECT_NE(text.find("high"), std::string::npos);
    EXPECT_EQ(text.find("hidden"), std::string::npos);
    EXPECT_NE(text.find("shown at level 3"), std::string::npos);

    TheLog().SetLevel(7);
    EXPECT_EQ(TheLog().Level(), 3);
    TheLog().SetLevel(-2);
    EXPECT_EQ(TheLog().Level(), 0);
}

TEST_F(LogTest, LineFormat)
{
    TheLog().SetEnabled(true);
    TheLog().SetLevel(3);
    TheLog().Log(0, "C:\\src\\common\\palm\\PalmAddrEx.cpp", 42, "Failed to load %s records.", "Contacts");
    TheLog().Log(2, nullptr, 123456, "no module");
    TheLog().Log(2, "AVeryLongModuleNameBeyondTwenty.cpp", 7, "long");
    std::string text = LogText();
    char tid[16];
    std::snprintf(tid, sizeof(tid), "%05x", plat::CurrentThreadId());
    std::string stamp = R"(\[\d{4}/\d{2}/\d{2} \d{2}:\d{2}:\d{2}\])";
    std::regex expected("^" + stamp + R"(\[PalmAddrEx\.cpp      \(42  \)\]\[)" + tid +
                        R"(\]\[!!!\] - Failed to load Contacts records\.\r\n)" + stamp +
                        R"(\[<null>              \(123456\)\]\[)" + tid + R"(\]\[   \] - no module\r\n)" + stamp +
                        R"(\[AVeryLongModuleNameBeyondTwenty\.cpp\(7   \)\]\[)" + tid + R"(\]\[   \] - long\r\n$)");
    EXPECT_TRUE(std::regex_match(text, expected)) << text;
}

TEST_F(LogTest, RotatesOnlyPastTenMebibytes)
{
    TheLog().SetEnabled(true);
    TheLog().SetLevel(0);
    // A sparse file of exactly the limit is still appended to.
    { std::ofstream(LogFile(), std::ios::binary); }
    std::filesystem::resize_file(LogFile(), CxDebugUtil::kRotateSize);
    TheLog().Log(0, "m", 1, "appended");
    auto size = std::filesystem::file_size(LogFile());
    ASSERT_GT(size, uintmax_t(CxDebugUtil::kRotateSize));
    EXPECT_FALSE(std::filesystem::exists(LogFile() + ".old.log"));

    // Past the limit: the file is copied aside and starts over.
    std::ofstream(LogFile() + ".old.log") << "an older copy";
    TheLog().Log(0, "m", 2, "first of the new file");
    EXPECT_EQ(std::filesystem::file_size(LogFile() + ".old.log"), size);
    std::string old = LogText(".old.log");
    EXPECT_NE(old.find("appended\r\n", CxDebugUtil::kRotateSize), std::string::npos);
    std::string fresh = LogText();
    EXPECT_EQ(fresh.find("first of the new file\r\n"), fresh.size() - 23);
    EXPECT_EQ(fresh.find("\r\n"), fresh.size() - 2);
}
