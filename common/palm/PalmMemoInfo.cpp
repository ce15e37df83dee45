#include "palm/PalmMemoInfo.h"

#include "misc/CxDebugUtil.h"
#include "palm/PalmEnv.h"

#include <string_view>

PmMemoInfo::PmMemoInfo() { Init(GetPalmDesktopVersion()); }

PmMemoInfo::PmMemoInfo(uint32_t version) { Init(version); }

void PmMemoInfo::Init(uint32_t version)
{
    m_ChosenGen = PmChooseGeneration(version, true);
    CXLOG(2, "Palm Desktop Version: %d", int32_t(version));
    m_pUtil = new PmMemoUtil();
    m_pExUtil = new PmMemoExUtil();
    m_pEx2Util = new PmMemoEx2Util();
}

PmMemoInfo::~PmMemoInfo()
{
    // The utilities go first; the sources only point into their managers.
    delete m_pUtil;
    delete m_pExUtil;
    delete m_pEx2Util;
    m_Recs.Clear(FreeNative);
}

void PmMemoInfo::FreeNative(PmMemoSource* src)
{
    delete src->Classic;
    delete src->Ex;
    delete src->Ex2;
    src->Classic = nullptr;
    src->Ex = nullptr;
    src->Ex2 = nullptr;
}

void PmMemoInfo::Reset()
{
    m_LoadedGen = kPmGenNone;
    m_pUtil->GetDataMgr()->Clear();
    m_pExUtil->DataMgr()->Clear();
    m_pEx2Util->DataMgr()->Clear();
    m_Recs.Clear(FreeNative);
}

bool PmMemoInfo::LoadByUser(int32_t user)
{
    Reset();
    CXLOG(2, "Load Palm Desktop Memos by user: %d", user);
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
        CXLOG(0, "Unknown Palm Desktop version.");
        m_LoadedGen = kPmGenUnknown;
        return false;
    }
    if (!loaded) {
        CXLOG(0, "Failed to load Palm Desktop Memo database by User: %d", user);
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

void PmMemoInfo::FillNote(const char* text, size_t length, int32_t isPrivate, CommNote* note)
{
    std::string_view memo(text ? text : "", text ? length : 0);
    note->Private = isPrivate;
    note->Note.Set(memo);
    note->Subject.Set(PmFirstLine(memo));
}

bool PmMemoInfo::AddSource(PmMemoSource* src, const char* text, size_t length, int32_t isPrivate, int32_t recordId)
{
    CommNote note{};
    FillNote(text, length, isPrivate, &note);
    note.Trailer.SourceType = 1;
    note.Trailer.Status = src->Status;
    note.Trailer.ID = recordId;
    return m_Recs.Append(src, &note) != nullptr;
}

void PmMemoInfo::BuildFromClassic()
{
    PmMemoDataMgr* mgr = m_pUtil->GetDataMgr();
    for (PmMemoRecord* rec = mgr->First(); rec; rec = mgr->Next()) {
        if (!PmIsLiveStatus(uint32_t(rec->Status)))
            continue;
        PmMemoSource* src = new (std::nothrow) PmMemoSource{};
        if (!src)
            continue;
        src->Generation = kPmGenClassic;
        src->Status = uint32_t(rec->Status);
        src->Classic = new (std::nothrow) PmMemoRecord(*rec);
        src->LoaderRecord = rec;
        if (!src->Classic || !AddSource(src, rec->Memo.data(), rec->Memo.size(), rec->Private, rec->RecordID)) {
            FreeNative(src);
            delete src;
        }
    }
}

void PmMemoInfo::BuildFromEx()
{
    PmMemoExDataMgr* mgr = m_pExUtil->DataMgr();
    for (PmMemoExRecord* rec = mgr->First(); rec; rec = mgr->Next()) {
        if (!PmIsLiveStatus(rec->Status))
            continue;
        PmMemoSource* src = new (std::nothrow) PmMemoSource{};
        if (!src)
            continue;
        src->Generation = kPmGenEx;
        src->Status = rec->Status;
        src->Ex = new (std::nothrow) PmMemoExRecord(*rec);
        src->LoaderRecord = rec;
        if (!src->Ex || !AddSource(src, rec->Note.c_str(), rec->Note.size(), rec->Private ? 1 : 0,
                                   int32_t(rec->RecordID))) {
            FreeNative(src);
            delete src;
        }
    }
}

void PmMemoInfo::BuildFromEx2()
{
    PmMemoEx2DataMgr* mgr = m_pEx2Util->DataMgr();
    for (PmMemoEx2Record* rec = mgr->First(); rec; rec = mgr->Next()) {
        if (!PmIsLiveStatus(uint32_t(rec->Status)))
            continue;
        PmMemoSource* src = new (std::nothrow) PmMemoSource{};
        if (!src)
            continue;
        src->Generation = kPmGenEx2;
        src->Status = uint32_t(rec->Status);
        src->Ex2 = new (std::nothrow) PmMemoEx2Record(*rec);
        src->LoaderRecord = rec;
        if (!src->Ex2 ||
            !AddSource(src, rec->Note, strnlen(rec->Note, sizeof(rec->Note)), rec->Private ? 1 : 0, rec->RecordID)) {
            FreeNative(src);
            delete src;
        }
    }
}

bool PmMemoInfo::DeleteRecord(CommNote* pRec)
{
    CX_ASSERT(pRec != nullptr);
    if (!pRec)
        return false;
    PmMemoSource* src = m_Recs.SourceOf(pRec);
    if (!src)
        return false;
    auto* copy = static_cast<PmMemoSource*>(pRec->Trailer.NativeCopy);
    switch (m_LoadedGen) {
    case kPmGenClassic:
        if (copy)
            copy->Status = kPmStatusDeleted;
        static_cast<PmMemoRecord*>(src->LoaderRecord)->Status = int32_t(kPmStatusDeleted);
        src->Status = kPmStatusDeleted;
        src->Classic->Status = int32_t(kPmStatusDeleted);
        return true;
    case kPmGenEx:
        if (copy)
            copy->Status = kPmStatusDeleted;
        static_cast<PmMemoExRecord*>(src->LoaderRecord)->Status = kPmStatusDeleted;
        src->Status = kPmStatusDeleted;
        src->Ex->Status = kPmStatusDeleted;
        return true;
    case kPmGenEx2:
        if (copy)
            copy->Status = kPmStatusDeleted;
        src->Status = kPmStatusDeleted;
        src->Ex2->Status = int32_t(kPmStatusDeleted);
        // The row is brought in line with the copy now; its result is the
        // deletion's (a row that was not changed is no deletion).
        return m_pEx2Util->WriteBackRecord(src->Ex2);
    default:
        return true;
    }
}

bool PmMemoInfo::Save()
{
    switch (m_ChosenGen) {
    case kPmGenClassic:
        // Only a file that was read whole is written back: after a failed load
        // or a Reset the utility holds nothing that could replace it.
        if (m_LoadedGen != kPmGenClassic)
            return false;
        return m_pUtil->Save(m_pUtil->LoadedPath().c_str());
    case kPmGenEx:
        if (m_LoadedGen != kPmGenEx)
            return false;
        return m_pExUtil->Save();
    case kPmGenEx2:
        return true;
    default:
        return false;
    }
}
