#include "Pdcompare.h"

#include "Apputil.h"
#include "ApputilFacadeSet.h"
#include "GuiUtil.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace {

enum Column { kField, kCopy, kKept, kLoss };
constexpr int kDiffersRole = Qt::UserRole;
constexpr int kFullCopyRole = Qt::UserRole + 1;
constexpr int kFullKeptRole = Qt::UserRole + 2;

const TRecordField* Find(const TRecordFields& fields, const std::string& name)
{
    auto it = std::find_if(fields.begin(), fields.end(), [&](const TRecordField& f) { return f.name == name; });
    return it == fields.end() ? nullptr : &*it;
}

QString OneLine(QString text)
{
    text.replace(QLatin1String("\r\n"), QLatin1String(" "));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    return text;
}

QString Full(QString text)
{
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    return text;
}

}  // namespace

TfmCompare::TfmCompare(QWidget* parent, const QString& what, const TRecordFields& copy, const TRecordFields& kept,
                       bool utf8, bool caseSensitive)
    : QDialog(parent)
{
    setObjectName("fmCompare");
    setWindowTitle("Compare With Kept Record");
    resize(760, 540);
    setMinimumSize(560, 400);

    auto* outer = new QVBoxLayout(this);
    lblSummary = new QLabel(this);
    lblSummary->setObjectName("lblSummary");
    lblSummary->setWordWrap(true);
    outer->addWidget(lblSummary);

    lvFields = new QTreeWidget(this);
    lvFields->setObjectName("lvFields");
    lvFields->setColumnCount(4);
    lvFields->setHeaderLabels({"Field", "This duplicate (deleted)", "Kept record", "Deleting loses"});
    lvFields->setRootIsDecorated(false);
    lvFields->setUniformRowHeights(true);
    lvFields->setAlternatingRowColors(false);
    lvFields->header()->setStretchLastSection(false);
    lvFields->header()->setSectionResizeMode(kField, QHeaderView::ResizeToContents);
    lvFields->header()->setSectionResizeMode(kCopy, QHeaderView::Stretch);
    lvFields->header()->setSectionResizeMode(kKept, QHeaderView::Stretch);
    lvFields->header()->setSectionResizeMode(kLoss, QHeaderView::ResizeToContents);

    // Rows: every field of the copy in its order, then those only the kept
    // record has (a field of another generation never mixes in: both records
    // come from one file).
    std::vector<std::string> names;
    for (const TRecordField& f : copy)
        if (std::find(names.begin(), names.end(), f.name) == names.end())
            names.push_back(f.name);
    for (const TRecordField& f : kept)
        if (std::find(names.begin(), names.end(), f.name) == names.end())
            names.push_back(f.name);

    const QColor differs(0xFF, 0xF2, 0xB3);
    QStringList lost;
    int differing = 0;
    for (const std::string& name : names) {
        const TRecordField* c = Find(copy, name);
        const TRecordField* k = Find(kept, name);
        std::string_view cv = c ? std::string_view(c->value) : std::string_view();
        std::string_view kv = k ? std::string_view(k->value) : std::string_view();
        if (cv.empty() && kv.empty())
            continue;  // nothing on either side
        const bool same = TextsEqual(cv, kv, caseSensitive);
        // A phone label can occur twice: the copy's value is lost only when
        // no field of that name in the kept record holds it.
        const bool loses = c && !FieldHeld(*c, kept, caseSensitive);
        auto* item = new QTreeWidgetItem(lvFields);
        const QString cText = RecordText(cv, utf8), kText = RecordText(kv, utf8);
        item->setText(kField, QString::fromStdString(name));
        item->setText(kCopy, OneLine(cText));
        item->setText(kKept, OneLine(kText));
        item->setText(kLoss, loses ? QStringLiteral("lost") : QString());
        item->setData(kField, kDiffersRole, !same);
        item->setData(kField, kFullCopyRole, Full(cText));
        item->setData(kField, kFullKeptRole, Full(kText));
        item->setToolTip(kCopy, cText.left(2000));
        item->setToolTip(kKept, kText.left(2000));
        if (!same) {
            ++differing;
            for (int col = 0; col < 4; ++col)
                item->setBackground(col, differs);
            QFont bold = item->font(kField);
            bold.setBold(true);
            item->setFont(kField, bold);
        }
        if (loses) {
            item->setForeground(kLoss, QColor(0xA0, 0x30, 0x00));
            if (c && !lost.contains(QString::fromStdString(c->group)))
                lost << QString::fromStdString(c->group);
        }
    }

    QString summary = QString("<b>%1</b><br>").arg(what.toHtmlEscaped());
    if (lost.isEmpty())
        summary += differing == 0 ? "The two records hold the same values: deleting the duplicate loses nothing."
                                  : "Every value the duplicate holds is in the kept record as well: deleting it "
                                    "loses nothing.";
    else
        summary += QString("Deleting the duplicate loses what the kept record lacks: %1.")
                       .arg(lost.join(", ").toHtmlEscaped());
    summary += " Fields that differ are marked.";
    lblSummary->setText(summary);

    cbDiffOnly = new QCheckBox("&Show only the fields that differ", this);
    cbDiffOnly->setObjectName("cbDiffOnly");

    auto* split = new QSplitter(Qt::Vertical, this);
    split->addWidget(lvFields);
    auto* texts = new QWidget(split);
    auto* row = new QHBoxLayout(texts);
    row->setContentsMargins(0, 0, 0, 0);
    auto box = [&](const QString& caption, const char* name) {
        auto* col = new QVBoxLayout;
        col->addWidget(new QLabel(caption, texts));
        auto* edit = new QPlainTextEdit(texts);
        edit->setObjectName(name);
        edit->setReadOnly(true);
        col->addWidget(edit, 1);
        row->addLayout(col, 1);
        return edit;
    };
    memCopy = box("This duplicate:", "memCopy");
    memKept = box("Kept record:", "memKept");
    split->addWidget(texts);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 1);
    outer->addWidget(split, 1);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(cbDiffOnly);
    bottom->addStretch(1);
    auto* close = new QPushButton("Close", this);
    close->setObjectName("btnClose");
    close->setDefault(true);
    bottom->addWidget(close);
    outer->addLayout(bottom);

    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    connect(cbDiffOnly, &QCheckBox::toggled, this, &TfmCompare::ShowDifferingOnly);
    connect(lvFields, &QTreeWidget::currentItemChanged, this, [this] { ShowCurrent(); });

    // Start on the first field that differs.
    for (int i = 0; i < lvFields->topLevelItemCount(); ++i)
        if (lvFields->topLevelItem(i)->data(kField, kDiffersRole).toBool()) {
            lvFields->setCurrentItem(lvFields->topLevelItem(i));
            break;
        }
    if (!lvFields->currentItem() && lvFields->topLevelItemCount() > 0)
        lvFields->setCurrentItem(lvFields->topLevelItem(0));
    ShowCurrent();
}

void TfmCompare::ShowCurrent()
{
    QTreeWidgetItem* item = lvFields->currentItem();
    memCopy->setPlainText(item ? item->data(kField, kFullCopyRole).toString() : QString());
    memKept->setPlainText(item ? item->data(kField, kFullKeptRole).toString() : QString());
}

void TfmCompare::ShowDifferingOnly(bool only)
{
    for (int i = 0; i < lvFields->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = lvFields->topLevelItem(i);
        item->setHidden(only && !item->data(kField, kDiffersRole).toBool());
    }
}

void ShowCompare(QWidget* parent, PmFacadeSet* set, int app, const void* copy, const void* kept)
{
    if (!set || !set->Built() || !copy || !kept)
        return;
    static const char* const kWhat[4] = {"A duplicate contact and the contact kept in its place",
                                         "A duplicate calendar item and the item kept in its place",
                                         "A duplicate task and the task kept in its place",
                                         "A duplicate note and the note kept in its place"};
    TfmCompare dlg(parent, kWhat[app & 3], RecordFields(set, app, copy), RecordFields(set, app, kept),
                   set->TextsUtf8(app), TheOption().CaseSensitive);
    ExecDialog(&dlg);
}
