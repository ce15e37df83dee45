// TfmPDTaskDetail: the task viewer. Shows a task's description, priority,
// due date, category and flags, its note and, for the 6.x databases, the
// date it was completed.
#pragma once

#include "Pimdetail.h"

#include "palm/PalmTodoInfo.h"

class QCheckBox;
class QLineEdit;
class QPlainTextEdit;
class QTreeWidget;

class TfmPDTaskDetail : public TfmPimDetail {
    Q_OBJECT
public:
    explicit TfmPDTaskDetail(QWidget* parent = nullptr);

    void SetFacade(PmTodoInfo* facade) { m_pFacade = facade; }
    void SetRecord(const CommTask* rec);
    /// Fills the pages; does nothing without a facade or a native copy.
    void Fill();

    /// The text of a stored date that may stand for "none": empty for the
    /// value of no date (12/31/2031 23:59:59) and above, as unsigned.
    static QString OptionalDateText(uint32_t seconds);

private:
    PmTodoInfo* m_pFacade = nullptr;
    const CommTask* m_pRecord = nullptr;
    PmTodoSource m_Native{};
    bool m_HasNative = false;

    QWidget *tsGeneral, *tsMisc;
    QLineEdit *edtDesc, *edtPriority, *edtDueDate, *edtCategory;
    QCheckBox *cbCompleted, *cbPrivate;
    QPlainTextEdit* memNotes;
    QTreeWidget* lvMisc;
};

/// Opens the viewer on a task of the review page, modally, and destroys it.
void ShowPDTaskDetail(QWidget* parent, PmTodoInfo* facade, CommTask* rec);
