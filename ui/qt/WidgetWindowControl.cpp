// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/qt/WidgetWindowControl.h"

namespace tevra {

WidgetWindowControl::WidgetWindowControl(QWidget& window)
    : window_(&window)
{
}

bool WidgetWindowControl::isMinimised() const
{
    return window_ && window_->isMinimized();
}

void WidgetWindowControl::minimise()
{
    if (window_)
        window_->setWindowState(window_->windowState() | Qt::WindowMinimized);
}

void WidgetWindowControl::hide()
{
    if (window_)
        window_->hide();
}

void WidgetWindowControl::show()
{
    if (!window_)
        return;
    // A hidden window still marked minimised would be mapped as an icon, and on
    // X11 the window manager's late word on that minimises it again after the
    // restore that follows: it comes back in its normal state at once instead.
    if (window_->isHidden())
        window_->setWindowState(window_->windowState() & ~Qt::WindowMinimized);
    window_->show();
}

void WidgetWindowControl::restore()
{
    if (!window_)
        return;
    window_->setWindowState((window_->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    window_->activateWindow();
}

}  // namespace tevra
