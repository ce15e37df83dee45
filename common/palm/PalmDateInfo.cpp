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
    m_Core.CreateUtilities();
}

PmDateInfo::~PmDateInfo() = default;

void PmDateInfo::Reset() { m_Core.Reset(); }

bool PmDateInfo::LoadByUser(int32_t user)
{
    Reset();
    CXLOG(2, "Load Palm Desktop Calendar by user: %d", user);
    bool known = false;
    if (!m_Core.LoadFile(m_ChosenGen, user, &known)) {
        CXLOG(0, "Failed to open Palm Desktop Calendar database by User: %u", uint32_t(user));
        return false;
    }
    m_Core.Build(m_ChosenGen, FromClassic, FromEx, FromEx2);
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

void PmDateInfo::FillRepeat(const PmRepeat& r, CommRepeat* out)
{
    // The stored words read as the signed values the facades work with.
    FillRepeat(PmNativeRepeat{int32_t(r.Class), int32_t(r.Interval), int32_t(r.EndDate), int32_t(r.DayIndex), r.DaysMask,
                int32_t(r.WeekIndex), int32_t(r.Month), int32_t(r.DayNumber)},
               out);
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

CommDate PmDateInfo::FromClassic(const PmDateRecord& rec, const PmDateSource& src)
{
    CommDate d{};
    d.Description.Set(rec.Description);
    d.AllDayEvent = rec.Untimed ? 1 : 0;
    d.StartTime = CalendarTime(rec.StartTime);
    d.EndTime = CalendarTime(rec.EndTime);
    d.Note.Set(rec.Note);
    FillAlarm(rec.AlarmSet != 0, rec.AlarmAdvance, rec.AlarmUnit, &d);
    FillRepeat(rec.Repeat, &d.Repeat);
    d.Trailer.SourceType = 1;
    d.Trailer.Status = src.Status;
    return d;
}

CommDate PmDateInfo::FromEx(const PmDateExRecord& rec, const PmDateSource& src)
{
    CommDate d{};
    d.Description.Set(rec.Summary.c_str(), rec.Summary.size());
    d.AllDayEvent = rec.Untimed ? 1 : 0;
    d.StartTime = CalendarTime(int32_t(rec.StartTime));
    d.EndTime = CalendarTime(int32_t(rec.EndTime));
    d.Note.Set(rec.Note.c_str(), rec.Note.size());
    d.Location.Set(rec.Location.c_str(), rec.Location.size());
    FillAlarm(rec.Alarm != 0, int32_t(rec.AlarmAdvance), int32_t(rec.AlarmUnit), &d);
    FillRepeat(rec.Repeat, &d.Repeat);
    d.Trailer.SourceType = 1;
    d.Trailer.Status = src.Status;
    return d;
}

CommDate PmDateInfo::FromEx2(const PmDateEx2Record& rec, const PmDateSource& src)
{
    CommDate d{};
    PmSetField(d.Description, rec.Summary);
    d.AllDayEvent = rec.Untimed ? 1 : 0;
    d.StartTime = CalendarTime(rec.StartTime);
    d.EndTime = CalendarTime(rec.EndTime);
    PmSetField(d.Note, rec.Note);
    PmSetField(d.Location, rec.Location);
    FillAlarm(rec.Alarm != 0, rec.AlarmAdvance, rec.AlarmUnit, &d);
    const PmEx2RepeatBlock& r = rec.Repeat;
    FillRepeat(PmNativeRepeat{r.Kind, r.Interval, r.EndDate, r.DayIndex, r.DaysMask, r.WeekIndex, r.MonthIndex, r.DayNumber},
               &d.Repeat);
    d.Trailer.SourceType = 1;
    d.Trailer.Status = src.Status;
    return d;
}

bool PmDateInfo::DeleteRecord(CommDate* pRec)
{
    CX_ASSERT(pRec != nullptr);
    return m_Core.DeleteRecord(pRec, false);
}

bool PmDateInfo::Save()
{
    // With no generation loaded, SaveLoaded refuses and says why.
    if (!m_Core.IsGeneration(m_Core.LoadedGeneration()))
        CXLOG(0, "Unknown Palm Desktop version.");
    return m_Core.SaveLoaded();
}

std::string PmDateInfo::CategoryName(const CommDate* rec) { return m_Core.CategoryName(rec); }
