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
    {
        TheLog().SetFolder(m_dir.Path().c_str());
        TheLog().SetEnabled(true);
        TheLog().SetLevel(3);
    }
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
