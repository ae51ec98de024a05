// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's alerts and saved files, through a recorded tray and save dialog.
#include "FakeExportDialogs.h"
#include "FakeTrayIcon.h"
#include "WindowFixture.h"
#include "ui/qt/Resources.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace tevra::test {
namespace {

// Made before the window, so the test keeps a view of what the window owns.
struct RecordingParts {
    RecordingParts()
    {
        auto trayIcon = std::make_unique<FakeTrayIcon>();
        auto exportDialogs = std::make_unique<FakeExportDialogs>();
        tray = trayIcon.get();
        dialogs = exportDialogs.get();
        parts = { std::move(trayIcon), std::move(exportDialogs) };
    }

    FakeTrayIcon* tray = nullptr;
    FakeExportDialogs* dialogs = nullptr;
    AlertParts parts;
};

class WindowAlertsTest : private RecordingParts, public WindowTest {
public:
    WindowAlertsTest()
        : RecordingParts()
        , WindowTest(hostWithEth0(), std::move(parts))
        , tray(*RecordingParts::tray)
        , dialogs(*RecordingParts::dialogs)
    {
    }

    // An event as the engine hands it over; the line is "<serial> - <text>".
    QString raise(const char* text)
    {
        auto event = std::make_unique<WatchEvent>();
        event->text = text;
        const QString line
            = QString::number(event->serial) + QStringLiteral(" - ") + QString::fromLatin1(text);
        dlg.OnWatchEvent(std::move(event));
        return line;
    }

    // Minimised and not active: the window goes to the tray by itself.
    void minimise()
    {
        dlg.show();
        dlg.setWindowState(Qt::WindowMinimized);
    }

    std::vector<QString> outputLines() const
    {
        std::vector<QString> lines;
        for (int line = 0; line < dlg.outputList.count(); ++line)
            lines.push_back(dlg.outputList.text(line));
        return lines;
    }

    QByteArray contentsOf(const QString& path) const
    {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return "<unreadable>";
        return file.readAll();
    }

    FakeTrayIcon& tray;
    FakeExportDialogs& dialogs;
    QTemporaryDir dir;
};

bool samePicture(const QIcon& a, const QIcon& b)
{
    return a.pixmap(32).toImage() == b.pixmap(32).toImage();
}

TEST_F(WindowAlertsTest, EventsWhileShownBecomeNumberedLinesWithoutBalloons)
{
    const std::vector<QString> expected = { raise("first"), raise("second"), raise("third") };

    EXPECT_EQ(outputLines(), expected);
    ASSERT_EQ(dlg.events.size(), 3u);
    EXPECT_EQ(dlg.events[0]->serial + 1, dlg.events[1]->serial);
    EXPECT_TRUE(tray.balloons.empty());
    EXPECT_TRUE(tray.calls.empty());
    EXPECT_FALSE(dlg.presenter->inTray());
}

// The line that names the attacker comes right after the changed mapping, as the engine says them.
TEST_F(WindowAlertsTest, ADuplicateMacFollowsItsChangedMapping)
{
    tick({ arpRow("192.168.0.1", "00-0C-29-11-22-33"), arpRow("192.168.0.66", "02-00-00-00-00-66") });
    tick({ arpRow("192.168.0.1", "02-00-00-00-00-66"), arpRow("192.168.0.66", "02-00-00-00-00-66") });
    const std::vector<QString> lines = outputLines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE(
        lines[0].endsWith("Mapping changed: 192.168.0.1 changed from 00-0C-29-11-22-33 to 02-00-00-00-00-66"))
        << lines[0].toStdString();
    EXPECT_TRUE(
        lines[1].endsWith("Dublicate MAC found: 192.168.0.1 and 192.168.0.66 both have 02-00-00-00-00-66"))
        << lines[1].toStdString();
}

TEST_F(WindowAlertsTest, MinimisingSendsTheWindowToTheTrayWithTheNormalIcon)
{
    minimise();

    EXPECT_TRUE(dlg.presenter->inTray());
    EXPECT_TRUE(tray.present);
    EXPECT_EQ(tray.tip, QStringLiteral("Tevra"));
    EXPECT_TRUE(samePicture(tray.icon, applicationIcon()));
    EXPECT_FALSE(dlg.isVisible());
}

// Every line in the list; a balloon at once, and a second later one with the
// latest line and how many were not shown.
TEST_F(WindowAlertsTest, EventsInTheTrayShowCoalescedBalloonsAndTheWarningLook)
{
    minimise();
    const std::vector<QString> lines = { raise("first"), raise("second"), raise("third") };
    EXPECT_EQ(outputLines(), lines);
    ASSERT_EQ(tray.balloons.size(), 1u);
    ASSERT_TRUE(QTest::qWaitFor([this] { return tray.balloons.size() == 2; }, 3000));

    const std::vector<QString> expected = { lines[0], lines[2] + QStringLiteral("\n(+1 more)") };
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(tray.balloons[i].text, expected[i]) << i;
        EXPECT_EQ(tray.balloons[i].title, QStringLiteral("Tevra Warning!")) << i;
        EXPECT_EQ(tray.balloons[i].icon, BalloonIcon::Warning) << i;
        EXPECT_EQ(tray.balloons[i].timeoutMs, AlertPresenter::kBalloonTimeoutMs) << i;
    }
    EXPECT_EQ(tray.tip, QStringLiteral("Tevra Warning!"));
    EXPECT_TRUE(samePicture(tray.icon, QIcon(QString::fromLatin1(kWarningIconPath))));
    EXPECT_FALSE(dlg.isVisible());
}

