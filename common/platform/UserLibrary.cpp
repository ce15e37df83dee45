#include "platform/UserLibrary.h"

#include "platform/Codepage.h"
#include "platform/Library.h"
#include "platform/WinPath.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace plat {

namespace {

char Lower(char c)
{
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c;
}

bool LessNoCase(const std::string& a, const std::string& b)
{
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        char x = Lower(a[i]), y = Lower(b[i]);
        if (x != y)
            return (unsigned char)x < (unsigned char)y;
    }
    if (a.size() != b.size())
        return a.size() < b.size();
    return a < b;
}

bool IsDir(const std::string& host)
{
    struct stat st;
    return stat(host.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool HoldsApplicationFolder(const std::string& hostDir)
{
    DIR* d = opendir(hostDir.c_str());
    if (!d)
        return false;
    bool found = false;
    while (struct dirent* e = readdir(d)) {
        std::string name = e->d_name;
        for (char& c : name)
            c = Lower(c);
        if ((name == "address" || name == "datebook" || name == "todo" || name == "memopad") &&
            IsDir(hostDir + "/" + e->d_name)) {
            found = true;
            break;
        }
    }
    closedir(d);
    return found;
}

std::string RootOf(const Library* lib)
{
    std::string file = LibraryFileName(lib);
    size_t slash = file.find_last_of('\\');
    return slash == std::string::npos ? std::string() : file.substr(0, slash + 1);
}

// The users' folder names in order; false when the root cannot be read.
bool ListUsers(const Library* lib, std::vector<std::string>* users)
{
    users->clear();
    std::string root = RootOf(lib);
    if (root.empty())
        return false;
    std::string host = ToHostPath(root);
    while (host.size() > 1 && host.back() == '/')
        host.pop_back();
    DIR* d = opendir(host.c_str());
    if (!d)
        return false;
    while (struct dirent* e = readdir(d)) {
        std::string name = e->d_name;
        if (name == "." || name == "..")
            continue;
        std::string sub = host + "/" + name;
        if (IsDir(sub) && HoldsApplicationFolder(sub)) {
            // Reported in the ANSI code page, as the program reads every name.
            std::string ansi;
            HostNameToAnsi(name, &ansi);
            users->push_back(ansi);
        }
    }
    closedir(d);
    std::sort(users->begin(), users->end(), LessNoCase);
    return true;
}

bool FindUser(const Library* lib, uint32_t id, std::string* name)
{
    std::vector<std::string> users;
    if (!ListUsers(lib, &users))
        return false;
    for (const std::string& u : users) {
        if (UserIdForName(u) == id) {
            *name = u;
            return true;
        }
    }
    return false;
}

int32_t CopyOut(const std::string& text, char* buf, uint16_t* size)
{
    if (!buf || !size || *size == 0)
        return -1;
    size_t n = std::min<size_t>(text.size(), *size - 1u);
    std::memcpy(buf, text.data(), n);
    buf[n] = '\0';
    if (n < text.size()) {
        *size = uint16_t(std::min<size_t>(text.size() + 1, 0xFFFF));
        return -2;
    }
    return 0;
}

}  // namespace

uint32_t UserIdForName(std::string_view name)
{
    uint32_t hash = 2166136261u;
    for (char c : name) {
        hash ^= uint8_t(Lower(c));
        hash *= 16777619u;
    }
    return hash;
}

int16_t UmGetUserCount(const Library* lib)
{
    if (!lib)
        return -100;
    std::vector<std::string> users;
    if (!ListUsers(lib, &users))
        return -1;
    return int16_t(std::min<size_t>(users.size(), 32767));
}

int32_t UmGetUserID(const Library* lib, int16_t index, uint32_t* id)
{
    std::vector<std::string> users;
    if (!lib || !id || index < 0 || !ListUsers(lib, &users) || size_t(index) >= users.size())
        return -1;
    *id = UserIdForName(users[size_t(index)]);
    return 0;
}

int32_t UmGetUserName(const Library* lib, uint32_t id, char* buf, uint16_t* size)
{
    std::string name;
    if (!lib || !FindUser(lib, id, &name))
        return -1;
    return CopyOut(name, buf, size);
}

int32_t UmGetUserDirectory(const Library* lib, uint32_t id, char* buf, uint16_t* size)
{
    // The folder name is the user's name.
    return UmGetUserName(lib, id, buf, size);
}

int32_t UmGetRootDirectory(const Library* lib, char* buf, uint16_t* size)
{
    std::string root = RootOf(lib);
    if (!lib || root.empty() || !buf || !size || *size == 0)
        return 0;
    if (root.size() + 1 > *size) {
        buf[0] = '\0';
        *size = uint16_t(std::min<size_t>(root.size() + 1, 0xFFFF));
        return 0;
    }
    std::memcpy(buf, root.c_str(), root.size() + 1);
    return 1;
}

}  // namespace plat
