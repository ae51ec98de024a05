#pragma once

#include "hostnet/IpHelper.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <vector>

namespace tevra::hostnet {

// Host-order value of a network-order IPv4 address (ntohl) without an OS
// header or a compiler builtin: the address's bytes in memory order are its
// dotted parts, most significant first, on any host.
constexpr std::uint32_t netToHost(std::uint32_t netOrder)
{
    const auto parts = std::bit_cast<std::array<std::uint8_t, 4>>(netOrder);
    return std::uint32_t { parts[0] } << 24 | std::uint32_t { parts[1] } << 16
        | std::uint32_t { parts[2] } << 8 | std::uint32_t { parts[3] };
}

// The order every IpHelper, real or fake, hands out its ARP table in: the
// address as its dotted form reads (10.0.0.9 before 10.0.0.10), then the
// interface. Rows compare as their keys do.
constexpr std::uint64_t neighbourOrderKey(std::uint32_t address, std::uint32_t interfaceIndex)
{
    return std::uint64_t { netToHost(address) } << 32 | interfaceIndex;
}

constexpr bool neighbourRowBefore(const MibIpNetRow& a, const MibIpNetRow& b)
{
    return neighbourOrderKey(a.dwAddr, a.dwIndex) < neighbourOrderKey(b.dwAddr, b.dwIndex);
}

inline void sortNeighbourRows(std::vector<MibIpNetRow>& rows)
{
    std::ranges::sort(rows, neighbourRowBefore);
}

}  // namespace tevra::hostnet
