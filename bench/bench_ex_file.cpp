// Loading and saving a 4.1.x contacts file of 50,000 contacts, against
// reading the file's bytes from the page cache.
//
//   build/bench_ex_file
#include "palm/PalmAddrEx.h"
#include "palmfixture/FixtureEx.h"
#include "platform/File.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

constexpr uint32_t kContacts = 50000;

const std::string& FilePath()
{
    static std::string path;
    if (!path.empty())
        return path;
    char pattern[] = "/tmp/tarnwick-bench-ex-XXXXXX";
    static const std::string folder = mkdtemp(pattern);
    std::atexit([] { std::filesystem::remove_all(folder); });
    path = folder + "/address.dat";
    std::vector<PmAddrExRecord> contacts(kContacts);
    std::vector<const PmAddrExRecord*> ptrs;
    for (uint32_t i = 0; i < kContacts; ++i) {
        PmAddrExRecord& r = contacts[i];
        std::string n = std::to_string(i);
        r.RecordID = i + 1;
        r.Category = i % 3;
        r.FirstName.Set(("First" + n).c_str());
        r.LastName.Set(("Lastname" + n).c_str());
        r.Company.Set(("Company of contact number " + n).c_str());
        r.Phone[0].Set(("+1 555 01" + n).c_str());
        r.Phone[1].Set(("+1 555 02" + n).c_str());
        r.Phone[4].Set(("first" + n + "@example.com").c_str());
        r.WorkStreet.Set((n + " Main Street").c_str());
        r.WorkCity.Set("Springfield");
        r.WorkZip.Set("12345");
        if (i % 4 == 0)
            r.Note.Set(("A longer note that goes on for a while about contact " + n).c_str());
        ptrs.push_back(&r);
    }
    std::string error;
    if (!palmfix::WriteAddressDat(path, {{1, "Business"}, {2, "Personal"}}, ptrs, &error))
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
    PmAddrExUtil util;
    for (auto _ : state) {
        if (!util.LoadFile(path.c_str()) || util.DataMgr()->Count() != kContacts)
            state.SkipWithError("load failed");
    }
}
BENCHMARK(BM_LoadContacts)->Unit(benchmark::kMillisecond);

// A save builds the content in memory, writes a temporary file, flushes it
// to disk and renames it over the original; the flush dominates on most
// disks.
void BM_SaveContacts(benchmark::State& state)
{
    const std::string& path = FilePath();
    PmAddrExUtil util;
    if (!util.LoadFile(path.c_str()))
        state.SkipWithError("load failed");
    for (auto _ : state) {
        if (!util.Save())
            state.SkipWithError("save failed");
    }
}
BENCHMARK(BM_SaveContacts)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
