// A Jet 4 database of any bytes, opened with jet::Database: every known
// table's columns walked, some rows read again by their keys and the Long
// Integer slots located. A damaged file must be refused or read with
// reasons, never crash or hang, and what the reader reports must agree with
// itself: a row read by its key is the row the walk gave, and a slot's
// offsets lie in the file and hold the value reported. The seeds are the
// small Types.mdb and the first pages of the other fixtures.
#include "FuzzSupport.h"

#include "jet/JetFile.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

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
    std::vector<jet::RowKey> keys;
    std::vector<std::vector<jet::Value>> rows;
    while (cur->Next(&error)) {
        if (cur->Row().size() != cols.size())
            fuzz::Fail("a row has not one value per column", table);
        if (keys.size() < 4) {
            keys.push_back(cur->Key());
            rows.push_back(cur->Row());
        }
    }
    if (!cur->Done() && error.empty())
        fuzz::Fail("a walk stopped without a reason", table);

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
        return 0;
    }
    for (const char* table : {"Main", "Category", "TypeProbe", "MSysObjects"})
        CheckTable(db, table, data, size);
    return 0;
}
