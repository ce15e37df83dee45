// What the wizard does so that nothing is deleted that the user did not see
// and nothing fails unseen: input that arrives while it works is dropped,
// the deleting step asks first, a failed deletion or save is told with its
// reason, and an application that could not be read says so.
#include "WizardTestEnv.h"

#include "platform/File.h"

#include <QMouseEvent>

#include <sqlite3.h>

using namespace guitest;

namespace {

/// Queues a click on a button the way the window system would hand it in:
/// a press and a release, delivered whenever the window next takes events.
void QueueClick(QPushButton* button)
{
    QPointF at(button->width() / 2.0, button->height() / 2.0);
    QPointF global = button->mapToGlobal(at);
    QCoreApplication::postEvent(button, new QMouseEvent(QEvent::MouseButtonPress, at, global, Qt::LeftButton,
                                                        Qt::LeftButton, Qt::NoModifier));
    QCoreApplication::postEvent(button, new QMouseEvent(QEvent::MouseButtonRelease, at, global, Qt::LeftButton,
                                                        Qt::NoButton, Qt::NoModifier));
}

QPushButton* FrameButton(TfmMain* m, const char* name)
{
    for (QPushButton* b : m->findChildren<QPushButton*>(name))
        if (b->parentWidget() == m)
            return b;
    return nullptr;
}

const GuiMessageInfo* MessageTitled(Wizard& w, const char* title)
{
    for (const GuiMessageInfo& info : w.Messages().Messages())
        if (info.Title == title)
            return &info;
    return nullptr;
}

}  // namespace

// A second Next pressed while the first one loads, and Finish pressed while
// the deletion waits to start or runs, act on nothing: the wizard stops on
// the review page, and the window stays open on the summary.
TEST(Trust, InputDuringWorkIsDropped)
{
    Wizard w(kEx, 12, 4);
    TfmMain* m = w.Start();
    DataSnapshot before = TakeSnapshot(w);
    QPushButton* next = FrameButton(m, "btnNext");
    ASSERT_NE(next, nullptr);
    // Queued before the first Next runs, so that they arrive during its load.
    QueueClick(next);
    QueueClick(next);
    w.Click("btnNext");
    QTest::qWait(50);
    EXPECT_EQ(m->CurrentStep(), 1);
    EXPECT_EQ(MessageTitled(w, "Delete Duplicates"), nullptr);
    EXPECT_TRUE(next->isEnabled());
    for (int app = 0; app < 4; ++app)
        EXPECT_EQ(LoaderStatuses(w.Generation(), app, w.Env().UserId()), before.statuses[app]);

    // Buttons are disabled while the window is busy.
    m->BeginBusy();
    EXPECT_FALSE(next->isEnabled());
    EXPECT_FALSE(FrameButton(m, "btnCancel")->isEnabled());
    m->EndBusy();
    EXPECT_TRUE(next->isEnabled());

    w.Click("btnNext");
    ASSERT_EQ(m->CurrentStep(), 2);
    QPushButton* finish = FrameButton(m, "btnCancel");
    EXPECT_FALSE(finish->isEnabled());
    QueueClick(finish);
    QTest::qWait(20);
    QueueClick(finish);
    ASSERT_TRUE(w.WaitDeletion());
    QTest::qWait(50);
    EXPECT_TRUE(m->isVisible());
    EXPECT_TRUE(finish->isEnabled());
    EXPECT_EQ(finish->text(), "&Finish");
}

