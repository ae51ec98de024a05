// SPDX-License-Identifier: GPL-3.0-or-later
// The alerts that name an attacker, from tevra-watch on the real kernel of a
// network namespace of the test's own: ARP frames put on the wire by the peer
// namespace (as a gateway, an attacker or a pair of routers would send them)
// and routes changed as a rogue DHCP server would change them.
#include "Command.h"
#include "MarkedWatch.h"
#include "RawFrames.h"
#include "TempFolder.h"
#include "WatchProgram.h"

#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace tevra::test {
namespace {

using namespace std::chrono_literals;

constexpr const char* kGatewayMac = "02:00:00:00:00:fe";
constexpr const char* kAttackerMac = "02:00:00:00:00:66";
constexpr const char* kRouter1Mac = "02:00:00:00:00:a1";
constexpr const char* kRouter2Mac = "02:00:00:00:00:a2";

// One ARP request on the wire, asking for the host's address: the host learns its sender.
Action frame(const char* mac, const char* address)
{
    return [mac, address](const NamespacePair& namespaces) {
        return sendArpRequests(
            namespaces.peerName(), "veth1", { { mac, address } }, NamespacePair::kHostAddress);
    };
}

Action ipHost(std::vector<std::string> arguments)
{
    return [arguments](const NamespacePair& namespaces) { return namespaces.ipInHost(arguments); };
}

Action sysctlHost(std::string setting)
{
    return [setting](const NamespacePair& namespaces) {
        return runCommand(namespaces.execInHost({ "sysctl", "-qw", setting })).status == 0;
    };
}

// Frames a moment apart, so that each is its own change of the table.
Action pause()
{
    return [](const NamespacePair&) {
        std::this_thread::sleep_for(50ms);
        return true;
    };
}

const std::string kPoisoned
    = "Mapping changed: 10.66.0.254 changed from 02-00-00-00-00-FE to 02-00-00-00-00-66";
const std::string kNamed = "Dublicate MAC found: 10.66.0.254 and 10.66.0.66 both have 02-00-00-00-00-66";
const std::string kRogueRoute
    = "Default route changed:  the route for 02-00-00-00-00-01 changed from 10.66.0.254 to 10.66.0.66";
const std::string kOutsider = "IP not in subet:  the IP 192.168.5.5 is not in this subet";

std::vector<std::string> failoverLines(bool named)
{
    const std::string toR2
        = "Mapping changed: 10.66.0.10 changed from 02-00-00-00-00-A1 to 02-00-00-00-00-A2";
    const std::string toR1
        = "Mapping changed: 10.66.0.10 changed from 02-00-00-00-00-A2 to 02-00-00-00-00-A1";
    if (!named)
        return { toR2, toR1, toR2, toR1 };
    return { toR2, "Dublicate MAC found: 10.66.0.10 and 10.66.0.12 both have 02-00-00-00-00-A2", toR1,
        "Dublicate MAC found: 10.66.0.10 and 10.66.0.11 both have 02-00-00-00-00-A1", toR2, toR1 };
}

struct AttackCase {
    const char* name;
    std::vector<Action> before;  // the set-up, before the watcher starts
    std::vector<Action> during;
    std::vector<std::string> alerts;  // between the two markers, in order
    std::vector<std::string> options = {};
    // Addresses the frames must have put into the kernel's table, so that a
    // quiet case is quiet about real entries.
    std::vector<std::string> learned = {};
};

void PrintTo(const AttackCase& c, std::ostream* os)
{
    *os << c.name;
}

const std::vector<Action> kDefaultRoute { ipHost(
    { "route", "add", "default", "via", "10.66.0.254", "dev", "veth0" }) };

std::vector<Action> failover()
{
    return { frame(kRouter2Mac, "10.66.0.10"), pause(), frame(kRouter1Mac, "10.66.0.10"), pause(),
        frame(kRouter2Mac, "10.66.0.10"), pause(), frame(kRouter1Mac, "10.66.0.10") };
}

const AttackCase kCases[] = {
    { "poisoning_with_the_attackers_own_mac",
        { frame(kGatewayMac, "10.66.0.254"), frame(kAttackerMac, "10.66.0.66") },
        { frame(kAttackerMac, "10.66.0.254") }, { kPoisoned, kNamed } },
    { "attacker_entry_after_the_poisoning", { frame(kGatewayMac, "10.66.0.254") },
        { frame(kAttackerMac, "10.66.0.254"), pause(), frame(kAttackerMac, "10.66.0.66") },
        { kPoisoned, kNamed } },
    { "router_with_aliases_since_start_and_a_new_alias",
        { frame(kRouter1Mac, "10.66.0.20"), frame(kRouter1Mac, "10.66.0.21"),
            frame(kRouter1Mac, "10.66.0.22") },
        { frame(kRouter1Mac, "10.66.0.23") }, {}, {}, { "10.66.0.23" } },
    { "virtual_address_failing_over",
        { frame(kRouter1Mac, "10.66.0.10"), frame(kRouter1Mac, "10.66.0.11"),
            frame(kRouter2Mac, "10.66.0.12") },
        failover(), failoverLines(true) },
    { "virtual_address_failing_over_ignored",
        { frame(kRouter1Mac, "10.66.0.10"), frame(kRouter1Mac, "10.66.0.11"),
            frame(kRouter2Mac, "10.66.0.12") },
        failover(), failoverLines(false), { "--ignore", "duplicate-mac@02-00-00-00-00-A2" } },
    { "default_route_replaced_by_a_rogue_gateway", kDefaultRoute,
        { ipHost({ "route", "replace", "default", "via", "10.66.0.66", "dev", "veth0" }), routeSettles() },
        { kRogueRoute } },
    { "default_route_deleted_and_added_again", kDefaultRoute,
        { ipHost({ "route", "del", "default" }),
            ipHost({ "route", "add", "default", "via", "10.66.0.254", "dev", "veth0" }), routeSettles() },
        {} },
    { "tunnel_vision_routes_beside_the_default", kDefaultRoute,
        { ipHost({ "route", "add", "0.0.0.0/2", "via", "10.66.0.66", "dev", "veth0" }),
            ipHost({ "route", "add", "64.0.0.0/2", "via", "10.66.0.66", "dev", "veth0" }), routeSettles() },
        { kRogueRoute } },
    { "sender_outside_every_subnet",
        { sysctlHost("net.ipv4.conf.all.rp_filter=0"), sysctlHost("net.ipv4.conf.veth0.rp_filter=0") },
        { frame(kAttackerMac, "192.168.5.5") }, { kOutsider }, {}, { "192.168.5.5" } },
    // Each set up while the watcher runs, so the snapshot must follow it.
    { "senders_on_the_link_by_every_rule", kDefaultRoute,
        { ipHost({ "address", "add", "10.77.0.1/24", "dev", "veth0" }), frame(kRouter1Mac, "10.77.0.9"),
            ipHost({ "route", "add", "172.16.0.0/16", "dev", "veth0" }), frame(kRouter1Mac, "172.16.4.4"),
            ipHost({ "route", "add", "203.0.113.9/32", "dev", "veth0" }), frame(kRouter1Mac, "203.0.113.9"),
            frame(kRouter1Mac, "169.254.3.3"), frame(kRouter2Mac, "0.0.0.0") },
        {}, {}, { "10.77.0.9", "172.16.4.4", "203.0.113.9", "169.254.3.3" } },
};

class AttackOnKernel : public MarkedWatch, public testing::WithParamInterface<AttackCase> {
protected:
    void SetUp() override
    {
        MarkedWatch::SetUp();
        if (kernelMissing())
            return;
        // Each frame replaces the entry, however soon after the one before.
        ASSERT_TRUE(sysctlHost("net.ipv4.neigh.veth0.locktime=0")(namespaces));
    }
};

TEST_P(AttackOnKernel, SaysWhatTheCaseExpects)
{
    const AttackCase& c = GetParam();
    EXPECT_EQ(markedRun(c.before, c.options, c.during), c.alerts);
    // What the frames taught the kernel, whatever was said of it.
    const CommandResult table = runCommand({ "ip", "-n", namespaces.hostName(), "-4", "neigh", "show" });
    for (const std::string& address : c.learned)
        EXPECT_NE(table.out.find(address + " dev veth0 lladdr"), std::string::npos) << address << "\n"
                                                                                    << table.out;
}

INSTANTIATE_TEST_SUITE_P(Cases, AttackOnKernel, testing::ValuesIn(kCases),
    [](const auto& info) { return std::string(info.param.name); });

// Every new kind once, then a restart on the same state file: nothing again.
TEST_F(AttackOnKernel, ARestartWithTheStateFileSaysNothingAgain)
{
    const TempFolder folder;
    ASSERT_TRUE(folder.ok());
    const std::vector<std::string> withState { "--state", folder.file("state") };
    for (const Action& action : { frame(kGatewayMac, "10.66.0.254"), frame(kAttackerMac, "10.66.0.66"),
             sysctlHost("net.ipv4.conf.all.rp_filter=0"), sysctlHost("net.ipv4.conf.veth0.rp_filter=0"),
             kDefaultRoute[0] })
        ASSERT_TRUE(action(namespaces));
    ASSERT_TRUE(addMarker(kStartMarker));
    {
        RunningProgram watch(watchArguments(withState));
        ASSERT_TRUE(watch.started());
        ASSERT_EQ(alertText(watch.readLine(5s).value_or("")), markerText(kStartMarker));
        for (const Action& action : { frame(kAttackerMac, "10.66.0.254"), frame(kAttackerMac, "192.168.5.5"),
                 ipHost({ "route", "replace", "default", "via", "10.66.0.66", "dev", "veth0" }),
                 routeSettles() })
            ASSERT_TRUE(action(namespaces));
        ASSERT_TRUE(addMarker(kEndMarker));
        EXPECT_EQ(
            linesUntilEnd(watch), (std::vector<std::string> { kPoisoned, kNamed, kOutsider, kRogueRoute }));
        watch.signal(SIGTERM);
        EXPECT_EQ(watch.wait(), 0);
    }
    // The first run's markers are known now: the second run ends on one of its own.
    constexpr const char* kSecondEnd = "10.66.0.97";
    RunningProgram again(watchArguments(withState));
    ASSERT_TRUE(again.started());
    std::this_thread::sleep_for(3500ms);
    ASSERT_TRUE(addMarker(kSecondEnd));
    EXPECT_EQ(linesUntilEnd(again, kSecondEnd), std::vector<std::string> {});
    again.signal(SIGTERM);
    EXPECT_EQ(again.wait(), 0);
}

}  // namespace
}  // namespace tevra::test
