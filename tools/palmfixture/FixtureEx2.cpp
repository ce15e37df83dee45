#include "palmfixture/FixtureEx2.h"

#include "palm/PalmDateEx2.h"
#include "palm/PalmTodoEx2.h"
#include "platform/Codepage.h"
#include "platform/WinPath.h"

#include <sqlite3.h>

#include <cstdio>
#include <filesystem>

namespace palmfix {

namespace {

struct Db {
    sqlite3* db = nullptr;
    ~Db()
    {
        if (db)
            sqlite3_close_v2(db);
    }
};

bool Run(sqlite3* db, const std::string& sql, std::string* error)
{
    char* message = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message) != SQLITE_OK) {
        if (error)
            *error = std::string(message ? message : "error") + " in " + sql;
        sqlite3_free(message);
        return false;
    }
    return true;
}

// Declared types as the desktop databases have them: Yes/No columns are BIT,
// the Category ID is text, times and numbers are integers.
const char* DeclaredType(const PmColumnDef& column, int32_t index, const PmTableDef& table)
{
    if (column.offset == table.categoryOffset)
        return "TEXT";
    switch (column.kind) {
    case PmColKind::Int:
    case PmColKind::IntText:
        return "INTEGER";
    case PmColKind::Bool:
        return "BIT";
    case PmColKind::Text:
        return "TEXT";
    }
    return "TEXT";
}

bool WriteDatabase(const std::string& winPath, const PmTableDef& table, bool mediaColumns,
                   const std::vector<Ex2Category>& categories, const std::vector<const void*>& records,
                   std::string* error)
{
    std::string host = plat::ToHostPath(winPath);
    std::error_code ec;
    std::filesystem::path p(host);
    if (p.has_parent_path())
        std::filesystem::create_directories(p.parent_path(), ec);
    std::filesystem::remove(p, ec);
    Db d;
    if (sqlite3_open_v2(host.c_str(), &d.db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK) {
        if (error)
            *error = "cannot create " + host;
        return false;
    }
    std::string create = "CREATE TABLE Category ([ID] INTEGER, [Name] TEXT, [Status] INTEGER, [Color] INTEGER);";
    create += "CREATE TABLE Main (";
    std::string insert = "INSERT INTO Main (";
    std::string marks;
    for (int32_t i = 0; i < table.count; ++i) {
        const PmColumnDef& c = table.columns[i];
        create += std::string(i ? ", " : "") + "[" + c.name + "] " + DeclaredType(c, i, table);
        insert += std::string(i ? ", " : "") + "[" + c.name + "]";
        marks += i ? ", ?" : "?";
    }
    if (mediaColumns)
        create += ", [Photo] BLOB, [VoiceTag] BLOB, [Ringtone] BLOB";
    create += ", [Blob] BLOB);";
    insert += ") VALUES (" + marks + ")";
    if (!Run(d.db, create, error) || !Run(d.db, "BEGIN", error))
        return false;

    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(d.db, "INSERT INTO Category VALUES (?, ?, ?, ?)", -1, &st, nullptr);
    for (const Ex2Category& c : categories) {
        std::u16string name = plat::Utf8ToWide(c.name);
        sqlite3_bind_int(st, 1, c.id);
        sqlite3_bind_text16(st, 2, name.data(), int(name.size() * 2), SQLITE_TRANSIENT);
        sqlite3_bind_int(st, 3, c.status);
        sqlite3_bind_int(st, 4, c.color);
        if (sqlite3_step(st) != SQLITE_DONE) {
            if (error)
                *error = sqlite3_errmsg(d.db);
            sqlite3_finalize(st);
            return false;
        }
        sqlite3_reset(st);
    }
    sqlite3_finalize(st);

    if (sqlite3_prepare_v2(d.db, insert.c_str(), -1, &st, nullptr) != SQLITE_OK) {
        if (error)
            *error = sqlite3_errmsg(d.db);
        return false;
    }
    for (const void* r : records) {
        void* rec = const_cast<void*>(r);
        for (int32_t i = 0; i < table.count; ++i) {
            const PmColumnDef& c = table.columns[i];
            int32_t v = 0;
            switch (c.kind) {
            case PmColKind::Int:
            case PmColKind::IntText:
                v = PmIntAt(rec, c.offset);
                if (c.offset == table.categoryOffset) {
                    std::string text = std::to_string(v);
                    sqlite3_bind_text(st, i + 1, text.c_str(), -1, SQLITE_TRANSIENT);
                } else {
                    sqlite3_bind_int(st, i + 1, v);
                }
                break;
            case PmColKind::Bool:
                sqlite3_bind_int(st, i + 1, PmByteAt(rec, c.offset));
                break;
            case PmColKind::Text: {
                std::u16string text = plat::Utf8ToWide(c.text.get(rec));
                sqlite3_bind_text16(st, i + 1, text.data(), int(text.size() * 2), SQLITE_TRANSIENT);
                break;
            }
            }
        }
        if (sqlite3_step(st) != SQLITE_DONE) {
            if (error)
                *error = sqlite3_errmsg(d.db);
            sqlite3_finalize(st);
            return false;
        }
        sqlite3_reset(st);
    }
    sqlite3_finalize(st);
    return Run(d.db, "COMMIT", error);
}

template <typename R>
std::vector<const void*> Erase(const std::vector<const R*>& records)
{
    return std::vector<const void*>(records.begin(), records.end());
}

}  // namespace

