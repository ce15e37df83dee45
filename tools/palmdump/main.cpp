// palmdump [--user ID [--apps MASK]] [--json]
// Finds the installed Palm Desktop as the wizard does (the PDPath override in
// a brellon.ini beside this program, then the folder chosen in the wizard,
// kept in its settings file, then the registry), binds the Palm
// libraries, and prints the folder, the version and the users. With --user,
// it then loads that user's applications (MASK as the AppFlag setting,
// default 15) through the facades and prints every record and the
// duplicates found under the current settings (Records.cpp).
#include "Records.h"
#include "palm/PalmEnv.h"
#include "platform/Codepage.h"

#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// Texts of the program are ANSI; the terminal and JSON readers want Unicode.
std::string Shown(const char* ansi)
{
    return plat::WideToUtf8(plat::AnsiToWide(ansi));
}

std::string JsonText(const char* ansi)
{
    std::string out = "\"";
    for (char16_t c : plat::AnsiToWide(ansi)) {
        char buf[8];
        switch (c) {
        case u'"': out += "\\\""; break;
        case u'\\': out += "\\\\"; break;
        case u'\n': out += "\\n"; break;
        case u'\r': out += "\\r"; break;
        case u'\t': out += "\\t"; break;
        default:
            if (c < 0x20 || c >= 0x80) {
                std::snprintf(buf, sizeof(buf), "\\u%04x", unsigned(c));
                out += buf;
            } else {
                out += char(c);
            }
        }
    }
    return out + "\"";
}

}  // namespace

int main(int argc, char** argv)
{
    bool json = false;
    bool haveUser = false;
    uint32_t user = 0;
    int32_t apps = kAppAddr | kAppDate | kAppTodo | kAppMemo;
    for (int i = 1; i < argc; ++i) {
        char* end = nullptr;
        if (std::strcmp(argv[i], "--json") == 0) {
            json = true;
        } else if (std::strcmp(argv[i], "--user") == 0 && i + 1 < argc) {
            // The id as the user list prints it (unsigned) or as the settings keep it (signed).
            const char* v = argv[++i];
            long long id = std::strtoll(v, &end, 0);
            if (!*v || *end || id < INT32_MIN || id > int64_t(UINT32_MAX)) {
                std::fprintf(stderr, "palmdump: --user needs a user id\n");
                return 2;
            }
            user = uint32_t(id);
            haveUser = true;
        } else if (std::strcmp(argv[i], "--apps") == 0 && i + 1 < argc) {
            const char* v = argv[++i];
            long mask = std::strtol(v, &end, 0);
            if (!*v || *end || mask < 0 || mask > 15) {
                std::fprintf(stderr, "palmdump: --apps needs a mask 0-15\n");
                return 2;
            }
            apps = int32_t(mask);
        } else {
            std::fprintf(stderr, "usage: palmdump [--user ID [--apps MASK]] [--json]\n");
            return 2;
        }
    }

    SetPalmDesktopSettingsFile(palmdump::SettingsPath());
    char folder[260];
    int rc = GetPalmDesktopPath(folder, sizeof(folder));
    uint32_t version = GetPalmDesktopVersion();
    char versionText[32];
    GetPalmDesktopVersionText(versionText);
    bool libs = LoadPalmLibraries(PM_LIB_CONDMGR | PM_LIB_USERDATA | PM_LIB_HSAPI | PM_LIB_INSTAIDE);
    LoadPalmUsers();

    if (json) {
        std::printf("{\"kind\":\"desktop\",\"result\":%d,\"folder\":%s,\"version\":%u,\"versionText\":%s,"
                    "\"libraries\":%s}\n",
                    rc, JsonText(rc == 0 ? folder : "").c_str(), version, JsonText(versionText).c_str(),
                    libs ? "true" : "false");
    } else {
        if (rc == 0)
            std::printf("Palm Desktop folder: %s\n", Shown(folder).c_str());
        else
            std::printf("Palm Desktop folder: not found (%d)\n", rc);
        std::printf("Version: %u (%s)\n", version, versionText);
        std::printf("Libraries: %s\n", libs ? "all loaded" : "not all loaded");
        std::printf("Users: %u\n", PalmUsers().Count());
    }
    for (PmUserEntry* u = PalmUsers().First(); u; u = PalmUsers().Next()) {
        char path[260];
        bool ok = GetUserDataPath(u->userID, path);
        if (json)
            std::printf("{\"kind\":\"user\",\"id\":%u,\"name\":%s,\"folder\":%s,\"dataPath\":%s}\n", u->userID,
                        JsonText(u->userName).c_str(), JsonText(u->userFolder).c_str(),
                        JsonText(ok ? path : "").c_str());
        else
            std::printf("  %u  %s  %s\n", u->userID, Shown(u->userName).c_str(),
                        ok ? Shown(path).c_str() : "(no data folder)");
    }
    FreePalmUsers();
    if (rc != 0)
        return 1;
    if (!haveUser)
        return 0;
    std::string settings = palmdump::SettingsPath();
    AppOption opt = palmdump::LoadSettings(settings);
    if (json)
        std::printf("{\"kind\":\"settings\",\"path\":%s,\"caseSensitive\":%s}\n",
                    palmdump::JsonString(palmdump::AnsiToUtf8(settings)).c_str(), opt.CaseSensitive ? "true" : "false");
    else
        std::printf("Settings: %s\n", settings.c_str());
    return palmdump::DumpUserRecords(user, apps, opt, json, stdout);
}
