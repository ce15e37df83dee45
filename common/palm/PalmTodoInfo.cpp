#include "palm/PalmTodoInfo.h"

#include "misc/CxDebugUtil.h"
#include "palm/PalmDateInfo.h"
#include "palm/PalmEnv.h"

PmTodoInfo::PmTodoInfo() { Init(GetPalmDesktopVersion()); }

PmTodoInfo::PmTodoInfo(uint32_t version) { Init(version); }

void PmTodoInfo::Init(uint32_t version)
{
    m_ChosenGen = PmChooseGeneration(version, false);
    CXLOG(2, "Palm Desktop Version: %d", int32_t(version));
    m_pUtil = new PmTodoUtil();
    m_pExUtil = new PmTodoExUtil();
    m_pEx2Util = new PmTodoEx2Util();
}

PmTodoInfo::~PmTodoInfo()
{
    delete m_pUtil;
    delete m_pExUtil;
    delete m_pEx2Util;
    m_Recs.Clear(FreeNative);
}

void PmTodoInfo::FreeNative(PmTodoSource* src)
{
    delete src->Classic;
    delete src->Ex;
    delete src->Ex2;
    src->Classic = nullptr;
    src->Ex = nullptr;
    src->Ex2 = nullptr;
}

void PmTodoInfo::Reset()
{
    m_LoadedGen = kPmGenNone;
    m_pUtil->GetDataMgr()->Clear();
    m_pExUtil->DataMgr()->Clear();
    m_pEx2Util->DataMgr()->Clear();
    m_Recs.Clear(FreeNative);
}

