#include "Pdrestore.h"

#include "GuiUtil.h"
#include "Main.h"
#include "Pdsource.h"

#include "palm/DmMain.h"
#include "platform/WinPath.h"

#include <QApplication>
#include <QDateTime>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

// As the applications are named on step 0.
const char* const kAppWords[kPmAppCount] = {"Contacts", "Calendar", "Todo", "Memo"};

QString HostName(const std::string& hostPath)
{
    return QString::fromStdString(hostPath.substr(hostPath.find_last_of('/') + 1));
}

// Local date and time to the second: two backups of one file may be seconds apart.
QString WhenText(int64_t made)
{
    return QDateTime::fromSecsSinceEpoch(made).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

}  // namespace

TfmRestore::TfmRestore(TfmMain* main, QWidget* parent, uint32_t user, const QString& userName)
    : QDialog(parent), m_pMain(main), m_User(user)
{
    setObjectName(QStringLiteral("fmRestore"));
    setWindowTitle(QStringLiteral("Restore a Backup"));
    setWindowIcon(AppIcon());
    resize(640, 400);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);
    auto* banner = new TBanner(this);
    banner->SetTitle(QStringLiteral("Tarnwick"));
    banner->SetText(QStringLiteral("Put a data file back as one of its backups holds it."));
    outer->addWidget(banner);

    auto* body = new QVBoxLayout;
    body->setContentsMargins(16, 12, 16, 14);
    body->setSpacing(8);
    outer->addLayout(body, 1);

    auto* lblHint = new QLabel(
        QStringLiteral("The backups kept of the data files of %1, newest first. Pick one and press Restore: its "
                       "file is replaced by the backup, and the file as it is now is kept as a new backup first.")
            .arg(userName),
        this);
    lblHint->setObjectName(QStringLiteral("lblHint"));
    lblHint->setTextFormat(Qt::PlainText);
    lblHint->setWordWrap(true);
    body->addWidget(lblHint);

    lvBackups = new QTreeWidget(this);
    lvBackups->setObjectName(QStringLiteral("lvBackups"));
    lvBackups->setRootIsDecorated(false);
    lvBackups->setUniformRowHeights(true);
    lvBackups->setSelectionMode(QAbstractItemView::SingleSelection);
    lvBackups->setHeaderLabels({QStringLiteral("Application"), QStringLiteral("File"), QStringLiteral("When"),
                                QStringLiteral("Size")});
    lvBackups->header()->setStretchLastSection(false);
    lvBackups->header()->setSectionResizeMode(1, QHeaderView::Stretch);
    lvBackups->setColumnWidth(0, 110);
    lvBackups->setColumnWidth(2, 160);
    lvBackups->setColumnWidth(3, 110);
    body->addWidget(lvBackups, 1);

    lblEmpty = new QLabel(QStringLiteral("There are no backups of this user's data files. A backup is kept "
                                         "beside a data file each time the wizard changes it."),
                          this);
    lblEmpty->setObjectName(QStringLiteral("lblEmpty"));
    lblEmpty->setWordWrap(true);
    body->addWidget(lblEmpty);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    btnRestore = new QPushButton(QStringLiteral("&Restore"), this);
    btnRestore->setObjectName(QStringLiteral("btnRestore"));
    btnClose = new QPushButton(QStringLiteral("Close"), this);
    btnClose->setObjectName(QStringLiteral("btnClose"));
    for (QPushButton* b : {btnRestore, btnClose}) {
        b->setAutoDefault(false);
        b->setMinimumWidth(90);
        buttons->addWidget(b);
    }
    body->addLayout(buttons);

    connect(btnRestore, &QPushButton::clicked, this, &TfmRestore::btnRestoreClick);
    connect(btnClose, &QPushButton::clicked, this, &QDialog::reject);
    connect(lvBackups, &QTreeWidget::itemSelectionChanged, this, &TfmRestore::UpdateButtons);

    FillList();
}

void TfmRestore::FillList()
{
    m_Backups = PmListBackups(m_User);
    lvBackups->clear();
    const QLocale locale;
    for (size_t i = 0; i < m_Backups.size(); ++i) {
        const PmBackupEntry& b = m_Backups[i];
        const std::string host = plat::ToHostPath(b.File);
        auto* item = new QTreeWidgetItem(lvBackups);
        item->setText(0, QString::fromLatin1(kAppWords[b.App & 3]));
        item->setText(1, HostName(host));
        item->setText(2, WhenText(b.Copy.made));
        item->setText(3, locale.toString(qlonglong(b.Copy.size)) + QStringLiteral(" bytes"));
        item->setTextAlignment(3, Qt::AlignRight | Qt::AlignVCenter);
        item->setToolTip(1, QString::fromStdString(b.Copy.hostPath));
        item->setData(0, Qt::UserRole, qulonglong(i));
    }
    // The list stays, empty, with the words below it: the dialog keeps its
    // shape instead of floating its texts in a blank area.
    lblEmpty->setVisible(m_Backups.empty());
    UpdateButtons();
}

void TfmRestore::UpdateButtons()
{
    btnRestore->setEnabled(!lvBackups->selectedItems().isEmpty());
}

void TfmRestore::btnRestoreClick()
{
    const QList<QTreeWidgetItem*> picked = lvBackups->selectedItems();
    if (picked.isEmpty())
        return;
    const size_t index = size_t(picked.first()->data(0, Qt::UserRole).toULongLong());
    if (index >= m_Backups.size())
        return;
    const PmBackupEntry entry = m_Backups[index];
    const QString file = QString::fromStdString(plat::ToHostPath(entry.File));
    const QString backup = QString::fromStdString(entry.Copy.hostPath);

    GuiMessageInfo ask{this,
                       QStringLiteral("Restore a Backup"),
                       QStringLiteral("Replace the file\n%1\nby its backup\n%2\nmade on %3?\n\nThe file as it is "
                                      "now is kept as a new backup beside it first.")
                           .arg(file, backup, WhenText(entry.Copy.made)),
                       QMessageBox::Question,
                       QMessageBox::Yes | QMessageBox::Cancel};
    ask.Default = QMessageBox::Cancel;
    ask.Texts = {{QMessageBox::Yes, QStringLiteral("&Restore")}};
    if (GuiAsk(ask) != QMessageBox::Yes)
        return;

    std::string made, words;
    bool ok = false;
    {
        // Nothing the user presses meanwhile acts afterwards: the wizard
        // drops its input, and this dialog takes none while disabled.
        TBusyScope busy(m_pMain);
        setEnabled(false);
        QApplication::setOverrideCursor(Qt::WaitCursor);
        // What the wizard loaded before is of the file as it was: it is let
        // go of here (the next step loads anew), and so is the database
        // connection that still has the file open.
        if (m_pMain && m_pMain->SourcePage())
            m_pMain->SourcePage()->ReleaseFacadeSet();
        DataModule().LetGoOfFile(entry.File);
        ok = PmRestoreBackup(entry.File, entry.Copy.hostPath, &made, &words);
        QApplication::restoreOverrideCursor();
    }
    setEnabled(true);
    FillList();
    if (ok)
        GuiMessage(this, QStringLiteral("Restore a Backup"),
                   QStringLiteral("The file\n%1\nwas restored from its backup\n%2\n\nThe file as it was is kept "
                                  "as\n%3")
                       .arg(file, backup, QString::fromStdString(made)),
                   QMessageBox::Information);
    else
        GuiMessage(this, QStringLiteral("Restore a Backup"), QString::fromStdString(words), QMessageBox::Critical);
}
