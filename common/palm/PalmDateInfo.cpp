#include "palm/PalmDateInfo.h"

#include "misc/CxDebugUtil.h"
#include "palm/PalmComm.h"
#include "palm/PalmEnv.h"

PmDateInfo::PmDateInfo() { Init(GetPalmDesktopVersion()); }

PmDateInfo::PmDateInfo(uint32_t version) { Init(version); }

void PmDateInfo::Init(uint32_t version)
{
    m_ChosenGen = PmChooseGeneration(version, false);
    CXLOG(2, "Palm Desktop Version: %d", int32_t(version));
    m_pUtil = new PmDateUtil();
    m_pExUtil = new PmDateExUtil();
    m_pEx2Util = new PmDateEx2Util();
}

PmDateInfo::~PmDateInfo()
{
    delete m_pUtil;
    delete m_pExUtil;
    delete m_pEx2Util;
    m_Recs.Clear(FreeNative);
}

void PmDateInfo::FreeNative(PmDateSource* src)
{
    delete src->Classic;
    delete src->Ex;
    delete src->Ex2;
    src->Classic = nullptr;
    src->Ex = nullptr;
    src->Ex2 = nullptr;
}

void PmDateInfo::Reset()
{
    m_LoadedGen = kPmGenNone;
    m_pUtil->GetDataMgr()->Clear();
    m_pExUtil->DataMgr()->Clear();
    m_pEx2Util->DataMgr()->Clear();
    m_Recs.Clear(FreeNative);
}

bool PmDateInfo::LoadByUser(int32_t user)
{
    Reset();
    CXLOG(2, "Load Palm Desktop Calendar by user: %d", user);
    bool loaded = false;
    switch (m_ChosenGen) {
    case kPmGenClassic:
        loaded = m_pUtil->LoadUserFile(user);
        break;
    case kPmGenEx2:
        loaded = m_pEx2Util->LoadByUser(uint32_t(user));
        break;
    case kPmGenEx:
        loaded = m_pExUtil->LoadUserFile(uint32_t(user));
        break;
    default:
        break;
    }
    if (!loaded) {
        CXLOG(0, "Failed to open Palm Desktop Calendar database by User: %d", user);
        return false;
    }
    m_LoadedGen = m_ChosenGen;
    if (m_LoadedGen == kPmGenClassic)
        BuildFromClassic();
    else if (m_LoadedGen == kPmGenEx)
        BuildFromEx();
    else if (m_LoadedGen == kPmGenEx2)
        BuildFromEx2();
    return true;
}

CxSystemTime PmDateInfo::CalendarTime(int32_t seconds)
{
    CxSystemTime st{};
    PmTime t;
    t.FromSeconds(0);
    t.Set(seconds);
    if (!t.ToCalendarTime(&st))
        st = CxSystemTime{};
    return st;
}

int32_t PmDateInfo::AlarmUnit(int32_t nativeUnit)
{
    switch (nativeUnit) {
    case 1: return 2;  // hours
    case 2: return 3;  // days
    default: return 1;  // minutes
    }
}

void PmDateInfo::FillRepeat(const PmNativeRepeat& n, CommRepeat* out)
{
    *out = CommRepeat{};
    switch (n.Kind) {
    case 1:
        out->RepeatType = 1;
        out->Interval = n.Interval;
        out->DayMask = n.DayIndex;
        break;
    case 2:
        out->RepeatType = 2;
        out->Interval = n.Interval;
        out->DayMask = n.DaysMask;
        out->Instance = 1;
        break;
    case 3:
        out->RepeatType = 3;
        out->Interval = n.Interval;
        out->DayMask = n.DayIndex;
        out->Instance = n.WeekIndex;
        break;
    case 4:
        out->RepeatType = 4;
        out->Interval = n.Interval;
        out->DayOfMonth = n.DayNumber;
        break;
    case 5:
        out->RepeatType = 6;
        out->Interval = n.Interval;
        out->DayOfMonth = n.DayNumber;
        out->MonthOfYear = n.MonthIndex + 1;
        break;
    default:
        // 0, yearly by day (6), and anything unknown: no repeat.
        break;
    }
    // The end is kept whatever the kind; dates after 2020 count as "no end".
    out->RepeatEnd = CalendarTime(n.EndDate);
    out->HasEndDate = out->RepeatEnd.year <= 2020 ? 1 : 0;
}

namespace {

void FillAlarm(bool alarm, int32_t advance, int32_t unit, CommDate* d)
{
    d->Alarm = alarm ? 1 : 0;
    d->AlarmSet = d->Alarm;
    if (alarm) {
        d->AlarmAdvance = advance;
        d->AlarmUnit = PmDateInfo::AlarmUnit(unit);
    }
}

}  // namespace

void PmDateInfo::BuildFromClassic()
{
    PmDateDataMgr* mgr = m_pUtil->GetDataMgr();
    for (PmDateRecord* rec = mgr->First(); rec; rec = mgr->Next()) {
        if (!PmIsLiveStatus(uint32_t(rec->Status)))
            continue;
        PmDateSource* src = new (std::nothrow) PmDateSource{};
        if (!src)
            continue;
        src->Generation = kPmGenClassic;
        src->Status = uint32_t(rec->Status);
        src->Classic = new (std::nothrow) PmDateRecord(*rec);
        src->LoaderRecord = rec;

        CommDate d{};
        d.Description.Set(rec->Description);
        d.AllDayEvent = rec->Untimed ? 1 : 0;
        d.StartTime = CalendarTime(rec->StartTime);
        d.EndTime = CalendarTime(rec->EndTime);
        d.Note.Set(rec->Note);
        FillAlarm(rec->AlarmSet != 0, rec->AlarmAdvance, rec->AlarmUnit, &d);
        const PmRepeatEvent& r = rec->Repeat;
        FillRepeat({r.RepeatClass, r.RepeatInterval, r.RepeatEndDate, r.RepeatDayIndex, r.RepeatDaysMask,
                    r.RepeatWeekIndex, r.RepeatMonth, r.RepeatDayNumber},
                   &d.Repeat);
        d.Trailer.SourceType = 1;
        d.Trailer.Status = src->Status;
        if (!src->Classic || !m_Recs.Append(src, &d)) {
            FreeNative(src);
            delete src;
        }
    }
}

