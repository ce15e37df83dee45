// The rule dialog and the two troubleshooting dialogs, driven through their
// controls as the user would.
#include "DialogTestUtil.h"

#include "Apputil.h"
#include "ApputilFacadeSet.h"
#include "Debugger.h"
#include "Dump.h"
#include "Dupoption.h"

#include "misc/CxDebugUtil.h"
#include "platform/TestDir.h"
#include "platform/WinPath.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>

#include <algorithm>
#include <optional>

using dlgtest::Child;

namespace {

/// Every test starts from the default options and a log in the settings
/// folder, and leaves both as it found them.
class DialogsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_Saved = TheOption();
        m_SavedLog = TheLog();
        TheOption() = DefaultOption();
        ASSERT_TRUE(FindSettingsFolder(&m_Settings));
        m_LogHost = plat::ToHostPath(m_Settings + "appdebug.log");
        std::filesystem::remove(m_LogHost);
        TheLog().SetFolder(m_Settings.c_str());
    }
    void TearDown() override
    {
        TheOption() = m_Saved;
        TheLog() = m_SavedLog;
    }
    bool LogHas(const std::string& text) const
    {
        std::ifstream in(m_LogHost);
        std::stringstream s;
        s << in.rdbuf();
        return s.str().find(text) != std::string::npos;
    }

    std::string m_Settings;  ///< Windows form, ending in '\'
    std::string m_LogHost;
    AppOption m_Saved;
    CxDebugUtil m_SavedLog;
};

/// The settings the rule dialog and the debug dialog may change.
struct RuleField {
    const char* name;
    bool AppOption::*member;
};
#define RULE(n) RuleField{#n, &AppOption::n}
const RuleField kRules[] = {
    RULE(AddrFirstName), RULE(AddrMiddleName), RULE(AddrLastName), RULE(AddrEmail), RULE(AddrBusiPhone),
    RULE(AddrHomePhone), RULE(AddrBusiAddr), RULE(AddrHomeAddr), RULE(AddrNotes), RULE(AddrMobilePhone),
    RULE(AddrCompany), RULE(AddrTitle), RULE(AddrFax), RULE(DateDesc), RULE(DateStartTime), RULE(DateEndTime),
    RULE(DateAllDayEvent), RULE(DateRepeat), RULE(DateNotes), RULE(DateLocation), RULE(TodoDesc),
    RULE(TodoPriority), RULE(TodoDueDate), RULE(TodoNotes), RULE(MemoDesc), RULE(MemoNotes), RULE(CaseSensitive),
    RULE(EnableDebug)};
#undef RULE

/// Every one of those settings of `after` equals that of `before`, except
/// the ones named in `changed`, which are flipped.
void ExpectRules(const AppOption& before, const std::vector<std::string>& changed)
{
    for (const RuleField& f : kRules) {
        bool flipped = std::find(changed.begin(), changed.end(), f.name) != changed.end();
        EXPECT_EQ(TheOption().*f.member, flipped != (before.*f.member)) << f.name;
    }
    EXPECT_EQ(TheOption().AppFlag, before.AppFlag);
    EXPECT_EQ(TheOption().LogLevel, before.LogLevel);
}

void Press(QObject* dialog, const char* button) { Child<QAbstractButton>(dialog, button)->click(); }

}  // namespace

