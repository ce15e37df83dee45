#include "jet/JetFile.h"
#include "platform/Codepage.h"

#include <mdbtools.h>

#include <sys/file.h>
#include <sys/stat.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <unordered_set>

namespace jet {

namespace {

// Jet 4 pages are always 4 KiB.
constexpr uint32_t kPageSize = 4096;
// More continuation pages than 255 columns and their names can fill.
constexpr uint32_t kMaxDefinitionPages = 16;
// Page types.
constexpr uint8_t kDataPage = 0x01;
constexpr uint8_t kDefinitionPage = 0x02;
constexpr uint8_t kUsageMapPage = 0x05;
// The page header of a data page: type, owner (the table definition page),
// row count, then the row offset table.
constexpr uint32_t kOwnerAt = 0x04;
constexpr uint32_t kRowCountAt = 0x0C;
constexpr uint32_t kRowTableAt = 0x0E;
// A long-value page (memo and OLE data) is a data page whose owner field
// holds the tag "LVAL" instead of a definition page; a table's usage map may
// name its long-value pages, which hold none of its rows.
constexpr uint32_t kLongValueTag = 0x4C41564C;
// The table definition's header: the rows the table holds, the column
// numbers and variable-column numbers given out (deleted columns included),
// and the row pointers of its usage map and free-space map.
constexpr uint32_t kRowsAt = 0x10;
constexpr uint32_t kMaxColumnsAt = 0x29;
constexpr uint32_t kMaxVarColumnsAt = 0x2B;
constexpr uint32_t kUsageMapAt = 0x37;
constexpr uint32_t kFreeMapAt = 0x3B;
// Flags of a row offset table entry; the low 13 bits are the offset.
constexpr uint16_t kRowDeleted = 0x8000;
constexpr uint16_t kRowLookup = 0x4000;
constexpr uint16_t kRowOffsetMask = 0x1FFF;
// A row pointer holds the row number in one byte, so no page has more.
constexpr uint32_t kMaxRowsPerPage = 256;
// A row's bytes, the column count and the null mask included, lie on the
// page after its header and the offset of the one row.
constexpr uint32_t kMaxRowBytes = kPageSize - kRowTableAt - 2;
// A moved row that is moved again may leave a chain of redirects; a real one
// is short, and a longer one is a loop in a damaged file.
constexpr int kMaxRedirects = 8;
// Access allows 32 indexes to a table; a count far beyond is damage.
constexpr uint32_t kMaxIndexes = 256;
// A Text column holds at most 255 characters, two bytes each.
constexpr int kMaxTextBytes = 510;

uint16_t Get16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
uint32_t Get24(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16; }
uint32_t Get32(const uint8_t* p) { return Get24(p) | uint32_t(p[3]) << 24; }
uint64_t Get64(const uint8_t* p) { return uint64_t(Get32(p)) | uint64_t(Get32(p + 4)) << 32; }

std::string Page(uint32_t page) { return "page " + std::to_string(page); }

}  // namespace

std::string TypeName(int type)
{
    switch (type) {
    case MDB_BOOL: return "Yes/No";
    case MDB_BYTE: return "Byte";
    case MDB_INT: return "Integer";
    case MDB_LONGINT: return "Long Integer";
    case MDB_MONEY: return "Currency";
    case MDB_FLOAT: return "Single";
    case MDB_DOUBLE: return "Double";
    case MDB_DATETIME: return "Date/Time";
    case MDB_BINARY: return "Binary";
    case MDB_TEXT: return "Text";
    case MDB_OLE: return "OLE Object";
    case MDB_MEMO: return "Memo";
    case MDB_REPID: return "Replication ID";
    case MDB_NUMERIC: return "Decimal";
    default: return "type " + std::to_string(type);
    }
}

namespace {

// How a Jet 4 type is stored: in the row's fixed part with a size of its
// own, or in its variable part. False for a type Jet 4 does not have.
// `size` is -1 where the definition's size is not the type's: a Yes/No
// value has no bytes (its null mask bit is the value), and the size of a
// Memo or OLE Object column says nothing about its values.
bool TypeStorage(int type, bool* fixed, int* size)
{
    *size = -1;
    switch (type) {
    case MDB_BOOL: *fixed = true; return true;
    case MDB_BYTE: *fixed = true; *size = 1; return true;
    case MDB_INT: *fixed = true; *size = 2; return true;
    case MDB_LONGINT:
    case MDB_FLOAT: *fixed = true; *size = 4; return true;
    case MDB_MONEY:
    case MDB_DOUBLE:
    case MDB_DATETIME: *fixed = true; *size = 8; return true;
    case MDB_REPID: *fixed = true; *size = 16; return true;
    case MDB_NUMERIC: *fixed = true; *size = 17; return true;
    case MDB_BINARY:
    case MDB_TEXT:
    case MDB_OLE:
    case MDB_MEMO: *fixed = false; return true;
    default: return false;
    }
}

struct Col {
    ColumnInfo info;
    int colNum = 0;      // index of its null mask bit
    int varNum = 0;      // index in the row's variable offset table
    int fixedOffset = 0; // from the start of the row's fixed part
};

struct TableDef {
    std::string name;
    uint32_t tdefPage = 0;
    bool hasVar = false;
    uint32_t rows = 0;          // the rows the definition announces
    uint32_t maxColumns = 0;    // column numbers given out
    uint32_t maxVarColumns = 0; // variable-column numbers given out
    std::vector<Col> cols;
    std::vector<uint32_t> pages;  // data pages from the usage map, ascending

    bool HasPage(uint32_t page) const { return std::binary_search(pages.begin(), pages.end(), page); }
    const Col* Find(const std::string& column) const
    {
        for (const Col& c : cols)
            if (c.info.name == column)
                return &c;
        return nullptr;
    }
};

// The file descriptor of an open database, shared with its cursors so that
// one outliving Close() reads a still open file rather than a reused number.
// It keeps the fault of the last refusal, which every part of the reader
// records through Fail.
struct File {
    int fd = -1;
    mutable Refusal refusal;

    explicit File(int f) : fd(f) {}
    ~File()
    {
        if (fd >= 0)
            ::close(fd);
    }
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    uint64_t Size() const
    {
        struct stat st;
        if (fstat(fd, &st) != 0 || st.st_size < 0)
            return 0;
        return uint64_t(st.st_size);
    }

    // The whole pages of the file; a part page at its end is none.
    uint32_t PageCount() const
    {
        uint64_t n = Size() / kPageSize;
        return n > 0xFFFFFF ? 0xFFFFFF : uint32_t(n);  // a row pointer holds 3 bytes of page number
    }

    // Records a refusal and its reason; always false.
    bool Fail(Fault fault, uint32_t page, const std::string& text, std::string* error) const
    {
        refusal.fault = fault;
        refusal.page = page;
        refusal.fileSize = Size();
        *error = text;
        return false;
    }

