#include "Pddata.h"

#include "Apputil.h"
#include "ApputilFacadeSet.h"
#include "Dupoption.h"
#include "GuiUtil.h"
#include "Main.h"
#include "Pdaddrdetail.h"
#include "Pdcompare.h"
#include "Pddatedetail.h"
#include "Pdnotedetail.h"
#include "Pdtaskdetail.h"
#include "RecordFields.h"

#include <QCheckBox>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>
#include <unordered_set>

namespace {

/// Walks a duplicate list into a vector of row pointers.
template <typename T>
std::vector<void*> ListRows(CxList<T>* list)
{
    std::vector<void*> rows;
    if (!list)
        return rows;
    rows.reserve(list->Count());
    for (T* r = list->First(); r; r = list->Next())
        rows.push_back(r);
    return rows;
}

template <typename Mgr>
std::vector<void*> ManagerRows(Mgr* mgr)
{
    std::vector<void*> rows;
    if (!mgr)
        return rows;
    rows.reserve(mgr->Count());
    for (uint32_t i = 0; i < mgr->Count(); ++i)
        rows.push_back(mgr->RecordAt(i));
    return rows;
}

}  // namespace

TfmPDData::TfmPDData(TfmMain* main, QWidget* parent) : TfmPage(main, parent)
{
    setObjectName("fmPDData");
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(8);

    pData = new QTabWidget(this);
    pData->setObjectName("pData");
    outer->addWidget(pData, 1);
    MakeTab(0, TRecordKind::Addr, kAppAddr, "Contacts", "Contacts", "Contact", "lvAddr", "cbAddrAll",
            "Display All Contacts Data", "lblAddrCount")->page->setObjectName("tAddr");
    MakeTab(1, TRecordKind::Date, kAppDate, "Calendar", "Calendar", "Calendar", "lvDate", "cbDateAll",
            "Display All Calendar Data", "lblDateCount")->page->setObjectName("tDate");
    MakeTab(2, TRecordKind::Task, kAppTodo, "Task", "Tasks", "Task", "lvTask", "cbTaskAll",
            "Display All Tasks Data", "lblTaskCount")->page->setObjectName("tTask");
    MakeTab(3, TRecordKind::Note, kAppMemo, "Notes", "Notes", "Note", "lvNote", "cbNoteAll",
            "Display All Notes Data", "lblNoteCount")->page->setObjectName("tNote");

    cbCase = new QCheckBox("Case sensitive when checking duplicate items.", this);
    cbCase->setObjectName("cbCase");
    outer->addWidget(cbCase);

    auto* buttons = new QHBoxLayout;
    btnOption = new QPushButton("&Options", this);
    btnOption->setObjectName("btnOption");
    btnRefresh = new QPushButton("&Refresh", this);
    btnRefresh->setObjectName("btnRefresh");
    btnSelAll = new QPushButton("Select All Dups", this);
    btnSelAll->setObjectName("btnSelAll");
    btnClear = new QPushButton("Clear Selection", this);
    btnClear->setObjectName("btnClear");
    btnIdentical = new QPushButton("Tick &Identical Only", this);
    btnIdentical->setObjectName("btnIdentical");
    btnIdentical->setToolTip("Ticks exactly the duplicates whose deletion loses nothing: every value they hold "
                             "is in the record kept in their place.");
    btnCompare = new QPushButton("Co&mpare...", this);
    btnCompare->setObjectName("btnCompare");
    btnCompare->setToolTip("Compare With Kept Record: the chosen duplicate beside the record that stays.");
    for (QPushButton* b : {btnOption, btnRefresh, btnCompare, btnIdentical, btnSelAll, btnClear}) {
        b->setAutoDefault(false);
        b->setMinimumWidth(100);
    }
    buttons->addWidget(btnOption);
    buttons->addWidget(btnRefresh);
    buttons->addWidget(btnCompare);
    buttons->addStretch(1);
    buttons->addWidget(btnIdentical);
    buttons->addWidget(btnSelAll);
    buttons->addWidget(btnClear);
    outer->addLayout(buttons);

    connect(btnRefresh, &QPushButton::clicked, this, &TfmPDData::btnRefreshClick);
    connect(cbCase, &QCheckBox::clicked, this, &TfmPDData::cbCaseClick);
    connect(btnOption, &QPushButton::clicked, this, &TfmPDData::btnOptionClick);
    connect(btnSelAll, &QPushButton::clicked, this, &TfmPDData::btnSelAllClick);
    connect(btnClear, &QPushButton::clicked, this, &TfmPDData::btnClearClick);
    connect(btnIdentical, &QPushButton::clicked, this, &TfmPDData::btnIdenticalClick);
    connect(btnCompare, &QPushButton::clicked, this, &TfmPDData::btnCompareClick);
    connect(pData, &QTabWidget::currentChanged, this, [this] { UpdateCompare(); });
    UpdateCompare();
}

