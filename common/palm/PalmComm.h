// The shared layer of the Palm Desktop .dat files: Palm time values, the
// binary field I/O of the file utilities, and the category table.
#pragma once

#include "misc/CxDateTime.h"

#include <cstddef>
#include <cstdint>
#include <ctime>

/// Local calendar fields of a time value: full year, month 1-12, day 1-31,
/// hour 0-23, minute and second 0-59.
struct PmTimeParts {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

/// The date-time value of the data files: signed 32-bit seconds since 1970,
/// read in the machine's local time zone (no zone is stored with it). Every
/// accessor breaks the value down afresh.
class PmTime {
public:
    PmTime() = default;

    /// Value := local-time conversion of the fields (daylight saving left to
    /// the C library); -1 when the fields cannot be represented.
    void FromParts(int year, int month, int day, int hour, int minute, int second);
    /// Value := seconds; 0 means the current time.
    void FromSeconds(int32_t seconds);
    /// Value := seconds, 0 included (a stored 0 stays 0).
    void Set(int32_t seconds) { m_Value = seconds; }
    int32_t Value() const { return m_Value; }

    /// Local calendar fields of the value; false when the C library cannot
    /// break it down (negative values included), parts then all 0.
    bool Breakdown(PmTimeParts* parts);
    int Year();
    int Month();
    int Day();

    /// "MM/DD/YYYY"; fails (buffer emptied when there is one) when the text
    /// with its terminator does not fit: 11 is the smallest capacity.
    bool DateText(char* buffer, size_t capacity);
    /// "hh:mm:ss"; 9 is the smallest capacity.
    bool TimeText(char* buffer, size_t capacity);

    /// Value from year, month, day, hour, minute and second of the calendar
    /// time (day of week and milliseconds ignored); false for no argument.
    bool FromCalendarTime(const CxSystemTime* time);
    /// All 16 bytes zeroed, then year, month, day, hour, minute, second
    /// filled; false for no argument or a value that cannot be broken down.
    bool ToCalendarTime(CxSystemTime* time);

private:
    bool FormatInto(char* buffer, size_t capacity, bool date);

    int32_t m_Value = 0;
    PmTimeParts m_Last;  ///< fields of the most recent Breakdown
};
