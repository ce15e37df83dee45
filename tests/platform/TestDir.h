// A real temporary folder for a test, removed with everything in it at the end.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

class TestDir {
public:
    TestDir()
    {
        char tmpl[] = "/tmp/tarnwick-test-XXXXXX";
        const char* made = mkdtemp(tmpl);
        m_path = made ? made : "";
    }
    ~TestDir()
    {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    TestDir(const TestDir&) = delete;
    TestDir& operator=(const TestDir&) = delete;

    const std::string& Path() const { return m_path; }
    std::string operator/(const std::string& rel) const { return m_path + "/" + rel; }

    void Write(const std::string& rel, const std::string& data) const
    {
        std::filesystem::path p = m_path + "/" + rel;
        std::filesystem::create_directories(p.parent_path());
        std::ofstream(p, std::ios::binary) << data;
    }
    void MakeDir(const std::string& rel) const { std::filesystem::create_directories(m_path + "/" + rel); }

private:
    std::string m_path;
};

/// Sets an environment variable for a scope and restores it afterwards.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : m_name(name)
    {
        const char* old = std::getenv(name);
        m_had = old != nullptr;
        if (old)
            m_old = old;
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~ScopedEnv()
    {
        if (m_had)
            setenv(m_name.c_str(), m_old.c_str(), 1);
        else
            unsetenv(m_name.c_str());
    }

private:
    std::string m_name, m_old;
    bool m_had = false;
};
