// Step 0 and the window frame around it: the keyboard mnemonics, the rule
// dialog opened from the page, the choice of a Palm Desktop folder, Help
// without an opener, and a log that stays off.
#include "WizardTestEnv.h"

#include "ProgramFolder.h"

#include "platform/Shell.h"
#include "platform/System.h"
#include "platform/WinPath.h"

#include <QAbstractButton>
#include <QKeySequence>

#include <map>

using namespace guitest;

namespace {

/// The mnemonic letter of a caption ("C&lear": 'l'), 0 for none.
QChar Mnemonic(const QString& text)
{
    for (int i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != QLatin1Char('&'))
            continue;
        if (text[i + 1] == QLatin1Char('&')) {
            ++i;
            continue;
        }
        return text[i + 1].toLower();
    }
    return QChar();
}

}  // namespace

// Every control of the window, on every page and whatever step shows it,
// has a mnemonic of its own: Alt+letter reaches one control only. The
// bottom bar's third button says "&Finish" on step 2.
TEST(SourcePage, EveryMnemonicOfTheWindowIsItsOwn)
{
    Wizard w(kEx, 4, 1);
    TfmMain* m = w.Start();
    std::map<QChar, QStringList> owners;
    for (QAbstractButton* b : m->findChildren<QAbstractButton*>()) {
        QChar c = Mnemonic(b->text());
        if (!c.isNull())
            owners[c] << b->objectName();
    }
    owners[QLatin1Char('f')] << "btnCancel as &Finish";
    for (const auto& [letter, names] : owners)
        EXPECT_EQ(names.size(), 1) << "Alt+" << QString(letter).toStdString() << ": "
                                   << names.join(", ").toStdString();
    EXPECT_EQ(Mnemonic(w.Find<QPushButton>("btnCancel")->text()), QLatin1Char('c'));
    // The page's "Clear" (the review page has a button of that name too).
    EXPECT_FALSE(Mnemonic(m->SourcePage()->findChild<QPushButton*>("btnClear")->text()).isNull());
    EXPECT_FALSE(Mnemonic(w.Find<QPushButton>("btnPDFolder")->text()).isNull());
}

// The rule dialog opened on step 0 shows the applications ticked there now,
// before Next stores them; its OK writes the rules of those only.
TEST(SourcePage, RuleDialogFollowsTheTickedApplications)
{
    Wizard w(kEx, 4, 1);
    TfmMain* m = w.Start();
    ASSERT_EQ(TheOption().AppFlag, 15);
    w.ClickBox(m->SourcePage(), "cbDate");
    w.ClickBox(m->SourcePage(), "cbTask");
    const bool dateNotes = TheOption().DateNotes;
    std::vector<bool> shown;
    w.Dialogs().SetDrive([&](QDialog* d) {
        auto* tabs = d->findChild<QTabWidget*>("pFields");
        for (const char* page : {"tAddr", "tDate", "tTask", "tNote"})
            shown.push_back(tabs->isTabVisible(tabs->indexOf(d->findChild<QWidget*>(page))));
        d->findChild<QCheckBox*>("cbAddrCompany")->setChecked(true);
        d->findChild<QCheckBox*>("cbDateNotes")->setChecked(!dateNotes);
        d->findChild<QPushButton*>("btnOK")->click();
        return d->result();
    });
    w.Click("btnOption");
    ASSERT_EQ(w.Dialogs().Seen(), std::vector<std::string>{"TfmDupOption"});
    EXPECT_EQ(shown, (std::vector<bool>{true, false, false, true}));
    EXPECT_TRUE(TheOption().AddrCompany);
    EXPECT_EQ(TheOption().DateNotes, dateNotes);  // its tab was not shown
    EXPECT_EQ(TheOption().AppFlag, 15);           // stored by Next only
}

// Next with no application ticked is refused, and the stored choice stays the
// last one that was used: closing then keeps it for the next start.
TEST(SourcePage, ClosingAfterNoApplicationKeepsTheLastChoice)
{
    Wizard w(kEx, 4, 1);
    std::filesystem::create_directories(w.SettingsFile().substr(0, w.SettingsFile().rfind('/')));
    palmfix::WriteFile(w.SettingsFile(), "[DCOption]\r\nAppFlag=9\r\n");
    TfmMain* m = w.Start();
    w.Click("btnClear");
    w.Click("btnNext");
    EXPECT_EQ(m->CurrentStep(), 0);
    ASSERT_EQ(w.Messages().Messages().size(), 1u);
    w.Click("btnCancel");
    EXPECT_NE(w.SettingsText().find("AppFlag=9\r\n"), std::string::npos) << w.SettingsText();

    w.Start();
    EXPECT_TRUE(w.Find<QCheckBox>("cbAddr")->isChecked());
    EXPECT_FALSE(w.Find<QCheckBox>("cbDate")->isChecked());
    EXPECT_FALSE(w.Find<QCheckBox>("cbTask")->isChecked());
    EXPECT_TRUE(w.Find<QCheckBox>("cbNote")->isChecked());
}

