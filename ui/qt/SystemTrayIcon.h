// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/qt/DesktopNotifier.h"
#include "ui/qt/TrayIcon.h"

#include <QSystemTrayIcon>

#include <memory>

namespace tevra {

// The notification-area icon of the desktop. Where the desktop has no
// notification area, the icon cannot be added and balloons go to the
// desktop notifier instead, if one is given; so do the balloons of an icon
// in a StatusNotifierItem tray.
class SystemTrayIcon : public TrayIcon {
public:
    explicit SystemTrayIcon(std::unique_ptr<DesktopNotifier> fallback = nullptr);
    ~SystemTrayIcon() override;

    bool add(const QIcon& icon, const QString& tip) override;
    bool modify(const QIcon& icon, const QString& tip) override;
    void remove() override;
    bool showBalloon(const QString& title, const QString& text, int timeoutMs, BalloonIcon icon) override;
    bool isAvailable() const override;
    void setClickHandler(ClickHandler handler) override;

    // What a click reported by the desktop means to us.
    static TrayClick clickOf(QSystemTrayIcon::ActivationReason reason);

private:
    std::unique_ptr<QSystemTrayIcon> icon_;
    std::unique_ptr<DesktopNotifier> fallback_;
    ClickHandler clickHandler_;
    // The tray that took the icon shows balloons as desktop notifications.
    bool balloonsAsNotifications_ = false;
};

}  // namespace tevra
