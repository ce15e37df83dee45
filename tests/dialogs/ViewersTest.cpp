// The four record viewers on records of every generation: one record of
// each kind is written per generation with the fixture writers, loaded by its
// facade and opened the way the review page opens it.
#include "DialogTestUtil.h"

#include "Pdaddrdetail.h"
#include "Pddatedetail.h"
#include "Pdnotedetail.h"
#include "Pdtaskdetail.h"

#include "palm/PalmComm.h"
#include "palm/PalmInfoTestEnv.h"

#include "ScopedState.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QTabWidget>
#include <QTreeWidget>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

using dlgtest::Child;
using infotest::PalmInstall;

namespace {

int32_t At(int y, int mo, int d, int h = 0, int mi = 0)
{
    PmTime t;
    t.FromParts(y, mo, d, h, mi, 0);
    return t.Value();
}

std::string Edit(const QObject* v, const char* name) { return Child<QLineEdit>(v, name)->text().toStdString(); }
std::string Caption(const QObject* v, const char* name)
{
    return Child<QAbstractButton>(v, name)->text().toStdString();
}
bool Checked(const QObject* v, const char* name) { return Child<QAbstractButton>(v, name)->isChecked(); }
bool Hidden(const QObject* v, const char* name) { return Child<QWidget>(v, name)->isHidden(); }
std::string Notes(const QObject* v) { return Child<QPlainTextEdit>(v, "memNotes")->toPlainText().toStdString(); }
/// Whether the tab of a page is shown in its tab control.
bool PageShown(const QObject* v, const char* tabs, const char* page)
{
    return dlgtest::TabShown(Child<QTabWidget>(v, tabs), Child<QWidget>(v, page));
}
/// The rows of the "Misc Fields" list as "name=content".
std::vector<std::string> MiscRows(const QObject* v)
{
    std::vector<std::string> rows;
    auto* list = Child<QTreeWidget>(v, "lvMisc");
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        rows.push_back((list->topLevelItem(i)->text(0) + "=" + list->topLevelItem(i)->text(1)).toStdString());
    return rows;
}
std::string CurrentTab(const QObject* v)
{
    auto* t = Child<QTabWidget>(v, "pcDetail");
    return t->tabText(t->currentIndex()).toStdString();
}

/// Opens a viewer through its Show function, as the review page does, and
/// inspects it (and takes its picture) while it is open.
template <typename Viewer, typename Info, typename Rec>
void OpenViewer(void (*show)(QWidget*, Info*, Rec*), Info* facade, Rec* rec, const std::string& shot,
                const std::function<void(Viewer*)>& inspect)
{
    guitest::DialogDriver driver([&](QDialog* d) {
        auto* viewer = qobject_cast<Viewer*>(d);
        EXPECT_NE(viewer, nullptr);
        if (viewer) {
            EXPECT_EQ(viewer->size(), QSize(634, 474));
            inspect(viewer);
            if (!shot.empty())
                dlgtest::Shot(viewer, shot);
        }
        return int(QDialog::Accepted);
    });
    show(nullptr, facade, rec);
    EXPECT_EQ(driver.Seen().size(), 1u);
}

// One installation per generation, holding one record of each kind (two
// tasks for 6.x); the tests open the viewers on what the facades load.
struct Loaded {
    PmAddrInfo addr;
    PmDateInfo date;
    PmTodoInfo todo;
    PmMemoInfo memo;
    void Load(const PalmInstall& env)
    {
        int32_t user = int32_t(env.UserId());
        EXPECT_TRUE(addr.LoadByUser(user));
        EXPECT_TRUE(date.LoadByUser(user));
        EXPECT_TRUE(todo.LoadByUser(user));
        EXPECT_TRUE(memo.LoadByUser(user));
    }
};

template <size_t N>
void Put(PmEx2Text<N>& field, const std::string& text)
{
    field.Set(text);
}

void WriteClassic(const PalmInstall& env)
{
    const std::vector<palmfix::ClassicCategory> cats = {{1, "Business"}, {2, "Personal"}};
    PmAddrRecord a;
    a.FirstName = "Ada";
    a.LastName = "Lovelace";
    a.JobTitle = "Analyst";
    a.Company = "Engines Ltd";
    const int32_t labels[5] = {0, 1, 2, 7, 4};
    const char* phones[5] = {"555-0100", "555-0101", "555-0102", "555-0107", "ada@example.com"};
    for (int i = 0; i < 5; ++i) {
        a.PhoneLabel[i] = labels[i];
        a.Phone[i] = phones[i];
    }
    a.Street = "12 Loom Street";
    a.City = "London";
    a.ZipCode = "N1 9GU";
    a.Country = "UK";
    a.Note = "Line one\r\nLine two";
    for (int i = 0; i < 4; ++i)
        a.Custom[i] = "custom " + std::to_string(i + 1);
    a.PrimaryContact = 7;
    infotest::WriteClassicWith(palmfix::WriteClassicAddress, env.UserFile("address\\address.dat"), cats,
                               std::vector<PmAddrRecord>{a});

    PmDateRecord d;
    d.StartTime = At(2024, 3, 5, 9, 30);
    d.EndTime = At(2024, 3, 5, 10, 45);
    d.Description = "Team sync";
    d.Note = "Agenda";
    d.AlarmSet = d.Private = d.Category = 1;
    d.Repeat.Class = 2;
    d.Repeat.Interval = 2;
    d.Repeat.DaysMask = 0x0A;  // Monday and Wednesday
    d.Repeat.EndDate = At(2031, 6, 15);
    infotest::WriteClassicWith(palmfix::WriteClassicDate, env.UserFile("datebook\\datebook.dat"), cats,
                               std::vector<PmDateRecord>{d});

    PmTodoRecord t;
    t.Description = "Pay rent";
    t.Note = "Before noon";
    t.DueDate = At(2024, 4, 1);
    t.Completed = 1;
    t.Priority = 3;
    t.Category = 2;
    infotest::WriteClassicWith(palmfix::WriteClassicTodo, env.UserFile("todo\\todo.dat"), cats,
                               std::vector<PmTodoRecord>{t});

    PmMemoRecord m;
    m.Memo = "Shopping\r\nmilk\r\neggs";
    m.Private = m.Category = 1;
    infotest::WriteClassicWith(palmfix::WriteClassicMemo, env.UserFile("memopad\\memopad.dat"), cats,
                               std::vector<PmMemoRecord>{m});
}

// The fixture's 4.1.x tables hold 1 "Business" and 2 "Perso\xE9" (ANSI).
void WriteEx(const PalmInstall& env)
{
    PmAddrExRecord a;
    a.FirstName.Set("Grace");
    a.LastName.Set("Hopper");
    a.PrimaryContact = 1;
    a.Note.Set("Compiler");
    const uint32_t labels[7] = {0, 1, 2, 3, 5, 6, 7};
    for (int i = 0; i < 7; ++i) {
        a.PhoneLabel[i] = labels[i];
        a.Phone[i].Set(("555-02" + std::to_string(i)).c_str());
    }
    for (int i = 0; i < 9; ++i)
        a.Custom[i].Set(("x" + std::to_string(i + 1)).c_str());
    a.WorkCity.Set("Arlington");
    a.HomeStreet.Set("2 Home Road");
    a.HomeCountry.Set("USA");
    a.OtherZip.Set("22201");
    a.Chat1.Set("grace.h");
    a.Chat2.Set("ghopper");
    a.HomePage.Set("http://example.com/grace");
    ASSERT_TRUE(infotest::WriteEx(env.UserFile("address\\address.dat"), std::vector<PmAddrExRecord>{a}));

    PmDateExRecord d;
    d.StartTime = uint32_t(At(2024, 12, 9, 8, 0));
    d.EndTime = uint32_t(At(2024, 12, 9, 9, 0));
    d.Summary.Set("Anniversary");
    d.Location.Set("Room 4");
    d.Untimed = 1;
    d.Category = 2;
    d.Repeat.Class = 5;
    d.Repeat.Interval = 1;
    d.Repeat.DayNumber = 9;
    d.Repeat.Month = 11;
    d.Repeat.EndDate = 4102358400u;  // 12/31/2099, past what a signed value holds
    ASSERT_TRUE(infotest::WriteEx(env.UserFile("datebook\\datebook.dat"), std::vector<PmDateExRecord>{d}));

    PmTodoExRecord t;
    t.Description.Set("Call back");
    t.DueDate = CommTask::kNoDueDate;
    t.Priority = t.Category = 1;
    ASSERT_TRUE(infotest::WriteEx(env.UserFile("todo\\todo.dat"), std::vector<PmTodoExRecord>{t}));

    PmMemoExRecord m;
    m.Note.Set("Plan\r\nsteps");
    m.Category = 1;
    ASSERT_TRUE(infotest::WriteEx(env.UserFile("memopad\\memopad.dat"), std::vector<PmMemoExRecord>{m}));
}

void WriteEx2(const PalmInstall& env)
{
    const std::vector<palmfix::Ex2Category> cats = {{1, "Business"}, {2, "Personal"}};
    PmAddrEx2Record a{};
    Put(a.EnglishName, "Kathy J.");
    Put(a.Profession, "Mathematician");
    Put(a.AssistantName, "Dorothy");
    Put(a.AssistantPhone, "555-0300");
    // Phone slots 1 to 7 and their labels; the seventh is not shown.
    PmEx2Text<128>* phones[7] = {&a.WorkPhone, &a.WorkFax,    &a.WorkMobile, &a.HomePhone,
                                 &a.HomeFax,   &a.HomeMobile, &a.OtherPhone};
    int32_t* labels[7] = {&a.PhoneLabel1, &a.PhoneLabel2, &a.PhoneLabel3, &a.PhoneLabel4,
                          &a.PhoneLabel5, &a.PhoneLabel6, &a.PhoneLabel7};
    const int32_t labelValues[7] = {0, 2, 7, 1, 3, 5, 4};
    for (int i = 0; i < 7; ++i) {
        phones[i]->Set("555-031" + std::to_string(i));
        *labels[i] = labelValues[i];
    }
    a.PrimaryContact = 2;
    Put(a.WorkStreet, "Langley");
    Put(a.HomeCity, "Hampton");
    Put(a.OtherState, "VA");
    Put(a.Chat2, "kj2");
    Put(a.Website, "http://example.com/kj");
    // Addresses in the e-mail columns only, the first of them empty.
    Put(a.Email1, "kj@home.example");
    Put(a.Email3, "katherine@example.com");
    Put(a.Custom9, "y9");
    Put(a.Note, "Orbits");
    infotest::WriteEx2With(palmfix::WriteAddressMdb, env, 1, cats, std::vector<PmAddrEx2Record>{a});

    PmDateEx2Record d{};
    d.StartTime = At(2024, 1, 15, 8, 0);
    d.EndTime = At(2024, 1, 15, 8, 30);
    Put(d.Summary, "Rent");
    Put(d.Location, "Bank");
    Put(d.RepeatedEvent, "MD1 15 #0");  // monthly on the 15th, no end
    d.Category = 1;
    infotest::WriteEx2With(palmfix::WriteDateBookMdb, env, 2, cats, std::vector<PmDateEx2Record>{d});

    PmTodoEx2Record done{};
    done.RecordID = 1;
    Put(done.Description, "File taxes");
    done.DueDate = At(2024, 5, 1);
    done.Completed = done.Private = 1;
    done.CompleteDate = At(2024, 5, 2);
    done.Category = 2;
    PmTodoEx2Record open = done;
    open.RecordID = 2;
    open.Completed = 0;
    infotest::WriteEx2With(palmfix::WriteTodolistMdb, env, 3, cats, std::vector<PmTodoEx2Record>{done, open});

    PmMemoEx2Record m{};
    Put(m.Note, "Ideas");
    m.Category = 0;  // no category: 6.x tables have no "Unfiled"
    infotest::WriteEx2With(palmfix::WriteMemoPadMdb, env, 4, cats, std::vector<PmMemoEx2Record>{m});
}

/// Each named text box holds its text.
void ExpectEdits(const QObject* v, std::initializer_list<std::pair<const char*, std::string>> edits)
{
    for (const auto& [name, text] : edits)
        EXPECT_EQ(Edit(v, name), text) << name;
}

/// The phone rows 1 to n: caption and text of each.
void ExpectPhones(const QObject* v, const std::vector<std::pair<std::string, std::string>>& rows)
{
    for (size_t i = 0; i < rows.size(); ++i) {
        std::string n = std::to_string(i + 1);
        EXPECT_EQ(Caption(v, ("rbtnPhone" + n).c_str()), rows[i].first) << n;
        EXPECT_EQ(Edit(v, ("edtPhone" + n).c_str()), rows[i].second) << n;
        EXPECT_FALSE(Hidden(v, ("edtPhone" + n).c_str())) << n;
        EXPECT_FALSE(Checked(v, ("rbtnPhone" + n).c_str())) << n;
    }
}

/// Shows a page of the viewer for a picture, then goes back to the first.
void ShotOfPage(QWidget* v, const char* page, const std::string& name)
{
    auto* tabs = Child<QTabWidget>(v, "pcDetail");
    tabs->setCurrentWidget(Child<QWidget>(v, page));
    dlgtest::Shot(v, name);
    tabs->setCurrentIndex(0);
}

}  // namespace

