// SPDX-License-Identifier: GPL-3.0-or-later
// The holders of one MAC: the first kept in place, the rest in a set, and
// every holder kept or dropped whichever of the two it sits in.
#include "engine/MacHolders.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

namespace tevra {
namespace {

IpAddress v4(std::uint32_t host)
{
    return IpAddress::v4(hostToNet(host));
}

std::set<IpAddress> addresses(const std::set<std::uint32_t>& hosts)
{
    std::set<IpAddress> result;
    for (const std::uint32_t host : hosts)
        result.insert(v4(host));
    return result;
}

std::set<IpAddress> holdersOf(MacHolders& holders)
{
    std::set<IpAddress> seen;
    holders.keepIf([&seen](const IpAddress& address) {
        EXPECT_TRUE(seen.insert(address).second) << "visited twice";
        return true;
    });
    return seen;
}

struct HoldersCase {
    const char* name;
    std::vector<std::uint32_t> inserted;
    std::set<std::uint32_t> dropped;
    std::set<std::uint32_t> left;
};

class MacHoldersCases : public testing::TestWithParam<HoldersCase> { };

TEST_P(MacHoldersCases, KeepsEachHolderOnceAndDropsWhatIsRefused)
{
    const HoldersCase& c = GetParam();
    MacHolders holders;
    for (const std::uint32_t host : c.inserted)
        holders.insert(v4(host));
    const std::set<IpAddress> dropped = addresses(c.dropped);
    holders.keepIf([&dropped](const IpAddress& address) { return !dropped.contains(address); });
    std::set<IpAddress> expected = addresses(c.left);
    EXPECT_EQ(holdersOf(holders), expected);
    // What is left takes holders again, and new ones, as a fresh list would.
    for (const IpAddress& address : expected)
        holders.insert(address);
    holders.insert(v4(99));
    expected.insert(v4(99));
    EXPECT_EQ(holdersOf(holders), expected);
}

INSTANTIATE_TEST_SUITE_P(Holders, MacHoldersCases,
    testing::Values(HoldersCase { "none", {}, {}, {} }, HoldersCase { "one", { 1 }, {}, { 1 } },
        HoldersCase { "the_same_twice", { 1, 1 }, {}, { 1 } },
        HoldersCase { "the_first_again_after_others", { 1, 2, 3, 1, 2 }, {}, { 1, 2, 3 } },
        HoldersCase { "the_only_one_dropped", { 1 }, { 1 }, {} },
        HoldersCase { "the_first_dropped_a_later_one_takes_its_place", { 1, 2, 3 }, { 1 }, { 2, 3 } },
        HoldersCase { "all_but_the_last_dropped", { 1, 2, 3 }, { 1, 2 }, { 3 } },
        HoldersCase { "all_dropped", { 1, 2, 3 }, { 1, 2, 3 }, {} },
        HoldersCase { "later_ones_dropped", { 1, 2, 3 }, { 2, 3 }, { 1 } }),
    [](const testing::TestParamInfo<HoldersCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tevra
