// Deleting 5,000 of 50,000 generated contacts of a 6.x database through the
// contacts facade and saving, as the wizard's deletion page does: one
// DeleteRecord per contact, then Save. The timed part starts with the first
// deletion (which makes the run's backup copy of the file) and ends when Save
// returns; the load before it and the restore of the file after it are not
// timed. Each iteration works on a fresh copy of the same database.
//
//   build/bench_ex2_delete --benchmark_repetitions=5
#include "palm/PalmAddrInfo.h"
#include "palm/PalmEnv.h"
#include "palmfixture/Generator.h"
#include "palmfixture/PalmFixture.h"
#include "platform/File.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

constexpr uint32_t kContacts = 50000;
constexpr uint32_t kDeleted = 5000;
constexpr uint32_t kVersion = 60000;

struct Setup {
    std::string root;
    palmfix::Installation inst;
    std::string file;      // the user's Address.mdb
    std::string pristine;  // its copy as generated
};

const Setup& Installation()
{
    static Setup s;
    if (!s.root.empty())
        return s;
    char pattern[] = "/tmp/tarnwick-bench-ex2-delete-XXXXXX";
    s.root = mkdtemp(pattern);
    std::atexit([] { std::filesystem::remove_all(s.root); });
    s.inst.winePrefix = s.root + "/prefix";
    s.inst.dir = s.root + "/prefix/drive_c/Palm";
    s.inst.version[0] = 6;
    s.inst.version[1] = 0;
    s.inst.users = {"Ex2"};
    setenv("WINEPREFIX", s.inst.winePrefix.c_str(), 1);
    std::string error;
    if (!palmfix::WriteInstallation(s.inst, &error) || !LoadPalmLibraries(PM_LIB_USERDATA))
        std::abort();
    std::string folder = palmfix::UserHostFolder(s.inst, s.inst.users[0]);
    if (!palmfix::GenerateUserData(folder, kVersion, {kContacts, kContacts / 10, 7}, palmfix::kGenAddr, &error))
        std::abort();
    s.file = folder + "address/Address.mdb";
    s.pristine = s.root + "/Address.mdb.pristine";
    std::filesystem::copy_file(s.file, s.pristine);
    return s;
}

/// The file as generated, without the backup copies of earlier iterations.
void Restore(const Setup& s)
{
    std::filesystem::copy_file(s.pristine, s.file, std::filesystem::copy_options::overwrite_existing);
    std::filesystem::path dir = std::filesystem::path(s.file).parent_path();
    for (const auto& e : std::filesystem::directory_iterator(dir))
        if (e.path().extension() == ".bak")
            std::filesystem::remove(e.path());
    plat::ResetBackups();
}

void BM_DeleteAndSave(benchmark::State& state)
{
    const Setup& s = Installation();
    const int32_t user = int32_t(palmfix::UserId(s.inst.users[0]));
    for (auto _ : state) {
        Restore(s);
        PmAddrInfo info(kVersion);
        if (!info.LoadByUser(user) || info.GetCommMgr()->Count() != kContacts) {
            state.SkipWithError("load failed");
            break;
        }
        // Every tenth contact, as a duplicate list spread over the file.
        std::vector<CommAddr*> chosen;
        CommAddrMgr* mgr = info.GetCommMgr();
        uint32_t i = 0;
        for (CommAddr* rec = mgr->First(); rec && chosen.size() < kDeleted; rec = mgr->Next(), ++i)
            if (i % (kContacts / kDeleted) == 0)
                chosen.push_back(rec);

        auto start = std::chrono::steady_clock::now();
        bool ok = true;
        for (CommAddr* rec : chosen)
            ok = info.DeleteRecord(rec) && ok;
        ok = info.Save() && ok;
        auto end = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
        if (!ok) {
            state.SkipWithError("a deletion or the save failed");
            break;
        }
    }
    state.counters["deleted"] = double(kDeleted);
}
BENCHMARK(BM_DeleteAndSave)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