TEST(ViewerTest, ClassicRecords)
{
    PalmInstall env(4, 1, 0);
    WriteClassic(env);
    Loaded data;
    data.Load(env);
    ASSERT_EQ(data.addr.GetCommMgr()->Count(), 1u);
    OpenViewer<TfmPDAddrDetail>(&ShowPDAddrDetail, &data.addr, data.addr.GetCommMgr()->GetAt(0),
                                "viewer_addr_classic", [](TfmPDAddrDetail* v) {
        EXPECT_EQ(v->windowTitle(), "View Palm Desktop Contact Record Details");
        EXPECT_EQ(Child<QLabel>(v, "lblBanner")->text(), "View detail information of the Palm Desktop Contact record.");
        EXPECT_EQ(Caption(v, "btnClose"), "&Close");
        EXPECT_EQ(CurrentTab(v), "General Information");
        ExpectEdits(v, {{"edtFirstName", "Ada"}, {"edtLastName", "Lovelace"}, {"edtEnglishName", "Ada Lovelace"},
                        {"edtCompany", "Engines Ltd"}, {"edtJobTitle", "Analyst"}, {"edtProfession", ""},
                        {"edtBirthday", ""}, {"edtAnniversary", ""}, {"edtWorkStreet", "12 Loom Street"},
                        {"edtWorkCity", "London"}, {"edtWorkZip", "N1 9GU"}, {"edtWorkCountry", "UK"}});
        // Five phone rows captioned by their labels; the sixth is hidden.
        ExpectPhones(v, {{"Work Phone", "555-0100"}, {"Home Phone", "555-0101"}, {"Fax", "555-0102"},
                         {"Mobile Phone", "555-0107"}, {"E-mail", "ada@example.com"}});
        EXPECT_TRUE(Hidden(v, "rbtnPhone6"));
        EXPECT_TRUE(Hidden(v, "edtPhone6"));
        EXPECT_EQ(Child<QLabel>(v, "lblPrimaryContact")->text(), "Mobile Phone");
        // One address, under the caption "Address".
        EXPECT_EQ(dlgtest::TabText(Child<QTabWidget>(v, "pcAddress"), Child<QWidget>(v, "tsWork")), "Address");
        EXPECT_FALSE(PageShown(v, "pcAddress", "tsHome"));
        EXPECT_FALSE(PageShown(v, "pcAddress", "tsOther"));
        for (const char* n : {"lblAssistantName", "edtAssistantName", "lblAssistantPhone", "edtAssistantPhone"})
            EXPECT_TRUE(Hidden(v, n)) << n;
        EXPECT_FALSE(PageShown(v, "pcDetail", "tsOnline"));
        for (int i = 1; i <= 9; ++i) {
            std::string n = std::to_string(i);
            EXPECT_EQ(Child<QLabel>(v, ("lblCustom" + n).c_str())->text().toStdString(), "Custom " + n + ":");
            EXPECT_EQ(Hidden(v, ("lblCustom" + n).c_str()), i > 4) << i;
            EXPECT_EQ(Edit(v, ("edtCustom" + n).c_str()), i <= 4 ? "custom " + n : "") << i;
        }
        EXPECT_EQ(Notes(v), "Line one\nLine two");
    });

    // Weekly every 2 weeks on Monday and Wednesday, ending in 2031; the
    // classic record holds only the id of its category.
    OpenViewer<TfmPDDateDetail>(&ShowPDDateDetail, &data.date, data.date.GetCommMgr()->GetAt(0),
                                "viewer_date_classic", [](TfmPDDateDetail* v) {
        EXPECT_EQ(v->windowTitle(), "Palm Desktop Calendar Record Details");
        EXPECT_EQ(CurrentTab(v), "General");
        ExpectEdits(v, {{"edtDesc", "Team sync"}, {"edtDate", "03/05/2024"}, {"edtStartTime", "09:30:00"},
                        {"edtEndTime", "10:45:00"}, {"edtLocation", ""}, {"edtCategory", "Business"},
                        {"edtRecurWeeks", "2"}, {"edtRecurEnd", "06/15/2031"}});
        EXPECT_FALSE(Checked(v, "cbAllday"));
        EXPECT_TRUE(Checked(v, "cbAlarm"));
        EXPECT_TRUE(Checked(v, "cbPrivate"));
        EXPECT_EQ(Notes(v), "Agenda");
        EXPECT_FALSE(PageShown(v, "pcDetail", "tsMisc"));
        EXPECT_TRUE(PageShown(v, "pcRecur", "tsWeekly"));
        for (const char* p : {"tsDaily", "tsMonthly", "tsYearly"})
            EXPECT_FALSE(PageShown(v, "pcRecur", p)) << p;
        const char* days[7] = {"cbSunday", "cbMonday", "cbTuesday", "cbWednesday", "cbThursday", "cbFriday",
                               "cbSaturday"};
        for (int i = 0; i < 7; ++i)
            EXPECT_EQ(Checked(v, days[i]), i == 1 || i == 3) << days[i];
        EXPECT_TRUE(Checked(v, "rbtnEndBy"));
        EXPECT_FALSE(Checked(v, "rbtnNoEnd"));
        ShotOfPage(v, "tsRecurrence", "viewer_date_classic_recurrence");
    });

    OpenViewer<TfmPDTaskDetail>(&ShowPDTaskDetail, &data.todo, data.todo.GetCommMgr()->GetAt(0),
                                "viewer_task_classic", [](TfmPDTaskDetail* v) {
        EXPECT_EQ(v->windowTitle(), "Palm Desktop Task Record Details");
        ExpectEdits(v, {{"edtDesc", "Pay rent"}, {"edtPriority", "3"}, {"edtDueDate", "04/01/2024"},
                        {"edtCategory", "Personal"}});
        EXPECT_TRUE(Checked(v, "cbCompleted"));
        EXPECT_FALSE(Checked(v, "cbPrivate"));
        EXPECT_EQ(Notes(v), "Before noon");
        EXPECT_FALSE(PageShown(v, "pcDetail", "tsMisc"));
    });

    // The classic loader keeps no category name with a memo.
    OpenViewer<TfmPDNoteDetail>(&ShowPDNoteDetail, &data.memo, data.memo.GetCommMgr()->GetAt(0),
                                "viewer_note_classic", [](TfmPDNoteDetail* v) {
        EXPECT_EQ(v->windowTitle(), "Palm Desktop Memo Record Details");
        EXPECT_EQ(CurrentTab(v), "Notes");
        EXPECT_EQ(Notes(v), "Shopping\nmilk\neggs");
        EXPECT_EQ(MiscRows(v), (std::vector<std::string>{"Private=Yes", "Category=Business"}));
    });
}

