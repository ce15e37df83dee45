// palmdump run as a process on generated installations.
#include "PalmInfoTestEnv.h"

#include "palmfixture/Generator.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

using infotest::PalmInstall;

namespace {

std::string PalmdumpPath()
{
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe");
    return (self.parent_path() / "palmdump").string();
}

struct DumpRun {
    int status = -1;
    std::vector<std::string> lines;
};

/// palmdump's copy in a test's folder: a brellon.ini beside the built one
/// (the demo's run command leaves one in the build folder) would name
/// another Palm Desktop.
std::string ProgramCopy(const std::string& dataHome)
{
    return dataHome + "/program/palmdump";
}

/// Runs palmdump's copy with the test's Wine prefix and a settings folder of
/// its own.
DumpRun Palmdump(const std::string& dataHome, const std::string& args)
{
    DumpRun run;
    std::string cmd = "WINEPREFIX='" + std::string(std::getenv("WINEPREFIX")) + "' XDG_DATA_HOME='" + dataHome +
                      "' '" + ProgramCopy(dataHome) + "' " + args + " 2>&1";
    FILE* p = popen(cmd.c_str(), "r");
    if (!p)
        return run;
    char buf[65536];
    while (std::fgets(buf, sizeof buf, p)) {
        std::string line(buf);
        while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
            line.pop_back();
        run.lines.push_back(line);
    }
    run.status = pclose(p);
    return run;
}

struct AppSeen {
    std::string summary;
    int records = 0;
    int marked = 0;
};

std::map<std::string, AppSeen> ByApp(const DumpRun& run)
{
    std::map<std::string, AppSeen> out;
    for (const std::string& l : run.lines) {
        for (const char* app : {"Contacts", "Calendar", "Tasks", "Notes"}) {
            std::string tag = std::string("\"app\":\"") + app + "\"";
            if (l.find(tag) == std::string::npos)
                continue;
            if (l.find("\"kind\":\"app\"") != std::string::npos)
                out[app].summary = l;
            if (l.find("\"kind\":\"record\"") != std::string::npos) {
                out[app].records++;
                out[app].marked += l.find("\"duplicate\":1") != std::string::npos;
            }
        }
    }
    return out;
}

class PalmdumpTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!std::filesystem::exists(PalmdumpPath()))
            FAIL() << "palmdump is not built beside the tests: " << PalmdumpPath();
        char pattern[] = "/tmp/tarnwick-dump-XXXXXX";
        m_dataHome = mkdtemp(pattern);
        std::error_code ec;
        std::filesystem::create_directories(m_dataHome + "/program", ec);
        std::filesystem::copy_file(PalmdumpPath(), ProgramCopy(m_dataHome), ec);
        ASSERT_FALSE(ec) << "cannot copy palmdump: " << ec.message();
    }
    void TearDown() override
    {
        std::error_code ec;
        std::filesystem::remove_all(m_dataHome, ec);
    }
    std::string m_dataHome;
};

void ExpectGeneration(const PalmInstall& env, const std::string& dataHome, uint32_t version, int gen,
                      const char* genName)
{
    std::string error;
    ASSERT_TRUE(palmfix::GenerateUserData(env.UserFolder(), version, {30, 6, 11}, palmfix::kGenAll, &error))
        << error;
    DumpRun run = Palmdump(dataHome, "--user " + std::to_string(env.UserId()) + " --json");
    ASSERT_EQ(run.status, 0) << (run.lines.empty() ? "" : run.lines.back());
    auto apps = ByApp(run);
    ASSERT_EQ(apps.size(), 4u);
    for (auto& [name, seen] : apps) {
        EXPECT_NE(seen.summary.find("\"generation\":" + std::to_string(gen)), std::string::npos) << seen.summary;
        EXPECT_NE(seen.summary.find(std::string("\"generationName\":\"") + genName + "\""), std::string::npos);
        EXPECT_NE(seen.summary.find("\"records\":30,\"duplicates\":6"), std::string::npos) << seen.summary;
        EXPECT_EQ(seen.records, 30) << name;
        EXPECT_EQ(seen.marked, 6) << name;
    }
    // The review page's fields, in UTF-8.
    bool names = false, subjects = false;
    for (const std::string& l : run.lines) {
        names = names || (l.find("\"firstName\":\"Bj\xC3\xB6rn\"") != std::string::npos);
        subjects = subjects || (l.find("\"notes\":\"Shopping ") != std::string::npos);
    }
    EXPECT_TRUE(names);
    EXPECT_TRUE(subjects);
}

}  // namespace

TEST_F(PalmdumpTest, ClassicInstallation)
{
    PalmInstall env(4, 1, 0);
    ExpectGeneration(env, m_dataHome, 40100, 1, "classic");
}

TEST_F(PalmdumpTest, ExInstallation)
{
    PalmInstall env(4, 1, 2);
    ExpectGeneration(env, m_dataHome, 40102, 2, "4.1.x");
}

TEST_F(PalmdumpTest, Ex2Installation)
{
    PalmInstall env(6, 0, 2);
    ExpectGeneration(env, m_dataHome, 60002, 3, "6.x");
}

TEST_F(PalmdumpTest, SettingsRuleAndApplicationMask)
{
    PalmInstall env(6, 0, 0);
    std::string error;
    ASSERT_TRUE(palmfix::GenerateUserData(env.UserFolder(), 60000, {12, 2, 4}, palmfix::kGenAll, &error)) << error;
    // With the notes rule switched off every note matches every other one.
    std::filesystem::create_directories(m_dataHome + "/brellon/Tarnwick");
    std::ofstream(m_dataHome + "/brellon/Tarnwick/brellon.ini") << "[DCOption]\r\nMemoDesc=0\r\nMemoNotes=0\r\n";
    DumpRun run = Palmdump(m_dataHome, "--user " + std::to_string(int32_t(env.UserId())) + " --apps 8 --json");
    ASSERT_EQ(run.status, 0);
    auto apps = ByApp(run);
    ASSERT_EQ(apps.size(), 1u);
    EXPECT_EQ(apps["Notes"].records, 12);
    EXPECT_EQ(apps["Notes"].marked, 11);

    DumpRun text = Palmdump(m_dataHome, "--user " + std::to_string(env.UserId()) + " --apps 1");
    ASSERT_EQ(text.status, 0);
    bool header = false;
    int dupLines = 0;
    for (const std::string& l : text.lines) {
        header = header || l == "Contacts: generation 3 (6.x), loaded, 12 records, 2 duplicates";
        dupLines += l.find(" dup ") != std::string::npos;
    }
    EXPECT_TRUE(header);
    EXPECT_EQ(dupLines, 2);

    DumpRun bad = Palmdump(m_dataHome, "--user x");
    EXPECT_NE(bad.status, 0);
}
