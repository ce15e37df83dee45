#include "palm/PalmMemoEx.h"

namespace {

constexpr uint16_t kTypes[PmMemoExUtil::kFieldCount] = {
    1, 1, 1, 1, 1, 1, 6, 0x40, 0x41, 0x42, 0x43, 5, 5, 5,
};

const PmSGKind kKind = {
    CxModuleName(__FILE__), "Memos", "memopad\\", "memopad.dat", 0x4D500200, 43, false, 64,
    PmMemoExUtil::kFieldCount, kTypes, 0, true, true,
};

}  // namespace

PmMemoExUtil::PmMemoExUtil() : PmSGUtil(kKind)
{
    m_pDataMgr = new PmMemoExDataMgr();
}

PmMemoExUtil::~PmMemoExUtil()
{
    Release();
}

void PmMemoExUtil::Init()
{
    PmSGUtil::Init();
    Release();
    m_pDataMgr = new PmMemoExDataMgr();
}

void PmMemoExUtil::Release()
{
    delete m_pDataMgr;
    m_pDataMgr = nullptr;
}

bool PmMemoExUtil::ReadRecord(uint32_t fieldsCount, bool* added)
{
    std::unique_ptr<PmMemoExRecord> rec(new (std::nothrow) PmMemoExRecord());
    if (!rec) {
        *added = false;
        return true;
    }
    PmMemoExRecord& r = *rec;
    for (uint32_t i = 0; i < fieldsCount; ++i) {
        bool ok = i <= 12 ? ReadPrefixField(r, i) : i == 13 ? ReadText(r.Note, kMaxTextField) : true;
        if (!ok)
            return false;
    }
    *added = m_pDataMgr->Adopt(rec.release());
    return true;
}

bool PmMemoExUtil::SaveAllRecords()
{
    for (PmMemoExRecord* r = m_pDataMgr->First(); r; r = m_pDataMgr->Next())
        if (!SaveRecord(r))
            return false;
    return true;
}

bool PmMemoExUtil::SaveRecord(const PmMemoExRecord* rec)
{
    if (!rec)
        return false;
    for (uint32_t i = 0; i < m_FieldsPerRow; ++i) {
        bool ok = i <= 12 ? WritePrefixField(*rec, i) : i == 13 ? WriteText(rec->Note) : true;
        if (!ok)
            return false;
    }
    return true;
}
