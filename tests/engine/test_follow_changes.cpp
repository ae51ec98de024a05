// SPDX-License-Identifier: GPL-3.0-or-later
#include "EngineFixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

namespace tevra::test {
namespace {

constexpr const char* kMac1 = "00-0C-29-11-22-33";
constexpr const char* kMac2 = "00-0C-29-44-55-66";

hostnet::NetTableChange changeTo(const hostnet::MibIpNetRow& row)
{
    return { row.address, row };
}

hostnet::NetTableChange removal(const char* dotted)
{
    return { ip(dotted), std::nullopt };
}

// --- A change is handled as a whole read handles the same row ---

struct SameAsReadCase {
    const char* name;
    std::vector<hostnet::MibIpNetRow> before;
    hostnet::MibIpNetRow changed;
};

void PrintTo(const SameAsReadCase& c, std::ostream* os)
{
    *os << c.name;
}

const SameAsReadCase kSameAsRead[] = {
    { "new_address", {}, row("10.0.0.1", kMac1) },
    { "changed_mac", { row("10.0.0.1", kMac1) }, row("10.0.0.1", kMac2) },
    { "same_mac_other_type", { row("10.0.0.1", kMac1) }, row("10.0.0.1", kMac1, 2, hostnet::kNetTypeStatic) },
    { "unresolved_then_resolved", { row("10.0.0.1", "") }, row("10.0.0.1", kMac1) },
    { "resolved_then_unresolved", { row("10.0.0.1", kMac1) }, row("10.0.0.1", "") },
    { "new_broadcast_mac", {}, row("10.0.0.1", "FF-FF-FF-FF-FF-FF") },
    { "changed_to_multicast_mac", { row("10.0.0.1", kMac1) }, row("10.0.0.1", "01-00-5E-00-00-01") },
    { "group_with_its_own_mac", {}, row("224.0.0.251", "01-00-5E-00-00-FB") },
    { "group_with_a_wrong_mac", {}, row("224.0.0.251", "01-00-5E-00-00-01") },
    { "limited_broadcast", {}, row("255.255.255.255", "FF-FF-FF-FF-FF-FF") },
};

class FollowedLikeRead : public ::testing::TestWithParam<SameAsReadCase> { };

// Each engine keeps its events and its entry for the comparison.
class ScriptedEngine : public EngineTest {
public:
    void TestBody() override { }
    using EngineTest::entry;
    using EngineTest::host;
    using EngineTest::refreshWith;
    using EngineTest::texts;
    using EngineTest::watcher;
};

TEST_P(FollowedLikeRead, SameAlertsAndEntry)
{
    const SameAsReadCase& c = GetParam();
    ScriptedEngine read;
    ScriptedEngine followed;
    read.refreshWith(c.before);
    followed.refreshWith(c.before);

    std::vector<hostnet::MibIpNetRow> after = c.before;
    std::erase_if(after, [&](const auto& r) { return r.address == c.changed.address; });
    after.push_back(c.changed);
    read.refreshWith(after);
    followed.host.changes = { changeTo(c.changed) };
    EXPECT_EQ(followed.watcher.followChanges(), std::vector { c.changed.address });

    EXPECT_EQ(followed.texts(), read.texts());
    const MappingEntry& expected = *read.watcher.programCache.at(c.changed.address);
    const MappingEntry& got = *followed.watcher.programCache.at(c.changed.address);
    EXPECT_EQ(got.mac, expected.mac);
    EXPECT_EQ(got.macLength, expected.macLength);
    EXPECT_EQ(got.type, expected.type);
    EXPECT_EQ(got.alertFree, expected.alertFree);
    EXPECT_EQ(got.inSystemCache, expected.inSystemCache);
    EXPECT_EQ(got.vendor, expected.vendor);
    EXPECT_EQ(got.historyLength(), expected.historyLength());

    // The feed kept up: a whole read of the same table finds nothing more.
    const std::size_t alerts = followed.texts().size();
    followed.refreshWith(after);
    EXPECT_EQ(followed.texts().size(), alerts);
}

INSTANTIATE_TEST_SUITE_P(Table, FollowedLikeRead, ::testing::ValuesIn(kSameAsRead),
    [](const auto& info) { return std::string(info.param.name); });

// --- Sequences only a feed can show ---

class FollowChanges : public EngineTest { };

TEST_F(FollowChanges, AChangeRevertedAtOnceIsReportedBothWaysInOrder)
{
    refreshWith({ row("10.0.0.1", kMac1) });
    host.changes = { changeTo(row("10.0.0.1", kMac2)), changeTo(row("10.0.0.1", kMac1)) };
    watcher.followChanges();

    EXPECT_EQ(texts(),
        (std::vector<std::string> {
            "14:03:09: Mapping changed: 10.0.0.1 changed from 00-0C-29-11-22-33 to 00-0C-29-44-55-66",
            "14:03:09: Mapping changed: 10.0.0.1 changed from 00-0C-29-44-55-66 to 00-0C-29-11-22-33",
        }));
    EXPECT_EQ(entry("10.0.0.1").historyLength(), 2u);
}

TEST_F(FollowChanges, ChangesWaitingWhenARefreshComesAreReportedOnceEach)
{
    // 10.0.0.9 on a MAC of its own: 10.0.0.1 moving back to one it holds would name the pair.
    refreshWith({ row("10.0.0.1", kMac1), row("10.0.0.9", "00-0C-29-77-88-99") });
    // The host's table already shows the end state; the feed still holds the way there.
    host.changes
        = { changeTo(row("10.0.0.1", kMac2)), changeTo(row("10.0.0.1", kMac1)), removal("10.0.0.9") };
    refreshWith({ row("10.0.0.1", kMac1) });

    EXPECT_EQ(texts().size(), 2u);
    EXPECT_FALSE(entry("10.0.0.9").inSystemCache);
    EXPECT_TRUE(entry("10.0.0.9").redisplay);
    EXPECT_TRUE(entry("10.0.0.1").inSystemCache);
}

// --- Changes still waiting when a refresh comes, with the table it reads ---

struct WaitingCase {
    const char* name;
    std::vector<hostnet::NetTableChange> changes;
    std::vector<hostnet::MibIpNetRow> table;  // always holds 10.0.0.2 too, in address order
    const char* macAfter;  // of 10.0.0.1
    bool inSystemCache, redisplay;  // of 10.0.0.1
    std::size_t alerts;
};

void PrintTo(const WaitingCase& c, std::ostream* os)
{
    *os << c.name;
}

const WaitingCase kWaiting[] = {
    { "changed", { changeTo(row("10.0.0.1", kMac2)) }, { row("10.0.0.1", kMac2) }, kMac2, true, true, 1 },
    { "removed", { removal("10.0.0.1") }, {}, kMac1, false, true, 0 },
    { "removed_and_back", { removal("10.0.0.1"), changeTo(row("10.0.0.1", kMac1)) },
        { row("10.0.0.1", kMac1) }, kMac1, true, true, 0 },
    // A host's table may lag behind its feed: the change, the later word, decides.
    { "changed_table_lags", { changeTo(row("10.0.0.1", kMac2)) }, { row("10.0.0.1", kMac1) }, kMac2, true,
        true, 1 },
    { "removed_table_lags", { removal("10.0.0.1") }, { row("10.0.0.1", kMac1) }, kMac1, true, true, 0 },
};

// The table in address order, and reversed, as a host that breaks its promise gives it.
class ChangesWaiting : public EngineTest,
                       public ::testing::WithParamInterface<std::tuple<WaitingCase, bool>> { };

TEST_P(ChangesWaiting, AreTakenFirstAndTheTableDecidesTheRest)
{
    const auto& [c, reversed] = GetParam();
    refreshWith({ row("10.0.0.1", kMac1), row("10.0.0.2", kMac1) });
    events.clear();

    host.changes = c.changes;
    std::vector<hostnet::MibIpNetRow> table = c.table;
    table.push_back(row("10.0.0.2", kMac1));
    if (reversed)
        std::ranges::reverse(table);
    refreshWith(table);

    EXPECT_EQ(macText(entry("10.0.0.1").mac.data()), c.macAfter);
    EXPECT_EQ(entry("10.0.0.1").inSystemCache, c.inSystemCache);
    EXPECT_EQ(entry("10.0.0.1").redisplay, c.redisplay);
    EXPECT_EQ(events.size(), c.alerts);
    // The untouched entry is checked against its row as every pass does.
    EXPECT_TRUE(entry("10.0.0.2").inSystemCache);
    EXPECT_FALSE(entry("10.0.0.2").redisplay);
}

INSTANTIATE_TEST_SUITE_P(Table, ChangesWaiting,
    ::testing::Combine(::testing::ValuesIn(kWaiting), ::testing::Bool()), [](const auto& info) {
        return std::string(std::get<0>(info.param).name) + (std::get<1>(info.param) ? "_reversed" : "");
    });

TEST_F(FollowChanges, ARemovedEntryLeavesTheSystemCacheAndComesBackQuietly)
{
    refreshWith({ row("10.0.0.1", kMac1) });
    host.changes = { removal("10.0.0.1") };
    watcher.followChanges();
    EXPECT_FALSE(entry("10.0.0.1").inSystemCache);
    EXPECT_TRUE(entry("10.0.0.1").redisplay);

    host.changes = { changeTo(row("10.0.0.1", kMac1)) };
    watcher.followChanges();
    EXPECT_TRUE(entry("10.0.0.1").inSystemCache);
    EXPECT_TRUE(events.empty());

    // Removing an address never seen changes nothing.
    host.changes = { removal("10.0.0.2") };
    watcher.followChanges();
    EXPECT_EQ(watcher.programCache.count(ip("10.0.0.2")), 0u);
}

TEST_F(FollowChanges, WithoutAFeedNothingIsTaken)
{
    host.offersFeed = false;
    refreshWith({ row("10.0.0.1", kMac1) });
    EXPECT_EQ(watcher.openChangeFeed(), -1);
    host.changes = { removal("10.0.0.1") };
    EXPECT_TRUE(watcher.followChanges().empty());
    EXPECT_TRUE(entry("10.0.0.1").inSystemCache);
}

}  // namespace
}  // namespace tevra::test
