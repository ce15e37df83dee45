#include "Debugger.h"

#include "Apputil.h"
#include "GuiUtil.h"
#include "GuiUtilLogBox.h"

#include "misc/CxDebugUtil.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

TfmDebug::TfmDebug(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("fmDebug"));
    setWindowTitle(QStringLiteral("Tarnwick Debug Log Options"));
    setWindowIcon(AppIcon());

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);
    m_pBanner = new TBanner(this);
    m_pBanner->SetTitle(QStringLiteral("Tarnwick"));
    m_pBanner->SetText(QStringLiteral("Set up the troubleshooting log that helps to find the cause of a problem."));
    outer->addWidget(m_pBanner);

    auto* body = new QVBoxLayout;
    body->setContentsMargins(16, 14, 16, 14);
    body->setSpacing(10);
    outer->addLayout(body, 1);

    cbEnable = new QCheckBox(QStringLiteral("Enable Debug Log"), this);
    cbEnable->setObjectName(QStringLiteral("cbEnable"));
    body->addWidget(cbEnable);

    auto* levelRow = new QHBoxLayout;
    levelRow->setSpacing(8);
    auto* lblLevel = new QLabel(QStringLiteral("Set Debug Level:"), this);
    cbxLevel = new QComboBox(this);
    cbxLevel->setObjectName(QStringLiteral("cbxLevel"));
    cbxLevel->setEditable(false);
    cbxLevel->addItem(QStringLiteral("Critical - Only log critical error information."));
    cbxLevel->addItem(QStringLiteral("High - Log high level debug information."));
    cbxLevel->addItem(QStringLiteral("Low - Log very detail debug information."));
    lblLevel->setBuddy(cbxLevel);
    levelRow->addWidget(lblLevel);
    levelRow->addWidget(cbxLevel, 1);
    body->addLayout(levelRow);

    body->addSpacing(4);
    m_pLogBox = new TDebugLogBox(this);
    body->addWidget(m_pLogBox);
    body->addStretch(1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    btnOK = new QPushButton(QStringLiteral("&OK"), this);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->setDefault(true);
    btnCancel = new QPushButton(QStringLiteral("&Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    for (QPushButton* b : {btnOK, btnCancel})
        b->setMinimumWidth(88);
    buttons->addWidget(btnOK);
    buttons->addWidget(btnCancel);
    body->addLayout(buttons);

    connect(btnOK, &QPushButton::clicked, this, &TfmDebug::btnOKClick);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

    const AppOption& opt = TheOption();
    cbEnable->setChecked(opt.EnableDebug);
    cbxLevel->setCurrentIndex(LevelItem(opt.LogLevel));

    SetFixedClientSize(this, kClientWidth, kClientHeight);
}

int TfmDebug::LevelItem(int32_t logLevel)
{
    switch (logLevel) {
    case 0: return 0;
    case 1: return 1;
    default: return 2;
    }
}

int32_t TfmDebug::ItemLevel(int item)
{
    switch (item) {
    case 0: return 0;
    case 1: return 1;
    default: return 3;
    }
}

void TfmDebug::btnOKClick()
{
    AppOption& opt = TheOption();
    opt.EnableDebug = cbEnable->isChecked();
    opt.LogLevel = ItemLevel(cbxLevel->currentIndex());
    TheLog().SetEnabled(opt.EnableDebug);
    TheLog().SetLevel(opt.LogLevel);
    accept();
}
