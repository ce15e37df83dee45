#include "app/ApputilRestore.h"

#include "jet/JetFile.h"
#include "misc/CxDebugUtil.h"
#include "palm/DmMain.h"
#include "palm/PalmEnv.h"
#include "palm/PalmReason.h"
#include "platform/FileCheck.h"
#include "platform/WinPath.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

// A database's journal beside it that is not empty: a writer has the
// database open, or ended before it finished (SQLite then rolls the journal
// back, or the log forward, at the next open). A file put in its place now
// would be mended with pages of the one it replaced.
const char kReasonUnfinished[] = "another program has it open or did not finish writing it";
const char kReasonSelf[] = "this wizard still has it open";
const char kReasonMissing[] = "there is no such file";

std::string BaseName(const std::string& hostPath) { return hostPath.substr(hostPath.find_last_of('/') + 1); }

// What the user can do about a refusal.
std::string WhatToDo(const std::string& reason)
{
    if (reason == kPmReasonHeld)
        return " Close Palm Desktop and HotSync, then try again.";
    if (reason == kReasonUnfinished)
        return " Close Palm Desktop (start it and close it again if it is not running), then try again.";
    return "";
}

}  // namespace

std::vector<PmBackupEntry> PmListBackups(uint32_t user)
{
    std::vector<PmBackupEntry> out;
    for (int32_t app = 0; app < kPmAppCount; ++app) {
        // Classic and 4.1.x files have the same name: one look for both.
        std::vector<std::string> seen;
        for (int32_t gen : {kPmGenClassic, kPmGenEx, kPmGenEx2}) {
            const std::string file = PmAppDataFile(app, gen, user);
            if (file.empty() || std::find(seen.begin(), seen.end(), file) != seen.end())
                continue;
            seen.push_back(file);
            for (plat::BackupCopy& copy : plat::BackupsOf(file))
                out.push_back(PmBackupEntry{app, file, std::move(copy)});
        }
    }
    std::stable_sort(out.begin(), out.end(),
                     [](const PmBackupEntry& a, const PmBackupEntry& b) { return a.Copy.made > b.Copy.made; });
    return out;
}

std::string PmWhyCannotRestore(const std::string& file)
{
    const std::string named = plat::ToHostPath(file);
    const std::string target = plat::FollowLinks(named);
    if (target.empty())
        return kReasonMissing;
    // Asked first: the looks below open the file, and closing them would let
    // go of a database engine's own locks on it.
    if (DataModule().HoldsFile(file))
        return kReasonSelf;
    const std::string why = plat::WhyCannotOpen(file);
    if (why == "another program has it open")
        return kPmReasonHeld;
    if (!why.empty())
        return why;
    // A database reached through a link is known to other programs by either
    // name: its lock file and journals may lie beside the link or the file.
    std::vector<std::string> names{named};
    if (target != named)
        names.push_back(target);
    for (const std::string& name : names) {
        if (jet::LockFileHeld(name, nullptr))
            return kPmReasonHeld;
        for (const char* journal : {"-wal", "-journal"})
            if (plat::HostFileSize(name + journal) > 0)
                return kReasonUnfinished;
    }
    if (plat::HeldByRangeLock(file))
        return kPmReasonHeld;
    return std::string();
}

bool PmRestoreBackup(const std::string& file, const std::string& backupHost, std::string* made, std::string* words)
{
    const std::string host = plat::ToHostPath(file);
    auto refuse = [&](const std::string& reason) {
        *words = host + " was not restored from " + BaseName(backupHost) + ": " + reason +
                 ". Nothing was changed." + WhatToDo(reason);
        CXLOG(0, "Restore refused: %s", words->c_str());
        return false;
    };
    std::string bytes;
    errno = 0;
    if (!plat::ReadWholeFile(backupHost, &bytes))
        return refuse(std::string("the backup copy could not be read (") +
                      (errno ? std::strerror(errno) : "a read error") + ")");
    const std::string why = PmWhyCannotRestore(file);
    if (!why.empty())
        return refuse(why);
    std::string error;
    int err = 0;
    if (!plat::ReplaceFileBackingUp(file, bytes.data(), bytes.size(), made, &error, &err)) {
        CXLOG(0, "Restore failed: %s", error.c_str());
        return refuse(err == ENOENT ? std::string(kReasonMissing) : PmReasonOfErrno(err, "the file could not be written"));
    }
    CXLOG(1, "Restored %s from %s; it was kept as %s", host.c_str(), backupHost.c_str(), made ? made->c_str() : "");
    return true;
}
