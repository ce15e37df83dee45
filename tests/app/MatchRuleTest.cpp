// Every field of every application's rule, one at a time: two records that
// differ only in that field, only in its letter case (ASCII, and a letter of
// the ANSI page), or not at all, under both case settings and with the
// field's setting alone, among all the others, or off. Each pair is judged by
// the independent rule (IndependentRule.h) and by what the rule table says,
// and the engine must agree in its match function and in its detection.
#include "IndependentRule.h"

#include "app/Apputil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <type_traits>
#include <vector>

namespace {

/// One field of a rule, and how two records are made to differ in it.
template <typename R>
struct FieldCase {
    std::string name;
    bool AppOption::*setting;
    /// A text field: sets its text (none for other fields), and its capacity.
    std::function<void(R&, const char*)> text;
    size_t capacity = 0;
    /// Any field: a change the rule sees.
    std::function<void(R&)> change;
    /// A change the rule does not see (a time's day of week), if any.
    std::function<void(R&)> ignored;
};

template <typename R, typename Get>
FieldCase<R> Text(const std::string& name, bool AppOption::*setting, Get get)
{
    using F = std::remove_reference_t<decltype(get(std::declval<R&>()))>;
    FieldCase<R> c;
    c.name = name;
    c.setting = setting;
    c.capacity = F::kCapacity;
    c.text = [get](R& r, const char* s) { get(r).Set(s); };
    c.change = [get](R& r) {
        std::string t(get(r).View());
        t.replace(0, t.empty() ? 0 : 1, "Q");
        get(r).Set(t);
    };
    return c;
}

template <typename R>
FieldCase<R> Value(const std::string& name, bool AppOption::*setting, std::function<void(R&)> change,
                   std::function<void(R&)> ignored = nullptr)
{
    FieldCase<R> c;
    c.name = name;
    c.setting = setting;
    c.change = std::move(change);
    c.ignored = std::move(ignored);
    return c;
}

/// The six parts of a time the rule compares, and the two it ignores.
template <typename R>
void TimeFields(std::vector<FieldCase<R>>& out, const std::string& name, bool AppOption::*setting,
                CxSystemTime& (*get)(R&))
{
    const std::pair<const char*, uint16_t CxSystemTime::*> compared[] = {
        {"year", &CxSystemTime::year},   {"month", &CxSystemTime::month},   {"day", &CxSystemTime::day},
        {"hour", &CxSystemTime::hour},   {"minute", &CxSystemTime::minute}, {"second", &CxSystemTime::second}};
    for (const auto& part : compared) {
        uint16_t CxSystemTime::*member = part.second;
        out.push_back(Value<R>(name + " " + part.first, setting, [get, member](R& r) { get(r).*member += 1; },
                               [get](R& r) {
                                   get(r).dayOfWeek = uint16_t((get(r).dayOfWeek + 1) % 7);
                                   get(r).milliseconds = uint16_t(get(r).milliseconds + 123);
                               }));
    }
}

/// A field's text in three spellings: the base, the same with its ASCII
/// letters in the other case, and with a letter of the ANSI page (0xE9,
/// whose capital is 0xC9) in the other case.
const char kBase[] = "Ab\xE9z-Mc";
const char kAsciiCase[] = "aB\xE9Z-mC";
const char kAnsiCase[] = "Ab\xC9z-Mc";

template <typename R>
void SetText(R& r, const FieldCase<R>& f, const char* s)
{
    f.text(r, s);
}

// ----------------------------------------------------------- the field lists

CxSystemTime BaseTime(uint16_t hour)
{
    return CxSystemTime{2023, 5, 3, 17, hour, 30, 15, 250};
}

std::vector<FieldCase<CommAddr>> ContactFields()
{
    using R = CommAddr;
    std::vector<FieldCase<R>> f = {
        Text<R>("First Name", &AppOption::AddrFirstName, [](R& r) -> auto& { return r.FirstName; }),
        Text<R>("Middle Name", &AppOption::AddrMiddleName, [](R& r) -> auto& { return r.MiddleName; }),
        Text<R>("Last Name", &AppOption::AddrLastName, [](R& r) -> auto& { return r.LastName; }),
        Text<R>("Email", &AppOption::AddrEmail, [](R& r) -> auto& { return r.Email; }),
        Text<R>("Work Phone", &AppOption::AddrBusiPhone, [](R& r) -> auto& { return r.WorkPhone; }),
        Text<R>("Home Phone", &AppOption::AddrHomePhone, [](R& r) -> auto& { return r.HomePhone; }),
        Text<R>("Note", &AppOption::AddrNotes, [](R& r) -> auto& { return r.Note; }),
        Text<R>("Mobile Phone", &AppOption::AddrMobilePhone, [](R& r) -> auto& { return r.MobilePhone; }),
        Text<R>("Company", &AppOption::AddrCompany, [](R& r) -> auto& { return r.Company; }),
        Text<R>("Title", &AppOption::AddrTitle, [](R& r) -> auto& { return r.Title; }),
        Text<R>("Work Fax", &AppOption::AddrFax, [](R& r) -> auto& { return r.WorkFax; }),
    };
    for (int which : {0, 1}) {
        bool AppOption::*setting = which == 0 ? &AppOption::AddrBusiAddr : &AppOption::AddrHomeAddr;
        auto addr = [which](R& r) -> CommAddress& { return which == 0 ? r.WorkAddr : r.HomeAddr; };
        std::string prefix = which == 0 ? "Work " : "Home ";
        f.push_back(Text<R>(prefix + "Country", setting, [addr](R& r) -> auto& { return addr(r).Country; }));
        f.push_back(Text<R>(prefix + "State", setting, [addr](R& r) -> auto& { return addr(r).State; }));
        f.push_back(Text<R>(prefix + "City", setting, [addr](R& r) -> auto& { return addr(r).City; }));
        f.push_back(Text<R>(prefix + "Street", setting, [addr](R& r) -> auto& { return addr(r).Street; }));
        f.push_back(Text<R>(prefix + "Postal", setting, [addr](R& r) -> auto& { return addr(r).Postal; }));
    }
    return f;
}

std::vector<FieldCase<CommDate>> CalendarFields()
{
    using R = CommDate;
    std::vector<FieldCase<R>> f = {
        Text<R>("Description", &AppOption::DateDesc, [](R& r) -> auto& { return r.Description; }),
        Text<R>("Note", &AppOption::DateNotes, [](R& r) -> auto& { return r.Note; }),
        Text<R>("Location", &AppOption::DateLocation, [](R& r) -> auto& { return r.Location; }),
        Value<R>("All Day Event", &AppOption::DateAllDayEvent, [](R& r) { r.AllDayEvent ^= 1; }),
        Value<R>("Repeat Type", &AppOption::DateRepeat, [](R& r) { r.Repeat.RepeatType = 4; }),
        Value<R>("Has End Date", &AppOption::DateRepeat, [](R& r) { r.Repeat.HasEndDate ^= 1; }),
        Value<R>("Interval", &AppOption::DateRepeat, [](R& r) { r.Repeat.Interval += 1; }),
        Value<R>("Day Mask", &AppOption::DateRepeat, [](R& r) { r.Repeat.DayMask ^= 0x10; }),
        Value<R>("Day Of Month", &AppOption::DateRepeat, [](R& r) { r.Repeat.DayOfMonth += 1; }),
        Value<R>("Month Of Year", &AppOption::DateRepeat, [](R& r) { r.Repeat.MonthOfYear += 1; }),
        Value<R>("Instance", &AppOption::DateRepeat, [](R& r) { r.Repeat.Instance += 1; }),
    };
    TimeFields<R>(f, "Start Time", &AppOption::DateStartTime, [](R& r) -> CxSystemTime& { return r.StartTime; });
    TimeFields<R>(f, "End Time", &AppOption::DateEndTime, [](R& r) -> CxSystemTime& { return r.EndTime; });
    TimeFields<R>(f, "Repeat Start", &AppOption::DateRepeat,
                  [](R& r) -> CxSystemTime& { return r.Repeat.RepeatStart; });
    TimeFields<R>(f, "Repeat End", &AppOption::DateRepeat, [](R& r) -> CxSystemTime& { return r.Repeat.RepeatEnd; });
    return f;
}

std::vector<FieldCase<CommTask>> TaskFields()
{
    using R = CommTask;
    return {
        Text<R>("Description", &AppOption::TodoDesc, [](R& r) -> auto& { return r.Description; }),
        Text<R>("Note", &AppOption::TodoNotes, [](R& r) -> auto& { return r.Note; }),
        Value<R>("Priority", &AppOption::TodoPriority, [](R& r) { r.Priority = 1; }),
        Value<R>("Due Date", &AppOption::TodoDueDate, [](R& r) { r.DueDate += 86400; }),
    };
}

std::vector<FieldCase<CommNote>> NoteFields()
{
    using R = CommNote;
    return {
        Text<R>("Subject", &AppOption::MemoDesc, [](R& r) -> auto& { return r.Subject; }),
        Text<R>("Note", &AppOption::MemoNotes, [](R& r) -> auto& { return r.Note; }),
    };
}

/// Records with every field of the rules filled (texts in their base
/// spelling), so that a change of one field is the only difference.
template <typename R>
R BaseRecord(const std::vector<FieldCase<R>>& fields);

template <>
CommAddr BaseRecord(const std::vector<FieldCase<CommAddr>>& fields)
{
    CommAddr r{};
    for (const auto& f : fields)
        SetText(r, f, kBase);
    return r;
}

template <>
CommDate BaseRecord(const std::vector<FieldCase<CommDate>>& fields)
{
    CommDate r{};
    for (const auto& f : fields)
        if (f.text)
            SetText(r, f, kBase);
    r.StartTime = BaseTime(9);
    r.EndTime = BaseTime(10);
    r.Repeat = CommRepeat{2, 1, BaseTime(8), BaseTime(11), 1, 0x2A, 3, 5, 1};
    return r;
}

template <>
CommTask BaseRecord(const std::vector<FieldCase<CommTask>>& fields)
{
    CommTask r{};
    for (const auto& f : fields)
        if (f.text)
            SetText(r, f, kBase);
    r.Priority = 2;
    r.DueDate = 1700000000u;
    return r;
}

template <>
CommNote BaseRecord(const std::vector<FieldCase<CommNote>>& fields)
{
    CommNote r{};
    for (const auto& f : fields)
        SetText(r, f, kBase);
    return r;
}

// ----------------------------------------------------------------- the check

bool EngineMatch(const CommAddr& a, const CommAddr& b, const AppOption& o) { return AddrRecordsMatch(a, b, o); }
bool EngineMatch(const CommDate& a, const CommDate& b, const AppOption& o) { return DateRecordsMatch(a, b, o); }
bool EngineMatch(const CommTask& a, const CommTask& b, const AppOption& o) { return TaskRecordsMatch(a, b, o); }
bool EngineMatch(const CommNote& a, const CommNote& b, const AppOption& o) { return NoteRecordsMatch(a, b, o); }

bool EngineDetect(CommAddrMgr* m, CxList<CommAddr>* d, const AppOption& o) { return DetectAddrDups(m, d, o); }
bool EngineDetect(CommDateMgr* m, CxList<CommDate>* d, const AppOption& o) { return DetectDateDups(m, d, o); }
bool EngineDetect(CommTaskMgr* m, CxList<CommTask>* d, const AppOption& o) { return DetectTaskDups(m, d, o); }
bool EngineDetect(CommNoteMgr* m, CxList<CommNote>* d, const AppOption& o) { return DetectNoteDups(m, d, o); }

template <typename R>
struct MgrOf;
template <>
struct MgrOf<CommAddr> { using type = CommAddrMgr; };
template <>
struct MgrOf<CommDate> { using type = CommDateMgr; };
template <>
struct MgrOf<CommTask> { using type = CommTaskMgr; };
template <>
struct MgrOf<CommNote> { using type = CommNoteMgr; };

/// One pair under one rule: the independent rule must say `expected`, and
/// the engine's match function and detection must say the same.
template <typename R>
void CheckPair(const R& a, const R& b, const AppOption& opt, bool expected, const std::string& what)
{
    SCOPED_TRACE(what);
    ASSERT_EQ(independent::Match(a, b, opt), expected) << "the independent rule disagrees with the rule table";
    EXPECT_EQ(EngineMatch(a, b, opt), expected) << "engine match function";
    EXPECT_EQ(EngineMatch(b, a, opt), expected) << "engine match function, records swapped";
    typename MgrOf<R>::type mgr;
    mgr.Add(a);
    mgr.Add(b);
    CxList<R> dups;
    ASSERT_TRUE(EngineDetect(&mgr, &dups, opt));
    ASSERT_EQ(dups.Count(), expected ? 1u : 0u) << "engine detection";
    if (expected) {
        EXPECT_EQ(mgr.IndexOf(dups.First()), 0);
    }
    dups.Clear(false);
}

/// Every field of a kind, under every rule shape and both case settings.
template <typename R>
void EveryFieldOfTheRule(const std::vector<FieldCase<R>>& fields)
{
    // The settings of this kind: those the fields name.
    std::vector<bool AppOption::*> settings;
    for (const auto& f : fields)
        if (std::find(settings.begin(), settings.end(), f.setting) == settings.end())
            settings.push_back(f.setting);
    const R base = BaseRecord(fields);
    for (const auto& f : fields) {
        for (bool cs : {true, false}) {
            // The field's setting alone; with every other one; off among all others.
            struct Shape {
                const char* name;
                bool fieldOn;
                bool othersOn;
            } shapes[] = {{"alone", true, false}, {"with all", true, true}, {"off", false, true}};
            for (const Shape& s : shapes) {
                AppOption opt = DefaultOption();
                for (auto setting : settings)
                    opt.*setting = s.othersOn;
                opt.*(f.setting) = s.fieldOn;
                opt.CaseSensitive = cs;
                const std::string where = f.name + ", " + s.name + (cs ? ", case-sensitive" : ", case-insensitive");

                CheckPair(base, base, opt, true, where + ", equal");
                R other = base;
                f.change(other);
                CheckPair(base, other, opt, !s.fieldOn, where + ", different");
                if (f.ignored) {
                    R alike = base;
                    f.ignored(alike);
                    CheckPair(base, alike, opt, true, where + ", differs only where the rule does not look");
                }
                if (f.text) {
                    R ascii = base;
                    SetText(ascii, f, kAsciiCase);
                    CheckPair(base, ascii, opt, !s.fieldOn || !cs, where + ", ASCII case only");
                    R ansi = base;
                    SetText(ansi, f, kAnsiCase);
                    CheckPair(base, ansi, opt, !s.fieldOn, where + ", case of a letter beyond ASCII");
                    R empty = base, alsoEmpty = base;
                    SetText(empty, f, "");
                    SetText(alsoEmpty, f, "");
                    CheckPair(empty, alsoEmpty, opt, true, where + ", empty in both");
                    CheckPair(base, empty, opt, !s.fieldOn, where + ", empty in one");
                }
            }
        }
    }
}

}  // namespace

