// The wizard's own path without a window, per storage generation, on generated
// installations with the same number of records in each of the four
// applications:
//   (1) leaving step 0: the facade set is built for the user with all four
//       applications chosen (every application is loaded);
//   (2) entering the review page: the set reloads, detects the duplicates of
//       each application and fills the four review models;
//   (3) the ticks: a number of duplicates per application stays ticked (the
//       first ones; the others are unticked), and leaving the review page
//       marks the ticked records as selected;
//   (4) the deletion as the deletion page runs it, per application: every
//       selected record of the duplicate list is deleted, then the facade
//       saves.
// Beside the phases: the time to read the four data files' bytes from the page
// cache, and the peak resident memory (getrusage's ru_maxrss) after (2) and at
// the end, against 4 times the files' bytes plus 100 MB.
//
// Every run is a process of its own, so that the peak memory is that run's:
// the program starts itself once per run and generation and prints the
// medians. The installations are generated once, into
// DIR/r<records>-d<duplicates>-s<seed>/<generation>/, and reused while that
// folder is complete; a pristine copy of the user's data folder is put back
// before each run, since the deletion changes the files (and leaves backups).
//
//   build-b/bench_wizard [--gen classic|4.1|6]... [--runs N] [--records N]
//                        [--duplicates N] [--seed N] [--delete N]
//                        [--delete-6x N] [--dir DIR] [--verify]
//
//   --gen         the generations to run, in that order (default all three)
//   --runs        runs per generation; the table shows medians (default 3)
//   --records     live records per application (default 50000)
//   --duplicates  of which exact copies of an earlier record (default a tenth)
//   --delete      ticked and deleted per application (default: --duplicates)
//   --delete-6x   the same for 6.x (default 100; 0 skips phase 4 for 6.x).
//                 A 6.x deletion updates its row at once and took about 50 ms
//                 a record when this was written, so 4 x 5,000 took about 16
//                 minutes a run; the table gives the time per record as well
//   --dir         where the installations are kept (default
//                 /tmp/tarnwick-bench-wizard)
//   --verify      after the measured phases, load each application again and
//                 check that exactly the deleted records are gone
//
// The full run of the README's figures:
//   build-b/bench_wizard --runs 3
// A smoke run:
//   build-b/bench_wizard --records 2000 --runs 1 --verify
#include "Apputil.h"
#include "ApputilFacadeSet.h"
#include "BenchEnv.h"
#include "PddataModel.h"
#include "RecordFields.h"

#include "misc/CxDebugUtil.h"
#include "palm/PalmEnv.h"
#include "palmfixture/Generator.h"
#include "palmfixture/PalmFixture.h"

#include <QCoreApplication>

#include <sys/resource.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <unordered_set>
#include <vector>

namespace fs = std::filesystem;

namespace {

const char kUser[] = "Bench User";

struct Generation {
    const char* key;   ///< what --gen takes and the folder name
    const char* name;  ///< what the table shows
    uint16_t version[4];
};

// The installed versions the facades take for each generation.
const Generation kGenerations[] = {
    {"classic", "classic", {4, 0, 1, 0}},
    {"4.1", "4.1.x", {4, 1, 4, 0}},
    {"6", "6.x", {6, 0, 1, 0}},
};

const char* const kAppNames[kPmAppCount] = {"contacts", "calendar", "tasks", "notes"};

struct Options {
    std::vector<int> gens;
    int runs = 3;
    uint32_t records = 50000;
    int64_t duplicates = -1;  ///< -1: a tenth of the records
    uint32_t seed = 7;
    int64_t remove = -1;     ///< -1: the duplicates
    int64_t remove6x = 100;  ///< clamped to the duplicates
    std::string dir = "/tmp/tarnwick-bench-wizard";
    bool verify = false;
    // The program's own children: one generation's installation, one run.
    int generateChild = -1;
    int runChild = -1;

