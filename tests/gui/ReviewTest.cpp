// The review and deletion pages on hand-made 4.1.x data: the list controls,
// the case box, the rule dialog, the viewers, and the deletion log; the
// three departures from the plain step machine (failed loads named, failed
// saves reported, a mass deletion confirmed).
#include "WizardTestEnv.h"

#include "Dump.h"

#include "palm/PalmAddrEx.h"
#include "palm/PalmMemoEx.h"
#include "platform/File.h"

#include <QTimer>

using namespace guitest;

namespace {

PmAddrExRecord Contact(uint32_t id, const char* first, const char* last)
{
    PmAddrExRecord r;
    r.RecordID = id;
    r.Placement = id;
    r.Category = 1;
    r.FirstName.Set(first);
    r.LastName.Set(last);
    return r;
}

PmMemoExRecord Memo(uint32_t id, const char* text)
{
    PmMemoExRecord r;
    r.RecordID = id;
    r.Placement = id;
    r.Category = 1;
    r.Note.Set(text);
    return r;
}

/// A 4.1.x user with five contacts (three equal, one differing in case
/// only, one single) and three memos (two differing in case only), with
/// Contacts and Notes chosen in the stored settings.
class ReviewWizard : public Wizard {
public:
    ReviewWizard() : Wizard(kEx, 0, 0, false)
    {
        WriteContacts({Contact(1, "Ann", "Lee"), Contact(2, "Ann", "Lee"), Contact(3, "ann", "lee"),
                       Contact(4, "Bob", "Ray"), Contact(5, "Ann", "Lee")});
        EXPECT_TRUE(infotest::WriteEx(MemoFile(), {Memo(1, "Alpha\r\nx"), Memo(2, "alpha\r\nx"), Memo(3, "Beta")}));
        std::filesystem::create_directories(SettingsFile().substr(0, SettingsFile().rfind('/')));
        palmfix::WriteFile(SettingsFile(), "[DCOption]\r\nAppFlag=9\r\n");
    }
    void WriteContacts(const std::vector<PmAddrExRecord>& recs) { EXPECT_TRUE(infotest::WriteEx(AddrFile(), recs)); }
    std::string AddrFile() { return Env().UserFile("address\\address.dat"); }
    std::string MemoFile() { return Env().UserFile("memopad\\memopad.dat"); }
};

/// The ".bak" copies beside a data file.
size_t BackupCount(const std::string& winPath)
{
    size_t n = 0;
    for (auto& e : std::filesystem::directory_iterator(std::filesystem::path(plat::ToHostPath(winPath)).parent_path()))
        n += e.path().extension() == ".bak";
    return n;
}

int DriveOk(QDialog* d)
{
    if (auto* ok = d->findChild<QPushButton*>("btnOK"))
        ok->click();
    return d->result();
}

}  // namespace

