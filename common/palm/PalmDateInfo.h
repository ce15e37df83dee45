// PmDateInfo: the Calendar (date book) data of one Palm Desktop user,
// whatever the generation that holds it.
//
// It works as the notes facade does (PalmMemoInfo.h), with these points of
// its own: every version below 4.1.2 reads as classic (there is no "none"),
// a failed load gives false, Save dispatches on the generation that was
// loaded, and each record's recurrence becomes the common repeat pattern.
#pragma once

#include "palm/PalmDate.h"
#include "palm/PalmDateEx.h"
#include "palm/PalmDateEx2.h"
#include "palm/PalmInfo.h"

#include <cstdint>
#include <string>

/// The facade's wrapper of one loaded calendar item; a common record's
/// native copy is a byte copy of it (see PmMemoSource for who owns what).
struct PmDateSource {
    int32_t Generation;  ///< 1 classic, 2 4.1.x, 3 6.x
    uint32_t Status;
    PmDateRecord* Classic;
    PmDateExRecord* Ex;  ///< its blocks duplicated
    PmDateEx2Record* Ex2;
    CommDate* CommRecord;
};

/// The recurrence fields every generation holds under its own names.
struct PmNativeRepeat {
    int32_t Kind;  ///< 0 none, 1 daily, 2 weekly, 3 monthly by day, 4 monthly by date, 5 yearly by date, 6 yearly by day
    int32_t Interval;
    int32_t EndDate;  ///< Palm time value of the last occurrence
    int32_t DayIndex;
    uint8_t DaysMask;
    int32_t WeekIndex;
    int32_t MonthIndex;  ///< 0-based
    int32_t DayNumber;
};

class PmDateInfo {
public:
    PmDateInfo();
    explicit PmDateInfo(uint32_t version);
    virtual ~PmDateInfo();
    PmDateInfo(const PmDateInfo&) = delete;
    PmDateInfo& operator=(const PmDateInfo&) = delete;

    /// Replaces what was loaded by the user's calendar; false when the load fails.
    bool LoadByUser(int32_t user);
    void Reset();
    CommDateMgr* GetCommMgr() { return &m_Core.Manager(); }
    /// Marks the item of a stored record deleted (in memory for classic and
    /// 4.1.x; 6.x: its row, whose result is returned, in the transaction
    /// that Save commits).
    bool DeleteRecord(CommDate* pRec);
    /// Writes what was loaded back; false when nothing is loaded or the
    /// write fails (SaveError says why). A .dat file in which nothing was
    /// deleted is not written at all (true).
    bool Save();
    PmDateSource* FirstSource() { return m_Core.Sources().First(); }
    PmDateSource* NextSource() { return m_Core.Sources().Next(); }

    /// The name of the category of a stored calendar item, from the categories its
    /// generation's file or database holds ("Unfiled" for id 0 of the .dat
    /// files); empty when the category id is in no table or the record is
    /// not held by this facade.
    std::string CategoryName(const CommDate* rec);

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

    /// The common repeat pattern of a generation's recurrence (the tasks
    /// facade fills its pattern the same way).
    static void FillRepeat(const PmNativeRepeat& native, CommRepeat* out);
    /// The same from the repeat field of a .dat record (either layout).
    static void FillRepeat(const PmRepeat& stored, CommRepeat* out);
    /// The calendar time of a Palm time value; all zero when it cannot be
    /// broken down.
    static CxSystemTime CalendarTime(int32_t seconds);
    /// Alarm Unit of the common record from a stored unit (0 minutes, 1 hours,
    /// 2 days; anything else reads as minutes).
    static int32_t AlarmUnit(int32_t nativeUnit);

private:
    void Init(uint32_t version);
    static CommDate FromClassic(const PmDateRecord& rec, const PmDateSource& src);
    static CommDate FromEx(const PmDateExRecord& rec, const PmDateSource& src);
    static CommDate FromEx2(const PmDateEx2Record& rec, const PmDateSource& src);

    int32_t m_ChosenGen = kPmGenClassic;
    PmInfoCore<PmDateSource, CommDateMgr, PmDateUtil, PmDateExUtil, PmDateEx2Util> m_Core;
};
