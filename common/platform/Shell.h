// The shell's "open" verb: hands a file, folder or URL to the desktop's
// opener (xdg-open), started detached; its result is not awaited.
#pragma once

#include <string>

namespace plat {

/// Starts the opener on a target. A Windows path (with a drive letter or a
/// '\') is given to it as its host path; anything else, such as a "mailto:"
/// URL, as it is. False only when the opener could not be started.
bool ShellOpen(const std::string& target);

/// Replaces the opener program (tests); an empty name restores "xdg-open".
void SetShellOpener(const std::string& program);

}  // namespace plat
