// TfmRestore: the "Restore a Backup..." dialog of step 0. Lists the backups
// kept beside the chosen user's data files, newest first, and restores the
// one picked after the user confirms it; the work itself is PmRestoreBackup.
#pragma once

#include "app/ApputilRestore.h"

#include <QDialog>

#include <cstdint>
#include <vector>

class QLabel;
class QPushButton;
class QTreeWidget;
class TfmMain;

class TfmRestore : public QDialog {
    Q_OBJECT
public:
    /// The backups of `user`, named `userName` in the text above the list.
    /// `main` is the wizard, kept from taking input while a restore works.
    TfmRestore(TfmMain* main, QWidget* parent, uint32_t user, const QString& userName);

    /// The backups listed now, in the list's order.
    const std::vector<PmBackupEntry>& Backups() const { return m_Backups; }

public slots:
    /// Restores the backup picked, after asking; a refusal or a failure is
    /// told in a message. The list is read again afterwards.
    void btnRestoreClick();

private:
    /// Reads the backups again and fills the list.
    void FillList();
    void UpdateButtons();

    TfmMain* m_pMain;
    uint32_t m_User;
    QLabel* lblEmpty;
    QTreeWidget* lvBackups;
    QPushButton* btnRestore;
    QPushButton* btnClose;
    std::vector<PmBackupEntry> m_Backups;
};
