#include "foundations/OutputFile.h"
#include "ui/MainWindow.h"

#include <QApplication>
#include <QTimer>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    kova::InstallPartialFileCleanup();
    QApplication::setOrganizationName("Kova");
    QApplication::setApplicationName("Kova");

    kova::TfrMain mainWindow;
    mainWindow.show();

    // A file named on the command line is opened once the windows are up, so
    // that an error about it has a window to stand on.
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() > 1)
        QTimer::singleShot(0, &mainWindow,
                           [&mainWindow, path = arguments.at(1)] { mainWindow.OpenFile(path); });
    return QApplication::exec();
}
