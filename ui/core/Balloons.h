// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/core/OneShotTimer.h"
#include "ui/core/TextFit.h"

#include <functional>
#include <string>

namespace tevra {

// Lets at most one alert balloon through a second. An alert after a quiet
// second is shown at once; alerts within the second after a balloon wait, and
// when it is over only the latest is shown, saying how many others came since
// the balloon before. One balloon per alert, without limit, locks up the
// desktop under an attack; the output list still gets every line.
class BalloonPacer {
public:
    using Show = std::function<void(const std::string& text)>;

    static constexpr int kIntervalMs = 1000;

    BalloonPacer(Show show, OneShotTimer& quiet, TextFitter fit, int intervalMs = kIntervalMs);

    // One alert line for a balloon: shown now, or kept until the second is over.
    void offer(const std::string& line);
    // Forgets the line that waits, if any; the window has left the tray.
    void drop();

    // The balloon text for `line` when `more` other alerts were not shown:
    // the line, cut to leave room, and "(+N more)" on a line of its own.
    static std::string balloonText(const std::string& line, int more, TextFitter fit);

private:
    void secondOver();

    Show show_;
    OneShotTimer& quiet_;
    TextFitter fit_;
    int intervalMs_;
    std::string latest_;
    int waiting_ = 0;  // alerts that came since the last balloon shown
};

}  // namespace tevra
