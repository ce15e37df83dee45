// Files opened without sharing, and the one safe way to replace a user's file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace plat {

enum class Access { Read, Write, ReadWrite };

/// What tells whether a file changed between two looks: its size, its
/// modification time and, for a database whose header keeps one (SQLite's
/// file change counter), that counter.
struct FileStamp {
    uint64_t size = 0;
    int64_t modifiedNs = 0;
    uint32_t changeCounter = 0;
    bool operator==(const FileStamp& o) const
    {
        return size == o.size && modifiedNs == o.modifiedNs && changeCounter == o.changeCounter;
    }
};

/// The stamp of a file named by its Windows path; false when it cannot be
/// had (no such file, a read error).
bool StampFile(const std::string& winPath, FileStamp* stamp);

/// A 64-bit digest of bytes, to tell whether a file still holds what was read
/// from it: any change of a byte, an order or a length gives another value
/// but for chance (1 in 2^64), never by design. Not for secrets. The bytes
/// may arrive in pieces of any sizes: the value is that of all of them in
/// order. One pass at several bytes a cycle.
class ContentDigest {
public:
    ContentDigest();
    void Add(const void* data, size_t n);
    uint64_t Value() const;
    /// The digest of one run of bytes.
    static uint64_t Of(const void* data, size_t n);

private:
    void Stripe(const unsigned char* p);

    uint64_t m_lane[4];
    unsigned char m_tail[32];
    size_t m_tailSize = 0;
    uint64_t m_total = 0;
};

/// A file opened without sharing: a second opener of the same file fails
/// while this one holds it (open plus an exclusive, non-blocking flock).
class ExclusiveFile {
public:
    ExclusiveFile() = default;
    ~ExclusiveFile();
    ExclusiveFile(const ExclusiveFile&) = delete;
    ExclusiveFile& operator=(const ExclusiveFile&) = delete;

    /// Opens a Windows path. `create` makes the file, or empties an existing
    /// one; otherwise the file must exist. Fails when another opener holds it.
    /// False with errno set: EWOULDBLOCK when another opener holds the file,
    /// EISDIR for anything else than a file, the open's own error otherwise.
    bool Open(const std::string& winPath, Access access, bool create);
    void Close();
    bool IsOpen() const { return m_fd >= 0; }

    /// Reads up to n bytes; *got receives the count delivered (0 at the end).
    bool Read(void* buf, size_t n, size_t* got);
    /// Writes n bytes; *written receives the count written.
    bool Write(const void* buf, size_t n, size_t* written);
    bool Seek(int64_t offset);
    int64_t Tell() const;
    int64_t Size() const;
    /// Reads the whole file from offset 0 into out; the position ends at the end.
    bool ReadAll(std::string* out);
    /// The held file's size and modification time as they are now (no change
    /// counter); false, errno set, when they cannot be had.
    bool Stamp(FileStamp* stamp) const;
    /// Reads the held file from offset 0 to its end, in pieces, into a
    /// digest; *size gets the bytes read. The position does not move. False,
    /// errno set, when a read fails.
    bool DigestAll(uint64_t* digest, uint64_t* size) const;

    const std::string& HostPath() const { return m_hostPath; }

private:
    int m_fd = -1;
    std::string m_hostPath;
};

/// Replaces a user's file by new content without ever leaving it half
/// written: the content goes to a temporary file in the same folder, is
/// flushed, and replaces the original in one rename. Before the first
/// replacement of a path in this process the original is kept beside it as
/// "<name>.<YYYYMMDD-HHMMSS>.bak" (local time; a backup already of that
/// name is never replaced: the copy then takes the next second's name). On failure the original is untouched,
/// the temporary file is removed, *error says which step failed and
/// *errnum (when given) holds the system's error number of that step
/// (ENOENT when the file is not there).
///
/// A path that is a symbolic link stays one: the file it leads to (through
/// any number of links, relative or not) is the one replaced, with the
/// temporary file and the backup beside that file, not beside the link.
bool ReplaceFileContents(const std::string& winPath, const void* data, size_t len, std::string* error,
                         int* errnum = nullptr);

/// As ReplaceFileContents, but the original is kept as a new timestamped
/// ".bak" beside it whether or not one was made in this process before (a
/// restore backs up what it replaces every time). *backup (when given) gets
/// the new copy's host path.
bool ReplaceFileBackingUp(const std::string& winPath, const void* data, size_t len, std::string* backup,
                          std::string* error, int* errnum = nullptr);

