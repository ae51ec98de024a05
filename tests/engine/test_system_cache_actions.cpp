// SPDX-License-Identifier: GPL-3.0-or-later
#include "EngineFixture.h"

#include <gtest/gtest.h>

namespace tevra::test {
namespace {

constexpr const char* kMac1 = "00-0C-29-11-22-33";
constexpr const char* kMac2 = "00-0C-29-44-55-66";

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

TEST_F(SystemCacheActions, FlushGoesOnWhenOneInterfaceFailsAndSaysSo)
{
    host.flushResult = -1;
    host.error = "flushing the neighbour table: Operation not permitted";
    host.failure = hostnet::Failure::NotPermitted;
    EXPECT_EQ(watcher.flushSystemCache(), -1);
    EXPECT_EQ(host.calls.flushed.size(), 2u);
    const std::vector<ActionFailure> failures = watcher.takeActionFailures();
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0].subject, "");
    EXPECT_EQ(failures[0].reason, "flushing the neighbour table: Operation not permitted");
    EXPECT_EQ(failures[0].kind, hostnet::Failure::NotPermitted);
    EXPECT_TRUE(watcher.takeActionFailures().empty());
}

TEST_F(SystemCacheActions, FlushFailsWithoutAdapters)
{
    host.adapters.clear();
    EXPECT_EQ(watcher.flushSystemCache(), -1);
    host.failAdapters = true;
    EXPECT_EQ(watcher.flushSystemCache(), -1);
    EXPECT_TRUE(host.calls.flushed.empty());
    EXPECT_EQ(watcher.takeActionFailures().size(), 2u);
}

