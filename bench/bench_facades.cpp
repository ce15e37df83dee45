// Loading 50,000 generated contacts through the contacts facade (the
// generation's loader plus the conversion into common records), against
// reading the data file's bytes from the page cache, for each generation.
//
//   build/bench_facades
#include "palm/PalmAddrInfo.h"
#include "palm/PalmEnv.h"
#include "palmfixture/Generator.h"
#include "palmfixture/PalmFixture.h"
#include "platform/File.h"

#include "BenchEnv.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

constexpr uint32_t kContacts = 50000;

struct Setup {
    std::string root;
    palmfix::Installation inst;
    uint32_t user = 0;
};

/// One installation with one user per generation ("Classic", "Ex", "Ex2");
/// only the contacts are written.
const Setup& Installation()
{
    static Setup s;
    if (!s.root.empty())
        return s;
    char pattern[] = "/tmp/tarnwick-bench-facades-XXXXXX";
    s.root = mkdtemp(pattern);
    std::atexit([] { std::filesystem::remove_all(s.root); });
    benchenv::UseProgramFolder(s.root);
    s.inst.winePrefix = s.root + "/prefix";
    s.inst.dir = s.root + "/prefix/drive_c/Palm";
    s.inst.users = {"Classic", "Ex", "Ex2"};
    setenv("WINEPREFIX", s.inst.winePrefix.c_str(), 1);
    std::string error;
    if (!palmfix::WriteInstallation(s.inst, &error) || !LoadPalmLibraries(PM_LIB_USERDATA))
        std::abort();
    const uint32_t versions[3] = {40100, 40104, 60000};
    for (int i = 0; i < 3; ++i)
        if (!palmfix::GenerateUserData(palmfix::UserHostFolder(s.inst, s.inst.users[size_t(i)]), versions[i],
                                       {kContacts, kContacts / 10, 7}, palmfix::kGenAddr, &error))
            std::abort();
    return s;
}

const char* FileOf(int gen) { return gen == 3 ? "address/Address.mdb" : "address/address.dat"; }

void BM_ReadFileBytes(benchmark::State& state)
{
    const Setup& s = Installation();
    int gen = int(state.range(0));
    std::string path = palmfix::UserHostFolder(s.inst, s.inst.users[size_t(gen - 1)]) + FileOf(gen);
    for (auto _ : state) {
        std::string bytes;
        plat::ReadWholeFile(path, &bytes);
        benchmark::DoNotOptimize(bytes.data());
    }
}

void BM_FacadeLoad(benchmark::State& state)
{
    const Setup& s = Installation();
    int gen = int(state.range(0));
    const uint32_t versions[3] = {40100, 40104, 60000};
    PmAddrInfo info(versions[gen - 1]);
    int32_t user = int32_t(palmfix::UserId(s.inst.users[size_t(gen - 1)]));
    for (auto _ : state) {
        if (!info.LoadByUser(user) || info.GetCommMgr()->Count() != kContacts) {
            state.SkipWithError("load failed");
            break;
        }
    }
}

/// The generation's loader alone, for comparison.
void BM_LoaderOnly(benchmark::State& state)
{
    const Setup& s = Installation();
    int gen = int(state.range(0));
    uint32_t user = palmfix::UserId(s.inst.users[size_t(gen - 1)]);
    PmAddrUtil classic;
    PmAddrExUtil ex;
    PmAddrEx2Util ex2;
    for (auto _ : state) {
        bool ok = gen == 1 ? classic.LoadUserFile(int32_t(user)) : gen == 2 ? ex.LoadUserFile(user) : ex2.LoadByUser(user);
        // The timer may not be paused once an error is reported: the loop ends
        // here instead.
        if (!ok) {
            state.SkipWithError("load failed");
            break;
        }
        state.PauseTiming();
        classic.GetDataMgr()->Clear();
        ex.DataMgr()->Clear();
        ex2.DataMgr()->Clear();
        state.ResumeTiming();
    }
}

}  // namespace

BENCHMARK(BM_LoaderOnly)->Arg(1)->Arg(2)->Arg(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadFileBytes)->Arg(1)->Arg(2)->Arg(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FacadeLoad)->Arg(1)->Arg(2)->Arg(3)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
