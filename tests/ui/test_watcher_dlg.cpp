// SPDX-License-Identifier: GPL-3.0-or-later
// The main window: layout, menu, commands and the output line of an event.
#include "WindowFixture.h"
#include "ui/core/CommandIds.h"

#include <QAction>
#include <QKeyEvent>
#include <QMenu>
#include <QTest>

#include <algorithm>
#include <functional>

namespace tevra::test {
namespace {

// The menu as "popup|[submenu|]text|command" lines, separators as "popup|-".
std::vector<std::string> menuLines(const QMenuBar& menuBar)
{
    std::vector<std::string> lines;
    const std::function<void(const QMenu&, const std::string&)> walk
        = [&](const QMenu& menu, const std::string& path) {
              for (const QAction* action : menu.actions()) {
                  if (action->isSeparator())
                      lines.push_back(path + "-");
                  else if (action->menu() != nullptr)
                      walk(*action->menu(), path + action->text().toStdString() + "|");
                  else
                      lines.push_back(
                          path + action->text().toStdString() + "|" + std::to_string(action->data().toInt()));
              }
          };
    for (const QAction* action : menuBar.actions())
        walk(*action->menu(), action->text().toStdString() + "|");
    return lines;
}

QAction* commandAction(const QMenuBar& menuBar, int command)
{
    for (QAction* action : menuBar.findChildren<QAction*>()) {
        if (action->menu() == nullptr && !action->isSeparator() && action->data().toInt() == command)
            return action;
    }
    return nullptr;
}

const std::vector<std::string> kMenuAfterInit = {
    "&File|Save &mapping to file|147",
    "&File|Save &output window to file|148",
    "&File|-",
    "&File|E&xit|130",
    "&Action|&Delete selected entries|from &system cache|154",
    "&Action|&Delete selected entries|from &program cache|155",
    "&Action|&Delete selected entries|from system and program &cache|156",
    "&Action|Flush &cache|Flush &system cache|131",
    "&Action|Flush &cache|Flush &program cache|132",
    "&Action|Flush &cache|Flush system and program cache|158",
    "&Action|Clear &output list|57633",
    "&Action|Discover using broadcast ping|146",
    "?|About|133",
};

using WatcherDlgTest = WindowTest;

TEST_F(WatcherDlgTest, MenuItemsInOrderWithoutTheTestItem)
{
    EXPECT_EQ(menuLines(dlg.menuBar), kMenuAfterInit);
}

TEST(WatcherDlgMenu, TestItemExistsUntilInitialisation)
{
    CWatcherDlg fresh(hostWithEth0());
    std::vector<std::string> expected = kMenuAfterInit;
    expected.push_back("?|TESTbtn|152");
    EXPECT_EQ(menuLines(fresh.menuBar), expected);
}

TEST_F(WatcherDlgTest, LayoutSplitsTheClientArea)
{
    struct Case {
        int clientHeight, listHeight, outputHeight;
    };
    const Case cases[] = { { 100, 70, 30 }, { 101, 70, 30 }, { 1, 0, 0 }, { 305, 213, 91 } };
    dlg.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
    for (const Case& c : cases) {
        const int menuHeight = dlg.clientRect().y();
        dlg.resize(400, menuHeight + c.clientHeight);
        QTRY_COMPARE_WITH_TIMEOUT(dlg.height(), menuHeight + c.clientHeight, 2000);
        ASSERT_EQ(dlg.clientRect().height(), c.clientHeight);
        EXPECT_EQ(dlg.mappingList.geometry(), QRect(0, menuHeight, 400, c.listHeight)) << c.clientHeight;
        EXPECT_EQ(dlg.outputList.geometry(), QRect(0, menuHeight + c.listHeight, 400, c.outputHeight))
            << c.clientHeight;
    }
}

TEST(WatcherDlgLayout, NothingMovesBeforeTheControlsAreBound)
{
    CWatcherDlg fresh(hostWithEth0());
    fresh.mappingList.setGeometry(7, 7, 50, 50);
    fresh.resize(400, 300);
    fresh.layoutControls();
    EXPECT_EQ(fresh.mappingList.geometry(), QRect(7, 7, 50, 50));
}

TEST_F(WatcherDlgTest, InitialClientSizeIsTheDialogsSize)
{
    EXPECT_EQ(dlg.clientRect().size(), QSize(480, 305));
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Tevra"));
}

const std::vector<hostnet::MibIpNetRow> kThreeHosts = { arpRow("10.0.0.1", "00-0C-29-00-00-01"),
    arpRow("10.0.0.2", "00-0C-29-00-00-02"), arpRow("10.0.0.3", "00-0C-29-00-00-03") };

std::vector<std::string> cacheAddresses(const CMappingWatcher& watcher)
{
    std::vector<std::string> texts;
    for (const auto& [address, entry] : watcher.programCache)
        texts.push_back(addressText(address));
    return texts;
}

TEST_F(WatcherDlgTest, DeleteFromProgramCacheRebuildsTheWholeList)
{
    struct Case {
        std::vector<int> selected;
        std::vector<std::string> left;
    };
    const Case cases[] = {
        { {}, { "10.0.0.1", "10.0.0.2", "10.0.0.3" } },
        { { 1 }, { "10.0.0.1", "10.0.0.3" } },
        { { 0, 2 }, { "10.0.0.2" } },
    };
    for (const Case& c : cases) {
        dlg.OnFlushProgramCache();
        tick(kThreeHosts);
        // Nothing is marked: a rebuild must not depend on the marks.
        for (auto& [address, entry] : dlg.watcher.programCache)
            entry->redisplay = false;
        dlg.mappingList.clearSelection();
        for (int row : c.selected)
            dlg.mappingList.selectionModel()->select(
                rows().index(row, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        dlg.OnDeleteFromProgramCache();
        EXPECT_EQ(cacheAddresses(dlg.watcher), c.left);
        EXPECT_EQ(column0(), c.left);
    }
}

TEST_F(WatcherDlgTest, DeleteFromProgramCacheWithoutSelectionKeepsTheRowsAsShown)
{
    tick(kThreeHosts);
    dlg.watcher.findEntry("10.0.0.2")->vendor = "not shown yet";
    dlg.mappingList.clearSelection();
    dlg.OnDeleteFromProgramCache();
    EXPECT_EQ(cell(1, 4), QStringLiteral("VMware, Inc."));
}

TEST_F(WatcherDlgTest, SelectionWalkGoesInRowOrder)
{
    tick(kThreeHosts);
    dlg.mappingList.selectionModel()->select(
        rows().index(2, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    dlg.mappingList.selectionModel()->select(
        rows().index(0, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    dlg.OnDeleteFromBothCaches();
    ASSERT_EQ(host.calls.deleted.size(), 2u);
    EXPECT_EQ(host.calls.deleted[0].address, ip("10.0.0.1"));
    EXPECT_EQ(host.calls.deleted[1].address, ip("10.0.0.3"));
    EXPECT_EQ(cacheAddresses(dlg.watcher), std::vector<std::string> { "10.0.0.2" });
    EXPECT_EQ(column0(), std::vector<std::string> { "10.0.0.2" });
}

// Each menu command, chosen from the menu, does its work.
TEST_F(WatcherDlgTest, MenuCommandsReachTheirHandlers)
{
    struct Case {
        int command;
        std::function<void(WatcherDlgTest&)> check;
    };
    const Case cases[] = {
        { kCmdFlushSystemCache,
            [](WatcherDlgTest& t) {
                EXPECT_EQ(t.host.calls.flushed, std::vector<std::uint32_t> { 2 });
                EXPECT_EQ(t.rows().rowCount(), 3);
            } },
        { kCmdFlushProgramCache,
            [](WatcherDlgTest& t) {
                EXPECT_EQ(t.rows().rowCount(), 0);
                EXPECT_TRUE(t.dlg.watcher.programCache.empty());
                EXPECT_TRUE(t.host.calls.flushed.empty());
            } },
        { kCmdFlushBothCaches,
            [](WatcherDlgTest& t) {
                EXPECT_EQ(t.host.calls.flushed, std::vector<std::uint32_t> { 2 });
                EXPECT_EQ(t.rows().rowCount(), 0);
            } },
        { kCmdDiscover,
            [](WatcherDlgTest& t) {
                EXPECT_EQ(t.host.calls.pinged, std::vector<std::string> { "192.168.0.255" });
            } },
        { kCmdDeleteFromSystemCache,
            [](WatcherDlgTest& t) {
                ASSERT_EQ(t.host.calls.deleted.size(), 1u);
                EXPECT_EQ(t.host.calls.deleted[0].address, ip("10.0.0.2"));
                EXPECT_EQ(t.rows().rowCount(), 3);
            } },
        { kCmdDeleteFromProgramCache,
            [](WatcherDlgTest& t) {
                EXPECT_TRUE(t.host.calls.deleted.empty());
                EXPECT_EQ(t.column0(), (std::vector<std::string> { "10.0.0.1", "10.0.0.3" }));
            } },
        { kCmdDeleteFromBothCaches,
            [](WatcherDlgTest& t) {
                EXPECT_EQ(t.host.calls.deleted.size(), 1u);
                EXPECT_EQ(t.column0(), (std::vector<std::string> { "10.0.0.1", "10.0.0.3" }));
            } },
        { kCmdExit, [](WatcherDlgTest& t) { EXPECT_EQ(t.dlg.result(), QDialog::Accepted); } },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        dlg.OnFlushProgramCache();
        tick(kThreeHosts);
        host.calls = {};
        dlg.setResult(-1);
        selectRows({ 1 });
        QAction* action = commandAction(dlg.menuBar, c.command);
        ASSERT_NE(action, nullptr);
        action->trigger();
        c.check(*this);
    }
}

// --- A failed command says once what failed and why ---

struct FailureCase {
    const char* name;
    int command;
    std::function<void(hostnet::FakeIpHelper&)> fail;
    std::vector<std::string> boxes;
    std::vector<std::string> listed;  // afterwards
};

void PrintTo(const FailureCase& c, std::ostream* os)
{
    *os << c.name;
}

void refuseDelete(hostnet::FakeIpHelper& host)
{
    host.deleteResult = -1;
    host.failure = hostnet::Failure::NotPermitted;
    host.error = "deleting a neighbour entry: Operation not permitted";
}

const std::string kDeleteRefused = "Could not delete from the system cache:\n"
                                   "10.0.0.2: deleting a neighbour entry: Operation not permitted\n\n"
                                   "This action needs administrator rights.";
const std::vector<std::string> kAllThree { "10.0.0.1", "10.0.0.2", "10.0.0.3" };

const FailureCase kFailureCases[] = {
    { "delete_done", kCmdDeleteFromSystemCache, [](hostnet::FakeIpHelper&) {}, {}, kAllThree },
    { "delete_refused", kCmdDeleteFromSystemCache, refuseDelete, { kDeleteRefused }, kAllThree },
    // Still in the table, so it keeps its row and history.
    { "delete_both_refused", kCmdDeleteFromBothCaches, refuseDelete, { kDeleteRefused }, kAllThree },
    { "flush_refused", kCmdFlushSystemCache,
        [](hostnet::FakeIpHelper& host) {
            host.flushResult = -1;
            host.failure = hostnet::Failure::NotPermitted;
            host.error = "flushing the neighbour table: Operation not permitted";
        },
        { "Could not flush the system cache:\nflushing the neighbour table: Operation not permitted\n\n"
          "This action needs administrator rights." },
        kAllThree },
    { "flush_both_leaves_one", kCmdFlushBothCaches,
        [](hostnet::FakeIpHelper& host) {
            host.flushResult = -1;
            host.flushKept = { ip("10.0.0.3") };
            host.error
                = "flushing the neighbour table: 1 of its entries are still there: Device or resource busy";
        },
        { "Could not flush the system cache:\n"
          "flushing the neighbour table: 1 of its entries are still there: Device or resource busy" },
        { "10.0.0.3" } },
    { "discover_without_ping", kCmdDiscover,
        [](hostnet::FakeIpHelper& host) {
            host.pingResult = -1;
            host.error = "ping: no ping program in /usr/bin, /bin, /usr/sbin or /sbin";
        },
        { "Could not start the discovery:\n192.168.0.255: ping: no ping program in /usr/bin, /bin, /usr/sbin "
          "or "
          "/sbin" },
        kAllThree },
};

class FailedCommands : public WindowTest, public testing::WithParamInterface<FailureCase> { };

TEST_P(FailedCommands, ShowOneMessageBoxSayingWhatAndWhy)
{
    const FailureCase& c = GetParam();
    tick(kThreeHosts);
    selectRows({ 1 });
    c.fail(host);
    QAction* action = commandAction(dlg.menuBar, c.command);
    ASSERT_NE(action, nullptr);
    action->trigger();
    EXPECT_EQ(failureBoxes, c.boxes);
    EXPECT_EQ(column0(), c.listed);
}

INSTANTIATE_TEST_SUITE_P(Commands, FailedCommands, testing::ValuesIn(kFailureCases),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(WatcherDlgTest, AFailureBoxListsTenFailuresAndCountsTheRest)
{
    std::vector<hostnet::MibIpNetRow> table;
    for (int i = 1; i <= 12; ++i)
        table.push_back(arpRow(("10.0.0." + std::to_string(i)).c_str(), "00-0C-29-00-00-01"));
    tick(table);
    dlg.mappingList.selectAll();
    host.deleteResult = -1;
    host.error = "deleting a neighbour entry: Device or resource busy";
    dlg.OnDeleteFromSystemCache();
    ASSERT_EQ(failureBoxes.size(), 1u);
    const std::string& text = failureBoxes[0];
    EXPECT_EQ(std::ranges::count(text, '\n'), 11);
    EXPECT_TRUE(text.ends_with("\nand 2 more")) << text;
    EXPECT_EQ(text.find("administrator"), std::string::npos);
}

TEST_F(WatcherDlgTest, KeysThatEndTheRun)
{
    const std::pair<Qt::Key, int> cases[] = { { Qt::Key_Return, QDialog::Accepted },
        { Qt::Key_Enter, QDialog::Accepted }, { Qt::Key_Escape, QDialog::Rejected } };
    for (const auto& [key, result] : cases) {
        dlg.show();
        dlg.setResult(-1);
        QTest::keyClick(&dlg.mappingList, key);
        EXPECT_EQ(dlg.result(), result) << key;
        EXPECT_FALSE(dlg.isVisible()) << key;
    }
}

TEST_F(WatcherDlgTest, EachEventBecomesANumberedLine)
{
    tick({ arpRow("192.168.0.1", "00-0C-29-11-22-33"), arpRow("192.168.0.2", "FF-FF-FF-FF-FF-FF") });
    ASSERT_FALSE(dlg.events.empty());
    ASSERT_EQ(dlg.outputList.count(), int(dlg.events.size()));
    for (int line = 0; line < dlg.outputList.count(); ++line) {
        const WatchEvent& event = *dlg.events[std::size_t(line)];
        EXPECT_EQ(dlg.outputList.text(line).toStdString(), std::to_string(event.serial) + " - " + event.text);
    }
    EXPECT_NE(dlg.outputList.text(dlg.outputList.count() - 1).indexOf(QStringLiteral("192.168.0.2")), -1);
}

}  // namespace
}  // namespace tevra::test