    // A page the file needs lies (wholly or in part) beyond its end.
    bool Truncated(uint32_t page, std::string* error) const
    {
        const uint64_t size = Size();
        return Fail(Fault::Truncated, page,
                    "the file is truncated: it has " + std::to_string(size) + " bytes, and " + Page(page) +
                        ", which it needs, lies beyond its end (it would end at byte " +
                        std::to_string((uint64_t(page) + 1) * kPageSize) + ")",
                    error);
    }

    // Every page read lies wholly inside the file: one that does not is a
    // truncated file, never a page of zeros.
    bool ReadPage(uint32_t page, uint8_t* buf, std::string* error) const
    {
        if (page >= PageCount())
            return Truncated(page, error);
        off_t at = off_t(page) * kPageSize;
        size_t got = 0;
        while (got < kPageSize) {
            ssize_t n = pread(fd, buf + got, kPageSize - got, at + off_t(got));
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                return Fail(Fault::Unreadable, page, Page(page) + " cannot be read: " + std::strerror(errno), error);
            if (n == 0)
                return Truncated(page, error);
            got += size_t(n);
        }
        return true;
    }
};

bool IsDataPageOf(const uint8_t* pg, uint32_t tdefPage)
{
    return pg[0] == kDataPage && Get32(pg + kOwnerAt) == tdefPage;
}

bool IsLongValuePage(const uint8_t* pg) { return pg[0] == kDataPage && Get32(pg + kOwnerAt) == kLongValueTag; }

// Where row `row` of a page lies: rows are stored from the page's end
// backwards, so a row ends where the one before it in the offset table
// begins. False when the entry or its bounds do not fit the page.
bool RowSpan(const uint8_t* pg, uint32_t row, uint32_t* start, uint32_t* end, uint16_t* flags)
{
    uint32_t count = Get16(pg + kRowCountAt);
    if (row >= count || row >= kMaxRowsPerPage || kRowTableAt + 2 * count > kPageSize)
        return false;
    uint16_t entry = Get16(pg + kRowTableAt + 2 * row);
    *flags = entry & (kRowDeleted | kRowLookup);
    *start = entry & kRowOffsetMask;
    *end = row == 0 ? kPageSize : Get16(pg + kRowTableAt + 2 * (row - 1)) & kRowOffsetMask;
    return *start >= kRowTableAt + 2 * count && *start < *end && *end <= kPageSize;
}

// Jet 4 text: UCS-2 little-endian, or after FF FE the compressed form, where
// a 0x00 byte switches between runs of one-byte characters (the low byte of
// a character below U+0100) and runs of two-byte characters. Compressed
// runs come first. False for bytes that are no such text: an odd byte count
// of UCS-2, or a two-byte run that ends in half a character.
bool DecodeText(const uint8_t* p, size_t n, std::u16string* out)
{
    out->clear();
    if (n >= 2 && p[0] == 0xFF && p[1] == 0xFE) {
        bool compressed = true;
        size_t i = 2;
        out->reserve(n - 2);
        while (i < n) {
            if (p[i] == 0) {
                compressed = !compressed;
                ++i;
            } else if (compressed) {
                out->push_back(char16_t(p[i]));
                ++i;
            } else if (i + 1 < n) {
                out->push_back(char16_t(Get16(p + i)));
                i += 2;
            } else {
                return false;
            }
        }
        return true;
    }
    if (n % 2 != 0)
        return false;
    out->resize(n / 2);
    for (size_t i = 0; i < n / 2; ++i)
        (*out)[i] = char16_t(Get16(p + 2 * i));
    return true;
}

// The header from 0x18 on is RC4-encoded with a fixed key. In it, a Jet 4
// database password is 40 bytes at 0x42 (20 UCS-2 characters), each group
// of 4 bytes masked with the same 4 bytes, derived from the creation date.
// Without a password the field holds that mask alone, ten times over: so
// the password bytes tell by themselves whether there is one, and a file
// whose creation date reads otherwise (changed, or encoded by another
// writer) is not taken for protected. A password differs from the mask in
// its first characters and not in its zero padding.
bool HasPassword(const uint8_t* page0)
{
    constexpr size_t kAt = 0x18, kLen = 128, kPasswordAt = 0x42, kPasswordLen = 40;
    const uint8_t key[4] = {0xC7, 0xDA, 0x39, 0x6B};
    uint8_t h[kLen], st[256];
    std::memcpy(h, page0 + kAt, kLen);
    for (int i = 0; i < 256; ++i)
        st[i] = uint8_t(i);
    for (int i = 0, j = 0; i < 256; ++i) {
        j = (j + st[i] + key[i % 4]) & 0xFF;
        std::swap(st[i], st[j]);
    }
    for (size_t k = 0, i = 0, j = 0; k < kLen; ++k) {
        i = (i + 1) & 0xFF;
        j = (j + st[i]) & 0xFF;
        std::swap(st[i], st[j]);
        h[k] ^= st[(st[i] + st[j]) & 0xFF];
    }
    const uint8_t* pw = h + kPasswordAt - kAt;
    for (size_t i = 4; i < kPasswordLen; ++i)
        if (pw[i] != pw[i % 4])
            return true;
    return false;
}

// A row at its current place (after any redirect).
struct Place {
    const uint8_t* page = nullptr;
    uint32_t pageNo = 0;
    uint32_t start = 0;
    uint32_t end = 0;
};

enum class Found { Row, None, Error };

// Reads rows of one table: resolves row pointers and decodes values. It owns
// the page buffers so that a walk reuses them, and every page is read from
// the file when it is needed.
class RowReader {
public:
    RowReader(std::shared_ptr<File> file, TableDef table) : m_file(std::move(file)), m_table(std::move(table)) {}

    const TableDef& Table() const { return m_table; }
    File& Source() { return *m_file; }

    // The table is damaged at a page; always false.
    bool DamagedAt(uint32_t page, const std::string& what, std::string* error) const
    {
        return m_file->Fail(Fault::Damaged, page,
                            "table " + m_table.name + " is damaged at " + Page(page) + ": " + what, error);
    }

