// Walking every column of a Jet 4 table through jet::Database, against
// reading the file's bytes from the page cache. The file is a generated one
// too large to keep in the tree: JET_BENCH_FILE, else
// /tmp/jetgen/Address20k.mdb (20,000 contacts, 82 MB); the benchmarks are
// skipped when it is missing.
//
//   build/bench_jet_reader --benchmark_repetitions=5
#include "jet/JetFile.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fstream>
#include <vector>
#include <string>

namespace {

std::string FilePath()
{
    const char* env = std::getenv("JET_BENCH_FILE");
    return env && *env ? env : "/tmp/jetgen/Address20k.mdb";
}

void BM_ReadFileBytes(benchmark::State& state)
{
    std::ifstream probe(FilePath(), std::ios::binary);
    if (!probe) {
        state.SkipWithError("no benchmark file");
        return;
    }
    std::vector<char> buf(1 << 20);
    for (auto _ : state) {
        std::ifstream in(FilePath(), std::ios::binary);
        size_t total = 0;
        while (in.read(buf.data(), std::streamsize(buf.size())) || in.gcount() > 0)
            total += size_t(in.gcount());
        benchmark::DoNotOptimize(total);
    }
}
BENCHMARK(BM_ReadFileBytes)->Unit(benchmark::kMillisecond);

void BM_WalkMainAllColumns(benchmark::State& state)
{
    jet::Database db;
    std::string error;
    if (!db.Open(FilePath(), &error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    std::vector<jet::ColumnInfo> cols;
    if (!db.Columns("Main", &cols, &error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    std::vector<std::string> names;
    for (const auto& c : cols)
        names.push_back(c.name);
    size_t rows = 0;
    for (auto _ : state) {
        auto cur = db.Walk("Main", names, &error);
        rows = 0;
        while (cur && cur->Next(&error))
            ++rows;
        if (!cur || !cur->Done()) {
            state.SkipWithError(error.c_str());
            return;
        }
    }
    state.counters["rows"] = double(rows);
}
BENCHMARK(BM_WalkMainAllColumns)->Unit(benchmark::kMillisecond);

// One row read by its key, as a deletion checks its row: every call reads
// the table's definition and usage map again, then the row's pages.
void BM_ReadRowByKey(benchmark::State& state)
{
    jet::Database db;
    std::string error;
    if (!db.Open(FilePath(), &error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    std::vector<jet::RowKey> keys;
    auto cur = db.Walk("Main", {"Status"}, &error);
    while (cur && cur->Next(&error))
        keys.push_back(cur->Key());
    if (keys.empty()) {
        state.SkipWithError("no rows");
        return;
    }
    std::vector<jet::Value> row;
    size_t i = 0;
    for (auto _ : state) {
        if (!db.ReadRow("Main", {"Record ID", "Status", "Note"}, keys[i++ % keys.size()], &row, &error)) {
            state.SkipWithError(error.c_str());
            return;
        }
    }
}
BENCHMARK(BM_ReadRowByKey)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
