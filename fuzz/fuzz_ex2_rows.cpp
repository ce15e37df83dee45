// The 6.x row reading and write-back (PmAddrEx2Util and the other three) on
// any cell values: the input fills the Main and Category tables of a
// well-formed database of the kind its first byte picks, cell by cell with
// any storage class (integers of any size, reals, texts of any bytes,
// blobs, nulls), and chooses the records to delete. The database is then
// loaded and the deletions written back through the utility, and both are
// checked against SQLite's own reading of the file (FuzzEx2.h). Calendar
// and task rows also take their repeat rule texts through the parser here.
#include "FuzzEx2.h"
#include "FuzzSupport.h"

#include "palm/PalmAddrEx2.h"
#include "palm/PalmDateEx2.h"
#include "palm/PalmMemoEx2.h"
#include "palm/PalmTodoEx2.h"
#include "palmfixture/FixtureEx2.h"
#include "platform/Codepage.h"

#include <sqlite3.h>

#include <string>

namespace {

const int kCodePages[] = {1252, 932, 1251, 950};
const char* const kFiles[] = {"Address.mdb", "DateBook.mdb", "Todolist.mdb", "MemoPad.mdb"};

// The empty database of each kind, written once; every input starts from a copy.
const std::string& EmptyDatabase(int kind)
{
    static std::string made[4];
    if (made[kind].empty()) {
        std::string path = fuzz::Scratch() + "empty-" + kFiles[kind];
        std::string error;
        bool ok = false;
        switch (kind) {
        case 0: ok = palmfix::WriteAddressMdb(path, {}, {}, &error); break;
        case 1: ok = palmfix::WriteDateBookMdb(path, {}, {}, &error); break;
        case 2: ok = palmfix::WriteTodolistMdb(path, {}, {}, &error); break;
        default: ok = palmfix::WriteMemoPadMdb(path, {}, {}, &error); break;
        }
        if (!ok)
            fuzz::Fail("cannot write an empty database", error);
        made[kind] = fuzz::ReadScratchFile(path);
    }
    return made[kind];
}

// Binds one cell: mostly of the column's declared kind, sometimes of another.
void BindCell(sqlite3_stmt* st, int index, const char* declared, fuzz::Bytes& in)
{
    uint8_t pick = in.U8();
    std::string type = declared ? declared : "";
    int kind = pick % 16;  // 0-11 the declared kind, then the others
    if (kind < 12)
        kind = type == "TEXT" ? 12 : (type == "BLOB" ? 15 : 13);
    switch (kind) {
    case 12: {  // text: bytes as stored (any UTF-8, valid or not), or UTF-16 units
        uint8_t length = in.U8();
        if (length & 0x80) {
            std::u16string wide;
            size_t n = length & 0x3F;
            for (size_t i = 0; i < n; ++i)
                wide += char16_t(in.U16());
            sqlite3_bind_text16(st, index, wide.data(), int(wide.size() * 2), SQLITE_TRANSIENT);
        } else {
            std::string text = in.Take(length & 0x3F);
            // Now and then a long text, the piece repeated past one of the
            // field widths (256, 2048, 8192, 40960 bytes).
            if ((length & 0x7C) == 0x7C && !text.empty()) {
                static const size_t kLong[] = {300, 2100, 8300, 41000};
                while (text.size() < kLong[length & 3])
                    text += text;
            }
            sqlite3_bind_text(st, index, text.data(), int(text.size()), SQLITE_TRANSIENT);
        }
        break;
    }
    case 13:  // integer: small, 32-bit or beyond
        if (pick & 0x10)
            sqlite3_bind_int64(st, index, int64_t(uint64_t(in.U32()) << 32 | in.U32()));
        else if (pick & 0x20)
            sqlite3_bind_int(st, index, int32_t(in.U32()));
        else
            sqlite3_bind_int(st, index, int(in.U8()) - 8);
        break;
    case 14:
        sqlite3_bind_double(st, index, double(int32_t(in.U32())) / 7.0);
        break;
    case 15: {
        std::string blob = in.Take(in.U8() % 16);
        sqlite3_bind_blob(st, index, blob.data(), int(blob.size()), SQLITE_TRANSIENT);
        break;
    }
    }
    // A pick of 0xFF makes the cell null instead.
    if (pick == 0xFF)
        sqlite3_bind_null(st, index);
}

void FillTable(sqlite3* db, const char* table, int rows, fuzz::Bytes& in)
{
    std::string sql = std::string("SELECT * FROM ") + table;
    sqlite3_stmt* probe = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &probe, nullptr) != SQLITE_OK)
        fuzz::Fail("cannot read the table layout", table);
    int columns = sqlite3_column_count(probe);
    std::vector<std::string> declared;
    for (int c = 0; c < columns; ++c) {
        const char* d = sqlite3_column_decltype(probe, c);
        declared.push_back(d ? d : "");
    }
    sqlite3_finalize(probe);
    std::string insert = std::string("INSERT INTO ") + table + " VALUES (";
    for (int c = 0; c < columns; ++c)
        insert += c ? ", ?" : "?";
    insert += ")";
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, insert.c_str(), -1, &st, nullptr) != SQLITE_OK)
        fuzz::Fail("cannot prepare an insert", table);
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < columns; ++c)
            BindCell(st, c + 1, declared[size_t(c)].c_str(), in);
        if (sqlite3_step(st) != SQLITE_DONE)
            fuzz::Fail("cannot insert a row", sqlite3_errmsg(db));
        sqlite3_reset(st);
        sqlite3_clear_bindings(st);
    }
    sqlite3_finalize(st);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzz::Setup();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::Bytes in(data, size);
    uint8_t head = in.U8();
    int kind = head & 3;
    plat::SetAnsiCodePage(kCodePages[(head >> 2) & 3]);
    uint8_t deletions = in.U8();
    int categories = in.U8() % 4;
    int rows = 1 + in.U8() % 6;

    std::string path = fuzz::WriteEx2File(kFiles[kind], EmptyDatabase(kind));
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK)
        fuzz::Fail("cannot open the database", path);
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    FillTable(db, "Category", categories, in);
    FillTable(db, "Main", rows, in);
    if (sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK)
        fuzz::Fail("cannot commit the rows", sqlite3_errmsg(db));
    sqlite3_close_v2(db);

    switch (kind) {
    case 0: fuzz::CheckEx2Database<PmAddrEx2Util>(path, deletions, "contacts"); break;
    case 1: fuzz::CheckEx2Database<PmDateEx2Util>(path, deletions, "calendar"); break;
    case 2: fuzz::CheckEx2Database<PmTodoEx2Util>(path, deletions, "tasks"); break;
    default: fuzz::CheckEx2Database<PmMemoEx2Util>(path, deletions, "memos"); break;
    }
    plat::SetAnsiCodePage(0);
    return 0;
}
