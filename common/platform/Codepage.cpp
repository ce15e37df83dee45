#include "platform/Codepage.h"

#include <iconv.h>

#include <atomic>
#include <bit>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

static_assert(std::endian::native == std::endian::little, "wide text is handed to iconv as UTF-16LE");

namespace plat {

namespace {

// The code page in force: set once from the locale (a process's ANSI code
// page does not change while it runs), or forced by SetAnsiCodePage.
std::atomic<int> g_codePage{0};

struct LangPage {
    const char* lang;
    int codePage;
};

// Language codes of the Windows locales whose ANSI code page is not 1252.
const LangPage kPages[] = {
    {"cs", 1250}, {"hu", 1250}, {"pl", 1250}, {"ro", 1250}, {"sk", 1250}, {"sl", 1250}, {"hr", 1250},
    {"sq", 1250}, {"bs", 1250}, {"ru", 1251}, {"uk", 1251}, {"be", 1251}, {"bg", 1251}, {"mk", 1251},
    {"sr", 1251}, {"kk", 1251}, {"ky", 1251}, {"tt", 1251}, {"mn", 1251}, {"ba", 1251}, {"tg", 1251},
    {"el", 1253}, {"tr", 1254}, {"az", 1254}, {"uz", 1254}, {"he", 1255}, {"iw", 1255}, {"yi", 1255},
    {"ar", 1256}, {"fa", 1256}, {"ur", 1256}, {"ps", 1256}, {"et", 1257}, {"lv", 1257}, {"lt", 1257},
    {"vi", 1258}, {"th", 874},  {"ja", 932},  {"ko", 949},
};

const char* IconvName(int codePage)
{
    switch (codePage) {
    case 874: return "CP874";
    case 932: return "CP932";
    case 936: return "CP936";
    case 949: return "CP949";
    case 950: return "CP950";
    case 1250: return "CP1250";
    case 1251: return "CP1251";
    case 1253: return "CP1253";
    case 1254: return "CP1254";
    case 1255: return "CP1255";
    case 1256: return "CP1256";
    case 1257: return "CP1257";
    case 1258: return "CP1258";
    default: return "CP1252";
    }
}

int LocaleCodePage()
{
    for (const char* var : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        const char* v = std::getenv(var);
        if (v && *v)
            return CodePageForLocale(v);
    }
    return 1252;
}

// One pair of converters per code page and thread (an iconv descriptor keeps
// state and must not be shared between threads).
struct Converters {
    iconv_t toWide = iconv_t(-1);
    iconv_t toAnsi = iconv_t(-1);

