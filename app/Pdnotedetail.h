// TfmPDNoteDetail: the note viewer. Shows a memo's whole text, whether it is
// private and the category it is filed under.
#pragma once

#include "Pimdetail.h"

#include "palm/PalmMemoInfo.h"

class QPlainTextEdit;
class QTreeWidget;

class TfmPDNoteDetail : public TfmPimDetail {
    Q_OBJECT
public:
    explicit TfmPDNoteDetail(QWidget* parent = nullptr);

    void SetFacade(PmMemoInfo* facade) { m_pFacade = facade; }
    void SetRecord(const CommNote* rec);
    /// Fills the pages; does nothing without a facade or a native copy.
    void Fill();

private:
    PmMemoInfo* m_pFacade = nullptr;
    const CommNote* m_pRecord = nullptr;
    PmMemoSource m_Native{};
    bool m_HasNative = false;

    QPlainTextEdit* memNotes;
    QWidget* tsMisc;
    QTreeWidget* lvMisc;
};

/// Opens the viewer on a note of the review page, modally, and destroys it.
void ShowPDNoteDetail(QWidget* parent, PmMemoInfo* facade, CommNote* rec);
