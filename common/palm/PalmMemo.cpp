#include "palm/PalmMemo.h"

#include "misc/CxDebugUtil.h"

namespace {
std::vector<uint16_t> MemoTypes()
{
    return {1, 1, 1, 5, 6, 1};
}
}  // namespace

PmMemoUtil::PmMemoUtil() : PmClassicUtil(kVersionTag, 64, MemoTypes()), m_pDataMgr(new PmMemoDataMgr()) {}

PmMemoUtil::~PmMemoUtil()
{
    m_pDataMgr.reset();
}

bool PmMemoUtil::LoadUserFile(int32_t userId)
{
    std::string path;
    if (!UserFilePath(userId, "memopad", "memopad.dat", &path)) {
        CXLOG(0, "Can not get Palm Desktop user data path. User ID=%d", userId);
        return false;
    }
    return LoadFile(path.c_str());
}

bool PmMemoUtil::LoadFile(const char* path)
{
    if (!path || !*path) {
        CXLOG(0, "Invalid Palm Desktop memopad database file name.");
        return false;
    }
    const char* shown = path;
    CXLOG(2, "Loading Palm Desktop memopad: %s", shown);
    bool ok = Open(path, ModeReadWrite) && CheckVersion() && ReadNameAndHeader() && LoadCategories() &&
              LoadSchema() && LoadRecords();
    Close();
    if (!ok) {
        CXLOG(0, "Load Palm Desktop memopad failed: %s", shown);
        return false;
    }
    m_LoadedPath = path;
    return true;
}

bool PmMemoUtil::CheckVersion()
{
    return ReadVersionTag();
}

bool PmMemoUtil::LoadCategories()
{
    return ReadQuietCategories();
}

bool PmMemoUtil::LoadSchema()
{
    return ReadQuietSchema(PmMemoRecord::kFields);
}

bool PmMemoUtil::ReadRow(PmMemoRecord* r)
{
    int32_t* ints[PmMemoRecord::kFields] = {&r->RecordID, &r->Status, &r->Placement, nullptr, &r->Private, &r->Category};
    for (uint32_t pos = 0; pos < m_Schema.FieldsPerRow; ++pos) {
        bool ok = pos == 3 ? ReadWholeText(&r->Memo) : ReadInt(ints[pos]);
        if (!ok)
            return false;
    }
    return true;
}

bool PmMemoUtil::LoadRecords()
{
    m_pDataMgr->Clear();
    uint32_t total = 0;
    if (!ReadU32(&total))
        return false;
    uint32_t count = 0;
    if (!RowsOf(total, &count))
        return false;
    for (uint32_t i = 0; i < count; ++i) {
        PmMemoRecord* rec = m_pDataMgr->NewRecord();
        if (!rec || !ReadRow(rec))
            return false;
        bool hidden = (rec->Status & 0x84) != 0;
        if (!m_pDataMgr->Keep(rec, hidden))
            return false;
    }
    return true;
}

bool PmMemoUtil::Save(const char* path)
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

bool PmMemoUtil::SaveCategories()
{
    return WriteQuietCategories();
}

bool PmMemoUtil::SaveSchema()
{
    return WriteQuietSchema();
}

bool PmMemoUtil::SaveRecords()
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

bool PmMemoUtil::SaveRecord(const PmMemoRecord& r)
{
    for (uint32_t pos = 0; pos < m_Schema.FieldsPerRow; ++pos) {
        bool ok;
        switch (pos) {
        case 0: ok = WriteIntField(r.RecordID); break;
        case 1: ok = WriteIntField(r.Status); break;
        case 2: ok = WriteIntField(r.Placement); break;
        case 3: ok = WriteWholeText(r.Memo); break;
        case 4: ok = WriteBoolField(r.Private); break;
        default: ok = WriteIntField(r.Category); break;
        }
        if (!ok)
            return false;
    }
    return true;
}
