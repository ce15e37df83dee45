// The registry, read only, from the files of the Wine prefix:
// HKEY_CURRENT_USER is $WINEPREFIX/user.reg, HKEY_LOCAL_MACHINE is
// $WINEPREFIX/system.reg. Only string values are read; values of other
// kinds (dword:, hex(...):, str(2):) are skipped. Key and value names are
// compared without regard to ASCII case, as Windows does.
#pragma once

#include <map>
#include <string>
#include <string_view>

namespace plat {

enum class RegRoot { CurrentUser, LocalMachine };

/// An open key: a snapshot of its string values, taken when it is opened.
class RegKey {
public:
    /// Opens a key such as "Software\U.S. Robotics\Pilot Desktop\Core".
    /// False when the registry file or the key is absent. Under
    /// HKEY_LOCAL_MACHINE of a 64-bit prefix, a key of "Software\" that is
    /// absent is also looked for under "Software\Wow6432Node\", where the
    /// installers of 32-bit programs put theirs.
    bool Open(RegRoot root, std::string_view path);
    void Close();
    bool IsOpen() const { return m_open; }

    /// A string value in the ANSI code page. False when the key is not open
    /// or has no string value of that name.
    bool QueryString(std::string_view name, std::string* value) const;

private:
    bool m_open = false;
    std::map<std::string, std::u16string> m_values;  // lower-cased name -> text
};

/// Parses the text of a Wine registry file and gives the string values of
/// one key (key path relative to the file's root). Exposed for tests.
bool ParseWineRegistryKey(std::string_view fileText, std::string_view keyPath,
                          std::map<std::string, std::u16string>* values);

}  // namespace plat
