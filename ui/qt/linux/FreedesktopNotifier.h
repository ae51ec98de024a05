// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/qt/DesktopNotifier.h"

#include <QDBusConnection>
#include <QDBusPendingCallWatcher>

#include <memory>
#include <optional>

namespace tevra {

// Desktop notifications through the freedesktop notification service on D-Bus.
// Each notification replaces the one before, so a run of alerts leaves one
// notification on the desktop, not a pile.
class FreedesktopNotifier : public DesktopNotifier {
public:
    explicit FreedesktopNotifier(QDBusConnection bus = QDBusConnection::sessionBus());
    ~FreedesktopNotifier() override;

    // False when there is no bus to send on. Never waits for the answer: while
    // the one before is unanswered, the newest notification waits its turn.
    bool notify(const QString& title, const QString& text, int timeoutMs, BalloonIcon icon) override;
    bool trayIsStatusNotifier() const override;

private:
    struct Notification {
        QString title;
        QString text;
        int timeoutMs = 0;
        BalloonIcon icon = BalloonIcon::None;
    };

    void send(const Notification& notification);
    void answered(QDBusPendingCallWatcher& call);

    QDBusConnection bus_;
    // The service's number for the notification shown last; 0 for none.
    uint shownId_ = 0;
    std::unique_ptr<QDBusPendingCallWatcher> unanswered_;
    std::unique_ptr<QDBusPendingCallWatcher> answeredCall_;
    std::optional<Notification> waiting_;
};

}  // namespace tevra
