// The report a deletion run leaves in the "reports" folder beside the
// settings file: the deletion log as a text, and a table (CSV) with one row
// per record the run was asked to delete, for spreadsheet programs.
#pragma once

#include "PddataModel.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <string>
#include <vector>

/// One record that a run was asked to delete, as the table lists it.
struct TDeletionRow {
    QString App;      ///< "Contacts", "Calendar", "Tasks" or "Notes"
    QString File;     ///< the data file, host path
    QString Backup;   ///< the ".bak" copy of that file, host path; empty when none was made
    QString Outcome;  ///< "deleted", or "failed: " and the reason
    TRecordKind Kind = TRecordKind::Addr;
    /// The record's cells as the review list shows them, in the order of
    /// TRecordListModel::Headers(Kind).
    QStringList Fields;
};

/// The cells of each record (of one kind, texts in UTF-8 or ANSI) as the
/// review list shows them, one list per record in the order given.
std::vector<QStringList> RecordCells(TRecordKind kind, bool utf8, const std::vector<void*>& records);

/// One field of a CSV row: in double quotes, inner quotes doubled, when it
/// holds a comma, a double quote, a carriage return or a line feed; as it
/// is otherwise.
QString CsvField(const QString& text);

/// The table: a UTF-8 byte order mark, a header row, one row per record,
/// every row ended by CRLF. The columns are "Application", "Data File",
/// "Backup Copy", "Outcome", then the review lists' columns of the four
/// kinds, a name that two kinds share ("Subject") being one column; a row
/// fills the columns of its own kind.
QByteArray DeletionCsv(const std::vector<TDeletionRow>& rows);

/// Where a report was written (host paths).
struct TReportFiles {
    QString Text;
    QString Csv;
};

/// Writes a run's report into the "reports" folder of `settingsFolder`
/// (Windows form, ending in '\'; the folder is made when missing):
/// "deletion-<stamp>.txt" with `text` in UTF-8 and "deletion-<stamp>.csv"
/// with `csv`, each written whole or not at all. A name that an earlier
/// report has gets "-2", "-3"... ; no file is ever replaced. False, with
/// *error saying why and no report file left, when either cannot be written.
bool WriteDeletionReport(const std::string& settingsFolder, const QString& stamp, const QString& text,
                         const QByteArray& csv, TReportFiles* files, QString* error);
