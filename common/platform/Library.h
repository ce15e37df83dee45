// Library "loading" without running anything: a library loads when its file
// exists and is a PE image, and a name binds when the image's export table
// lists it. A bound entry is an opaque non-null handle, never called; the
// functions the program needs from a library are provided by the program
// itself (see UserLibrary.h).
#pragma once

#include <string>

namespace plat {

struct Library;

/// Loads the library at a Windows path; none when the file is missing or
/// not a PE image.
Library* LoadLibrary(const std::string& winPath);

/// The handle bound to an exported name, or none when the library does not
/// export it. The handle stays valid until the library is freed.
void* GetProcAddress(Library* lib, const char* name);

/// Frees a library and every handle it gave out; none is ignored.
void FreeLibrary(Library* lib);

/// The library's file name in Windows form, with '/' shown as '\' and runs
/// of separators collapsed, as the system reports a module's file name.
std::string LibraryFileName(const Library* lib);

}  // namespace plat
