#include "palm/PalmEnv.h"

#include "misc/WinUtil.h"
#include "platform/Library.h"
#include "platform/MessageBox.h"
#include "platform/Profile.h"
#include "platform/Registry.h"
#include "platform/UserLibrary.h"
#include "platform/WinPath.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char* const kCondMgrNames[] = {
    "CmGetLibVersion", "CmConvertCreatorIDToString", "CmConvertStringToCreatorID", "CmGetConduitCount",
    "CmGetCreatorIDList", "CmGetConduitCreatorID", "CmGetConduitByCreator", "CmGetConduitByIndex",
    "CmGetDiscoveryInfoByIndex", "CmGetSystemConduitCount", "CmGetSystemCreatorIDList",
    "CmGetSystemConduitCreatorID", "CmGetSystemConduitByCreator", "CmGetSystemConduitByIndex",
    "CmGetSystemDiscoveryInfoByIndex", "CmInstallConduit", "CmInstallCreator", "CmInstallConduitByStruct",
    "CmInstallSystemCreator", "CmInstallSystemConduitByStruct", "CmRemoveConduitByIndex",
    "CmRemoveConduitByCreatorID", "CmRemoveSystemConduitByIndex", "CmRemoveSystemConduitByCreatorID",
    "CmSetCreatorPriority", "CmGetCreatorPriority", "CmSetCreatorName", "CmGetCreatorName",
    "CmSetCreatorDirectory", "CmGetCreatorDirectory", "CmSetCreatorRemote", "CmGetCreatorRemote",
    "CmSetCreatorUser", "CmGetCreatorUser", "CmSetCreatorTitle", "CmGetCreatorTitle", "CmSetCreatorInfo",
    "CmGetCreatorInfo", "CmSetCreatorFile", "CmGetCreatorFile", "CmSetSystemCreatorPriority",
    "CmGetSystemCreatorPriority", "CmSetSystemCreatorName", "CmGetSystemCreatorName",
    "CmSetSystemCreatorDirectory", "CmGetSystemCreatorDirectory", "CmSetSystemCreatorRemote",
    "CmGetSystemCreatorRemote", "CmSetSystemCreatorTitle", "CmGetSystemCreatorTitle", "CmSetSystemCreatorFile",
    "CmGetSystemCreatorFile", "CmGetCreatorType", "CmSetCreatorIntegrate", "CmGetCreatorIntegrate",
    "CmSetCreatorModule", "CmGetCreatorModule", "CmSetCreatorArgument", "CmGetCreatorArgument", "CmSetComPort",
    "CmGetComPort", "CmSetBackupConduit", "CmGetBackupConduit", "CmSetNotifierDll", "CmGetNotifierDll",
    "CmSetPCIdentifier", "CmGetPCIdentifier", "CmGetCorePath", "CmSetCorePath", "CmGetHotSyncExecPath",
    "CmSetHotSyncExecPath", "CmSetCreatorValueDword", "CmGetCreatorValueDword", "CmSetCreatorValueString",
    "CmGetCreatorValueString", "CmRestoreHotSyncSettings", "FmGetCurrentUserConduitFolder",
    "FmGetCurrentUserDisabledConduitFolder", "FmGetSystemConduitFolder", "FmGetSystemDisabledConduitFolder",
    "FmGetCurrentUserConduitCount", "FmGetCurrentUserConduitByIndex", "FmDisableCurrentUserConduitByIndex",
    "FmDisableCurrentUserConduitByPath", "FmEnableCurrentUserConduitByPath", "FmGetSystemConduitCount",
    "FmGetSystemConduitByIndex", "FmDisableSystemConduitByIndex", "FmDisableSystemConduitByPath",
    "FmEnableSystemConduitByPath",
};

