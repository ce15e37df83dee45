// The review page's duplicate groups on hand-made 4.1.x contacts: each copy
// listed with the record kept in its place, what deleting it loses, "Tick
// Identical Only", and the question before deleting that counts the loss.
#include "WizardTestEnv.h"

#include "Pdcompare.h"

#include "palm/PalmAddrEx.h"

#include <QTreeView>
#include <QTreeWidget>

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

/// Two groups: Ann Lee 1 (with a mobile number and a note), 2 and 3 (kept); Cy Doe 4
/// and 5 (kept), differing in case only; and Bob, who is no duplicate.
class GroupsWizard : public Wizard {
public:
    GroupsWizard() : Wizard(kEx, 0, 0, false)
    {
        PmAddrExRecord ann = Contact(1, "Ann", "Lee");
        ann.PhoneLabel[1] = 7;
        ann.Phone[1].Set("555-0177");
        ann.Note.Set("Met at the spring fair.\r\nPrefers a call in the morning.");
        EXPECT_TRUE(infotest::WriteEx(Env().UserFile("address\\address.dat"),
                                      {ann, Contact(2, "Ann", "Lee"), Contact(3, "Ann", "Lee"), Contact(4, "cy", "doe"),
                                       Contact(5, "Cy", "Doe"), Contact(6, "Bob", "Ray")}));
        std::filesystem::create_directories(SettingsFile().substr(0, SettingsFile().rfind('/')));
        palmfix::WriteFile(SettingsFile(), "[DCOption]\r\nAppFlag=1\r\nCaseSensitive=0\r\n");
    }
};

std::vector<std::string> Column(TRecordListModel* m, int column)
{
    std::vector<std::string> out;
    for (int row = 0; row < m->Count(); ++row)
        out.push_back(m->CellText(row, column).toStdString());
    return out;
}

}  // namespace

TEST(Groups, ListsEachCopyWithItsKeptRecordAndWhatDeletingLoses)
{
    GroupsWizard w;
    TfmMain* m = w.Start();
    w.Click("btnNext");
    ASSERT_EQ(m->CurrentStep(), 1);
    TRecordListModel* addr = w.Model(0);
    EXPECT_EQ(w.Tabs()->tabText(0), "Contacts (3 Dups)");
    // Rows: Ann 1, Ann 2, Ann 3 kept; cy 4, Cy 5 kept.
    ASSERT_EQ(addr->Count(), 5);
    EXPECT_EQ(Column(addr, addr->GroupColumn()), (std::vector<std::string>{"1", "1", "1 (kept)", "2", "2 (kept)"}));
    EXPECT_EQ(Column(addr, addr->LossColumn()),
              (std::vector<std::string>{"Mobile Phone, Notes", "identical", "", "identical", ""}));
    // A kept record has no tick, and "Select All Dups" leaves it so.
    EXPECT_FALSE(addr->flags(addr->index(2, 0)) & Qt::ItemIsUserCheckable);
    EXPECT_FALSE(addr->setData(addr->index(2, 0), Qt::Checked, Qt::CheckStateRole) && addr->IsChecked(2));
    w.Click("btnClear");
    w.Click("btnSelAll");
    EXPECT_EQ(addr->CheckedCount(), 3);
    EXPECT_FALSE(addr->IsChecked(2));
    EXPECT_FALSE(addr->IsChecked(4));
    SaveShot(m, "step1_groups");

    // Case-sensitive, cy and Cy differ in their first name.
    w.ClickBox(m->DataPage(), "cbCase");
    ASSERT_EQ(addr->Count(), 3);
    EXPECT_EQ(Column(addr, addr->LossColumn()), (std::vector<std::string>{"Mobile Phone, Notes", "identical", ""}));
    w.ClickBox(m->DataPage(), "cbCase");

    // "Display All" keeps the groups' marks on their records.
    w.ClickBox(m->DataPage(), "cbAddrAll");
    ASSERT_EQ(addr->Count(), 6);
    EXPECT_EQ(Column(addr, addr->GroupColumn()), (std::vector<std::string>{"1", "1", "1 (kept)", "2", "2 (kept)", ""}));
    EXPECT_EQ(addr->CellText(3, addr->LossColumn()), "identical");
    EXPECT_TRUE(addr->flags(addr->index(2, 0)) & Qt::ItemIsUserCheckable);

    // "Tick Identical Only" there ticks exactly the copies that lose nothing.
    w.Click("btnIdentical");
    std::vector<int> ticked;
    for (int row = 0; row < addr->Count(); ++row)
        if (addr->IsChecked(row))
            ticked.push_back(row);
    EXPECT_EQ(ticked, (std::vector<int>{1, 3}));
}

