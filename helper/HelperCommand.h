// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "hostnet/IpAddress.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace tevra::helper {

// What tevra-arp-helper was asked to do: delete one neighbour entry, or
// flush the dynamic entries of one interface.
struct HelperCommand {
    enum class Verb { Delete, Flush };
    Verb verb = Verb::Flush;
    hostnet::IpAddress address;  // Delete only; a link-local one's zone is the interface
    std::uint32_t interfaceIndex = 0;
};

// The command that `arguments` (without the program name) spell exactly, or
// none. The helper runs with rights its caller lacks, so anything not spelt
// exactly one of the two ways is refused rather than guessed at.
std::optional<HelperCommand> parseHelperCommand(std::span<const std::string_view> arguments);

}  // namespace tevra::helper
