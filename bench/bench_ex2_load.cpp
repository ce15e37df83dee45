// Loading a 6.x contacts database of 50,000 contacts through the database
// utility, against reading the file's bytes from the page cache.
//
//   build/bench_ex2_load
#include "palm/PalmAddrEx2.h"
#include "palmfixture/FixtureEx2.h"
#include "platform/File.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int kContacts = 50000;

const std::string& DatabasePath()
{
    static std::string path;
    if (!path.empty())
        return path;
    char pattern[] = "/tmp/tarnwick-bench-ex2-XXXXXX";
    static const std::string folder = mkdtemp(pattern);
    std::atexit([] { std::filesystem::remove_all(folder); });
    path = folder + "/Address.mdb";
    std::vector<std::unique_ptr<PmAddrEx2Record>> records;
    std::vector<const PmAddrEx2Record*> pointers;
    for (int i = 0; i < kContacts; ++i) {
        auto r = std::make_unique<PmAddrEx2Record>();
        r->RecordID = i + 1;
        r->Category = 1 + i % 3;
        std::string n = std::to_string(i);
        r->FirstName.Set(("First" + n).c_str());
        r->LastName.Set(("O'Last" + n).c_str());
        r->Company.Set("Company of the contact");
        r->WorkPhone.Set(("555-" + n).c_str());
        r->Email1.Set(("first" + n + "@example.org").c_str());
        r->HomeStreet.Set("12 Long Street");
        r->Note.Set("A note of a few words\r\nand a second line.");
        pointers.push_back(r.get());
        records.push_back(std::move(r));
    }
    std::string error;
    if (!palmfix::WriteAddressMdb(path, {{1, "Business", 0, 0}, {2, "Personal", 0, 0}, {3, "QuickList", 0, 0}},
                                  pointers, &error))
        std::abort();
    return path;
}

void BM_ReadFileBytes(benchmark::State& state)
{
    const std::string& path = DatabasePath();
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
    const std::string& path = DatabasePath();
    PmAddrEx2Util util;
    for (auto _ : state) {
        util.DataMgr()->Clear();
        if (!util.LoadFile(path.c_str()) || util.DataMgr()->Count() != uint32_t(kContacts))
            state.SkipWithError("load failed");
    }
}
BENCHMARK(BM_LoadContacts)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
