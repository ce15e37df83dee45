#include "misc/CxFile.h"

#include "platform/WinPath.h"

bool CxFile::Open(const char* winPath, const char* mode)
{
    if (!winPath || !*winPath || !mode || !*mode)
        return false;
    Close();
    m_fp = std::fopen(plat::ToHostPath(winPath).c_str(), mode);
    return m_fp != nullptr;
}

bool CxFile::Close()
{
    if (m_fp) {
        std::fclose(m_fp);
        m_fp = nullptr;
    }
    return true;
}

bool CxFile::WriteLine(const char* text)
{
    if (!m_fp)
        return false;
    return std::fprintf(m_fp, "%s\r\n", text ? text : "") >= 0;
}

int32_t CxFile::FileSize(const char* winPath)
{
    if (!winPath || !*winPath)
        return -1;
    std::FILE* fp = std::fopen(plat::ToHostPath(winPath).c_str(), "rb");
    if (!fp)
        return -1;
    long size = -1;
    if (std::fseek(fp, 0, SEEK_END) == 0)
        size = std::ftell(fp);
    std::fclose(fp);
    if (size < 0)
        return -1;
    return size > INT32_MAX ? INT32_MAX : int32_t(size);
}