TEST_F(DialogsTest, DupOptionShowsTheTabsOfTheChosenApplications)
{
    const char* const pages[4] = {"tAddr", "tDate", "tTask", "tNote"};
    const char* const captions[4] = {"Contacts", "Calendar", "Task", "Notes"};
    TheOption().AddrBusiPhone = true;  // off by default
    TheOption().MemoDesc = false;      // on by default
    for (int32_t appFlag : {1, 0xA, 15}) {
        TheOption().AppFlag = appFlag;
        TfmDupOption dlg;
        EXPECT_EQ(dlg.size(), QSize(552, 486));
        auto* tabs = Child<QTabWidget>(&dlg, "pFields");
        for (int i = 0; i < 4; ++i) {
            auto* page = Child<QWidget>(&dlg, pages[i]);
            EXPECT_EQ(dlgtest::TabText(tabs, page), captions[i]);
            EXPECT_EQ(dlgtest::TabShown(tabs, page), (appFlag >> i & 1) != 0) << appFlag << " " << pages[i];
        }
        EXPECT_TRUE(tabs->isTabVisible(tabs->currentIndex())) << appFlag;
        // The boxes of the shown tabs follow the settings.
        if (appFlag & 1) {
            EXPECT_TRUE(Child<QCheckBox>(&dlg, "cbAddrBusiPhone")->isChecked());
            EXPECT_FALSE(Child<QCheckBox>(&dlg, "cbAddrFax")->isChecked());
        }
        if (appFlag & 8) {
            EXPECT_FALSE(Child<QCheckBox>(&dlg, "cbMemoDesc")->isChecked());
        }
        EXPECT_TRUE(Child<QCheckBox>(&dlg, "cbCaseSensitive")->isChecked());
        if (appFlag != 1)
            dlgtest::Shot(&dlg, appFlag == 15 ? "dlg_dupoption" : "dlg_dupoption_calendar_notes");
    }
}

TEST_F(DialogsTest, DupOptionOkStoresOnlyTheShownRulesCancelNothing)
{
    TheOption().AppFlag = 1;
    const AppOption before = TheOption();
    guitest::DialogDriver driver([](QDialog* d) {
        // Boxes of the hidden tabs (Date, Memo) are not the user's to change:
        // whatever they hold, OK leaves those rules alone.
        for (const char* box : {"cbAddrFirstName", "cbAddrFax", "cbDateDesc", "cbMemoNotes", "cbCaseSensitive"})
            Press(d, box);
        Press(d, "btnOK");
        return d->result();
    });
    TfmDupOption ok;
    EXPECT_EQ(ExecDialog(&ok), QDialog::Accepted);
    ExpectRules(before, {"AddrFirstName", "AddrFax", "CaseSensitive"});

    TheOption() = before;
    TheOption().AppFlag = 15;
    driver.SetDrive([](QDialog* d) {
        for (QCheckBox* box : d->findChildren<QCheckBox*>())
            box->click();
        Press(d, "btnCancel");
        return d->result();
    });
    TfmDupOption cancel;
    EXPECT_EQ(ExecDialog(&cancel), QDialog::Rejected);
    TheOption().AppFlag = 1;
    ExpectRules(before, {});
}

TEST_F(DialogsTest, DupOptionKeepsWhatItsDebugDialogChose)
{
    // The debug dialog opened from the rule dialog switches the log on; the
    // rule dialog's OK afterwards must not put the old switch back.
    const AppOption before = TheOption();
    ASSERT_FALSE(before.EnableDebug);
    guitest::DialogDriver driver([](QDialog* d) {
        bool debug = qobject_cast<TfmDebug*>(d) != nullptr;
        Press(d, debug ? "cbEnable" : "cbMemoNotes");
        if (!debug)
            Press(d, "btnDebug");
        Press(d, "btnOK");
        return d->result();
    });
    TfmDupOption dlg;
    EXPECT_EQ(ExecDialog(&dlg), QDialog::Accepted);
    EXPECT_EQ(driver.Seen(), (std::vector<std::string>{"TfmDupOption", "TfmDebug"}));
    ExpectRules(before, {"MemoNotes", "EnableDebug"});
    EXPECT_TRUE(TheLog().Enabled());
}

