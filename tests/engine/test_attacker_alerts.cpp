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

// IPv6 on the same links: 2001:db8:0:1::/64 on eth0, 2001:db8:0:3::/64 on
// eth1, and eth0's router fe80::fe, whose advertisements made the default route.
Route route6(const char* destination, unsigned prefixLength, const char* gateway, std::uint32_t index = 2)
{
    return { ip(destination), prefixLength, ip(gateway), index, 1024 };
}

const Route kV6Default = route6("::", 0, "fe80::fe%2");
const Route kRogueV6Default = route6("::", 0, "fe80::66%2");
const std::vector<Route> kV6OnLink { route6("2001:db8:0:1::", 64, "::"),
    route6("2001:db8:0:3::", 64, "::", 3) };

// The host's routes: IPv4's as the fixture has them, the IPv6 prefixes, and these IPv6 default routes.
std::vector<Route> withV6Defaults(std::vector<Route> defaults);

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

// An IPv6 neighbour; a link-local one is on its interface.
hostnet::MibIpNetRow row6(const char* text, const char* mac, bool router = false, std::uint32_t index = 2)
{
    hostnet::MibIpNetRow r = row(text, mac, index);
    r.isRouter = router;
    return r;
}
hostnet::MibIpNetRow gw6(const char* mac = kGatewayMac, bool router = true)
{
    return row6("fe80::fe", mac, router);
}
hostnet::MibIpNetRow attacker6()
{
    return row6("fe80::66", kAttackerMac);
}

// One neighbour's own address and `count` temporary addresses beside it, one MAC for all.
std::vector<hostnet::MibIpNetRow> temporaryAddresses(std::size_t count)
{
    std::vector<hostnet::MibIpNetRow> table { gw6(), row6("fe80::5", kRouter1Mac) };
    for (std::size_t i = 0; i < count; ++i)
        table.push_back(row6(("2001:db8:0:1:" + std::to_string(1000 + i) + "::5").c_str(), kRouter1Mac));
    return table;
}

const std::string kPoisoned
    = "Mapping changed: 10.0.0.254 changed from 02-00-00-00-00-FE to 02-00-00-00-00-66";
const std::string kNamed = "Dublicate MAC found: 10.0.0.254 and 10.0.0.66 both have 02-00-00-00-00-66";
const std::string kRogueRoute
    = "Default route changed:  the route for 02-00-00-00-00-01 changed from 10.0.0.254 to 10.0.0.66";

const std::string kGatewaySpoofed6 = "Mapping changed: fe80::fe changed from 02-00-00-00-00-FE to "
                                     "02-00-00-00-00-66 (no longer a router)";
const std::string kGlobalSpoofed6 = "Mapping changed: 2001:db8:0:1::fe changed from 02-00-00-00-00-FE to "
                                    "02-00-00-00-00-66 (no longer a router)";
