#include "ui/SystemTrayIcon.h"

#include <QPixmap>

#include <gtest/gtest.h>

#include <vector>

namespace tevra::test {
namespace {

TEST(SystemTrayIcon, OnlyASingleLeftClickCountsAsTheLeftButtonPress)
{
    const std::vector<std::pair<QSystemTrayIcon::ActivationReason, TrayClick>> cases {
        { QSystemTrayIcon::Trigger, TrayClick::LeftButtonPress },
        { QSystemTrayIcon::Context, TrayClick::RightButton },
        { QSystemTrayIcon::DoubleClick, TrayClick::DoubleClick },
        { QSystemTrayIcon::MiddleClick, TrayClick::MiddleButton },
        { QSystemTrayIcon::Unknown, TrayClick::Other },
    };
    for (const auto& [reason, click] : cases)
        EXPECT_EQ(SystemTrayIcon::clickOf(reason), click) << int(reason);
}

// The offscreen desktop has no notification area, like a desktop without a tray host.
TEST(SystemTrayIcon, WithoutANotificationAreaNothingPretendsToBeShown)
{
    ASSERT_FALSE(QSystemTrayIcon::isSystemTrayAvailable());
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::blue);
    SystemTrayIcon tray;

    EXPECT_FALSE(tray.isAvailable());
    EXPECT_FALSE(tray.add(QIcon(pixmap), "Tevra"));
    EXPECT_FALSE(tray.modify(QIcon(pixmap), "Tevra Warning!"));
    EXPECT_FALSE(tray.showBalloon("Tevra Warning!", "1 - text", 10000, BalloonIcon::Warning));
    tray.remove();
}

TEST(SystemTrayIcon, WithoutANotificationAreaBalloonsGoToTheNotifier)
{
    // A bus that is not connected: the notifier is asked, and says it could not send.
    SystemTrayIcon tray(std::make_unique<DesktopNotifier>(QDBusConnection(QStringLiteral("tevra-no-bus"))));
    EXPECT_FALSE(tray.showBalloon("Tevra Warning!", "1 - text", 10000, BalloonIcon::Warning));
}

}  // namespace
}  // namespace tevra::test
