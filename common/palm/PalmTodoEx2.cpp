#include "palm/PalmTodoEx2.h"

#include "misc/CxDebugUtil.h"

#include <cstddef>
#include <memory>

namespace {

#define TODO_COL(name, kind, field) PM_EX2_COL(PmTodoEx2Record, name, kind, field)
#define TODO_TIME_COL(name, field, text) PM_EX2_TIME_COL(PmTodoEx2Record, name, field, text)

constexpr PmColumnDef kColumns[] = {
    TODO_COL("Record ID", Int, RecordID),
    TODO_COL("Status", Int, Status),
    TODO_COL("Placement", Int, Placement),
    TODO_COL("Private", Bool, Private),
    TODO_COL("Category", IntText, Category),
    TODO_COL("Note", Text, Note),
    TODO_COL("Description", Text, Description),
    TODO_TIME_COL("Due Date", DueDate, DueDateText),
    TODO_COL("Completed", Bool, Completed),
    TODO_COL("Priority", Int, Priority),
    TODO_COL("Repeat On Complete Date", Bool, RepeatOnCompleteDate),
    TODO_TIME_COL("Complete Date", CompleteDate, CompleteDateText),
    TODO_COL("Alarm Set", Bool, AlarmSet),
    TODO_TIME_COL("Alarm Time", AlarmTime, AlarmTimeText),
    TODO_COL("Alarm Advance", Int, AlarmAdvance),
    TODO_COL("Repeat Start Date", IntText, RepeatStartDate),
    TODO_COL("Repeat Info", Text, RepeatInfo),
};
static_assert(PmColumnsReachTheirTexts(kColumns), "every text column names a text field");
const int32_t kKeys[] = {0, 7, 6};
const int32_t kEquality[] = {0, 1, 3, 4, 5, 6, 7, 8, 9, 10, 12, 14, 15, 16};
const int32_t kChange[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};

const PmTableDef kTable = {kColumns, 17, kKeys, 3, kEquality, 14, kChange, 17, 4096,
                           offsetof(PmTodoEx2Record, Category), PmTextAccessOf<&PmTodoEx2Record::CategoryName>(),
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
    PmEx2Repeat::Parse(r->RepeatInfo.c_str(), &r->Repeat, false, 0, true);
}

void PmTodoEx2Util::BuildRepeat(PmTodoEx2Record* r)
{
    PmEx2RepeatBlock stored = {};
    PmEx2Repeat::Parse(r->RepeatInfo.c_str(), &stored, false, 0, true);
    if (PmEx2Repeat::Equal(stored, r->Repeat))
        return;
    r->RepeatInfo.Set(PmEx2Repeat::Build(r->Repeat, false, 0));
}

bool PmTodoEx2Util::WriteBackRecord(PmTodoEx2Record* record)
{
    CX_ASSERT(record != nullptr);
    BuildRepeat(record);
    ResolveCategory(kTable, record);
    return WriteBack(record, false);
}
