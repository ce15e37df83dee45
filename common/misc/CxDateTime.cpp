#include "misc/CxDateTime.h"

#include <cstdio>
#include <cstring>

namespace {

int Order(unsigned a, unsigned b)
{
    return a < b ? -1 : (a > b ? 1 : 0);
}

}  // namespace

bool CxTimeText(const CxSystemTime* time, char* out, size_t capacity)
{
    if (!time || !out || capacity == 0)
        return false;
    char text[32];
    int len = std::snprintf(text, sizeof text, "%02d:%02d:%02d", time->hour, time->minute, time->second);
    if (len < 0 || size_t(len) >= capacity)
        return false;
    std::memcpy(out, text, size_t(len) + 1);
    return true;
}

int CxCompareDate(const CxSystemTime* a, const CxSystemTime* b)
{
    if (!a)
        return -1;
    if (!b)
        return 1;
    if (int r = Order(a->year, b->year))
        return r;
    if (int r = Order(a->month, b->month))
        return r;
    return Order(a->day, b->day);
}

int CxCompareTime(const CxSystemTime* a, const CxSystemTime* b)
{
    if (!a)
        return -1;
    if (!b)
        return 1;
    if (int r = Order(a->hour, b->hour))
        return r;
    if (int r = Order(a->minute, b->minute))
        return r;
    return Order(a->second, b->second);
}

int CxCompareDateTime(const CxSystemTime* a, const CxSystemTime* b)
{
    if (int r = CxCompareDate(a, b))
        return r;
    return CxCompareTime(a, b);
}