TEST(MatchRule, EveryContactField)
{
    EveryFieldOfTheRule(ContactFields());
}

TEST(MatchRule, EveryCalendarField)
{
    EveryFieldOfTheRule(CalendarFields());
}

TEST(MatchRule, EveryTaskField)
{
    EveryFieldOfTheRule(TaskFields());
}

TEST(MatchRule, EveryNoteField)
{
    EveryFieldOfTheRule(NoteFields());
}

// Every due date from 1956499199 up means "no due date": such tasks are
// alike in their due date whichever of those values they store, and unlike a
// task due a second earlier.
TEST(MatchRule, DueDatesWithoutADateAreOneValue)
{
    const std::vector<FieldCase<CommTask>> fields = TaskFields();
    CommTask none = BaseRecord(fields), alsoNone = none, lastDay = none;
    none.DueDate = CommTask::kNoDueDate;
    alsoNone.DueDate = 0xFFFFFFFFu;
    lastDay.DueDate = CommTask::kNoDueDate - 1;
    for (bool cs : {true, false}) {
        AppOption opt = DefaultOption();
        opt.TodoDueDate = true;
        opt.CaseSensitive = cs;
        CheckPair(none, alsoNone, opt, true, "two values without a date");
        CheckPair(none, lastDay, opt, false, "no date and the last day");
        opt.TodoDueDate = false;
        CheckPair(none, lastDay, opt, true, "due date not in the rule");
    }
}

