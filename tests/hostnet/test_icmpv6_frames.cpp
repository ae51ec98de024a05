// SPDX-License-Identifier: GPL-3.0-or-later
// The crafted neighbour discovery frames against the real kernel: each case
// shows that a frame makes the host's tables change the way an attack or a
// router on the link would, so the tests built on them start from a known
// kernel behaviour. Each prints, as "kernel:" lines, what the tables hold.
#include "Command.h"
#include "Icmpv6Frames.h"
#include "Ipv6Tables.h"
#include "KernelTest.h"
#include "NamespacePair.h"

#include <linux/neighbour.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <iostream>
#include <optional>
#include <string>
#include <vector>

namespace tevra::test {
namespace {

using namespace std::chrono_literals;

constexpr const char* kAttackerMac = "02:00:00:00:00:66";
constexpr const char* kRoguePrefix = "2001:db8:77::";
constexpr auto kSettle = 5s;

// Both ends IPv6-ready; the peer stands for the gateway and, forging its
// source MAC, for an attacker beside it.
class Icmpv6Frames : public Ipv6KernelTest {
protected:
    Icmpv6Wire wire() const { return { namespaces.peerName(), "veth1" }; }

    std::optional<Neighbour6> hostNeighbour(const std::string& address) const
    {
        for (const Neighbour6& neighbour :
            readNeighbours6(namespaces.hostName()).value_or(std::vector<Neighbour6> {}))
            if (neighbour.address == address)
                return neighbour;
        return std::nullopt;
    }

    std::optional<Route6> hostDefaultRoute() const
    {
        for (const Route6& route : readRoutes6(namespaces.hostName()).value_or(std::vector<Route6> {}))
            if (route.destination == "::" && route.length == 0 && !route.gateway.empty())
                return route;
        return std::nullopt;
    }

    // The gateway (the peer's own MAC and link-local address) announces itself.
    bool gatewayAdvertises(
        std::uint16_t lifetime, std::optional<PrefixInformation> prefix = std::nullopt) const
    {
        return sendRouterAdvert(wire(), { NamespacePair::kPeerMac, NamespacePair::kPeerLinkLocal },
            { lifetime, NamespacePair::kPeerMac, std::move(prefix) });
    }

    bool hostKnowsGatewayAsRouter() const
    {
        return gatewayAdvertises(1800)
            && eventually(
                [&] {
                    const auto gateway = hostNeighbour(NamespacePair::kPeerLinkLocal);
                    return gateway && gateway->router() && hostDefaultRoute().has_value();
                },
                kSettle);
    }

    // Has the host resolve `address` by sending it a datagram; whoever owns
    // it answers from its own kernel, so the entry ends REACHABLE.
    bool hostReaches(const std::string& address) const
    {
        {
            const NamespaceEntry entry(namespaces.hostName());
            const int fd = socket(AF_INET6, SOCK_DGRAM | SOCK_CLOEXEC, 0);
            sockaddr_in6 peer {};
            peer.sin6_family = AF_INET6;
            peer.sin6_port = htons(9);
            peer.sin6_scope_id = if_nametoindex("veth0");  // needed for a link-local address only
            inet_pton(AF_INET6, address.c_str(), &peer.sin6_addr);
            const bool sent = fd >= 0
                && sendto(fd, "x", 1, 0, reinterpret_cast<const sockaddr*>(&peer), sizeof peer) == 1;
            if (fd >= 0)
                close(fd);
            if (!sent)
                return false;
        }
        return eventually(
            [&] {
                const auto neighbour = hostNeighbour(address);
                return neighbour && neighbour->state == NUD_REACHABLE;
            },
            kSettle);
    }

