// SPDX-License-Identifier: GPL-3.0-or-later
// The Linux host layer following the kernel's neighbour notifications, with the
// engine on top, in a network namespace of the test's own.
#include "Command.h"
#include "HostFixture.h"
#include "KernelTest.h"
#include "NamespacePair.h"
#include "engine/MappingWatcher.h"
#include "hostnet/linux/LinuxIpHelper.h"
#include "tests/support/CollectedAlerts.h"
#include "tests/support/ScriptedRows.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace tevra::test {
namespace {

constexpr const char* kMac1 = "00:0c:29:11:22:33";
constexpr const char* kMac2 = "00:0c:29:44:55:66";

class ChangeFeedTest : public NamespacePairTest {
protected:
    void SetUp() override
    {
        NamespacePairTest::SetUp();
        if (kernelMissing())
            return;
        ASSERT_TRUE(entry_.ok());
    }

    // The watcher as a front end starts it: feed opened, then the first read.
    void startWatcher(int feedBufferBytes = hostnet::NeighbourFollower::kReceiveBufferBytes,
        std::size_t feedQueueBytes = hostnet::NeighbourFollower::kQueueBytes)
    {
        auto host = std::make_unique<hostnet::LinuxIpHelper>(feedBufferBytes, feedQueueBytes);
        host_ = host.get();
        watcher_ = std::make_unique<CMappingWatcher>(std::move(host), fixedClock(kNow));
        collectAlertLines(*watcher_, alerts);
        const hostnet::ActionResult opened = host_->open();
        ASSERT_TRUE(opened.ok()) << opened.reason;
        ASSERT_GE(host_->descriptor(), 0);
        ASSERT_EQ(watcher_->refresh(), 0);
    }

    // `ip -batch`: every line run by one process, as fast as it can.
    void ipBatch(const std::vector<std::string>& lines)
    {
        const auto file = std::filesystem::temp_directory_path() / ("tevra-feed-" + namespaces.hostName());
        {
            std::ofstream out(file);
            for (const std::string& line : lines)
                out << line << '\n';
        }
        const CommandResult result
            = runCommand({ "ip", "-n", namespaces.hostName(), "-batch", file.string() });
        std::filesystem::remove(file);
        ASSERT_EQ(result.status, 0) << result.err;
    }

    void ip(const std::vector<std::string>& arguments) { ASSERT_TRUE(namespaces.ipInHost(arguments)); }

    // The addresses of the kernel's table, as `ip -4 neigh show` lists them.
    std::vector<std::string> listed() const
    {
        const CommandResult listing
            = runCommand({ "ip", "-n", namespaces.hostName(), "-4", "neigh", "show" });
        std::vector<std::string> addresses;
        for (std::size_t at = 0; at < listing.out.size(); at = listing.out.find('\n', at) + 1) {
            addresses.push_back(listing.out.substr(at, listing.out.find(' ', at) - at));
            if (listing.out.find('\n', at) == std::string::npos)
                break;
        }
        std::ranges::sort(addresses);
        return addresses;
    }

    std::string changed(const char* address, const char* from, const char* to)
    {
        return std::string("14:03:09: Mapping changed: ") + address + " changed from " + from + " to " + to;
    }

