// A Palm Desktop installation for the facade tests: a Wine prefix in a
// temporary folder whose registry names the installation, palm.exe of a
// chosen version, the user library bound, one user with the four
// application folders, and the log captured.
#pragma once

#include "misc/CxDebugUtil.h"
#include "palm/PalmEnv.h"
#include "palmfixture/FixtureClassic.h"
#include "palmfixture/FixtureEx.h"
#include "palmfixture/FixtureEx2.h"
#include "palmfixture/PalmFixture.h"
#include "platform/File.h"
#include "platform/WinPath.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace infotest {

class PalmInstall {
public:
    /// Version as palm.exe's four parts.
    explicit PalmInstall(uint16_t major = 6, uint16_t minor = 0, uint16_t build = 0)
    {
        char pattern[] = "/tmp/tarnwick-info-XXXXXX";
        char* made = mkdtemp(pattern);
        m_root = made ? made : "/tmp/tarnwick-info";
        const char* old = std::getenv("WINEPREFIX");
        m_hadPrefix = old != nullptr;
        if (old)
            m_oldPrefix = old;
        m_inst.winePrefix = m_root + "/prefix";
        m_inst.dir = m_root + "/prefix/drive_c/Palm";
        m_inst.version[0] = major;
        m_inst.version[1] = minor;
        m_inst.version[2] = build;
        m_inst.version[3] = 7;
        m_inst.users = {"Tess O'Hara"};
        setenv("WINEPREFIX", m_inst.winePrefix.c_str(), 1);
        std::string error;
        m_ok = palmfix::WriteInstallation(m_inst, &error);
        EXPECT_TRUE(m_ok) << error;
        EXPECT_TRUE(LoadPalmLibraries(PM_LIB_USERDATA));
        plat::ResetBackups();

        m_oldLogFolder = TheLog().Folder();
        m_oldLogEnabled = TheLog().Enabled();
        m_oldLogLevel = TheLog().Level();
        TheLog().SetFolder((m_root + "/").c_str());
        TheLog().SetEnabled(true);
        TheLog().SetLevel(3);
    }
    ~PalmInstall()
    {
        TheLog().SetFolder(m_oldLogFolder.c_str());
        TheLog().SetEnabled(m_oldLogEnabled);
        TheLog().SetLevel(m_oldLogLevel);
        UnloadPalmLibraries();
        if (m_hadPrefix)
            setenv("WINEPREFIX", m_oldPrefix.c_str(), 1);
        else
            unsetenv("WINEPREFIX");
        std::error_code ec;
        std::filesystem::remove_all(m_root, ec);
    }

    const palmfix::Installation& Inst() const { return m_inst; }
    uint32_t UserId() const { return palmfix::UserId(m_inst.users[0]); }
    /// The user's data folder in Windows form, ending in '\'.
    std::string UserFolder() const { return palmfix::UserWinFolder(m_inst, m_inst.users[0]); }
    /// A file below the user's data folder ("memopad\\memopad.dat").
    std::string UserFile(const std::string& rel) const { return UserFolder() + rel; }