    // Resolves row `row` of a data page of the table held in `pg`: none when
    // its entry is deleted, else its current place, following redirects.
    Found Resolve(const uint8_t* pg, uint32_t pageNo, uint32_t row, Place* place, std::string* error)
    {
        uint32_t start = 0, end = 0;
        uint16_t flags = 0;
        if (!RowSpan(pg, row, &start, &end, &flags)) {
            if (row < Get16(pg + kRowCountAt) && row < kMaxRowsPerPage && (flags & kRowDeleted))
                return Found::None;
            DamagedAt(pageNo, "row " + std::to_string(row) + " does not lie on its page", error);
            return Found::Error;
        }
        if (flags & kRowDeleted)
            return Found::None;
        for (int hop = 0; flags & kRowLookup; ++hop) {
            if (hop == kMaxRedirects || end - start < 4) {
                DamagedAt(pageNo, "a moved row's redirects do not end", error);
                return Found::Error;
            }
            uint32_t ptr = Get32(pg + start);
            uint32_t target = ptr >> 8;
            if (target == 0) {
                DamagedAt(pageNo, "a moved row points to page 0", error);
                return Found::Error;
            }
            if (!m_file->ReadPage(target, m_moved, error))
                return Found::Error;
            if (!IsDataPageOf(m_moved, m_table.tdefPage)) {
                DamagedAt(pageNo, "a moved row points to " + Page(target) + ", which is no page of its table", error);
                return Found::Error;
            }
            // The row's new place is flagged deleted so that scans skip it;
            // only the pointer counts here.
            if (!RowSpan(m_moved, ptr & 0xFF, &start, &end, &flags)) {
                DamagedAt(target, "a moved row does not lie on its page", error);
                return Found::Error;
            }
            pg = m_moved;
            pageNo = target;
        }
        place->page = pg;
        place->pageNo = pageNo;
        place->start = start;
        place->end = end;
        return Found::Row;
    }

    // Resolves a row key of the table, reading its page afresh.
    Found ResolveKey(RowKey key, Place* place, std::string* error)
    {
        uint32_t pageNo = uint32_t(uint64_t(key) >> 8);
        if (key < 0 || uint64_t(key) >> 8 > 0xFFFFFF || !m_table.HasPage(pageNo) ||
            pageNo >= m_file->PageCount()) {
            *error = "the row key names no page of table " + m_table.name;
            return Found::None;
        }
        if (!m_file->ReadPage(pageNo, m_page, error))
            return Found::Error;
        if (!IsDataPageOf(m_page, m_table.tdefPage)) {
            *error = "the row key names no page of table " + m_table.name;
            return Found::None;
        }
        uint32_t row = uint32_t(key & 0xFF);
        if (row >= Get16(m_page + kRowCountAt)) {
            *error = "the row key names no row of table " + m_table.name;
            return Found::None;
        }
        Found f = Resolve(m_page, pageNo, row, place, error);
        if (f == Found::None)
            *error = "the row key names a deleted row of table " + m_table.name;
        return f;
    }

    // The row's layout: its column count, null mask and variable offsets.
    struct Layout {
        const uint8_t* row = nullptr;
        uint32_t len = 0;
        uint32_t columns = 0;
        const uint8_t* nullMask = nullptr;
        uint32_t maskSize = 0;
        uint32_t varCount = 0;
        uint32_t fixedEnd = 0;  // end of the fixed part, from the row's start
        uint32_t varLimit = 0;  // where the variable offset table begins
    };

    // Cracks a row and checks that it is whole: its column count within the
    // column numbers given out, its null mask and variable offsets inside
    // it and in order, and a place in it for every column it was written
    // with. A column numbered at or past the row's count was added after
    // the row was written, and reads as Null.
    bool Crack(const Place& place, Layout* l, std::string* error) const
    {
        l->row = place.page + place.start;
        l->len = place.end - place.start;
        if (l->len < 2)
            return DamagedAt(place.pageNo, "a row is shorter than its column count", error);
        l->columns = Get16(l->row);
        if (l->columns == 0 || l->columns > m_table.maxColumns)
            return DamagedAt(place.pageNo,
                             "a row counts " + std::to_string(l->columns) + " columns, and its table gave out " +
                                 std::to_string(m_table.maxColumns),
                             error);
        uint32_t mask = (l->columns + 7) / 8;
        if (2 + mask > l->len)
            return DamagedAt(place.pageNo, "a row's null mask does not fit in the row", error);
        l->nullMask = l->row + l->len - mask;
        l->maskSize = mask;
        l->varCount = 0;
        l->fixedEnd = l->varLimit = l->len - mask;
        if (m_table.hasVar) {
            if (2 + mask + 2 > l->len)
                return DamagedAt(place.pageNo, "a row has no room for its variable-column count", error);
            l->varCount = Get16(l->row + l->len - mask - 2);
            // The offsets are stored backwards from before the count, one
            // more than there are columns: the last is the end of the data.
            if (l->varCount > m_table.maxVarColumns ||
                uint64_t(2) + mask + 2 + 2 * (uint64_t(l->varCount) + 1) > l->len)
                return DamagedAt(place.pageNo,
                                 "a row counts " + std::to_string(l->varCount) + " variable columns, more than " +
                                     (l->varCount > m_table.maxVarColumns ? "its table gave out" : "fit in the row"),
                                 error);
            l->varLimit = l->len - mask - 2 - 2 * (l->varCount + 1);
            l->fixedEnd = VarOffset(*l, 0);
            if (l->fixedEnd < 2 || l->fixedEnd > l->varLimit)
                return DamagedAt(place.pageNo, "a row's variable columns begin outside the row", error);
            for (uint32_t i = 1, before = l->fixedEnd; i <= l->varCount; ++i) {
                const uint32_t at = VarOffset(*l, i);
                if (at < before || at > l->varLimit)
                    return DamagedAt(place.pageNo,
                                     "a row's variable-column offsets are out of order or outside the row", error);
                before = at;
            }
        }
        for (const Col& c : m_table.cols) {
            if (uint32_t(c.colNum) >= l->columns)
                continue;
            const bool held = c.info.fixed ? c.info.type == MDB_BOOL ||
                                                 2 + uint64_t(c.fixedOffset) + uint64_t(c.info.size) <= l->fixedEnd
                                           : uint32_t(c.varNum) < l->varCount;
            if (!held)
                return DamagedAt(place.pageNo, "a row holds no place for its column " + c.info.name, error);
        }
        return true;
    }

    static uint32_t VarOffset(const Layout& l, uint32_t i)
    {
        return Get16(l.row + l.len - l.maskSize - 4 - 2 * i);
    }

    // The bytes of one column of a cracked row: false for a column the row
    // does not hold (added after the row was written), which reads as Null.
    static bool Field(const Layout& l, const Col& c, const uint8_t** p, uint32_t* n)
    {
        if (uint32_t(c.colNum) >= l.columns)
            return false;
        // Crack checked that the row holds a place for every column it was
        // written with.
        if (c.info.fixed) {
            *p = l.row + 2 + c.fixedOffset;
            *n = uint32_t(c.info.size);
            return true;
        }
        uint32_t a = VarOffset(l, uint32_t(c.varNum)), b = VarOffset(l, uint32_t(c.varNum) + 1);
        *p = l.row + a;
        *n = b - a;
        return true;
    }

    static bool NotNull(const Layout& l, const Col& c)
    {
        return uint32_t(c.colNum) < l.columns && (l.nullMask[c.colNum / 8] >> (c.colNum % 8) & 1);
    }

