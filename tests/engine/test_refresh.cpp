// SPDX-License-Identifier: GPL-3.0-or-later
#include "EngineFixture.h"
#include "engine/LocalTime.h"
#include "engine/MappingCells.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <tuple>

namespace tevra::test {
namespace {

constexpr const char* kMac1 = "00-0C-29-11-22-33";
constexpr const char* kMac2 = "00-0C-29-44-55-66";
constexpr const char* kBroadcast = "FF-FF-FF-FF-FF-FF";

// --- Flags of an entry that was in the program cache before the refresh ---

struct FlagCase {
    const char* name;
    bool inSystemCache, redisplay;  // before
    bool rowHandled;
    bool afterInSystemCache, afterRedisplay;
};

// Names the case in test output instead of dumping its bytes.
void PrintTo(const FlagCase& c, std::ostream* os)
{
    *os << c.name;
}

const FlagCase kFlagCases[] = {
    { "present_redisplayed_seen", true, true, true, true, false },
    { "present_quiet_seen", true, false, true, true, false },
    { "absent_marked_seen", false, true, true, true, true },
    { "absent_quiet_seen", false, false, true, true, true },
    { "present_redisplayed_gone", true, true, false, false, true },
    { "present_quiet_gone", true, false, false, false, true },
    { "absent_marked_gone", false, true, false, false, false },
    { "absent_quiet_gone", false, false, false, false, true },
};

class RefreshFlags : public EngineTest, public ::testing::WithParamInterface<FlagCase> { };

TEST_P(RefreshFlags, FollowTheTable)
{
    const FlagCase& c = GetParam();
    refreshWith({ row("10.0.0.1", kMac1) });
    entry("10.0.0.1").inSystemCache = c.inSystemCache;
    entry("10.0.0.1").redisplay = c.redisplay;

    refreshWith(c.rowHandled ? std::vector { row("10.0.0.1", kMac1) } : std::vector<hostnet::MibIpNetRow> {});

    EXPECT_EQ(entry("10.0.0.1").inSystemCache, c.afterInSystemCache);
    EXPECT_EQ(entry("10.0.0.1").redisplay, c.afterRedisplay);
    EXPECT_TRUE(events.empty());
}

INSTANTIATE_TEST_SUITE_P(Table, RefreshFlags, ::testing::ValuesIn(kFlagCases),
    [](const auto& info) { return std::string(info.param.name); });

// --- Alerts: a table seen before, then another; the lines the second raises ---

struct AlertCase {
    const char* name;
    std::vector<hostnet::MibIpNetRow> before;
    std::vector<hostnet::MibIpNetRow> table;
    std::vector<std::string> lines;
};

// Names the case in test output instead of dumping its bytes.
void PrintTo(const AlertCase& c, std::ostream* os)
{
    *os << c.name;
}

const std::string T = "14:03:09: ";

const AlertCase kAlertCases[] = {
    { "new_plain_mac", {}, { row("10.0.0.1", kMac1) }, {} },
    { "new_broadcast", {}, { row("10.0.0.7", kBroadcast) },
        { T + "Broadcast MAC assigned: 10.0.0.7 has broadcast MAC FF-FF-FF-FF-FF-FF" } },
    { "new_multicast", {}, { row("10.0.0.8", "01-00-5E-00-00-01") },
        { T + "Multicast MAC assigned: 10.0.0.8 has multicast MAC 01-00-5E-00-00-01" } },
    { "new_ipv6_multicast_prefix", {}, { row("10.0.0.8", "33-33-00-00-00-01") }, {} },
    { "new_near_multicast_prefix", {}, { row("10.0.0.8", "01-00-5F-00-00-01") }, {} },
    { "unchanged", { row("10.0.0.1", kMac1) }, { row("10.0.0.1", kMac1) }, {} },
    { "changed", { row("192.168.0.1", kMac1) }, { row("192.168.0.1", kMac2) },
        { T + "Mapping changed: 192.168.0.1 changed from 00-0C-29-11-22-33 to 00-0C-29-44-55-66" } },
    { "changed_to_broadcast_only_that", { row("10.0.0.7", kMac1) }, { row("10.0.0.7", kBroadcast) },
        { T + "Broadcast MAC assigned: 10.0.0.7 has broadcast MAC FF-FF-FF-FF-FF-FF" } },
    { "changed_to_multicast_only_that", { row("10.0.0.7", kMac1) }, { row("10.0.0.7", "01-00-5E-01-02-03") },
        { T + "Multicast MAC assigned: 10.0.0.7 has multicast MAC 01-00-5E-01-02-03" } },
    { "known_row_without_mac_unchanged", { row("10.0.0.1", kMac1) }, { row("10.0.0.1", "") }, {} },
    { "unresolved_then_resolved", { row("10.0.0.1", "") }, { row("10.0.0.1", kMac1) }, {} },
    // Windows' shape of an unresolved entry: six zero bytes.
    { "zero_mac_then_resolved", { row("10.0.0.1", "00-00-00-00-00-00") }, { row("10.0.0.1", kMac1) }, {} },
    { "resolved_then_zero_mac", { row("10.0.0.1", kMac1) }, { row("10.0.0.1", "00-00-00-00-00-00") }, {} },
    // Wine lists the IGMP and SSDP groups as static rows without a MAC, once per interface.
    { "group_rows_without_mac", {},
        { row("224.0.0.22", "", 1, hostnet::kNetTypeStatic),
            row("224.0.0.22", "", 2, hostnet::kNetTypeStatic),
            row("239.255.255.250", "", 1, hostnet::kNetTypeStatic),
            row("239.255.255.250", "", 2, hostnet::kNetTypeStatic) },
        {} },
    { "unresolved_then_broadcast", { row("10.0.0.1", "") }, { row("10.0.0.1", kBroadcast) },
        { T + "Broadcast MAC assigned: 10.0.0.1 has broadcast MAC FF-FF-FF-FF-FF-FF" } },
    // Each to a MAC of its own: two addresses moving to one MAC is a duplicate MAC as well.
    { "two_changes_in_one_table", { row("10.0.0.1", kMac1), row("10.0.0.2", kMac1) },
        { row("10.0.0.1", kMac2), row("10.0.0.2", "00-0C-29-77-88-99") },
        { T + "Mapping changed: 10.0.0.1 changed from 00-0C-29-11-22-33 to 00-0C-29-44-55-66",
            T + "Mapping changed: 10.0.0.2 changed from 00-0C-29-11-22-33 to 00-0C-29-77-88-99" } },
    { "same_address_two_interfaces_first_row_decides",
        { row("10.0.0.1", kMac1, 2), row("10.0.0.1", kMac2, 3) },
        { row("10.0.0.1", kMac1, 2), row("10.0.0.1", kMac2, 3) }, {} },
    { "group_address_with_its_multicast_mac", {}, { row("224.0.0.251", "01-00-5E-00-00-FB") }, {} },
    { "group_address_high_bit_dropped", {}, { row("239.255.255.250", "01-00-5E-7F-FF-FA") }, {} },
    { "group_address_with_wrong_multicast_mac", {}, { row("224.0.0.251", "01-00-5E-00-00-FC") },
        { T + "Multicast MAC assigned: 224.0.0.251 has multicast MAC 01-00-5E-00-00-FC" } },
    { "group_address_with_broadcast_mac", {}, { row("224.0.0.251", kBroadcast) },
        { T + "Broadcast MAC assigned: 224.0.0.251 has broadcast MAC FF-FF-FF-FF-FF-FF" } },
    { "limited_broadcast_with_broadcast_mac", {}, { row("255.255.255.255", kBroadcast) }, {} },
    { "limited_broadcast_with_multicast_mac", {}, { row("255.255.255.255", "01-00-5E-00-00-01") },
        { T + "Multicast MAC assigned: 255.255.255.255 has multicast MAC 01-00-5E-00-00-01" } },
};

class RefreshAlerts : public EngineTest, public ::testing::WithParamInterface<AlertCase> { };

TEST_P(RefreshAlerts, RaiseExactlyTheseLines)
{
    refreshWith(GetParam().before);
    events.clear();
    refreshWith(GetParam().table);
    EXPECT_EQ(texts(), GetParam().lines);
    // Nothing is left for a later refresh to find.
    events.clear();
    refreshWith(GetParam().table);
    EXPECT_TRUE(events.empty());
}

INSTANTIATE_TEST_SUITE_P(Table, RefreshAlerts, ::testing::ValuesIn(kAlertCases),
    [](const auto& info) { return std::string(info.param.name); });

// --- Hardware addresses of other lengths than six bytes ---

hostnet::MibIpNetRow macRow(const char* dotted, std::vector<std::uint8_t> bytes, std::uint32_t length)
{
    auto r = row("10.0.0.1", "");
    r.address = ip(dotted);
    r.dwPhysAddrLen = length;
    std::ranges::copy(bytes, r.bPhysAddr.begin());
    return r;
}

const std::vector<std::uint8_t> kEight { 0x00, 0x0C, 0x29, 0x11, 0x22, 0x33, 0x44, 0x55 };
const std::vector<std::uint8_t> kEightOther { 0x00, 0x0C, 0x29, 0x11, 0x22, 0x33, 0x44, 0x66 };

const AlertCase kLengthCases[] = {
    { "eight_bytes_unchanged", { macRow("10.0.0.1", kEight, 8) }, { macRow("10.0.0.1", kEight, 8) }, {} },
    { "eight_bytes_last_differs", { macRow("10.0.0.1", kEight, 8) }, { macRow("10.0.0.1", kEightOther, 8) },
        { T + "Mapping changed: 10.0.0.1 changed from 00-0C-29-11-22-33-44-55 to 00-0C-29-11-22-33-44-66" } },
    { "shrinks_with_equal_prefix", { macRow("10.0.0.1", kEight, 8) }, { macRow("10.0.0.1", kEight, 6) },
        { T + "Mapping changed: 10.0.0.1 changed from 00-0C-29-11-22-33-44-55 to 00-0C-29-11-22-33" } },
    { "grows_with_equal_prefix", { macRow("10.0.0.1", kEight, 6) }, { macRow("10.0.0.1", kEight, 8) },
        { T + "Mapping changed: 10.0.0.1 changed from 00-0C-29-11-22-33 to 00-0C-29-11-22-33-44-55" } },
    { "four_bytes_to_three", { macRow("10.0.0.1", kEight, 4) }, { macRow("10.0.0.1", kEight, 3) },
        { T + "Mapping changed: 10.0.0.1 changed from 00-0C-29-11 to 00-0C-29" } },
    { "overlong_equal_up_to_the_clamp", { macRow("10.0.0.1", kEight, 20) },
        { macRow("10.0.0.1", kEight, 16) }, {} },
    { "eight_bytes_unresolved_again", { macRow("10.0.0.1", kEight, 8) }, { macRow("10.0.0.1", {}, 0) }, {} },
    { "unresolved_then_eight_bytes", { macRow("10.0.0.1", {}, 0) }, { macRow("10.0.0.1", kEight, 8) }, {} },
};

INSTANTIATE_TEST_SUITE_P(MacLengths, RefreshAlerts, ::testing::ValuesIn(kLengthCases),
    [](const auto& info) { return std::string(info.param.name); });

using MacText = EngineTest;

TEST_F(MacText, ListCellShowsTheAddressesOwnBytes)
{
    refreshWith({ macRow("10.0.0.1", kEight, 8), macRow("10.0.0.2", kEight, 6), macRow("10.0.0.3", {}, 0),
        macRow("10.0.0.4", kEight, 2) });
    const auto macCell
        = [this](const char* dotted) { return mappingCellTexts(entry(dotted), watcher.networkConfig)[1]; };
    EXPECT_EQ(macCell("10.0.0.1"), "00-0C-29-11-22-33-44-55");
    EXPECT_EQ(macCell("10.0.0.2"), "00-0C-29-11-22-33");
    EXPECT_EQ(macCell("10.0.0.3"), "00-00-00-00-00-00");
    EXPECT_EQ(macCell("10.0.0.4"), "00-0C");
}

// --- Single behaviours ---

using Refresh = EngineTest;

TEST_F(Refresh, NewEntryTakesRowFieldsAndTheClock)
{
    refreshWith({ row("10.0.0.1", kMac1, 7, hostnet::kNetTypeStatic) });
    const MappingEntry& e = entry("10.0.0.1");
    EXPECT_EQ(e.adapterIndex, 7u);
    EXPECT_EQ(e.type, hostnet::kNetTypeStatic);
    EXPECT_EQ(e.macLength, 6u);
    EXPECT_EQ(e.lastChanged, kNow);
    EXPECT_TRUE(e.inSystemCache && e.redisplay && e.alertFree);
    EXPECT_EQ(e.previous, nullptr);
    EXPECT_EQ(e.mac[6], 0);
}

// An event keeps the clock's reading to the millisecond for the outputs that
// record it; the line and the entry show the second it falls in.
TEST_F(Refresh, AnEventKeepsItsMillisecondsAndItsLineTheSecond)
{
    refreshWith({ row("10.0.0.1", kMac1) });
    subsecond = std::chrono::milliseconds(999);
    refreshWith({ row("10.0.0.1", kMac2) });
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0]->raisedAt,
        std::chrono::system_clock::time_point {
            std::chrono::seconds(kNow) + std::chrono::milliseconds(999) });
    EXPECT_EQ(events[0]->text.rfind(timeOfDayText(kNow), 0), 0u) << events[0]->text;
    EXPECT_EQ(entry("10.0.0.1").lastChanged, kNow);
}

