#include "Dupoption.h"

#include "Apputil.h"
#include "Debugger.h"
#include "GuiUtil.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

TfmDupOption::TfmDupOption(QWidget* parent) : TfmDupOption(parent, TheOption().AppFlag) {}

TfmDupOption::TfmDupOption(QWidget* parent, int32_t appFlag) : QDialog(parent)
{
    setObjectName(QStringLiteral("fmDupOption"));
    setWindowTitle(QStringLiteral("Set Tarnwick Options"));
    setWindowIcon(AppIcon());

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);
    m_pBanner = new TBanner(this);
    m_pBanner->SetTitle(QStringLiteral("Tarnwick"));
    m_pBanner->SetText(QStringLiteral("Choose the fields that make two records duplicates."));
    outer->addWidget(m_pBanner);

    auto* body = new QVBoxLayout;
    body->setContentsMargins(16, 12, 16, 14);
    body->setSpacing(8);
    outer->addLayout(body, 1);

    // One label that wraps where the font needs it: the two lines of text
    // are wider than the dialog in some fonts.
    auto* lblHint = new QLabel(
        QStringLiteral("You may customize the duplicate checking rule here, Tarnwick will check the record fields as "
                       "you specified below:"),
        this);
    lblHint->setObjectName(QStringLiteral("lblHint"));
    lblHint->setWordWrap(true);
    body->addWidget(lblHint);

    pFields = new QTabWidget(this);
    pFields->setObjectName(QStringLiteral("pFields"));
    body->addWidget(pFields, 1);

    using O = AppOption;
    AddTab("tAddr", QStringLiteral("Contacts"), kAppAddr,
           {{"cbAddrFirstName", "First Name", &O::AddrFirstName},
            {"cbAddrMiddleName", "Middle Name", &O::AddrMiddleName},
            {"cbAddrLastName", "Last Name", &O::AddrLastName},
            {"cbAddrBusiPhone", "Business Phone", &O::AddrBusiPhone},
            {"cbAddrHomePhone", "Home Phone", &O::AddrHomePhone},
            {"cbAddrEmail", "Email Address", &O::AddrEmail},
            {"cbAddrBusiAddr", "Business Address", &O::AddrBusiAddr},
            {"cbAddrHomeAddr", "Home Address", &O::AddrHomeAddr},
            {"cbAddrMobilePhone", "Mobile Phone", &O::AddrMobilePhone},
            {"cbAddrCompany", "Company", &O::AddrCompany},
            {"cbAddrTitle", "Job Title", &O::AddrTitle},
            {"cbAddrFax", "Fax Number", &O::AddrFax}});
    AddTab("tDate", QStringLiteral("Calendar"), kAppDate,
           {{"cbDateDesc", "Description", &O::DateDesc},
            {"cbDateStartTime", "Start Time", &O::DateStartTime},
            {"cbDateEndTime", "End Time", &O::DateEndTime},
            {"cbDateAllDayEvent", "All Day Event", &O::DateAllDayEvent},
            {"cbDateLocation", "Location", &O::DateLocation},
            {"cbDateNotes", "Notes", &O::DateNotes},
            {"cbDateRepeat", "Recurrence", &O::DateRepeat}});
    AddTab("tTask", QStringLiteral("Task"), kAppTodo,
           {{"cbTaskDesc", "Description", &O::TodoDesc},
            {"cbTaskPriority", "Priority", &O::TodoPriority},
            {"cbTaskDueDate", "Due Date", &O::TodoDueDate},
            {"cbTaskNotes", "Notes", &O::TodoNotes}});
    AddTab("tNote", QStringLiteral("Notes"), kAppMemo,
           {{"cbMemoDesc", "Description", &O::MemoDesc}, {"cbMemoNotes", "Notes", &O::MemoNotes}});

    cbCaseSensitive = new QCheckBox(QStringLiteral("Case Sensitive"), this);
    cbCaseSensitive->setObjectName(QStringLiteral("cbCaseSensitive"));
    body->addWidget(cbCaseSensitive);

    auto* buttons = new QHBoxLayout;
    btnDebug = new QPushButton(QStringLiteral("&Debug Options ..."), this);
    btnDebug->setObjectName(QStringLiteral("btnDebug"));
    btnOK = new QPushButton(QStringLiteral("&OK"), this);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->setDefault(true);
    btnCancel = new QPushButton(QStringLiteral("&Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    for (QPushButton* b : {btnDebug, btnOK, btnCancel})
        b->setMinimumWidth(88);
    buttons->addWidget(btnDebug);
    buttons->addStretch(1);
    buttons->addWidget(btnOK);
    buttons->addWidget(btnCancel);
    body->addLayout(buttons);

    connect(btnOK, &QPushButton::clicked, this, &TfmDupOption::btnOKClick);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(btnDebug, &QPushButton::clicked, this, &TfmDupOption::btnDebugClick);

    FillControls(appFlag);
    SetFixedClientSize(this, kClientWidth, kClientHeight);
}

void TfmDupOption::AddTab(const char* pageName, const QString& caption, int appBit, const std::vector<RuleDef>& defs)
{
    auto* page = new QWidget(pFields);
    page->setObjectName(QLatin1String(pageName));
    auto* grid = new QGridLayout(page);
    grid->setContentsMargins(20, 16, 20, 16);
    grid->setHorizontalSpacing(24);
    grid->setVerticalSpacing(12);
    // Two columns, filled down the first column and then the second.
    const int rows = int(defs.size() + 1) / 2;
    AppTab tab{page, appBit, {}};
    for (size_t i = 0; i < defs.size(); ++i) {
        auto* box = new QCheckBox(QString::fromLatin1(defs[i].caption), page);
        box->setObjectName(QLatin1String(defs[i].name));
        grid->addWidget(box, int(i) % rows, int(i) / rows);
        tab.rules.push_back(Rule{box, defs[i].setting});
    }
    grid->setRowStretch(rows, 1);
    grid->setColumnStretch(0, 1);
    grid->setColumnStretch(1, 1);
    pFields->addTab(page, caption);
    m_Tabs.push_back(std::move(tab));
}

void TfmDupOption::FillControls(int32_t appFlag)
{
    const AppOption& opt = TheOption();
    m_AppFlag = appFlag;
    int first = -1;
    for (const AppTab& tab : m_Tabs) {
        int index = pFields->indexOf(tab.page);
        bool chosen = (m_AppFlag & tab.appBit) != 0;
        pFields->setTabVisible(index, chosen);
        if (!chosen)
            continue;
        if (first < 0)
            first = index;
        for (const Rule& rule : tab.rules)
            rule.box->setChecked(opt.*rule.setting);
    }
    // With no application chosen (every box of the source page unticked)
    // there is nothing to set; the tab control is greyed then.
    if (first >= 0)
        pFields->setCurrentIndex(first);
    pFields->setEnabled(first >= 0);
    cbCaseSensitive->setChecked(opt.CaseSensitive);
}

void TfmDupOption::StoreControls()
{
    // Only the rules this dialog edits are written: the debug options, which
    // the dialog opened from here may have changed meanwhile, stay as they are.
    AppOption& opt = TheOption();
    for (const AppTab& tab : m_Tabs) {
        if (!(m_AppFlag & tab.appBit))
            continue;
        for (const Rule& rule : tab.rules)
            opt.*rule.setting = rule.box->isChecked();
    }
    opt.CaseSensitive = cbCaseSensitive->isChecked();
}

void TfmDupOption::btnOKClick()
{
    StoreControls();
    accept();
}

void TfmDupOption::btnDebugClick()
{
    TfmDebug dlg(this);
    ExecDialog(&dlg);
}
