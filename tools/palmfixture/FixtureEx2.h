// Palm Desktop 6.x databases for tests and the demo: SQLite files with the
// "Main" and "Category" tables of each application, filled from records.
#pragma once

#include "palm/PalmAddrEx2.h"
#include "palm/PalmMemoEx2.h"

#include <cstdint>
#include <string>
#include <vector>

struct PmDateEx2Record;
struct PmTodoEx2Record;

namespace palmfix {

struct Ex2Category {
    int32_t id = 0;
    std::string name;
    int32_t status = 0;
    int32_t color = 0;
};

/// The database of an application kind (1-4) below a user data folder
/// (which ends in a separator): "address\Address.mdb" and so on.
std::string Ex2DatabasePath(const std::string& userFolder, int32_t kind);

/// Writes a database file anew (its folder is made when missing). Texts,
/// the category names too, are UTF-8, as the 6.x records hold them, and
/// stored as Unicode text: a record field set with SetStored keeps a text
/// longer than its capacity in bytes (Cyrillic, CJK) whole, where Set would
/// cut it at N - 1 bytes. Category is stored as decimal text.
bool WriteAddressMdb(const std::string& winPath, const std::vector<Ex2Category>& categories,
                     const std::vector<const PmAddrEx2Record*>& records, std::string* error);
bool WriteMemoPadMdb(const std::string& winPath, const std::vector<Ex2Category>& categories,
                     const std::vector<const PmMemoEx2Record*>& records, std::string* error);
bool WriteDateBookMdb(const std::string& winPath, const std::vector<Ex2Category>& categories,
                      const std::vector<const PmDateEx2Record*>& records, std::string* error);
bool WriteTodolistMdb(const std::string& winPath, const std::vector<Ex2Category>& categories,
                      const std::vector<const PmTodoEx2Record*>& records, std::string* error);

/// Runs SQL on a database file (tests shape rows the writers do not make).
bool Ex2Exec(const std::string& winPath, const std::string& sql, std::string* error);

/// Every row of a table in storage order, each column as "type:value"
/// (binary values in hexadecimal), for comparing databases before and after.
std::vector<std::vector<std::string>> Ex2DumpTable(const std::string& winPath, const std::string& table);

}  // namespace palmfix
