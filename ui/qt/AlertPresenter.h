// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/WatchEvent.h"
#include "ui/core/WindowControl.h"
#include "ui/qt/BalloonCoalescer.h"
#include "ui/qt/OutputListBox.h"
#include "ui/qt/TrayIcon.h"

#include <QIcon>
#include <QString>

#include <memory>

namespace tevra {

// Shows each alert to the user and keeps the window's notification-area
// state: Shown, In tray (normal icon) or In tray alerted (warning icon).
// The window owns the events; this presents them and owns the tray icon.
// While in the tray, balloons come at most one per `balloonIntervalMs`, each
// with the latest line (see BalloonCoalescer).
class AlertPresenter {
public:
    AlertPresenter(std::unique_ptr<TrayIcon> tray, std::unique_ptr<WindowControl> window,
        COutputListBox& outputList, QIcon normalIcon, QIcon warningIcon,
        int balloonIntervalMs = BalloonCoalescer::kIntervalMs);
    AlertPresenter(const AlertPresenter&) = delete;
    AlertPresenter& operator=(const AlertPresenter&) = delete;

    // One numbered output line; while in the tray also a balloon and the
    // warning look, now or, for an alert within a second of the last balloon,
    // when that second is over.
    void present(const WatchEvent& event);
    // A balloon from the window's icon; texts too long for it are cut.
    bool showBalloon(const QString& text, const QString& title, int timeoutMs, BalloonIcon icon);
    // The window's activation or minimised state changed; deactivated while
    // minimised sends it to the tray. A Qt window calls this from changeEvent on
    // ActivationChange and WindowStateChange with isActiveWindow() && !isMinimized().
    void activationChanged(bool active);
    // A click on the icon; only the left button brings the window back.
    void trayClicked(TrayClick click);
    // The window came back from its minimised state by other means than the
    // icon (changeEvent, WindowStateChange, no longer minimised). Only where
    // there is no notification area at all is that leaving the tray state.
    void windowRestored();
    // Empties the output list; the numbering of later lines goes on.
    void clearOutputList();

    bool inTray() const { return inTray_; }

    // "serial - text", the line one event gives.
    static QString outputLine(const WatchEvent& event);

    static inline const QString kNormalTip = QStringLiteral("Tevra");
    static inline const QString kWarningTitle = QStringLiteral("Tevra Warning!");
    static constexpr int kBalloonTimeoutMs = 10000;

private:
    void showAlert(const QString& balloonText);
    void leaveTray();
    void sendToTray();

    std::unique_ptr<TrayIcon> tray_;
    std::unique_ptr<WindowControl> window_;
    COutputListBox& outputList_;
    const QIcon normalIcon_;
    const QIcon warningIcon_;
    bool inTray_ = false;
    bool iconAdded_ = false;
    BalloonCoalescer balloons_;
};

}  // namespace tevra
