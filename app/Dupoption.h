// TfmDupOption: the duplicate-rule dialog. One tab per chosen application
// with a check box for every field the duplicate check may compare, and the
// case sensitivity of text comparison. OK writes the boxes of the shown tabs
// and the case switch back into the option set; the rules of applications
// not chosen, and every other option, stay as they are.
#pragma once

#include <QDialog>

#include <cstdint>
#include <vector>

class QCheckBox;
class QPushButton;
class QTabWidget;
class QWidget;
class TBanner;
struct AppOption;

class TfmDupOption : public QDialog {
    Q_OBJECT
public:
    static constexpr int kClientWidth = 552;
    static constexpr int kClientHeight = 486;

    /// Shows the tabs of the applications chosen in AppFlag and loads every
    /// box from the option set.
    explicit TfmDupOption(QWidget* parent = nullptr);
    /// The same for the applications of `appFlag` (AppFlag bits), such as
    /// those ticked on the source page before they are stored.
    TfmDupOption(QWidget* parent, int32_t appFlag);

public slots:
    void btnOKClick();
    void btnDebugClick();

private:
    /// One check box and the option it edits.
    struct Rule {
        QCheckBox* box;
        bool AppOption::*setting;
    };
    /// One application's tab and its rules.
    struct AppTab {
        QWidget* page;
        int appBit;
        std::vector<Rule> rules;
    };

    struct RuleDef {
        const char* name;
        const char* caption;
        bool AppOption::*setting;
    };
    void AddTab(const char* pageName, const QString& caption, int appBit, const std::vector<RuleDef>& defs);
    void FillControls(int32_t appFlag);
    void StoreControls();

    TBanner* m_pBanner;
    QTabWidget* pFields;
    QCheckBox* cbCaseSensitive;
    QPushButton* btnOK;
    QPushButton* btnCancel;
    QPushButton* btnDebug;
    std::vector<AppTab> m_Tabs;
    /// The applications the dialog was made for: the tabs shown and the
    /// rules OK writes.
    int m_AppFlag = 0;
};
