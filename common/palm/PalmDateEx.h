// Calendar of a Palm Desktop 4.1.x user: "datebook\datebook.dat".
#pragma once

#include "palm/PalmSG.h"

/// One event: the common prefix (fields 0-12), then fields 13 to 26.
struct PmDateExRecord : PmExRecord {
    uint32_t StartTime = 0;     ///< 13: PmTime seconds value
    uint32_t EndTime = 0;       ///< 14
    PmExText Summary;           ///< 15, 255
    uint32_t IntField16 = 0;
    PmExText Note;              ///< 17, 8191
    uint32_t Untimed = 0;       ///< 18: nonzero = no time of day (tag 6)
    uint32_t Alarm = 0;         ///< 19: nonzero = alarm set (tag 6)
    uint32_t AlarmAdvance = 0;  ///< 20
    uint32_t AlarmUnit = 0;     ///< 21: 0 minutes, 1 hours, 2 days
    PmExRepeat Repeat;          ///< 22
    PmExText Location;          ///< 23, 255
    uint32_t IntField24 = 0;
    PmExText TextField25;       ///< 25, 31
    PmExText TextField26;       ///< 26, 31
};

class PmDateExDataMgr : public PmExDataMgr<PmDateExRecord> {};

/// Reads and writes a 4.1.x calendar file.
class PmDateExUtil : public PmSGUtil {
public:
    static constexpr uint16_t kFieldCount = 27;

    PmDateExUtil();
    ~PmDateExUtil() override;

    PmDateExDataMgr* DataMgr() { return m_pDataMgr; }
    virtual bool SaveRecord(const PmDateExRecord* rec);
    /// Field 22 of a record.
    virtual bool ReadRepeat(PmDateExRecord* rec);
    virtual bool WriteRepeat(const PmDateExRecord* rec);

protected:
    void Init() override;
    void Release() override;
    bool HasDataMgr() const override { return m_pDataMgr != nullptr; }
    void ClearRecords() override { m_pDataMgr->Clear(); }
    uint32_t RecordCount() const override { return m_pDataMgr->Count(); }
    bool ReadRecord(uint32_t fieldsCount, bool* added) override;
    bool SaveAllRecords() override;

private:
    bool ReadField(PmDateExRecord& r, uint32_t index);
    bool WriteField(const PmDateExRecord& r, uint32_t index);

    PmDateExDataMgr* m_pDataMgr = nullptr;
};
