// SPDX-License-Identifier: GPL-3.0-or-later
// A stand-in main window for checking the alert pieces on a real desktop:
// it shows the output list, goes to the notification area when minimised and
// presents one scripted alert there, or saves its output list through the real
// save dialog. tools/screenshot-alerts.sh drives it.
// It stays beside the real window because it raises alerts and saves on cue
// without root, where the real window needs a network namespace to see a change.
#include "ui/qt/AlertPresenter.h"
#include "ui/qt/DesktopNotifier.h"
#include "ui/qt/OutputListBox.h"
#include "ui/qt/QtExportDialogs.h"
#include "ui/qt/SystemTrayIcon.h"
#include "ui/qt/TextExport.h"
#include "ui/qt/WidgetWindowControl.h"

#include <QApplication>
#include <QEvent>
#include <QPainter>
#include <QPixmap>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

namespace tevra {
namespace {

QIcon drawnIcon(bool warning)
{
    QPixmap pixmap(32, 32);
    pixmap.fill(QColor(0, 110, 180));
    QPainter painter(&pixmap);
    painter.setPen(QPen(Qt::white, 3));
    if (warning) {
        painter.drawLine(0, 0, 31, 31);
        painter.drawLine(31, 0, 0, 31);
    }
    return QIcon(pixmap);
}

WatchEvent scriptedEvent(const char* text)
{
    WatchEvent event;
    event.text = text;
    return event;
}

class CheckWindow : public QWidget {
public:
    CheckWindow()
    {
        setWindowTitle("Tevra");
        resize(480, 260);
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        outputList = new COutputListBox(this);
        layout->addWidget(outputList);
        presenter = std::make_unique<AlertPresenter>(std::make_unique<SystemTrayIcon>(makeDesktopNotifier()),
            std::make_unique<WidgetWindowControl>(*this), *outputList, drawnIcon(false), drawnIcon(true));
    }

    COutputListBox* outputList = nullptr;
    std::unique_ptr<AlertPresenter> presenter;

protected:
    // How the main window hands its state changes to the presenter.
    void changeEvent(QEvent* event) override
    {
        QWidget::changeEvent(event);
        if (event->type() == QEvent::ActivationChange || event->type() == QEvent::WindowStateChange)
            presenter->activationChanged(isActiveWindow() && !isMinimized());
        if (event->type() == QEvent::WindowStateChange && !isMinimized())
            presenter->windowRestored();
    }
};

// Minimises to the notification area, presents one alert there, and reports
// the state before quitting (quitting closes the window).
int runTrayDemo(CheckWindow& window, int runMs)
{
    QTimer::singleShot(1500, &window, [&window] {
        std::printf("tray available: %s\n", QSystemTrayIcon::isSystemTrayAvailable() ? "yes" : "no");
        window.showMinimized();
    });
    QTimer::singleShot(3000, &window, [&window] {
        window.presenter->present(scriptedEvent(
            "09:15:00: Mapping changed: 192.168.0.1 changed from 00-0C-29-11-22-33 to 00-0C-29-44-55-66"));
        std::printf("in tray: %s, window visible: %s\n", window.presenter->inTray() ? "yes" : "no",
            window.isVisible() ? "yes" : "no");
        std::fflush(stdout);
    });
    QTimer::singleShot(runMs, &window, [&window] {
        std::printf("at the end: in tray: %s, window visible: %s, minimised: %s\n",
            window.presenter->inTray() ? "yes" : "no", window.isVisible() ? "yes" : "no",
            window.isMinimized() ? "yes" : "no");
        QApplication::quit();
    });
    return QApplication::exec();
}

// Saves the output list twice through the real save dialog: a new file, then
// the same name again, which the dialog asks about before replacing it.
int runSave(CheckWindow& window)
{
    TextExport textExport(std::make_unique<QtExportDialogs>(&window));
    QTimer::singleShot(500, &window, [&window, &textExport] {
        textExport.saveOutput(window.outputList->lines());
        std::printf("first save done\n");
        std::fflush(stdout);
        window.presenter->present(scriptedEvent("09:15:00: Broadcast MAC assigned: 192.168.0.7"));
        textExport.saveOutput(window.outputList->lines());
        std::printf("second save done\n");
        QApplication::quit();
    });
    return QApplication::exec();
}

int runCheck(const std::string& mode, int runMs)
{
    CheckWindow window;
    window.show();
    window.presenter->present(scriptedEvent("09:14:58: New mapping: 192.168.0.1 has 00-0C-29-11-22-33"));
    // Wider than the window: the horizontal scroll bar must reach its end.
    window.presenter->present(scriptedEvent(
        "09:14:59: Duplicate MAC: 192.168.0.20 and 192.168.0.21 both have 00-0C-29-AA-BB-CC, one of them "
        "may be forged"));
    if (mode == "save")
        return runSave(window);
    return runTrayDemo(window, runMs);
}

}  // namespace
}  // namespace tevra

// Usage: alerts_desktop_check tray [run-ms] | alerts_desktop_check save
int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    return tevra::runCheck(argc > 1 ? argv[1] : "tray", argc > 2 ? std::atoi(argv[2]) : 12000);
}
