// TfmPDClean: step 2 of the wizard. Deletes the records left ticked on the
// review page, application by application, writes an account of every
// deletion into the log box, moves the progress bar, and saves each
// application's data once its deletions are done. A one-shot timer starts
// the work after the page has been painted. A run that was asked to delete
// anything leaves a report (PdcleanReport.h), which two buttons open and
// copy.
#pragma once

#include "Page.h"
#include "PdcleanReport.h"

#include <QString>
#include <QStringList>

class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTimer;
struct CommAddr;
struct CommDate;
struct CommTask;
struct CommNote;

class TfmPDClean : public TfmPage {
    Q_OBJECT
public:
    TfmPDClean(TfmMain* main, QWidget* parent);

    bool Enter() override;
    bool Leave() override { return true; }

    /// True while the deletion runs.
    bool Busy() const { return m_Busy; }
    /// True once the closing lines are written.
    bool Finished() const { return m_Finished; }
    /// What could not be done in the last run, one paragraph per failure, in
    /// the words of the message box that closes a run with failures.
    const QStringList& Failures() const { return m_Failures; }
    /// Successful deletions of an application (0 contacts .. 3 notes) that
    /// reached the data.
    int DeletedCount(int app) const { return m_Deleted[app]; }
    /// The last run's report (host paths); empty when the run deleted
    /// nothing or its report could not be written.
    const TReportFiles& Report() const { return m_Report; }

public slots:
    void tmStartTimer();
    void lblBackClick();
    /// Opens the text report with the desktop's default program.
    void btnOpenReportClick();
    /// Saves a copy of the text report, or of the table when the user
    /// chooses a .csv file.
    void btnSaveReportClick();

private:
    void RunDeletion();
    /// Adds a line to the log; lines reach the box in batches (FlushLines).
    void AddLine(const QString& line);
    void FlushLines();
    void AddField(QStringList* lines, const char* label, const QString& text);
    /// Each describes the record into `lines` and deletes it; true when the
    /// facade took the deletion (it reaches the file with the save).
    bool DeleteAddr(CommAddr* rec, QStringList* lines);
    bool DeleteDate(CommDate* rec, QStringList* lines);
    bool DeleteTask(CommTask* rec, QStringList* lines);
    bool DeleteNote(CommNote* rec, QStringList* lines);
    /// Writes the report of a finished run that was asked to delete
    /// anything; a report that cannot be written is told in the log only.
    void WriteReport();
    /// Ends the busy state that Enter began (once).
    void ReleaseBusy();
    /// Counts one entry done, moves the bar and lets the window paint now
    /// and then.
    void Step();

    QPlainTextEdit* memLog;
    QProgressBar* pbDel;
    QLabel* lblBack;
    QPushButton* btnOpenReport;
    QPushButton* btnSaveReport;
    QTimer* tmStart;
    int m_Total = 0;
    int m_Done = 0;
    int m_Deleted[4] = {};
    bool m_Busy = false;
    bool m_Finished = false;
    bool m_HoldsBusy = false;
    QStringList m_Pending;
    QStringList m_Failures;
    std::vector<TDeletionRow> m_Rows;  ///< every ticked record of the run
    QString m_RunStamp;                ///< the run's local start time, yyyyMMdd-HHmmss
    TReportFiles m_Report;
    qint64 m_LastPaint = 0;
};
