#include "Pdsource.h"

#include "Apputil.h"
#include "ApputilFacadeSet.h"
#include "Dump.h"
#include "Dupoption.h"
#include "GuiUtil.h"
#include "Main.h"
#include "Pdrestore.h"

#include "misc/CxIniUtil.h"
#include "palm/PalmEnv.h"
#include "platform/WinPath.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
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
    // Shown always: a Palm Desktop folder copied from another machine is
    // found by no registry, and a found one may not be the one wanted.
    btnPDFolder = new QPushButton("Choose Palm &Desktop Folder...", source);
    btnPDFolder->setObjectName("btnPDFolder");
    btnPDFolder->setAutoDefault(false);
    grid->addWidget(btnPDFolder, 0, 3);
    grid->addWidget(new QLabel("Palm Desktop User:", source), 1, 0);
    cbUser = new QComboBox(source);
    cbUser->setObjectName("cbUser");
    cbUser->setEditable(false);
    cbUser->setMinimumWidth(300);
    grid->addWidget(cbUser, 1, 1, Qt::AlignLeft);
    // Beside the user: it lists the backups of the user chosen there.
    btnRestore = new QPushButton("Restore a &Backup...", source);
    btnRestore->setObjectName("btnRestore");
    btnRestore->setAutoDefault(false);
    grid->addWidget(btnRestore, 1, 3);
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
    btnClear = new QPushButton("C&lear", apps);
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
    connect(btnPDFolder, &QPushButton::clicked, this, &TfmPDSource::btnPDFolderClick);
    connect(btnRestore, &QPushButton::clicked, this, &TfmPDSource::btnRestoreClick);
}

TfmPDSource::~TfmPDSource() = default;

bool TfmPDSource::Enter()
{
    const AppOption& opt = TheOption();
    FillSource();
    cbAddr->setChecked(opt.AppFlag & kAppAddr);
    cbDate->setChecked(opt.AppFlag & kAppDate);
    cbTask->setChecked(opt.AppFlag & kAppTodo);
    cbNote->setChecked(opt.AppFlag & kAppMemo);
    return true;
}

void TfmPDSource::FillSource()
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
}

bool TfmPDSource::Leave()
{
    AppOption& opt = TheOption();
    if (cbUser->currentIndex() >= 0) {
        auto* entry = cbUser->currentData().value<PmUserEntry*>();
        if (entry)
            opt.UserID = int32_t(entry->userID);
    }
    int32_t flag = CheckedApps();
    if (flag == 0) {
        // The stored choice stays the last one that could be used, so that
        // closing now does not start the next run with nothing ticked.
        GuiMessage(this, "Error", "Please select at least one Palm Desktop application.", QMessageBox::Critical);
        return false;
    }
    opt.AppFlag = flag;
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

int32_t TfmPDSource::CheckedApps() const
{
    int32_t flag = 0;
    if (cbAddr->isChecked())
        flag |= kAppAddr;
    if (cbDate->isChecked())
        flag |= kAppDate;
    if (cbTask->isChecked())
        flag |= kAppTodo;
    if (cbNote->isChecked())
        flag |= kAppMemo;
    return flag;
}

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
    // The rules of the applications ticked now, whether or not Next has
    // stored them yet.
    TfmDupOption dlg(this, CheckedApps());
    ExecDialog(&dlg);
}

void TfmPDSource::btnPDFolderClick()
{
    char current[260] = {};
    QString start;
    if (GetPalmDesktopPath(current, sizeof current) == 0)
        start = QString::fromStdString(plat::ToHostPath(current));
    const QString chosen = GuiChooseFolder(this, "Choose Palm Desktop Folder", start);
    if (chosen.isEmpty())
        return;
    const std::string folder = QDir::cleanPath(chosen).toStdString();
    if (folder.size() >= sizeof current) {
        // Palm's folder names are kept in 260 bytes; a longer one would be cut.
        GuiMessage(this, "Error",
                   QString("The path of this folder is too long (more than %1 bytes):\n%2")
                       .arg(sizeof current - 1)
                       .arg(QString::fromStdString(folder)),
                   QMessageBox::Critical);
        return;
    }
    if (!PmHoldsUserLibrary(folder)) {
        GuiMessage(this, "Error",
                   QString("This folder is not a Palm Desktop folder:\n%1\n\nA Palm Desktop folder holds the "
                           "HotSync user library UserData.dll and a folder for each Palm Desktop user.")
                       .arg(QString::fromStdString(folder)),
                   QMessageBox::Critical);
        return;
    }
    // The user's settings: the settings folder's file, or the one beside the
    // program when there is no settings folder (then it is read first).
    if (!TheIni().WriteString(kPmPathSection, kPmPathKey, folder.c_str())) {
        GuiMessage(this, "Error",
                   QString("The Palm Desktop folder could not be stored in the settings file:\n%1")
                       .arg(QString::fromStdString(plat::ToHostPath(TheIni().Path()))),
                   QMessageBox::Critical);
        return;
    }
    // The users list is read anew, and the list box holds its entries.
    cbUser->clear();
    LoadPalmLibraries(PM_LIB_CONDMGR | PM_LIB_USERDATA | PM_LIB_HSAPI | PM_LIB_INSTAIDE);
    LoadPalmUsers();
    FillSource();

    char used[260] = {};
    if (GetPalmDesktopPath(used, sizeof used) == 0 && folder != used)
        GuiMessage(this, "Warning",
                   QString("The folder was stored, but the brellon.ini beside the program names another Palm "
                           "Desktop folder, which is used instead:\n%1")
                       .arg(QString::fromStdString(plat::ToHostPath(used))),
                   QMessageBox::Warning);
}

void TfmPDSource::btnRestoreClick()
{
    auto* entry = cbUser->currentIndex() >= 0 ? cbUser->currentData().value<PmUserEntry*>() : nullptr;
    if (!entry) {
        GuiMessage(this, "Error", "Please select a Palm Desktop user first.", QMessageBox::Critical);
        return;
    }
    TfmRestore dlg(m_pMain, this, entry->userID, AnsiText(entry->userName));
    ExecDialog(&dlg);
}