// The lists above name every setting of every kind: a setting missing from
// them would go unchecked.
TEST(MatchRule, TheFieldListsCoverEverySetting)
{
    std::vector<bool AppOption::*> named;
    for (const auto& f : ContactFields()) named.push_back(f.setting);
    for (const auto& f : CalendarFields()) named.push_back(f.setting);
    for (const auto& f : TaskFields()) named.push_back(f.setting);
    for (const auto& f : NoteFields()) named.push_back(f.setting);
    for (bool AppOption::*s :
         {&AppOption::AddrFirstName, &AppOption::AddrMiddleName, &AppOption::AddrLastName, &AppOption::AddrEmail,
          &AppOption::AddrBusiPhone, &AppOption::AddrHomePhone, &AppOption::AddrBusiAddr, &AppOption::AddrHomeAddr,
          &AppOption::AddrNotes, &AppOption::AddrMobilePhone, &AppOption::AddrCompany, &AppOption::AddrTitle,
          &AppOption::AddrFax, &AppOption::DateDesc, &AppOption::DateStartTime, &AppOption::DateEndTime,
          &AppOption::DateAllDayEvent, &AppOption::DateRepeat, &AppOption::DateNotes, &AppOption::DateLocation,
          &AppOption::TodoDesc, &AppOption::TodoPriority, &AppOption::TodoDueDate, &AppOption::TodoNotes,
          &AppOption::MemoDesc, &AppOption::MemoNotes})
        EXPECT_NE(std::find(named.begin(), named.end(), s), named.end());
}
