// The troubleshooting log "appdebug.log".
//
// One process-wide instance. Nothing is written while the log is switched
// off (the file is not even created). Switched on, level-0 messages are
// always written and marked "!!!", other levels when they are within the
// chosen one. The file is opened and closed for every line, so it is
// complete even after an abrupt end and may be read or deleted meanwhile.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class CxDebugUtil {
public:
    static constexpr int64_t kRotateSize = 10485760;  // 10 MiB

    CxDebugUtil();

    /// Folder of the log file, ending in a separator; at most 259 characters.
    void SetFolder(const char* folder);
    void SetEnabled(bool enabled) { m_enabled = enabled; }
    /// Clamped into 0 to 3.
    void SetLevel(int32_t level);

    const char* Folder() const { return m_folder; }
    const char* FileName() const { return m_fileName; }
    bool Enabled() const { return m_enabled; }
    int32_t Level() const { return m_level; }
    /// Folder followed by file name, in Windows form.
    std::string LogPath() const;

    /// Writes one line "[date time][module(line)][thread][marker] - message"
    /// when the log is on; a level-0 message also goes to the captures of
    /// the calling thread, whether the log is on or not.
    void Log(int32_t level, const char* module, int line, const char* format, ...)
        __attribute__((format(printf, 5, 6)));

private:
    char m_fileName[260];
    char m_folder[260];
    int32_t m_level;
    bool m_enabled;
};

/// The process-wide log.
CxDebugUtil& TheLog();

/// Collects the texts of the level-0 messages that the calling thread logs
/// while it lives, so that a caller can tell a user why an operation failed
/// in the loader's own words. The lines still go to the log file as before,
/// and they are collected even when the file cannot be written. Messages of
/// other threads and of other levels are not collected. Captures nest: every
/// capture alive on the thread sees each message.
class CxLogCapture {
public:
    CxLogCapture();
    ~CxLogCapture();
    CxLogCapture(const CxLogCapture&) = delete;
    CxLogCapture& operator=(const CxLogCapture&) = delete;

    /// The formatted message texts (no time, module or marker), in order.
    const std::vector<std::string>& Messages() const { return m_messages; }
    /// The messages joined by newlines; empty when none was logged.
    std::string Text() const;
    /// Forgets what was collected; the capture goes on.
    void Clear() { m_messages.clear(); }

private:
    friend class CxDebugUtil;
    std::vector<std::string> m_messages;
    CxLogCapture* m_pOuter = nullptr;
};

/// The part of a source file name that the log shows: after the last '/'.
constexpr const char* CxModuleName(const char* file)
{
    const char* last = file;
    for (const char* p = file; *p; ++p)
        if (*p == '/')
            last = p + 1;
    return last;
}

#define CXLOG(level, ...) TheLog().Log((level), CxModuleName(__FILE__), __LINE__, __VA_ARGS__)

/// Programming errors: logs the module, line and expression at level 0, then aborts.
#define CX_ASSERT(expr)                                                                         \
    do {                                                                                        \
        if (!(expr)) {                                                                          \
            TheLog().Log(0, CxModuleName(__FILE__), __LINE__, "Assertion failed: %s", #expr);   \
            CxAssertFailed(CxModuleName(__FILE__), __LINE__, #expr);                            \
        }                                                                                       \
    } while (0)

[[noreturn]] void CxAssertFailed(const char* module, int line, const char* expr);