TEST(Review, ListsCaseBoxDisplayAllAndSelection)
{
    ReviewWizard w;
    TfmMain* m = w.Start();
    w.Click("btnNext");
    ASSERT_EQ(m->CurrentStep(), 1);
    QTabWidget* tabs = w.Tabs();
    EXPECT_TRUE(tabs->isTabVisible(0));
    EXPECT_FALSE(tabs->isTabVisible(1));
    EXPECT_FALSE(tabs->isTabVisible(2));
    EXPECT_TRUE(tabs->isTabVisible(3));
    EXPECT_TRUE(w.Find<QCheckBox>("cbCase")->isChecked());
    EXPECT_EQ(tabs->tabText(0), "Contacts (2 Dups)");
    EXPECT_EQ(tabs->tabText(3), "Notes (0 Dup)");
    EXPECT_EQ(w.Model(0)->CellText(0, 0), "Ann");
    EXPECT_EQ(w.Model(0)->CellText(0, 1), "Lee");
    EXPECT_EQ(w.Find<QLabel>("lblAddrCount")->text(), "5 Contact records in total");

    // Case-insensitive: the lower-case contact and memo join their groups.
    w.ClickBox(m->DataPage(), "cbCase");
    EXPECT_FALSE(TheOption().CaseSensitive);
    EXPECT_EQ(tabs->tabText(0), "Contacts (3 Dups)");
    EXPECT_EQ(tabs->tabText(3), "Notes (1 Dup)");
    EXPECT_EQ(w.Model(0)->CheckedCount(), 3);
    SaveShot(m, "step1_review_case_insensitive");

    // Display All lists every contact, the duplicates as they were ticked and
    // the others unticked; the caption still counts duplicates.
    w.ClickBox(m->DataPage(), "cbAddrAll");
    EXPECT_EQ(w.Model(0)->Count(), 5);
    EXPECT_EQ(w.Model(0)->CheckedCount(), 3);
    EXPECT_EQ(tabs->tabText(0), "Contacts (3 Dups)");
    w.Click("btnSelAll");
    EXPECT_EQ(w.Model(0)->CheckedCount(), 5);
    EXPECT_EQ(w.Model(3)->CheckedCount(), 1);
    w.Click("btnClear");
    EXPECT_EQ(w.Model(0)->CheckedCount(), 0);
    EXPECT_EQ(w.Model(3)->CheckedCount(), 0);
    // Back to the duplicates: cleared they were, cleared they stay.
    w.ClickBox(m->DataPage(), "cbAddrAll");
    EXPECT_EQ(w.Model(0)->Count(), 4);  // one group: three duplicates and the contact kept
    EXPECT_EQ(w.Model(0)->CheckedCount(), 0);
    // Refresh detects again, and its duplicates come ticked.
    w.Click("btnRefresh");
    EXPECT_EQ(w.Model(0)->CheckedCount(), 3);

    // The rule dialog's OK re-runs detection with what it stored.
    w.Dialogs().SetDrive([](QDialog* d) {
        d->findChild<QCheckBox*>("cbCaseSensitive")->setChecked(true);
        return DriveOk(d);
    });
    w.Click("btnOption");
    ASSERT_EQ(w.Dialogs().Seen().size(), 1u);
    EXPECT_EQ(w.Dialogs().Seen()[0], "TfmDupOption");
    EXPECT_TRUE(TheOption().CaseSensitive);
    EXPECT_TRUE(w.Find<QCheckBox>("cbCase")->isChecked());
    EXPECT_EQ(tabs->tabText(0), "Contacts (2 Dups)");

    // A double-click on a row opens the viewer of its record.
    w.Dialogs().SetDrive([](QDialog* d) {
        d->findChild<QPushButton*>("btnClose")->click();
        return d->result();
    });
    auto* list = w.Find<QTreeView>("lvAddr");
    QApplication::processEvents();
    QModelIndex cell = list->model()->index(1, 1);
    list->setCurrentIndex(cell);
    // A double-click arrives as a press and release followed by the double-click.
    QPoint at = list->visualRect(cell).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
    ASSERT_EQ(w.Dialogs().Seen().size(), 2u);
    EXPECT_EQ(w.Dialogs().Seen()[1], "TfmPDAddrDetail");
}

// The ticks a user set survive "Display All" switched on and off, both
// ways: an unticked duplicate stays unticked, a record ticked among all
// records is ticked again when all are shown again, and Next deletes what
// the list shows ticked.
TEST(Review, TicksSurviveDisplayAll)
{
    ReviewWizard w;
    TfmMain* m = w.Start();
    w.Click("btnNext");
    ASSERT_EQ(m->CurrentStep(), 1);
    TRecordListModel* addr = w.Model(0);
    ASSERT_EQ(addr->Count(), 3);  // contacts 1 and 2, then contact 5, the last of the group, kept
    ASSERT_TRUE(addr->IsKept(2));
    CommAddr* kept = static_cast<CommAddr*>(addr->RecordAt(0));
    addr->setData(addr->index(0, 0), Qt::Unchecked, Qt::CheckStateRole);

    auto tickOf = [&](const CommAddr* rec) {
        for (int row = 0; row < addr->Count(); ++row)
            if (addr->RecordAt(row) == rec)
                return int(addr->IsChecked(row));
        return -1;  // not listed
    };
    w.ClickBox(m->DataPage(), "cbAddrAll");
    ASSERT_EQ(addr->Count(), 5);
    EXPECT_EQ(tickOf(kept), 0);
    EXPECT_EQ(addr->CheckedCount(), 1);
    // Tick Bob, who is no duplicate.
    CommAddr* bob = nullptr;
    for (int row = 0; row < addr->Count(); ++row)
        if (addr->CellText(row, 0) == "Bob") {
            bob = static_cast<CommAddr*>(addr->RecordAt(row));
            addr->setData(addr->index(row, 0), Qt::Checked, Qt::CheckStateRole);
        }
    ASSERT_NE(bob, nullptr);

    w.ClickBox(m->DataPage(), "cbAddrAll");
    ASSERT_EQ(addr->Count(), 3);
    EXPECT_EQ(tickOf(kept), 0);
    EXPECT_EQ(addr->CheckedCount(), 1);
    EXPECT_EQ(tickOf(bob), -1);

    w.ClickBox(m->DataPage(), "cbAddrAll");
    EXPECT_EQ(tickOf(bob), 1);
    EXPECT_EQ(tickOf(kept), 0);
    EXPECT_EQ(addr->CheckedCount(), 2);
    w.ClickBox(m->DataPage(), "cbAddrAll");

    // Only the duplicate still ticked in the list is deleted.
    DataSnapshot before = TakeSnapshot(w, kAppAddr | kAppMemo);
    std::set<int> ticked = TickedPositions(m->DataPage(), m->FacadeSet(), 0);
    EXPECT_EQ(ticked, std::set<int>{1});
    w.Click("btnNext");
    ASSERT_TRUE(w.WaitDeletion());
    ASSERT_NO_FATAL_FAILURE(ExpectOnlyDeleted(w, before, 0, ticked));
}