    std::string Log() const
    {
        std::ifstream in(TheLog().LogPath());
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    bool LogHas(const std::string& text) const { return Log().find(text) != std::string::npos; }
    void ClearLog() const { std::ofstream(TheLog().LogPath(), std::ios::trunc); }

private:
    std::string m_root;
    palmfix::Installation m_inst;
    bool m_ok = false;
    bool m_hadPrefix = false;
    std::string m_oldPrefix;
    std::string m_oldLogFolder;
    bool m_oldLogEnabled = false;
    int32_t m_oldLogLevel = 0;
};

inline std::string ReadBytes(const std::string& winPath)
{
    std::string bytes;
    plat::ReadWholeFile(winPath, &bytes);
    return bytes;
}

/// Positions where two byte strings of equal length differ.
inline std::vector<size_t> DiffPositions(const std::string& a, const std::string& b)
{
    std::vector<size_t> out;
    for (size_t i = 0; i < a.size() && i < b.size(); ++i)
        if (a[i] != b[i])
            out.push_back(i);
    return out;
}

/// The file at `winPath`, saved after deletions, keeps the size of `original`
/// and differs from it in exactly `marks` bytes, each the deletion status
/// 0x84. Call through ASSERT_NO_FATAL_FAILURE.
inline void ExpectOnlyDeletionMarks(const std::string& original, const std::string& winPath, size_t marks)
{
    std::string saved = ReadBytes(winPath);
    ASSERT_EQ(saved.size(), original.size());
    std::vector<size_t> diff = DiffPositions(original, saved);
    ASSERT_EQ(diff.size(), marks);
    for (size_t pos : diff)
        EXPECT_EQ(uint8_t(saved[pos]), 0x84);
}

/// Writes a new 4.1.x file of the given records with the fixture writers.
template <typename Rec, typename Writer>
inline bool WriteExWith(Writer writer, const std::string& winPath, const std::vector<Rec>& recs)
{
    std::vector<const Rec*> ptrs;
    for (const Rec& r : recs)
        ptrs.push_back(&r);
    std::string error;
    bool ok = writer(winPath, {{1, "Business"}, {2, "Perso\xE9"}}, ptrs, &error);
    EXPECT_TRUE(ok) << error;
    return ok;
}
inline bool WriteEx(const std::string& winPath, const std::vector<PmAddrExRecord>& recs)
{
    return WriteExWith(palmfix::WriteAddressDat, winPath, recs);
}
inline bool WriteEx(const std::string& winPath, const std::vector<PmDateExRecord>& recs)
{
    return WriteExWith(palmfix::WriteDateBookDat, winPath, recs);
}
inline bool WriteEx(const std::string& winPath, const std::vector<PmTodoExRecord>& recs)
{
    return WriteExWith(palmfix::WriteToDoDat, winPath, recs);
}
inline bool WriteEx(const std::string& winPath, const std::vector<PmMemoExRecord>& recs)
{
    return WriteExWith(palmfix::WriteMemoPadDat, winPath, recs);
}

/// Writes a new classic file of the given records at `winPath` with a
/// fixture writer; returns the path.
template <typename Rec, typename Writer>
inline std::string WriteClassicWith(Writer writer, const std::string& winPath,
                                    const std::vector<palmfix::ClassicCategory>& categories,
                                    const std::vector<Rec>& recs, const std::string& header = "")
{
    palmfix::ClassicContent<Rec> content;
    content.categories = categories;
    content.header = header;
    content.records = recs;
    std::string error;
    EXPECT_TRUE(writer(winPath, content, &error)) << error;
    return winPath;
}

/// Writes a new 6.x database (number `db` of the user's folder) of the given
/// records with a fixture writer; returns its path.
template <typename Rec, typename Writer>
inline std::string WriteEx2With(Writer writer, const PalmInstall& env, int db,
                                const std::vector<palmfix::Ex2Category>& categories, const std::vector<Rec>& recs)
{
    std::string path = palmfix::Ex2DatabasePath(env.UserFolder(), db);
    std::vector<const Rec*> ptrs;
    for (const Rec& r : recs)
        ptrs.push_back(&r);
    std::string error;
    EXPECT_TRUE(writer(path, categories, ptrs, &error)) << error;
    return path;
}

/// A 6.x table dumped after deleting its first `deleted` rows: those rows
/// differ from the dump before only in their status cell (column 1), which
/// holds the deletion status 0x84; every other cell is unchanged.
inline void ExpectOnlyStatusChanged(const std::vector<std::vector<std::string>>& before,
                                    const std::vector<std::vector<std::string>>& after, size_t deleted)
{
    ASSERT_EQ(after.size(), before.size());
    for (size_t row = 0; row < after.size(); ++row)
        for (size_t col = 0; col < after[row].size(); ++col) {
            if (col == 1 && row < deleted)
                EXPECT_EQ(after[row][col], "int:132");
            else
                EXPECT_EQ(after[row][col], before[row][col]) << row << "," << col;
        }
}

}  // namespace infotest