// The deleting step asks first, with the counts per application; Cancel is
// the default and keeps everything, and so does No on the question about
// more than half, which is asked only above half.
TEST(Trust, DeletionIsConfirmed)
{
    Wizard w(kEx, 8, 2);
    TfmMain* m = w.Start();
    DataSnapshot before = TakeSnapshot(w);
    w.Click("btnNext");
    ASSERT_EQ(m->CurrentStep(), 1);
    int ticked = w.Model(0)->CheckedCount();
    ASSERT_GT(ticked, 0);
    w.Messages().Answer(QMessageBox::Cancel);
    w.Click("btnNext");
    EXPECT_EQ(m->CurrentStep(), 1);
    const GuiMessageInfo* ask = MessageTitled(w, "Delete Duplicates");
    ASSERT_NE(ask, nullptr);
    EXPECT_EQ(ask->Default, QMessageBox::Cancel);
    EXPECT_EQ(ask->Buttons, QMessageBox::Yes | QMessageBox::Cancel);
    EXPECT_EQ(ask->TextOf(QMessageBox::Yes), "&Delete");
    EXPECT_TRUE(ask->Text.contains(QString("Contacts: %1 record").arg(ticked))) << ask->Text.toStdString();
    EXPECT_TRUE(ask->Text.contains("backup")) << ask->Text.toStdString();
    EXPECT_EQ(MessageTitled(w, "Confirm Deletion"), nullptr);
    for (int app = 0; app < 4; ++app)
        EXPECT_EQ(LoaderStatuses(w.Generation(), app, w.Env().UserId()), before.statuses[app]);

    // Exactly half ticked: no question about more than half.
    TRecordListModel* model = w.Model(0);
    w.ClickBox(m->DataPage(), "cbAddrAll");
    model->SetAllChecked(false);
    int total = model->Count();
    ASSERT_EQ(total % 2, 0);
    for (int row = 0; row < total / 2; ++row)
        model->setData(model->index(row, 0), Qt::Checked, Qt::CheckStateRole);
    ASSERT_EQ(model->CheckedCount(), total / 2);
    w.Messages().Clear();
    w.Click("btnNext");
    EXPECT_EQ(MessageTitled(w, "Confirm Deletion"), nullptr);
    ASSERT_NE(MessageTitled(w, "Delete Duplicates"), nullptr);
    EXPECT_EQ(m->CurrentStep(), 1);

    // One more: asked, with No as the default.
    model->setData(model->index(total / 2, 0), Qt::Checked, Qt::CheckStateRole);
    w.Messages().Clear();
    w.Messages().Answer(QMessageBox::No);
    w.Click("btnNext");
    const GuiMessageInfo* mass = MessageTitled(w, "Confirm Deletion");
    ASSERT_NE(mass, nullptr);
    EXPECT_EQ(mass->Default, QMessageBox::No);
    EXPECT_EQ(m->CurrentStep(), 1);
}

// A 6.x row whose Status another program changed after the review was
// filled is not deleted: its line says "Deletion failed" with the reason,
// it is not counted, the other program's change stays, and a message names
// what could not be done; the other ticked row is deleted.
TEST(Trust, RefusedDeletionIsNotReportedAsSuccess)
{
    Wizard w(kEx2, 8, 2);
    TfmMain* m = w.Start();
    w.Click("btnNext");
    ASSERT_EQ(m->CurrentStep(), 1);
    std::set<int> ticked = TickedPositions(m->DataPage(), m->FacadeSet(), 3);
    ASSERT_EQ(ticked.size(), 2u);
    // Another program archives the first ticked note meanwhile.
    const CommNote* first = m->FacadeSet()->Memo()->GetCommMgr()->RecordAt(uint32_t(*ticked.begin()));
    ASSERT_NE(first, nullptr);
    std::string memos = plat::ToHostPath(AppFile(w.Env(), kPmGenEx2, 3));
    auto rows = palmfix::Ex2DumpTable(AppFile(w.Env(), kPmGenEx2, 3), "Main");
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(memos.c_str(), &db), SQLITE_OK);
    // Rows are in manager order among the live ones; the first ticked one is
    // found by its position among live rows.
    int live = -1;
    int64_t rowid = -1;
    sqlite3_stmt* st = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, "SELECT _rowid_, [Status] FROM Main ORDER BY _rowid_", -1, &st, nullptr),
              SQLITE_OK);
    while (sqlite3_step(st) == SQLITE_ROW) {
        if (PmIsLiveStatus(uint32_t(sqlite3_column_int(st, 1))) && ++live == *ticked.begin()) {
            rowid = sqlite3_column_int64(st, 0);
            break;
        }
    }
    sqlite3_finalize(st);
    ASSERT_GE(rowid, 0);
    std::string sql = "UPDATE Main SET [Status]=8 WHERE _rowid_=" + std::to_string(rowid);
    ASSERT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);

    w.Click("btnNext");
    ASSERT_TRUE(w.WaitDeletion());
    QStringList lines = w.LogLines();
    EXPECT_EQ(lines.count("Deletion failed: the file was changed by another program since it was loaded."), 1)
        << lines.join('\n').toStdString();
    EXPECT_EQ(lines.count("Deletion succeeded."), 7);
    EXPECT_TRUE(lines.contains("\t1 duplicate note items deleted, 1 could not be deleted."))
        << lines.join('\n').toStdString();
    const GuiMessageInfo* told = MessageTitled(w, "Deletion Failed");
    ASSERT_NE(told, nullptr);
    EXPECT_TRUE(told->Text.contains("Notes: 1 of 2 ticked records could not be deleted: the file was changed by "
                                    "another program since it was loaded."))
        << told->Text.toStdString();
    EXPECT_EQ(m->CleanPage()->DeletedCount(3), 1);
    auto after = palmfix::Ex2DumpTable(AppFile(w.Env(), kPmGenEx2, 3), "Main");
    ASSERT_EQ(after.size(), rows.size());
    size_t changed = 0;
    for (size_t r = 0; r < rows.size(); ++r)
        changed += after[r] != rows[r];
    EXPECT_EQ(changed, 2u);  // the other program's edit and the one deletion
    for (size_t r = 0; r < rows.size(); ++r)
        if (after[r] != rows[r])
            EXPECT_TRUE(after[r][1] == "int:8" || after[r][1] == "int:132") << after[r][1];
}

