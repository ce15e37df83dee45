#include "Pdsource.h"

#include "Apputil.h"
#include "ApputilFacadeSet.h"
#include "Dump.h"
#include "Dupoption.h"
#include "GuiUtil.h"
#include "Main.h"

#include "palm/PalmEnv.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include <exception>

Q_DECLARE_METATYPE(PmUserEntry*)

TfmPDSource::TfmPDSource(TfmMain* main, QWidget* parent)
    : TfmPage(main, parent), m_pSet(std::make_unique<PmFacadeSet>())
{
    setObjectName("fmPDSource");
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(14);

    auto* source = new QGroupBox(" Choose Palm Desktop Data Source ", this);
    auto* grid = new QGridLayout(source);
    grid->setContentsMargins(20, 16, 20, 16);
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(12);
    grid->addWidget(new QLabel("Palm Desktop Version:", source), 0, 0);
    lblPDVer = new QLabel(source);
    lblPDVer->setObjectName("lblPDVer");
    grid->addWidget(lblPDVer, 0, 1);
    grid->addWidget(new QLabel("Palm Desktop User:", source), 1, 0);
    cbUser = new QComboBox(source);
    cbUser->setObjectName("cbUser");
    cbUser->setEditable(false);
    cbUser->setMinimumWidth(300);
    grid->addWidget(cbUser, 1, 1, Qt::AlignLeft);
    grid->setColumnStretch(2, 1);
    outer->addWidget(source);

    auto* apps = new QGroupBox(" Choose Applications to Check Duplicates ", this);
    auto* appsLayout = new QVBoxLayout(apps);
    appsLayout->setContentsMargins(20, 16, 20, 16);
    appsLayout->setSpacing(10);
    cbAddr = new QCheckBox("Contacts", apps);
    cbAddr->setObjectName("cbAddr");
    cbDate = new QCheckBox("Calendar", apps);
    cbDate->setObjectName("cbDate");
    cbTask = new QCheckBox("Todo", apps);
    cbTask->setObjectName("cbTask");
    cbNote = new QCheckBox("Memo", apps);
    cbNote->setObjectName("cbNote");
    for (QCheckBox* cb : {cbAddr, cbDate, cbTask, cbNote})
        appsLayout->addWidget(cb);
    auto* buttons = new QHBoxLayout;
    btnSelAll = new QPushButton("Select All", apps);
    btnSelAll->setObjectName("btnSelAll");
    btnClear = new QPushButton("&Clear", apps);
    btnClear->setObjectName("btnClear");
    btnOption = new QPushButton("Customize Duplicate Checking Rule", apps);
    btnOption->setObjectName("btnOption");
    for (QPushButton* b : {btnSelAll, btnClear, btnOption}) {
        b->setAutoDefault(false);
        b->setMinimumWidth(90);
    }
    buttons->addWidget(btnSelAll);
    buttons->addWidget(btnClear);
    buttons->addStretch(1);
    buttons->addWidget(btnOption);
    appsLayout->addSpacing(6);
    appsLayout->addLayout(buttons);
    outer->addWidget(apps);
    outer->addStretch(1);

    connect(btnSelAll, &QPushButton::clicked, this, &TfmPDSource::btnSelAllClick);
    connect(btnClear, &QPushButton::clicked, this, &TfmPDSource::btnClearClick);
    connect(btnOption, &QPushButton::clicked, this, &TfmPDSource::btnOptionClick);
}

TfmPDSource::~TfmPDSource() = default;

bool TfmPDSource::Enter()
{
    const AppOption& opt = TheOption();
    cbUser->clear();
    int match = -1;
    int index = 0;
    CxList<PmUserEntry>& users = PalmUsers();
    for (PmUserEntry* u = users.First(); u; u = users.Next(), ++index) {
        cbUser->addItem(AnsiText(u->userName), QVariant::fromValue(u));
        if (match < 0 && u->userID == uint32_t(opt.UserID))
            match = index;
    }
    if (match >= 0)
        cbUser->setCurrentIndex(match);
    else if (cbUser->count() > 0)
        cbUser->setCurrentIndex(0);
    else
        cbUser->setCurrentIndex(-1);

    char text[64] = {};
    bool found = GetPalmDesktopVersionText(text);
    lblPDVer->setText(AnsiText(text));
    lblPDVer->setStyleSheet(found ? "color: blue;" : "color: red;");

    cbAddr->setChecked(opt.AppFlag & kAppAddr);
    cbDate->setChecked(opt.AppFlag & kAppDate);
    cbTask->setChecked(opt.AppFlag & kAppTodo);
    cbNote->setChecked(opt.AppFlag & kAppMemo);
    return true;
}

bool TfmPDSource::Leave()
{
    AppOption& opt = TheOption();
    if (cbUser->currentIndex() >= 0) {
        auto* entry = cbUser->currentData().value<PmUserEntry*>();
        if (entry)
            opt.UserID = int32_t(entry->userID);
    }
    int32_t flag = 0;
    if (cbAddr->isChecked())
        flag |= kAppAddr;
    if (cbDate->isChecked())
        flag |= kAppDate;
    if (cbTask->isChecked())
        flag |= kAppTodo;
    if (cbNote->isChecked())
        flag |= kAppMemo;
    opt.AppFlag = flag;
    if (flag == 0) {
        GuiMessage(this, "Error", "Please select at least one Palm Desktop application.", QMessageBox::Critical);
        return false;
    }
    try {
        return BuildFacadeSet();
    } catch (...) {
        TfmDump dump(this);
        ExecDialog(&dump);
        return false;
    }
}

bool TfmPDSource::BuildFacadeSet()
{
    return m_pSet->Build(TheOption().UserID, TheOption().AppFlag);
}

void TfmPDSource::ReleaseFacadeSet() { m_pSet->Release(); }

void TfmPDSource::btnSelAllClick()
{
    for (QCheckBox* cb : {cbAddr, cbDate, cbTask, cbNote})
        cb->setChecked(true);
}

void TfmPDSource::btnClearClick()
{
    for (QCheckBox* cb : {cbAddr, cbDate, cbTask, cbNote})
        cb->setChecked(false);
}

void TfmPDSource::btnOptionClick()
{
    TfmDupOption dlg(this);
    ExecDialog(&dlg);
}
