#include "Pddatedetail.h"

#include "GuiUtil.h"

#include "palm/PalmComm.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

/// Repeat kinds of the generation records.
enum : int32_t {
    kRepeatDaily = 1,
    kRepeatWeekly = 2,
    kRepeatMonthlyByDay = 3,
    kRepeatMonthlyByDate = 4,
    kRepeatYearlyByDate = 5,
    kRepeatYearlyByDay = 6,
};

/// The value every generation stores for "no end" (and for "no due date"):
/// 12/31/2031 23:59:59, the last moment the handheld's calendar knows.
constexpr uint32_t kNoEndValue = 1956499199u;

const char* const kWeekdayNames[7] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
const char* const kWeekdayBoxes[7] = {"cbSunday",   "cbMonday", "cbTuesday", "cbWednesday",
                                      "cbThursday", "cbFriday", "cbSaturday"};

}  // namespace

TfmPDDateDetail::TfmPDDateDetail(QWidget* parent)
    : TfmPimDetail(parent, App::Calendar, QStringLiteral("Palm Desktop Calendar Record Details"),
                   QStringLiteral("View detail information of the Palm Desktop Calendar record."))
{
    setObjectName(QStringLiteral("fmPDDateDetail"));

    tsGeneral = AddPage(QStringLiteral("General"), "tsGeneral");
    QGridLayout* g = PageGrid(tsGeneral);
    edtDesc = AddEdit(g, 0, 0, QStringLiteral("Description:"), "edtDesc");
    edtDate = AddEdit(g, 1, 0, QStringLiteral("Date:"), "edtDate");
    edtStartTime = AddEdit(g, 2, 0, QStringLiteral("Start Time:"), "edtStartTime");
    edtEndTime = AddEdit(g, 3, 0, QStringLiteral("End Time:"), "edtEndTime");
    edtLocation = AddEdit(g, 4, 0, QStringLiteral("Location:"), "edtLocation");
    edtCategory = AddEdit(g, 5, 0, QStringLiteral("Category:"), "edtCategory");
    for (QLineEdit* e : {edtDate, edtStartTime, edtEndTime})
        e->setMaximumWidth(140);
    auto* flags = new QHBoxLayout;
    flags->setSpacing(24);
    cbAllday = new QCheckBox(QStringLiteral("All day event"), tsGeneral);
    cbAlarm = new QCheckBox(QStringLiteral("Alarm"), tsGeneral);
    cbPrivate = new QCheckBox(QStringLiteral("Private"), tsGeneral);
    cbAllday->setObjectName(QStringLiteral("cbAllday"));
    cbAlarm->setObjectName(QStringLiteral("cbAlarm"));
    cbPrivate->setObjectName(QStringLiteral("cbPrivate"));
    for (QCheckBox* box : {cbAllday, cbAlarm, cbPrivate}) {
        ShowOnly(box);
        flags->addWidget(box);
    }
    flags->addStretch(1);
    g->addLayout(flags, 6, 1);
    g->setColumnStretch(1, 1);
    g->setRowStretch(7, 1);

    // Recurrence: one inner page per repeat kind, then the range.
    tsRecurrence = AddPage(QStringLiteral("Recurrence"), "tsRecurrence");
    auto* recur = new QVBoxLayout(tsRecurrence);
    recur->setContentsMargins(10, 10, 10, 10);
    recur->setSpacing(10);
    pcRecur = new QTabWidget(tsRecurrence);
    pcRecur->setObjectName(QStringLiteral("pcRecur"));
    recur->addWidget(pcRecur, 1);

    QGridLayout* page = nullptr;
    tsDaily = AddPage(QStringLiteral("Daily"), "tsDaily", pcRecur);
    edtRecurDays = AddEvery(tsDaily, QStringLiteral("day(s)"), "edtRecurDays", &page);
    page->setRowStretch(1, 1);

    tsWeekly = AddPage(QStringLiteral("Weekly"), "tsWeekly", pcRecur);
    edtRecurWeeks = AddEvery(tsWeekly, QStringLiteral("week(s) on:"), "edtRecurWeeks", &page);
    auto* days = new QGridLayout;
    days->setHorizontalSpacing(18);
    days->setVerticalSpacing(8);
    for (int i = 0; i < 7; ++i) {
        cbWeekday[i] = new QCheckBox(QLatin1String(kWeekdayNames[i]), tsWeekly);
        cbWeekday[i]->setObjectName(QLatin1String(kWeekdayBoxes[i]));
        ShowOnly(cbWeekday[i]);
        days->addWidget(cbWeekday[i], i / 4, i % 4);
    }
    page->addLayout(days, 1, 0, 1, 4);
    page->setRowStretch(2, 1);

    tsMonthly = AddPage(QStringLiteral("Monthly"), "tsMonthly", pcRecur);
    edtRecurMonths = AddEvery(tsMonthly, QStringLiteral("month(s)"), "edtRecurMonths", &page);
    page->addWidget(new QLabel(QStringLiteral("Repeat by:"), tsMonthly), 1, 0);
    rbtnDay = new QRadioButton(QStringLiteral("Day"), tsMonthly);
    rbtnDate = new QRadioButton(QStringLiteral("Date"), tsMonthly);
    rbtnDay->setObjectName(QStringLiteral("rbtnDay"));
    rbtnDate->setObjectName(QStringLiteral("rbtnDate"));
    page->addWidget(rbtnDay, 1, 1);
    page->addWidget(rbtnDate, 1, 2);
    page->setRowStretch(2, 1);

    tsYearly = AddPage(QStringLiteral("Yearly"), "tsYearly", pcRecur);
    edtRecurYears = AddEvery(tsYearly, QStringLiteral("year(s)"), "edtRecurYears", &page);
    page->addWidget(new QLabel(QStringLiteral("Repeat by:"), tsYearly), 1, 0);
    rbtnYearDate = new QRadioButton(QStringLiteral("Date"), tsYearly);
    rbtnYearDay = new QRadioButton(QStringLiteral("Day"), tsYearly);
    rbtnYearDate->setObjectName(QStringLiteral("rbtnYearDate"));
    rbtnYearDay->setObjectName(QStringLiteral("rbtnYearDay"));
    page->addWidget(rbtnYearDate, 1, 1);
    page->addWidget(rbtnYearDay, 1, 2);
    page->setRowStretch(2, 1);

    grpRange = new QGroupBox(QStringLiteral(" Recurrence Range "), tsRecurrence);
    grpRange->setObjectName(QStringLiteral("grpRange"));
    auto* range = new QGridLayout(grpRange);
    range->setContentsMargins(12, 10, 12, 12);
    range->setHorizontalSpacing(10);
    range->setVerticalSpacing(8);
    rbtnNoEnd = new QRadioButton(QStringLiteral("No end date"), grpRange);
    rbtnEndBy = new QRadioButton(QStringLiteral("End by"), grpRange);
    rbtnNoEnd->setObjectName(QStringLiteral("rbtnNoEnd"));
    rbtnEndBy->setObjectName(QStringLiteral("rbtnEndBy"));
    edtRecurEnd = new QLineEdit(grpRange);
    edtRecurEnd->setObjectName(QStringLiteral("edtRecurEnd"));
    edtRecurEnd->setReadOnly(true);
    edtRecurEnd->setFixedWidth(140);
    range->addWidget(rbtnNoEnd, 0, 0);
    range->addWidget(rbtnEndBy, 1, 0);
    range->addWidget(edtRecurEnd, 1, 1);
    range->setColumnStretch(2, 1);
    recur->addWidget(grpRange);
    for (QRadioButton* b : {rbtnDay, rbtnDate, rbtnYearDate, rbtnYearDay, rbtnNoEnd, rbtnEndBy})
        ShowOnly(b);

    memNotes = AddNotesPage(QStringLiteral("Notes"));
    lvMisc = AddMiscPage(QStringLiteral("Misc Fields"), &tsMisc);
    Tabs()->setCurrentWidget(tsGeneral);
}