const std::string kRogueRouter6
    = "Default route changed:  the route for 02-00-00-00-00-01 changed from fe80::fe to fe80::66";

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
    // --- duplicate MAC, IPv6 ---
    { "ipv6_gateway_spoofed_by_link_local_attacker",
        { { { gw6(), attacker6() } }, { { gw6(kAttackerMac, false), attacker6() } } },
        { kGatewaySpoofed6, "Dublicate MAC found: fe80::fe and fe80::66 both have 02-00-00-00-00-66" } },
    { "ipv6_attacker_entry_after_spoofing",
        { { { gw6() } }, { { gw6(kAttackerMac, false) } },
            { { gw6(kAttackerMac, false), attacker6() }, {}, 300 } },
        { kGatewaySpoofed6, "Dublicate MAC found: fe80::fe and fe80::66 both have 02-00-00-00-00-66" } },
    { "ipv6_holder_of_the_other_family_not_counted",
        { { { attacker(), gw6() } }, { { attacker(), gw6(kAttackerMac, false) } } }, { kGatewaySpoofed6 } },
    { "ipv4_move_then_ipv6_arrival_not_named",
        { { { gw() } }, { { gw(kAttackerMac) } }, { { gw(kAttackerMac), attacker6() } } }, { kPoisoned } },
    { "dual_stack_host_changes_its_mac",
        { { { row("10.0.0.5", kRouter1Mac), row6("2001:db8:0:1::5", kRouter1Mac),
              row6("fe80::5", kRouter1Mac) } },
            { { row("10.0.0.5", kRouter2Mac), row6("2001:db8:0:1::5", kRouter2Mac),
                row6("fe80::5", kRouter2Mac) } } },
        { "Mapping changed: 10.0.0.5 changed from 02-00-00-00-00-A1 to 02-00-00-00-00-A2",
            "Mapping changed: 2001:db8:0:1::5 changed from 02-00-00-00-00-A1 to 02-00-00-00-00-A2",
            "Mapping changed: fe80::5 changed from 02-00-00-00-00-A1 to 02-00-00-00-00-A2" } },
    // The gateway's every address forged at once; the attacker's own is still named.
    { "ipv6_gateway_addresses_spoofed_together",
        { { { gw6(), row6("2001:db8:0:1::fe", kGatewayMac, true) } },
            { { gw6(kAttackerMac, false), row6("2001:db8:0:1::fe", kAttackerMac) } },
            { { gw6(kAttackerMac, false), row6("2001:db8:0:1::fe", kAttackerMac), attacker6() } } },
        { kGlobalSpoofed6, kGatewaySpoofed6,
            "Dublicate MAC found: fe80::fe and fe80::66 both have 02-00-00-00-00-66" } },
    // Kept without its zone: known again after a restart that renumbered the interfaces.
    { "ipv6_pair_learned_before_a_restart",
        { { { gw6(), attacker6() } }, { { gw6(kAttackerMac, false), attacker6() } } }, { kGatewaySpoofed6 },
        [](CMappingWatcher& watcher) {
            watcher.alertMemory.duplicatePairs.insert({ ip("fe80::fe"), attacker6().bPhysAddr });
        } },
    { "same_link_local_on_another_link_not_counted",
        { { { gw6(), row6("fe80::66", kAttackerMac, false, 3) } },
            { { gw6(kAttackerMac, false), row6("fe80::66", kAttackerMac, false, 3) } } },
        { kGatewaySpoofed6 } },
    { "twenty_temporary_addresses_of_one_mac",
        { { temporaryAddresses(1) }, { temporaryAddresses(20) }, { temporaryAddresses(20), {}, 600 } }, {} },
    { "ipv6_router_gains_its_flag_back", { { { gw6(kAttackerMac, false) } }, { { gw6(kGatewayMac, true) } } },
        { "Mapping changed: fe80::fe changed from 02-00-00-00-00-66 to 02-00-00-00-00-FE" } },
    // --- default route, IPv6 ---
    { "ipv6_rogue_second_router",
        { { { gw6() } }, { { gw6() }, routes(withV6Defaults({ kV6Default, kRogueV6Default })) },
            { { gw6() }, {}, 1 }, { { gw6() }, {}, 1 }, { { gw6() }, {}, 5 } },
        { kRogueRouter6 } },
    { "ipv6_router_replaced",
        { { { gw6() } }, { { gw6() }, routes(withV6Defaults({ kRogueV6Default })) }, { { gw6() }, {}, 3 } },
        { kRogueRouter6 } },
    { "ipv6_rogue_router_beside_two_lowest_named",
        { { { gw6() } }, { { gw6() }, routes(withV6Defaults({ kV6Default, route6("::", 0, "fe80::ff%2") })) },
            { { gw6() }, {}, 3 },
            { { gw6() },
                routes(withV6Defaults({ kV6Default, route6("::", 0, "fe80::ff%2"), kRogueV6Default })) },
            { { gw6() }, {}, 3 } },
        { "Default route changed:  the route for 02-00-00-00-00-01 changed from fe80::fe to fe80::ff",
            kRogueRouter6 } },
    { "ipv6_routers_of_an_unwatched_family",
        { { { gw6() } }, { { gw6() }, routes(withV6Defaults({ kV6Default, kRogueV6Default })) },
            { { gw6() }, {}, 5 } },
        {}, [](CMappingWatcher& watcher) { watcher.families.v6 = false; } },
    { "ipv4_route_of_an_unwatched_family",
        { { { gw() } }, { { gw() }, routes({ route("0.0.0.0", "0.0.0.0", "10.0.0.66") }) },
            { { gw() }, {}, 5 } },
        {}, [](CMappingWatcher& watcher) { watcher.families.v4 = false; } },
    // A router advertisement with lifetime 0 installs no default route.
    { "ipv6_lifetime_zero_advertisement",
        { { { gw6() } }, { { gw6() }, routes(withV6Defaults({ kV6Default })) }, { { gw6() }, {}, 5 } }, {} },
    { "ipv6_routers_seen_first_settle_silently",
        { { { gw6() }, routes(withV6Defaults({ kV6Default, kRogueV6Default })) }, { { gw6() }, {}, 5 } },
        {} },
    { "ipv6_first_router_of_a_link",
        { { { gw6() } },
            { { gw6() }, routes(withV6Defaults({ kV6Default, route6("::", 0, "fe80::9%3", 3) })) },
            { { gw6() }, {}, 5 } },
        {} },
    { "ipv6_router_gone_then_back",
        { { { gw6() } }, { { gw6() }, routes(withV6Defaults({})) }, { { gw6() }, {}, 5 },
            { { gw6() }, routes(withV6Defaults({ kV6Default })) }, { { gw6() }, {}, 5 } },
        {} },
    { "ipv6_router_renewed_within_the_settle",
        { { { gw6() } }, { { gw6() }, routes(withV6Defaults({})) },
            { { gw6() }, routes(withV6Defaults({ kV6Default })) }, { { gw6() }, {}, 5 } },
        {} },
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
    { "ipv6_global_outside_every_prefix", { { { row6("2001:db8:9::9", kAttackerMac) } } },
        { "IP not in subet:  the IP 2001:db8:9::9 is not in this subet" } },
    { "ipv6_global_of_another_links_prefix", { { { row6("2001:db8:0:3::9", kAttackerMac) } } },
        { "IP not in subet:  the IP 2001:db8:0:3::9 is not in this subet" } },
    { "ipv6_on_link_link_local_group_unspecified",
        { { { row6("2001:db8:0:1::9", kAttackerMac), row6("fe80::9", kAttackerMac),
            row6("fe80::9", kAttackerMac, false, 5), row6("ff02::1", kAttackerMac),
            row6("ff02::1:ff00:9", "33-33-FF-00-00-09"), row6("::", kAttackerMac) } } },
        {} },
    { "static_entry_outside_subnet", { { { row("192.168.5.6", kAttackerMac, 2, hostnet::kNetTypeStatic) } } },
        {} },
};

