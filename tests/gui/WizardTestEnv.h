// A wizard under test: a Palm Desktop installation of a chosen generation
// with generated data for one user, the settings folder in a temporary
// folder of its own, message boxes and modal dialogs answered by the test,
// and the checks of the data files after a deletion.
#pragma once

#include "GuiTestEnv.h"
#include "ScopedOption.h"
#include "Main.h"
#include "palm/PalmInfoTestEnv.h"

#include "Apputil.h"
#include "ApputilFacadeSet.h"
#include "Pdclean.h"
#include "Pddata.h"
#include "Pdsource.h"

#include "misc/CxIniUtil.h"
#include "palm/PalmAddr.h"
#include "palm/PalmAddrEx.h"
#include "palm/PalmAddrEx2.h"
#include "palm/PalmDate.h"
#include "palm/PalmDateEx.h"
#include "palm/PalmDateEx2.h"
#include "palm/PalmMemo.h"
#include "palm/PalmMemoEx.h"
#include "palm/PalmMemoEx2.h"
#include "palm/PalmTodo.h"
#include "palm/PalmTodoEx.h"
#include "palm/PalmTodoEx2.h"
#include "palmfixture/Generator.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTreeView>

#include <memory>
#include <set>

namespace guitest {

/// The generations and the palm.exe versions that select them.
struct GenCase {
    const char* name;
    uint16_t major, minor, build;
};
inline const GenCase kClassic{"classic", 4, 0, 0};
inline const GenCase kEx{"ex", 4, 1, 4};
inline const GenCase kEx2{"ex2", 6, 0, 0};

/// The data file (or database) of an application (0 contacts .. 3 notes)
/// below a user folder, for a generation.
inline std::string AppFile(const infotest::PalmInstall& env, int gen, int app)
{
    if (gen == kPmGenEx2)
        return palmfix::Ex2DatabasePath(env.UserFolder(), app + 1);
    static const char* const kFiles[] = {"address\\address.dat", "datebook\\datebook.dat", "todo\\todo.dat",
                                         "memopad\\memopad.dat"};
    return env.UserFile(kFiles[app]);
}

/// The status word of every record the application's loader reads, in file
/// order (deleted and hidden records included).
template <typename Mgr>
std::vector<uint32_t> StatusesOf(Mgr* mgr)
{
    std::vector<uint32_t> out;
    if (!mgr)
        return out;
    for (auto* r = mgr->First(); r; r = mgr->Next())
        out.push_back(uint32_t(r->Status));
    return out;
}

template <typename U>
std::vector<uint32_t> ClassicStatuses(uint32_t user)
{
    U u;
    EXPECT_TRUE(u.LoadUserFile(int32_t(user)));
    return StatusesOf(u.GetDataMgr());
}
template <typename U>
std::vector<uint32_t> ExStatuses(uint32_t user)
{
    U u;
    EXPECT_TRUE(u.LoadUserFile(user));
    return StatusesOf(u.DataMgr());
}
template <typename U>
std::vector<uint32_t> Ex2Statuses(uint32_t user)
{
    U u;
    EXPECT_TRUE(u.LoadByUser(user));
    return StatusesOf(u.DataMgr());
}

/// The status words of an application's records as its loader reads them.
inline std::vector<uint32_t> LoaderStatuses(int gen, int app, uint32_t user)
{
    switch (gen * 10 + app) {
    case 10: return ClassicStatuses<PmAddrUtil>(user);
    case 11: return ClassicStatuses<PmDateUtil>(user);
    case 12: return ClassicStatuses<PmTodoUtil>(user);
    case 13: return ClassicStatuses<PmMemoUtil>(user);
    case 20: return ExStatuses<PmAddrExUtil>(user);
    case 21: return ExStatuses<PmDateExUtil>(user);
    case 22: return ExStatuses<PmTodoExUtil>(user);
    case 23: return ExStatuses<PmMemoExUtil>(user);
    case 30: return Ex2Statuses<PmAddrEx2Util>(user);
    case 31: return Ex2Statuses<PmDateEx2Util>(user);
    case 32: return Ex2Statuses<PmTodoEx2Util>(user);
    case 33: return Ex2Statuses<PmMemoEx2Util>(user);
    default: ADD_FAILURE() << "no loader for generation " << gen << " application " << app; return {};
    }
}

class Wizard {
public:
    explicit Wizard(const GenCase& g, uint32_t records = 12, uint32_t duplicates = 4, bool writeData = true)
        : m_Env(g.major, g.minor, g.build), m_Gen(g)
    {
        m_Xdg = m_Env.Inst().winePrefix + "/../xdg";
        std::filesystem::create_directories(m_Xdg);
        m_OldXdg = getenv("XDG_DATA_HOME") ? getenv("XDG_DATA_HOME") : "";
        setenv("XDG_DATA_HOME", m_Xdg.c_str(), 1);
        TheOption() = DefaultOption();
        TheIni().SetPath("brellon.ini");
        if (writeData) {
            std::string error;
            uint32_t version = uint32_t(g.major) * 10000 + g.minor * 100 + g.build;
            EXPECT_TRUE(palmfix::GenerateUserData(m_Env.UserFolder(), version, {records, duplicates, 7},
                                                  palmfix::kGenAll, &error))
                << error;
        }
    }
    ~Wizard()
    {
        m_Main.reset();
        plat::ClearFileFaults();
        if (m_OldXdg.empty())
            unsetenv("XDG_DATA_HOME");
        else
            setenv("XDG_DATA_HOME", m_OldXdg.c_str(), 1);
    }

