#include "palm/PalmDateEx.h"

namespace {

constexpr uint16_t kTypes[PmDateExUtil::kFieldCount] = {
    1, 1, 1, 1, 1, 1, 6, 0x40, 0x41, 0x42, 0x43, 5, 5, 3, 3, 5, 1, 5, 6, 6, 1, 1, 8, 5, 1, 5, 5,
};

const PmSGKind kKind = {
    CxModuleName(__FILE__), "Calendar", "datebook\\", "datebook.dat", 0x44420200, 43, false, 54,
    PmDateExUtil::kFieldCount, kTypes, 0, false, false,
};

}  // namespace

PmDateExUtil::PmDateExUtil() : PmSGRepeatUtil(kKind) {}

bool PmDateExUtil::ReadField(PmDateExRecord& r, uint32_t i)
{
    if (i <= 12)
        return ReadPrefixField(r, i);
    switch (i) {
    case 13: return ReadIntField(&r.StartTime);
    case 14: return ReadIntField(&r.EndTime);
    case 15: return ReadText(r.Summary, 255);
    case 16: return ReadIntField(&r.IntField16);
    case 17: return ReadText(r.Note, kMaxTextField);
    case 18: return ReadIntField(&r.Untimed);
    case 19: return ReadIntField(&r.Alarm);
    case 20: return ReadIntField(&r.AlarmAdvance);
    case 21: return ReadIntField(&r.AlarmUnit);
    case 22: return ReadRepeat(&r);
    case 23: return ReadText(r.Location, 255);
    case 24: return ReadIntField(&r.IntField24);
    case 25: return ReadText(r.TextField25, 31);
    case 26: return ReadText(r.TextField26, 31);
    default: return true;
    }
}

bool PmDateExUtil::WriteField(const PmDateExRecord& r, uint32_t i)
{
    if (i <= 12)
        return WritePrefixField(r, i);
    switch (i) {
    case 13: return WriteDateField(r.StartTime);
    case 14: return WriteDateField(r.EndTime);
    case 15: return WriteText(r.Summary);
    case 16: return WriteIntField(r.IntField16);
    case 17: return WriteText(r.Note);
    case 18: return WriteBoolField(r.Untimed);
    case 19: return WriteBoolField(r.Alarm);
    case 20: return WriteIntField(r.AlarmAdvance);
    case 21: return WriteIntField(r.AlarmUnit);
    case 22: return WriteRepeat(&r);
    case 23: return WriteText(r.Location);
    case 24: return WriteIntField(r.IntField24);
    case 25: return WriteText(r.TextField25);
    case 26: return WriteText(r.TextField26);
    default: return true;
    }
}
