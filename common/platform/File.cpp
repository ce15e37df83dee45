#include "platform/File.h"

#include "platform/WinPath.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <mutex>
#include <set>

namespace plat {

namespace {

FileFaults g_faults;
int64_t g_writeCalls = 0;    // write calls of the save path since the faults were set
int64_t g_bytesWritten = 0;  // bytes those calls wrote
std::mutex g_backupMutex;
std::set<std::string> g_backedUp;

std::string Errno(const char* what, const std::string& path)
{
    return std::string(what) + " " + path + ": " + std::strerror(errno);
}

// The write hooks, before one write call of n bytes: false (errno set) for a
// call that fails outright; a full disk shortens *n to the room left and
// fails the call once none is left.
bool PassWriteHooks(size_t* n)
{
    int64_t call = g_writeCalls++;
    if (call == g_faults.failWriteCall) {
        errno = EIO;
        return false;
    }
    if (g_faults.diskFreeBytes >= 0) {
        int64_t room = g_faults.diskFreeBytes - g_bytesWritten;
        if (room <= 0) {
            errno = ENOSPC;
            return false;
        }
        if (int64_t(*n) > room)
            *n = size_t(room);
    }
    return true;
}

// One write(2) of the save path, through the write hooks: a call that fails
// outright, and a disk that fills up (a short write, then ENOSPC).
ssize_t SaveWrite(int fd, const char* data, size_t n)
{
    if (!PassWriteHooks(&n))
        return -1;
    ssize_t w = ::write(fd, data, n);
    if (w > 0)
        g_bytesWritten += w;
    return w;
}

// One pwrite(2) of an in-place change, through the same hooks.
ssize_t InPlaceWrite(int fd, const char* data, size_t n, uint64_t offset)
{
    if (!PassWriteHooks(&n))
        return -1;
    ssize_t w = ::pwrite(fd, data, n, off_t(offset));
    if (w > 0)
        g_bytesWritten += w;
    return w;
}

// Writes all of data. `failAfter` >= 0 fails the write once that many bytes
// are written; `saveHooks` sends every call through the write hooks. *done
// receives the bytes written, also on failure.
bool WriteAllFd(int fd, const char* data, size_t len, int64_t failAfter, bool saveHooks, size_t* done = nullptr)
{
    size_t written = 0;
    bool ok = true;
    while (written < len) {
        size_t chunk = len - written;
        if (chunk > (1u << 20))
            chunk = 1u << 20;
        if (failAfter >= 0) {
            if (int64_t(written) >= failAfter) {
                errno = EIO;
                ok = false;
                break;
            }
            if (int64_t(written + chunk) > failAfter)
                chunk = size_t(failAfter - int64_t(written));
        }
        ssize_t n = saveHooks ? SaveWrite(fd, data + written, chunk) : ::write(fd, data + written, chunk);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            ok = false;
            break;
        }
        if (n == 0) {
            // No progress on a regular file means no room: never spin on it.
            errno = ENOSPC;
            ok = false;
            break;
        }
        written += size_t(n);
    }
    if (done)
        *done = written;
    return ok;
}

std::string Timestamp()
{
    time_t t = time(nullptr);
    struct tm tmv;
    localtime_r(&t, &tmv);
    char buf[32];
    strftime(buf, sizeof(buf), "%Y%m%d-%H%M%S", &tmv);
    return buf;
}

// Copies src to dst through a temporary file and a rename, so a .bak is
// either complete or absent. Every step that can lose the copy is checked,
// the close included: some file systems report a failed write only there.
bool CopyFileSafely(const std::string& src, const std::string& dst, std::string* error)
{
    int in = ::open(src.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        *error = Errno("cannot read", src);
        return false;
    }
    std::string tmp = dst + ".tmp";
    int out = -1;
    if (g_faults.failBackupCreate)
        errno = EACCES;
    else
        out = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (out < 0) {
        *error = Errno("cannot create", tmp);
        ::close(in);
        return false;
    }
    char buf[1 << 16];
    bool ok = true;
    for (;;) {
        ssize_t n = g_faults.failBackupRead ? (errno = EIO, -1) : ::read(in, buf, sizeof(buf));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            *error = Errno("cannot read", src);
            ok = false;
            break;
        }
        if (n == 0)
            break;
        if (!WriteAllFd(out, buf, size_t(n), -1, true)) {
            *error = Errno("cannot write", tmp);
            ok = false;
            break;
        }
    }
    if (ok && (g_faults.failBackupSync || ::fsync(out) != 0)) {
        if (g_faults.failBackupSync)
            errno = EIO;
        *error = Errno("cannot flush", tmp);
        ok = false;
    }
    ::close(in);
    if (::close(out) != 0 && ok) {
        *error = Errno("cannot close", tmp);
        ok = false;
    }
    if (ok && (g_faults.failBackupRename || ::rename(tmp.c_str(), dst.c_str()) != 0)) {
        if (g_faults.failBackupRename)
            errno = EIO;
        *error = Errno("cannot rename", tmp);
        ok = false;
    }
    if (!ok)
        ::unlink(tmp.c_str());
    return ok;
}

