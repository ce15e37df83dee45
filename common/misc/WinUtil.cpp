#include "misc/WinUtil.h"

#include "platform/Codepage.h"
#include "platform/Library.h"
#include "platform/PeImage.h"
#include "platform/Shell.h"
#include "platform/System.h"
#include "platform/WinPath.h"

#include <cstdio>
#include <cstring>
#include <string>

const char* HexText(const void* bytes, size_t len)
{
    // 1024 pairs and 1023 blanks.
    static char text[1024 * 3];
    text[0] = '\0';
    if (!bytes || len == 0)
        return text;
    if (len > 1024)
        len = 1024;
    const unsigned char* p = static_cast<const unsigned char*>(bytes);
    char* o = text;
    for (size_t i = 0; i < len; ++i) {
        if (i)
            *o++ = ' ';
        std::snprintf(o, 3, "%02x", p[i]);
        o += 2;
    }
    *o = '\0';
    return text;
}

void ToAnsi(const char16_t* wide, char* out, size_t capacity)
{
    if (!out || capacity == 0)
        return;
    out[0] = '\0';
    if (!wide || !*wide)
        return;
    std::string ansi = plat::WideToAnsi(std::u16string_view(wide));
    size_t n = ansi.size() <= capacity - 1 ? ansi.size() : 0;
    // Whole characters only: a double-byte character that does not fit is left out.
    while (n < ansi.size()) {
        size_t len = plat::AnsiCharLength(std::string_view(ansi).substr(n));
        if (n + len > capacity - 1)
            break;
        n += len;
    }
    std::memcpy(out, ansi.data(), n);
    out[n] = '\0';
}

void ToWide(const char* ansi, char16_t* out, size_t capacity)
{
    if (!out || capacity == 0)
        return;
    out[0] = u'\0';
    if (!ansi || !*ansi)
        return;
    std::u16string wide = plat::AnsiToWide(ansi);
    size_t n = wide.size() < capacity - 1 ? wide.size() : capacity - 1;
    // Never keep the first half of a surrogate pair without its second half.
    if (n < wide.size() && n > 0 && wide[n - 1] >= 0xD800 && wide[n - 1] <= 0xDBFF)
        --n;
    std::memcpy(out, wide.data(), n * sizeof(char16_t));
    out[n] = u'\0';
}

bool GetModuleFolder(const plat::Library* module, char* out)
{
    if (!out)
        return false;
    std::string file = module ? plat::LibraryFileName(module) : plat::ModuleFileName();
    if (file.size() > 260)
        file.resize(260);
    std::string drive, dir;
    plat::SplitDriveDir(file, &drive, &dir);
    std::snprintf(out, 260, "%s%s", drive.c_str(), dir.c_str());
    return true;
}

bool GetFileVersion(const char* path, uint16_t* major, uint16_t* minor, uint16_t* build, uint16_t* revision)
{
    uint16_t scratch[4];
    uint16_t* v[4] = {major ? major : &scratch[0], minor ? minor : &scratch[1], build ? build : &scratch[2],
                      revision ? revision : &scratch[3]};
    for (uint16_t* p : v)
        *p = 0;
    if (!path || !*path)
        return false;
    plat::FixedFileVersion info;
    if (!plat::ReadFixedFileVersion(path, &info))
        return false;
    *v[0] = uint16_t(info.fileVersionMS >> 16);
    *v[1] = uint16_t(info.fileVersionMS & 0xFFFF);
    *v[2] = uint16_t(info.fileVersionLS >> 16);
    *v[3] = uint16_t(info.fileVersionLS & 0xFFFF);
    return true;
}

bool OpenWithShell(const char* path)
{
    if (!path || !*path)
        return false;
    // As the shell's open verb is used here, its result is not checked.
    plat::ShellOpen(path);
    return true;
}
