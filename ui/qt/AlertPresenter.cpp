#include "ui/qt/AlertPresenter.h"

#include "ui/core/ExportText.h"
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
    , state_(*this, *window_, balloonTimer_, fitUtf8ByGraphemes, balloonIntervalMs)
{
    tray_->setClickHandler([this](TrayClick click) { trayClicked(click); });
}

QString AlertPresenter::outputLine(const WatchEvent& event)
{
    return QString::fromStdString(alertLine(event));
}

void AlertPresenter::present(const WatchEvent& event)
{
    const QString line = outputLine(event);
    outputList_.AddString(line);
    state_.alert(line.toStdString());
}

bool AlertPresenter::showBalloon(const QString& text, const QString& title, int timeoutMs, BalloonIcon icon)
{
    return state_.showBalloon(text.toStdString(), title.toStdString(), timeoutMs, icon);
}

void AlertPresenter::activationChanged(bool active)
{
    state_.activationChanged(active);
}

void AlertPresenter::trayClicked(TrayClick click)
{
    state_.trayClicked(click);
}

void AlertPresenter::windowRestored()
{
    state_.windowRestored();
}

void AlertPresenter::clearOutputList()
{
    // All at once: deleting line by line re-measures what is left each time,
    // which for a list an attack has filled would take hours.
    outputList_.clear();
}

const QIcon& AlertPresenter::iconOf(TrayPicture picture) const
{
    return picture == TrayPicture::Warning ? warningIcon_ : normalIcon_;
}

bool AlertPresenter::add(TrayPicture picture, const std::string& tip)
{
    return tray_->add(iconOf(picture), QString::fromStdString(tip));
}

bool AlertPresenter::modify(TrayPicture picture, const std::string& tip)
{
    return tray_->modify(iconOf(picture), QString::fromStdString(tip));
}

void AlertPresenter::remove()
{
    tray_->remove();
}

bool AlertPresenter::showBalloon(
    const std::string& title, const std::string& text, int timeoutMs, BalloonIcon icon)
{
    return tray_->showBalloon(QString::fromStdString(title), QString::fromStdString(text), timeoutMs, icon);
}

bool AlertPresenter::isAvailable() const
{
    return tray_->isAvailable();
}

}  // namespace tevra
