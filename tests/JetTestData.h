// The Jet 4 fixtures of tests/data/jet (written by an independent Jet writer)
// and what that writer reads back from them.
#pragma once

#include "jet/JetFile.h"

#include <cstdint>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace jettest {

inline std::string DataFolder()
{
    return std::string(TARNWICK_TEST_DATA) + "/jet/";
}

/// A table as the writer read it back: the column names, then the rows, each
/// cell unescaped ("\N" stays as it is: Null).
struct Table {
    std::vector<std::string> columns;
    std::vector<std::vector<std::string>> rows;
};

inline std::string Unescape(const std::string& cell)
{
    if (cell == "\\N")
        return cell;
    std::string out;
    out.reserve(cell.size());
    for (size_t i = 0; i < cell.size(); ++i) {
        if (cell[i] == '\\' && i + 1 < cell.size()) {
            const char c = cell[++i];
            out += c == 't' ? '\t' : c == 'n' ? '\n' : c == 'r' ? '\r' : c;
        } else {
            out += cell[i];
        }
    }
    return out;
}

/// expected/<file>.<table>.tsv; an empty table when it cannot be read.
inline Table Expected(const std::string& file, const std::string& table)
{
    Table t;
    std::ifstream in(DataFolder() + "expected/" + file + "." + table + ".tsv", std::ios::binary);
    std::string line;
    bool header = true;
    while (std::getline(in, line)) {
        std::vector<std::string> cells;
        size_t start = 0;
        for (;;) {
            const size_t tab = line.find('\t', start);
            cells.push_back(Unescape(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start)));
            if (tab == std::string::npos)
                break;
            start = tab + 1;
        }
        if (header)
            t.columns = std::move(cells);
        else
            t.rows.push_back(std::move(cells));
        header = false;
    }
    return t;
}

inline std::string ReadAll(const std::string& hostPath)
{
    std::ifstream in(hostPath, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

inline bool WriteAll(const std::string& hostPath, const std::string& bytes)
{
    std::ofstream out(hostPath, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
    return bool(out);
}

/// Copies a fixture (a name under tests/data/jet, "odd/..." included) to `to`.
inline bool CopyFixture(const std::string& name, const std::string& to)
{
    const std::string bytes = ReadAll(DataFolder() + name);
    return !bytes.empty() && WriteAll(to, bytes);
}

// ---------------------------------------------------------------- damage

// What tests that damage a Jet 4 file need to find in its bytes, read here
// straight from the format rather than through the reader under test.

constexpr size_t kPage = 4096;

/// A little-endian field of `bytes` bytes at a file offset.
inline uint32_t Get(const std::string& b, size_t at, int bytes)
{
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = v << 8 | uint8_t(b[at + size_t(i)]);
    return v;
}

inline void Put(std::string* b, size_t at, uint32_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        (*b)[at + size_t(i)] = char(v >> (8 * i));
}

/// The first page of the definition of the table that owns a data page.
inline uint32_t OwnerOf(const std::string& b, uint32_t page)
{
    return Get(b, page * kPage + 4, 4);
}

/// The first page of a table's definition: the owner of the page its first
/// row is on (the table must have a row); 0 when the file cannot be read.
inline uint32_t DefinitionPage(const std::string& hostPath, const std::string& table)
{
    jet::Database db;
    std::string error;
    std::unique_ptr<jet::Cursor> cursor = db.Open(hostPath, &error) ? db.Walk(table, {}, &error) : nullptr;
    if (!cursor || !cursor->Next(&error))
        return 0;
    return OwnerOf(ReadAll(hostPath), uint32_t(cursor->Key() >> 8));
}

/// Where a row of a data page lies: [start, end) as file offsets.
inline void RowBounds(const std::string& b, uint32_t page, uint32_t row, size_t* start, size_t* end)
{
    const size_t at = page * kPage;
    *start = at + (Get(b, at + 0x0E + 2 * row, 2) & 0x1FFF);
    *end = at + (row == 0 ? kPage : Get(b, at + 0x0E + 2 * (row - 1), 2) & 0x1FFF);
}

/// The file offsets of a table definition's 25-byte column entries, by
/// column name (the names may go on to the definition's next pages).
inline std::map<std::string, size_t> ColumnEntries(const std::string& b, uint32_t tdef)
{
    std::map<std::string, size_t> out;
    const size_t at = tdef * kPage;
    const uint32_t columns = Get(b, at + 0x2D, 2), realIndexes = Get(b, at + 0x33, 4);
    const size_t first = 0x3F + 12 * size_t(realIndexes);
    // The definition as one run of bytes: its first page whole, the pages
    // it goes on to without their 8-byte headers.
    std::string def = b.substr(at, kPage);
    for (uint32_t next = Get(b, at + 4, 4); next != 0; next = Get(b, next * kPage + 4, 4))
        def += b.substr(next * kPage + 8, kPage - 8);
    size_t name = first + 25 * size_t(columns);
    for (uint32_t i = 0; i < columns && first + 25 * (i + 1) <= kPage; ++i) {
        const uint32_t len = Get(def, name, 2);
        std::string ascii;
        for (uint32_t k = 0; k + 1 < len; k += 2)
            ascii += def[name + 2 + k];
        out[ascii] = at + first + 25 * size_t(i);
        name += 2 + len;
    }
    return out;
}

/// Offsets inside a Jet 4 column entry.
constexpr size_t kColumnType = 0, kColumnNumber = 5, kColumnVarNumber = 7, kColumnFlags = 15,
                 kColumnFixedOffset = 21, kColumnSize = 23;
/// Offsets inside a table definition's first page.
constexpr size_t kDefinitionRows = 0x10, kDefinitionUsageMap = 0x37;

}  // namespace jettest
