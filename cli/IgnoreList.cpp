#include "cli/IgnoreList.h"

#include "engine/Address.h"

#include <algorithm>

namespace tevra::cli {

std::optional<IgnoreRule> parseIgnoreRule(std::string_view text)
{
    if (const auto address = parseDottedQuad(text))
        return IgnoreRule { address, {} };
    const auto bytes = parseMacBytes(text);
    if (!bytes || bytes->size() < 3 || bytes->size() > 6)
        return std::nullopt;
    return IgnoreRule { std::nullopt, *bytes };
}

bool IgnoreList::macIgnored(const std::optional<MacBytes>& mac) const
{
    return mac.has_value() && std::ranges::any_of(rules_, [&](const IgnoreRule& rule) {
        return !rule.address && std::equal(rule.macPrefix.begin(), rule.macPrefix.end(), mac->begin());
    });
}

bool IgnoreList::matches(std::uint32_t address, const std::optional<MacBytes>& mac,
    const std::optional<MacBytes>& previousMac) const
{
    const bool addressIgnored
        = std::ranges::any_of(rules_, [&](const IgnoreRule& rule) { return rule.address == address; });
    return addressIgnored || (macIgnored(mac) && (!previousMac || macIgnored(previousMac)));
}

}  // namespace tevra::cli
