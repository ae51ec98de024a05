// SPDX-License-Identifier: GPL-3.0-or-later
#include "FakeTrayIcon.h"
#include "FakeWindowControl.h"
#include "ui/qt/AlertPresenter.h"

#include <QEventLoop>
#include <QPixmap>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace tevra::test {
namespace {

QIcon solidIcon(Qt::GlobalColor colour)
{
    QPixmap pixmap(32, 32);
    pixmap.fill(colour);
    return QIcon(pixmap);
}

tevra::WatchEvent event(std::uint32_t serial, const std::string& text)
{
    tevra::WatchEvent e;
    e.serial = serial;
    e.text = text;
    return e;
}

const std::vector<std::string> kTexts {
    "09:15:00: Mapping changed: 192.168.0.1 changed from 00-0C-29-11-22-33 to 00-0C-29-44-55-66",
    "09:15:00: Broadcast MAC: 192.168.0.7 has 00-0C-29-44-55-66",
    "09:15:00: Multicast MAC: 192.168.0.9 has 01-00-5E-00-00-01",
};

// Balloons at most every 100 ms here, so the tests need not wait whole seconds.
constexpr int kBalloonIntervalMs = 100;

class AlertPresenterTest : public ::testing::Test {
protected:
    AlertPresenterTest() { rebuild(); }

    // A fresh presenter in the Shown state, for each case of a table.
    void rebuild()
    {
        presenter.reset();
        outputList.clear();
        auto trayIcon = std::make_unique<FakeTrayIcon>();
        auto windowControl = std::make_unique<FakeWindowControl>();
        tray = trayIcon.get();
        window = windowControl.get();
        presenter = std::make_unique<AlertPresenter>(std::move(trayIcon), std::move(windowControl),
            outputList, normalIcon, warningIcon, kBalloonIntervalMs);
    }

    // Runs the event loop until the balloon interval started last is surely over.
    static void letTheIntervalPass()
    {
        QEventLoop loop;
        QTimer::singleShot(3 * kBalloonIntervalMs, &loop, &QEventLoop::quit);
        loop.exec();
    }

    void minimise()
    {
        window->minimised = true;
        presenter->activationChanged(false);
    }

    void presentAll(std::uint32_t firstSerial = 1)
    {
        for (std::size_t i = 0; i < kTexts.size(); ++i)
            presenter->present(event(firstSerial + std::uint32_t(i), kTexts[i]));
    }

    QStringList lines() const
    {
        QStringList result;
        for (int i = 0; i < outputList.count(); ++i)
            result << outputList.text(i);
        return result;
    }

    bool showsIcon(const QIcon& icon) const { return tray->icon.cacheKey() == icon.cacheKey(); }

