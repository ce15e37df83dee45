// Reading Jet 4 databases (the .mdb files of the desktop program's 6.x
// generation) through libmdb, and locating a row's fixed-width integer in the
// file so that it can be changed in place.
//
// libmdb is used for the file's structure (catalogue, table definitions,
// usage maps, page reads, row cracking), not for values: its own text
// conversion loses characters outside the 16-bit range and follows the
// environment, its bound buffers cut long values silently, and bound values
// cannot tell Null from an empty text. So each value is decoded here from
// the row's bytes, with the null mask for Null, Jet 4 text (UCS-2, or the
// compressed form that starts with FF FE) decoded to UTF-16, and memo and
// OLE values followed through their long-value pages to their full length.
//
// A table's rows are those that a row pointer of one of its data pages
// reaches: a deleted pointer is skipped, and a pointer that was redirected
// when an update moved its row to another page is followed to the row's
// current place. The old copies and the moved rows themselves are never
// read as rows of their own.
//
// Every read goes to the file: nothing read before a change by another
// descriptor (or another program) is served from memory afterwards.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace jet {

/// What a value holds.
enum class Kind : uint8_t {
    Null,    // the column's null mask bit says Null
    Int,     // Byte, Integer, Long Integer
    Bool,    // Yes/No
    Text,    // Text and Memo, decoded to UTF-16
    Binary,  // Binary and OLE Object, the stored bytes
    Real,    // Single, Double
    Money,   // Currency: `integer` holds the value times 10,000
    Date,    // Date/Time: `real` holds days since 1899-12-30 as stored
    Other,   // any other type (GUID, numeric ...): `bytes` holds the stored bytes
};

struct Value {
    Kind kind = Kind::Null;
    int64_t integer = 0;  // Int, Bool (0 or 1), Money
    double real = 0;      // Real, Date
    std::u16string text;  // Text
    std::string bytes;    // Binary, Other
};

struct ColumnInfo {
    std::string name;     // as stored, in UTF-8
    int type = 0;         // Jet's type code (4 = Long Integer, 10 = Text, 12 = Memo ...)
    int size = 0;         // declared size in bytes
    bool fixed = false;   // stored in the row's fixed part
    bool indexed = false; // part of any index of the table (real or logical)
};

/// What kind of fault made the reader refuse a file, so that a caller can
/// tell the user in words what is wrong with it. Each refusal also gives its
/// reason as text, for the troubleshooting log.
enum class Fault : uint8_t {
    None,
    Unreadable,   // missing, or the system cannot open or read it
    NotDatabase,  // empty, or not a database of the kind the program reads
    Protected,    // encrypted, or protected by a password
    Truncated,    // shorter than its own pages need
    Damaged,      // a table definition, page or row that is not sound
};

/// The fault behind the last refusal and where it was met.
struct Refusal {
    Fault fault = Fault::None;
    /// Damaged: the page the fault is on (0 when it is on none in
    /// particular). Truncated: the first page needed beyond the file's end.
    uint32_t page = 0;
    uint64_t fileSize = 0;  // the file's size in bytes, when known
};

/// A row's key: where its row pointer is, as (page << 8) | row number. It
/// names the same row for as long as nobody deletes it, whatever an update
/// does to the row's bytes or place.
using RowKey = int64_t;

/// The 4 bytes of a Long Integer column of one row, as they are in the file
/// now. `nullByte`/`nullBit` locate the column's bit of the row's null mask
/// (set means not Null), which a change of a Null value must set too.
struct IntSlot {
    uint64_t offset = 0;   // file offset of the 4 little-endian bytes
    int32_t value = 0;     // what they hold (0 when Null)
    bool null = false;
    uint64_t nullByte = 0; // file offset of the byte holding the column's null mask bit
    uint8_t nullBit = 0;   // the bit's mask in that byte
};

class Database;

