#include "Main.h"

#include "Apputil.h"
#include "ApputilFacadeSet.h"
#include "Debugger.h"
#include "GuiUtil.h"
#include "Pdclean.h"
#include "Pddata.h"
#include "Pdsource.h"

#include "misc/CxDebugUtil.h"
#include "misc/CxIniUtil.h"
#include "palm/PalmEnv.h"
#include "platform/Shell.h"
#include "platform/System.h"
#include "platform/WinPath.h"

#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QStackedWidget>
#include <QVBoxLayout>

#include <QWindow>

#include <exception>

/// Swallows the key presses and clicks meant for one window while that
/// window works. It sees every event of the application, so it catches the
/// input that arrived while the window's thread was busy at the moment the
/// input is taken from the window system, whether during the work (each
/// Pump) or right after it (the drain in EndBusy). Other windows, such as a
/// message box raised during the work, keep their input.
class TInputSink : public QObject {
public:
    explicit TInputSink(QWidget* window) : m_pWindow(window) {}

    static bool IsInput(QEvent::Type type)
    {
        switch (type) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::NonClientAreaMouseButtonPress:
        case QEvent::NonClientAreaMouseButtonRelease:
        case QEvent::NonClientAreaMouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::ContextMenu:
        case QEvent::InputMethod:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::TabletPress:
        case QEvent::TabletRelease:
            return true;
        default:
            return false;
        }
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (!IsInput(event->type()))
            return false;
        if (watched->isWidgetType())
            return static_cast<QWidget*>(watched)->window() == m_pWindow;
        if (watched->isWindowType())
            return static_cast<QWindow*>(watched) == m_pWindow->windowHandle();
        return false;
    }

private:
    QWidget* m_pWindow;
};

TBusyScope::TBusyScope(TfmMain* main) : m_pMain(main)
{
    if (m_pMain)
        m_pMain->BeginBusy();
}

TBusyScope::~TBusyScope()
{
    if (m_pMain)
        m_pMain->EndBusy();
}

TfmMain::TfmMain(QWidget* parent) : QWidget(parent)
{
    setObjectName("fmMain");
    setWindowTitle("Tarnwick - Remove Duplicates in Palm Desktop");
    setWindowIcon(AppIcon());
    // The window opens at its designed size and can grow; the review lists
    // and the log take the room it gains.
    setMinimumSize(kClientWidth, kClientHeight);
    resize(kClientWidth, kClientHeight);
    setAttribute(Qt::WA_DeleteOnClose, false);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);

    m_pBanner = new TBanner(this);
    m_pBanner->SetTitle("Tarnwick");
    lblStep = m_pBanner->TextLabel();
    lblStep->setObjectName("lblStep");
    outer->addWidget(m_pBanner);
    auto* rule = new QFrame(this);
    rule->setFrameShape(QFrame::HLine);
    rule->setFrameShadow(QFrame::Sunken);
    outer->addWidget(rule);

    pClient = new QFrame(this);
    pClient->setObjectName("pClient");
    outer->addWidget(pClient, 1);
    auto* clientLayout = new QVBoxLayout(pClient);
    clientLayout->setContentsMargins(12, 10, 12, 6);
    m_pPages = new QStackedWidget(pClient);
    clientLayout->addWidget(m_pPages);

    auto* rule2 = new QFrame(this);
    rule2->setFrameShape(QFrame::HLine);
    rule2->setFrameShadow(QFrame::Sunken);
    outer->addWidget(rule2);

    auto* bar = new QHBoxLayout;
    bar->setContentsMargins(12, 8, 12, 10);
    bar->setSpacing(8);
    btnHelp = new QPushButton("&Help", this);
    btnHelp->setObjectName("btnHelp");
    btnDebug = new QPushButton("&Troubleshooting", this);
    btnDebug->setObjectName("btnDebug");
    btnPrev = new QPushButton("<  &Prev", this);
    btnPrev->setObjectName("btnPrev");
    btnNext = new QPushButton("&Next  >", this);
    btnNext->setObjectName("btnNext");
    btnCancel = new QPushButton("&Cancel", this);
    btnCancel->setObjectName("btnCancel");
    for (QPushButton* b : {btnHelp, btnDebug, btnPrev, btnNext, btnCancel}) {
        b->setMinimumWidth(90);
        b->setAutoDefault(false);
    }
    btnDebug->setMinimumWidth(120);
    bar->addWidget(btnHelp);
    bar->addWidget(btnDebug);
    bar->addStretch(1);
    bar->addWidget(btnPrev);
    bar->addWidget(btnNext);
    bar->addSpacing(12);
    bar->addWidget(btnCancel);
    outer->addLayout(bar);

    connect(btnHelp, &QPushButton::clicked, this, &TfmMain::btnHelpClick);
    connect(btnDebug, &QPushButton::clicked, this, &TfmMain::btnDebugClick);
    connect(btnPrev, &QPushButton::clicked, this, &TfmMain::btnPrevClick);
    connect(btnNext, &QPushButton::clicked, this, &TfmMain::btnNextClick);
    connect(btnCancel, &QPushButton::clicked, this, &TfmMain::btnCancelClick);

    FormCreate();

    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect r = screen->availableGeometry();
        move(r.center() - rect().center());
    }
}

