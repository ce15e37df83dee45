#include "platform/Shell.h"

#include "platform/WinPath.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>

namespace plat {

namespace {

std::mutex g_mutex;
std::string g_opener = "xdg-open";

bool LooksLikeWinPath(const std::string& t)
{
    if (t.size() >= 2 && t[1] == ':' && ((t[0] >= 'A' && t[0] <= 'Z') || (t[0] >= 'a' && t[0] <= 'z')))
        return t.size() == 2 || t[2] == '\\' || t[2] == '/';
    return t.find('\\') != std::string::npos;
}

}  // namespace

void SetShellOpener(const std::string& program)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    g_opener = program.empty() ? "xdg-open" : program;
}

bool ShellOpen(const std::string& target)
{
    if (target.empty())
        return false;
    std::string opener;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        opener = g_opener;
    }
    std::string arg = LooksLikeWinPath(target) ? ToHostPath(target) : target;

    // Fork twice so that the opener is adopted by init and never becomes a
    // zombie of ours; the middle child only reports whether exec worked.
    int pipefd[2];
    if (pipe2(pipefd, O_CLOEXEC) != 0)
        return false;
    pid_t child = fork();
    if (child < 0) {
        close(pipefd[0]);
        close(pipefd[1]);
        return false;
    }
    if (child == 0) {
        close(pipefd[0]);
        setsid();
        pid_t grandchild = fork();
        if (grandchild != 0) {
            // A failed fork is reported as a failed exec.
            if (grandchild < 0) {
                int err = errno;
                (void)!write(pipefd[1], &err, sizeof(err));
            }
            _exit(0);
        }
        int devnull = open("/dev/null", O_RDWR);
        if (devnull >= 0) {
            dup2(devnull, 0);
            dup2(devnull, 1);
            dup2(devnull, 2);
        }
        execlp(opener.c_str(), opener.c_str(), arg.c_str(), static_cast<char*>(nullptr));
        int err = errno;
        (void)!write(pipefd[1], &err, sizeof(err));
        _exit(127);
    }
    close(pipefd[1]);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    // The pipe closes on a successful exec; an errno arrives on failure.
    int err = 0;
    ssize_t n;
    while ((n = read(pipefd[0], &err, sizeof(err))) < 0 && errno == EINTR) {
    }
    close(pipefd[0]);
    return n == 0;
}

}  // namespace plat
