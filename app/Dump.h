// TfmDump: the exception dialog, shown when loading or deleting fails with an
// unexpected error. It apologises, offers a bug report by mail, shows where
// the troubleshooting log is, opens the debug-log options and can end the
// program through its main window.
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;
class TBanner;
class TDebugLogBox;

class TfmDump : public QDialog {
    Q_OBJECT
public:
    static constexpr int kClientWidth = 563;
    static constexpr int kClientHeight = 401;

    /// The address bug reports go to, and what the mail link opens.
    static const char* SupportAddress();
    static const char* SupportMailto();

    /// `parent` is a widget of the main window, which "Quit Tarnwick" closes.
    explicit TfmDump(QWidget* parent = nullptr);

public slots:
    /// Starts a new bug report in the user's mail program.
    void lblSupportClick();
    /// Shows the debug-log options; this dialog stays open.
    void btnDebugClick();
    /// Closes this dialog and asks the main window to close, which ends the
    /// program the normal way (settings saved).
    void btnExitClick();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    TBanner* m_pBanner;
    QLabel* lblSupport;
    TDebugLogBox* m_pLogBox;
    QPushButton* btnOK;
    QPushButton* btnDebug;
    QPushButton* btnExit;
};
