// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tevra {

// The blocks of one registry list, in the order of its lines.
struct RegistryRows {
    struct Block {
        std::uint64_t prefix;
        std::uint32_t nameOffset;  // into `names`
    };
    std::vector<Block> blocks;
    std::string names;  // NUL-terminated, one after another
    std::size_t skipped = 0;  // lines that were not a block of this registry
};

// Reads one of the registry's CSV lists ("Registry,Assignment,Organization
// Name,Organization Address"). Fields may be quoted, with doubled quotes inside;
// the address may run over several lines inside its quotes. Names are trimmed of
// spaces and tabs. A line is skipped, and counted, when it does not have four
// fields, names another registry, has a prefix that is not exactly `digits` hex
// digits, has an empty name or a control character in it, holds a NUL byte, or
// ends in a CR that no LF follows (CR-only and CR CR LF line ends). A skipped
// line never takes the next line with it: reading goes on at the next line.
RegistryRows readRegistryCsv(std::string_view text, std::string_view registry, unsigned digits);

}  // namespace tevra
