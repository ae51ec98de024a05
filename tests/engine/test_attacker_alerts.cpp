// SPDX-License-Identifier: GPL-3.0-or-later
#include "EngineFixture.h"

#include <gtest/gtest.h>

#include <bit>

#include <functional>
#include <string>
#include <vector>

namespace tevra::test {
namespace {

// A victim on 10.0.0.1/24 (interface 2, its own MAC 02-00-00-00-00-01) with
// its gateway at .254; interface 3 is a second link, 10.9.0.1/24.
constexpr const char* kGatewayMac = "02-00-00-00-00-FE";
constexpr const char* kAttackerMac = "02-00-00-00-00-66";
constexpr const char* kRouter1Mac = "02-00-00-00-00-A1";
constexpr const char* kRouter2Mac = "02-00-00-00-00-A2";
constexpr const char* kVrrpMac = "00-00-5E-00-01-07";
constexpr const char* kHsrpMac = "00-00-0C-07-AC-01";

using Route = hostnet::FakeIpHelper::Route;

Route route(const char* destination, const char* mask, const char* gateway, std::uint32_t index = 2,
    std::uint32_t metric = 0)
{
    return { ip(destination), unsigned(std::popcount(std::uint32_t(ip(mask)))), ip(gateway), index, metric };
}

const std::vector<Route> kDefaultViaGateway { route("0.0.0.0", "0.0.0.0", "10.0.0.254") };

// One step: the ARP table as it is then, what else changed on the host, and
// how many seconds after the step before it the refresh runs.
struct Step {
    std::vector<hostnet::MibIpNetRow> table;
    std::function<void(hostnet::FakeIpHelper&)> change = {};
    std::int64_t later = 1;
};

struct AttackerCase {
    const char* name;
    std::vector<Step> steps;
    std::vector<std::string> alerts;  // lines after the time prefix
    std::function<void(CMappingWatcher&)> before = {};
};

void PrintTo(const AttackerCase& c, std::ostream* os)
{
    *os << c.name;
}

hostnet::MibIpNetRow gw(const char* mac = kGatewayMac)
{
    return row("10.0.0.254", mac);
}
hostnet::MibIpNetRow attacker(const char* mac = kAttackerMac)
{
    return row("10.0.0.66", mac);
}

std::function<void(hostnet::FakeIpHelper&)> routes(std::vector<Route> table)
{
    return [table](hostnet::FakeIpHelper& host) {
        host.routes = table;
        host.configurationChanged = true;
    };
}

const std::string kPoisoned
    = "Mapping changed: 10.0.0.254 changed from 02-00-00-00-00-FE to 02-00-00-00-00-66";
const std::string kNamed = "Dublicate MAC found: 10.0.0.254 and 10.0.0.66 both have 02-00-00-00-00-66";
const std::string kRogueRoute
    = "Default route changed:  the route for 02-00-00-00-00-01 changed from 10.0.0.254 to 10.0.0.66";

const AttackerCase kCases[] = {
    // --- duplicate MAC ---
    { "poisoning_with_own_mac", { { { gw(), attacker() } }, { { gw(kAttackerMac), attacker() } } },
        { kPoisoned, kNamed } },
    { "attacker_entry_after_poisoning",
        { { { gw() } }, { { gw(kAttackerMac) } }, { { gw(kAttackerMac), attacker() }, {}, 300 } },
        { kPoisoned, kNamed } },
    { "attacker_entry_after_ten_minutes",
        { { { gw() } }, { { gw(kAttackerMac) } }, { { gw(kAttackerMac), attacker() }, {}, 601 } },
        { kPoisoned } },
    { "poisoning_undone_before_attacker_entry",
        { { { gw() } }, { { gw(kAttackerMac) } }, { { gw() } }, { { gw(), attacker() } } },
        { kPoisoned, "Mapping changed: 10.0.0.254 changed from 02-00-00-00-00-66 to 02-00-00-00-00-FE" } },
    { "router_aliases_since_start_and_a_new_one",
        { { { row("10.0.0.2", kRouter1Mac), row("10.0.0.3", kRouter1Mac), row("10.0.0.4", kRouter1Mac) } },
            { { row("10.0.0.2", kRouter1Mac), row("10.0.0.3", kRouter1Mac), row("10.0.0.4", kRouter1Mac),
                row("10.0.0.5", kRouter1Mac) } } },
        {} },
    { "failover_learned_after_first_alert",
        { { { row("10.0.0.1", kRouter1Mac), row("10.0.0.2", kRouter1Mac), row("10.0.0.3", kRouter2Mac) } },
            { { row("10.0.0.1", kRouter2Mac), row("10.0.0.2", kRouter1Mac), row("10.0.0.3", kRouter2Mac) } },
            { { row("10.0.0.1", kRouter1Mac), row("10.0.0.2", kRouter1Mac), row("10.0.0.3", kRouter2Mac) } },
            { { row("10.0.0.1", kRouter2Mac), row("10.0.0.2", kRouter1Mac), row("10.0.0.3", kRouter2Mac) } },
            { { row("10.0.0.1", kRouter1Mac), row("10.0.0.2", kRouter1Mac),
                row("10.0.0.3", kRouter2Mac) } } },
        { "Mapping changed: 10.0.0.1 changed from 02-00-00-00-00-A1 to 02-00-00-00-00-A2",
            "Dublicate MAC found: 10.0.0.1 and 10.0.0.3 both have 02-00-00-00-00-A2",
            "Mapping changed: 10.0.0.1 changed from 02-00-00-00-00-A2 to 02-00-00-00-00-A1",
            "Dublicate MAC found: 10.0.0.1 and 10.0.0.2 both have 02-00-00-00-00-A1",
            "Mapping changed: 10.0.0.1 changed from 02-00-00-00-00-A1 to 02-00-00-00-00-A2",
            "Mapping changed: 10.0.0.1 changed from 02-00-00-00-00-A2 to 02-00-00-00-00-A1" } },
    { "pair_learned_before_a_restart", { { { gw(), attacker() } }, { { gw(kAttackerMac), attacker() } } },
        { kPoisoned },
        [](CMappingWatcher& watcher) {
            watcher.alertMemory.duplicatePairs.insert({ ip("10.0.0.254"), attacker().bPhysAddr });
        } },
    { "lowest_other_holder_named",
        { { { gw(), row("10.0.0.70", kAttackerMac), attacker() } },
            { { gw(kAttackerMac), row("10.0.0.70", kAttackerMac), attacker() } } },
        { kPoisoned, kNamed } },
    { "vrrp_and_hsrp_macs",
        { { { row("10.0.0.1", kRouter1Mac), row("10.0.0.2", kVrrpMac), row("10.0.0.3", kRouter2Mac),
              row("10.0.0.4", kHsrpMac) } },
            { { row("10.0.0.1", kVrrpMac), row("10.0.0.2", kVrrpMac), row("10.0.0.3", kHsrpMac),
                row("10.0.0.4", kHsrpMac) } } },
        { "Mapping changed: 10.0.0.1 changed from 02-00-00-00-00-A1 to 00-00-5E-00-01-07",
            "Mapping changed: 10.0.0.3 changed from 02-00-00-00-00-A2 to 00-00-0C-07-AC-01" } },
    { "holder_on_another_interface",
        { { { gw(), row("10.9.0.66", kAttackerMac, 3) } },
            { { gw(kAttackerMac), row("10.9.0.66", kAttackerMac, 3) } } },
        { kPoisoned } },
    { "holder_without_a_live_mac",
        { { { gw(), row("10.0.0.66", kAttackerMac, 2, hostnet::kNetTypeInvalid) } },
            { { gw(kAttackerMac), row("10.0.0.66", kAttackerMac, 2, hostnet::kNetTypeInvalid) } } },
        { kPoisoned } },
    // --- default route ---
    { "default_route_replaced",
        { { { gw() } }, { { gw() }, routes({ route("0.0.0.0", "0.0.0.0", "10.0.0.66") }) },
            { { gw() }, {}, 1 }, { { gw() }, {}, 1 }, { { gw() }, {}, 5 } },
        { kRogueRoute } },
    { "default_route_deleted_and_added_again",
        { { { gw() } }, { { gw() }, routes({}) }, { { gw() }, routes(kDefaultViaGateway) },
            { { gw() }, {}, 5 } },
        {} },
    { "default_route_briefly_elsewhere",
        { { { gw() } }, { { gw() }, routes({ route("0.0.0.0", "0.0.0.0", "10.0.0.66") }) },
            { { gw() }, routes(kDefaultViaGateway) }, { { gw() }, {}, 5 } },
        {} },
    { "default_route_back_after_a_gap_elsewhere",
        { { { gw() } }, { { gw() }, routes({}) }, { { gw() }, {}, 30 },
            { { gw() }, routes({ route("0.0.0.0", "0.0.0.0", "10.0.0.66") }) }, { { gw() }, {}, 2 } },
        { kRogueRoute } },
    { "tunnel_vision_routes",
        { { { gw() } },
            { { gw() },
                routes({ kDefaultViaGateway[0], route("0.0.0.0", "192.0.0.0", "10.0.0.66"),
                    route("64.0.0.0", "192.0.0.0", "10.0.0.66") }) },
            { { gw() }, {}, 3 } },
        { kRogueRoute } },
    { "vpn_takes_the_path_over",
        { { { gw() } },
            { { gw() },
                routes({ kDefaultViaGateway[0], route("0.0.0.0", "128.0.0.0", "0.0.0.0", 9),
                    route("128.0.0.0", "128.0.0.0", "0.0.0.0", 9) }) },
            { { gw() }, {}, 3 } },
        {} },
    { "lower_metric_default_on_another_adapter",
        { { { gw() } },
            { { gw() },
                routes({ route("0.0.0.0", "0.0.0.0", "10.0.0.254", 2, 100),
                    route("0.0.0.0", "0.0.0.0", "10.9.0.254", 3, 50) }) },
            { { gw() }, {}, 3 } },
        {} },
    // --- not in subnet ---
    { "sender_outside_every_subnet",
        { { { gw(), row("192.168.5.5", kAttackerMac) } }, { { gw() } },
            { { gw(), row("192.168.5.5", kAttackerMac) } } },
        { "IP not in subet:  the IP 192.168.5.5 is not in this subet" } },
    { "sender_routed_through_another_interface", { { { row("10.9.0.7", kAttackerMac, 2) } } },
        { "IP not in subet:  the IP 10.9.0.7 is not in this subet" } },
    { "on_link_neighbours",
        { { { row("10.1.0.9", kAttackerMac), row("172.16.4.4", kAttackerMac),
            row("203.0.113.9", kAttackerMac), row("169.254.3.3", kAttackerMac),
            row("0.0.0.0", kAttackerMac) } } },
        {} },
    { "static_entry_outside_subnet", { { { row("192.168.5.6", kAttackerMac, 2, hostnet::kNetTypeStatic) } } },
        {} },
};

class AttackerAlertsTest : public EngineTest, public ::testing::WithParamInterface<AttackerCase> {
protected:
    AttackerAlertsTest()
    {
        hostnet::IpAdapterInfo victim { 2, "eth0", 6, { 0x02, 0, 0, 0, 0, 0x01 } };
        hostnet::IpAdapterInfo other { 3, "eth1", 6, { 0x02, 0, 0, 0, 0, 0x03 } };
        host.adapters = { victim, other };
        // A secondary subnet on eth0, an on-link route and a /32 host route.
        host.addrTable = { { ip("10.0.0.1"), 2, ip("255.255.255.0") },
            { ip("10.1.0.1"), 2, ip("255.255.255.0") }, { ip("10.9.0.1"), 3, ip("255.255.255.0") } };
        host.routes = { kDefaultViaGateway[0], route("172.16.0.0", "255.255.0.0", "0.0.0.0"),
            route("203.0.113.9", "255.255.255.255", "0.0.0.0") };
        host.answersRouteLookups = true;
        host.configurationChanged = true;
    }
};

TEST_P(AttackerAlertsTest, SaysWhatTheCaseExpects)
{
    const AttackerCase& c = GetParam();
    if (c.before)
        c.before(watcher);
    for (const Step& step : c.steps) {
        now += step.later;
        if (step.change)
            step.change(host);
        refreshWith(step.table);
    }
    std::vector<std::string> said;
    for (const std::string& text : texts())
        said.push_back(text.substr(std::string("14:03:09: ").size()));
    EXPECT_EQ(said, c.alerts);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AttackerAlertsTest, ::testing::ValuesIn(kCases), [](const auto& info) { return info.param.name; });

}  // namespace
}  // namespace tevra::test

