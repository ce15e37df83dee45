#include "palm/PalmComm.h"

#include <cstdio>
#include <cstring>
#include <ctime>

// ---------------------------------------------------------------------------
// PmTime

namespace {

int32_t LocalToSeconds(int year, int month, int day, int hour, int minute, int second)
{
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    t.tm_isdst = -1;  // let the library decide whether daylight saving applies
    std::time_t v = std::mktime(&t);
    if (v == static_cast<std::time_t>(-1) || v < INT32_MIN || v > INT32_MAX)
        return -1;
    return static_cast<int32_t>(v);
}

}  // namespace

void PmTime::FromParts(int year, int month, int day, int hour, int minute, int second)
{
    m_Value = LocalToSeconds(year, month, day, hour, minute, second);
}

void PmTime::FromSeconds(int32_t seconds)
{
    m_Value = seconds != 0 ? seconds : static_cast<int32_t>(std::time(nullptr));
}

bool PmTime::Breakdown(PmTimeParts* parts)
{
    m_Last = PmTimeParts{};
    bool ok = false;
    if (m_Value >= 0) {
        std::time_t v = m_Value;
        std::tm t{};
        if (localtime_r(&v, &t) != nullptr) {
            m_Last.year = t.tm_year + 1900;
            m_Last.month = t.tm_mon + 1;
            m_Last.day = t.tm_mday;
            m_Last.hour = t.tm_hour;
            m_Last.minute = t.tm_min;
            m_Last.second = t.tm_sec;
            ok = true;
        }
    }
    if (parts)
        *parts = m_Last;
    return ok;
}

int PmTime::Year()
{
    Breakdown(nullptr);
    return m_Last.year;
}

int PmTime::Month()
{
    Breakdown(nullptr);
    return m_Last.month;
}

int PmTime::Day()
{
    Breakdown(nullptr);
    return m_Last.day;
}

bool PmTime::FormatInto(char* buffer, size_t capacity, bool date)
{
    if (!buffer || capacity == 0)
        return false;
    Breakdown(nullptr);
    buffer[0] = 0;
    char work[256];
    if (date)
        std::snprintf(work, sizeof work, "%02d/%02d/%04d", m_Last.month, m_Last.day, m_Last.year);
    else
        std::snprintf(work, sizeof work, "%02d:%02d:%02d", m_Last.hour, m_Last.minute, m_Last.second);
    size_t len = std::strlen(work);
    if (len >= capacity)
        return false;
    std::memcpy(buffer, work, len + 1);
    return true;
}

bool PmTime::DateText(char* buffer, size_t capacity)
{
    return FormatInto(buffer, capacity, true);
}

bool PmTime::TimeText(char* buffer, size_t capacity)
{
    return FormatInto(buffer, capacity, false);
}

bool PmTime::FromCalendarTime(const CxSystemTime* time)
{
    if (!time)
        return false;
    m_Value = LocalToSeconds(time->year, time->month, time->day, time->hour, time->minute, time->second);
    return true;
}

bool PmTime::ToCalendarTime(CxSystemTime* time)
{
    if (!time)
        return false;
    std::memset(time, 0, sizeof *time);
    PmTimeParts p;
    if (!Breakdown(&p))
        return false;
    time->year = static_cast<uint16_t>(p.year);
    time->month = static_cast<uint16_t>(p.month);
    time->day = static_cast<uint16_t>(p.day);
    time->hour = static_cast<uint16_t>(p.hour);
    time->minute = static_cast<uint16_t>(p.minute);
    time->second = static_cast<uint16_t>(p.second);
    return true;
}