TfmPDData::Tab* TfmPDData::MakeTab(int app, TRecordKind kind, int32_t bit, const char* caption,
                                   const char* plural, const char* singular, const char* listName,
                                   const char* allName, const char* allText, const char* countName)
{
    Tab& t = m_Tabs[app];
    t.kind = kind;
    t.bit = bit;
    t.plural = plural;
    t.singular = singular;
    t.page = new QWidget(pData);
    auto* layout = new QVBoxLayout(t.page);
    layout->setContentsMargins(6, 6, 6, 6);
    t.model = new TRecordListModel(kind, this);
    t.list = new QTreeView(t.page);
    t.list->setObjectName(listName);
    t.list->setModel(t.model);
    t.list->setRootIsDecorated(false);
    t.list->setUniformRowHeights(true);
    t.list->setAlternatingRowColors(true);
    t.list->setSelectionMode(QAbstractItemView::SingleSelection);
    t.list->setSelectionBehavior(QAbstractItemView::SelectRows);
    t.list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    t.list->setAllColumnsShowFocus(true);
    t.list->header()->setStretchLastSection(true);
    std::vector<int> widths = TRecordListModel::Widths(kind);
    for (size_t c = 0; c < widths.size(); ++c)
        t.list->setColumnWidth(int(c), widths[c] + (c == 0 ? 24 : 0));  // room for the tick
    // Columns of fixed texts are as wide as those texts in the list's font,
    // so that dates and times are never cut.
    const QFontMetrics fm(t.list->font());
    auto fit = [&](int column, const QString& widest) {
        t.list->setColumnWidth(column, std::max(t.list->columnWidth(column), fm.horizontalAdvance(widest) + 16));
    };
    if (kind == TRecordKind::Date) {
        fit(1, "00/00/0000 00:00");
        fit(2, "00/00/0000 00:00");
        fit(3, "All Day Event");
    } else if (kind == TRecordKind::Task) {
        fit(2, "00/00/0000 00:00:00");
    }
    QFont bold = t.list->font();
    bold.setBold(true);
    t.list->setColumnWidth(t.model->GroupColumn(), QFontMetrics(bold).horizontalAdvance("000 (kept)") + 12);
    t.list->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(t.list, &QTreeView::customContextMenuRequested, this,
            [this, app](const QPoint& at) { ShowRowMenu(app, at); });
    connect(t.list->selectionModel(), &QItemSelectionModel::currentChanged, this, [this] { UpdateCompare(); });
    layout->addWidget(t.list, 1);
    auto* bottom = new QHBoxLayout;
    t.all = new QCheckBox(allText, t.page);
    t.all->setObjectName(allName);
    t.count = new QLabel(t.page);
    t.count->setObjectName(countName);
    // A load failure's words can be long: the label wraps them.
    t.count->setWordWrap(true);
    t.count->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    bottom->addWidget(t.all);
    bottom->addWidget(t.count, 1);
    layout->addLayout(bottom);
    pData->addTab(t.page, caption);

    connect(t.all, &QCheckBox::clicked, this, [this, app] { AllClick(app); });
    connect(t.list, &QTreeView::doubleClicked, this, [this, app](const QModelIndex& index) { OpenViewer(app, index); });
    return &t;
}

bool TfmPDData::Shown(int app) const { return TheOption().AppFlag & m_Tabs[app].bit; }

uint32_t TfmPDData::RecordCount(int app) const
{
    PmFacadeSet* set = m_pMain->FacadeSet();
    if (!set || !set->Built())
        return 0;
    switch (app) {
    case 0: return set->Addr()->GetCommMgr()->Count();
    case 1: return set->Date()->GetCommMgr()->Count();
    case 2: return set->Todo()->GetCommMgr()->Count();
    default: return set->Memo()->GetCommMgr()->Count();
    }
}

int TfmPDData::DupCount(int app) const
{
    PmFacadeSet* set = m_pMain->FacadeSet();
    if (!set || !set->Built())
        return 0;
    switch (app) {
    case 0: return int(set->AddrDups()->Count());
    case 1: return int(set->DateDups()->Count());
    case 2: return int(set->TodoDups()->Count());
    default: return int(set->MemoDups()->Count());
    }
}

