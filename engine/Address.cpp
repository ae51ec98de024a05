// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/Address.h"

#include <array>
#include <cstring>

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

}  // namespace tevra