    // Decodes the chosen columns of the row at `place` into `out`, reusing
    // the values' strings.
    bool Decode(const Place& place, const std::vector<int>& chosen, std::vector<Value>* out, std::string* error)
    {
        Layout l;
        if (!Crack(place, &l, error))
            return false;
        out->resize(chosen.size());
        for (size_t i = 0; i < chosen.size(); ++i) {
            const Col& c = m_table.cols[size_t(chosen[i])];
            Value& v = (*out)[i];
            // Only the fields of the value's kind carry anything; the others
            // are emptied, keeping the strings' room for the next row.
            v.integer = 0;
            v.real = 0;
            v.text.clear();
            v.bytes.clear();
            bool notNull = NotNull(l, c);
            // Yes/No has no bytes: the null mask bit is the value.
            if (c.info.type == MDB_BOOL) {
                v.kind = Kind::Bool;
                v.integer = notNull ? 1 : 0;
                continue;
            }
            const uint8_t* p = nullptr;
            uint32_t n = 0;
            if (!notNull || !Field(l, c, &p, &n)) {
                v.kind = Kind::Null;
                continue;
            }
            if (!DecodeValue(c, place.pageNo, p, n, &v, error))
                return false;
        }
        return true;
    }

private:
    bool DecodeValue(const Col& c, uint32_t pageNo, const uint8_t* p, uint32_t n, Value* v, std::string* error)
    {
        // A fixed column's bytes are its size (Crack checked they lie in the
        // row), as its type has it (the definition was checked).
        switch (c.info.type) {
        case MDB_BYTE:
            v->kind = Kind::Int;
            v->integer = p[0];
            return true;
        case MDB_INT:
            v->kind = Kind::Int;
            v->integer = int16_t(Get16(p));
            return true;
        case MDB_LONGINT:
            v->kind = Kind::Int;
            v->integer = int32_t(Get32(p));
            return true;
        case MDB_MONEY:
            v->kind = Kind::Money;
            v->integer = int64_t(Get64(p));
            return true;
        case MDB_FLOAT: {
            uint32_t bits = Get32(p);
            float f;
            std::memcpy(&f, &bits, 4);
            v->kind = Kind::Real;
            v->real = f;
            return true;
        }
        case MDB_DOUBLE:
        case MDB_DATETIME: {
            uint64_t bits = Get64(p);
            std::memcpy(&v->real, &bits, 8);
            v->kind = c.info.type == MDB_DATETIME ? Kind::Date : Kind::Real;
            return true;
        }
        case MDB_TEXT:
            v->kind = Kind::Text;
            if (!DecodeText(p, n, &v->text))
                return DamagedAt(pageNo, "a text of column " + c.info.name + " cannot be decoded", error);
            // The column's size is in bytes of two-byte characters.
            if (v->text.size() > size_t(c.info.size) / 2)
                return DamagedAt(pageNo, "a text of column " + c.info.name + " is longer than its column", error);
            return true;
        case MDB_BINARY:
            v->kind = Kind::Binary;
            v->bytes.assign(reinterpret_cast<const char*>(p), n);
            return true;
        case MDB_MEMO:
            if (!ReadLong(c, pageNo, p, n, &m_long, error))
                return false;
            v->kind = Kind::Text;
            if (!DecodeText(reinterpret_cast<const uint8_t*>(m_long.data()), m_long.size(), &v->text))
                return DamagedAt(pageNo, "a text of column " + c.info.name + " cannot be decoded", error);
            return true;
        case MDB_OLE:
            if (!ReadLong(c, pageNo, p, n, &v->bytes, error))
                return false;
            v->kind = Kind::Binary;
            return true;
        default:
            break;
        }
        v->kind = Kind::Other;
        v->bytes.assign(reinterpret_cast<const char*>(p), n);
        return true;
    }

    // A memo or OLE value: a 12-byte header (3-byte length, flags, pointer
    // to the first long-value row, 4 unused bytes), then the data inline, or
    // in one long-value row, or in a chain of rows each starting with the
    // pointer to the next.
    bool ReadLong(const Col& c, uint32_t pageNo, const uint8_t* p, uint32_t n, std::string* out, std::string* error)
    {
        out->clear();
        if (n == 0)
            return true;
        if (n < 12)
            return BadLong(c, pageNo, "its header is cut", error);
        uint32_t len = Get24(p);
        uint8_t flags = p[3];
        uint32_t ptr = Get32(p + 4);
        if (flags == 0x80) {
            if (len > n - 12)
                return BadLong(c, pageNo, "it is longer than its row", error);
            out->assign(reinterpret_cast<const char*>(p + 12), len);
            return true;
        }
        if (flags == 0x40) {
            uint32_t start, end;
            if (!LongRow(c, pageNo, ptr, &start, &end, error))
                return false;
            if (end - start < len)
                return BadLong(c, pageNo, "it is longer than its long-value row", error);
            out->assign(reinterpret_cast<const char*>(m_lval + start), len);
            return true;
        }
        if (flags != 0)
            return BadLong(c, pageNo, "its header's flags are unknown", error);
        // Each row of a real chain is visited once; a damaged file may loop.
        m_visited.clear();
        uint32_t left = len;
        while (left > 0) {
            uint32_t start, end;
            if (ptr == 0 || !m_visited.insert(ptr).second)
                return BadLong(c, pageNo, "its chain of long-value rows ends early or loops", error);
            if (!LongRow(c, pageNo, ptr, &start, &end, error))
                return false;
            if (end - start < 4)
                return BadLong(c, pageNo, "a long-value row is too short", error);
            uint32_t take = std::min(left, end - start - 4);
            out->append(reinterpret_cast<const char*>(m_lval + start + 4), take);
            left -= take;
            ptr = Get32(m_lval + start);
        }
        return true;
    }

    // A long-value row by its pointer, on a page that lies in the file.
    bool LongRow(const Col& c, uint32_t pageNo, uint32_t ptr, uint32_t* start, uint32_t* end, std::string* error)
    {
        uint32_t page = ptr >> 8;
        uint16_t flags;
        if (page == 0)
            return BadLong(c, pageNo, "it points to page 0", error);
        if (!m_file->ReadPage(page, m_lval, error))
            return false;
        if (m_lval[0] != kDataPage || !RowSpan(m_lval, ptr & 0xFF, start, end, &flags))
            return BadLong(c, pageNo, "its long-value row on " + Page(page) + " is not there", error);
        return true;
    }

    bool BadLong(const Col& c, uint32_t pageNo, const std::string& what, std::string* error) const
    {
        return DamagedAt(pageNo, "a value of column " + c.info.name + " is damaged: " + what, error);
    }

    std::shared_ptr<File> m_file;
    TableDef m_table;
    uint8_t m_page[kPageSize];
    uint8_t m_moved[kPageSize];
    uint8_t m_lval[kPageSize];
    std::string m_long;
    std::unordered_set<uint32_t> m_visited;

