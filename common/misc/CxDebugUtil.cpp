#include "misc/CxDebugUtil.h"

#include "platform/System.h"
#include "platform/WinPath.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// The innermost capture alive on this thread; each one links to the capture
// that was innermost when it began.
thread_local CxLogCapture* t_pCapture = nullptr;

void CopyCut(char* dst, const char* src, size_t cap)
{
    std::strncpy(dst, src, cap - 1);
    dst[cap - 1] = '\0';
}

int64_t FileSize(const std::string& host)
{
    FILE* f = std::fopen(host.c_str(), "rb");
    if (!f)
        return -1;
    int64_t size = -1;
    if (std::fseek(f, 0, SEEK_END) == 0)
        size = int64_t(std::ftell(f));
    std::fclose(f);
    return size;
}

void CopyFileOver(const std::string& from, const std::string& to)
{
    FILE* in = std::fopen(from.c_str(), "rb");
    if (!in)
        return;
    FILE* out = std::fopen(to.c_str(), "wb");
    if (out) {
        char buf[65536];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof(buf), in)) > 0)
            std::fwrite(buf, 1, n, out);
        std::fclose(out);
    }
    std::fclose(in);
}

}  // namespace

CxDebugUtil::CxDebugUtil() : m_level(0), m_enabled(false)
{
    CopyCut(m_fileName, "appdebug.log", sizeof(m_fileName));
    CopyCut(m_folder, "./", sizeof(m_folder));
}

void CxDebugUtil::SetFolder(const char* folder)
{
    if (folder)
        CopyCut(m_folder, folder, sizeof(m_folder));
}

void CxDebugUtil::SetLevel(int32_t level)
{
    m_level = level > 3 ? 3 : (level < 0 ? 0 : level);
}

std::string CxDebugUtil::LogPath() const
{
    std::string path = std::string(m_folder) + m_fileName;
    if (path.size() > 259)
        path.resize(259);
    return path;
}

void CxDebugUtil::Log(int32_t level, const char* module, int line, const char* format, ...)
{
    if (level != 0 && (!m_enabled || level > m_level))
        return;
    // A log switched off writes nothing, not even its file; a level-0
    // message still reaches the captures, which tell the user why.
    if (!m_enabled && !t_pCapture)
        return;

    static char message[40960];
    message[0] = '\0';
    if (format) {
        va_list args;
        va_start(args, format);
        std::vsnprintf(message, sizeof(message), format, args);
        va_end(args);
    }
    if (level == 0) {
        // Logging never throws: a capture that cannot grow misses the line.
        for (CxLogCapture* c = t_pCapture; c; c = c->m_pOuter) {
            try {
                c->m_messages.emplace_back(message);
            } catch (...) {
            }
        }
    }

    if (!m_enabled)
        return;

    char name[256];
    if (module) {
        const char* slash = std::strrchr(module, '\\');
        CopyCut(name, slash ? slash + 1 : module, sizeof(name));
    } else {
        CopyCut(name, "<null>", sizeof(name));
    }

    plat::LocalTime t = plat::Now();
    std::string host = plat::ToHostPath(LogPath());
    int64_t size = FileSize(host);
    FILE* f;
    if (size > kRotateSize) {
        CopyFileOver(host, host + ".old.log");
        f = std::fopen(host.c_str(), "wb");
    } else {
        f = std::fopen(host.c_str(), "ab");
    }
    if (!f)
        return;
    std::fprintf(f, "[%04d/%02d/%02d %02d:%02d:%02d][%-20s(%-4d)][%05x][%s] - %s\r\n", t.year, t.month, t.day,
                 t.hour, t.minute, t.second, name, line, plat::CurrentThreadId(), level == 0 ? "!!!" : "   ",
                 message);
    std::fclose(f);
}

CxDebugUtil& TheLog()
{
    static CxDebugUtil log;
    return log;
}

CxLogCapture::CxLogCapture() : m_pOuter(t_pCapture) { t_pCapture = this; }

CxLogCapture::~CxLogCapture()
{
    // Captures normally end innermost first; one that ends out of turn is
    // unlinked where it stands so that the others keep collecting.
    if (t_pCapture == this) {
        t_pCapture = m_pOuter;
        return;
    }
    for (CxLogCapture* c = t_pCapture; c; c = c->m_pOuter)
        if (c->m_pOuter == this) {
            c->m_pOuter = m_pOuter;
            return;
        }
}

std::string CxLogCapture::Text() const
{
    std::string text;
    for (size_t i = 0; i < m_messages.size(); ++i) {
        if (i > 0)
            text += '\n';
        text += m_messages[i];
    }
    return text;
}

void CxAssertFailed(const char* module, int line, const char* expr)
{
    std::fprintf(stderr, "Assertion failed: %s, module %s, line %d\n", expr, module, line);
    std::abort();
}
