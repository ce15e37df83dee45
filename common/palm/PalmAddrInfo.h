// PmAddrInfo: the Contacts (address book) data of one Palm Desktop user,
// whatever the generation that holds it.
//
// It works as the notes facade does (PalmMemoInfo.h): the generation follows
// the installed version, one source record and one CommAddr per live
// contact, deletion by status 0x84, classic and 4.1.x files written by Save
// and 6.x rows as they are deleted, committed by Save. Two points differ: the chosen generation is kept
// class-wide (every construction sets it for all instances), and a failed
// load gives false.
#pragma once

#include "palm/PalmAddr.h"
#include "palm/PalmAddrEx.h"
#include "palm/PalmAddrEx2.h"
#include "palm/PalmInfo.h"

#include <cstdint>
#include <string>

/// The facade's wrapper of one loaded contact; a common record's native copy
/// is a byte copy of it (see PmMemoSource for who owns what).
struct PmAddrSource {
    int32_t Generation;  ///< 1 classic, 2 4.1.x, 3 6.x
    uint32_t Status;     ///< the contact's status word as this wrapper knows it
    PmAddrRecord* Classic;
    PmAddrExRecord* Ex;
    PmAddrEx2Record* Ex2;
    CommAddr* CommRecord; ///< the record stored in the contact manager (not owned)
};

class PmAddrInfo {
public:
    /// Phone label codes of the contact records.
    enum : int32_t {
        kLabelWork = 0,
        kLabelHome = 1,
        kLabelFax = 2,
        kLabelOther = 3,
        kLabelEmail = 4,
        kLabelMain = 5,
        kLabelPager = 6,
        kLabelMobile = 7,
    };

    PmAddrInfo();
    explicit PmAddrInfo(uint32_t version);
    virtual ~PmAddrInfo();
    PmAddrInfo(const PmAddrInfo&) = delete;
    PmAddrInfo& operator=(const PmAddrInfo&) = delete;

    /// Replaces what was loaded by the user's contacts; false when no
    /// generation fits the version or the load fails (nothing is loaded then).
    bool LoadByUser(int32_t user);
    void Reset();
    CommAddrMgr* GetCommMgr() { return &m_Core.Manager(); }
    /// Marks the contact of a stored record deleted (in memory for classic and
    /// 4.1.x; 6.x: its row, whose result is returned, in the transaction
    /// that Save commits).
    bool DeleteRecord(CommAddr* pRec);
    /// Writes the loaded file back (classic, 4.1.x; not at all when nothing
    /// was deleted, true) or commits the rows deleted since the load (6.x).
    /// False when no .dat file is loaded or the write or commit fails
    /// (SaveError says why; the file is as it was).
    bool Save();
    PmAddrSource* FirstSource() { return m_Core.Sources().First(); }
    PmAddrSource* NextSource() { return m_Core.Sources().Next(); }

    /// The generation every contacts facade uses (the last construction's choice).
    /// The name of the category of a stored contact, from the categories its
    /// generation's file or database holds ("Unfiled" for id 0 of the .dat
    /// files); empty when the category id is in no table or the record is
    /// not held by this facade.
    std::string CategoryName(const CommAddr* rec);

    static int32_t ChosenGeneration() { return s_ChosenGen; }
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

    /// The display name of a phone label ("Work Phone" for unknown codes).
    /// The text is held in a buffer that the next call overwrites.
    static const char* PhoneLabelText(int32_t label);
    /// The text of a contact field by key, for the contact viewer: "N/A" for
    /// every key it asks for (the date fields) and for a missing source. The
    /// text is held in a buffer that the next call overwrites.
    static const char* FieldText(const PmAddrSource* source, int32_t key);

    /// Puts a phone slot's text into the field of its label; empty texts and
    /// the pager and unknown labels leave the record unchanged. `stored`: a
    /// 6.x text (UTF-8), cut as its ANSI form would have been.
    static void PutPhone(CommAddr* addr, int32_t label, const char* text, size_t length, bool stored = false);

private:
    void Init(uint32_t version);
    static CommAddr FromClassic(const PmAddrRecord& rec, const PmAddrSource& src);
    static CommAddr FromEx(const PmAddrExRecord& rec, const PmAddrSource& src);
    static CommAddr FromEx2(const PmAddrEx2Record& rec, const PmAddrSource& src);

    static int32_t s_ChosenGen;

    PmInfoCore<PmAddrSource, CommAddrMgr, PmAddrUtil, PmAddrExUtil, PmAddrEx2Util> m_Core;
};
