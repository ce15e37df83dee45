#include "palm/PalmTodoEx2.h"

#include "misc/CxDebugUtil.h"

#include <cstddef>
#include <memory>

namespace {

#define TODO_COL(name, kind, field, width, text) \
    {name, PmColKind::kind, offsetof(PmTodoEx2Record, field), width, text}

const PmColumnDef kColumns[] = {
    TODO_COL("Record ID", Int, RecordID, 0, 0),
    TODO_COL("Status", Int, Status, 0, 0),
    TODO_COL("Placement", Int, Placement, 0, 0),
    TODO_COL("Private", Bool, Private, 0, 0),
    TODO_COL("Category", IntText, Category, 0, 0),
    TODO_COL("Note", Text, Note, 8192, 0),
    TODO_COL("Description", Text, Description, 256, 0),
    TODO_COL("Due Date", IntText, DueDate, 32, offsetof(PmTodoEx2Record, DueDateText)),
    TODO_COL("Completed", Bool, Completed, 0, 0),
    TODO_COL("Priority", Int, Priority, 0, 0),
    TODO_COL("Repeat On Complete Date", Bool, RepeatOnCompleteDate, 0, 0),
    TODO_COL("Complete Date", IntText, CompleteDate, 32, offsetof(PmTodoEx2Record, CompleteDateText)),
    TODO_COL("Alarm Set", Bool, AlarmSet, 0, 0),
    TODO_COL("Alarm Time", IntText, AlarmTime, 32, offsetof(PmTodoEx2Record, AlarmTimeText)),
    TODO_COL("Alarm Advance", Int, AlarmAdvance, 0, 0),
    TODO_COL("Repeat Start Date", IntText, RepeatStartDate, 0, 0),
    TODO_COL("Repeat Info", Text, RepeatInfo, 256, 0),
};
const int32_t kKeys[] = {0, 7, 6};
const int32_t kEquality[] = {0, 1, 3, 4, 5, 6, 7, 8, 9, 10, 12, 14, 15, 16};
const int32_t kChange[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};

const PmTableDef kTable = {kColumns, 17, kKeys, 3, kEquality, 14, kChange, 17, sizeof(PmTodoEx2Record), 4096,
                           offsetof(PmTodoEx2Record, Category), offsetof(PmTodoEx2Record, CategoryName),
                           offsetof(PmTodoEx2Record, RowKey)};

const PmEx2Messages kMessages = {
    CxModuleName(__FILE__),
    "Start loading Palm Desktop Tasks by user ID: %d",
    "Invalid Palm Desktop Task database file name.",
    "Loading Palm Desktop Tasks: %s",
    "Open Palm Desktop Tasks database failed: %s",
    "Start loading Palm Desktop Task main records.",
    "Query first record in the Task database table successfully.",
    "Failed to query the first record of the Task main table. Check if there is any records in the database table.",
    "Failed to query the next record of the Task main table. Check if it is the end of the table.",
    "Loading Palm Desktop Task main records completed successfully.",
};

}  // namespace

PmTodoEx2Util::PmTodoEx2Util() : PmEx2AppUtil(kPmDbTodo, kTable, kMessages) {}

const PmTableDef& PmTodoEx2Util::Table()
{
    return kTable;
}

void PmTodoEx2Util::ParseRepeat(PmTodoEx2Record* r)
{
    PmEx2Repeat::Parse(r->RepeatInfo, &r->Repeat, false, 0, true);
}

void PmTodoEx2Util::BuildRepeat(PmTodoEx2Record* r)
{
    PmEx2RepeatBlock stored = {};
    PmEx2Repeat::Parse(r->RepeatInfo, &stored, false, 0, true);
    if (PmEx2Repeat::Equal(stored, r->Repeat))
        return;
    PmCopyText(r->RepeatInfo, sizeof r->RepeatInfo, PmEx2Repeat::Build(r->Repeat, false, 0).c_str());
}

bool PmTodoEx2Util::WriteBackRecord(PmTodoEx2Record* record)
{
    CX_ASSERT(record != nullptr);
    BuildRepeat(record);
    ResolveCategory(kTable, record);
    return WriteBack(record, false);
}
