// The mapping list at 60,000 rows: the first tick that fills it, a tick with
// nothing marked for redisplay, and a tick that rewrites every row unchanged.
// The engine's refresh runs once beforehand and is not measured.
#include "engine/Address.h"
#include "hostnet/fake/FakeIpHelper.h"
#include "ui/WatcherDlg.h"

#include <QApplication>
#include <QTest>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>

namespace {

constexpr int kRows = 60000;

std::unique_ptr<tevra::hostnet::FakeIpHelper> hostWithRows(int rows)
{
    auto fake = std::make_unique<tevra::hostnet::FakeIpHelper>();
    fake->adapters = { { 2, "eth0" } };
    for (int i = 0; i < rows; ++i) {
        tevra::hostnet::MibIpNetRow row;
        row.dwAddr = tevra::hostToNet(0x0A000000u + std::uint32_t(i) + 1);  // 10.0.0.1 onward
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

BENCHMARK(BM_FirstFill)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IdleTick)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UnchangedTick)->Unit(benchmark::kMillisecond);

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
