// Private-profile (INI) files with the Windows semantics: section and key
// names compared without regard to ASCII case, blanks around names and
// values ignored, one pair of enclosing double quotes taken off a value,
// the default returned for a missing key, the file created by the first
// write, and every other line of the file kept as it was.
#pragma once

#include <cstddef>
#include <string>

namespace plat {

/// Reads a key into buf (at most size - 1 characters, always terminated when
/// size > 0). Returns the number of characters copied.
size_t GetProfileString(const std::string& winFile, const char* section, const char* key, const char* def,
                        char* buf, size_t size);

/// Writes a key; a null value removes it. Creates the file and the section
/// when they are missing. The file is replaced in one rename.
bool WriteProfileString(const std::string& winFile, const char* section, const char* key, const char* value);

}  // namespace plat
