// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ui/core/WindowControl.h"

#include <QPointer>
#include <QWidget>

namespace tevra {

// WindowControl on a real top-level widget.
class WidgetWindowControl : public WindowControl {
public:
    explicit WidgetWindowControl(QWidget& window);

    bool isMinimised() const override;
    // Marks the window minimised without showing it, so a hidden window stays hidden.
    void minimise() override;
    void hide() override;
    void show() override;
    // Back to its normal or maximised size, active.
    void restore() override;

private:
    QPointer<QWidget> window_;
};

}  // namespace tevra
