// TfmCompare: a duplicate beside the record kept in its place. Every field
// either record holds is a row with both values; the rows that differ are
// marked, and the ones whose value deleting the copy loses say so. The full
// texts of the chosen row (a long note) show in two boxes below the list.
#pragma once

#include "RecordFields.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QPlainTextEdit;
class QTreeWidget;

class TfmCompare : public QDialog {
    Q_OBJECT
public:
    /// `utf8`: the records' texts are UTF-8 (6.x), else ANSI.
    TfmCompare(QWidget* parent, const QString& what, const TRecordFields& copy, const TRecordFields& kept,
               bool utf8, bool caseSensitive);

    QTreeWidget* List() const { return lvFields; }
    QLabel* Summary() const { return lblSummary; }

private:
    void ShowCurrent();
    void ShowDifferingOnly(bool only);

    QLabel* lblSummary;
    QTreeWidget* lvFields;
    QCheckBox* cbDiffOnly;
    QPlainTextEdit* memCopy;
    QPlainTextEdit* memKept;
};

/// Opens the window (modal) for a copy and its kept record of an application
/// (0 contacts .. 3 notes) of the facade set.
void ShowCompare(QWidget* parent, class PmFacadeSet* set, int app, const void* copy, const void* kept);
