#include "PddataModel.h"

#include "GuiUtil.h"

#include "palm/PalmComm.h"

#include <algorithm>

TRecordListModel::TRecordListModel(TRecordKind kind, QObject* parent) : QAbstractTableModel(parent), m_Kind(kind) {}

void TRecordListModel::SetRows(std::vector<void*> rows, bool checked) { SetRows(std::move(rows), checked, {}); }

void TRecordListModel::SetRows(std::vector<void*> rows, bool checked,
                               const std::unordered_map<const void*, bool>& kept)
{
    beginResetModel();
    m_Rows = std::move(rows);
    m_Checked.assign(m_Rows.size(), checked ? 1 : 0);
    if (!kept.empty())
        for (size_t i = 0; i < m_Rows.size(); ++i) {
            auto found = kept.find(m_Rows[i]);
            if (found != kept.end())
                m_Checked[i] = found->second ? 1 : 0;
        }
    endResetModel();
    emit checksChanged();
}

void TRecordListModel::KeepChecks(std::unordered_map<const void*, bool>* into) const
{
    if (!into)
        return;
    for (size_t i = 0; i < m_Rows.size(); ++i)
        if (m_Rows[i])
            (*into)[m_Rows[i]] = m_Checked[i] != 0;
}

void TRecordListModel::Clear() { SetRows({}, false); }

void* TRecordListModel::RecordAt(int row) const
{
    return row >= 0 && size_t(row) < m_Rows.size() ? m_Rows[size_t(row)] : nullptr;
}

bool TRecordListModel::IsChecked(int row) const
{
    return row >= 0 && size_t(row) < m_Checked.size() && m_Checked[size_t(row)];
}

void TRecordListModel::SetChecked(int row, bool checked)
{
    if (row < 0 || size_t(row) >= m_Checked.size() || bool(m_Checked[size_t(row)]) == checked)
        return;
    m_Checked[size_t(row)] = checked ? 1 : 0;
    QModelIndex i = index(row, 0);
    emit dataChanged(i, i, {Qt::CheckStateRole});
    emit checksChanged();
}

void TRecordListModel::SetAllChecked(bool checked)
{
    if (m_Rows.empty())
        return;
    std::fill(m_Checked.begin(), m_Checked.end(), checked ? 1 : 0);
    emit dataChanged(index(0, 0), index(int(m_Rows.size()) - 1, 0), {Qt::CheckStateRole});
    emit checksChanged();
}

int TRecordListModel::CheckedCount() const
{
    return int(std::count(m_Checked.begin(), m_Checked.end(), uint8_t(1)));
}

QString TimeOfDayText(const CxSystemTime& t)
{
    return QString::asprintf("%02d:%02d:%02d", t.hour, t.minute, t.second);
}

QString PriorityText(int32_t priority)
{
    switch (priority) {
    case 1: return "High";
    case 2: return "Low";
    default: return "Normal";
    }
}

QString DueDateText(uint32_t dueDate)
{
    if (dueDate >= CommTask::kNoDueDate)
        return "N/A";
    PmTime t;
    t.FromSeconds(int32_t(dueDate));
    char date[32] = {}, time[32] = {};
    t.DateText(date, sizeof date);
    t.TimeText(time, sizeof time);
    return QString::asprintf("%s %s", date, time);
}

QString TRecordListModel::CellText(int row, int column) const
{
    const void* rec = RecordAt(row);
    if (!rec)
        return QString();
    switch (m_Kind) {
    case TRecordKind::Addr: {
        auto* a = static_cast<const CommAddr*>(rec);
        switch (column) {
        case 0: return RecordText(a->FirstName.View(), m_Utf8);
        case 1: return RecordText(a->LastName.View(), m_Utf8);
        case 2: return RecordText(a->Email.View(), m_Utf8);
        case 3: return RecordText(a->WorkPhone.View(), m_Utf8);
        case 4: return RecordText(a->MobilePhone.View(), m_Utf8);
        case 5: return RecordText(a->Company.View(), m_Utf8);
        }
        break;
    }
    case TRecordKind::Date: {
        auto* d = static_cast<const CommDate*>(rec);
        switch (column) {
        case 0: return RecordText(d->Description.View(), m_Utf8);
        case 1: return TimeOfDayText(d->StartTime);
        case 2: return TimeOfDayText(d->EndTime);
        case 3: return d->AllDayEvent ? "Yes" : "No";
        case 4: return RecordText(d->Location.View(), m_Utf8);
        }
        break;
    }
    case TRecordKind::Task: {
        auto* t = static_cast<const CommTask*>(rec);
        switch (column) {
        case 0: return RecordText(t->Description.View(), m_Utf8);
        case 1: return PriorityText(t->Priority);
        case 2: return DueDateText(t->DueDate);
        case 3: return RecordText(t->Note.View(), m_Utf8);
        }
        break;
    }
    case TRecordKind::Note: {
        auto* n = static_cast<const CommNote*>(rec);
        if (column == 0)
            return RecordText(n->Subject.View(), m_Utf8);
        break;
    }
    }
    return QString();
}

QStringList TRecordListModel::Headers(TRecordKind kind)
{
    switch (kind) {
    case TRecordKind::Addr:
        return {"First Name", "Last Name", "Email", "Business Phone", "Mobile Phone", "Company"};
    case TRecordKind::Date:
        return {"Subject", "Start Time", "End Time", "All Day Event", "Location"};
    case TRecordKind::Task:
        return {"Subject", "Importance", "Due Date", "Notes"};
    case TRecordKind::Note:
        return {"Notes"};
    }
    return {};
}

std::vector<int> TRecordListModel::Widths(TRecordKind kind)
{
    switch (kind) {
    case TRecordKind::Addr: return {80, 80, 100, 100, 100, 100};
    case TRecordKind::Date: return {200, 80, 80, 100, 150};
    case TRecordKind::Task: return {200, 80, 80, 240};
    case TRecordKind::Note: return {600};
    }
    return {};
}

int TRecordListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_Rows.size());
}

int TRecordListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(Headers(m_Kind).size());
}

QVariant TRecordListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return QVariant();
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
        QString text = CellText(index.row(), index.column());
        if (role == Qt::DisplayRole) {
            // A list row shows one line; notes keep their line breaks in the viewer.
            text.replace(QLatin1String("\r\n"), QLatin1String(" "));
            text.replace(QLatin1Char('\n'), QLatin1Char(' '));
            text.replace(QLatin1Char('\r'), QLatin1Char(' '));
        }
        return text;
    }
    if (role == Qt::CheckStateRole && index.column() == 0)
        return IsChecked(index.row()) ? Qt::Checked : Qt::Unchecked;
    return QVariant();
}

QVariant TRecordListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole) {
        QStringList h = Headers(m_Kind);
        if (section >= 0 && section < h.size())
            return h[section];
    }
    return QVariant();
}

Qt::ItemFlags TRecordListModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (index.column() == 0)
        f |= Qt::ItemIsUserCheckable;
    return f;
}

bool TRecordListModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (!index.isValid() || index.column() != 0 || role != Qt::CheckStateRole)
        return false;
    SetChecked(index.row(), value.toInt() == Qt::Checked);
    return true;
}
