// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>

namespace tevra {

// A timer of the face's event loop that fires once, on the window's thread.
class OneShotTimer {
public:
    virtual ~OneShotTimer() = default;

    // (Re)starts the timer; `fired` runs once when `milliseconds` are over.
    virtual void start(int milliseconds, std::function<void()> fired) = 0;
    virtual bool isActive() const = 0;
};

}  // namespace tevra
