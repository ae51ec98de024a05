#include "ui/WidgetWindowControl.h"

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
    if (window_)
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
