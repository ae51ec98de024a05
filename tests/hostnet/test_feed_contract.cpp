// SPDX-License-Identifier: GPL-3.0-or-later
// The change feed against the fake and the real table alike: what the engine
// relies on is that each address's last change, once the feed has handed over
// what was done, says the row the table holds, deletions included.
#include "HostFixture.h"

#include "engine/Address.h"
#include "hostnet/ChangeFeed.h"

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace tevra::test {
namespace {

class FeedContract : public HostTest { };

INSTANTIATE_TEST_SUITE_P(
    Hosts, FeedContract, testing::Values(HostKind::Fake, HostKind::Kernel), hostKindName);

using LastWords = std::map<std::string, std::string>;  // address → its row, or "gone"

// Takes from the feed until each address of `expected` has had its last word
// as expected, or 5 s have passed; what it had by then.
LastWords takeUntil(hostnet::ChangeFeed& feed, const LastWords& expected)
{
    LastWords said;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    const auto settled = [&] {
        for (const auto& [address, row] : expected)
            if (!said.contains(address) || said.at(address) != row)
                return false;
        return true;
    };
    while (!settled() && std::chrono::steady_clock::now() < deadline) {
        for (const hostnet::NetTableChange& change : feed.take())
            said[addressText(change.address)] = change.row ? describe(*change.row) : "gone";
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return said;
}

TEST_P(FeedContract, TheLastChangeOfEachAddressIsItsRowInTheTable)
{
    addAll({ { "10.66.0.5", "00:0c:29:00:00:05", Nud::Reachable },
        { "10.66.0.6", "00:0c:29:00:00:06", Nud::Stale }, { "10.66.0.7", "00:0c:29:00:00:07", Nud::Stale } });
    const auto ipHelper = host->makeIpHelper();
    hostnet::ChangeFeed* const feed = ipHelper->changeFeed();
    if (feed == nullptr)
        GTEST_SKIP() << "this host has no change feed: its callers read the whole table";
    ASSERT_TRUE(feed->open().ok());

    ASSERT_TRUE(host->replace({ "10.66.0.5", "00:0c:29:00:00:55", Nud::Reachable }));  // a forgery
    ASSERT_TRUE(host->add({ "10.66.0.8", "00:0c:29:00:00:08", Nud::Permanent }));  // a newcomer
    ASSERT_TRUE(host->replace({ "10.66.0.6", "00:0c:29:00:00:06", Nud::Noarp }));  // no ARP entry now
    const hostnet::MibIpNetRow seventh { TestHost::kInterface, 6, {}, *parseAddress("10.66.0.7"), 3 };
    const hostnet::ActionResult deleted = ipHelper->deleteIpNetEntry(seventh);  // our own delete
    ASSERT_TRUE(deleted.ok()) << deleted.reason;

    const LastWords expected { { "10.66.0.5", "10.66.0.5 00-0C-29-00-00-55/6 type 3 if 2" },
        { "10.66.0.6", "gone" }, { "10.66.0.7", "gone" },
        { "10.66.0.8", "10.66.0.8 00-0C-29-00-00-08/6 type 4 if 2" } };
    LastWords said = takeUntil(*feed, expected);
    std::erase_if(said, [&expected](const auto& word) { return !expected.contains(word.first); });
    EXPECT_EQ(said, expected);
    EXPECT_EQ(feed->counts(), hostnet::FeedCounts {});
}

}  // namespace
}  // namespace tevra::test
