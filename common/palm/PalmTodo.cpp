#include "palm/PalmTodo.h"

#include "misc/CxDebugUtil.h"

namespace {
std::vector<uint16_t> TaskTypes()
{
    return {1, 1, 1, 5, 3, 6, 1, 6, 1, 5};
}
}  // namespace

PmTodoUtil::PmTodoUtil() : PmClassicFileUtil(kVersionTag, 44, TaskTypes(), "Tasks") {}

PmTodoUtil::~PmTodoUtil() = default;

bool PmTodoUtil::LoadUserFile(int32_t userId)
{
    std::string path;
    if (!UserFilePath(userId, "todo", "todo.dat", &path))
        return false;
    return LoadFile(path.c_str());
}

bool PmTodoUtil::LoadFile(const char* path)
{
    const char* shown = path ? path : "";
    CXLOG(2, "Loading Palm Desktop todo list: %s", shown);
    if (!LoadQuiet(path)) {
        CXLOG(0, "Load Palm Desktop todo list failed: %s", shown);
        return false;
    }
    return true;
}

bool PmTodoUtil::ReadRow(PmTodoRecord* r)
{
    int32_t* ints[PmTodoRecord::kFields] = {&r->RecordID, &r->Status,  &r->Placement, nullptr,      &r->DueDate,
                                            &r->Completed, &r->Priority, &r->Private,  &r->Category, nullptr};
    FieldReader in(*this);
    for (uint32_t pos = 0; pos < m_Schema.FieldsPerRow; ++pos) {
        bool ok = pos == 3 ? in.Text(&r->Description) : pos == 9 ? in.Text(&r->Note) : in.Int(ints[pos]);
        if (!ok)
            return false;
    }
    return true;
}

bool PmTodoUtil::IsHiddenRow(const PmTodoRecord& rec) const
{
    return IsPendingStatus(rec.Status);
}

bool PmTodoUtil::Save(const char* path)
{
    return SaveQuiet(path);
}

bool PmTodoUtil::SaveRecord(const PmTodoRecord& r)
{
    for (uint32_t pos = 0; pos < m_Schema.FieldsPerRow; ++pos) {
        bool ok;
        switch (pos) {
        case 0: ok = WriteIntField(r.RecordID); break;
        case 1: ok = WriteIntField(r.Status); break;
        case 2: ok = WriteIntField(r.Placement); break;
        case 3: ok = WriteWholeText(r.Description); break;
        case 4: ok = WriteDateField(r.DueDate); break;
        case 5: ok = WriteBoolField(r.Completed); break;
        case 6: ok = WriteIntField(r.Priority); break;
        case 7: ok = WriteBoolField(r.Private); break;
        case 8: ok = WriteIntField(r.Category); break;
        default: ok = WriteWholeText(r.Note); break;
        }
        if (!ok)
            return false;
    }
    return true;
}
