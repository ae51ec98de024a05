// SPDX-License-Identifier: GPL-3.0-or-later
// The host layer's reads against the fake and the real table alike: the
// kernel's on Linux, and on Windows a namespace's table read through Wine.
#include "HostFixture.h"

#include "engine/Address.h"

#include <gtest/gtest.h>

#include <tuple>

namespace tevra::test {
namespace {

class HostReads : public HostTest { };

INSTANTIATE_TEST_SUITE_P(Hosts, HostReads, testing::Values(HostKind::Fake, HostKind::Kernel), hostKindName);

TEST_P(HostReads, ArpTableHoldsEveryArpEntryWithItsTypeInAddressOrder)
{
    addAll({
        { "10.66.0.20", "00:0c:29:00:00:20", Nud::Permanent },
        { "10.66.1.1", "00:0c:29:00:01:01",
            Nud::Permanent },  // first in network byte order, last in address order
        { "10.66.0.3", "00:0c:29:00:00:03", Nud::Reachable },
        { "10.66.0.10", "00:0c:29:00:00:10", Nud::Stale },  // before .9 as text, after it as a number
        { "10.66.0.9", "", Nud::Incomplete }, { "10.66.0.11", "", Nud::Failed },
        { "10.66.0.8", "00:0c:29:00:00:08", Nud::Noarp },  // not an ARP entry
    });
    const auto table = host->makeIpHelper()->getIpNetTable().rows;
    ASSERT_TRUE(table.has_value());
    const TableShape shape = host->shape();
    std::vector<std::string> expected {
        "10.66.0.3 00-0C-29-00-00-03/6 type 3 if 2",
        "10.66.0.9 " + shape.unresolved + " if 2",
        "10.66.0.10 00-0C-29-00-00-10/6 type 3 if 2",
        "10.66.0.11 " + shape.unresolved + " if 2",
        "10.66.0.20 00-0C-29-00-00-20/6 type 4 if 2",
        "10.66.1.1 00-0C-29-00-01-01/6 type 4 if 2",
    };
    expected.insert(expected.end(), shape.ownRows.begin(), shape.ownRows.end());
    EXPECT_EQ(describeAll(table), expected);
}

TEST_P(HostReads, AdaptersAndAddressesGiveOnePingTargetPerSubnet)
{
    ASSERT_TRUE(host->addAddress("10.77.0.1/16"));  // a second subnet, pinged as well
    const auto ipHelper = host->makeIpHelper();
    const auto adapters = ipHelper->getAdaptersInfo().rows;
    ASSERT_TRUE(adapters.has_value());
    ASSERT_EQ(adapters->size(), 1u);  // the loopback interface is no adapter
    EXPECT_EQ((*adapters)[0].Index, TestHost::kInterface);
    EXPECT_EQ((*adapters)[0].Description, host->shape().adapter);
    EXPECT_EQ(describeAll(ipHelper->getIpAddrTable().rows),
        (std::vector<std::string> { "10.66.0.1/255.255.255.0 if 2", "10.77.0.1/255.255.0.0 if 2" }));

    const NetworkConfig& config = watcher().networkConfig;
    EXPECT_EQ(config.adapterName(2), host->shape().adapter);
    EXPECT_EQ(config.adapterName(1), "unknown");
    EXPECT_EQ(config.pingTargets(),
        (std::vector<std::uint32_t> { *parseDottedQuad("10.66.0.255"), *parseDottedQuad("10.77.255.255") }));
}

// --- A mapping that changes between two refreshes ---

struct ChangeCase {
    const char* name;
    Neighbour before;
    Neighbour after;
    std::vector<std::string> alerts;
};

const ChangeCase kChangeCases[] = {
    { "mac_replaced", { "10.66.0.5", "00:0c:29:11:22:33", Nud::Reachable },
        { "10.66.0.5", "00:0c:29:44:55:66", Nud::Reachable },
        { "14:03:09: Mapping changed: 10.66.0.5 changed from 00-0C-29-11-22-33 to 00-0C-29-44-55-66" } },
    { "static_replaced", { "10.66.0.6", "00:0c:29:11:22:33", Nud::Permanent },
        { "10.66.0.6", "00:0c:29:44:55:66", Nud::Permanent },
        { "14:03:09: Mapping changed: 10.66.0.6 changed from 00-0C-29-11-22-33 to 00-0C-29-44-55-66" } },
    { "incomplete_resolved",  // a first MAC is a resolution, not a change
        { "10.66.0.7", "", Nud::Incomplete }, { "10.66.0.7", "00:0c:29:44:55:66", Nud::Reachable }, {} },
    { "same_mac_gone_stale", { "10.66.0.8", "00:0c:29:11:22:33", Nud::Reachable },
        { "10.66.0.8", "00:0c:29:11:22:33", Nud::Stale }, {} },
    { "broadcast_mac_given", { "10.66.0.9", "00:0c:29:11:22:33", Nud::Reachable },
        { "10.66.0.9", "ff:ff:ff:ff:ff:ff", Nud::Permanent },
        { "14:03:09: Broadcast MAC assigned: 10.66.0.9 has broadcast MAC FF-FF-FF-FF-FF-FF" } },
};

// Names the case in test output instead of dumping its bytes.
void PrintTo(const ChangeCase& change, std::ostream* os)
{
    *os << change.name;
}

class ChangeTest : public HostFixture, public testing::TestWithParam<std::tuple<HostKind, ChangeCase>> {
protected:
    void SetUp() override { startHost(std::get<0>(GetParam())); }
};

TEST_P(ChangeTest, RefreshReportsWhatTheReplaceChanged)
{
    const ChangeCase& change = std::get<1>(GetParam());
    ASSERT_TRUE(host->add(change.before));
    ASSERT_EQ(watcher().refresh(), 0);
    ASSERT_TRUE(alerts.empty());
    ASSERT_TRUE(host->replace(change.after));
    ASSERT_EQ(watcher().refresh(), 0);
    EXPECT_EQ(alerts, change.alerts);
}

INSTANTIATE_TEST_SUITE_P(Hosts, ChangeTest,
    testing::Combine(testing::Values(HostKind::Fake, HostKind::Kernel), testing::ValuesIn(kChangeCases)),
    [](const auto& info) {
        return hostKindName({ std::get<0>(info.param), info.index }) + "_" + std::get<1>(info.param).name;
    });

}  // namespace
}  // namespace tevra::test
