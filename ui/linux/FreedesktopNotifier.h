#pragma once

#include "ui/DesktopNotifier.h"

#include <QDBusConnection>

namespace tevra {

// Desktop notifications through the freedesktop notification service on D-Bus.
class FreedesktopNotifier : public DesktopNotifier {
public:
    explicit FreedesktopNotifier(QDBusConnection bus = QDBusConnection::sessionBus());

    // False when there is no bus to send on; the reply is not awaited.
    bool notify(const QString& title, const QString& text, int timeoutMs, BalloonIcon icon) override;
    bool trayIsStatusNotifier() const override;

private:
    QDBusConnection bus_;
};

}  // namespace tevra
