// Calendar time and its small helpers.
//
// CxSystemTime has the 16-byte layout of eight unsigned 16-bit fields that the
// common records and the data files use (the Windows SYSTEMTIME layout). The
// compare helpers never look at the day of week or the milliseconds: two
// times that differ only there are the same time for this program.
#pragma once

#include <cstddef>
#include <cstdint>

struct CxSystemTime {
    uint16_t year;
    uint16_t month;         ///< 1-12
    uint16_t dayOfWeek;     ///< 0 Sunday - 6 Saturday
    uint16_t day;           ///< 1-31
    uint16_t hour;
    uint16_t minute;
    uint16_t second;
    uint16_t milliseconds;
};
static_assert(sizeof(CxSystemTime) == 16, "calendar time must keep its 16-byte layout");

/// "hh:mm:ss" of a calendar time. False for a missing argument, a capacity of
/// 0, or when the text with its terminator does not fit (out is then untouched).
bool CxTimeText(const CxSystemTime* time, char* out, size_t capacity);

/// -1, 0 or 1 by year, month, day. A missing first time gives -1, a missing
/// second time 1.
int CxCompareDate(const CxSystemTime* a, const CxSystemTime* b);

/// -1, 0 or 1 by hour, minute, second, with the same rule for missing times.
int CxCompareTime(const CxSystemTime* a, const CxSystemTime* b);

/// Dates first, then times.
int CxCompareDateTime(const CxSystemTime* a, const CxSystemTime* b);
