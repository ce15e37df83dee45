#include "platform/Profile.h"

#include "platform/WinPath.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <vector>

namespace plat {

namespace {

std::string Trim(const std::string& s)
{
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t'))
        ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t'))
        --e;
    return s.substr(b, e - b);
}

bool SameName(const std::string& a, const char* b)
{
    size_t n = std::strlen(b);
    if (a.size() != n)
        return false;
    for (size_t i = 0; i < n; ++i) {
        unsigned char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z')
            x += 32;
        if (y >= 'A' && y <= 'Z')
            y += 32;
        if (x != y)
            return false;
    }
    return true;
}

std::vector<std::string> ReadLines(const std::string& host, bool* exists)
{
    std::vector<std::string> lines;
    FILE* f = std::fopen(host.c_str(), "rb");
    *exists = f != nullptr;
    if (!f)
        return lines;
    std::string content;
    char buf[8192];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof(buf), f)) > 0)
        content.append(buf, n);
    std::fclose(f);
    std::string line;
    for (size_t i = 0; i < content.size(); ++i) {
        char c = content[i];
        if (c == '\n') {
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            lines.push_back(line);
            line.clear();
        } else {
            line += c;
        }
    }
    if (!line.empty()) {
        if (line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

// "[name]" lines; returns false for other lines.
bool SectionName(const std::string& line, std::string* name)
{
    std::string t = Trim(line);
    if (t.size() < 2 || t[0] != '[')
        return false;
    size_t close = t.find(']');
    if (close == std::string::npos)
        return false;
    *name = Trim(t.substr(1, close - 1));
    return true;
}

// "key=value" lines; comments (';') are not keys.
bool KeyValue(const std::string& line, std::string* key, std::string* value)
{
    std::string t = Trim(line);
    if (t.empty() || t[0] == ';')
        return false;
    size_t eq = t.find('=');
    if (eq == std::string::npos)
        return false;
    *key = Trim(t.substr(0, eq));
    *value = Trim(t.substr(eq + 1));
    return true;
}

}  // namespace

size_t GetProfileString(const std::string& winFile, const char* section, const char* key, const char* def,
                        char* buf, size_t size)
{
    if (!buf || size == 0)
        return 0;
    std::string value = Trim(def ? def : "");
    bool exists = false;
    if (section && key) {
        std::vector<std::string> lines = ReadLines(ToHostPath(winFile), &exists);
        bool inSection = false;
        for (const std::string& line : lines) {
            std::string name, k, v;
            if (SectionName(line, &name)) {
                inSection = SameName(name, section);
                continue;
            }
            if (inSection && KeyValue(line, &k, &v) && SameName(k, key)) {
                if (v.size() >= 2 && v.front() == '"' && v.back() == '"')
                    v = v.substr(1, v.size() - 2);
                value = v;
                break;
            }
        }
    }
    size_t n = value.size() < size - 1 ? value.size() : size - 1;
    std::memcpy(buf, value.data(), n);
    buf[n] = '\0';
    return n;
}

bool WriteProfileString(const std::string& winFile, const char* section, const char* key, const char* value)
{
    if (!section || !key || winFile.empty())
        return false;
    std::string host = ToHostPath(winFile);
    bool exists = false;
    std::vector<std::string> lines = ReadLines(host, &exists);

    // Find the section and, inside it, the key.
    int sectionLine = -1, keyLine = -1, lastInSection = -1;
    bool inSection = false;
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string name, k, v;
        if (SectionName(lines[i], &name)) {
            if (inSection)
                break;
            inSection = SameName(name, section);
            if (inSection) {
                sectionLine = int(i);
                lastInSection = int(i);
            }
            continue;
        }
        if (inSection) {
            if (!Trim(lines[i]).empty())
                lastInSection = int(i);
            if (KeyValue(lines[i], &k, &v) && SameName(k, key)) {
                keyLine = int(i);
                break;
            }
        }
    }

    std::string entry = std::string(key) + "=" + (value ? value : "");
    if (keyLine >= 0) {
        if (value)
            lines[size_t(keyLine)] = entry;
        else
            lines.erase(lines.begin() + keyLine);
    } else if (value) {
        if (sectionLine < 0) {
            lines.push_back(std::string("[") + section + "]");
            lines.push_back(entry);
        } else {
            lines.insert(lines.begin() + lastInSection + 1, entry);
        }
    } else {
        return true;
    }

    std::string content;
    for (const std::string& line : lines)
        content += line + "\r\n";
    std::string tmp = host + ".tmp";
    int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    bool ok = ::write(fd, content.data(), content.size()) == ssize_t(content.size());
    ok = ::close(fd) == 0 && ok;
    if (ok)
        ok = ::rename(tmp.c_str(), host.c_str()) == 0;
    if (!ok)
        ::unlink(tmp.c_str());
    return ok;
}

}  // namespace plat
