// TfmPDClean: step 2 of the wizard. Deletes the records left ticked on the
// review page, application by application, writes an account of every
// deletion into the log box, moves the progress bar, and saves each
// application's data once its deletions are done. A one-shot timer starts
// the work after the page has been painted.
#pragma once

#include "Page.h"

#include <QString>

class QLabel;
class QPlainTextEdit;
class QProgressBar;
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
    /// Successful deletions of an application (0 contacts .. 3 notes) that
    /// reached the data.
    int DeletedCount(int app) const { return m_Deleted[app]; }

public slots:
    void tmStartTimer();
    void lblBackClick();

private:
    void RunDeletion();
    void AddLine(const QString& line);
    void AddField(const char* label, const QString& text);
    bool DeleteAddr(CommAddr* rec);
    bool DeleteDate(CommDate* rec);
    bool DeleteTask(CommTask* rec);
    bool DeleteNote(CommNote* rec);
    /// Counts one entry done, moves the bar and lets the window paint now
    /// and then.
    void Step();

    QPlainTextEdit* memLog;
    QProgressBar* pbDel;
    QLabel* lblBack;
    QTimer* tmStart;
    int m_Total = 0;
    int m_Done = 0;
    int m_Deleted[4] = {};
    bool m_Busy = false;
    bool m_Finished = false;
    qint64 m_LastPaint = 0;
};
