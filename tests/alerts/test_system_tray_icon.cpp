// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/qt/SystemTrayIcon.h"

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

class RecordingNotifier : public DesktopNotifier {
public:
    explicit RecordingNotifier(bool sent)
        : sent_(sent)
    {
    }
    bool notify(const QString& title, const QString& text, int timeoutMs, BalloonIcon icon) override
    {
        notes.push_back({ title, text, timeoutMs, icon });
        return sent_;
    }
    struct Note {
        QString title;
        QString text;
        int timeoutMs;
        BalloonIcon icon;
    };
    std::vector<Note> notes;

private:
    bool sent_;
};

// The balloon's result is the notifier's: a notification that could not be
// sent is no balloon shown.
TEST(SystemTrayIcon, WithoutANotificationAreaBalloonsGoToTheNotifier)
{
    for (const bool sent : { true, false }) {
        auto notifier = std::make_unique<RecordingNotifier>(sent);
        const RecordingNotifier& seen = *notifier;
        SystemTrayIcon tray(std::move(notifier));
        EXPECT_EQ(tray.showBalloon("Tevra Warning!", "1 - text", 10000, BalloonIcon::Warning), sent);
        ASSERT_EQ(seen.notes.size(), 1u);
        EXPECT_EQ(seen.notes[0].title, "Tevra Warning!");
        EXPECT_EQ(seen.notes[0].text, "1 - text");
        EXPECT_EQ(seen.notes[0].timeoutMs, 10000);
        EXPECT_EQ(seen.notes[0].icon, BalloonIcon::Warning);
    }
}

}  // namespace
}  // namespace tevra::test
