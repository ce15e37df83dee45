// What deleting a duplicate loses: for each generation, a pair of records of
// every kind is written with the fixture writers (the copy first, the kept
// record second), loaded by the facades, and the fields the copy holds that
// the kept record lacks are compared with the expected ones under both case
// settings. The compare window is checked on one of the pairs.
#include "DialogTestUtil.h"

#include "Pdcompare.h"
#include "RecordFields.h"

#include "palm/PalmAddrInfo.h"
#include "palm/PalmComm.h"
#include "palm/PalmDateInfo.h"
#include "palm/PalmMemoInfo.h"
#include "palm/PalmTodoInfo.h"
#include "palm/PalmInfoTestEnv.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QTreeWidget>

#include <string>
#include <vector>

using infotest::PalmInstall;
using Names = std::vector<std::string>;

namespace {

int32_t At(int y, int mo, int d, int h = 0, int mi = 0)
{
    PmTime t;
    t.FromParts(y, mo, d, h, mi, 0);
    return t.Value();
}

struct Loaded {
    PmAddrInfo addr;
    PmDateInfo date;
    PmTodoInfo todo;
    PmMemoInfo memo;
    explicit Loaded(const PalmInstall& env)
    {
        int32_t user = int32_t(env.UserId());
        EXPECT_TRUE(addr.LoadByUser(user));
        EXPECT_TRUE(date.LoadByUser(user));
        EXPECT_TRUE(todo.LoadByUser(user));
        EXPECT_TRUE(memo.LoadByUser(user));
    }

    /// The fields of record `i` of an application, with its category.
    TRecordFields Fields(int app, uint32_t i)
    {
        switch (app) {
        case 0: return RecordFieldsOf(0, addr.GetCommMgr()->GetAt(i), addr.CategoryName(addr.GetCommMgr()->GetAt(i)));
        case 1: return RecordFieldsOf(1, date.GetCommMgr()->GetAt(i), date.CategoryName(date.GetCommMgr()->GetAt(i)));
        case 2: return RecordFieldsOf(2, todo.GetCommMgr()->GetAt(i), todo.CategoryName(todo.GetCommMgr()->GetAt(i)));
        default: return RecordFieldsOf(3, memo.GetCommMgr()->GetAt(i), memo.CategoryName(memo.GetCommMgr()->GetAt(i)));
        }
    }

    /// What deleting record 0 loses beside record 1.
    Names Lost(int app, bool caseSensitive) { return LostFields(Fields(app, 0), Fields(app, 1), caseSensitive); }
};

/// The expected losses of each application: case-insensitive, then
/// case-sensitive.
void ExpectLosses(Loaded& data, const Names (&insensitive)[4], const Names (&sensitive)[4])
{
    for (int app = 0; app < 4; ++app) {
        EXPECT_EQ(data.Lost(app, false), insensitive[app]) << "application " << app;
        EXPECT_EQ(data.Lost(app, true), sensitive[app]) << "application " << app;
        // The kept record's own extra values are never the copy's loss, and
        // a record loses nothing beside itself.
        EXPECT_TRUE(LostFields(data.Fields(app, 1), data.Fields(app, 1), true).empty()) << app;
    }
}

const std::vector<palmfix::ClassicCategory> kClassicCats = {{1, "Business"}, {2, "Personal"}};
const std::vector<palmfix::Ex2Category> kEx2Cats = {{1, "Business"}, {2, "Personal"}};

}  // namespace