bool TfmPDData::Enter()
{
    for (int app = 0; app < 4; ++app)
        pData->setTabVisible(app, Shown(app));
    PmFacadeSet* set = m_pMain->FacadeSet();
    if (set && set->Built())
        set->Reload(TheOption().UserID, TheOption().AppFlag);
    for (int app = 0; app < 4; ++app)
        if (Shown(app))
            Detect(app);
    {
        QSignalBlocker block(cbCase);
        cbCase->setChecked(TheOption().CaseSensitive);
    }
    for (int app = 0; app < 4; ++app)
        if (Shown(app))
            Fill(app);
    for (int app = 0; app < 4; ++app)
        if (Shown(app)) {
            pData->setCurrentIndex(app);
            break;
        }
    return true;
}

void TfmPDData::Shown() { ShowLoadFailures(); }

void TfmPDData::ShowLoadFailures()
{
    PmFacadeSet* set = m_pMain->FacadeSet();
    if (!set || !set->Built())
        return;
    QStringList failed;
    for (int app = 0; app < 4; ++app) {
        if (!Shown(app))
            continue;
        const PmLoadResult& r = set->LoadResult(app);
        if (r.Tried && r.Failed)
            failed << QString("%1: %2").arg(m_Tabs[app].plural, QString::fromStdString(r.Words));
    }
    if (failed.isEmpty())
        return;
    QString text = failed.size() == 1
                       ? "This application could not be loaded and was not checked for duplicates:"
                       : "These applications could not be loaded and were not checked for duplicates:";
    text += "\n\n" + failed.join("\n\n");
    GuiMessage(this, "Warning", text, QMessageBox::Warning);
}

bool TfmPDData::Leave()
{
    PmFacadeSet* set = m_pMain->FacadeSet();
    if (!set || !set->Built())
        return true;

    // A mass deletion is confirmed first: "Display All" with "Select All
    // Dups" ticks every record of an application. No is the default: Enter
    // pressed in a hurry keeps the records.
    QStringList mass, counts;
    int tickedAll = 0;
    for (int app = 0; app < 4; ++app) {
        if (!Shown(app))
            continue;
        int ticked = m_Tabs[app].model->CheckedCount();
        uint32_t total = RecordCount(app);
        tickedAll += ticked;
        if (ticked > 0)
            counts << QString("%1: %2 %3").arg(m_Tabs[app].plural).arg(ticked).arg(ticked == 1 ? "record" : "records");
        if (ticked > 0 && uint64_t(ticked) * 2 > total)
            mass << QString("%1: %2 of %3 records").arg(m_Tabs[app].plural).arg(ticked).arg(total);
    }
    if (!mass.isEmpty()) {
        GuiMessageInfo ask{this, "Confirm Deletion",
                           "More than half of the records of an application are ticked for deletion:\n\n" +
                               mass.join("\n") + "\n\nDo you really want to delete them?",
                           QMessageBox::Question, QMessageBox::Yes | QMessageBox::No};
        ask.Default = QMessageBox::No;
        if (GuiAsk(ask) != QMessageBox::Yes)
            return false;
    }
    // The step that deletes asks first, with the counts, and Cancel is what
    // Enter or Escape choose.
    if (tickedAll > 0 && !ConfirmDeletion(counts))
        return false;

    if (Shown(0))
        RecordTicks(m_Tabs[0].model, set->AddrDups());
    if (Shown(1))
        RecordTicks(m_Tabs[1].model, set->DateDups());
    if (Shown(2))
        RecordTicks(m_Tabs[2].model, set->TodoDups());
    if (Shown(3))
        RecordTicks(m_Tabs[3].model, set->MemoDups());
    return true;
}

