#include "app/Apputil.h"

#include "ScopedOption.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

class OptionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char tmpl[] = "/tmp/optXXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        m_dir = std::string(tmpl) + "/";
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }

    std::string Path() const { return m_dir + "brellon.ini"; }

    void WriteFile(const std::string& text)
    {
        std::ofstream out(Path(), std::ios::binary);
        out << text;
    }

    /// Key names of the file in the order of their lines.
    std::vector<std::string> KeysInFile()
    {
        std::ifstream in(Path(), std::ios::binary);
        std::vector<std::string> keys;
        std::string line;
        while (std::getline(in, line)) {
            size_t eq = line.find('=');
            if (eq != std::string::npos)
                keys.push_back(line.substr(0, eq));
        }
        return keys;
    }

    std::string m_dir;
};

const std::vector<std::string> kSaveOrder = {
    "UserID", "CaseSensitive", "AppFlag", "AddrAll", "DateAll", "TodoAll", "MemoAll", "AddrDetail",
    "DateDetail", "TodoDetail", "MemoDetail", "AddrFirstName", "AddrMiddleName", "AddrLastName", "AddrEmail",
    "AddrBusiPhone", "AddrHomePhone", "AddrBusiAddr", "AddrHomeAddr", "AddrNotes", "AddrMobilePhone",
    "AddrCompany", "AddrTitle", "AddrFax", "DateDesc", "DateStartTime", "DateEndTime", "DateAllDayEvent",
    "DateRepeat", "DateNotes", "DateLocation", "TodoDesc", "TodoPriority", "TodoDueDate", "TodoNotes",
    "MemoDesc", "MemoNotes", "AddrFile", "DateFile", "TodoFile", "MemoFile", "QuitRemind", "EnableDebug",
    "LogLevel",
};

void ExpectDefaults(const AppOption& o)
{
    EXPECT_EQ(o.UserID, 0);
    EXPECT_TRUE(o.CaseSensitive);
    EXPECT_EQ(o.AppFlag, 15);
    for (bool b : {o.AddrAll, o.DateAll, o.TodoAll, o.MemoAll, o.AddrDetail, o.DateDetail, o.TodoDetail,
                   o.MemoDetail, o.AddrFirstName, o.AddrMiddleName, o.AddrLastName, o.AddrEmail, o.DateDesc,
                   o.DateStartTime, o.DateEndTime, o.DateAllDayEvent, o.TodoDesc, o.TodoDueDate, o.MemoDesc,
                   o.QuitRemind})
        EXPECT_TRUE(b);
    for (bool b : {o.AddrBusiPhone, o.AddrHomePhone, o.AddrBusiAddr, o.AddrHomeAddr, o.AddrNotes,
                   o.AddrMobilePhone, o.AddrCompany, o.AddrTitle, o.AddrFax, o.DateRepeat, o.DateNotes,
                   o.DateLocation, o.TodoPriority, o.TodoNotes, o.MemoNotes, o.EnableDebug})
        EXPECT_FALSE(b);
    for (const char* s : {o.AddrFile, o.DateFile, o.TodoFile, o.MemoFile})
        EXPECT_STREQ(s, "");
    EXPECT_EQ(o.LogLevel, 3);
}

}  // namespace

TEST_F(OptionTest, FirstRunGivesDefaultsAndSaveWritesEveryKeyInOrder)
{
    CxIniUtil ini(m_dir.c_str(), "brellon.ini");
    AppOption opt;
    std::memset(&opt, 0x5A, sizeof opt);  // load must not keep anything
    LoadOption(ini, &opt);
    ExpectDefaults(opt);
    ExpectDefaults(DefaultOption());

    SaveOption(ini, opt);
    EXPECT_EQ(KeysInFile(), kSaveOrder);
    std::ifstream in(Path(), std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    std::string text = ss.str();
    EXPECT_EQ(text.rfind("[DCOption]", 0), 0u);
    EXPECT_NE(text.find("AppFlag=15"), std::string::npos);
    EXPECT_NE(text.find("AddrBusiPhone=0"), std::string::npos);
    EXPECT_NE(text.find("AddrFile=\r\n"), std::string::npos);
}

TEST_F(OptionTest, SavedValuesLoadBack)
{
    CxIniUtil ini(m_dir.c_str(), "brellon.ini");
    AppOption opt = DefaultOption();
    opt.UserID = int32_t(0xC0FFEE01u);  // ids are unsigned 32-bit, kept as their bits
    opt.CaseSensitive = false;
    opt.AppFlag = kAppAddr | kAppMemo;
    opt.AddrNotes = true;
    opt.AddrFirstName = false;
    opt.DateRepeat = true;
    opt.TodoDueDate = false;
    opt.MemoNotes = true;
    std::strcpy(opt.TodoFile, "C:\\Palm\\todo.dat");
    opt.EnableDebug = true;
    opt.LogLevel = 7;  // out of range: stored as it is
    SaveOption(ini, opt);
    // Saving twice keeps one line per key.
    SaveOption(ini, opt);
    EXPECT_EQ(KeysInFile(), kSaveOrder);

    AppOption back;
    LoadOption(ini, &back);
    EXPECT_EQ(std::memcmp(&back, &opt, sizeof opt), 0);
    EXPECT_EQ(uint32_t(back.UserID), 0xC0FFEE01u);
    EXPECT_EQ(back.LogLevel, 7);
}

TEST_F(OptionTest, EmptyValuesGiveDefaultsAndWordsGiveZero)
{
    WriteFile("[DCOption]\r\nCaseSensitive=\r\nAppFlag=\r\nAddrFirstName=yes\r\nAddrBusiPhone=2\r\n"
              "LogLevel=x\r\nUserID=12abc\r\nMemoFile=  notes.dat  \r\n[Other]\r\nAppFlag=1\r\n");
    CxIniUtil ini(m_dir.c_str(), "brellon.ini");
    AppOption opt;
    LoadOption(ini, &opt);
    EXPECT_TRUE(opt.CaseSensitive);
    EXPECT_EQ(opt.AppFlag, 15);
    EXPECT_FALSE(opt.AddrFirstName);
    EXPECT_TRUE(opt.AddrBusiPhone);
    EXPECT_EQ(opt.LogLevel, 0);
    EXPECT_EQ(opt.UserID, 12);
    EXPECT_STREQ(opt.MemoFile, "notes.dat");
}

TEST_F(OptionTest, LongFileTextIsCutAndSavedWithinCapacity)
{
    std::string longName(400, 'f');
    WriteFile("[DCOption]\r\nAddrFile=" + longName + "\r\n");
    CxIniUtil ini(m_dir.c_str(), "brellon.ini");
    AppOption opt;
    LoadOption(ini, &opt);
    EXPECT_EQ(std::strlen(opt.AddrFile), AppOption::kFileCapacity - 1);
    // A caller that fills a field to the brim without a terminator.
    std::memset(opt.DateFile, 'd', AppOption::kFileCapacity);
    SaveOption(ini, opt);
    AppOption back;
    LoadOption(ini, &back);
    EXPECT_EQ(std::string(back.DateFile), std::string(AppOption::kFileCapacity - 1, 'd'));
}

TEST_F(OptionTest, ProcessWideSetUsesTheProcessWideFile)
{
    // The process-wide file and option set, both put back at the end.
    testenv::ScopedIniPath iniPath;
    testenv::ScopedOption option(DefaultOption());
    TheIni().SetPath(Path().c_str());
    TheOption().AppFlag = 4;
    SaveOption();
    TheOption().AppFlag = 0;
    LoadOption();
    EXPECT_EQ(TheOption().AppFlag, 4);
}
