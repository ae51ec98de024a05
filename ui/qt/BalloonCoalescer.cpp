#include "ui/qt/BalloonCoalescer.h"

#include "ui/qt/TextLimits.h"

#include <utility>

namespace tevra {

BalloonCoalescer::BalloonCoalescer(Show show, int intervalMs)
    : pacer_([show = std::move(show)](const std::string& text) { show(QString::fromStdString(text)); },
        quiet_, fitUtf8ByGraphemes, intervalMs)
{
}

void BalloonCoalescer::offer(const QString& line)
{
    pacer_.offer(line.toStdString());
}

void BalloonCoalescer::drop()
{
    pacer_.drop();
}

QString BalloonCoalescer::balloonText(const QString& line, int more)
{
    return QString::fromStdString(BalloonPacer::balloonText(line.toStdString(), more, fitUtf8ByGraphemes));
}

}  // namespace tevra
