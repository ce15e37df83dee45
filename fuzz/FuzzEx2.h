// What the two 6.x database targets share: an independent look at a
// database through SQLite itself, and the check of a load and of deletions
// written back through a 6.x utility against it.
//
// A load that says it worked must have read every row its statement gives
// (a walk that SQLite ends with an error is a failed load, not a short
// one). A deletion written back may change nothing but the Status of the
// deleted record's row, to 0x84, and must say so truthfully: when it reports
// success the row is deleted, when it reports failure nothing changed.
#pragma once

#include "FuzzSupport.h"

#include "palm/PalmCommEx2.h"

#include <cstdint>
#include <string>
#include <vector>

namespace fuzz {

/// One cell as SQLite gives it: its storage class and value ("I5", "Tabc",
/// "R0.5", "Bxyz", "N"), and the value as text.
struct Ex2Cell {
    std::string typed;
    std::string text;
    bool operator==(const Ex2Cell& other) const { return typed == other.typed; }
};

/// The rows of a table as SQLite gives them; `ok` is false when the
/// statement could not be run to its end.
struct Ex2Rows {
    bool ok = false;
    std::vector<std::string> columns;
    std::vector<std::vector<Ex2Cell>> rows;
};

/// "SELECT <sql>" on the database at a host path (read only), walked to the end.
Ex2Rows Ex2Select(const std::string& hostPath, const std::string& sql);

/// Writes a database file to the scratch folder, after closing the data
/// module's connections and removing what SQLite may have left beside an
/// earlier file of that name (journal, write-ahead log), so that nothing of
/// one input reaches the next.
std::string WriteEx2File(const std::string& name, const uint8_t* data, size_t size);
std::string WriteEx2File(const std::string& name, const std::string& data);

/// The columns the utility reads, as its own SELECT names them.
std::string Ex2ColumnList(const PmTableDef& table);

/// Loads the database through the utility, checks the load against SQLite's
/// own walk, and writes back a deletion of each record whose bit is set in
/// `deletions` (records 0 to 7), checking the table after each.
template <typename Util>
void CheckEx2Database(const std::string& hostPath, uint8_t deletions, const char* what);

/// The check of one deletion (templates call it).
void CheckEx2Deletion(const std::string& hostPath, const Ex2Rows& before, uint32_t record, bool reported,
                      const char* what);

template <typename Util>
void CheckEx2Database(const std::string& hostPath, uint8_t deletions, const char* what)
{
    const PmTableDef& table = Util::Table();
    Ex2Rows walk = Ex2Select(hostPath, Ex2ColumnList(table) + " FROM Main");
    Util util;
    if (!util.LoadFile(hostPath.c_str()))
        return;
    uint32_t count = util.DataMgr()->Count();
    if (!walk.ok)
        Fail("a 6.x load that SQLite could not finish reported success", what);
    if (walk.rows.size() != count)
        Fail("a 6.x load lost or gained rows", what);
    for (uint32_t i = 0; i < count && i < 8; ++i) {
        if (!(deletions & (1u << i)))
            continue;
        Ex2Rows before = Ex2Select(hostPath, "rowid, * FROM Main");
        auto* record = util.DataMgr()->GetAt(i);
        record->Status = 0x84;
        // A deletion reaches the file with the save that commits it.
        bool written = util.WriteBackRecord(record);
        bool reported = util.Save() && written;
        CheckEx2Deletion(hostPath, before, i, reported, what);
    }
}

}  // namespace fuzz