    uint32_t Duplicates() const { return duplicates < 0 ? records / 10 : uint32_t(duplicates); }
    uint32_t ToDelete(int gen) const
    {
        int64_t n = gen == 2 ? remove6x : remove < 0 ? int64_t(Duplicates()) : remove;
        return uint32_t(std::min<int64_t>(n, Duplicates()));
    }
};

[[noreturn]] void Fail(const std::string& what)
{
    std::fprintf(stderr, "bench_wizard: %s\n", what.c_str());
    std::exit(1);
}

bool ParseNumber(const char* text, int64_t* out)
{
    char* end = nullptr;
    errno = 0;
    long long v = std::strtoll(text, &end, 10);
    if (errno != 0 || end == text || *end != '\0' || v < 0)
        return false;
    *out = v;
    return true;
}

int GenerationIndex(const std::string& key)
{
    for (int i = 0; i < 3; ++i)
        if (key == kGenerations[i].key || key == kGenerations[i].name)
            return i;
    return -1;
}

Options ParseOptions(int argc, char** argv)
{
    Options o;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&]() -> const char* {
            if (i + 1 >= argc)
                Fail(a + " needs a value");
            return argv[++i];
        };
        auto number = [&]() {
            int64_t v = 0;
            const char* text = value();
            if (!ParseNumber(text, &v))
                Fail(a + ": not a number: " + text);
            return v;
        };
        auto generation = [&]() {
            int g = GenerationIndex(value());
            if (g < 0)
                Fail(a + ": the generation is classic, 4.1 or 6");
            return g;
        };
        if (a == "--gen")
            o.gens.push_back(generation());
        else if (a == "--runs")
            o.runs = int(std::max<int64_t>(1, number()));
        else if (a == "--records")
            o.records = uint32_t(number());
        else if (a == "--duplicates")
            o.duplicates = number();
        else if (a == "--seed")
            o.seed = uint32_t(number());
        else if (a == "--delete")
            o.remove = number();
        else if (a == "--delete-6x")
            o.remove6x = number();
        else if (a == "--dir")
            o.dir = value();
        else if (a == "--verify")
            o.verify = true;
        else if (a == "--generate-child")
            o.generateChild = generation();
        else if (a == "--run-child")
            o.runChild = generation();
        else
            Fail("unknown option " + a + " (see the comment at the top of bench/bench_wizard.cpp)");
    }
    if (o.records < 2)
        Fail("--records must be at least 2");
    if (o.Duplicates() >= o.records)
        Fail("--duplicates must be below --records");
    if (o.gens.empty())
        o.gens = {0, 1, 2};
    return o;
}

/// The options a child needs to find and treat the same installation.
std::vector<std::string> ChildArgs(const Options& o)
{
    return {"--records", std::to_string(o.records), "--duplicates", std::to_string(o.Duplicates()),
            "--seed", std::to_string(o.seed), "--delete", std::to_string(o.ToDelete(0)),
            "--delete-6x", std::to_string(o.ToDelete(2)), "--dir", o.dir};
}

// ---------------------------------------------------------------------------
// The installations.

struct Place {
    std::string root;      ///< this generation's folder
    std::string pristine;  ///< the untouched copy of the user's data folder
    palmfix::Installation inst;
    std::string userFolder;  ///< host form, no trailing '/'
};

Place PlaceOf(const Options& o, int gen)
{
    Place p;
    p.root = o.dir + "/r" + std::to_string(o.records) + "-d" + std::to_string(o.Duplicates()) + "-s" +
             std::to_string(o.seed) + "/" + kGenerations[gen].key;
    p.pristine = p.root + "/pristine";
    p.inst.winePrefix = p.root + "/prefix";
    p.inst.dir = p.root + "/prefix/drive_c/Palm";
    p.inst.users = {kUser};
    std::memcpy(p.inst.version, kGenerations[gen].version, sizeof p.inst.version);
    p.userFolder = palmfix::UserHostFolder(p.inst, kUser);
    while (!p.userFolder.empty() && p.userFolder.back() == '/')
        p.userFolder.pop_back();
    return p;
}

std::string CompleteMark(const Place& p) { return p.root + "/complete"; }

