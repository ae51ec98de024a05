#include "EngineFixture.h"

#include <gtest/gtest.h>

namespace tevra::test {
namespace {

std::unique_ptr<hostnet::FakeIpHelper> twoAdapterHost()
{
    auto fake = std::make_unique<hostnet::FakeIpHelper>();
    fake->adapters = { { 5, "eth1" }, { 2, "eth0" } };
    fake->addrTable
        = { { ip("10.1.2.3"), 2, ip("255.255.0.0") }, { ip("192.168.7.7"), 5, ip("255.255.0.0") } };
    return fake;
}

class SystemCacheActions : public EngineTest {
protected:
    SystemCacheActions()
        : EngineTest(twoAdapterHost())
    {
    }
};

TEST_F(SystemCacheActions, FlushAsksForAFreshAdapterList)
{
    host.adapters.push_back({ 9, "added after start" });
    EXPECT_EQ(watcher.flushSystemCache(), 0);
    EXPECT_EQ(host.calls.flushed, (std::vector<std::uint32_t> { 5, 2, 9 }));
}

TEST_F(SystemCacheActions, FlushGoesOnWhenOneInterfaceFails)
{
    host.flushResult = -1;
    EXPECT_EQ(watcher.flushSystemCache(), 0);
    EXPECT_EQ(host.calls.flushed.size(), 2u);
}

TEST_F(SystemCacheActions, FlushFailsWithoutAdapters)
{
    host.adapters.clear();
    EXPECT_EQ(watcher.flushSystemCache(), -1);
    host.failAdapters = true;
    EXPECT_EQ(watcher.flushSystemCache(), -1);
    EXPECT_TRUE(host.calls.flushed.empty());
}

TEST_F(SystemCacheActions, DeleteUsesTheEntrysInterfaceAndKeepsTheEntry)
{
    refreshWith({ row("10.0.0.5", "00-0C-29-11-22-33", 3) });
    EXPECT_EQ(watcher.deleteFromSystemCache("10.0.0.5"), 0);
    ASSERT_EQ(host.calls.deleted.size(), 1u);
    EXPECT_EQ(host.calls.deleted[0].dwIndex, 3u);
    EXPECT_EQ(host.calls.deleted[0].dwAddr, ip("10.0.0.5"));
    EXPECT_EQ(host.calls.deleted[0].dwPhysAddrLen, 0u);
    EXPECT_EQ(host.calls.deleted[0].dwType, 0u);
    EXPECT_NE(watcher.findEntry("10.0.0.5"), nullptr);
}

TEST_F(SystemCacheActions, DeleteFailures)
{
    refreshWith({ row("10.0.0.5", "00-0C-29-11-22-33", 3), row("255.255.255.255", "FF-FF-FF-FF-FF-FF", 3) });
    EXPECT_EQ(watcher.deleteFromSystemCache("10.0.0.6"), -1);
    EXPECT_EQ(watcher.deleteFromSystemCache("ten"), -1);
    EXPECT_TRUE(host.calls.deleted.empty());
    host.deleteResult = 1168;  // the platform's "not found"
    EXPECT_EQ(watcher.deleteFromSystemCache("10.0.0.5"), -1);
    host.deleteResult.reset();
    EXPECT_EQ(watcher.deleteFromSystemCache("255.255.255.255"), 0);
}

TEST_F(SystemCacheActions, DiscoverPingsEachSubnetInAdapterOrder)
{
    host.pingResult = -1;  // a ping that cannot start is skipped without a word
    EXPECT_EQ(watcher.discoverByPing(), 0);
    EXPECT_EQ(host.calls.pinged, (std::vector<std::string> { "10.1.255.255", "192.168.255.255" }));
}

using NoAdapters = EngineTest;

TEST_F(NoAdapters, DiscoverStartsNothing)
{
    EXPECT_EQ(watcher.discoverByPing(), 0);
    EXPECT_TRUE(host.calls.pinged.empty());
}

}  // namespace
}  // namespace tevra::test