TEST(Review, PrevThenNextReloadsFromDisk)
{
    ReviewWizard w;
    TfmMain* m = w.Start();
    w.Click("btnNext");
    ASSERT_EQ(w.Find<QLabel>("lblAddrCount")->text(), "5 Contact records in total");
    w.Click("btnPrev");
    ASSERT_EQ(m->CurrentStep(), 0);
    w.WriteContacts({Contact(1, "Ann", "Lee"), Contact(2, "Ann", "Lee")});
    w.Click("btnNext");
    ASSERT_EQ(m->CurrentStep(), 1);
    EXPECT_EQ(w.Find<QLabel>("lblAddrCount")->text(), "2 Contact records in total");
    EXPECT_EQ(w.Tabs()->tabText(0), "Contacts (1 Dup)");
}

TEST(Review, DeletionLogOfOneApplicationAndEmptyFields)
{
    ReviewWizard w;
    size_t memoBackups = BackupCount(w.MemoFile());
    TfmMain* m = w.Start();
    w.Click("btnNext");
    DataSnapshot before = TakeSnapshot(w, kAppAddr | kAppMemo);
    w.Click("btnNext");
    ASSERT_TRUE(w.WaitDeletion());
    QStringList lines = w.LogLines();
    int first = int(lines.indexOf("Deleting contact item ..."));
    ASSERT_GE(first, 0);
    EXPECT_EQ(lines.mid(first, 8),
              QStringList({"Deleting contact item ...", "\tFirst Name: Ann", "\tLast Name: Lee", "\tE-mail: <empty>",
                           "\tBusiness Phone: <empty>", "\tMobile Phone: <empty>", "\tCompany: <empty>",
                           "Deletion succeeded."}));
    EXPECT_TRUE(lines.contains("\t2 duplicate contact items deleted."));
    EXPECT_TRUE(lines.contains("\t0 duplicate note items deleted."));
    EXPECT_EQ(lines.count("Deleting note item ..."), 0);
    ASSERT_NO_FATAL_FAILURE(ExpectOnlyDeleted(w, before, 0, {0, 1}));
    // The memos had no duplicate: their file was not saved at all.
    EXPECT_EQ(infotest::ReadBytes(w.MemoFile()), before.bytes[3]);
    EXPECT_EQ(BackupCount(w.MemoFile()), memoBackups);
    (void)m;
}

// A file that cannot be read is named to the user with the reason, and its
// tab says so instead of "0 ... records in total".
TEST(Review, FailedLoadIsNamed)
{
    ReviewWizard w;
    palmfix::WriteFile(plat::ToHostPath(w.AddrFile()), "not a Palm file at all");
    TfmMain* m = w.Start();
    w.Click("btnNext");
    ASSERT_EQ(m->CurrentStep(), 1);
    ASSERT_EQ(w.Messages().Messages().size(), 1u);
    const GuiMessageInfo& box = w.Messages().Messages()[0];
    EXPECT_EQ(box.Icon, QMessageBox::Warning);
    EXPECT_TRUE(box.Text.contains("Contacts: ")) << box.Text.toStdString();
    EXPECT_FALSE(box.Text.contains("Notes: "));
    EXPECT_TRUE(w.Find<QLabel>("lblAddrCount")->text().startsWith("The Contacts data could not be read: "));
    EXPECT_EQ(w.Tabs()->tabText(0), "Contacts (not read)");
    EXPECT_EQ(w.Find<QLabel>("lblNoteCount")->text(), "3 Note records in total");
    SaveShot(m, "step1_failed_load");
}

