// palmdump [--json]
// Finds the installed Palm Desktop as the wizard does (the PDPath override in
// a brellon.ini beside this program, then the registry), binds the Palm
// libraries, and prints the folder, the version and the users.
#include "palm/PalmEnv.h"
#include "platform/Codepage.h"

#include <cstdio>
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
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--json") == 0) {
            json = true;
        } else {
            std::fprintf(stderr, "usage: palmdump [--json]\n");
            return 2;
        }
    }

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
    return rc == 0 ? 0 : 1;
}
