// The wizard driven through its controls from step 0 to step 2 on
// installations of each generation, with the data files checked afterwards.
#include "WizardTestEnv.h"

#include "ProgramFolder.h"

#include "Dupoption.h"
#include "dialogs/DialogTestUtil.h"
#include "platform/System.h"
#include "platform/WinPath.h"

#include <sqlite3.h>

using namespace guitest;

namespace {

class WizardFlow : public ::testing::TestWithParam<GenCase> {};

}  // namespace

// The whole way: step 0 preselects the user and shows the version; step 1
// lists the generated duplicates of all four applications, ticked; one row
// is unticked; step 2 deletes exactly the ticked records and writes the log;
// back on step 0, Next reloads and the deleted records are gone.
TEST_P(WizardFlow, StepsDeleteExactlyTheTickedRecords)
{
    const GenCase& g = GetParam();
    Wizard w(g, 12, 4);
    TfmMain* m = w.Start();
    SaveShot(m, std::string("step0_") + g.name);

    EXPECT_EQ(m->CurrentStep(), 0);
    auto* ver = w.Find<QLabel>("lblPDVer");
    EXPECT_EQ(ver->text(), QString::asprintf("%d.%d.%d.7", g.major, g.minor, g.build));
    EXPECT_TRUE(ver->styleSheet().contains("blue"));
    EXPECT_EQ(w.Find<QComboBox>("cbUser")->currentText(), QString::fromStdString(w.Env().Inst().users[0]));
    EXPECT_EQ(w.Find<QLabel>("lblStep")->text(), TfmMain::StepText(0));
    EXPECT_FALSE(w.Find<QPushButton>("btnPrev")->isEnabled());

    DataSnapshot before = TakeSnapshot(w);
    w.Click("btnNext");
    ASSERT_EQ(m->CurrentStep(), 1);
    EXPECT_TRUE(w.Messages().Messages().empty()) << w.Messages().Messages()[0].Text.toStdString();
    SaveShot(m, std::string("step1_") + g.name);
    EXPECT_TRUE(w.Find<QPushButton>("btnPrev")->isEnabled());

    const char* const kPlural[] = {"Contacts", "Calendar", "Tasks", "Notes"};
    const char* const kCount[] = {"lblAddrCount", "lblDateCount", "lblTaskCount", "lblNoteCount"};
    const char* const kSingular[] = {"Contact", "Calendar", "Task", "Note"};
    for (int app = 0; app < 4; ++app) {
        TRecordListModel* model = w.Model(app);
        int copies = 0;
        for (int row = 0; row < model->Count(); ++row)
            copies += model->IsCopy(row);
        EXPECT_EQ(copies, 4) << app;
        EXPECT_EQ(model->CheckedCount(), 4) << app;
        EXPECT_EQ(w.Tabs()->tabText(app), QString("%1 (4 Dups)").arg(kPlural[app]));
        EXPECT_EQ(w.Find<QLabel>(kCount[app])->text(), QString("12 %1 records in total").arg(kSingular[app]));
    }
    // Keep the first listed contact.
    TRecordListModel* addr = w.Model(0);
    addr->setData(addr->index(0, 0), Qt::Unchecked, Qt::CheckStateRole);
    std::set<int> ticked[4];
    for (int app = 0; app < 4; ++app)
        ticked[app] = TickedPositions(m->DataPage(), m->FacadeSet(), app);
    EXPECT_EQ(ticked[0].size(), 3u);

    w.Click("btnNext");
    ASSERT_EQ(m->CurrentStep(), 2);
    EXPECT_EQ(w.Find<QPushButton>("btnCancel")->text(), "&Finish");
    EXPECT_FALSE(w.Find<QPushButton>("btnNext")->isEnabled());
    EXPECT_FALSE(w.Find<QPushButton>("btnPrev")->isEnabled());
    // Nothing of the frame takes a click while the deletion waits or runs.
    EXPECT_FALSE(w.Find<QPushButton>("btnHelp")->isEnabled());
    EXPECT_FALSE(w.Find<QPushButton>("btnDebug")->isEnabled());
    EXPECT_FALSE(w.Find<QPushButton>("btnCancel")->isEnabled());
    ASSERT_TRUE(w.WaitDeletion());
    QTest::qWait(20);
    EXPECT_TRUE(w.Find<QPushButton>("btnHelp")->isEnabled());
    EXPECT_TRUE(w.Find<QPushButton>("btnDebug")->isEnabled());
    EXPECT_TRUE(w.Find<QPushButton>("btnCancel")->isEnabled());
    SaveShot(m, std::string("step2_") + g.name);

    EXPECT_EQ(w.Find<QProgressBar>("pbDel")->value(), 100);
    QStringList lines = w.LogLines();
    EXPECT_EQ(lines[0], "Start deleting duplicate records ...");
    EXPECT_EQ(lines[1], QString(80, '='));
    EXPECT_EQ(lines.count("Deleting contact item ..."), 3);
    EXPECT_EQ(lines.count("Deleting calendar item ..."), 4);
    EXPECT_EQ(lines.count("Deleting task item ..."), 4);
    EXPECT_EQ(lines.count("Deleting note item ..."), 4);
    EXPECT_EQ(lines.count("Deletion succeeded."), 15);
    EXPECT_EQ(lines.count("Deletion failed."), 0);
    EXPECT_TRUE(lines.contains("\t3 duplicate contact items deleted."));
    EXPECT_TRUE(lines.contains("\t4 duplicate calendar items deleted."));
    EXPECT_TRUE(lines.contains("\t4 duplicate task items deleted."));
    EXPECT_TRUE(lines.contains("\t4 duplicate note items deleted."));
    // Contacts come first, each field after one tab.
    int first = int(lines.indexOf("Deleting contact item ..."));
    ASSERT_GE(first, 0);
    EXPECT_TRUE(lines[first + 1].startsWith("\tFirst Name: "));
    EXPECT_TRUE(lines[first + 3].startsWith("\tE-mail: "));
    EXPECT_LT(first, int(lines.indexOf("Deleting note item ...")));

    for (int app = 0; app < 4; ++app)
        ASSERT_NO_FATAL_FAILURE(ExpectOnlyDeleted(w, before, app, ticked[app]));

    // Back to the first step and forward again: the data comes from disk.
    emit w.Find<QLabel>("lblBack")->linkActivated("#back");
    ASSERT_EQ(m->CurrentStep(), 0);
    w.Click("btnNext");
    ASSERT_EQ(m->CurrentStep(), 1);
    EXPECT_EQ(w.Find<QLabel>("lblAddrCount")->text(), "9 Contact records in total");
    EXPECT_EQ(w.Tabs()->tabText(0), "Contacts (1 Dup)");
    EXPECT_EQ(w.Tabs()->tabText(3), "Notes (0 Dup)");
    EXPECT_EQ(w.Find<QLabel>("lblNoteCount")->text(), "8 Note records in total");

    // Finish closes the window and writes the settings.
    m->close();
    std::string ini = w.SettingsText();
    EXPECT_NE(ini.find("AppFlag=15"), std::string::npos);
    EXPECT_NE(ini.find("UserID=" + std::to_string(int32_t(w.Env().UserId()))), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Generations, WizardFlow, ::testing::Values(kClassic, kEx, kEx2),
                         [](const auto& info) { return std::string(info.param.name); });

// 6.x deletions are committed when their application is done; a commit that
// fails (another program reading the contacts) is told as a failed .dat save
// is, counts nothing for its application, and leaves the database as it was,
// while the other applications' deletions land.
TEST(Wizard, FailedEx2CommitIsReported)
{
    Wizard w(kEx2, 8, 2);
    TfmMain* m = w.Start();
    DataSnapshot before = TakeSnapshot(w);
    w.Click("btnNext");
    ASSERT_EQ(m->CurrentStep(), 1);
    std::set<int> ticked = TickedPositions(m->DataPage(), m->FacadeSet(), 3);
    sqlite3* reader = nullptr;
    std::string contacts = plat::ToHostPath(AppFile(w.Env(), kPmGenEx2, 0));
    ASSERT_EQ(sqlite3_open_v2(contacts.c_str(), &reader, SQLITE_OPEN_READONLY, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(reader, "BEGIN; SELECT count(*) FROM Main;", nullptr, nullptr, nullptr), SQLITE_OK);
    w.Click("btnNext");
    bool done = w.WaitDeletion();
    sqlite3_close_v2(reader);
    ASSERT_TRUE(done);
    QStringList lines = w.LogLines();
    // Only the deletions that reached their databases are told as made.
    EXPECT_EQ(lines.count("Deletion succeeded."), 6);
    EXPECT_EQ(lines.count("Deletion failed: the file could not be saved."), 2);
    EXPECT_EQ(lines.filter("Contacts: " + QString::fromStdString(contacts) + " could not be saved: ").size(), 1)
        << lines.join('\n').toStdString();
    EXPECT_EQ(lines.filter(QRegularExpression("^\\t0 duplicate contact items deleted: the file could not be saved")).size(), 1);
    EXPECT_TRUE(lines.contains("\t2 duplicate note items deleted."));
    ASSERT_NO_FATAL_FAILURE(ExpectOnlyDeleted(w, before, 0, {}));
    ASSERT_NO_FATAL_FAILURE(ExpectOnlyDeleted(w, before, 3, ticked));
}

// Next with no application ticked shows the error, stays on step 0 and
// builds nothing; the settings file keeps the last choice that was used.
TEST(Wizard, NoApplicationTickedStaysOnStepZero)
{
    Wizard w(kEx, 6, 2);
    TfmMain* m = w.Start();
    w.Click("btnClear");
    w.Click("btnNext");
    EXPECT_EQ(m->CurrentStep(), 0);
    ASSERT_EQ(w.Messages().Messages().size(), 1u);
    EXPECT_EQ(w.Messages().Messages()[0].Title, "Error");
    EXPECT_EQ(w.Messages().Messages()[0].Text, "Please select at least one Palm Desktop application.");
    EXPECT_EQ(w.Messages().Messages()[0].Icon, QMessageBox::Critical);
    EXPECT_FALSE(m->FacadeSet()->Built());
    w.Click("btnCancel");
    EXPECT_EQ(w.SettingsText().find("AppFlag=0"), std::string::npos);
    EXPECT_NE(w.SettingsText().find("AppFlag=15"), std::string::npos);
}

// A stored user is preselected; one that is gone gives the first user, and
// leaving stores that one.
TEST(Wizard, StoredUserIsPreselected)
{
    Wizard w(kEx, 4, 1);
    // A second user beside the fixture's.
    palmfix::Installation inst = w.Env().Inst();
    inst.users = {w.Env().Inst().users[0], "Zed Zimmer"};
    std::string error;
    ASSERT_TRUE(palmfix::WriteInstallation(inst, &error)) << error;
    uint32_t zed = palmfix::UserId("Zed Zimmer");

    // The stored user is the second one.
    std::filesystem::create_directories(w.SettingsFile().substr(0, w.SettingsFile().rfind('/')));
    palmfix::WriteFile(w.SettingsFile(), "[DCOption]\r\nUserID=" + std::to_string(int32_t(zed)) + "\r\n");
    TfmMain* m = w.Start();
    EXPECT_EQ(w.Find<QComboBox>("cbUser")->count(), 2);
    EXPECT_EQ(w.Find<QComboBox>("cbUser")->currentText(), "Zed Zimmer");
    m->close();

    // A user id that no longer exists: the first user, stored on leaving.
    palmfix::WriteFile(w.SettingsFile(), "[DCOption]\r\nUserID=12345\r\n");
    TfmMain* m2 = w.Start();
    auto* users = w.Find<QComboBox>("cbUser");
    EXPECT_EQ(users->currentIndex(), 0);
    w.Click("btnNext");
    EXPECT_EQ(m2->CurrentStep(), 1);
    EXPECT_EQ(uint32_t(TheOption().UserID), users->itemText(0) == "Zed Zimmer" ? zed : w.Env().UserId());
    m2->close();
}

// Without palm.exe the version reads "Not Found." in red; the page works.
TEST(Wizard, MissingPalmDesktopShowsNotFound)
{
    Wizard w(kEx, 4, 1);
    std::filesystem::remove(w.Env().Inst().dir + "/palm.exe");
    TfmMain* m = w.Start();
    auto* ver = w.Find<QLabel>("lblPDVer");
    EXPECT_EQ(ver->text(), "Not Found.");
    EXPECT_TRUE(ver->styleSheet().contains("red"));
    SaveShot(m, "step0_not_found");
}

// Help opens the compiled help file beside the program when there is one,
// else the HTML guide that is installed beside it.
TEST(Wizard, HelpOpensTheGuideBesideTheProgram)
{
    Wizard w(kEx, 4, 1);
    std::string folder = w.Env().Inst().winePrefix + "/../program";
    std::filesystem::create_directories(folder);
    palmfix::WriteFile(folder + "/tarnwick", "");
    palmfix::WriteFile(folder + "/Tarnwick.html", "<html></html>");
    testenv::ScopedModuleFileName program(plat::ToWinPath(folder + "/tarnwick"));
    dlgtest::OpenerRecorder opener;
    w.Start();
    w.Click("btnHelp");
    std::string opened = opener.Opened();
    EXPECT_EQ(std::filesystem::path(opened).filename(), "Tarnwick.html") << opened;

    palmfix::WriteFile(folder + "/Tarnwick.chm", "");
    w.Click("btnHelp");
    EXPECT_EQ(std::filesystem::path(opener.Opened()).filename(), "Tarnwick.chm");
}
