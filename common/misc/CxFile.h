// A thin wrapper over a C-library file stream, used for plain text output.
// The path is a Windows path; the stream is closed when the object goes.
#pragma once

#include <cstdint>
#include <cstdio>

class CxFile {
public:
    CxFile() = default;
    ~CxFile() { Close(); }
    CxFile(const CxFile&) = delete;
    CxFile& operator=(const CxFile&) = delete;

    /// Opens with a C-library mode ("rb", "ab", "wb"); a stream already open is
    /// closed first. False for an empty path or mode, or when it cannot be opened.
    bool Open(const char* winPath, const char* mode);
    /// Closes the stream if there is one; always true.
    bool Close();
    bool IsOpen() const { return m_fp != nullptr; }

    /// Writes the text followed by CR LF; a missing text counts as empty.
    /// False without a stream or when the write fails.
    bool WriteLine(const char* text);

    /// Size in bytes of a file, or -1 for an empty path or a file that cannot
    /// be opened for binary reading.
    static int32_t FileSize(const char* winPath);

private:
    std::FILE* m_fp = nullptr;
};