// A save that fails leaves the file as it was, and the log says so instead
// of counting deletions that never reached it.
TEST(Review, FailedSaveIsReported)
{
    ReviewWizard w;
    TfmMain* m = w.Start();
    w.Click("btnNext");
    std::string original = infotest::ReadBytes(w.AddrFile());
    plat::FileFaults faults;
    faults.failRename = true;
    plat::SetFileFaults(faults);
    w.Click("btnNext");
    ASSERT_TRUE(w.WaitDeletion());
    plat::ClearFileFaults();
    QStringList lines = w.LogLines();
    // No contact is told as deleted.
    EXPECT_EQ(lines.count("Deletion succeeded."), 0);
    EXPECT_EQ(lines.count("Deletion failed: the file could not be saved."), 2);
    QString host = QString::fromStdString(plat::ToHostPath(w.AddrFile()));
    QString told = "Contacts: " + host + " could not be saved: ";
    EXPECT_EQ(lines.filter(told).size(), 1) << lines.join('\n').toStdString();
    EXPECT_EQ(lines.filter(QRegularExpression("^\\t0 duplicate contact items deleted: the file could not be saved \\(.+\\)\\.$")).size(), 1)
        << lines.join('\n').toStdString();
    ASSERT_FALSE(w.Messages().Messages().empty());
    const GuiMessageInfo& box = w.Messages().Messages().back();
    EXPECT_EQ(box.Title, "Deletion Failed");
    EXPECT_TRUE(box.Text.contains(told)) << box.Text.toStdString();
    EXPECT_TRUE(box.Text.contains("The file is as it was; nothing was deleted there.")) << box.Text.toStdString();
    EXPECT_FALSE(box.Text.contains('\\'));
    EXPECT_EQ(infotest::ReadBytes(w.AddrFile()), original);
    SaveShot(m, "step2_failed_save");
}

// Ticking more than half of an application's records asks first; No stays.
TEST(Review, MassDeletionIsConfirmed)
{
    ReviewWizard w;
    TfmMain* m = w.Start();
    w.Click("btnNext");
    w.ClickBox(m->DataPage(), "cbAddrAll");
    w.Click("btnSelAll");
    w.Messages().Answer(QMessageBox::No);
    w.Click("btnNext");
    EXPECT_EQ(m->CurrentStep(), 1);
    ASSERT_EQ(w.Messages().Messages().size(), 1u);
    EXPECT_EQ(w.Messages().Messages()[0].Icon, QMessageBox::Question);
    EXPECT_TRUE(w.Messages().Messages()[0].Text.contains("Contacts: 5 of 5 records"));
    // Nothing was selected by the refused step.
    for (int row = 0; row < w.Model(0)->Count(); ++row)
        EXPECT_EQ(static_cast<CommAddr*>(w.Model(0)->RecordAt(row))->Trailer.MarkFlags & kCommMarkSelected, 0u);

    w.Messages().Answer(QMessageBox::Yes);
    w.Click("btnNext");
    EXPECT_EQ(m->CurrentStep(), 2);
    ASSERT_TRUE(w.WaitDeletion());
    EXPECT_TRUE(w.LogLines().contains("\t5 duplicate contact items deleted."));
}

// "Quit Tarnwick" of the exception dialog ends the program normally: the
// settings are written.
TEST(Review, QuitFromExceptionDialogWritesSettings)
{
    ReviewWizard w;
    TfmMain* m = w.Start();
    w.Click("btnNext");
    ASSERT_EQ(m->CurrentStep(), 1);
    {
        TfmDump dump(m->DataPage());
        dump.findChild<QPushButton*>("btnExit")->click();
    }
    QTest::qWait(50);
    EXPECT_FALSE(m->isVisible());
    std::string ini = w.SettingsText();
    EXPECT_NE(ini.find("AppFlag=9"), std::string::npos);
}
