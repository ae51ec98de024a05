// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/IgnoreList.h"
#include "engine/Address.h"
#include "engine/WatchEvent.h"

#include <gtest/gtest.h>

namespace tevra::cli {
namespace {

hostnet::IpAddress ip(const char* text)
{
    return *parseZonedAddress(text);
}

MacBytes mac(std::initializer_list<std::uint8_t> bytes)
{
    MacBytes result {};
    std::copy(bytes.begin(), bytes.end(), result.begin());
    return result;
}

struct RuleCase {
    const char* name;
    const char* rule;  // nullptr: no rule given
    const char* address;
    std::optional<MacBytes> mac;
    bool ignored;
    std::optional<MacBytes> previousMac = std::nullopt;
};

void PrintTo(const RuleCase& c, std::ostream* os)
{
    *os << c.name;
}

const MacBytes kVrrp = mac({ 0x00, 0x00, 0x5E, 0x00, 0x01, 0x07 });
const MacBytes kVmware = mac({ 0x00, 0x0C, 0x29, 0x11, 0x22, 0x33 });
const MacBytes kOtherVrrp = mac({ 0x00, 0x00, 0x5E, 0x00, 0x01, 0x99 });

const RuleCase kRuleCases[] = {
    { "no_rule", nullptr, "10.0.0.1", kVmware, false },
    { "address", "10.0.0.1", "10.0.0.1", kVmware, true },
    { "other_address", "10.0.0.1", "10.0.0.10", kVmware, false },
    { "whole_mac", "00-0C-29-11-22-33", "10.0.0.1", kVmware, true },
    { "whole_mac_colons_lower_case", "00:0c:29:11:22:33", "10.0.0.1", kVmware, true },
    { "other_mac", "00-0C-29-11-22-34", "10.0.0.1", kVmware, false },
    { "vrrp_prefix_five_bytes", "00-00-5E-00-01", "10.0.0.254", kVrrp, true },
    { "vendor_prefix_three_bytes", "00:0C:29", "10.0.0.1", kVmware, true },
    { "prefix_not_matching", "00-00-5E-00-02", "10.0.0.254", kVrrp, false },
    { "mac_rule_and_alert_without_mac", "00-0C-29", "10.0.0.1", std::nullopt, false },
    // A host moving into the ignored range is a hijack, not the ignored router.
    { "change_into_ignored_range", "00-00-5E-00-01", "10.0.0.9", kOtherVrrp, false, kVmware },
    { "change_within_ignored_range", "00-00-5E-00-01", "10.0.0.254", kOtherVrrp, true, kVrrp },
    // Another host taking the ignored router's address.
    { "change_out_of_ignored_range", "00-00-5E-00-01", "10.0.0.254", kVmware, false, kVrrp },
    { "address_rule_whatever_the_macs", "10.0.0.9", "10.0.0.9", kOtherVrrp, true, kVmware },
    { "ipv6_global", "2001:db8::1", "2001:db8::1", kVmware, true },
    { "ipv6_global_written_long", "2001:DB8:0:0:0:0:0:1", "2001:db8::1", kVmware, true },
    { "ipv6_other_global", "2001:db8::1", "2001:db8::1:0", kVmware, false },
    { "ipv6_link_local_any_interface", "fe80::1", "fe80::1%2", kVmware, true },
    { "ipv6_link_local_any_other_interface", "fe80::1", "fe80::1%7", kVmware, true },
    { "ipv6_link_local_its_interface", "fe80::1%2", "fe80::1%2", kVmware, true },
    { "ipv6_link_local_other_interface", "fe80::1%2", "fe80::1%3", kVmware, false },
    { "ipv6_link_local_other_address", "fe80::1", "fe80::2%2", kVmware, false },
    // The same 32 bits in the other family are another address.
    { "ipv4_rule_mapped_ipv6_address", "10.0.0.1", "::ffff:10.0.0.1", kVmware, false },
    { "mapped_ipv6_rule_ipv4_address", "::ffff:10.0.0.1", "10.0.0.1", kVmware, false },
    { "ipv6_kind_rule_other_kind", "mapping-changed@2001:db8::1", "2001:db8::1", kVmware, false },
};

class IgnoreRules : public testing::TestWithParam<RuleCase> { };

TEST_P(IgnoreRules, MatchAddressOrMac)
{
    const RuleCase& c = GetParam();
    IgnoreList list;
    if (c.rule != nullptr) {
        auto rule = parseIgnoreRule(c.rule);
        ASSERT_TRUE(rule) << c.rule;
        list.add(*rule);
    }
    EXPECT_EQ(list.matches(ip(c.address), c.mac, c.previousMac), c.ignored);
}

INSTANTIATE_TEST_SUITE_P(Cases, IgnoreRules, testing::ValuesIn(kRuleCases),
    [](const auto& info) { return std::string(info.param.name); });

TEST(IgnoreRules, RefusesWhatIsNeitherAddressNorMac)
{
    for (const char* text : { "", "router", "10.0.0", "10.0.0.256", "00-0C", "00-0C-29-11-22-33-44",
             "00-0C:29", "0-0C-29", "000C29", "00-0C-29-", "00-0C-2G", "+0-0C-29", "10.0.0.0/24",
             "2001:db8::1::2", "2001:db8::g", "2001:db8:0:0:0:0:0:0:1", "[2001:db8::1]", "2001:db8::/64",
             "fe80::1%", "fe80::1%eth0", "fe80::1%-1", "fe80::1%2x", "fe80::1%99999999999", "fe80::1%2%3",
             "mapping-changed@fe80::1%eth0" })
        EXPECT_FALSE(parseIgnoreRule(text)) << text;
}

// A rule of one kind looks at each address the alert names, with the same
// zone rules as one of every kind.
TEST(IgnoreRules, KindRulesTakeIpv6Addresses)
{
    struct KindCase {
        const char* rule;
        const char* address;
        bool ignored;
    };
    const KindCase cases[] = {
        { "mapping-changed@2001:db8::1", "2001:db8::1", true },
        { "mapping-changed@fe80::1", "fe80::1%4", true },
        { "mapping-changed@fe80::1%4", "fe80::1%4", true },
        { "mapping-changed@fe80::1%4", "fe80::1%5", false },
        { "duplicate-mac@2001:db8::1", "2001:db8::1", false },
    };
    for (const KindCase& c : cases) {
        IgnoreList list;
        auto rule = parseIgnoreRule(c.rule);
        ASSERT_TRUE(rule) << c.rule;
        list.add(*rule);
        const IgnoreSubject subject { MappingChanged, { ip("10.0.0.1"), ip(c.address) }, kVmware,
            std::nullopt };
        EXPECT_EQ(list.matchesKind(subject), c.ignored) << c.rule << " " << c.address;
    }
}

}  // namespace
}  // namespace tevra::cli