void PmDateInfo::BuildFromEx()
{
    PmDateExDataMgr* mgr = m_pExUtil->DataMgr();
    for (PmDateExRecord* rec = mgr->First(); rec; rec = mgr->Next()) {
        if (!PmIsLiveStatus(rec->Status))
            continue;
        PmDateSource* src = new (std::nothrow) PmDateSource{};
        if (!src)
            continue;
        src->Generation = kPmGenEx;
        src->Status = rec->Status;
        src->Ex = new (std::nothrow) PmDateExRecord(*rec);
        src->LoaderRecord = rec;

        CommDate d{};
        d.Description.Set(rec->Summary.c_str(), rec->Summary.size());
        d.AllDayEvent = rec->Untimed ? 1 : 0;
        d.StartTime = CalendarTime(int32_t(rec->StartTime));
        d.EndTime = CalendarTime(int32_t(rec->EndTime));
        d.Note.Set(rec->Note.c_str(), rec->Note.size());
        d.Location.Set(rec->Location.c_str(), rec->Location.size());
        FillAlarm(rec->Alarm != 0, int32_t(rec->AlarmAdvance), int32_t(rec->AlarmUnit), &d);
        const PmExRepeat& r = rec->Repeat;
        FillRepeat({int32_t(r.Class), int32_t(r.Interval), int32_t(r.EndDate), int32_t(r.DayIndex), r.DaysMask,
                    int32_t(r.WeekIndex), int32_t(r.Month), int32_t(r.DayNumber)},
                   &d.Repeat);
        d.Trailer.SourceType = 1;
        d.Trailer.Status = src->Status;
        if (!src->Ex || !m_Recs.Append(src, &d)) {
            FreeNative(src);
            delete src;
        }
    }
}

void PmDateInfo::BuildFromEx2()
{
    PmDateEx2DataMgr* mgr = m_pEx2Util->DataMgr();
    for (PmDateEx2Record* rec = mgr->First(); rec; rec = mgr->Next()) {
        if (!PmIsLiveStatus(uint32_t(rec->Status)))
            continue;
        PmDateSource* src = new (std::nothrow) PmDateSource{};
        if (!src)
            continue;
        src->Generation = kPmGenEx2;
        src->Status = uint32_t(rec->Status);
        src->Ex2 = new (std::nothrow) PmDateEx2Record(*rec);
        src->LoaderRecord = rec;

        CommDate d{};
        PmSetField(d.Description, rec->Summary);
        d.AllDayEvent = rec->Untimed ? 1 : 0;
        d.StartTime = CalendarTime(rec->StartTime);
        d.EndTime = CalendarTime(rec->EndTime);
        PmSetField(d.Note, rec->Note);
        PmSetField(d.Location, rec->Location);
        FillAlarm(rec->Alarm != 0, rec->AlarmAdvance, rec->AlarmUnit, &d);
        const PmEx2RepeatBlock& r = rec->Repeat;
        FillRepeat({r.Kind, r.Interval, r.EndDate, r.DayIndex, r.DaysMask, r.WeekIndex, r.MonthIndex, r.DayNumber},
                   &d.Repeat);
        d.Trailer.SourceType = 1;
        d.Trailer.Status = src->Status;
        if (!src->Ex2 || !m_Recs.Append(src, &d)) {
            FreeNative(src);
            delete src;
        }
    }
}

bool PmDateInfo::DeleteRecord(CommDate* pRec)
{
    CX_ASSERT(pRec != nullptr);
    if (!pRec)
        return false;
    PmDateSource* src = m_Recs.SourceOf(pRec);
    if (!src)
        return false;
    auto* copy = static_cast<PmDateSource*>(pRec->Trailer.NativeCopy);
    switch (m_LoadedGen) {
    case kPmGenClassic:
        if (copy)
            copy->Status = kPmStatusDeleted;
        static_cast<PmDateRecord*>(src->LoaderRecord)->Status = int32_t(kPmStatusDeleted);
        src->Status = kPmStatusDeleted;
        src->Classic->Status = int32_t(kPmStatusDeleted);
        return true;
    case kPmGenEx:
        if (copy)
            copy->Status = kPmStatusDeleted;
        static_cast<PmDateExRecord*>(src->LoaderRecord)->Status = kPmStatusDeleted;
        src->Status = kPmStatusDeleted;
        src->Ex->Status = kPmStatusDeleted;
        return true;
    case kPmGenEx2:
        if (copy)
            copy->Status = kPmStatusDeleted;
        static_cast<PmDateEx2Record*>(src->LoaderRecord)->Status = int32_t(kPmStatusDeleted);
        src->Status = kPmStatusDeleted;
        src->Ex2->Status = int32_t(kPmStatusDeleted);
        return m_pEx2Util->WriteBackRecord(src->Ex2);
    default:
        return false;
    }
}

bool PmDateInfo::Save()
{
    switch (m_LoadedGen) {
    case kPmGenEx2:
        return m_pEx2Util->Save();
    case kPmGenEx:
        return m_pExUtil->Save();
    case kPmGenClassic:
        return m_pUtil->Save(m_pUtil->LoadedPath().c_str());
    default:
        CXLOG(0, "Unknown Palm Desktop version.");
        return false;
    }
}
