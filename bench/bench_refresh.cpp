// SPDX-License-Identifier: GPL-3.0-or-later
// refresh over an unchanged table against a plain std::map::find pass over the
// same keys: the per-row work of the watcher beyond the lookup it cannot avoid.
#include "engine/Address.h"
#include "engine/MappingWatcher.h"
#include "hostnet/fake/FakeIpHelper.h"

#include <benchmark/benchmark.h>

#include <map>
#include <memory>

namespace {

std::vector<tevra::hostnet::MibIpNetRow> unchangedTable(int rows)
{
    std::vector<tevra::hostnet::MibIpNetRow> table(static_cast<std::size_t>(rows));
    for (int i = 0; i < rows; ++i) {
        auto& row = table[static_cast<std::size_t>(i)];
        const std::uint32_t host = 0x0A000000u + std::uint32_t(i) + 1;  // 10.0.0.1 onward
        row.address = tevra::hostnet::IpAddress::v4(tevra::hostToNet(host));
        row.dwIndex = 2;
        row.dwType = tevra::hostnet::kNetTypeDynamic;
        row.dwPhysAddrLen = 6;
        row.bPhysAddr = { 0x00, 0x0C, 0x29, std::uint8_t(i >> 16), std::uint8_t(i >> 8), std::uint8_t(i) };
    }
    return table;
}

void BM_Refresh(benchmark::State& state)
{
    auto fake = std::make_unique<tevra::hostnet::FakeIpHelper>();
    fake->netTable = unchangedTable(int(state.range(0)));
    fake->keepFillOrder = true;  // already in order: the figure is the watcher's, not the fake's sort
    tevra::CMappingWatcher watcher(std::move(fake));
    watcher.loadVendorTable();
    watcher.refresh();
    for (auto _ : state)
        benchmark::DoNotOptimize(watcher.refresh());
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_MapFindBaseline(benchmark::State& state)
{
    const auto table = unchangedTable(int(state.range(0)));
    std::map<std::uint32_t, std::unique_ptr<int>> map;
    for (const auto& row : table)
        map.emplace(row.address.v4Value(), std::make_unique<int>(0));
    for (auto _ : state) {
        for (const auto& row : table)
            benchmark::DoNotOptimize(map.find(row.address.v4Value()));
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

BENCHMARK(BM_Refresh)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_MapFindBaseline)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
