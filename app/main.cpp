// The program entry: the application object, the wizard window and the data
// module of the database connections, then the message loop.
#include "ApputilFacadeSet.h"
#include "GuiUtil.h"
#include "Main.h"

#include "palm/DmMain.h"
#include "platform/File.h"
#include "platform/System.h"
#include "platform/WinPath.h"

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
    // Two wizards over the same files would each save what it loaded over
    // what the other deleted: a second start ends here. The lock lives in
    // the settings folder, or beside the program when that cannot be made,
    // where the settings then stay too.
    std::string folder;
    if (!FindSettingsFolder(&folder)) {
        std::string drive, dir;
        plat::SplitDriveDir(plat::ModuleFileName(), &drive, &dir);
        folder = drive + dir;
    }
    plat::ExclusiveFile instance;
    if (!HoldInstanceLock(folder, &instance)) {
        QMessageBox::information(nullptr, "Tarnwick",
                                 "Tarnwick is already running. Only one copy works on the Palm Desktop data at a "
                                 "time: use the window that is open, or close it first.");
        return 0;
    }
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
