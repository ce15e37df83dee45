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

void TfmPDClean::AddLine(const QString& line) { m_Pending << line; }

void TfmPDClean::FlushLines()
{
    if (m_Pending.isEmpty())
        return;
    // One append for many lines: a plain text edit lays out each append.
    memLog->appendPlainText(m_Pending.join('\n'));
    m_Pending.clear();
    memLog->verticalScrollBar()->setValue(memLog->verticalScrollBar()->maximum());
}

void TfmPDClean::AddField(QStringList* lines, const char* label, const QString& text)
{
    // One line per field: a subject may hold lone line breaks.
    QString shown = text;
    shown.replace(QLatin1String("\r\n"), QLatin1String(" "));
    shown.replace(QLatin1Char('\r'), QLatin1Char(' '));
    shown.replace(QLatin1Char('\n'), QLatin1Char(' '));
    lines->append(QString("\t%1: %2").arg(label, shown.isEmpty() ? QString("<empty>") : shown));
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
    m_Failures.clear();
    lblBack->setEnabled(false);
    pbDel->setValue(0);
    FlushLines();
    // The window stays busy until the run has ended: Finish, Back or a key
    // pressed while it waits for its start or deletes acts on nothing.
    if (!m_HoldsBusy) {
        m_HoldsBusy = true;
        m_pMain->BeginBusy();
    }
    tmStart->start();
    return true;
}

void TfmPDClean::ReleaseBusy()
{
    if (!m_HoldsBusy)
        return;
    m_HoldsBusy = false;
    m_pMain->EndBusy();
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
    bool thrown = false;
    try {
        RunDeletion();
    } catch (...) {
        thrown = true;
    }
    FlushLines();
    m_Busy = false;
    lblBack->setEnabled(true);
    ReleaseBusy();
    if (thrown) {
        TfmDump dump(this);
        ExecDialog(&dump);
        return;
    }
    // A failure is told where it cannot be missed, not only in the log.
    if (!m_Failures.isEmpty()) {
        QString text = m_Failures.size() == 1 ? "Not everything could be deleted:"
                                              : "Not everything could be deleted, for these reasons:";
        text += "\n\n" + m_Failures.join("\n\n");
        GuiMessage(this, "Deletion Failed", text, QMessageBox::Warning);
    }
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
        FlushLines();
        m_pMain->Pump();
    }
}

bool TfmPDClean::DeleteAddr(CommAddr* rec, QStringList* lines)
{
    const bool utf8 = m_pMain->FacadeSet()->TextsUtf8(kPmAppAddr);
    lines->append("Deleting contact item ...");
    AddField(lines, "First Name", RecordText(rec->FirstName.View(), utf8));
    AddField(lines, "Last Name", RecordText(rec->LastName.View(), utf8));
    AddField(lines, "E-mail", RecordText(rec->Email.View(), utf8));
    AddField(lines, "Business Phone", RecordText(rec->WorkPhone.View(), utf8));
    AddField(lines, "Mobile Phone", RecordText(rec->MobilePhone.View(), utf8));
    AddField(lines, "Company", RecordText(rec->Company.View(), utf8));
    return m_pMain->FacadeSet()->Addr()->DeleteRecord(rec);
}

bool TfmPDClean::DeleteDate(CommDate* rec, QStringList* lines)
{
    const bool utf8 = m_pMain->FacadeSet()->TextsUtf8(kPmAppDate);
    lines->append("Deleting calendar item ...");
    AddField(lines, "Subject", RecordText(rec->Description.View(), utf8));
    AddField(lines, "Location", RecordText(rec->Location.View(), utf8));
    AddField(lines, "Start Time", TimeOfDayText(rec->StartTime));
    AddField(lines, "End Time", TimeOfDayText(rec->EndTime));
    AddField(lines, "All Day Event", rec->AllDayEvent ? "Yes" : "No");
    return m_pMain->FacadeSet()->Date()->DeleteRecord(rec);
}

bool TfmPDClean::DeleteTask(CommTask* rec, QStringList* lines)
{
    const bool utf8 = m_pMain->FacadeSet()->TextsUtf8(kPmAppTodo);
    lines->append("Deleting task item ...");
    AddField(lines, "Subject", RecordText(rec->Description.View(), utf8));
    return m_pMain->FacadeSet()->Todo()->DeleteRecord(rec);
}

bool TfmPDClean::DeleteNote(CommNote* rec, QStringList* lines)
{
    const bool utf8 = m_pMain->FacadeSet()->TextsUtf8(kPmAppMemo);
    lines->append("Deleting note item ...");
    AddField(lines, "Subject", RecordText(rec->Subject.View(), utf8));
    return m_pMain->FacadeSet()->Memo()->DeleteRecord(rec);
}

