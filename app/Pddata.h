// TfmPDData: step 1 of the wizard. Reloads the chosen applications, finds
// their duplicates and lists them, ticked, one tab per application; the user
// unticks what should stay (or shows every record and ticks by hand), may
// change the rule and open a record's viewer. Leaving the page turns the
// ticks into the records' selected-for-deletion flag.
#pragma once

#include "Page.h"
#include "PddataModel.h"

#include <QString>

#include <unordered_map>

class QCheckBox;
class QLabel;
class QPushButton;
class QTabWidget;
class QTreeView;
class QModelIndex;

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

public slots:
    void btnRefreshClick();
    void cbCaseClick();
    void btnOptionClick();
    void btnSelAllClick();
    void btnClearClick();

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
    /// Records in the manager of an application, 0 without a facade set.
    uint32_t RecordCount(int app) const;
    int DupCount(int app) const;

    QTabWidget* pData;
    QCheckBox* cbCase;
    QPushButton* btnOption;
    QPushButton* btnRefresh;
    QPushButton* btnSelAll;
    QPushButton* btnClear;
    Tab m_Tabs[4];
};
