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
    m_Core.CreateUtilities();
}

PmTodoInfo::~PmTodoInfo() = default;

void PmTodoInfo::Reset() { m_Core.Reset(); }

bool PmTodoInfo::LoadByUser(int32_t user)
{
    Reset();
    CXLOG(2, "Load Palm Desktop Tasks by user: %d", user);
    bool known = false;
    if (!m_Core.LoadFile(m_ChosenGen, user, &known)) {
        CXLOG(0, "Failed to load Palm Desktop Tasks database by User: %u", uint32_t(user));
        return true;
    }
    m_Core.Build(m_ChosenGen, FromClassic, FromEx, FromEx2);
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

CommTask PmTodoInfo::FromClassic(const PmTodoRecord& rec, const PmTodoSource& src)
{
    CommTask t{};
    t.Description.Set(rec.Description);
    t.Note.Set(rec.Note);
    t.Completed = rec.Completed ? 1 : 0;
    // Classic tasks have neither alarms nor recurrences.
    t.Private = rec.Private ? 1 : 0;
    t.DueDate = uint32_t(rec.DueDate);
    t.Priority = Priority(rec.Priority);
    t.Sensitivity = t.Private == 1 ? 2 : 0;
    t.Trailer.SourceType = kSourceClassic;
    t.Trailer.Status = src.Status;
    t.Trailer.ID = rec.RecordID;
    return t;
}

CommTask PmTodoInfo::FromEx(const PmTodoExRecord& rec, const PmTodoSource& src)
{
    CommTask t{};
    t.Description.Set(rec.Description.c_str(), rec.Description.size());
    t.Note.Set(rec.Note.c_str(), rec.Note.size());
    t.Completed = rec.Completed ? 1 : 0;
    t.Alarm = rec.AlarmSet ? 1 : 0;
    t.AlarmSet = t.Alarm;
    t.Private = rec.Private ? 1 : 0;
    t.DueDate = rec.DueDate;
    t.Priority = Priority(int32_t(rec.Priority));
    PmDateInfo::FillRepeat(rec.Repeat, &t.Repeat);
    t.Sensitivity = t.Private == 1 ? 2 : 0;
    t.Trailer.SourceType = kSourceEx;
    t.Trailer.Status = src.Status;
    t.Trailer.ID = int32_t(rec.RecordID);
    return t;
}

CommTask PmTodoInfo::FromEx2(const PmTodoEx2Record& rec, const PmTodoSource& src)
{
    CommTask t{};
    PmSetField(t.Description, rec.Description);
    PmSetField(t.Note, rec.Note);
    t.Completed = rec.Completed;
    t.Alarm = rec.AlarmSet;
    t.AlarmSet = rec.AlarmSet;
    t.Private = rec.Private;
    t.DueDate = uint32_t(rec.DueDate);
    t.Priority = Priority(rec.Priority);
    const PmEx2RepeatBlock& r = rec.Repeat;
    PmDateInfo::FillRepeat(
        PmNativeRepeat{r.Kind, r.Interval, r.EndDate, r.DayIndex, r.DaysMask, r.WeekIndex, r.MonthIndex, r.DayNumber},
        &t.Repeat);
    t.Sensitivity = t.Private == 1 ? 2 : 0;
    t.Trailer.SourceType = kSourceEx2;
    t.Trailer.Status = src.Status;
    t.Trailer.ID = rec.RecordID;
    return t;
}

bool PmTodoInfo::DeleteRecord(CommTask* pRec)
{
    CX_ASSERT(pRec != nullptr);
    return m_Core.DeleteRecord(pRec, false);
}

bool PmTodoInfo::Save() { return m_Core.SaveLoaded(); }

std::string PmTodoInfo::CategoryName(const CommTask* rec) { return m_Core.CategoryName(rec); }
