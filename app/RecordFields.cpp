#include "RecordFields.h"

#include "Apputil.h"
#include "ApputilFacadeSet.h"
#include "Pddatedetail.h"
#include "Pimdetail.h"

#include "palm/PalmAddrInfo.h"
#include "palm/PalmDateInfo.h"
#include "palm/PalmMemoInfo.h"
#include "palm/PalmTodoInfo.h"

#include <algorithm>
#include <cstring>

namespace {

// The bytes of a generation record's text, up to its first zero byte.
std::string_view Bytes(std::string_view text)
{
    size_t nul = text.find('\0');
    return nul == std::string_view::npos ? text : text.substr(0, nul);
}
std::string_view Bytes(const std::string& text) { return Bytes(std::string_view(text)); }
std::string_view Bytes(const PmExText& text) { return Bytes(std::string_view(text.c_str(), text.size())); }
template <size_t N>
std::string_view Bytes(const char (&text)[N])
{
    return std::string_view(text, strnlen(text, N));
}
template <size_t N>
std::string_view Bytes(const FixedText<N>& text)
{
    return Bytes(text.View());
}

class FieldList {
public:
    explicit FieldList(TRecordFields* out) : m_Out(out) {}

    void Add(std::string name, std::string_view value, std::string group = std::string())
    {
        if (group.empty())
            group = name;
        m_Out->push_back({std::move(name), std::move(group), std::string(value)});
    }
    void Flag(const char* name, bool on) { Add(name, on ? "Yes" : ""); }
    void Date(const char* name, int32_t seconds) { Add(name, TfmPimDetail::DateText(seconds).toStdString()); }

private:
    TRecordFields* m_Out;
};

void AddAddress(FieldList& f, const char* prefix, std::string_view street, std::string_view city,
                std::string_view state, std::string_view zip, std::string_view country)
{
    std::string p = prefix;
    std::string group = p.empty() ? "Address" : p + " Address";
    std::string lead = p.empty() ? std::string() : p + " ";
    f.Add(lead + "Street", street, group);
    f.Add(lead + "City", city, group);
    f.Add(lead + "State", state, group);
    f.Add(lead + "Zip Code", zip, group);
    f.Add(lead + "Country", country, group);
}

void AddPhone(FieldList& f, int32_t label, std::string_view number)
{
    f.Add(PmAddrInfo::PhoneLabelText(label), number);
}

void AddrFields(const PmAddrSource& src, const std::string& category, FieldList& f)
{
    if (src.Generation == kPmGenClassic && src.Classic) {
        const PmAddrRecord& r = *src.Classic;
        f.Add("First Name", Bytes(r.FirstName));
        f.Add("Last Name", Bytes(r.LastName));
        f.Add("Company", Bytes(r.Company));
        f.Add("Job Title", Bytes(r.JobTitle));
        for (int i = 0; i < 5; ++i)
            AddPhone(f, r.PhoneLabel[i], Bytes(r.Phone[i]));
        f.Add("Primary Contact", PmAddrInfo::PhoneLabelText(r.PrimaryContact));
        AddAddress(f, "", Bytes(r.Street), Bytes(r.City), Bytes(r.State), Bytes(r.ZipCode), Bytes(r.Country));
        for (int i = 0; i < 4; ++i)
            f.Add("Custom " + std::to_string(i + 1), Bytes(r.Custom[i]));
        f.Add("Category", category);
        f.Add("Notes", Bytes(r.Note));
    } else if (src.Generation == kPmGenEx && src.Ex) {
        const PmAddrExRecord& r = *src.Ex;
        f.Add("First Name", Bytes(r.FirstName));
        f.Add("Last Name", Bytes(r.LastName));
        f.Add("Company", Bytes(r.Company));
        f.Add("Job Title", Bytes(r.JobTitle));
        for (size_t i = 0; i < std::size(r.Phone); ++i)
            AddPhone(f, int32_t(r.PhoneLabel[i]), Bytes(r.Phone[i]));
        f.Add("Primary Contact", PmAddrInfo::PhoneLabelText(int32_t(r.PrimaryContact)));
        AddAddress(f, "Work", Bytes(r.WorkStreet), Bytes(r.WorkCity), Bytes(r.WorkState), Bytes(r.WorkZip),
                   Bytes(r.WorkCountry));
        AddAddress(f, "Home", Bytes(r.HomeStreet), Bytes(r.HomeCity), Bytes(r.HomeState), Bytes(r.HomeZip),
                   Bytes(r.HomeCountry));
        AddAddress(f, "Other", Bytes(r.OtherStreet), Bytes(r.OtherCity), Bytes(r.OtherState), Bytes(r.OtherZip),
                   Bytes(r.OtherCountry));
        f.Add("Instant Message 1", Bytes(r.Chat1));
        f.Add("Instant Message 2", Bytes(r.Chat2));
        f.Add("Web Site", Bytes(r.HomePage));
        for (size_t i = 0; i < std::size(r.Custom); ++i)
            f.Add("Custom " + std::to_string(i + 1), Bytes(r.Custom[i]));
        f.Add("Category", category);
        f.Add("Notes", Bytes(r.Note));
    } else if (src.Generation == kPmGenEx2 && src.Ex2) {
        const PmAddrEx2Record& r = *src.Ex2;
        f.Add("First Name", Bytes(r.FirstName));
        f.Add("Last Name", Bytes(r.LastName));
        f.Add("English Name", Bytes(r.EnglishName));
        f.Add("Company", Bytes(r.Company));
        f.Add("Job Title", Bytes(r.JobTitle));
        f.Add("Profession", Bytes(r.Profession));
        const std::string_view phones[] = {Bytes(r.WorkPhone), Bytes(r.WorkFax),  Bytes(r.WorkMobile),
                                           Bytes(r.HomePhone), Bytes(r.HomeFax), Bytes(r.HomeMobile)};
        const int32_t labels[] = {r.PhoneLabel1, r.PhoneLabel2, r.PhoneLabel3,
                                  r.PhoneLabel4, r.PhoneLabel5, r.PhoneLabel6};
        for (size_t i = 0; i < std::size(phones); ++i)
            AddPhone(f, labels[i], phones[i]);
        f.Add("Primary Contact", PmAddrInfo::PhoneLabelText(r.PrimaryContact));
        f.Add("Assistant Name", Bytes(r.AssistantName));
        f.Add("Assistant Phone", Bytes(r.AssistantPhone));
        AddAddress(f, "Work", Bytes(r.WorkStreet), Bytes(r.WorkCity), Bytes(r.WorkState), Bytes(r.WorkZip),
                   Bytes(r.WorkCountry));
        AddAddress(f, "Home", Bytes(r.HomeStreet), Bytes(r.HomeCity), Bytes(r.HomeState), Bytes(r.HomeZip),
                   Bytes(r.HomeCountry));
        AddAddress(f, "Other", Bytes(r.OtherStreet), Bytes(r.OtherCity), Bytes(r.OtherState), Bytes(r.OtherZip),
                   Bytes(r.OtherCountry));
        f.Add("Instant Message 1", Bytes(r.Chat1));
        f.Add("Instant Message 2", Bytes(r.Chat2));
        f.Add("Web Site", Bytes(r.Website));
        f.Add("Work E-mail", Bytes(r.WorkEmail));
        f.Add("E-mail 1", Bytes(r.Email1));
        f.Add("E-mail 2", Bytes(r.Email2));
        f.Add("E-mail 3", Bytes(r.Email3));
        const std::string_view customs[] = {Bytes(r.Custom1), Bytes(r.Custom2), Bytes(r.Custom3),
                                            Bytes(r.Custom4), Bytes(r.Custom5), Bytes(r.Custom6),
                                            Bytes(r.Custom7), Bytes(r.Custom8), Bytes(r.Custom9)};
        for (size_t i = 0; i < std::size(customs); ++i)
            f.Add("Custom " + std::to_string(i + 1), customs[i]);
        f.Add("Category", category);
        f.Add("Notes", Bytes(r.Note));
    }
}

/// Repeat kinds of the generation records, as the calendar viewer knows them.
enum : int32_t {
    kRepeatDaily = 1,
    kRepeatWeekly = 2,
    kRepeatMonthlyByDay = 3,
    kRepeatMonthlyByDate = 4,
    kRepeatYearlyByDate = 5,
    kRepeatYearlyByDay = 6,
};

/// A calendar item's repeat rule as the generation records hold it.
struct RepeatRule {
    int32_t kind = 0, interval = 0;
    uint8_t daysMask = 0;  ///< weekly: bit 0 Sunday .. bit 6 Saturday
    uint32_t end = 0;
    int32_t dayIndex = 0;   ///< weekday, 0 Sunday
    int32_t weekIndex = 0;  ///< week of the month, 0 the first, 4 the last
    int32_t month = 0;      ///< 0 January
    int32_t dayNumber = 0;  ///< day of the month
};

/// "Every 2 weeks on Mon, Thu until 12/31/2010", "Every 1 month on the 2nd
/// Tue"; empty for no repeat.
std::string RepeatText(const RepeatRule& rule)
{
    static const char* const kDays[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const kWeeks[5] = {"1st", "2nd", "3rd", "4th", "last"};
    const int32_t kind = rule.kind, interval = rule.interval;
    const uint8_t daysMask = rule.daysMask;
    const uint32_t end = rule.end;
    auto weekday = [&] { return std::string(kDays[((rule.dayIndex % 7) + 7) % 7]); };
    auto week = [&] { return std::string(rule.weekIndex >= 0 && rule.weekIndex < 5 ? kWeeks[rule.weekIndex] : "?"); };
    const char* unit = nullptr;
    const char* how = "";
    switch (kind) {
    case kRepeatDaily: unit = "day"; break;
    case kRepeatWeekly: unit = "week"; break;
    case kRepeatMonthlyByDay: unit = "month"; how = " by day"; break;
    case kRepeatMonthlyByDate: unit = "month"; how = " by date"; break;
    case kRepeatYearlyByDate: unit = "year"; how = " by date"; break;
    case kRepeatYearlyByDay: unit = "year"; how = " by day"; break;
    default: return std::string();
    }
    std::string text = "Every " + std::to_string(interval) + " " + unit + (interval == 1 ? "" : "s") + how;
    switch (kind) {
    case kRepeatMonthlyByDay: text += " on the " + week() + " " + weekday(); break;
    case kRepeatMonthlyByDate: text += " on day " + std::to_string(rule.dayNumber); break;
    case kRepeatYearlyByDate:
        text += " on " + std::to_string(rule.month + 1) + "/" + std::to_string(rule.dayNumber);
        break;
    case kRepeatYearlyByDay:
        text += " on the " + week() + " " + weekday() + " of month " + std::to_string(rule.month + 1);
        break;
    default: break;
    }
    if (kind == kRepeatWeekly) {
        std::string days;
        for (int i = 0; i < 7; ++i)
            if ((daysMask >> i) & 1)
                days += (days.empty() ? "" : ", ") + std::string(kDays[i]);
        if (!days.empty())
            text += " on " + days;
    }
    if (!TfmPDDateDetail::IsNoEndDate(end))
        text += " until " + TfmPimDetail::DateText(int32_t(end)).toStdString();
    return text;
}

void DateFields(const PmDateSource& src, const std::string& category, FieldList& f)
{
    std::string_view description, location, note;
    int32_t start = 0, end = 0;
    bool allDay = false, alarm = false, isPrivate = false;
    RepeatRule rule;
    if (src.Generation == kPmGenClassic && src.Classic) {
        const PmDateRecord& r = *src.Classic;
        description = Bytes(r.Description);
        note = Bytes(r.Note);
        start = r.StartTime;
        end = r.EndTime;
        allDay = r.Untimed != 0;
        alarm = r.AlarmSet != 0;
        isPrivate = r.Private != 0;
        rule = {int32_t(r.Repeat.Class), int32_t(r.Repeat.Interval), r.Repeat.DaysMask, r.Repeat.EndDate,
                int32_t(r.Repeat.DayIndex), int32_t(r.Repeat.WeekIndex), int32_t(r.Repeat.Month),
                int32_t(r.Repeat.DayNumber)};
    } else if (src.Generation == kPmGenEx && src.Ex) {
        const PmDateExRecord& r = *src.Ex;
        description = Bytes(r.Summary);
        location = Bytes(r.Location);
        note = Bytes(r.Note);
        start = int32_t(r.StartTime);
        end = int32_t(r.EndTime);
        allDay = r.Untimed != 0;
        alarm = r.Alarm != 0;
        isPrivate = r.Private != 0;
        rule = {int32_t(r.Repeat.Class), int32_t(r.Repeat.Interval), r.Repeat.DaysMask, r.Repeat.EndDate,
                int32_t(r.Repeat.DayIndex), int32_t(r.Repeat.WeekIndex), int32_t(r.Repeat.Month),
                int32_t(r.Repeat.DayNumber)};
    } else if (src.Generation == kPmGenEx2 && src.Ex2) {
        const PmDateEx2Record& r = *src.Ex2;
        description = Bytes(r.Summary);
        location = Bytes(r.Location);
        note = Bytes(r.Note);
        start = r.StartTime;
        end = r.EndTime;
        allDay = r.Untimed != 0;
        alarm = r.Alarm != 0;
        isPrivate = r.Private != 0;
        rule = {r.Repeat.Kind,     r.Repeat.Interval,  r.Repeat.DaysMask,   uint32_t(r.Repeat.EndDate),
                r.Repeat.DayIndex, r.Repeat.WeekIndex, r.Repeat.MonthIndex, r.Repeat.DayNumber};
    } else {
        return;
    }
    f.Add("Subject", description);
    f.Date("Date", start);
    f.Add("Start Time", TfmPimDetail::TimeText(start).toStdString());
    f.Add("End Time", TfmPimDetail::TimeText(end).toStdString());
    f.Flag("All Day Event", allDay);
    f.Flag("Alarm", alarm);
    f.Flag("Private", isPrivate);
    if (src.Generation != kPmGenClassic)
        f.Add("Location", location);
    f.Add("Repeat", RepeatText(rule));
    f.Add("Category", category);
    f.Add("Notes", note);
}

void TaskFields(const PmTodoSource& src, const CommTask& common, const std::string& category, FieldList& f)
{
    std::string_view description, note;
    int32_t priority = 0;
    uint32_t due = 0, done = 0;
    bool completed = false, isPrivate = false;
    if (src.Generation == kPmGenClassic && src.Classic) {
        const PmTodoRecord& r = *src.Classic;
        description = Bytes(r.Description);
        note = Bytes(r.Note);
        priority = r.Priority;
        due = uint32_t(r.DueDate);
        completed = r.Completed != 0;
        isPrivate = r.Private != 0;
    } else if (src.Generation == kPmGenEx && src.Ex) {
        const PmTodoExRecord& r = *src.Ex;
        description = Bytes(r.Description);
        note = Bytes(r.Note);
        priority = int32_t(r.Priority);
        due = r.DueDate;
        completed = r.Completed != 0;
        isPrivate = r.Private != 0;
    } else if (src.Generation == kPmGenEx2 && src.Ex2) {
        const PmTodoEx2Record& r = *src.Ex2;
        description = Bytes(r.Description);
        note = Bytes(r.Note);
        priority = r.Priority;
        due = uint32_t(r.DueDate);
        completed = r.Completed != 0;
        isPrivate = r.Private != 0;
        done = uint32_t(r.CompleteDate);
    } else {
        return;
    }
    f.Add("Subject", description);
    f.Add("Priority", std::to_string(priority));
    f.Add("Due Date", due >= CommTask::kNoDueDate ? std::string() : TfmPimDetail::DateText(int32_t(due)).toStdString());
    f.Flag("Completed", completed);
    if (src.Generation == kPmGenEx2)
        f.Add("Complete Date", completed && done != 0 && done < CommTask::kNoDueDate
                                   ? TfmPimDetail::DateText(int32_t(done)).toStdString()
                                   : std::string());
    f.Flag("Private", isPrivate);
    // The common record's repeat: the one the 4.1.x and 6.x tasks carry.
    const CommRepeat& rep = common.Repeat;
    std::string repeat;
    static const char* const kUnits[] = {"", "day", "week", "month", "month", "", "year"};
    if (rep.RepeatType > 0 && rep.RepeatType < int32_t(std::size(kUnits)) && *kUnits[rep.RepeatType]) {
        repeat = "Every " + std::to_string(rep.Interval) + " " + kUnits[rep.RepeatType] + (rep.Interval == 1 ? "" : "s");
        if (rep.HasEndDate)
            repeat += " until " + std::to_string(rep.RepeatEnd.month) + "/" + std::to_string(rep.RepeatEnd.day) +
                      "/" + std::to_string(rep.RepeatEnd.year);
    }
    f.Add("Repeat", repeat);
    f.Add("Category", category);
    f.Add("Notes", note);
}

void NoteFields(const PmMemoSource& src, const std::string& category, FieldList& f)
{
    std::string_view text;
    bool isPrivate = false;
    if (src.Generation == kPmGenClassic && src.Classic) {
        text = Bytes(src.Classic->Memo);
        isPrivate = src.Classic->Private != 0;
    } else if (src.Generation == kPmGenEx && src.Ex) {
        text = Bytes(src.Ex->Note);
        isPrivate = src.Ex->Private != 0;
    } else if (src.Generation == kPmGenEx2 && src.Ex2) {
        text = Bytes(src.Ex2->Note);
        isPrivate = src.Ex2->Private != 0;
    } else {
        return;
    }
    f.Add("Notes", text);
    f.Flag("Private", isPrivate);
    f.Add("Category", category);
}

template <typename Source, typename Rec>
bool Native(const Rec* rec, Source* src)
{
    return TfmPimDetail::NativeSource(rec->Trailer.NativeCopy, rec->Trailer.NativeCopySize, src);
}

}  // namespace

TRecordFields RecordFieldsOf(int app, const void* rec, const std::string& category)
{
    TRecordFields out;
    if (!rec)
        return out;
    FieldList f(&out);
    switch (app) {
    case 0: {
        PmAddrSource src;
        if (Native(static_cast<const CommAddr*>(rec), &src))
            AddrFields(src, category, f);
        break;
    }
    case 1: {
        PmDateSource src;
        if (Native(static_cast<const CommDate*>(rec), &src))
            DateFields(src, category, f);
        break;
    }
    case 2: {
        auto* r = static_cast<const CommTask*>(rec);
        PmTodoSource src;
        if (Native(r, &src))
            TaskFields(src, *r, category, f);
        break;
    }
    case 3: {
        PmMemoSource src;
        if (Native(static_cast<const CommNote*>(rec), &src))
            NoteFields(src, category, f);
        break;
    }
    default: break;
    }
    return out;
}

TRecordFields RecordFields(PmFacadeSet* set, int app, const void* rec)
{
    if (!set || !set->Built() || !rec)
        return {};
    std::string category;
    switch (app) {
    case 0: category = set->Addr()->CategoryName(static_cast<const CommAddr*>(rec)); break;
    case 1: category = set->Date()->CategoryName(static_cast<const CommDate*>(rec)); break;
    case 2: category = set->Todo()->CategoryName(static_cast<const CommTask*>(rec)); break;
    case 3: category = set->Memo()->CategoryName(static_cast<const CommNote*>(rec)); break;
    default: return {};
    }
    return RecordFieldsOf(app, rec, category);
}

bool FieldHeld(const TRecordField& field, const TRecordFields& kept, bool caseSensitive)
{
    if (field.value.empty())
        return true;
    return std::any_of(kept.begin(), kept.end(), [&](const TRecordField& k) {
        return k.name == field.name && TextsEqual(field.value, k.value, caseSensitive);
    });
}

std::vector<std::string> LostFields(const TRecordFields& copy, const TRecordFields& kept, bool caseSensitive)
{
    std::vector<std::string> lost;
    for (const TRecordField& field : copy)
        if (!FieldHeld(field, kept, caseSensitive) &&
            std::find(lost.begin(), lost.end(), field.group) == lost.end())
            lost.push_back(field.group);
    return lost;
}
