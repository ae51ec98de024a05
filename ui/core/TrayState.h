// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/core/Balloons.h"
#include "ui/core/TrayTypes.h"
#include "ui/core/WindowControl.h"

#include <string>

namespace tevra {

// The window's one notification-area icon as the tray logic sees it; texts
// are UTF-8 and already cut to the tray's limits.
class TrayFace {
public:
    virtual ~TrayFace() = default;

    // Puts the icon into the notification area; false when there is none to take it.
    virtual bool add(TrayPicture picture, const std::string& tip) = 0;
    // Changes the icon and tip of the icon that is there; false when there is none.
    virtual bool modify(TrayPicture picture, const std::string& tip) = 0;
    // Takes the icon away; nothing happens when there is none.
    virtual void remove() = 0;
    // Shows a balloon message from the icon; false when it could not be shown.
    virtual bool showBalloon(
        const std::string& title, const std::string& text, int timeoutMs, BalloonIcon icon)
        = 0;
    // Whether the desktop has a notification area at all.
    virtual bool isAvailable() const = 0;
};

// The window's notification-area state: Shown, In tray (normal icon) or In
// tray alerted (warning icon). While in the tray, alerts become balloons, at
// most one per `balloonIntervalMs`, each with the latest line.
class TrayState {
public:
    static constexpr const char* kNormalTip = "Tevra";
    static constexpr const char* kWarningTitle = "Tevra Warning!";
    static constexpr int kBalloonTimeoutMs = 10000;

    TrayState(TrayFace& tray, WindowControl& window, OneShotTimer& balloonTimer, TextFitter fit,
        int balloonIntervalMs = BalloonPacer::kIntervalMs);
    TrayState(const TrayState&) = delete;
    TrayState& operator=(const TrayState&) = delete;

    // One alert line: while in the tray a balloon and the warning look, now
    // or, within a second of the last balloon, when that second is over.
    void alert(const std::string& line);
    // A balloon from the window's icon; texts too long for it are cut.
    bool showBalloon(const std::string& text, const std::string& title, int timeoutMs, BalloonIcon icon);
    // The window's activation or minimised state changed; deactivated while
    // minimised sends it to the tray.
    void activationChanged(bool active);
    // A click on the icon; only the left button brings the window back.
    void trayClicked(TrayClick click);
    // The window came back from its minimised state by other means than the
    // icon. Only where there is no notification area at all is that leaving the tray.
    void windowRestored();
    // The notification area came back (Explorer restarted): the icon is put
    // there again, in the look it had.
    void trayRecreated();

    bool inTray() const { return inTray_; }
    bool alerted() const { return alerted_; }

private:
    void showAlert(const std::string& balloonText);
    void leaveTray();
    void sendToTray();

    TrayFace& tray_;
    WindowControl& window_;
    TextFitter fit_;
    bool inTray_ = false;
    bool iconAdded_ = false;
    bool alerted_ = false;
    BalloonPacer balloons_;
};

}  // namespace tevra
