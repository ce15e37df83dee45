#include "Records.h"

#include "misc/CxDebugUtil.h"
#include "misc/CxIniUtil.h"
#include "palm/PalmAddrInfo.h"
#include "palm/PalmComm.h"
#include "palm/PalmDateInfo.h"
#include "palm/PalmMemoInfo.h"
#include "palm/PalmTodoInfo.h"
#include "platform/Codepage.h"
#include "platform/System.h"
#include "platform/WinPath.h"

#include <string>
#include <utility>
#include <vector>

namespace palmdump {

std::string AnsiToUtf8(std::string_view ansi)
{
    std::u16string wide = plat::AnsiToWide(ansi);
    std::string out;
    out.reserve(wide.size());
    for (size_t i = 0; i < wide.size(); ++i) {
        uint32_t c = wide[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < wide.size() && wide[i + 1] >= 0xDC00 && wide[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (wide[i + 1] - 0xDC00);
            ++i;
        }
        if (c < 0x80) {
            out += char(c);
        } else if (c < 0x800) {
            out += char(0xC0 | (c >> 6));
            out += char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += char(0xE0 | (c >> 12));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        } else {
            out += char(0xF0 | (c >> 18));
            out += char(0x80 | ((c >> 12) & 0x3F));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::string JsonString(std::string_view utf8)
{
    std::string out = "\"";
    for (unsigned char c : utf8) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", c);
                out += buf;
            } else {
                out += char(c);
            }
        }
    }
    return out + "\"";
}

std::string SettingsPath()
{
    std::string folder = plat::CommonAppDataFolder() + "\\brellon\\Tarnwick\\";
    if (plat::HostExists(plat::ToHostPath(folder)))
        return folder + "brellon.ini";
    // An empty folder is the program's own.
    return CxIniUtil("", "brellon.ini").Path();
}

AppOption LoadSettings(const std::string& path)
{
    CxIniUtil ini("", "brellon.ini");
    ini.SetPath(path.c_str());
    AppOption opt{};
    LoadOption(ini, &opt);
    return opt;
}

namespace {

/// One record as printed: its position, status, duplicate bit and the
/// review page's fields (name, text) in column order.
struct Row {
    uint32_t index;
    uint32_t status;
    bool duplicate;
    std::vector<std::pair<const char*, std::string>> fields;
};

struct AppDump {
    const char* app;
    int32_t generation;
    bool loaded;
    std::vector<Row> rows;
    std::vector<uint32_t> duplicates;  // positions, in the order detection listed them
};

std::string Clock(const CxSystemTime& t)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", t.hour, t.minute, t.second);
    return buf;
}

std::string DueText(uint32_t due)
{
    if (due >= CommTask::kNoDueDate)
        return "N/A";
    PmTime t;
    t.FromSeconds(0);
    t.Set(int32_t(due));
    char date[32], time[32];
    if (!t.DateText(date, sizeof date) || !t.TimeText(time, sizeof time))
        return "";
    return std::string(date) + " " + time;
}

const char* Importance(int32_t priority)
{
    return priority == 1 ? "High" : priority == 2 ? "Low" : "Normal";
}

template <typename Mgr, typename Fields>
void Collect(Mgr* mgr, CxList<typename Mgr::Record>& dups, AppDump* out, Fields fields)
{
    uint32_t i = 0;
    for (auto* r = mgr->First(); r; r = mgr->Next(), ++i)
        out->rows.push_back({i, r->Trailer.Status, (r->Trailer.MarkFlags & kCommMarkDuplicate) != 0, fields(*r)});
    for (auto* r = dups.First(); r; r = dups.Next())
        out->duplicates.push_back(uint32_t(mgr->IndexOf(r)));
    dups.Clear(false);
}

// A record text as UTF-8: the .dat generations' texts are ANSI, the 6.x
// records' are UTF-8 already.
std::string Text(std::string_view text, bool utf8) { return utf8 ? std::string(text) : AnsiToUtf8(text); }

bool TextsUtf8(int32_t loadedGeneration) { return loadedGeneration == kPmGenEx2; }

void Print(const AppDump& d, bool json, FILE* out)
{
    static const char* kGenNames[] = {"none", "classic", "4.1.x", "6.x"};
    const char* gen = d.generation >= 0 && d.generation <= 3 ? kGenNames[d.generation] : "unknown";
    if (json) {
        std::string list;
        for (uint32_t p : d.duplicates)
            list += (list.empty() ? "" : ",") + std::to_string(p);
        std::fprintf(out,
                     "{\"kind\":\"app\",\"app\":\"%s\",\"generation\":%d,\"generationName\":\"%s\",\"loaded\":%s,"
                     "\"records\":%zu,\"duplicates\":%zu,\"duplicateIndexes\":[%s]}\n",
                     d.app, d.generation, gen, d.loaded ? "true" : "false", d.rows.size(), d.duplicates.size(),
                     list.c_str());
        for (const Row& r : d.rows) {
            std::string line = "{\"kind\":\"record\",\"app\":\"" + std::string(d.app) +
                               "\",\"index\":" + std::to_string(r.index) + ",\"status\":" + std::to_string(r.status) +
                               ",\"duplicate\":" + (r.duplicate ? "1" : "0");
            for (const auto& f : r.fields)
                line += ",\"" + std::string(f.first) + "\":" + JsonString(f.second);
            std::fprintf(out, "%s}\n", line.c_str());
        }
        return;
    }
    std::fprintf(out, "%s: generation %d (%s), %s, %zu records, %zu duplicates\n", d.app, d.generation, gen,
                 d.loaded ? "loaded" : "not loaded", d.rows.size(), d.duplicates.size());
    for (const Row& r : d.rows) {
        std::string line;
        for (const auto& f : r.fields) {
            std::string v = f.second;
            for (char& c : v)
                if (c == '\r' || c == '\n')
                    c = ' ';
            line += (line.empty() ? "" : " | ") + v;
        }
        std::fprintf(out, "  #%u status 0x%02x%s  %s\n", r.index, r.status, r.duplicate ? " dup" : "", line.c_str());
    }
    std::string list;
    for (uint32_t p : d.duplicates)
        list += " #" + std::to_string(p);
    std::fprintf(out, "  duplicates:%s\n", list.empty() ? " none" : list.c_str());
}

bool Loaded(int32_t gen) { return gen >= 1 && gen <= 3; }

}  // namespace

int DumpUserRecords(uint32_t user, int32_t apps, const AppOption& opt, bool json, FILE* out)
{
    bool all = true;
    if (apps & kAppAddr) {
        PmAddrInfo info;
        info.LoadByUser(int32_t(user));
        CxList<CommAddr> dups;
        DetectAddrDups(info.GetCommMgr(), &dups, opt);
        AppDump d{"Contacts", PmAddrInfo::ChosenGeneration(), Loaded(info.LoadedGeneration()), {}, {}};
        const bool utf8 = TextsUtf8(info.LoadedGeneration());
        Collect(info.GetCommMgr(), dups, &d, [utf8](const CommAddr& a) {
            return std::vector<std::pair<const char*, std::string>>{
                {"firstName", Text(a.FirstName.View(), utf8)},     {"lastName", Text(a.LastName.View(), utf8)},
                {"email", Text(a.Email.View(), utf8)},             {"businessPhone", Text(a.WorkPhone.View(), utf8)},
                {"mobilePhone", Text(a.MobilePhone.View(), utf8)}, {"company", Text(a.Company.View(), utf8)}};
        });
        Print(d, json, out);
        all = all && d.loaded;
    }
    if (apps & kAppDate) {
        PmDateInfo info;
        info.LoadByUser(int32_t(user));
        CxList<CommDate> dups;
        DetectDateDups(info.GetCommMgr(), &dups, opt);
        AppDump d{"Calendar", info.ChosenGeneration(), Loaded(info.LoadedGeneration()), {}, {}};
        const bool utf8 = TextsUtf8(info.LoadedGeneration());
        Collect(info.GetCommMgr(), dups, &d, [utf8](const CommDate& e) {
            return std::vector<std::pair<const char*, std::string>>{
                {"subject", Text(e.Description.View(), utf8)},
                {"startTime", Clock(e.StartTime)},
                {"endTime", Clock(e.EndTime)},
                {"allDayEvent", e.AllDayEvent ? "Yes" : "No"},
                {"location", Text(e.Location.View(), utf8)}};
        });
        Print(d, json, out);
        all = all && d.loaded;
    }
    if (apps & kAppTodo) {
        PmTodoInfo info;
        info.LoadByUser(int32_t(user));
        CxList<CommTask> dups;
        DetectTaskDups(info.GetCommMgr(), &dups, opt);
        AppDump d{"Tasks", info.ChosenGeneration(), Loaded(info.LoadedGeneration()), {}, {}};
        const bool utf8 = TextsUtf8(info.LoadedGeneration());
        Collect(info.GetCommMgr(), dups, &d, [utf8](const CommTask& t) {
            return std::vector<std::pair<const char*, std::string>>{{"subject", Text(t.Description.View(), utf8)},
                                                                     {"importance", Importance(t.Priority)},
                                                                     {"dueDate", DueText(t.DueDate)},
                                                                     {"notes", Text(t.Note.View(), utf8)}};
        });
        Print(d, json, out);
        all = all && d.loaded;
    }
    if (apps & kAppMemo) {
        PmMemoInfo info;
        info.LoadByUser(int32_t(user));
        CxList<CommNote> dups;
        DetectNoteDups(info.GetCommMgr(), &dups, opt);
        AppDump d{"Notes", info.ChosenGeneration(), Loaded(info.LoadedGeneration()), {}, {}};
        const bool utf8 = TextsUtf8(info.LoadedGeneration());
        Collect(info.GetCommMgr(), dups, &d, [utf8](const CommNote& n) {
            return std::vector<std::pair<const char*, std::string>>{{"notes", Text(n.Subject.View(), utf8)}};
        });
        Print(d, json, out);
        all = all && d.loaded;
    }
    return all ? 0 : 1;
}

}  // namespace palmdump
