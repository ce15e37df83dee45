// Writers of the classic data files of Palm Desktop 4.1 and earlier, for
// tests, benchmarks and the demo installation. Each writes a new file at the
// given Windows path through the file's own utility.
#pragma once

#include "palm/PalmAddr.h"
#include "palm/PalmDate.h"
#include "palm/PalmMemo.h"
#include "palm/PalmTodo.h"

#include <string>
#include <vector>

namespace palmfix {

/// A category of a classic file (ids 1 and up; "Unfiled" is always there).
struct ClassicCategory {
    int32_t id = 0;
    std::string name;
};

/// The contents of one classic file: its categories, its header text (for
/// contacts the custom labels, each ended by a line feed) and its records in
/// file order. Records that the loaders hide (calendar items with a start or
/// an end of -1, tasks and memos with status bit 0x04 or 0x80) are written
/// like any other.
template <typename Rec>
struct ClassicContent {
    std::vector<ClassicCategory> categories;
    std::string header;
    std::vector<Rec> records;
};

/// Each writes (or replaces) the file at winPath; the folder must exist.
/// *error, when given, says what failed.
bool WriteClassicAddress(const std::string& winPath, const ClassicContent<PmAddrRecord>& content,
                         std::string* error = nullptr);
bool WriteClassicDate(const std::string& winPath, const ClassicContent<PmDateRecord>& content,
                      std::string* error = nullptr);
bool WriteClassicTodo(const std::string& winPath, const ClassicContent<PmTodoRecord>& content,
                      std::string* error = nullptr);
bool WriteClassicMemo(const std::string& winPath, const ClassicContent<PmMemoRecord>& content,
                      std::string* error = nullptr);

/// Sample contents of `count` records each, built from `seed`: categories
/// "Business" and "Personal", every repeat class with exception dates on
/// some items, and about one record in ten hidden. Every third pair of
/// records are duplicates of each other, for the duplicate finder.
ClassicContent<PmAddrRecord> SampleClassicAddress(uint32_t count, uint32_t seed = 1);
ClassicContent<PmDateRecord> SampleClassicDate(uint32_t count, uint32_t seed = 1);
ClassicContent<PmTodoRecord> SampleClassicTodo(uint32_t count, uint32_t seed = 1);
ClassicContent<PmMemoRecord> SampleClassicMemo(uint32_t count, uint32_t seed = 1);

/// Writes address\address.dat, datebook\datebook.dat, todo\todo.dat and
/// memopad\memopad.dat of sample contents under a user's data folder (a
/// host or Windows path ending in a separator, such as UserHostFolder
/// gives), making the application folders.
bool WriteClassicUser(const std::string& userFolder, uint32_t count, uint32_t seed = 1,
                      std::string* error = nullptr);

}  // namespace palmfix