TEST(ViewerTest, ExRecords)
{
    PalmInstall env(4, 1, 2);
    WriteEx(env);
    Loaded data;
    data.Load(env);
    ASSERT_EQ(data.addr.GetCommMgr()->Count(), 1u);
    OpenViewer<TfmPDAddrDetail>(&ShowPDAddrDetail, &data.addr, data.addr.GetCommMgr()->GetAt(0), "viewer_addr_ex",
                                [](TfmPDAddrDetail* v) {
        ExpectEdits(v, {{"edtEnglishName", "Grace Hopper"}, {"edtProfession", ""}, {"edtAssistantName", ""},
                        {"edtBirthday", "N/A"}, {"edtAnniversary", ""}, {"edtWorkCity", "Arlington"},
                        {"edtHomeStreet", "2 Home Road"}, {"edtHomeCountry", "USA"}, {"edtOtherZip", "22201"},
                        {"edtIM1", "grace.h"}, {"edtIM2", "ghopper"}, {"edtURL", "http://example.com/grace"},
                        {"edtCustom1", "x1"}, {"edtCustom9", "x9"}});
        // Six of the seven phone slots.
        ExpectPhones(v, {{"Work Phone", "555-020"}, {"Home Phone", "555-021"}, {"Fax", "555-022"},
                         {"Other Phone", "555-023"}, {"Main Phone", "555-024"}, {"Pager", "555-025"}});
        EXPECT_EQ(Child<QLabel>(v, "lblPrimaryContact")->text(), "Home Phone");
        EXPECT_EQ(dlgtest::TabText(Child<QTabWidget>(v, "pcAddress"), Child<QWidget>(v, "tsWork")), "Work");
        EXPECT_TRUE(PageShown(v, "pcAddress", "tsHome"));
        EXPECT_TRUE(PageShown(v, "pcAddress", "tsOther"));
        EXPECT_FALSE(Hidden(v, "lblAssistantName"));
        EXPECT_FALSE(Hidden(v, "edtCustom9"));
        EXPECT_TRUE(PageShown(v, "pcDetail", "tsOnline"));
        // This generation has no e-mail columns.
        for (const char* n : {"lblWorkEmail", "edtWorkEmail", "lblEmail1", "edtEmail1", "lblEmail3", "edtEmail3"})
            EXPECT_TRUE(Hidden(v, n)) << n;
        Child<QTabWidget>(v, "pcAddress")->setCurrentWidget(Child<QWidget>(v, "tsHome"));
        ShotOfPage(v, "tsAddress", "viewer_addr_ex_addresses");
        ShotOfPage(v, "tsCustom", "viewer_addr_ex_custom");
    });

    // Yearly by date, ending in 2099: no end date. The category name is ANSI.
    OpenViewer<TfmPDDateDetail>(&ShowPDDateDetail, &data.date, data.date.GetCommMgr()->GetAt(0), "viewer_date_ex",
                                [](TfmPDDateDetail* v) {
        ExpectEdits(v, {{"edtDesc", "Anniversary"}, {"edtLocation", "Room 4"}, {"edtCategory", "Perso\xC3\xA9"},
                        {"edtRecurYears", "1"}, {"edtRecurEnd", ""}});
        EXPECT_TRUE(Checked(v, "cbAllday"));
        EXPECT_TRUE(PageShown(v, "pcDetail", "tsMisc"));
        EXPECT_TRUE(MiscRows(v).empty());
        EXPECT_TRUE(PageShown(v, "pcRecur", "tsYearly"));
        EXPECT_FALSE(PageShown(v, "pcRecur", "tsWeekly"));
        EXPECT_TRUE(Checked(v, "rbtnYearDate"));
        EXPECT_FALSE(Checked(v, "rbtnYearDay"));
        EXPECT_TRUE(Checked(v, "rbtnNoEnd"));
    });

    OpenViewer<TfmPDTaskDetail>(&ShowPDTaskDetail, &data.todo, data.todo.GetCommMgr()->GetAt(0), "",
                                [](TfmPDTaskDetail* v) {
        ExpectEdits(v, {{"edtDesc", "Call back"}, {"edtPriority", "1"}, {"edtDueDate", ""},
                        {"edtCategory", "Business"}});
        EXPECT_FALSE(PageShown(v, "pcDetail", "tsMisc"));
    });

    OpenViewer<TfmPDNoteDetail>(&ShowPDNoteDetail, &data.memo, data.memo.GetCommMgr()->GetAt(0), "",
                                [](TfmPDNoteDetail* v) {
        EXPECT_EQ(Notes(v), "Plan\nsteps");
        EXPECT_EQ(MiscRows(v), (std::vector<std::string>{"Private=No", "Category=Business"}));
    });
}