TEST_F(WindowAlertsTest, TrayClicksThatBringTheWindowBack)
{
    const struct {
        TrayClick click;
        bool back;
    } cases[] = {
        { TrayClick::RightButton, false },
        { TrayClick::DoubleClick, false },
        { TrayClick::MiddleButton, false },
        { TrayClick::LeftButtonPress, true },
    };
    minimise();
    raise("while away");
    for (const auto& c : cases) {
        tray.click(c.click);
        EXPECT_EQ(dlg.presenter->inTray(), !c.back) << int(c.click);
        EXPECT_EQ(tray.present, !c.back) << int(c.click);
        EXPECT_EQ(dlg.isVisible(), c.back) << int(c.click);
    }
    EXPECT_FALSE(dlg.isMinimized());

    const std::size_t balloons = tray.balloons.size();
    raise("back again");
    EXPECT_EQ(tray.balloons.size(), balloons);
}

TEST_F(WindowAlertsTest, ClearingTheOutputListKeepsTheNumberingGoing)
{
    raise("first");
    raise("second");
    dlg.OnClearOutputList();
    EXPECT_EQ(dlg.outputList.count(), 0);

    const QString next = raise("third");
    EXPECT_EQ(outputLines(), std::vector<QString> { next });
    EXPECT_EQ(dlg.events.size(), 3u);
    EXPECT_EQ(next.section(QLatin1Char(' '), 0, 0).toUInt(), dlg.events[1]->serial + 1);
}

const QByteArray kMappingHeadings = "IP\tMAC\tin system chache\tlast changed\tvendor\tnetwork order IP\thost "
                                    "order IP\ttype\tadapter\t\r\n\r\n";

TEST_F(WindowAlertsTest, SavingTheMappingWritesHeadingsAndRows)
{
    const struct {
        const char* name;
        std::vector<hostnet::MibIpNetRow> table;
    } cases[] = {
        { "none", {} },
        { "three",
            { arpRow("192.168.0.1", "00-0C-29-11-22-33"), arpRow("192.168.0.7", "00-0C-29-44-55-66"),
                arpRow("192.168.0.3", "00-50-56-01-02-03", 2, hostnet::kNetTypeStatic) } },
    };
    for (const auto& c : cases) {
        tick(c.table);
        ASSERT_EQ(rows().rowCount(), int(c.table.size())) << c.name;
        QByteArray expected = kMappingHeadings;
        for (int row = 0; row < rows().rowCount(); ++row) {
            for (int column = 0; column < 9; ++column)
                expected += cell(row, column).toUtf8() + '\t';
            expected += "\r\n";
        }
        const QString path = dir.filePath(QString::fromLatin1(c.name) + QStringLiteral(".txt"));
        dialogs.answer = path;
        dlg.OnSaveMapping();

        EXPECT_EQ(contentsOf(path), expected) << c.name;
    }
    EXPECT_EQ(dialogs.errorsShown, 0);
}

TEST_F(WindowAlertsTest, SavingTheOutputWritesEachLineWithCrLf)
{
    dialogs.answer = dir.filePath(QStringLiteral("empty.txt"));
    dlg.OnSaveOutput();
    EXPECT_EQ(contentsOf(*dialogs.answer), QByteArray());

    QByteArray expected;
    for (const char* text : { "first", "second", "third" })
        expected += raise(text).toUtf8() + "\r\n";
    dialogs.answer = dir.filePath(QStringLiteral("three.txt"));
    dlg.OnSaveOutput();
    EXPECT_EQ(contentsOf(*dialogs.answer), expected);
    EXPECT_EQ(dialogs.errorsShown, 0);
}

TEST_F(WindowAlertsTest, CancellingEitherSaveWritesNothing)
{
    raise("first");
    tick({ arpRow("192.168.0.1", "00-0C-29-11-22-33") });
    dialogs.answer.reset();
    dlg.OnSaveMapping();
    dlg.OnSaveOutput();

    EXPECT_EQ(dialogs.dialogsShown, 2);
    EXPECT_EQ(dialogs.errorsShown, 0);
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).isEmpty());
}

TEST(WindowRun, HidingInTheTrayDoesNotEndTheRun)
{
    RecordingParts recording;
    CWatcherDlg dlg(hostWithEth0(), fixedClock(kNow), nullptr, std::move(recording.parts));
    dlg.pause = [](int) {};
    bool inTrayWhileRunning = false;
    // The splash lets timers run during the start-up, so wait until the run has shown the window.
    bool minimised = false;
    QTimer driver;
    QObject::connect(&driver, &QTimer::timeout, &dlg, [&] {
        if (!minimised) {
            if (!dlg.isVisible())
                return;
            dlg.setWindowState(Qt::WindowMinimized);
            minimised = true;
            return;
        }
        driver.stop();
        // The platform answers the minimising later; a click before that answer
        // would be undone by it, as no user can click that fast.
        QCoreApplication::processEvents();
        inTrayWhileRunning = dlg.presenter->inTray() && recording.tray->present && !dlg.isVisible();
        recording.tray->click(TrayClick::LeftButtonPress);
        dlg.OnExit();
    });
    driver.start(10);

    EXPECT_EQ(dlg.runModal(), QDialog::Accepted);
    EXPECT_TRUE(minimised);
    EXPECT_TRUE(inTrayWhileRunning);
    EXPECT_FALSE(recording.tray->present);
}

}  // namespace
}  // namespace tevra::test
