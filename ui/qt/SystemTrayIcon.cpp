// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/qt/SystemTrayIcon.h"

#include <utility>

namespace tevra {

namespace {

QSystemTrayIcon::MessageIcon messageIconOf(BalloonIcon icon)
{
    switch (icon) {
    case BalloonIcon::None:
        return QSystemTrayIcon::NoIcon;
    case BalloonIcon::Information:
        return QSystemTrayIcon::Information;
    case BalloonIcon::Warning:
        return QSystemTrayIcon::Warning;
    case BalloonIcon::Error:
        return QSystemTrayIcon::Critical;
    }
    return QSystemTrayIcon::NoIcon;
}

}  // namespace

SystemTrayIcon::SystemTrayIcon(std::unique_ptr<DesktopNotifier> fallback)
    : icon_(std::make_unique<QSystemTrayIcon>())
    , fallback_(std::move(fallback))
{
    QObject::connect(
        icon_.get(), &QSystemTrayIcon::activated, [this](QSystemTrayIcon::ActivationReason reason) {
            if (clickHandler_)
                clickHandler_(clickOf(reason));
        });
}

SystemTrayIcon::~SystemTrayIcon() = default;

bool SystemTrayIcon::add(const QIcon& icon, const QString& tip)
{
    // Without a tray host the icon would be "visible" nowhere, and a window
    // hidden behind it could never come back.
    if (!isAvailable())
        return false;
    icon_->setIcon(icon);
    icon_->setToolTip(tip);
    icon_->show();
    balloonsAsNotifications_ = fallback_ && fallback_->trayIsStatusNotifier();
    return icon_->isVisible();
}

bool SystemTrayIcon::modify(const QIcon& icon, const QString& tip)
{
    if (!icon_->isVisible())
        return false;
    icon_->setIcon(icon);
    icon_->setToolTip(tip);
    return true;
}

void SystemTrayIcon::remove()
{
    icon_->hide();
}

bool SystemTrayIcon::showBalloon(const QString& title, const QString& text, int timeoutMs, BalloonIcon icon)
{
    if (icon_->isVisible()) {
        if (balloonsAsNotifications_)
            return fallback_->notify(title, text, timeoutMs, icon);
        icon_->showMessage(title, text, messageIconOf(icon), timeoutMs);
        return true;
    }
    // Only a desktop without any tray gets notifications instead; an icon that
    // merely failed to appear fails its balloons too.
    if (!isAvailable() && fallback_)
        return fallback_->notify(title, text, timeoutMs, icon);
    return false;
}

bool SystemTrayIcon::isAvailable() const
{
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void SystemTrayIcon::setClickHandler(ClickHandler handler)
{
    clickHandler_ = std::move(handler);
}

TrayClick SystemTrayIcon::clickOf(QSystemTrayIcon::ActivationReason reason)
{
    switch (reason) {
    case QSystemTrayIcon::Trigger:
        return TrayClick::LeftButtonPress;
    case QSystemTrayIcon::Context:
        return TrayClick::RightButton;
    case QSystemTrayIcon::DoubleClick:
        return TrayClick::DoubleClick;
    case QSystemTrayIcon::MiddleClick:
        return TrayClick::MiddleButton;
    case QSystemTrayIcon::Unknown:
        return TrayClick::Other;
    }
    return TrayClick::Other;
}

}  // namespace tevra
