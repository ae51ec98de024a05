// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/Address.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>
#include <vector>

namespace tevra {

std::string dottedText(std::uint32_t netOrder)
{
    std::array<std::uint8_t, 4> parts {};
    std::memcpy(parts.data(), &netOrder, parts.size());
    std::string text;
    text.reserve(15);
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i > 0)
            text += '.';
        text += std::to_string(parts[i]);
    }
    return text;
}

std::optional<std::uint32_t> parseDottedQuad(std::string_view text)
{
    std::array<std::uint8_t, 4> parts {};
    std::size_t pos = 0;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        if (i > 0) {
            if (pos >= text.size() || text[pos] != '.')
                return std::nullopt;
            ++pos;
        }
        const std::size_t start = pos;
        unsigned value = 0;
        while (pos < text.size() && pos - start < 3 && text[pos] >= '0' && text[pos] <= '9')
            value = value * 10 + unsigned(text[pos++] - '0');
        const std::size_t digits = pos - start;
        if (digits == 0 || value > 255 || (digits > 1 && text[start] == '0'))
            return std::nullopt;
        parts[i] = std::uint8_t(value);
    }
    if (pos != text.size())
        return std::nullopt;
    std::uint32_t netOrder = 0;
    std::memcpy(&netOrder, parts.data(), parts.size());
    return netOrder;
}

namespace {

constexpr std::size_t kGroups = 8;

std::array<unsigned, kGroups> groupsOf(const IpAddress::V6Bytes& bytes)
{
    std::array<unsigned, kGroups> groups {};
    for (std::size_t i = 0; i < kGroups; ++i)
        groups[i] = unsigned(bytes[2 * i]) << 8 | bytes[2 * i + 1];
    return groups;
}

// The longest run of two or more zero groups, the first of equals; {kGroups, 0} when none.
std::pair<std::size_t, std::size_t> longestZeroRun(const std::array<unsigned, kGroups>& groups)
{
    std::pair<std::size_t, std::size_t> best { kGroups, 0 };
    for (std::size_t i = 0; i < kGroups;) {
        std::size_t end = i;
        while (end < kGroups && groups[end] == 0)
            ++end;
        if (end - i > best.second && end - i >= 2)
            best = { i, end - i };
        i = end == i ? i + 1 : end;
    }
    return best;
}

void appendHex(std::string& text, unsigned group)
{
    static constexpr char kDigits[] = "0123456789abcdef";
    bool started = false;
    for (int shift = 12; shift >= 0; shift -= 4) {
        const unsigned digit = (group >> unsigned(shift)) & 0xfu;
        started = started || digit != 0 || shift == 0;
        if (started)
            text += kDigits[digit];
    }
}

std::string v6Text(const IpAddress::V6Bytes& bytes)
{
    const auto groups = groupsOf(bytes);
    const auto [zeroStart, zeroLength] = longestZeroRun(groups);
    // ::a.b.c.d and ::ffff:a.b.c.d keep the IPv4 address dotted, as inet_ntop does.
    const bool embedsV4 = zeroStart == 0 && (zeroLength == 6 || (zeroLength == 5 && groups[5] == 0xffff));
    std::string text;
    text.reserve(39);
    for (std::size_t i = 0; i < kGroups; ++i) {
        if (i == zeroStart) {
            text += "::";
            i += zeroLength - 1;
            continue;
        }
        if (embedsV4 && i == 6) {
            text += dottedText(IpAddress::v4Bytes(bytes[12], bytes[13], bytes[14], bytes[15]).v4Value());
            break;
        }
        appendHex(text, groups[i]);
        if (i + 1 < kGroups && i + 1 != zeroStart)
            text += ':';
    }
    return text;
}

std::optional<unsigned> hexGroup(std::string_view part)
{
    if (part.empty() || part.size() > 4)
        return std::nullopt;
    unsigned value = 0;
    for (const char c : part) {
        const bool digit = c >= '0' && c <= '9';
        const bool lower = c >= 'a' && c <= 'f';
        const bool upper = c >= 'A' && c <= 'F';
        if (!digit && !lower && !upper)
            return std::nullopt;
        value = value * 16 + unsigned(digit ? c - '0' : (lower ? c - 'a' : c - 'A') + 10);
    }
    return value;
}

// The groups of one side of "::" (or of a whole address without it); a last
// part in dotted form counts as two groups.
std::optional<std::vector<unsigned>> groupsOfSide(std::string_view side, bool lastSide)
{
    std::vector<unsigned> groups;
    if (side.empty())
        return groups;
    std::size_t start = 0;
    while (true) {
        const std::size_t colon = side.find(':', start);
        const std::string_view part
            = side.substr(start, colon == std::string_view::npos ? colon : colon - start);
        const bool last = colon == std::string_view::npos;
        if (last && lastSide && part.find('.') != std::string_view::npos) {
            const auto v4 = parseDottedQuad(part);
            if (!v4)
                return std::nullopt;
            const auto quad = IpAddress::v4(*v4);
            groups.push_back(unsigned(quad.data()[0]) << 8 | quad.data()[1]);
            groups.push_back(unsigned(quad.data()[2]) << 8 | quad.data()[3]);
            return groups;
        }
        const auto group = hexGroup(part);
        if (!group || groups.size() >= kGroups)
            return std::nullopt;
        groups.push_back(*group);
        if (last)
            return groups;
        start = colon + 1;
    }
}

std::optional<IpAddress::V6Bytes> parseV6(std::string_view text)
{
    const std::size_t gap = text.find("::");
    if (gap != std::string_view::npos && text.find("::", gap + 1) != std::string_view::npos)
        return std::nullopt;
    const std::string_view head = gap == std::string_view::npos ? text : text.substr(0, gap);
    const std::string_view tail = gap == std::string_view::npos ? std::string_view {} : text.substr(gap + 2);
    const auto front = groupsOfSide(head, gap == std::string_view::npos);
    const auto back = groupsOfSide(tail, true);
    if (!front || !back)
        return std::nullopt;
    const std::size_t given = front->size() + back->size();
    if (gap == std::string_view::npos ? given != kGroups : given >= kGroups)
        return std::nullopt;
    std::array<unsigned, kGroups> groups {};
    std::copy(front->begin(), front->end(), groups.begin());
    std::copy(back->begin(), back->end(), groups.end() - std::ptrdiff_t(back->size()));
    IpAddress::V6Bytes bytes {};
    for (std::size_t i = 0; i < kGroups; ++i) {
        bytes[2 * i] = std::uint8_t(groups[i] >> 8);
        bytes[2 * i + 1] = std::uint8_t(groups[i]);
    }
    return bytes;
}

}  // namespace

