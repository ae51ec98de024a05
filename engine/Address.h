// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "hostnet/IpAddress.h"
#include "hostnet/IpHelper.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tevra {

// IPv4 addresses are kept as the 32-bit value whose bytes, in memory order, are
// the dotted parts (network byte order), exactly as the host layer delivers them.

// Host-order value of a network-order address (ntohl).
using hostnet::netToHost;

// Network-order value of a host-order address (htonl).
constexpr std::uint32_t hostToNet(std::uint32_t hostOrder)
{
    return netToHost(hostOrder);
}

// Orders network-order addresses as their dotted form reads: 10.0.0.2 before 192.168.0.1.
struct DottedOrder {
    constexpr bool operator()(std::uint32_t a, std::uint32_t b) const { return netToHost(a) < netToHost(b); }
};

// Dotted-decimal text, as inet_ntoa writes it.
std::string dottedText(std::uint32_t netOrder);

// Strict dotted-quad reader: exactly four decimal parts of 0 to 255, no leading
// zeros, nothing else. Unlike inet_addr it reads 255.255.255.255 as an address
// and does not take "1" or "010.1.1.1" as one.
std::optional<std::uint32_t> parseDottedQuad(std::string_view text);

using hostnet::IpAddress;

// An address's text: dotted for IPv4, for IPv6 the RFC 5952 form that
// inet_ntop writes (lower case, the longest run of zero groups as "::",
// ::ffff:a.b.c.d for a mapped IPv4 address). No zone.
std::string addressText(const IpAddress& address);

// Reads a dotted quad (strictly, as parseDottedQuad) or an IPv6 address as
// inet_pton takes it, with no zone. `zone` is given to a link-local address.
std::optional<IpAddress> parseAddress(std::string_view text, std::uint32_t zone = 0);

// An address text with its numeric zone, "fe80::1%3", split; no zone when it
// has no '%'. None when the zone is not a decimal interface index.
struct ZonedText {
    std::string_view address;
    std::optional<std::uint32_t> zone;
};
std::optional<ZonedText> splitZone(std::string_view text);

// The text that names an address among all others: addressText, with
// "%zone" for a link-local address ("fe80::1%3"). parseZonedAddress reads it.
std::string zonedAddressText(const IpAddress& address);
std::optional<IpAddress> parseZonedAddress(std::string_view text);

}  // namespace tevra