namespace tevra::test {
namespace {

// Frames from made-up outside addresses: every one is said, and what is
// remembered of them stays bounded.
TEST_F(AttackerAlertsTest, WhatIsRememberedOfAFloodStaysBounded)
{
    constexpr std::size_t kSenders = 65536 + 100;
    std::vector<hostnet::MibIpNetRow> table;
    for (std::size_t i = 0; i < kSenders; ++i) {
        hostnet::MibIpNetRow flooded = attacker();
        flooded.address
            = hostnet::IpAddress::v4(hostToNet(0xC0A80000u + std::uint32_t(i)));  // 192.168.0.0 onwards
        table.push_back(flooded);
    }
    refreshWith(std::move(table));
    EXPECT_EQ(events.size(), kSenders);
    EXPECT_EQ(watcher.alertMemory.notInSubnet.size(), 65536u);
}

// A host that keeps changing its MAC makes the index of MAC holders outgrow
// the cache; it is rebuilt in the middle of a change, while the changing
// entry is out of its place, and must step over that gap.
TEST_F(AttackerAlertsTest, AHostChangingItsMacWithoutEndIsFollowed)
{
    constexpr std::uint32_t kChanges = 1100;
    for (std::uint32_t i = 0; i < kChanges; ++i) {
        hostnet::MibIpNetRow changing = attacker();
        changing.bPhysAddr[3] = std::uint8_t(i >> 8);
        changing.bPhysAddr[4] = std::uint8_t(i);
        refreshWith({ gw(), changing });
    }
    EXPECT_EQ(events.size(), std::size_t(kChanges - 1));
}

}  // namespace
}  // namespace tevra::test
