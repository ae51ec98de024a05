#include "cli/IgnoreList.h"
#include "engine/Address.h"

#include <gtest/gtest.h>

namespace tevra::cli {
namespace {

std::uint32_t ip(const char* dotted)
{
    return *parseDottedQuad(dotted);
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
    std::optional<MacBytes> previousMac;  // for a changed mapping, the MAC it had
    bool ignored;
};

void PrintTo(const RuleCase& c, std::ostream* os)
{
    *os << c.name;
}

const MacBytes kVrrp = mac({ 0x00, 0x00, 0x5E, 0x00, 0x01, 0x07 });
const MacBytes kVrrpOther = mac({ 0x00, 0x00, 0x5E, 0x00, 0x01, 0x99 });
const MacBytes kVmware = mac({ 0x00, 0x0C, 0x29, 0x11, 0x22, 0x33 });
const MacBytes kVmwareOther = mac({ 0x00, 0x0C, 0x29, 0xAA, 0xBB, 0x09 });

const RuleCase kRuleCases[] = {
    { "no_rule", nullptr, "10.0.0.1", kVmware, std::nullopt, false },
    { "address", "10.0.0.1", "10.0.0.1", kVmware, std::nullopt, true },
    { "address_whatever_the_macs", "10.0.0.1", "10.0.0.1", kVrrp, kVmware, true },
    { "other_address", "10.0.0.1", "10.0.0.10", kVmware, std::nullopt, false },
    { "whole_mac", "00-0C-29-11-22-33", "10.0.0.1", kVmware, std::nullopt, true },
    { "whole_mac_colons_lower_case", "00:0c:29:11:22:33", "10.0.0.1", kVmware, std::nullopt, true },
    { "other_mac", "00-0C-29-11-22-34", "10.0.0.1", kVmware, std::nullopt, false },
    { "vrrp_prefix_five_bytes", "00-00-5E-00-01", "10.0.0.254", kVrrp, std::nullopt, true },
    { "vendor_prefix_three_bytes", "00:0C:29", "10.0.0.1", kVmware, std::nullopt, true },
    { "prefix_not_matching", "00-00-5E-00-02", "10.0.0.254", kVrrp, std::nullopt, false },
    { "mac_rule_and_alert_without_mac", "00-0C-29", "10.0.0.1", std::nullopt, std::nullopt, false },
    // A change within the ignored range, as between two VRRP routers.
    { "change_within_the_range", "00-00-5E-00-01", "10.0.0.254", kVrrpOther, kVrrp, true },
    // A host moving into the ignored range is a hijack dressed as a router.
    { "change_into_the_range", "00-00-5E-00-01", "10.0.0.9", kVrrpOther, kVmwareOther, false },
    // Another host taking an ignored router's address.
    { "change_out_of_the_range", "00-00-5E-00-01", "10.0.0.254", kVmwareOther, kVrrp, false },
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
             "00-0C:29", "0-0C-29", "000C29", "00-0C-29-", "00-0C-2G", "+0-0C-29", "10.0.0.0/24" })
        EXPECT_FALSE(parseIgnoreRule(text)) << text;
}

}  // namespace
}  // namespace tevra::cli