    std::string hostIp(const std::vector<std::string>& arguments) const
    {
        std::vector<std::string> command { "ip", "-n", namespaces.hostName() };
        command.insert(command.end(), arguments.begin(), arguments.end());
        return runCommand(command).out;
    }
};

std::string describe(const Neighbour6& neighbour)
{
    return neighbour.address + " lladdr " + neighbour.mac + " " + neighbourStateText(neighbour.state)
        + (neighbour.router() ? " router" : "");
}

std::string describe(const Route6& route)
{
    return route.destination + "/" + std::to_string(route.length) + " via " + route.gateway + " protocol "
        + std::to_string(route.protocol) + " metric " + std::to_string(route.metric) + " rtm_flags "
        + std::to_string(route.routeFlags) + " RTA_EXPIRES " + (route.hasRtaExpires ? "yes" : "no")
        + " cacheinfo.rta_expires "
        + (route.cacheExpires ? std::to_string(*route.cacheExpires) : std::string("absent")) + " RTA_PREF "
        + (route.preference ? std::to_string(*route.preference) : std::string("absent"));
}

// A rogue advertisement gives a default route through its sender, learned
// from the advertisement, and an address of the host's own in its prefix.
TEST_F(Icmpv6Frames, RouterAdvertInstallsDefaultRouteAndPrefix)
{
    if (kernelMissing())
        return;
    ASSERT_TRUE(gatewayAdvertises(1800, PrefixInformation { kRoguePrefix }));
    ASSERT_TRUE(eventually([&] { return hostDefaultRoute().has_value(); }, kSettle));
    const Route6 route = *hostDefaultRoute();
    std::cout << "kernel: default " << describe(route) << "\n";
    EXPECT_EQ(route.gateway, NamespacePair::kPeerLinkLocal);
    EXPECT_EQ(route.protocol, RTPROT_RA);
    EXPECT_EQ(route.metric, 1024U);
    ASSERT_TRUE(route.cacheExpires.has_value());
    EXPECT_GT(*route.cacheExpires, 0);
    EXPECT_NE(hostIp({ "-6", "route", "show", "default" }).find("proto ra"), std::string::npos);

    const std::string slaac = "2001:db8:77::ff:fe00:1";
    EXPECT_TRUE(eventually(
        [&] {
            return hostIp({ "-6", "addr", "show", "dev", "veth0" }).find(slaac + "/64") != std::string::npos;
        },
        kSettle));
    for (const Route6& prefixRoute : readRoutes6(namespaces.hostName()).value_or(std::vector<Route6> {})) {
        if (prefixRoute.destination == kRoguePrefix)
            std::cout << "kernel: prefix " << describe(prefixRoute) << "\n";
    }

    const auto gateway = hostNeighbour(NamespacePair::kPeerLinkLocal);
    ASSERT_TRUE(gateway.has_value());
    std::cout << "kernel: gateway entry " << describe(*gateway) << "\n";
    EXPECT_TRUE(gateway->router());
    EXPECT_EQ(gateway->mac, NamespacePair::kPeerMac);
}

// What the router lifetimes of a sequence of advertisements from one router leave.
struct LifetimeCase {
    const char* name;
    std::vector<std::uint16_t> lifetimes;
    bool defaultRoute;
};

class RouterLifetime : public Icmpv6Frames, public testing::WithParamInterface<LifetimeCase> { };

TEST_P(RouterLifetime, DefaultRouteFollowsTheLastLifetime)
{
    if (kernelMissing())
        return;
    for (const std::uint16_t lifetime : GetParam().lifetimes) {
        ASSERT_TRUE(gatewayAdvertises(lifetime));
        // Each advertisement is taken once the entry of its sender carries its MAC.
        ASSERT_TRUE(
            eventually([&] { return hostNeighbour(NamespacePair::kPeerLinkLocal).has_value(); }, kSettle));
        if (lifetime > 0) {
            ASSERT_TRUE(eventually([&] { return hostDefaultRoute().has_value(); }, kSettle));
        }
    }
    if (GetParam().defaultRoute) {
        EXPECT_TRUE(hostDefaultRoute().has_value());
        return;
    }
    // A route that is not there cannot be waited for: a later frame from the
    // same sender, taken in order, is the sign the last one was handled.
    ASSERT_TRUE(sendNeighbourSolicit(wire(),
        { NamespacePair::kPeerMac, NamespacePair::kPeerAddress6, NamespacePair::kHostMac,
            NamespacePair::kHostAddress6 },
        { NamespacePair::kHostAddress6, NamespacePair::kPeerMac }));
    ASSERT_TRUE(eventually([&] { return hostNeighbour(NamespacePair::kPeerAddress6).has_value(); }, kSettle));
    EXPECT_FALSE(hostDefaultRoute().has_value()) << describe(*hostDefaultRoute());
    // The router flag is no sign of a default router: an advertisement with
    // lifetime 0 that carries its sender's MAC sets it all the same.
    const auto gateway = hostNeighbour(NamespacePair::kPeerLinkLocal);
    ASSERT_TRUE(gateway.has_value());
    std::cout << "kernel: after lifetime 0, gateway entry " << describe(*gateway) << "\n";
    EXPECT_TRUE(gateway->router());
}

const LifetimeCase kLifetimeCases[] = {
    { "lifetime_1800_is_a_default_router", { 1800 }, true },
    { "lifetime_0_is_no_router", { 0 }, false },
    { "lifetime_0_withdraws_the_route", { 1800, 0 }, false },
};
INSTANTIATE_TEST_SUITE_P(Kernel, RouterLifetime, testing::ValuesIn(kLifetimeCases),
    [](const testing::TestParamInfo<LifetimeCase>& info) { return std::string(info.param.name); });

// A forged advertisement for the gateway's link-local address, from the
// attacker's MAC, override set and router flag clear.
struct SpoofCase {
    const char* name;
    bool fromGatewayAddress;  // the IPv6 source is the gateway's own link-local address
    bool unicast;  // solicited, to the host; otherwise unsolicited, to all nodes
    // An advertisement without the router flag from the address of a default
    // router makes the host drop the routes through it; from another address
    // the route stays, now leading to the attacker's MAC.
    bool defaultRouteKept;
};

class SpoofedAdvert : public Icmpv6Frames, public testing::WithParamInterface<SpoofCase> { };

TEST_P(SpoofedAdvert, TakesTheGatewayEntryAndItsRouterFlag)
{
    if (kernelMissing())
        return;
    ASSERT_TRUE(hostKnowsGatewayAsRouter());
    const SpoofCase& spoof = GetParam();
    Icmpv6Addressing addressing { kAttackerMac,
        spoof.fromGatewayAddress ? NamespacePair::kPeerLinkLocal : linkLocalOf(kAttackerMac) };
    if (spoof.unicast) {
        addressing.destinationMac = NamespacePair::kHostMac;
        addressing.destinationAddress = NamespacePair::kHostLinkLocal;
    }
    NeighbourAdvert advert { NamespacePair::kPeerLinkLocal, kAttackerMac };
    advert.solicited = spoof.unicast;
    ASSERT_TRUE(sendNeighbourAdvert(wire(), addressing, advert));

    ASSERT_TRUE(eventually(
        [&] {
            const auto gateway = hostNeighbour(NamespacePair::kPeerLinkLocal);
            return gateway && gateway->mac == kAttackerMac;
        },
        kSettle));
    const Neighbour6 gateway = *hostNeighbour(NamespacePair::kPeerLinkLocal);
    std::cout << "kernel: spoofed gateway entry " << describe(gateway) << "\n";
    EXPECT_FALSE(gateway.router());
    const auto route = hostDefaultRoute();
    std::cout << "kernel: default route after the spoof: " << (route ? describe(*route) : "none") << "\n";
    EXPECT_EQ(route.has_value(), spoof.defaultRouteKept);
}

const SpoofCase kSpoofCases[] = {
    { "unsolicited_from_attacker_address", false, false, true },
    { "unsolicited_from_gateway_address", true, false, false },
    { "solicited_from_gateway_address", true, true, false },
};
INSTANTIATE_TEST_SUITE_P(Kernel, SpoofedAdvert, testing::ValuesIn(kSpoofCases),
    [](const testing::TestParamInfo<SpoofCase>& info) { return std::string(info.param.name); });

// A router advertisement from a neighbour the host already reaches: the
// router flag is set either way; whether a notification tells of it is what
// the watcher has to know, so each case prints what came.
struct SilentFlagCase {
    const char* name;
    std::uint16_t lifetime;
    bool sourceLinkOption;
    // A default router's advertisement sets the flag in place, unannounced;
    // only the update that a lifetime-0 one makes from its MAC is announced.
    int notifications;
};

class RouterFlagGained : public Icmpv6Frames, public testing::WithParamInterface<SilentFlagCase> { };

TEST_P(RouterFlagGained, OnTheReachableEntry)
{
    if (kernelMissing())
        return;
    ASSERT_TRUE(hostReaches(NamespacePair::kPeerLinkLocal));
    const auto before = hostNeighbour(NamespacePair::kPeerLinkLocal);
    ASSERT_TRUE(before.has_value());
    ASSERT_FALSE(before->router()) << describe(*before);

    NeighbourListener listener(namespaces.hostName());
    ASSERT_TRUE(listener.ok());
    const SilentFlagCase& flagCase = GetParam();
    ASSERT_TRUE(sendRouterAdvert(wire(), { NamespacePair::kPeerMac, NamespacePair::kPeerLinkLocal },
        { flagCase.lifetime, flagCase.sourceLinkOption ? NamespacePair::kPeerMac : "", std::nullopt }));
    ASSERT_TRUE(eventually(
        [&] {
            const auto peer = hostNeighbour(NamespacePair::kPeerLinkLocal);
            return peer && peer->router();
        },
        kSettle));
    const Neighbour6 after = *hostNeighbour(NamespacePair::kPeerLinkLocal);
    std::cout << "kernel: " << flagCase.name << ": entry before " << describe(*before) << ", after "
              << describe(after) << "\n";
    int aboutPeer = 0;
    for (const NeighbourEvent& event : listener.collect(500ms)) {
        if (event.neighbour.address != NamespacePair::kPeerLinkLocal)
            continue;
        ++aboutPeer;
        std::cout << "kernel: " << flagCase.name << ": notification "
                  << (event.type == RTM_NEWNEIGH ? "RTM_NEWNEIGH " : "RTM_DELNEIGH ")
                  << describe(event.neighbour) << "\n";
    }
    std::cout << "kernel: " << flagCase.name << ": " << aboutPeer << " notification(s) for the peer\n";
    EXPECT_EQ(after.mac, NamespacePair::kPeerMac);
    EXPECT_EQ(aboutPeer, flagCase.notifications);
}

const SilentFlagCase kSilentFlagCases[] = {
    { "default_router_with_mac", 1800, true, 0 },
    { "default_router_without_mac", 1800, false, 0 },
    { "lifetime_0_with_mac", 0, true, 1 },
};
INSTANTIATE_TEST_SUITE_P(Kernel, RouterFlagGained, testing::ValuesIn(kSilentFlagCases),
    [](const testing::TestParamInfo<SilentFlagCase>& info) { return std::string(info.param.name); });

// One neighbour with many addresses of its own, as privacy and temporary
// addresses give: each address is an entry of its own, all with one MAC.
TEST_F(Icmpv6Frames, TwentyAddressesOfOneNeighbourAreTwentyEntries)
{
    if (kernelMissing())
        return;
    const std::string mac = "02:00:00:00:00:77";
    std::vector<std::string> addresses;
    for (int i = 0; i < 20; ++i) {
        addresses.push_back("2001:db8:66::" + std::to_string(100 + i));
        ASSERT_TRUE(sendNeighbourSolicit(wire(),
            { mac, addresses.back(), NamespacePair::kHostMac, NamespacePair::kHostAddress6 },
            { NamespacePair::kHostAddress6, mac }));
    }
    const auto learned = [&] {
        int count = 0;
        for (const std::string& address : addresses) {
            const auto neighbour = hostNeighbour(address);
            count += neighbour && neighbour->mac == mac ? 1 : 0;
        }
        return count;
    };
    EXPECT_TRUE(eventually([&] { return learned() == 20; }, kSettle)) << learned() << " of 20";
    const auto first = hostNeighbour(addresses.front());
    ASSERT_TRUE(first.has_value());
    std::cout << "kernel: learned from a solicitation: " << describe(*first) << "\n";
    EXPECT_FALSE(first->router());
}

// The attacker as a station of its own, which answers for its address: the
// host resolves it to the attacker's MAC, as it would a real one on the link.
TEST_F(Icmpv6Frames, PeerStationAnswersForItsAddress)
{
    if (kernelMissing())
        return;
    const std::string address = "2001:db8:66::66";
    ASSERT_TRUE(namespaces.addPeerStation(kAttackerMac, address)) << namespaces.error;
    ASSERT_TRUE(hostReaches(address));
    EXPECT_EQ(hostNeighbour(address)->mac, kAttackerMac);
    ASSERT_TRUE(hostReaches(linkLocalOf(kAttackerMac)));
    EXPECT_EQ(hostNeighbour(linkLocalOf(kAttackerMac))->mac, kAttackerMac);
}

}  // namespace
}  // namespace tevra::test