TEST_F(DialogsTest, DebugLowLevelIsStoredAndAppliedAtOnceCancelChangesNothing)
{
    // The level list shows the stored level; any level but 0 and 1 as "Low".
    const int32_t stored[] = {0, 1, 3, 7, -1};
    const int items[] = {0, 1, 2, 2, 2};
    for (int c = 0; c < 5; ++c) {
        TheOption().LogLevel = stored[c];
        TfmDebug dlg;
        EXPECT_EQ(Child<QComboBox>(&dlg, "cbxLevel")->currentIndex(), items[c]) << stored[c];
    }
    TheOption().LogLevel = 1;
    TheLog().SetEnabled(false);
    TheLog().SetLevel(1);
    CXLOG(2, "line before the dialog");
    EXPECT_FALSE(LogHas("line before the dialog"));

    TfmDebug dlg;
    EXPECT_EQ(dlg.windowTitle(), "Tarnwick Debug Log Options");
    EXPECT_EQ(dlg.size(), QSize(558, 395));
    auto* level = Child<QComboBox>(&dlg, "cbxLevel");
    EXPECT_FALSE(level->isEditable());
    ASSERT_EQ(level->count(), 3);
    EXPECT_EQ(level->itemText(2), "Low - Log very detail debug information.");
    dlgtest::Shot(&dlg, "dlg_debug");
    guitest::DialogDriver driver([](QDialog* d) {
        Press(d, "cbEnable");
        Child<QComboBox>(d, "cbxLevel")->setCurrentIndex(2);
        Press(d, "btnOK");
        return d->result();
    });
    EXPECT_EQ(ExecDialog(&dlg), QDialog::Accepted);
    EXPECT_TRUE(TheOption().EnableDebug);
    EXPECT_EQ(TheOption().LogLevel, 3);
    EXPECT_TRUE(TheLog().Enabled());
    EXPECT_EQ(TheLog().Level(), 3);
    CXLOG(2, "line after the dialog");
    EXPECT_TRUE(LogHas("line after the dialog"));

    driver.SetDrive([](QDialog* d) {
        Press(d, "cbEnable");
        Child<QComboBox>(d, "cbxLevel")->setCurrentIndex(0);
        Press(d, "btnCancel");
        return d->result();
    });
    TfmDebug cancel;
    EXPECT_EQ(ExecDialog(&cancel), QDialog::Rejected);
    EXPECT_TRUE(TheOption().EnableDebug && TheLog().Enabled());
    EXPECT_EQ(TheOption().LogLevel, 3);
    EXPECT_EQ(TheLog().Level(), 3);
}

TEST_F(DialogsTest, DebugLogLocationAndItsButtons)
{
    TfmDebug dlg;
    std::string folder = plat::ToHostPath(m_Settings);
    EXPECT_EQ(Child<QLineEdit>(&dlg, "edtFolder")->text().toStdString(), folder);
    EXPECT_EQ(Child<QLineEdit>(&dlg, "edtFile")->text().toStdString(), folder + "appdebug.log");

    dlgtest::OpenerRecorder opener;
    {
        // No log written yet: the file button says so and opens nothing.
        guitest::MessageRecorder messages;
        Press(&dlg, "btnFile");
        ASSERT_EQ(messages.Messages().size(), 1u);
        const GuiMessageInfo& m = messages.Messages()[0];
        EXPECT_EQ(m.Title, "Error");
        EXPECT_EQ(m.Text, "Debug log file doesn't exist");
        EXPECT_EQ(m.Icon, QMessageBox::Information);
        EXPECT_EQ(m.Parent, &dlg);
    }
    Press(&dlg, "btnFolder");
    EXPECT_EQ(opener.Opened(), folder);

    // A log switched off writes nothing; switched on, its first line makes the file.
    TheLog().SetEnabled(false);
    CXLOG(0, "a line of a log that is off");
    EXPECT_FALSE(std::filesystem::exists(m_LogHost));
    TheLog().SetEnabled(true);
    CXLOG(0, "a line that makes the log file");
    guitest::MessageRecorder messages;
    Press(&dlg, "btnFile");
    EXPECT_TRUE(messages.Messages().empty());
    EXPECT_EQ(opener.Opened(), m_LogHost);
}

