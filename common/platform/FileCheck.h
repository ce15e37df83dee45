// Why a user's file cannot be opened, in words a user can act on.
#pragma once

#include <cstdint>
#include <string>

namespace plat {

/// Tries the open a load makes (read, without sharing) on a Windows path.
/// Empty when the file opens; otherwise why not: "there is no such file",
/// "it is a folder, not a file", "another program has it open" (held
/// without sharing, as Palm Desktop and HotSync hold their files), or the
/// system's reason ("Permission denied", ...). The file is closed again.
std::string WhyCannotOpen(const std::string& winPath);

/// The size of a file in bytes by its Windows path; -1 when it cannot be had.
int64_t HostFileSize(const std::string& winPath);

}  // namespace plat
