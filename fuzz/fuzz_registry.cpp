// The reader of Wine's registry files (ParseWineRegistryKey, RegKey), in two
// modes chosen by the low bit of the first byte:
// - raw: the rest is a registry file (its first line names one more key to
//   look up), read as user.reg and system.reg through RegKey with the keys
//   the program opens, every string value converted to the ANSI code page
//   the second bit chooses;
// - written: keys and string values made from the input are written by the
//   fixture's writer of Wine's format and must read back exactly, escapes
//   and characters outside the Basic Multilingual Plane included.
#include "FuzzSupport.h"

#include "palmfixture/PalmFixture.h"
#include "platform/Codepage.h"
#include "platform/Registry.h"

#include <map>
#include <string>
#include <vector>

namespace {

const int kCodePages[] = {1252, 932, 1251, 950};

void AppendUtf8(std::string* out, uint32_t cp)
{
    if (cp < 0x80) {
        *out += char(cp);
    } else if (cp < 0x800) {
        *out += char(0xC0 | (cp >> 6));
        *out += char(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        *out += char(0xE0 | (cp >> 12));
        *out += char(0x80 | ((cp >> 6) & 0x3F));
        *out += char(0x80 | (cp & 0x3F));
    } else {
        *out += char(0xF0 | (cp >> 18));
        *out += char(0x80 | ((cp >> 12) & 0x3F));
        *out += char(0x80 | ((cp >> 6) & 0x3F));
        *out += char(0x80 | (cp & 0x3F));
    }
}

void AppendUtf16(std::u16string* out, uint32_t cp)
{
    if (cp >= 0x10000) {
        cp -= 0x10000;
        *out += char16_t(0xD800 + (cp >> 10));
        *out += char16_t(0xDC00 + (cp & 0x3FF));
    } else {
        *out += char16_t(cp);
    }
}

std::string Lower(std::string s)
{
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return s;
}

// A printable ASCII text of 1 to 12 characters, without `excluded`.
std::string AsciiName(fuzz::Bytes& in, char excluded)
{
    std::string s;
    size_t n = 1 + in.U8() % 12;
    for (size_t i = 0; i < n; ++i) {
        char c = char(0x20 + in.U8() % 95);
        s += c == excluded ? '_' : c;
    }
    return s;
}

void Raw(fuzz::Bytes& in, uint8_t mode)
{
    plat::SetAnsiCodePage(kCodePages[(mode >> 1) & 3]);
    std::string text = in.Rest();
    size_t nl = text.find('\n');
    std::string extra = text.substr(0, nl == std::string::npos ? 0 : nl);
    std::string prefix = fuzz::Scratch() + "wine/";
    fuzz::WriteScratchFile("wine/user.reg", text);
    fuzz::WriteScratchFile("wine/system.reg", text);

    std::map<std::string, std::u16string> values;
    plat::ParseWineRegistryKey(text, extra, &values);
    struct Probe {
        plat::RegRoot root;
        std::string key;
    };
    const Probe probes[] = {
        {plat::RegRoot::CurrentUser, "Software\\U.S. Robotics\\Pilot Desktop\\Core"},
        {plat::RegRoot::LocalMachine, "Software\\PalmSource\\Desktop\\Core"},
        {plat::RegRoot::CurrentUser, extra},
        {plat::RegRoot::LocalMachine, extra},
    };
    for (const Probe& p : probes) {
        plat::RegKey key;
        if (!key.Open(p.root, p.key))
            continue;
        std::string value;
        for (const char* name : {"DesktopPath", "HotSyncPath", "Path", ""})
            key.QueryString(name, &value);
        if (p.key == extra && p.root == plat::RegRoot::CurrentUser) {
            // Every value the parser found is there to be asked for.
            for (const auto& [name, text16] : values)
                if (!key.QueryString(name, &value))
                    fuzz::Fail("a parsed registry value cannot be queried", name);
        }
    }
    plat::SetAnsiCodePage(0);
}

void Written(fuzz::Bytes& in)
{
    std::vector<palmfix::RegValue> strings;
    std::map<std::string, std::u16string> expected;
    std::string path;
    size_t parts = 1 + in.U8() % 3;
    for (size_t i = 0; i < parts; ++i)
        path += (i ? "\\" : "") + AsciiName(in, '\\');
    size_t count = in.U8() % 6;
    for (size_t v = 0; v < count && in.Left(); ++v) {
        // A leading index keeps the names apart, as the reader compares
        // them without regard to case.
        std::string name = std::to_string(v) + AsciiName(in, 0);
        std::string utf8;
        std::u16string wide;
        size_t length = in.U8() % 24;
        for (size_t k = 0; k < length; ++k) {
            uint32_t cp = in.U16();
            if (cp >= 0xD800 && cp <= 0xDFFF)
                cp = 0x10000 + ((cp & 0x7FF) << 9) + in.U8();  // outside the BMP
            AppendUtf8(&utf8, cp);
            AppendUtf16(&wide, cp);
        }
        strings.push_back({name, utf8});
        expected[Lower(name)] = wide;
    }
    std::vector<palmfix::RegKeyData> keys = {{path, strings}};
    std::string text = palmfix::WineRegistryText(true, keys);
    std::map<std::string, std::u16string> got;
    if (!plat::ParseWineRegistryKey(text, path, &got))
        fuzz::Fail("a written registry key is not found", path);
    if (got != expected)
        fuzz::Fail("written registry values read back otherwise", path);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::Setup();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::Bytes in(data, size);
    uint8_t mode = in.U8();
    if (mode & 1)
        Written(in);
    else
        Raw(in, mode);
    return 0;
}
