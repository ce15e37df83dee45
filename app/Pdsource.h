// TfmPDSource: step 0 of the wizard. Shows the installed Palm Desktop
// version, lets the user pick a Palm Desktop user and the applications to
// check, and opens the duplicate-rule dialog. Leaving it stores the choice
// and builds the facade set, which loads the chosen applications.
#pragma once

#include "Page.h"

#include <QString>

#include <memory>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class PmFacadeSet;

class TfmPDSource : public TfmPage {
    Q_OBJECT
public:
    TfmPDSource(TfmMain* main, QWidget* parent);
    ~TfmPDSource() override;

    bool Enter() override;
    bool Leave() override;

    /// Builds the facade set for the stored user and applications; false
    /// when a facade or list cannot be created.
    bool BuildFacadeSet();
    /// The AppFlag bits of the application boxes ticked now.
    int32_t CheckedApps() const;
    void ReleaseFacadeSet();
    PmFacadeSet* FacadeSet() { return m_pSet.get(); }

public slots:
    void btnSelAllClick();
    void btnClearClick();
    void btnOptionClick();
    /// Asks for a Palm Desktop folder (one that holds the HotSync user
    /// library UserData.dll and the users' folders), keeps it in the user's
    /// settings, binds the libraries and reads the users again from it, and
    /// fills the user list and the version anew. A folder without the user
    /// library is refused with a message, and nothing changes.
    void btnPDFolderClick();
    /// Opens the restore dialog for the user chosen in the list: the
    /// backups kept of that user's data files, and the restore of one.
    void btnRestoreClick();

private:
    /// Fills the user list (preselecting the stored user) and the version.
    void FillSource();

    QLabel* lblPDVer;
    QPushButton* btnPDFolder;
    QComboBox* cbUser;
    QCheckBox* cbAddr;
    QCheckBox* cbDate;
    QCheckBox* cbTask;
    QCheckBox* cbNote;
    QPushButton* btnSelAll;
    QPushButton* btnClear;
    QPushButton* btnOption;
    QPushButton* btnRestore;
    std::unique_ptr<PmFacadeSet> m_pSet;
};
