// The wizard's review page at 50,000 records:
// - filling a review list with 50,000 contacts (the model reset and the
//   view's layout and first paint), in duplicates-only and all-records mode;
// - Next on step 0 to the filled review page, with 50,000 records in each of
//   the four applications, for each generation (the facade set is built and
//   loaded, the review page reloads, detects and fills its four lists in
//   groups, each duplicate with its kept record);
// - "Tick Identical Only" there, which finds what deleting each duplicate
//   loses.
//
//   build/bench_gui_review --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
#include "Apputil.h"
#include "GuiUtil.h"
#include "Main.h"
#include "Pddata.h"
#include "PddataModel.h"

#include "misc/CxIniUtil.h"
#include "palm/CommMgr.h"
#include "palm/PalmEnv.h"
#include "palmfixture/Generator.h"
#include "palmfixture/PalmFixture.h"

#include "BenchEnv.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QPushButton>
#include <QTreeView>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

namespace {

constexpr uint32_t kRecords = 50000;

/// 50,000 contacts with distinct names, about one in ten a copy.
CommAddrMgr& Contacts()
{
    static CommAddrMgr mgr;
    if (mgr.Count() == 0) {
        for (uint32_t i = 0; i < kRecords; ++i) {
            CommAddr a{};
            uint32_t n = i % 10 == 9 ? i - 1 : i;
            a.FirstName.Set(("First" + std::to_string(n)).c_str());
            a.LastName.Set(("Last" + std::to_string(n)).c_str());
            a.Email.Set(("person" + std::to_string(n) + "@example.org").c_str());
            a.WorkPhone.Set("555-0100");
            a.Company.Set("Example Ltd");
            mgr.Add(&a);
        }
    }
    return mgr;
}

void BM_FillReviewList(benchmark::State& state)
{
    CommAddrMgr& mgr = Contacts();
    std::vector<void*> rows;
    for (uint32_t i = 0; i < mgr.Count(); ++i)
        rows.push_back(mgr.RecordAt(i));
    TRecordListModel model(TRecordKind::Addr);
    QTreeView view;
    view.setUniformRowHeights(true);
    view.setRootIsDecorated(false);
    view.setModel(&model);
    view.resize(770, 400);
    view.show();
    bool ticked = state.range(0) != 0;
    for (auto _ : state) {
        model.SetRows(rows, ticked);
        view.doItemsLayout();
        view.viewport()->repaint();
        QApplication::processEvents();
        if (model.Count() != int(kRecords)) {
            state.SkipWithError("rows missing");
            break;
        }
    }
    state.SetLabel(ticked ? "50,000 rows, ticked" : "50,000 rows, unticked");
}
BENCHMARK(BM_FillReviewList)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();

/// The same list with the duplicate groups the review page shows: the
/// 5,000 copies each followed by its kept record (Arg 0), or all 50,000
/// records with their group marks (Arg 1). Detection's keepers, the groups'
/// map, the rows, the model's reset, layout and a paint, which finds what
/// the painted copies lose.
void BM_FillGroupedReviewList(benchmark::State& state)
{
    CommAddrMgr& mgr = Contacts();
    TRecordListModel model(TRecordKind::Addr);
    QTreeView view;
    view.setUniformRowHeights(true);
    view.setRootIsDecorated(false);
    view.setModel(&model);
    view.resize(770, 400);
    view.show();
    const bool all = state.range(0) != 0;
    AppOption opt = DefaultOption();
    size_t rowsShown = 0;
    for (auto _ : state) {
        CxList<CommAddr> dups;
        std::vector<const void*> keepers;
        state.PauseTiming();  // detection itself is timed by bench_detect
        DetectAddrDups(&mgr, &dups, opt, &keepers);
        state.ResumeTiming();
        std::vector<void*> listed;
        for (CommAddr* r = dups.First(); r; r = dups.Next())
            listed.push_back(r);
        std::shared_ptr<TGroupMap> groups = MakeGroups(listed, keepers);
        std::vector<void*> rows = GroupedRows(listed, keepers);
        if (all) {
            rows.clear();
            for (uint32_t i = 0; i < mgr.Count(); ++i)
                rows.push_back(mgr.RecordAt(i));
        }
        model.SetGroups(groups, [](const void*, const void*) { return std::vector<std::string>{"Notes"}; }, !all);
        model.SetRows(std::move(rows), !all);
        view.doItemsLayout();
        view.viewport()->repaint();
        QApplication::processEvents();
        rowsShown = size_t(model.Count());
    }
    state.SetLabel(std::to_string(rowsShown) + (all ? " rows, all records with their groups" : " rows, the groups"));
}
BENCHMARK(BM_FillGroupedReviewList)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

struct Install {
    std::string root;
    palmfix::Installation inst;
};

/// An installation of one generation with 50,000 records in every
/// application, made once per generation.
const Install& InstallationOf(int gen)
{
    static Install installs[4];
    Install& s = installs[gen];
    if (!s.root.empty())
        return s;
    char pattern[] = "/tmp/tarnwick-bench-review-XXXXXX";
    s.root = mkdtemp(pattern);
    std::atexit([] {
        for (Install& i : installs)
            if (!i.root.empty())
                std::filesystem::remove_all(i.root);
    });
    benchenv::UseProgramFolder(s.root);
    s.inst.winePrefix = s.root + "/prefix";
    s.inst.dir = s.root + "/prefix/drive_c/Palm";
    s.inst.users = {"Bench User"};
    const uint16_t versions[4][4] = {{0, 0, 0, 0}, {4, 0, 1, 0}, {4, 1, 4, 0}, {6, 0, 1, 0}};
    std::memcpy(s.inst.version, versions[gen], sizeof s.inst.version);
    std::string error;
    if (!palmfix::WriteInstallation(s.inst, &error))
        std::abort();
    uint32_t v = versions[gen][0] * 10000u + versions[gen][1] * 100u + versions[gen][2];
    if (!palmfix::GenerateUserData(palmfix::UserHostFolder(s.inst, "Bench User"), v, {kRecords, kRecords / 10, 7},
                                   palmfix::kGenAll, &error))
        std::abort();
    return s;
}

void BM_NextToFilledReview(benchmark::State& state)
{
    int gen = int(state.range(0));
    const Install& s = InstallationOf(gen);
    setenv("WINEPREFIX", s.inst.winePrefix.c_str(), 1);
    std::string xdg = s.root + "/xdg";
    std::filesystem::create_directories(xdg);
    setenv("XDG_DATA_HOME", xdg.c_str(), 1);
    UnloadPalmLibraries();
    TheOption() = DefaultOption();
    TheIni().SetPath("brellon.ini");
    // A message box would wait for a user: count it as a failed run instead.
    int messages = 0;
    SetGuiMessageResponder([&messages](const GuiMessageInfo&) {
        ++messages;
        return QMessageBox::Ok;
    });
    auto main = std::make_unique<TfmMain>();
    main->show();
    QApplication::processEvents();
    auto* next = main->findChild<QPushButton*>("btnNext");
    auto* prev = main->findChild<QPushButton*>("btnPrev");
    for (auto _ : state) {
        next->click();
        QApplication::processEvents();
        state.PauseTiming();
        // The timer may not be resumed once an error is reported: the loop
        // ends here instead.
        if (main->CurrentStep() != 1 || main->DataPage()->Model(0)->Count() == 0 || messages > 0) {
            state.SkipWithError("the review page was not reached");
            break;
        }
        prev->click();
        state.ResumeTiming();
    }
    static const char* const kNames[] = {"", "classic", "4.1.x", "6.x"};
    state.SetLabel(std::string(kNames[gen]) + ", 4 x 50,000 records");
    main->close();
    main.reset();
    SetGuiMessageResponder({});
}
BENCHMARK(BM_NextToFilledReview)->DenseRange(1, 3)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

/// "Tick Identical Only" on the filled review page: what deleting each of
/// the 4 x 5,000 duplicates loses is found from every field of it and of
/// its kept record (the list otherwise finds it only for the rows painted).
void BM_TickIdenticalOnly(benchmark::State& state)
{
    int gen = int(state.range(0));
    const Install& s = InstallationOf(gen);
    setenv("WINEPREFIX", s.inst.winePrefix.c_str(), 1);
    std::string xdg = s.root + "/xdg";
    std::filesystem::create_directories(xdg);
    setenv("XDG_DATA_HOME", xdg.c_str(), 1);
    UnloadPalmLibraries();
    TheOption() = DefaultOption();
    TheIni().SetPath("brellon.ini");
    SetGuiMessageResponder([](const GuiMessageInfo&) { return QMessageBox::Ok; });
    auto main = std::make_unique<TfmMain>();
    main->show();
    QApplication::processEvents();
    main->findChild<QPushButton*>("btnNext")->click();
    QApplication::processEvents();
    auto* identical = main->findChild<QPushButton*>("btnIdentical");
    TRecordListModel* addr = main->DataPage()->Model(0);
    for (auto _ : state) {
        state.PauseTiming();
        // Each pass finds the losses afresh, as after a detection.
        main->findChild<QPushButton*>("btnRefresh")->click();
        QApplication::processEvents();
        state.ResumeTiming();
        identical->click();
        QApplication::processEvents();
        if (main->CurrentStep() != 1 || addr->Count() == 0) {
            state.SkipWithError("the review page was not reached");
            break;
        }
    }
    static const char* const kNames[] = {"", "classic", "4.1.x", "6.x"};
    state.SetLabel(std::string(kNames[gen]) + ", 4 x 5,000 duplicates, " + std::to_string(addr->CheckedCount()) +
                   " contacts identical");
    main->close();
    main.reset();
    SetGuiMessageResponder({});
}
BENCHMARK(BM_TickIdenticalOnly)->DenseRange(1, 3)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
