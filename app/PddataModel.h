// The model behind each review list: the rows are records of one kind, each
// with a tick of its own. Texts are made when a row is painted, so filling a
// list of 50,000 records costs one pointer and one byte per row.
#pragma once

#include "misc/CxList.h"
#include "palm/CommRecord.h"

#include <QAbstractTableModel>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

/// The four kinds of record a review list shows.
enum class TRecordKind { Addr, Date, Task, Note };

/// Where a record stands among the duplicates of its application.
struct TGroupPlace {
    uint32_t group = 0;            ///< 1, 2, ... in the order of the groups
    const void* keeper = nullptr;  ///< the record kept in its place; none for the kept record itself
};
/// Every record of a duplicate group, copies and kept records, by record.
using TGroupMap = std::unordered_map<const void*, TGroupPlace>;
/// The groups of the fields in which a copy holds a value its kept record
/// lacks (empty: deleting it loses nothing).
using TLossOf = std::function<std::vector<std::string>(const void* copy, const void* keeper)>;

class TRecordListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit TRecordListModel(TRecordKind kind, QObject* parent = nullptr);

    TRecordKind Kind() const { return m_Kind; }

    /// The duplicate groups the next SetRows shows, and how a copy's loss is
    /// found. `grouped`: the rows are the groups themselves, each copy
    /// followed by its kept record; a kept record then has no tick of its
    /// own and is never ticked (it is what stays). Without groups (none
    /// given) the two group columns stay empty.
    void SetGroups(std::shared_ptr<const TGroupMap> groups, TLossOf lossOf, bool grouped);
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
    /// Ticks or unticks every row (ticking leaves the kept records of a
    /// grouped list unticked).
    void SetAllChecked(bool checked);
    int CheckedCount() const;

    bool IsCopy(int row) const { return RoleAt(row) == kRoleCopy; }
    bool IsKept(int row) const { return RoleAt(row) == kRoleKept; }
    /// The group of a row's record, 0 when it belongs to none.
    uint32_t GroupOf(int row) const;
    /// The record kept in place of a copy's, none for any other row.
    const void* KeeperOf(int row) const;
    /// "identical", or the fields a copy holds that its kept record lacks,
    /// "Mobile Phone, Notes"; empty for a row that is not a copy.
    QString LossText(int row) const;
    /// Whether deleting a copy loses a value (false for other rows).
    bool Loses(int row) const;
    /// Ticks exactly the copies whose deletion loses nothing.
    void CheckIdenticalOnly();
    /// Ticked rows whose deletion loses data: copies holding a value their
    /// kept record lacks, and ticked records that stand in no group's copy
    /// place (nothing is kept in their place).
    int CheckedLosingCount() const;
    /// Unticks the rows CheckedLosingCount counts.
    void UncheckLosing();

    /// The two columns after a kind's own: the group and the loss.
    int GroupColumn() const { return int(Headers(m_Kind).size()); }
    int LossColumn() const { return GroupColumn() + 1; }

    /// The text of one cell, as the list shows it.
    QString CellText(int row, int column) const;

    /// A record's own column headers (without the group columns) and their
    /// widths in pixels, per kind.
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
    enum : uint8_t { kRolePlain, kRoleCopy, kRoleKept };
    uint8_t RoleAt(int row) const
    {
        return row >= 0 && size_t(row) < m_Role.size() ? m_Role[size_t(row)] : uint8_t(kRolePlain);
    }
    bool Checkable(int row) const { return !(m_Grouped && IsKept(row)); }
    /// Finds (once) what deleting a copy loses.
    const QString& Loss(int row) const;

    TRecordKind m_Kind;
    std::vector<void*> m_Rows;
    std::vector<uint8_t> m_Checked;
    std::vector<uint8_t> m_Role;
    bool m_Utf8 = false;
    std::shared_ptr<const TGroupMap> m_Groups;
    TLossOf m_LossOf;
    bool m_Grouped = false;
    /// The loss text of each row, made when first asked for.
    mutable std::vector<QString> m_Loss;
};

/// The groups of a detection, every member by record, from its duplicate
/// list and each duplicate's keeper (none when the two differ in length).
std::shared_ptr<TGroupMap> MakeGroups(const std::vector<void*>& dups, const std::vector<const void*>& keepers);
/// The duplicates in groups: each group's copies, in the list's order,
/// followed by the record kept in their place. Without keepers (the
/// detection could not record them) the duplicates alone.
std::vector<void*> GroupedRows(const std::vector<void*>& dups, const std::vector<const void*>& keepers);

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

/// "MM/DD/YYYY hh:mm" of a calendar time (the list's width; the viewers
/// show the seconds).
QString DateTimeText(const CxSystemTime& t);
/// "%02d:%02d:%02d" of the hour, minute and second of a calendar time.
QString TimeOfDayText(const CxSystemTime& t);
/// "High" (1), "Low" (2) or "Normal".
QString PriorityText(int32_t priority);
/// "N/A" for no due date, else the date and time of the seconds value.
QString DueDateText(uint32_t dueDate);
