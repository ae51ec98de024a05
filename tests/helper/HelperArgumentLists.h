// SPDX-License-Identifier: GPL-3.0-or-later
// The argument lists tevra-arp-helper must refuse with status 2 and its usage,
// on every system: the Linux helper's test and the Windows helper's under Wine
// read the same table.
#pragma once

#include <string>
#include <vector>

namespace tevra::test {

struct RefusedArguments {
    const char* name;
    std::vector<std::string> arguments;
};

inline const std::vector<RefusedArguments> kRefusedHelperArguments {
    { "none", {} },
    { "other_verb", { "add", "10.66.0.5", "2" } },
    { "verb_in_capitals", { "FLUSH", "2" } },
    { "option", { "--help" } },
    { "delete_without_index", { "delete", "10.66.0.5" } },
    { "delete_with_extra", { "delete", "10.66.0.5", "2", "2" } },
    { "delete_of_a_short_address", { "delete", "10.66.5", "2" } },
    { "delete_of_an_address_out_of_range", { "delete", "10.66.0.256", "2" } },
    { "delete_of_an_octal_address", { "delete", "010.66.0.5", "2" } },
    { "delete_of_a_network", { "delete", "10.66.0.5/24", "2" } },
    { "delete_of_an_ipv6_address_with_a_zone", { "delete", "fe80::1%2", "2" } },
    { "delete_of_an_ipv6_address_with_two_gaps", { "delete", "2001::db8::1", "2" } },
    { "delete_of_an_ipv6_network", { "delete", "2001:db8::/64", "2" } },
    { "flush_without_index", { "flush" } },
    { "flush_with_extra", { "flush", "2", "10.66.0.5" } },
    { "flush_of_index_zero", { "flush", "0" } },
    { "flush_of_a_negative_index", { "flush", "-2" } },
    { "flush_of_a_signed_index", { "flush", "+2" } },
    { "flush_of_a_padded_index", { "flush", " 2" } },
    { "flush_of_a_hexadecimal_index", { "flush", "0x2" } },
    { "flush_of_a_name", { "flush", "veth0" } },
    { "flush_of_an_index_past_int", { "flush", "2147483648" } },
    { "flush_of_an_index_that_wraps", { "flush", "4294967298" } },
};

// The usage's first line, which starts the helper's refusal.
inline const std::string kHelperUsageStart = "usage: tevra-arp-helper delete ADDRESS IFINDEX\n";

}  // namespace tevra::test