QLineEdit* TfmPDDateDetail::AddEvery(QWidget* page, const QString& unit, const char* name, QGridLayout** grid)
{
    auto* g = PageGrid(page);
    g->setVerticalSpacing(12);
    auto* edit = new QLineEdit(page);
    edit->setObjectName(QLatin1String(name));
    edit->setReadOnly(true);
    edit->setFixedWidth(60);
    g->addWidget(new QLabel(QStringLiteral("Every"), page), 0, 0);
    g->addWidget(edit, 0, 1);
    g->addWidget(new QLabel(unit, page), 0, 2);
    g->setColumnStretch(3, 1);
    *grid = g;
    return edit;
}

bool TfmPDDateDetail::IsNoEndDate(uint32_t endDate)
{
    if (endDate >= kNoEndValue)
        return true;
    PmTime t;
    t.Set(int32_t(endDate));
    PmTimeParts parts;
    if (!t.Breakdown(&parts))
        return true;
    return parts.year < 2000 || parts.year > 2049;
}

void TfmPDDateDetail::SetRecord(const CommDate* rec)
{
    m_pRecord = rec;
    m_HasNative = rec && NativeSource(rec->Trailer.NativeCopy, rec->Trailer.NativeCopySize, &m_Native);
}

void TfmPDDateDetail::Fill()
{
    if (!m_pFacade || !m_pRecord || !m_HasNative)
        return;
    Item item;
    bool misc = true;
    if (m_Native.Generation == kPmGenClassic && m_Native.Classic) {
        const PmDateRecord& r = *m_Native.Classic;
        item.description = Ansi(r.Description);
        item.note = Ansi(r.Note);
        item.start = r.StartTime;
        item.end = r.EndTime;
        item.allDay = r.Untimed != 0;
        item.alarm = r.AlarmSet != 0;
        item.isPrivate = r.Private != 0;
        item.repeatKind = int32_t(r.Repeat.Class);
        item.interval = int32_t(r.Repeat.Interval);
        item.daysMask = r.Repeat.DaysMask;
        item.repeatEnd = uint32_t(r.Repeat.EndDate);
        misc = false;  // the classic file has no further fields
    } else if (m_Native.Generation == kPmGenEx && m_Native.Ex) {
        const PmDateExRecord& r = *m_Native.Ex;
        item.description = Ansi(r.Summary);
        item.location = Ansi(r.Location);
        item.note = Ansi(r.Note);
        item.start = int32_t(r.StartTime);
        item.end = int32_t(r.EndTime);
        item.allDay = r.Untimed != 0;
        item.alarm = r.Alarm != 0;
        item.isPrivate = r.Private != 0;
        item.repeatKind = int32_t(r.Repeat.Class);
        item.interval = int32_t(r.Repeat.Interval);
        item.daysMask = r.Repeat.DaysMask;
        item.repeatEnd = r.Repeat.EndDate;
    } else if (m_Native.Generation == kPmGenEx2 && m_Native.Ex2) {
        const PmDateEx2Record& r = *m_Native.Ex2;
        item.description = Ansi(r.Summary);
        item.location = Ansi(r.Location);
        item.note = Ansi(r.Note);
        item.start = r.StartTime;
        item.end = r.EndTime;
        item.allDay = r.Untimed != 0;
        item.alarm = r.Alarm != 0;
        item.isPrivate = r.Private != 0;
        item.repeatKind = r.Repeat.Kind;
        item.interval = r.Repeat.Interval;
        item.daysMask = r.Repeat.DaysMask;
        item.repeatEnd = uint32_t(r.Repeat.EndDate);
    } else {
        return;
    }
    ShowItem(item, misc);
}

