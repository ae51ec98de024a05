// SPDX-License-Identifier: GPL-3.0-or-later
// IPv6 neighbour discovery spoofing seen by tevra-watch on the real kernel of
// a network namespace of the test's own: neighbour and router advertisements
// put on the wire by the peer namespace, as the gateway, an attacker or a
// host with many addresses would send them.
#include "Command.h"
#include "Icmpv6Frames.h"
#include "Ipv6Tables.h"
#include "MarkedWatch.h"
#include "WatchProgram.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

namespace tevra::test {
namespace {

using namespace std::chrono_literals;

constexpr const char* kAttackerMac = "02:00:00:00:00:66";
constexpr const char* kManyAddressesMac = "02:00:00:00:00:77";

Icmpv6Wire wire(const NamespacePair& namespaces)
{
    return { namespaces.peerName(), "veth1" };
}

// A router advertisement from `mac` at its link-local address.
Action advertiseRouter(const char* mac, std::uint16_t lifetime)
{
    return [mac, lifetime](const NamespacePair& namespaces) {
        return sendRouterAdvert(wire(namespaces), { mac, linkLocalOf(mac) }, { lifetime, mac, std::nullopt });
    };
}

// A neighbour solicitation to the host from `address` at `mac`: the host learns the sender.
Action solicitFrom(const char* mac, std::string address)
{
    return [mac, address](const NamespacePair& namespaces) {
        return sendNeighbourSolicit(wire(namespaces),
            { mac, address, NamespacePair::kHostMac, NamespacePair::kHostAddress6 },
            { NamespacePair::kHostAddress6, mac });
    };
}

// The attacker's forged advertisement: the gateway's address is at its MAC.
Action forgeGatewayAdvert()
{
    return [](const NamespacePair& namespaces) {
        return sendNeighbourAdvert(wire(namespaces), { kAttackerMac, linkLocalOf(kAttackerMac) },
            { NamespacePair::kPeerLinkLocal, kAttackerMac });
    };
}

// Until the host holds `address` with `mac` (and, if asked, as a router).
Action learned(std::string address, std::string mac, bool router = false)
{
    return [address, mac, router](const NamespacePair& namespaces) {
        return eventually(
            [&] {
                for (const Neighbour6& neighbour :
                    readNeighbours6(namespaces.hostName()).value_or(std::vector<Neighbour6> {}))
                    if (neighbour.address == address)
                        return neighbour.mac == mac && (!router || neighbour.router());
                return false;
            },
            5s);
    };
}

Action twentyAddresses()
{
    return [](const NamespacePair& namespaces) {
        for (int i = 0; i < 20; ++i) {
            const std::string address = "2001:db8:66::" + std::to_string(100 + i);
            if (!solicitFrom(kManyAddressesMac, address)(namespaces)
                || !learned(address, kManyAddressesMac)(namespaces))
                return false;
        }
        return true;
    };
}

const std::string kGateway = NamespacePair::kPeerLinkLocal;
const std::string kAttacker = linkLocalOf(kAttackerMac);
const std::string kPoisoned = "Mapping changed: " + kGateway
    + " changed from 02-00-00-00-00-02 to 02-00-00-00-00-66 (no longer a router)";
const std::string kNamed
    = "Dublicate MAC found: " + kGateway + " and " + kAttacker + " both have 02-00-00-00-00-66";
const std::string kRogueRouter
    = "Default route changed:  the route for 02-00-00-00-00-01 changed from " + kGateway + " to " + kAttacker;

struct Ipv6Case {
    const char* name;
    std::vector<Action> before;  // the set-up, before the watcher starts
    std::vector<Action> during;
    std::vector<std::string> alerts;  // between the two markers, in order
    std::vector<std::string> options = {};
};

void PrintTo(const Ipv6Case& c, std::ostream* os)
{
    *os << c.name;
}

std::vector<Action> gatewayAndAttackerKnown()
{
    return { advertiseRouter(NamespacePair::kPeerMac, 1800), learned(kGateway, NamespacePair::kPeerMac, true),
        solicitFrom(kAttackerMac, kAttacker), learned(kAttacker, kAttackerMac) };
}

const Ipv6Case kCases[] = {
    { "forged_advertisement_for_the_gateway", gatewayAndAttackerKnown(),
        { forgeGatewayAdvert(), learned(kGateway, kAttackerMac) }, { kPoisoned, kNamed } },
    { "forged_advertisement_unwatched_with_ipv4_only", gatewayAndAttackerKnown(),
        { forgeGatewayAdvert(), learned(kGateway, kAttackerMac) }, {}, { "-4" } },
    { "rogue_router_advertisement",
        { advertiseRouter(NamespacePair::kPeerMac, 1800), learned(kGateway, NamespacePair::kPeerMac, true) },
        { advertiseRouter(kAttackerMac, 1800), learned(kAttacker, kAttackerMac, true), routeSettles() },
        { kRogueRouter } },
    { "router_advertisement_with_lifetime_zero",
        { advertiseRouter(NamespacePair::kPeerMac, 1800), learned(kGateway, NamespacePair::kPeerMac, true) },
        { advertiseRouter(kAttackerMac, 0), learned(kAttacker, kAttackerMac), routeSettles() }, {} },
    { "twenty_temporary_addresses_of_one_neighbour", { solicitFrom(kManyAddressesMac, "2001:db8:66::99") },
        { twentyAddresses() }, {} },
};

class Ipv6OnKernel : public MarkedWatch, public testing::WithParamInterface<Ipv6Case> {
protected:
    void SetUp() override
    {
        MarkedWatch::SetUp();
        if (kernelMissing())
            return;
        ASSERT_TRUE(namespaces.enableIpv6()) << namespaces.error;
    }
};

TEST_P(Ipv6OnKernel, SaysWhatTheCaseExpects)
{
    if (kernelMissing())
        return;
    const Ipv6Case& c = GetParam();
    EXPECT_EQ(markedRun(c.before, c.options, c.during), c.alerts);
}

INSTANTIATE_TEST_SUITE_P(Cases, Ipv6OnKernel, testing::ValuesIn(kCases),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tevra::test
