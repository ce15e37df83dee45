// The program entry: the application object, the wizard window and the data
// module of the database connections, then the message loop.
#include "GuiUtil.h"
#include "Main.h"

#include "palm/DmMain.h"

#include <QApplication>
#include <QMessageBox>

#include <exception>

namespace {

/// The application object. An exception that escapes a handler of the
/// windows is shown in a message box, and the program goes on where it was.
class TApplication : public QApplication {
public:
    using QApplication::QApplication;

    bool notify(QObject* receiver, QEvent* event) override
    {
        try {
            return QApplication::notify(receiver, event);
        } catch (const std::exception& e) {
            QMessageBox::critical(activeWindow(), "Tarnwick", QString::fromLocal8Bit(e.what()));
        } catch (...) {
            QMessageBox::critical(activeWindow(), "Tarnwick", "An unexpected error occurred.");
        }
        return false;
    }
};

}  // namespace

int main(int argc, char** argv)
{
    TApplication app(argc, argv);
    QApplication::setApplicationName("Tarnwick");
    QApplication::setApplicationDisplayName("Tarnwick");
    QApplication::setWindowIcon(AppIcon());
    InstallPlatformMessageHook();
    try {
        TfmMain main;
        DataModule();
        main.show();
        return app.exec();
    } catch (const std::exception& e) {
        QMessageBox::critical(nullptr, "Tarnwick", QString::fromLocal8Bit(e.what()));
    } catch (...) {
        QMessageBox::critical(nullptr, "Tarnwick", "An unexpected error ended Tarnwick.");
    }
    return 1;
}
