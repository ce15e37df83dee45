// Loading and saving a classic contacts file of 50,000 contacts, against
// reading the file's bytes from the page cache.
//
//   build/bench_classic_load
#include "palm/PalmAddr.h"
#include "palmfixture/FixtureClassic.h"
#include "platform/File.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

constexpr uint32_t kContacts = 50000;

const std::string& FilePath()
{
    static std::string path;
    if (!path.empty())
        return path;
    char pattern[] = "/tmp/tarnwick-bench-classic-XXXXXX";
    static const std::string folder = mkdtemp(pattern);
    std::atexit([] { std::filesystem::remove_all(folder); });
    path = folder + "/address.dat";
    std::string error;
    if (!palmfix::WriteClassicAddress(path, palmfix::SampleClassicAddress(kContacts), &error))
        std::abort();
    return path;
}

void BM_ReadFileBytes(benchmark::State& state)
{
    const std::string& path = FilePath();
    for (auto _ : state) {
        std::string bytes;
        plat::ReadWholeFile(path, &bytes);
        benchmark::DoNotOptimize(bytes.data());
    }
    state.counters["bytes"] = double(std::filesystem::file_size(path));
}
BENCHMARK(BM_ReadFileBytes)->Unit(benchmark::kMillisecond);

void BM_LoadContacts(benchmark::State& state)
{
    const std::string& path = FilePath();
    PmAddrUtil util;
    for (auto _ : state) {
        if (!util.LoadFile(path.c_str()) || util.GetDataMgr()->Count() != kContacts)
            state.SkipWithError("load failed");
    }
}
BENCHMARK(BM_LoadContacts)->Unit(benchmark::kMillisecond);

// A save writes a temporary file, flushes it to disk and renames it; the
// flush dominates on most disks.
void BM_SaveContacts(benchmark::State& state)
{
    const std::string& path = FilePath();
    PmAddrUtil util;
    if (!util.LoadFile(path.c_str()))
        state.SkipWithError("load failed");
    for (auto _ : state) {
        if (!util.Save(path.c_str()))
            state.SkipWithError("save failed");
    }
}
BENCHMARK(BM_SaveContacts)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
