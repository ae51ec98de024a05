// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/core/OneShotTimer.h"

#include <QTimer>

#include <functional>
#include <utility>

namespace tevra {

// The shared logic's one-shot timer on Qt's event loop.
class QtOneShotTimer : public OneShotTimer {
public:
    QtOneShotTimer()
    {
        timer_.setSingleShot(true);
        // A coarse timer may end the interval up to 5 % early.
        timer_.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            if (fired_)
                fired_();
        });
    }

    void start(int milliseconds, std::function<void()> fired) override
    {
        fired_ = std::move(fired);
        timer_.start(milliseconds);
    }
    bool isActive() const override { return timer_.isActive(); }

private:
    QTimer timer_;
    std::function<void()> fired_;
};

}  // namespace tevra
