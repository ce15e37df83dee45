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
    PmRepeat Repeat;               ///< 24
};

class PmTodoExDataMgr : public PmExDataMgr<PmTodoExRecord> {};

/// Reads and writes a 4.1.x tasks file; ReadRepeat and WriteRepeat handle field 24.
class PmTodoExUtil : public PmSGRepeatUtil<PmTodoExUtil, PmTodoExRecord, PmTodoExDataMgr> {
public:
    static constexpr uint16_t kFieldCount = 25;

    PmTodoExUtil();

private:
    friend class PmSGRecordUtil<PmTodoExUtil, PmTodoExRecord, PmTodoExDataMgr>;

    bool ReadField(PmTodoExRecord& r, uint32_t index);
    bool WriteField(const PmTodoExRecord& r, uint32_t index);
};
