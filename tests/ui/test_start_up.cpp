// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up: the splash during the two pauses, the timer afterwards, the about box.
#include "WindowFixture.h"
#include "ui/qt/AboutDlg.h"
#include "ui/qt/SplashDlg.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

namespace tevra::test {
namespace {

CSplashDlg* findSplash()
{
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* splash = qobject_cast<CSplashDlg*>(widget))
            return splash;
    }
    return nullptr;
}

struct PauseSeen {
    int milliseconds;
    std::string splashLine;
    bool splashVisible;
    bool timerActive;
    bool sinkRegistered;
};

bool operator==(const PauseSeen& a, const PauseSeen& b)
{
    return a.milliseconds == b.milliseconds && a.splashLine == b.splashLine
        && a.splashVisible == b.splashVisible && a.timerActive == b.timerActive
        && a.sinkRegistered == b.sinkRegistered;
}

std::ostream& operator<<(std::ostream& out, const PauseSeen& p)
{
    return out << p.milliseconds << " '" << p.splashLine << "' visible " << p.splashVisible << " timer "
               << p.timerActive << " sink " << p.sinkRegistered;
}

TEST(StartUp, SplashShowsVersionThenAddressDuringThePauses)
{
    CWatcherDlg dlg(hostWithEth0());
    std::vector<PauseSeen> seen;
    dlg.pause = [&](int milliseconds) {
        const CSplashDlg* splash = findSplash();
        seen.push_back({ milliseconds, splash ? splash->text().toStdString() : "(no splash)",
            splash && splash->isVisible(), dlg.refreshTimerActive(),
            dlg.watcher.sink.userData == &dlg && dlg.watcher.sink.callback == DispatchWatchEvent });
    };
    EXPECT_FALSE(dlg.refreshTimerActive());
    EXPECT_TRUE(dlg.OnInitDialog());
    const std::vector<PauseSeen> expected = {
        { 1000, "Tevra Version 0.1.5", true, false, true },
        { 400, "https://tevra.example.org", true, false, true },
    };
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(findSplash(), nullptr);
    EXPECT_TRUE(dlg.refreshTimerActive());
    EXPECT_FALSE(dlg.watcher.vendorTable.empty());
}

TEST(StartUp, AboutBoxShowsTheVersion)
{
    CWatcherDlg dlg(hostWithEth0());
    std::vector<std::string> labels;
    QString title;
    QTimer::singleShot(0, [&] {
        auto* about = qobject_cast<CAboutDlg*>(QApplication::activeModalWidget());
        if (about == nullptr)
            return;
        title = about->windowTitle();
        for (const QLabel* label : about->findChildren<QLabel*>()) {
            if (!label->text().isEmpty())
                labels.push_back(label->text().toStdString());
        }
        about->findChild<QPushButton*>()->click();
    });
    dlg.OnAbout();
    EXPECT_EQ(title, QStringLiteral("About Tevra"));
    ASSERT_GE(labels.size(), 2u);
    EXPECT_EQ(labels[0], "Tevra v");
    EXPECT_NE(std::find(labels.begin(), labels.end(), "0.1.5"), labels.end());
    EXPECT_EQ(std::find(labels.begin(), labels.end(), "--"), labels.end());
}

}  // namespace
}  // namespace tevra::test