// The type follows the table even when the MAC stays, quietly; a row that is
// being resolved again says nothing of it.
TEST_F(Refresh, TypeFollowsTheTableWithTheSameMac)
{
    refreshWith({ row("10.0.0.1", kMac1, 2, hostnet::kNetTypeDynamic) });
    refreshWith({ row("10.0.0.1", kMac1, 2, hostnet::kNetTypeStatic) });
    EXPECT_EQ(entry("10.0.0.1").type, hostnet::kNetTypeStatic);
    EXPECT_TRUE(entry("10.0.0.1").redisplay);
    EXPECT_EQ(entry("10.0.0.1").previous, nullptr);
    EXPECT_TRUE(events.empty());
    refreshWith({ row("10.0.0.1", "", 2, hostnet::kNetTypeInvalid) });
    EXPECT_EQ(entry("10.0.0.1").type, hostnet::kNetTypeStatic);
}

hostnet::MibIpNetRow routerRow(const char* text, const char* mac, bool router)
{
    hostnet::MibIpNetRow r = row(text, mac);
    r.isRouter = router;
    return r;
}

// The kernel sets a neighbour's router flag in place when it advertises
// itself: the row shows it anew, quietly, and is to be saved again.
TEST_F(Refresh, RouterFlagFollowsTheTableWithTheSameMac)
{
    refreshWith({ routerRow("fe80::1", kMac1, false) });
    const std::uint64_t before = watcher.generation();
    refreshWith({ routerRow("fe80::1", kMac1, false) });
    EXPECT_EQ(watcher.generation(), before);
    EXPECT_FALSE(entry("fe80::1%2").redisplay);

    refreshWith({ routerRow("fe80::1", kMac1, true) });
    EXPECT_TRUE(entry("fe80::1%2").isRouter);
    EXPECT_TRUE(entry("fe80::1%2").redisplay);
    EXPECT_GT(watcher.generation(), before);
    EXPECT_EQ(entry("fe80::1%2").previous, nullptr);
    EXPECT_TRUE(events.empty());
    // A row being resolved again says nothing of the flag.
    refreshWith({ routerRow("fe80::1", "", false) });
    EXPECT_TRUE(entry("fe80::1%2").isRouter);
    refreshWith({ routerRow("fe80::1", kMac1, false) });
    EXPECT_FALSE(entry("fe80::1%2").isRouter);
    EXPECT_TRUE(events.empty());
}

