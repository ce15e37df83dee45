#include "platform/FileCheck.h"

#include "platform/WinPath.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace plat {

std::string WhyCannotOpen(const std::string& winPath)
{
    if (winPath.empty())
        return "no file was named";
    std::string host = ToHostPath(winPath);
    struct stat st;
    if (::stat(host.c_str(), &st) != 0)
        return errno == ENOENT || errno == ENOTDIR ? "there is no such file" : std::strerror(errno);
    if (S_ISDIR(st.st_mode))
        return "it is a folder, not a file";
    if (!S_ISREG(st.st_mode))
        return "it is not a regular file";
    int fd = ::open(host.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::strerror(errno);
    std::string why;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0)
        why = errno == EWOULDBLOCK ? "another program has it open" : std::strerror(errno);
    ::close(fd);
    return why;
}

bool HeldByRangeLock(const std::string& winPath)
{
    if (winPath.empty())
        return false;
    const int fd = ::open(ToHostPath(winPath).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct flock fl {};
    fl.l_type = F_WRLCK;
    fl.l_whence = SEEK_SET;
    fl.l_start = 0;
    fl.l_len = 0;  // to the end and past it: SQLite locks bytes beyond a small file's end
    const bool held = ::fcntl(fd, F_GETLK, &fl) == 0 && fl.l_type != F_UNLCK;
    ::close(fd);
    return held;
}

int64_t HostFileSize(const std::string& winPath)
{
    struct stat st;
    if (winPath.empty() || ::stat(ToHostPath(winPath).c_str(), &st) != 0)
        return -1;
    return int64_t(st.st_size);
}

}  // namespace plat
