#include "palm/PalmTodo.h"

#include "misc/CxDebugUtil.h"

namespace {
std::vector<uint16_t> TaskTypes()
{
    return {1, 1, 1, 5, 3, 6, 1, 6, 1, 5};
}
}  // namespace

PmTodoUtil::PmTodoUtil() : PmClassicUtil(kVersionTag, 44, TaskTypes()), m_pDataMgr(new PmTodoDataMgr()) {}

PmTodoUtil::~PmTodoUtil()
{
    m_pDataMgr.reset();
}

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
    bool ok = Open(path, ModeReadWrite) && CheckVersion() && ReadNameAndHeader() && LoadCategories() &&
              LoadSchema() && LoadRecords();
    Close();
    if (!ok) {
        CXLOG(0, "Load Palm Desktop todo list failed: %s", shown);
        return false;
    }
    m_LoadedPath = path;
    return true;
}

bool PmTodoUtil::CheckVersion()
{
    return ReadVersionTag();
}

bool PmTodoUtil::LoadCategories()
{
    return ReadQuietCategories();
}

bool PmTodoUtil::LoadSchema()
{
    return ReadQuietSchema(PmTodoRecord::kFields);
}

bool PmTodoUtil::ReadRow(PmTodoRecord* r)
{
    int32_t* ints[PmTodoRecord::kFields] = {&r->RecordID, &r->Status,  &r->Placement, nullptr,      &r->DueDate,
                                            &r->Completed, &r->Priority, &r->Private,  &r->Category, nullptr};
    for (uint32_t pos = 0; pos < m_Schema.FieldsPerRow; ++pos) {
        bool ok = pos == 3 ? ReadWholeText(&r->Description) : pos == 9 ? ReadWholeText(&r->Note) : ReadInt(ints[pos]);
        if (!ok)
            return false;
    }
    return true;
}

bool PmTodoUtil::LoadRecords()
{
    m_pDataMgr->Clear();
    uint32_t total = 0;
    if (!ReadU32(&total))
        return false;
    uint32_t count = 0;
    if (!RowsOf(total, &count))
        return false;
    for (uint32_t i = 0; i < count; ++i) {
        PmTodoRecord* rec = m_pDataMgr->NewRecord();
        if (!rec || !ReadRow(rec))
            return false;
        bool hidden = (rec->Status & 0x84) != 0;
        if (!m_pDataMgr->Keep(rec, hidden))
            return false;
    }
    return true;
}

bool PmTodoUtil::Save(const char* path)
{
    if (!path || !*path || !BeginSave(path))
        return false;
    if (!WriteNameAndHeader(path) || !SaveCategories() || !SaveSchema() || !SaveRecords()) {
        AbortSave();
        return false;
    }
    std::string error;
    return CommitSave(&error);
}

bool PmTodoUtil::SaveCategories()
{
    return WriteQuietCategories();
}

bool PmTodoUtil::SaveSchema()
{
    return WriteQuietSchema();
}

bool PmTodoUtil::SaveRecords()
{
    CX_ASSERT(m_pDataMgr);
    uint32_t n = m_pDataMgr->RowCount();
    if (!WriteU32(n * m_Schema.FieldsPerRow))
        return false;
    for (uint32_t i = 0; i < n; ++i)
        if (!SaveRecord(*m_pDataMgr->Row(i)))
            return false;
    return true;
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
