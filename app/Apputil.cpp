#include "app/Apputil.h"

#include "misc/CxDebugUtil.h"

#include <cstddef>
#include <cstring>
#include <string_view>

namespace {

enum class Kind { Int, Bool, Text };

struct OptionKey {
    const char* name;
    Kind kind;
    size_t offset;  // of the member inside AppOption
    int32_t def;    // default of an int or bool; texts default to ""
};

#define OPT_INT(m, d) {#m, Kind::Int, offsetof(AppOption, m), d}
#define OPT_BOOL(m, d) {#m, Kind::Bool, offsetof(AppOption, m), d}
#define OPT_TEXT(m) {#m, Kind::Text, offsetof(AppOption, m), 0}

// Every key with its type and default.
const OptionKey kKeys[] = {
    OPT_INT(UserID, 0),
    OPT_BOOL(CaseSensitive, 1),
    OPT_INT(AppFlag, 15),
    OPT_BOOL(AddrAll, 1), OPT_BOOL(DateAll, 1), OPT_BOOL(TodoAll, 1), OPT_BOOL(MemoAll, 1),
    OPT_BOOL(AddrDetail, 1), OPT_BOOL(DateDetail, 1), OPT_BOOL(TodoDetail, 1), OPT_BOOL(MemoDetail, 1),
    OPT_BOOL(AddrFirstName, 1), OPT_BOOL(AddrMiddleName, 1), OPT_BOOL(AddrLastName, 1), OPT_BOOL(AddrEmail, 1),
    OPT_BOOL(AddrBusiPhone, 0), OPT_BOOL(AddrHomePhone, 0), OPT_BOOL(AddrBusiAddr, 0), OPT_BOOL(AddrHomeAddr, 0),
    OPT_BOOL(AddrNotes, 0), OPT_BOOL(AddrMobilePhone, 0), OPT_BOOL(AddrCompany, 0), OPT_BOOL(AddrTitle, 0),
    OPT_BOOL(AddrFax, 0),
    OPT_BOOL(DateDesc, 1), OPT_BOOL(DateStartTime, 1), OPT_BOOL(DateEndTime, 1), OPT_BOOL(DateAllDayEvent, 1),
    OPT_BOOL(DateRepeat, 0), OPT_BOOL(DateNotes, 0), OPT_BOOL(DateLocation, 0),
    OPT_BOOL(TodoDesc, 1), OPT_BOOL(TodoPriority, 0), OPT_BOOL(TodoDueDate, 1), OPT_BOOL(TodoNotes, 0),
    OPT_BOOL(MemoDesc, 1), OPT_BOOL(MemoNotes, 0),
    OPT_TEXT(AddrFile), OPT_TEXT(DateFile), OPT_TEXT(TodoFile), OPT_TEXT(MemoFile),
    OPT_BOOL(QuitRemind, 1),
    OPT_BOOL(EnableDebug, 0),
    OPT_INT(LogLevel, 3),
};

#undef OPT_INT
#undef OPT_BOOL
#undef OPT_TEXT

#define ADDR_RULE_KEYS                                                                                    \
    "AddrFirstName", "AddrMiddleName", "AddrLastName", "AddrEmail", "AddrBusiPhone", "AddrHomePhone",     \
        "AddrBusiAddr", "AddrHomeAddr", "AddrNotes", "AddrMobilePhone", "AddrCompany", "AddrTitle", "AddrFax"

// The order of reading differs from the order of writing; both are kept as
// the files of earlier runs were written.
const char* const kLoadOrder[] = {
    "CaseSensitive", "AppFlag", "AddrAll", "DateAll", "TodoAll", "MemoAll", "AddrDetail", "DateDetail",
    "TodoDetail", "MemoDetail", ADDR_RULE_KEYS, "DateDesc", "DateStartTime", "DateEndTime", "DateAllDayEvent",
    "DateRepeat", "DateNotes", "DateLocation", "TodoDesc", "TodoDueDate", "TodoPriority", "TodoNotes", "MemoDesc",
    "MemoNotes", "UserID", "AddrFile", "DateFile", "TodoFile", "MemoFile", "QuitRemind", "EnableDebug",
    "LogLevel",
};

const char* const kSaveOrder[] = {
    "UserID", "CaseSensitive", "AppFlag", "AddrAll", "DateAll", "TodoAll", "MemoAll", "AddrDetail",
    "DateDetail", "TodoDetail", "MemoDetail", ADDR_RULE_KEYS, "DateDesc", "DateStartTime", "DateEndTime",
    "DateAllDayEvent", "DateRepeat", "DateNotes", "DateLocation", "TodoDesc", "TodoPriority", "TodoDueDate",
    "TodoNotes", "MemoDesc", "MemoNotes", "AddrFile", "DateFile", "TodoFile", "MemoFile", "QuitRemind",
    "EnableDebug", "LogLevel",
};

#undef ADDR_RULE_KEYS

constexpr size_t kKeyCount = sizeof kKeys / sizeof kKeys[0];
static_assert(sizeof kLoadOrder / sizeof kLoadOrder[0] == kKeyCount);
static_assert(sizeof kSaveOrder / sizeof kSaveOrder[0] == kKeyCount);

const OptionKey& KeyNamed(const char* name)
{
    for (const OptionKey& k : kKeys)
        if (std::strcmp(k.name, name) == 0)
            return k;
    CX_ASSERT(!"unknown option key");
    return kKeys[0];
}

template <typename T>
T& Member(AppOption* opt, const OptionKey& k)
{
    return *reinterpret_cast<T*>(reinterpret_cast<char*>(opt) + k.offset);
}

template <typename T>
const T& Member(const AppOption& opt, const OptionKey& k)
{
    return *reinterpret_cast<const T*>(reinterpret_cast<const char*>(&opt) + k.offset);
}

}  // namespace