// --- A changed neighbour's router flags, in its line and its record ---

struct RouterFlagCase {
    const char* name;
    hostnet::MibIpNetRow before, after;
    std::string line;
    std::optional<bool> router, wasRouter;
};

void PrintTo(const RouterFlagCase& c, std::ostream* os)
{
    *os << c.name;
}

const RouterFlagCase kRouterFlagCases[] = {
    { "ipv6_router_lost", routerRow("fe80::1", kMac1, true), routerRow("fe80::1", kMac2, false),
        T
            + "Mapping changed: fe80::1 changed from 00-0C-29-11-22-33 to 00-0C-29-44-55-66 (no longer a "
              "router)",
        false, true },
    { "ipv6_router_kept", routerRow("2001:db8::1", kMac1, true), routerRow("2001:db8::1", kMac2, true),
        T + "Mapping changed: 2001:db8::1 changed from 00-0C-29-11-22-33 to 00-0C-29-44-55-66", true, true },
    { "ipv6_router_gained", routerRow("fe80::1", kMac1, false), routerRow("fe80::1", kMac2, true),
        T + "Mapping changed: fe80::1 changed from 00-0C-29-11-22-33 to 00-0C-29-44-55-66", true, false },
    { "ipv6_never_a_router", routerRow("fe80::1", kMac1, false), routerRow("fe80::1", kMac2, false),
        T + "Mapping changed: fe80::1 changed from 00-0C-29-11-22-33 to 00-0C-29-44-55-66", false, false },
    { "ipv4_has_no_flag", row("10.0.0.1", kMac1), row("10.0.0.1", kMac2),
        T + "Mapping changed: 10.0.0.1 changed from 00-0C-29-11-22-33 to 00-0C-29-44-55-66", std::nullopt,
        std::nullopt },
};

