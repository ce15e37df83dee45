// The process-wide option set (TheOption()) and settings file (TheIni())
// for one scope: kept by the constructor, put back by the destructor.
#pragma once

#include "app/Apputil.h"

#include <string>

namespace testenv {

class ScopedOption {
public:
    ScopedOption() : m_saved(TheOption()) {}
    explicit ScopedOption(const AppOption& opt) : m_saved(TheOption()) { TheOption() = opt; }
    ~ScopedOption() { TheOption() = m_saved; }
    ScopedOption(const ScopedOption&) = delete;
    ScopedOption& operator=(const ScopedOption&) = delete;

private:
    AppOption m_saved;
};

class ScopedIniPath {
public:
    ScopedIniPath() : m_saved(TheIni().Path()) {}
    ~ScopedIniPath() { TheIni().SetPath(m_saved.c_str()); }
    ScopedIniPath(const ScopedIniPath&) = delete;
    ScopedIniPath& operator=(const ScopedIniPath&) = delete;

private:
    std::string m_saved;
};

}  // namespace testenv