const char* const kUserDataNames[] = {
    "UmGetLibVersion", "UmGetUserCount", "UmGetUserID", "UmGetUserName", "UmGetUserDirectory",
    "UmGetUserPassword", "UmIsUserInstalled", "UmIsUserProfile", "UmSetUserName", "UmSetUserDirectory",
    "UmSetUserInstall", "UmSetUserPermSyncPreferences", "UmSetUserTempSyncPreferences",
    "UmGetUserPermSyncPreferences", "UmGetUserTempSyncPreferences", "UmRemoveUserTempSyncPreferences",
    "UmDeleteUserPermSyncPreferences", "UmDeleteUserTempSyncPreferences", "UmAddUser", "UmDeleteUser",
    "UmGetRootDirectory", "UmIsInstallMaskSet", "UmClearInstallMask", "UmSetInstallMask", "UmGetString",
    "UmSetString", "UmGetInteger", "UmSetInteger", "UmDeleteKey", "UmGetIDFromPath", "UmGetIDFromName",
    "UmSlotGetExpMgrVersion", "UmSlotGetSlotCount", "UmSlotGetInfo", "UmSlotGetMediaType",
    "UmSlotGetDisplayName", "UmSlotGetInstallDirectory",
};

const char* const kHsApiNames[] = {
    "HsGetApiVersion", "HsGetSyncStatus", "HsCheckApiStatus", "HsDisplayCustomDlg", "HsDisplayLog",
    "HsDisplayFileLink", "HsResetComm", "HsSetCommStatus", "HsGetCommStatus", "HsSetAppStatus",
    "HsRefreshConduitInfo",
};

// "PlmGetLibVesion" is the name the library really exports.
const char* const kInstAideNames[] = {
    "PlmGetLibVesion", "PltGetUserCount", "PltGetUser", "PltInstallFile", "PltGetFileCount", "PltGetFileName",
    "PltGetFileInfo", "PltRemoveInstallFile", "PltGetPath", "PltSetPath", "PltGetInstallFileFilter",
    "PltGetFileTypesCount", "PltGetFileTypeExtension", "PltGetInstallConduitCount", "PltGetInstallConduitInfo",
    "PltIsInstallMaskSet", "PltResetInstallMask", "PltGetInstallCreatorInfo", "PltSetInstallRegistry",
    "PltGetRegistryPath", "PltGetUserDirectory", "PltIsUserProfile", "PlmGetUserNameFromID",
    "PlmGetUserIDFromName", "PltInstallFileToDest", "PltGetInstallFileFilterForUser", "PlmSlotGetFileCount",
    "PlmSlotGetFileInfo", "PlmSlotInstallFile", "PlmSlotRemoveInstallFile", "PlmSlotMoveInstallFile",
    "PlmMoveInstallFileToSlot", "PlmMoveInstallFileToHandheld",
};

#define PM_COUNT(a) (sizeof(a) / sizeof((a)[0]))

void* g_condMgrProcs[PM_COUNT(kCondMgrNames)];
void* g_userDataProcs[PM_COUNT(kUserDataNames)];
void* g_hsApiProcs[PM_COUNT(kHsApiNames)];
void* g_instAideProcs[PM_COUNT(kInstAideNames)];

PmLibraryBinding g_libraries[4] = {
    {"condmgr.dll", kCondMgrNames, PM_COUNT(kCondMgrNames), nullptr, g_condMgrProcs},
    {"UserData.dll", kUserDataNames, PM_COUNT(kUserDataNames), nullptr, g_userDataProcs},
    {"HSAPI.DLL", kHsApiNames, PM_COUNT(kHsApiNames), nullptr, g_hsApiProcs},
    {"instaide.dll", kInstAideNames, PM_COUNT(kInstAideNames), nullptr, g_instAideProcs},
};

// Positions in kUserDataNames of the five functions the program calls.
enum { kUmGetUserCount = 1, kUmGetUserID = 2, kUmGetUserName = 3, kUmGetUserDirectory = 4, kUmGetRootDirectory = 20 };

const char kRegUsRobotics[] = "Software\\U.S. Robotics\\Pilot Desktop\\Core";
const char kRegPalmSource[] = "Software\\PalmSource\\Desktop\\Core";

CxList<PmUserEntry> g_users;
std::string g_settingsFile;

PmLibraryBinding& UserData()
{
    return g_libraries[1];
}

