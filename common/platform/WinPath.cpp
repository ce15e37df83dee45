#include "platform/WinPath.h"

#include "platform/Codepage.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cstdlib>
#include <vector>

namespace plat {

namespace {

bool EqualNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        unsigned char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = x - 'A' + 'a';
        if (y >= 'A' && y <= 'Z')
            y = y - 'A' + 'a';
        if (x != y)
            return false;
    }
    return true;
}

// Finds the entry of folder `dir` that matches `name` without regard to case.
bool FindNoCase(const std::string& dir, const std::string& name, std::string* found)
{
    DIR* d = opendir(dir.empty() ? "/" : dir.c_str());
    if (!d)
        return false;
    bool ok = false;
    while (struct dirent* e = readdir(d)) {
        if (EqualNoCase(e->d_name, name)) {
            *found = e->d_name;
            ok = true;
            break;
        }
    }
    closedir(d);
    return ok;
}

}  // namespace

bool HostExists(const std::string& hostPath)
{
    struct stat st;
    return lstat(hostPath.c_str(), &st) == 0;
}

std::string WinePrefix()
{
    const char* p = std::getenv("WINEPREFIX");
    std::string prefix;
    if (p && *p) {
        prefix = p;
    } else {
        const char* home = std::getenv("HOME");
        prefix = std::string(home ? home : "") + "/.wine";
    }
    while (prefix.size() > 1 && prefix.back() == '/')
        prefix.pop_back();
    return prefix;
}

std::string ToHostPath(std::string_view winPath)
{
    std::string base;
    std::string_view rest = winPath;
    if (winPath.size() >= 2 && winPath[1] == ':' &&
        ((winPath[0] >= 'A' && winPath[0] <= 'Z') || (winPath[0] >= 'a' && winPath[0] <= 'z'))) {
        char letter = char(winPath[0] | 0x20);
        base = WinePrefix() + "/dosdevices/" + letter + ":";
        rest = winPath.substr(2);
    }

    std::vector<std::string> parts;
    std::string cur;
    for (char c : rest) {
        if (c == '\\' || c == '/') {
            if (!cur.empty())
                parts.push_back(cur);
            cur.clear();
        } else {
            cur += c;
        }
    }
    if (!cur.empty())
        parts.push_back(cur);

    bool absolute = !base.empty() || (!rest.empty() && (rest[0] == '\\' || rest[0] == '/'));
    std::string path = base;
    bool resolving = true;
    auto join = [&](const std::string& name) { return (path.empty() && !absolute) ? name : path + "/" + name; };
    for (size_t i = 0; i < parts.size(); ++i) {
        const std::string& part = parts[i];
        // A name with bytes above 0x7F is in the ANSI code page; the host keeps
        // its names in UTF-8, as Wine does. The bytes as written are tried first.
        std::string hostName = AnsiToHostName(part);
        bool converted = hostName != part;
        std::string next = join(part);
        if (resolving && part != "." && part != ".." && !HostExists(next)) {
            std::string dir = path.empty() ? (absolute ? "/" : ".") : path;
            std::string real;
            if (converted && HostExists(join(hostName))) {
                next = join(hostName);
            } else if (FindNoCase(dir, part, &real) || (converted && FindNoCase(dir, hostName, &real))) {
                next = join(real);
            } else {
                next = join(hostName);
                resolving = false;  // the rest does not exist yet; keep it as written
            }
        } else if (!resolving) {
            next = join(hostName);
        }
        path = next;
    }
    if (path.empty())
        path = absolute ? "/" : ".";
    if (!parts.empty() && !rest.empty() && (rest.back() == '\\' || rest.back() == '/'))
        path += "/";
    return path;
}

std::string ToWinPath(std::string_view hostPath)
{
    std::string out;
    HostNameToAnsi(hostPath, &out);
    for (char& c : out)
        if (c == '/')
            c = '\\';
    return out;
}

void SplitDriveDir(std::string_view winPath, std::string* drive, std::string* dir)
{
    std::string_view rest = winPath;
    std::string d;
    if (winPath.size() >= 2 && winPath[1] == ':') {
        d = std::string(winPath.substr(0, 2));
        rest = winPath.substr(2);
    }
    size_t last = rest.find_last_of("\\/");
    if (drive)
        *drive = d;
    if (dir)
        *dir = last == std::string_view::npos ? std::string() : std::string(rest.substr(0, last + 1));
}

}  // namespace plat
