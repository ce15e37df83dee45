// What every benchmark that finds an installation through the program's own
// environment shares.
#pragma once

#include "platform/System.h"
#include "platform/WinPath.h"

#include <string>

namespace benchenv {

/// Makes the program look for its "brellon.ini" in `folder` (a host folder
/// the benchmark owns, normally empty) instead of beside the executable. The
/// demo's run command leaves a brellon.ini in the build folder whose PDPath
/// names the demo installation; without this a benchmark would load the demo
/// (or nothing) instead of the installation it wrote.
inline void UseProgramFolder(const std::string& folder)
{
    plat::SetModuleFileName(plat::ToWinPath(folder + "/tarnwick"));
}

}  // namespace benchenv
