// Small system helpers shared by the wizard and the Palm layer: the program's
// folder, a file's version numbers, opening a document with the shell, a
// hexadecimal dump of bytes and the ANSI / wide text conversions.
#pragma once

#include <cstddef>
#include <cstdint>

namespace plat {
struct Library;
}

/// Writes the drive and folder of a module's file ("C:\Apps\Tool\" for
/// C:\Apps\Tool\run.exe), ending in a backslash, into out (at least 260
/// bytes). A null module means the program itself. False without an output.
bool GetModuleFolder(const plat::Library* module, char* out);

/// Reads the fixed file version of a file's version resource into four
/// numbers (major, minor, build, revision); all four are 0 on failure.
/// False for an empty path or a file without version information.
bool GetFileVersion(const char* path, uint16_t* major, uint16_t* minor, uint16_t* build, uint16_t* revision);

/// Asks the shell to "open" a file, folder or URL; the result is not awaited.
/// False only for an empty path.
bool OpenWithShell(const char* path);

/// The first 1024 bytes as lower-case "%02x" pairs separated by one blank.
/// The text lives in one shared buffer that the next call overwrites.
const char* HexText(const void* bytes, size_t len);

/// Wide text to the ANSI code page, cut to fit and always terminated at
/// out[capacity - 1] at the latest (a double-byte character is never cut in
/// half). An empty or missing input gives an empty output.
void ToAnsi(const char16_t* wide, char* out, size_t capacity);

/// ANSI text to wide text, with capacity in characters and the same rules
/// (a surrogate pair is never cut in half).
void ToWide(const char* ansi, char16_t* out, size_t capacity);
