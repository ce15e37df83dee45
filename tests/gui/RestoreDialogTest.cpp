// The restore dialog of step 0, driven through its controls on a 6.x
// installation that the wizard has already loaded once.
#include "WizardTestEnv.h"

#include "Pdrestore.h"

#include "palm/DmMain.h"

#include <QTreeWidget>

#include <ctime>
#include <filesystem>

using namespace guitest;

// The list shows the user's backups newest first; the question names the
// file and the backup and defaults to Cancel, and Cancel changes nothing.
// Restore puts the backup back byte for byte, keeps the file as it was as a
// new backup that the list then shows first, and lets go of what the wizard
// had loaded: the next step loads the restored file.
TEST(RestoreDialog, RestoresThePickedBackupAndTheWizardLoadsItAnew)
{
    Wizard w(kEx2, 12, 4);
    const std::string file = AppFile(w.Env(), kPmGenEx2, kPmAppMemo);
    const std::string original = infotest::ReadBytes(file);
    ASSERT_TRUE(plat::BackupOnce(file, nullptr));
    // Older backups of two other applications, listed after it.
    for (const auto& [app, days] : {std::pair{kPmAppAddr, 1}, std::pair{kPmAppDate, 3}}) {
        const std::string host = plat::ToHostPath(AppFile(w.Env(), kPmGenEx2, app));
        const time_t then = time(nullptr) - days * 86400;
        struct tm tmv;
        localtime_r(&then, &tmv);
        char stamp[32];
        strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &tmv);
        std::filesystem::copy_file(host, host + "." + stamp + ".bak");
    }
    // Another content: the notes of a larger data set.
    std::string error;
    ASSERT_TRUE(palmfix::GenerateUserData(w.Env().UserFolder(), 60000, {30, 0, 9}, palmfix::kGenAll, &error)) << error;
    const std::string changed = infotest::ReadBytes(file);
    ASSERT_NE(changed, original);

    TfmMain* m = w.Start();
    w.Click("btnNext");
    ASSERT_EQ(m->CurrentStep(), 1);
    EXPECT_EQ(m->FacadeSet()->Memo()->GetCommMgr()->Count(), 30u);
    w.Click("btnPrev");
    ASSERT_EQ(m->CurrentStep(), 0);
    ASSERT_TRUE(DataModule().HoldsFile(file));

    int rows = -1, rowsAfter = -1;
    QStringList first, firstAfter;
    bool restoreEnabledUnpicked = true;
    w.Dialogs().SetDrive([&](QDialog* d) {
        auto* list = d->findChild<QTreeWidget*>("lvBackups");
        auto* restore = d->findChild<QPushButton*>("btnRestore");
        rows = list->topLevelItemCount();
        restoreEnabledUnpicked = restore->isEnabled();
        for (int c = 0; c < 4; ++c)
            first << list->topLevelItem(0)->text(c);
        list->setCurrentItem(list->topLevelItem(0));
        d->show();
        SaveShot(d, "restore");
        w.Messages().Answer(QMessageBox::Cancel);
        restore->click();
        EXPECT_EQ(infotest::ReadBytes(file), changed);
        w.Messages().Answer(QMessageBox::Yes);
        restore->click();
        rowsAfter = list->topLevelItemCount();
        for (int c = 0; c < 4; ++c)
            firstAfter << list->topLevelItem(0)->text(c);
        return int(QDialog::Rejected);
    });
    w.Click("btnRestore");
    ASSERT_EQ(w.Dialogs().Seen(), std::vector<std::string>{"TfmRestore"});

    EXPECT_FALSE(restoreEnabledUnpicked);
    ASSERT_EQ(rows, 3);
    EXPECT_EQ(first[0], "Memo");
    EXPECT_EQ(first[1], "MemoPad.mdb");
    EXPECT_EQ(first[3], QLocale().toString(qlonglong(original.size())) + " bytes");
    const auto& asked = w.Messages().Messages();
    ASSERT_EQ(asked.size(), 3u);
    const std::string backup = plat::BackupsOf(file).back().hostPath;
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(asked[i].Default, QMessageBox::Cancel);
        EXPECT_TRUE(asked[i].Text.contains(QString::fromStdString(plat::ToHostPath(file))));
        EXPECT_TRUE(asked[i].Text.contains(QString::fromStdString(backup)));
        EXPECT_TRUE(asked[i].Text.contains("kept as a new backup"));
    }
    EXPECT_EQ(asked[2].Icon, QMessageBox::Information) << asked[2].Text.toStdString();

    EXPECT_EQ(infotest::ReadBytes(file), original);
    EXPECT_EQ(infotest::ReadBytes(backup), original);
    ASSERT_EQ(rowsAfter, 4);
    EXPECT_EQ(firstAfter[0], "Memo");
    EXPECT_EQ(infotest::ReadBytes(plat::BackupsOf(file).front().hostPath), changed);
    EXPECT_NE(firstAfter[2], first[2]);
    EXPECT_FALSE(m->FacadeSet()->Built());

    w.Click("btnNext");
    ASSERT_EQ(m->CurrentStep(), 1);
    EXPECT_EQ(m->FacadeSet()->Memo()->GetCommMgr()->Count(), 12u);
    plat::ResetBackups();
}
