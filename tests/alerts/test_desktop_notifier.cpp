// SPDX-License-Identifier: GPL-3.0-or-later
#include "FakeNotificationService.h"
#include "ui/core/WindowControl.h"
#include "ui/qt/AlertPresenter.h"
#include "ui/qt/SystemTrayIcon.h"
#include "ui/qt/linux/FreedesktopNotifier.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDeadlineTimer>
#include <QPixmap>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace tevra::test {
namespace {

// Runs on a session bus of its own (dbus-run-session), where it plays the
// desktop's notification service on a second connection.
class DesktopNotifierTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!QDBusConnection::sessionBus().isConnected())
            GTEST_SKIP() << "no session bus";
        serviceBus = std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(
            QDBusConnection::SessionBus, QStringLiteral("tevra-fake-notifications")));
        ASSERT_TRUE(serviceBus->registerObject(
            QStringLiteral("/org/freedesktop/Notifications"), &service, QDBusConnection::ExportAllSlots));
        ASSERT_TRUE(serviceBus->registerService(QStringLiteral("org.freedesktop.Notifications")));
    }

    void TearDown() override
    {
        if (!serviceBus)
            return;
        serviceBus->unregisterService(QStringLiteral("org.freedesktop.Notifications"));
        serviceBus->unregisterObject(QStringLiteral("/org/freedesktop/Notifications"));
        QDBusConnection::disconnectFromBus(QStringLiteral("tevra-fake-notifications"));
    }

    // The message crosses the bus; waits until it is in, or gives up.
    void awaitNotifications(std::size_t count, int giveUpMs = 10000)
    {
        const QDeadlineTimer giveUp(giveUpMs);
        while (service.received.size() < count && !giveUp.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }

    FakeNotificationService service;
    std::unique_ptr<QDBusConnection> serviceBus;
};

// Texts as given; the hints tell the desktop whose notification it is (the
// desktop entry), how urgent and what about, and the balloon's picture.
TEST_F(DesktopNotifierTest, SendsTextsWithTheHintsDesktopsDecideBy)
{
    struct Case {
        BalloonIcon icon;
        QString image;  // empty: no image hint at all
        uchar urgency;
    };
    const std::vector<Case> cases {
        { BalloonIcon::Warning, "dialog-warning", 2 },
        { BalloonIcon::Information, "dialog-information", 1 },
        { BalloonIcon::Error, "dialog-error", 2 },
        { BalloonIcon::None, "", 1 },
    };
    for (const Case& c : cases) {
        FreedesktopNotifier notifier;
        EXPECT_TRUE(notifier.notify("Tevra Warning!", "7 - 09:15:00: Mapping changed", 10000, c.icon));
        awaitNotifications(service.received.size() + 1);
    }

    ASSERT_EQ(service.received.size(), cases.size());
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const ReceivedNotification& got = service.received[i];
        EXPECT_EQ(got.appName, "Tevra");
        EXPECT_EQ(got.replacesId, 0u);
        EXPECT_EQ(got.appIcon, "org.example.tevra");
        EXPECT_EQ(got.summary, "Tevra Warning!");
        EXPECT_EQ(got.body, "7 - 09:15:00: Mapping changed");
        EXPECT_EQ(got.expireTimeout, 10000);
        EXPECT_EQ(got.hints.value("desktop-entry").toString(), "org.example.tevra");
        EXPECT_EQ(got.hints.value("category").toString(), "network");
        // A byte on the bus, as the notification specification has it.
        EXPECT_EQ(got.hints.value("urgency").metaType(), QMetaType::fromType<uchar>());
        EXPECT_EQ(got.hints.value("urgency").value<uchar>(), cases[i].urgency);
        EXPECT_EQ(got.hints.contains("image-path"), !cases[i].image.isEmpty());
        EXPECT_EQ(got.hints.value("image-path").toString(), cases[i].image);
    }
}

TEST_F(DesktopNotifierTest, EachNotificationReplacesTheOneBefore)
{
    FreedesktopNotifier notifier;
    for (const char* body : { "1 - first", "2 - second", "3 - third" }) {
        ASSERT_TRUE(notifier.notify("Tevra Warning!", body, 10000, BalloonIcon::Warning));
        awaitNotifications(service.received.size() + 1);
    }

    ASSERT_EQ(service.received.size(), 3u);
    const std::vector<uint> replaced { 0, 1, 1 };
    for (std::size_t i = 0; i < replaced.size(); ++i)
        EXPECT_EQ(service.received[i].replacesId, replaced[i]) << i;
    EXPECT_EQ(service.received[2].body, "3 - third");
}

// The service's number for the first is needed to replace it, so what comes
// before its answer waits, and only the newest is sent.
TEST_F(DesktopNotifierTest, NotificationsBeforeTheFirstAnswerWaitAndOnlyTheNewestIsSent)
{
    FreedesktopNotifier notifier;
    for (const char* body : { "1 - first", "2 - second", "3 - third" })
        ASSERT_TRUE(notifier.notify("Tevra Warning!", body, 10000, BalloonIcon::Warning));
    // Time enough for a third that should not come.
    awaitNotifications(3, 300);

    ASSERT_EQ(service.received.size(), 2u);
    EXPECT_EQ(service.received[0].body, "1 - first");
    EXPECT_EQ(service.received[0].replacesId, 0u);
    EXPECT_EQ(service.received[1].body, "3 - third");
    EXPECT_EQ(service.received[1].replacesId, 1u);
}

TEST_F(DesktopNotifierTest, WithoutABusNothingIsSent)
{
    FreedesktopNotifier notifier(QDBusConnection(QStringLiteral("tevra-no-bus")));
    EXPECT_FALSE(notifier.notify("Tevra Warning!", "1 - text", 10000, BalloonIcon::Warning));
}

class MinimisedWindow : public WindowControl {
public:
    bool isMinimised() const override { return true; }
    void minimise() override { ++changes; }
    void hide() override { ++changes; }
    void show() override { ++changes; }
    void restore() override { ++changes; }
    int changes = 0;
};

// The whole fallback: the offscreen desktop has no notification area, so the
// window stays in the task bar and each alert becomes a notification.
TEST_F(DesktopNotifierTest, WithoutANotificationAreaAlertsBecomeNotifications)
{
    ASSERT_FALSE(QSystemTrayIcon::isSystemTrayAvailable());
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::green);
    COutputListBox outputList;
    auto window = std::make_unique<MinimisedWindow>();
    MinimisedWindow& windowSeen = *window;
    AlertPresenter presenter(std::make_unique<SystemTrayIcon>(makeDesktopNotifier()), std::move(window),
        outputList, QIcon(pixmap), QIcon(pixmap));

    presenter.activationChanged(false);
    tevra::WatchEvent event;
    event.serial = 5;
    event.text = "09:15:00: Broadcast MAC: 192.168.0.7 has FF-FF-FF-FF-FF-FF";
    presenter.present(event);
    awaitNotifications(1);

    EXPECT_TRUE(presenter.inTray());
    EXPECT_EQ(windowSeen.changes, 0);
    ASSERT_EQ(service.received.size(), 1u);
    EXPECT_EQ(service.received[0].summary, "Tevra Warning!");
    EXPECT_EQ(service.received[0].body, "5 - 09:15:00: Broadcast MAC: 192.168.0.7 has FF-FF-FF-FF-FF-FF");
}

}  // namespace
}  // namespace tevra::test
