// The 6.x contacts facade on a Jet 4 database of 20,000 contacts written by
// an independent Jet writer, against mdb-export of the same Main table to
// /dev/null, in one run; then 2,000 deletions with their write-back.
//
//   build/bench_jet /path/to/Address20k.mdb [--runs N]
//
// Each measure is the median of N runs (default 5), taken in turn (export,
// load, export, load ...) so that both meet the same machine. The deletion
// runs each work on a fresh copy of the file: every tenth contact is deleted
// through the facade (DeleteRecord), then Save makes the run's backup copy
// and writes the Status bytes in place; the time runs from the first
// deletion to the end of Save.
#include "palm/PalmAddrInfo.h"
#include "palm/PalmEnv.h"
#include "palmfixture/FixtureJet.h"
#include "palmfixture/PalmFixture.h"
#include "platform/File.h"

#include "BenchEnv.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace {

constexpr uint32_t kVersion = 60000;
constexpr size_t kDeleted = 2000;

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

double Seconds(std::chrono::steady_clock::time_point a, std::chrono::steady_clock::time_point b)
{
    return std::chrono::duration<double>(b - a).count();
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_jet Address20k.mdb [--runs N]\n");
        return 2;
    }
    const std::string source = argv[1];
    int runs = 5;
    for (int i = 2; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--runs") == 0)
            runs = std::max(1, std::atoi(argv[++i]));

    char pattern[] = "/tmp/tarnwick-bench-jet-XXXXXX";
    const std::string root = mkdtemp(pattern);
    benchenv::UseProgramFolder(root);
    palmfix::Installation inst;
    inst.winePrefix = root + "/prefix";
    inst.dir = root + "/prefix/drive_c/Palm";
    inst.version[0] = 6;
    inst.version[1] = 0;
    inst.users = {"Jet"};
    setenv("WINEPREFIX", inst.winePrefix.c_str(), 1);
    std::string error;
    if (!palmfix::WriteInstallation(inst, &error) || !LoadPalmLibraries(PM_LIB_USERDATA)) {
        std::fprintf(stderr, "bench_jet: %s\n", error.c_str());
        return 1;
    }
    const std::string folder = palmfix::UserHostFolder(inst, inst.users[0]);
    std::filesystem::create_directories(folder + "address");
    const std::string file = folder + "address/Address.mdb";
    auto restore = [&] {
        std::filesystem::copy_file(source, file, std::filesystem::copy_options::overwrite_existing);
        for (const auto& e : std::filesystem::directory_iterator(folder + "address"))
            if (e.path().extension() == ".bak")
                std::filesystem::remove(e.path());
        plat::ResetBackups();
    };
    restore();
    const int32_t user = int32_t(palmfix::UserId(inst.users[0]));
    const std::string exportCommand = "mdb-export '" + file + "' Main > /dev/null";

    std::vector<double> exports, loads;
    size_t contacts = 0;
    for (int r = 0; r < runs; ++r) {
        auto a = std::chrono::steady_clock::now();
        if (std::system(exportCommand.c_str()) != 0) {
            std::fprintf(stderr, "bench_jet: mdb-export failed (is the mdbtools package installed?)\n");
            return 1;
        }
        auto b = std::chrono::steady_clock::now();
        exports.push_back(Seconds(a, b));
        PmAddrInfo info(kVersion);
        a = std::chrono::steady_clock::now();
        if (!info.LoadByUser(user)) {
            std::fprintf(stderr, "bench_jet: the facade could not load %s\n", file.c_str());
            return 1;
        }
        b = std::chrono::steady_clock::now();
        loads.push_back(Seconds(a, b));
        contacts = info.GetCommMgr()->Count();
    }

    std::vector<double> deletions, firsts, saves;
    for (int r = 0; r < runs; ++r) {
        restore();
        PmAddrInfo info(kVersion);
        if (!info.LoadByUser(user))
            return 1;
        CommAddrMgr* mgr = info.GetCommMgr();
        const size_t step = std::max<size_t>(1, mgr->Count() / kDeleted);
        std::vector<CommAddr*> chosen;
        size_t i = 0;
        for (CommAddr* rec = mgr->First(); rec && chosen.size() < kDeleted; rec = mgr->Next(), ++i)
            if (i % step == 0)
                chosen.push_back(rec);
        const auto a = std::chrono::steady_clock::now();
        bool ok = true;
        std::chrono::steady_clock::time_point first;
        for (CommAddr* rec : chosen) {
            ok = info.DeleteRecord(rec) && ok;
            if (rec == chosen.front())
                first = std::chrono::steady_clock::now();
        }
        const auto beforeSave = std::chrono::steady_clock::now();
        ok = info.Save() && ok;
        const auto b = std::chrono::steady_clock::now();
        firsts.push_back(Seconds(a, first));
        saves.push_back(Seconds(beforeSave, b));
        if (!ok || chosen.size() != kDeleted) {
            std::fprintf(stderr, "bench_jet: a deletion or the save failed\n");
            return 1;
        }
        deletions.push_back(Seconds(a, b));
    }
    std::filesystem::remove_all(root);

    const double exportMs = Median(exports) * 1000, loadMs = Median(loads) * 1000;
    std::printf("contacts loaded:                 %zu\n", contacts);
    std::printf("mdb-export Main > /dev/null:     %.0f ms (median of %d)\n", exportMs, runs);
    std::printf("facade load:                     %.0f ms (median of %d)\n", loadMs, runs);
    std::printf("load / export:                   %.2f\n", exportMs > 0 ? loadMs / exportMs : 0.0);
    std::printf("%zu deletions and Save:        %.0f ms (median of %d)\n", kDeleted, Median(deletions) * 1000, runs);
    std::printf("  the first deletion:            %.1f ms\n", Median(firsts) * 1000);
    std::printf("  Save (backup, writes, flush):  %.0f ms\n", Median(saves) * 1000);
    return 0;
}