class RouterFlags : public EngineTest, public ::testing::WithParamInterface<RouterFlagCase> { };

TEST_P(RouterFlags, LineAndRecordSayThem)
{
    const RouterFlagCase& c = GetParam();
    refreshWith({ c.before });
    refreshWith({ c.after });
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0]->text, c.line);
    EXPECT_EQ(events[0]->subject.router, c.router);
    EXPECT_EQ(events[0]->subject.wasRouter, c.wasRouter);
}

INSTANTIATE_TEST_SUITE_P(Table, RouterFlags, ::testing::ValuesIn(kRouterFlagCases),
    [](const auto& info) { return std::string(info.param.name); });

// --- The address families watched ---

struct FamiliesCase {
    const char* name;
    bool v4, v6;
    std::vector<std::string> kept;  // the program cache's addresses, zoned
};

void PrintTo(const FamiliesCase& c, std::ostream* os)
{
    *os << c.name;
}

const FamiliesCase kFamiliesCases[] = {
    { "both", true, true, { "10.0.0.1", "10.0.0.9", "2001:db8::1", "fe80::1%2" } },
    { "ipv4_only", true, false, { "10.0.0.1", "10.0.0.9" } },
    { "ipv6_only", false, true, { "2001:db8::1", "fe80::1%2" } },
    { "neither", false, false, {} },
};