void TfmPDDateDetail::ShowItem(const Item& item, bool miscShown)
{
    edtDesc->setText(item.description);
    edtDate->setText(DateText(item.start));
    edtStartTime->setText(TimeText(item.start));
    edtEndTime->setText(TimeText(item.end));
    edtLocation->setText(item.location);
    edtCategory->setText(
        CategoryText(m_pFacade->CategoryName(m_pRecord), m_pFacade->LoadedGeneration() == kPmGenEx2));
    cbAllday->setChecked(item.allDay);
    cbAlarm->setChecked(item.alarm);
    cbPrivate->setChecked(item.isPrivate);
    memNotes->setPlainText(NoteText(item.note));
    // The list has nothing to show for an item: the page is there for the
    // generations that store more than the other pages show.
    SetMiscRows(lvMisc, {});
    SetTabShown(Tabs(), tsMisc, miscShown);
    ShowRecurrence(item);
}

void TfmPDDateDetail::ShowRecurrence(const Item& item)
{
    QWidget* shown = nullptr;
    const QString interval = QString::number(item.interval);
    switch (item.repeatKind) {
    case kRepeatDaily:
        shown = tsDaily;
        edtRecurDays->setText(interval);
        break;
    case kRepeatWeekly:
        shown = tsWeekly;
        edtRecurWeeks->setText(interval);
        for (int i = 0; i < 7; ++i)
            cbWeekday[i]->setChecked((item.daysMask >> i) & 1);
        break;
    case kRepeatMonthlyByDay:
    case kRepeatMonthlyByDate:
        shown = tsMonthly;
        edtRecurMonths->setText(interval);
        (item.repeatKind == kRepeatMonthlyByDay ? rbtnDay : rbtnDate)->setChecked(true);
        break;
    case kRepeatYearlyByDate:
    case kRepeatYearlyByDay:
        shown = tsYearly;
        edtRecurYears->setText(interval);
        (item.repeatKind == kRepeatYearlyByDate ? rbtnYearDate : rbtnYearDay)->setChecked(true);
        break;
    default:
        break;
    }
    if (!shown) {
        SetTabShown(Tabs(), tsRecurrence, false);
        return;
    }
    for (QWidget* p : {tsDaily, tsWeekly, tsMonthly, tsYearly})
        SetTabShown(pcRecur, p, p == shown);
    pcRecur->setCurrentWidget(shown);

    if (IsNoEndDate(item.repeatEnd)) {
        rbtnNoEnd->setChecked(true);
        edtRecurEnd->clear();
    } else {
        rbtnEndBy->setChecked(true);
        edtRecurEnd->setText(DateText(int32_t(item.repeatEnd)));
    }
}

void ShowPDDateDetail(QWidget* parent, PmDateInfo* facade, CommDate* rec)
{
    TfmPDDateDetail viewer(parent);
    viewer.SetFacade(facade);
    viewer.SetRecord(rec);
    viewer.Fill();
    ExecDialog(&viewer);
}