// A truncated file is named with its host path and size in the warning, its
// tab shows no count of duplicates, and the deletion's summary says it was
// not checked and why.
TEST(Trust, TruncatedFileIsToldInWords)
{
    Wizard w(kClassic, 12, 4);
    std::string file = AppFile(w.Env(), kPmGenClassic, 2);
    std::string bytes = infotest::ReadBytes(file);
    ASSERT_GT(bytes.size(), 200u);
    palmfix::WriteFile(plat::ToHostPath(file), bytes.substr(0, bytes.size() - 100));
    TfmMain* m = w.Start();
    w.Click("btnNext");
    ASSERT_EQ(m->CurrentStep(), 1);
    const GuiMessageInfo* warning = MessageTitled(w, "Warning");
    ASSERT_NE(warning, nullptr);
    QString host = QString::fromStdString(plat::ToHostPath(file));
    EXPECT_TRUE(warning->Text.contains("Tasks: " + host + " is damaged or incomplete")) << warning->Text.toStdString();
    EXPECT_TRUE(warning->Text.contains(QString("it is %1 bytes long").arg(bytes.size() - 100)))
        << warning->Text.toStdString();
    EXPECT_FALSE(warning->Text.contains('\\')) << warning->Text.toStdString();
    EXPECT_EQ(w.Tabs()->tabText(2), "Tasks (not read)");

    w.Click("btnNext");
    ASSERT_TRUE(w.WaitDeletion());
    QStringList lines = w.LogLines();
    EXPECT_EQ(lines.filter(QRegularExpression("^\\tTasks: not checked: .*is damaged or incomplete")).size(), 1)
        << lines.join('\n').toStdString();
    EXPECT_EQ(infotest::ReadBytes(file), bytes.substr(0, bytes.size() - 100));
}

// A file that cannot be opened gives the system's reason.
TEST(Trust, UnopenableFileGivesTheSystemsReason)
{
    Wizard w(kEx, 6, 2);
    std::string file = AppFile(w.Env(), kPmGenEx, 1);
    std::filesystem::remove(plat::ToHostPath(file));
    std::filesystem::create_directory(plat::ToHostPath(file));
    TfmMain* m = w.Start();
    w.Click("btnNext");
    ASSERT_EQ(m->CurrentStep(), 1);
    const GuiMessageInfo* warning = MessageTitled(w, "Warning");
    ASSERT_NE(warning, nullptr);
    EXPECT_TRUE(warning->Text.contains("Calendar: " + QString::fromStdString(plat::ToHostPath(file)) +
                                       " could not be opened: it is a folder, not a file."))
        << warning->Text.toStdString();
}