// How a table is taken in: a read in the host's order, a read out of order,
// or changes from the feed.
enum class Path { Sorted, Unsorted, Feed };

class Families : public EngineTest, public ::testing::WithParamInterface<std::tuple<FamiliesCase, Path>> { };

TEST_P(Families, RowsOfOthersArePassedOver)
{
    const auto& [c, path] = GetParam();
    watcher.families = { c.v4, c.v6 };
    // Broadcast MACs, so that whatever is looked at raises an alert.
    const std::vector table { row("fe80::1", kBroadcast), row("10.0.0.9", kBroadcast),
        row("2001:db8::1", kBroadcast), row("10.0.0.1", kBroadcast) };
    if (path == Path::Feed) {
        watcher.openChangeFeed();
        for (const hostnet::MibIpNetRow& r : table)
            host.changes.push_back({ r.address, r });
        const std::vector<IpAddress> touched = watcher.followChanges();
        EXPECT_EQ(touched.size(), c.kept.size());
    } else {
        host.keepFillOrder = path == Path::Unsorted;
        refreshWith(table);
        refreshWith(table);
    }
    std::vector<std::string> kept;
    for (const auto& [address, cached] : watcher.programCache)
        kept.push_back(zonedAddressText(address));
    EXPECT_EQ(kept, c.kept);
    EXPECT_EQ(events.size(), c.kept.size());
}

