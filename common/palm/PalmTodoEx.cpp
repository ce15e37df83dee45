#include "palm/PalmTodoEx.h"

namespace {

constexpr uint16_t kTypes[PmTodoExUtil::kFieldCount] = {
    1, 1, 1, 1, 1, 1, 6, 0x40, 0x41, 0x42, 0x43, 5, 5, 5, 3, 6, 1, 5, 6, 3, 6, 3, 1, 3, 8,
};

const PmSGKind kKind = {
    CxModuleName(__FILE__), "Tasks", "todo\\", "todo.dat", 0x54440200, 43, false, 44,
    PmTodoExUtil::kFieldCount, kTypes, 0, true, false,
};

}  // namespace

PmTodoExUtil::PmTodoExUtil() : PmSGRepeatUtil(kKind) {}

bool PmTodoExUtil::ReadField(PmTodoExRecord& r, uint32_t i)
{
    if (i <= 12)
        return ReadPrefixField(r, i);
    switch (i) {
    case 13: return ReadText(r.Description, 255);
    case 14: return ReadIntField(&r.DueDate);
    case 15: return ReadIntField(&r.Completed);
    case 16: return ReadIntField(&r.Priority);
    case 17: return ReadText(r.Note, kMaxTextField);
    case 18: return ReadIntField(&r.RepeatOnCompleteDate);
    case 19: return ReadIntField(&r.CompleteDate);
    case 20: return ReadIntField(&r.AlarmSet);
    case 21: return ReadIntField(&r.AlarmTime);
    case 22: return ReadIntField(&r.AlarmAdvance);
    case 23: return ReadIntField(&r.RepeatStartDate);
    case 24: return ReadRepeat(&r);
    default: return true;
    }
}

bool PmTodoExUtil::WriteField(const PmTodoExRecord& r, uint32_t i)
{
    if (i <= 12)
        return WritePrefixField(r, i);
    switch (i) {
    case 13: return WriteText(r.Description);
    case 14: return WriteDateField(r.DueDate);
    case 15: return WriteBoolField(r.Completed);
    case 16: return WriteIntField(r.Priority);
    case 17: return WriteText(r.Note);
    case 18: return WriteBoolField(r.RepeatOnCompleteDate);
    case 19: return WriteDateField(r.CompleteDate);
    case 20: return WriteBoolField(r.AlarmSet);
    case 21: return WriteDateField(r.AlarmTime);
    case 22: return WriteIntField(r.AlarmAdvance);
    case 23: return WriteDateField(r.RepeatStartDate);
    case 24: return WriteRepeat(&r);
    default: return true;
    }
}
