// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/qt/BalloonCoalescer.h"

#include "ui/qt/TextLimits.h"

#include <utility>

namespace tevra {

BalloonCoalescer::BalloonCoalescer(Show show, int intervalMs)
    : show_(std::move(show))
{
    quiet_.setSingleShot(true);
    // A coarse timer may end the second up to 5 % early.
    quiet_.setTimerType(Qt::PreciseTimer);
    quiet_.setInterval(intervalMs);
    QObject::connect(&quiet_, &QTimer::timeout, [this] { secondOver(); });
}

void BalloonCoalescer::offer(const QString& line)
{
    if (quiet_.isActive()) {
        latest_ = line;
        ++waiting_;
        return;
    }
    quiet_.start();
    show_(balloonText(line, 0));
}

void BalloonCoalescer::drop()
{
    latest_.clear();
    waiting_ = 0;
}

void BalloonCoalescer::secondOver()
{
    if (waiting_ == 0)
        return;
    const QString text = balloonText(latest_, waiting_ - 1);
    drop();
    // The next second starts with this balloon.
    quiet_.start();
    show_(text);
}

QString BalloonCoalescer::balloonText(const QString& line, int more)
{
    if (more == 0)
        return fitToLimit(line, kBalloonTextLimit);
    const QString count = QStringLiteral("\n(+%1 more)").arg(more);
    return fitToLimit(line, kBalloonTextLimit - int(count.size())) + count;
}

}  // namespace tevra
