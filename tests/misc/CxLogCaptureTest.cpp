#include "misc/CxDebugUtil.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <thread>

namespace {

// Points the one log at a temporary folder, enabled at its most detailed
// level, and restores it afterwards.
class LogCaptureTest : public testing::Test {
protected:
    void SetUp() override
    {
        char tmpl[] = "/tmp/tarnwick-capture-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        m_dir = tmpl;
        m_oldFolder = TheLog().Folder();
        m_oldEnabled = TheLog().Enabled();
        m_oldLevel = TheLog().Level();
        TheLog().SetFolder((m_dir + "/").c_str());
        TheLog().SetEnabled(true);
        TheLog().SetLevel(3);
    }
    void TearDown() override
    {
        TheLog().SetFolder(m_oldFolder.c_str());
        TheLog().SetEnabled(m_oldEnabled);
        TheLog().SetLevel(m_oldLevel);
        std::filesystem::remove_all(m_dir);
    }
    std::string LogText() const
    {
        std::ifstream f(m_dir + "/appdebug.log", std::ios::binary);
        std::stringstream ss;
        ss << f.rdbuf();
        return ss.str();
    }

    std::string m_dir, m_oldFolder;
    bool m_oldEnabled = false;
    int32_t m_oldLevel = 0;
};

using Texts = std::vector<std::string>;

}  // namespace

TEST_F(LogCaptureTest, CollectsTheCriticalMessagesOfItsScopeOnly)
{
    CXLOG(0, "before the capture");
    std::string text;
    {
        CxLogCapture capture;
        EXPECT_EQ(capture.Text(), "");
        CXLOG(0, "Failed to open file: %s", "C:\\Palm\\memopad.dat");
        CXLOG(2, "progress %d", 2);
        CXLOG(1, "high");
        TheLog().Log(0, nullptr, 7, nullptr);  // no format: an empty message
        CXLOG(0, "second %d%%", 100);
        EXPECT_EQ(capture.Messages(), (Texts{"Failed to open file: C:\\Palm\\memopad.dat", "", "second 100%"}));
        text = capture.Text();
        capture.Clear();
        CXLOG(0, "after clearing");
        EXPECT_EQ(capture.Messages(), (Texts{"after clearing"}));
    }
    CXLOG(0, "after the capture");
    EXPECT_EQ(text, "Failed to open file: C:\\Palm\\memopad.dat\n\nsecond 100%");

    // The lines reached the file as they always do, other levels included.
    std::string log = LogText();
    for (const char* line : {"before the capture", "[!!!] - Failed to open file: C:\\Palm\\memopad.dat",
                             "progress 2", "[!!!] - second 100%", "after the capture"})
        EXPECT_NE(log.find(line), std::string::npos) << line;

    // A new capture starts empty.
    CxLogCapture fresh;
    EXPECT_TRUE(fresh.Messages().empty());
}

TEST_F(LogCaptureTest, CollectsEvenWhenTheFileCannotBeWritten)
{
    TheLog().SetFolder((m_dir + "/missing/folder/").c_str());
    CxLogCapture capture;
    CXLOG(0, "lost in the file, kept here");
    EXPECT_EQ(capture.Text(), "lost in the file, kept here");
    EXPECT_FALSE(std::filesystem::exists(m_dir + "/missing"));
}

TEST_F(LogCaptureTest, NestedCapturesEachSeeTheirOwnScope)
{
    CxLogCapture outer;
    CXLOG(0, "one");
    {
        CxLogCapture inner;
        CXLOG(0, "two");
        EXPECT_EQ(inner.Messages(), (Texts{"two"}));
    }
    CXLOG(0, "three");
    EXPECT_EQ(outer.Messages(), (Texts{"one", "two", "three"}));

    // A capture that ends out of turn leaves the others collecting.
    auto middle = std::make_unique<CxLogCapture>();
    CxLogCapture innermost;
    CXLOG(0, "four");
    middle.reset();
    CXLOG(0, "five");
    EXPECT_EQ(innermost.Messages(), (Texts{"four", "five"}));
    EXPECT_EQ(outer.Messages(), (Texts{"one", "two", "three", "four", "five"}));
}

TEST_F(LogCaptureTest, MessagesOfOtherThreadsAreNotCollected)
{
    CxLogCapture capture;
    std::vector<std::string> theirs;
    std::thread other([&] {
        CxLogCapture own;
        CXLOG(0, "from the other thread");
        theirs = own.Messages();
    });
    other.join();
    CXLOG(0, "from this thread");
    EXPECT_EQ(capture.Messages(), (Texts{"from this thread"}));
    EXPECT_EQ(theirs, (Texts{"from the other thread"}));
    EXPECT_NE(LogText().find("from the other thread"), std::string::npos);
}
