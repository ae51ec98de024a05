// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/qt/WidgetWindowControl.h"

#include <QApplication>
#include <QWidget>

#include <gtest/gtest.h>

#include <memory>

namespace tevra::test {
namespace {

TEST(WidgetWindowControl, MinimisingAndHidingThenShowingAndRestoringBringsTheWindowBack)
{
    QWidget window;
    window.resize(200, 100);
    window.show();
    WidgetWindowControl control(window);
    ASSERT_FALSE(control.isMinimised());

    control.minimise();
    control.hide();
    EXPECT_TRUE(control.isMinimised());
    EXPECT_FALSE(window.isVisible());

    control.show();
    control.restore();
    EXPECT_FALSE(control.isMinimised());
    EXPECT_TRUE(window.isVisible());
}

TEST(WidgetWindowControl, MinimisingAHiddenWindowKeepsItHidden)
{
    QWidget window;
    window.show();
    WidgetWindowControl control(window);
    control.minimise();
    control.hide();

    control.minimise();
    control.hide();
    QApplication::processEvents();

    EXPECT_FALSE(window.isVisible());
    EXPECT_TRUE(control.isMinimised());
}

TEST(WidgetWindowControl, AWindowThatIsGoneIsLeftAlone)
{
    auto window = std::make_unique<QWidget>();
    WidgetWindowControl control(*window);
    window.reset();

    control.minimise();
    control.hide();
    control.show();
    control.restore();
    EXPECT_FALSE(control.isMinimised());
}

}  // namespace
}  // namespace tevra::test
