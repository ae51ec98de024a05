// SPDX-License-Identifier: GPL-3.0-or-later
// The mapping list at 60,000 rows: the first tick that fills it, a tick with
// nothing marked for redisplay, and a tick that rewrites every row unchanged.
// The engine's refresh runs once beforehand and is not measured.
// The output list under a flood: one line appended and one pass of the event
// loop, with ten lines and with a million before it, and the heap the window
// holds per alert line.
#include "engine/Address.h"
#include "hostnet/fake/FakeIpHelper.h"
#include "ui/qt/WatcherDlg.h"

#include <QApplication>
#include <QTest>

#include <benchmark/benchmark.h>
#include <malloc.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <vector>

namespace {

constexpr int kRows = 60000;

std::unique_ptr<tevra::hostnet::FakeIpHelper> hostWithRows(int rows)
{
    auto fake = std::make_unique<tevra::hostnet::FakeIpHelper>();
    fake->adapters = { { 2, "eth0" } };
    for (int i = 0; i < rows; ++i) {
        tevra::hostnet::MibIpNetRow row;
        row.address = tevra::hostnet::IpAddress::v4(
            tevra::hostToNet(0x0A000000u + std::uint32_t(i) + 1));  // 10.0.0.1 onward
        row.dwIndex = 2;
        row.dwType = tevra::hostnet::kNetTypeDynamic;
        row.dwPhysAddrLen = 6;
        row.bPhysAddr = { 0x00, 0x0C, 0x29, std::uint8_t(i >> 16), std::uint8_t(i >> 8), std::uint8_t(i) };
        fake->netTable.push_back(row);
    }
    return fake;
}

// The window, shown offscreen, with its program cache filled by one refresh.
struct Window {
    Window()
        : dlg(hostWithRows(kRows))
    {
        dlg.pause = [](int) {};
        dlg.OnInitDialog();
        dlg.show();
        if (!QTest::qWaitForWindowExposed(&dlg))
            std::abort();
        dlg.watcher.refresh();
    }
    void mark(bool redisplay)
    {
        for (auto& [address, entry] : dlg.watcher.programCache)
            entry->redisplay = redisplay;
    }
    tevra::CWatcherDlg dlg;
};

void BM_FirstFill(benchmark::State& state)
{
    Window window;
    for (auto _ : state) {
        state.PauseTiming();
        window.dlg.mappingList.rows().deleteAllRows();
        window.mark(true);
        state.ResumeTiming();
        window.dlg.updateMappingList(false);
        QCoreApplication::processEvents();  // the view's own reaction to the new rows
    }
    state.counters["rows"] = window.dlg.mappingList.rows().rowCount();
}

void BM_IdleTick(benchmark::State& state)
{
    Window window;
    window.dlg.updateMappingList(true);
    window.mark(false);
    for (auto _ : state) {
        window.dlg.updateMappingList(false);
        QCoreApplication::processEvents();
    }
    state.counters["rows"] = window.dlg.mappingList.rows().rowCount();
}

void BM_UnchangedTick(benchmark::State& state)
{
    Window window;
    window.dlg.updateMappingList(true);
    window.mark(true);
    for (auto _ : state) {
        window.dlg.updateMappingList(false);
        QCoreApplication::processEvents();
    }
    state.counters["rows"] = window.dlg.mappingList.rows().rowCount();
}

// A "Mapping changed" alert as the engine makes it.
std::unique_ptr<tevra::WatchEvent> changeAlert(std::uint32_t i)
{
    auto event = std::make_unique<tevra::WatchEvent>();
    const std::uint8_t from[6] = { 0x00, 0x0C, 0x29, 0x11, 0x22, 0x33 };
    const std::uint8_t to[6]
        = { 0x00, 0x0C, 0x29, std::uint8_t(i >> 16), std::uint8_t(i >> 8), std::uint8_t(i) };
    event->compose(tevra::hostnet::IpAddress::v4(tevra::hostToNet(0x0A000000u + (i & 0xFFFF))), {}, from, to,
        tevra::MappingChanged, 1700000000);
    return event;
}

QString outputLine(std::uint32_t i)
{
    return tevra::AlertPresenter::outputLine(*changeAlert(i));
}

struct ShownList {
    explicit ShownList(std::uint32_t lines)
    {
        list.resize(480, 90);
        list.show();
        if (!QTest::qWaitForWindowExposed(&list))
            std::abort();
        for (std::uint32_t i = 0; i < lines; ++i)
            list.AddString(outputLine(i));
        QCoreApplication::processEvents();
    }
    // CPU seconds of the whole process (painting may use helper threads) for
    // `lines` appends, each followed by one pass of the event loop.
    double append(const std::vector<QString>& lines)
    {
        const std::clock_t start = std::clock();
        for (const QString& line : lines) {
            list.AddString(line);
            QCoreApplication::processEvents();
        }
        return double(std::clock() - start) / CLOCKS_PER_SEC;
    }
    tevra::COutputListBox list;
};

// The short and the long list take turns in rounds, so a machine that gets
// busier or quieter during the run weighs on both alike.
void BM_AppendLine(benchmark::State& state)
{
    constexpr int kRounds = 30;
    constexpr int kAppendsPerRound = 100;
    std::vector<QString> lines;
    for (std::uint32_t i = 0; i < kAppendsPerRound; ++i)
        lines.push_back(outputLine(i));
    for (auto _ : state) {
        ShownList few(10);
        ShownList many(1000000);
        double fewSeconds = 0;
        double manySeconds = 0;
        for (int round = 0; round < kRounds; ++round) {
            fewSeconds += few.append(lines);
            manySeconds += many.append(lines);
        }
        const double appends = kRounds * kAppendsPerRound;
        state.counters["us_at_10"] = fewSeconds / appends * 1e6;
        state.counters["us_at_1M"] = manySeconds / appends * 1e6;
        state.counters["ratio"] = manySeconds / fewSeconds;
        std::printf("CPU per append and pass: %.0f us at 10 lines, %.0f us at 1,000,000 lines; "
                    "ratio %.2f (target: about 1)\n",
            fewSeconds / appends * 1e6, manySeconds / appends * 1e6, manySeconds / fewSeconds);
    }
}

// Every alert the window keeps: its WatchEvent and its output line.
void BM_HeapPerAlert(benchmark::State& state)
{
    constexpr std::uint32_t kAlerts = 200000;
    for (auto _ : state) {
        tevra::CWatcherDlg dlg(std::make_unique<tevra::hostnet::FakeIpHelper>());
        dlg.pause = [](int) {};
        dlg.OnInitDialog();
        QCoreApplication::processEvents();
        const std::size_t before = mallinfo2().uordblks;
        for (std::uint32_t i = 0; i < kAlerts; ++i)
            tevra::DispatchWatchEvent(changeAlert(i), &dlg);
        QCoreApplication::processEvents();
        const std::size_t after = mallinfo2().uordblks;
        state.counters["bytes_per_alert"] = double(after - before) / kAlerts;
    }
}

BENCHMARK(BM_FirstFill)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IdleTick)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UnchangedTick)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AppendLine)->Iterations(1)->Unit(benchmark::kSecond);
BENCHMARK(BM_HeapPerAlert)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
