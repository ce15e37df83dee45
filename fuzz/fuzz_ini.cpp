// The settings file reader and writer (CxIniUtil over the private-profile
// functions), on any file content.
//
// The first input byte picks a key to write (and, with its top bit, the
// round trip of every setting); the rest is the file. Checks:
// - writing one key gives that value back and leaves every other setting
//   as it read before (the other lines are kept);
// - saving every setting and loading them again gives the same settings,
//   for every text that can survive the trip (a text with blanks at its ends
//   or in double quotes loses them on reading, as Windows' reader does).
#include "FuzzSupport.h"

#include "app/Apputil.h"
#include "misc/CxIniUtil.h"
#include "platform/Profile.h"

#include <cstring>
#include <string>

namespace {

using TextField = char (AppOption::*)[AppOption::kFileCapacity];
const TextField kTexts[] = {&AppOption::AddrFile, &AppOption::DateFile, &AppOption::TodoFile, &AppOption::MemoFile};

struct WrittenKey {
    const char* section;
    const char* key;
    TextField text;  // the setting it is, if any
};

const WrittenKey kWritten[] = {
    {"Path", "PDPath", nullptr},
    {"DCOption", "AddrFile", &AppOption::AddrFile},
    {"dcoption", "memofile", &AppOption::MemoFile},
    {"Other", "Key", nullptr},
};

// A copy whose texts end at their terminator, padding and tails zeroed, so
// that two sets compare with memcmp.
AppOption Normalized(const AppOption& in)
{
    AppOption out;
    std::memcpy(&out, &in, sizeof out);
    for (TextField text : kTexts) {
        char* t = out.*text;
        size_t n = strnlen(t, AppOption::kFileCapacity);
        std::memset(t + n, 0, AppOption::kFileCapacity - n);
    }
    return out;
}

bool Survives(const char* text)
{
    size_t n = std::strlen(text);
    if (n == 0)
        return true;
    auto blank = [](char c) { return c == ' ' || c == '\t'; };
    if (blank(text[0]) || blank(text[n - 1]))
        return false;
    return !(n >= 2 && text[0] == '"' && text[n - 1] == '"');
}

bool Same(const AppOption& a, const AppOption& b)
{
    AppOption x = Normalized(a), y = Normalized(b);
    return std::memcmp(&x, &y, sizeof x) == 0;
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
    const WrittenKey& w = kWritten[(mode & 0x7F) % (sizeof kWritten / sizeof kWritten[0])];
    std::string content = in.Rest();
    fuzz::WriteScratchFile("brellon.ini", content);
    CxIniUtil ini(fuzz::Scratch().c_str(), "brellon.ini");

    AppOption before;
    LoadOption(ini, &before);

    // One key written.
    const char* value = "C:\\Palm Data\\x.dat";
    if (!plat::WriteProfileString(ini.Path(), w.section, w.key, value))
        fuzz::Fail("a key cannot be written", w.key);
    char got[300] = {};
    plat::GetProfileString(ini.Path(), w.section, w.key, "<none>", got, sizeof got);
    if (std::strcmp(got, value) != 0)
        fuzz::Fail("a written key reads back otherwise", std::string(w.key) + " = " + got);
    AppOption expected;
    std::memcpy(&expected, &before, sizeof expected);
    if (w.text) {
        char* t = expected.*w.text;
        std::memset(t, 0, AppOption::kFileCapacity);
        std::strcpy(t, value);
    }
    AppOption after;
    LoadOption(ini, &after);
    if (!Same(after, expected))
        fuzz::Fail("writing one key changed another setting", w.key);

    // Every setting saved and read again.
    if (!(mode & 0x80))
        return 0;
    SaveOption(ini, after);
    AppOption reread;
    LoadOption(ini, &reread);
    for (TextField text : kTexts) {
        if (!Survives(after.*text)) {
            (after.*text)[0] = 0;
            (reread.*text)[0] = 0;
        }
    }
    if (!Same(after, reread))
        fuzz::Fail("saved settings read back otherwise");
    return 0;
}
