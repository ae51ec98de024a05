// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/IgnoreList.h"

#include "cli/Alert.h"
#include "engine/Address.h"

#include <algorithm>

namespace tevra::cli {

namespace {

std::optional<std::int32_t> kindNamed(std::string_view name)
{
    for (std::int32_t kind = 0; kind <= NotInSubnet; ++kind)
        if (name == alertKindName(kind))
            return kind;
    return std::nullopt;
}

bool addressMatches(const IgnoreRule& rule, const hostnet::IpAddress& address)
{
    if (!rule.address)
        return false;
    if (rule.address->zone() != 0)
        return *rule.address == address;
    return rule.address->family() == address.family() && rule.address->v6Bytes() == address.v6Bytes();
}

bool macMatches(const IgnoreRule& rule, const std::optional<MacBytes>& mac)
{
    return mac.has_value() && !rule.address && !rule.everything
        && std::equal(rule.macPrefix.begin(), rule.macPrefix.end(), mac->begin());
}

}  // namespace

std::optional<IgnoreRule> parseIgnoreRule(std::string_view text)
{
    std::optional<std::int32_t> kind;
    if (const std::size_t at = text.find('@'); at != std::string_view::npos) {
        kind = kindNamed(text.substr(0, at));
        if (!kind)
            return std::nullopt;
        text.remove_prefix(at + 1);
        if (text == "all")
            return IgnoreRule { std::nullopt, {}, kind, true };
    }
    if (const auto address = parseZonedAddress(text))
        return IgnoreRule { address, {}, kind };
    const auto bytes = parseMacBytes(text);
    if (!bytes || bytes->size() < 3 || bytes->size() > 6)
        return std::nullopt;
    return IgnoreRule { std::nullopt, *bytes, kind };
}

bool IgnoreList::macIgnored(const std::optional<MacBytes>& mac) const
{
    return std::ranges::any_of(
        rules_, [&](const IgnoreRule& rule) { return !rule.kind && macMatches(rule, mac); });
}

bool IgnoreList::matchesKind(const IgnoreSubject& subject) const
{
    return std::ranges::any_of(rules_, [&](const IgnoreRule& rule) {
        return rule.kind == subject.kind
            && (rule.everything
                || std::ranges::any_of(subject.addresses,
                    [&rule](const hostnet::IpAddress& address) { return addressMatches(rule, address); })
                || macMatches(rule, subject.mac) || macMatches(rule, subject.previousMac));
    });
}

bool IgnoreList::matches(const hostnet::IpAddress& address, const std::optional<MacBytes>& mac,
    const std::optional<MacBytes>& previousMac) const
{
    const bool addressIgnored = std::ranges::any_of(
        rules_, [&](const IgnoreRule& rule) { return !rule.kind && addressMatches(rule, address); });
    return addressIgnored || (macIgnored(mac) && (!previousMac || macIgnored(previousMac)));
}

}  // namespace tevra::cli
