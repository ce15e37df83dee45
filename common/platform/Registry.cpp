#include "platform/Registry.h"

#include "platform/Codepage.h"
#include "platform/File.h"
#include "platform/WinPath.h"

#include <vector>

namespace plat {

namespace {

std::string LowerAscii(std::string_view s)
{
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
    return out;
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

void AppendUtf8(std::u16string* out, std::string_view bytes, size_t* i)
{
    // The registry files are written in UTF-8 for the printable characters.
    unsigned char c = bytes[*i];
    uint32_t cp = c;
    int extra = 0;
    if (c >= 0xF0) {
        cp = c & 0x07;
        extra = 3;
    } else if (c >= 0xE0) {
        cp = c & 0x0F;
        extra = 2;
    } else if (c >= 0xC0) {
        cp = c & 0x1F;
        extra = 1;
    } else if (c >= 0x80) {
        cp = 0xFFFD;
    }
    for (int k = 0; k < extra; ++k) {
        if (*i + 1 >= bytes.size() || (uint8_t(bytes[*i + 1]) & 0xC0) != 0x80) {
            cp = 0xFFFD;
            break;
        }
        ++*i;
        cp = (cp << 6) | (uint8_t(bytes[*i]) & 0x3F);
    }
    if (cp >= 0x10000) {
        cp -= 0x10000;
        *out += char16_t(0xD800 + (cp >> 10));
        *out += char16_t(0xDC00 + (cp & 0x3FF));
    } else {
        *out += char16_t(cp);
    }
}

// Reads an escaped text from s[*i] up to the unescaped `end` character
// (Wine's escapes: \\ \" \] \xNNNN \n \r \t \a \b \e \f \v \0). False when
// the end is missing.
bool Unescape(std::string_view s, size_t* i, char end, std::u16string* out)
{
    out->clear();
    while (*i < s.size()) {
        char c = s[*i];
        if (c == end) {
            ++*i;
            return true;
        }
        if (c != '\\') {
            AppendUtf8(out, s, i);
            ++*i;
            continue;
        }
        if (++*i >= s.size())
            return false;
        char e = s[*i];
        ++*i;
        switch (e) {
        case 'n': *out += u'\n'; break;
        case 'r': *out += u'\r'; break;
        case 't': *out += u'\t'; break;
        case 'a': *out += u'\a'; break;
        case 'b': *out += u'\b'; break;
        case 'e': *out += char16_t(0x1B); break;
        case 'f': *out += u'\f'; break;
        case 'v': *out += u'\v'; break;
        case 'x': {
            uint32_t v = 0;
            int digits = 0;
            while (digits < 4 && *i < s.size() && HexDigit(s[*i]) >= 0) {
                v = v * 16 + uint32_t(HexDigit(s[*i]));
                ++*i;
                ++digits;
            }
            *out += digits ? char16_t(v) : u'x';
            break;
        }
        default:
            if (e >= '0' && e <= '7') {
                uint32_t v = uint32_t(e - '0');
                for (int k = 0; k < 2 && *i < s.size() && s[*i] >= '0' && s[*i] <= '7'; ++k, ++*i)
                    v = v * 8 + uint32_t(s[*i] - '0');
                *out += char16_t(v);
            } else {
                *out += char16_t(uint8_t(e));
            }
            break;
        }
    }
    return false;
}

std::string Narrow(const std::u16string& s)
{
    // Key names are matched in ASCII case; anything else compares as written.
    std::string out;
    for (char16_t c : s) {
        if (c < 0x80) {
            out += char(c);
        } else {
            out += '\x01';
            out += char(c >> 8);
            out += char(c & 0xFF);
        }
    }
    return out;
}

std::vector<std::string_view> Lines(std::string_view text)
{
    std::vector<std::string_view> lines;
    size_t start = 0;
    while (start <= text.size()) {
        size_t nl = text.find('\n', start);
        std::string_view line = text.substr(start, nl == std::string_view::npos ? std::string_view::npos : nl - start);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        lines.push_back(line);
        if (nl == std::string_view::npos)
            break;
        start = nl + 1;
    }
    return lines;
}

}  // namespace

bool ParseWineRegistryKey(std::string_view fileText, std::string_view keyPath,
                          std::map<std::string, std::u16string>* values)
{
    values->clear();
    std::string wanted = LowerAscii(keyPath);
    while (!wanted.empty() && wanted.back() == '\\')
        wanted.pop_back();
    bool inKey = false, found = false, continued = false;
    for (std::string_view line : Lines(fileText)) {
        // A hex value may go on over several lines, each ending in '\'.
        if (continued) {
            continued = !line.empty() && line.back() == '\\';
            continue;
        }
        if (line.empty() || line[0] == ';' || line[0] == '#')
            continue;
        if (line[0] == '[') {
            size_t i = 1;
            std::u16string name;
            if (!Unescape(line, &i, ']', &name)) {
                inKey = false;
                continue;
            }
            inKey = LowerAscii(Narrow(name)) == wanted;
            if (inKey) {
                if (found)
                    values->clear();  // a key written twice: the later one counts
                found = true;
            }
            continue;
        }
        if (!inKey)
            continue;
        std::u16string name;
        size_t i = 0;
        if (line[0] == '@') {
            i = 1;
        } else if (line[0] == '"') {
            i = 1;
            if (!Unescape(line, &i, '"', &name))
                continue;
        } else {
            continue;
        }
        if (i >= line.size() || line[i] != '=')
            continue;
        ++i;
        if (i < line.size() && line[i] == '"') {
            ++i;
            std::u16string value;
            if (Unescape(line, &i, '"', &value))
                (*values)[LowerAscii(Narrow(name))] = value;
        } else {
            continued = !line.empty() && line.back() == '\\';
        }
    }
    return found;
}

bool RegKey::Open(RegRoot root, std::string_view path)
{
    Close();
    std::string file = WinePrefix() + (root == RegRoot::CurrentUser ? "/user.reg" : "/system.reg");
    std::string text;
    if (!ReadWholeFile(ToWinPath(file), &text))
        return false;
    if (ParseWineRegistryKey(text, path, &m_values)) {
        m_open = true;
        return true;
    }
    std::string lower = LowerAscii(path);
    if (root == RegRoot::LocalMachine && lower.rfind("software\\", 0) == 0 &&
        lower.rfind("software\\wow6432node\\", 0) != 0 && text.find("#arch=win64") != std::string::npos) {
        std::string redirected = "Software\\Wow6432Node\\" + std::string(path.substr(9));
        if (ParseWineRegistryKey(text, redirected, &m_values)) {
            m_open = true;
            return true;
        }
    }
    m_values.clear();
    return false;
}

void RegKey::Close()
{
    m_open = false;
    m_values.clear();
}

bool RegKey::QueryString(std::string_view name, std::string* value) const
{
    if (!m_open || !value)
        return false;
    auto it = m_values.find(LowerAscii(name));
    if (it == m_values.end())
        return false;
    *value = WideToAnsi(it->second);
    return true;
}

}  // namespace plat
