// The facade set: the four application facades and the four duplicate lists
// that the wizard's pages share. The source page owns the one set; it builds
// it when the user leaves step 0 and releases it when step 0 is left again or
// the window goes.
#pragma once

#include "misc/CxList.h"
#include "palm/CommRecord.h"
#include "palm/PalmAddrInfo.h"
#include "palm/PalmDateInfo.h"
#include "palm/PalmMemoInfo.h"
#include "palm/PalmTodoInfo.h"
#include "platform/File.h"

#include <cstdint>
#include <functional>
#include <string>

/// Index of an application in the set, the bit number of AppFlag.
enum PmApp : int32_t {
    kPmAppAddr = 0,
    kPmAppDate = 1,
    kPmAppTodo = 2,
    kPmAppMemo = 3,
    kPmAppCount = 4,
};

/// How the last load of one application went.
struct PmLoadResult {
    bool Tried = false;   ///< the application was chosen and a load was run
    bool Failed = false;  ///< the load did not read the application's data
    /// Why, in words a user can act on: the critical messages the loaders
    /// logged during the load, one per line (such as "Failed to open file:
    /// ..."), or a general sentence when they logged none; empty when the
    /// load succeeded.
    std::string Reason;
    /// Why, for the user: which file (its path as the user's system names
    /// it), what is wrong with it (no such file, held by another program,
    /// the system's reason for not opening it, damaged or incomplete with
    /// its size), and what to do. Empty when the load succeeded.
    std::string Words;
    /// Critical messages logged by a load that still succeeded (a field the
    /// loader skipped, a query that returned nothing), one per line; empty
    /// otherwise. The data shown may then be incomplete.
    std::string Warnings;
};

class PmFacadeSet {
public:
    PmFacadeSet() = default;
    ~PmFacadeSet() { Release(); }
    PmFacadeSet(const PmFacadeSet&) = delete;
    PmFacadeSet& operator=(const PmFacadeSet&) = delete;

    /// Releases what exists, creates the four facades (each choosing its
    /// generation from the installed version), loads each application whose
    /// AppFlag bit is set for `user` (contacts, calendar, tasks, notes, in
    /// that order), then creates the four duplicate lists. False, with
    /// everything released again, when a facade or a list cannot be created.
    /// A failed load is not a failure of the build: see LoadResult.
    bool Build(int32_t user, int32_t appFlag);

    /// Resets and loads again every application whose bit is set and whose
    /// facade exists (the review page's reload). The load results are
    /// replaced for those applications. Their duplicate lists are emptied
    /// (without freeing items) first: they pointed into the records that the
    /// reset frees, and detection fills them again. An application whose
    /// last load succeeded for the same user, with no deletion since and its
    /// file's size, modification time and change counter unchanged, is not
    /// read again: its records keep their places and lose their marks, and
    /// its load result stays.
    void Reload(int32_t user, int32_t appFlag);

    /// Destroys the facades (contacts, calendar, tasks, notes), then empties
    /// each duplicate list without freeing its items and destroys it.
    void Release();

    bool Built() const { return m_pAddr != nullptr; }

    /// Called before each application's load (with kPmAppAddr ...), so that
    /// a window can say what it is waiting for.
    void SetProgress(std::function<void(int32_t app)> progress) { m_Progress = std::move(progress); }

    PmAddrInfo* Addr() { return m_pAddr; }
    PmDateInfo* Date() { return m_pDate; }
    PmTodoInfo* Todo() { return m_pTodo; }
    PmMemoInfo* Memo() { return m_pMemo; }
    CxList<CommAddr>* AddrDups() { return m_pAddrDups; }
    CxList<CommDate>* DateDups() { return m_pDateDups; }
    CxList<CommTask>* TodoDups() { return m_pTodoDups; }
    CxList<CommNote>* MemoDups() { return m_pMemoDups; }

    /// True when the records of an application (kPmAppAddr ...) hold their
    /// texts in UTF-8: they were loaded from a 6.x database, which stores
    /// Unicode. The .dat generations' texts are in the ANSI code page.
    bool TextsUtf8(int32_t app) const;

    /// The result of the last load of an application (kPmAppAddr ...); an
    /// index out of range gives a result that was never tried.
    const PmLoadResult& LoadResult(int32_t app) const
    {
        static const PmLoadResult kNone;
        return app >= 0 && app < kPmAppCount ? m_Load[app] : kNone;
    }

private:
    /// What a successful load read: the file, for which user, and the
    /// file's stamp then (valid false: nothing to compare with).
    struct LoadStamp {
        bool valid = false;
        std::string file;
        int32_t user = 0;
        plat::FileStamp stamp;
    };

    void TellProgress(int32_t app);
    template <typename Info, typename Rec>
    void ReloadOne(int32_t app, Info* info, CxList<Rec>* dups, int32_t user);
    /// Takes the stamp of the file an application was just loaded from.
    template <typename Info>
    void Stamp(int32_t app, Info* info, int32_t user);

    PmAddrInfo* m_pAddr = nullptr;
    PmDateInfo* m_pDate = nullptr;
    PmTodoInfo* m_pTodo = nullptr;
    PmMemoInfo* m_pMemo = nullptr;
    CxList<CommAddr>* m_pAddrDups = nullptr;
    CxList<CommDate>* m_pDateDups = nullptr;
    CxList<CommTask>* m_pTodoDups = nullptr;
    CxList<CommNote>* m_pMemoDups = nullptr;
    PmLoadResult m_Load[kPmAppCount];
    LoadStamp m_Stamp[kPmAppCount];
    std::function<void(int32_t app)> m_Progress;
};

/// The data file of an application (kPmAppAddr ...) of a generation
/// (kPmGenClassic, kPmGenEx, kPmGenEx2) for a user, in Windows form; empty
/// when the user's data folder cannot be found or the generation is none.
std::string PmAppDataFile(int32_t app, int32_t gen, uint32_t user);

/// What a failed load of `file` means for the user (see PmLoadResult::Words);
/// `reason` is what the loaders logged.
std::string PmLoadFailureWords(const std::string& file, const std::string& reason);

/// The settings folder: the common application data folder, then "brellon",
/// then "Tarnwick", each missing level created (the application data folder's
/// own missing levels too). On success `folder` holds it in Windows form
/// ending in '\' and the result is true; false when a level cannot be made,
/// or when the folder is too long for "appdebug.log" or "brellon.ini" inside
/// it to fit in 259 characters (folder emptied; none is false).
bool FindSettingsFolder(std::string* folder);

/// The lock that lets one wizard run at a time for a user of this machine:
/// "tarnwick.lock" in `folder` (the settings folder, in Windows form ending
/// in '\'), held without sharing for as long as `lock` stays open. The
/// system lets go of it when the holder ends, a crash included, so a lock
/// file left behind never blocks a later start. False when another running
/// wizard holds it, or when it cannot be made.
bool HoldInstanceLock(const std::string& folder, plat::ExclusiveFile* lock);