    /// Creates the window (after the test has prepared the installation).
    TfmMain* Start()
    {
        m_Main = std::make_unique<TfmMain>();
        m_Main->show();
        return m_Main.get();
    }
    TfmMain* Main() const { return m_Main.get(); }
    infotest::PalmInstall& Env() { return m_Env; }
    int Generation() const
    {
        uint32_t v = uint32_t(m_Gen.major) * 10000 + m_Gen.minor * 100 + m_Gen.build;
        return PmChooseGeneration(v, false);
    }
    std::string SettingsFile() const { return m_Xdg + "/brellon/Tarnwick/brellon.ini"; }
    std::string SettingsText() const { return infotest::ReadBytes(SettingsFile()); }

    template <typename T>
    T* Find(const char* name) const
    {
        T* w = m_Main->findChild<T*>(name);
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    /// Clicks the button of that name on the frame or the page shown (the
    /// pages have buttons of the same names).
    void Click(const char* button)
    {
        for (QPushButton* b : m_Main->findChildren<QPushButton*>(button))
            if (b->isVisibleTo(m_Main.get())) {
                b->click();
                return;
            }
        ADD_FAILURE() << "no visible button " << button;
    }
    /// Clicks a check box of a page (its clicked signal runs, as for a user).
    void ClickBox(QWidget* page, const char* box) { page->findChild<QCheckBox*>(box)->click(); }

    QTabWidget* Tabs() const { return Find<QTabWidget>("pData"); }
    TRecordListModel* Model(int app) const { return m_Main->DataPage()->Model(app); }

    /// Waits until the deletion has run (its timer fires after a second).
    bool WaitDeletion(int ms = 20000)
    {
        return QTest::qWaitFor([this] { return m_Main->CleanPage()->Finished(); }, ms);
    }
    QStringList LogLines() const { return Find<QPlainTextEdit>("memLog")->toPlainText().split('\n'); }

    MessageRecorder& Messages() { return m_Messages; }
    DialogDriver& Dialogs() { return m_Dialogs; }

private:
    // Made first and undone last: the option set and settings file the
    // wizard changes.
    testenv::ScopedOption m_Option;
    testenv::ScopedIniPath m_IniPath;
    infotest::PalmInstall m_Env;
    GenCase m_Gen;
    std::string m_Xdg;
    std::string m_OldXdg;
    MessageRecorder m_Messages;
    DialogDriver m_Dialogs;
    std::unique_ptr<TfmMain> m_Main;
};

}  // namespace guitest

namespace guitest {

/// What the data files of an installation hold before a deletion.
struct DataSnapshot {
    std::vector<uint32_t> statuses[4];
    std::string bytes[4];                              ///< .dat files
    std::vector<std::vector<std::string>> rows[4];     ///< 6.x Main tables
};

inline DataSnapshot TakeSnapshot(Wizard& w, int32_t apps = 0xF)
{
    DataSnapshot s;
    int gen = w.Generation();
    for (int app = 0; app < 4; ++app) {
        if (!(apps & (1 << app)))
            continue;
        s.statuses[app] = LoaderStatuses(gen, app, w.Env().UserId());
        std::string file = AppFile(w.Env(), gen, app);
        if (gen == kPmGenEx2)
            s.rows[app] = palmfix::Ex2DumpTable(file, "Main");
        else
            s.bytes[app] = infotest::ReadBytes(file);
    }
    return s;
}

/// After a deletion: exactly the records at the live positions `deleted`
/// (positions among the records the facade shows) have the deleted status,
/// and nothing else of the file or table changed.
inline void ExpectOnlyDeleted(Wizard& w, const DataSnapshot& before, int app, const std::set<int>& deleted)
{
    int gen = w.Generation();
    std::vector<uint32_t> after = LoaderStatuses(gen, app, w.Env().UserId());
    // What the loader reads afterwards: every record as before, the deleted
    // ones with the deleted status; a loader that keeps deleted records out
    // of its records (classic tasks and memos) reads them no more.
    std::vector<uint32_t> expected, hidden;
    std::set<size_t> fileRows;
    int live = 0;
    for (size_t i = 0; i < before.statuses[app].size(); ++i) {
        uint32_t status = before.statuses[app][i];
        bool wasLive = PmIsLiveStatus(status);
        if (wasLive && deleted.count(live)) {
            expected.push_back(kPmStatusDeleted);
            fileRows.insert(i);
        } else {
            expected.push_back(status);
            hidden.push_back(status);
        }
        if (wasLive)
            ++live;
    }
    EXPECT_EQ(fileRows.size(), deleted.size());
    if (after.size() == expected.size())
        EXPECT_EQ(after, expected) << "application " << app;
    else
        EXPECT_EQ(after, hidden) << "application " << app;
    std::string file = AppFile(w.Env(), gen, app);
    if (gen == kPmGenEx2) {
        auto rows = palmfix::Ex2DumpTable(file, "Main");
        ASSERT_EQ(rows.size(), before.rows[app].size());
        for (size_t r = 0; r < rows.size(); ++r)
            for (size_t c = 0; c < rows[r].size(); ++c) {
                if (c == 1 && fileRows.count(r))
                    EXPECT_EQ(rows[r][c], "int:132");
                else
                    EXPECT_EQ(rows[r][c], before.rows[app][r][c]) << r << "," << c;
            }
    } else {
        std::string saved = infotest::ReadBytes(file);
        ASSERT_EQ(saved.size(), before.bytes[app].size());
        std::vector<size_t> diff = infotest::DiffPositions(before.bytes[app], saved);
        EXPECT_EQ(diff.size(), deleted.size()) << "application " << app;
        for (size_t pos : diff)
            EXPECT_EQ(uint8_t(saved[pos]), 0x84);
    }
}

/// The manager position of every ticked row of a review list.
inline std::set<int> TickedPositions(TfmPDData* page, PmFacadeSet* set, int app)
{
    std::set<int> out;
    TRecordListModel* m = page->Model(app);
    for (int row = 0; row < m->Count(); ++row) {
        if (!m->IsChecked(row))
            continue;
        int pos = -1;
        switch (app) {
        case 0: pos = set->Addr()->GetCommMgr()->IndexOf(static_cast<CommAddr*>(m->RecordAt(row))); break;
        case 1: pos = set->Date()->GetCommMgr()->IndexOf(static_cast<CommDate*>(m->RecordAt(row))); break;
        case 2: pos = set->Todo()->GetCommMgr()->IndexOf(static_cast<CommTask*>(m->RecordAt(row))); break;
        case 3: pos = set->Memo()->GetCommMgr()->IndexOf(static_cast<CommNote*>(m->RecordAt(row))); break;
        }
        out.insert(pos);
    }
    return out;
}

}  // namespace guitest