    const QIcon normalIcon = solidIcon(Qt::green);
    const QIcon warningIcon = solidIcon(Qt::red);
    COutputListBox outputList;
    FakeTrayIcon* tray = nullptr;
    FakeWindowControl* window = nullptr;
    std::unique_ptr<AlertPresenter> presenter;
};

QString expectedLine(std::uint32_t serial, const std::string& text)
{
    return QString::number(serial) + " - " + QString::fromStdString(text);
}

TEST_F(AlertPresenterTest, EventsWhileShownGiveNumberedLinesAndNoBalloon)
{
    presentAll();

    EXPECT_EQ(lines(),
        QStringList({ expectedLine(1, kTexts[0]), expectedLine(2, kTexts[1]), expectedLine(3, kTexts[2]) }));
    EXPECT_TRUE(tray->calls.empty());
    EXPECT_TRUE(window->calls.empty());
    EXPECT_FALSE(presenter->inTray());
}

TEST_F(AlertPresenterTest, LineNumbersAreWrittenPlainWithoutPaddingOrGrouping)
{
    const std::vector<std::pair<std::uint32_t, QString>> cases { { 1, "1 - x" }, { 10, "10 - x" },
        { 1234567, "1234567 - x" }, { 4294967295u, "4294967295 - x" } };
    for (const auto& [serial, line] : cases)
        EXPECT_EQ(AlertPresenter::outputLine(event(serial, "x")), line) << serial;
}

TEST_F(AlertPresenterTest, MinimisingSendsTheWindowToTheTrayWithTheNormalIcon)
{
    minimise();

    EXPECT_TRUE(presenter->inTray());
    EXPECT_TRUE(tray->present);
    EXPECT_TRUE(showsIcon(normalIcon));
    EXPECT_EQ(tray->tip, "Tevra");
    EXPECT_EQ(window->calls, (std::vector<std::string> { "minimise", "hide" }));
    EXPECT_FALSE(window->visible);
}

// The first alert shows at once; the ones within the interval after it give
// one balloon when it is over: the latest line and how many were not shown.
TEST_F(AlertPresenterTest, EventsInTrayGiveABalloonAtOnceThenTheLatestWithTheCount)
{
    minimise();
    presentAll();

    ASSERT_EQ(tray->balloons.size(), 1u);
    EXPECT_EQ(tray->balloons[0].text, expectedLine(1, kTexts[0]));
    EXPECT_EQ(lines().size(), 3);
    EXPECT_TRUE(showsIcon(warningIcon));
    EXPECT_EQ(tray->tip, "Tevra Warning!");

    letTheIntervalPass();
    ASSERT_EQ(tray->balloons.size(), 2u);
    EXPECT_EQ(tray->balloons[1].text, expectedLine(3, kTexts[2]) + "\n(+1 more)");

    letTheIntervalPass();
    EXPECT_EQ(tray->balloons.size(), 2u);
    presenter->present(event(4, kTexts[0]));
    ASSERT_EQ(tray->balloons.size(), 3u);
    EXPECT_EQ(tray->balloons[2].text, expectedLine(4, kTexts[0]));

    for (const BalloonRequest& balloon : tray->balloons) {
        EXPECT_EQ(balloon.title, "Tevra Warning!");
        EXPECT_EQ(balloon.timeoutMs, 10000);
        EXPECT_EQ(balloon.icon, BalloonIcon::Warning);
    }
    EXPECT_EQ(lines().size(), 4);
    EXPECT_FALSE(window->visible);
    EXPECT_TRUE(presenter->inTray());
}

TEST_F(AlertPresenterTest, EachBalloonInTrayComesBeforeTheIconSwitch)
{
    minimise();
    tray->calls.clear();
    presentAll();
    EXPECT_EQ(tray->calls, (std::vector<std::string> { "balloon", "modify" }));

    letTheIntervalPass();
    EXPECT_EQ(tray->calls, (std::vector<std::string> { "balloon", "modify", "balloon", "modify" }));
}

TEST_F(AlertPresenterTest, ABalloonStillWaitingWhenTheWindowComesBackIsDropped)
{
    minimise();
    presentAll();
    tray->click(TrayClick::LeftButtonPress);

    letTheIntervalPass();

    EXPECT_EQ(tray->balloons.size(), 1u);
    EXPECT_EQ(lines().size(), 3);
}

TEST_F(AlertPresenterTest, NumberingGoesOnAfterClearing)
{
    tevra::WatchEvent first;
    first.text = kTexts[0];
    tevra::WatchEvent second;
    second.text = kTexts[1];
    presenter->present(first);
    presenter->present(second);
    presenter->clearOutputList();
    ASSERT_EQ(outputList.count(), 0);

    tevra::WatchEvent third;
    third.text = kTexts[2];
    presenter->present(third);

    EXPECT_EQ(third.serial, second.serial + 1);
    EXPECT_EQ(lines(), QStringList({ expectedLine(third.serial, kTexts[2]) }));
}

TEST_F(AlertPresenterTest, OnlyALeftButtonPressOnTheIconRestores)
{
    struct Case {
        TrayClick click;
        bool restores;
    };
    const std::vector<Case> cases {
        { TrayClick::RightButton, false },
        { TrayClick::DoubleClick, false },
        { TrayClick::MiddleButton, false },
        { TrayClick::Other, false },
        { TrayClick::LeftButtonPress, true },
    };
    for (const Case& c : cases) {
        rebuild();
        minimise();
        presenter->present(event(1, kTexts[0]));
        window->calls.clear();
        tray->calls.clear();

        tray->click(c.click);

        EXPECT_EQ(!presenter->inTray(), c.restores) << int(c.click);
        EXPECT_EQ(window->visible, c.restores) << int(c.click);
        EXPECT_EQ(window->minimised, !c.restores) << int(c.click);
        EXPECT_EQ(tray->present, !c.restores) << int(c.click);
        if (c.restores) {
            EXPECT_EQ(window->calls, (std::vector<std::string> { "show", "restore" }));
            EXPECT_EQ(tray->calls, (std::vector<std::string> { "remove" }));
        } else {
            EXPECT_TRUE(window->calls.empty());
            EXPECT_TRUE(tray->calls.empty());
        }
    }
}

TEST_F(AlertPresenterTest, EventsAfterRestoringGiveNoBalloon)
{
    minimise();
    tray->click(TrayClick::LeftButtonPress);
    presentAll();

    EXPECT_TRUE(tray->balloons.empty());
    EXPECT_EQ(lines().size(), 3);
}

TEST_F(AlertPresenterTest, TheNextTripToTheTrayStartsWithTheNormalIcon)
{
    minimise();
    presenter->present(event(1, kTexts[0]));
    ASSERT_TRUE(showsIcon(warningIcon));
    tray->click(TrayClick::LeftButtonPress);
    minimise();

    EXPECT_TRUE(showsIcon(normalIcon));
    EXPECT_EQ(tray->tip, "Tevra");
    EXPECT_TRUE(presenter->inTray());
    EXPECT_FALSE(window->visible);
}

TEST_F(AlertPresenterTest, OnlyDeactivationWhileMinimisedEntersTheTray)
{
    struct Case {
        bool active;
        bool minimised;
        bool entersTray;
    };
    const std::vector<Case> cases { { true, false, false }, { true, true, false }, { false, false, false },
        { false, true, true } };
    for (const Case& c : cases) {
        rebuild();
        window->minimised = c.minimised;

        presenter->activationChanged(c.active);

        EXPECT_EQ(presenter->inTray(), c.entersTray) << c.active << c.minimised;
        EXPECT_EQ(tray->present, c.entersTray) << c.active << c.minimised;
    }
}

TEST_F(AlertPresenterTest, ASecondDeactivationInTheTrayKeepsTheWarningLook)
{
    minimise();
    presenter->present(event(1, kTexts[0]));
    presenter->activationChanged(false);

    EXPECT_TRUE(showsIcon(warningIcon));
    EXPECT_EQ(tray->tip, "Tevra Warning!");
}

TEST_F(AlertPresenterTest, AnIconThatCannotBeAddedLeavesTheWindowMinimisedButInTray)
{
    tray->addSucceeds = false;
    minimise();

    EXPECT_TRUE(presenter->inTray());
    EXPECT_TRUE(window->visible);
    EXPECT_TRUE(window->minimised);
    EXPECT_TRUE(window->calls.empty());

    presentAll();
    letTheIntervalPass();

    EXPECT_EQ(tray->balloons.size(), 2u);
    EXPECT_EQ(tray->calls, (std::vector<std::string> { "add", "balloon", "modify", "balloon", "modify" }));
    EXPECT_TRUE(window->visible);
    EXPECT_TRUE(window->calls.empty());
}

TEST_F(AlertPresenterTest, AFailedAddIsTriedAgainOnTheNextMinimising)
{
    tray->addSucceeds = false;
    minimise();
    tray->addSucceeds = true;
    presenter->activationChanged(false);

    EXPECT_TRUE(tray->present);
    EXPECT_FALSE(window->visible);
}

TEST_F(AlertPresenterTest, RestoringFromTheTaskBarLeavesTheTrayOnlyWhereThereIsNoNotificationArea)
{
    struct Case {
        bool trayAvailable;
        bool stillInTray;
    };
    for (const Case& c : std::vector<Case> { { false, false }, { true, true } }) {
        rebuild();
        tray->available = c.trayAvailable;
        tray->addSucceeds = false;
        minimise();
        presenter->present(event(1, kTexts[0]));
        window->minimised = false;

        presenter->windowRestored();
        presenter->present(event(2, kTexts[1]));
        letTheIntervalPass();

        EXPECT_EQ(presenter->inTray(), c.stillInTray) << c.trayAvailable;
        EXPECT_EQ(tray->balloons.size(), c.stillInTray ? 2u : 1u) << c.trayAvailable;
    }
}

TEST_F(AlertPresenterTest, BalloonTextsAreCutToWhatTheNotificationAreaTakes)
{
    const QString smile = QString::fromUtf8("\xF0\x9F\x98\x80");  // one character, two UTF-16 units
    struct Case {
        QString text;
        QString title;
        QString wantText;
        QString wantTitle;
    };
    const std::vector<Case> cases {
        { QString(255, 'a'), QString(63, 't'), QString(255, 'a'), QString(63, 't') },
        { QString(256, 'a'), QString(64, 't'), QString(255, 'a'), QString(63, 't') },
        { QString(254, 'a') + smile, QString(62, 't') + smile, QString(254, 'a'), QString(62, 't') },
        { QString(253, 'a') + smile, QString(61, 't') + smile, QString(253, 'a') + smile,
            QString(61, 't') + smile },
    };
    minimise();
    for (const Case& c : cases) {
        tray->balloons.clear();
        presenter->showBalloon(c.text, c.title, 10000, BalloonIcon::Warning);
        ASSERT_EQ(tray->balloons.size(), 1u);
        EXPECT_EQ(tray->balloons[0].text, c.wantText) << c.text.size();
        EXPECT_EQ(tray->balloons[0].title, c.wantTitle) << c.title.size();
    }
}

TEST_F(AlertPresenterTest, AnOverlongAlertStillGivesItsFullLineInTheOutputList)
{
    const std::string text(400, 'x');
    minimise();
    presenter->present(event(7, text));

    EXPECT_EQ(lines(), QStringList({ expectedLine(7, text) }));
    ASSERT_EQ(tray->balloons.size(), 1u);
    EXPECT_EQ(tray->balloons[0].text, expectedLine(7, text).left(255));
}

TEST_F(AlertPresenterTest, ClearingAnEmptyListLeavesItEmpty)
{
    presenter->clearOutputList();
    EXPECT_EQ(outputList.count(), 0);
    EXPECT_EQ(outputList.widestExtent(), 0);
}

}  // namespace
}  // namespace tevra::test
