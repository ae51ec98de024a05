// SPDX-License-Identifier: GPL-3.0-or-later
// What the vendor table costs at start: with the compiled-in copy (target: a
// few milliseconds, counted as 3 ms) and reading the four ieee-data CSV lists
// (target: 30 ms). "of_budget" is the time of one start over its target (printed
// with SI prefixes: 6m is 0.006).
#include "engine/RegistryCsv.h"
#include "engine/VendorTable.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>

namespace {

constexpr double kCompiledInBudget = 0.003;
constexpr double kListsBudget = 0.030;
const std::string kSystemLists = "/usr/share/ieee-data";

// Times one start of the table by the wall clock, as the user waits for it.
template<typename Start> void timeStarts(benchmark::State& state, double budgetSeconds, Start start)
{
    double seconds = 0;
    for (auto _ : state) {
        const auto begin = std::chrono::steady_clock::now();
        start();
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    }
    state.counters["of_budget"] = seconds / double(state.iterations()) / budgetSeconds;
}

// What loadVendorTable() does on a system without ieee-data: four files looked
// for and not found, then the compiled-in arrays taken as they are.
void BM_StartWithCompiledInCopy(benchmark::State& state)
{
    setenv("TEVRA_IEEE_DATA", "/nonexistent/ieee-data", 1);
    timeStarts(state, kCompiledInBudget, [] {
        tevra::VendorTable table;
        table.load(tevra::VendorTable::listFolders());
        benchmark::DoNotOptimize(table.find({ 0x00, 0x00, 0x0C, 0x12, 0x34, 0x56 }));
    });
    unsetenv("TEVRA_IEEE_DATA");
}

void BM_LoadFourSystemLists(benchmark::State& state)
{
    if (!std::ifstream(kSystemLists + "/oui.csv")) {
        state.SkipWithError("no ieee-data lists in /usr/share/ieee-data (apt-get install ieee-data)");
        return;
    }
    std::size_t blocks = 0;
    timeStarts(state, kListsBudget, [&blocks] {
        tevra::VendorTable table;
        table.load({ kSystemLists });
        blocks = table.size();
        benchmark::DoNotOptimize(table.find({ 0x00, 0x00, 0x0C, 0x12, 0x34, 0x56 }));
    });
    state.counters["blocks"] = double(blocks);
}

// The parsing alone, without the file reads and the sorting.
void BM_ParseMalList(benchmark::State& state)
{
    std::ostringstream text;
    text << std::ifstream(kSystemLists + "/oui.csv", std::ios::binary).rdbuf();
    const std::string csv = text.str();
    if (csv.empty()) {
        state.SkipWithError("no /usr/share/ieee-data/oui.csv");
        return;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(tevra::readRegistryCsv(csv, "MA-L", 6));
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(csv.size()));
}

// One lookup as a new entry makes it: four binary searches at most.
void BM_Lookup(benchmark::State& state)
{
    tevra::VendorTable table;
    table.loadEmbedded();
    std::mt19937_64 random(14);
    std::vector<tevra::MacBytes> macs(4096);
    for (tevra::MacBytes& mac : macs)
        for (int i = 0; i < 6; ++i)
            mac[std::size_t(i)] = std::uint8_t(random());
    std::size_t next = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(table.find(macs[next]));
        next = (next + 1) % macs.size();
    }
}

BENCHMARK(BM_StartWithCompiledInCopy)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_LoadFourSystemLists)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ParseMalList)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Lookup);

}  // namespace

BENCHMARK_MAIN();
