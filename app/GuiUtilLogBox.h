// TDebugLogBox: the " Debug Information " group that the debug-log options
// dialog and the exception dialog share. It shows where the troubleshooting
// log lives (the settings folder and "appdebug.log" in it) and opens either
// with the desktop's opener.
#pragma once

#include <QGroupBox>

#include <string>

class QLineEdit;
class QPushButton;

class TDebugLogBox : public QGroupBox {
    Q_OBJECT
public:
    /// `intro`, when given, is a line shown above the two fields. The
    /// location is filled at once: with no settings folder both fields stay
    /// empty and both "..." buttons are disabled.
    explicit TDebugLogBox(QWidget* parent, const QString& intro = QString());

    /// The settings folder (Windows form, ending in '\') and the log file in
    /// it; empty when the folder could not be found or made.
    const std::string& Folder() const { return m_Folder; }
    const std::string& File() const { return m_File; }

public slots:
    /// Shows the folder in the file browser.
    void btnFolderClick();
    /// Opens the log file, or says that it does not exist yet.
    void btnFileClick();

private:
    void FillLocation();

    QLineEdit* edtFolder;
    QLineEdit* edtFile;
    QPushButton* btnFolder;
    QPushButton* btnFile;
    std::string m_Folder;
    std::string m_File;
};
