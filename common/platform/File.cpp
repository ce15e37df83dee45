#include "platform/File.h"

#include "platform/WinPath.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <mutex>

namespace plat {

namespace {

FileFaults g_faults;
int64_t g_writeCalls = 0;    // write calls of the save path since the faults were set
int64_t g_bytesWritten = 0;  // bytes those calls wrote
std::mutex g_backupMutex;
std::map<std::string, std::string> g_backedUp;  // file (links followed) -> its .bak

std::string Errno(const char* what, const std::string& path)
{
    return std::string(what) + " " + path + ": " + std::strerror(errno);
}

// A failed step of a save: its text and, when asked for, errno as it stands.
void Fail(std::string* error, int* errnum, const char* what, const std::string& path)
{
    const int err = errno;
    *error = Errno(what, path);
    if (errnum)
        *errnum = err;
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

std::string Timestamp(time_t t)
{
    struct tm tmv;
    localtime_r(&t, &tmv);
    char buf[32];
    strftime(buf, sizeof(buf), "%Y%m%d-%H%M%S", &tmv);
    return buf;
}

// Renames without replacing: false with EEXIST when `to` is already there.
// A file system that cannot rename that way is asked first and renamed over
// (nothing else writes backups into a user's folder while one wizard runs).
bool RenameNoReplace(const std::string& from, const std::string& to)
{
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    struct stat st;
    if (::lstat(to.c_str(), &st) == 0) {
        errno = EEXIST;
        return false;
    }
    return ::rename(from.c_str(), to.c_str()) == 0;
}

// Copies src to "<base>.<YYYYMMDD-HHMMSS>.bak" (its name in *dst) through a
// temporary file and a rename, so a .bak is either complete or absent. Every
// step that can lose the copy is checked, the close included: some file
// systems report a failed write only there.
bool CopyFileSafely(const std::string& src, const std::string& base, std::string* dst, std::string* error,
                    int* errnum)
{
    int in = ::open(src.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        Fail(error, errnum, "cannot read", src);
        return false;
    }
    std::string tmp = base + ".bak.tmp";
    int out = -1;
    if (g_faults.failBackupCreate)
        errno = EACCES;
    else
        out = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (out < 0) {
        Fail(error, errnum, "cannot create", tmp);
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
            Fail(error, errnum, "cannot read", src);
            ok = false;
            break;
        }
        if (n == 0)
            break;
        if (!WriteAllFd(out, buf, size_t(n), -1, true)) {
            Fail(error, errnum, "cannot write", tmp);
            ok = false;
            break;
        }
    }
    if (ok && (g_faults.failBackupSync || ::fsync(out) != 0)) {
        if (g_faults.failBackupSync)
            errno = EIO;
        Fail(error, errnum, "cannot flush", tmp);
        ok = false;
    }
    ::close(in);
    if (::close(out) != 0 && ok) {
        Fail(error, errnum, "cannot close", tmp);
        ok = false;
    }
    // The copy takes the name of the second it is made in. A backup of that
    // name may already be there (an earlier one of the same file within the
    // same second): it is never replaced, the copy waits for the next
    // second's name instead.
    if (ok) {
        for (int tries = 0;; ++tries) {
            *dst = base + "." + Timestamp(time(nullptr)) + ".bak";
            if (g_faults.failBackupRename) {
                errno = EIO;
            } else if (RenameNoReplace(tmp, *dst)) {
                break;
            } else if (errno == EEXIST && tries < 40) {
                ::usleep(50 * 1000);
                continue;
            }
            Fail(error, errnum, "cannot rename", tmp);
            ok = false;
            break;
        }
    }
    if (!ok)
        ::unlink(tmp.c_str());
    return ok;
}

// `host` is the file itself, links already followed: the copy lies beside it.
// `always` makes a new copy even when one was made in this process already;
// *made (when given) gets the copy's host path, or stays as it was when none
// was made now.
bool MakeBackup(const std::string& host, bool always, std::string* made, std::string* error, int* errnum)
{
    std::lock_guard<std::mutex> lock(g_backupMutex);
    if (!always && g_backedUp.count(host))
        return true;
    if (g_faults.failBackup) {
        *error = "cannot keep a backup of " + host + ": " + std::strerror(EACCES);
        if (errnum)
            *errnum = EACCES;
        return false;
    }
    std::string bak;
    if (!CopyFileSafely(host, host, &bak, error, errnum))
        return false;
    // The first copy of a file in this process is the one its later saves
    // name: it holds the file as it was before anything here changed it.
    g_backedUp.emplace(host, bak);
    if (made)
        *made = bak;
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
    int err = 0;
    if (fstat(fd, &st) != 0)
        err = errno;
    else if (!S_ISREG(st.st_mode))
        err = EISDIR;
    else if (flock(fd, LOCK_EX | LOCK_NB) != 0)
        err = errno == EINTR ? EWOULDBLOCK : errno;
    else if (create && ftruncate(fd, 0) != 0)
        err = errno;
    if (err) {
        ::close(fd);
        errno = err;
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

bool ExclusiveFile::Stamp(FileStamp* stamp) const
{
    struct stat st {};
    if (m_fd < 0) {
        errno = EBADF;
        return false;
    }
    if (::fstat(m_fd, &st) != 0)
        return false;
    stamp->size = uint64_t(st.st_size);
    stamp->modifiedNs = int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    stamp->changeCounter = 0;
    return true;
}

bool ExclusiveFile::DigestAll(uint64_t* digest, uint64_t* size) const
{
    if (m_fd < 0) {
        errno = EBADF;
        return false;
    }
    ContentDigest d;
    std::string buf(size_t(1) << 20, '\0');
    uint64_t at = 0;
    for (;;) {
        ssize_t n = ::pread(m_fd, buf.data(), buf.size(), off_t(at));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            break;
        d.Add(buf.data(), size_t(n));
        at += uint64_t(n);
    }
    *digest = d.Value();
    *size = at;
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

std::string FollowLinks(const std::string& hostPath)
{
    struct stat st;
    if (::lstat(hostPath.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
        return hostPath;
    // realpath follows every link of the chain, each relative one from its
    // own folder, and fails for one that leads nowhere or in a loop.
    char* real = ::realpath(hostPath.c_str(), nullptr);
    if (!real)
        return std::string();
    std::string out = real;
    std::free(real);
    return out;
}

namespace {

bool ReplaceHostContents(const std::string& winPath, const void* data, size_t len, bool alwaysBackup,
                         std::string* backup, std::string* error, int* errnum)
{
    std::string scratch;
    if (!error)
        error = &scratch;
    const std::string named = ToHostPath(winPath);
    // A link stays a link: the file it leads to is replaced where it lies.
    const std::string host = FollowLinks(named);
    if (host.empty() || !HostExists(host)) {
        *error = "file does not exist: " + named;
        if (errnum)
            *errnum = ENOENT;
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
            Fail(error, errnum, "cannot create the temporary file", tmp);
            return false;
        }
    }
    struct stat st;
    if (::stat(host.c_str(), &st) == 0)
        fchmod(fd, st.st_mode & 07777);
    bool ok = WriteAllFd(fd, static_cast<const char*>(data), len, g_faults.failWriteAfter, true);
    if (!ok)
        Fail(error, errnum, "cannot write the temporary file", tmp);
    if (ok && (g_faults.failSync || ::fsync(fd) != 0)) {
        if (g_faults.failSync)
            errno = EIO;
        Fail(error, errnum, "cannot flush the temporary file", tmp);
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
        Fail(error, errnum, "cannot close the temporary file", tmp);
        ok = false;
    }
    // The backup is taken only now, from the original as it still is, and
    // before the rename: a .bak always holds what the replace overwrote.
    if (ok)
        ok = MakeBackup(host, alwaysBackup, backup, error, errnum);
    if (ok && (g_faults.failRename || ::rename(tmp.c_str(), host.c_str()) != 0)) {
        if (g_faults.failRename)
            errno = EIO;
        Fail(error, errnum, "cannot replace", host);
        ok = false;
    }
    if (!ok) {
        ::unlink(tmp.c_str());
        return false;
    }
    SyncFolder(host);
    return true;
}

}  // namespace

namespace {

// The local time a backup's "YYYYMMDD-HHMMSS" names; false for any other text
// (a backup in the making, "….bak.tmp", never gets this far).
bool ParseTimestamp(const std::string& text, int64_t* when)
{
    if (text.size() != 15 || text[8] != '-')
        return false;
    for (size_t i = 0; i < text.size(); ++i)
        if (i != 8 && (text[i] < '0' || text[i] > '9'))
            return false;
    auto num = [&](size_t at, size_t n) { return std::atoi(text.substr(at, n).c_str()); };
    struct tm tmv {};
    tmv.tm_year = num(0, 4) - 1900;
    tmv.tm_mon = num(4, 2) - 1;
    tmv.tm_mday = num(6, 2);
    tmv.tm_hour = num(9, 2);
    tmv.tm_min = num(11, 2);
    tmv.tm_sec = num(13, 2);
    tmv.tm_isdst = -1;
    if (tmv.tm_mon > 11 || tmv.tm_mday < 1 || tmv.tm_mday > 31 || tmv.tm_hour > 23 || tmv.tm_min > 59 ||
        tmv.tm_sec > 60)
        return false;
    const time_t t = mktime(&tmv);
    if (t == time_t(-1))
        return false;
    *when = int64_t(t);
    return true;
}

}  // namespace

std::vector<BackupCopy> BackupsOf(const std::string& winPath)
{
    std::vector<BackupCopy> out;
    const std::string host = FollowLinks(ToHostPath(winPath));
    const size_t slash = host.find_last_of('/');
    if (host.empty() || slash == std::string::npos)
        return out;
    const std::string dir = host.substr(0, slash + 1);
    const std::string prefix = host.substr(slash + 1) + ".";
    DIR* d = ::opendir(dir.c_str());
    if (!d)
        return out;
    while (struct dirent* e = ::readdir(d)) {
        const std::string name = e->d_name;
        // "<name>." + 15 characters of time + ".bak"
        if (name.size() != prefix.size() + 19 || name.compare(0, prefix.size(), prefix) != 0 ||
            name.compare(name.size() - 4, 4, ".bak") != 0)
            continue;
        BackupCopy copy;
        struct stat st;
        copy.hostPath = dir + name;
        if (!ParseTimestamp(name.substr(prefix.size(), 15), &copy.made) || ::lstat(copy.hostPath.c_str(), &st) != 0 ||
            !S_ISREG(st.st_mode))
            continue;
        copy.size = int64_t(st.st_size);
        out.push_back(std::move(copy));
    }
    ::closedir(d);
    std::sort(out.begin(), out.end(), [](const BackupCopy& a, const BackupCopy& b) {
        return a.made != b.made ? a.made > b.made : a.hostPath > b.hostPath;
    });
    return out;
}

bool ReplaceFileContents(const std::string& winPath, const void* data, size_t len, std::string* error, int* errnum)
{
    return ReplaceHostContents(winPath, data, len, false, nullptr, error, errnum);
}

bool ReplaceFileBackingUp(const std::string& winPath, const void* data, size_t len, std::string* backup,
                          std::string* error, int* errnum)
{
    return ReplaceHostContents(winPath, data, len, true, backup, error, errnum);
}

bool BackupOnce(const std::string& winPath, std::string* error, int* errnum)
{
    std::string scratch;
    if (!error)
        error = &scratch;
    const std::string named = ToHostPath(winPath);
    const std::string host = FollowLinks(named);
    if (host.empty() || !HostExists(host)) {
        *error = "file does not exist: " + named;
        if (errnum)
            *errnum = ENOENT;
        return false;
    }
    return MakeBackup(host, false, nullptr, error, errnum);
}

std::string BackupPathOf(const std::string& winPath)
{
    const std::string host = FollowLinks(ToHostPath(winPath));
    std::lock_guard<std::mutex> lock(g_backupMutex);
    auto it = g_backedUp.find(host);
    return it == g_backedUp.end() ? std::string() : it->second;
}

bool WriteNewFile(const std::string& winPath, const void* data, size_t len, std::string* error, int* errnum)
{
    std::string scratch;
    if (!error)
        error = &scratch;
    const std::string host = ToHostPath(winPath);
    // A name of its own per process and file: two writers never share the
    // temporary file, and one left by a killed run is never the target.
    const std::string tmp = host + "." + std::to_string(::getpid()) + ".tarnwick-tmp";
    int fd = g_faults.failTempCreate ? (errno = EACCES, -1)
                                     : ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        Fail(error, errnum, "cannot create the temporary file", tmp);
        return false;
    }
    bool ok = WriteAllFd(fd, static_cast<const char*>(data), len, g_faults.failWriteAfter, true);
    if (!ok)
        Fail(error, errnum, "cannot write the temporary file", tmp);
    if (ok && (g_faults.failSync || ::fsync(fd) != 0)) {
        if (g_faults.failSync)
            errno = EIO;
        Fail(error, errnum, "cannot flush the temporary file", tmp);
        ok = false;
    }
    int closed = ::close(fd);
    if (g_faults.failClose) {
        closed = -1;
        errno = EIO;
    }
    if (closed != 0 && ok) {
        Fail(error, errnum, "cannot close the temporary file", tmp);
        ok = false;
    }
    // A hard link takes the name only when no file has it (a rename would
    // replace one): the complete file appears under its name or not at all.
    if (ok && (g_faults.failRename || ::link(tmp.c_str(), host.c_str()) != 0)) {
        if (g_faults.failRename)
            errno = EIO;
        Fail(error, errnum, "cannot create", host);
        ok = false;
    }
    ::unlink(tmp.c_str());
    if (ok)
        SyncFolder(host);
    return ok;
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

namespace plat {

namespace {

// The digest's constants and steps: four lanes of multiply-rotate rounds over
// 32-byte stripes, the lanes merged and the tail folded in, then a final mix
// that spreads every bit over the whole value. Words are read in the host's
// order: a digest is only ever compared with one made on the same machine.
constexpr uint64_t kP1 = 0x9E3779B185EBCA87ull;
constexpr uint64_t kP2 = 0xC2B2AE3D27D4EB4Full;
constexpr uint64_t kP3 = 0x165667B19E3779F9ull;
constexpr uint64_t kP4 = 0x85EBCA77C2B2AE63ull;
constexpr uint64_t kP5 = 0x27D4EB2F165667C5ull;

inline uint64_t Rotl(uint64_t v, int r) { return (v << r) | (v >> (64 - r)); }
inline uint64_t Word64(const unsigned char* p)
{
    uint64_t v;
    std::memcpy(&v, p, 8);
    return v;
}
inline uint32_t Word32(const unsigned char* p)
{
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}
inline uint64_t Round(uint64_t acc, uint64_t input) { return Rotl(acc + input * kP2, 31) * kP1; }
inline uint64_t MergeLane(uint64_t acc, uint64_t lane) { return (acc ^ Round(0, lane)) * kP1 + kP4; }

}  // namespace

ContentDigest::ContentDigest() : m_lane{kP1 + kP2, kP2, 0, 0 - kP1}, m_tail{} {}

void ContentDigest::Stripe(const unsigned char* p)
{
    m_lane[0] = Round(m_lane[0], Word64(p));
    m_lane[1] = Round(m_lane[1], Word64(p + 8));
    m_lane[2] = Round(m_lane[2], Word64(p + 16));
    m_lane[3] = Round(m_lane[3], Word64(p + 24));
}

void ContentDigest::Add(const void* data, size_t n)
{
    const unsigned char* p = static_cast<const unsigned char*>(data);
    m_total += n;
    if (m_tailSize) {
        size_t take = std::min(n, sizeof m_tail - m_tailSize);
        std::memcpy(m_tail + m_tailSize, p, take);
        m_tailSize += take;
        p += take;
        n -= take;
        if (m_tailSize < sizeof m_tail)
            return;
        Stripe(m_tail);
        m_tailSize = 0;
    }
    for (; n >= 32; p += 32, n -= 32)
        Stripe(p);
    std::memcpy(m_tail, p, n);
    m_tailSize = n;
}

uint64_t ContentDigest::Value() const
{
    uint64_t h;
    if (m_total >= 32) {
        h = Rotl(m_lane[0], 1) + Rotl(m_lane[1], 7) + Rotl(m_lane[2], 12) + Rotl(m_lane[3], 18);
        for (uint64_t lane : m_lane)
            h = MergeLane(h, lane);
    } else {
        h = m_lane[2] + kP5;  // lane 2 starts at 0: a short run has no stripes
    }
    h += m_total;
    const unsigned char* p = m_tail;
    size_t n = m_tailSize;
    for (; n >= 8; p += 8, n -= 8)
        h = Rotl(h ^ Round(0, Word64(p)), 27) * kP1 + kP4;
    if (n >= 4) {
        h = Rotl(h ^ (uint64_t(Word32(p)) * kP1), 23) * kP2 + kP3;
        p += 4;
        n -= 4;
    }
    for (; n > 0; ++p, --n)
        h = Rotl(h ^ (uint64_t(*p) * kP5), 11) * kP1;
    h ^= h >> 33;
    h *= kP2;
    h ^= h >> 29;
    h *= kP3;
    h ^= h >> 32;
    return h;
}

uint64_t ContentDigest::Of(const void* data, size_t n)
{
    ContentDigest d;
    d.Add(data, n);
    return d.Value();
}

}  // namespace plat
