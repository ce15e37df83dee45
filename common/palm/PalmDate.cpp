#include "palm/PalmDate.h"

#include "misc/CxDebugUtil.h"

const char* PmRepeatClassName(int32_t repeatClass)
{
    static const char* const kNames[] = {"", "CDayName", "CWeekly", "CDayOfMonth", "CDateOfMonth", "CDateOfYear",
                                         "CDayOfYear"};
    return repeatClass >= 0 && repeatClass <= 6 ? kNames[repeatClass] : "";
}

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

bool PmDateUtil::ReadRepeat(PmRepeatEvent* rep)
{
    *rep = PmRepeatEvent();
    uint32_t tag = 0;
    uint16_t exceptions = 0;
    if (!ReadU32(&tag) || tag != 8 || !ReadU16(&exceptions))
        return false;
    // Nothing is made for dates or a name that the file does not hold.
    if (size_t(exceptions) * 4 > InputLeft())
        return false;
    rep->Exceptions.resize(exceptions);
    for (uint32_t& date : rep->Exceptions)
        if (!ReadU32(&date))
            return false;
    if (!ReadU16(&rep->ClassTag))
        return false;
    if (rep->ClassTag == 0)
        return true;
    if (rep->ClassTag == 0xFFFF) {
        uint16_t schema = 0, len = 0;
        if (!ReadU16(&schema) || schema != 1 || !ReadU16(&len) || len > InputLeft())
            return false;
        rep->ClassName.assign(len, '\0');
        if (len != 0 && !ReadBytes(rep->ClassName.data(), len))
            return false;
    }
    auto word = [this](int32_t* v) { return ReadU32(reinterpret_cast<uint32_t*>(v)); };
    if (!word(&rep->RepeatClass) || !word(&rep->RepeatInterval) || !word(&rep->RepeatEndDate) ||
        !word(&rep->RepeatWord4))
        return false;
    switch (rep->RepeatClass) {
    case 1: return word(&rep->RepeatDayIndex);
    case 2: return word(&rep->RepeatDayIndex) && ReadU8(&rep->RepeatDaysMask);
    case 3: return word(&rep->RepeatDayIndex) && word(&rep->RepeatWeekIndex);
    case 4: return word(&rep->RepeatDayNumber);
    case 5: return word(&rep->RepeatDayNumber) && word(&rep->RepeatMonth);
    default: return true;
    }
}

bool PmDateUtil::WriteRepeat(const PmRepeatEvent& rep)
{
    MarkField(FieldKind::Other);
    if (!WriteU32(8) || !WriteU16(uint16_t(rep.Exceptions.size())))
        return false;
    for (uint32_t date : rep.Exceptions)
        if (!WriteU32(date))
            return false;
    // The class tag and name go back as they were read; an item that had none
    // (a new one) gets the named form.
    uint16_t classTag = rep.ClassTag;
    if (classTag == 0 && rep.RepeatClass != 0)
        classTag = 0xFFFF;
    if (!WriteU16(classTag))
        return false;
    if (classTag == 0)
        return true;
    if (classTag == 0xFFFF) {
        std::string name = rep.ClassTag == 0xFFFF ? rep.ClassName : std::string(PmRepeatClassName(rep.RepeatClass));
        if (!WriteU16(1) || !WriteU16(uint16_t(name.size())) ||
            (!name.empty() && !WriteBytes(name.data(), uint32_t(name.size()))))
            return false;
    }
    auto word = [this](int32_t v) { return WriteU32(uint32_t(v)); };
    if (!word(rep.RepeatClass) || !word(rep.RepeatInterval) || !word(rep.RepeatEndDate) || !word(rep.RepeatWord4))
        return false;
    switch (rep.RepeatClass) {
    case 1: return word(rep.RepeatDayIndex);
    case 2: return word(rep.RepeatDayIndex) && WriteU8(rep.RepeatDaysMask);
    case 3: return word(rep.RepeatDayIndex) && word(rep.RepeatWeekIndex);
    case 4: return word(rep.RepeatDayNumber);
    case 5: return word(rep.RepeatDayNumber) && word(rep.RepeatMonth);
    default: return true;
    }
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
