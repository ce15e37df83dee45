// Process-level services: local time, thread id, the program's own file.
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

/// The program's own file in Windows form (the host path with '/' shown as '\').
std::string ModuleFileName();

}  // namespace plat
