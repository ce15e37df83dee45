// Every test program runs as if it were installed in an empty folder of its
// own. Files beside the real executable must not decide what a test sees: the
// demo's run command leaves a "brellon.ini" in the build folder whose PDPath
// names the demo's Palm Desktop, and the settings file falls back to the
// program's folder too.
//
// A program registers the environment once (see ProgramFolder.cpp in each
// test folder); a test that needs another program file uses
// ScopedModuleFileName, which puts back the one in force before it.
#pragma once

#include "platform/System.h"
#include "platform/WinPath.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace testenv {

class ProgramFolderEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        char pattern[] = "/tmp/tarnwick-program-XXXXXX";
        const char* made = mkdtemp(pattern);
        ASSERT_NE(made, nullptr) << "cannot make a program folder";
        m_folder = made;
        plat::SetModuleFileName(plat::ToWinPath(m_folder + "/tarnwick"));
    }
    void TearDown() override
    {
        plat::SetModuleFileName("");
        std::error_code ec;
        std::filesystem::remove_all(m_folder, ec);
    }

private:
    std::string m_folder;
};

/// Makes ModuleFileName report `winPath` for a scope, then the file it
/// reported before.
class ScopedModuleFileName {
public:
    explicit ScopedModuleFileName(const std::string& winPath) : m_old(plat::ModuleFileName())
    {
        plat::SetModuleFileName(winPath);
    }
    ~ScopedModuleFileName() { plat::SetModuleFileName(m_old); }
    ScopedModuleFileName(const ScopedModuleFileName&) = delete;
    ScopedModuleFileName& operator=(const ScopedModuleFileName&) = delete;

private:
    std::string m_old;
};

}  // namespace testenv

/// Registers the program folder environment of a test program (one use per
/// program, at namespace scope).
#define TARNWICK_TEST_PROGRAM_FOLDER()                                                  \
    static ::testing::Environment* const tarnwickProgramFolder [[maybe_unused]] = \
        ::testing::AddGlobalTestEnvironment(new testenv::ProgramFolderEnvironment)
