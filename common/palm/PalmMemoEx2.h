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
    char CategoryName[32];
    char Note[40960];
    int32_t NoteLength;  // characters of the Note as read, at most 40959
};

class PmMemoEx2DataMgr : public PmEx2DataMgr<PmMemoEx2Record> {};

class PmMemoEx2Util : public PmDBEx2Util {
public:
    PmMemoEx2Util();
    ~PmMemoEx2Util() override;

    bool LoadByUser(uint32_t user);
    bool LoadFile(const char* path);
    bool LoadMain();
    /// Brings the stored row in line with the record (a deletion: Status 0x84).
    bool WriteBackRecord(PmMemoEx2Record* record);
    /// Rows are changed as they are written back; nothing is left to save.
    bool Save() { return true; }

    PmMemoEx2DataMgr* DataMgr() { return m_pDataMgr; }
    static const PmTableDef& Table();

protected:
    bool LoadMainRecords() override { return LoadMain(); }
    bool HasDataMgr() const override { return m_pDataMgr != nullptr; }
    void AddLoadedRow(const PmFieldValue* row, int32_t count) override;

private:
    PmMemoEx2DataMgr* m_pDataMgr;
};
