#pragma once

#include "ui/core/Balloons.h"
#include "ui/qt/QtOneShotTimer.h"

#include <QString>

#include <functional>

namespace tevra {

// The shared balloon pacing (BalloonPacer) on Qt's event loop, with Qt's texts.
class BalloonCoalescer {
public:
    using Show = std::function<void(const QString& text)>;

    static constexpr int kIntervalMs = BalloonPacer::kIntervalMs;

    explicit BalloonCoalescer(Show show, int intervalMs = kIntervalMs);

    // One alert line for a balloon: shown now, or kept until the second is over.
    void offer(const QString& line);
    // Forgets the line that waits, if any; the window has left the tray.
    void drop();

    // The balloon text for `line` when `more` other alerts were not shown.
    static QString balloonText(const QString& line, int more);

private:
    QtOneShotTimer quiet_;
    BalloonPacer pacer_;
};

}  // namespace tevra
