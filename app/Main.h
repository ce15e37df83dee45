// TfmMain: the wizard window. A white banner with the step description, the
// page area holding the three pages, and the bottom bar with Help,
// Troubleshooting, Prev, Next and Cancel/Finish; the step machine that moves
// between the pages through their enter and leave actions.
//
// Creating the window binds the Palm libraries, moves the settings file to
// the settings folder, loads the settings, points the log at that folder,
// creates the pages and reads the Palm Desktop users. However the window
// closes (Cancel, Finish, the window manager, a quit request of the
// exception dialog), the settings are written once, the facade set is
// released, the pages are destroyed and the users list is freed.
#pragma once

#include <QWidget>

#include <string>

/// Work on the window's thread for as long as the scope lasts (see
/// TfmMain::BeginBusy).
class TBusyScope {
public:
    explicit TBusyScope(class TfmMain* main);
    ~TBusyScope();
    TBusyScope(const TBusyScope&) = delete;
    TBusyScope& operator=(const TBusyScope&) = delete;

private:
    class TfmMain* m_pMain;
};

class QLabel;
class QPushButton;
class QFrame;
class TBanner;
class TfmPage;
class TfmPDSource;
class TfmPDData;
class TfmPDClean;
class PmFacadeSet;

class TfmMain : public QWidget {
    Q_OBJECT
public:
    static constexpr int kClientWidth = 794;
    static constexpr int kClientHeight = 594;

    explicit TfmMain(QWidget* parent = nullptr);
    ~TfmMain() override;

    /// The only way to change steps (0, 1 or 2). Runs the leave and enter
    /// actions; a refusal keeps the current step. True when the step changed.
    bool GoStep(int step);
    int CurrentStep() const { return m_CurStep; }

    /// The facade set of the source page (never none while the window lives).
    PmFacadeSet* FacadeSet();
    /// The settings folder in Windows form ending in '\', or empty when it
    /// could not be made (the settings then stay beside the program).
    const std::string& SettingsFolder() const { return m_SettingsFolder; }

    TfmPDSource* SourcePage() const { return m_pSource; }
    TfmPDData* DataPage() const { return m_pData; }
    TfmPDClean* CleanPage() const { return m_pClean; }

    /// Shows what the window is busy with in the banner (until the next
    /// step change) and lets it paint.
    void ShowWork(const QString& text);

    /// Marks the start and the end of work that runs on the window's thread
    /// (loading, detecting, filling the review, deleting); they nest. While
    /// the window is busy its buttons are disabled, and every key press and
    /// click meant for it is discarded as it arrives, so that nothing the
    /// user pressed during the work acts once the work ends (a second Next
    /// must never go on to the deletion). Closing the window waits too.
    void BeginBusy();
    void EndBusy();
    bool Busy() const { return m_BusyDepth > 0; }
    /// Lets the window paint and take what arrived meanwhile: while busy,
    /// input meant for the window is discarded rather than kept for later.
    void Pump();

    /// The step description for a step.
    static QString StepText(int step);

public slots:
    void btnPrevClick();
    void btnNextClick();
    void btnCancelClick();
    void btnHelpClick();
    void btnDebugClick();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void FormCreate();
    void FormDestroy();
    void RefreshFrame();
    /// Enables the buttons for the current step, or disables them all while busy.
    void UpdateButtons();
    TfmPage* PageOf(int step) const;

    TBanner* m_pBanner = nullptr;
    QLabel* lblStep = nullptr;
    QFrame* pClient = nullptr;
    class QStackedWidget* m_pPages = nullptr;
    QPushButton* btnHelp = nullptr;
    QPushButton* btnDebug = nullptr;
    QPushButton* btnPrev = nullptr;
    QPushButton* btnNext = nullptr;
    QPushButton* btnCancel = nullptr;
    TfmPDSource* m_pSource = nullptr;
    TfmPDData* m_pData = nullptr;
    TfmPDClean* m_pClean = nullptr;
    int m_CurStep = 0;
    int m_BusyDepth = 0;
    class TInputSink* m_pSink = nullptr;
    bool m_Destroyed = false;
    std::string m_SettingsFolder;
};
