#include "palm/PalmMemo.h"

#include "misc/CxDebugUtil.h"

namespace {
std::vector<uint16_t> MemoTypes()
{
    return {1, 1, 1, 5, 6, 1};
}
}  // namespace

PmMemoUtil::PmMemoUtil() : PmClassicFileUtil(kVersionTag, 64, MemoTypes(), "Memos") {}

PmMemoUtil::~PmMemoUtil() = default;

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
    if (!LoadQuiet(path)) {
        CXLOG(0, "Load Palm Desktop memopad failed: %s", shown);
        return false;
    }
    return true;
}

bool PmMemoUtil::ReadRow(PmMemoRecord* r)
{
    int32_t* ints[PmMemoRecord::kFields] = {&r->RecordID, &r->Status, &r->Placement, nullptr, &r->Private, &r->Category};
    FieldReader in(*this);
    for (uint32_t pos = 0; pos < m_Schema.FieldsPerRow; ++pos) {
        bool ok = pos == 3 ? in.Text(&r->Memo) : in.Int(ints[pos]);
        if (!ok)
            return false;
    }
    return true;
}

bool PmMemoUtil::IsHiddenRow(const PmMemoRecord& rec) const
{
    return IsPendingStatus(rec.Status);
}

bool PmMemoUtil::Save(const char* path)
{
    return SaveQuiet(path);
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
