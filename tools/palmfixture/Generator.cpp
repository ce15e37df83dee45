#include "palmfixture/Generator.h"

#include "palm/PalmComm.h"
#include "palm/PalmCommEx2.h"
#include "palm/PalmDateEx2.h"
#include "palm/PalmInfo.h"
#include "palm/PalmTodoEx2.h"
#include "palmfixture/FixtureClassic.h"
#include "palmfixture/FixtureEx.h"
#include "palmfixture/FixtureEx2.h"
#include "platform/Codepage.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

namespace palmfix {
namespace {

// A small deterministic generator: the same seed gives the same data on
// every machine.
struct Rng {
    uint64_t s;
    explicit Rng(uint32_t seed, uint32_t stream) : s(0x9E3779B97F4A7C15ull * (uint64_t(seed) + 1) + stream) {}
    uint32_t Next()
    {
        s ^= s << 13;
        s ^= s >> 7;
        s ^= s << 17;
        return uint32_t(s >> 16);
    }
    uint32_t Below(uint32_t n) { return n ? Next() % n : 0; }
    bool OneIn(uint32_t n) { return Below(n) == 0; }
    template <size_t N>
    const char* Pick(const char* const (&list)[N])
    {
        return list[Below(N)];
    }
};

// Texts are in the ANSI code page 1252: \xE9 e acute, \xFC u umlaut, \xF1 n
// tilde, \xE7 c cedilla, \xC9 E acute, \xF6 o umlaut, \xE5 a ring.
const char* const kFirst[16] = {"Anna",      "Bj\xF6rn", "Clara", "Dmitri", "\xC9lodie", "Farid", "Greta",   "Hugo",
                                "In\xE9s",    "Jos\xE9", "Kari",  "Li",     ("Mar\xED" "a"),  "Niamh", "Ot\xE5r", "Pilar"};
const char* const kLast[16] = {"Albrecht", "O'Brien", "Castro",  "Dvo\xF8\xE1k", "Eriksen", "Fran\xE7ois",
                               "Gruber",   "M\xFCller", "Iba\xF1\x65z", "Jansen",  "K\xF6hler", "L'Estrange",
                               "Moreau",   "N\xFA\xF1\x65z", "O'Neil", "Petit"};
const char* const kCompanies[] = {"",          "Albrecht & S\xF6hne", "Caf\xE9 du Nord", "O'Malley's Pub",
                                  "Nordlicht AG", "Smith, Jones & Co.", ""};
const char* const kTitles[] = {"", "Manager", "Ing\xE9nieur", "Director of Sales", "CEO", ""};
const char* const kCities[] = {"M\xFCnchen", "Montr\xE9" "al", "S\xE3o Paulo", "Dublin", "K\xF8" "benhavn", "Austin"};
const char* const kStreets[] = {"12 Rue de l'\xC9glise", "Hauptstra\xDF\x65 5", "1 O'Connell St", "742 Evergreen Terrace",
                                "Calle Ma\xF1\x61na 3"};
const char* const kCountries[] = {"", "Deutschland", "Canada", "Brasil", "Ireland", "Danmark", "USA"};
const char* const kWords[] = {"review", "call",  "budget", "lunch", "plan",  "report", "visit", "order",
                              "caf\xE9", "r\xE9sum\xE9", "na\xEFve", "draft", "invoice", "O'Hara's"};
const char* const kPlaces[] = {"", "Room 4", "Caf\xE9 M\xFCller", "O'Leary's office", "Main hall", ""};

const std::vector<GenCategory>& Categories()
{
    static const std::vector<GenCategory> cats = {{1, "Business"}, {2, "Personal"}, {3, "Qu\xE9" "bec"},
                                                  {4, "Friends' club"}};
    return cats;
}

int32_t At(int y, int mo, int d, int h = 0, int mi = 0)
{
    PmTime t;
    t.FromParts(y, mo, d, h, mi, 0);
    return t.Value();
}

std::string Sentence(Rng& rng, int words)
{
    std::string s;
    for (int i = 0; i < words; ++i) {
        if (i)
            s += ' ';
        s += rng.Pick(kWords);
    }
    return s;
}

/// A note: empty, one line, several lines, or long.
std::string Note(Rng& rng)
{
    switch (rng.Below(6)) {
    case 0:
    case 1: return "";
    case 2: return Sentence(rng, 4);
    case 3: return Sentence(rng, 3) + "\r\n" + Sentence(rng, 5) + "\r\n- " + Sentence(rng, 2);
    case 4: {
        std::string s;
        while (s.size() < 3000)
            s += Sentence(rng, 8) + ".\r\n";
        return s;
    }
    default: return "Don't forget: " + Sentence(rng, 2);
    }
}

/// The file order of the records: `live` records of which `dups` are copies
/// of an earlier unique one, and the hidden records among them. Each entry
/// is the index of the unique record it shows (>= 0), or for a copy
/// -(1 + the file position of its original); hidden entries are flagged.
struct Slot {
    int32_t unique;   // index of the unique record, or -1 for a copy
    int32_t copyOf;   // file position of the original, or -1
    bool hidden;
};

std::vector<Slot> Layout(const GenOptions& opt, uint32_t stream)
{
    Rng rng(opt.seed, stream);
    uint32_t live = opt.records;
    uint32_t dups = live == 0 ? 0 : std::min(opt.duplicates, live - 1);
    uint32_t hidden = live == 0 ? 0 : std::max<uint32_t>(1, live / 10);

    // Which live positions are copies (never the first).
    std::vector<uint32_t> positions;
    for (uint32_t p = 1; p < live; ++p)
        positions.push_back(p);
    for (uint32_t i = 0; i < dups; ++i)
        std::swap(positions[i], positions[i + rng.Below(uint32_t(positions.size()) - i)]);
    std::vector<bool> isCopy(live, false);
    for (uint32_t i = 0; i < dups; ++i)
        isCopy[positions[i]] = true;

    // Where the hidden records go among the live ones.
    std::vector<bool> hiddenAt(live + hidden, false);
    std::vector<uint32_t> all;
    for (uint32_t p = 0; p < live + hidden; ++p)
        all.push_back(p);
    for (uint32_t i = 0; i < hidden; ++i)
        std::swap(all[i], all[i + rng.Below(uint32_t(all.size()) - i)]);
    for (uint32_t i = 0; i < hidden; ++i)
        hiddenAt[all[i]] = true;

    std::vector<Slot> out;
    std::vector<int32_t> uniquePos;  // file positions of the unique records so far
    uint32_t liveIndex = 0;
    int32_t nextUnique = 0;
    for (uint32_t p = 0; p < live + hidden; ++p) {
        if (hiddenAt[p] || liveIndex >= live) {
            out.push_back({-1, -2, true});  // original filled in below
            continue;
        }
        if (isCopy[liveIndex++] && !uniquePos.empty()) {
            out.push_back({-1, uniquePos[rng.Below(uint32_t(uniquePos.size()))], false});
        } else {
            uniquePos.push_back(int32_t(p));
            out.push_back({nextUnique++, -1, false});
        }
    }
    // A hidden record copies some unique live record (before or after it).
    for (Slot& s : out)
        if (s.hidden)
            s.copyOf = uniquePos.empty() ? -1 : uniquePos[rng.Below(uint32_t(uniquePos.size()))];
    return out;
}

template <typename Rec, typename MakeUnique>
std::vector<Rec> Build(const GenOptions& opt, uint32_t stream, MakeUnique make)
{
    std::vector<Slot> layout = Layout(opt, stream);
    Rng rng(opt.seed, stream + 100);
    std::vector<Rec> out(layout.size());
    // Uniques first (copies may point forward for hidden records).
    for (size_t p = 0; p < layout.size(); ++p)
        if (layout[p].unique >= 0)
            out[p] = make(rng, layout[p].unique);
    uint32_t hiddenCount = 0;
    for (size_t p = 0; p < layout.size(); ++p) {
        if (layout[p].unique >= 0) {
            // Some live records carry status bits that do not hide them.
            out[p].status = rng.OneIn(5) ? 0x40 : 0;
            out[p].copyOf = -1;
            continue;
        }
        if (layout[p].copyOf < 0)
            continue;
        out[p] = out[size_t(layout[p].copyOf)];
        out[p].copyOf = layout[p].copyOf;
        out[p].status = layout[p].hidden ? ((hiddenCount++ % 2) ? 0x04 : 0x80) : 0;
    }
    for (size_t p = 0; p < out.size(); ++p)
        out[p].id = int32_t(p + 1);
    return out;
}

GenContact MakeContact(Rng& rng, int32_t u)
{
    GenContact c;
    // First and last name together are unique for every unique contact.
    c.first = kFirst[u % 16];
    c.last = kLast[(u / 16) % 16];
    if (u >= 256)
        c.last += " " + std::to_string(u / 256 + 1);
    c.category = rng.OneIn(3) ? 0 : int32_t(1 + rng.Below(4));
    c.isPrivate = rng.OneIn(6);
    c.title = rng.Pick(kTitles);
    c.company = rng.Pick(kCompanies);
    if (rng.OneIn(10))
        c.company = std::string("The Extraordinarily Long Name of a Company That Does Not Fit ") + "Into Its Field GmbH";
    c.note = Note(rng);
    if (rng.OneIn(3)) {
        c.middle = rng.OneIn(2) ? "J." : ("Mar\xED" "a");
        c.prefix = rng.OneIn(2) ? "Dr." : "Mme";
        c.suffix = rng.OneIn(4) ? "Jr." : "";
        c.nick = rng.OneIn(2) ? std::string(kFirst[(u + 3) % 16]).substr(0, 3) : "";
    }
    for (int a = 0; a < 3; ++a) {
        if (a > 0 && !rng.OneIn(2))
            continue;
        c.address[a][0] = rng.Pick(kStreets);
        c.address[a][1] = rng.Pick(kCities);
        c.address[a][2] = rng.OneIn(2) ? "" : "QC";
        c.address[a][3] = std::to_string(10000 + rng.Below(89999));
        c.address[a][4] = rng.Pick(kCountries);
    }
    // Slots: work, home, e-mail, mobile, fax or pager, other, main.
    const int32_t labels[7] = {0, 1, 4, 7, rng.OneIn(2) ? 2 : 6, 3, 5};
    for (int s = 0; s < 7; ++s) {
        c.label[s] = labels[s];
        if (rng.OneIn(3))
            continue;  // an empty slot
        if (labels[s] == 4) {
            std::string mail = c.first.empty() ? "info" : c.first;
            for (char& ch : mail)
                if (uint8_t(ch) >= 0x80)
                    ch = 'e';
            c.phone[s] = mail + "." + std::to_string(u) + "@example.com";
        } else {
            char buf[32];
            std::snprintf(buf, sizeof buf, "+1 555-%04u", rng.Below(10000));
            c.phone[s] = buf;
        }
    }
    // Now and then a later slot repeats a label: the later number wins.
    if (rng.OneIn(8)) {
        c.label[5] = 0;
        c.phone[5] = "+1 555-0000 ext. 2";
    }
    for (int i = 0; i < 10; ++i)
        if (rng.OneIn(4))
            c.custom[i] = "custom " + std::to_string(i + 1) + ": " + rng.Pick(kWords);
    if (rng.OneIn(4)) {
        c.chat1 = "im:" + std::to_string(u);
        c.assistant = "Ms. O'Reilly";
        c.assistantPhone = "+1 555-0101";
    }
    return c;
}

GenEvent MakeEvent(Rng& rng, int32_t u)
{
    GenEvent e;
    // The start time is unique: one hour apart, on a quarter hour.
    int32_t base = At(2024, 1, 1, 7, 0);
    e.start = base + u * 3600 + int32_t(rng.Below(4)) * 900;
    e.untimed = rng.OneIn(6);
    e.end = e.start + int32_t(1 + rng.Below(4)) * 1800;
    e.description = Sentence(rng, 1 + int(rng.Below(4)));
    if (rng.OneIn(3))
        e.description[0] = char(e.description[0] & ~0x20);
    if (rng.OneIn(12))
        e.description = "Meeting with " + std::string(kLast[rng.Below(16)]) + " about " + Sentence(rng, 40);
    e.note = Note(rng);
    e.location = rng.Pick(kPlaces);
    e.category = rng.OneIn(3) ? 0 : int32_t(1 + rng.Below(4));
    e.isPrivate = rng.OneIn(6);
    e.alarm = rng.OneIn(3);
    if (e.alarm) {
        e.alarmAdvance = int32_t(rng.Below(30));
        e.alarmUnit = int32_t(rng.Below(3));
    }
    // Every repeat kind comes round.
    e.kind = u % 7;
    if (e.kind != 0) {
        e.interval = 1 + int32_t(rng.Below(3));
        switch (rng.Below(3)) {
        case 0: e.repeatEnd = At(2019, 6, 30); break;
        case 1: e.repeatEnd = At(2031, 3, 1); break;
        default: e.repeatEnd = 0x749DCEFF; break;  // no end
        }
        e.dayIndex = int32_t(rng.Below(7));
        e.daysMask = uint8_t(1 + rng.Below(0x7F));
        e.weekIndex = int32_t(rng.Below(5));
        e.monthIndex = int32_t(rng.Below(12));
        e.dayNumber = int32_t(1 + rng.Below(28));
    }
    return e;
}

GenTask MakeTask(Rng& rng, int32_t u)
{
    GenTask t;
    // The description is unique.
    t.description = Sentence(rng, 1 + int(rng.Below(3))) + " " + std::to_string(u + 1);
    if (rng.OneIn(10))
        t.description = "Ask " + std::string(kLast[rng.Below(16)]) + " about " + Sentence(rng, 45) + " " +
                        std::to_string(u + 1);
    t.note = Note(rng);
    t.due = rng.OneIn(4) ? -1 : At(2024, 1 + int(rng.Below(12)), 1 + int(rng.Below(28)));
    t.priority = 1 + int32_t(rng.Below(5));
    t.completed = rng.OneIn(4);
    t.isPrivate = rng.OneIn(6);
    t.alarm = rng.OneIn(4);
    t.category = rng.OneIn(3) ? 0 : int32_t(1 + rng.Below(4));
    t.kind = u % 5;
    if (t.kind != 0) {
        t.interval = 1 + int32_t(rng.Below(2));
        t.repeatEnd = rng.OneIn(2) ? At(2019, 12, 31) : 0x749DCEFF;
        t.dayIndex = int32_t(rng.Below(7));
        t.daysMask = uint8_t(1 + rng.Below(0x7F));
        t.weekIndex = int32_t(rng.Below(5));
        t.dayNumber = int32_t(1 + rng.Below(28));
    }
    return t;
}

GenMemo MakeMemo(Rng& rng, int32_t u)
{
    GenMemo m;
    // The first line is unique.
    std::string subject = "Note " + std::to_string(u + 1) + ": " + Sentence(rng, 1 + int(rng.Below(4)));
    switch (rng.Below(5)) {
    case 0: m.text = subject; break;
    case 1: m.text = subject + "\r\n" + Sentence(rng, 6) + "\r\n" + Sentence(rng, 3); break;
    case 2: m.text = "Shopping " + std::to_string(u + 1) + "\r\nmilk\r\ncaf\xE9\r\nO'Brien's bread"; break;
    case 3: {
        m.text = subject + "\r\n";
        while (m.text.size() < 9000)
            m.text += Sentence(rng, 10) + ".\r\n";
        break;
    }
    default: m.text = subject + "\nlone line feeds\nstay in the subject"; break;
    }
    m.category = rng.OneIn(3) ? 0 : int32_t(1 + rng.Below(4));
    m.isPrivate = rng.OneIn(6);
    return m;
}

// The generator's texts are ANSI (code page 1252 in the demo's locale); a 6.x
// record holds the stored text in UTF-8, cut where the ANSI text was.
std::string StoredText(const std::string& ansi)
{
    return plat::WideToUtf8(plat::AnsiToWide(ansi));
}

template <size_t N>
void Put(PmEx2Text<N>& field, const std::string& text)
{
    field.SetStored(PmStoredCut(plat::AnsiToWide(text), N));
}

const char* CategoryName(int32_t id)
{
    for (const GenCategory& c : Categories())
        if (c.id == id)
            return c.name.c_str();
    return "";
}

// Classic generation.

bool WriteClassicApps(const std::string& folder, int32_t apps, const GenOptions& opt, std::string* error)
{
    std::vector<ClassicCategory> cats;
    for (const GenCategory& c : Categories())
        cats.push_back({c.id, c.name});
    if (apps & kGenAddr) {
        ClassicContent<PmAddrRecord> content;
        content.categories = cats;
        content.header = "Birthday\nSpouse\nL'anniversaire\nPet\n";
        for (const GenContact& g : GenerateContacts(opt)) {
            PmAddrRecord r;
            r.RecordID = g.id;
            r.Status = g.status;
            r.Placement = g.id;
            r.LastName = g.last;
            r.FirstName = g.first;
            r.JobTitle = g.title;
            r.Company = g.company;
            for (int s = 0; s < 5; ++s) {
                r.Phone[s] = g.phone[s];
                r.PhoneLabel[s] = g.label[s];
            }
            r.Street = g.address[0][0];
            r.City = g.address[0][1];
            r.State = g.address[0][2];
            r.ZipCode = g.address[0][3];
            r.Country = g.address[0][4];
            r.Note = g.note;
            r.Private = g.isPrivate;
            r.Category = g.category;
            for (int i = 0; i < 4; ++i)
                r.Custom[i] = g.custom[i];
            content.records.push_back(r);
        }
        if (!WriteClassicAddress(folder + "address\\address.dat", content, error))
            return false;
    }
    if (apps & kGenDate) {
        ClassicContent<PmDateRecord> content;
        content.categories = cats;
        for (const GenEvent& g : GenerateEvents(opt)) {
            PmDateRecord r;
            r.RecordID = g.id;
            r.Status = g.status;
            r.Placement = g.id;
            r.StartTime = g.start;
            r.EndTime = g.end;
            r.Description = g.description;
            r.Note = g.note;
            r.Untimed = g.untimed;
            r.Private = g.isPrivate;
            r.Category = g.category;
            r.AlarmSet = g.alarm;
            r.AlarmAdvance = g.alarmAdvance;
            r.AlarmUnit = g.alarmUnit;
            r.Repeat.Class = g.kind;
            r.Repeat.Interval = g.interval;
            r.Repeat.EndDate = g.repeatEnd;
            r.Repeat.DayIndex = g.dayIndex;
            r.Repeat.DaysMask = g.daysMask;
            r.Repeat.WeekIndex = g.weekIndex;
            r.Repeat.Month = g.monthIndex;
            r.Repeat.DayNumber = g.dayNumber;
            if (g.kind != 0 && g.id % 4 == 0)
                r.Repeat.Exceptions = {uint32_t(g.start + 7 * 86400), uint32_t(g.start + 14 * 86400)};
            content.records.push_back(r);
        }
        if (!WriteClassicDate(folder + "datebook\\datebook.dat", content, error))
            return false;
    }
    if (apps & kGenTodo) {
        ClassicContent<PmTodoRecord> content;
        content.categories = cats;
        for (const GenTask& g : GenerateTasks(opt)) {
            PmTodoRecord r;
            r.RecordID = g.id;
            r.Status = g.status;
            r.Placement = g.id;
            r.Description = g.description;
            r.DueDate = g.due;
            r.Completed = g.completed;
            r.Priority = g.priority;
            r.Private = g.isPrivate;
            r.Category = g.category;
            r.Note = g.note;
            content.records.push_back(r);
        }
        if (!WriteClassicTodo(folder + "todo\\todo.dat", content, error))
            return false;
    }
    if (apps & kGenMemo) {
        ClassicContent<PmMemoRecord> content;
        content.categories = cats;
        for (const GenMemo& g : GenerateMemos(opt)) {
            PmMemoRecord r;
            r.RecordID = g.id;
            r.Status = g.status;
            r.Placement = g.id;
            r.Memo = g.text;
            r.Private = g.isPrivate;
            r.Category = g.category;
            content.records.push_back(r);
        }
        if (!WriteClassicMemo(folder + "memopad\\memopad.dat", content, error))
            return false;
    }
    return true;
}

// 4.1.x generation.

template <typename R>
std::vector<const R*> Pointers(const std::vector<R>& recs)
{
    std::vector<const R*> out;
    for (const auto& r : recs)
        out.push_back(&r);
    return out;
}

void ExPrefix(PmExRecord* r, int32_t id, int32_t status, int32_t category, bool isPrivate)
{
    r->RecordID = uint32_t(id);
    r->Status = uint32_t(status);
    r->Placement = uint32_t(id);
    r->Category = uint32_t(category);
    r->Private = isPrivate ? 1 : 0;
}

void ExRepeat(PmRepeat* rep, int32_t kind, int32_t interval, int32_t end, int32_t dayIndex, uint8_t mask,
              int32_t week, int32_t month, int32_t day)
{
    rep->Class = uint32_t(kind);
    if (kind == 0)
        return;
    rep->Interval = uint32_t(interval);
    rep->EndDate = uint32_t(end);
    rep->DayIndex = uint32_t(dayIndex);
    rep->DaysMask = mask;
    rep->WeekIndex = uint32_t(week);
    rep->Month = uint32_t(month);
    rep->DayNumber = uint32_t(day);
}

bool WriteExApps(const std::string& folder, int32_t apps, const GenOptions& opt, std::string* error)
{
    std::vector<ExCategory> cats;
    for (const GenCategory& c : Categories())
        cats.push_back({c.id, c.name});
    if (apps & kGenAddr) {
        std::vector<PmAddrExRecord> recs;
        for (const GenContact& g : GenerateContacts(opt)) {
            PmAddrExRecord r;
            ExPrefix(&r, g.id, g.status, g.category, g.isPrivate);
            r.FirstName.Set(g.first.c_str());
            r.LastName.Set(g.last.c_str());
            r.JobTitle.Set(g.title.c_str());
            r.Company.Set(g.company.c_str());
            r.Note.Set(g.note.c_str());
            for (int s = 0; s < 7; ++s) {
                r.Phone[s].Set(g.phone[s].c_str());
                r.PhoneLabel[s] = uint32_t(g.label[s]);
            }
            for (int i = 0; i < 9; ++i)
                r.Custom[i].Set(g.custom[i].c_str());
            PmExText* addr[3][5] = {{&r.WorkStreet, &r.WorkCity, &r.WorkState, &r.WorkZip, &r.WorkCountry},
                                    {&r.HomeStreet, &r.HomeCity, &r.HomeState, &r.HomeZip, &r.HomeCountry},
                                    {&r.OtherStreet, &r.OtherCity, &r.OtherState, &r.OtherZip, &r.OtherCountry}};
            for (int a = 0; a < 3; ++a)
                for (int f = 0; f < 5; ++f)
                    addr[a][f]->Set(g.address[a][f].c_str());
            r.Chat1.Set(g.chat1.c_str());
            r.Chat1LabelID = g.chat1.empty() ? 0 : 1;
            recs.push_back(std::move(r));
        }
        if (!WriteAddressDat(ExFilePath(folder, 1), cats, Pointers(recs), error))
            return false;
    }
    if (apps & kGenDate) {
        std::vector<PmDateExRecord> recs;
        for (const GenEvent& g : GenerateEvents(opt)) {
            PmDateExRecord r;
            ExPrefix(&r, g.id, g.status, g.category, g.isPrivate);
            r.StartTime = uint32_t(g.start);
            r.EndTime = uint32_t(g.end);
            r.Summary.Set(g.description.c_str());
            r.Note.Set(g.note.c_str());
            r.Untimed = g.untimed;
            r.Alarm = g.alarm;
            r.AlarmAdvance = uint32_t(g.alarmAdvance);
            r.AlarmUnit = uint32_t(g.alarmUnit);
            ExRepeat(&r.Repeat, g.kind, g.interval, g.repeatEnd, g.dayIndex, g.daysMask, g.weekIndex, g.monthIndex,
                     g.dayNumber);
            if (g.kind != 0 && g.id % 4 == 0)
                r.Repeat.Exceptions = {uint32_t(g.start + 7 * 86400)};
            r.Location.Set(g.location.c_str());
            recs.push_back(std::move(r));
        }
        if (!WriteDateBookDat(ExFilePath(folder, 2), cats, Pointers(recs), error))
            return false;
    }
    if (apps & kGenTodo) {
        std::vector<PmTodoExRecord> recs;
        for (const GenTask& g : GenerateTasks(opt)) {
            PmTodoExRecord r;
            ExPrefix(&r, g.id, g.status, g.category, g.isPrivate);
            r.Description.Set(g.description.c_str());
            r.DueDate = uint32_t(g.due);
            r.Completed = g.completed;
            r.Priority = uint32_t(g.priority);
            r.Note.Set(g.note.c_str());
            r.AlarmSet = g.alarm;
            ExRepeat(&r.Repeat, g.kind, g.interval, g.repeatEnd, g.dayIndex, g.daysMask, g.weekIndex, 0, g.dayNumber);
            recs.push_back(std::move(r));
        }
        if (!WriteToDoDat(ExFilePath(folder, 3), cats, Pointers(recs), error))
            return false;
    }
    if (apps & kGenMemo) {
        std::vector<PmMemoExRecord> recs;
        for (const GenMemo& g : GenerateMemos(opt)) {
            PmMemoExRecord r;
            ExPrefix(&r, g.id, g.status, g.category, g.isPrivate);
            r.Note.Set(g.text.c_str());
            recs.push_back(std::move(r));
        }
        if (!WriteMemoPadDat(ExFilePath(folder, 4), cats, Pointers(recs), error))
            return false;
    }
    return true;
}

// 6.x generation.

template <typename R>
std::vector<const R*> Pointers(const std::vector<std::unique_ptr<R>>& recs)
{
    std::vector<const R*> out;
    for (const auto& r : recs)
        out.push_back(r.get());
    return out;
}

bool WriteEx2Apps(const std::string& folder, int32_t apps, const GenOptions& opt, std::string* error)
{
    std::vector<Ex2Category> cats;
    for (const GenCategory& c : Categories())
        cats.push_back({c.id, StoredText(c.name), 0, int32_t(c.id)});
    if (apps & kGenAddr) {
        std::vector<std::unique_ptr<PmAddrEx2Record>> recs;
        for (const GenContact& g : GenerateContacts(opt)) {
            auto r = std::make_unique<PmAddrEx2Record>();
            r->RecordID = g.id;
            r->Status = g.status;
            r->Placement = g.id;
            r->Private = g.isPrivate;
            r->Category = g.category;
            Put(r->CategoryName, CategoryName(g.category));
            Put(r->Note, g.note);
            Put(r->Prefix, g.prefix);
            Put(r->FirstName, g.first);
            Put(r->MiddleName, g.middle);
            Put(r->LastName, g.last);
            Put(r->Suffix, g.suffix);
            Put(r->NickName, g.nick);
            Put(r->Company, g.company);
            Put(r->JobTitle, g.title);
            Put(r->AssistantName, g.assistant);
            Put(r->AssistantPhone, g.assistantPhone);
            PmEx2Text<256>* streets[3] = {&r->WorkStreet, &r->HomeStreet, &r->OtherStreet};
            PmEx2Text<32>* cities[3] = {&r->WorkCity, &r->HomeCity, &r->OtherCity};
            PmEx2Text<32>* states[3] = {&r->WorkState, &r->HomeState, &r->OtherState};
            PmEx2Text<32>* zips[3] = {&r->WorkZip, &r->HomeZip, &r->OtherZip};
            PmEx2Text<32>* countries[3] = {&r->WorkCountry, &r->HomeCountry, &r->OtherCountry};
            for (int a = 0; a < 3; ++a) {
                Put(*streets[a], g.address[a][0]);
                Put(*cities[a], g.address[a][1]);
                Put(*states[a], g.address[a][2]);
                Put(*zips[a], g.address[a][3]);
                Put(*countries[a], g.address[a][4]);
            }
            PmEx2Text<128>* slots[7] = {&r->WorkPhone, &r->WorkFax,    &r->WorkMobile, &r->HomePhone,
                                        &r->HomeFax,   &r->HomeMobile, &r->OtherPhone};
            int32_t* labels[7] = {&r->PhoneLabel1, &r->PhoneLabel2, &r->PhoneLabel3, &r->PhoneLabel4,
                                  &r->PhoneLabel5, &r->PhoneLabel6, &r->PhoneLabel7};
            for (int s = 0; s < 7; ++s) {
                Put(*slots[s], g.phone[s]);
                *labels[s] = g.label[s];
            }
            PmEx2Text<256>* customs[10] = {&r->Custom1, &r->Custom2, &r->Custom3, &r->Custom4, &r->Custom5,
                                           &r->Custom6, &r->Custom7, &r->Custom8, &r->Custom9, &r->Custom10};
            for (int i = 0; i < 10; ++i)
                Put(*customs[i], g.custom[i]);
            Put(r->Chat1, g.chat1);
            Put(r->Chat2, g.chat2);
            std::string english = g.first.empty() ? g.last : g.first + " " + g.last;
            Put(r->EnglishName, english);
            recs.push_back(std::move(r));
        }
        if (!WriteAddressMdb(Ex2DatabasePath(folder, kPmDbAddr), cats, Pointers(recs), error))
            return false;
    }
    if (apps & kGenDate) {
        std::vector<std::unique_ptr<PmDateEx2Record>> recs;
        for (const GenEvent& g : GenerateEvents(opt)) {
            auto r = std::make_unique<PmDateEx2Record>();
            r->RecordID = g.id;
            r->Status = g.status;
            r->Placement = g.id;
            r->Private = g.isPrivate;
            r->Category = g.category;
            Put(r->CategoryName, CategoryName(g.category));
            Put(r->Note, g.note);
            r->StartTime = g.start;
            r->EndTime = g.end;
            Put(r->StartTimeText, std::to_string(g.start));
            Put(r->EndTimeText, std::to_string(g.end));
            r->Untimed = g.untimed;
            Put(r->Location, g.location);
            Put(r->Summary, g.description);
            r->Alarm = g.alarm;
            r->AlarmAdvance = g.alarmAdvance;
            r->AlarmUnit = g.alarmUnit;
            // The databases know no "yearly by day": such items are stored
            // without repeat.
            PmEx2RepeatBlock b{};
            b.Kind = g.kind == 6 ? 0 : g.kind;
            b.Interval = g.interval;
            b.EndDate = g.repeatEnd;
            b.DaysMask = g.daysMask;
            b.WeekIndex = g.weekIndex;
            b.MonthIndex = g.monthIndex;
            b.DayNumber = g.dayNumber;
            Put(r->RepeatedEvent, PmEx2Repeat::Build(b, true, g.start));
            recs.push_back(std::move(r));
        }
        if (!WriteDateBookMdb(Ex2DatabasePath(folder, kPmDbDate), cats, Pointers(recs), error))
            return false;
    }
    if (apps & kGenTodo) {
        std::vector<std::unique_ptr<PmTodoEx2Record>> recs;
        for (const GenTask& g : GenerateTasks(opt)) {
            auto r = std::make_unique<PmTodoEx2Record>();
            r->RecordID = g.id;
            r->Status = g.status;
            r->Placement = g.id;
            r->Private = g.isPrivate;
            r->Category = g.category;
            Put(r->CategoryName, CategoryName(g.category));
            Put(r->Note, g.note);
            r->DueDate = g.due < 0 ? int32_t(0x749DCEFF) : g.due;
            Put(r->DueDateText, std::to_string(r->DueDate));
            Put(r->Description, g.description);
            r->Completed = g.completed;
            r->Priority = g.priority;
            r->AlarmSet = g.alarm;
            PmEx2RepeatBlock b{};
            b.Kind = g.kind;
            b.Interval = g.interval;
            b.EndDate = g.repeatEnd;
            b.DaysMask = g.daysMask;
            b.WeekIndex = g.weekIndex;
            b.DayNumber = g.dayNumber;
            Put(r->RepeatInfo, PmEx2Repeat::Build(b, false, 0));
            recs.push_back(std::move(r));
        }
        if (!WriteTodolistMdb(Ex2DatabasePath(folder, kPmDbTodo), cats, Pointers(recs), error))
            return false;
    }
    if (apps & kGenMemo) {
        std::vector<std::unique_ptr<PmMemoEx2Record>> recs;
        for (const GenMemo& g : GenerateMemos(opt)) {
            auto r = std::make_unique<PmMemoEx2Record>();
            r->RecordID = g.id;
            r->Status = g.status;
            r->Placement = g.id;
            r->Private = g.isPrivate;
            r->Category = g.category;
            Put(r->CategoryName, CategoryName(g.category));
            Put(r->Note, g.text);
            r->NoteLength = int32_t(plat::Utf8ToWide(r->Note.View()).size());  // in UTF-16 units, as loaded
            recs.push_back(std::move(r));
        }
        if (!WriteMemoPadMdb(Ex2DatabasePath(folder, kPmDbMemo), cats, Pointers(recs), error))
            return false;
    }
    return true;
}

}  // namespace

int32_t GenGeneration(int32_t app, uint32_t version)
{
    bool allowNone = app == kGenAddr || app == kGenMemo;
    return PmChooseGeneration(version, allowNone);
}

uint32_t GenVersionNumber(const uint16_t version[4])
{
    return uint32_t(version[0]) * 10000u + uint32_t(version[1]) * 100u + uint32_t(version[2]);
}

std::vector<GenCategory> GenCategories() { return Categories(); }

std::vector<GenContact> GenerateContacts(const GenOptions& opt) { return Build<GenContact>(opt, 1, MakeContact); }
std::vector<GenEvent> GenerateEvents(const GenOptions& opt) { return Build<GenEvent>(opt, 2, MakeEvent); }
std::vector<GenTask> GenerateTasks(const GenOptions& opt) { return Build<GenTask>(opt, 3, MakeTask); }
std::vector<GenMemo> GenerateMemos(const GenOptions& opt) { return Build<GenMemo>(opt, 4, MakeMemo); }

bool GenerateUserData(const std::string& userFolder, uint32_t version, const GenOptions& opt, int32_t apps,
                      std::string* error)
{
    std::string scratch;
    if (!error)
        error = &scratch;
    const int32_t bits[4] = {kGenAddr, kGenDate, kGenTodo, kGenMemo};
    for (int32_t bit : bits) {
        if (!(apps & bit))
            continue;
        switch (GenGeneration(bit, version)) {
        case kPmGenClassic:
            if (!WriteClassicApps(userFolder, bit, opt, error))
                return false;
            break;
        case kPmGenEx2:
            if (!WriteEx2Apps(userFolder, bit, opt, error))
                return false;
            break;
        case kPmGenEx:
            if (!WriteExApps(userFolder, bit, opt, error))
                return false;
            break;
        default:
            break;  // no generation: nothing a facade would read
        }
    }
    return true;
}

}  // namespace palmfix
