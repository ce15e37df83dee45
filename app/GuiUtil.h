// What every window of the wizard shares: texts of the Palm data shown as
// QString, the white banner, fixed client sizes, and the two ways out to the
// user (message boxes and modal dialogs) routed through hooks that the GUI
// tests answer.
#pragma once

#include <QDialog>
#include <QFrame>
#include <QMessageBox>
#include <QList>
#include <QPair>
#include <QString>

#include <functional>
#include <string>
#include <string_view>

class QLabel;
class QUrl;

/// An 8-bit text of the Palm data (ANSI code page) as a QString.
QString AnsiText(std::string_view ansi);
QString AnsiText(const char* ansi);
/// A text of a record as a QString: the .dat generations' texts are ANSI,
/// the 6.x records' are the stored text in UTF-8 (`utf8`), shown whatever
/// the code page.
QString RecordText(std::string_view text, bool utf8);

/// Gives a window a fixed client area of w x h pixels.
void SetFixedClientSize(QWidget* w, int width, int height);

/// The white banner at the top of the wizard and its dialogs: the program's
/// logo, a bold title and a line of text below it.
class TBanner : public QFrame {
    Q_OBJECT
public:
    explicit TBanner(QWidget* parent = nullptr);
    void SetTitle(const QString& title);
    void SetText(const QString& text);
    QString Text() const;
    QLabel* TextLabel() const { return m_pText; }
    /// Room on the right for a button or a picture.
    void AddRightWidget(QWidget* w);

private:
    QLabel* m_pTitle;
    QLabel* m_pText;
    class QHBoxLayout* m_pLayout;
};

/// The program's icon (window icon and banner logo).
QIcon AppIcon();

/// One message box as the user would see it.
struct GuiMessageInfo {
    QWidget* Parent;
    QString Title;
    QString Text;
    QMessageBox::Icon Icon;
    QMessageBox::StandardButtons Buttons;
    /// The button that Enter presses; NoButton leaves the toolkit's choice.
    QMessageBox::StandardButton Default = QMessageBox::NoButton;
    /// Buttons shown with another text than their standard one ("&Delete").
    QList<QPair<QMessageBox::StandardButton, QString>> Texts = {};

    /// The text a button is shown with (empty: its standard text).
    QString TextOf(QMessageBox::StandardButton button) const
    {
        for (const auto& t : Texts)
            if (t.first == button)
                return t.second;
        return QString();
    }
};

/// Shows a modal message box and returns the button pressed. With a
/// responder installed (tests), the responder answers instead.
QMessageBox::StandardButton GuiMessage(QWidget* parent, const QString& title, const QString& text,
                                       QMessageBox::Icon icon,
                                       QMessageBox::StandardButtons buttons = QMessageBox::Ok);
/// The same with a default button and buttons of other texts; Escape
/// presses Cancel or No where the box has one.
QMessageBox::StandardButton GuiAsk(const GuiMessageInfo& info);
using GuiMessageResponder = std::function<QMessageBox::StandardButton(const GuiMessageInfo&)>;
/// Installs the responder; an empty one restores real boxes.
void SetGuiMessageResponder(GuiMessageResponder responder);

/// Hands a file or folder (Windows form) to the desktop's opener. When no
/// opener can be started, a message box says so and names the path on this
/// machine, so that the user can open it by hand; `what` names it in the
/// message ("the user's guide"). True when the opener started.
bool GuiShellOpen(QWidget* parent, const std::string& winPath, const QString& what);

/// Asks for a folder (a folder picker starting at `start`, a host path);
/// empty when the user cancels. With a chooser installed (tests), the
/// chooser answers instead.
QString GuiChooseFolder(QWidget* parent, const QString& caption, const QString& start);
using GuiFolderChooser = std::function<QString(QWidget* parent, const QString& caption, const QString& start)>;
/// Installs the chooser; an empty one restores the folder picker.
void SetGuiFolderChooser(GuiFolderChooser chooser);

/// Asks where to save a file (a save dialog starting at `start`, a host
/// path, offering `filters` as "Name (*.ext);;..."; it asks before replacing
/// a file). Empty when the user cancels; *chosenFilter gets the filter
/// chosen. With a chooser installed (tests), the chooser answers instead.
QString GuiChooseSaveFile(QWidget* parent, const QString& caption, const QString& start, const QString& filters,
                          QString* chosenFilter);
using GuiSaveFileChooser = std::function<QString(QWidget* parent, const QString& caption, const QString& start,
                                                 const QString& filters, QString* chosenFilter)>;
/// Installs the chooser; an empty one restores the save dialog.
void SetGuiSaveFileChooser(GuiSaveFileChooser chooser);

/// Opens a URL with the desktop's default program (QDesktopServices);
/// true when it was handed over. With an opener installed (tests), the
/// opener answers instead.
bool GuiOpenUrl(const QUrl& url);
using GuiUrlOpener = std::function<bool(const QUrl& url)>;
/// Installs the opener; an empty one restores the desktop's.
void SetGuiUrlOpener(GuiUrlOpener opener);

/// Shows a dialog modally (exec) and returns its result. With a dialog hook
/// installed (tests), the hook gets the dialog, may drive its controls, and
/// its return value is the result; the dialog is not shown then.
int ExecDialog(QDialog* dialog);
using GuiDialogHook = std::function<int(QDialog*)>;
void SetGuiDialogHook(GuiDialogHook hook);

/// Installs the message hook of the platform layer so that messages of the
/// non-window code (the users list, for one) appear as message boxes.
void InstallPlatformMessageHook();