    friend class TableCursor;
};

class TableCursor : public Cursor {
public:
    TableCursor(std::unique_ptr<RowReader> reader, std::vector<int> chosen)
        : m_reader(std::move(reader)), m_chosen(std::move(chosen))
    {
    }

    bool Next(std::string* error) override
    {
        if (m_done || m_failed)
            return false;
        if (!Step(error)) {
            m_failed = !m_done;
            return false;
        }
        return true;
    }

    bool Done() const override { return m_done; }
    const std::vector<Value>& Row() const override { return m_values; }
    RowKey Key() const override { return m_key; }

private:
    bool Step(std::string* error)
    {
        const TableDef& t = m_reader->Table();
        for (;;) {
            if (!m_loaded || m_row >= m_rowCount) {
                if (m_pageIndex >= t.pages.size())
                    return End(error);
                m_pageNo = t.pages[m_pageIndex++];
                if (!m_reader->Source().ReadPage(m_pageNo, m_reader->m_page, error))
                    return false;
                m_loaded = true;
                m_row = 0;
                m_rowCount = 0;
                // A long-value page holds values, not rows. Any other page
                // the usage map names must be one of the table's data pages:
                // its rows would be lost unseen otherwise.
                if (IsLongValuePage(m_reader->m_page))
                    continue;
                if (!IsDataPageOf(m_reader->m_page, t.tdefPage))
                    return m_reader->DamagedAt(
                        m_pageNo, "its usage map names this page, which is not one of its data pages", error);
                m_rowCount = std::min<uint32_t>(Get16(m_reader->m_page + kRowCountAt), kMaxRowsPerPage);
                continue;
            }
            uint32_t row = m_row++;
            Place place;
            Found f = m_reader->Resolve(m_reader->m_page, m_pageNo, row, &place, error);
            if (f == Found::Error)
                return false;
            if (f == Found::None)
                continue;
            if (!m_reader->Decode(place, m_chosen, &m_values, error))
                return false;
            m_key = RowKey(m_pageNo) << 8 | row;
            ++m_walked;
            return true;
        }
    }

    // The end of the pages: every row the definition announces was found.
    // More rows than announced are no loss (a count left behind by a
    // program that ended before it wrote it); fewer are rows lost unseen.
    bool End(std::string* error)
    {
        const TableDef& t = m_reader->Table();
        if (m_walked < t.rows)
            return m_reader->Source().Fail(Fault::Damaged, t.tdefPage,
                                           "table " + t.name + " is damaged: its definition announces " +
                                               std::to_string(t.rows) + " rows, and its pages hold " +
                                               std::to_string(m_walked),
                                           error);
        m_done = true;
        return false;
    }

    std::unique_ptr<RowReader> m_reader;
    std::vector<int> m_chosen;
    std::vector<Value> m_values;
    size_t m_pageIndex = 0;
    uint32_t m_pageNo = 0;
    uint32_t m_row = 0;
    uint32_t m_rowCount = 0;
    uint64_t m_walked = 0;
    bool m_loaded = false;
    bool m_done = false;
    bool m_failed = false;
    RowKey m_key = -1;
};

// A usage map: type 0 holds a first page and a bitmap of the pages after it;
// type 1 holds the numbers of map pages, each a bitmap of its share of the
// file's pages. Every page it names must lie in the file: a named page past
// the end is a truncated file, never a page of zeros.
bool DecodeUsageMap(const File& file, const std::string& table, const uint8_t* map, size_t size,
                    std::vector<uint32_t>* pages, std::string* error)
{
    pages->clear();
    const uint32_t pageCount = file.PageCount();
    const auto damaged = [&](uint32_t page, const std::string& what) {
        return file.Fail(Fault::Damaged, page, "table " + table + " is damaged: its usage map " + what, error);
    };
    // Bits come in ascending page order.
    const auto add = [&](uint64_t page) {
        if (page == 0)
            return damaged(0, "names page 0, the file's header");
        if (page >= pageCount)
            return file.Truncated(uint32_t(std::min<uint64_t>(page, 0xFFFFFFFFu)), error);
        pages->push_back(uint32_t(page));
        return true;
    };
    if (size < 1)
        return damaged(0, "is empty");
    if (map[0] == 0) {
        if (size < 5)
            return damaged(0, "is cut short");
        const uint64_t first = Get32(map + 1);
        for (size_t i = 0; i < (size - 5) * 8; ++i)
            if ((map[5 + i / 8] >> (i % 8) & 1) && !add(first + i))
                return false;
        return true;
    }
    if (map[0] != 1)
        return damaged(0, "is of an unknown kind");
    const uint64_t perPage = uint64_t(kPageSize - 4) * 8;
    uint8_t buf[kPageSize];
    for (size_t m = 0; (m + 1) * 4 + 1 <= size; ++m) {
        const uint32_t mapPage = Get32(map + 1 + 4 * m);
        if (mapPage == 0)
            continue;
        if (!file.ReadPage(mapPage, buf, error))
            return false;
        if (buf[0] != kUsageMapPage)
            return damaged(mapPage, "names " + Page(mapPage) + " as a map page, which it is not");
        for (uint64_t i = 0; i < perPage; ++i)
            if ((buf[4 + i / 8] >> (i % 8) & 1) && !add(m * perPage + i))
                return false;
    }
    return true;
}

// The row of a table's usage map, which its definition points to: on a
// data page that lies in the file.
bool MapRow(const File& file, const std::string& table, uint32_t ptr, uint8_t* page, uint32_t* start, uint32_t* end,
            std::string* error)
{
    const char* what = "usage map";
    const uint32_t pageNo = ptr >> 8;
    uint16_t flags = 0;
    if (pageNo == 0)
        return file.Fail(Fault::Damaged, 0, "table " + table + " is damaged: its " + what + " is on page 0", error);
    if (!file.ReadPage(pageNo, page, error))
        return false;
    if (page[0] != kDataPage || !RowSpan(page, ptr & 0xFF, start, end, &flags))
        return file.Fail(Fault::Damaged, pageNo,
                         "table " + table + " is damaged: its " + what + " is not at row " +
                             std::to_string(ptr & 0xFF) + " of " + Page(pageNo),
                         error);
    return true;
}

}  // namespace

struct Database::Impl {
    std::string path;
    MdbHandle* mdb = nullptr;
    std::shared_ptr<File> file;
    // The fault of a refusal before the file was open.
    Refusal refusal;

    // The tables of the catalogue: name (UTF-8) and definition page.
    std::vector<std::pair<std::string, uint32_t>> tables;

    // The last reading of each table's definition, by its page, with the
    // definition's pages as they were then.
    struct Known {
        std::string bytes;
        TableDef def;
    };
    std::map<uint32_t, Known> cache;

    uint32_t DefinitionPage(const std::string& table) const
    {
        for (const auto& [name, page] : tables)
            if (name == table)
                return page;
        return 0;
    }

