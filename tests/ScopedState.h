// Process-wide state of the platform and log layers, changed by a test for
// one scope and put back by a destructor, so that an assertion that returns
// early cannot leave it changed for the tests that follow.
#pragma once

#include "misc/CxDebugUtil.h"
#include "platform/Codepage.h"

#include <string>

namespace testenv {

/// Forces the ANSI code page; at the end the locale chooses again.
class ScopedCodePage {
public:
    explicit ScopedCodePage(int codePage) { plat::SetAnsiCodePage(codePage); }
    ~ScopedCodePage() { plat::SetAnsiCodePage(0); }
    void Set(int codePage) { plat::SetAnsiCodePage(codePage); }
    ScopedCodePage(const ScopedCodePage&) = delete;
    ScopedCodePage& operator=(const ScopedCodePage&) = delete;
};

/// Keeps the log's folder, switch and level, and restores them at the end.
class ScopedLogSettings {
public:
    ScopedLogSettings() : m_folder(TheLog().Folder()), m_enabled(TheLog().Enabled()), m_level(TheLog().Level()) {}
    ~ScopedLogSettings()
    {
        TheLog().SetFolder(m_folder.c_str());
        TheLog().SetEnabled(m_enabled);
        TheLog().SetLevel(m_level);
    }
    ScopedLogSettings(const ScopedLogSettings&) = delete;
    ScopedLogSettings& operator=(const ScopedLogSettings&) = delete;

private:
    std::string m_folder;
    bool m_enabled;
    int32_t m_level;
};

}  // namespace testenv
