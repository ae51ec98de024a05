// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/MacAddress.h"

#include <charconv>
#include <cstdio>

namespace tevra {

std::string macText(const std::uint8_t* mac)
{
    char text[18];
    std::snprintf(
        text, sizeof text, "%02X-%02X-%02X-%02X-%02X-%02X", mac[0], mac[1], mac[2], mac[3], mac[4], mac[5]);
    return text;
}

std::string macText(const std::uint8_t* mac, std::uint32_t length)
{
    if (length == 0 || length == 6)
        return macText(mac);
    std::string text;
    for (std::uint32_t i = 0; i < clampedMacLength(length); ++i) {
        char part[4];
        std::snprintf(part, sizeof part, i == 0 ? "%02X" : "-%02X", mac[i]);
        text += part;
    }
    return text;
}

std::optional<std::vector<std::uint8_t>> parseMacBytes(std::string_view text)
{
    std::vector<std::uint8_t> bytes;
    const char separator = text.size() > 2 ? text[2] : '-';
    if (separator != '-' && separator != ':')
        return std::nullopt;
    for (std::size_t at = 0; bytes.size() < 8; at += 3) {
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
    return std::nullopt;
}

}  // namespace tevra
