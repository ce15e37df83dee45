// Memos of a Palm Desktop 4.1.x user: "memopad\memopad.dat".
#pragma once

#include "palm/PalmSG.h"

/// One memo: the common prefix (fields 0-12) and the note (field 13). The
/// note shows at most 8191 characters; a longer one is kept whole for the
/// save.
struct PmMemoExRecord : PmExRecord {
    PmExText Note;
};

class PmMemoExDataMgr : public PmExDataMgr<PmMemoExRecord> {};

/// Reads and writes a 4.1.x memos file.
class PmMemoExUtil : public PmSGUtil {
public:
    static constexpr uint16_t kFieldCount = 14;

    PmMemoExUtil();
    ~PmMemoExUtil() override;

    PmMemoExDataMgr* DataMgr() { return m_pDataMgr; }
    virtual bool SaveRecord(const PmMemoExRecord* rec);

protected:
    void Init() override;
    void Release() override;
    bool HasDataMgr() const override { return m_pDataMgr != nullptr; }
    void ClearRecords() override { m_pDataMgr->Clear(); }
    uint32_t RecordCount() const override { return m_pDataMgr->Count(); }
    bool ReadRecord(uint32_t fieldsCount, bool* added) override;
    bool SaveAllRecords() override;

private:
    PmMemoExDataMgr* m_pDataMgr = nullptr;
};
