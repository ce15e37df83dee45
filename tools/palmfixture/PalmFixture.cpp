#include "palmfixture/PalmFixture.h"

#include "palm/PalmEnv.h"
#include "platform/Codepage.h"
#include "platform/File.h"
#include "platform/UserLibrary.h"
#include "platform/WinPath.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace fs = std::filesystem;

namespace palmfix {

namespace {

std::string Lower(std::string s)
{
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return s;
}

bool SameNoCase(const std::string& a, const std::string& b)
{
    return Lower(a) == Lower(b);
}

void Put16(std::string& b, size_t off, uint16_t v)
{
    if (b.size() < off + 2)
        b.resize(off + 2, '\0');
    b[off] = char(v & 0xFF);
    b[off + 1] = char(v >> 8);
}

void Put32(std::string& b, size_t off, uint32_t v)
{
    if (b.size() < off + 4)
        b.resize(off + 4, '\0');
    for (int i = 0; i < 4; ++i)
        b[off + size_t(i)] = char((v >> (8 * i)) & 0xFF);
}

void Align(std::string& b, size_t to)
{
    while (b.size() % to)
        b += '\0';
}

constexpr uint32_t kSectionRva = 0x1000;
constexpr uint32_t kFileAlign = 0x200;
constexpr uint32_t kSectionAlign = 0x1000;

// The export directory, its three tables and the names, at section offset `at`.
void AppendExports(std::string& sec, const std::string& moduleName, std::vector<std::string> names,
                   uint32_t* dirRva, uint32_t* dirSize)
{
    // The name table is searched by binary search, so it is sorted.
    std::sort(names.begin(), names.end());
    Align(sec, 4);
    size_t dir = sec.size();
    size_t n = names.size();
    size_t functions = dir + 40;
    size_t namePtrs = functions + 4 * n;
    size_t ordinals = namePtrs + 4 * n;
    size_t strings = ordinals + 2 * n;
    sec.resize(strings, '\0');
    uint32_t moduleRva = kSectionRva + uint32_t(sec.size());
    sec += moduleName;
    sec += '\0';
    Put32(sec, dir + 12, moduleRva);
    Put32(sec, dir + 16, 1);  // ordinal base
    Put32(sec, dir + 20, uint32_t(n));
    Put32(sec, dir + 24, uint32_t(n));
    Put32(sec, dir + 28, kSectionRva + uint32_t(functions));
    Put32(sec, dir + 32, kSectionRva + uint32_t(namePtrs));
    Put32(sec, dir + 36, kSectionRva + uint32_t(ordinals));
    for (size_t i = 0; i < n; ++i) {
        // Every function points at the one-byte "ret" at the section's start.
        Put32(sec, functions + 4 * i, kSectionRva);
        Put16(sec, ordinals + 2 * i, uint16_t(i));
        Put32(sec, namePtrs + 4 * i, kSectionRva + uint32_t(sec.size()));
        sec += names[i];
        sec += '\0';
    }
    *dirRva = kSectionRva + uint32_t(dir);
    *dirSize = uint32_t(sec.size() - dir);
}

void AppendWide(std::string& b, const char* ascii)
{
    for (const char* p = ascii; ; ++p) {
        b += *p;
        b += '\0';
        if (!*p)
            break;
    }
}

// Resource tree RT_VERSION / 1 / 0x409 with one VS_VERSIONINFO.
void AppendVersionResource(std::string& sec, const uint16_t* v, uint32_t* dirRva, uint32_t* dirSize)
{
    Align(sec, 4);
    size_t base = sec.size();
    // Three directories of one entry each (24 bytes apiece), then the data entry.
    std::string r(24 * 3 + 16, '\0');
    Put16(r, 14, 1);
    Put32(r, 16, 16);                     // RT_VERSION
    Put32(r, 20, 0x80000000u | 24);       // -> name directory
    Put16(r, 24 + 14, 1);
    Put32(r, 24 + 16, 1);                 // name id 1
    Put32(r, 24 + 20, 0x80000000u | 48);  // -> language directory
    Put16(r, 48 + 14, 1);
    Put32(r, 48 + 16, 0x409);
    Put32(r, 48 + 20, 72);                // -> data entry
    size_t dataOff = base + r.size();

    std::string info;
    Put16(info, 0, 0);  // wLength, set below
    Put16(info, 2, 52);
    Put16(info, 4, 0);
    AppendWide(info, "VS_VERSION_INFO");
    Align(info, 4);
    size_t fixed = info.size();
    Put32(info, fixed + 0, 0xFEEF04BDu);
    Put32(info, fixed + 4, 0x00010000u);
    Put32(info, fixed + 8, uint32_t(v[0]) << 16 | v[1]);
    Put32(info, fixed + 12, uint32_t(v[2]) << 16 | v[3]);
    Put32(info, fixed + 16, uint32_t(v[0]) << 16 | v[1]);
    Put32(info, fixed + 20, uint32_t(v[2]) << 16 | v[3]);
    Put32(info, fixed + 24, 0x3F);        // dwFileFlagsMask
    Put32(info, fixed + 28, 0);
    Put32(info, fixed + 32, 0x00040004u); // VOS_NT_WINDOWS32
    Put32(info, fixed + 36, 1);           // VFT_APP
    Put32(info, fixed + 40, 0);
    Put32(info, fixed + 44, 0);
    Put32(info, fixed + 48, 0);
    Put16(info, 0, uint16_t(info.size()));

    Put32(r, 72, kSectionRva + uint32_t(dataOff));
    Put32(r, 76, uint32_t(info.size()));
    Put32(r, 80, 1252);
    sec += r;
    sec += info;
    *dirRva = kSectionRva + uint32_t(base);
    *dirSize = uint32_t(sec.size() - base);
}

// UTF-8 to UTF-16 code units, for the escapes of the registry files.
std::u16string Utf16(const std::string& s)
{
    std::u16string out;
    for (size_t i = 0; i < s.size();) {
        unsigned char c = s[i];
        uint32_t cp = c;
        int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
        if (extra)
            cp = c & (0x3F >> extra);
        ++i;
        for (int k = 0; k < extra && i < s.size(); ++k, ++i)
            cp = (cp << 6) | (uint8_t(s[i]) & 0x3F);
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += char16_t(0xD800 + (cp >> 10));
            out += char16_t(0xDC00 + (cp & 0x3FF));
        } else {
            out += char16_t(cp);
        }
    }
    return out;
}

bool IsHex(char16_t c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// Wine's escaping of key names (escape "[]") and values (escape "\"\"").
std::string Escape(const std::string& utf8, const char* specials)
{
    static const char escapes[33] = ".......abtnvfr.............e....";
    std::u16string s = Utf16(utf8);
    std::string out;
    char buf[16];
    for (size_t i = 0; i < s.size(); ++i) {
        char16_t c = s[i];
        bool nextHex = i + 1 < s.size() && s[i + 1] < 128 && IsHex(s[i + 1]);
        if (c > 127) {
            std::snprintf(buf, sizeof(buf), nextHex ? "\\x%04x" : "\\x%x", unsigned(c));
            out += buf;
        } else if (c < 32) {
            bool nextOct = i + 1 < s.size() && s[i + 1] >= '0' && s[i + 1] <= '7';
            if (escapes[c] != '.')
                std::snprintf(buf, sizeof(buf), "\\%c", escapes[c]);
            else
                std::snprintf(buf, sizeof(buf), nextOct ? "\\%03o" : "\\%o", unsigned(c));
            out += buf;
        } else {
            if (c == '\\' || c == char16_t(specials[0]) || c == char16_t(specials[1]))
                out += '\\';
            out += char(c);
        }
    }
    return out;
}

std::string HostToWin(const std::string& host)
{
    return plat::ToWinPath(host);
}

// A user name (UTF-8, as the folder on disk) as the user library reports it.
std::string AnsiName(const std::string& user)
{
    std::string ansi;
    plat::HostNameToAnsi(user, &ansi);
    return ansi;
}

std::string AbsoluteDir(const std::string& dir)
{
    std::error_code ec;
    fs::path p = fs::absolute(fs::path(dir), ec).lexically_normal();
    std::string s = p.string();
    while (s.size() > 1 && s.back() == '/')
        s.pop_back();
    return s;
}

bool Fail(std::string* error, const std::string& what)
{
    if (error)
        *error = what;
    return false;
}

}  // namespace

const std::vector<std::string>& LibraryNames()
{
    static const std::vector<std::string> names = {"condmgr.dll", "UserData.dll", "HSAPI.DLL", "instaide.dll"};
    return names;
}

std::vector<std::string> LibraryExports(const std::string& library)
{
    std::vector<std::string> names;
    for (uint32_t bit = 1; bit <= 8; bit <<= 1) {
        const PmLibraryBinding* b = PalmLibraryBinding(bit);
        if (b && SameNoCase(b->fileName, library))
            for (size_t i = 0; i < b->nameCount; ++i)
                names.push_back(b->names[i]);
    }
    return names;
}

uint32_t UserId(const std::string& user)
{
    return plat::UserIdForName(AnsiName(user));
}

std::string BuildPeImage(bool isDll, const std::string& moduleName, const std::vector<std::string>& exports,
                         const uint16_t* version)
{
    std::string sec(16, char(0xC3));  // "ret" bytes the exports point at
    uint32_t expRva = 0, expSize = 0, resRva = 0, resSize = 0;
    if (isDll)
        AppendExports(sec, moduleName, exports, &expRva, &expSize);
    if (version)
        AppendVersionResource(sec, version, &resRva, &resSize);
    uint32_t virtualSize = uint32_t(sec.size());
    Align(sec, kFileAlign);

    std::string img(kFileAlign, '\0');
    img[0] = 'M';
    img[1] = 'Z';
    Put32(img, 0x3C, 0x40);
    img.replace(0x40, 4, std::string("PE\0\0", 4));
    size_t coff = 0x44;
    Put16(img, coff + 0, 0x014C);  // i386
    Put16(img, coff + 2, 1);       // one section
    Put16(img, coff + 16, 0xE0);   // optional header size
    Put16(img, coff + 18, uint16_t(isDll ? 0x2102 : 0x0102));
    size_t opt = coff + 20;
    Put16(img, opt + 0, 0x10B);
    Put32(img, opt + 8, uint32_t(sec.size()));  // initialized data
    Put32(img, opt + 20, kSectionRva);          // base of code
    Put32(img, opt + 24, kSectionRva);          // base of data
    Put32(img, opt + 28, isDll ? 0x10000000u : 0x00400000u);
    Put32(img, opt + 32, kSectionAlign);
    Put32(img, opt + 36, kFileAlign);
    Put16(img, opt + 40, 4);
    Put16(img, opt + 48, 4);
    uint32_t imageSize = kSectionRva + ((virtualSize + kSectionAlign - 1) / kSectionAlign) * kSectionAlign;
    Put32(img, opt + 56, imageSize);
    Put32(img, opt + 60, kFileAlign);  // size of headers
    Put16(img, opt + 68, 2);           // GUI subsystem
    Put32(img, opt + 72, 0x100000);
    Put32(img, opt + 76, 0x1000);
    Put32(img, opt + 80, 0x100000);
    Put32(img, opt + 84, 0x1000);
    Put32(img, opt + 92, 16);
    Put32(img, opt + 96 + 0 * 8, expRva);
    Put32(img, opt + 96 + 0 * 8 + 4, expSize);
    Put32(img, opt + 96 + 2 * 8, resRva);
    Put32(img, opt + 96 + 2 * 8 + 4, resSize);
    size_t sh = opt + 0xE0;
    img.replace(sh, 8, std::string(".rdata\0\0", 8));
    Put32(img, sh + 8, virtualSize);
    Put32(img, sh + 12, kSectionRva);
    Put32(img, sh + 16, uint32_t(sec.size()));
    Put32(img, sh + 20, kFileAlign);
    Put32(img, sh + 36, 0x40000040u);  // initialized data, readable
    img.resize(kFileAlign, '\0');
    return img + sec;
}

std::string WineRegistryText(bool forUser, const std::vector<RegKeyData>& keys)
{
    std::string t = "WINE REGISTRY Version 2\n";
    t += forUser ? ";; All keys relative to REGISTRY\\\\User\\\\S-1-5-21-0-0-0-1000\n"
                 : ";; All keys relative to REGISTRY\\\\Machine\n";
    t += "\n#arch=win64\n";
    // Values of other kinds, which the reader skips, beside the strings.
    t += "\n[Software\\\\Wine] 1796797600\n#time=1dd87a64aa5c0d0\n";
    t += "\"Version\"=dword:00000008\n";
    t += "\"Blob\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,\\\n";
    t += "  16,17,18,19\n";
    t += "\"Expand\"=str(2):\"%SystemRoot%\\\\system32\"\n";
    t += "@=\"default\"\n";
    unsigned stamp = 1796797617;
    for (const RegKeyData& k : keys) {
        t += "\n[" + Escape(k.path, "[]") + "] " + std::to_string(stamp++) + "\n";
        t += "#time=1dd87a64aa5c0e2\n";
        t += "\"Flags\"=dword:00000001\n";
        t += "\"Layout\"=hex(3):01,00,\\\n  00,00\n";
        for (const RegValue& v : k.strings)
            t += "\"" + Escape(v.name, "\"\"") + "\"=\"" + Escape(v.value, "\"\"") + "\"\n";
    }
    return t;
}

bool MakeDirs(const std::string& hostDir)
{
    std::error_code ec;
    fs::create_directories(hostDir, ec);
    return fs::is_directory(hostDir, ec);
}

bool WriteFile(const std::string& hostPath, const std::string& data)
{
    std::ofstream f(hostPath, std::ios::binary | std::ios::trunc);
    if (!f)
        return false;
    f.write(data.data(), std::streamsize(data.size()));
    return bool(f.flush());
}

std::string InstallWinPath(const Installation& inst)
{
    std::string dir = AbsoluteDir(inst.dir);
    if (inst.winePrefix.empty())
        return HostToWin(dir);
    std::string driveC = AbsoluteDir(inst.winePrefix) + "/drive_c";
    if (dir == driveC)
        return "C:";
    if (dir.rfind(driveC + "/", 0) == 0)
        return "C:" + HostToWin(dir.substr(driveC.size()));
    return "Z:" + HostToWin(dir);
}

std::string UserHostFolder(const Installation& inst, const std::string& user)
{
    return AbsoluteDir(inst.dir) + "/" + user + "/";
}

std::string UserWinFolder(const Installation& inst, const std::string& user)
{
    // The user library reports the folder the library was loaded from.
    return InstallWinPath(inst) + "\\" + AnsiName(user) + "\\";
}

bool WriteInstallation(const Installation& inst, std::string* error)
{
    if (inst.dir.empty())
        return Fail(error, "no installation folder");
    std::string dir = AbsoluteDir(inst.dir);
    if (!MakeDirs(dir))
        return Fail(error, "cannot create " + dir);

    if (inst.writePalmExe &&
        !WriteFile(dir + "/palm.exe", BuildPeImage(false, "palm.exe", {}, inst.palmExeVersion ? inst.version : nullptr)))
        return Fail(error, "cannot write " + dir + "/palm.exe");

    for (const std::string& lib : LibraryNames()) {
        bool skip = false;
        for (const std::string& w : inst.withoutLibraries)
            skip = skip || SameNoCase(w, lib);
        if (skip)
            continue;
        std::vector<std::string> exports;
        for (const std::string& name : LibraryExports(lib)) {
            bool dropped = false;
            for (const auto& d : inst.droppedExports)
                dropped = dropped || (SameNoCase(d.first, lib) && d.second == name);
            if (!dropped)
                exports.push_back(name);
        }
        if (!WriteFile(dir + "/" + lib, BuildPeImage(true, lib, exports, inst.version)))
            return Fail(error, "cannot write " + dir + "/" + lib);
    }

    for (const std::string& user : inst.users) {
        if (user.empty() || user.find_first_of("/\\") != std::string::npos)
            return Fail(error, "bad user name: " + user);
        for (const std::string& app : inst.appFolders)
            if (!MakeDirs(dir + "/" + user + "/" + app))
                return Fail(error, "cannot create the folders of user " + user);
    }

    if (inst.winePrefix.empty())
        return true;

    std::string prefix = AbsoluteDir(inst.winePrefix);
    if (!MakeDirs(prefix + "/drive_c") || !MakeDirs(prefix + "/dosdevices"))
        return Fail(error, "cannot create the prefix " + prefix);
    std::error_code ec;
    for (const auto& link : {std::pair<const char*, const char*>{"c:", "../drive_c"}, {"z:", "/"}}) {
        fs::path p = fs::path(prefix) / "dosdevices" / link.first;
        fs::remove(p, ec);
        fs::create_directory_symlink(link.second, p, ec);
        if (ec)
            return Fail(error, "cannot link " + p.string());
    }

    std::string win = InstallWinPath(inst);
    RegKeyData key;
    if (inst.registryValue == RegistryValue::DesktopPath) {
        key.strings.push_back({"DesktopPath", win});
    } else {
        key.strings.push_back({"HotSyncPath", win + "\\HotSync.exe"});
        if (!WriteFile(dir + "/HotSync.exe", BuildPeImage(false, "HotSync.exe", {}, inst.version)))
            return Fail(error, "cannot write HotSync.exe");
    }
    std::vector<RegKeyData> userKeys, machineKeys;
    if (inst.registryKey == RegistryKey::UsRoboticsCurrentUser) {
        key.path = "Software\\U.S. Robotics\\Pilot Desktop\\Core";
        userKeys.push_back(key);
    } else {
        key.path = "Software\\PalmSource\\Desktop\\Core";
        machineKeys.push_back(key);
    }
    if (!WriteFile(prefix + "/user.reg", WineRegistryText(true, userKeys)) ||
        !WriteFile(prefix + "/system.reg", WineRegistryText(false, machineKeys)))
        return Fail(error, "cannot write the registry files of " + prefix);
    return true;
}

void DropBackupsOfNewFile(const std::string& winPath, bool existedBefore)
{
    if (existedBefore)
        return;
    std::filesystem::path file(plat::ToHostPath(winPath));
    std::string prefix = file.filename().string() + ".";
    std::error_code ec;
    bool dropped = false;
    for (const auto& e : std::filesystem::directory_iterator(file.parent_path(), ec)) {
        std::string name = e.path().filename().string();
        if (name.size() > prefix.size() + 4 && name.compare(0, prefix.size(), prefix) == 0 &&
            name.compare(name.size() - 4, 4, ".bak") == 0)
            dropped |= std::filesystem::remove(e.path(), ec);
    }
    // The next save of the program in this process must keep the real
    // content, not count the dropped copy as the backup already made.
    if (dropped)
        plat::ResetBackups();
}

/// Lays out what Palm Desktop leaves in its files that a load keeps as
/// read: text prefix words of both values, the file's Windows path inside,
/// and, when `reversed`, the category entries out of slot order (every
/// category added here is dirty).
void DressLikePalmDesktop(PmDBUtil& util, PmCategoryMgr* mgr, const std::string& path, bool reversed)
{
    util.SetNewTextPrefixes({0, 1});
    util.SetNewStoredName(StoredDatName(path));
    if (!reversed || !mgr)
        return;
    std::vector<int32_t> order;
    for (int32_t slot = PmCategoryMgr::kSlots - 1; slot > 0; --slot)
        if (mgr->GetByIndex(uint32_t(slot)) && mgr->GetByIndex(uint32_t(slot))->GetId() != 0)
            order.push_back(slot);
    mgr->SetStoredOrder(order);
}

std::string StoredDatName(const std::string& path)
{
    std::string host = plat::ToHostPath(path);
    std::string driveC = plat::WinePrefix() + "/drive_c/";
    if (host.rfind(driveC, 0) == 0)
        return "C:\\" + HostToWin(host.substr(driveC.size()));
    // The user folder, the application folder and the file.
    size_t cut = host.size();
    for (int parts = 0; parts < 3 && cut != std::string::npos && cut > 0; ++parts)
        cut = host.rfind('/', cut - 1);
    std::string tail = cut == std::string::npos ? host : host.substr(cut + 1);
    return "C:\\Program Files\\Palm\\" + HostToWin(tail);
}

}  // namespace palmfix
