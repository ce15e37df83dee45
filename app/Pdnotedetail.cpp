#include "Pdnotedetail.h"

#include "GuiUtil.h"

#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTreeWidget>

TfmPDNoteDetail::TfmPDNoteDetail(QWidget* parent)
    : TfmPimDetail(parent, App::Note, QStringLiteral("Palm Desktop Memo Record Details"),
                   QStringLiteral("View detail information of the Palm Desktop Memo record."))
{
    setObjectName(QStringLiteral("fmPDNoteDetail"));
    memNotes = AddNotesPage(QStringLiteral("Notes"));
    lvMisc = AddMiscPage(QStringLiteral("Misc Fields"), &tsMisc);
    Tabs()->setCurrentIndex(0);
}

void TfmPDNoteDetail::SetRecord(const CommNote* rec)
{
    m_pRecord = rec;
    m_HasNative = rec && NativeSource(rec->Trailer.NativeCopy, rec->Trailer.NativeCopySize, &m_Native);
}

void TfmPDNoteDetail::Fill()
{
    if (!m_pFacade || !m_pRecord || !m_HasNative)
        return;
    QString text;
    bool isPrivate = false;
    if (m_Native.Generation == kPmGenClassic && m_Native.Classic) {
        text = Ansi(m_Native.Classic->Memo);
        isPrivate = m_Native.Classic->Private != 0;
    } else if (m_Native.Generation == kPmGenEx && m_Native.Ex) {
        text = Ansi(m_Native.Ex->Note);
        isPrivate = m_Native.Ex->Private != 0;
    } else if (m_Native.Generation == kPmGenEx2 && m_Native.Ex2) {
        text = Ansi(m_Native.Ex2->Note);
        isPrivate = m_Native.Ex2->Private != 0;
    } else {
        return;
    }
    memNotes->setPlainText(NoteText(text));
    std::vector<MiscRow> rows = {{QStringLiteral("Private"), isPrivate ? QStringLiteral("Yes") : QStringLiteral("No")}};
    QString category =
        CategoryText(m_pFacade->CategoryName(m_pRecord), m_pFacade->LoadedGeneration() == kPmGenEx2);
    if (!category.isEmpty())
        rows.push_back({QStringLiteral("Category"), category});
    SetMiscRows(lvMisc, rows);
}

void ShowPDNoteDetail(QWidget* parent, PmMemoInfo* facade, CommNote* rec)
{
    TfmPDNoteDetail viewer(parent);
    viewer.SetFacade(facade);
    viewer.SetRecord(rec);
    viewer.Fill();
    ExecDialog(&viewer);
}
