// PmTodoInfo: the Tasks (to-do list) data of one Palm Desktop user, whatever
// the generation that holds it.
//
// It works as the notes facade does (PalmMemoInfo.h), with these points of
// its own: every version below 4.1.2 reads as classic (there is no "none"),
// the source type of a task tells its generation (1 classic, 2 4.1.x, 16
// 6.x), and Save dispatches on the generation that was loaded. As for notes,
// a failed load still gives true and leaves the facade empty.
#pragma once

#include "palm/PalmInfo.h"
#include "palm/PalmTodo.h"
#include "palm/PalmTodoEx.h"
#include "palm/PalmTodoEx2.h"

#include <cstdint>
#include <string>

/// The facade's wrapper of one loaded task; a common record's native copy is
/// a byte copy of it (see PmMemoSource for who owns what).
struct PmTodoSource {
    int32_t Generation;  ///< 1 classic, 2 4.1.x, 3 6.x
    uint32_t Status;
    PmTodoRecord* Classic;
    PmTodoExRecord* Ex;  ///< its blocks duplicated
    PmTodoEx2Record* Ex2;
    CommTask* CommRecord;
};

class PmTodoInfo {
public:
    /// Source types of the common task records.
    enum : int32_t { kSourceClassic = 1, kSourceEx = 2, kSourceEx2 = 16 };

    PmTodoInfo();
    explicit PmTodoInfo(uint32_t version);
    virtual ~PmTodoInfo();
    PmTodoInfo(const PmTodoInfo&) = delete;
    PmTodoInfo& operator=(const PmTodoInfo&) = delete;

    /// Replaces what was loaded by the user's tasks; a failed load is logged,
    /// leaves the facade empty and still gives true.
    bool LoadByUser(int32_t user);
    void Reset();
    CommTaskMgr* GetCommMgr() { return &m_Core.Manager(); }
    /// Marks the task of a stored record deleted (in memory for classic and
    /// 4.1.x; 6.x: its row, whose result is returned, in the transaction
    /// that Save commits).
    bool DeleteRecord(CommTask* pRec);
    /// Writes what was loaded back; false when nothing is loaded or the
    /// write fails (SaveError says why). A .dat file in which nothing was
    /// deleted is not written at all (true).
    bool Save();
    PmTodoSource* FirstSource() { return m_Core.Sources().First(); }
    PmTodoSource* NextSource() { return m_Core.Sources().Next(); }

    /// The name of the category of a stored task, from the categories its
    /// generation's file or database holds ("Unfiled" for id 0 of the .dat
    /// files); empty when the category id is in no table or the record is
    /// not held by this facade.
    std::string CategoryName(const CommTask* rec);

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

    /// Common priority of a stored one: 1 high, 5 low (2), the rest normal (0).
    static int32_t Priority(int32_t nativePriority);

private:
    void Init(uint32_t version);
    static CommTask FromClassic(const PmTodoRecord& rec, const PmTodoSource& src);
    static CommTask FromEx(const PmTodoExRecord& rec, const PmTodoSource& src);
    static CommTask FromEx2(const PmTodoEx2Record& rec, const PmTodoSource& src);

    int32_t m_ChosenGen = kPmGenClassic;
    PmInfoCore<PmTodoSource, CommTaskMgr, PmTodoUtil, PmTodoExUtil, PmTodoEx2Util> m_Core;
};
