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
// The page header of a data page: type, owner (the table definition page),
// row count, then the row offset table.
constexpr uint32_t kRowCountAt = 0x0C;
constexpr uint32_t kRowTableAt = 0x0E;
// Flags of a row offset table entry; the low 13 bits are the offset.
constexpr uint16_t kRowDeleted = 0x8000;
constexpr uint16_t kRowLookup = 0x4000;
constexpr uint16_t kRowOffsetMask = 0x1FFF;
// A row pointer holds the row number in one byte, so no page has more.
constexpr uint32_t kMaxRowsPerPage = 256;
// A moved row that is moved again may leave a chain of redirects; a real one
// is short, and a longer one is a loop in a damaged file.
constexpr int kMaxRedirects = 8;
// Access allows 32 indexes to a table; a count far beyond is damage.
constexpr uint32_t kMaxIndexes = 256;

uint16_t Get16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
uint32_t Get24(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16; }
uint32_t Get32(const uint8_t* p) { return Get24(p) | uint32_t(p[3]) << 24; }
uint64_t Get64(const uint8_t* p) { return uint64_t(Get32(p)) | uint64_t(Get32(p + 4)) << 32; }

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
struct File {
    int fd = -1;
    explicit File(int f) : fd(f) {}
    ~File()
    {
        if (fd >= 0)
            ::close(fd);
    }
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    uint32_t PageCount() const
    {
        struct stat st;
        if (fstat(fd, &st) != 0 || st.st_size < 0)
            return 0;
        uint64_t n = uint64_t(st.st_size) / kPageSize;
        return n > 0xFFFFFF ? 0xFFFFFF : uint32_t(n);  // a row pointer holds 3 bytes of page number
    }

    bool ReadPage(uint32_t page, uint8_t* buf, std::string* error) const
    {
        off_t at = off_t(page) * kPageSize;
        size_t got = 0;
        while (got < kPageSize) {
            ssize_t n = pread(fd, buf + got, kPageSize - got, at + off_t(got));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0) {
                *error = n < 0 ? "page " + std::to_string(page) + " cannot be read: " + std::strerror(errno)
                               : "page " + std::to_string(page) + " lies beyond the end of the file";
                return false;
            }
            got += size_t(n);
        }
        return true;
    }
};

bool IsDataPageOf(const uint8_t* pg, uint32_t tdefPage) { return pg[0] == 0x01 && Get32(pg + 4) == tdefPage; }

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
// runs come first.
void DecodeText(const uint8_t* p, size_t n, std::u16string* out)
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
                break;
            }
        }
        return;
    }
    out->resize(n / 2);
    for (size_t i = 0; i < n / 2; ++i)
        (*out)[i] = char16_t(Get16(p + 2 * i));
}