TEST(ViewerTest, Ex2Records)
{
    PalmInstall env(6, 0, 0);
    WriteEx2(env);
    Loaded data;
    data.Load(env);
    ASSERT_EQ(data.addr.GetCommMgr()->Count(), 1u);
    OpenViewer<TfmPDAddrDetail>(&ShowPDAddrDetail, &data.addr, data.addr.GetCommMgr()->GetAt(0), "viewer_addr_ex2",
                                [](TfmPDAddrDetail* v) {
        ExpectEdits(v, {{"edtEnglishName", "Kathy J."}, {"edtProfession", "Mathematician"},
                        {"edtAssistantName", "Dorothy"}, {"edtAssistantPhone", "555-0300"}, {"edtBirthday", "N/A"},
                        {"edtAnniversary", "N/A"}, {"edtWorkStreet", "Langley"}, {"edtHomeCity", "Hampton"},
                        {"edtOtherState", "VA"}, {"edtURL", "http://example.com/kj"}, {"edtIM2", "kj2"},
                        {"edtCustom9", "y9"}});
        ExpectPhones(v, {{"Work Phone", "555-0310"}, {"Fax", "555-0311"}, {"Mobile Phone", "555-0312"},
                         {"Home Phone", "555-0313"}, {"Other Phone", "555-0314"}, {"Main Phone", "555-0315"}});
        EXPECT_EQ(Child<QLabel>(v, "lblPrimaryContact")->text(), "Fax");
        EXPECT_EQ(Notes(v), "Orbits");
        // The four e-mail columns, each in its own row, empty ones too.
        ExpectEdits(v, {{"edtWorkEmail", ""}, {"edtEmail1", "kj@home.example"}, {"edtEmail2", ""},
                        {"edtEmail3", "katherine@example.com"}});
        const char* const captions[][2] = {{"lblWorkEmail", "Work E-mail:"}, {"lblEmail1", "E-mail 1:"},
                                           {"lblEmail2", "E-mail 2:"}, {"lblEmail3", "E-mail 3:"}};
        for (const auto& c : captions) {
            EXPECT_EQ(Child<QLabel>(v, c[0])->text().toStdString(), c[1]);
            EXPECT_FALSE(Hidden(v, c[0])) << c[0];
        }
        for (const char* n : {"edtWorkEmail", "edtEmail1", "edtEmail2", "edtEmail3"})
            EXPECT_FALSE(Hidden(v, n)) << n;
        ShotOfPage(v, "tsOnline", "viewer_addr_ex2_online");
    });

    // Monthly by date with no end: the database's value for "no end" is the
    // last second of 2031, which must not read as an end date.
    OpenViewer<TfmPDDateDetail>(&ShowPDDateDetail, &data.date, data.date.GetCommMgr()->GetAt(0), "viewer_date_ex2",
                                [](TfmPDDateDetail* v) {
        ExpectEdits(v, {{"edtDesc", "Rent"}, {"edtDate", "01/15/2024"}, {"edtLocation", "Bank"},
                        {"edtCategory", "Business"}, {"edtRecurMonths", "1"}, {"edtRecurEnd", ""}});
        EXPECT_TRUE(PageShown(v, "pcRecur", "tsMonthly"));
        EXPECT_TRUE(Checked(v, "rbtnDate"));
        EXPECT_FALSE(Checked(v, "rbtnDay"));
        EXPECT_TRUE(Checked(v, "rbtnNoEnd"));
    });

    ASSERT_EQ(data.todo.GetCommMgr()->Count(), 2u);
    OpenViewer<TfmPDTaskDetail>(&ShowPDTaskDetail, &data.todo, data.todo.GetCommMgr()->GetAt(0), "viewer_task_ex2",
                                [](TfmPDTaskDetail* v) {
        ExpectEdits(v, {{"edtDesc", "File taxes"}, {"edtDueDate", "05/01/2024"}, {"edtCategory", "Personal"}});
        EXPECT_TRUE(Checked(v, "cbCompleted"));
        EXPECT_TRUE(Checked(v, "cbPrivate"));
        EXPECT_EQ(MiscRows(v), std::vector<std::string>{"Complete Date=05/02/2024"});
        ShotOfPage(v, "tsMisc", "viewer_task_ex2_misc");
    });
    // Not completed: the list is there and empty, whatever date it holds.
    OpenViewer<TfmPDTaskDetail>(&ShowPDTaskDetail, &data.todo, data.todo.GetCommMgr()->GetAt(1), "",
                                [](TfmPDTaskDetail* v) {
        EXPECT_FALSE(Checked(v, "cbCompleted"));
        EXPECT_TRUE(PageShown(v, "pcDetail", "tsMisc"));
        EXPECT_TRUE(MiscRows(v).empty());
    });

    // No category: only the "Private" row.
    OpenViewer<TfmPDNoteDetail>(&ShowPDNoteDetail, &data.memo, data.memo.GetCommMgr()->GetAt(0), "viewer_note_ex2",
                                [](TfmPDNoteDetail* v) {
        EXPECT_EQ(Notes(v), "Ideas");
        EXPECT_EQ(MiscRows(v), std::vector<std::string>{"Private=No"});
        ShotOfPage(v, "tsMisc", "viewer_note_ex2_misc");
    });
}

