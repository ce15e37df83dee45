#include "misc/WinUtil.h"

#include "platform/Codepage.h"

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
    size_t n = 0;
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
