// palmfixture DIR [--version A.B.C.D] [--user NAME]... [--without LIBRARY]
//             [--drop-export LIBRARY:NAME] [--wine-prefix PREFIX]
//             [--palmsource] [--hotsync-path]
//             [--records N [--duplicates N] [--seed S]] [--jet JETDIR]
// Writes a Palm Desktop installation into DIR; with --records, every user
// gets generated data in the generation that the version selects. With --jet,
// every user gets the four Jet databases of JETDIR (the version then defaults
// to 6.0).
#include "palmfixture/FixtureJet.h"
#include "palmfixture/Generator.h"
#include "palmfixture/PalmFixture.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

int Usage()
{
    std::fprintf(stderr,
                 "usage: palmfixture DIR [--version A.B.C.D] [--user NAME]... [--without LIBRARY]...\n"
                 "                   [--drop-export LIBRARY:NAME]... [--wine-prefix PREFIX]\n"
                 "                   [--palmsource] [--hotsync-path]\n"
                 "                   [--records N [--duplicates N] [--seed S]] [--jet JETDIR]\n"
                 "  --palmsource    name the folder in HKLM\\Software\\PalmSource\\Desktop\\Core\n"
                 "                  (default: HKCU\\Software\\U.S. Robotics\\Pilot Desktop\\Core)\n"
                 "  --hotsync-path  name it by HotSyncPath instead of DesktopPath\n"
                 "  --records N     N live records per user and application, of which\n"
                 "  --duplicates N  N are copies of an earlier one (seeded by --seed)\n"
                 "  --jet JETDIR    copy Address.mdb, DateBook.mdb, Todolist.mdb and MemoPad.mdb\n"
                 "                  of JETDIR (Jet 4 databases) to every user (version 6.0 unless given)\n");
    return 2;
}

bool ParseVersion(const char* text, uint16_t v[4])
{
    unsigned a, b, c, d;
    char tail;
    if (std::sscanf(text, "%u.%u.%u.%u%c", &a, &b, &c, &d, &tail) != 4 || a > 65535 || b > 65535 || c > 65535 ||
        d > 65535)
        return false;
    v[0] = uint16_t(a);
    v[1] = uint16_t(b);
    v[2] = uint16_t(c);
    v[3] = uint16_t(d);
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    palmfix::Installation inst;
    bool usersGiven = false;
    bool generate = false;
    palmfix::GenOptions gen;
    std::string jetDir;
    bool versionGiven = false;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&](const char** out) {
            if (i + 1 >= argc)
                return false;
            *out = argv[++i];
            return true;
        };
        const char* v = nullptr;
        if (a == "--version") {
            if (!value(&v) || !ParseVersion(v, inst.version)) {
                std::fprintf(stderr, "palmfixture: --version needs A.B.C.D\n");
                return 2;
            }
            versionGiven = true;
        } else if (a == "--user") {
            if (!value(&v))
                return Usage();
            if (!usersGiven)
                inst.users.clear();
            usersGiven = true;
            inst.users.push_back(v);
        } else if (a == "--without") {
            if (!value(&v))
                return Usage();
            inst.withoutLibraries.push_back(v);
        } else if (a == "--drop-export") {
            if (!value(&v) || !std::strchr(v, ':'))
                return Usage();
            const char* colon = std::strchr(v, ':');
            inst.droppedExports.emplace_back(std::string(v, colon), std::string(colon + 1));
        } else if (a == "--wine-prefix") {
            if (!value(&v))
                return Usage();
            inst.winePrefix = v;
        } else if (a == "--records" || a == "--duplicates" || a == "--seed") {
            char* end = nullptr;
            if (!value(&v))
                return Usage();
            unsigned long n = std::strtoul(v, &end, 10);
            if (!*v || *end || n > 0xFFFFFFFFul) {
                std::fprintf(stderr, "palmfixture: %s needs a number\n", a.c_str());
                return 2;
            }
            if (a == "--records") {
                gen.records = uint32_t(n);
                generate = true;
            } else if (a == "--duplicates") {
                gen.duplicates = uint32_t(n);
            } else {
                gen.seed = uint32_t(n);
            }
        } else if (a == "--jet") {
            if (!value(&v))
                return Usage();
            jetDir = v;
        } else if (a == "--palmsource") {
            inst.registryKey = palmfix::RegistryKey::PalmSourceLocalMachine;
        } else if (a == "--hotsync-path") {
            inst.registryValue = palmfix::RegistryValue::HotSyncPath;
        } else if (a == "-h" || a == "--help") {
            Usage();
            return 0;
        } else if (!a.empty() && a[0] == '-') {
            return Usage();
        } else if (inst.dir.empty()) {
            inst.dir = a;
        } else {
            return Usage();
        }
    }
    if (inst.dir.empty())
        return Usage();
    if (!jetDir.empty()) {
        if (generate) {
            std::fprintf(stderr, "palmfixture: --jet and --records exclude each other\n");
            return 2;
        }
        if (!versionGiven) {
            static const uint16_t kSix[4] = {6, 0, 0, 0};
            std::copy(kSix, kSix + 4, inst.version);
        }
        if (palmfix::GenGeneration(palmfix::kGenAddr, palmfix::GenVersionNumber(inst.version)) != 3) {  // 6.x
            std::fprintf(stderr, "palmfixture: --jet needs a 6.x version\n");
            return 2;
        }
    }
    std::string error;
    if (!palmfix::WriteInstallation(inst, &error)) {
        std::fprintf(stderr, "palmfixture: %s\n", error.c_str());
        return 1;
    }
    if (generate) {
        uint32_t version = palmfix::GenVersionNumber(inst.version);
        for (const std::string& user : inst.users) {
            if (!palmfix::GenerateUserData(palmfix::UserHostFolder(inst, user), version, gen, palmfix::kGenAll,
                                           &error)) {
                std::fprintf(stderr, "palmfixture: data of %s: %s\n", user.c_str(), error.c_str());
                return 1;
            }
        }
    }
    for (const std::string& user : inst.users) {
        if (!jetDir.empty() && !palmfix::CopyJetDatabases(jetDir, palmfix::UserHostFolder(inst, user), &error)) {
            std::fprintf(stderr, "palmfixture: data of %s: %s\n", user.c_str(), error.c_str());
            return 1;
        }
    }
    std::printf("Palm Desktop %u.%u.%u.%u written to %s\n", inst.version[0], inst.version[1], inst.version[2],
                inst.version[3], palmfix::InstallWinPath(inst).c_str());
    for (const std::string& user : inst.users)
        std::printf("  user %s (id %u): %s\n", user.c_str(), palmfix::UserId(user),
                    palmfix::UserHostFolder(inst, user).c_str());
    return 0;
}