// The user library's module when the function at this position is bound.
const plat::Library* UserDataFor(int position)
{
    PmLibraryBinding& b = UserData();
    return b.module && b.procs[position] ? b.module : nullptr;
}

void Unbind(PmLibraryBinding& b)
{
    if (b.module)
        plat::FreeLibrary(b.module);
    b.module = nullptr;
    for (size_t i = 0; i < b.nameCount; ++i)
        b.procs[i] = nullptr;
}

bool LoadOne(PmLibraryBinding& b)
{
    Unbind(b);
    char folder[260];
    if (GetPalmDesktopPath(folder, sizeof(folder)) != 0)
        return false;
    char path[520];
    std::snprintf(path, sizeof(path), "%s\\%s", folder, b.fileName);
    b.module = plat::LoadLibrary(path);
    if (!b.module)
        return false;
    for (size_t i = 0; i < b.nameCount; ++i)
        b.procs[i] = plat::GetProcAddress(b.module, b.names[i]);
    return true;
}

// The "PDPath" of a settings file into buffer: 0 when it names a folder,
// 1 when the key is absent or empty, -102 when it does not fit. It is read
// whole, so that a value too long for the buffer is reported instead of
// being cut into another path.
int ReadPdPath(const std::string& ini, char* buffer, uint32_t size)
{
    if (ini.empty())
        return 1;
    std::vector<char> value(4096);
    size_t n = plat::GetProfileString(ini, kPmPathSection, kPmPathKey, "", value.data(), value.size());
    if (n == 0)
        return 1;
    if (n + 1 > size)
        return -102;
    std::memcpy(buffer, value.data(), n + 1);
    return 0;
}

bool ReadVersion(uint16_t v[4])
{
    char folder[260];
    if (GetPalmDesktopPath(folder, sizeof(folder)) != 0)
        return false;
    std::string exe = std::string(folder) + "\\palm.exe";
    return GetFileVersion(exe.c_str(), &v[0], &v[1], &v[2], &v[3]);
}

}  // namespace

const PmLibraryBinding* PalmLibraryBinding(uint32_t libraryBit)
{
    for (int i = 0; i < 4; ++i)
        if (libraryBit == (1u << i))
            return &g_libraries[i];
    return nullptr;
}

void SetPalmDesktopSettingsFile(const std::string& winPath) { g_settingsFile = winPath; }

const std::string& PalmDesktopSettingsFile() { return g_settingsFile; }

int GetPalmDesktopPath(char* buffer, uint32_t size)
{
    if (!buffer || size == 0)
        return -100;
    std::memset(buffer, 0, size);

    // The override beside the program, then the folder the user chose, kept
    // in the user's settings.
    char folder[260];
    if (GetModuleFolder(nullptr, folder)) {
        int found = ReadPdPath(std::string(folder) + "\\brellon.ini", buffer, size);
        if (found != 1)
            return found;
    }
    int found = ReadPdPath(g_settingsFile, buffer, size);
    if (found != 1)
        return found;

    plat::RegKey key;
    if (!key.Open(plat::RegRoot::CurrentUser, kRegUsRobotics) &&
        !key.Open(plat::RegRoot::LocalMachine, kRegPalmSource))
        return -101;

    std::string value;
    std::string result;
    // An empty "DesktopPath" names no folder; "HotSyncPath" is tried then.
    if (key.QueryString("DesktopPath", &value) && !value.empty()) {
        result = value;
    } else {
        std::string hotSync;
        if (!key.QueryString("HotSyncPath", &hotSync) || hotSync.size() + 1 > 260)
            return -101;
        std::string drive, dir;
        plat::SplitDriveDir(hotSync, &drive, &dir);
        result = drive + dir;
        if (result.empty())
            return -101;
    }
    if (result.size() + 1 > size)
        return -102;
    std::memcpy(buffer, result.c_str(), result.size() + 1);
    return 0;
}

bool PmHoldsUserLibrary(const std::string& folder)
{
    if (folder.empty())
        return false;
    plat::Library* lib = plat::LoadLibrary(folder + "\\" + g_libraries[1].fileName);
    if (!lib)
        return false;
    plat::FreeLibrary(lib);
    return true;
}

