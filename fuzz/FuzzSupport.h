// What every fuzz target shares: a private scratch folder for the files a
// target hands to a reader, the troubleshooting log moved into it, and a way
// to stop on a broken invariant so that libFuzzer keeps the input.
//
// The readers take their input from files (they open them without sharing,
// as the program does), so each target writes the bytes it is given to a
// file in the scratch folder and loads that. The folder is made under
// $TMPDIR (else /tmp) once per process and removed at exit; scripts/fuzz.sh
// points TMPDIR at a folder in memory so that file writes cost little.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace fuzz {

/// Makes the scratch folder, points the log there (disabled, so only
/// level-0 lines are written; its own rotation keeps the file bounded),
/// and sets WINEPREFIX and XDG_DATA_HOME inside it so that nothing outside
/// the folder is read or written. Safe to call more than once.
void Setup();

/// The scratch folder, host form, ending in '/'.
const std::string& Scratch();

/// Writes the bytes to a file of that name in the scratch folder (replacing
/// it) and gives its host path; aborts when the file cannot be written, as
/// a target that silently tested nothing would be worse than none.
std::string WriteScratchFile(const std::string& name, const uint8_t* data, size_t size);
std::string WriteScratchFile(const std::string& name, const std::string& data);

/// The whole content of a file; aborts when it cannot be read.
std::string ReadScratchFile(const std::string& hostPath);

/// Removes a file of the scratch folder and every "<name>.*" beside it
/// (backups, temporary files); missing files are fine.
void RemoveScratchFile(const std::string& hostPath);

/// Stops the run: prints the message and aborts, which libFuzzer reports
/// as a crash and keeps the input of.
[[noreturn]] void Fail(const char* what, const std::string& detail = std::string());

/// Reads the input from the front, giving zeros once it is used up.
class Bytes {
public:
    Bytes(const uint8_t* data, size_t size) : m_p(data), m_left(size) {}
    uint8_t U8()
    {
        if (!m_left)
            return 0;
        --m_left;
        return *m_p++;
    }
    uint16_t U16() { return uint16_t(U8() | U8() << 8); }
    uint32_t U32() { return uint32_t(U16()) | uint32_t(U16()) << 16; }
    size_t Left() const { return m_left; }
    /// Up to n bytes as text.
    std::string Take(size_t n)
    {
        if (n > m_left)
            n = m_left;
        std::string s(reinterpret_cast<const char*>(m_p), n);
        m_p += n;
        m_left -= n;
        return s;
    }
    std::string Rest() { return Take(m_left); }

private:
    const uint8_t* m_p;
    size_t m_left;
};

}  // namespace fuzz