bool TfmPDData::ConfirmDeletion(const QStringList& counts)
{
    int losing = 0;
    {
        TBusyScope busy(m_pMain);
        for (int app = 0; app < 4; ++app)
            if (Shown(app))
                losing += m_Tabs[app].model->CheckedLosingCount();
    }
    QString text = "These records will be deleted:\n\n" + counts.join("\n");
    if (losing > 0)
        text += QString("\n\n%1 of them %2 data that no kept record holds: the column \"Deleting loses\" names "
                        "it. Untick them to keep that data.")
                    .arg(losing)
                    .arg(losing == 1 ? "holds" : "hold");
    text += "\n\nA backup copy of every file that changes is kept beside it first.";
    QMessageBox::StandardButtons buttons = QMessageBox::Yes | QMessageBox::Cancel;
    if (losing > 0)
        buttons |= QMessageBox::No;
    GuiMessageInfo ask{this, "Delete Duplicates", text, QMessageBox::Question, buttons};
    ask.Default = QMessageBox::Cancel;
    ask.Texts = {{QMessageBox::Yes, "&Delete"}, {QMessageBox::Cancel, "Cancel"}};
    if (losing > 0)
        ask.Texts.push_back({QMessageBox::No, QString("&Untick Those %1").arg(losing)});
    QMessageBox::StandardButton answer = GuiAsk(ask);
    if (answer == QMessageBox::No) {
        // The records that would lose data stay, and the user sees the list
        // as it now is before anything is deleted.
        for (int app = 0; app < 4; ++app)
            if (Shown(app))
                m_Tabs[app].model->UncheckLosing();
        return false;
    }
    return answer == QMessageBox::Yes;
}

void TfmPDData::Detect(int app)
{
    // A new detection lists its duplicates ticked afresh.
    Tab& t = m_Tabs[app];
    t.kept.clear();
    t.keepers.clear();
    t.groups.reset();
    PmFacadeSet* set = m_pMain->FacadeSet();
    if (!set || !set->Built())
        return;
    const AppOption& opt = TheOption();
    std::vector<void*> dups;
    switch (app) {
    case 0: DetectAddrDups(set->Addr()->GetCommMgr(), set->AddrDups(), opt, &t.keepers); dups = ListRows(set->AddrDups()); break;
    case 1: DetectDateDups(set->Date()->GetCommMgr(), set->DateDups(), opt, &t.keepers); dups = ListRows(set->DateDups()); break;
    case 2: DetectTaskDups(set->Todo()->GetCommMgr(), set->TodoDups(), opt, &t.keepers); dups = ListRows(set->TodoDups()); break;
    case 3: DetectNoteDups(set->Memo()->GetCommMgr(), set->MemoDups(), opt, &t.keepers); dups = ListRows(set->MemoDups()); break;
    }
    // Without keepers (none recorded) the list shows the duplicates alone.
    t.groups = MakeGroups(dups, t.keepers);
}

void TfmPDData::Fill(int app)
{
    if (app < 0 || app >= 4)
        return;
    Tab& t = m_Tabs[app];
    PmFacadeSet* set = m_pMain->FacadeSet();
    bool all = t.all->isChecked();
    std::vector<void*> rows;
    if (set && set->Built()) {
        switch (app) {
        case 0: rows = all ? ManagerRows(set->Addr()->GetCommMgr()) : ListRows(set->AddrDups()); break;
        case 1: rows = all ? ManagerRows(set->Date()->GetCommMgr()) : ListRows(set->DateDups()); break;
        case 2: rows = all ? ManagerRows(set->Todo()->GetCommMgr()) : ListRows(set->TodoDups()); break;
        case 3: rows = all ? ManagerRows(set->Memo()->GetCommMgr()) : ListRows(set->MemoDups()); break;
        }
        if (!all)
            rows = GroupedRows(rows, t.keepers);
    }
    t.list->setUpdatesEnabled(false);
    t.model->SetTextsUtf8(set && set->Built() && set->TextsUtf8(app));
    // What a copy loses is found only for the rows painted (and for all at
    // once when a button or the question before deleting needs it).
    const bool caseSensitive = TheOption().CaseSensitive;
    TLossOf lossOf;
    if (set && set->Built())
        lossOf = [set, app, caseSensitive](const void* copy, const void* keeper) {
            return LostFields(RecordFields(set, app, copy), RecordFields(set, app, keeper), caseSensitive);
        };
    t.model->SetGroups(t.groups, std::move(lossOf), !all);
    t.list->setAlternatingRowColors(all || !t.groups);
    t.model->SetRows(std::move(rows), !all, t.kept);
    t.list->setUpdatesEnabled(true);
    UpdateCompare();

    int dups = DupCount(app);
    bool failed = set && set->Built() && set->LoadResult(app).Tried && set->LoadResult(app).Failed;
    // An application that was not read has no count of duplicates to show.
    if (failed)
        pData->setTabText(app, QString("%1 (not read)").arg(t.plural));
    else
        pData->setTabText(app, QString::asprintf(dups < 2 ? "%s (%d Dup)" : "%s (%d Dups)", t.plural, dups));
    if (failed)
        t.count->setText(QString("The %1 data could not be read: %2")
                             .arg(t.plural, QString::fromStdString(set->LoadResult(app).Words)));
    else
        t.count->setText(QString::asprintf("%u %s records in total", RecordCount(app), t.singular));
    t.count->setStyleSheet(failed ? "color: red;" : QString());
}

