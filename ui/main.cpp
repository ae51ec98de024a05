// tevra: the window of the IPv4-to-MAC mapping watcher. It takes no arguments
// of its own; Qt's own (-platform and the like) are honoured.
#include "ui/WatcherApp.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tevra"));
    QApplication::setDesktopFileName(QStringLiteral("tevra"));
    tevra::CWatcherApp theApp;
    theApp.InitInstance();
    return 0;
}
