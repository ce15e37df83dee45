// A Jet 4 database of any bytes, opened with jet::Database: every known
// table's columns walked, some rows read again by their keys and the Long
// Integer slots located. A damaged file must be refused or read with
// reasons, never crash or hang, and what the reader reports must agree with
// itself: a row read by its key is the row the walk gave, and a slot's
// offsets lie in the file and hold the value reported. A walk that ends
// must have read what a second walk of the table's pages, made here from
// the bytes straight, finds: every row that a live row pointer of a page its
// usage map names stands for, and no fewer rows than its definition
// announces; a page passed over is a finding. The seeds are the small
// Types.mdb and the three small odd files whole, and the first pages of the
// other fixtures.
#include "FuzzSupport.h"

#include "jet/JetFile.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

uint32_t Get16(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8; }
uint32_t Get32(const uint8_t* p) { return Get16(p) | Get16(p + 2) << 16; }

// The second walk: the keys of the rows of a table, from its definition's
// usage map and the row pointers of the pages it names, read here without
// the reader. False when the bytes hold no such walk (a map or page out of
// the file or of another kind, a page that is neither the table's nor a
// long-value page): the reader must then have refused the walk.
bool WalkPages(const uint8_t* data, size_t size, uint32_t tdef, std::vector<jet::RowKey>* keys, uint32_t* announced)
{
    constexpr size_t kPage = 4096;
    const size_t pages = size / kPage;
    const auto page = [&](uint64_t n) { return n < pages ? data + n * kPage : nullptr; };
    const uint8_t* def = page(tdef);
    if (!def || def[0] != 0x02)
        return false;
    *announced = Get32(def + 0x10);
    const uint32_t map = Get32(def + 0x37);
    const uint8_t* mapPage = page(map >> 8);
    const uint32_t mapRow = map & 0xFF;
    if (!mapPage || mapPage[0] != 0x01 || mapRow >= Get16(mapPage + 0x0C) || 0x0E + 2 * (mapRow + 1) > kPage)
        return false;
    const uint32_t start = Get16(mapPage + 0x0E + 2 * mapRow) & 0x1FFF;
    const uint32_t end = mapRow == 0 ? kPage : Get16(mapPage + 0x0E + 2 * (mapRow - 1)) & 0x1FFF;
    if (start >= end || end > kPage)
        return false;
    const uint8_t* m = mapPage + start;
    const size_t len = end - start;
    std::vector<uint64_t> named;
    if (m[0] == 0 && len >= 5) {
        for (size_t i = 0; i < (len - 5) * 8; ++i)
            if (m[5 + i / 8] >> (i % 8) & 1)
                named.push_back(Get32(m + 1) + uint64_t(i));
    } else if (m[0] == 1) {
        for (size_t k = 0; 1 + 4 * (k + 1) <= len; ++k) {
            const uint32_t at = Get32(m + 1 + 4 * k);
            if (at == 0)
                continue;
            const uint8_t* bits = page(at);
            if (!bits || bits[0] != 0x05)
                return false;
            for (size_t i = 0; i < (kPage - 4) * 8; ++i)
                if (bits[4 + i / 8] >> (i % 8) & 1)
                    named.push_back(uint64_t(k) * (kPage - 4) * 8 + i);
        }
    } else {
        return false;
    }
    keys->clear();
    for (uint64_t n : named) {
        const uint8_t* p = n == 0 ? nullptr : page(n);
        if (!p || p[0] != 0x01)
            return false;
        if (std::memcmp(p + 4, "LVAL", 4) == 0)
            continue;
        if (Get32(p + 4) != tdef)
            return false;
        const uint32_t rows = std::min<uint32_t>(Get16(p + 0x0C), 256);
        for (uint32_t r = 0; r < rows && 0x0E + 2 * (r + 1) <= kPage; ++r)
            if (!(Get16(p + 0x0E + 2 * r) & 0x8000))
                keys->push_back(jet::RowKey(n) << 8 | r);
    }
    return true;
}

bool Same(const jet::Value& a, const jet::Value& b)
{
    return a.kind == b.kind && a.integer == b.integer && std::memcmp(&a.real, &b.real, sizeof a.real) == 0 &&
           a.text == b.text && a.bytes == b.bytes;
}

