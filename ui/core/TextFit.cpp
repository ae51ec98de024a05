// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/core/TextFit.h"

#include <array>
#include <cstdint>

namespace tevra {
namespace {

struct Range {
    char32_t first;
    char32_t last;
};

// Code points that belong to the character before them: combining marks,
// variation selectors, the zero-width joiner and skin-tone modifiers.
constexpr std::array<Range, 8> kExtending { {
    { 0x0300, 0x036F },
    { 0x1AB0, 0x1AFF },
    { 0x1DC0, 0x1DFF },
    { 0x200D, 0x200D },
    { 0x20D0, 0x20FF },
    { 0xFE00, 0xFE0F },
    { 0xFE20, 0xFE2F },
    { 0x1F3FB, 0x1F3FF },
} };

bool extends(char32_t c)
{
    for (const Range& range : kExtending)
        if (c >= range.first && c <= range.last)
            return true;
    return false;
}

// The code point at `at` and its length in bytes; a broken sequence counts as one byte.
std::pair<char32_t, std::size_t> decode(std::string_view text, std::size_t at)
{
    const auto lead = static_cast<unsigned char>(text[at]);
    const std::size_t length = lead < 0x80 ? 1
        : lead >> 5 == 0x6                 ? 2
        : lead >> 4 == 0xE                 ? 3
        : lead >> 3 == 0x1E                ? 4
                                           : 1;
    if (length == 1 || at + length > text.size())
        return { lead, 1 };
    char32_t c = lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i)
        c = (c << 6) | (static_cast<unsigned char>(text[at + i]) & 0x3F);
    return { c, length };
}

}  // namespace

std::string fitUtf8ToLimit(std::string_view text, int limit)
{
    std::size_t at = 0;
    std::size_t lastBoundary = 0;
    int units = 0;
    while (at < text.size()) {
        const auto [c, length] = decode(text, at);
        if (!extends(c))
            lastBoundary = at;
        units += c > 0xFFFF ? 2 : 1;
        if (units > limit)
            return std::string(text.substr(0, extends(c) ? lastBoundary : at));
        at += length;
    }
    return std::string(text);
}

}  // namespace tevra
