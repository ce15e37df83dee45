// TfmPDData: step 1 of the wizard. Reloads the chosen applications, finds
// their duplicates and lists them, ticked, one tab per application; the user
// unticks what should stay (or shows every record and ticks by hand), may
// change the rule and open a record's viewer. Leaving the page turns the
// ticks into the records' selected-for-deletion flag.
#pragma once

#include "Page.h"
#include "PddataModel.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <unordered_map>
#include <vector>

class QCheckBox;
class QLabel;
class QPushButton;
class QTabWidget;
class QTreeView;
class QModelIndex;
class QPoint;

class TfmPDData : public TfmPage {
    Q_OBJECT
public:
    TfmPDData(TfmMain* main, QWidget* parent);

    bool Enter() override;
    /// Records the ticks. Asks first when more than half of an
    /// application's records are ticked; No keeps the wizard here.
    bool Leave() override;
    /// Names the applications whose load failed (one warning for all).
    void Shown() override;

    /// The model of an application's list (0 contacts .. 3 notes).
    TRecordListModel* Model(int app) const { return m_Tabs[app].model; }
    /// The list of an application, and the one shown now.
    QTreeView* List(int app) const { return m_Tabs[app].list; }
    int CurrentApp() const;

public slots:
    void btnRefreshClick();
    void cbCaseClick();
    void btnOptionClick();
    void btnSelAllClick();
    void btnClearClick();
    void btnIdenticalClick();
    /// Shows the current row's record beside the record kept in its place.
    void btnCompareClick();

private:
    struct Tab {
        TRecordKind kind;
        int32_t bit;          ///< the application's AppFlag bit
        const char* plural;   ///< "Contacts": tab caption and messages
        const char* singular; ///< "Contact": the count label
        QWidget* page = nullptr;
        QTreeView* list = nullptr;
        TRecordListModel* model = nullptr;
        QCheckBox* all = nullptr;
        QLabel* count = nullptr;
        /// The ticks of the list's rows when "Display All" was last
        /// switched, by record; forgotten at every detection.
        std::unordered_map<const void*, bool> kept;
        /// The last detection's groups: each duplicate's kept record, in
        /// the order of the duplicate list, and every member by record.
        std::vector<const void*> keepers;
        std::shared_ptr<TGroupMap> groups;
    };

    Tab* MakeTab(int app, TRecordKind kind, int32_t bit, const char* caption, const char* plural,
                 const char* singular, const char* listName, const char* allName, const char* allText,
                 const char* countName);
    bool Shown(int app) const;
    void Detect(int app);
    void Fill(int app);
    /// "Display All" switched: the list changes between the duplicates and
    /// every record, and the ticks set so far stay with their records.
    void AllClick(int app);
    void DetectAndFillAll();
    void ShowLoadFailures();
    void OpenViewer(int app, const QModelIndex& index);
    void ShowRowMenu(int app, const QPoint& at);
    void Compare(int app, int row);
    /// The Compare button follows the current row.
    void UpdateCompare();
    /// Asks before deleting; false keeps the wizard on the page.
    bool ConfirmDeletion(const QStringList& counts);
    /// Records in the manager of an application, 0 without a facade set.
    uint32_t RecordCount(int app) const;
    int DupCount(int app) const;

    QTabWidget* pData;
    QCheckBox* cbCase;
    QPushButton* btnOption;
    QPushButton* btnRefresh;
    QPushButton* btnSelAll;
    QPushButton* btnClear;
    QPushButton* btnIdentical;
    QPushButton* btnCompare;
    Tab m_Tabs[4];
};
