#include "palm/PalmDateEx2.h"

#include "misc/CxDebugUtil.h"
#include "palm/PalmComm.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

// ---------------------------------------------------------------- time

int32_t PmEx2TimeFromParts(int year, int month, int day)
{
    PmTime t;
    t.FromParts(year, month, day, 0, 0, 0);
    return t.Value();
}

bool PmEx2TimeParts(int32_t seconds, int* year, int* month, int* day)
{
    PmTime t;
    t.Set(seconds);
    PmTimeParts parts;
    bool ok = t.Breakdown(&parts);
    *year = parts.year;
    *month = parts.month;
    *day = parts.day;
    return ok;
}

// ---------------------------------------------------------------- repeat rule

namespace {

const char* const kDayCodes[7] = {"SU", "MO", "TU", "WE", "TH", "FR", "SA"};

// A number of the rule text: up to the first blank or '+', nine characters at most.
int32_t RuleNumber(const char* from)
{
    char digits[10] = {};
    size_t n = 0;
    while (from[n] && from[n] != ' ' && from[n] != '+' && n < 9) {
        digits[n] = from[n];
        ++n;
    }
    return int32_t(std::atoi(digits));
}

// The weekday codes, each followed by a blank, anywhere in the text.
uint8_t DaysMaskOf(const char* text)
{
    uint8_t mask = 0;
    char code[4] = {0, 0, ' ', 0};
    for (int d = 0; d < 7; ++d) {
        code[0] = kDayCodes[d][0];
        code[1] = kDayCodes[d][1];
        if (std::strstr(text, code))
            mask |= uint8_t(1u << d);
    }
    return mask;
}

int32_t FirstPart(const char* text, size_t from, size_t length)
{
    char part[8] = {};
    for (size_t i = 0; i < length && text[from + i]; ++i)
        part[i] = text[from + i];
    return std::atoi(part);
}

}  // namespace

namespace PmEx2Repeat {

void Parse(const char* text, PmEx2RepeatBlock* b, bool yearly, int32_t startTime, bool scanEnd)
{
    if (!text)
        text = "";
    const char* blank = std::strchr(text, ' ');
    if (text[0] == 'D') {
        b->Kind = 1;
        b->Interval = RuleNumber(text + 1);
    } else if (text[0] == 'W') {
        b->Kind = 2;
        b->Interval = RuleNumber(text + 1);
        b->DaysMask = DaysMaskOf(text);
    } else if (text[0] == 'M' && text[1] == 'P') {
        b->Kind = 3;
        b->Interval = RuleNumber(text + 2);
        if (blank)
            b->WeekIndex = RuleNumber(blank + 1) - 1;
        b->DaysMask = DaysMaskOf(text);
    } else if (text[0] == 'M' && text[1] == 'D') {
        b->Kind = 4;
        b->Interval = RuleNumber(text + 2);
        if (blank)
            b->DayNumber = RuleNumber(blank + 1);
    } else if (yearly && text[0] == 'Y') {
        b->Kind = 5;
        // "YM<n>"; a bare "Y" ends at its terminator.
        b->Interval = RuleNumber(text[1] ? text + 2 : text + 1);
        if (blank)
            b->MonthIndex = RuleNumber(blank + 1) - 1;
        int y = 0, m = 0, d = 0;
        if (PmEx2TimeParts(startTime, &y, &m, &d))
            b->DayNumber = d;
    } else {
        b->Kind = 0;
        return;
    }
    const char* last = std::strrchr(text, ' ');
    if (!last)
        return;
    const char* end = last + 1;
    if (std::strcmp(end, "#0") == 0) {
        b->EndDate = kPmEx2NoEnd;
        return;
    }
    char date[32] = {};
    std::strncpy(date, end, 31);
    if (char* t = std::strchr(date, 'T'))
        *t = '\0';
    int year = 0, month = 0, day = 0;
    if (scanEnd) {
        std::sscanf(date, "%04d%02d%02d", &year, &month, &day);
    } else {
        year = FirstPart(date, 0, 4);
        month = std::strlen(date) > 4 ? FirstPart(date, 4, 2) : 0;
        day = std::strlen(date) > 6 ? FirstPart(date, 6, 2) : 0;
    }
    b->EndDate = PmEx2TimeFromParts(year, month, day);
}

std::string Build(const PmEx2RepeatBlock& b, bool yearly, int32_t startTime)
{
    char text[256] = {};
    auto codes = [&](std::string* s) {
        for (int d = 0; d < 7; ++d)
            if (b.DaysMask & (1u << d))
                *s += std::string(" ") + kDayCodes[d];
    };
    std::string rule;
    switch (b.Kind) {
    case 1:
        std::snprintf(text, sizeof text, "D%d", b.Interval);
        rule = text;
        break;
    case 2:
        std::snprintf(text, sizeof text, "W%d", b.Interval);
        rule = text;
        codes(&rule);
        break;
    case 3:
        // The week goes before the weekday codes, so that the text reads back
        // to the same week.
        std::snprintf(text, sizeof text, "MP%d %d+", b.Interval, b.WeekIndex + 1);
        rule = text;
        codes(&rule);
        break;
    case 4:
        std::snprintf(text, sizeof text, "MD%d %d", b.Interval, b.DayNumber);
        rule = text;
        break;
    case 5:
        if (yearly) {
            int y = 0, m = 0, d = 0;
            PmEx2TimeParts(startTime, &y, &m, &d);
            std::snprintf(text, sizeof text, "YM%d %d", b.Interval, m);
            rule = text;
        }
        break;
    default:
        break;
    }
    if (rule.empty())
        return rule;
    if (b.EndDate == kPmEx2NoEnd) {
        rule += " #0";
    } else {
        int y = 0, m = 0, d = 0;
        PmEx2TimeParts(b.EndDate, &y, &m, &d);
        std::snprintf(text, sizeof text, " %04d%02d%02dT000000Z", y, m, d);
        rule += text;
    }
    return rule;
}

bool Equal(const PmEx2RepeatBlock& a, const PmEx2RepeatBlock& b)
{
    return a.Kind == b.Kind && a.Interval == b.Interval && a.EndDate == b.EndDate &&
           a.FirstDayOfWeek == b.FirstDayOfWeek && a.DayIndex == b.DayIndex && a.DaysMask == b.DaysMask &&
           a.WeekIndex == b.WeekIndex && a.MonthIndex == b.MonthIndex && a.DayNumber == b.DayNumber;
}

}  // namespace PmEx2Repeat

