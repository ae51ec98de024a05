// SPDX-License-Identifier: GPL-3.0-or-later
#include "helper/HelperCommand.h"

#include "engine/Address.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <string>

namespace tevra::helper {
namespace {

// Plain decimal digits only: no sign, no blanks, no leading zero, no base
// prefix, within the kernel's int range and never 0 (no interface has it).
std::optional<std::uint32_t> parseInterfaceIndex(std::string_view text)
{
    if (text.empty() || text.front() == '0'
        || !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value > INT_MAX)
        return std::nullopt;
    return static_cast<std::uint32_t>(value);
}

}  // namespace

std::optional<HelperCommand> parseHelperCommand(std::span<const std::string_view> arguments)
{
    if (arguments.size() == 3 && arguments[0] == "delete") {
        // Four dotted decimal numbers and nothing else, read alike on every system:
        // no shortened, octal or hexadecimal forms, which inet_addr would take;
        // or an IPv6 address with no zone, the interface being the next argument.
        const auto index = parseInterfaceIndex(arguments[2]);
        const auto address = parseAddress(arguments[1], index.value_or(0));
        if (!address || !index)
            return std::nullopt;
        return HelperCommand { HelperCommand::Verb::Delete, *address, *index };
    }
    if (arguments.size() == 2 && arguments[0] == "flush") {
        const auto index = parseInterfaceIndex(arguments[1]);
        if (!index)
            return std::nullopt;
        return HelperCommand { HelperCommand::Verb::Flush, {}, *index };
    }
    return std::nullopt;
}

}  // namespace tevra::helper
