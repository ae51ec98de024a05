#pragma once

#include "engine/MacAddress.h"

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace tevra::cli {

// One --ignore rule: an IPv4 address, a whole MAC address, or the first 3 to 5
// bytes of one (a vendor's or a protocol's range, such as VRRP's 00-00-5E-00-01).
struct IgnoreRule {
    std::optional<std::uint32_t> address;  // network byte order
    std::vector<std::uint8_t> macPrefix;  // 3 to 6 bytes when there is no address
};

// The rule a text names, or nothing. MAC bytes are two hex digits each,
// separated by '-' or ':'.
std::optional<IgnoreRule> parseIgnoreRule(std::string_view text);

class IgnoreList {
public:
    void add(IgnoreRule rule) { rules_.push_back(std::move(rule)); }
    bool empty() const { return rules_.empty(); }
    std::size_t size() const { return rules_.size(); }

    // Whether an alert about `address`, which now has `mac` and had
    // `previousMac` before (none when it never had another), is to be kept
    // quiet. An address rule silences every alert about it. A MAC rule
    // silences one only when the address also had an ignored MAC before, or
    // never had another: a host moving into an ignored range (an attacker
    // borrowing a VRRP MAC) is always reported, and so is another host
    // taking an ignored router's address.
    bool matches(std::uint32_t address, const std::optional<MacBytes>& mac,
        const std::optional<MacBytes>& previousMac = std::nullopt) const;

private:
    bool macIgnored(const std::optional<MacBytes>& mac) const;

    std::vector<IgnoreRule> rules_;
};

}  // namespace tevra::cli
