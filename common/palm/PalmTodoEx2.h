// Tasks of a 6.x user: "todo\Todolist.mdb".
#pragma once

#include "palm/PalmDateEx2.h"

/// One task row. Tasks repeat daily, weekly, monthly by position or by date;
/// they have no yearly rule.
struct PmTodoEx2Record {
    int32_t RecordID;
    int32_t Status;
    int32_t Placement;
    uint8_t Private;
    int32_t Category;
    PmEx2Text<32> CategoryName;
    PmEx2Text<8192> Note;
    int32_t DueDate;
    PmEx2Text<32> DueDateText;
    PmEx2Text<256> Description;
    uint8_t Completed;
    int32_t Priority;
    uint8_t RepeatOnCompleteDate;
    int32_t CompleteDate;
    PmEx2Text<32> CompleteDateText;
    uint8_t AlarmSet;
    int32_t AlarmTime;
    PmEx2Text<32> AlarmTimeText;
    int32_t AlarmAdvance;
    int32_t RepeatStartDate;
    PmEx2Text<256> RepeatInfo;
    PmEx2RepeatBlock Repeat;
    PmRowKey RowKey;  // where the row was read from
};

class PmTodoEx2DataMgr : public PmEx2DataMgr<PmTodoEx2Record> {};

class PmTodoEx2Util : public PmEx2AppUtil<PmTodoEx2Record, PmTodoEx2DataMgr> {
public:
    PmTodoEx2Util();

    /// Brings the stored row in line with the record (a deletion: Status 0x84);
    /// the change reaches the file with Save.
    bool WriteBackRecord(PmTodoEx2Record* record);

    static const PmTableDef& Table();
    static void ParseRepeat(PmTodoEx2Record* record);
    /// Repeat Info from the repeat block, when the block no longer is what
    /// the stored text says; the stored text is kept otherwise.
    static void BuildRepeat(PmTodoEx2Record* record);

protected:
    void AfterLoad(PmTodoEx2Record* record) override { ParseRepeat(record); }
};