// Classic: a phone slot, a note, the date of an item, its repeat rule, the
// due date and priority of a task; names and memos that differ in case only.
TEST(RecordLoss, ClassicFieldsOfEveryKind)
{
    PalmInstall env(4, 1, 0);
    PmAddrRecord kept;
    kept.FirstName = "Ada";
    kept.LastName = "Lovelace";
    kept.PhoneLabel[0] = 0;
    kept.Phone[0] = "555-0100";
    PmAddrRecord copy = kept;
    copy.FirstName = "ada";
    copy.PhoneLabel[1] = 7;
    copy.Phone[1] = "555-0177";  // a mobile number the kept record lacks
    copy.Note = "met at the engine works";
    infotest::WriteClassicWith(palmfix::WriteClassicAddress, env.UserFile("address\\address.dat"), kClassicCats,
                               std::vector<PmAddrRecord>{copy, kept});

    PmDateRecord dk;
    dk.StartTime = At(2024, 3, 5, 9, 30);
    dk.EndTime = At(2024, 3, 5, 10, 0);
    dk.Description = "Team sync";
    dk.Repeat.Class = 2;
    dk.Repeat.Interval = 1;
    dk.Repeat.DaysMask = 0x02;
    dk.Repeat.EndDate = At(2030, 1, 1);
    PmDateRecord dc = dk;
    dc.StartTime = At(2024, 3, 6, 9, 30);  // another day, the same hour
    dc.EndTime = At(2024, 3, 6, 10, 0);
    dc.Repeat.DaysMask = 0x0A;  // Monday and Wednesday
    infotest::WriteClassicWith(palmfix::WriteClassicDate, env.UserFile("datebook\\datebook.dat"), kClassicCats,
                               std::vector<PmDateRecord>{dc, dk});

    PmTodoRecord tk;
    tk.Description = "Pay rent";
    tk.Priority = 1;
    tk.DueDate = At(2024, 4, 1);
    PmTodoRecord tc = tk;
    tc.Priority = 3;
    tc.DueDate = At(2024, 4, 2);
    infotest::WriteClassicWith(palmfix::WriteClassicTodo, env.UserFile("todo\\todo.dat"), kClassicCats,
                               std::vector<PmTodoRecord>{tc, tk});

    PmMemoRecord mk;
    mk.Memo = "Shopping\r\nmilk";
    PmMemoRecord mc = mk;
    mc.Memo = "SHOPPING\r\nMILK";
    infotest::WriteClassicWith(palmfix::WriteClassicMemo, env.UserFile("memopad\\memopad.dat"), kClassicCats,
                               std::vector<PmMemoRecord>{mc, mk});

    Loaded data(env);
    ExpectLosses(data, {{"Mobile Phone", "Notes"}, {"Date", "Repeat"}, {"Priority", "Due Date"}, {}},
                 {{"First Name", "Mobile Phone", "Notes"}, {"Date", "Repeat"}, {"Priority", "Due Date"}, {"Notes"}});
}

// 4.1.x: the web site, a custom field and an address part, the location and
// repeat interval of an item, completion of a task, a private memo.
TEST(RecordLoss, ExFieldsOfEveryKind)
{
    PalmInstall env(4, 1, 2);
    PmAddrExRecord ak;
    ak.FirstName.Set("Grace");
    ak.LastName.Set("Hopper");
    ak.HomePage.Set("http://example.com/grace");
    PmAddrExRecord ac = ak;
    ac.HomePage.Set("HTTP://EXAMPLE.COM/GRACE");
    ac.Custom[2].Set("badge 7");
    ac.HomeCity.Set("Arlington");
    ASSERT_TRUE(infotest::WriteEx(env.UserFile("address\\address.dat"), std::vector<PmAddrExRecord>{ac, ak}));

    PmDateExRecord dk;
    dk.StartTime = uint32_t(At(2024, 12, 9, 8, 0));
    dk.EndTime = uint32_t(At(2024, 12, 9, 9, 0));
    dk.Summary.Set("Review");
    dk.Repeat.Class = 1;
    dk.Repeat.Interval = 1;
    dk.Repeat.EndDate = CommTask::kNoDueDate;
    PmDateExRecord dc = dk;
    dc.Location.Set("Room 4");
    dc.Repeat.Interval = 2;
    ASSERT_TRUE(infotest::WriteEx(env.UserFile("datebook\\datebook.dat"), std::vector<PmDateExRecord>{dc, dk}));

    PmTodoExRecord tk;
    tk.Description.Set("Call back");
    tk.DueDate = CommTask::kNoDueDate;
    tk.Priority = 1;
    PmTodoExRecord tc = tk;
    tc.Completed = 1;
    ASSERT_TRUE(infotest::WriteEx(env.UserFile("todo\\todo.dat"), std::vector<PmTodoExRecord>{tc, tk}));

    PmMemoExRecord mk;
    mk.Note.Set("Plan\r\nsteps");
    PmMemoExRecord mc = mk;
    mc.Private = 1;
    ASSERT_TRUE(infotest::WriteEx(env.UserFile("memopad\\memopad.dat"), std::vector<PmMemoExRecord>{mc, mk}));

    Loaded data(env);
    ExpectLosses(data, {{"Home Address", "Custom 3"}, {"Location", "Repeat"}, {"Completed"}, {"Private"}},
                 {{"Home Address", "Web Site", "Custom 3"}, {"Location", "Repeat"}, {"Completed"}, {"Private"}});
}

