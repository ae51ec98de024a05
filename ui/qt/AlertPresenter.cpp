// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/qt/AlertPresenter.h"

#include "ui/qt/TextLimits.h"

#include <utility>

namespace tevra {

AlertPresenter::AlertPresenter(std::unique_ptr<TrayIcon> tray, std::unique_ptr<WindowControl> window,
    COutputListBox& outputList, QIcon normalIcon, QIcon warningIcon, int balloonIntervalMs)
    : tray_(std::move(tray))
    , window_(std::move(window))
    , outputList_(outputList)
    , normalIcon_(std::move(normalIcon))
    , warningIcon_(std::move(warningIcon))
    , balloons_([this](const QString& text) { showAlert(text); }, balloonIntervalMs)
{
    tray_->setClickHandler([this](TrayClick click) { trayClicked(click); });
}

QString AlertPresenter::outputLine(const WatchEvent& event)
{
    return QString::number(event.serial) + QStringLiteral(" - ") + QString::fromStdString(event.text);
}

void AlertPresenter::present(const WatchEvent& event)
{
    const QString line = outputLine(event);
    outputList_.AddString(line);
    if (inTray_)
        balloons_.offer(line);
}

// The icon takes its warning look with each balloon, not with each alert: under
// a flood that is thousands of redraws of the tray a second for one picture.
void AlertPresenter::showAlert(const QString& balloonText)
{
    showBalloon(balloonText, kWarningTitle, kBalloonTimeoutMs, BalloonIcon::Warning);
    if (tray_->modify(warningIcon_, fitToLimit(kWarningTitle, kTipLimit)))
        sendToTray();
}

bool AlertPresenter::showBalloon(const QString& text, const QString& title, int timeoutMs, BalloonIcon icon)
{
    return tray_->showBalloon(
        fitToLimit(title, kBalloonTitleLimit), fitToLimit(text, kBalloonTextLimit), timeoutMs, icon);
}

void AlertPresenter::activationChanged(bool active)
{
    // A minimised window may be told more than once that it lost activation;
    // adding the icon again would wipe the warning look. An icon that could not
    // be added is tried again on the next minimising.
    if (active || iconAdded_ || !window_->isMinimised())
        return;
    iconAdded_ = tray_->add(normalIcon_, fitToLimit(kNormalTip, kTipLimit));
    if (iconAdded_)
        sendToTray();
    inTray_ = true;
}

void AlertPresenter::trayClicked(TrayClick click)
{
    if (click != TrayClick::LeftButtonPress)
        return;
    window_->show();
    window_->restore();
    leaveTray();
}

void AlertPresenter::windowRestored()
{
    if (tray_->isAvailable() || !inTray_)
        return;
    leaveTray();
}

// A balloon still waiting would pop up over the window the user just brought back.
void AlertPresenter::leaveTray()
{
    tray_->remove();
    iconAdded_ = false;
    inTray_ = false;
    balloons_.drop();
}

void AlertPresenter::clearOutputList()
{
    // All at once: deleting line by line re-measures what is left each time,
    // which for a list an attack has filled would take hours.
    outputList_.clear();
}

// The window leaves the task bar and is reachable only through the icon.
void AlertPresenter::sendToTray()
{
    window_->minimise();
    window_->hide();
}

}  // namespace tevra
