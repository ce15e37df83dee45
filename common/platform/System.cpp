#include "platform/System.h"

#include <sys/syscall.h>
#include <sys/time.h>
#include <time.h>
#include <unistd.h>

#include <climits>

namespace plat {

LocalTime Now()
{
    struct timeval tv;
    gettimeofday(&tv, nullptr);
    struct tm tmv;
    time_t secs = tv.tv_sec;
    localtime_r(&secs, &tmv);
    return LocalTime{tmv.tm_year + 1900, tmv.tm_mon + 1, tmv.tm_wday, tmv.tm_mday,
                     tmv.tm_hour,        tmv.tm_min,     tmv.tm_sec,  int(tv.tv_usec / 1000)};
}

uint32_t CurrentThreadId()
{
    return uint32_t(syscall(SYS_gettid));
}

std::string ModuleFileName()
{
    char buf[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof(buf) - 1);
    if (n <= 0)
        return std::string();
    std::string path(buf, size_t(n));
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return path;
}

}  // namespace plat
