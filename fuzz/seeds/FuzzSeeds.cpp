// fuzz_seeds DIR: writes the starting corpus of every fuzz target into
// DIR/<target>/, from the fixture's own writers: generated data files of the
// three generations, PE images, Wine registry files, settings files, rule
// texts and row inputs. Each seed starts with the mode byte its target reads
// where the target has modes (see the targets' comments).
#include "app/Apputil.h"
#include "misc/CxDebugUtil.h"
#include "misc/CxIniUtil.h"
#include "palmfixture/Generator.h"
#include "palmfixture/PalmFixture.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string g_out;

void Put(const std::string& target, const std::string& name, const std::string& data)
{
    fs::create_directories(g_out + "/" + target);
    std::ofstream f(g_out + "/" + target + "/" + name, std::ios::binary | std::ios::trunc);
    f.write(data.data(), std::streamsize(data.size()));
    if (!f.flush()) {
        std::fprintf(stderr, "fuzz_seeds: cannot write %s/%s\n", target.c_str(), name.c_str());
        std::exit(1);
    }
}

std::string Slurp(const fs::path& p)
{
    std::ifstream f(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

std::string Lower(std::string s)
{
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return s;
}

// Generated data of one generation, each file to its target.
void DataFiles(const std::string& scratch, uint32_t version, const char* prefix, uint32_t records)
{
    std::string user = scratch + "/" + std::to_string(version) + "-" + std::to_string(records) + "/";
    for (const char* app : {"address", "datebook", "todo", "memopad"})
        fs::create_directories(user + app);
    palmfix::GenOptions opt;
    opt.records = records;
    opt.duplicates = records / 3;
    opt.seed = records + 7;
    std::string error;
    if (!palmfix::GenerateUserData(user, version, opt, palmfix::kGenAll, &error)) {
        std::fprintf(stderr, "fuzz_seeds: %s\n", error.c_str());
        std::exit(1);
    }
    const std::pair<const char*, const char*> kinds[] = {
        {"address", "addr"}, {"datebook", "date"}, {"todo", "todo"}, {"memopad", "memo"}};
    for (const auto& entry : fs::recursive_directory_iterator(user)) {
        std::string name = Lower(entry.path().filename().string());
        std::string folder = Lower(entry.path().parent_path().filename().string());
        bool db = name.size() > 4 && name.substr(name.size() - 4) == ".mdb";
        bool dat = name.size() > 4 && name.substr(name.size() - 4) == ".dat";
        if (!entry.is_regular_file() || (!db && !dat))
            continue;
        for (const auto& [dir, kind] : kinds) {
            if (folder != dir)
                continue;
            std::string seed = std::to_string(records) + "-" + name;
            if (db)
                Put("fuzz_ex2_db", seed, Slurp(entry.path()));
            else
                Put(std::string(prefix) + kind, seed, Slurp(entry.path()));
        }
    }
}

void PeImages()
{
    const uint16_t version[4] = {4, 1, 4, 0};
    const uint16_t six[4] = {6, 2, 2, 1};
    std::string raw(1, '\0');
    Put("fuzz_pe", "palm-exe", raw + palmfix::BuildPeImage(false, "palm.exe", {}, version));
    Put("fuzz_pe", "palm-exe-6", raw + palmfix::BuildPeImage(false, "palm.exe", {}, six));
    Put("fuzz_pe", "palm-exe-no-version", raw + palmfix::BuildPeImage(false, "palm.exe", {}, nullptr));
    for (const std::string& lib : palmfix::LibraryNames())
        Put("fuzz_pe", lib, raw + palmfix::BuildPeImage(true, lib, palmfix::LibraryExports(lib), version));
    Put("fuzz_pe", "built", std::string("\x01\x03\x04\x00\x01\x00\x04\x00\x00\x00\x02\x05"
                                        "Alpha\x03"
                                        "Bet",
                                        21));
}

void Registry()
{
    std::vector<palmfix::RegKeyData> keys = {
        {"Software\\U.S. Robotics\\Pilot Desktop\\Core",
         {{"DesktopPath", "C:\\Program Files\\Palm"}, {"HotSyncPath", "C:\\Program Files\\Palm\\HotSync.exe"}}},
        {"Software\\PalmSource\\Desktop\\Core", {{"Path", "C:\\Palm \"Desktop\" \xc3\xa9t\xc3\xa9"}}},
    };
    std::string raw = std::string(1, '\0') + "Software\\PalmSource\\Desktop\\Core\n";
    Put("fuzz_registry", "user-reg", raw + palmfix::WineRegistryText(true, keys));
    Put("fuzz_registry", "system-reg", std::string(1, '\x02') + "Software\\Wine\n" +
                                           palmfix::WineRegistryText(false, keys));
    Put("fuzz_registry", "written", std::string("\x01\x02\x03Key\x02Sub\x02\x04Name\x05\x41\x00\xe9\x00\x3d\xd8", 19));
}

void Settings(const std::string& scratch)
{
    std::string ini = "[Path]\r\nPDPath=C:\\Program Files\\Palm\r\n\r\n[DCOption]\r\nUserID=-12345\r\n"
                      "AddrFile=\"C:\\Palm\\x.dat\"\r\n; comment\r\nCaseSensitive = 0 \r\n";
    Put("fuzz_ini", "small", std::string(1, '\0') + ini);
    Put("fuzz_ini", "small-round-trip", std::string(1, '\x81') + ini);
    // Every key the program writes, as it writes them.
    CxIniUtil file((scratch + "/").c_str(), "brellon.ini");
    SaveOption(file, DefaultOption());
    Put("fuzz_ini", "defaults", std::string(1, '\x82') + Slurp(scratch + "/brellon.ini"));
}

void Rules()
{
    const char* rules[] = {"W2 MO WE FR #0",       "D1 20131231T000000Z", "MP1 2+ TU #0",  "MD1 15 #0",
                           "YM1 6 #0",             "W1 SU SA 20300101",   "MP3 5+ FR #0",  "D7 #0",
                           "MD12 31 19991231T235959Z"};
    int n = 0;
    for (const char* r : rules)
        Put("fuzz_ex2_repeat", "text-" + std::to_string(n++), std::string("\x00\x80\x3c\x9d\x51", 5) + r);
    Put("fuzz_ex2_repeat", "block", std::string("\x01\x01\x10\x05\x0a\x04\x02\x03\x00\x14\x02\x03", 12));
}

void Rows()
{
    // A row input: kind and code page, deletions, categories, rows, then cells.
    uint32_t s = 12345;
    for (int kind = 0; kind < 4; ++kind) {
        std::string in;
        in += char(kind);
        in += char(0x05);
        in += char(2);
        in += char(3);
        for (int i = 0; i < 1200; ++i) {
            s = s * 1664525u + 1013904223u;
            in += char(i % 7 == 0 ? 'A' + (s >> 24) % 26 : (s >> 24) % 12);
        }
        Put("fuzz_ex2_rows", "kind-" + std::to_string(kind), in);
    }
}

// Jet 4 databases: the small ones whole (Types.mdb, and the odd files that
// hold Main and Category with a few rows, whose walks reach their ends), and
// of the others the first pages (catalogue, table definitions, the first
// data and long-value pages), whose pointers past the cut the reader refuses
// as a truncated file.
void JetFiles()
{
    const std::string dir = std::string(TARNWICK_TEST_DATA) + "/jet/";
    Put("fuzz_jet_file", "types", Slurp(dir + "Types.mdb"));
    for (const char* name : {"AddressCyrillic", "MemoStatusShort", "MemoStatusIndexed"}) {
        std::string bytes = Slurp(dir + "odd/" + name + ".mdb");
        if (bytes.empty()) {
            std::fprintf(stderr, "fuzz_seeds: cannot read odd/%s.mdb\n", name);
            std::exit(1);
        }
        Put("fuzz_jet_file", name, bytes);
    }
    for (const char* name : {"Address", "AddressChurn", "DateBook", "MemoPad", "MemoPadDel", "Todolist"}) {
        std::string bytes = Slurp(dir + name + ".mdb");
        if (bytes.empty()) {
            std::fprintf(stderr, "fuzz_seeds: cannot read %s.mdb\n", name);
            std::exit(1);
        }
        Put("fuzz_jet_file", std::string(name) + "-40", bytes.substr(0, 40 * 4096));
    }
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_seeds DIR\n");
        return 2;
    }
    g_out = argv[1];
    std::string scratch = g_out + "/.scratch";
    fs::remove_all(scratch);
    fs::create_directories(scratch);
    // The writers' log lines stay out of the working folder.
    TheLog().SetFolder((scratch + "/").c_str());
    for (uint32_t records : {1u, 4u, 12u}) {
        DataFiles(scratch, 40000, "fuzz_classic_", records);
        DataFiles(scratch, 40104, "fuzz_ex_", records);
        DataFiles(scratch, 60000, "fuzz_ex_", records);  // the databases go to fuzz_ex2_db
    }
    PeImages();
    Registry();
    Settings(scratch);
    Rules();
    Rows();
    JetFiles();
    fs::remove_all(scratch);
    return 0;
}
