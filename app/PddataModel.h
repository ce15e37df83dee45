// The model behind each review list: the rows are records of one kind, each
// with a tick of its own. Texts are made when a row is painted, so filling a
// list of 50,000 records costs one pointer and one byte per row.
#pragma once

#include "misc/CxList.h"
#include "palm/CommRecord.h"

#include <QAbstractTableModel>
#include <QString>

#include <cstdint>
#include <unordered_map>
#include <unordered_set>
#include <vector>

/// The four kinds of record a review list shows.
enum class TRecordKind { Addr, Date, Task, Note };

class TRecordListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit TRecordListModel(TRecordKind kind, QObject* parent = nullptr);

    TRecordKind Kind() const { return m_Kind; }

    /// Replaces the rows by these records, every row ticked or none.
    void SetRows(std::vector<void*> rows, bool checked);
    /// Replaces the rows by these records: a record that `kept` names gets
    /// the tick it has there, every other row `checked`.
    void SetRows(std::vector<void*> rows, bool checked, const std::unordered_map<const void*, bool>& kept);
    /// Puts the tick of every row into `into`, by record (over what it held).
    void KeepChecks(std::unordered_map<const void*, bool>* into) const;
    /// The records' texts are UTF-8 (6.x records) rather than ANSI: set
    /// before SetRows, from the generation the records were loaded from.
    void SetTextsUtf8(bool utf8) { m_Utf8 = utf8; }
    bool TextsUtf8() const { return m_Utf8; }
    void Clear();
    int Count() const { return int(m_Rows.size()); }
    void* RecordAt(int row) const;
    bool IsChecked(int row) const;
    void SetChecked(int row, bool checked);
    /// Ticks or unticks every row.
    void SetAllChecked(bool checked);
    int CheckedCount() const;

    /// The text of one cell, as the list shows it.
    QString CellText(int row, int column) const;

    /// Column headers and their widths in pixels, per kind.
    static QStringList Headers(TRecordKind kind);
    static std::vector<int> Widths(TRecordKind kind);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

signals:
    /// A tick changed (by the user or by SetChecked / SetAllChecked).
    void checksChanged();

private:
    TRecordKind m_Kind;
    std::vector<void*> m_Rows;
    std::vector<uint8_t> m_Checked;
    bool m_Utf8 = false;
};

/// Sets or clears the selected flag of every row, and appends ticked
/// records that the duplicate list does not hold yet (each record is
/// deleted at most once).
template <typename T>
inline void RecordTicks(TRecordListModel* model, CxList<T>* list)
{
    std::unordered_set<const void*> held;
    held.reserve(list->Count());
    for (T* r = list->First(); r; r = list->Next())
        held.insert(r);
    for (int row = 0; row < model->Count(); ++row) {
        auto* rec = static_cast<T*>(model->RecordAt(row));
        if (!rec)
            continue;
        if (model->IsChecked(row)) {
            rec->Trailer.MarkFlags |= kCommMarkSelected;
            if (held.insert(rec).second)
                list->Add(rec);
        } else {
            rec->Trailer.MarkFlags &= ~uint32_t(kCommMarkSelected);
        }
    }
}

/// "%02d:%02d:%02d" of the hour, minute and second of a calendar time.
QString TimeOfDayText(const CxSystemTime& t);
/// "High" (1), "Low" (2) or "Normal".
QString PriorityText(int32_t priority);
/// "N/A" for no due date, else the date and time of the seconds value.
QString DueDateText(uint32_t dueDate);
