#include "Pdclean.h"

#include "Apputil.h"
#include "ApputilFacadeSet.h"
#include "Dump.h"
#include "GuiUtil.h"
#include "Main.h"
#include "PddataModel.h"

#include <QApplication>
#include <QDateTime>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QScrollBar>
#include <QTimer>
#include <QVBoxLayout>

#include <exception>

TfmPDClean::TfmPDClean(TfmMain* main, QWidget* parent) : TfmPage(main, parent)
{
    setObjectName("fmPDClean");
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(8);
    memLog = new QPlainTextEdit(this);
    memLog->setObjectName("memLog");
    memLog->setReadOnly(true);
    memLog->setLineWrapMode(QPlainTextEdit::NoWrap);
    memLog->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memLog->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QFont mono("Monospace");
    mono.setStyleHint(QFont::TypeWriter);
    memLog->setFont(mono);
    memLog->setTabStopDistance(memLog->fontMetrics().horizontalAdvance(QLatin1Char(' ')) * 4);
    outer->addWidget(memLog, 1);
    pbDel = new QProgressBar(this);
    pbDel->setObjectName("pbDel");
    pbDel->setRange(0, 100);
    pbDel->setValue(0);
    outer->addWidget(pbDel);
    lblBack = new QLabel("<a href=\"#back\">Back to First Step</a>", this);
    lblBack->setObjectName("lblBack");
    lblBack->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
    outer->addWidget(lblBack, 0, Qt::AlignLeft);
    connect(lblBack, &QLabel::linkActivated, this, &TfmPDClean::lblBackClick);

    tmStart = new QTimer(this);
    tmStart->setObjectName("tmStart");
    tmStart->setSingleShot(true);
    tmStart->setInterval(1000);
    connect(tmStart, &QTimer::timeout, this, &TfmPDClean::tmStartTimer);
}

void TfmPDClean::AddLine(const QString& line) { memLog->appendPlainText(line); }

void TfmPDClean::AddField(const char* label, const QString& text)
{
    // One line per field: a subject may hold lone line breaks.
    QString shown = text;
    shown.replace(QLatin1String("\r\n"), QLatin1String(" "));
    shown.replace(QLatin1Char('\r'), QLatin1Char(' '));
    shown.replace(QLatin1Char('\n'), QLatin1Char(' '));
    AddLine(QString("\t%1: %2").arg(label, shown.isEmpty() ? QString("<empty>") : shown));
}

bool TfmPDClean::Enter()
{
    memLog->clear();
    AddLine("Start deleting duplicate records ...");
    AddLine(QString(80, '='));
    AddLine(QString());
    for (int& n : m_Deleted)
        n = 0;
    m_Finished = false;
    lblBack->setEnabled(false);
    pbDel->setValue(0);
    tmStart->start();
    return true;
}

void TfmPDClean::lblBackClick()
{
    if (m_Busy)
        return;
    m_pMain->GoStep(0);
}

void TfmPDClean::tmStartTimer()
{
    tmStart->stop();
    m_Busy = true;
    try {
        RunDeletion();
    } catch (...) {
        m_Busy = false;
        lblBack->setEnabled(true);
        TfmDump dump(this);
        ExecDialog(&dump);
        return;
    }
    m_Busy = false;
    lblBack->setEnabled(true);
}

