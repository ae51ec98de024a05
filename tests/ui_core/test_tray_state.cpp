// SPDX-License-Identifier: GPL-3.0-or-later
// The notification-area logic with a recording tray, window and timer: the
// sequences a desktop produces (minimise, alerts in a burst, clicks, the tray
// coming back) driven in order, with time advanced by hand.
#include "ui/core/TextFit.h"
#include "ui/core/TrayState.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace tevra::test {
namespace {

class RecordingTray : public TrayFace {
public:
    bool add(TrayPicture picture, const std::string& tip) override
    {
        calls.push_back(std::string("add ") + name(picture) + " " + tip);
        present = available;
        return present;
    }
    bool modify(TrayPicture picture, const std::string& tip) override
    {
        calls.push_back(std::string("modify ") + name(picture) + " " + tip);
        return present;
    }
    void remove() override
    {
        calls.push_back("remove");
        present = false;
    }
    bool showBalloon(const std::string& title, const std::string& text, int, BalloonIcon) override
    {
        calls.push_back("balloon " + title + ": " + text);
        return present;
    }
    bool isAvailable() const override { return available; }

    static const char* name(TrayPicture picture)
    {
        return picture == TrayPicture::Warning ? "warning" : "normal";
    }

    bool available = true;
    bool present = false;
    std::vector<std::string> calls;
};

class RecordingWindow : public WindowControl {
public:
    bool isMinimised() const override { return minimised; }
    void minimise() override { minimised = true; }
    void hide() override { visible = false; }
    void show() override { visible = true; }
    void restore() override { minimised = false; }

    bool minimised = false;
    bool visible = true;
};

// A timer whose time passes only when the test says so.
class ManualTimer : public OneShotTimer {
public:
    void start(int, std::function<void()> fired) override { fired_ = std::move(fired); }
    bool isActive() const override { return static_cast<bool>(fired_); }
    void elapse()
    {
        auto fired = std::exchange(fired_, nullptr);
        if (fired)
            fired();
    }

private:
    std::function<void()> fired_;
};

class TrayStateTest : public ::testing::Test {
protected:
    void minimise()
    {
        window.minimised = true;
        state.activationChanged(false);
    }

    RecordingTray tray;
    RecordingWindow window;
    ManualTimer timer;
    TrayState state { tray, window, timer, fitUtf8ToLimit };
};

TEST_F(TrayStateTest, AlertsWhileShownGiveNoBalloon)
{
    state.alert("1 - a");
    EXPECT_TRUE(tray.calls.empty());
    EXPECT_FALSE(state.inTray());
}

TEST_F(TrayStateTest, ABurstInTheTrayGivesOneBalloonNowAndTheLatestWithItsCountLater)
{
    minimise();
    EXPECT_EQ(tray.calls, std::vector<std::string> { "add normal Tevra" });
    EXPECT_FALSE(window.visible);
    tray.calls.clear();

    state.alert("1 - a");
    state.alert("2 - b");
    state.alert("3 - c");
    EXPECT_EQ(tray.calls,
        (std::vector<std::string> { "balloon Tevra Warning!: 1 - a", "modify warning Tevra Warning!" }));
    EXPECT_TRUE(state.alerted());
    tray.calls.clear();
    timer.elapse();
    EXPECT_EQ(tray.calls,
        (std::vector<std::string> {
            "balloon Tevra Warning!: 3 - c\n(+1 more)", "modify warning Tevra Warning!" }));
    tray.calls.clear();
    timer.elapse();  // a quiet second: nothing waits
    EXPECT_TRUE(tray.calls.empty());
}

TEST_F(TrayStateTest, OnlyALeftClickBringsTheWindowBackAndDropsTheWaitingBalloon)
{
    minimise();
    state.alert("1 - a");
    state.alert("2 - b");
    for (const TrayClick click : { TrayClick::RightButton, TrayClick::DoubleClick, TrayClick::MiddleButton })
        state.trayClicked(click);
    EXPECT_TRUE(state.inTray());
    state.trayClicked(TrayClick::LeftButtonPress);
    EXPECT_FALSE(state.inTray());
    EXPECT_FALSE(state.alerted());
    EXPECT_TRUE(window.visible);
    EXPECT_FALSE(window.minimised);
    EXPECT_EQ(tray.calls.back(), "remove");
    tray.calls.clear();
    timer.elapse();
    EXPECT_TRUE(tray.calls.empty());
}

TEST_F(TrayStateTest, ARecreatedTrayGetsTheIconBackInTheLookItHad)
{
    state.trayRecreated();  // not in the tray: nothing to put back
    EXPECT_TRUE(tray.calls.empty());
    minimise();
    state.alert("1 - a");
    tray.calls.clear();
    state.trayRecreated();
    EXPECT_EQ(tray.calls, std::vector<std::string> { "add warning Tevra Warning!" });
}

TEST_F(TrayStateTest, WithoutANotificationAreaTheWindowStaysReachable)
{
    tray.available = false;
    minimise();
    EXPECT_TRUE(state.inTray());
    EXPECT_TRUE(window.visible);  // never hidden: there is no icon to bring it back
    state.windowRestored();
    EXPECT_FALSE(state.inTray());
}

}  // namespace
}  // namespace tevra::test
