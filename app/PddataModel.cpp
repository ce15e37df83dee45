#include "PddataModel.h"

#include "GuiUtil.h"

#include "palm/PalmComm.h"

#include <QBrush>
#include <QColor>
#include <QFont>

#include <algorithm>

TRecordListModel::TRecordListModel(TRecordKind kind, QObject* parent) : QAbstractTableModel(parent), m_Kind(kind) {}

void TRecordListModel::SetRows(std::vector<void*> rows, bool checked) { SetRows(std::move(rows), checked, {}); }

void TRecordListModel::SetGroups(std::shared_ptr<const TGroupMap> groups, TLossOf lossOf, bool grouped)
{
    m_Groups = std::move(groups);
    m_LossOf = std::move(lossOf);
    m_Grouped = grouped && m_Groups;
}

void TRecordListModel::SetRows(std::vector<void*> rows, bool checked,
                               const std::unordered_map<const void*, bool>& kept)
{
    beginResetModel();
    m_Rows = std::move(rows);
    m_Checked.assign(m_Rows.size(), checked ? 1 : 0);
    m_Role.assign(m_Rows.size(), kRolePlain);
    m_Loss.assign(m_Groups ? m_Rows.size() : 0, QString());
    if (m_Groups && !m_Groups->empty())
        for (size_t i = 0; i < m_Rows.size(); ++i) {
            auto found = m_Groups->find(m_Rows[i]);
            if (found != m_Groups->end())
                m_Role[i] = found->second.keeper ? kRoleCopy : kRoleKept;
        }
    if (!kept.empty())
        for (size_t i = 0; i < m_Rows.size(); ++i) {
            auto found = kept.find(m_Rows[i]);
            if (found != kept.end())
                m_Checked[i] = found->second ? 1 : 0;
        }
    // A kept record of a grouped list is what stays: it is never ticked.
    for (size_t i = 0; i < m_Rows.size(); ++i)
        if (!Checkable(int(i)))
            m_Checked[i] = 0;
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
    if (checked && !Checkable(row))
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
    for (size_t i = 0; i < m_Checked.size(); ++i)
        m_Checked[i] = checked && Checkable(int(i)) ? 1 : 0;
    emit dataChanged(index(0, 0), index(int(m_Rows.size()) - 1, 0), {Qt::CheckStateRole});
    emit checksChanged();
}

int TRecordListModel::CheckedCount() const
{
    return int(std::count(m_Checked.begin(), m_Checked.end(), uint8_t(1)));
}

uint32_t TRecordListModel::GroupOf(int row) const
{
    if (!m_Groups || RoleAt(row) == kRolePlain)
        return 0;
    auto found = m_Groups->find(m_Rows[size_t(row)]);
    return found == m_Groups->end() ? 0 : found->second.group;
}

const void* TRecordListModel::KeeperOf(int row) const
{
    if (!IsCopy(row))
        return nullptr;
    auto found = m_Groups->find(m_Rows[size_t(row)]);
    return found == m_Groups->end() ? nullptr : found->second.keeper;
}

const QString& TRecordListModel::Loss(int row) const
{
    static const QString kNone;
    if (!IsCopy(row) || size_t(row) >= m_Loss.size())
        return kNone;
    QString& loss = m_Loss[size_t(row)];
    if (loss.isNull()) {
        std::vector<std::string> lost;
        if (m_LossOf)
            lost = m_LossOf(m_Rows[size_t(row)], KeeperOf(row));
        if (lost.empty()) {
            loss = QStringLiteral("identical");
        } else {
            QStringList names;
            for (const std::string& name : lost)
                names << QString::fromStdString(name);
            loss = names.join(QStringLiteral(", "));
        }
    }
    return loss;
}

QString TRecordListModel::LossText(int row) const { return Loss(row); }

bool TRecordListModel::Loses(int row) const
{
    const QString& loss = Loss(row);
    return !loss.isEmpty() && loss != QLatin1String("identical");
}

void TRecordListModel::CheckIdenticalOnly()
{
    if (m_Rows.empty())
        return;
    for (size_t i = 0; i < m_Checked.size(); ++i)
        m_Checked[i] = IsCopy(int(i)) && !Loses(int(i)) ? 1 : 0;
    emit dataChanged(index(0, 0), index(int(m_Rows.size()) - 1, columnCount() - 1));
    emit checksChanged();
}