TEST_F(DialogsTest, WithoutASettingsFolderTheLocationStaysEmpty)
{
    ASSERT_NE(std::getenv("XDG_DATA_HOME"), nullptr);
    // A folder below a file can never be made.
    std::ofstream(m_LogHost + ".file") << "x";
    std::optional<ScopedEnv> below(std::in_place, "XDG_DATA_HOME", (m_LogHost + ".file/below").c_str());
    TfmDebug debug;
    TfmDump dump;
    below.reset();
    std::filesystem::remove(m_LogHost + ".file");
    for (QDialog* d : {static_cast<QDialog*>(&debug), static_cast<QDialog*>(&dump)}) {
        EXPECT_TRUE(Child<QLineEdit>(d, "edtFolder")->text().isEmpty());
        EXPECT_TRUE(Child<QLineEdit>(d, "edtFile")->text().isEmpty());
        EXPECT_FALSE(Child<QPushButton>(d, "btnFolder")->isEnabled());
        EXPECT_FALSE(Child<QPushButton>(d, "btnFile")->isEnabled());
    }
}

TEST_F(DialogsTest, DumpTextsAndTheBugReportLink)
{
    TfmDump dlg;
    EXPECT_EQ(dlg.windowTitle(), "Handle Tarnwick Exception");
    EXPECT_EQ(dlg.size(), QSize(563, 401));
    QStringList texts;
    for (QLabel* l : dlg.findChildren<QLabel*>())
        texts << l->text();
    for (const char* t : {"We're sorry that an unhandled exception occurred  in Tarnwick.", "Please contact us at:",
                          "It is very appreciated if you can include the debug information in your error report."})
        EXPECT_TRUE(texts.contains(QString::fromLatin1(t))) << t;
    EXPECT_EQ(Child<QPushButton>(&dlg, "btnExit")->text(), "Quit Tarnwick");
    EXPECT_EQ(Child<QLineEdit>(&dlg, "edtFolder")->text().toStdString(), plat::ToHostPath(m_Settings));
    auto* support = Child<QLabel>(&dlg, "lblSupport");
    EXPECT_EQ(support->text(), "support@brellon.example");
    dlgtest::Shot(&dlg, "dlg_dump");

    // A click on the address, as the mouse makes it.
    dlgtest::OpenerRecorder opener;
    QPointF at = support->rect().center();
    QMouseEvent press(QEvent::MouseButtonPress, at, support->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, at, support->mapToGlobal(at), Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(support, &press);
    QApplication::sendEvent(support, &release);
    EXPECT_EQ(opener.Opened(), "mailto:support@brellon.example?subject=Tarnwick Bug Report");

    // The debug options open on top; the exception dialog stays.
    guitest::DialogDriver driver;
    Press(&dlg, "btnDebug");
    EXPECT_EQ(driver.Seen(), std::vector<std::string>{"TfmDebug"});
    EXPECT_TRUE(dlg.isVisible());
}

TEST_F(DialogsTest, DumpQuitClosesTheMainWindow)
{
    /// A main window that counts the close requests it gets.
    struct Window : QWidget {
        int closes = 0;
        void closeEvent(QCloseEvent* e) override { ++closes, QWidget::closeEvent(e); }
    } main;
    auto* page = new QWidget(&main);
    main.show();
    {
        guitest::DialogDriver driver([](QDialog* d) {
            Press(d, "btnExit");
            return d->result();
        });
        TfmDump dlg(page);
        EXPECT_EQ(ExecDialog(&dlg), QDialog::Rejected);
        // The request is posted: the window closes once the dialog is gone.
        EXPECT_EQ(main.closes, 0);
    }
    QApplication::processEvents();
    EXPECT_EQ(main.closes, 1);
    EXPECT_FALSE(main.isVisible());
}