/// A walk over the rows of one table, reading the named columns.
class Cursor {
public:
    virtual ~Cursor() = default;
    /// Moves to the next row: true when there is one. False at the end of the
    /// table (Done() true) or on an error (*error says what; Done() false).
    virtual bool Next(std::string* error) = 0;
    virtual bool Done() const = 0;
    /// The current row's values, one per column asked for, in that order.
    virtual const std::vector<Value>& Row() const = 0;
    virtual RowKey Key() const = 0;
};

class Database {
public:
    Database();
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    /// Opens a Jet 4 file for reading. Refused with a reason: no such file,
    /// not a Jet 4 database (Jet 3 included), an encrypted database (encoded
    /// pages or a database password), a file shorter than its pages need, a
    /// catalogue that cannot be read.
    bool Open(const std::string& hostPath, std::string* error);
    void Close();
    bool IsOpen() const;
    const std::string& HostPath() const;
    /// True when `fd` is open on the very file this database reads (the same
    /// device and inode). False after another program replaced the file at
    /// the path by another one (a rename over it), or for a closed database.
    bool IsFileOf(int fd) const;
    /// The same for the file the path names now (links followed); false when
    /// it names none.
    bool IsFileAt(const std::string& hostPath) const;

    /// The first page of a table's definition, as the catalogue names it; 0
    /// for a table the catalogue does not name.
    uint32_t DefinitionPage(const std::string& table) const;

    /// The columns of a table in their stored order; false when the table
    /// does not exist or its definition is not sound.
    ///
    /// A definition is sound when every column has a name of its own, a
    /// type Jet 4 has with the fixed or variable storage and the size that
    /// type has, a column number and variable-column number of its own
    /// within the counts the definition gives, and (fixed columns) bytes
    /// that lie inside a row and overlap no other column's; when its pages
    /// lie in the file; and when every page its usage map names lies in the
    /// file. Anything else is refused, naming the table and the column.
    bool Columns(const std::string& table, std::vector<ColumnInfo>* columns, std::string* error);

    /// A walk over every row of the table, reading the named columns (by
    /// name, exactly as stored, any order). Null with a reason for an unknown
    /// table or column, or a definition that is not sound.
    ///
    /// The walk refuses, rather than skips, what is not sound: a page the
    /// usage map names that is not a data page of the table (or a long-value
    /// page), a row that is not whole (its column count, null mask or
    /// variable-column offsets outside the row or out of step with the
    /// definition), a text that cannot be decoded or is longer than its
    /// column, and, at the end, fewer rows than the definition announces.
    std::unique_ptr<Cursor> Walk(const std::string& table, const std::vector<std::string>& columns,
                                 std::string* error);

    /// Reads the named columns of the one row `key` names. False with a
    /// reason when it names no row of the table (deleted, never there, not
    /// one of the table's pages) or the row cannot be read.
    bool ReadRow(const std::string& table, const std::vector<std::string>& columns, RowKey key,
                 std::vector<Value>* row, std::string* error);

    /// Where the named column's 4 bytes of the row `key` lie and what they
    /// hold now, the page read afresh. Refused with a reason: the column is
    /// not a fixed 4-byte Long Integer, it is part of an index, the key names
    /// no row of the table.
    bool LocateInt32(const std::string& table, const std::string& column, RowKey key, IntSlot* slot,
                     std::string* error);

    /// The fault behind the last refusal of Open, Columns, Walk (or its
    /// cursor's Next), ReadRow or LocateInt32; Fault::None when that refusal
    /// was no fault of the file (an unknown table or column, a key that names
    /// no row) or nothing was refused since the last of them began.
    const Refusal& LastRefusal() const;

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

/// The name of a Jet column type ("Long Integer", "Text", ...), for reasons.
std::string TypeName(int type);

/// True when the file begins as a Jet database does (either version).
bool HasJetHeader(const std::string& hostPath);

/// True when the lock file of the database (the same name with ".ldb")
/// exists and another program holds it open with a lock; *lockPath gets its
/// name. A lock file that nobody holds is left over from a program that
/// ended, and does not count.
bool LockFileHeld(const std::string& hostPath, std::string* lockPath);

}  // namespace jet
