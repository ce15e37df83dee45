// The Palm Desktop environment: where Palm Desktop is installed, its version,
// the binding of Palm's HotSync libraries, the users and their data folders.
//
// Everything here only reads: the registry, Palm's settings and libraries
// are never written. The library bindings and the users list are
// process-wide; the folder and the version are read again at every call.
#pragma once

#include "misc/CxList.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace plat {
struct Library;
}

/// One Palm Desktop user as the user library reports it. Starts zeroed.
struct PmUserEntry {
    uint32_t userID = 0;
    char userName[64] = {};
    char userFolder[256] = {};
};

/// Bits of LoadPalmLibraries' mask, and the libraries in loading order.
enum PmPalmLibrary : uint32_t {
    PM_LIB_CONDMGR = 1,
    PM_LIB_USERDATA = 2,
    PM_LIB_HSAPI = 4,
    PM_LIB_INSTAIDE = 8,
};

/// A library's binding: the module (none when not loaded) and one entry per
/// name of its list, empty when the library is not loaded or lacks the name.
struct PmLibraryBinding {
    const char* fileName;
    const char* const* names;
    size_t nameCount;
    plat::Library* module;
    void** procs;
};

/// The binding of one library (bit of the mask); none for an unknown bit.
const PmLibraryBinding* PalmLibraryBinding(uint32_t libraryBit);

/// Section and key of a settings file that name the Palm Desktop folder.
inline constexpr const char kPmPathSection[] = "Path";
inline constexpr const char kPmPathKey[] = "PDPath";

/// Names the user's settings file (Windows form) whose "PDPath" of section
/// "Path" holds the Palm Desktop folder the user chose; empty (the start)
/// for none. Process-wide, as the library bindings are.
void SetPalmDesktopSettingsFile(const std::string& winPath);
const std::string& PalmDesktopSettingsFile();

/// The Palm Desktop folder: the "PDPath" override of section "Path" in the
/// "brellon.ini" beside the program, else the same key of the user's
/// settings file (SetPalmDesktopSettingsFile), else
/// "DesktopPath" of HKCU\Software\U.S. Robotics\Pilot Desktop\Core or, only
/// when that key is absent, of HKLM\Software\PalmSource\Desktop\Core, else
/// the folder of that key's "HotSyncPath". 0 on success, -100 for no buffer
/// or size 0, -101 for no key or no usable value, -102 when the value does
/// not fit.
int GetPalmDesktopPath(char* buffer, uint32_t size);

/// Whether a folder (Windows or host form) holds the HotSync user library
/// "UserData.dll" as a library the program can load, which the users list
/// is read through: the mark of a Palm Desktop folder.
bool PmHoldsUserLibrary(const std::string& folder);

/// major * 10000 + minor * 100 + build of palm.exe's file version;
/// 0xFFFFFFFF when it cannot be read.
uint32_t GetPalmDesktopVersion();

/// "%d.%d.%d.%d" of palm.exe's file version, or "Not Found."; text must hold
/// at least 32 bytes. True when the version was read.
bool GetPalmDesktopVersionText(char* text);

/// Loads the libraries of the mask in the order condmgr.dll, UserData.dll,
/// HSAPI.DLL, instaide.dll from the Palm Desktop folder and binds their
/// names. Stops with false at the first requested library that fails.
bool LoadPalmLibraries(uint32_t mask);

/// Drops every binding (tests; the program keeps its bindings to the end).
void UnloadPalmLibraries();

/// Reads the users into the users list (freeing the previous one). A
/// negative user count shows the message box "Error" / "Can not find any
/// Palm users in your desktop environment.".
void LoadPalmUsers();

/// Frees every entry and empties the users list.
void FreePalmUsers();

/// The users list (owned here; entries are freed by FreePalmUsers).
CxList<PmUserEntry>& PalmUsers();

/// The user's data folder: the data root immediately followed by the user's
/// folder name and one '\' (no separator is put between root and folder).
/// buffer holds 260 bytes. False without a buffer or when the root cannot
/// be read.
bool GetUserDataPath(uint32_t userID, char* buffer);

/// Writes "%s%s\\" of root and folder into buffer (260 bytes); false when it
/// does not fit.
bool PmComposeUserDataPath(const char* root, const char* folder, char* buffer);

// The wrappers of the user library's five called functions: -100 when the
// library or the function is missing.
int16_t PmUmGetUserCount();
int32_t PmUmGetUserID(int16_t index, uint32_t* id);
int32_t PmUmGetUserName(uint32_t id, char* buffer, uint16_t* size);
int32_t PmUmGetUserDirectory(uint32_t id, char* buffer, uint16_t* size);
int32_t PmUmGetRootDirectory(char* buffer, uint16_t* size);
