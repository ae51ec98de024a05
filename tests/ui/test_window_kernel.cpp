// SPDX-License-Identifier: GPL-3.0-or-later
// The window on the real kernel table of a network namespace of the test's
// own, hidden in the tray of a desktop without a notification area, telling a
// recorded notification service on a session bus of its own (dbus-run-session).
#include "Command.h"
#include "FakeNotificationService.h"
#include "KernelTest.h"
#include "NamespacePair.h"
#include "ui/core/Balloons.h"
#include "ui/qt/WatcherDlg.h"

#include <QDBusConnection>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace tevra::test {
namespace {

const QString kServiceConnection = QStringLiteral("tevra-fake-notifications");
const QString kServiceName = QStringLiteral("org.freedesktop.Notifications");
const QString kServicePath = QStringLiteral("/org/freedesktop/Notifications");

// The buses are joined before the thread moves into the namespace, so they
// work whatever kind of socket the bus listens on.
struct NotificationDesktop {
    NotificationDesktop()
    {
        if (!QDBusConnection::sessionBus().isConnected())
            return;
        QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, kServiceConnection);
        registered = bus.registerObject(kServicePath, &service, QDBusConnection::ExportAllSlots)
            && bus.registerService(kServiceName);
    }
    ~NotificationDesktop() { QDBusConnection::disconnectFromBus(kServiceConnection); }

    FakeNotificationService service;
    bool registered = false;
};

class WindowKernelTest : public KernelTest {
protected:
    void SetUp() override
    {
        KernelTest::SetUp();
        if (kernelMissing())
            return;
        ASSERT_TRUE(desktop.registered) << "no session bus of the test's own";
        namespaces = std::make_unique<NamespacePair>();
        ASSERT_TRUE(namespaces->ok()) << namespaces->error;
        entry = std::make_unique<NamespaceEntry>(namespaces->hostName());
        ASSERT_TRUE(entry->ok());
    }

    // `ip -batch` in the host namespace: every line by one process, as fast as it can.
    void ipBatch(const std::vector<std::string>& lines)
    {
        const auto file = std::filesystem::temp_directory_path() / ("tevra-window-" + namespaces->hostName());
        {
            std::ofstream out(file);
            for (const std::string& line : lines)
                out << line << '\n';
        }
        const CommandResult result
            = runCommand({ "ip", "-n", namespaces->hostName(), "-batch", file.string() });
        std::filesystem::remove(file);
        ASSERT_EQ(result.status, 0) << result.err;
    }

    NotificationDesktop desktop;
    std::unique_ptr<NamespacePair> namespaces;
    std::unique_ptr<NamespaceEntry> entry;
};

std::string macOf(int change)
{
    char mac[32];
    std::snprintf(mac, sizeof mac, "02:00:00:00:%02x:%02x", change >> 8, change & 0xFF);
    return mac;
}

// A forger flipping one mapping in bursts: every change is a line in the
// output list, while the desktop gets one notification at once and then, at
// most once a second, one that replaces it with the latest line and how many
// more came since the last one shown.
TEST_F(WindowKernelTest, ABurstInTheTrayGivesEveryLineAndCoalescedReplacingNotifications)
{
    ASSERT_TRUE(namespaces->ipInHost(
        { "neigh", "add", "10.66.0.5", "lladdr", macOf(0), "dev", "veth0", "nud", "permanent" }));
    CWatcherDlg dlg(hostnet::makePlatformIpHelper());
    dlg.pause = [](int) {};
    dlg.OnInitDialog();
    ASSERT_TRUE(dlg.followsChanges());
    dlg.OnTimer();
    dlg.show();
    dlg.setWindowState(Qt::WindowMinimized);
    ASSERT_TRUE(QTest::qWaitFor([&] { return dlg.presenter->inTray(); }, 2000));
    const int linesBefore = dlg.outputList.count();

    constexpr int kBursts = 5;
    constexpr int kChangesPerBurst = 60;
    int change = 0;
    for (int burst = 0; burst < kBursts; ++burst) {
        std::vector<std::string> lines;
        for (int i = 0; i < kChangesPerBurst; ++i)
            lines.push_back("neigh replace 10.66.0.5 lladdr " + macOf(++change) + " dev veth0 nud permanent");
        ipBatch(lines);
        QTest::qWait(400);
    }
    const int changes = change;
    ASSERT_TRUE(QTest::qWaitFor([&] { return dlg.outputList.count() == linesBefore + changes; }, 5000))
        << dlg.outputList.count() - linesBefore << " of " << changes << " lines";
    // The last notification waits for the second after the one before to end.
    QTest::qWait(2 * BalloonPacer::kIntervalMs);

    std::vector<QString> lines;
    for (int line = linesBefore; line < dlg.outputList.count(); ++line)
        lines.push_back(dlg.outputList.text(line));
    for (std::size_t i = 1; i < lines.size(); ++i)
        EXPECT_EQ(lines[i].section(' ', 0, 0).toUInt(), lines[i - 1].section(' ', 0, 0).toUInt() + 1) << i;
    const QString lastMac = QString::fromStdString(macOf(changes)).toUpper().replace(':', '-');
    EXPECT_TRUE(lines.back().endsWith(lastMac)) << lines.back().toStdString();

    const std::vector<ReceivedNotification>& shown = desktop.service.received;
    ASSERT_GE(shown.size(), 2u);
    // Bursts over about two seconds: at most one notification a second.
    EXPECT_LE(shown.size(), 5u);
    EXPECT_EQ(shown[0].replacesId, 0u);
    EXPECT_EQ(shown[0].body, lines[0]);
    std::size_t lastShown = 0;
    for (std::size_t n = 1; n < shown.size(); ++n) {
        EXPECT_EQ(shown[n].summary, "Tevra Warning!") << n;
        EXPECT_EQ(shown[n].replacesId, 1u) << n;
        // Delivery on the bus may shift a notification by a little.
        EXPECT_GE(shown[n].receivedAtMs - shown[n - 1].receivedAtMs, BalloonPacer::kIntervalMs - 50) << n;
        const QString body = shown[n].body;
        const auto line = std::find(lines.begin(), lines.end(), body.section('\n', 0, 0));
        ASSERT_NE(line, lines.end()) << body.toStdString();
        const std::size_t at = std::size_t(line - lines.begin());
        ASSERT_GT(at, lastShown) << n;
        EXPECT_EQ(body.section('\n', 1), QStringLiteral("(+%1 more)").arg(at - lastShown - 1)) << n;
        lastShown = at;
    }
    EXPECT_EQ(lastShown, lines.size() - 1);
}

}  // namespace
}  // namespace tevra::test
