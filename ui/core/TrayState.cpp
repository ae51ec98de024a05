// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/core/TrayState.h"

namespace tevra {

TrayState::TrayState(
    TrayFace& tray, WindowControl& window, OneShotTimer& balloonTimer, TextFitter fit, int balloonIntervalMs)
    : tray_(tray)
    , window_(window)
    , fit_(fit)
    , balloons_([this](const std::string& text) { showAlert(text); }, balloonTimer, fit, balloonIntervalMs)
{
}

void TrayState::alert(const std::string& line)
{
    if (inTray_)
        balloons_.offer(line);
}

// The icon takes its warning look with each balloon, not with each alert: under
// a flood that is thousands of redraws of the tray a second for one picture.
void TrayState::showAlert(const std::string& balloonText)
{
    showBalloon(balloonText, kWarningTitle, kBalloonTimeoutMs, BalloonIcon::Warning);
    if (tray_.modify(TrayPicture::Warning, fit_(kWarningTitle, kTipLimit))) {
        alerted_ = true;
        sendToTray();
    }
}

bool TrayState::showBalloon(
    const std::string& text, const std::string& title, int timeoutMs, BalloonIcon icon)
{
    return tray_.showBalloon(fit_(title, kBalloonTitleLimit), fit_(text, kBalloonTextLimit), timeoutMs, icon);
}

void TrayState::activationChanged(bool active)
{
    // A minimised window may be told more than once that it lost activation;
    // adding the icon again would wipe the warning look. An icon that could not
    // be added is tried again on the next minimising.
    if (active || iconAdded_ || !window_.isMinimised())
        return;
    iconAdded_ = tray_.add(TrayPicture::Normal, fit_(kNormalTip, kTipLimit));
    if (iconAdded_)
        sendToTray();
    inTray_ = true;
}

void TrayState::trayClicked(TrayClick click)
{
    if (click != TrayClick::LeftButtonPress)
        return;
    window_.show();
    window_.restore();
    leaveTray();
}

void TrayState::windowRestored()
{
    if (tray_.isAvailable() || !inTray_)
        return;
    leaveTray();
}

void TrayState::trayRecreated()
{
    if (!iconAdded_)
        return;
    iconAdded_ = alerted_ ? tray_.add(TrayPicture::Warning, fit_(kWarningTitle, kTipLimit))
                          : tray_.add(TrayPicture::Normal, fit_(kNormalTip, kTipLimit));
}

// A balloon still waiting would pop up over the window the user just brought back.
void TrayState::leaveTray()
{
    tray_.remove();
    iconAdded_ = false;
    inTray_ = false;
    alerted_ = false;
    balloons_.drop();
}

// The window leaves the task bar and is reachable only through the icon.
void TrayState::sendToTray()
{
    window_.minimise();
    window_.hide();
}

}  // namespace tevra