    Converters() = default;
    Converters(const Converters&) = delete;
    Converters& operator=(const Converters&) = delete;
    // Closed when the thread ends, with the cache that holds them.
    ~Converters()
    {
        if (toWide != iconv_t(-1))
            iconv_close(toWide);
        if (toAnsi != iconv_t(-1))
            iconv_close(toAnsi);
    }
};

Converters& ConvertersFor(int codePage)
{
    thread_local std::map<int, Converters> cache;
    Converters& c = cache[codePage];
    // Each one opened on its own, so that one that opened is never replaced.
    if (c.toWide == iconv_t(-1))
        c.toWide = iconv_open("UTF-16LE", IconvName(codePage));
    if (c.toAnsi == iconv_t(-1))
        c.toAnsi = iconv_open(IconvName(codePage), "UTF-16LE");
    return c;
}

bool IsDoubleByte(int codePage)
{
    return codePage == 932 || codePage == 936 || codePage == 949 || codePage == 950;
}

// A single-byte code page as two tables, built once through iconv. A byte
// the code page leaves undefined maps to the C1 control of the same value,
// as Windows's own tables do, so that such bytes survive a round trip.
struct SingleByteTable {
    char16_t toWide[256];
    std::vector<uint8_t> toAnsi;     // per UTF-16 unit; valid where mapped is set
    std::vector<bool> mapped;
};

std::unique_ptr<SingleByteTable> BuildTable(int codePage)
{
    auto t = std::make_unique<SingleByteTable>();
    t->toAnsi.assign(65536, 0);
    t->mapped.assign(65536, false);
    iconv_t cd = iconv_open("UTF-16LE", IconvName(codePage));
    for (int b = 0; b < 256; ++b) {
        char in = char(b);
        char16_t wide = 0;
        char* ip = &in;
        char* op = reinterpret_cast<char*>(&wide);
        size_t il = 1, ol = 2;
        bool ok = false;
        if (cd != iconv_t(-1)) {
            // Some decoders hold a letter back for a combining mark that may
            // follow (1255, 1258): the flush gives it out.
            ok = iconv(cd, &ip, &il, &op, &ol) != size_t(-1) && iconv(cd, nullptr, nullptr, &op, &ol) != size_t(-1) &&
                 ol == 0;
            iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
        if (!ok)
            wide = b < 0x80 ? char16_t(b) : 0;
        t->toWide[b] = wide;
        if (ok || b < 0x80) {
            t->toAnsi[wide] = uint8_t(b);
            t->mapped[wide] = true;
        }
    }
    if (cd != iconv_t(-1))
        iconv_close(cd);
    for (int b = 0x80; b < 256; ++b) {
        if (t->toWide[b] != 0)
            continue;
        if (!t->mapped[b]) {
            t->toWide[b] = char16_t(b);
            t->toAnsi[b] = uint8_t(b);
            t->mapped[b] = true;
        } else {
            t->toWide[b] = u'\xFFFD';
        }
    }
    return t;
}

const SingleByteTable* TableFor(int codePage)
{
    static std::mutex mutex;
    static std::map<int, std::unique_ptr<SingleByteTable>> tables;
    std::lock_guard<std::mutex> lock(mutex);
    std::unique_ptr<SingleByteTable>& t = tables[codePage];
    if (!t)
        t = BuildTable(codePage);
    return t.get();
}

bool IsAscii(std::u16string_view s)
{
    for (char16_t c : s)
        if (c >= 0x80)
            return false;
    return true;
}

bool IsAscii(std::string_view s)
{
    for (char c : s)
        if (uint8_t(c) >= 0x80)
            return false;
    return true;
}

}  // namespace

int CodePageForLocale(std::string_view locale)
{
    // "ll_CC.charset@modifier"
    size_t end = locale.find_first_of(".@");
    std::string_view name = locale.substr(0, end);
    std::string_view modifier;
    size_t at = locale.find('@');
    if (at != std::string_view::npos)
        modifier = locale.substr(at + 1);
    std::string_view lang = name.substr(0, name.find('_'));
    std::string_view country = name.find('_') == std::string_view::npos ? std::string_view()
                                                                          : name.substr(name.find('_') + 1);
    if (lang == "zh")
        return (country == "TW" || country == "HK" || country == "MO") ? 950 : 936;
    if (lang == "sr" && modifier == "latin")
        return 1250;
    if ((lang == "uz" || lang == "az") && modifier == "cyrillic")
        return 1251;
    for (const LangPage& p : kPages)
        if (lang == p.lang)
            return p.codePage;
    return 1252;
}

int AnsiCodePage()
{
    int cp = g_codePage.load(std::memory_order_relaxed);
    if (cp == 0) {
        cp = LocaleCodePage();
        g_codePage.store(cp, std::memory_order_relaxed);
    }
    return cp;
}

void SetAnsiCodePage(int codePage)
{
    // 0 forgets the choice; the next use reads the locale again.
    g_codePage.store(codePage);
}

bool AnsiIsDoubleByte()
{
    return IsDoubleByte(AnsiCodePage());
}

size_t AnsiCharLength(std::string_view ansi)
{
    if (ansi.empty())
        return 0;
    unsigned char b = ansi[0];
    bool lead = false;
    switch (AnsiCodePage()) {
    case 932: lead = (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); break;
    case 936:
    case 949:
    case 950: lead = b >= 0x81 && b <= 0xFE; break;
    default: break;
    }
    return lead && ansi.size() >= 2 ? 2 : 1;
}

std::string WideToAnsi(std::u16string_view wide)
{
    std::string out;
    if (wide.empty())
        return out;
    int codePage = AnsiCodePage();
    if (IsAscii(wide)) {
        out.assign(wide.begin(), wide.end());
        return out;
    }
    if (!IsDoubleByte(codePage)) {
        const SingleByteTable* t = TableFor(codePage);
        out.resize(wide.size());
        size_t n = 0;
        for (size_t i = 0; i < wide.size(); ++i) {
            char16_t c = wide[i];
            // A surrogate pair is one character without a place here.
            if (c >= 0xD800 && c <= 0xDBFF && i + 1 < wide.size() && wide[i + 1] >= 0xDC00 && wide[i + 1] <= 0xDFFF)
                ++i;
            out[n++] = t->mapped[c] ? char(t->toAnsi[c]) : '?';
        }
        out.resize(n);
        return out;
    }
    Converters& c = ConvertersFor(codePage);
    if (c.toAnsi == iconv_t(-1)) {
        for (char16_t ch : wide)
            out += ch < 0x80 ? char(ch) : '?';
        return out;
    }
    iconv(c.toAnsi, nullptr, nullptr, nullptr, nullptr);
    char* in = const_cast<char*>(reinterpret_cast<const char*>(wide.data()));
    size_t inLeft = wide.size() * 2;
    char buf[1024];
    while (inLeft > 0) {
        char* o = buf;
        size_t oLeft = sizeof(buf);
        size_t r = iconv(c.toAnsi, &in, &inLeft, &o, &oLeft);
        out.append(buf, size_t(o - buf));
        if (r != size_t(-1))
            continue;
        if (errno == E2BIG)
            continue;
        // A character without a place in the code page, or half a surrogate pair.
        out += '?';
        char16_t unit = char16_t(uint8_t(in[0]) | (uint8_t(inLeft > 1 ? in[1] : 0) << 8));
        size_t skip = 2;
        if (unit >= 0xD800 && unit <= 0xDBFF && inLeft >= 4) {
            char16_t low = char16_t(uint8_t(in[2]) | (uint8_t(in[3]) << 8));
            if (low >= 0xDC00 && low <= 0xDFFF)
                skip = 4;
        }
        if (skip > inLeft)
            skip = inLeft;
        in += skip;
        inLeft -= skip;
        iconv(c.toAnsi, nullptr, nullptr, nullptr, nullptr);
    }
    return out;
}

std::u16string AnsiToWide(std::string_view ansi)
{
    std::u16string out;
    if (ansi.empty())
        return out;
    int codePage = AnsiCodePage();
    if (IsAscii(ansi)) {
        out.assign(ansi.begin(), ansi.end());
        return out;
    }
    if (!IsDoubleByte(codePage)) {
        const SingleByteTable* t = TableFor(codePage);
        out.resize(ansi.size());
        for (size_t i = 0; i < ansi.size(); ++i)
            out[i] = t->toWide[uint8_t(ansi[i])];
        return out;
    }
    Converters& c = ConvertersFor(codePage);
    if (c.toWide == iconv_t(-1)) {
        for (char ch : ansi)
            out += uint8_t(ch) < 0x80 ? char16_t(ch) : u'\xFFFD';
        return out;
    }
    iconv(c.toWide, nullptr, nullptr, nullptr, nullptr);
    char* in = const_cast<char*>(ansi.data());
    size_t inLeft = ansi.size();
    char16_t buf[512];
    while (inLeft > 0) {
        char* o = reinterpret_cast<char*>(buf);
        size_t oLeft = sizeof(buf);
        size_t r = iconv(c.toWide, &in, &inLeft, &o, &oLeft);
        out.append(buf, size_t(o - reinterpret_cast<char*>(buf)) / 2);
        if (r != size_t(-1) || errno == E2BIG)
            continue;
        // A byte (or a cut-off double-byte character) the code page does not define.
        out += u'\xFFFD';
        ++in;
        --inLeft;
        iconv(c.toWide, nullptr, nullptr, nullptr, nullptr);
    }
    return out;
}

}  // namespace plat

namespace plat {

std::u16string Utf8ToWide(std::string_view s)
{
    std::u16string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size();) {
        unsigned char c = s[i];
        uint32_t cp;
        int extra;
        if (c < 0x80) {
            cp = c;
            extra = 0;
        } else if (c >= 0xC2 && c < 0xE0) {
            cp = c & 0x1F;
            extra = 1;
        } else if (c >= 0xE0 && c < 0xF0) {
            cp = c & 0x0F;
            extra = 2;
        } else if (c >= 0xF0 && c < 0xF5) {
            cp = c & 0x07;
            extra = 3;
        } else {
            out += u'\xFFFD';
            ++i;
            continue;
        }
        size_t j = i + 1;
        bool ok = true;
        for (int k = 0; k < extra; ++k, ++j) {
            if (j >= s.size() || (uint8_t(s[j]) & 0xC0) != 0x80) {
                ok = false;
                break;
            }
            cp = (cp << 6) | (uint8_t(s[j]) & 0x3F);
        }
        // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
        if (ok && ((extra == 2 && cp < 0x800) || (extra == 3 && (cp < 0x10000 || cp > 0x10FFFF)) ||
                   (cp >= 0xD800 && cp <= 0xDFFF)))
            ok = false;
        if (!ok) {
            out += u'\xFFFD';
            ++i;
            continue;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += char16_t(0xD800 + (cp >> 10));
            out += char16_t(0xDC00 + (cp & 0x3FF));
        } else {
            out += char16_t(cp);
        }
        i = j;
    }
    return out;
}

// True when the four units at p are all ASCII.
inline bool FourAscii(const char16_t* p)
{
    uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return (v & 0xFF80FF80FF80FF80ull) == 0;
}

std::string WideToUtf8(std::u16string_view w)
{
    std::string out;
    const size_t n = w.size();
    const char16_t* const in = w.data();
    size_t ascii = 0;
    while (ascii + 4 <= n && FourAscii(in + ascii))
        ascii += 4;
    while (ascii < n && in[ascii] < 0x80)
        ++ascii;
    // Most texts of the data are plain ASCII: one byte per unit, no decoding.
    if (ascii == n) {
        out.assign(w.begin(), w.end());
        return out;
    }
    // Every 6.x text read goes through here, and long notes are mostly ASCII
    // with a few other letters: runs of ASCII are taken four units at a time,
    // into a buffer of the thread with room for the longest form (three bytes
    // a unit), and the text is then copied out in its exact length.
    thread_local std::string scratch;
    if (scratch.size() < n * 3)
        scratch.resize(n * 3);
    char* const start = scratch.data();
    char* o = start;
    for (size_t i = 0; i < ascii; ++i)
        *o++ = char(in[i]);
    for (size_t i = ascii; i < n; ++i) {
        if (i + 4 <= n && FourAscii(in + i)) {
            o[0] = char(in[i]);
            o[1] = char(in[i + 1]);
            o[2] = char(in[i + 2]);
            o[3] = char(in[i + 3]);
            o += 4;
            i += 3;
            continue;
        }
        uint32_t cp = in[i];
        if (cp < 0x80) {
            *o++ = char(cp);
            continue;
        }
        if (cp < 0x800) {
            *o++ = char(0xC0 | (cp >> 6));
            *o++ = char(0x80 | (cp & 0x3F));
            continue;
        }
        if (cp >= 0xD800 && cp <= 0xDFFF) {
            if (cp <= 0xDBFF && i + 1 < n && in[i + 1] >= 0xDC00 && in[i + 1] <= 0xDFFF) {
                cp = 0x10000 + ((cp - 0xD800) << 10) + (in[i + 1] - 0xDC00);
                ++i;
                *o++ = char(0xF0 | (cp >> 18));
                *o++ = char(0x80 | ((cp >> 12) & 0x3F));
                *o++ = char(0x80 | ((cp >> 6) & 0x3F));
                *o++ = char(0x80 | (cp & 0x3F));
                continue;
            }
            cp = 0xFFFD;  // half a surrogate pair
        }
        *o++ = char(0xE0 | (cp >> 12));
        *o++ = char(0x80 | ((cp >> 6) & 0x3F));
        *o++ = char(0x80 | (cp & 0x3F));
    }
    out.assign(start, size_t(o - start));
    // A long text once must not keep its room for the rest of the thread.
    if (scratch.size() > 262144)
        std::string().swap(scratch);
    return out;
}

bool HostNameToAnsi(std::string_view utf8, std::string* ansi)
{
    if (IsAscii(utf8)) {
        ansi->assign(utf8);
        return true;
    }
    std::u16string wide = Utf8ToWide(utf8);
    std::string converted = WideToAnsi(wide);
    if (WideToUtf8(wide) == utf8 && AnsiToWide(converted) == wide) {
        *ansi = converted;
        return true;
    }
    ansi->assign(utf8);
    return false;
}

std::string AnsiToHostName(std::string_view ansi)
{
    if (IsAscii(ansi))
        return std::string(ansi);
    return WideToUtf8(AnsiToWide(ansi));
}

}  // namespace plat
