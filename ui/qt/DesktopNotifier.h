// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/qt/TrayIcon.h"

#include <QString>

#include <memory>

namespace tevra {

// Shows an alert as a desktop notification, for a desktop without a
// notification area to show balloons in.
class DesktopNotifier {
public:
    virtual ~DesktopNotifier() = default;

    // Queues one notification; false when it cannot be sent. Never waits for
    // an answer, so a slow or missing service never blocks the window.
    virtual bool notify(const QString& title, const QString& text, int timeoutMs, BalloonIcon icon) = 0;
    // Whether the desktop's tray icons are StatusNotifierItems on D-Bus (KDE
    // Plasma, GNOME's tray extension). Such a tray shows balloons as desktop
    // notifications anyway; sent from here they carry the hints that tell the
    // desktop whose they are and how urgent, which Qt's own lack.
    virtual bool trayIsStatusNotifier() const { return false; }
};

// The desktop's notification service, or null where the platform has none to
// offer; CMake picks the platform's implementation.
std::unique_ptr<DesktopNotifier> makeDesktopNotifier();

}  // namespace tevra