/// Writes the installation and its pristine copy; the mark comes last, so a
/// generation cut short is made again by the next run.
void Generate(const Options& o, int gen)
{
    Place p = PlaceOf(o, gen);
    std::error_code ec;
    fs::remove_all(p.root, ec);
    fs::create_directories(p.root, ec);
    std::string error;
    if (!palmfix::WriteInstallation(p.inst, &error))
        Fail("cannot write the installation: " + error);
    uint32_t version = palmfix::GenVersionNumber(p.inst.version);
    if (!palmfix::GenerateUserData(p.userFolder + "/", version, {o.records, o.Duplicates(), o.seed}, palmfix::kGenAll,
                                   &error))
        Fail("cannot generate the data: " + error);
    fs::copy(p.userFolder, p.pristine, fs::copy_options::recursive, ec);
    if (ec)
        Fail("cannot copy the data: " + ec.message());
    std::ofstream(CompleteMark(p)) << "done\n";
}

/// Puts the pristine data folder back in place of the user's data folder.
void Restore(const Place& p)
{
    std::error_code ec;
    fs::remove_all(p.userFolder, ec);
    fs::copy(p.pristine, p.userFolder, fs::copy_options::recursive, ec);
    if (ec)
        Fail("cannot restore the data folder: " + ec.message());
}

/// The data files of the user's folder, largest first.
std::vector<std::string> DataFiles(const Place& p)
{
    std::vector<std::pair<uintmax_t, std::string>> sized;
    for (const auto& e : fs::recursive_directory_iterator(p.userFolder))
        if (e.is_regular_file())
            sized.push_back({e.file_size(), e.path().string()});
    std::sort(sized.rbegin(), sized.rend());
    std::vector<std::string> files;
    for (auto& s : sized)
        files.push_back(s.second);
    return files;
}

/// Reads a file's bytes into a buffer of its size; the bytes read.
uint64_t ReadBytes(const std::string& path)
{
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        Fail("cannot open " + path);
    off_t size = lseek(fd, 0, SEEK_END);
    lseek(fd, 0, SEEK_SET);
    std::string bytes(size_t(size), '\0');
    size_t got = 0;
    while (got < bytes.size()) {
        ssize_t n = read(fd, &bytes[got], bytes.size() - got);
        if (n <= 0)
            break;
        got += size_t(n);
    }
    close(fd);
    if (got != bytes.size())
        Fail("short read of " + path);
    return got;
}

// ---------------------------------------------------------------------------
// One run.

struct Clock {
    std::chrono::steady_clock::time_point wall = std::chrono::steady_clock::now();
    double cpu = CpuMs();

    static double CpuMs()
    {
        timespec t{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
        return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
    }
    double WallMs() const
    {
        return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - wall).count();
    }
    double ElapsedCpuMs() const { return CpuMs() - cpu; }
};

/// Results go to the parent as "@ key value" lines on standard output.
void Put(const std::string& key, double value) { std::printf("@ %s %.6f\n", key.c_str(), value); }

void PutSpan(const std::string& key, const Clock& c)
{
    Put(key + ".wall", c.WallMs());
    Put(key + ".cpu", c.ElapsedCpuMs());
}

double PeakMb()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_maxrss) / 1024.0;  // kilobytes on Linux
}

template <typename T>
std::vector<void*> ListRows(CxList<T>* list)
{
    std::vector<void*> rows;
    rows.reserve(list->Count());
    for (T* r = list->First(); r; r = list->Next())
        rows.push_back(r);
    return rows;
}

/// The deletion page's pass over one application: every selected record of
/// the list is deleted, then the facade saves (when the list held anything).
/// The deleted count, or -1 when the save failed.
template <typename T, typename Facade>
int64_t DeletePass(const std::string& app, CxList<T>* list, Facade* facade)
{
    Clock all;
    int64_t deleted = 0;
    int64_t entries = 0;
    for (T* rec = list->First(); rec; rec = list->Next()) {
        ++entries;
        if ((rec->Trailer.MarkFlags & kCommMarkSelected) && facade->DeleteRecord(rec))
            ++deleted;
    }
    Clock save;
    bool saved = entries == 0 || facade->Save();
    PutSpan("save." + app, save);
    PutSpan("delsave." + app, all);
    Put("delete." + app + ".wall", all.WallMs() - save.WallMs());
    return saved ? deleted : -1;
}

