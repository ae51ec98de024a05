#pragma once

#include "engine/WatchEvent.h"
#include "ui/core/TrayState.h"
#include "ui/core/WindowControl.h"
#include "ui/qt/OutputListBox.h"
#include "ui/qt/QtOneShotTimer.h"
#include "ui/qt/TrayIcon.h"

#include <QIcon>
#include <QString>

#include <memory>

namespace tevra {

// Shows each alert to the user: a numbered line in the output list and, by
// the shared tray logic (TrayState), the window's notification-area state and
// balloons. The window owns the events; this presents them and owns the tray icon.
class AlertPresenter : private TrayFace {
public:
    AlertPresenter(std::unique_ptr<TrayIcon> tray, std::unique_ptr<WindowControl> window,
        COutputListBox& outputList, QIcon normalIcon, QIcon warningIcon,
        int balloonIntervalMs = BalloonPacer::kIntervalMs);
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

    bool inTray() const { return state_.inTray(); }

    // "serial - text", the line one event gives.
    static QString outputLine(const WatchEvent& event);

    static inline const QString kNormalTip = QString::fromLatin1(TrayState::kNormalTip);
    static inline const QString kWarningTitle = QString::fromLatin1(TrayState::kWarningTitle);
    static constexpr int kBalloonTimeoutMs = TrayState::kBalloonTimeoutMs;

private:
    bool add(TrayPicture picture, const std::string& tip) override;
    bool modify(TrayPicture picture, const std::string& tip) override;
    void remove() override;
    bool showBalloon(
        const std::string& title, const std::string& text, int timeoutMs, BalloonIcon icon) override;
    bool isAvailable() const override;
    const QIcon& iconOf(TrayPicture picture) const;

    std::unique_ptr<TrayIcon> tray_;
    std::unique_ptr<WindowControl> window_;
    COutputListBox& outputList_;
    const QIcon normalIcon_;
    const QIcon warningIcon_;
    QtOneShotTimer balloonTimer_;
    TrayState state_;
};

}  // namespace tevra
