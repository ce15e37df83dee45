// PmMemoInfo: the Notes (memo pad) data of one Palm Desktop user, whatever
// the generation that holds it.
//
// The facade picks the generation from the installed Palm Desktop version
// when it is constructed, loads a user's memos through that generation's
// utility only (a file of another generation at the expected path is not
// read, there is no fallback), turns every live memo into a CommNote, marks
// chosen memos deleted (status 0x84) and writes them back: classic and 4.1.x
// files by a whole-file Save, 6.x rows when the memo is deleted, in one
// transaction that Save commits.
#pragma once

#include "palm/PalmInfo.h"
#include "palm/PalmMemo.h"
#include "palm/PalmMemoEx.h"
#include "palm/PalmMemoEx2.h"

#include <cstdint>
#include <string>

/// The facade's wrapper of one loaded memo; a common record's native copy is
/// a byte copy of it. The generation record it points to is the one in the
/// utility's data manager, which the facade's Reset clears together with the
/// common records: it stays valid as long as the record it belongs to.
struct PmMemoSource {
    int32_t Generation;  ///< 1 classic, 2 4.1.x, 3 6.x
    /// The status word of the memo as this wrapper knows it (0x84 once deleted).
    uint32_t Status;
    PmMemoRecord* Classic;  ///< generation 1: the memo
    PmMemoExRecord* Ex;     ///< generation 2: the memo
    PmMemoEx2Record* Ex2;   ///< generation 3: the memo
    CommNote* CommRecord;   ///< the record stored in the note manager (not owned)
};

class PmMemoInfo {
public:
    /// Chooses the generation from GetPalmDesktopVersion().
    PmMemoInfo();
    /// Chooses the generation from the given version number.
    explicit PmMemoInfo(uint32_t version);
    virtual ~PmMemoInfo();
    PmMemoInfo(const PmMemoInfo&) = delete;
    PmMemoInfo& operator=(const PmMemoInfo&) = delete;

    /// Replaces what was loaded by the user's memos. False only when no
    /// generation fits the installed version; a failed load is logged and
    /// leaves the facade empty, and still gives true.
    bool LoadByUser(int32_t user);
    /// Drops everything loaded.
    void Reset();
    CommNoteMgr* GetCommMgr() { return &m_Core.Manager(); }
    /// Marks the memo of a stored note deleted. Classic and 4.1.x: in memory,
    /// written by Save. 6.x: the row is updated in the transaction that Save
    /// commits and the result of that update is returned. False for a record
    /// the manager does not hold.
    bool DeleteRecord(CommNote* pRec);
    /// Writes the loaded file back (classic, 4.1.x) or commits the rows
    /// deleted since the load (6.x, true when there is none). A .dat file in
    /// which nothing was deleted is not written at all (true). False when no
    /// .dat file is loaded or the write or commit fails (the file is then as
    /// it was; SaveError says why).
    bool Save();
    PmMemoSource* FirstSource() { return m_Core.Sources().First(); }
    PmMemoSource* NextSource() { return m_Core.Sources().Next(); }

    /// The name of the category of a stored note, from the categories its
    /// generation's file or database holds ("Unfiled" for id 0 of the .dat
    /// files); empty when the category id is in no table or the record is
    /// not held by this facade.
    std::string CategoryName(const CommNote* rec);

    int32_t ChosenGeneration() const { return m_ChosenGen; }
    /// The file the loaded data was read from (Windows form); empty when
    /// none is loaded.
    std::string LoadedFile() { return m_Core.LoadedFile(); }
    /// True once a record was deleted since the last load.
    bool ChangedSinceLoad() const { return m_Core.ChangedSinceLoad(); }
    /// The data file of the loaded application as the user knows it: its
    /// host path, '/' only (a link is not followed); empty when nothing is
    /// loaded.
    const std::string& SaveFile() const { return m_Core.SaveFile(); }
    /// Why the last Save failed, in the user's words ("Permission denied",
    /// "No space left on device", the file changed by another program since
    /// the load, Palm Desktop holding it...); empty after a Save that went
    /// through.
    const std::string& SaveError() const { return m_Core.SaveError(); }
    /// The host path of the ".bak" copy kept of the loaded file before its
    /// first change in this process; empty when none was made.
    std::string BackupPath() { return m_Core.BackupPath(); }
    /// Why the last DeleteRecord failed (a 6.x row that could not be written
    /// back), in the user's words; empty after one that went through.
    const std::string& DeleteError() const { return m_Core.DeleteError(); }
    /// Why the last LoadByUser failed, in words a user can act on (which
    /// file, what is wrong with it, that nothing was read or changed, what to
    /// do), when it was a 6.x database that could not be loaded; empty after
    /// a load that succeeded and for the other generations, whose reasons
    /// are in the log.
    const std::string& LoadFailureWords() const { return m_Core.FailureWords(); }
    int32_t LoadedGeneration() const { return m_Core.LoadedGeneration(); }

    /// The note a memo text gives (Private, Subject and Note; no trailer).
    /// `stored`: a 6.x text (UTF-8), cut as its ANSI form would have been.
    static void FillNote(const char* text, size_t length, int32_t isPrivate, CommNote* note, bool stored = false);

private:
    void Init(uint32_t version);
    static CommNote FromClassic(const PmMemoRecord& rec, const PmMemoSource& src);
    static CommNote FromEx(const PmMemoExRecord& rec, const PmMemoSource& src);
    static CommNote FromEx2(const PmMemoEx2Record& rec, const PmMemoSource& src);
    static CommNote NoteOf(const PmMemoSource& src, const char* text, size_t length, int32_t isPrivate, int32_t recordId,
                           bool stored = false);

    int32_t m_ChosenGen = kPmGenNone;
    PmInfoCore<PmMemoSource, CommNoteMgr, PmMemoUtil, PmMemoExUtil, PmMemoEx2Util> m_Core;
};
