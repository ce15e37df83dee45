#include "misc/CxIniUtil.h"

#include "misc/WinUtil.h"
#include "platform/Profile.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

void CopyCut(char* dst, size_t capacity, const char* src)
{
    size_t n = strnlen(src, capacity - 1);
    std::memcpy(dst, src, n);
    dst[n] = 0;
}

}  // namespace

CxIniUtil::CxIniUtil(const char* folder, const char* fileName)
{
    m_section[0] = 0;
    std::string path;
    if (folder && *folder) {
        path = folder;
    } else {
        char programFolder[kMaxPath] = "";
        GetModuleFolder(nullptr, programFolder);
        path = programFolder;
    }
    if (fileName)
        path += fileName;
    CopyCut(m_path, sizeof m_path, path.c_str());
}

void CxIniUtil::SetPath(const char* path)
{
    if (path && *path)
        CopyCut(m_path, sizeof m_path, path);
}

void CxIniUtil::SetDefaultSection(const char* section)
{
    CopyCut(m_section, sizeof m_section, section ? section : "");
}

const char* CxIniUtil::SectionOf(const char* section) const
{
    return section && *section ? section : m_section;
}

size_t CxIniUtil::ReadString(const char* section, const char* key, char* buf, size_t size, const char* def) const
{
    if (!key || !*key || !buf || size == 0)
        return 0;
    return plat::GetProfileString(m_path, SectionOf(section), key, def ? def : "", buf, size);
}

int32_t CxIniUtil::ReadInt(const char* section, const char* key, int32_t def) const
{
    char buf[32];
    if (ReadString(section, key, buf, sizeof buf, "") == 0)
        return def;
    // Leading digits as atoi reads them; out-of-range values are clamped
    // instead of being undefined.
    long long v = std::strtoll(buf, nullptr, 10);
    if (v > INT32_MAX)
        return INT32_MAX;
    if (v < INT32_MIN)
        return INT32_MIN;
    return int32_t(v);
}

bool CxIniUtil::ReadBool(const char* section, const char* key, bool def) const
{
    return ReadInt(section, key, def ? 1 : 0) != 0;
}

bool CxIniUtil::WriteString(const char* section, const char* key, const char* value) const
{
    if (!key || !*key)
        return false;
    return plat::WriteProfileString(m_path, SectionOf(section), key, value ? value : "");
}

bool CxIniUtil::WriteInt(const char* section, const char* key, int32_t value) const
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%d", value);
    return WriteString(section, key, buf);
}

bool CxIniUtil::WriteBool(const char* section, const char* key, bool value) const
{
    return WriteInt(section, key, value ? 1 : 0);
}

CxIniUtil& TheIni()
{
    static CxIniUtil ini("", "brellon.ini");
    return ini;
}
