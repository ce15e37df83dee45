#include "palm/PalmDate.h"

#include "misc/CxDebugUtil.h"

namespace {
std::vector<uint16_t> CalendarTypes()
{
    return {1, 1, 1, 3, 1, 5, 1, 5, 6, 6, 1, 6, 1, 1, 8};
}
}  // namespace

PmDateUtil::PmDateUtil() : PmClassicFileUtil(kVersionTag, 54, CalendarTypes(), "Calendar") {}

PmDateUtil::~PmDateUtil() = default;

bool PmDateUtil::LoadUserFile(int32_t userId)
{
    std::string path;
    if (!UserFilePath(userId, "datebook", "datebook.dat", &path))
        return false;
    return LoadFile(path.c_str());
}

bool PmDateUtil::LoadFile(const char* path)
{
    const char* shown = path ? path : "";
    CXLOG(2, "Loading Palm Desktop datebook: %s", shown);
    if (!LoadQuiet(path)) {
        CXLOG(0, "Failed to load Palm Desktop datebook: %s", shown);
        return false;
    }
    return true;
}

bool PmDateUtil::ReadRow(PmDateRecord* r)
{
    int32_t* ints[PmDateRecord::kFields] = {&r->RecordID, &r->Status,   &r->Placement, &r->StartTime, &r->EndTime,
                                            nullptr,      &r->IntField6, nullptr,      &r->Untimed,   &r->Private,
                                            &r->Category, &r->AlarmSet,  &r->AlarmAdvance, &r->AlarmUnit, nullptr};
    for (uint32_t pos = 0; pos < m_Schema.FieldsPerRow; ++pos) {
        bool ok;
        if (pos == 5)
            ok = ReadWholeText(&r->Description);
        else if (pos == 7)
            ok = ReadWholeText(&r->Note);
        else if (pos == 14)
            ok = ReadRepeat(&r->Repeat);
        else
            ok = ReadInt(ints[pos]);
        if (!ok)
            return false;
    }
    return true;
}

bool PmDateUtil::IsHiddenRow(const PmDateRecord& rec) const
{
    // An item without a start or an end is not shown, but stays in the file.
    return rec.StartTime == -1 || rec.EndTime == -1;
}

bool PmDateUtil::Save(const char* path)
{
    return SaveQuiet(path);
}

bool PmDateUtil::SaveRecord(const PmDateRecord& r)
{
    const int32_t ints[PmDateRecord::kFields] = {r.RecordID, r.Status,   r.Placement, r.StartTime, r.EndTime,
                                                 0,          r.IntField6, 0,          r.Untimed,   r.Private,
                                                 r.Category, r.AlarmSet,  r.AlarmAdvance, r.AlarmUnit, 0};
    for (uint32_t pos = 0; pos < m_Schema.FieldsPerRow; ++pos) {
        bool ok;
        switch (pos) {
        case 3:
        case 4:  // EndTime is a date, whatever tag the schema gives it
            ok = WriteDateField(ints[pos]);
            break;
        case 5: ok = WriteWholeText(r.Description); break;
        case 7: ok = WriteWholeText(r.Note); break;
        case 8:
        case 9:
        case 11: ok = WriteBoolField(ints[pos]); break;
        case 14: ok = WriteRepeat(r.Repeat); break;
        default: ok = WriteIntField(ints[pos]); break;
        }
        if (!ok)
            return false;
    }
    return true;
}
