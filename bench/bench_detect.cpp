// Duplicate detection over contacts: the engine against the pairwise pass it
// replaces, on managers of 1,000 to 100,000 contacts of which about 10% are
// copies of another contact (default contacts rule, case-sensitive).
//
//   build/bench_detect --benchmark_filter=Engine
//   build/bench_detect --benchmark_filter=Reference
#include "app/Apputil.h"
#include "app/ApputilReference.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

std::string Word(std::mt19937& rng, int len)
{
    std::string s;
    for (int i = 0; i < len; ++i)
        s += char('a' + rng() % 26);
    s[0] = char(s[0] - 32);
    return s;
}

/// The i-th distinct contact; the same i always gives the same contact.
CommAddr MakeContact(uint32_t i)
{
    std::mt19937 rng{i * 2654435761u + 1};
    CommAddr a{};
    std::string first = Word(rng, 3 + int(rng() % 6));
    std::string last = Word(rng, 4 + int(rng() % 8));
    a.FirstName.Set(first);
    a.LastName.Set(last);
    if (rng() % 3)
        a.Email.Set(first + "." + last + "@example.org");
    a.WorkPhone.Set(std::to_string(5550000 + rng() % 10000));
    a.Company.Set(Word(rng, 7));
    return a;
}

/// A manager of n contacts, n / 10 of them copies of others, in random order.
CommAddrMgr& Contacts(int n)
{
    static std::map<int, std::unique_ptr<CommAddrMgr>> cache;
    std::unique_ptr<CommAddrMgr>& mgr = cache[n];
    if (mgr)
        return *mgr;
    std::mt19937 rng{uint32_t(n)};
    const uint32_t unique = uint32_t(n - n / 10);
    std::vector<uint32_t> plan;
    for (uint32_t i = 0; i < unique; ++i)
        plan.push_back(i);
    while (plan.size() < size_t(n))
        plan.push_back(rng() % unique);
    std::shuffle(plan.begin(), plan.end(), rng);
    mgr = std::make_unique<CommAddrMgr>();
    for (uint32_t i : plan)
        mgr->Add(MakeContact(i));
    return *mgr;
}

void BM_Engine(benchmark::State& state)
{
    CommAddrMgr& mgr = Contacts(int(state.range(0)));
    CxList<CommAddr> dups;
    AppOption opt = DefaultOption();
    for (auto _ : state) {
        DetectAddrDups(&mgr, &dups, opt);
        benchmark::DoNotOptimize(dups.Count());
    }
    state.counters["listed"] = double(dups.Count());
    state.SetItemsProcessed(int64_t(state.iterations()) * state.range(0));

    // The figures only count when the engine gives the pairwise pass's list.
    if (state.range(0) <= 10000) {
        std::vector<CommAddr*> fast;
        for (CommAddr* r = dups.First(); r; r = dups.Next())
            fast.push_back(r);
        reference::DetectAddrDups(&mgr, &dups, opt);
        std::vector<CommAddr*> slow;
        for (CommAddr* r = dups.First(); r; r = dups.Next())
            slow.push_back(r);
        if (fast != slow)
            state.SkipWithError("engine and pairwise pass disagree");
    }
}

void BM_Reference(benchmark::State& state)
{
    CommAddrMgr& mgr = Contacts(int(state.range(0)));
    CxList<CommAddr> dups;
    AppOption opt = DefaultOption();
    for (auto _ : state) {
        reference::DetectAddrDups(&mgr, &dups, opt);
        benchmark::DoNotOptimize(dups.Count());
    }
    state.counters["listed"] = double(dups.Count());
    state.SetItemsProcessed(int64_t(state.iterations()) * state.range(0));
}

}  // namespace

BENCHMARK(BM_Engine)->Arg(1000)->Arg(10000)->Arg(20000)->Arg(100000)->Unit(benchmark::kMillisecond);
// The pairwise pass is quadratic: one timed run is enough for the larger sizes.
BENCHMARK(BM_Reference)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Reference)->Arg(20000)->Arg(100000)->Iterations(1)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
