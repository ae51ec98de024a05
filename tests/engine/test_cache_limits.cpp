// SPDX-License-Identifier: GPL-3.0-or-later
// The bounds on the program cache: what a flood of made-up addresses or
// changes leaves, and what goes first.
#include "EngineFixture.h"

#include <gtest/gtest.h>

namespace tevra::test {
namespace {

std::string dotted(int i)
{
    return "10.0." + std::to_string(i / 250) + "." + std::to_string(1 + i % 250);
}

std::string macOf(int i, int round)
{
    char text[18];
    std::snprintf(text, sizeof text, "02-00-%02X-%02X-%02X-01", round & 0xFF, (i >> 8) & 0xFF, i & 0xFF);
    return text;
}

std::size_t totalHistory(const CMappingWatcher& watcher)
{
    std::size_t total = 0;
    for (const auto& [address, entry] : watcher.programCache)
        total += entry->historyLength();
    return total;
}

using CacheLimits = EngineTest;

// Ten addresses changed a hundred times each, with a total cap of 300: the
// oldest history goes first, whichever address it belongs to.
TEST_F(CacheLimits, TotalHistoryKeepsTheNewest)
{
    watcher.maxTotalHistory = 300;
    for (int round = 0; round <= 100; ++round) {
        std::vector<hostnet::MibIpNetRow> table;
        for (int i = 0; i < 10; ++i)
            table.push_back(row(dotted(i).c_str(), macOf(i, round).c_str()));
        now += 1;
        refreshWith(table);
        EXPECT_LE(totalHistory(watcher), 300u + 300u / 8) << round;
    }
    // Every address keeps its newest 30 (a time shared by all ten, so the
    // cut cannot favour one), and the newest of each is the one before now.
    refreshWith({});
    for (int i = 0; i < 10; ++i) {
        const MappingEntry& e = entry(dotted(i).c_str());
        EXPECT_GE(e.historyLength(), 27u) << i;
        EXPECT_LE(e.historyLength(), 34u) << i;
        EXPECT_EQ(e.previous->lastChanged, now - 1);
    }
    EXPECT_EQ(events.size(), 1000u) << "alerts are never held back by the bound";
}

// Full: addresses that never resolved go first, then those gone longest;
// what is in the table stays.
TEST_F(CacheLimits, AddressesPastTheCapLeaveInOrder)
{
    watcher.maxAddresses = 36;
    std::vector<hostnet::MibIpNetRow> table;
    for (int i = 0; i < 20; ++i)
        table.push_back(row(dotted(i).c_str(), macOf(i, 0).c_str()));
    refreshWith(table);
    // They leave the table one by one, 0 first.
    for (int gone = 1; gone <= 10; ++gone)
        refreshWith(std::vector(table.begin() + gone, table.end()));
    std::vector<hostnet::MibIpNetRow> next(table.begin() + 10, table.end());
    for (int i = 100; i < 104; ++i)
        next.push_back(row(dotted(i).c_str(), "", 2, hostnet::kNetTypeInvalid));
    for (int i = 200; i < 220; ++i)
        next.push_back(row(dotted(i).c_str(), macOf(i, 0).c_str()));
    refreshWith(next);
    // 10 present + 4 unresolved + 20 new + 10 gone = 44, down to 36 - 36 / 16.
    EXPECT_EQ(watcher.programCache.size(), 34u);
    EXPECT_EQ(watcher.takeEvictedCount(), 10u);
    EXPECT_EQ(watcher.takeEvictedCount(), 0u);
    for (int i = 100; i < 104; ++i)
        EXPECT_EQ(watcher.findEntry(dotted(i)), nullptr) << "never resolved: " << i;
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(watcher.findEntry(dotted(i)) == nullptr, i < 6) << "gone, the longest first: " << i;
    for (int i = 10; i < 20; ++i)
        EXPECT_NE(watcher.findEntry(dotted(i)), nullptr) << "in the table: " << i;
}

// The count a front end compares to tell that nothing is to be saved.
TEST_F(CacheLimits, GenerationMovesOnlyWithWhatASavedCopyShows)
{
    refreshWith({ row("10.0.0.1", macOf(1, 0).c_str()) });
    const std::uint64_t start = watcher.generation();
    refreshWith({ row("10.0.0.1", macOf(1, 0).c_str()) });
    EXPECT_EQ(watcher.generation(), start) << "nothing changed";
    refreshWith({ row("10.0.0.1", macOf(1, 0).c_str(), 2, hostnet::kNetTypeStatic) });
    EXPECT_GT(watcher.generation(), start) << "the type";
    const std::uint64_t typed = watcher.generation();
    refreshWith({ row("10.0.0.1", macOf(1, 1).c_str(), 2, hostnet::kNetTypeStatic) });
    EXPECT_GT(watcher.generation(), typed) << "the MAC";
}

}  // namespace
}  // namespace tevra::test