bool PmTodoInfo::LoadByUser(int32_t user)
{
    Reset();
    CXLOG(2, "Load Palm Desktop Tasks by user: %d", user);
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
        CXLOG(0, "Failed to load Palm Desktop Tasks database by User: %d", user);
        return true;
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

int32_t PmTodoInfo::Priority(int32_t nativePriority)
{
    if (nativePriority == 1)
        return 1;
    if (nativePriority == 5)
        return 2;
    return 0;
}

void PmTodoInfo::BuildFromClassic()
{
    PmTodoDataMgr* mgr = m_pUtil->GetDataMgr();
    for (PmTodoRecord* rec = mgr->First(); rec; rec = mgr->Next()) {
        if (!PmIsLiveStatus(uint32_t(rec->Status)))
            continue;
        PmTodoSource* src = new (std::nothrow) PmTodoSource{};
        if (!src)
            continue;
        src->Generation = kPmGenClassic;
        src->Status = uint32_t(rec->Status);
        src->Classic = new (std::nothrow) PmTodoRecord(*rec);
        src->LoaderRecord = rec;

        CommTask t{};
        t.Description.Set(rec->Description);
        t.Note.Set(rec->Note);
        t.Completed = rec->Completed ? 1 : 0;
        // Classic tasks have neither alarms nor recurrences.
        t.Private = rec->Private ? 1 : 0;
        t.DueDate = uint32_t(rec->DueDate);
        t.Priority = Priority(rec->Priority);
        t.Sensitivity = t.Private == 1 ? 2 : 0;
        t.Trailer.SourceType = kSourceClassic;
        t.Trailer.Status = src->Status;
        t.Trailer.ID = rec->RecordID;
        if (!src->Classic || !m_Recs.Append(src, &t)) {
            FreeNative(src);
            delete src;
        }
    }
}

void PmTodoInfo::BuildFromEx()
{
    PmTodoExDataMgr* mgr = m_pExUtil->DataMgr();
    for (PmTodoExRecord* rec = mgr->First(); rec; rec = mgr->Next()) {
        if (!PmIsLiveStatus(rec->Status))
            continue;
        PmTodoSource* src = new (std::nothrow) PmTodoSource{};
        if (!src)
            continue;
        src->Generation = kPmGenEx;
        src->Status = rec->Status;
        src->Ex = new (std::nothrow) PmTodoExRecord(*rec);
        src->LoaderRecord = rec;

        CommTask t{};
        t.Description.Set(rec->Description.c_str(), rec->Description.size());
        t.Note.Set(rec->Note.c_str(), rec->Note.size());
        t.Completed = rec->Completed ? 1 : 0;
        t.Alarm = rec->AlarmSet ? 1 : 0;
        t.AlarmSet = t.Alarm;
        t.Private = rec->Private ? 1 : 0;
        t.DueDate = rec->DueDate;
        t.Priority = Priority(int32_t(rec->Priority));
        const PmExRepeat& r = rec->Repeat;
        PmDateInfo::FillRepeat({int32_t(r.Class), int32_t(r.Interval), int32_t(r.EndDate), int32_t(r.DayIndex),
                                r.DaysMask, int32_t(r.WeekIndex), int32_t(r.Month), int32_t(r.DayNumber)},
                               &t.Repeat);
        t.Sensitivity = t.Private == 1 ? 2 : 0;
        t.Trailer.SourceType = kSourceEx;
        t.Trailer.Status = src->Status;
        t.Trailer.ID = int32_t(rec->RecordID);
        if (!src->Ex || !m_Recs.Append(src, &t)) {
            FreeNative(src);
            delete src;
        }
    }
}

void PmTodoInfo::BuildFromEx2()
{
    PmTodoEx2DataMgr* mgr = m_pEx2Util->DataMgr();
    for (PmTodoEx2Record* rec = mgr->First(); rec; rec = mgr->Next()) {
        if (!PmIsLiveStatus(uint32_t(rec->Status)))
            continue;
        PmTodoSource* src = new (std::nothrow) PmTodoSource{};
        if (!src)
            continue;
        src->Generation = kPmGenEx2;
        src->Status = uint32_t(rec->Status);
        src->Ex2 = new (std::nothrow) PmTodoEx2Record(*rec);
        src->LoaderRecord = rec;

        CommTask t{};
        PmSetField(t.Description, rec->Description);
        PmSetField(t.Note, rec->Note);
        t.Completed = rec->Completed;
        t.Alarm = rec->AlarmSet;
        t.AlarmSet = rec->AlarmSet;
        t.Private = rec->Private;
        t.DueDate = uint32_t(rec->DueDate);
        t.Priority = Priority(rec->Priority);
        const PmEx2RepeatBlock& r = rec->Repeat;
        PmDateInfo::FillRepeat(
            {r.Kind, r.Interval, r.EndDate, r.DayIndex, r.DaysMask, r.WeekIndex, r.MonthIndex, r.DayNumber},
            &t.Repeat);
        t.Sensitivity = t.Private == 1 ? 2 : 0;
        t.Trailer.SourceType = kSourceEx2;
        t.Trailer.Status = src->Status;
        t.Trailer.ID = rec->RecordID;
        if (!src->Ex2 || !m_Recs.Append(src, &t)) {
            FreeNative(src);
            delete src;
        }
    }
}

bool PmTodoInfo::DeleteRecord(CommTask* pRec)
{
    CX_ASSERT(pRec != nullptr);
    if (!pRec)
        return false;
    PmTodoSource* src = m_Recs.SourceOf(pRec);
    if (!src)
        return false;
    auto* copy = static_cast<PmTodoSource*>(pRec->Trailer.NativeCopy);
    switch (m_LoadedGen) {
    case kPmGenClassic:
        if (copy)
            copy->Status = kPmStatusDeleted;
        static_cast<PmTodoRecord*>(src->LoaderRecord)->Status = int32_t(kPmStatusDeleted);
        src->Status = kPmStatusDeleted;
        src->Classic->Status = int32_t(kPmStatusDeleted);
        return true;
    case kPmGenEx:
        if (copy)
            copy->Status = kPmStatusDeleted;
        static_cast<PmTodoExRecord*>(src->LoaderRecord)->Status = kPmStatusDeleted;
        src->Status = kPmStatusDeleted;
        src->Ex->Status = kPmStatusDeleted;
        return true;
    case kPmGenEx2:
        if (copy)
            copy->Status = kPmStatusDeleted;
        static_cast<PmTodoEx2Record*>(src->LoaderRecord)->Status = int32_t(kPmStatusDeleted);
        src->Status = kPmStatusDeleted;
        src->Ex2->Status = int32_t(kPmStatusDeleted);
        return m_pEx2Util->WriteBackRecord(src->Ex2);
    default:
        return false;
    }
}

bool PmTodoInfo::Save()
{
    switch (m_LoadedGen) {
    case kPmGenEx2:
        return m_pEx2Util->Save();
    case kPmGenEx:
        return m_pExUtil->Save();
    case kPmGenClassic:
        return m_pUtil->Save(m_pUtil->LoadedPath().c_str());
    default:
        return false;
    }
}
