// Process-level services: local time, thread id, the program's own file,
// the common application data folder.
#pragma once

#include <cstdint>
#include <string>

namespace plat {

/// Local calendar time with milliseconds, as the log and the helpers use it.
struct LocalTime {
    int year, month, dayOfWeek, day, hour, minute, second, milliseconds;
};

/// The current local time, broken down in the process time zone.
LocalTime Now();

/// Id of the calling thread.
uint32_t CurrentThreadId();

/// The program's own file in Windows form (the host path with '/' shown as
/// '\'), or the name set with SetModuleFileName.
std::string ModuleFileName();

/// Makes ModuleFileName report another file (tests place the program's
/// "brellon.ini" in a folder of their own); an empty name undoes it.
void SetModuleFileName(const std::string& winPath);

/// The common application data folder in Windows form, without a trailing
/// separator: $XDG_DATA_HOME, else ~/.local/share.
std::string CommonAppDataFolder();

}  // namespace plat
