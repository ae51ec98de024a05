// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/core/Balloons.h"

#include <utility>

namespace tevra {

BalloonPacer::BalloonPacer(Show show, OneShotTimer& quiet, TextFitter fit, int intervalMs)
    : show_(std::move(show))
    , quiet_(quiet)
    , fit_(fit)
    , intervalMs_(intervalMs)
{
}

void BalloonPacer::offer(const std::string& line)
{
    if (quiet_.isActive()) {
        latest_ = line;
        ++waiting_;
        return;
    }
    quiet_.start(intervalMs_, [this] { secondOver(); });
    show_(balloonText(line, 0, fit_));
}

void BalloonPacer::drop()
{
    latest_.clear();
    waiting_ = 0;
}

void BalloonPacer::secondOver()
{
    if (waiting_ == 0)
        return;
    const std::string text = balloonText(latest_, waiting_ - 1, fit_);
    drop();
    // The next second starts with this balloon.
    quiet_.start(intervalMs_, [this] { secondOver(); });
    show_(text);
}

std::string BalloonPacer::balloonText(const std::string& line, int more, TextFitter fit)
{
    if (more == 0)
        return fit(line, kBalloonTextLimit);
    const std::string count = "\n(+" + std::to_string(more) + " more)";
    return fit(line, kBalloonTextLimit - static_cast<int>(count.size())) + count;
}

}  // namespace tevra