std::string familiesCaseName(const ::testing::TestParamInfo<std::tuple<FamiliesCase, Path>>& info)
{
    const char* const paths[] = { "sorted", "unsorted", "feed" };
    return std::string(std::get<0>(info.param).name) + "_" + paths[int(std::get<1>(info.param))];
}

INSTANTIATE_TEST_SUITE_P(Table, Families,
    ::testing::Combine(
        ::testing::ValuesIn(kFamiliesCases), ::testing::Values(Path::Sorted, Path::Unsorted, Path::Feed)),
    familiesCaseName);

// A family no longer watched: its entries are as if the table no longer held them.
TEST_F(Refresh, AFamilyNoLongerWatchedLeavesTheTable)
{
    refreshWith({ row("10.0.0.1", kMac1), row("fe80::1", kMac1) });
    watcher.families.v6 = false;
    refreshWith({ row("10.0.0.1", kMac1), row("fe80::1", kMac2) });
    EXPECT_TRUE(events.empty());
    EXPECT_TRUE(entry("10.0.0.1").inSystemCache);
    EXPECT_FALSE(entry("fe80::1%2").inSystemCache);
}

TEST_F(Refresh, AlertedEntriesLoseAlertFree)
{
    refreshWith(
        { row("10.0.0.1", kMac1), row("10.0.0.7", kBroadcast), row("10.0.0.8", "01-00-5E-00-00-01") });
    EXPECT_TRUE(entry("10.0.0.1").alertFree);
    EXPECT_FALSE(entry("10.0.0.7").alertFree);
    EXPECT_FALSE(entry("10.0.0.8").alertFree);
    refreshWith({ row("10.0.0.1", kMac2) });
    EXPECT_FALSE(entry("10.0.0.1").alertFree);
}

TEST_F(Refresh, StandardMappingsKeepAlertFree)
{
    refreshWith({ row("224.0.0.251", "01-00-5E-00-00-FB"), row("255.255.255.255", kBroadcast) });
    EXPECT_TRUE(entry("224.0.0.251").alertFree);
    EXPECT_TRUE(entry("255.255.255.255").alertFree);
}

// The adapter and time stay with the same MAC; the type follows the table
// (see TypeFollowsTheTableWithTheSameMac).
TEST_F(Refresh, SameMacKeepsAdapterAndTime)
{
    refreshWith({ row("10.0.0.1", kMac1, 2, hostnet::kNetTypeDynamic) });
    now += 60;
    refreshWith({ row("10.0.0.1", kMac1, 5, hostnet::kNetTypeStatic) });
    const MappingEntry& e = entry("10.0.0.1");
    EXPECT_EQ(e.adapterIndex, 2u);
    EXPECT_EQ(e.type, hostnet::kNetTypeStatic);
    EXPECT_EQ(e.lastChanged, kNow);
}

TEST_F(Refresh, ChangeKeepsHistoryNewestFirst)
{
    refreshWith({ row("10.0.0.1", kMac1) });
    for (int i = 0; i < 4; ++i) {
        now += 10;
        refreshWith({ row("10.0.0.1", i % 2 == 0 ? kMac2 : kMac1) });
    }
    EXPECT_EQ(events.size(), 4u);
    const MappingEntry& e = entry("10.0.0.1");
    EXPECT_EQ(e.historyLength(), 4u);
    EXPECT_EQ(e.lastChanged, kNow + 40);
    EXPECT_EQ(e.previous->lastChanged, kNow + 30);
    EXPECT_EQ(watcher.findEntry("10.0.0.1"), &e);
}

TEST_F(Refresh, RowsAfterAChangeAreStillHandled)
{
    refreshWith({ row("10.0.0.1", kMac1), row("10.0.0.2", kMac1) });
    refreshWith({ row("10.0.0.1", kMac2), row("10.0.0.2", kMac1), row("10.0.0.3", kBroadcast) });
    EXPECT_TRUE(entry("10.0.0.2").inSystemCache);
    EXPECT_TRUE(entry("10.0.0.3").inSystemCache);
    EXPECT_EQ(events.size(), 2u);
}