uint32_t GetPalmDesktopVersion()
{
    uint16_t v[4];
    if (!ReadVersion(v))
        return 0xFFFFFFFFu;
    return uint32_t(v[0]) * 10000u + uint32_t(v[1]) * 100u + uint32_t(v[2]);
}

bool GetPalmDesktopVersionText(char* text)
{
    if (!text)
        return false;
    uint16_t v[4];
    if (!ReadVersion(v)) {
        std::strcpy(text, "Not Found.");
        return false;
    }
    std::snprintf(text, 32, "%d.%d.%d.%d", v[0], v[1], v[2], v[3]);
    return true;
}

bool LoadPalmLibraries(uint32_t mask)
{
    for (int i = 0; i < 4; ++i)
        if ((mask & (1u << i)) && !LoadOne(g_libraries[i]))
            return false;
    return true;
}

void UnloadPalmLibraries()
{
    for (PmLibraryBinding& b : g_libraries)
        Unbind(b);
}

int16_t PmUmGetUserCount()
{
    const plat::Library* lib = UserDataFor(kUmGetUserCount);
    return lib ? plat::UmGetUserCount(lib) : int16_t(-100);
}

int32_t PmUmGetUserID(int16_t index, uint32_t* id)
{
    const plat::Library* lib = UserDataFor(kUmGetUserID);
    return lib ? plat::UmGetUserID(lib, index, id) : -100;
}

int32_t PmUmGetUserName(uint32_t id, char* buffer, uint16_t* size)
{
    const plat::Library* lib = UserDataFor(kUmGetUserName);
    return lib ? plat::UmGetUserName(lib, id, buffer, size) : -100;
}

int32_t PmUmGetUserDirectory(uint32_t id, char* buffer, uint16_t* size)
{
    const plat::Library* lib = UserDataFor(kUmGetUserDirectory);
    return lib ? plat::UmGetUserDirectory(lib, id, buffer, size) : -100;
}

int32_t PmUmGetRootDirectory(char* buffer, uint16_t* size)
{
    const plat::Library* lib = UserDataFor(kUmGetRootDirectory);
    return lib ? plat::UmGetRootDirectory(lib, buffer, size) : -100;
}

CxList<PmUserEntry>& PalmUsers()
{
    return g_users;
}

void FreePalmUsers()
{
    g_users.Clear(true);
}

void LoadPalmUsers()
{
    FreePalmUsers();
    int16_t count = PmUmGetUserCount();
    for (int16_t i = 0; i < count; ++i) {
        PmUserEntry* entry = new PmUserEntry();
        PmUmGetUserID(i, &entry->userID);
        uint16_t size = sizeof(entry->userName);
        PmUmGetUserName(entry->userID, entry->userName, &size);
        size = sizeof(entry->userFolder);
        PmUmGetUserDirectory(entry->userID, entry->userFolder, &size);
        if (!g_users.Add(entry))
            delete entry;
    }
    if (count < 0)
        plat::ShowMessage("Error", "Can not find any Palm users in your desktop environment.", plat::MsgIcon::Error);
}

bool GetUserDataPath(uint32_t userID, char* buffer)
{
    if (!buffer)
        return false;
    char root[260] = {};
    uint16_t size = sizeof(root);
    if (!UserDataFor(kUmGetRootDirectory) || PmUmGetRootDirectory(root, &size) == 0)
        return false;
    // An unknown user has no folder: answering with the bare root would send
    // every loader to the wrong place.
    char folder[260] = {};
    if (PmUmGetUserDirectory(userID, folder, &size) != 0)
        return false;
    return PmComposeUserDataPath(root, folder, buffer);
}

bool PmComposeUserDataPath(const char* root, const char* folder, char* buffer)
{
    if (!root || !folder || !buffer)
        return false;
    int n = std::snprintf(buffer, 260, "%s%s\\", root, folder);
    if (n <= 0 || n >= 260) {
        buffer[0] = '\0';
        return false;
    }
    return true;
}