void TfmPDClean::Step()
{
    ++m_Done;
    if (m_Total > 0)
        pbDel->setValue(m_Done * 100 / m_Total);
    // The work runs on the window's thread: let it paint the bar and the log
    // a few times a second, without taking clicks meanwhile.
    qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (now - m_LastPaint >= 100) {
        m_LastPaint = now;
        memLog->verticalScrollBar()->setValue(memLog->verticalScrollBar()->maximum());
        QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
}

bool TfmPDClean::DeleteAddr(CommAddr* rec)
{
    const bool utf8 = m_pMain->FacadeSet()->TextsUtf8(kPmAppAddr);
    AddLine("Deleting contact item ...");
    AddField("First Name", RecordText(rec->FirstName.View(), utf8));
    AddField("Last Name", RecordText(rec->LastName.View(), utf8));
    AddField("E-mail", RecordText(rec->Email.View(), utf8));
    AddField("Business Phone", RecordText(rec->WorkPhone.View(), utf8));
    AddField("Mobile Phone", RecordText(rec->MobilePhone.View(), utf8));
    AddField("Company", RecordText(rec->Company.View(), utf8));
    return m_pMain->FacadeSet()->Addr()->DeleteRecord(rec);
}

bool TfmPDClean::DeleteDate(CommDate* rec)
{
    const bool utf8 = m_pMain->FacadeSet()->TextsUtf8(kPmAppDate);
    AddLine("Deleting calendar item ...");
    AddField("Subject", RecordText(rec->Description.View(), utf8));
    AddField("Location", RecordText(rec->Location.View(), utf8));
    AddField("Start Time", TimeOfDayText(rec->StartTime));
    AddField("End Time", TimeOfDayText(rec->EndTime));
    AddField("All Day Event", rec->AllDayEvent ? "Yes" : "No");
    return m_pMain->FacadeSet()->Date()->DeleteRecord(rec);
}

bool TfmPDClean::DeleteTask(CommTask* rec)
{
    const bool utf8 = m_pMain->FacadeSet()->TextsUtf8(kPmAppTodo);
    AddLine("Deleting task item ...");
    AddField("Subject", RecordText(rec->Description.View(), utf8));
    return m_pMain->FacadeSet()->Todo()->DeleteRecord(rec);
}

bool TfmPDClean::DeleteNote(CommNote* rec)
{
    const bool utf8 = m_pMain->FacadeSet()->TextsUtf8(kPmAppMemo);
    AddLine("Deleting note item ...");
    AddField("Subject", RecordText(rec->Subject.View(), utf8));
    return m_pMain->FacadeSet()->Memo()->DeleteRecord(rec);
}

void TfmPDClean::RunDeletion()
{
    PmFacadeSet* set = m_pMain->FacadeSet();
    const int32_t flag = TheOption().AppFlag;
    m_Total = 0;
    m_Done = 0;
    m_LastPaint = 0;
    if (set && set->Built()) {
        if (flag & kAppAddr)
            m_Total += int(set->AddrDups()->Count());
        if (flag & kAppDate)
            m_Total += int(set->DateDups()->Count());
        if (flag & kAppTodo)
            m_Total += int(set->TodoDups()->Count());
        if (flag & kAppMemo)
            m_Total += int(set->MemoDups()->Count());
    }

    auto pass = [&](auto* list, int app, auto del, const char* word, auto* facade) {
        if (!list)
            return;
        int entries = 0;
        for (auto* rec = list->First(); rec; rec = list->Next()) {
            ++entries;
            if (rec->Trailer.MarkFlags & kCommMarkSelected) {
                bool ok = (this->*del)(rec);
                AddLine(ok ? "Deletion succeeded." : "Deletion failed.");
                AddLine(QString());
                if (ok)
                    ++m_Deleted[app];
            }
            Step();
        }
        if (entries > 0 && !facade->Save()) {
            // The deletions reach the file only through this save (a .dat
            // file rewritten, a 6.x database's transaction committed): when
            // it fails, none of them were made and the file is as it was.
            AddLine(QString("%1: the file could not be saved, so none of its deletions were saved. "
                            "The file is unchanged.")
                        .arg(word));
            AddLine(QString());
            m_Deleted[app] = 0;
        }
    };

    if (set && set->Built()) {
        if (flag & kAppAddr)
            pass(set->AddrDups(), 0, &TfmPDClean::DeleteAddr, "Contacts", set->Addr());
        if (flag & kAppDate)
            pass(set->DateDups(), 1, &TfmPDClean::DeleteDate, "Calendar", set->Date());
        if (flag & kAppTodo)
            pass(set->TodoDups(), 2, &TfmPDClean::DeleteTask, "Tasks", set->Todo());
        if (flag & kAppMemo)
            pass(set->MemoDups(), 3, &TfmPDClean::DeleteNote, "Notes", set->Memo());
    }

    AddLine(QString(80, '='));
    AddLine("Deleting duplicates finished:");
    AddLine(QString::asprintf("\t%d duplicate contact items deleted.", m_Deleted[0]));
    AddLine(QString::asprintf("\t%d duplicate calendar items deleted.", m_Deleted[1]));
    AddLine(QString::asprintf("\t%d duplicate task items deleted.", m_Deleted[2]));
    AddLine(QString::asprintf("\t%d duplicate note items deleted.", m_Deleted[3]));
    AddLine(QString());
    pbDel->setValue(100);
    memLog->verticalScrollBar()->setValue(memLog->verticalScrollBar()->maximum());
    m_Finished = true;
}