// The row pass walks the cache alongside the table; a table out of address
// order (a platform layer that broke its promise) must give the same result.
TEST_F(Refresh, TableOrderDoesNotMatter)
{
    host.keepFillOrder = true;
    refreshWith({ row("10.0.0.9", kMac1), row("10.0.0.3", kMac1), row("10.0.0.5", kMac1) });
    refreshWith({ row("10.0.0.5", kMac2), row("10.0.0.1", kBroadcast), row("10.0.0.9", kMac1),
        row("10.0.0.7", kMac1), row("10.0.0.2", kMac1) });
    EXPECT_EQ(texts(),
        (std::vector<std::string> {
            T + "Mapping changed: 10.0.0.5 changed from 00-0C-29-11-22-33 to 00-0C-29-44-55-66",
            T + "Broadcast MAC assigned: 10.0.0.1 has broadcast MAC FF-FF-FF-FF-FF-FF" }));
    EXPECT_EQ(watcher.programCache.size(), 6u);
    EXPECT_FALSE(entry("10.0.0.3").inSystemCache);
    for (const char* present : { "10.0.0.1", "10.0.0.2", "10.0.0.5", "10.0.0.7", "10.0.0.9" })
        EXPECT_TRUE(entry(present).inSystemCache) << present;
}

TEST_F(Refresh, SameAddressOnTwoInterfacesNeverAlternates)
{
    const std::vector table { row("10.0.0.1", kMac1, 2), row("10.0.0.1", kMac2, 3) };
    for (int i = 0; i < 5; ++i)
        refreshWith(table);
    EXPECT_TRUE(events.empty());
    EXPECT_EQ(entry("10.0.0.1").historyLength(), 0u);
    EXPECT_EQ(entry("10.0.0.1").adapterIndex, 2u);
    EXPECT_TRUE(entry("10.0.0.1").inSystemCache);
}

TEST_F(Refresh, ResolutionReplacesTheUnresolvedEntry)
{
    refreshWith({ row("10.0.0.1", "", 2, hostnet::kNetTypeInvalid) });
    now += 5;
    refreshWith({ row("10.0.0.1", kMac1, 3, hostnet::kNetTypeDynamic) });
    const MappingEntry& e = entry("10.0.0.1");
    EXPECT_EQ(e.previous, nullptr);
    EXPECT_TRUE(e.alertFree);
    EXPECT_EQ(e.macLength, 6u);
    EXPECT_EQ(e.type, hostnet::kNetTypeDynamic);
    EXPECT_EQ(e.adapterIndex, 3u);
    EXPECT_EQ(e.lastChanged, kNow + 5);
}

TEST_F(Refresh, OverlongMacLengthIsCutToEightBytes)
{
    auto r = row("10.0.0.1", kMac1);
    r.dwPhysAddrLen = 200;
    refreshWith({ r });
    EXPECT_EQ(entry("10.0.0.1").macLength, 8u);
    refreshWith({ r });
    EXPECT_TRUE(events.empty());
}

TEST_F(Refresh, HistoryKeepsTheNewestThousandChanges)
{
    const auto flip = [](int i) {
        auto r = row("10.0.0.1", kMac1);
        r.bPhysAddr[3] = std::uint8_t(i >> 8);
        r.bPhysAddr[4] = std::uint8_t(i);
        return r;
    };
    for (int i = 0; i <= 1005; ++i) {
        now = kNow + i;
        refreshWith({ flip(i) });
    }
    EXPECT_EQ(events.size(), 1005u);
    const MappingEntry& e = entry("10.0.0.1");
    EXPECT_EQ(e.historyLength(), kMaxHistoryEntries);
    const MappingEntry* oldest = &e;
    while (oldest->previous != nullptr)
        oldest = oldest->previous.get();
    // Changes 0 to 4 were dropped; the fifth is the oldest kept.
    EXPECT_EQ(oldest->lastChanged, kNow + 5);
    EXPECT_EQ(macText(oldest->mac.data()), "00-0C-29-00-05-33");
}

TEST_F(Refresh, EmptyTableMarksEverythingAbsent)
{
    refreshWith({ row("10.0.0.1", kMac1), row("10.0.0.2", kMac2) });
    refreshWith({});
    EXPECT_FALSE(entry("10.0.0.1").inSystemCache);
    EXPECT_FALSE(entry("10.0.0.2").inSystemCache);
}