template <typename Facade>
int64_t CountAfterReload(int32_t user)
{
    Facade f;
    if (!f.LoadByUser(user))
        return -1;
    return int64_t(f.GetCommMgr()->Count());
}

int RunOnce(const Options& o, int gen, int argc, char** argv)
{
    Place p = PlaceOf(o, gen);
    if (!fs::exists(CompleteMark(p)))
        Fail("no installation in " + p.root);
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("WINEPREFIX", p.inst.winePrefix.c_str(), 1);
    std::string program = p.root + "/program";
    std::string xdg = p.root + "/xdg";
    fs::create_directories(program);
    fs::create_directories(xdg);
    setenv("XDG_DATA_HOME", xdg.c_str(), 1);
    benchenv::UseProgramFolder(program);
    TheLog().SetFolder((plat::ToWinPath(program) + "\\").c_str());
    TheLog().SetEnabled(false);
    QCoreApplication app(argc, argv);
    Put("rss.start", PeakMb());

    Restore(p);
    std::vector<std::string> files = DataFiles(p);
    uint64_t bytes = 0;
    for (const std::string& f : files)
        bytes += ReadBytes(f);  // to the page cache
    {
        Clock read;
        for (const std::string& f : files)
            ReadBytes(f);
        PutSpan("read", read);
    }
    Put("files", double(files.size()));
    Put("bytes", double(bytes));

    // What the window does once when it opens.
    if (!LoadPalmLibraries(PM_LIB_USERDATA))
        Fail("the installation's libraries did not load");
    LoadPalmUsers();
    TheOption() = DefaultOption();
    const int32_t user = int32_t(palmfix::UserId(kUser));
    const int32_t flags = kAppAddr | kAppDate | kAppTodo | kAppMemo;
    TheOption().UserID = user;
    TheOption().AppFlag = flags;

    PmFacadeSet set;
    std::vector<const void*> keepers[kPmAppCount];
    TRecordListModel models[kPmAppCount] = {TRecordListModel(TRecordKind::Addr), TRecordListModel(TRecordKind::Date),
                                            TRecordListModel(TRecordKind::Task), TRecordListModel(TRecordKind::Note)};

    // (1) Next on step 0.
    Clock next;
    {
        Clock c;
        if (!set.Build(user, flags))
            Fail("the facade set was not built");
        PutSpan("build", c);
    }
    // (2) The review page's Enter.
    {
        Clock enter;
        {
            Clock c;
            set.Reload(user, flags);
            PutSpan("reload", c);
        }
        {
            Clock c;
            const AppOption& opt = TheOption();
            DetectAddrDups(set.Addr()->GetCommMgr(), set.AddrDups(), opt, &keepers[0]);
            DetectDateDups(set.Date()->GetCommMgr(), set.DateDups(), opt, &keepers[1]);
            DetectTaskDups(set.Todo()->GetCommMgr(), set.TodoDups(), opt, &keepers[2]);
            DetectNoteDups(set.Memo()->GetCommMgr(), set.MemoDups(), opt, &keepers[3]);
            PutSpan("detect", c);
        }
        {
            // As the review page fills: the duplicates in groups, each with
            // its kept record, and what a copy loses found for the rows
            // painted (here: none, there is no window).
            Clock c;
            const std::vector<void*> dups[kPmAppCount] = {ListRows(set.AddrDups()), ListRows(set.DateDups()),
                                                          ListRows(set.TodoDups()), ListRows(set.MemoDups())};
            for (int a = 0; a < kPmAppCount; ++a) {
                PmFacadeSet* s = &set;
                models[a].SetGroups(MakeGroups(dups[a], keepers[a]),
                                    [s, a](const void* copy, const void* keeper) {
                                        return LostFields(RecordFields(s, a, copy), RecordFields(s, a, keeper), false);
                                    },
                                    true);
                models[a].SetRows(GroupedRows(dups[a], keepers[a]), true);
            }
            PutSpan("fill", c);
        }
        PutSpan("enter", enter);
    }
    PutSpan("next", next);
    Put("rss.review", PeakMb());

    for (int a = 0; a < kPmAppCount; ++a) {
        const PmLoadResult& r = set.LoadResult(a);
        if (!r.Tried || r.Failed)
            Fail(std::string("the ") + kAppNames[a] + " did not load: " + r.Reason);
    }
    const uint32_t counts[kPmAppCount] = {set.Addr()->GetCommMgr()->Count(), set.Date()->GetCommMgr()->Count(),
                                          set.Todo()->GetCommMgr()->Count(), set.Memo()->GetCommMgr()->Count()};
    for (int a = 0; a < kPmAppCount; ++a) {
        Put(std::string("records.") + kAppNames[a], counts[a]);
        Put(std::string("found.") + kAppNames[a], models[a].CheckedCount());
        if (models[a].CheckedCount() < int(o.ToDelete(gen)))
            Fail(std::string("detection found fewer ") + kAppNames[a] + " duplicates than are to be deleted");
    }

    // (3) The ticks: the first ones stay ticked, then leaving the page.
    const int keep = int(o.ToDelete(gen));
    {
        Clock c;
        for (TRecordListModel& m : models) {
            int copies = 0;
            for (int row = 0; row < m.Count(); ++row)
                if (m.IsChecked(row) && ++copies > keep)
                    m.SetChecked(row, false);
        }
        RecordTicks(&models[0], set.AddrDups());
        RecordTicks(&models[1], set.DateDups());
        RecordTicks(&models[2], set.TodoDups());
        RecordTicks(&models[3], set.MemoDups());
        PutSpan("tick", c);
    }
    for (int a = 0; a < kPmAppCount; ++a)
        if (models[a].CheckedCount() != keep)
            Fail(std::string("the ") + kAppNames[a] + " list does not hold the ticks made");

    // (4) The deletion page, when anything is to be deleted.
    int64_t deleted[kPmAppCount] = {0, 0, 0, 0};
    if (keep > 0) {
        Clock c;
        deleted[0] = DeletePass(kAppNames[0], set.AddrDups(), set.Addr());
        deleted[1] = DeletePass(kAppNames[1], set.DateDups(), set.Date());
        deleted[2] = DeletePass(kAppNames[2], set.TodoDups(), set.Todo());
        deleted[3] = DeletePass(kAppNames[3], set.MemoDups(), set.Memo());
        PutSpan("delsave", c);
        for (int a = 0; a < kPmAppCount; ++a) {
            Put(std::string("deleted.") + kAppNames[a], double(deleted[a]));
            if (deleted[a] != keep)
                Fail(std::string("the ") + kAppNames[a] + " deletion or save failed: " + std::to_string(deleted[a]) +
                     " of " + std::to_string(keep) + " deleted");
        }
    }
    Put("rss.end", PeakMb());

    if (o.verify) {
        set.Release();
        const int64_t after[kPmAppCount] = {CountAfterReload<PmAddrInfo>(user), CountAfterReload<PmDateInfo>(user),
                                            CountAfterReload<PmTodoInfo>(user), CountAfterReload<PmMemoInfo>(user)};
        for (int a = 0; a < kPmAppCount; ++a)
            if (after[a] != int64_t(counts[a]) - deleted[a])
                Fail(std::string("after the run the ") + kAppNames[a] + " hold " + std::to_string(after[a]) +
                     " records, not " + std::to_string(int64_t(counts[a]) - deleted[a]));
        Put("verified", 1);
    }
    std::fflush(stdout);
    return 0;
}

