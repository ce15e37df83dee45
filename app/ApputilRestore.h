// Restoring a user's data file from one of the backups that the saves keep
// beside it ("<name>.<YYYYMMDD-HHMMSS>.bak"), without a window: the list of a
// user's backups and the restore itself, with its refusals in a user's words.
#pragma once

#include "app/ApputilFacadeSet.h"
#include "platform/File.h"

#include <cstdint>
#include <string>
#include <vector>

/// One backup of one of a user's data files.
struct PmBackupEntry {
    int32_t App = kPmAppAddr;  ///< whose file: kPmAppAddr ...
    std::string File;          ///< the data file, in Windows form
    plat::BackupCopy Copy;     ///< the backup: its host path, when it was made, its size
};

/// The backups of the data files of a user, newest first: for each
/// application its .dat file (classic and 4.1.x) and its 6.x database,
/// whichever have backups. Empty when the user's data folder is unknown.
std::vector<PmBackupEntry> PmListBackups(uint32_t user);

/// Why the data file cannot be replaced now, in the user's words (see
/// palm/PalmReason.h); empty when it can. Refused: a file that is not there,
/// one that Palm Desktop or HotSync holds (a no-sharing open; for a
/// database also its ".ldb" lock file, or another program's lock on the
/// database), a database whose "-wal" or "-journal" beside it is not empty
/// (another program has it open or did not finish writing it: replacing it
/// now would damage it), and a file that this program still has open.
std::string PmWhyCannotRestore(const std::string& file);

/// Restores `file` (Windows form) from the backup at `backupHost` (a host
/// path, one PmListBackups gave): the backup's bytes are read, the checks of
/// PmWhyCannotRestore are made, the file as it is now is kept as a new
/// timestamped backup beside it (its host path in *made), and the backup's
/// bytes replace the file in one rename. The backup stays as it was. On
/// failure the file is as it was and *words says which file and why, in a
/// user's words.
bool PmRestoreBackup(const std::string& file, const std::string& backupHost, std::string* made, std::string* words);
