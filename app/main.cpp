// The program entry: the application object, the wizard window and the data
// module of the database connections, then the message loop.
#include "GuiUtil.h"
#include "Main.h"

#include "palm/DmMain.h"

#include <QApplication>
#include <QMessageBox>

#include <exception>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
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