// ---------------------------------------------------------------------------
// The parent: one child per run, the medians.

/// Runs this program again with `args`; its "@" lines into `results`, its
/// other output passed through. False when it did not end well.
bool RunChild(const std::vector<std::string>& args, std::map<std::string, double>* results)
{
    int fds[2];
    if (pipe(fds) != 0)
        return false;
    std::vector<char*> argv;
    static char self[] = "bench_wizard";
    argv.push_back(self);
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::fflush(stdout);
    std::fflush(stderr);
    pid_t pid = fork();
    if (pid < 0)
        return false;
    if (pid == 0) {
        dup2(fds[1], STDOUT_FILENO);
        close(fds[0]);
        close(fds[1]);
        execv("/proc/self/exe", argv.data());
        _exit(127);
    }
    close(fds[1]);
    std::string out;
    char buf[4096];
    ssize_t n;
    while ((n = read(fds[0], buf, sizeof buf)) > 0 || (n < 0 && errno == EINTR))
        if (n > 0)
            out.append(buf, size_t(n));
    close(fds[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    std::istringstream lines(out);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind("@ ", 0) == 0) {
            std::istringstream fields(line.substr(2));
            std::string key;
            double value = 0;
            if (fields >> key >> value && results)
                (*results)[key] = value;
        } else {
            std::printf("%s\n", line.c_str());
        }
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

double Median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    size_t m = v.size() / 2;
    return v.size() % 2 ? v[m] : (v[m - 1] + v[m]) / 2;
}

struct Runs {
    std::vector<std::map<std::string, double>> runs;

    bool Has(const std::string& key) const { return !runs.empty() && runs[0].count(key) != 0; }
    std::vector<double> All(const std::string& key) const
    {
        std::vector<double> v;
        for (const auto& r : runs) {
            auto it = r.find(key);
            if (it != r.end())
                v.push_back(it->second);
        }
        return v;
    }
    double Med(const std::string& key) const { return Median(All(key)); }
    double Min(const std::string& key) const
    {
        auto v = All(key);
        return v.empty() ? 0 : *std::min_element(v.begin(), v.end());
    }
    double Max(const std::string& key) const
    {
        auto v = All(key);
        return v.empty() ? 0 : *std::max_element(v.begin(), v.end());
    }
};

/// The first three fields of /proc/loadavg: how busy the machine was.
std::string LoadAverage()
{
    std::ifstream in("/proc/loadavg");
    std::string a, b, c;
    in >> a >> b >> c;
    return a + " " + b + " " + c;
}

std::string Thousands(uint64_t n)
{
    std::string s = std::to_string(n);
    for (int i = int(s.size()) - 3; i > 0; i -= 3)
        s.insert(size_t(i), ",");
    return s;
}

void Row(const Runs& r, const char* label, const std::string& key, const std::string& note = {})
{
    if (!r.Has(key + ".wall"))
        return;
    std::printf("  %-46s %10.1f %10.1f %10.1f %10.1f   %s\n", label, r.Med(key + ".wall"), r.Min(key + ".wall"),
                r.Max(key + ".wall"), r.Med(key + ".cpu"), note.c_str());
}

void PrintTable(const Options& o, int gen, const Runs& r, const std::string& loadBefore)
{
    const Generation& g = kGenerations[gen];
    uint32_t del = o.ToDelete(gen);
    std::printf("\n%s: 4 applications x %s records (%s duplicates each), %zu run(s), one process each\n", g.name,
                Thousands(o.records).c_str(), Thousands(o.Duplicates()).c_str(), r.runs.size());
    std::printf("  load average before the runs %s, after %s\n", loadBefore.c_str(), LoadAverage().c_str());
    std::printf("  records loaded / duplicates found:");
    for (const char* app : kAppNames)
        std::printf("  %s %s / %s", app, Thousands(uint64_t(r.Med(std::string("records.") + app))).c_str(),
                    Thousands(uint64_t(r.Med(std::string("found.") + app))).c_str());
    std::printf("\n  %-46s %10s %10s %10s %10s\n", "phase (ms)", "median", "min", "max", "CPU med.");
    double bytes = r.Med("bytes");
    Row(r, "read the data files' bytes (page cache)", "read",
        Thousands(uint64_t(r.Med("files"))) + " files, " + Thousands(uint64_t(bytes)) + " bytes");
    double read = r.Med("read.wall");
    auto times = [&](const std::string& key) {
        char text[64];
        std::snprintf(text, sizeof text, "%.1f x the read", read > 0 ? r.Med(key + ".wall") / read : 0.0);
        return std::string(text);
    };
    Row(r, "(1) build the facade set (leave step 0)", "build", times("build"));
    Row(r, "(2) enter the review page", "enter", times("enter"));
    Row(r, "    reload the four applications", "reload");
    Row(r, "    detect the duplicates", "detect");
    Row(r, "    fill the four review models", "fill");
    Row(r, "(1)+(2) Next on step 0 to the filled review", "next",
        times("next") + (o.records != 50000 ? "" : gen == 2 ? "; target 3,000 ms" : "; target 1,500 ms"));
    Row(r, ("(3) tick " + Thousands(del) + " per application").c_str(), "tick");
    if (del == 0) {
        std::printf("  (4) deletion skipped (--delete%s 0)\n", gen == 2 ? "-6x" : "");
    } else {
        for (const char* app : kAppNames) {
            std::string key = std::string("delsave.") + app;
            char note[160];
            std::snprintf(note, sizeof note, "delete %.1f + save %.1f; %.3f ms a record%s",
                          r.Med(std::string("delete.") + app + ".wall"), r.Med(std::string("save.") + app + ".wall"),
                          r.Med(key + ".wall") / del, del == 5000 && o.records == 50000 ? "; target 1,000 ms" : "");
            Row(r, ("(4) delete " + Thousands(del) + " " + app + " and save").c_str(), key, note);
        }
        Row(r, "(4) all four applications", "delsave");
    }
    double target = 4.0 * bytes / (1024.0 * 1024.0) + 100.0;
    std::printf("  peak memory (MB, median of runs): at the start %.1f, after (2) %.1f (max %.1f), at the end %.1f "
                "(max %.1f); target 4 x %.1f MB + 100 MB = %.1f MB\n",
                r.Med("rss.start"), r.Med("rss.review"), r.Max("rss.review"), r.Med("rss.end"), r.Max("rss.end"),
                bytes / (1024.0 * 1024.0), target);
    if (r.Has("verified"))
        std::printf("  verified: after each run exactly the deleted records were gone\n");
}

}  // namespace