int TRecordListModel::CheckedLosingCount() const
{
    int count = 0;
    for (size_t i = 0; i < m_Checked.size(); ++i)
        if (m_Checked[i] && (!IsCopy(int(i)) || Loses(int(i))))
            ++count;
    return count;
}

void TRecordListModel::UncheckLosing()
{
    bool changed = false;
    for (size_t i = 0; i < m_Checked.size(); ++i)
        if (m_Checked[i] && (!IsCopy(int(i)) || Loses(int(i)))) {
            m_Checked[i] = 0;
            changed = true;
        }
    if (!changed)
        return;
    emit dataChanged(index(0, 0), index(int(m_Rows.size()) - 1, columnCount() - 1));
    emit checksChanged();
}

std::shared_ptr<TGroupMap> MakeGroups(const std::vector<void*>& dups, const std::vector<const void*>& keepers)
{
    if (keepers.size() != dups.size())
        return nullptr;
    auto groups = std::make_shared<TGroupMap>();
    groups->reserve(dups.size() * 2);
    uint32_t group = 0;
    for (size_t i = 0; i < dups.size(); ++i) {
        if (i == 0 || keepers[i] != keepers[i - 1])
            (*groups)[keepers[i]] = TGroupPlace{++group, nullptr};
        (*groups)[dups[i]] = TGroupPlace{group, keepers[i]};
    }
    return groups;
}

std::vector<void*> GroupedRows(const std::vector<void*>& dups, const std::vector<const void*>& keepers)
{
    if (keepers.size() != dups.size())
        return dups;
    std::vector<void*> rows;
    rows.reserve(dups.size() * 2);
    for (size_t i = 0; i < dups.size(); ++i) {
        rows.push_back(dups[i]);
        if (i + 1 == dups.size() || keepers[i + 1] != keepers[i])
            rows.push_back(const_cast<void*>(keepers[i]));
    }
    return rows;
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

QString DateTimeText(const CxSystemTime& t)
{
    return QString::asprintf("%02d/%02d/%04d %02d:%02d", t.month, t.day, t.year, t.hour, t.minute);
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
    if (column == GroupColumn()) {
        uint32_t group = GroupOf(row);
        if (!group)
            return QString();
        return IsKept(row) ? QStringLiteral("%1 (kept)").arg(group) : QString::number(group);
    }
    if (column == LossColumn())
        return Loss(row);
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
        case 1: return DateTimeText(d->StartTime);
        case 2: return DateTimeText(d->EndTime);
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
    case TRecordKind::Addr: return {76, 76, 104, 100, 88, 84};
    case TRecordKind::Date: return {160, 100, 100, 80, 100};
    case TRecordKind::Task: return {200, 76, 136, 150};
    case TRecordKind::Note: return {420};
    }
    return {};
}

int TRecordListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_Rows.size());
}

int TRecordListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : LossColumn() + 1;
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
    if (role == Qt::CheckStateRole && index.column() == 0) {
        if (!Checkable(index.row()))
            return QVariant();
        return IsChecked(index.row()) ? Qt::Checked : Qt::Unchecked;
    }
    // The record that stays reads at a glance: its first cell and its group
    // in bold, and in a grouped list each group on a band of its own shade.
    if (role == Qt::FontRole && IsKept(index.row()) && (index.column() == 0 || index.column() == GroupColumn())) {
        QFont bold;
        bold.setBold(true);
        return bold;
    }
    if (role == Qt::BackgroundRole && m_Grouped) {
        uint32_t group = GroupOf(index.row());
        if (group)
            return QBrush(group % 2 ? QColor(0xEE, 0xF3, 0xFB) : QColor(0xFF, 0xFF, 0xFF));
    }
    if (role == Qt::ForegroundRole && index.column() == LossColumn() && IsCopy(index.row()))
        return QBrush(Loses(index.row()) ? QColor(0xA0, 0x30, 0x00) : QColor(0x30, 0x70, 0x30));
    return QVariant();
}

QVariant TRecordListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole) {
        QStringList h = Headers(m_Kind);
        if (section >= 0 && section < h.size())
            return h[section];
        if (section == GroupColumn())
            return QStringLiteral("Group");
        if (section == LossColumn())
            return QStringLiteral("Deleting loses");
    }
    return QVariant();
}

Qt::ItemFlags TRecordListModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (index.column() == 0 && Checkable(index.row()))
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