/// Copies a file to its timestamped ".bak" beside it, once per file and
/// process (for files that are changed in place, such as databases).
/// True when the copy exists or was made now. A symbolic link is followed:
/// the copy is of the file it leads to, beside that file. *errnum as for
/// ReplaceFileContents.
bool BackupOnce(const std::string& winPath, std::string* error, int* errnum = nullptr);

/// The host path of the ".bak" copy that this process made of a file
/// (ReplaceFileContents, BackupOnce; links followed as they do); empty when
/// none was made. A file is backed up once per process, so a later save of
/// it names the copy made before its first change.
std::string BackupPathOf(const std::string& winPath);

/// Writes a file that must not exist yet, never leaving part of it under
/// its name: the content goes to a temporary file in the same folder, is
/// flushed and closed, and only then takes the name, and only if no file
/// has it (an existing file is never replaced: false with *errnum EEXIST).
/// On failure nothing is left behind; *error and *errnum as for
/// ReplaceFileContents. The save path's fault hooks apply.
bool WriteNewFile(const std::string& winPath, const void* data, size_t len, std::string* error,
                  int* errnum = nullptr);

/// A backup copy kept beside a file.
struct BackupCopy {
    std::string hostPath;  ///< the copy itself
    int64_t made = 0;      ///< when, as its name says (local time), in seconds since 1970 UTC
    int64_t size = 0;      ///< its size in bytes
};

/// The backups of the file a Windows path names: every regular file
/// "<name>.<YYYYMMDD-HHMMSS>.bak" beside the file it leads to (links
/// followed, where the save path keeps them), whether or not the file itself
/// is still there; newest first. None for a link that leads nowhere.
std::vector<BackupCopy> BackupsOf(const std::string& winPath);

/// The host path of the file a host path leads to: the path itself when it
/// is no symbolic link (or names nothing), else the end of its links as an
/// absolute path. Empty for a link that leads nowhere (dangling, a loop).
std::string FollowLinks(const std::string& hostPath);

/// Reads a whole file by its Windows path (no locking).
bool ReadWholeFile(const std::string& winPath, std::string* out);

/// Makes one folder, as CreateDirectoryA does: its parent must exist. True
/// when the folder was made or a folder of that name is already there; false
/// when the parent is missing, a file or anything else than a folder stands
/// at the path, or the folder cannot be made. A trailing separator is allowed.
bool CreateFolder(const std::string& winPath);

/// Fault injection for tests of the save path. Each hook makes one step of
/// ReplaceFileContents, or of the backup copy that it and BackupOnce make,
/// fail the way the system reports it (errno and all). SetFileFaults also
/// restarts the write counters below; ClearFileFaults turns every hook off.
struct FileFaults {
    // The temporary file a save writes.
    bool failTempCreate = false;   // it cannot be made
    int64_t failWriteAfter = -1;   // the write of the new content fails after this many bytes
    bool failSync = false;         // flushing it fails
    bool failClose = false;        // closing it reports an error (a late write error)
    // The ".bak" copy of the original, made before its first replacement.
    bool failBackup = false;        // refused before any step of it
    bool failBackupCreate = false;  // its temporary copy cannot be made
    bool failBackupRead = false;    // reading the original fails
    bool failBackupSync = false;    // flushing the copy fails
    bool failBackupRename = false;  // the copy cannot take its ".bak" name
    // Write calls to either file, and those of an in-place change
    // (WriteInPlace), counted from SetFileFaults.
    int64_t failWriteCall = -1;  // the call of this number (0 the first) fails with EIO, writing nothing
    /// A full disk: this many more bytes fit. The write that passes the
    /// limit is cut short at it (a short write), the next one fails with
    /// ENOSPC.
    int64_t diskFreeBytes = -1;
    // The replacement itself.
    bool failRename = false;  // the final rename fails
};
void SetFileFaults(const FileFaults& faults);
void ClearFileFaults();
/// Write calls made to a save's temporary file or to a backup copy since the
/// faults were last set or cleared.
int64_t FileWriteCalls();

/// Faults for one scope: set by the constructor, cleared by the destructor.
class ScopedFileFaults {
public:
    explicit ScopedFileFaults(const FileFaults& faults) { SetFileFaults(faults); }
    ~ScopedFileFaults() { ClearFileFaults(); }
    ScopedFileFaults(const ScopedFileFaults&) = delete;
    ScopedFileFaults& operator=(const ScopedFileFaults&) = delete;
};

/// Writes n bytes at `offset` of an open descriptor, in place (a database
/// changed where it stands), through the write hooks above: a call that
/// fails, a full disk. False with errno set when not all of it was written.
bool WriteInPlace(int fd, const void* data, size_t n, uint64_t offset);

/// Forgets which paths were already backed up in this process (tests).
void ResetBackups();

}  // namespace plat