// Help with no program to open the guide says so and names the guide.
TEST(SourcePage, HelpWithoutAnOpenerNamesTheGuide)
{
    Wizard w(kEx, 4, 1);
    std::filesystem::create_directories(w.Env().Inst().winePrefix + "/../program");
    const std::string folder = std::filesystem::canonical(w.Env().Inst().winePrefix + "/../program").string();
    palmfix::WriteFile(folder + "/tarnwick", "");
    palmfix::WriteFile(folder + "/Tarnwick.html", "<html></html>");
    testenv::ScopedModuleFileName program(plat::ToWinPath(folder + "/tarnwick"));
    plat::SetShellOpener(folder + "/no-opener-here");
    w.Start();
    w.Click("btnHelp");
    plat::SetShellOpener("");
    ASSERT_EQ(w.Messages().Messages().size(), 1u);
    const GuiMessageInfo& box = w.Messages().Messages()[0];
    EXPECT_EQ(box.Icon, QMessageBox::Warning);
    EXPECT_TRUE(box.Text.contains(QString::fromStdString(folder + "/Tarnwick.html"))) << box.Text.toStdString();
    EXPECT_TRUE(box.Text.contains("xdg-open")) << box.Text.toStdString();
}

// With no Palm Desktop found, a folder chosen on step 0 is checked, kept in
// the user's settings, and the version and users are read from it at once
// and at the next start.
TEST(SourcePage, ChosenPalmDesktopFolderIsUsedAndKept)
{
    Wizard w(kEx, 6, 2);
    // The installation was copied elsewhere: the registry names a folder
    // that is gone.
    const std::string copied = w.Env().Inst().winePrefix + "/../copied Palm";
    std::filesystem::rename(w.Env().Inst().dir, copied);
    const std::string folder = std::filesystem::canonical(copied).string();
    TfmMain* m = w.Start();
    EXPECT_EQ(w.Find<QLabel>("lblPDVer")->text(), "Not Found.");
    EXPECT_EQ(w.Find<QComboBox>("cbUser")->count(), 0);
    auto* button = w.Find<QPushButton>("btnPDFolder");
    EXPECT_TRUE(button->isVisible());
    SaveShot(m, "step0_choose_folder");
    w.Messages().Clear();

    QStringList asked;
    QString answer;
    SetGuiFolderChooser([&](QWidget*, const QString& caption, const QString&) {
        asked << caption;
        return answer;
    });
    // Cancelled: nothing happens.
    button->click();
    EXPECT_EQ(asked.size(), 1);
    EXPECT_TRUE(w.Messages().Messages().empty());

    // A path longer than Palm's folder names is refused, and so is a
    // folder without the user library; nothing is stored.
    answer = QString::fromStdString(folder + "/") + QString(260, QLatin1Char('x'));
    button->click();
    ASSERT_EQ(w.Messages().Messages().size(), 1u);
    EXPECT_TRUE(w.Messages().Messages()[0].Text.contains("too long"));
    w.Messages().Clear();
    answer = QString::fromStdString(folder + "/" + w.Env().Inst().users[0]);
    button->click();
    ASSERT_EQ(w.Messages().Messages().size(), 1u);
    EXPECT_EQ(w.Messages().Messages()[0].Icon, QMessageBox::Critical);
    EXPECT_TRUE(w.Messages().Messages()[0].Text.contains("UserData.dll"));
    EXPECT_EQ(w.Find<QLabel>("lblPDVer")->text(), "Not Found.");
    EXPECT_EQ(infotest::ReadBytes(plat::ToWinPath(w.SettingsFile())).find("PDPath"), std::string::npos);

    // The Palm Desktop folder: version, users and data come from it.
    answer = QString::fromStdString(folder + "/");
    button->click();
    SetGuiFolderChooser({});
    EXPECT_EQ(w.Messages().Messages().size(), 1u);
    EXPECT_EQ(w.Find<QLabel>("lblPDVer")->text(), "4.1.4.7");
    EXPECT_TRUE(w.Find<QLabel>("lblPDVer")->styleSheet().contains("blue"));
    ASSERT_EQ(w.Find<QComboBox>("cbUser")->count(), 1);
    EXPECT_EQ(w.Find<QComboBox>("cbUser")->currentText(), QString::fromStdString(w.Env().Inst().users[0]));
    EXPECT_NE(w.SettingsText().find("[Path]\r\nPDPath=" + folder + "\r\n"), std::string::npos) << w.SettingsText();
    w.Click("btnNext");
    ASSERT_EQ(m->CurrentStep(), 1);
    EXPECT_EQ(w.Find<QLabel>("lblAddrCount")->text(), "6 Contact records in total");
    m->close();

    // The next start finds it, and the settings keep it beside the options.
    w.Messages().Clear();
    w.Start();
    EXPECT_TRUE(w.Messages().Messages().empty());
    EXPECT_EQ(w.Find<QLabel>("lblPDVer")->text(), "4.1.4.7");
    EXPECT_EQ(w.Find<QComboBox>("cbUser")->count(), 1);
    w.Main()->close();
    EXPECT_NE(w.SettingsText().find("PDPath=" + folder), std::string::npos);
    EXPECT_NE(w.SettingsText().find("AppFlag=15"), std::string::npos);
}

// A troubleshooting log that is off writes nothing, not even at start-up or
// when a load fails: no appdebug.log appears.
TEST(SourcePage, LogThatIsOffWritesNothing)
{
    Wizard w(kEx, 4, 1);
    palmfix::WriteFile(plat::ToHostPath(w.Env().UserFile("address\\address.dat")), "not a Palm file");
    TfmMain* m = w.Start();
    ASSERT_FALSE(TheLog().Enabled());
    w.Click("btnNext");
    ASSERT_EQ(m->CurrentStep(), 1);
    ASSERT_EQ(w.Messages().Messages().size(), 1u);  // the failed load, told to the user
    m->close();
    const std::string folder = w.SettingsFile().substr(0, w.SettingsFile().rfind('/'));
    EXPECT_FALSE(std::filesystem::exists(folder + "/appdebug.log"));
    EXPECT_FALSE(std::filesystem::exists("appdebug.log"));
}
