// Small system helpers shared by the wizard and the Palm layer: a
// hexadecimal dump of bytes and the ANSI / wide text conversions.
#pragma once

#include <cstddef>
#include <cstdint>

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
