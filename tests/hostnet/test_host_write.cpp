// SPDX-License-Identifier: GPL-3.0-or-later
// The host layer's actions on the table, against the fake and the real kernel
// alike. Linux only: under Wine, DeleteIpNetEntry and FlushIpNetTable are stubs,
// and the Windows layer's calls are checked against a scripted API instead.
#include "HostFixture.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cerrno>
#include <chrono>

namespace tevra::test {
namespace {

using namespace std::chrono_literals;

class HostActions : public HostTest { };

INSTANTIATE_TEST_SUITE_P(Hosts, HostActions, testing::Values(HostKind::Fake, HostKind::Kernel), hostKindName);

TEST_P(HostActions, DeleteRemovesOneEntryAndFailsWhenItIsGone)
{
    addAll({ { "10.66.0.5", "00:0c:29:00:00:05", Nud::Reachable },
        { "10.66.0.6", "00:0c:29:00:00:06", Nud::Permanent } });
    ASSERT_EQ(watcher().refresh(), 0);
    EXPECT_EQ(watcher().deleteFromSystemCache("10.66.0.5"), 0);
    EXPECT_EQ(host->listedAddresses(), (std::vector<std::string> { "10.66.0.6" }));
    EXPECT_EQ(watcher().deleteFromSystemCache("10.66.0.5"), -1);
    EXPECT_EQ(watcher().deleteFromSystemCache("10.66.0.6"), 0);  // static entries go too, one by one
    EXPECT_TRUE(host->listedAddresses().empty());
}

TEST_P(HostActions, FlushRemovesAllButStaticEntries)
{
    addAll({
        { "10.66.0.5", "00:0c:29:00:00:05", Nud::Permanent },
        { "10.66.0.6", "00:0c:29:00:00:06", Nud::Reachable },
        { "10.66.0.7", "00:0c:29:00:00:07", Nud::Stale },
        { "10.66.0.8", "", Nud::Incomplete },
        { "10.66.0.9", "", Nud::Failed },
    });
    EXPECT_EQ(watcher().flushSystemCache(), 0);
    EXPECT_EQ(host->listedAddresses(), (std::vector<std::string> { "10.66.0.5" }));
}

TEST_P(HostActions, FlushOfAnInterfaceThatDoesNotExistFailsWithAReason)
{
    addAll({ { "10.66.0.5", "00:0c:29:00:00:05", Nud::Reachable } });
    const auto ipHelper = host->makeIpHelper();
    const hostnet::ActionResult flushed = ipHelper->flushIpNetTable(99);
    EXPECT_EQ(flushed.status, -1);
    EXPECT_NE(flushed.reason, "");
    EXPECT_EQ(host->listedAddresses(), (std::vector<std::string> { "10.66.0.5" }));
}

TEST_P(HostActions, DiscoverByPingSendsOneEchoRequestToTheSubnetBroadcast)
{
    EXPECT_EQ(watcher().discoverByPing(), 0);
    EXPECT_EQ(host->echoRequests("10.66.0.255", 2s), 1);
    // The ping was not left as a zombie of ours: we have no child at all.
    EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
}

}  // namespace
}  // namespace tevra::test