// 6.x: the fields only this generation has (profession, the second e-mail,
// the assistant, a task's completion date), the end time and repeat rule of
// an item, a memo's category.
TEST(RecordLoss, Ex2FieldsOfEveryKind)
{
    PalmInstall env(6, 0, 0);
    PmAddrEx2Record ak{};
    ak.FirstName.Set("Kathy");
    ak.Email1.Set("kj@home.example");
    ak.RecordID = 1;
    PmAddrEx2Record ac = ak;
    ac.RecordID = 2;
    ac.Profession.Set("Mathematician");
    ac.Email2.Set("kj@work.example");
    ac.AssistantName.Set("Dorothy");
    infotest::WriteEx2With(palmfix::WriteAddressMdb, env, 1, kEx2Cats, std::vector<PmAddrEx2Record>{ac, ak});

    PmDateEx2Record dk{};
    dk.StartTime = At(2024, 1, 15, 8, 0);
    dk.EndTime = At(2024, 1, 15, 8, 30);
    dk.Summary.Set("Rent");
    dk.RepeatedEvent.Set("MD1 15 #0");
    dk.RecordID = 1;
    PmDateEx2Record dc = dk;
    dc.RecordID = 2;
    dc.EndTime = At(2024, 1, 15, 9, 0);
    dc.RepeatedEvent.Set("MD1 16 #0");  // another day of the month
    infotest::WriteEx2With(palmfix::WriteDateBookMdb, env, 2, kEx2Cats, std::vector<PmDateEx2Record>{dc, dk});

    PmTodoEx2Record tk{};
    tk.Description.Set("File taxes");
    tk.DueDate = At(2024, 5, 1);
    tk.Completed = 1;
    tk.RecordID = 1;
    PmTodoEx2Record tc = tk;
    tc.RecordID = 2;
    tc.CompleteDate = At(2024, 5, 2);
    infotest::WriteEx2With(palmfix::WriteTodolistMdb, env, 3, kEx2Cats, std::vector<PmTodoEx2Record>{tc, tk});

    PmMemoEx2Record mk{};
    mk.Note.Set("Ideas");
    mk.RecordID = 1;
    PmMemoEx2Record mc = mk;
    mc.RecordID = 2;
    mc.Category = 2;
    infotest::WriteEx2With(palmfix::WriteMemoPadMdb, env, 4, kEx2Cats, std::vector<PmMemoEx2Record>{mc, mk});

    Loaded data(env);
    const Names lost[4] = {{"Profession", "Assistant Name", "E-mail 2"}, {"End Time", "Repeat"}, {"Complete Date"},
                           {"Category"}};
    ExpectLosses(data, lost, lost);

    // The compare window of the contacts: every field either holds, the
    // differing ones marked, the lost ones named.
    TfmCompare dlg(nullptr, "contacts", data.Fields(0, 0), data.Fields(0, 1), true, false);
    QTreeWidget* list = dlg.List();
    std::vector<std::string> lostRows, sameRows;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        QTreeWidgetItem* item = list->topLevelItem(i);
        (item->text(3) == "lost" ? lostRows : sameRows).push_back(item->text(0).toStdString());
    }
    EXPECT_EQ(lostRows, (Names{"Profession", "Assistant Name", "E-mail 2"}));
    EXPECT_EQ(sameRows, (Names{"First Name", "Primary Contact", "E-mail 1"}));
    EXPECT_TRUE(dlg.Summary()->text().contains("Profession, Assistant Name, E-mail 2"));
    dlgtest::Shot(&dlg, "compare_ex2");
}
