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
    PmRepeat Repeat;          ///< 22
    PmExText Location;          ///< 23, 255
    uint32_t IntField24 = 0;
    PmExText TextField25;       ///< 25, 31
    PmExText TextField26;       ///< 26, 31
};

class PmDateExDataMgr : public PmExDataMgr<PmDateExRecord> {};

/// Reads and writes a 4.1.x calendar file; ReadRepeat and WriteRepeat handle field 22.
class PmDateExUtil : public PmSGRepeatUtil<PmDateExUtil, PmDateExRecord, PmDateExDataMgr> {
public:
    static constexpr uint16_t kFieldCount = 27;

    PmDateExUtil();

private:
    friend class PmSGRecordUtil<PmDateExUtil, PmDateExRecord, PmDateExDataMgr>;

    bool ReadField(PmDateExRecord& r, uint32_t index);
    bool WriteField(const PmDateExRecord& r, uint32_t index);
};
