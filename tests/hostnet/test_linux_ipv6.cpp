// SPDX-License-Identifier: GPL-3.0-or-later
// The Linux host layer's IPv6 neighbours and routes against the real kernel,
// driven by neighbour discovery frames as a router or an attacker on the link
// would send them.
#include "Icmpv6Frames.h"
#include "Ipv6Tables.h"
#include "KernelTest.h"
#include "NamespacePair.h"
#include "engine/Address.h"
#include "engine/MacAddress.h"
#include "hostnet/linux/LinuxIpHelper.h"

#include <arpa/inet.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

namespace tevra::test {
namespace {

using namespace std::chrono_literals;

constexpr const char* kAttackerMac = "02:00:00:00:00:66";
constexpr auto kSettle = 5s;

class LinuxIpv6 : public Ipv6KernelTest {
protected:
    void SetUp() override
    {
        Ipv6KernelTest::SetUp();
        if (kernelMissing())
            return;
        entry_.emplace(namespaces.hostName());
        ASSERT_TRUE(entry_->ok());
        interface_ = if_nametoindex("veth0");
    }

    Icmpv6Wire wire() const { return { namespaces.peerName(), "veth1" }; }

    bool gatewayAdvertises(std::uint16_t lifetime) const
    {
        return sendRouterAdvert(wire(), { NamespacePair::kPeerMac, NamespacePair::kPeerLinkLocal },
            { lifetime, NamespacePair::kPeerMac, std::nullopt });
    }

    hostnet::IpAddress gateway() const { return *parseAddress(NamespacePair::kPeerLinkLocal, interface_); }

    std::optional<hostnet::MibIpNetRow> rowOf(
        hostnet::IpHelper& host, const hostnet::IpAddress& address) const
    {
        const auto table = host.getIpNetTable();
        if (!table.rows)
            return std::nullopt;
        const auto found = std::ranges::find(*table.rows, address, &hostnet::MibIpNetRow::address);
        return found == table.rows->end() ? std::nullopt : std::optional(*found);
    }

    std::optional<NamespaceEntry> entry_;
    std::uint32_t interface_ = 0;
};

std::string macOf(const hostnet::MibIpNetRow& row)
{
    return macText(row.bPhysAddr.data(), row.dwPhysAddrLen);
}

// A router's advertisement gives a neighbour row with the router flag, on the
// link it came from, and a default route through it that lookups follow.
TEST_F(LinuxIpv6, ARouterIsANeighbourWithItsFlagAndADefaultRoute)
{
    if (kernelMissing())
        return;
    hostnet::LinuxIpHelper host;
    ASSERT_TRUE(gatewayAdvertises(1800));
    ASSERT_TRUE(eventually(
        [&] {
            const auto row = rowOf(host, gateway());
            return row && row->isRouter;
        },
        kSettle));
    const hostnet::MibIpNetRow row = *rowOf(host, gateway());
    EXPECT_EQ(row.dwIndex, interface_);
    EXPECT_EQ(row.address.zone(), interface_);
    EXPECT_EQ(macOf(row), "02-00-00-00-00-02");

    const auto routes = host.getDefaultRoutes();
    ASSERT_TRUE(routes.rows.has_value()) << routes.reason;
    EXPECT_EQ(std::ranges::count(*routes.rows, gateway(), &hostnet::DefaultRouteRow::gateway), 1);

    using Answer = std::optional<hostnet::RouteAnswer>;
    EXPECT_EQ(host.lookupRoute(*parseAddress("2001:db8:99::1")), (Answer { { interface_, gateway() } }));
    EXPECT_EQ(host.lookupRoute(*parseAddress(NamespacePair::kPeerAddress6)),
        (Answer { { interface_, hostnet::IpAddress::v6({}) } }));
}

// A forged advertisement for the router's address moves its entry to the
// attacker's MAC and drops the router flag: the feed says so in one change.
TEST_F(LinuxIpv6, TheFeedFollowsAForgedAdvertisementForTheRouter)
{
    if (kernelMissing())
        return;
    hostnet::LinuxIpHelper host;
    ASSERT_TRUE(host.open().ok());
    ASSERT_TRUE(gatewayAdvertises(1800));
    ASSERT_TRUE(eventually(
        [&] {
            host.take();
            const auto row = rowOf(host, gateway());
            return row && row->isRouter;
        },
        kSettle));
    ASSERT_TRUE(sendNeighbourAdvert(wire(), { kAttackerMac, linkLocalOf(kAttackerMac) },
        { NamespacePair::kPeerLinkLocal, kAttackerMac }));
    std::optional<hostnet::MibIpNetRow> changed;
    ASSERT_TRUE(eventually(
        [&] {
            for (const hostnet::NetTableChange& change : host.take())
                if (change.address == gateway() && change.row)
                    changed = change.row;
            return changed && macOf(*changed) == "02-00-00-00-00-66";
        },
        kSettle));
    EXPECT_FALSE(changed->isRouter);
}

// An advertisement from a neighbour already reachable sets its router flag
// in place, without a notification: the table's periodic whole read finds it.
TEST_F(LinuxIpv6, ARouterFlagGainedSilentlyIsFoundByTheWholeRead)
{
    if (kernelMissing())
        return;
    hostnet::LinuxIpHelper host;
    host.setSafetyNetPeriod(300ms);
    // The host resolves the peer by sending to it; the peer's kernel answers.
    const int fd = socket(AF_INET6, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(fd, 0);
    sockaddr_in6 peer {};
    peer.sin6_family = AF_INET6;
    peer.sin6_port = htons(9);
    peer.sin6_scope_id = interface_;
    std::memcpy(&peer.sin6_addr, gateway().data(), 16);
    EXPECT_EQ(sendto(fd, "x", 1, 0, reinterpret_cast<const sockaddr*>(&peer), sizeof peer), 1);
    close(fd);
    ASSERT_TRUE(eventually([&] { return rowOf(host, gateway()).has_value(); }, kSettle));
    ASSERT_TRUE(host.open().ok());
    host.take();
    ASSERT_FALSE(rowOf(host, gateway())->isRouter);

    ASSERT_TRUE(gatewayAdvertises(1800));
    bool flagged = false;
    EXPECT_TRUE(eventually(
        [&] {
            for (const hostnet::NetTableChange& change : host.take())
                flagged = flagged || (change.address == gateway() && change.row && change.row->isRouter);
            return flagged;
        },
        kSettle));
}

}  // namespace
}  // namespace tevra::test