std::vector<Route> withV6Defaults(std::vector<Route> defaults)
{
    std::vector<Route> table { kDefaultViaGateway[0], route("172.16.0.0", "255.255.0.0", "0.0.0.0"),
        route("203.0.113.9", "255.255.255.255", "0.0.0.0") };
    table.insert(table.end(), kV6OnLink.begin(), kV6OnLink.end());
    table.insert(table.end(), defaults.begin(), defaults.end());
    return table;
}

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
        host.routes = withV6Defaults({ kV6Default });
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

// Forged router advertisements from made-up routers, each a default route:
// every new router is said, and what is followed of them stays bounded.
TEST_F(AttackerAlertsTest, AFloodOfRogueRoutersStaysBounded)
{
    refreshWith({});
    std::vector<Route> defaults { kV6Default };
    for (std::uint32_t i = 0; i < 5000; ++i) {
        IpAddress::V6Bytes bytes { 0xfe, 0x80 };
        bytes[12] = 0x10;  // all after fe80::fe
        bytes[14] = std::uint8_t(i >> 8);
        bytes[15] = std::uint8_t(i);
        defaults.push_back({ ip("::"), 0, IpAddress::v6(bytes, 2), 2, 1024 });
    }
    routes(withV6Defaults(defaults))(host);
    refreshWith({});
    now += 3;
    refreshWith({});
    // The old router and the lowest 4,095 new ones are followed.
    EXPECT_EQ(events.size(), 4095u);
    EXPECT_EQ(texts().back(),
        "14:03:12: Default route changed:  the route for 02-00-00-00-00-01 changed from fe80::fe to "
        "fe80::1000:ffe");
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