AppOption DefaultOption()
{
    AppOption opt;
    std::memset(&opt, 0, sizeof opt);
    for (const OptionKey& k : kKeys) {
        if (k.kind == Kind::Int)
            Member<int32_t>(&opt, k) = k.def;
        else if (k.kind == Kind::Bool)
            Member<bool>(&opt, k) = k.def != 0;
    }
    return opt;
}

AppOption& TheOption()
{
    static AppOption opt = DefaultOption();
    return opt;
}

void LoadOption(const CxIniUtil& ini, AppOption* opt)
{
    if (!opt)
        return;
    std::memset(opt, 0, sizeof *opt);
    for (const char* name : kLoadOrder) {
        const OptionKey& k = KeyNamed(name);
        switch (k.kind) {
        case Kind::Int:
            Member<int32_t>(opt, k) = ini.ReadInt(kOptionSection, k.name, k.def);
            break;
        case Kind::Bool:
            Member<bool>(opt, k) = ini.ReadBool(kOptionSection, k.name, k.def != 0);
            break;
        case Kind::Text:
            ini.ReadString(kOptionSection, k.name, &Member<char>(opt, k), AppOption::kFileCapacity, "");
            break;
        }
    }
}

void SaveOption(const CxIniUtil& ini, const AppOption& opt)
{
    for (const char* name : kSaveOrder) {
        const OptionKey& k = KeyNamed(name);
        switch (k.kind) {
        case Kind::Int:
            ini.WriteInt(kOptionSection, k.name, Member<int32_t>(opt, k));
            break;
        case Kind::Bool:
            ini.WriteBool(kOptionSection, k.name, Member<bool>(opt, k));
            break;
        case Kind::Text: {
            // The text fields are always terminated by the load; a caller may
            // have filled one to the brim, so never read past its capacity.
            char text[AppOption::kFileCapacity];
            const char* src = &Member<char>(opt, k);
            size_t n = strnlen(src, sizeof text - 1);
            std::memcpy(text, src, n);
            text[n] = 0;
            ini.WriteString(kOptionSection, k.name, text);
            break;
        }
        }
    }
}

void LoadOption()
{
    LoadOption(TheIni(), &TheOption());
}

void SaveOption()
{
    SaveOption(TheIni(), TheOption());
}
