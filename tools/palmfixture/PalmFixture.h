// Writes whole Palm Desktop installations for tests, benchmarks and the demo:
// palm.exe with a version resource, the four HotSync libraries with their
// export tables, the users' folders, and optionally a Wine prefix whose
// registry points at the installation.
//
// The data files of each storage generation are written by their own parts
// of the fixture (FixtureEx.cpp, FixtureClassic.cpp, FixtureEx2.cpp) into
// the folders that UserHostFolder gives.
#pragma once

#include "palm/PalmComm.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace palmfix {

/// Which registry key names the installation.
enum class RegistryKey {
    UsRoboticsCurrentUser,   // HKCU\Software\U.S. Robotics\Pilot Desktop\Core
    PalmSourceLocalMachine,  // HKLM\Software\PalmSource\Desktop\Core
};

/// Which value of the key names the folder.
enum class RegistryValue {
    DesktopPath,  // the folder itself
    HotSyncPath,  // the HotSync manager's executable in the folder
};

struct Installation {
    /// Host folder of the installation; created with its parents.
    std::string dir;
    /// palm.exe's file version.
    uint16_t version[4] = {4, 1, 4, 0};
    /// palm.exe is written only when set; without a version resource when
    /// palmExeVersion is false.
    bool writePalmExe = true;
    bool palmExeVersion = true;
    /// User names (UTF-8); each becomes a folder of the same name, which the
    /// program sees in its ANSI code page.
    std::vector<std::string> users = {"Demo User"};
    /// Libraries left out ("condmgr.dll" ...), in any case.
    std::vector<std::string> withoutLibraries;
    /// Exports left out of a library: (library, name).
    std::vector<std::pair<std::string, std::string>> droppedExports;
    /// Application folders made in each user's folder.
    std::vector<std::string> appFolders = {"address", "datebook", "todo", "memopad"};

    /// Host folder of a Wine prefix to write (user.reg, system.reg,
    /// dosdevices); empty for none. The installation is named in the
    /// registry as C:\... when dir lies under the prefix's drive_c, else
    /// through Z:, which Wine maps to '/'.
    std::string winePrefix;
    RegistryKey registryKey = RegistryKey::UsRoboticsCurrentUser;
    RegistryValue registryValue = RegistryValue::DesktopPath;
};

/// Writes the installation (and the prefix). False with *error on failure.
bool WriteInstallation(const Installation& inst, std::string* error);

/// The installation folder as the program sees it: C:\... or Z:\... with a
/// prefix, else the host path in Windows form. No trailing '\'.
std::string InstallWinPath(const Installation& inst);

/// A user's data folder, host form with a trailing '/'.
std::string UserHostFolder(const Installation& inst, const std::string& user);

/// A user's data folder as GetUserDataPath gives it (ANSI), with a trailing '\'.
std::string UserWinFolder(const Installation& inst, const std::string& user);

/// The id the user library gives a user name (UTF-8).
uint32_t UserId(const std::string& user);

/// The export names the program binds for a library (its full list).
std::vector<std::string> LibraryExports(const std::string& library);

/// The file names of the four libraries, in loading order.
const std::vector<std::string>& LibraryNames();

// Building blocks, for tests of the readers.

/// A minimal PE32 image. exports: the export table's names (a DLL when
/// isDll); version: a version resource with this fixed file version when
/// non-null.
std::string BuildPeImage(bool isDll, const std::string& moduleName, const std::vector<std::string>& exports,
                         const uint16_t* version);

/// A string value of a registry key.
struct RegValue {
    std::string name;
    std::string value;  // UTF-8
};
struct RegKeyData {
    std::string path;  // relative to the file's root, '\' separated
    std::vector<RegValue> strings;
};

/// The text of a Wine registry file (user.reg when forUser, else
/// system.reg), in the layout and with the escapes Wine writes, with a few
/// values of other kinds beside the strings.
std::string WineRegistryText(bool forUser, const std::vector<RegKeyData>& keys);

/// Makes a folder and its parents.
bool MakeDirs(const std::string& hostDir);

/// The database file name Palm Desktop stores inside a .dat file at `path`
/// (Windows or host form): the file's Windows path on drive C: of the Wine
/// prefix, or, for a file outside it, under C:\Program Files\Palm.
std::string StoredDatName(const std::string& path);

/// Lays out what Palm Desktop leaves in its files that a load keeps as
/// read, for a new file written by `util` to `path`: text prefix words of
/// both values, the file's Windows path inside, and, when `reversed`, the
/// category entries out of slot order. (Every category a tool adds with no
/// slot of its own is dirty.)
void DressLikePalmDesktop(PmDBUtil& util, PmCategoryMgr* mgr, const std::string& path, bool reversed);

/// Writes a file whole.
bool WriteFile(const std::string& hostPath, const std::string& data);

/// The data file writers create a file empty and then save into it, which
/// keeps the empty file as a backup; for a file that did not exist before,
/// that backup is removed. Call with whether the file existed before the write.
void DropBackupsOfNewFile(const std::string& winPath, bool existedBefore);

}  // namespace palmfix
