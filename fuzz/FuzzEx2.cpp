#include "FuzzEx2.h"

#include "palm/DmMain.h"

#include <sqlite3.h>
#include <unistd.h>

#include <cstdio>

namespace fuzz {

namespace {

// An UPDATE writes the whole row again and SQLite applies each column's
// affinity to the values it did not change as well: a number stored in a
// text column becomes its text, a numeric text in a number column its
// number. The file says the same thing after that; only files that SQLite
// did not write itself hold such values.
bool SameValue(const Ex2Cell& was, const Ex2Cell& now)
{
    if (was.typed == now.typed)
        return true;
    char a = was.typed[0], b = now.typed[0];
    bool number = a == 'I' || a == 'R', numberNow = b == 'I' || b == 'R';
    return (number && b == 'T' && now.text == was.text) || (a == 'T' && numberNow && now.text == was.text);
}

std::string Typed(sqlite3_stmt* st, int i)
{
    char buf[40];
    switch (sqlite3_column_type(st, i)) {
    case SQLITE_INTEGER:
        std::snprintf(buf, sizeof buf, "I%lld", static_cast<long long>(sqlite3_column_int64(st, i)));
        return buf;
    case SQLITE_FLOAT:
        std::snprintf(buf, sizeof buf, "R%.17g", sqlite3_column_double(st, i));
        return buf;
    case SQLITE_TEXT: {
        const unsigned char* t = sqlite3_column_text(st, i);
        return "T" + std::string(reinterpret_cast<const char*>(t), size_t(sqlite3_column_bytes(st, i)));
    }
    case SQLITE_BLOB: {
        const void* b = sqlite3_column_blob(st, i);
        return "B" + std::string(static_cast<const char*>(b), size_t(sqlite3_column_bytes(st, i)));
    }
    default:
        return "N";
    }
}

Ex2Cell Cell(sqlite3_stmt* st, int i)
{
    Ex2Cell cell;
    cell.typed = Typed(st, i);
    // Asked after the typed value: asking for text converts a number in place.
    const unsigned char* t = sqlite3_column_text(st, i);
    cell.text.assign(t ? reinterpret_cast<const char*>(t) : "", size_t(sqlite3_column_bytes(st, i)));
    return cell;
}

// A cell for a message: printable, cut.
std::string Shown(const Ex2Cell& value)
{
    const std::string& cell = value.typed;
    std::string out;
    for (unsigned char c : cell.substr(0, 60)) {
        char buf[8];
        std::snprintf(buf, sizeof buf, c >= 32 && c < 127 ? "%c" : "\\x%02x", c);
        out += buf;
    }
    return cell.size() > 60 ? out + "..." : out;
}

}  // namespace

std::string WriteEx2File(const std::string& name, const uint8_t* data, size_t size)
{
    TdmMain& module = DataModule();
    for (DbQuery* q : {&module.qryAddr, &module.qryDate, &module.qryTodo, &module.qryMemo})
        q->Close();
    for (DbConnection* c : {&module.connAddr, &module.connDate, &module.connTodo, &module.connMemo})
        c->Close();
    std::string path = Scratch() + name;
    for (const char* side : {"-journal", "-wal", "-shm"})
        ::unlink((path + side).c_str());
    return WriteScratchFile(name, data, size);
}

std::string WriteEx2File(const std::string& name, const std::string& data)
{
    return WriteEx2File(name, reinterpret_cast<const uint8_t*>(data.data()), data.size());
}

Ex2Rows Ex2Select(const std::string& hostPath, const std::string& sql)
{
    Ex2Rows out;
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(hostPath.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        sqlite3_close_v2(db);
        return out;
    }
    sqlite3_stmt* st = nullptr;
    std::string text = "SELECT " + sql;
    if (sqlite3_prepare_v2(db, text.c_str(), -1, &st, nullptr) == SQLITE_OK && st) {
        for (int i = 0; i < sqlite3_column_count(st); ++i)
            out.columns.push_back(sqlite3_column_name(st, i));
        int rc;
        while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
            std::vector<Ex2Cell> row;
            for (int i = 0; i < sqlite3_column_count(st); ++i)
                row.push_back(Cell(st, i));
            out.rows.push_back(std::move(row));
        }
        out.ok = rc == SQLITE_DONE;
    }
    sqlite3_finalize(st);
    sqlite3_close_v2(db);
    return out;
}

std::string Ex2ColumnList(const PmTableDef& table)
{
    std::string list;
    for (int32_t i = 0; i < table.count; ++i)
        list += std::string(i ? ", " : "") + "[" + table.columns[i].name + "]";
    return list;
}

void CheckEx2Deletion(const std::string& hostPath, const Ex2Rows& before, uint32_t record, bool reported,
                      const char* what)
{
    Ex2Rows after = Ex2Select(hostPath, "rowid, * FROM Main");
    if (!before.ok)
        return;  // a table SQLite cannot walk whole: nothing to compare with
    if (!after.ok || after.columns != before.columns || after.rows.size() != before.rows.size())
        Fail("a 6.x deletion changed the table's shape", what);
    if (record >= before.rows.size())
        Fail("a 6.x table has fewer rows than were loaded", what);
    int status = -1;
    for (size_t c = 0; c < before.columns.size(); ++c)
        if (before.columns[c] == "Status")
            status = int(c);
    if (status < 0)
        Fail("a loaded 6.x table has no Status column", what);
    for (size_t r = 0; r < before.rows.size(); ++r) {
        const std::vector<Ex2Cell>& was = before.rows[r];
        const std::vector<Ex2Cell>& now = after.rows[r];
        for (size_t c = 0; c < was.size(); ++c)
            if (int(c) != status && !SameValue(was[c], now[c]))
                Fail("a 6.x deletion changed a column other than Status",
                     what + (": " + before.columns[c]) + " " + Shown(was[c]) + " -> " + Shown(now[c]) + " in row " +
                         std::to_string(r) + ", deleting record " + std::to_string(record));
        if (was == now)
            continue;
        if (!reported)
            Fail("a 6.x deletion reported as failed changed the table", what);
        if (now[size_t(status)].typed != "I132")
            Fail("a 6.x deletion wrote another status than 0x84", what + (": " + Shown(now[size_t(status)])));
        if (r != record)
            Fail("a 6.x deletion changed another record",
                 what + (": row " + std::to_string(r) + ", deleting record " + std::to_string(record)));
    }
    if (reported && after.rows[record][size_t(status)].typed != "I132")
        Fail("a 6.x deletion reported as done left the row live", what);
}

}  // namespace fuzz
