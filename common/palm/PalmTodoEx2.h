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
    char CategoryName[32];
    char Note[8192];
    int32_t DueDate;
    char DueDateText[32];
    char Description[256];
    uint8_t Completed;
    int32_t Priority;
    uint8_t RepeatOnCompleteDate;
    int32_t CompleteDate;
    char CompleteDateText[32];
    uint8_t AlarmSet;
    int32_t AlarmTime;
    char AlarmTimeText[32];
    int32_t AlarmAdvance;
    int32_t RepeatStartDate;
    char RepeatInfo[256];
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
