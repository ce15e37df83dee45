// A temporary folder with the log pointed into it, for the classic file tests.
#pragma once

#include "misc/CxDebugUtil.h"
#include "platform/File.h"

#include "ScopedState.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <unistd.h>

namespace classic {

class ClassicTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char tmpl[] = "/tmp/classic-test-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        m_dir = tmpl;
        m_logSettings.emplace();
        TheLog().SetFolder((m_dir + "/").c_str());
        TheLog().SetEnabled(true);
        TheLog().SetLevel(3);
        plat::ClearFileFaults();
        plat::ResetBackups();
    }
    void TearDown() override
    {
        plat::ClearFileFaults();
        m_logSettings.reset();
        std::string cmd = "rm -rf '" + m_dir + "'";
        (void)std::system(cmd.c_str());
    }

    std::string PathOf(const std::string& name) const { return m_dir + "/" + name; }
    void Put(const std::string& path, const std::string& bytes) const
    {
        std::ofstream(path, std::ios::binary) << bytes;
    }
    std::string Get(const std::string& path) const
    {
        std::ifstream in(path, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    /// The whole log so far.
    std::string Log() const { return Get(m_dir + "/appdebug.log"); }
    bool Logged(const std::string& text) const { return Log().find(text) != std::string::npos; }
    /// Lines of the log that carry a text.
    int LoggedCount(const std::string& text) const
    {
        std::string log = Log();
        int n = 0;
        for (size_t p = log.find(text); p != std::string::npos; p = log.find(text, p + 1))
            ++n;
        return n;
    }
    void ClearLog() const { std::remove((m_dir + "/appdebug.log").c_str()); }
    /// Files in the folder whose names contain a text (backups, temporary files).
    int FilesWith(const std::string& text) const
    {
        int n = 0;
        for (const auto& e : std::filesystem::directory_iterator(m_dir))
            if (e.path().filename().string().find(text) != std::string::npos)
                ++n;
        return n;
    }

    std::string m_dir;
    std::optional<testenv::ScopedLogSettings> m_logSettings;
};

}  // namespace classic