std::string Ex2DatabasePath(const std::string& userFolder, int32_t kind)
{
    const char* sub = PmEx2DatabaseSubPath(kind);
    return sub[0] ? userFolder + sub : std::string();
}

bool WriteAddressMdb(const std::string& winPath, const std::vector<Ex2Category>& categories,
                     const std::vector<const PmAddrEx2Record*>& records, std::string* error)
{
    return WriteDatabase(winPath, PmAddrEx2Util::Table(), true, categories, Erase(records), error);
}

bool WriteMemoPadMdb(const std::string& winPath, const std::vector<Ex2Category>& categories,
                     const std::vector<const PmMemoEx2Record*>& records, std::string* error)
{
    return WriteDatabase(winPath, PmMemoEx2Util::Table(), false, categories, Erase(records), error);
}

bool WriteDateBookMdb(const std::string& winPath, const std::vector<Ex2Category>& categories,
                      const std::vector<const PmDateEx2Record*>& records, std::string* error)
{
    return WriteDatabase(winPath, PmDateEx2Util::Table(), false, categories, Erase(records), error);
}

bool WriteTodolistMdb(const std::string& winPath, const std::vector<Ex2Category>& categories,
                      const std::vector<const PmTodoEx2Record*>& records, std::string* error)
{
    return WriteDatabase(winPath, PmTodoEx2Util::Table(), false, categories, Erase(records), error);
}

bool Ex2Exec(const std::string& winPath, const std::string& sql, std::string* error)
{
    Db d;
    if (sqlite3_open_v2(plat::ToHostPath(winPath).c_str(), &d.db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        if (error)
            *error = "cannot open " + winPath;
        return false;
    }
    return Run(d.db, sql, error);
}

std::vector<std::vector<std::string>> Ex2DumpTable(const std::string& winPath, const std::string& table)
{
    std::vector<std::vector<std::string>> rows;
    Db d;
    if (sqlite3_open_v2(plat::ToHostPath(winPath).c_str(), &d.db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
        return rows;
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(d.db, ("SELECT * FROM " + table + " ORDER BY rowid").c_str(), -1, &st, nullptr) !=
        SQLITE_OK)
        return rows;
    while (sqlite3_step(st) == SQLITE_ROW) {
        std::vector<std::string> row;
        for (int i = 0; i < sqlite3_column_count(st); ++i) {
            switch (sqlite3_column_type(st, i)) {
            case SQLITE_NULL:
                row.push_back("null:");
                break;
            case SQLITE_INTEGER:
                row.push_back("int:" + std::to_string(sqlite3_column_int64(st, i)));
                break;
            case SQLITE_FLOAT:
                row.push_back("real:" + std::to_string(sqlite3_column_double(st, i)));
                break;
            case SQLITE_TEXT:
                row.push_back(std::string("text:") + reinterpret_cast<const char*>(sqlite3_column_text(st, i)));
                break;
            default: {
                std::string hex = "blob:";
                const unsigned char* b = static_cast<const unsigned char*>(sqlite3_column_blob(st, i));
                char pair[3];
                for (int k = 0; k < sqlite3_column_bytes(st, i); ++k) {
                    std::snprintf(pair, sizeof pair, "%02x", b[k]);
                    hex += pair;
                }
                row.push_back(hex);
            }
            }
        }
        rows.push_back(row);
    }
    sqlite3_finalize(st);
    return rows;
}

}  // namespace palmfix
