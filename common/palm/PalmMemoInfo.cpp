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
    m_Core.CreateUtilities();
}

PmMemoInfo::~PmMemoInfo() = default;

void PmMemoInfo::Reset() { m_Core.Reset(); }

bool PmMemoInfo::LoadByUser(int32_t user)
{
    Reset();
    CXLOG(2, "Load Palm Desktop Memos by user: %d", user);
    bool known = false;
    bool loaded = m_Core.LoadFile(m_ChosenGen, user, &known);
    if (!known) {
        CXLOG(0, "Unknown Palm Desktop version.");
        m_Core.SetLoadedGeneration(kPmGenUnknown);
        return false;
    }
    if (!loaded) {
        CXLOG(0, "Failed to load Palm Desktop Memo database by User: %u", uint32_t(user));
        return true;
    }
    m_Core.Build(m_ChosenGen, FromClassic, FromEx, FromEx2);
    return true;
}

void PmMemoInfo::FillNote(const char* text, size_t length, int32_t isPrivate, CommNote* note, bool stored)
{
    std::string_view memo(text ? text : "", text ? length : 0);
    note->Private = isPrivate;
    if (stored) {
        note->Note.SetStored(PmStoredCutUtf8(memo, decltype(note->Note)::kCapacity));
        note->Subject.SetStored(PmStoredCutUtf8(PmFirstLine(memo), decltype(note->Subject)::kCapacity));
        return;
    }
    note->Note.Set(memo);
    note->Subject.Set(PmFirstLine(memo));
}

CommNote PmMemoInfo::NoteOf(const PmMemoSource& src, const char* text, size_t length, int32_t isPrivate,
                            int32_t recordId, bool stored)
{
    CommNote note{};
    FillNote(text, length, isPrivate, &note, stored);
    note.Trailer.SourceType = 1;
    note.Trailer.Status = src.Status;
    note.Trailer.ID = recordId;
    return note;
}

CommNote PmMemoInfo::FromClassic(const PmMemoRecord& rec, const PmMemoSource& src)
{
    return NoteOf(src, rec.Memo.data(), rec.Memo.size(), rec.Private, rec.RecordID);
}

CommNote PmMemoInfo::FromEx(const PmMemoExRecord& rec, const PmMemoSource& src)
{
    return NoteOf(src, rec.Note.c_str(), rec.Note.size(), rec.Private ? 1 : 0, int32_t(rec.RecordID));
}

CommNote PmMemoInfo::FromEx2(const PmMemoEx2Record& rec, const PmMemoSource& src)
{
    return NoteOf(src, rec.Note.c_str(), rec.Note.Length(), rec.Private ? 1 : 0, rec.RecordID, true);
}

bool PmMemoInfo::DeleteRecord(CommNote* pRec)
{
    CX_ASSERT(pRec != nullptr);
    // A 6.x row is brought in line with the copy at once; its result is the
    // deletion's (a row that was not changed is no deletion).
    return m_Core.DeleteRecord(pRec, true);
}

bool PmMemoInfo::Save() { return m_Core.SaveChosen(m_ChosenGen); }

std::string PmMemoInfo::CategoryName(const CommNote* rec) { return m_Core.CategoryName(rec); }
