// Helpers of the .dat file tests: temporary folders, a byte builder for
// hand-made files, and the log's text.
#pragma once

#include "misc/CxDebugUtil.h"
#include "palm/PalmComm.h"

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <sstream>
#include <string>

namespace extest {

class TempDir {
public:
    TempDir()
    {
        char pattern[] = "/tmp/tarnwick-ex-XXXXXX";
        char* made = mkdtemp(pattern);
        m_path = made ? made : "/tmp";
        m_path += "/";
    }
    ~TempDir()
    {
        std::error_code ec;
        std::filesystem::permissions(m_path, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(m_path, ec);
    }
    const std::string& Path() const { return m_path; }
    std::string File(const std::string& name) const { return m_path + name; }

private:
    std::string m_path;
};

/// Little-endian byte builder for files made by hand.
class Bytes {
public:
    Bytes& U8(uint8_t v) { m_s.push_back(char(v)); return *this; }
    Bytes& U16(uint16_t v) { return U8(uint8_t(v)).U8(uint8_t(v >> 8)); }
    Bytes& U32(uint32_t v) { return U16(uint16_t(v)).U16(uint16_t(v >> 16)); }
    Bytes& Raw(const std::string& s) { m_s += s; return *this; }
    Bytes& Fill(size_t n, uint8_t v) { m_s.append(n, char(v)); return *this; }
    Bytes& List(std::initializer_list<int> bytes)
    {
        for (int b : bytes)
            U8(uint8_t(b));
        return *this;
    }
    /// Counted string: one length byte, or 0xFF and a 16-bit length.
    Bytes& Counted(const std::string& s)
    {
        if (s.size() < 255)
            U8(uint8_t(s.size()));
        else
            U8(0xFF).U16(uint16_t(s.size()));
        return Raw(s);
    }
    Bytes& Int(uint32_t v, uint32_t tag = 1) { return U32(tag).U32(v); }
    Bytes& Text(const std::string& s, uint32_t prefix = 1) { return U32(5).U32(prefix).Counted(s); }
    const std::string& Str() const { return m_s; }
    size_t Size() const { return m_s.size(); }

private:
    std::string m_s;
};

inline void WriteFile(const std::string& path, const std::string& data)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(data.data(), std::streamsize(data.size()));
}

inline std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

/// Points the process log into a folder of its own and reads it back.
class LogCapture {
public:
    LogCapture()
        : m_oldFolder(TheLog().Folder()), m_oldEnabled(TheLog().Enabled()), m_oldLevel(TheLog().Level())
    {
        TheLog().SetFolder(m_dir.Path().c_str());
        TheLog().SetEnabled(true);
        TheLog().SetLevel(3);
    }
    ~LogCapture()
    {
        TheLog().SetFolder(m_oldFolder.c_str());
        TheLog().SetEnabled(m_oldEnabled);
        TheLog().SetLevel(m_oldLevel);
    }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;
    std::string Text() const { return ReadFile(TheLog().LogPath()); }
    void Clear() const { std::ofstream(TheLog().LogPath(), std::ios::trunc); }
    bool Has(const std::string& text) const { return Text().find(text) != std::string::npos; }
    /// Occurrences of a text.
    int CountOf(const std::string& text) const
    {
        std::string t = Text();
        int n = 0;
        for (size_t p = t.find(text); p != std::string::npos; p = t.find(text, p + 1))
            ++n;
        return n;
    }

private:
    TempDir m_dir;
    std::string m_oldFolder;
    bool m_oldEnabled;
    int32_t m_oldLevel;
};

/// A PmDBUtil opened on bytes written to a temporary file; its output can
/// be committed and read back.
class FieldFile : public PmDBUtil {
public:
    explicit FieldFile(const std::string& content = std::string())
    {
        m_path = m_dir.File("fields.dat");
        WriteFile(m_path, content);
    }
    bool OpenRead() { return Open(m_path.c_str(), ModeReadWrite); }
    bool OpenWrite() { return Open(m_path.c_str(), ModeWrite); }
    /// Commits the output and returns the file's new content.
    std::string Written()
    {
        std::string error;
        if (!Commit(&error))
            return "commit failed: " + error;
        Close();
        return ReadFile(m_path);
    }
    const std::string& Path() const { return m_path; }
    using PmDBUtil::SetCategoryMgr;

private:
    TempDir m_dir;
    std::string m_path;
};

}  // namespace extest

namespace extest {

/// The parts of a hand-made 4.1.x file.
struct SGParts {
    uint32_t version = 0;
    std::string reserved1 = std::string(24, '\0');
    std::string storedName;
    size_t reserved2Size = 43;
    std::string labels;      ///< contacts: the whole custom labels block
    std::string categories = Bytes().U32(128).U32(0).Str();
    uint32_t resourceId = 0;
    uint32_t fieldsPerRow = 0;
    std::vector<uint16_t> types;
    uint32_t totalFields = 0;
    std::string records;     ///< the stored records
};

inline std::string SGMagic()
{
    return Bytes().List({0xBE, 0xBA, 0xFE, 0xCA, 0x0F}).Raw("PalmSG Database00RV").Str();
}

/// Everything up to the end of the last record.
inline std::string SGFile(const SGParts& p)
{
    Bytes b;
    b.Raw(SGMagic()).U32(p.version).Raw(p.reserved1).Counted(p.storedName);
    for (size_t i = 0; i < p.reserved2Size; ++i)
        b.U8(uint8_t(0xA0 + i));
    b.Raw(p.labels).Raw(p.categories);
    b.U32(p.resourceId).U32(p.fieldsPerRow).U32(0).U32(2).U32(4).U16(uint16_t(p.types.size()));
    for (uint16_t t : p.types)
        b.U16(t);
    b.U32(p.totalFields).Raw(p.records);
    return b.Str();
}

/// Reserved 1 as a save writes it for n records (bytes 12 and 13).
inline std::string Reserved1For(uint32_t n, uint8_t fill = 0x5A)
{
    std::string r(24, char(fill));
    r[12] = char(n % 256);
    r[13] = char(n / 256 + 16);
    return r;
}

/// A block of each stored form, for fields 7 to 10.
inline std::string Blocks()
{
    return Bytes()
        .U32(0x40).U32(0)
        .U32(0x41).U32(6).List({1, 2, 3, 4, 5, 6})
        .U32(0x42).U32(2).U32(0x11223344).U32(0x55).U32(3).List({7, 8, 9})
        .U32(0x43).U32(0)
        .Str();
}

/// The prefix of a record as a save writes it (fields 0-12).
inline std::string Prefix(uint32_t id, uint32_t status, uint32_t category)
{
    return Bytes()
        .Int(id).Int(0x77).Int(status).Int(3).Int(id * 10).Int(category).Int(0)
        .Raw(Blocks())
        .Text("t11").Text("")
        .Str();
}

inline std::string RepeatNone()
{
    return Bytes().U32(8).U16(0).U16(0).Str();
}

}  // namespace extest
