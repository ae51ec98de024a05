// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "engine/MacAddress.h"
#include "hostnet/IpAddress.h"

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace tevra::cli {

// One --ignore rule: an IPv4 address, a whole MAC address, or the first 3 to 5
// bytes of one (a vendor's or a protocol's range, such as VRRP's 00-00-5E-00-01);
// or, written KIND@WHAT, one kind of alert about an address or a MAC, or all
// of that kind (KIND@all).
struct IgnoreRule {
    // A link-local IPv6 address without a zone stands for it on every interface.
    std::optional<hostnet::IpAddress> address;
    std::vector<std::uint8_t> macPrefix;  // 3 to 6 bytes when there is no address
    std::optional<std::int32_t> kind;  // none: every kind
    bool everything = false;  // KIND@all
};

// The rule a text names, or nothing. MAC bytes are two hex digits each,
// separated by '-' or ':'; a kind is named as the JSON output names it.
std::optional<IgnoreRule> parseIgnoreRule(std::string_view text);

// What an alert is about, as the rules of one kind look at it.
struct IgnoreSubject {
    std::int32_t kind = 0;
    std::vector<hostnet::IpAddress> addresses;  // the address, and the second one or the gateways
    std::optional<MacBytes> mac;
    std::optional<MacBytes> previousMac;
};

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
    bool matches(const hostnet::IpAddress& address, const std::optional<MacBytes>& mac,
        const std::optional<MacBytes>& previousMac = std::nullopt) const;

    // Whether a rule of the alert's own kind silences it: KIND@all, one of its
    // addresses, or its MAC or the MAC the address had before (so that
    // duplicate-mac@<backup router's MAC> silences a failover pair both ways).
    bool matchesKind(const IgnoreSubject& subject) const;

private:
    bool macIgnored(const std::optional<MacBytes>& mac) const;

    std::vector<IgnoreRule> rules_;
};

}  // namespace tevra::cli