    CMappingWatcher& watcher() { return *watcher_; }
    hostnet::LinuxIpHelper& host() { return *host_; }
    std::vector<std::string> alerts;

private:
    NamespaceEntry entry_ { namespaces.hostName() };
    hostnet::LinuxIpHelper* host_ = nullptr;
    std::unique_ptr<CMappingWatcher> watcher_;
};

TEST_F(ChangeFeedTest, AForgeryRevertedWithinMillisecondsIsReportedBothWaysOnce)
{
    ip({ "neigh", "add", "10.66.0.5", "lladdr", kMac1, "dev", "veth0", "nud", "reachable" });
    startWatcher();
    ipBatch({ "neigh replace 10.66.0.5 lladdr 02:00:00:00:66:66 dev veth0 nud reachable",
        "neigh replace 10.66.0.5 lladdr 00:0c:29:11:22:33 dev veth0 nud reachable" });

    watcher().followChanges();
    watcher().refresh();
    EXPECT_EQ(alerts,
        (std::vector {
            changed("10.66.0.5", "00-0C-29-11-22-33", "02-00-00-00-66-66"),
            changed("10.66.0.5", "02-00-00-00-66-66", "00-0C-29-11-22-33"),
        }));
}

TEST_F(ChangeFeedTest, ADeletedEntryLeavesTheSystemCacheAndItsReturnIsCompared)
{
    ip({ "neigh", "add", "10.66.0.5", "lladdr", kMac1, "dev", "veth0", "nud", "permanent" });
    startWatcher();

    ip({ "neigh", "del", "10.66.0.5", "dev", "veth0" });
    // The kernel may pass through a failed state on the way out.
    const std::vector<hostnet::IpAddress> touched = watcher().followChanges();
    EXPECT_FALSE(touched.empty());
    EXPECT_EQ(std::ranges::count(touched, hostnet::IpAddress(test::ip("10.66.0.5"))), std::ssize(touched));
    EXPECT_FALSE(watcher().findEntry("10.66.0.5")->inSystemCache);

    ip({ "neigh", "add", "10.66.0.5", "lladdr", kMac2, "dev", "veth0", "nud", "permanent" });
    watcher().followChanges();
    EXPECT_TRUE(watcher().findEntry("10.66.0.5")->inSystemCache);
    watcher().refresh();
    EXPECT_EQ(alerts, std::vector { changed("10.66.0.5", "00-0C-29-11-22-33", "00-0C-29-44-55-66") });
}

TEST_F(ChangeFeedTest, TheSameAddressOnTwoInterfacesIsDecidedByItsFirstRowAsAReadDoes)
{
    // A second link of the host namespace, after veth0 in interface order.
    ip({ "link", "add", "second0", "type", "veth", "peer", "name", "second1" });
    ip({ "link", "set", "second0", "up" });
    ip({ "neigh", "add", "10.66.0.5", "lladdr", kMac1, "dev", "veth0", "nud", "permanent" });
    startWatcher();

    // A second row behind the first decides nothing, by the feed or by a read.
    ip({ "neigh", "add", "10.66.0.5", "lladdr", kMac2, "dev", "second0", "nud", "permanent" });
    watcher().followChanges();
    watcher().refresh();
    EXPECT_EQ(alerts, std::vector<std::string> {});

    // With the first row gone, the second speaks for the address.
    ip({ "neigh", "del", "10.66.0.5", "dev", "veth0" });
    watcher().followChanges();
    watcher().refresh();
    EXPECT_EQ(alerts, std::vector { changed("10.66.0.5", "00-0C-29-11-22-33", "00-0C-29-44-55-66") });
}

// The flush asks the kernel, not the feed's copy, which moves on only as
// changes are taken: entries added since then are flushed too.
TEST_F(ChangeFeedTest, AFlushRemovesEntriesTheFeedHasNotHandedOverYet)
{
    ip({ "neigh", "add", "10.66.0.5", "lladdr", kMac1, "dev", "veth0", "nud", "stale" });
    startWatcher();
    ipBatch({ "neigh add 10.66.0.6 lladdr 00:0c:29:00:00:06 dev veth0 nud stale",
        "neigh add 10.66.0.7 lladdr 00:0c:29:00:00:07 dev veth0 nud permanent" });

    EXPECT_EQ(watcher().flushSystemCache(), 0) << actionFailureTexts(watcher());
    EXPECT_EQ(listed(), std::vector<std::string> { "10.66.0.7" });
    watcher().followChanges();
    EXPECT_FALSE(watcher().findEntry("10.66.0.5")->inSystemCache);
    EXPECT_TRUE(watcher().findEntry("10.66.0.7")->inSystemCache);
    // The feed goes on after the flush.
    ip({ "neigh", "add", "10.66.0.8", "lladdr", kMac2, "dev", "veth0", "nud", "permanent" });
    EXPECT_EQ(watcher().followChanges(), std::vector<hostnet::IpAddress> { test::ip("10.66.0.8") });
}

// What a socket and a queue too small for a burst lose comes back through a
// whole read: every address ends with the kernel's last MAC, and that MAC is
// the last one reported for it. (The reading thread may keep up with the
// small socket; the small queue overruns for certain.)
TEST_F(ChangeFeedTest, ChangesLostInAnOverrunAreReportedAfterTheReread)
{
    constexpr int kAddresses = 200;
    std::vector<std::string> lines;
    for (int i = 1; i <= kAddresses; ++i)
        lines.push_back(
            "neigh add 10.66.1." + std::to_string(i) + " lladdr " + kMac1 + " dev veth0 nud permanent");
    ipBatch(lines);
    startWatcher(4096, 2048);

    lines.clear();
    for (int round = 1; round <= 3; ++round)
        for (int i = 1; i <= kAddresses; ++i) {
            char mac[32];
            std::snprintf(mac, sizeof mac, "02:00:00:%02x:%02x:00", round, i);
            lines.push_back(
                "neigh replace 10.66.1." + std::to_string(i) + " lladdr " + mac + " dev veth0 nud permanent");
        }
    ipBatch(lines);
    watcher().followChanges();
    EXPECT_GT(host().feedOverruns(), 0u);

    std::map<std::string, std::string> lastReported;
    for (const std::string& alert : alerts) {
        const auto at = alert.find(": 10.66.1.") + 2;
        const std::string address = alert.substr(at, alert.find(' ', at) - at);
        lastReported[address] = alert.substr(alert.rfind(' ') + 1);
    }
    ASSERT_EQ(lastReported.size(), std::size_t(kAddresses));
    for (int i = 1; i <= kAddresses; ++i) {
        char mac[32];
        std::snprintf(mac, sizeof mac, "02-00-00-03-%02X-00", i);
        const std::string address = "10.66.1." + std::to_string(i);
        EXPECT_EQ(lastReported[address], mac) << address;
        EXPECT_EQ(macText(watcher().findEntry(address)->mac.data()), mac) << address;
    }
    // The copy is right again: a whole read finds nothing more.
    const std::size_t reported = alerts.size();
    watcher().refresh();
    EXPECT_EQ(alerts.size(), reported);
}

// The table a whole read gets is served from the copy; after every take it must
// be the kernel's own, however the copy was last brought up to date.
TEST_F(ChangeFeedTest, TheTableServedAfterEachTakeIsTheKernels)
{
    ip({ "neigh", "add", "10.66.0.5", "lladdr", kMac1, "dev", "veth0", "nud", "permanent" });
    startWatcher(4096, 2048);
    std::vector<std::vector<std::string>> steps {
        { "neigh add 10.66.0.6 lladdr 00:0c:29:11:22:34 dev veth0 nud permanent" },
        { "neigh replace 10.66.0.5 lladdr 02:00:00:00:66:66 dev veth0 nud permanent" },
        { "neigh del 10.66.0.6 dev veth0" },
        { "neigh add 10.66.0.4 lladdr 00:0c:29:11:22:32 dev veth0 nud permanent",
            "neigh add 10.66.0.7 lladdr 00:0c:29:11:22:35 dev veth0 nud permanent" },
        {},  // more than the small queue holds: the copy is read anew
    };
    for (int i = 1; i <= 100; ++i)
        steps.back().push_back(
            "neigh add 10.66.2." + std::to_string(i) + " lladdr " + kMac2 + " dev veth0 nud permanent");
    hostnet::LinuxIpHelper kernel;
    for (const std::vector<std::string>& lines : steps) {
        ASSERT_EQ(host().getIpNetTable().rows, kernel.getIpNetTable().rows);
        ipBatch(lines);
        host().take();
        EXPECT_EQ(host().getIpNetTable().rows, kernel.getIpNetTable().rows) << lines.front();
    }
    EXPECT_GT(host().feedOverruns(), 0u);
}

// A whole read on the subscribed socket: dump rows and the notifications that
// came along with them, in the order they came.
struct ArrivalCase {
    const char* name;
    std::vector<hostnet::NeighbourNotice> arrivals;
    std::vector<std::pair<const char*, std::uint32_t>> rows;  // address and interface, in table order
};

void PrintTo(const ArrivalCase& c, std::ostream* os)
{
    *os << c.name;
}

hostnet::NeighbourNotice notice(const char* address, std::uint32_t interfaceIndex, bool present = true)
{
    hostnet::NeighbourNotice made { test::ip(address), interfaceIndex, std::nullopt };
    if (present)
        made.row
            = hostnet::MibIpNetRow { interfaceIndex, 6, {}, test::ip(address), hostnet::kNetTypeDynamic };
    return made;
}

const ArrivalCase kArrivalCases[] = {
    { "dump_order_is_not_address_order",
        { notice("10.66.0.9", 2), notice("10.66.0.10", 2), notice("10.66.0.1", 2) },
        { { "10.66.0.1", 2 }, { "10.66.0.9", 2 }, { "10.66.0.10", 2 } } },
    { "deleted_after_its_dump_row",
        { notice("10.66.0.5", 2), notice("10.66.0.6", 2), notice("10.66.0.5", 2, false) },
        { { "10.66.0.6", 2 } } },
    { "deleted_then_back", { notice("10.66.0.5", 2), notice("10.66.0.5", 2, false), notice("10.66.0.5", 2) },
        { { "10.66.0.5", 2 } } },
    { "deletion_of_one_interface_keeps_the_other",
        { notice("10.66.0.5", 3), notice("10.66.0.5", 2), notice("10.66.0.5", 3, false) },
        { { "10.66.0.5", 2 } } },
    { "two_interfaces_in_interface_order", { notice("10.66.0.5", 3), notice("10.66.0.5", 2) },
        { { "10.66.0.5", 2 }, { "10.66.0.5", 3 } } },
};

class RowsAsTheyEnd : public testing::TestWithParam<ArrivalCase> { };

TEST_P(RowsAsTheyEnd, AreTheLastWordOnEachRowInTableOrder)
{
    std::vector<std::pair<hostnet::IpAddress, std::uint32_t>> got;
    for (const auto& [key, row] : hostnet::NeighbourFollower::rowsAsTheyEnd(GetParam().arrivals))
        got.emplace_back(row.address, row.dwIndex);
    std::vector<std::pair<hostnet::IpAddress, std::uint32_t>> expected;
    for (const auto& [address, interfaceIndex] : GetParam().rows)
        expected.emplace_back(hostnet::IpAddress(test::ip(address)), interfaceIndex);
    EXPECT_EQ(got, expected);
}

INSTANTIATE_TEST_SUITE_P(Arrivals, RowsAsTheyEnd, testing::ValuesIn(kArrivalCases),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tevra::test
