#include "platform/System.h"

#include "platform/WinPath.h"

#include <sys/syscall.h>
#include <sys/time.h>
#include <time.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <mutex>

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

namespace {

std::mutex g_moduleMutex;
std::string g_moduleOverride;

}  // namespace

void SetModuleFileName(const std::string& winPath)
{
    std::lock_guard<std::mutex> lock(g_moduleMutex);
    g_moduleOverride = winPath;
}

std::string CommonAppDataFolder()
{
    std::string folder;
    const char* xdg = std::getenv("XDG_DATA_HOME");
    // A relative XDG_DATA_HOME is invalid and ignored, as the XDG rules say.
    if (xdg && *xdg == '/') {
        folder = xdg;
    } else {
        const char* home = std::getenv("HOME");
        folder = std::string(home ? home : "") + "/.local/share";
    }
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    return ToWinPath(folder);
}

std::string ModuleFileName()
{
    {
        std::lock_guard<std::mutex> lock(g_moduleMutex);
        if (!g_moduleOverride.empty())
            return g_moduleOverride;
    }
    char buf[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof(buf) - 1);
    if (n <= 0)
        return std::string();
    return ToWinPath(std::string(buf, size_t(n)));
}

}  // namespace plat
