// SPDX-License-Identifier: GPL-3.0-or-later
// tevra: the window of the IPv4-to-MAC mapping watcher. It takes no arguments
// of its own; Qt's own (-platform and the like) are honoured.
#include "ui/qt/Resources.h"
#include "ui/qt/WatcherApp.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tevra"));
    // Links the window to its desktop entry (Wayland's app id, the task bar's icon).
    QApplication::setDesktopFileName(QString::fromLatin1(tevra::kApplicationId));
    tevra::CWatcherApp theApp;
    theApp.InitInstance();
    return 0;
}
