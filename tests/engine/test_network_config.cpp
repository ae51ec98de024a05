// SPDX-License-Identifier: GPL-3.0-or-later
#include "EngineFixture.h"
#include "engine/NetworkConfig.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace tevra::test {
namespace {

std::vector<std::string> dotted(const std::vector<std::uint32_t>& addresses)
{
    std::vector<std::string> out;
    for (const std::uint32_t a : addresses)
        out.push_back(dottedText(a));
    return out;
}

class NetworkConfigTest : public ::testing::Test {
protected:
    NetworkConfigTest()
    {
        host.adapters = { { 3, "eth1" }, { 2, "eth0" }, { 4, "wlan0" }, { 2, "eth0 again" } };
        host.addrTable = {
            { ip("10.1.2.3"), 2, ip("255.255.0.0") },
            { ip("10.1.9.9"), 2, ip("255.255.255.0") },  // second address of eth0: a subnet of its own
            { ip("127.0.0.1"), 1, ip("255.0.0.0") },  // loopback: no adapter
            { ip("192.168.1.10"), 3, ip("255.255.255.0") },
        };
    }
    hostnet::FakeIpHelper host;
};

TEST_F(NetworkConfigTest, NamesAdaptersByIndex)
{
    const NetworkConfig config(host);
    EXPECT_EQ(config.adapterName(2), "eth0");
    EXPECT_EQ(config.adapterName(3), "eth1");
    EXPECT_EQ(config.adapterName(4), "wlan0");
    EXPECT_EQ(config.adapterName(7), "unknown");
    EXPECT_EQ(config.adapters.size(), 3u);
}

TEST_F(NetworkConfigTest, PingTargetsAreDirectedBroadcastsInIndexOrder)
{
    const NetworkConfig config(host);
    EXPECT_EQ(dotted(config.pingTargets()),
        (std::vector<std::string> { "10.1.255.255", "10.1.9.255", "192.168.1.255" }));
    EXPECT_EQ(config.pingTargets(), config.pingTargets());
    EXPECT_TRUE(config.adapters.at(4).addresses.empty());
    EXPECT_TRUE(config.isDirectedBroadcast(ip("192.168.1.255")));
    EXPECT_FALSE(config.isDirectedBroadcast(ip("192.255.255.255")));
}

TEST_F(NetworkConfigTest, FailedReadsLeaveWhatWasBuilt)
{
    host.failAddrTable = true;
    const NetworkConfig noAddresses(host);
    EXPECT_EQ(noAddresses.adapters.size(), 3u);
    EXPECT_TRUE(noAddresses.pingTargets().empty());

    host.failAdapters = true;
    host.failAddrTable = false;
    const NetworkConfig empty(host);
    EXPECT_TRUE(empty.adapters.empty());
    EXPECT_EQ(empty.adapterName(2), "unknown");
    EXPECT_TRUE(empty.pingTargets().empty());
}

// --- The addresses a discovery sweep asks for ---

struct SweepCase {
    const char* name;
    const char* address;
    const char* mask;
    std::size_t count;
    const char* first;  // empty when none
    const char* last;
};

void PrintTo(const SweepCase& c, std::ostream* os)
{
    *os << c.name;
}

const SweepCase kSweepCases[] = {
    { "slash24_all_hosts_but_own", "192.168.1.10", "255.255.255.0", 253, "192.168.1.1", "192.168.1.254" },
    { "slash22_whole", "10.4.5.6", "255.255.252.0", 1021, "10.4.4.1", "10.4.7.254" },
    { "slash21_the_24_around", "10.4.5.6", "255.255.248.0", 255, "10.4.5.0", "10.4.5.255" },
    { "slash16_own_in_first_24", "10.1.0.5", "255.255.0.0", 254, "10.1.0.1", "10.1.0.255" },
    { "slash8_own_in_last_24", "10.255.255.1", "255.0.0.0", 254, "10.255.255.0", "10.255.255.254" },
    { "slash30_two_hosts", "10.9.0.1", "255.255.255.252", 1, "10.9.0.2", "10.9.0.2" },
    { "slash31_link_peer", "10.9.0.0", "255.255.255.254", 1, "10.9.0.1", "10.9.0.1" },
    { "slash32_nobody", "10.9.0.7", "255.255.255.255", 0, "", "" },
};

class SweepTargets : public ::testing::TestWithParam<SweepCase> { };

TEST_P(SweepTargets, CoverTheSubnetAroundTheAdapter)
{
    const SweepCase& c = GetParam();
    hostnet::FakeIpHelper host;
    host.adapters = { { 2, "eth0" } };
    host.addrTable = { { ip(c.address), 2, ip(c.mask) } };
    const std::vector<std::string> targets = dotted(NetworkConfig(host).sweepTargets());
    ASSERT_EQ(targets.size(), c.count);
    if (c.count == 0)
        return;
    EXPECT_EQ(targets.front(), c.first);
    EXPECT_EQ(targets.back(), c.last);
    EXPECT_EQ(std::ranges::count(targets, c.address), 0);
    // Ascending, each once.
    EXPECT_TRUE(
        std::ranges::is_sorted(targets, {}, [](const std::string& a) { return netToHost(ip(a.c_str())); }));
    EXPECT_EQ(std::ranges::adjacent_find(targets), targets.end());
}

INSTANTIATE_TEST_SUITE_P(Subnets, SweepTargets, ::testing::ValuesIn(kSweepCases),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(NetworkConfigTest, SweepTargetsFollowTheAdaptersInIndexOrder)
{
    const std::vector<std::uint32_t> targets = NetworkConfig(host).sweepTargets();
    ASSERT_EQ(targets.size(), 255u + 253u + 253u);
    EXPECT_EQ(dottedText(targets.front()), "10.1.2.0");
    EXPECT_EQ(dottedText(targets.back()), "192.168.1.254");
}

}  // namespace
}  // namespace tevra::test