bool MakeBackup(const std::string& host, std::string* error)
{
    std::lock_guard<std::mutex> lock(g_backupMutex);
    if (g_backedUp.count(host))
        return true;
    if (g_faults.failBackup) {
        *error = "cannot keep a backup of " + host + ": " + std::strerror(EACCES);
        return false;
    }
    std::string bak = host + "." + Timestamp() + ".bak";
    if (!CopyFileSafely(host, bak, error))
        return false;
    g_backedUp.insert(host);
    return true;
}

void SyncFolder(const std::string& host)
{
    std::string dir = host.substr(0, host.find_last_of('/') + 1);
    if (dir.empty())
        dir = ".";
    int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

}  // namespace

ExclusiveFile::~ExclusiveFile()
{
    Close();
}

bool ExclusiveFile::Open(const std::string& winPath, Access access, bool create)
{
    Close();
    if (winPath.empty())
        return false;
    std::string host = ToHostPath(winPath);
    int flags = O_CLOEXEC;
    switch (access) {
    case Access::Read: flags |= O_RDONLY; break;
    case Access::Write: flags |= O_WRONLY; break;
    case Access::ReadWrite: flags |= O_RDWR; break;
    }
    if (create)
        flags |= O_CREAT;
    int fd = ::open(host.c_str(), flags, 0644);
    if (fd < 0)
        return false;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    if (create && ftruncate(fd, 0) != 0) {
        ::close(fd);
        return false;
    }
    m_fd = fd;
    m_hostPath = host;
    return true;
}

void ExclusiveFile::Close()
{
    if (m_fd >= 0) {
        flock(m_fd, LOCK_UN);
        ::close(m_fd);
        m_fd = -1;
    }
}

bool ExclusiveFile::Read(void* buf, size_t n, size_t* got)
{
    if (m_fd < 0)
        return false;
    size_t done = 0;
    char* p = static_cast<char*>(buf);
    while (done < n) {
        ssize_t r = ::read(m_fd, p + done, n - done);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (r == 0)
            break;
        done += size_t(r);
    }
    if (got)
        *got = done;
    return true;
}

bool ExclusiveFile::Write(const void* buf, size_t n, size_t* written)
{
    if (m_fd < 0)
        return false;
    size_t done = 0;
    bool ok = WriteAllFd(m_fd, static_cast<const char*>(buf), n, -1, false, &done);
    if (written)
        *written = done;
    return ok;
}

bool ExclusiveFile::Seek(int64_t offset)
{
    return m_fd >= 0 && ::lseek(m_fd, off_t(offset), SEEK_SET) == off_t(offset);
}

int64_t ExclusiveFile::Tell() const
{
    if (m_fd < 0)
        return 0;
    off_t pos = ::lseek(m_fd, 0, SEEK_CUR);
    return pos < 0 ? 0 : int64_t(pos);
}

int64_t ExclusiveFile::Size() const
{
    struct stat st;
    if (m_fd < 0 || fstat(m_fd, &st) != 0)
        return -1;
    return int64_t(st.st_size);
}

bool ExclusiveFile::ReadAll(std::string* out)
{
    int64_t size = Size();
    if (size < 0 || !Seek(0))
        return false;
    out->resize(size_t(size));
    size_t got = 0;
    if (!Read(out->data(), out->size(), &got))
        return false;
    out->resize(got);
    return true;
}

bool ReadWholeFile(const std::string& winPath, std::string* out)
{
    std::string host = ToHostPath(winPath);
    FILE* f = std::fopen(host.c_str(), "rb");
    if (!f)
        return false;
    out->clear();
    char buf[1 << 16];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof(buf), f)) > 0)
        out->append(buf, n);
    bool ok = !std::ferror(f);
    std::fclose(f);
    return ok;
}