TEST_F(SystemCacheActions, DeleteUsesTheEntrysInterfaceAndKeepsTheEntry)
{
    refreshWith({ row("10.0.0.5", "00-0C-29-11-22-33", 3) });
    EXPECT_EQ(watcher.deleteFromSystemCache("10.0.0.5"), 0);
    ASSERT_EQ(host.calls.deleted.size(), 1u);
    EXPECT_EQ(host.calls.deleted[0].dwIndex, 3u);
    EXPECT_EQ(host.calls.deleted[0].address, ip("10.0.0.5"));
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

TEST_F(SystemCacheActions, DiscoverPingsEachSubnetInAdapterOrderThenSweepsIt)
{
    EXPECT_EQ(watcher.discoverByPing(), 0);
    EXPECT_EQ(host.calls.pinged, (std::vector<std::string> { "10.1.255.255", "192.168.255.255" }));
    // Of each /16 only the /24 around the adapter's own address.
    ASSERT_EQ(host.calls.swept.size(), 255u + 255u);
    EXPECT_EQ(host.calls.swept.front(), ip("10.1.2.0"));
    EXPECT_EQ(host.calls.swept.back(), ip("192.168.7.255"));
    EXPECT_TRUE(watcher.takeActionFailures().empty());
}

TEST_F(SystemCacheActions, DiscoverSaysWhatCouldNotStartAndGoesOn)
{
    host.pingResult = -1;
    host.sweepResult = -1;
    host.error = "ping: no ping program in /usr/bin, /bin, /usr/sbin or /sbin";
    EXPECT_EQ(watcher.discoverByPing(), -1);
    EXPECT_EQ(host.calls.pinged.size(), 2u);
    EXPECT_EQ(host.calls.swept.size(), 510u);
    const std::vector<ActionFailure> failures = watcher.takeActionFailures();
    ASSERT_EQ(failures.size(), 3u);
    EXPECT_EQ(failures[0].subject, "10.1.255.255");
    EXPECT_EQ(failures[0].reason, "ping: no ping program in /usr/bin, /bin, /usr/sbin or /sbin");
    EXPECT_EQ(failures[1].subject, "192.168.255.255");
    EXPECT_EQ(failures[2].subject, "");
}

using NoAdapters = EngineTest;

TEST_F(NoAdapters, DiscoverStartsNothing)
{
    EXPECT_EQ(watcher.discoverByPing(), 0);
    EXPECT_TRUE(host.calls.pinged.empty());
    EXPECT_TRUE(host.calls.swept.empty());
}

// --- What a sweep leaves unanswered does not fill the program cache ---

TEST_F(SystemCacheActions, UnansweredSweepEntriesStayOutUntilTheyResolve)
{
    ASSERT_EQ(watcher.discoverByPing(), 0);
    refreshWith({ row("10.1.2.7", "", 2, hostnet::kNetTypeInvalid), row("10.1.2.8", kMac1),
        row("10.1.3.1", "", 2, hostnet::kNetTypeInvalid) });  // not swept: someone else asked
    EXPECT_EQ(watcher.findEntry("10.1.2.7"), nullptr);
    EXPECT_NE(watcher.findEntry("10.1.2.8"), nullptr);
    EXPECT_NE(watcher.findEntry("10.1.3.1"), nullptr);

    refreshWith({ row("10.1.2.7", kMac2), row("10.1.2.8", kMac1) });
    ASSERT_NE(watcher.findEntry("10.1.2.7"), nullptr);
    EXPECT_TRUE(events.empty());  // a first MAC, no change
    // Known now, it stays when it falls back to unresolved.
    refreshWith({ row("10.1.2.7", "", 2, hostnet::kNetTypeInvalid) });
    EXPECT_NE(watcher.findEntry("10.1.2.7"), nullptr);

    // The change feed takes the same view.
    watcher.applyChange({ ip("10.1.2.9"), row("10.1.2.9", "", 2, hostnet::kNetTypeInvalid) });
    EXPECT_EQ(watcher.findEntry("10.1.2.9"), nullptr);
    watcher.applyChange({ ip("10.1.2.9"), row("10.1.2.9", kMac1) });
    EXPECT_NE(watcher.findEntry("10.1.2.9"), nullptr);
}

// An address that never resolved, whoever asked for it, is forgotten once it
// leaves the table when the front end asks for that; one that had a MAC stays.
TEST_F(SystemCacheActions, NeverResolvedAddressesAreForgottenOnceGone)
{
    watcher.forgetUnresolvedWhenGone = true;
    refreshWith({ row("10.1.3.1", "", 2, hostnet::kNetTypeInvalid), row("10.1.3.2", kMac1),
        row("10.1.3.3", "", 2, hostnet::kNetTypeInvalid), row("10.1.3.4", "", 2, hostnet::kNetTypeInvalid) });
    ASSERT_NE(watcher.findEntry("10.1.3.1"), nullptr);  // while it is in the table
    refreshWith({ row("10.1.3.3", "", 2, hostnet::kNetTypeInvalid),
        row("10.1.3.4", "", 2, hostnet::kNetTypeInvalid) });
    EXPECT_EQ(watcher.findEntry("10.1.3.1"), nullptr);
    EXPECT_NE(watcher.findEntry("10.1.3.2"), nullptr);
    // The change feed takes the same view, and so does a table out of order.
    watcher.applyChange({ ip("10.1.3.3"), std::nullopt });
    EXPECT_EQ(watcher.findEntry("10.1.3.3"), nullptr);
    host.netTable = { row("10.1.3.2", kMac1), row("10.1.2.1", kMac2) };
    ASSERT_EQ(watcher.refresh(), 0);
    EXPECT_EQ(watcher.findEntry("10.1.3.4"), nullptr);
    EXPECT_NE(watcher.findEntry("10.1.3.2"), nullptr);
}

// --- The commands on both caches keep the history of what is still in the table ---

struct BothCase {
    const char* name;
    std::int32_t deleteResult;
    hostnet::Failure failure;
    std::int32_t status;
    bool kept;  // still in the program cache, history and all
    std::size_t failures;
};

void PrintTo(const BothCase& c, std::ostream* os)
{
    *os << c.name;
}

const BothCase kDeleteBothCases[] = {
    { "deleted", 0, hostnet::Failure::None, 0, false, 0 },
    { "refused", -1, hostnet::Failure::NotPermitted, -1, true, 1 },
    { "failed_otherwise", -1, hostnet::Failure::Other, -1, true, 1 },
    { "already_gone", -1, hostnet::Failure::NoSuchEntry, 0, false, 0 },
};

class DeleteFromBothCaches : public SystemCacheActions, public ::testing::WithParamInterface<BothCase> { };

TEST_P(DeleteFromBothCaches, KeepsTheHistoryOfAnEntryStillInTheTable)
{
    const BothCase& c = GetParam();
    refreshWith({ row("10.0.0.5", kMac1), row("10.0.0.6", kMac1) });
    refreshWith({ row("10.0.0.5", kMac2), row("10.0.0.6", kMac1) });
    host.deleteResult = c.deleteResult;
    host.failure = c.failure;
    host.error = "deleting a neighbour entry: why";
    EXPECT_EQ(watcher.deleteFromBothCaches("10.0.0.5"), c.status);
    EXPECT_EQ(watcher.findEntry("10.0.0.5") != nullptr, c.kept);
    if (c.kept) {
        EXPECT_EQ(entry("10.0.0.5").historyLength(), 1u);
    }
    EXPECT_NE(watcher.findEntry("10.0.0.6"), nullptr);
    const std::vector<ActionFailure> failures = watcher.takeActionFailures();
    ASSERT_EQ(failures.size(), c.failures);
    if (c.failures != 0) {
        EXPECT_EQ(failures[0].subject, "10.0.0.5");
        EXPECT_EQ(failures[0].kind, c.failure);
    }
}

INSTANTIATE_TEST_SUITE_P(Table, DeleteFromBothCaches, ::testing::ValuesIn(kDeleteBothCases),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SystemCacheActions, DeleteFromSystemCacheSaysAnEntryIsAlreadyGone)
{
    refreshWith({ row("10.0.0.5", kMac1) });
    host.deleteResult = -1;
    host.failure = hostnet::Failure::NoSuchEntry;
    host.error = "deleting a neighbour entry: no such entry in the table";
    EXPECT_EQ(watcher.deleteFromSystemCache("10.0.0.5"), -1);
    const std::vector<ActionFailure> failures = watcher.takeActionFailures();
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0].reason, "deleting a neighbour entry: no such entry in the table");
}

