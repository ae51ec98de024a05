// SPDX-License-Identifier: GPL-3.0-or-later
// Tevra.exe's window against tevra-watch.exe's loop on the same table of
// 60,000 neighbours, in one run under Wine: the first tick, which fills the
// program cache and the list, and a tick that finds nothing new. The window's
// tick is the timer's whole work (the engine's refresh and the list's update)
// and then the paint it causes; tevra-watch's is its refresh with its output.
// Prints both and their ratios (targets: a tick at most 1.5 times, the first
// fill at most 2 times tevra-watch's).
#include "cli/AlertOutput.h"
#include "cli/ConsoleWatch.h"
#include "engine/Address.h"
#include "hostnet/fake/FakeIpHelper.h"
#include "ui/core/StartUp.h"
#include "ui/win32/WatcherDlg.h"

#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

constexpr int kRows = 60000;
constexpr int kTicks = 15;

using Clock = std::chrono::steady_clock;

std::unique_ptr<tevra::hostnet::FakeIpHelper> hostWithRows()
{
    auto fake = std::make_unique<tevra::hostnet::FakeIpHelper>();
    fake->adapters = { { 2, "eth0" } };
    for (int i = 0; i < kRows; ++i) {
        tevra::hostnet::MibIpNetRow row;
        row.dwAddr = tevra::hostToNet(0x0A000000u + std::uint32_t(i) + 1);
        row.dwIndex = 2;
        row.dwType = tevra::hostnet::kNetTypeDynamic;
        row.dwPhysAddrLen = 6;
        row.bPhysAddr = { 0x00, 0x0C, 0x29, std::uint8_t(i >> 16), std::uint8_t(i >> 8), std::uint8_t(i) };
        fake->netTable.push_back(row);
    }
    return fake;
}

template<typename Step> double millisecondsOf(Step step)
{
    const auto start = Clock::now();
    step();
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double median(std::vector<double> values)
{
    std::ranges::sort(values);
    return values[values.size() / 2];
}

void handleMessages()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

struct Costs {
    double firstFill = 0;
    double tick = 0;
};

Costs watchCosts()
{
    const tevra::cli::AlertOutput output;
    Costs costs;
    tevra::cli::ConsoleWatch watch(hostWithRows(), output);
    costs.firstFill = millisecondsOf([&] { watch.refresh(); });
    std::vector<double> ticks;
    for (int i = 0; i < kTicks; ++i)
        ticks.push_back(millisecondsOf([&] { watch.refresh(); }));
    costs.tick = median(ticks);
    return costs;
}

Costs windowCosts()
{
    tevra::win32::WindowParts parts;
    parts.host = hostWithRows();
    parts.pause = [](int) {};
    tevra::win32::CWatcherDlg window(std::move(parts));
    if (!window.create())
        std::abort();
    handleMessages();
    // Each tick as the timer delivers it, then the paint it caused.
    const auto tick = [&] {
        SendMessageW(window.window(), WM_TIMER, tevra::kRefreshTimerId, 0);
        UpdateWindow(window.window());
        handleMessages();
    };
    Costs costs;
    costs.firstFill = millisecondsOf(tick);
    if (window.mappingRows().rows().size() != kRows)
        std::abort();
    std::vector<double> ticks;
    for (int i = 0; i < kTicks; ++i)
        ticks.push_back(millisecondsOf(tick));
    costs.tick = median(ticks);
    return costs;
}

}  // namespace

int main()
{
    INITCOMMONCONTROLSEX controls { sizeof controls, ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES };
    InitCommonControlsEx(&controls);
    // Alternated, so that a machine getting busier weighs on both alike.
    std::vector<Costs> watch;
    std::vector<Costs> window;
    for (int round = 0; round < 3; ++round) {
        watch.push_back(watchCosts());
        window.push_back(windowCosts());
    }
    auto pick = [](const std::vector<Costs>& runs, double Costs::*field) {
        std::vector<double> values;
        for (const Costs& run : runs)
            values.push_back(run.*field);
        return median(values);
    };
    const double watchFill = pick(watch, &Costs::firstFill);
    const double windowFill = pick(window, &Costs::firstFill);
    const double watchTick = pick(watch, &Costs::tick);
    const double windowTick = pick(window, &Costs::tick);
    std::printf("%d neighbours; median of 3 runs, ticks the median of %d each\n", kRows, kTicks);
    std::printf("first fill: window %.1f ms, tevra-watch %.1f ms, ratio %.2f (target at most 2)\n",
        windowFill, watchFill, windowFill / watchFill);
    std::printf("tick:       window %.1f ms, tevra-watch %.1f ms, ratio %.2f (target at most 1.5)\n",
        windowTick, watchTick, windowTick / watchTick);
    return windowFill <= 2 * watchFill && windowTick <= 1.5 * watchTick ? 0 : 1;
}
