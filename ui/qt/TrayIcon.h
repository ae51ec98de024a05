// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/core/TrayTypes.h"

#include <QIcon>
#include <QString>

#include <functional>

namespace tevra {

// The window's one notification-area icon. The alert logic talks to this
// interface only, so it runs the same against the desktop's tray, a
// notification-only desktop, or a recording in the tests.
class TrayIcon {
public:
    using ClickHandler = std::function<void(TrayClick)>;

    virtual ~TrayIcon() = default;

    // Puts the icon into the notification area; false when there is none to take it.
    virtual bool add(const QIcon& icon, const QString& tip) = 0;
    // Changes the icon and tip of the icon that is there; false when there is none.
    virtual bool modify(const QIcon& icon, const QString& tip) = 0;
    // Takes the icon away; nothing happens when there is none.
    virtual void remove() = 0;
    // Shows a balloon message from the icon; false when it could not be shown.
    virtual bool showBalloon(const QString& title, const QString& text, int timeoutMs, BalloonIcon icon) = 0;
    // Whether the desktop has a notification area at all.
    virtual bool isAvailable() const = 0;
    // Called for each click on the icon.
    virtual void setClickHandler(ClickHandler handler) = 0;
};

}  // namespace tevra
