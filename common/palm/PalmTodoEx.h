// Tasks of a Palm Desktop 4.1.x user: "todo\todo.dat".
#pragma once

#include "palm/PalmSG.h"

/// One task: the common prefix (fields 0-12), then fields 13 to 24.
struct PmTodoExRecord : PmExRecord {
    PmExText Description;            ///< 13, 255
    uint32_t DueDate = 0;            ///< 14: PmTime seconds value (tag 3)
    uint32_t Completed = 0;          ///< 15: nonzero = completed (tag 6)
    uint32_t Priority = 0;           ///< 16
    PmExText Note;                   ///< 17, 8191
    uint32_t RepeatOnCompleteDate = 0;  ///< 18 (tag 6)
    uint32_t CompleteDate = 0;       ///< 19 (tag 3)
    uint32_t AlarmSet = 0;           ///< 20 (tag 6)
    uint32_t AlarmTime = 0;          ///< 21 (tag 3)
    uint32_t AlarmAdvance = 0;       ///< 22
    uint32_t RepeatStartDate = 0;    ///< 23 (tag 3)
    PmExRepeat Repeat;               ///< 24
};

class PmTodoExDataMgr : public PmExDataMgr<PmTodoExRecord> {};

/// Reads and writes a 4.1.x tasks file.
class PmTodoExUtil : public PmSGUtil {
public:
    static constexpr uint16_t kFieldCount = 25;

    PmTodoExUtil();
    ~PmTodoExUtil() override;

    PmTodoExDataMgr* DataMgr() { return m_pDataMgr; }
    virtual bool SaveRecord(const PmTodoExRecord* rec);
    /// Field 24 of a record.
    virtual bool ReadRepeat(PmTodoExRecord* rec);
    virtual bool WriteRepeat(const PmTodoExRecord* rec);

protected:
    void Init() override;
    void Release() override;
    bool HasDataMgr() const override { return m_pDataMgr != nullptr; }
    void ClearRecords() override { m_pDataMgr->Clear(); }
    uint32_t RecordCount() const override { return m_pDataMgr->Count(); }
    bool ReadRecord(uint32_t fieldsCount, bool* added) override;
    bool SaveAllRecords() override;

private:
    bool ReadField(PmTodoExRecord& r, uint32_t index);
    bool WriteField(const PmTodoExRecord& r, uint32_t index);

    PmTodoExDataMgr* m_pDataMgr = nullptr;
};