TEST_F(Refresh, AbsentEntryIsRedisplayedEverySecondPass)
{
    refreshWith({ row("10.0.0.1", kMac1) });
    std::vector<bool> marks;
    for (int i = 0; i < 4; ++i) {
        refreshWith({});
        marks.push_back(entry("10.0.0.1").redisplay);
    }
    EXPECT_EQ(marks, (std::vector<bool> { true, false, true, false }));
}

TEST_F(Refresh, FailedReadTouchesNothing)
{
    refreshWith({ row("10.0.0.1", kMac1), row("10.0.0.2", kMac1) });
    entry("10.0.0.2").inSystemCache = false;
    host.netTable = { row("10.0.0.1", kMac2), row("10.0.0.3", kMac1) };
    host.failNetTable = true;
    EXPECT_EQ(watcher.refresh(), -1);
    EXPECT_TRUE(events.empty());
    EXPECT_EQ(watcher.programCache.size(), 2u);
    for (const char* address : { "10.0.0.1", "10.0.0.2" }) {
        const MappingEntry& e = entry(address);
        EXPECT_EQ(e.inSystemCache, address[7] == '1') << address;
        EXPECT_TRUE(e.redisplay) << address;
        EXPECT_TRUE(e.seen) << address;
        EXPECT_EQ(e.previous, nullptr) << address;
    }
}

TEST_F(Refresh, EventsNumberedInOrderOfRaising)
{
    refreshWith(
        { row("10.0.0.7", kBroadcast), row("10.0.0.8", "01-00-5E-00-00-01"), row("10.0.0.9", kBroadcast) });
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[1]->serial, events[0]->serial + 1);
    EXPECT_EQ(events[2]->serial, events[0]->serial + 2);
    EXPECT_EQ(events[0]->kind, BroadcastMac);
    EXPECT_EQ(events[1]->kind, MulticastMac);
}

TEST_F(Refresh, WithoutSinkEventsAreDroppedSafely)
{
    watcher.sink.callback = nullptr;
    refreshWith({ row("10.0.0.7", kBroadcast) });
    EXPECT_FALSE(entry("10.0.0.7").alertFree);
}

TEST_F(Refresh, VendorOfNewAndChangedEntries)
{
    watcher.vendorTable.loadList(
        "MA-L", "MA-L,000C29,\"VMware, Inc.\",\r\nMA-L,00005E,\"ICANN, IANA Department\",\r\n");
    refreshWith({ row("10.0.0.1", kMac1), row("10.0.0.2", "01-00-5E-00-00-01") });
    EXPECT_EQ(entry("10.0.0.1").vendor, "VMware, Inc.");
    EXPECT_FALSE(entry("10.0.0.2").vendor.has_value());
    refreshWith({ row("10.0.0.1", "00-00-5E-00-01-01") });
    EXPECT_EQ(entry("10.0.0.1").vendor, "ICANN, IANA Department");
}

// The broadcast of an adapter's own subnet carries the broadcast MAC by design.
class RefreshWithAdapter : public EngineTest {
protected:
    RefreshWithAdapter()
        : EngineTest(hostWithAdapter())
    {
    }
    static std::unique_ptr<hostnet::FakeIpHelper> hostWithAdapter()
    {
        auto fake = std::make_unique<hostnet::FakeIpHelper>();
        fake->adapters = { { 4, "veth0" } };
        fake->addrTable = { { ip("10.66.0.1"), 4, ip("255.255.255.0") } };
        return fake;
    }
};

TEST_F(RefreshWithAdapter, DirectedBroadcastIsStandard)
{
    refreshWith({ row("10.66.0.255", kBroadcast), row("10.67.0.255", kBroadcast) });
    EXPECT_EQ(texts(),
        (std::vector<std::string> {
            T + "Broadcast MAC assigned: 10.67.0.255 has broadcast MAC FF-FF-FF-FF-FF-FF" }));
    EXPECT_TRUE(entry("10.66.0.255").alertFree);
}

}  // namespace
}  // namespace tevra::test
