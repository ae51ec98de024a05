// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace tevra {

// The few things the alert logic does to the main window, so it can be driven
// without a real top-level window.
class WindowControl {
public:
    virtual ~WindowControl() = default;

    virtual bool isMinimised() const = 0;
    virtual void minimise() = 0;
    virtual void hide() = 0;
    virtual void show() = 0;
    virtual void restore() = 0;
};

}  // namespace tevra