    // libmdb allocates and reads what a definition's counts say without
    // bounds: a table has at most 255 columns, and far fewer indexes than
    // allowed here.
    bool Plausible(const uint8_t* tdef) const
    {
        const MdbFormatConstants* f = mdb->fmt;
        uint32_t cols = Get16(tdef + f->tab_num_cols_offset);
        uint32_t idxs = Get32(tdef + f->tab_num_idxs_offset);
        uint32_t realIdxs = Get32(tdef + f->tab_num_ridxs_offset);
        return cols >= 1 && cols <= MDB_MAX_COLS && idxs <= kMaxIndexes && realIdxs <= kMaxIndexes;
    }

    // The definition pages of a table as they are in the file now: its first
    // page and the pages it continues on, each a definition page in the file.
    bool DefinitionBytes(const std::string& table, uint32_t tdef, std::string* bytes, std::string* error) const
    {
        bytes->clear();
        uint8_t page[kPageSize];
        for (uint32_t pg = tdef, n = 0; pg != 0; ++n) {
            if (n >= kMaxDefinitionPages)
                return file->Fail(Fault::Damaged, tdef,
                                  "the definition of table " + table + " goes on over more pages than a table has",
                                  error);
            if (!file->ReadPage(pg, page, error))
                return false;
            if (page[0] != kDefinitionPage)
                return file->Fail(Fault::Damaged, pg,
                                  "the definition of table " + table + " goes on to " + Page(pg) +
                                      ", which is no definition page",
                                  error);
            bytes->append(reinterpret_cast<const char*>(page), kPageSize);
            pg = Get32(page + 4);
        }
        return true;
    }

    // Reads a table's definition and its data pages. A walk reads them
    // afresh. A single row's read or change may take them from the last
    // reading when the definition's pages are byte for byte as they were:
    // they hold the columns and the row count, so no column changed and no
    // row came or went. A page the table gained since (a row moved there by
    // an update) is then unknown, and a row found on it is refused, never
    // misread: the data pages are checked to belong to the table as read.
    bool Load(const std::string& table, TableDef* def, std::string* error, bool fresh = true)
    {
        if (!mdb) {
            *error = "no database is open";
            return false;
        }
        file->refusal = Refusal();
        uint32_t tdef = DefinitionPage(table);
        if (!tdef) {
            *error = "the database has no table " + table;
            return false;
        }
        std::string bytes;
        if (!DefinitionBytes(table, tdef, &bytes, error))
            return false;
        auto cached = cache.find(tdef);
        if (!fresh && cached != cache.end() && cached->second.bytes == bytes) {
            *def = cached->second.def;
            return true;
        }
        if (!LoadAt(table, tdef, def, error))
            return false;
        cache[tdef] = {std::move(bytes), *def};
        return true;
    }

    // A column's definition is what its type must be, and lies where a row
    // can hold it. False with the reason.
    static bool SoundColumn(const Col& c, const TableDef& def, std::string* what)
    {
        bool fixed = false;
        int size = -1;
        if (!TypeStorage(c.info.type, &fixed, &size)) {
            *what = "is of " + TypeName(c.info.type) + ", a type Jet 4 does not have";
            return false;
        }
        if (c.info.fixed != fixed) {
            *what = "is of type " + TypeName(c.info.type) + " and stored as " +
                    (c.info.fixed ? "fixed-length" : "variable-length") + ", which that type never is";
            return false;
        }
        if (size >= 0 && c.info.size != size) {
            *what = "is of type " + TypeName(c.info.type) + " with a size of " + std::to_string(c.info.size) +
                    " bytes instead of " + std::to_string(size);
            return false;
        }
        if ((c.info.type == MDB_TEXT || c.info.type == MDB_BINARY) && c.info.size > kMaxTextBytes) {
            *what = "is of type " + TypeName(c.info.type) + " with a size of " + std::to_string(c.info.size) +
                    " bytes, more than " + std::to_string(kMaxTextBytes);
            return false;
        }
        if (uint32_t(c.colNum) >= def.maxColumns) {
            *what = "has the column number " + std::to_string(c.colNum) + ", and the table gave out " +
                    std::to_string(def.maxColumns);
            return false;
        }
        if (!fixed && uint32_t(c.varNum) >= def.maxVarColumns) {
            *what = "has the variable-column number " + std::to_string(c.varNum) + ", and the table gave out " +
                    std::to_string(def.maxVarColumns);
            return false;
        }
        if (fixed && c.info.type != MDB_BOOL && uint64_t(c.fixedOffset) + uint64_t(size) + 2 > kMaxRowBytes) {
            *what = "lies at byte " + std::to_string(c.fixedOffset) + ", outside any row";
            return false;
        }
        return true;
    }

    // The definition as a whole: every column sound, and no two with the
    // same name, column number, variable-column number or fixed bytes.
    static bool SoundDefinition(const TableDef& def, std::string* error)
    {
        std::string what;
        for (size_t i = 0; i < def.cols.size(); ++i) {
            const Col& c = def.cols[i];
            if (c.info.name.empty())
                what = "has no name";
            else
                SoundColumn(c, def, &what);
            for (size_t k = 0; what.empty() && k < i; ++k) {
                const Col& o = def.cols[k];
                if (o.info.name == c.info.name)
                    what = "is defined twice";
                else if (o.colNum == c.colNum)
                    what = "has the column number of column " + o.info.name;
                else if (!c.info.fixed && !o.info.fixed && o.varNum == c.varNum)
                    what = "has the variable-column number of column " + o.info.name;
                else if (c.info.fixed && o.info.fixed && c.info.type != MDB_BOOL && o.info.type != MDB_BOOL &&
                         c.fixedOffset < o.fixedOffset + o.info.size && o.fixedOffset < c.fixedOffset + c.info.size)
                    what = "lies over the bytes of column " + o.info.name;
            }
            if (!what.empty()) {
                *error = "the definition of table " + def.name + " is damaged: its column " +
                         (c.info.name.empty() ? "number " + std::to_string(i + 1) : c.info.name) + " " + what;
                return false;
            }
        }
        return true;
    }

