// Reader and writer of one private-profile (INI) file: the settings file.
//
// A section passed empty means the default section. Values are read and
// written through the platform's private-profile functions, so a missing
// file, section or key reads as the default and the file is created by the
// first write.
#pragma once

#include <cstddef>
#include <cstdint>

class CxIniUtil {
public:
    static constexpr size_t kMaxPath = 260;  ///< path capacity, terminator included

    /// The path is folder + file name; an empty folder means the program's
    /// own folder (drive and directory of its file, ending in a backslash).
    CxIniUtil(const char* folder, const char* fileName);

    /// Replaces the whole path; an empty or missing path leaves it unchanged.
    void SetPath(const char* path);
    const char* Path() const { return m_path; }

    void SetDefaultSection(const char* section);
    const char* DefaultSection() const { return m_section; }

    /// Number of characters copied into buf (at most size - 1). 0 at once for
    /// an empty key, a missing buffer or a size of 0.
    size_t ReadString(const char* section, const char* key, char* buf, size_t size, const char* def) const;
    /// Decimal value of the key's text (its leading digits, 0 when there are
    /// none); the default when the key is absent or empty.
    int32_t ReadInt(const char* section, const char* key, int32_t def) const;
    /// ReadInt with 1 or 0 as default; true when non-zero.
    bool ReadBool(const char* section, const char* key, bool def) const;

    /// Nothing (false) for an empty key; a missing value is written empty.
    bool WriteString(const char* section, const char* key, const char* value) const;
    bool WriteInt(const char* section, const char* key, int32_t value) const;
    bool WriteBool(const char* section, const char* key, bool value) const;

private:
    const char* SectionOf(const char* section) const;

    char m_path[kMaxPath];
    char m_section[64];
};

/// The process-wide settings file: "brellon.ini" in the program's folder
/// until the application moves it to its settings folder.
CxIniUtil& TheIni();
