// TfmPDDateDetail: the calendar viewer. Shows an item's description, times,
// location, category and flags, its recurrence on the page of its repeat
// kind with the range it runs to, and its note.
#pragma once

#include "Pimdetail.h"

#include "palm/PalmDateInfo.h"

#include <array>

class QCheckBox;
class QGroupBox;
class QLineEdit;
class QPlainTextEdit;
class QRadioButton;
class QTreeWidget;

class TfmPDDateDetail : public TfmPimDetail {
    Q_OBJECT
public:
    explicit TfmPDDateDetail(QWidget* parent = nullptr);

    void SetFacade(PmDateInfo* facade) { m_pFacade = facade; }
    void SetRecord(const CommDate* rec);
    /// Fills the pages; does nothing without a facade or a native copy.
    void Fill();

    /// Whether a repeat end date shows as "No end date": the value that
    /// stands for no end (12/31/2031 23:59:59) and anything above it, or a
    /// date whose year lies outside 2000 to 2049.
    static bool IsNoEndDate(uint32_t endDate);

private:
    /// What the viewer shows of an item, whatever its generation.
    struct Item {
        QString description, location, note;
        int32_t start = 0, end = 0;
        bool allDay = false, alarm = false, isPrivate = false;
        int32_t repeatKind = 0, interval = 0;
        uint8_t daysMask = 0;
        uint32_t repeatEnd = 0;
    };
    void ShowItem(const Item& item, bool miscShown);
    void ShowRecurrence(const Item& item);
    QLineEdit* AddEvery(QWidget* page, const QString& unit, const char* name, class QGridLayout** grid);

    PmDateInfo* m_pFacade = nullptr;
    const CommDate* m_pRecord = nullptr;
    PmDateSource m_Native{};
    bool m_HasNative = false;

    QWidget *tsGeneral, *tsRecurrence, *tsMisc;
    QLineEdit *edtDesc, *edtDate, *edtStartTime, *edtEndTime, *edtLocation, *edtCategory;
    QCheckBox *cbAllday, *cbAlarm, *cbPrivate;
    QTabWidget* pcRecur;
    QWidget *tsDaily, *tsWeekly, *tsMonthly, *tsYearly;
    QLineEdit *edtRecurDays, *edtRecurWeeks, *edtRecurMonths, *edtRecurYears;
    std::array<QCheckBox*, 7> cbWeekday;  ///< Sunday first, as the weekday mask's bits
    QRadioButton *rbtnDay, *rbtnDate, *rbtnYearDate, *rbtnYearDay;
    QGroupBox* grpRange;
    QRadioButton *rbtnNoEnd, *rbtnEndBy;
    QLineEdit* edtRecurEnd;
    QPlainTextEdit* memNotes;
    QTreeWidget* lvMisc;
};

/// Opens the viewer on a calendar item of the review page, modally, and destroys it.
void ShowPDDateDetail(QWidget* parent, PmDateInfo* facade, CommDate* rec);