    bool LoadAt(const std::string& table, uint32_t tdef, TableDef* def, std::string* error)
    {
        uint8_t page[kPageSize];
        // libmdb trusts the definition's pages, counts and the rows its maps
        // are on; check them first. It reads what lies past the file's end
        // as zeros, so every page it reads must lie in the file.
        std::string bytes;
        if (!DefinitionBytes(table, tdef, &bytes, error))
            return false;
        std::memcpy(page, bytes.data(), kPageSize);
        const auto unreadable = [&]() {
            return file->Fail(Fault::Damaged, tdef, "the definition of table " + table + " cannot be read", error);
        };
        if (!Plausible(page))
            return unreadable();
        // The free-space map is not read here, but libmdb reads its page.
        uint8_t mapPage[kPageSize];
        uint32_t mapStart = 0, mapEnd = 0;
        if (!file->ReadPage(Get32(page + kFreeMapAt) >> 8, mapPage, error) ||
            !MapRow(*file, table, Get32(page + kUsageMapAt), mapPage, &mapStart, &mapEnd, error))
            return false;
        // A catalogue entry of our own, without the properties that libmdb's
        // catalogue would parse (a parser a damaged file sends into a loop).
        MdbCatalogEntry entry{};
        entry.mdb = mdb;
        std::strncpy(entry.object_name, table.c_str(), MDB_MAX_OBJ_NAME);
        entry.object_type = MDB_TABLE;
        entry.table_pg = tdef;
        // libmdb keeps its last page; it must read the file again.
        mdb->cur_pg = 0;
        MdbTableDef* td = mdb_read_table(&entry);
        if (!td)
            return unreadable();
        bool ok = mdb_read_columns(td) != nullptr && td->columns && td->columns->len == td->num_cols;
        if (ok)
            mdb_read_indices(td);
        def->name = table;
        def->tdefPage = tdef;
        def->rows = Get32(page + kRowsAt);
        def->maxColumns = Get16(page + kMaxColumnsAt);
        def->maxVarColumns = Get16(page + kMaxVarColumnsAt);
        def->cols.clear();
        def->hasVar = false;
        for (unsigned i = 0; ok && i < td->num_cols; ++i) {
            auto* mc = static_cast<MdbColumn*>(g_ptr_array_index(td->columns, i));
            Col c;
            c.info.name = mc->name;
            c.info.type = mc->col_type;
            c.info.size = mc->col_size;
            c.info.fixed = mc->is_fixed != 0;
            c.colNum = mc->col_num;
            c.varNum = int(mc->var_col_num);
            c.fixedOffset = mc->fixed_offset;
            if (c.colNum < 0 || c.info.size < 0 || c.fixedOffset < 0)
                ok = false;
            if (!c.info.fixed)
                def->hasVar = true;
            def->cols.push_back(std::move(c));
        }
        if (ok && td->indices) {
            for (unsigned i = 0; i < td->indices->len; ++i) {
                auto* idx = static_cast<MdbIndex*>(g_ptr_array_index(td->indices, i));
                for (unsigned k = 0; k < idx->num_keys && k < MDB_MAX_IDX_COLS; ++k)
                    for (Col& c : def->cols)
                        if (c.colNum + 1 == idx->key_col_num[k])  // libmdb counts key columns from 1
                            c.info.indexed = true;
            }
        }
        mdb_free_tabledef(td);
        if (!ok)
            return unreadable();
        if (!SoundDefinition(*def, error))
            return file->Fail(Fault::Damaged, tdef, *error, error);
        // The usage map as it is in the file, read here rather than taken
        // from libmdb.
        return DecodeUsageMap(*file, table, mapPage + mapStart, mapEnd - mapStart, &def->pages, error);
    }

    // The catalogue is the table MSysObjects, defined on page 2: its rows of
    // type 1 are the tables, and the low 3 bytes of a row's Id are the page
    // of the table's definition.
    bool ReadCatalogue(std::string* error)
    {
        TableDef def;
        if (!LoadAt("MSysObjects", 2, &def, error))
            return false;
        const Col* id = def.Find("Id");
        const Col* name = def.Find("Name");
        const Col* type = def.Find("Type");
        if (!id || !name || !type)
            return file->Fail(Fault::Damaged, 2, "the catalogue has no column Id, Name or Type", error);
        std::vector<int> chosen = {int(id - def.cols.data()), int(name - def.cols.data()), int(type - def.cols.data())};
        TableCursor cur(std::make_unique<RowReader>(file, std::move(def)), std::move(chosen));
        tables.clear();
        while (cur.Next(error)) {
            const std::vector<Value>& row = cur.Row();
            if (row[0].kind != Kind::Int || row[1].kind != Kind::Text || row[2].kind != Kind::Int)
                continue;
            if ((row[2].integer & 0x7F) != MDB_TABLE)
                continue;
            tables.emplace_back(plat::WideToUtf8(row[1].text), uint32_t(row[0].integer) & 0xFFFFFF);
        }
        return cur.Done();
    }

