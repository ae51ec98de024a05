// SPDX-License-Identifier: GPL-3.0-or-later
// The engine's cost per change from the feed against a whole refresh of the
// same 60,000-row table, per row and as a whole, measured in one run: how many
// changes following the table can take for the price of one re-read.
#include "engine/MappingWatcher.h"
#include "hostnet/fake/FakeIpHelper.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

using tevra::hostnet::MibIpNetRow;
using tevra::hostnet::NetTableChange;

constexpr int kRows = 60000;
// Changes handed over per take: a flood's worth, spread over the whole table.
constexpr int kBatch = 1000;

MibIpNetRow tableRow(int i, std::uint8_t variant)
{
    MibIpNetRow row;
    row.address = tevra::hostnet::IpAddress::v4(
        __builtin_bswap32(0x0A000000u + std::uint32_t(i) + 1));  // 10.0.0.1 onward
    row.dwIndex = 2;
    row.dwType = tevra::hostnet::kNetTypeDynamic;
    row.dwPhysAddrLen = 6;
    row.bPhysAddr = { 0x00, 0x0C, 0x29, variant, std::uint8_t(i >> 8), std::uint8_t(i) };
    return row;
}

// A watcher that has read the table once, and the fake it reads through.
struct Watched {
    explicit Watched(int rows)
    {
        auto fake = std::make_unique<tevra::hostnet::FakeIpHelper>();
        for (int i = 0; i < rows; ++i)
            fake->netTable.push_back(tableRow(i, 0));
        host = fake.get();
        watcher = std::make_unique<tevra::CMappingWatcher>(std::move(fake));
        watcher->loadVendorTable();
        // Alerts are made in full and handed over; the printing is the front end's.
        watcher->sink.userData = &alerts;
        watcher->sink.callback
            = [](std::unique_ptr<tevra::WatchEvent>, void* count) { ++*static_cast<std::int64_t*>(count); };
        watcher->refresh();
    }
    tevra::hostnet::FakeIpHelper* host = nullptr;
    std::unique_ptr<tevra::CMappingWatcher> watcher;
    std::int64_t alerts = 0;
};

// Addresses spread evenly over the table, as a flood over many hosts comes.
std::vector<int> batchIndexes()
{
    std::vector<int> indexes;
    for (int k = 0; k < kBatch; ++k)
        indexes.push_back(k * (kRows / kBatch));
    return indexes;
}

void BM_RefreshUnchanged(benchmark::State& state)
{
    Watched watched(kRows);
    for (auto _ : state)
        benchmark::DoNotOptimize(watched.watcher->refresh());
    state.SetItemsProcessed(state.iterations() * kRows);
}

// Every change gives its address a new MAC: one "Mapping changed" alert each.
void BM_ChangeNewMac(benchmark::State& state)
{
    Watched watched(kRows);
    std::vector<NetTableChange> batches[2];
    for (const int i : batchIndexes()) {
        batches[0].push_back({ tableRow(i, 1).address, tableRow(i, 1) });
        batches[1].push_back({ tableRow(i, 0).address, tableRow(i, 0) });
    }
    std::int64_t round = 0;
    for (auto _ : state) {
        state.PauseTiming();
        watched.host->changes = batches[round++ % 2];
        // The history of each entry stays short, so memory does not grow with the run.
        for (const NetTableChange& change : batches[0])
            watched.watcher->programCache[change.address]->previous.reset();
        state.ResumeTiming();
        benchmark::DoNotOptimize(watched.watcher->followChanges());
    }
    if (watched.alerts != state.iterations() * kBatch)
        state.SkipWithError("not one alert per change");
    state.SetItemsProcessed(state.iterations() * kBatch);
}

// An address leaves the table and comes back with the same MAC: no alert.
void BM_ChangeLeftAndBack(benchmark::State& state)
{
    Watched watched(kRows);
    std::vector<NetTableChange> batch;
    for (const int i : batchIndexes()) {
        batch.push_back({ tableRow(i, 0).address, std::nullopt });
        batch.push_back({ tableRow(i, 0).address, tableRow(i, 0) });
    }
    for (auto _ : state) {
        state.PauseTiming();
        watched.host->changes = batch;
        state.ResumeTiming();
        benchmark::DoNotOptimize(watched.watcher->followChanges());
    }
    if (watched.alerts != 0)
        state.SkipWithError("an alert without a change of MAC");
    state.SetItemsProcessed(state.iterations() * std::int64_t(batch.size()));
}

BENCHMARK(BM_RefreshUnchanged)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ChangeNewMac)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ChangeLeftAndBack)->Unit(benchmark::kMicrosecond);

// Keeps each benchmark's CPU time per item, to print the ratios after the table.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            const auto rate = run.counters.find("items_per_second");
            if (!run.error_occurred && run.run_type == Run::RT_Iteration && rate != run.counters.end())
                nsPerItem[run.run_name.function_name] = 1e9 / rate->second.value;
        }
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> nsPerItem;
};

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    const auto& ns = reporter.nsPerItem;
    if (!ns.contains("BM_RefreshUnchanged") || !ns.contains("BM_ChangeNewMac")
        || !ns.contains("BM_ChangeLeftAndBack"))
        return 0;  // a filter left some out: no ratios
    const double row = ns.at("BM_RefreshUnchanged");
    const double whole = row * kRows;
    std::printf("\nrefresh of %d unchanged rows: %.0f us, %.1f ns per row\n", kRows, whole / 1e3, row);
    for (const char* name : { "BM_ChangeNewMac", "BM_ChangeLeftAndBack" }) {
        const double change = ns.at(name);
        std::printf("%-20s %7.1f ns per change = %5.2f rows of a refresh; %6.0f changes cost one whole "
                    "refresh\n",
            name + 3, change, change / row, whole / change);
    }
    std::printf("(no target is set for these figures; the flood and idle benchmarks hold the targets)\n");
    return 0;
}
