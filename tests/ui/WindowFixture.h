// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/Address.h"
#include "hostnet/fake/FakeIpHelper.h"
#include "tests/support/ScriptedRows.h"
#include "ui/qt/WatcherDlg.h"

#include <QAbstractItemModelTester>
#include <QString>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace tevra::test {

// A scripted host with one adapter, index 2, on 192.168.0.0/24.
inline std::unique_ptr<hostnet::FakeIpHelper> hostWithEth0()
{
    auto fake = std::make_unique<hostnet::FakeIpHelper>();
    fake->adapters = { { 2, "eth0 test adapter" } };
    fake->addrTable = { { ip("192.168.0.10"), 2, ip("255.255.255.0") } };
    return fake;
}

// The main window on the scripted host, initialised without the start-up pauses,
// its mapping list under Qt's model checker.
class WindowTest : public ::testing::Test {
public:
    WindowTest()
        : WindowTest(hostWithEth0())
    {
    }
    explicit WindowTest(std::unique_ptr<hostnet::FakeIpHelper> fake, AlertParts alertParts = {})
        : host(*fake)
        , dlg(
              std::move(fake),
              [this] { return std::chrono::system_clock::time_point { std::chrono::seconds(now) }; }, nullptr,
              std::move(alertParts))
        , tester(&dlg.mappingList.rows(), QAbstractItemModelTester::FailureReportingMode::Fatal)
        // The tester only reads; the list hands out its lines as const.
        , outputTester(const_cast<OutputListModel*>(&dlg.outputList.lines()),
              QAbstractItemModelTester::FailureReportingMode::Fatal)
    {
        dlg.pause = [this](int milliseconds) { pauses.push_back(milliseconds); };
        dlg.showFailure = [this](const QString& text) { failureBoxes.push_back(text.toStdString()); };
        dlg.OnInitDialog();
    }

    // One timer tick over the given ARP table.
    void tick(std::vector<hostnet::MibIpNetRow> table)
    {
        host.netTable = std::move(table);
        dlg.OnTimer();
    }

    const MappingListModel& rows() const { return dlg.mappingList.rows(); }

    QString cell(int row, int column) const { return rows().data(rows().index(row, column)).toString(); }

    std::vector<std::string> column0() const
    {
        std::vector<std::string> texts;
        for (int row = 0; row < rows().rowCount(); ++row)
            texts.push_back(cell(row, 0).toStdString());
        return texts;
    }

    void selectRows(std::initializer_list<int> rowNumbers)
    {
        dlg.mappingList.clearSelection();
        for (int row : rowNumbers)
            dlg.mappingList.selectionModel()->select(
                rows().index(row, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }

    std::int64_t now = kNow;
    std::vector<int> pauses;
    // The texts of the message boxes failed commands showed.
    std::vector<std::string> failureBoxes;
    hostnet::FakeIpHelper& host;
    CWatcherDlg dlg;
    QAbstractItemModelTester tester;
    QAbstractItemModelTester outputTester;
};

}  // namespace tevra::test
