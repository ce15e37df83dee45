#include "Dump.h"

#include "Debugger.h"
#include "GuiUtil.h"
#include "GuiUtilLogBox.h"

#include "platform/Shell.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMetaObject>
#include <QMouseEvent>
#include <QPushButton>
#include <QVBoxLayout>

const char* TfmDump::SupportAddress() { return "support@brellon.example"; }

const char* TfmDump::SupportMailto() { return "mailto:support@brellon.example?subject=Tarnwick Bug Report"; }

TfmDump::TfmDump(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("fmDump"));
    setWindowTitle(QStringLiteral("Handle Tarnwick Exception"));
    setWindowIcon(AppIcon());

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);
    m_pBanner = new TBanner(this);
    m_pBanner->SetTitle(QStringLiteral("Tarnwick"));
    m_pBanner->SetText(QStringLiteral("An unexpected error stopped the current task."));
    outer->addWidget(m_pBanner);

    auto* body = new QVBoxLayout;
    body->setContentsMargins(16, 14, 16, 14);
    body->setSpacing(10);
    outer->addLayout(body, 1);

    // Plain text, so that the two blanks before "in" stay as they are.
    auto* lblSorry = new QLabel(QStringLiteral("We're sorry that an unhandled exception occurred  in Tarnwick."), this);
    lblSorry->setObjectName(QStringLiteral("lblSorry"));
    lblSorry->setTextFormat(Qt::PlainText);
    body->addWidget(lblSorry);

    auto* contactRow = new QHBoxLayout;
    contactRow->setSpacing(6);
    auto* lblContact = new QLabel(QStringLiteral("Please contact us at:"), this);
    lblSupport = new QLabel(QString::fromLatin1(SupportAddress()), this);
    lblSupport->setObjectName(QStringLiteral("lblSupport"));
    lblSupport->setTextFormat(Qt::PlainText);
    QFont linkFont = lblSupport->font();
    linkFont.setUnderline(true);
    lblSupport->setFont(linkFont);
    QPalette linkPalette = lblSupport->palette();
    linkPalette.setColor(QPalette::WindowText, QColor(0, 0, 204));
    lblSupport->setPalette(linkPalette);
    lblSupport->setCursor(Qt::PointingHandCursor);
    lblSupport->setToolTip(QStringLiteral("Write a bug report"));
    lblSupport->installEventFilter(this);
    contactRow->addWidget(lblContact);
    contactRow->addWidget(lblSupport);
    contactRow->addStretch(1);
    body->addLayout(contactRow);

    body->addSpacing(4);
    m_pLogBox = new TDebugLogBox(
        this, QStringLiteral("It is very appreciated if you can include the debug information in your error report."));
    body->addWidget(m_pLogBox);
    body->addStretch(1);

    auto* buttons = new QHBoxLayout;
    btnDebug = new QPushButton(QStringLiteral("&Debug Options"), this);
    btnDebug->setObjectName(QStringLiteral("btnDebug"));
    btnExit = new QPushButton(QStringLiteral("Quit Tarnwick"), this);
    btnExit->setObjectName(QStringLiteral("btnExit"));
    btnOK = new QPushButton(QStringLiteral("&OK"), this);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->setDefault(true);
    for (QPushButton* b : {btnDebug, btnExit, btnOK})
        b->setMinimumWidth(88);
    buttons->addWidget(btnDebug);
    buttons->addStretch(1);
    buttons->addWidget(btnExit);
    buttons->addWidget(btnOK);
    body->addLayout(buttons);

    connect(btnOK, &QPushButton::clicked, this, &QDialog::accept);
    connect(btnDebug, &QPushButton::clicked, this, &TfmDump::btnDebugClick);
    connect(btnExit, &QPushButton::clicked, this, &TfmDump::btnExitClick);

    SetFixedClientSize(this, kClientWidth, kClientHeight);
}

bool TfmDump::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == lblSupport && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        lblSupportClick();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void TfmDump::lblSupportClick() { plat::ShellOpen(SupportMailto()); }

void TfmDump::btnDebugClick()
{
    TfmDebug dlg(this);
    ExecDialog(&dlg);
}

void TfmDump::btnExitClick()
{
    done(QDialog::Rejected);
    // Queued, so that the main window closes after this dialog's modal loop
    // has ended; a window that is gone by then simply gets no call.
    if (QWidget* owner = parentWidget())
        QMetaObject::invokeMethod(owner->window(), "close", Qt::QueuedConnection);
}
