// What the GUI test programs share: a QApplication on the offscreen
// platform, a settings folder of their own, screenshots into the build
// folder, and the answering of message boxes and modal dialogs.
#pragma once

#include "GuiUtil.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QMessageBox>
#include <QWidget>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace guitest {

/// The folder of the running test program (the build folder).
inline std::string BuildFolder()
{
    return std::filesystem::canonical("/proc/self/exe").parent_path().string();
}

/// Saves a picture of a widget as <build>/screenshots/<name>.png.
inline void SaveShot(QWidget* w, const std::string& name)
{
    std::string dir = BuildFolder() + "/screenshots";
    std::filesystem::create_directories(dir);
    w->grab().save(QString::fromStdString(dir + "/" + name + ".png"));
}

/// Records every message box and answers it with `answer` (or Ok / the
/// first button offered).
class MessageRecorder {
public:
    MessageRecorder()
    {
        SetGuiMessageResponder([this](const GuiMessageInfo& info) {
            m_Messages.push_back(info);
            if (m_Answer != QMessageBox::NoButton && (info.Buttons & m_Answer))
                return m_Answer;
            return info.Buttons & QMessageBox::Ok ? QMessageBox::Ok
                                                  : QMessageBox::StandardButton(int(info.Buttons) & -int(info.Buttons));
        });
    }
    ~MessageRecorder() { SetGuiMessageResponder({}); }
    void Answer(QMessageBox::StandardButton b) { m_Answer = b; }
    const std::vector<GuiMessageInfo>& Messages() const { return m_Messages; }
    void Clear() { m_Messages.clear(); }

private:
    std::vector<GuiMessageInfo> m_Messages;
    QMessageBox::StandardButton m_Answer = QMessageBox::NoButton;
};

/// Answers every modal dialog with a function of the test's (the dialog is
/// never shown); records the class names of the dialogs met.
class DialogDriver {
public:
    explicit DialogDriver(std::function<int(QDialog*)> drive = {})
        : m_Drive(std::move(drive))
    {
        SetGuiDialogHook([this](QDialog* d) {
            m_Seen.push_back(d->metaObject()->className());
            return m_Drive ? m_Drive(d) : int(QDialog::Rejected);
        });
    }
    ~DialogDriver() { SetGuiDialogHook({}); }
    void SetDrive(std::function<int(QDialog*)> drive) { m_Drive = std::move(drive); }
    const std::vector<std::string>& Seen() const { return m_Seen; }

private:
    std::function<int(QDialog*)> m_Drive;
    std::vector<std::string> m_Seen;
};

/// Runs the tests with a QApplication on the offscreen platform and
/// XDG_DATA_HOME (the common application data folder) in a temporary folder,
/// so that no test writes the settings or the log of the user running it.
inline int RunGuiTests(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    char pattern[] = "/tmp/tarnwick-gui-XXXXXX";
    const char* data = mkdtemp(pattern);
    if (data)
        setenv("XDG_DATA_HOME", data, 1);
    QApplication app(argc, argv);
    QApplication::setApplicationName("Tarnwick");
    ::testing::InitGoogleTest(&argc, argv);
    int rc = RUN_ALL_TESTS();
    if (data) {
        std::error_code ec;
        std::filesystem::remove_all(data, ec);
    }
    return rc;
}

}  // namespace guitest
