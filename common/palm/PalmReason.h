// Why a save or a deletion failed, in the words the user reads: short,
// without paths or statements, the same for every generation.
#pragma once

#include <string>

/// Another program changed, replaced or removed the file (or the row) after
/// the load: writing now would undo its change, so nothing is written and
/// the wizard must be run again.
inline constexpr char kPmReasonChanged[] = "the file was changed by another program since it was loaded";
/// Another program holds the file (a no-sharing open, a database lock).
inline constexpr char kPmReasonHeld[] = "Palm Desktop has it open";

/// The reason for a system error number: the file held by another opener
/// (EWOULDBLOCK) or gone since the load (ENOENT) as above, any other number
/// as the system words it ("Permission denied", "No space left on device").
/// `step` is the plain words of the step when there is no number (0).
std::string PmReasonOfErrno(int err, const char* step);
