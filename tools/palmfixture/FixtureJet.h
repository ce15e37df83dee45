// Jet 4 databases (written by an independent Jet writer) placed into a user's
// folder of a 6.x installation, where the desktop program keeps its databases.
#pragma once

#include <string>

namespace palmfix {

/// Copies Address.mdb, DateBook.mdb, Todolist.mdb and MemoPad.mdb of
/// `jetDir` into the user's folder, each to its application's subfolder.
/// Every one of the four must be there; false with *error otherwise.
bool CopyJetDatabases(const std::string& jetDir, const std::string& userHostFolder, std::string* error);

}  // namespace palmfix