// In an English locale (code page 1252) the 6.x texts outside it are shown as
// stored: a Cyrillic name, subject, note and category.
TEST(ViewerTest, Ex2TextsOutsideTheCodePageAreShownAsStored)
{
    testenv::ScopedCodePage page(1252);
    PalmInstall env(6, 0, 0);
    const std::string ivan = "\xD0\x98\xD0\xB2\xD0\xB0\xD0\xBD";
    const std::string work = "\xD0\xA0\xD0\xB0\xD0\xB1\xD0\xBE\xD1\x82\xD0\xB0";
    const std::vector<palmfix::Ex2Category> cats = {{1, work}};
    PmAddrEx2Record a{};
    a.FirstName.SetStored(ivan);
    a.Company.SetStored(std::string(60, 'c'));
    a.Note.SetStored(ivan + " \xE6\x97\xA5");
    a.Category = 1;
    infotest::WriteEx2With(palmfix::WriteAddressMdb, env, 1, cats, std::vector<PmAddrEx2Record>{a});
    PmTodoEx2Record t{};
    t.RecordID = 1;
    t.Description.SetStored(ivan);
    t.Category = 1;
    infotest::WriteEx2With(palmfix::WriteTodolistMdb, env, 3, cats, std::vector<PmTodoEx2Record>{t});

    PmAddrInfo addr;
    PmTodoInfo todo;
    ASSERT_TRUE(addr.LoadByUser(int32_t(env.UserId())));
    ASSERT_TRUE(todo.LoadByUser(int32_t(env.UserId())));
    ASSERT_EQ(addr.GetCommMgr()->Count(), 1u);
    ASSERT_EQ(todo.GetCommMgr()->Count(), 1u);
    OpenViewer<TfmPDAddrDetail>(&ShowPDAddrDetail, &addr, addr.GetCommMgr()->GetAt(0), "",
                                [&](TfmPDAddrDetail* v) {
        ExpectEdits(v, {{"edtFirstName", ivan}});
        EXPECT_EQ(Notes(v), ivan + " \xE6\x97\xA5");
        // A text longer than its box is shown from its start.
        v->show();
        EXPECT_EQ(v->template findChild<QLineEdit*>("edtCompany")->cursorPosition(), 0);
        v->hide();
    });
    OpenViewer<TfmPDTaskDetail>(&ShowPDTaskDetail, &todo, todo.GetCommMgr()->GetAt(0), "",
                                [&](TfmPDTaskDetail* v) { ExpectEdits(v, {{"edtDesc", ivan}, {"edtCategory", work}}); });
}

TEST(ViewerTest, RecordsWithoutANativeCopyShowNothing)
{
    PalmInstall env(6, 0, 0);
    WriteEx2(env);
    Loaded data;
    data.Load(env);
    CommNote* held = data.memo.GetCommMgr()->GetAt(0);
    ASSERT_NE(held, nullptr);
    // No native copy, a native copy of an unknown generation, no facade:
    // each an empty viewer.
    CommNote bare = *held;
    bare.Trailer.NativeCopy = nullptr;
    PmMemoSource unknown = *static_cast<PmMemoSource*>(held->Trailer.NativeCopy);
    unknown.Generation = 7;
    CommNote unknownGen = *held;
    unknownGen.Trailer.NativeCopy = &unknown;
    const std::pair<PmMemoInfo*, CommNote*> cases[] = {{&data.memo, &bare}, {&data.memo, &unknownGen}, {nullptr, held}};
    for (const auto& [facade, rec] : cases)
        OpenViewer<TfmPDNoteDetail>(&ShowPDNoteDetail, facade, rec, "", [](TfmPDNoteDetail* v) {
            EXPECT_EQ(Notes(v), "");
            EXPECT_TRUE(MiscRows(v).empty());
        });
}