// The header from 0x18 on is RC4-encoded with a fixed key. In it, a Jet 4
// database password is 40 bytes at 0x42, masked with the whole days of the
// creation date (a double at 0x72) repeated; no password leaves them zero.
bool HasPassword(const uint8_t* page0)
{
    constexpr size_t kAt = 0x18, kLen = 128;
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
    double created;
    uint64_t bits = Get64(h + 0x72 - kAt);
    std::memcpy(&created, &bits, 8);
    // Whole days as a 32-bit integer, saturating (and 0 for a NaN) as the
    // format's own tools compute it.
    int32_t days = created != created ? 0
                   : created >= 2147483647.0 ? INT32_MAX
                   : created <= -2147483648.0 ? INT32_MIN
                                              : int32_t(created);
    const uint8_t mask[4] = {uint8_t(days), uint8_t(days >> 8), uint8_t(days >> 16), uint8_t(uint32_t(days) >> 24)};
    for (size_t i = 0; i < 40; ++i)
        if ((h[0x42 - kAt + i] ^ mask[i % 4]) != 0)
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

    // Resolves row `row` of a data page of the table held in `pg`: none when
    // its entry is deleted, else its current place, following redirects.
    Found Resolve(const uint8_t* pg, uint32_t pageNo, uint32_t row, Place* place, std::string* error)
    {
        uint32_t start = 0, end = 0;
        uint16_t flags = 0;
        if (!RowSpan(pg, row, &start, &end, &flags)) {
            if (row < Get16(pg + kRowCountAt) && row < kMaxRowsPerPage && (flags & kRowDeleted))
                return Found::None;
            *error = "row " + std::to_string(row) + " of page " + std::to_string(pageNo) + " is damaged";
            return Found::Error;
        }
        if (flags & kRowDeleted)
            return Found::None;
        for (int hop = 0; flags & kRowLookup; ++hop) {
            if (hop == kMaxRedirects || end - start < 4) {
                *error = "a moved row of page " + std::to_string(pageNo) + " is damaged: its redirects do not end";
                return Found::Error;
            }
            uint32_t ptr = Get32(pg + start);
            uint32_t target = ptr >> 8;
            if (target == 0 || target >= m_file->PageCount() || !m_file->ReadPage(target, m_moved, error) ||
                !IsDataPageOf(m_moved, m_table.tdefPage)) {
                *error = "a moved row of page " + std::to_string(pageNo) + " is damaged: it points outside its table";
                return Found::Error;
            }
            // The row's new place is flagged deleted so that scans skip it;
            // only the pointer counts here.
            if (!RowSpan(m_moved, ptr & 0xFF, &start, &end, &flags)) {
                *error = "a moved row of page " + std::to_string(pageNo) + " is damaged";
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

    bool Crack(const Place& place, Layout* l, std::string* error) const
    {
        l->row = place.page + place.start;
        l->len = place.end - place.start;
        if (l->len < 2)
            return Damaged(place, error);
        l->columns = Get16(l->row);
        uint32_t mask = (l->columns + 7) / 8;
        if (2 + mask > l->len)
            return Damaged(place, error);
        l->nullMask = l->row + l->len - mask;
        l->maskSize = mask;
        l->varCount = 0;
        l->fixedEnd = l->varLimit = l->len - mask;
        if (m_table.hasVar) {
            if (2 + mask + 2 > l->len)
                return Damaged(place, error);
            l->varCount = Get16(l->row + l->len - mask - 2);
            // The offsets are stored backwards from before the count, one
            // more than there are columns: the last is the end of the data.
            if (uint64_t(2) + mask + 2 + 2 * (uint64_t(l->varCount) + 1) > l->len)
                return Damaged(place, error);
            l->varLimit = l->len - mask - 2 - 2 * (l->varCount + 1);
            l->fixedEnd = VarOffset(*l, 0);
            if (l->fixedEnd < 2 || l->fixedEnd > l->varLimit)
                return Damaged(place, error);
        }
        return true;
    }

    static uint32_t VarOffset(const Layout& l, uint32_t i)
    {
        return Get16(l.row + l.len - l.maskSize - 4 - 2 * i);
    }

    // The bytes of one column of a cracked row: false for a column the row
    // does not hold (added after the row was written), which reads as Null.
    bool Field(const Layout& l, const Col& c, const uint8_t** p, uint32_t* n, bool* damaged) const
    {
        *damaged = false;
        if (uint32_t(c.colNum) >= l.columns)
            return false;
        if (c.info.fixed) {
            uint64_t at = 2 + uint64_t(c.fixedOffset);
            if (at + uint64_t(c.info.size) > l.fixedEnd)
                return false;
            *p = l.row + at;
            *n = uint32_t(c.info.size);
            return true;
        }
        if (uint32_t(c.varNum) >= l.varCount)
            return false;
        uint32_t a = VarOffset(l, uint32_t(c.varNum)), b = VarOffset(l, uint32_t(c.varNum) + 1);
        if (a < l.fixedEnd || a > b || b > l.varLimit) {
            *damaged = true;
            return false;
        }
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
            bool damaged = false;
            if (!notNull || !Field(l, c, &p, &n, &damaged)) {
                if (damaged)
                    return Damaged(place, error);
                v.kind = Kind::Null;
                continue;
            }
            if (!DecodeValue(c, p, n, &v, error))
                return false;
        }
        return true;
    }

private:
    bool Damaged(const Place& place, std::string* error) const
    {
        *error = "a row of table " + m_table.name + " on page " + std::to_string(place.pageNo) + " is damaged";
        return false;
    }

    bool DecodeValue(const Col& c, const uint8_t* p, uint32_t n, Value* v, std::string* error)
    {
        switch (c.info.type) {
        case MDB_BYTE:
            if (n < 1)
                break;
            v->kind = Kind::Int;
            v->integer = p[0];
            return true;
        case MDB_INT:
            if (n < 2)
                break;
            v->kind = Kind::Int;
            v->integer = int16_t(Get16(p));
            return true;
        case MDB_LONGINT:
            if (n < 4)
                break;
            v->kind = Kind::Int;
            v->integer = int32_t(Get32(p));
            return true;
        case MDB_MONEY:
            if (n < 8)
                break;
            v->kind = Kind::Money;
            v->integer = int64_t(Get64(p));
            return true;
        case MDB_FLOAT: {
            if (n < 4)
                break;
            uint32_t bits = Get32(p);
            float f;
            std::memcpy(&f, &bits, 4);
            v->kind = Kind::Real;
            v->real = f;
            return true;
        }
        case MDB_DOUBLE:
        case MDB_DATETIME: {
            if (n < 8)
                break;
            uint64_t bits = Get64(p);
            std::memcpy(&v->real, &bits, 8);
            v->kind = c.info.type == MDB_DATETIME ? Kind::Date : Kind::Real;
            return true;
        }
        case MDB_TEXT:
            v->kind = Kind::Text;
            DecodeText(p, n, &v->text);
            return true;
        case MDB_BINARY:
            v->kind = Kind::Binary;
            v->bytes.assign(reinterpret_cast<const char*>(p), n);
            return true;
        case MDB_MEMO:
            if (!ReadLong(p, n, &m_long, error))
                return false;
            v->kind = Kind::Text;
            DecodeText(reinterpret_cast<const uint8_t*>(m_long.data()), m_long.size(), &v->text);
            return true;
        case MDB_OLE:
            if (!ReadLong(p, n, &v->bytes, error))
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
    bool ReadLong(const uint8_t* p, uint32_t n, std::string* out, std::string* error)
    {
        out->clear();
        if (n == 0)
            return true;
        if (n < 12)
            return BadLong(error);
        uint32_t len = Get24(p);
        uint8_t flags = p[3];
        uint32_t ptr = Get32(p + 4);
        if (flags == 0x80) {
            if (len > n - 12)
                return BadLong(error);
            out->assign(reinterpret_cast<const char*>(p + 12), len);
            return true;
        }
        if (flags == 0x40) {
            uint32_t start, end;
            if (!LongRow(ptr, &start, &end, error) || end - start < len)
                return BadLong(error);
            out->assign(reinterpret_cast<const char*>(m_lval + start), len);
            return true;
        }
        if (flags != 0)
            return BadLong(error);
        // Each row of a real chain is visited once; a damaged file may loop.
        m_visited.clear();
        uint32_t left = len;
        while (left > 0) {
            uint32_t start, end;
            if (ptr == 0 || !m_visited.insert(ptr).second || !LongRow(ptr, &start, &end, error) || end - start < 4)
                return BadLong(error);
            uint32_t take = std::min(left, end - start - 4);
            out->append(reinterpret_cast<const char*>(m_lval + start + 4), take);
            left -= take;
            ptr = Get32(m_lval + start);
        }
        return true;
    }

    bool LongRow(uint32_t ptr, uint32_t* start, uint32_t* end, std::string* error)
    {
        uint32_t page = ptr >> 8;
        uint16_t flags;
        return page != 0 && page < m_file->PageCount() && m_file->ReadPage(page, m_lval, error) &&
               m_lval[0] == 0x01 && RowSpan(m_lval, ptr & 0xFF, start, end, &flags);
    }

    bool BadLong(std::string* error) const
    {
        *error = "a memo or OLE value of table " + m_table.name + " is damaged";
        return false;
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
        if (m_done)
            return false;
        const TableDef& t = m_reader->Table();
        for (;;) {
            if (!m_loaded || m_row >= m_rowCount) {
                if (m_pageIndex >= t.pages.size()) {
                    m_done = true;
                    return false;
                }
                m_pageNo = t.pages[m_pageIndex++];
                if (!m_reader->Source().ReadPage(m_pageNo, m_reader->m_page, error))
                    return false;
                m_loaded = true;
                m_row = 0;
                // A page the usage map still lists but that now belongs to
                // nothing or to another object holds none of the rows.
                m_rowCount = IsDataPageOf(m_reader->m_page, t.tdefPage)
                                 ? std::min<uint32_t>(Get16(m_reader->m_page + kRowCountAt), kMaxRowsPerPage)
                                 : 0;
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
            return true;
        }
    }

    bool Done() const override { return m_done; }
    const std::vector<Value>& Row() const override { return m_values; }
    RowKey Key() const override { return m_key; }

private:
    std::unique_ptr<RowReader> m_reader;
    std::vector<int> m_chosen;
    std::vector<Value> m_values;
    size_t m_pageIndex = 0;
    uint32_t m_pageNo = 0;
    uint32_t m_row = 0;
    uint32_t m_rowCount = 0;
    bool m_loaded = false;
    bool m_done = false;
    RowKey m_key = -1;
};

// A usage map: type 0 holds a first page and a bitmap of the pages after it;
// type 1 holds the numbers of map pages, each a bitmap of its share of the
// file's pages.
bool DecodeUsageMap(const File& file, const uint8_t* map, size_t size, uint32_t pageCount,
                    std::vector<uint32_t>* pages, std::string* error)
{
    pages->clear();
    if (size < 1)
        return false;
    auto add = [&](uint64_t page) {
        if (page > 0 && page < pageCount && (pages->empty() || page > pages->back()))
            pages->push_back(uint32_t(page));
    };
    if (map[0] == 0) {
        if (size < 5)
            return false;
        uint64_t first = Get32(map + 1);
        for (size_t i = 0; i < (size - 5) * 8 && first + i < pageCount; ++i)
            if (map[5 + i / 8] >> (i % 8) & 1)
                add(first + i);
        return true;
    }
    if (map[0] != 1)
        return false;
    const uint64_t perPage = uint64_t(kPageSize - 4) * 8;
    uint8_t buf[kPageSize];
    for (size_t m = 0; (m + 1) * 4 + 1 <= size; ++m) {
        uint32_t mapPage = Get32(map + 1 + 4 * m);
        if (mapPage == 0)
            continue;
        if (m * perPage >= pageCount)
            break;
        if (mapPage >= pageCount || !file.ReadPage(mapPage, buf, error) || buf[0] != 0x05)
            return false;
        for (uint64_t i = 0; i < perPage && m * perPage + i < pageCount; ++i)
            if (buf[4 + i / 8] >> (i % 8) & 1)
                add(m * perPage + i);
    }
    return true;
}

}  // namespace

struct Database::Impl {
    std::string path;
    MdbHandle* mdb = nullptr;
    std::shared_ptr<File> file;

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
    // page and the pages it continues on.
    bool DefinitionBytes(uint32_t tdef, std::string* bytes, std::string* error) const
    {
        bytes->clear();
        const uint32_t pageCount = file->PageCount();
        uint8_t page[kPageSize];
        for (uint32_t pg = tdef, n = 0; pg != 0; ++n) {
            if (n >= kMaxDefinitionPages || pg >= pageCount || !file->ReadPage(pg, page, error) || page[0] != 0x02)
                return false;
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
        uint32_t tdef = DefinitionPage(table);
        if (!tdef) {
            *error = "the database has no table " + table;
            return false;
        }
        std::string bytes;
        const bool known = DefinitionBytes(tdef, &bytes, error);
        auto cached = cache.find(tdef);
        if (!fresh && known && cached != cache.end() && cached->second.bytes == bytes) {
            *def = cached->second.def;
            return true;
        }
        if (!LoadAt(table, tdef, def, error))
            return false;
        if (known)
            cache[tdef] = {std::move(bytes), *def};
        return true;
    }

    bool LoadAt(const std::string& table, uint32_t tdef, TableDef* def, std::string* error)
    {
        uint32_t pageCount = file->PageCount();
        uint8_t page[kPageSize];
        // libmdb trusts the definition's page number and type; check them first.
        if (tdef >= pageCount || !file->ReadPage(tdef, page, error) || page[0] != 0x02 || !Plausible(page)) {
            *error = "the definition of table " + table + " cannot be read";
            return false;
        }
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
        if (!td) {
            *error = "the definition of table " + table + " cannot be read";
            return false;
        }
        bool ok = mdb_read_columns(td) != nullptr && td->columns && td->columns->len == td->num_cols;
        if (ok)
            mdb_read_indices(td);
        def->name = table;
        def->tdefPage = tdef;
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
        if (ok && !DecodeUsageMap(*file, td->usage_map, td->usage_map ? td->map_sz : 0, pageCount, &def->pages,
                                  error))
            ok = false;
        mdb_free_tabledef(td);
        if (!ok)
            *error = "the definition of table " + table + " cannot be read";
        return ok;
    }

    // The catalogue is the table MSysObjects, defined on page 2: its rows of
    // type 1 are the tables, and the low 3 bytes of a row's Id are the page
    // of the table's definition.
    bool ReadCatalogue()
    {
        TableDef def;
        std::string error;
        if (!LoadAt("MSysObjects", 2, &def, &error))
            return false;
        const Col* id = def.Find("Id");
        const Col* name = def.Find("Name");
        const Col* type = def.Find("Type");
        if (!id || !name || !type)
            return false;
        std::vector<int> chosen = {int(id - def.cols.data()), int(name - def.cols.data()), int(type - def.cols.data())};
        TableCursor cur(std::make_unique<RowReader>(file, std::move(def)), std::move(chosen));
        tables.clear();
        while (cur.Next(&error)) {
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
    int fd = ::open(hostPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        *error = "cannot open " + hostPath + ": " + std::strerror(errno);
        return false;
    }
    auto file = std::make_shared<File>(fd);
    uint8_t head[kPageSize];
    std::string ignored;
    if (file->PageCount() == 0 || !file->ReadPage(0, head, &ignored)) {
        *error = "the file is too short to be a Jet database";
        return false;
    }
    if (Get32(head) != 0x100 || std::memcmp(head + 4, "Standard Jet DB", 16) != 0) {
        *error = std::memcmp(head + 4, "Standard ACE DB", 16) == 0
                     ? "the file is a newer Access database (.accdb format), not Jet 4"
                     : "the file is not a Jet database";
        return false;
    }
    if (head[0x14] != MDB_VER_JET4) {
        *error = head[0x14] == MDB_VER_JET3 ? "the file is a Jet 3 database (Access 97), not Jet 4"
                                            : "the file is not a Jet 4 database";
        return false;
    }
    // The catalogue's definition is on page 2.
    if (file->PageCount() < 3) {
        *error = "the file is truncated: it ends before the catalogue";
        return false;
    }
    MdbHandle* mdb = mdb_open(hostPath.c_str(), MDB_NOFLAGS);
    if (!mdb) {
        *error = "the file cannot be read as a Jet 4 database";
        return false;
    }
    if (!mdb->f || mdb->f->jet_version != MDB_VER_JET4 || !mdb->fmt || mdb->fmt->pg_size != kPageSize) {
        mdb_close(mdb);
        *error = "the file is not a Jet 4 database";
        return false;
    }
    if (mdb->f->db_key != 0) {
        mdb_close(mdb);
        *error = "the database is encrypted (its pages are encoded); decrypt it in the desktop program first";
        return false;
    }
    if (HasPassword(head)) {
        mdb_close(mdb);
        *error = "the database is protected by a password; remove the password in the desktop program first";
        return false;
    }
    m_impl->mdb = mdb;
    m_impl->file = std::move(file);
    if (!m_impl->ReadCatalogue()) {
        Close();
        *error = "the database's catalogue cannot be read";
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
    bool damaged = false;
    if (!reader->Field(l, c, &p, &n, &damaged) || n != 4) {
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