TfmMain::~TfmMain()
{
    FormDestroy();
    if (m_pSink) {
        qApp->removeEventFilter(m_pSink);
        delete m_pSink;
    }
}

void TfmMain::FormCreate()
{
    if (FindSettingsFolder(&m_SettingsFolder)) {
        std::string ini = m_SettingsFolder + "brellon.ini";
        TheIni().SetPath(ini.c_str());
    } else {
        m_SettingsFolder.clear();
    }
    // A Palm Desktop folder chosen on step 0 is kept in the settings.
    SetPalmDesktopSettingsFile(m_SettingsFolder.empty() ? std::string() : std::string(TheIni().Path()));
    // Only the user library is ever called; the others are bound as Palm's
    // own tools expect, and a missing one is not an error here.
    LoadPalmLibraries(PM_LIB_CONDMGR | PM_LIB_USERDATA | PM_LIB_HSAPI | PM_LIB_INSTAIDE);
    LoadOption();
    if (!m_SettingsFolder.empty())
        TheLog().SetFolder(m_SettingsFolder.c_str());
    TheLog().SetEnabled(TheOption().EnableDebug);
    TheLog().SetLevel(TheOption().LogLevel);
    CXLOG(2, "Tarnwick started; settings in %s", m_SettingsFolder.c_str());

    m_pSource = new TfmPDSource(this, m_pPages);
    m_pData = new TfmPDData(this, m_pPages);
    m_pClean = new TfmPDClean(this, m_pPages);
    m_pPages->addWidget(m_pSource);
    m_pPages->addWidget(m_pData);
    m_pPages->addWidget(m_pClean);

    // Loading a large Palm data set takes seconds: the banner says which
    // application is being read meanwhile.
    m_pSource->FacadeSet()->SetProgress([this](int32_t app) {
        // (Called during the work of a step change: the window is busy.)
        static const char* const kWords[] = {"Contacts", "Calendar", "Tasks", "Notes"};
        ShowWork(QString("Loading the %1 data ...").arg(kWords[app & 3]));
    });

    LoadPalmUsers();

    m_CurStep = 0;
    GoStep(0);
}

void TfmMain::FormDestroy()
{
    if (m_Destroyed)
        return;
    m_Destroyed = true;
    SaveOption();
    if (m_pSource)
        m_pSource->ReleaseFacadeSet();
    delete m_pClean;
    delete m_pData;
    delete m_pSource;
    m_pClean = nullptr;
    m_pData = nullptr;
    m_pSource = nullptr;
    FreePalmUsers();
    CXLOG(2, "Tarnwick ended; settings written");
}

PmFacadeSet* TfmMain::FacadeSet() { return m_pSource ? m_pSource->FacadeSet() : nullptr; }

TfmPage* TfmMain::PageOf(int step) const
{
    switch (step) {
    case 0: return m_pSource;
    case 1: return m_pData;
    case 2: return m_pClean;
    default: return nullptr;
    }
}

