// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/TextEscape.h"

#include <array>

namespace tevra {

std::string escapedControlBytes(std::string_view text)
{
    constexpr std::array<char, 16> kHex { '0', '1', '2', '3', '4', '5', '6', '7', '8', '9', 'a', 'b', 'c',
        'd', 'e', 'f' };
    std::string escaped;
    escaped.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            escaped += "\\x";
            escaped += kHex[byte >> 4];
            escaped += kHex[byte & 0xF];
        } else {
            escaped += c;
        }
    }
    return escaped;
}

}  // namespace tevra
