// Memos of a 6.x user: "MemoPad\MemoPad.mdb".
#pragma once

#include "palm/PalmCommEx2.h"

/// One memo row.
struct PmMemoEx2Record {
    int32_t RecordID;
    int32_t Status;
    int32_t Placement;
    uint8_t Private;
    int32_t Category;
    PmEx2Text<32> CategoryName;
    PmEx2Text<40960> Note;
    int32_t NoteLength;  // characters of the Note as read, at most 40959
    PmRowKey RowKey;     // where the row was read from
};

class PmMemoEx2DataMgr : public PmEx2DataMgr<PmMemoEx2Record> {};

class PmMemoEx2Util : public PmEx2AppUtil<PmMemoEx2Record, PmMemoEx2DataMgr> {
public:
    PmMemoEx2Util();

    /// Brings the stored row in line with the record (a deletion: Status 0x84);
    /// the change reaches the file with Save.
    bool WriteBackRecord(PmMemoEx2Record* record);

    static const PmTableDef& Table();

protected:
    /// A memo row is read by position.
    bool AddLoadedRow(const PmFieldValue* row, int32_t count, const PmRowKey& key) override;
};