    std::unique_ptr<RowReader> Reader(const std::string& table, const std::vector<std::string>& columns,
                                      std::vector<int>* chosen, std::string* error, bool fresh = true)
    {
        TableDef def;
        if (!Load(table, &def, error, fresh))
            return nullptr;
        chosen->clear();
        for (const std::string& name : columns) {
            const Col* c = def.Find(name);
            if (!c) {
                *error = "table " + table + " has no column " + name;
                return nullptr;
            }
            chosen->push_back(int(c - def.cols.data()));
        }
        return std::make_unique<RowReader>(file, std::move(def));
    }
};

Database::Database() : m_impl(std::make_unique<Impl>()) {}

Database::~Database() { Close(); }

bool Database::Open(const std::string& hostPath, std::string* error)
{
    Close();
    Refusal& refusal = m_impl->refusal;
    const auto refuse = [&](Fault fault, const std::string& text) {
        refusal.fault = fault;
        *error = text;
        return false;
    };
    int fd = ::open(hostPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return refuse(Fault::Unreadable, "cannot open " + hostPath + ": " + std::strerror(errno));
    auto file = std::make_shared<File>(fd);
    refusal.fileSize = file->Size();
    if (refusal.fileSize == 0)
        return refuse(Fault::NotDatabase, "the file is empty, too short to be a Jet database");
    uint8_t head[kPageSize] = {};
    const ssize_t got = pread(fd, head, kPageSize, 0);
    if (got < 0)
        return refuse(Fault::Unreadable, "the file cannot be read: " + std::string(std::strerror(errno)));
    const bool jet = got >= 20 && Get32(head) == 0x100 && std::memcmp(head + 4, "Standard Jet DB", 16) == 0;
    if (!jet) {
        return refuse(Fault::NotDatabase, got >= 20 && std::memcmp(head + 4, "Standard ACE DB", 16) == 0
                                              ? "the file is a newer Access database (.accdb format), not Jet 4"
                                              : "the file is not a Jet database");
    }
    if (got > 0x14 && head[0x14] != MDB_VER_JET4) {
        return refuse(Fault::NotDatabase, head[0x14] == MDB_VER_JET3
                                              ? "the file is a Jet 3 database (Access 97), not Jet 4"
                                              : "the file is not a Jet 4 database");
    }
    // The header page and the catalogue's definition on page 2.
    if (file->PageCount() < 3) {
        file->Truncated(file->PageCount() < 1 ? 0 : 2, error);
        refusal = file->refusal;
        return false;
    }
    MdbHandle* mdb = mdb_open(hostPath.c_str(), MDB_NOFLAGS);
    if (!mdb)
        return refuse(Fault::Damaged, "the file cannot be read as a Jet 4 database");
    if (!mdb->f || mdb->f->jet_version != MDB_VER_JET4 || !mdb->fmt || mdb->fmt->pg_size != kPageSize) {
        mdb_close(mdb);
        return refuse(Fault::NotDatabase, "the file is not a Jet 4 database");
    }
    if (mdb->f->db_key != 0) {
        mdb_close(mdb);
        return refuse(Fault::Protected,
                      "the database is encrypted (its pages are encoded); decrypt it in the desktop program first");
    }
    if (HasPassword(head)) {
        mdb_close(mdb);
        return refuse(Fault::Protected,
                      "the database is protected by a password; remove the password in the desktop program first");
    }
    m_impl->mdb = mdb;
    m_impl->file = std::move(file);
    std::string reason;
    if (!m_impl->ReadCatalogue(&reason)) {
        const Refusal met = m_impl->file->refusal;
        Close();
        refusal = met;
        if (refusal.fault == Fault::None)
            refusal.fault = Fault::Damaged;
        *error = "the database's catalogue cannot be read: " + reason;
        return false;
    }
    m_impl->path = hostPath;
    return true;
}

void Database::Close()
{
    if (m_impl->mdb)
        mdb_close(m_impl->mdb);
    m_impl->mdb = nullptr;
    m_impl->file.reset();
    m_impl->tables.clear();
    m_impl->cache.clear();
    m_impl->path.clear();
    m_impl->refusal = Refusal();
}

bool Database::IsOpen() const { return m_impl->mdb != nullptr; }

const std::string& Database::HostPath() const { return m_impl->path; }

bool Database::IsFileOf(int fd) const
{
    struct stat mine {}, theirs {};
    return m_impl->file && fd >= 0 && ::fstat(m_impl->file->fd, &mine) == 0 && ::fstat(fd, &theirs) == 0 &&
           mine.st_dev == theirs.st_dev && mine.st_ino == theirs.st_ino;
}

bool Database::IsFileAt(const std::string& hostPath) const
{
    struct stat mine {}, theirs {};
    return m_impl->file && ::fstat(m_impl->file->fd, &mine) == 0 && ::stat(hostPath.c_str(), &theirs) == 0 &&
           mine.st_dev == theirs.st_dev && mine.st_ino == theirs.st_ino;
}
uint32_t Database::DefinitionPage(const std::string& table) const { return m_impl->DefinitionPage(table); }

const Refusal& Database::LastRefusal() const { return m_impl->file ? m_impl->file->refusal : m_impl->refusal; }

bool Database::Columns(const std::string& table, std::vector<ColumnInfo>* columns, std::string* error)
{
    TableDef def;
    if (!m_impl->Load(table, &def, error))
        return false;
    columns->clear();
    for (const Col& c : def.cols)
        columns->push_back(c.info);
    return true;
}

std::unique_ptr<Cursor> Database::Walk(const std::string& table, const std::vector<std::string>& columns,
                                       std::string* error)
{
    std::vector<int> chosen;
    std::unique_ptr<RowReader> reader = m_impl->Reader(table, columns, &chosen, error);
    if (!reader)
        return nullptr;
    return std::make_unique<TableCursor>(std::move(reader), std::move(chosen));
}

bool Database::ReadRow(const std::string& table, const std::vector<std::string>& columns, RowKey key,
                       std::vector<Value>* row, std::string* error)
{
    std::vector<int> chosen;
    std::unique_ptr<RowReader> reader = m_impl->Reader(table, columns, &chosen, error, false);
    if (!reader)
        return false;
    Place place;
    if (reader->ResolveKey(key, &place, error) != Found::Row)
        return false;
    return reader->Decode(place, chosen, row, error);
}

bool Database::LocateInt32(const std::string& table, const std::string& column, RowKey key, IntSlot* slot,
                           std::string* error)
{
    std::vector<int> chosen;
    std::unique_ptr<RowReader> reader = m_impl->Reader(table, {column}, &chosen, error, false);
    if (!reader)
        return false;
    const Col& c = reader->Table().cols[size_t(chosen[0])];
    if (c.info.type != MDB_LONGINT || !c.info.fixed || c.info.size != 4) {
        *error = "column " + column + " is not a Long Integer";
        return false;
    }
    // A change in place would leave the index's copy of the value stale.
    if (c.info.indexed) {
        *error = "column " + column + " is part of an index";
        return false;
    }
    Place place;
    if (reader->ResolveKey(key, &place, error) != Found::Row)
        return false;
    RowReader::Layout l;
    if (!reader->Crack(place, &l, error))
        return false;
    const uint8_t* p = nullptr;
    uint32_t n = 0;
    if (!RowReader::Field(l, c, &p, &n) || n != 4) {
        *error = "the row holds no value of column " + column + " (it was written before the column existed)";
        return false;
    }
    uint64_t pageAt = uint64_t(place.pageNo) * kPageSize;
    slot->offset = pageAt + uint64_t(p - place.page);
    slot->null = !RowReader::NotNull(l, c);
    slot->value = slot->null ? 0 : int32_t(Get32(p));
    slot->nullByte = pageAt + uint64_t(l.nullMask - place.page) + uint64_t(c.colNum / 8);
    slot->nullBit = uint8_t(1u << (c.colNum % 8));
    return true;
}

bool HasJetHeader(const std::string& hostPath)
{
    int fd = ::open(hostPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    uint8_t head[0x15];
    ssize_t n = pread(fd, head, sizeof head, 0);
    ::close(fd);
    return n == ssize_t(sizeof head) && Get32(head) == 0x100 && std::memcmp(head + 4, "Standard Jet DB", 16) == 0 &&
           (head[0x14] == MDB_VER_JET3 || head[0x14] == MDB_VER_JET4);
}

bool LockFileHeld(const std::string& hostPath, std::string* lockPath)
{
    size_t slash = hostPath.rfind('/');
    size_t dot = hostPath.rfind('.');
    std::string path = (dot != std::string::npos && (slash == std::string::npos || dot > slash))
                           ? hostPath.substr(0, dot) + ".ldb"
                           : hostPath + ".ldb";
    if (lockPath)
        *lockPath = path;
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        // Missing: nobody has the database open. Present but unreadable: it
        // cannot be shown to be free, so it counts as held.
        return errno != ENOENT && errno != ENOTDIR;
    bool held = false;
    // A whole-file lock of another descriptor.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0)
        held = errno == EWOULDBLOCK || errno == EINTR;
    else
        flock(fd, LOCK_UN);
    // A byte-range lock of another process, anywhere (Jet's lock files lock
    // ranges past their end as well).
    if (!held) {
        struct flock fl {};
        fl.l_type = F_WRLCK;
        fl.l_whence = SEEK_SET;
        fl.l_start = 0;
        fl.l_len = 0;
        if (fcntl(fd, F_GETLK, &fl) == 0)
            held = fl.l_type != F_UNLCK;
        else
            held = true;
    }
    ::close(fd);
    return held;
}

}  // namespace jet
