// Damaged .dat files as a hostile user would give them: for each layout,
// several hundred files of all four applications (cut short, counts altered,
// bytes flipped anywhere), each loaded through its utility (and, when it
// loads, saved and loaded back) and then through its facade. Reports how
// many were refused, how many that had to be refused were not, the longest
// and the median time one file took, and the most level-0 log lines one
// operation wrote. A crash or a hang ends the run.
//
//   build/bench_malformed
#include "MalformedDat.h"

#include "palm/PalmEnv.h"
#include "palmfixture/PalmFixture.h"

#include "BenchEnv.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using namespace malformed;

namespace {

constexpr int kFilesPerApp = 100;

struct Setup {
    std::string root;
    palmfix::Installation inst;
    std::string samples[2][4];
};

std::string ReadHost(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string HostFile(const Setup& s, App app)
{
    std::string rel = RelPath(app);
    std::replace(rel.begin(), rel.end(), '\\', '/');
    return palmfix::UserHostFolder(s.inst, s.inst.users[0]) + rel;
}

/// One installation (4.1.4 installed; the facades are given the version of
/// the layout under test) and the generated files of both layouts.
const Setup& Installation()
{
    static Setup s;
    if (!s.root.empty())
        return s;
    char pattern[] = "/tmp/tarnwick-bench-malformed-XXXXXX";
    s.root = mkdtemp(pattern);
    std::atexit([] { std::filesystem::remove_all(s.root); });
    benchenv::UseProgramFolder(s.root);
    TheLog().SetFolder((s.root + "/").c_str());
    TheLog().SetEnabled(true);
    TheLog().SetLevel(0);
    s.inst.winePrefix = s.root + "/prefix";
    s.inst.dir = s.root + "/prefix/drive_c/Palm";
    s.inst.version[0] = 4;
    s.inst.version[1] = 1;
    s.inst.version[2] = 4;
    s.inst.users = {"Hostile"};
    setenv("WINEPREFIX", s.inst.winePrefix.c_str(), 1);
    std::string error;
    if (!palmfix::WriteInstallation(s.inst, &error) || !LoadPalmLibraries(PM_LIB_USERDATA))
        std::abort();
    for (int layout = 0; layout < 2; ++layout) {
        if (!palmfix::GenerateUserData(palmfix::UserHostFolder(s.inst, s.inst.users[0]),
                                       layout ? kExVersion : kClassicVersion, {200, 20, 7}, palmfix::kGenAll, &error))
            std::abort();
        for (App app : kApps)
            s.samples[layout][app] = ReadHost(HostFile(s, app));
    }
    return s;
}

void BM_DamagedFiles(benchmark::State& state)
{
    const Setup& s = Installation();
    const bool ex = state.range(0) == 1;
    const int32_t user = int32_t(palmfix::UserId(s.inst.users[0]));
    int files = 0, refused = 0, mustFailLoaded = 0;
    size_t maxLines = 0;
    std::vector<double> ms;
    for (auto _ : state) {
        for (App app : kApps) {
            const std::string& sample = s.samples[ex ? 1 : 0][app];
            Shape shape;
            if (!ReadShape(sample, ex, app, &shape)) {
                state.SkipWithError("sample unreadable");
                return;
            }
            const std::string winPath = palmfix::UserWinFolder(s.inst, s.inst.users[0]) + RelPath(app);
            Rng rng{0x2545F491u ^ (uint32_t(app) << 8) ^ (ex ? 0x5A5A0000u : 0u)};
            for (int i = 0; i < kFilesPerApp; ++i) {
                bool mustFail = false;
                std::string bytes = Damaged(sample, shape, ex, app, Damage(i % kDamageKinds), rng, &mustFail);
                std::ofstream(HostFile(s, app), std::ios::binary | std::ios::trunc) << bytes;

                auto started = std::chrono::steady_clock::now();
                CxLogCapture lines;
                std::unique_ptr<Loader> util = MakeLoader(ex, app);
                bool ok = util->Load(winPath);
                maxLines = std::max(maxLines, lines.Messages().size());
                if (ok) {
                    lines.Clear();
                    util->Save();
                    MakeLoader(ex, app)->Load(winPath);
                    maxLines = std::max(maxLines, lines.Messages().size());
                    std::ofstream(HostFile(s, app), std::ios::binary | std::ios::trunc) << bytes;
                } else {
                    ++refused;
                }
                mustFailLoaded += ok && mustFail;
                lines.Clear();
                std::unique_ptr<Facade> info = MakeFacade(app, ex ? kExVersion : kClassicVersion);
                info->LoadByUser(user);
                maxLines = std::max(maxLines, lines.Messages().size());
                ms.push_back(
                    std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count());
                ++files;
            }
        }
    }
    std::sort(ms.begin(), ms.end());
    state.counters["files"] = files;
    state.counters["refused"] = refused;
    state.counters["malformed_loaded"] = mustFailLoaded;
    state.counters["median_file_ms"] = ms.empty() ? 0 : ms[ms.size() / 2];
    state.counters["max_file_ms"] = ms.empty() ? 0 : ms.back();
    state.counters["max_log_lines"] = double(maxLines);
}

}  // namespace

// Arg 0: classic files, 1: 4.1.x files.
BENCHMARK(BM_DamagedFiles)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
