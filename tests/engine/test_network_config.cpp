#include "EngineFixture.h"
#include "engine/NetworkConfig.h"

#include <gtest/gtest.h>

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
            { ip("10.1.9.9"), 2, ip("255.255.255.0") },  // second address of eth0: dropped
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
    EXPECT_EQ(dotted(config.pingTargets()), (std::vector<std::string> { "10.1.255.255", "192.168.1.255" }));
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

}  // namespace
}  // namespace tevra::test
