// Palm Desktop 4.1.x data files for tests, benchmarks and the demo:
// address.dat, datebook.dat, todo.dat and memopad.dat written through the
// file utilities themselves, from the default header and the records given.
#pragma once

#include "palm/PalmAddrEx.h"
#include "palm/PalmDateEx.h"
#include "palm/PalmMemoEx.h"
#include "palm/PalmTodoEx.h"

#include <cstdint>
#include <string>
#include <vector>

namespace palmfix {

/// A category of a 4.1.x file; they take slots 1, 2, ... in order
/// ("Unfiled" is always there).
struct ExCategory {
    int32_t id = 0;
    std::string name;
};

/// The data file of an application kind (1 contacts, 2 calendar, 3 tasks,
/// 4 memos) below a user data folder ending in a separator, in Windows
/// form: "address\address.dat", "datebook\datebook.dat", "todo\todo.dat",
/// "memopad\memopad.dat".
std::string ExFilePath(const std::string& userFolder, int32_t kind);

/// Writes a file anew (its folder is made when missing); the records keep
/// every field they are given, repeats and exception dates included.
bool WriteAddressDat(const std::string& winPath, const std::vector<ExCategory>& categories,
                     const std::vector<const PmAddrExRecord*>& records, std::string* error);
bool WriteDateBookDat(const std::string& winPath, const std::vector<ExCategory>& categories,
                      const std::vector<const PmDateExRecord*>& records, std::string* error);
bool WriteToDoDat(const std::string& winPath, const std::vector<ExCategory>& categories,
                  const std::vector<const PmTodoExRecord*>& records, std::string* error);
bool WriteMemoPadDat(const std::string& winPath, const std::vector<ExCategory>& categories,
                     const std::vector<const PmMemoExRecord*>& records, std::string* error);

}  // namespace palmfix
