// Helpers of the 6.x database tests: a temporary folder and the log's text.
#pragma once

#include "misc/CxDebugUtil.h"
#include "platform/File.h"
#include "platform/WinPath.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace ex2test {

class TempFolder {
public:
    TempFolder()
    {
        char pattern[] = "/tmp/tarnwick-ex2-XXXXXX";
        char* made = mkdtemp(pattern);
        m_path = made ? made : "/tmp";
        m_path += "/";
    }
    ~TempFolder()
    {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    /// Ends in '/'.
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

/// Points the process log into its own folder and reads it back.
class LogCapture {
public:
    LogCapture()
        : m_oldFolder(TheLog().Folder()), m_oldEnabled(TheLog().Enabled()), m_oldLevel(TheLog().Level())
    {
        TheLog().SetFolder(m_folder.Path().c_str());
        TheLog().SetEnabled(true);
        TheLog().SetLevel(3);
    }
    ~LogCapture()
    {
        TheLog().SetFolder(m_oldFolder.c_str());
        TheLog().SetEnabled(m_oldEnabled);
        TheLog().SetLevel(m_oldLevel);
    }
    std::string Text() const
    {
        std::ifstream in(TheLog().LogPath());
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    void Clear() const { std::ofstream(TheLog().LogPath(), std::ios::trunc); }
    bool Has(const std::string& text) const { return Text().find(text) != std::string::npos; }

private:
    TempFolder m_folder;
    std::string m_oldFolder;
    bool m_oldEnabled;
    int32_t m_oldLevel;
};

inline std::string ReadBytes(const std::string& path)
{
    std::string bytes;
    plat::ReadWholeFile(path, &bytes);
    return bytes;
}

/// The ".bak" copies beside a file.
inline int CountBackups(const std::string& path, std::string* first = nullptr)
{
    std::filesystem::path p(plat::ToHostPath(path));
    int n = 0;
    for (const auto& entry : std::filesystem::directory_iterator(p.parent_path())) {
        std::string name = entry.path().filename().string();
        if (name.rfind(p.filename().string() + ".", 0) == 0 && name.size() > 4 &&
            name.compare(name.size() - 4, 4, ".bak") == 0) {
            ++n;
            if (first)
                *first = entry.path().string();
        }
    }
    return n;
}

/// The record of a data manager with a Record ID.
template <typename Mgr>
auto FindRecord(Mgr* mgr, int32_t id) -> decltype(mgr->First())
{
    for (auto* r = mgr->First(); r; r = mgr->Next())
        if (r->RecordID == id)
            return r;
    return nullptr;
}

using TableRows = std::vector<std::vector<std::string>>;

/// Every column of every row is as before, but the Status (column 1) of
/// the rows `deleted` (positions in storage order), which is 132.
inline void ExpectOnlyStatusChanged(const TableRows& before, const TableRows& after, const std::set<size_t>& deleted)
{
    ASSERT_EQ(after.size(), before.size());
    for (size_t row = 0; row < before.size(); ++row) {
        std::vector<std::string> expected = before[row];
        if (deleted.count(row))
            expected[1] = "int:132";
        EXPECT_EQ(after[row], expected) << "row " << row;
    }
}

}  // namespace ex2test
