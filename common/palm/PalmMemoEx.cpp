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

PmMemoExUtil::PmMemoExUtil() : PmSGRecordUtil(kKind) {}

bool PmMemoExUtil::ReadField(PmMemoExRecord& r, uint32_t i)
{
    if (i <= 12)
        return ReadPrefixField(r, i);
    return i == 13 ? ReadText(r.Note, kMaxTextField) : true;
}

bool PmMemoExUtil::WriteField(const PmMemoExRecord& r, uint32_t i)
{
    if (i <= 12)
        return WritePrefixField(r, i);
    return i == 13 ? WriteText(r.Note) : true;
}
