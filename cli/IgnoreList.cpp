#include "cli/IgnoreList.h"

#include "engine/Address.h"

#include <algorithm>
#include <charconv>

namespace tevra::cli {
namespace {

std::optional<std::vector<std::uint8_t>> parseMacBytes(std::string_view text)
{
    std::vector<std::uint8_t> bytes;
    const char separator = text.size() > 2 ? text[2] : '-';
    if (separator != '-' && separator != ':')
        return std::nullopt;
    // Groups of exactly two hex digits, one separator between them.
    for (std::size_t at = 0;; at += 3) {
        if (at + 2 > text.size())
            return std::nullopt;
        std::uint8_t value = 0;
        const char* first = text.data() + at;
        const auto [end, error] = std::from_chars(first, first + 2, value, 16);
        if (error != std::errc() || end != first + 2)
            return std::nullopt;
        bytes.push_back(value);
        if (at + 2 == text.size())
            return bytes;
        if (text[at + 2] != separator)
            return std::nullopt;
    }
}

}  // namespace

std::optional<IgnoreRule> parseIgnoreRule(std::string_view text)
{
    if (const auto address = parseDottedQuad(text))
        return IgnoreRule { address, {} };
    const auto bytes = parseMacBytes(text);
    if (!bytes || bytes->size() < 3 || bytes->size() > 6)
        return std::nullopt;
    return IgnoreRule { std::nullopt, *bytes };
}

bool IgnoreList::coversMac(const MacBytes& mac) const
{
    return std::ranges::any_of(rules_, [&](const IgnoreRule& rule) {
        return !rule.address && std::equal(rule.macPrefix.begin(), rule.macPrefix.end(), mac.begin());
    });
}

bool IgnoreList::matches(std::uint32_t address, const std::optional<MacBytes>& mac,
    const std::optional<MacBytes>& previousMac) const
{
    const bool addressRule
        = std::ranges::any_of(rules_, [&](const IgnoreRule& rule) { return rule.address == address; });
    if (addressRule)
        return true;
    return mac && coversMac(*mac) && (!previousMac || coversMac(*previousMac));
}

}  // namespace tevra::cli