struct FlushBothCase {
    const char* name;
    std::int32_t flushResult;
    std::vector<const char*> flushKept;
    std::vector<const char*> programCache;  // afterwards
};

void PrintTo(const FlushBothCase& c, std::ostream* os)
{
    *os << c.name;
}

const FlushBothCase kFlushBothCases[] = {
    { "flushed", 0, {}, {} },
    { "some_entries_stay", -1, { "10.0.0.6" }, { "10.0.0.6" } },
    { "nothing_deleted", -1, {}, { "10.0.0.5", "10.0.0.6", "10.0.0.7" } },
};

class FlushBothCaches : public SystemCacheActions, public ::testing::WithParamInterface<FlushBothCase> { };

TEST_P(FlushBothCaches, KeepsTheHistoryOfEntriesTheFlushLeft)
{
    const FlushBothCase& c = GetParam();
    refreshWith({ row("10.0.0.5", kMac1), row("10.0.0.6", kMac1), row("10.0.0.7", kMac1) });
    refreshWith({ row("10.0.0.5", kMac1), row("10.0.0.6", kMac2), row("10.0.0.7", kMac1) });
    host.flushResult = c.flushResult;
    for (const char* address : c.flushKept)
        host.flushKept.push_back(ip(address));
    EXPECT_EQ(watcher.flushBothCaches(), c.flushResult);
    std::vector<std::string> left;
    for (const auto& [address, e] : watcher.programCache)
        left.push_back(addressText(address));
    EXPECT_EQ(left, std::vector<std::string>(c.programCache.begin(), c.programCache.end()));
    if (watcher.findEntry("10.0.0.6") != nullptr) {
        EXPECT_EQ(entry("10.0.0.6").historyLength(), 1u);
    }
    EXPECT_EQ(watcher.takeActionFailures().size(), c.flushResult == 0 ? 0u : 1u);
}

INSTANTIATE_TEST_SUITE_P(Table, FlushBothCaches, ::testing::ValuesIn(kFlushBothCases),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tevra::test
