// SPDX-License-Identifier: GPL-3.0-or-later
#include "EngineFixture.h"

#include <gtest/gtest.h>

namespace tevra::test {
namespace {

using ProgramCacheTest = EngineTest;

TEST_F(ProgramCacheTest, RemoveTakesOnlyStrictAddressesInTheCache)
{
    refreshWith({ row("10.0.0.1", "00-0C-29-11-22-33"), row("255.255.255.255", "FF-FF-FF-FF-FF-FF") });
    EXPECT_EQ(watcher.removeFromProgramCache("10.0.0.9"), -1);
    EXPECT_EQ(watcher.removeFromProgramCache("not an address"), -1);
    EXPECT_EQ(watcher.removeFromProgramCache("10.0.0.1 "), -1);
    EXPECT_EQ(watcher.programCache.size(), 2u);
    EXPECT_EQ(watcher.removeFromProgramCache("255.255.255.255"), 0);
    EXPECT_EQ(watcher.removeFromProgramCache("10.0.0.1"), 0);
    EXPECT_TRUE(watcher.programCache.empty());
    EXPECT_EQ(watcher.removeFromProgramCache("10.0.0.1"), -1);
}

TEST_F(ProgramCacheTest, FindEntryReadsStrictText)
{
    refreshWith({ row("255.255.255.255", "FF-FF-FF-FF-FF-FF"), row("10.0.0.1", "00-0C-29-11-22-33") });
    EXPECT_EQ(watcher.findEntry("255.255.255.255"), &entry("255.255.255.255"));
    EXPECT_EQ(watcher.findEntry("10.0.0.01"), nullptr);
    EXPECT_EQ(watcher.findEntry(""), nullptr);
    EXPECT_EQ(watcher.findEntry("10.0.0.2"), nullptr);
}

TEST_F(ProgramCacheTest, RemovedAddressComesBackAsNew)
{
    refreshWith({ row("10.0.0.7", "00-0C-29-11-22-33") });
    refreshWith({ row("10.0.0.7", "FF-FF-FF-FF-FF-FF") });
    ASSERT_EQ(entry("10.0.0.7").historyLength(), 1u);
    events.clear();
    EXPECT_EQ(watcher.removeFromProgramCache("10.0.0.7"), 0);
    refreshWith({ row("10.0.0.7", "FF-FF-FF-FF-FF-FF") });
    EXPECT_EQ(entry("10.0.0.7").previous, nullptr);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0]->kind, BroadcastMac);
}

TEST_F(ProgramCacheTest, ClearEmptiesAndIsHarmlessWhenEmpty)
{
    EXPECT_EQ(watcher.clearProgramCache(), 0);
    refreshWith({ row("10.0.0.1", "00-0C-29-11-22-33"), row("10.0.0.2", "00-0C-29-11-22-34") });
    EXPECT_EQ(watcher.clearProgramCache(), 0);
    EXPECT_TRUE(watcher.programCache.empty());
    refreshWith({ row("10.0.0.1", "00-0C-29-44-55-66") });
    EXPECT_TRUE(events.empty());  // the history is gone with the flush
}

TEST_F(ProgramCacheTest, CacheIsWalkedInDottedOrder)
{
    refreshWith({ row("10.0.0.2", "00-0C-29-11-22-33"), row("192.168.0.1", "00-0C-29-11-22-33"),
        row("10.0.0.1", "00-0C-29-11-22-33"), row("1.0.0.9", "00-0C-29-11-22-33") });
    std::vector<std::string> order;
    for (const auto& [key, e] : watcher.programCache) {
        EXPECT_EQ(key, e->address);
        order.push_back(addressText(key));
    }
    EXPECT_EQ(order, (std::vector<std::string> { "1.0.0.9", "10.0.0.1", "10.0.0.2", "192.168.0.1" }));
}

// A million mapping changes of one address must free without deep recursion.
TEST(MappingEntryChain, LongHistoryIsFreedIteratively)
{
    auto head = std::make_unique<MappingEntry>();
    for (int i = 0; i < 1'000'000; ++i) {
        auto next = std::make_unique<MappingEntry>();
        next->previous = std::move(head);
        head = std::move(next);
    }
    EXPECT_EQ(head->historyLength(), 1'000'000u);
    head.reset();
    SUCCEED();
}

TEST_F(ProgramCacheTest, RemoveAndClearFreeLongChains)
{
    refreshWith({ row("10.0.0.1", "00-0C-29-11-22-33"), row("10.0.0.2", "00-0C-29-11-22-33") });
    for (const char* address : { "10.0.0.1", "10.0.0.2" }) {
        MappingEntry& e = entry(address);
        for (int i = 0; i < 200'000; ++i) {
            auto old = std::make_unique<MappingEntry>();
            old->previous = std::move(e.previous);
            e.previous = std::move(old);
        }
    }
    EXPECT_EQ(watcher.removeFromProgramCache("10.0.0.1"), 0);
    EXPECT_EQ(watcher.clearProgramCache(), 0);
    EXPECT_TRUE(watcher.programCache.empty());
}

}  // namespace
}  // namespace tevra::test