// ---------------------------------------------------------------- calendar database

namespace {

#define DATE_COL(name, kind, field) PM_EX2_COL(PmDateEx2Record, name, kind, field)
#define DATE_TIME_COL(name, field, text) PM_EX2_TIME_COL(PmDateEx2Record, name, field, text)

constexpr PmColumnDef kColumns[] = {
    DATE_COL("Record ID", Int, RecordID),
    DATE_COL("Status", Int, Status),
    DATE_COL("Placement", Int, Placement),
    DATE_COL("Private", Bool, Private),
    DATE_COL("Category", IntText, Category),
    DATE_COL("Note", Text, Note),
    DATE_TIME_COL("Start Time", StartTime, StartTimeText),
    DATE_TIME_COL("End Time", EndTime, EndTimeText),
    DATE_COL("Untimed", Bool, Untimed),
    DATE_COL("Time Zone", Text, TimeZone),
    DATE_COL("Location", Text, Location),
    DATE_COL("Summary", Text, Summary),
    DATE_COL("Alarm", Bool, Alarm),
    DATE_COL("Alarm Advance", Int, AlarmAdvance),
    DATE_COL("Alarm Unit", Int, AlarmUnit),
    DATE_COL("Repeated Event", Text, RepeatedEvent),
};
static_assert(PmColumnsReachTheirTexts(kColumns), "every text column names a text field");
const int32_t kKeys[] = {0, 6, 7, 11};
const int32_t kEquality[] = {0, 1, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
const int32_t kChange[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};

const PmTableDef kTable = {kColumns, 16, kKeys, 4, kEquality, 15, kChange, 16, 4096,
                           offsetof(PmDateEx2Record, Category), PmTextAccessOf<&PmDateEx2Record::CategoryName>(),
                           offsetof(PmDateEx2Record, RowKey)};

const PmEx2Messages kMessages = {
    CxModuleName(__FILE__),
    "Start loading Palm Desktop Calendar by user ID: %d",
    nullptr,
    "Loading Palm Desktop Calendar: %s",
    "Open Palm Desktop Calendar database failed: %s",
    "Start loading Palm Desktop Calendar main records.",
    "Query first record in the Calendar database table successfully.",
    "Failed to query the first record of the Calendar main table. Check if there is any records in the database "
    "table.",
    "Failed to query the next record of the Calendar main table. Check if it is the end of the table.",
    "Loading Palm Desktop Calendar main records completed successfully.",
};

}  // namespace

PmDateEx2Util::PmDateEx2Util() : PmEx2AppUtil(kPmDbDate, kTable, kMessages) {}

const PmTableDef& PmDateEx2Util::Table()
{
    return kTable;
}

void PmDateEx2Util::ParseRepeat(PmDateEx2Record* r)
{
    r->StartTime = std::atoi(r->StartTimeText.c_str());
    r->EndTime = std::atoi(r->EndTimeText.c_str());
    PmEx2Repeat::Parse(r->RepeatedEvent.c_str(), &r->Repeat, true, r->StartTime, false);
}

void PmDateEx2Util::BuildRepeat(PmDateEx2Record* r)
{
    r->StartTimeText.Set(std::to_string(r->StartTime));
    r->EndTimeText.Set(std::to_string(r->EndTime));
    PmEx2RepeatBlock stored = {};
    PmEx2Repeat::Parse(r->RepeatedEvent.c_str(), &stored, true, r->StartTime, false);
    if (PmEx2Repeat::Equal(stored, r->Repeat))
        return;
    r->RepeatedEvent.Set(PmEx2Repeat::Build(r->Repeat, true, r->StartTime));
}

bool PmDateEx2Util::WriteBackRecord(PmDateEx2Record* record)
{
    CX_ASSERT(record != nullptr);
    BuildRepeat(record);
    ResolveCategory(kTable, record);
    return WriteBack(record, false);
}