int main(int argc, char** argv)
{
    Options o = ParseOptions(argc, argv);
    if (o.generateChild >= 0) {
        Generate(o, o.generateChild);
        return 0;
    }
    if (o.runChild >= 0)
        return RunOnce(o, o.runChild, argc, argv);

    std::printf("bench_wizard: %s records, %s duplicates, seed %u; installations in %s\n",
                Thousands(o.records).c_str(), Thousands(o.Duplicates()).c_str(), o.seed, o.dir.c_str());
    std::fflush(stdout);
    int failures = 0;
    for (int gen : o.gens) {
        Place p = PlaceOf(o, gen);
        std::vector<std::string> args = ChildArgs(o);
        if (!fs::exists(CompleteMark(p))) {
            std::fprintf(stderr, "%s: generating the installation in %s ...\n", kGenerations[gen].name,
                         p.root.c_str());
            std::vector<std::string> gargs = args;
            gargs.insert(gargs.end(), {"--generate-child", kGenerations[gen].key});
            if (!RunChild(gargs, nullptr)) {
                std::fprintf(stderr, "%s: the installation could not be generated\n", kGenerations[gen].name);
                ++failures;
                continue;
            }
        }
        Runs runs;
        const std::string loadBefore = LoadAverage();
        for (int i = 0; i < o.runs; ++i) {
            std::fprintf(stderr, "%s: run %d of %d ...\n", kGenerations[gen].name, i + 1, o.runs);
            std::vector<std::string> rargs = args;
            rargs.insert(rargs.end(), {"--run-child", kGenerations[gen].key});
            if (o.verify)
                rargs.push_back("--verify");
            std::map<std::string, double> results;
            if (!RunChild(rargs, &results)) {
                std::fprintf(stderr, "%s: run %d failed\n", kGenerations[gen].name, i + 1);
                ++failures;
                continue;
            }
            runs.runs.push_back(std::move(results));
        }
        if (!runs.runs.empty())
            PrintTable(o, gen, runs, loadBefore);
        std::fflush(stdout);
    }
    return failures == 0 ? 0 : 1;
}
