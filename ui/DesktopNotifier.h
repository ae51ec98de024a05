#pragma once

#include "ui/TrayIcon.h"

#include <QDBusConnection>
#include <QString>

// Sends desktop notifications through the freedesktop notification service
// on D-Bus. Stands in for balloons on a desktop without a notification area.
class DesktopNotifier {
public:
    explicit DesktopNotifier(QDBusConnection bus = QDBusConnection::sessionBus());

    // Queues one notification; false when there is no bus to send it on. The
    // reply is not awaited, so a slow or missing service never blocks the window.
    bool notify(const QString& title, const QString& text, int timeoutMs, BalloonIcon icon);

private:
    QDBusConnection bus_;
};
