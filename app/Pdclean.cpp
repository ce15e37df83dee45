#include "Pdclean.h"

#include "Apputil.h"
#include "ApputilFacadeSet.h"
#include "Dump.h"
#include "GuiUtil.h"
#include "Main.h"
#include "misc/CxIniUtil.h"
#include "PddataModel.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSaveFile>
#include <QScrollBar>
#include <QTimer>
#include <QUrl>
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
    // The way back on the left, the report's buttons on the right, on the
    // line below the bar.
    auto* bottom = new QHBoxLayout();
    bottom->setSpacing(8);
    bottom->addWidget(lblBack, 0, Qt::AlignVCenter);
    bottom->addStretch(1);
    btnOpenReport = new QPushButton("Open Report", this);
    btnOpenReport->setObjectName("btnOpenReport");
    btnSaveReport = new QPushButton("Save Report As...", this);
    btnSaveReport->setObjectName("btnSaveReport");
    for (QPushButton* b : {btnOpenReport, btnSaveReport}) {
        b->setAutoDefault(false);
        b->setEnabled(false);
        bottom->addWidget(b);
    }
    outer->addLayout(bottom);
    connect(lblBack, &QLabel::linkActivated, this, &TfmPDClean::lblBackClick);
    connect(btnOpenReport, &QPushButton::clicked, this, &TfmPDClean::btnOpenReportClick);
    connect(btnSaveReport, &QPushButton::clicked, this, &TfmPDClean::btnSaveReportClick);

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
    m_Rows.clear();
    m_Report = TReportFiles();
    btnOpenReport->setEnabled(false);
    btnSaveReport->setEnabled(false);
    btnOpenReport->setToolTip(QString());
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
    m_RunStamp = QDateTime::currentDateTime().toString("yyyyMMdd-HHmmss");
    bool thrown = false;
    try {
        RunDeletion();
    } catch (...) {
        thrown = true;
    }
    FlushLines();
    // The report holds the whole log, so it is written once the closing
    // lines are in, and before a message box about failures: the buttons
    // work while it is shown.
    if (!thrown && m_Finished)
        WriteReport();
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
    static const TRecordKind kKinds[4] = {TRecordKind::Addr, TRecordKind::Date, TRecordKind::Task,
                                          TRecordKind::Note};
    auto pass = [&](auto* list, int app, auto del, const char* word, const char* items, auto* facade) {
        if (!list)
            return;
        struct Outcome {
            QStringList lines;
            bool ok;
            QString why;
        };
        std::vector<Outcome> outcomes;
        std::vector<void*> ticked;
        int entries = 0;
        for (auto* rec = list->First(); rec; rec = list->Next()) {
            ++entries;
            if (rec->Trailer.MarkFlags & kCommMarkSelected) {
                ticked.push_back(rec);
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
        // The report's rows: the records as the review list showed them,
        // and what became of each.
        {
            const QString backup = QString::fromStdString(facade->BackupPath());
            QString saveWhy = QString::fromStdString(facade->SaveError());
            if (saveWhy.isEmpty())
                saveWhy = "the file could not be written";
            std::vector<QStringList> cells = RecordCells(kKinds[app], set->TextsUtf8(app), ticked);
            for (size_t i = 0; i < outcomes.size(); ++i) {
                TDeletionRow row;
                row.App = word;
                row.File = file;
                row.Backup = backup;
                const Outcome& o = outcomes[i];
                if (o.ok && saved)
                    row.Outcome = "deleted";
                else if (o.ok)
                    row.Outcome = "failed: the file could not be saved: " + saveWhy;
                else
                    row.Outcome = "failed: " + (o.why.isEmpty() ? QString("the record could not be deleted") : o.why);
                row.Kind = kKinds[app];
                if (i < cells.size())
                    row.Fields = cells[i];
                m_Rows.push_back(std::move(row));
            }
        }
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

void TfmPDClean::WriteReport()
{
    // A run in which nothing was ticked deleted nothing: no report.
    if (m_Rows.empty())
        return;
    QString why;
    const std::string ini = TheIni().Path();
    const size_t cut = ini.find_last_of("\\/");
    const std::string folder = cut == std::string::npos ? std::string() : ini.substr(0, cut + 1);
    if (!WriteDeletionReport(folder, m_RunStamp, memLog->toPlainText(), DeletionCsv(m_Rows), &m_Report, &why)) {
        // The deletion stands as told; only the report is missing.
        m_Report = TReportFiles();
        AddLine(QString("The report of this run could not be written: %1.").arg(why));
        FlushLines();
        return;
    }
    btnOpenReport->setToolTip(QDir::toNativeSeparators(m_Report.Text));
    btnOpenReport->setEnabled(true);
    btnSaveReport->setEnabled(true);
}

void TfmPDClean::btnOpenReportClick()
{
    if (m_Report.Text.isEmpty())
        return;
    if (!GuiOpenUrl(QUrl::fromLocalFile(m_Report.Text)))
        GuiMessage(this, "Open Report",
                   QString("The report could not be opened: no program to show it could be started.\n\n"
                           "You can open it yourself; it is here:\n%1")
                       .arg(m_Report.Text),
                   QMessageBox::Warning);
}

void TfmPDClean::btnSaveReportClick()
{
    if (m_Report.Text.isEmpty())
        return;
    static const QString kText = "Text report (*.txt)";
    static const QString kTable = "Table for spreadsheets (*.csv)";
    QString filter = kText;
    QString target = GuiChooseSaveFile(this, "Save Report As",
                                       QDir::home().filePath(QFileInfo(m_Report.Text).completeBaseName()),
                                       kText + ";;" + kTable, &filter);
    if (target.isEmpty())
        return;
    // The name is offered without an ending, so that the type chosen in the
    // dialog decides; an ending the user types decides over the type.
    QString suffix = QFileInfo(target).suffix().toLower();
    if (suffix != "txt" && suffix != "csv") {
        suffix = filter == kTable ? "csv" : "txt";
        target += "." + suffix;
        // The dialog asked about the name it was given, not this one.
        if (QFileInfo::exists(target)) {
            GuiMessageInfo ask{this, "Save Report As",
                               QString("%1 already exists.\nDo you want to replace it?").arg(target),
                               QMessageBox::Question, QMessageBox::Yes | QMessageBox::No};
            ask.Default = QMessageBox::No;
            if (GuiAsk(ask) != QMessageBox::Yes)
                return;
        }
    }
    const QString source = suffix == "csv" ? m_Report.Csv : m_Report.Text;
    QFile in(source);
    QByteArray bytes;
    QString why;
    if (!in.open(QIODevice::ReadOnly)) {
        why = in.errorString();
    } else {
        bytes = in.readAll();
        if (in.error() != QFileDevice::NoError)
            why = in.errorString();
    }
    if (why.isEmpty()) {
        // A copy that fails half way leaves what the target held before.
        QSaveFile out(target);
        if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size() || !out.commit())
            why = out.errorString();
    }
    if (!why.isEmpty())
        GuiMessage(this, "Save Report As", QString("The report could not be saved as %1:\n%2").arg(target, why),
                   QMessageBox::Warning);
}