std::string addressText(const IpAddress& address)
{
    return address.isV4() ? dottedText(address.v4Value()) : v6Text(address.v6Bytes());
}

std::optional<IpAddress> parseAddress(std::string_view text, std::uint32_t zone)
{
    if (text.find(':') == std::string_view::npos) {
        const auto v4 = parseDottedQuad(text);
        return v4 ? std::optional(IpAddress::v4(*v4)) : std::nullopt;
    }
    const auto v6 = parseV6(text);
    return v6 ? std::optional(IpAddress::v6(*v6, zone)) : std::nullopt;
}

std::optional<ZonedText> splitZone(std::string_view text)
{
    const std::size_t percent = text.find('%');
    if (percent == std::string_view::npos)
        return ZonedText { text, std::nullopt };
    const std::string_view digits = text.substr(percent + 1);
    std::uint64_t zone = 0;
    if (digits.empty() || digits.size() > 10)
        return std::nullopt;
    for (const char c : digits) {
        if (c < '0' || c > '9')
            return std::nullopt;
        zone = zone * 10 + std::uint64_t(c - '0');
    }
    if (zone > 0xFFFFFFFFu)
        return std::nullopt;
    return ZonedText { text.substr(0, percent), std::uint32_t(zone) };
}

std::string zonedAddressText(const IpAddress& address)
{
    std::string text = addressText(address);
    if (address.zone() != 0)
        text += '%' + std::to_string(address.zone());
    return text;
}

std::optional<IpAddress> parseZonedAddress(std::string_view text)
{
    const std::optional<ZonedText> zoned = splitZone(text);
    if (!zoned)
        return std::nullopt;
    std::optional<IpAddress> address = parseAddress(zoned->address, zoned->zone.value_or(0));
    // A zone belongs to a link-local address alone.
    if (address && zoned->zone && !address->isLinkLocal())
        return std::nullopt;
    return address;
}

}  // namespace tevra
