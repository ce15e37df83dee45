// The Windows ANSI code page and conversions between it and wide (UTF-16) text.
//
// The code page follows the process locale the way Wine picks it: the
// language (and for Chinese the country) of LC_ALL, else LC_CTYPE, else LANG
// selects the ANSI code page of the matching Windows locale; anything
// unknown, "C" and "POSIX" give 1252. It is chosen at the first use and kept.
#pragma once

#include <string>
#include <string_view>

namespace plat {

/// The ANSI code page in force (1252, 1250, 1251, 932 ...).
int AnsiCodePage();

/// The code page Wine would choose for a locale name such as "ru_RU.UTF-8".
int CodePageForLocale(std::string_view locale);

/// Overrides the code page for the rest of the process (tests); 0 returns to
/// the locale's choice, read again from the environment at the next use.
void SetAnsiCodePage(int codePage);

/// Wide text to ANSI. A character the code page cannot show becomes '?', as
/// Windows's default character.
std::string WideToAnsi(std::u16string_view wide);

/// ANSI text to wide. In a single-byte code page a byte it leaves undefined
/// becomes the C1 control of the same value (and back), as on Windows; in a
/// double-byte one an invalid sequence becomes U+FFFD.
std::u16string AnsiToWide(std::string_view ansi);

/// UTF-8 (the host's file names) to wide text and back; an invalid UTF-8
/// sequence becomes U+FFFD.
std::u16string Utf8ToWide(std::string_view utf8);
std::string WideToUtf8(std::u16string_view wide);

/// A host file name (UTF-8) in the ANSI code page, when every character of
/// it has a place there; otherwise false and the bytes as they are, so that
/// the name still leads back to the same file.
bool HostNameToAnsi(std::string_view utf8, std::string* ansi);

/// An ANSI file name in the host's UTF-8.
std::string AnsiToHostName(std::string_view ansi);

/// True when the code page in force is a double-byte one (932, 936, 949,
/// 950): a character may take two bytes there, never more.
bool AnsiIsDoubleByte();

/// Number of bytes the first character of an ANSI text takes (1, or 2 for
/// a lead byte of a double-byte code page); 0 for an empty text.
size_t AnsiCharLength(std::string_view ansi);

}  // namespace plat
