// The duplicate rules and the detection pass written a second time, from the
// rule tables alone and without any of the engine's code: its own field
// lists per application and setting, its own folding of ASCII letters, its
// own time and repeat comparisons and its own pairwise pass. The engine is
// checked against this; a rule made wrong in the engine cannot pass by being
// compared with itself.
#pragma once

#include "app/Apputil.h"

#include <cstring>
#include <string_view>
#include <vector>

namespace independent {

/// Only the 26 letters a-z have a case here; every other byte, 0xE9 and
/// 0xC9 of the ANSI page included, is its own.
inline char Upper(char c)
{
    return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c;
}

/// A field's text: up to its terminator, never past its capacity.
template <size_t N>
std::string_view Bytes(const FixedText<N>& t)
{
    return std::string_view(t.c_str(), strnlen(t.c_str(), N));
}

template <size_t N>
bool SameText(const FixedText<N>& a, const FixedText<N>& b, bool caseSensitive)
{
    std::string_view x = Bytes(a), y = Bytes(b);
    if (x.size() != y.size())
        return false;
    for (size_t i = 0; i < x.size(); ++i) {
        if (caseSensitive ? x[i] != y[i] : Upper(x[i]) != Upper(y[i]))
            return false;
    }
    return true;
}

/// Year, month, day, hour, minute and second; day of week and milliseconds
/// do not count.
inline bool SameTime(const CxSystemTime& a, const CxSystemTime& b)
{
    return a.year == b.year && a.month == b.month && a.day == b.day && a.hour == b.hour && a.minute == b.minute &&
           a.second == b.second;
}

inline bool SameAddress(const CommAddress& a, const CommAddress& b, bool cs)
{
    return SameText(a.Country, b.Country, cs) && SameText(a.State, b.State, cs) && SameText(a.City, b.City, cs) &&
           SameText(a.Street, b.Street, cs) && SameText(a.Postal, b.Postal, cs);
}

inline bool SameRepeat(const CommRepeat& a, const CommRepeat& b)
{
    return a.RepeatType == b.RepeatType && a.HasEndDate == b.HasEndDate && SameTime(a.RepeatStart, b.RepeatStart) &&
           SameTime(a.RepeatEnd, b.RepeatEnd) && a.Interval == b.Interval && a.DayMask == b.DayMask &&
           a.DayOfMonth == b.DayOfMonth && a.MonthOfYear == b.MonthOfYear && a.Instance == b.Instance;
}

/// Due dates compare as the stored numbers, except that every value from
/// 1956499199 up means "no due date" (the task record's definition), so all
/// of those are one value.
inline bool SameDueDate(uint32_t a, uint32_t b)
{
    const uint32_t none = 1956499199u;
    return (a >= none && b >= none) || a == b;
}

/// One criterion of a rule: whether its setting is on, and whether it holds.
struct Criterion {
    bool on;
    bool holds;
};

/// Two records match when every criterion that is on holds.
inline bool AllHold(std::initializer_list<Criterion> criteria)
{
    for (const Criterion& c : criteria)
        if (c.on && !c.holds)
            return false;
    return true;
}

inline bool Match(const CommAddr& a, const CommAddr& b, const AppOption& o)
{
    const bool cs = o.CaseSensitive;
    return AllHold({
        {o.AddrFirstName, SameText(a.FirstName, b.FirstName, cs)},
        {o.AddrMiddleName, SameText(a.MiddleName, b.MiddleName, cs)},
        {o.AddrLastName, SameText(a.LastName, b.LastName, cs)},
        {o.AddrEmail, SameText(a.Email, b.Email, cs)},
        {o.AddrBusiPhone, SameText(a.WorkPhone, b.WorkPhone, cs)},
        {o.AddrHomePhone, SameText(a.HomePhone, b.HomePhone, cs)},
        {o.AddrBusiAddr, SameAddress(a.WorkAddr, b.WorkAddr, cs)},
        {o.AddrHomeAddr, SameAddress(a.HomeAddr, b.HomeAddr, cs)},
        {o.AddrNotes, SameText(a.Note, b.Note, cs)},
        {o.AddrMobilePhone, SameText(a.MobilePhone, b.MobilePhone, cs)},
        {o.AddrCompany, SameText(a.Company, b.Company, cs)},
        {o.AddrTitle, SameText(a.Title, b.Title, cs)},
        {o.AddrFax, SameText(a.WorkFax, b.WorkFax, cs)},
    });
}

inline bool Match(const CommDate& a, const CommDate& b, const AppOption& o)
{
    const bool cs = o.CaseSensitive;
    return AllHold({
        {o.DateDesc, SameText(a.Description, b.Description, cs)},
        {o.DateStartTime, SameTime(a.StartTime, b.StartTime)},
        {o.DateEndTime, SameTime(a.EndTime, b.EndTime)},
        {o.DateAllDayEvent, a.AllDayEvent == b.AllDayEvent},
        {o.DateNotes, SameText(a.Note, b.Note, cs)},
        {o.DateRepeat, SameRepeat(a.Repeat, b.Repeat)},
        {o.DateLocation, SameText(a.Location, b.Location, cs)},
    });
}

inline bool Match(const CommTask& a, const CommTask& b, const AppOption& o)
{
    const bool cs = o.CaseSensitive;
    return AllHold({
        {o.TodoDesc, SameText(a.Description, b.Description, cs)},
        {o.TodoPriority, a.Priority == b.Priority},
        {o.TodoDueDate, SameDueDate(a.DueDate, b.DueDate)},
        {o.TodoNotes, SameText(a.Note, b.Note, cs)},
    });
}

inline bool Match(const CommNote& a, const CommNote& b, const AppOption& o)
{
    const bool cs = o.CaseSensitive;
    return AllHold({
        {o.MemoDesc, SameText(a.Subject, b.Subject, cs)},
        {o.MemoNotes, SameText(a.Note, b.Note, cs)},
    });
}

/// The detection pass over records in manager order: for every record not
/// yet marked, walk the records after it; each one that matches the keeper
/// marks and lists the keeper and becomes the keeper. Returns the listed
/// positions; `marked` receives bit 0 of every record.
template <typename R>
std::vector<int> Detect(const std::vector<const R*>& recs, const AppOption& opt, std::vector<bool>* marked)
{
    std::vector<int> listed;
    std::vector<bool> mark(recs.size(), false);
    for (size_t r = 0; r < recs.size(); ++r) {
        if (mark[r])
            continue;
        size_t keeper = r;
        for (size_t q = r + 1; q < recs.size(); ++q) {
            if (Match(*recs[keeper], *recs[q], opt)) {
                mark[keeper] = true;
                listed.push_back(int(keeper));
                keeper = q;
            }
        }
    }
    if (marked)
        *marked = mark;
    return listed;
}

}  // namespace independent