bool TfmMain::GoStep(int step)
{
    if (step < 0 || step > 2 || m_Destroyed || Busy())
        return false;
    bool ok = true;
    QString failure;
    {
        TBusyScope busy(this);
        QApplication::setOverrideCursor(Qt::WaitCursor);
        try {
            switch (step) {
            case 0:
                m_pSource->Enter();
                break;
            case 1:
                if (m_CurStep == 0 && !m_pSource->Leave()) {
                    ok = false;
                    break;
                }
                m_pData->Enter();
                break;
            case 2:
                if (!m_pData->Leave()) {
                    ok = false;
                    break;
                }
                m_pClean->Enter();
                break;
            }
        } catch (const std::exception& e) {
            // The review page's reload and detection catch nothing of their
            // own; the window stays where it was.
            ok = false;
            failure = QString::fromLocal8Bit(e.what());
        }
        QApplication::restoreOverrideCursor();
        if (ok) {
            m_CurStep = step;
            RefreshFrame();
        } else {
            lblStep->setText(StepText(m_CurStep));
        }
    }
    if (!failure.isEmpty())
        GuiMessage(this, "Tarnwick", failure, QMessageBox::Critical);
    if (!ok)
        return false;
    // The focus goes to the step's main button once it is enabled again.
    if (m_CurStep < 2)
        btnNext->setFocus();
    else
        btnCancel->setFocus();
    if (TfmPage* page = PageOf(step))
        page->Shown();
    return true;
}

QString TfmMain::StepText(int step)
{
    switch (step) {
    case 0: return "Please select the appropriate Palm Desktop applications that you need to clean.";
    case 1: return "Please select the duplicate items that you want to delete.";
    case 2: return "Deleting duplicate items now.";
    default: return "Remove your Palm Desktop duplicate items smartly.";
    }
}

void TfmMain::UpdateButtons()
{
    const bool idle = !Busy();
    btnHelp->setEnabled(idle);
    btnDebug->setEnabled(idle);
    btnPrev->setEnabled(idle && m_CurStep == 1);
    btnNext->setEnabled(idle && m_CurStep < 2);
    btnCancel->setEnabled(idle);
}

void TfmMain::RefreshFrame()
{
    UpdateButtons();
    btnCancel->setText(m_CurStep == 2 ? "&Finish" : "&Cancel");
    lblStep->setText(StepText(m_CurStep));
    if (TfmPage* page = PageOf(m_CurStep))
        m_pPages->setCurrentWidget(page);
}

void TfmMain::ShowWork(const QString& text)
{
    lblStep->setText(text);
    lblStep->repaint();
    Pump();
}

void TfmMain::Pump()
{
    // Without the sink, input would wait in the window system's queue and
    // act after the work; with it, input is taken now and dropped.
    if (Busy())
        QApplication::processEvents(QEventLoop::AllEvents);
    else
        QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void TfmMain::BeginBusy()
{
    if (m_BusyDepth++ > 0)
        return;
    if (!m_pSink)
        m_pSink = new TInputSink(this);
    qApp->installEventFilter(m_pSink);
    UpdateButtons();
}

void TfmMain::EndBusy()
{
    if (m_BusyDepth <= 0 || --m_BusyDepth > 0)
        return;
    // What was pressed during the work is still queued: take it now, while
    // the sink drops it, and only then let the window take input again.
    ++m_BusyDepth;
    for (int i = 0; i < 3; ++i)
        QApplication::processEvents(QEventLoop::AllEvents);
    --m_BusyDepth;
    qApp->removeEventFilter(m_pSink);
    if (!m_Destroyed)
        UpdateButtons();
}

void TfmMain::btnPrevClick()
{
    if (m_CurStep > 0)
        GoStep(m_CurStep - 1);
}

void TfmMain::btnNextClick()
{
    if (m_CurStep < 2)
        GoStep(m_CurStep + 1);
}

void TfmMain::btnCancelClick() { close(); }

void TfmMain::btnHelpClick()
{
    std::string drive, dir;
    plat::SplitDriveDir(plat::ModuleFileName(), &drive, &dir);
    std::string folder = drive + dir;
    std::string chm = folder + "Tarnwick.chm";
    // Palm Desktop's own platform has a compiled help file; here the guide
    // is an HTML page beside the program.
    if (!plat::HostExists(plat::ToHostPath(chm))) {
        std::string html = folder + "Tarnwick.html";
        if (plat::HostExists(plat::ToHostPath(html))) {
            GuiShellOpen(this, html, "the user's guide");
            return;
        }
    }
    GuiShellOpen(this, chm, "the user's guide");
}

void TfmMain::btnDebugClick()
{
    TfmDebug dlg(this);
    ExecDialog(&dlg);
}

void TfmMain::closeEvent(QCloseEvent* event)
{
    // A deletion under way is not cut short: its file is saved when its
    // application's pass ends, and closing now would drop those deletions.
    if (Busy() || (m_pClean && m_pClean->Busy())) {
        event->ignore();
        return;
    }
    // Settings are written and everything released however the window
    // closes; the window object itself goes with the program.
    FormDestroy();
    event->accept();
}
