#include "Pdtaskdetail.h"

#include "GuiUtil.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTreeWidget>

TfmPDTaskDetail::TfmPDTaskDetail(QWidget* parent)
    : TfmPimDetail(parent, App::Task, QStringLiteral("Palm Desktop Task Record Details"),
                   QStringLiteral("View detail information of the Palm Desktop Task record."))
{
    setObjectName(QStringLiteral("fmPDTaskDetail"));

    tsGeneral = AddPage(QStringLiteral("General"), "tsGeneral");
    QGridLayout* g = PageGrid(tsGeneral);
    edtDesc = AddEdit(g, 0, 0, QStringLiteral("Description:"), "edtDesc");
    edtPriority = AddEdit(g, 1, 0, QStringLiteral("Priority:"), "edtPriority");
    edtDueDate = AddEdit(g, 2, 0, QStringLiteral("Due Date:"), "edtDueDate");
    edtCategory = AddEdit(g, 3, 0, QStringLiteral("Category:"), "edtCategory");
    for (QLineEdit* e : {edtPriority, edtDueDate})
        e->setMaximumWidth(140);
    auto* flags = new QHBoxLayout;
    flags->setSpacing(24);
    cbCompleted = new QCheckBox(QStringLiteral("Completed"), tsGeneral);
    cbPrivate = new QCheckBox(QStringLiteral("Private"), tsGeneral);
    cbCompleted->setObjectName(QStringLiteral("cbCompleted"));
    cbPrivate->setObjectName(QStringLiteral("cbPrivate"));
    for (QCheckBox* box : {cbCompleted, cbPrivate}) {
        ShowOnly(box);
        flags->addWidget(box);
    }
    flags->addStretch(1);
    g->addLayout(flags, 4, 1);
    g->setColumnStretch(1, 1);
    g->setRowStretch(5, 1);

    memNotes = AddNotesPage(QStringLiteral("Notes"));
    lvMisc = AddMiscPage(QStringLiteral("Misc Fields"), &tsMisc);
    Tabs()->setCurrentWidget(tsGeneral);
}

QString TfmPDTaskDetail::OptionalDateText(uint32_t seconds)
{
    if (seconds >= CommTask::kNoDueDate)
        return QString();
    return DateText(int32_t(seconds));
}

void TfmPDTaskDetail::SetRecord(const CommTask* rec)
{
    m_pRecord = rec;
    m_HasNative = rec && NativeSource(rec->Trailer.NativeCopy, rec->Trailer.NativeCopySize, &m_Native);
}

void TfmPDTaskDetail::Fill()
{
    if (!m_pFacade || !m_pRecord || !m_HasNative)
        return;
    QString description, note;
    int32_t priority = 0;
    uint32_t due = 0;
    bool completed = false, isPrivate = false;
    bool miscShown = false;
    std::vector<MiscRow> misc;
    if (m_Native.Generation == kPmGenClassic && m_Native.Classic) {
        const PmTodoRecord& r = *m_Native.Classic;
        description = Ansi(r.Description);
        note = Ansi(r.Note);
        priority = r.Priority;
        due = uint32_t(r.DueDate);
        completed = r.Completed != 0;
        isPrivate = r.Private != 0;
    } else if (m_Native.Generation == kPmGenEx && m_Native.Ex) {
        const PmTodoExRecord& r = *m_Native.Ex;
        description = Ansi(r.Description);
        note = Ansi(r.Note);
        priority = int32_t(r.Priority);
        due = r.DueDate;
        completed = r.Completed != 0;
        isPrivate = r.Private != 0;
    } else if (m_Native.Generation == kPmGenEx2 && m_Native.Ex2) {
        const PmTodoEx2Record& r = *m_Native.Ex2;
        description = Ansi(r.Description);
        note = Ansi(r.Note);
        priority = r.Priority;
        due = uint32_t(r.DueDate);
        completed = r.Completed != 0;
        isPrivate = r.Private != 0;
        miscShown = true;
        uint32_t done = uint32_t(r.CompleteDate);
        if (completed && done != 0 && done < CommTask::kNoDueDate)
            misc.push_back({QStringLiteral("Complete Date"), DateText(r.CompleteDate)});
    } else {
        return;
    }
    edtDesc->setText(description);
    edtPriority->setText(QString::number(priority));
    edtDueDate->setText(OptionalDateText(due));
    edtCategory->setText(
        CategoryText(m_pFacade->CategoryName(m_pRecord), m_pFacade->LoadedGeneration() == kPmGenEx2));
    cbCompleted->setChecked(completed);
    cbPrivate->setChecked(isPrivate);
    memNotes->setPlainText(NoteText(note));
    SetMiscRows(lvMisc, misc);
    SetTabShown(Tabs(), tsMisc, miscShown);
}

void ShowPDTaskDetail(QWidget* parent, PmTodoInfo* facade, CommTask* rec)
{
    TfmPDTaskDetail viewer(parent);
    viewer.SetFacade(facade);
    viewer.SetRecord(rec);
    viewer.Fill();
    ExecDialog(&viewer);
}