void TfmPDData::AllClick(int app)
{
    TBusyScope busy(m_pMain);
    m_Tabs[app].model->KeepChecks(&m_Tabs[app].kept);
    Fill(app);
}

void TfmPDData::DetectAndFillAll()
{
    TBusyScope busy(m_pMain);
    for (int app = 0; app < 4; ++app)
        if (Shown(app))
            Detect(app);
    for (int app = 0; app < 4; ++app)
        if (Shown(app))
            Fill(app);
}

void TfmPDData::btnRefreshClick() { DetectAndFillAll(); }

void TfmPDData::cbCaseClick()
{
    TheOption().CaseSensitive = cbCase->isChecked();
    DetectAndFillAll();
}

void TfmPDData::btnOptionClick()
{
    TfmDupOption dlg(this);
    if (ExecDialog(&dlg) != QDialog::Accepted)
        return;
    {
        QSignalBlocker block(cbCase);
        cbCase->setChecked(TheOption().CaseSensitive);
    }
    DetectAndFillAll();
}

void TfmPDData::btnSelAllClick()
{
    for (int app = 0; app < 4; ++app)
        if (Shown(app))
            m_Tabs[app].model->SetAllChecked(true);
}

void TfmPDData::btnClearClick()
{
    for (int app = 0; app < 4; ++app)
        if (Shown(app))
            m_Tabs[app].model->SetAllChecked(false);
}

void TfmPDData::btnIdenticalClick()
{
    TBusyScope busy(m_pMain);
    for (int app = 0; app < 4; ++app)
        if (Shown(app))
            m_Tabs[app].model->CheckIdenticalOnly();
}

int TfmPDData::CurrentApp() const
{
    int app = pData->currentIndex();
    return app >= 0 && app < 4 ? app : 0;
}

void TfmPDData::UpdateCompare()
{
    const Tab& t = m_Tabs[CurrentApp()];
    QModelIndex current = t.list->selectionModel() ? t.list->selectionModel()->currentIndex() : QModelIndex();
    btnCompare->setEnabled(current.isValid() && t.model->IsCopy(current.row()));
}

void TfmPDData::btnCompareClick()
{
    int app = CurrentApp();
    QModelIndex current = m_Tabs[app].list->selectionModel()->currentIndex();
    if (current.isValid())
        Compare(app, current.row());
}

void TfmPDData::Compare(int app, int row)
{
    Tab& t = m_Tabs[app];
    if (!t.model->IsCopy(row))
        return;
    ShowCompare(this, m_pMain->FacadeSet(), app, t.model->RecordAt(row), t.model->KeeperOf(row));
}

void TfmPDData::ShowRowMenu(int app, const QPoint& at)
{
    Tab& t = m_Tabs[app];
    QModelIndex index = t.list->indexAt(at);
    if (!index.isValid())
        return;
    t.list->setCurrentIndex(index);
    const int row = index.row();
    QMenu menu(this);
    QAction* compare = menu.addAction("Compare With &Kept Record");
    compare->setEnabled(t.model->IsCopy(row));
    QAction* view = menu.addAction("&View Record...");
    QAction* chosen = menu.exec(t.list->viewport()->mapToGlobal(at));
    if (chosen == compare)
        Compare(app, row);
    else if (chosen == view)
        OpenViewer(app, index);
}

void TfmPDData::OpenViewer(int app, const QModelIndex& index)
{
    Tab& t = m_Tabs[app];
    QModelIndex current = t.list->selectionModel() ? t.list->selectionModel()->currentIndex() : QModelIndex();
    int row = current.isValid() ? current.row() : index.row();
    void* rec = t.model->RecordAt(row);
    PmFacadeSet* set = m_pMain->FacadeSet();
    if (!rec || !set || !set->Built())
        return;
    switch (app) {
    case 0: ShowPDAddrDetail(this, set->Addr(), static_cast<CommAddr*>(rec)); break;
    case 1: ShowPDDateDetail(this, set->Date(), static_cast<CommDate*>(rec)); break;
    case 2: ShowPDTaskDetail(this, set->Todo(), static_cast<CommTask*>(rec)); break;
    case 3: ShowPDNoteDetail(this, set->Memo(), static_cast<CommNote*>(rec)); break;
    }
}
