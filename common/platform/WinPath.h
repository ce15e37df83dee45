// Windows paths on the host file system.
//
// Paths inside the program stay in Windows form. Only this layer turns them
// into host paths: a path with a drive letter goes through the Wine prefix's
// dosdevices folder, any other path is used as it is with '\' read as '/'.
// A component that is not present under its exact name is matched without
// regard to ASCII case, as Windows would.
#pragma once

#include <string>
#include <string_view>

namespace plat {

/// $WINEPREFIX, or ~/.wine when it is not set; no trailing '/'.
std::string WinePrefix();

/// Host path for a Windows path. Components that exist in another case are
/// resolved to their real names; a missing tail is kept as written. Names
/// with characters above 0x7F are ANSI and become UTF-8 on the host, unless
/// a file of the very same bytes exists.
std::string ToHostPath(std::string_view winPath);

/// Windows form of a host path: '/' shown as '\', and the UTF-8 of the host
/// in the ANSI code page when all of it has a place there (else as it is).
std::string ToWinPath(std::string_view hostPath);

/// Splits a Windows path into drive ("C:" or empty) and directory (up to and
/// including the last '\' or '/'), like _splitpath.
void SplitDriveDir(std::string_view winPath, std::string* drive, std::string* dir);

/// Whether a host path names an existing file or folder.
bool HostExists(const std::string& hostPath);

}  // namespace plat
