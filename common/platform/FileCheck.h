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

/// True when another process holds a byte-range lock anywhere in the file
/// that a Windows path names, as a database engine locks a database it reads
/// or writes (the locks of this process are not seen); false when there is
/// none or the file cannot be opened. Ask only about a file this process
/// does not have open through a database engine: closing the descriptor of
/// the look would let go of that engine's own locks.
bool HeldByRangeLock(const std::string& winPath);

/// The size of a file in bytes by its Windows path; -1 when it cannot be had.
int64_t HostFileSize(const std::string& winPath);

}  // namespace plat
