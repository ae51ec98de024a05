// SPDX-License-Identifier: GPL-3.0-or-later
// The tray of today's desktops: KDE Plasma, and GNOME with its tray
// extension, show tray icons as StatusNotifierItems on the session bus, not in
// the X11 tray that the screenshot scripts use. Here the real window, with
// its real tray icon, runs on an X display and a session bus of the test's
// own (tests/support/with-x-display.sh under dbus-run-session), where a
// minimal StatusNotifierWatcher reads the icon as a tray reads it and clicks
// it when told to.
#include "FakeNotificationService.h"
#include "WindowFixture.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDeadlineTimer>
#include <QProcess>

#include <cstdlib>
#include <ctime>

namespace tevra::test {
namespace {

class StatusNotifierTray : public WindowTest {
protected:
    // Before the window: Qt settles on the D-Bus tray when it makes the first
    // tray icon, and only where a watcher is there by then.
    static void SetUpTestSuite()
    {
        if (QGuiApplication::platformName() != QStringLiteral("xcb")
            || !QDBusConnection::sessionBus().isConnected())
            return;
        watcher = new QProcess;
        watcher->setProgram(QStringLiteral(TEVRA_SNI_WATCHER));
        watcher->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        watcher->start();
        if (awaitLine("ready").isEmpty())
            TearDownTestSuite();
    }

    static void TearDownTestSuite()
    {
        if (watcher == nullptr)
            return;
        watcher->closeWriteChannel();
        watcher->waitForFinished(5000);
        delete watcher;
        watcher = nullptr;
    }

    void SetUp() override
    {
        if (watcher == nullptr)
            GTEST_SKIP() << "needs an X display, a session bus of its own and the watcher";
        // The desktop's notification service, on a connection of its own.
        serviceBus = std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(
            QDBusConnection::SessionBus, QStringLiteral("tevra-notifications")));
        ASSERT_TRUE(serviceBus->registerObject(QStringLiteral("/org/freedesktop/Notifications"),
            &notifications, QDBusConnection::ExportAllSlots));
        ASSERT_TRUE(serviceBus->registerService(QStringLiteral("org.freedesktop.Notifications")));
    }

    void TearDown() override
    {
        if (serviceBus)
            QDBusConnection::disconnectFromBus(QStringLiteral("tevra-notifications"));
    }

    // The watcher's next line that starts with `start`, the lines before it
    // passed over; empty when none came. The event loop runs meanwhile, so the
    // window answers the watcher's questions.
    static QString awaitLine(const char* start)
    {
        const QDeadlineTimer giveUp(10000);
        while (!giveUp.hasExpired()) {
            while (watcher->canReadLine()) {
                const QString line = QString::fromUtf8(watcher->readLine()).trimmed();
                if (line.startsWith(QLatin1String(start)))
                    return line;
            }
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        }
        return {};
    }

    // The window manager has let go of the window (ICCCM: no WM_STATE, or
    // Withdrawn) once it has dealt with the minimising and the hiding; a click
    // before that would race the window manager's late word on them.
    bool awaitWithdrawn()
    {
        return awaitUntil([this] {
            QProcess xprop;
            xprop.start(QStringLiteral("xprop"),
                { QStringLiteral("-id"), QString::number(dlg.winId()), QStringLiteral("WM_STATE") });
            xprop.waitForFinished(5000);
            const QByteArray state = xprop.readAllStandardOutput();
            return xprop.exitCode() == 0 && !state.contains("Iconic") && !state.contains("Normal");
        });
    }

    template<typename Done> static bool awaitUntil(Done done)
    {
        const QDeadlineTimer giveUp(10000);
        while (!done() && !giveUp.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        return done();
    }

    static inline QProcess* watcher = nullptr;
    FakeNotificationService notifications;
    std::unique_ptr<QDBusConnection> serviceBus;
};

TEST_F(StatusNotifierTray, IconRegistersAnAlertChangesItAClickRestoresTheWindow)
{
    tick({ arpRow("192.168.0.1", "00-0C-29-11-22-33") });
    dlg.show();
    // Minimised and not active: the window goes behind its item.
    dlg.setWindowState(Qt::WindowMinimized);
    ASSERT_TRUE(dlg.presenter->inTray());
    EXPECT_FALSE(awaitLine("registered").isEmpty());
    const QString normalIcon = awaitLine("icon ");
    EXPECT_FALSE(normalIcon.isEmpty());
    EXPECT_EQ(awaitLine("tooltip "), "tooltip Tevra");
    EXPECT_FALSE(dlg.isVisible());

    tick({ arpRow("192.168.0.1", "00-0C-29-44-55-66") });
    const QString warningIcon = awaitLine("icon ");
    EXPECT_FALSE(warningIcon.isEmpty());
    EXPECT_NE(warningIcon, normalIcon);
    EXPECT_EQ(awaitLine("tooltip "), "tooltip Tevra Warning!");
    // Such a tray shows balloons as notifications: this one comes from the
    // window itself, with the hints that Qt's own would lack.
    ASSERT_TRUE(awaitUntil([this] { return !notifications.received.empty(); }));
    const ReceivedNotification& balloon = notifications.received.back();
    EXPECT_EQ(balloon.summary, "Tevra Warning!");
    EXPECT_TRUE(
        balloon.body.contains(" - 14:03:09: Mapping changed: 192.168.0.1 changed from 00-0C-29-11-22-33 "
                              "to 00-0C-29-44-55-66"))
        << balloon.body.toStdString();
    EXPECT_EQ(balloon.hints.value("desktop-entry").toString(), "org.example.tevra");

    // A left click, as the tray reports it.
    ASSERT_TRUE(awaitWithdrawn());
    watcher->write("activate\n");
    EXPECT_FALSE(awaitLine("activated").isEmpty());
    EXPECT_TRUE(awaitUntil([this] { return !dlg.presenter->inTray(); }));
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_FALSE(dlg.isMinimized());
    // And the item leaves the tray.
    EXPECT_FALSE(awaitLine("gone").isEmpty());
}

}  // namespace
}  // namespace tevra::test

int main(int argc, char** argv)
{
    // The D-Bus tray belongs to the X11 platform; with no display the test is skipped.
    setenv("QT_QPA_PLATFORM", std::getenv("DISPLAY") != nullptr ? "xcb" : "offscreen", 1);
    setenv("TZ", "UTC", 1);
    tzset();
    QApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
