#pragma once

#include "ui/TrayIcon.h"

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
};

// The desktop's notification service, or null where the platform has none to
// offer; CMake picks the platform's implementation.
std::unique_ptr<DesktopNotifier> makeDesktopNotifier();

}  // namespace tevra