TEST(Groups, QuestionBeforeDeletingCountsTheLossAndOffersToUntick)
{
    GroupsWizard w;
    TfmMain* m = w.Start();
    w.Click("btnNext");
    ASSERT_EQ(m->CurrentStep(), 1);
    TRecordListModel* addr = w.Model(0);
    ASSERT_EQ(addr->CheckedCount(), 3);

    // Untick Those: Ann 1 with her mobile number stays, and so does the page.
    w.Messages().Clear();
    w.Messages().Answer(QMessageBox::No);
    w.Click("btnNext");
    EXPECT_EQ(m->CurrentStep(), 1);
    ASSERT_EQ(w.Messages().Messages().size(), 1u);
    const GuiMessageInfo& ask = w.Messages().Messages()[0];
    EXPECT_EQ(ask.Title, "Delete Duplicates");
    EXPECT_TRUE(ask.Text.contains("Contacts: 3 records")) << ask.Text.toStdString();
    EXPECT_TRUE(ask.Text.contains("1 of them holds data that no kept record holds")) << ask.Text.toStdString();
    EXPECT_EQ(ask.Default, QMessageBox::Cancel);
    EXPECT_FALSE(addr->IsChecked(0));
    EXPECT_EQ(addr->CheckedCount(), 2);

    // Asked again, nothing ticked loses data: the question says no more of it.
    w.Messages().Clear();
    w.Messages().Answer(QMessageBox::Yes);
    std::set<int> deleting = TickedPositions(m->DataPage(), m->FacadeSet(), 0);
    w.Click("btnNext");
    ASSERT_EQ(m->CurrentStep(), 2);
    ASSERT_FALSE(w.Messages().Messages().empty());
    EXPECT_FALSE(w.Messages().Messages()[0].Text.contains("no kept record"));
    EXPECT_FALSE(w.Messages().Messages()[0].Buttons & QMessageBox::No);
    EXPECT_EQ(deleting.size(), 2u);
    ASSERT_TRUE(w.WaitDeletion());
    EXPECT_EQ(m->CleanPage()->DeletedCount(0), 2);
}

TEST(Groups, CompareOpensOnACopyOnly)
{
    GroupsWizard w;
    TfmMain* m = w.Start();
    w.Click("btnNext");
    ASSERT_EQ(m->CurrentStep(), 1);
    TfmPDData* page = m->DataPage();
    QTreeView* list = page->List(0);
    auto* compare = w.Find<QPushButton>("btnCompare");

    list->setCurrentIndex(page->Model(0)->index(2, 0));  // the kept record
    EXPECT_FALSE(compare->isEnabled());
    list->setCurrentIndex(page->Model(0)->index(0, 0));
    ASSERT_TRUE(compare->isEnabled());
    std::vector<std::string> lost;
    w.Dialogs().SetDrive([&](QDialog* d) {
        auto* dlg = qobject_cast<TfmCompare*>(d);
        EXPECT_NE(dlg, nullptr);
        if (dlg) {
            for (int i = 0; i < dlg->List()->topLevelItemCount(); ++i)
                if (dlg->List()->topLevelItem(i)->text(3) == "lost")
                    lost.push_back(dlg->List()->topLevelItem(i)->text(0).toStdString());
            SaveShot(dlg, "compare_contact");
        }
        return int(QDialog::Accepted);
    });
    compare->click();
    EXPECT_EQ(lost, (std::vector<std::string>{"Mobile Phone", "Notes"}));
}