bool CreateFolder(const std::string& winPath)
{
    std::string path = winPath;
    while (path.size() > 1 && (path.back() == '\\' || path.back() == '/'))
        path.pop_back();
    if (path.empty())
        return false;
    std::string host = ToHostPath(path);
    if (::mkdir(host.c_str(), 0755) == 0)
        return true;
    // Made meanwhile or before: only a folder counts (stat follows links, as
    // Windows follows a junction).
    struct stat st;
    return errno == EEXIST && ::stat(host.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool ReplaceFileContents(const std::string& winPath, const void* data, size_t len, std::string* error)
{
    std::string scratch;
    if (!error)
        error = &scratch;
    std::string host = ToHostPath(winPath);
    if (!HostExists(host)) {
        *error = "file does not exist: " + host;
        return false;
    }
    std::string tmp = host + ".tarnwick-tmp";
    int fd = g_faults.failTempCreate ? -1 : ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) {
        if (g_faults.failTempCreate)
            errno = EACCES;
        if (errno == EEXIST) {
            // A temporary file left by a run that was killed: it was never
            // the user's file, so it can go.
            ::unlink(tmp.c_str());
            fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        }
        if (fd < 0) {
            *error = Errno("cannot create the temporary file", tmp);
            return false;
        }
    }
    struct stat st;
    if (::stat(host.c_str(), &st) == 0)
        fchmod(fd, st.st_mode & 07777);
    bool ok = WriteAllFd(fd, static_cast<const char*>(data), len, g_faults.failWriteAfter, true);
    if (!ok)
        *error = Errno("cannot write the temporary file", tmp);
    if (ok && (g_faults.failSync || ::fsync(fd) != 0)) {
        if (g_faults.failSync)
            errno = EIO;
        *error = Errno("cannot flush the temporary file", tmp);
        ok = false;
    }
    // The close is checked apart from the flush: a file system may report a
    // write it could not make only here.
    int closed = ::close(fd);
    if (g_faults.failClose) {
        closed = -1;
        errno = EIO;
    }
    if (closed != 0 && ok) {
        *error = Errno("cannot close the temporary file", tmp);
        ok = false;
    }
    // The backup is taken only now, from the original as it still is, and
    // before the rename: a .bak always holds what the replace overwrote.
    if (ok)
        ok = MakeBackup(host, error);
    if (ok && (g_faults.failRename || ::rename(tmp.c_str(), host.c_str()) != 0)) {
        if (g_faults.failRename)
            errno = EIO;
        *error = Errno("cannot replace", host);
        ok = false;
    }
    if (!ok) {
        ::unlink(tmp.c_str());
        return false;
    }
    SyncFolder(host);
    return true;
}

bool BackupOnce(const std::string& winPath, std::string* error)
{
    std::string scratch;
    if (!error)
        error = &scratch;
    std::string host = ToHostPath(winPath);
    if (!HostExists(host)) {
        *error = "file does not exist: " + host;
        return false;
    }
    return MakeBackup(host, error);
}

void SetFileFaults(const FileFaults& faults)
{
    g_faults = faults;
    g_writeCalls = 0;
    g_bytesWritten = 0;
}

void ClearFileFaults()
{
    SetFileFaults(FileFaults());
}

int64_t FileWriteCalls()
{
    return g_writeCalls;
}

void ResetBackups()
{
    std::lock_guard<std::mutex> lock(g_backupMutex);
    g_backedUp.clear();
}

bool StampFile(const std::string& winPath, FileStamp* stamp)
{
    std::string host = ToHostPath(winPath);
    int fd = ::open(host.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0;
    if (ok) {
        stamp->size = uint64_t(st.st_size);
        stamp->modifiedNs = int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
        stamp->changeCounter = 0;
        // SQLite counts every committed change in its header (a big-endian
        // word at offset 24), which a change within one clock tick of the
        // modification time would otherwise hide.
        unsigned char head[28];
        static const char kMagic[] = "SQLite format 3";  // and its NUL: 16 bytes
        if (::pread(fd, head, sizeof head, 0) == ssize_t(sizeof head) && std::memcmp(head, kMagic, 16) == 0)
            stamp->changeCounter = uint32_t(head[24]) << 24 | uint32_t(head[25]) << 16 | uint32_t(head[26]) << 8 |
                                   uint32_t(head[27]);
    }
    ::close(fd);
    return ok;
}

}  // namespace plat

namespace plat {

bool WriteInPlace(int fd, const void* data, size_t n, uint64_t offset)
{
    const char* p = static_cast<const char*>(data);
    size_t done = 0;
    while (done < n) {
        const ssize_t w = InPlaceWrite(fd, p + done, n - done, offset + done);
        if (w < 0 && errno == EINTR)
            continue;
        if (w < 0)
            return false;
        if (w == 0) {
            errno = ENOSPC;
            return false;
        }
        done += size_t(w);
    }
    return true;
}

}  // namespace plat