void CheckTable(jet::Database& db, const std::string& table, const uint8_t* data, size_t size)
{
    std::string error;
    std::vector<jet::ColumnInfo> cols;
    if (!db.Columns(table, &cols, &error)) {
        if (error.empty())
            fuzz::Fail("Columns refused without a reason", table);
        return;
    }
    std::vector<std::string> names;
    for (const auto& c : cols)
        names.push_back(c.name);
    auto cur = db.Walk(table, names, &error);
    if (!cur) {
        if (error.empty())
            fuzz::Fail("Walk refused without a reason", table);
        return;
    }
    std::vector<jet::RowKey> keys, walked;
    std::vector<std::vector<jet::Value>> rows;
    while (cur->Next(&error)) {
        if (cur->Row().size() != cols.size())
            fuzz::Fail("a row has not one value per column", table);
        walked.push_back(cur->Key());
        if (keys.size() < 4) {
            keys.push_back(cur->Key());
            rows.push_back(cur->Row());
        }
    }
    if (!cur->Done() && error.empty())
        fuzz::Fail("a walk stopped without a reason", table);
    if (!cur->Done() && db.LastRefusal().fault == jet::Fault::None)
        fuzz::Fail("a walk stopped without naming the file's fault", table + ": " + error);
    if (cur->Done()) {
        // A walk that ended read every row its pages hold, in their order.
        std::vector<jet::RowKey> expected;
        uint32_t announced = 0;
        if (!WalkPages(data, size, db.DefinitionPage(table), &expected, &announced))
            fuzz::Fail("a walk ended over pages that are not the table's", table);
        if (walked != expected)
            fuzz::Fail("a walk passed over rows its pages hold", table + ": " + std::to_string(walked.size()) +
                                                                  " rows walked, " + std::to_string(expected.size()) +
                                                                  " on the pages");
        if (walked.size() < announced)
            fuzz::Fail("a walk ended with fewer rows than announced", table);
    }

    for (size_t i = 0; i < keys.size(); ++i) {
        std::vector<jet::Value> row;
        if (!db.ReadRow(table, names, keys[i], &row, &error))
            fuzz::Fail("a walked row cannot be read by its key", table + ": " + error);
        for (size_t c = 0; c < cols.size(); ++c)
            if (!Same(row[c], rows[i][c]))
                fuzz::Fail("a row read by its key differs from the walk's", table + "." + names[c]);
        for (size_t c = 0; c < cols.size(); ++c) {
            // A damaged definition may repeat a name; names choose the first.
            if (std::find(names.begin(), names.begin() + long(c), names[c]) != names.begin() + long(c))
                continue;
            jet::IntSlot slot;
            if (!db.LocateInt32(table, names[c], keys[i], &slot, &error))
                continue;
            if (cols[c].type != 4 || cols[c].indexed)
                fuzz::Fail("a slot located in a column that is not a plain Long Integer", names[c]);
            if (slot.offset + 4 > size || slot.nullByte >= size)
                fuzz::Fail("a slot lies outside the file", names[c]);
            const uint8_t* p = data + slot.offset;
            int32_t stored = int32_t(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24);
            bool null = (data[slot.nullByte] & slot.nullBit) == 0;
            if (null != slot.null || (!null && stored != slot.value))
                fuzz::Fail("a slot does not hold what it reports", names[c]);
            const jet::Value& walked = rows[i][c];
            if (null != (walked.kind == jet::Kind::Null) || (!null && walked.integer != stored))
                fuzz::Fail("a slot differs from the walked value", names[c]);
        }
        // The next row number of the same page, whatever it holds.
        std::vector<jet::Value> other;
        if (!db.ReadRow(table, names, keys[i] + 1, &other, &error) && error.empty())
            fuzz::Fail("ReadRow refused without a reason", table);
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::Setup();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::string path = fuzz::WriteScratchFile("fuzz.mdb", data, size);
    jet::HasJetHeader(path);
    std::string lockPath;
    jet::LockFileHeld(path, &lockPath);
    jet::Database db;
    std::string error;
    if (!db.Open(path, &error)) {
        if (error.empty())
            fuzz::Fail("Open refused without a reason");
        if (db.LastRefusal().fault == jet::Fault::None)
            fuzz::Fail("Open refused without naming the file's fault", error);
        return 0;
    }
    for (const char* table : {"Main", "Category", "TypeProbe", "MSysObjects"})
        CheckTable(db, table, data, size);
    return 0;
}