void TfmPDClean::RunDeletion()
{
    PmFacadeSet* set = m_pMain->FacadeSet();
    const int32_t flag = TheOption().AppFlag;
    const bool built = set && set->Built();
    m_Total = 0;
    m_Done = 0;
    m_LastPaint = 0;
    if (built) {
        if (flag & kAppAddr)
            m_Total += int(set->AddrDups()->Count());
        if (flag & kAppDate)
            m_Total += int(set->DateDups()->Count());
        if (flag & kAppTodo)
            m_Total += int(set->TodoDups()->Count());
        if (flag & kAppMemo)
            m_Total += int(set->MemoDups()->Count());
    }
    QString closing[4];

    // An application's deletions reach its file only through its save (a
    // .dat file rewritten, a 6.x database's transaction committed, a Jet
    // file's status words written): each record's outcome is known, and
    // written, once the save has answered.
    auto pass = [&](auto* list, int app, auto del, const char* word, const char* items, auto* facade) {
        if (!list)
            return;
        struct Outcome {
            QStringList lines;
            bool ok;
            QString why;
        };
        std::vector<Outcome> outcomes;
        int entries = 0;
        for (auto* rec = list->First(); rec; rec = list->Next()) {
            ++entries;
            if (rec->Trailer.MarkFlags & kCommMarkSelected) {
                Outcome o;
                o.ok = (this->*del)(rec, &o.lines);
                if (!o.ok)
                    o.why = QString::fromStdString(facade->DeleteError());
                outcomes.push_back(std::move(o));
            }
            Step();
        }
        int made = 0;
        for (const Outcome& o : outcomes)
            made += o.ok ? 1 : 0;
        // Nothing to write when nothing was deleted: the file is left alone.
        bool saved = entries == 0 || facade->Save();
        QString file = QString::fromStdString(facade->SaveFile());
        for (const Outcome& o : outcomes) {
            for (const QString& line : o.lines)
                AddLine(line);
            if (o.ok && saved)
                AddLine("Deletion succeeded.");
            else if (o.ok)
                AddLine("Deletion failed: the file could not be saved.");
            else
                AddLine(o.why.isEmpty() ? QString("Deletion failed.") : QString("Deletion failed: %1.").arg(o.why));
            AddLine(QString());
        }
        if (!saved) {
            QString why = QString::fromStdString(facade->SaveError());
            if (why.isEmpty())
                why = "the file could not be written";
            QString text = QString("%1: %2 could not be saved: %3. The file is as it was; nothing was deleted there.")
                               .arg(word, file.isEmpty() ? QString("the file") : file, why);
            AddLine(text);
            AddLine(QString());
            m_Failures << text;
            closing[app] = QString("\t0 duplicate %1 items deleted: the file could not be saved (%2).").arg(items, why);
            return;
        }
        m_Deleted[app] = made;
        const int refused = int(outcomes.size()) - made;
        if (refused > 0) {
            QString why;
            for (const Outcome& o : outcomes)
                if (!o.ok && !o.why.isEmpty()) {
                    why = o.why;
                    break;
                }
            m_Failures << QString("%1: %2 of %3 ticked records could not be deleted%4.")
                              .arg(word)
                              .arg(refused)
                              .arg(outcomes.size())
                              .arg(why.isEmpty() ? QString() : ": " + why);
            closing[app] = QString("\t%1 duplicate %2 items deleted, %3 could not be deleted.")
                               .arg(made)
                               .arg(items)
                               .arg(refused);
        }
    };

    if (built) {
        if (flag & kAppAddr)
            pass(set->AddrDups(), 0, &TfmPDClean::DeleteAddr, "Contacts", "contact", set->Addr());
        if (flag & kAppDate)
            pass(set->DateDups(), 1, &TfmPDClean::DeleteDate, "Calendar", "calendar", set->Date());
        if (flag & kAppTodo)
            pass(set->TodoDups(), 2, &TfmPDClean::DeleteTask, "Tasks", "task", set->Todo());
        if (flag & kAppMemo)
            pass(set->MemoDups(), 3, &TfmPDClean::DeleteNote, "Notes", "note", set->Memo());
        // An application that was chosen but could not be read was not
        // checked, and the summary says why rather than counting nothing.
        static const char* const kWords[4] = {"Contacts", "Calendar", "Tasks", "Notes"};
        static const int32_t kBits[4] = {kAppAddr, kAppDate, kAppTodo, kAppMemo};
        for (int app = 0; app < 4; ++app) {
            const PmLoadResult& r = set->LoadResult(app);
            if ((flag & kBits[app]) && r.Tried && r.Failed)
                closing[app] = QString("\t%1: not checked: %2").arg(kWords[app], QString::fromStdString(r.Words));
        }
    }

    AddLine(QString(80, '='));
    AddLine("Deleting duplicates finished:");
    static const char* const kItems[4] = {"contact", "calendar", "task", "note"};
    for (int app = 0; app < 4; ++app)
        AddLine(closing[app].isEmpty()
                    ? QString::asprintf("\t%d duplicate %s items deleted.", m_Deleted[app], kItems[app])
                    : closing[app]);
    AddLine(QString());
    pbDel->setValue(100);
    FlushLines();
    m_Finished = true;
}
