// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tevra {

using MacBytes = std::array<std::uint8_t, 8>;

// The first six bytes as "%02X-%02X-%02X-%02X-%02X-%02X", whatever the length.
std::string macText(const std::uint8_t* mac);
// The address's own bytes, as many as `length` gives (at most 8), in the same
// form; six-byte addresses read as above, and so does one of no bytes at all
// (six zeros, the look of an entry that has no hardware address yet).
std::string macText(const std::uint8_t* mac, std::uint32_t length);

// The bytes of a MAC address or of its first bytes written as above: one to
// eight groups of exactly two hex digits, either case, separated all by '-' or
// all by ':'. Nothing for any other text.
std::optional<std::vector<std::uint8_t>> parseMacBytes(std::string_view text);

inline bool isBroadcastMac(const MacBytes& mac)
{
    for (int i = 0; i < 6; ++i)
        if (mac[i] != 0xFF)
            return false;
    return true;
}

// 01-00-5E is the prefix of IPv4 multicast MAC addresses.
inline bool isMulticastMac(const MacBytes& mac)
{
    return mac[0] == 0x01 && mac[1] == 0x00 && mac[2] == 0x5E;
}

inline bool sameMacBytes(const std::uint8_t* a, const std::uint8_t* b, std::uint32_t count)
{
    for (std::uint32_t i = 0; i < count; ++i)
        if (a[i] != b[i])
            return false;
    return true;
}

// The length a MAC array can hold of what a row gives.
inline std::uint32_t clampedMacLength(std::uint32_t length)
{
    return length < 8 ? length : 8;
}

}  // namespace tevra
