// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/qt/TrayIcon.h"

#include <QIcon>
#include <QString>

#include <string>
#include <vector>

namespace tevra::test {

struct BalloonRequest {
    QString title;
    QString text;
    int timeoutMs = 0;
    BalloonIcon icon = BalloonIcon::None;
};

// A notification area that records what it is asked and answers like one:
// only an icon that is there can be changed or show balloons.
class FakeTrayIcon : public TrayIcon {
public:
    bool add(const QIcon& newIcon, const QString& newTip) override
    {
        calls.push_back("add");
        if (!addSucceeds)
            return false;
        icon = newIcon;
        tip = newTip;
        present = true;
        return true;
    }
    bool modify(const QIcon& newIcon, const QString& newTip) override
    {
        calls.push_back("modify");
        if (!present)
            return false;
        icon = newIcon;
        tip = newTip;
        return true;
    }
    void remove() override
    {
        calls.push_back("remove");
        present = false;
    }
    bool showBalloon(
        const QString& title, const QString& text, int timeoutMs, BalloonIcon balloonIcon) override
    {
        calls.push_back("balloon");
        balloons.push_back({ title, text, timeoutMs, balloonIcon });
        return present || !available;
    }
    bool isAvailable() const override { return available; }
    void setClickHandler(ClickHandler handler) override { clickHandler = std::move(handler); }

    void click(TrayClick what)
    {
        if (clickHandler)
            clickHandler(what);
    }

    bool available = true;
    bool addSucceeds = true;
    bool present = false;
    QIcon icon;
    QString tip;
    std::vector<BalloonRequest> balloons;
    std::vector<std::string> calls;
    ClickHandler clickHandler;
};

}  // namespace tevra::test
